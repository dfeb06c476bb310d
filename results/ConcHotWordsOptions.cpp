#include "results/ConcHotWordsOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "controls/ConcFormUtils.h"
#include "ui/Msg.h"

namespace {

// The preferences file keeps the counts within this range too.
constexpr int MaxHotWordCount = 32767;
constexpr int MaxTranslationPasses = 30;

QSpinBox* CountEdit(int Maximum, QWidget* Parent) {
    auto* Edit = new QSpinBox(Parent);
    Edit->setRange(1, Maximum);
    InstallNumericKeyFilter(Edit, false);
    return Edit;
}

QLineEdit* ThresholdEdit(QWidget* Parent) {
    auto* Edit = new QLineEdit(Parent);
    InstallNumericKeyFilter(Edit, true);
    return Edit;
}

QLabel* Buddy(const char* Text, QWidget* Control, QWidget* Parent) {
    auto* Label = new QLabel(Text, Parent);
    Label->setBuddy(Control);
    return Label;
}

// Six significant digits, as "%g" writes them: a threshold of 0.3 read from the preferences must not
// show as 0.299999999999999989.
QString ThresholdText(double Value) {
    QLocale Locale;
    Locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return Locale.toString(Value, 'g', 6);
}

// A text that is no number (or no threshold: negative, infinite) leaves the value as it was; so does
// the text shown for the value, which stands for the value itself and not for its rounding.
void ReadThreshold(const QLineEdit* Edit, double& Value) {
    if (Edit->text().trimmed() == ThresholdText(Value)) return;
    bool Ok = false;
    const double Read = QLocale().toDouble(Edit->text().trimmed(), &Ok);
    if (Ok && std::isfinite(Read) && Read >= 0) Value = Read;
}

}  // namespace

THotWordsOptionsForm::THotWordsOptionsForm(int Language, int Mode, const THotWordsGlobals& Globals,
                                           const THotWordsOptions& Options, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language), FMode(Mode), FGlobals(Globals), FOptions(Options) {
    setWindowTitle(Mode == hoHotWords ? "Hot Words Options" : "Translations Options");

    GlobalGroup = new QGroupBox(" Global Options ", this);
    // Without the language options the dialog would be narrower than its own caption.
    GlobalGroup->setMinimumWidth(240);
    HotWordsPage = new QWidget(GlobalGroup);
    MinHitsEdit = CountEdit(MaxHotWordCount, HotWordsPage);
    MaxCandidatesEdit = CountEdit(MaxHotWordCount, HotWordsPage);
    auto* HotWordsLayout = new QGridLayout(HotWordsPage);
    HotWordsLayout->setContentsMargins(0, 0, 0, 0);
    HotWordsLayout->addWidget(Buddy("Min &hits:", MinHitsEdit, HotWordsPage), 0, 0);
    HotWordsLayout->addWidget(MinHitsEdit, 0, 1);
    HotWordsLayout->addWidget(Buddy("Max &candidates:", MaxCandidatesEdit, HotWordsPage), 1, 0);
    HotWordsLayout->addWidget(MaxCandidatesEdit, 1, 1);
    TranslationsPage = new QWidget(GlobalGroup);
    TranslationPassesEdit = CountEdit(MaxTranslationPasses, TranslationsPage);
    auto* TranslationsLayout = new QGridLayout(TranslationsPage);
    TranslationsLayout->setContentsMargins(0, 0, 0, 0);
    TranslationsLayout->addWidget(Buddy("Max &candidates:", TranslationPassesEdit, TranslationsPage), 0, 0);
    TranslationsLayout->addWidget(TranslationPassesEdit, 0, 1);
    auto* GlobalLayout = new QVBoxLayout(GlobalGroup);
    GlobalLayout->addWidget(HotWordsPage);
    GlobalLayout->addWidget(TranslationsPage);
    HotWordsPage->setVisible(Mode == hoHotWords);
    TranslationsPage->setVisible(Mode != hoHotWords);

    LanguageGroup = new QGroupBox(
        QString(" Language Options - %1 ").arg(QString::fromStdString(LanguageNameOf(Language))), this);
    RankThresholdEdit = ThresholdEdit(LanguageGroup);
    ParadigmCheck = new QCheckBox("&Paradigm option", LanguageGroup);
    ParadigmRankThresholdEdit = ThresholdEdit(LanguageGroup);
    ParadigmThresholdEdit = ThresholdEdit(LanguageGroup);
    auto* LanguageLayout = new QGridLayout(LanguageGroup);
    LanguageLayout->addWidget(Buddy("Rank function &threshold:", RankThresholdEdit, LanguageGroup), 0, 0);
    LanguageLayout->addWidget(RankThresholdEdit, 0, 1);
    LanguageLayout->addWidget(ParadigmCheck, 1, 0, 1, 2);
    auto* RankLabel = Buddy("Te&mporarily threshold:", ParadigmRankThresholdEdit, LanguageGroup);
    LanguageLayout->addWidget(RankLabel, 2, 0);
    LanguageLayout->addWidget(ParadigmRankThresholdEdit, 2, 1);
    auto* ParadigmLabel = Buddy("P&aradigm threshold:", ParadigmThresholdEdit, LanguageGroup);
    LanguageLayout->addWidget(ParadigmLabel, 3, 0);
    LanguageLayout->addWidget(ParadigmThresholdEdit, 3, 1);

    Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    SetDefaultCheck = new QCheckBox("Set as &default", this);
    const bool LanguageOptions = Mode != hoTranslationsOnly;
    LanguageGroup->setVisible(LanguageOptions);
    Bevel->setVisible(LanguageOptions);
    SetDefaultCheck->setVisible(LanguageOptions);

    auto* Buttons = NewOkCancelRow(this, OkBtn, CancelBtn);

    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    Layout->addWidget(GlobalGroup);
    Layout->addWidget(LanguageGroup);
    Layout->addWidget(Bevel);
    Layout->addWidget(SetDefaultCheck);
    Layout->addLayout(Buttons);

    ShowValues();
    const auto ParadigmToggled = [this, RankLabel, ParadigmLabel](bool On) {
        for (QWidget* W :
             {static_cast<QWidget*>(RankLabel), static_cast<QWidget*>(ParadigmRankThresholdEdit),
              static_cast<QWidget*>(ParadigmLabel), static_cast<QWidget*>(ParadigmThresholdEdit)})
            W->setEnabled(On);
    };
    ParadigmToggled(ParadigmCheck->isChecked());
    connect(ParadigmCheck, &QCheckBox::toggled, this, ParadigmToggled);
    connect(OkBtn, &QPushButton::clicked, this, &THotWordsOptionsForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &THotWordsOptionsForm::reject);
}

void THotWordsOptionsForm::ShowValues() {
    MinHitsEdit->setValue(FGlobals.Config.MinHitsForHotWords);
    MaxCandidatesEdit->setValue(FGlobals.Config.MaxHotWordsCandidates);
    TranslationPassesEdit->setValue(FGlobals.TranslationPasses);
    RankThresholdEdit->setText(ThresholdText(FOptions.RankFunctionThreshold));
    ParadigmCheck->setChecked(FOptions.ParadigmOption);
    ParadigmRankThresholdEdit->setText(ThresholdText(FOptions.ParadigmRankThreshold));
    ParadigmThresholdEdit->setText(ThresholdText(FOptions.ParadigmThreshold));
}

void THotWordsOptionsForm::ReadControls(THotWordsGlobals& Globals, THotWordsOptions& Options) {
    Globals = FGlobals;
    Options = FOptions;
    ReadThreshold(RankThresholdEdit, Options.RankFunctionThreshold);
    Options.ParadigmOption = ParadigmCheck->isChecked();
    ReadThreshold(ParadigmRankThresholdEdit, Options.ParadigmRankThreshold);
    ReadThreshold(ParadigmThresholdEdit, Options.ParadigmThreshold);
    if (FMode == hoHotWords) {
        Globals.Config.MinHitsForHotWords = ClampEditToUpDown(MinHitsEdit);
        Globals.Config.MaxHotWordsCandidates = ClampEditToUpDown(MaxCandidatesEdit);
    } else {
        Globals.TranslationPasses = ClampEditToUpDown(TranslationPassesEdit);
    }
}

void THotWordsOptionsForm::accept() {
    THotWordsGlobals Globals;
    THotWordsOptions Options;
    ReadControls(Globals, Options);
    const bool GlobalsChanged = HotWordsGlobalsChanged(FMode, Globals, FGlobals);
    const bool OptionsChanged = HotWordsOptionsChanged(FOptions, Options);
    if (SetDefaultCheck->isChecked() && (GlobalsChanged || OptionsChanged)) {
        if (!ConfirmYesNo(SetAsDefaultQuestion, false)) return;
        ApplyHotWordsDefaults(FLanguage, FMode, Globals, Options, GlobalsChanged);
    }
    if (!GlobalsChanged && !OptionsChanged && FMode != hoTranslationsOnly) {
        QDialog::reject();
        return;
    }
    FGlobals = Globals;
    FOptions = Options;
    QDialog::accept();
}

void THotWordsOptionsForm::reject() {
    THotWordsGlobals Globals;
    THotWordsOptions Options;
    ReadControls(Globals, Options);
    CloseAskingToApply(
        *this, HotWordsGlobalsChanged(FMode, Globals, FGlobals) || HotWordsOptionsChanged(FOptions, Options),
        [this] { accept(); });
}

bool ShowHotWordsOptions(int Language, THotWordsConfig& Config, THotWordsOptions& Options, int Mode,
                         int32_t& TranslationPasses) {
    THotWordsOptionsForm Form(Language, Mode, {Config, TranslationPasses}, Options,
                              QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Options = Form.Options();
    if (Mode == hoHotWords)
        Config = Form.Globals().Config;
    else
        TranslationPasses = Form.Globals().TranslationPasses;
    return true;
}
