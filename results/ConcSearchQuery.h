// The dialog that asks for one search query, in a simple layout (a text pattern) or an advanced one
// (syntax, case, skipping characters, sentence mode, heading and context conditions, append).
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TSearchQueryForm : public QDialog {
    Q_OBJECT
public:
    // ActiveConcordanceLanguage: the primary language of the active concordance window, -1 without one
    // (appending needs it to be the query's language). Initial (may be null) is copied.
    TSearchQueryForm(bool AdvancedOnly, int ActiveConcordanceLanguage, bool SearchWithin,
                     const TConcSearchRec* Initial, int Language, bool Parallel, QWidget* Parent = nullptr);

    QComboBox* LanguageBox = nullptr;  // none for a search within lines or a parallel row
    QLabel* LanguageLabel;
    QComboBox* PatternBox;
    QLabel* ExamplesLabel;
    QGroupBox* SyntaxGroup;
    QRadioButton* TextRadio;
    QRadioButton* RegExpRadio;
    QRadioButton* TagRadio;
    QGroupBox* GeneralGroup;
    QCheckBox* IgnoreCaseCheck;
    QCheckBox* SkipEqualCheck;
    QCheckBox* SentenceModeCheck;
    QGroupBox* AdditionalGroup;
    QCheckBox* HeadingsContextsCheck;
    QPushButton* EditBtn;
    QCheckBox* AppendCheck;
    QPushButton* OptionsBtn;
    QPushButton* LayoutBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    bool Advanced() const { return FAdvanced; }
    int Language() const { return FLanguage; }
    int Syntax() const;
    void SetLayout(bool Advanced, bool FocusPattern);
    // The record being built (owned by the dialog).
    TConcSearchRec& Query() { return FQuery; }
    // Checks the query; on success fills the record, remembers the defaults and histories, calls
    // OnAccepted and closes.
    void accept() override;
    // Called with the accepted record while the dialog is still open: closing a modal dialog waits for
    // the display, time in which the caller's work on the query can already run.
    std::function<void(const TConcSearchRec&)> OnAccepted;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SyntaxClicked();
    void SwitchHistory();
    void LanguageChanged(int Index);
    void UpdateAppend();
    bool CheckPatternBox(const std::string& Name, bool EmptyAllowed);
    bool ValidateQuery();
    std::vector<std::string>& History(int Language, int Syntax);

    TConcSearchRec FQuery;
    bool FSearchWithin;
    bool FParallel;
    int FActiveConcordanceLanguage;
    int FLanguage;
    bool FAdvanced = true;
    // The histories as the dialog edits them, per language and syntax; written back on OK.
    std::map<std::pair<int, int>, std::vector<std::string>> FHistories;
    std::pair<int, int> FShownHistory{-1, -1};
};

// Shows the dialog modally and returns a new record owned by the caller, or null when cancelled.
// Accepted (may be empty) becomes the dialog's OnAccepted.
std::unique_ptr<TConcSearchRec> ShowSearchQuery(bool AdvancedOnly, int ActiveConcordanceLanguage,
                                                bool SearchWithin, const TConcSearchRec* Initial,
                                                int Language, bool Parallel,
                                                std::function<void(const TConcSearchRec&)> Accepted = {});
