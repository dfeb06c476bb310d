// The global search options and one language's character classes. Changes take effect on OK only.
#pragma once

#include <QDialog>

#include "results/ConcOptionRules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TSearchOptionsForm : public QDialog {
    Q_OBJECT
public:
    // With LockLanguage the language list is disabled.
    TSearchOptionsForm(bool LockLanguage, int Language, QWidget* Parent = nullptr);

    QComboBox* LanguageBox;
    QLineEdit* MaxSearchHitsEdit;
    QSpinBox* FrequencyofHitsEdit;
    QComboBox* ContextTypeCombo;
    QLabel* ContextSizeLabel;
    QSpinBox* ContextSizeUpDown;
    QPushButton* FullSentOpts;
    QLineEdit* CharWordMatch;
    QSpinBox* WordMatchLoEdit;
    QSpinBox* WordMatchHiEdit;
    QLineEdit* Char0orMore;
    QLineEdit* Char0or1;
    QLineEdit* CharExactly1;
    QPushButton* EditHeadingsBtn;
    QLineEdit* TagSeparatorEdit;
    QComboBox* DelimitersCombo;
    QComboBox* SkippingCombo;
    QComboBox* EqualCombo;
    QPushButton* RevertBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    int Language() const { return FLanguage; }
    void RevertToDefault();
    // Stores what the controls hold; a refusal leaves the dialog open with its edits.
    void accept() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void LoadLanguageTexts();
    void ShowEdits(const TSearchOptionsEdits& Edits);
    bool ReadEdits(TSearchOptionsEdits& Edits);
    void ContextTypeChanged(int Type);

    int FLanguage;
};

// Shows the dialog modally over Language (clamped to the corpus languages).
void ShowSearchOptions(bool LockLanguage, int Language);
