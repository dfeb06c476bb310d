// The options asked before a word list is saved or printed: which language, how many lines, and
// whether the counts go with the words.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

struct TFreqOutOptions {
    int32_t Language = -1;  // -1: all languages
    int32_t MaxLines = 0;   // 0: no limit
    bool IncludeFrequencies = false;
};

class TConcFreqOutForm : public QDialog {
    Q_OBJECT
public:
    // Caption as given; a "Printer..." button that runs PrinterSetup (the printer set-up dialog of the
    // printer the list will go to) only when PrinterSetup is given. Options.Language -1 offers "All" and
    // the corpus languages (starting at "All"); a language names it in a label instead of the list.
    TConcFreqOutForm(const std::string& Caption, const std::function<void()>& PrinterSetup,
                     const TFreqOutOptions& Options, QWidget* Parent = nullptr);

    QLabel* LanguageLabel;
    QComboBox* LanguageCombo;  // nullptr for one language
    QSpinBox* MaxLinesUpDown;
    QCheckBox* IncludeFreqCheck;
    QPushButton* PrinterBtn;  // nullptr without the printer button
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The options as the controls hold them (the lines clamped to 0..32767).
    TFreqOutOptions Options();

private:
    TFreqOutOptions FOptions;
};

// Asks for the options; true on OK, with Options set as chosen (untouched otherwise). PrinterSetup as
// for the form: printing passes its printer's set-up dialog, saving passes nothing.
bool ShowFreqOutOptions(const std::string& Caption, const std::function<void()>& PrinterSetup,
                        TFreqOutOptions& Options);
