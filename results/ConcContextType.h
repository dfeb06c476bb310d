// The context type and size of a concordance window's language.
#pragma once

#include <QDialog>

#include "results/ConcOptionRules.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TContextTypeForm : public QDialog {
    Q_OBJECT
public:
    TContextTypeForm(int Language, const TContextSettings& Settings, QWidget* Parent = nullptr);

    QComboBox* ContextTypeCombo;
    QLabel* SizeLabel;
    QSpinBox* ContextSizeUpDown;
    QPushButton* OptionsBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The settings as edited: the type chosen and, after OK, its size.
    const TContextSettings& Settings() const { return FSettings; }
    void accept() override;

private:
    void TypeChanged(int Type);
    int FLanguage;
    TContextSettings FSettings;
};

// Shows the dialog modally; on OK Settings holds the new type and its size and the result is true.
bool ShowContextOptions(int Language, TContextSettings& Settings);
