#include "results/ConcFreqOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>

#include "controls/ConcFormUtils.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "results/ConcStopList.h"
#include "ui/Msg.h"

// ---------------------------------------------------------------------------------------------------
// Rules

int32_t ParseMaximumLines(const std::string& Text) {
    constexpr int32_t Default = 100, Limit = 950000;
    const size_t First = Text.find_first_not_of(" \t");
    if (First == std::string::npos) return Default;
    const size_t Last = Text.find_last_not_of(" \t");
    const char* Begin = Text.data() + First;
    const char* End = Text.data() + Last + 1;
    if (*Begin == '+') ++Begin;
    int32_t Value = 0;
    const auto [Stop, Error] = std::from_chars(Begin, End, Value);
    if (Error != std::errc() || Stop != End) return Default;
    return std::clamp(Value, 0, Limit);
}

TFreqSettingsChange DiffFrequencyConfig(const TFrequencyConfig& Old, bool OldContentWordsOnly,
                                        const TFrequencyConfig& New, bool NewContentWordsOnly,
                                        bool StopListEdited) {
    TFreqSettingsChange C;
    const bool Limits =
        Old.MinimumFrequency != New.MinimumFrequency || Old.MaximumFrequency != New.MaximumFrequency;
    const bool Lines = Old.MaximumLines != New.MaximumLines;
    const bool Span = Old.CollocateSpan != New.CollocateSpan;
    const bool Highlight = Old.CollocHighLightTop != New.CollocHighLightTop;
    const bool Case = Old.IgnoreCase != New.IgnoreCase;
    const bool Tags = Old.SkipTags != New.SkipTags;
    const bool StopList = StopListEdited || OldContentWordsOnly != NewContentWordsOnly;
    C.Changed = Limits || Lines || Span || Highlight || Case || Tags || StopList;
    // Only case and tag rules change what a word is; the limits, lines and stop list filter the corpus
    // list as it is shown, so it stays.
    C.DropCorpusList = Case || Tags;
    if (Limits || Lines || StopList || C.DropCorpusList) C.FreqLParam = C.DropCorpusList ? 1 : 0;
    const bool Reasons[5] = {Limits, Lines, Span, Highlight, Case || StopList};
    for (int R = 0; R < 5; ++R)
        if (Reasons[R]) C.CollocLParams.push_back(R);
    return C;
}

bool ShowsContentWordsOnly(const TFrequencyConfig& Config, const TStopList& StopList) {
    return !Config.CountAllWords && StopList.Active && !StopList.Words().empty();
}

TFreqOptionsCopy CopyFreqOptions(int Language) {
    TFreqOptionsCopy Copy;
    Copy.Config = FrequencyConfigs[size_t(Language)];
    Copy.StopList = LanguageConfigs[size_t(Language)]->StopList;
    Copy.ContentWordsOnly = ShowsContentWordsOnly(Copy.Config, Copy.StopList);
    return Copy;
}

namespace {

// The stop-list choice as it acts: a list without words filters nothing.
bool ContentWordsOnlyActs(const TFreqOptionsCopy& Copy) {
    return Copy.ContentWordsOnly && !Copy.StopList.Words().empty();
}

TFreqSettingsChange ChangeFromGlobal(int Language, const TFreqOptionsCopy& Copy) {
    const TFreqOptionsCopy Now = CopyFreqOptions(Language);
    return DiffFrequencyConfig(Now.Config, Now.ContentWordsOnly, Copy.Config, ContentWordsOnlyActs(Copy),
                               Copy.StopListEdited);
}

}  // namespace

void ApplyFreqOptions(int Language, const TFreqOptionsCopy& Copy, const TFreqSettingsChange& Change) {
    if (!Change.Changed) return;
    const bool OldChoice = CopyFreqOptions(Language).ContentWordsOnly;
    FrequencyConfigs[size_t(Language)] = Copy.Config;
    TStopList& StopList = LanguageConfigs[size_t(Language)]->StopList;
    if (Copy.StopListEdited || OldChoice != ContentWordsOnlyActs(Copy)) {
        StopList.FileName = Copy.StopList.FileName;
        StopList.SetWords(Copy.StopList.Words());
        StopList.SetActive(Copy.ContentWordsOnly);
    }
    if (Change.DropCorpusList) ClearScannedInfo(Language, false, false, false, false, true, false);
    if (Change.FreqLParam) {
        SendToMainForm(CM_FREQSETTINGSCHANGED, Language, *Change.FreqLParam);
        BroadcastToChildren(CM_FREQSETTINGSCHANGED, Language, *Change.FreqLParam);
    }
    for (int LParam : Change.CollocLParams) BroadcastToChildren(CM_COLLOCSETTINGSCHANGED, Language, LParam);
}

// ---------------------------------------------------------------------------------------------------
// The dialog

namespace {

QSpinBox* UpDown(int Minimum, int Maximum, QWidget* Parent) {
    auto* Box = new QSpinBox(Parent);
    Box->setRange(Minimum, Maximum);
    InstallNumericKeyFilter(Box, false);
    return Box;
}

QLabel* Buddy(const char* Text, QWidget* Control, QWidget* Parent) {
    auto* L = new QLabel(Text, Parent);
    L->setBuddy(Control);
    return L;
}

}  // namespace

TFreqConfigForm::TFreqConfigForm(int Language, bool LockLanguage, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language) {
    setWindowTitle("Frequency and Collocation Options");
    FitWidthToTitle(this);
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L)
        if (LanguageConfigs[size_t(L)]) FCopies[size_t(L)] = CopyFreqOptions(L);

    LanguageCombo = new QComboBox(this);
    std::vector<std::string> Names;
    AddLanguageNames(Names);
    for (const std::string& N : Names) LanguageCombo->addItem(QString::fromStdString(N));
    LanguageCombo->setEnabled(!LockLanguage);

    MinFreqUpDown = UpDown(1, 32000, this);
    MaxFreqUpDown = UpDown(0, 32000, this);
    MaxFreqLabel = Buddy("Ma&ximum Frequency:", MaxFreqUpDown, this);
    MaxLinesEdit = new QLineEdit(this);
    MaxLinesEdit->setMaxLength(10);
    InstallNumericKeyFilter(MaxLinesEdit, false);
    SpanCombo = new QComboBox(this);
    SpanCombo->addItems({"1L-1R", "2L-2R", "3L-3R", "4L-4R"});
    HighlightUpDown = UpDown(0, 32767, this);
    auto* Numbers = new QGridLayout;
    Numbers->addWidget(Buddy("Mi&nimum Frequency:", MinFreqUpDown, this), 0, 0);
    Numbers->addWidget(MinFreqUpDown, 0, 1);
    Numbers->addWidget(MaxFreqLabel, 1, 0);
    Numbers->addWidget(MaxFreqUpDown, 1, 1);
    Numbers->addWidget(Buddy("Maximum &Lines:", MaxLinesEdit, this), 2, 0);
    Numbers->addWidget(MaxLinesEdit, 2, 1);
    Numbers->addWidget(Buddy("Collocate Span:", SpanCombo, this), 3, 0);
    Numbers->addWidget(SpanCombo, 3, 1);
    Numbers->addWidget(Buddy("Highlight top:", HighlightUpDown, this), 4, 0);
    Numbers->addWidget(HighlightUpDown, 4, 1);
    Numbers->addWidget(new QLabel("Collocates", this), 4, 2);

    IgnoreCaseCheck = new QCheckBox("&Ignore case of letters", this);
    SkipTagsCheck = new QCheckBox("Skip &tags", this);

    auto* Stop = new QGroupBox(" Stop List Options ", this);
    ContentWordsRadio = new QRadioButton("&Content words only", Stop);
    AllWordsRadio = new QRadioButton("Count &all words", Stop);
    EditStopListBtn = new QPushButton("&Edit...", Stop);
    auto* StopLayout = new QGridLayout(Stop);
    StopLayout->addWidget(ContentWordsRadio, 0, 0);
    StopLayout->addWidget(EditStopListBtn, 0, 1);
    StopLayout->addWidget(AllWordsRadio, 1, 0);

    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QVBoxLayout(this);
    auto* LanguageRow = new QHBoxLayout;
    LanguageRow->addWidget(Buddy("Lan&guage:", LanguageCombo, this));
    LanguageRow->addWidget(LanguageCombo, 1);
    Layout->addLayout(LanguageRow);
    Layout->addLayout(Numbers);
    Layout->addWidget(IgnoreCaseCheck);
    Layout->addWidget(SkipTagsCheck);
    Layout->addWidget(Stop);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons);

    ShowLanguage(Language);
    connect(LanguageCombo, &QComboBox::activated, this, [this](int Index) {
        ReadLanguage();
        ShowLanguage(Index);
    });
    connect(MaxFreqUpDown, &QSpinBox::valueChanged, this,
            [this](int Value) { MaxFreqLabel->setEnabled(Value > 0); });
    connect(ContentWordsRadio, &QRadioButton::clicked, this, &TFreqConfigForm::ContentWordsChosen);
    connect(EditStopListBtn, &QPushButton::clicked, this, &TFreqConfigForm::EditStopList);
    connect(OkBtn, &QPushButton::clicked, this, &TFreqConfigForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TFreqConfigForm::reject);
}

void TFreqConfigForm::ShowLanguage(int Language) {
    FLanguage = Language;
    const TFreqOptionsCopy& C = FCopies[size_t(Language)];
    LanguageCombo->setCurrentIndex(Language);
    MinFreqUpDown->setValue(C.Config.MinimumFrequency);
    MaxFreqUpDown->setValue(C.Config.MaximumFrequency);
    MaxFreqLabel->setEnabled(MaxFreqUpDown->value() > 0);
    MaxLinesEdit->setText(QString::number(C.Config.MaximumLines));
    SpanCombo->setCurrentIndex(std::clamp(C.Config.CollocateSpan, 1, 4) - 1);
    HighlightUpDown->setValue(C.Config.CollocHighLightTop);
    IgnoreCaseCheck->setChecked(C.Config.IgnoreCase);
    SkipTagsCheck->setChecked(C.Config.SkipTags);
    (C.ContentWordsOnly ? ContentWordsRadio : AllWordsRadio)->setChecked(true);
}

void TFreqConfigForm::ReadLanguage() {
    TFreqOptionsCopy& C = FCopies[size_t(FLanguage)];
    C.Config.MinimumFrequency = ClampEditToUpDown(MinFreqUpDown);
    C.Config.MaximumFrequency = ClampEditToUpDown(MaxFreqUpDown);
    C.Config.MaximumLines = ParseMaximumLines(MaxLinesEdit->text().toStdString());
    C.Config.CollocateSpan = std::max(SpanCombo->currentIndex() + 1, 1);
    // An emptied edit reads as the up-down's last position rather than as an error.
    C.Config.CollocHighLightTop = ClampEditToUpDown(HighlightUpDown);
    C.Config.IgnoreCase = IgnoreCaseCheck->isChecked();
    C.Config.SkipTags = SkipTagsCheck->isChecked();
    C.Config.CountAllWords = AllWordsRadio->isChecked();
    C.ContentWordsOnly = ContentWordsRadio->isChecked();
}

void TFreqConfigForm::ContentWordsChosen() {
    if (FCopies[size_t(FLanguage)].StopList.Words().empty()) EditStopList();
}

void TFreqConfigForm::EditStopList() {
    ContentWordsRadio->setChecked(true);
    TFreqOptionsCopy& C = FCopies[size_t(FLanguage)];
    const std::string Words = C.StopList.GetWords();
    const std::string FileName = C.StopList.FileName;
    if (!::EditStopList(FLanguage, C.StopList)) return;
    if (C.StopList.GetWords() != Words || C.StopList.FileName != FileName) C.StopListEdited = true;
}

TFreqSettingsChange TFreqConfigForm::ChangeOf(int Language) const {
    return ChangeFromGlobal(Language, FCopies[size_t(Language)]);
}

bool TFreqConfigForm::HasChanges() {
    ReadLanguage();
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L)
        if (LanguageConfigs[size_t(L)] && ChangeOf(L).Changed) return true;
    return false;
}

void TFreqConfigForm::Apply() {
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        const TFreqSettingsChange Change = ChangeOf(L);
        ApplyFreqOptions(L, FCopies[size_t(L)], Change);
        FCopies[size_t(L)].StopListEdited = false;
    }
}

void TFreqConfigForm::accept() {
    if (!HasChanges()) {
        QDialog::reject();
        return;
    }
    Apply();
    QDialog::accept();
}

void TFreqConfigForm::reject() {
    CloseAskingToApply(*this, HasChanges(), [this] {
        Apply();
        QDialog::accept();
    });
}

void ShowFreqOptions(int Language, bool LockLanguage) {
    if (LanguagesCount < 1) return;
    const int L = std::clamp(Language, 0, LanguagesCount - 1);
    if (!LanguageConfigs[size_t(L)]) return;
    TFreqConfigForm Form(L, LockLanguage, QApplication::activeWindow());
    Form.exec();
}
