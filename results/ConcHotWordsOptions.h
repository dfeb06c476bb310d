// The options of hot words and translations: the global counts (hits needed and candidates shown, or
// the translation passes) and the language's thresholds, optionally made the program's defaults. Its
// rules live in ConcHotWordsRules.
#pragma once

#include <QDialog>

#include "results/ConcHotWordsRules.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class THotWordsOptionsForm : public QDialog {
    Q_OBJECT
public:
    // Mode is a THotOptionsMode: hot words (the two counts), translations (the passes), or translations
    // without the language options and "Set as &default".
    THotWordsOptionsForm(int Language, int Mode, const THotWordsGlobals& Globals,
                         const THotWordsOptions& Options, QWidget* Parent = nullptr);

    QGroupBox* GlobalGroup;
    QWidget* HotWordsPage;
    QSpinBox* MinHitsEdit;
    QSpinBox* MaxCandidatesEdit;
    QWidget* TranslationsPage;
    QSpinBox* TranslationPassesEdit;
    QGroupBox* LanguageGroup;
    QLineEdit* RankThresholdEdit;
    QCheckBox* ParadigmCheck;
    QLineEdit* ParadigmRankThresholdEdit;
    QLineEdit* ParadigmThresholdEdit;
    QFrame* Bevel;
    QCheckBox* SetDefaultCheck;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The values OK kept (the given ones until then).
    const THotWordsGlobals& Globals() const { return FGlobals; }
    const THotWordsOptions& Options() const { return FOptions; }

    // Without changes closes as cancelled (except without language options, where OK always counts);
    // with changes and "Set as &default" asks first and, on Yes, makes them the defaults.
    void accept() override;
    // With pending changes asks whether to apply them.
    void reject() override;

private:
    void ShowValues();
    void ReadControls(THotWordsGlobals& Globals, THotWordsOptions& Options);

    int FLanguage;
    int FMode;
    THotWordsGlobals FGlobals;
    THotWordsOptions FOptions;
};

// Runs the dialog modally on Language's Options, Config and TranslationPasses (a concordance window's
// copies). On OK the result is true, Options takes the edited record and, in hot-words mode, Config the
// two counts, in the other modes TranslationPasses the passes; on Cancel nothing changes. Called by the
// hot-words chooser's "Options..." and by the concordance window's "Translations" command (mode
// hoTranslationsOnly).
bool ShowHotWordsOptions(int Language, THotWordsConfig& Config, THotWordsOptions& Options, int Mode,
                         int32_t& TranslationPasses);
