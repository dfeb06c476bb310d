// The "Frequency and Collocation Options" dialog: each language's frequency limits, list length,
// collocate span and highlighting, case and tag rules and stop-list choice. It edits working copies and
// touches the configuration only when the changes are applied; then it drops what they invalidate and
// tells the windows. The rules that decide what a change invalidates are Qt-free, above the dialog.
#pragma once

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// ---- Rules, Qt-free --------------------------------------------------------------------------------

// The "Maximum &Lines:" text as a setting: its decimal number (blanks around it ignored) cut to
// 0..950000; 100 when it is no number or lies outside 32-bit integers.
int32_t ParseMaximumLines(const std::string& Text);

// What applying a language's settings must do, in this order: drop the corpus frequency list, send
// CM_FREQSETTINGSCHANGED with FreqLParam (none when empty), broadcast CM_COLLOCSETTINGSCHANGED once for
// each of CollocLParams.
struct TFreqSettingsChange {
    bool Changed = false;         // something differs: the working copy must be stored
    bool DropCorpusList = false;  // case or tags changed what a word is: the corpus list is counted anew
    std::optional<int> FreqLParam;
    std::vector<int> CollocLParams;  // ascending: 0 limits, 1 lines, 2 span, 3 highlight, 4 case or stop list
};

// Compares a language's settings before and after the dialog. ContentWordsOnly is the stop-list choice
// (the list consulted), StopListEdited says the list's words or file changed; a change of the choice
// counts as a change of the stop list, since the words that pass change with it. CountAllWords takes no
// part beyond that choice.
TFreqSettingsChange DiffFrequencyConfig(const TFrequencyConfig& Old, bool OldContentWordsOnly,
                                        const TFrequencyConfig& New, bool NewContentWordsOnly,
                                        bool StopListEdited);

// Whether the dialog shows "&Content words only" for a language: CountAllWords off and its stop list
// active with words.
bool ShowsContentWordsOnly(const TFrequencyConfig& Config, const TStopList& StopList);

// One language as the dialog edits it.
struct TFreqOptionsCopy {
    TFrequencyConfig Config;
    bool ContentWordsOnly = false;
    // The stop list being edited, applied with the rest; its language's list until "&Edit..." changes it.
    TStopList StopList{0};
    bool StopListEdited = false;
};

// The dialog's copy of Language's settings as they stand now.
TFreqOptionsCopy CopyFreqOptions(int Language);

// Stores Copy as Language's settings, when Change.Changed, and tells what it invalidates: the working
// record becomes the global one; the stop list is replaced by the copy's, and made active or not by the
// choice, only when it was edited or the choice changed (a list the user left alone keeps its state);
// then the corpus list is dropped (ClearScannedInfo, which itself announces CM_FREQSETTINGSCHANGED with
// 1 to the windows and the main window), CM_FREQSETTINGSCHANGED goes to the main window and then to every
// child, and the CM_COLLOCSETTINGSCHANGED broadcasts follow. Change must come from the settings before
// this call.
void ApplyFreqOptions(int Language, const TFreqOptionsCopy& Copy, const TFreqSettingsChange& Change);

// ---- The dialog ---------------------------------------------------------------------------------------

class TFreqConfigForm : public QDialog {
    Q_OBJECT
public:
    // Working copies of every corpus language; Language shown; with LockLanguage the language list is
    // disabled.
    TFreqConfigForm(int Language, bool LockLanguage, QWidget* Parent = nullptr);

    QComboBox* LanguageCombo;
    QSpinBox* MinFreqUpDown;
    QLabel* MaxFreqLabel;
    QSpinBox* MaxFreqUpDown;
    QLineEdit* MaxLinesEdit;
    QComboBox* SpanCombo;
    QSpinBox* HighlightUpDown;
    QCheckBox* IgnoreCaseCheck;
    QCheckBox* SkipTagsCheck;
    QRadioButton* ContentWordsRadio;
    QRadioButton* AllWordsRadio;
    QPushButton* EditStopListBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    int ShownLanguage() const { return FLanguage; }
    const TFreqOptionsCopy& Copy(int Language) const { return FCopies[size_t(Language)]; }
    // Whether any language's working copy differs from its settings (the shown one as read back now).
    bool HasChanges();

    // "&Edit...": chooses "&Content words only" and edits the working copy of the stop list.
    void EditStopList();
    // OK: applies every changed language and closes; without changes closes as cancelled.
    void accept() override;
    // Cancel, Escape and the close box: with changes, asks whether to apply them.
    void reject() override;

private:
    void ShowLanguage(int Language);
    void ReadLanguage();
    void ContentWordsChosen();
    TFreqSettingsChange ChangeOf(int Language) const;
    void Apply();

    int FLanguage;
    std::array<TFreqOptionsCopy, MaxLanguages> FCopies;
};

// Shows the dialog modally for Language (clamped to the corpus languages); nothing without a language.
void ShowFreqOptions(int Language, bool LockLanguage);
