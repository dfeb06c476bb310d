#include "results/ConcSearchQuery.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "engine/ConcTextProcess.h"
#include "engine/RegExp3.h"
#include "results/ConcHeadingContext.h"
#include "results/ConcQueryRules.h"
#include "results/ConcSearchOptions.h"
#include "ui/Msg.h"

namespace {

TConcordConfig& Config(int Language) {
    return *LanguageConfigs.at(static_cast<size_t>(Language));
}

std::string Trimmed(const std::string& S) {
    const size_t First = S.find_first_not_of(" \t");
    if (First == std::string::npos) return {};
    return S.substr(First, S.find_last_not_of(" \t") - First + 1);
}

}  // namespace

TSearchQueryForm::TSearchQueryForm(bool AdvancedOnly, int ActiveConcordanceLanguage, bool SearchWithin,
                                   const TConcSearchRec* Initial, int Language, bool Parallel,
                                   QWidget* Parent)
    : QDialog(Parent),
      FSearchWithin(SearchWithin),
      FParallel(Parallel),
      FActiveConcordanceLanguage(ActiveConcordanceLanguage),
      FLanguage(Language) {
    const TCommonConcordConfig& C = *CommonConfig;
    auto* Layout = new QVBoxLayout(this);

    auto* LanguageRow = new QHBoxLayout;
    if (SearchWithin || Parallel) {
        LanguageLabel =
            new QLabel(QString::fromStdString("Language: " + Config(Language).LanguageName), this);
        LanguageRow->addWidget(LanguageLabel);
    } else {
        LanguageBox = new QComboBox(this);
        std::vector<std::string> Names;
        AddLanguageNames(Names);
        for (const std::string& N : Names) LanguageBox->addItem(QString::fromStdString(N));
        LanguageBox->setCurrentIndex(Language);
        LanguageLabel = new QLabel("&Language:", this);
        LanguageLabel->setBuddy(LanguageBox);
        LanguageRow->addWidget(LanguageLabel);
        LanguageRow->addWidget(LanguageBox, 1);
    }
    Layout->addLayout(LanguageRow);

    auto* PatternGroup = new QGroupBox(this);
    auto* PatternLayout = new QVBoxLayout(PatternGroup);
    PatternBox = NewHistoryCombo(PatternGroup);
    auto* PatternLabel = new QLabel("Enter &pattern to search for:", PatternGroup);
    PatternLabel->setBuddy(PatternBox);
    ExamplesLabel = new QLabel("e.g. set by code", PatternGroup);
    PatternLayout->addWidget(PatternLabel);
    PatternLayout->addWidget(PatternBox);
    PatternLayout->addWidget(ExamplesLabel);
    Layout->addWidget(PatternGroup);

    SyntaxGroup = new QGroupBox(" Search Syntax ", this);
    TextRadio = new QRadioButton("Te&xt Search", SyntaxGroup);
    RegExpRadio = new QRadioButton("&Regular Expression", SyntaxGroup);
    TagRadio = new QRadioButton("Ta&g Search", SyntaxGroup);
    auto* SyntaxLayout = new QVBoxLayout(SyntaxGroup);
    for (QRadioButton* R : {TextRadio, RegExpRadio, TagRadio}) SyntaxLayout->addWidget(R);
    Layout->addWidget(SyntaxGroup);

    GeneralGroup = new QGroupBox(" General Search Control ", this);
    IgnoreCaseCheck = new QCheckBox("&Ignore case of letters", GeneralGroup);
    SkipEqualCheck = new QCheckBox("&Use skipping and equal characters", GeneralGroup);
    SentenceModeCheck = new QCheckBox("Sente&nce mode", GeneralGroup);
    auto* GeneralLayout = new QVBoxLayout(GeneralGroup);
    for (QCheckBox* B : {IgnoreCaseCheck, SkipEqualCheck, SentenceModeCheck}) GeneralLayout->addWidget(B);
    Layout->addWidget(GeneralGroup);

    AdditionalGroup = new QGroupBox(" Additional Search Control ", this);
    HeadingsContextsCheck = new QCheckBox("&Headings/Contexts", AdditionalGroup);
    EditBtn = new QPushButton("&Edit...", AdditionalGroup);
    AppendCheck = new QCheckBox("&Append search", AdditionalGroup);
    auto* AdditionalLayout = new QVBoxLayout(AdditionalGroup);
    auto* HeadingRow = new QHBoxLayout;
    HeadingRow->addWidget(HeadingsContextsCheck);
    HeadingRow->addWidget(EditBtn);
    HeadingRow->addStretch();
    AdditionalLayout->addLayout(HeadingRow);
    AdditionalLayout->addWidget(AppendCheck);
    Layout->addWidget(AdditionalGroup);

    OptionsBtn = new QPushButton("&Options...", this);
    LayoutBtn = new QPushButton("<< &Simple", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    auto* Bottom = new QHBoxLayout;
    Bottom->addWidget(OptionsBtn);
    Bottom->addWidget(LayoutBtn);
    Bottom->addStretch();
    Bottom->addWidget(OkBtn);
    Bottom->addWidget(CancelBtn);
    Layout->addLayout(Bottom);
    Layout->setSizeConstraint(QLayout::SetFixedSize);

    // Defaults from the options object.
    (C.RegularExpressions ? RegExpRadio : C.TagSearch ? TagRadio : TextRadio)->setChecked(true);
    IgnoreCaseCheck->setChecked(C.IgnoreCase);
    SkipEqualCheck->setChecked(C.UseSkipEqualChars);
    SentenceModeCheck->setChecked(C.SentenceMode);
    EditBtn->setEnabled(false);
    if (Initial) FQuery.Assign(*Initial);
    if (AdvancedOnly)
        LayoutBtn->hide();
    else
        SetLayout(false, false);
    if (Initial) {
        FLanguage = Initial->Language;
        if (LanguageBox) LanguageBox->setCurrentIndex(FLanguage);
        (Initial->Syntax == 1 ? RegExpRadio : Initial->Syntax == 2 ? TagRadio : TextRadio)->setChecked(true);
        IgnoreCaseCheck->setChecked(!(Initial->Flags & sfMatchCase));
        SentenceModeCheck->setChecked(Initial->Flags & sfSentenceMode);
        AppendCheck->setChecked(Initial->Flags & sfAppend);
        SkipEqualCheck->setChecked(Initial->Flags & sfSkipEqual);
        HeadingsContextsCheck->setChecked(Initial->Flags & (sfHeading | sfContext));
        EditBtn->setEnabled(HeadingsContextsCheck->isChecked());
    }
    PatternBox->setFont(LanguageFont(FLanguage, SystemFont));
    SyntaxClicked();
    if (Initial)
        PatternBox->setEditText(Initial->Names.empty() ? QString()
                                                       : LangToQString(Initial->Names[0], FLanguage));
    UpdateAppend();
    setWindowTitle(QString::fromStdString(QueryCaption(FAdvanced, FSearchWithin, FParallel)));

    PatternBox->lineEdit()->installEventFilter(this);
    for (QRadioButton* R : {TextRadio, RegExpRadio, TagRadio})
        connect(R, &QRadioButton::clicked, this, &TSearchQueryForm::SyntaxClicked);
    if (LanguageBox) connect(LanguageBox, &QComboBox::activated, this, &TSearchQueryForm::LanguageChanged);
    connect(HeadingsContextsCheck, &QCheckBox::toggled, EditBtn, &QPushButton::setEnabled);
    connect(EditBtn, &QPushButton::clicked, this,
            [this] { ShowHeadingContextSearch(FQuery, FLanguage, Syntax(), 0); });
    connect(OptionsBtn, &QPushButton::clicked, this, [this] {
        ShowSearchOptions(true, FLanguage);
        ExamplesLabel->setText(LangToQString(QueryExamples(Syntax()), FLanguage));
    });
    connect(LayoutBtn, &QPushButton::clicked, this, [this] { SetLayout(!FAdvanced, true); });
    connect(OkBtn, &QPushButton::clicked, this, &TSearchQueryForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    PatternBox->setFocus();
}

int TSearchQueryForm::Syntax() const {
    return RegExpRadio->isChecked() ? 1 : TagRadio->isChecked() ? 2 : 0;
}

void TSearchQueryForm::SetLayout(bool Advanced, bool FocusPattern) {
    if (Advanced == FAdvanced) return;
    FAdvanced = Advanced;
    SyntaxGroup->setVisible(Advanced);
    GeneralGroup->setVisible(Advanced);
    AdditionalGroup->setVisible(Advanced);
    SyntaxGroup->setEnabled(Advanced);
    GeneralGroup->setEnabled(Advanced);
    AdditionalGroup->setEnabled(Advanced);
    LayoutBtn->setText(Advanced ? "<< &Simple" : "Advance&d >>");
    if (!Advanced && !TextRadio->isChecked()) {
        // A simple query is always a text search.
        TextRadio->setChecked(true);
        SyntaxClicked();
    }
    if (FocusPattern) PatternBox->setFocus();
    adjustSize();
    if (const QScreen* Screen = screen()) {
        // Moving the dialog before it is shown also fixes its left edge, so it is centred on the screen
        // across as well; once shown it keeps the left edge the user may have given it.
        const QRect Area = Screen->availableGeometry();
        const int Left =
            isVisible() ? x() : Area.left() + std::max((Area.width() - frameGeometry().width()) / 2, 0);
        move(Left, Area.top() + std::max((Area.height() - frameGeometry().height()) / 2, 0));
    }
    setWindowTitle(QString::fromStdString(QueryCaption(FAdvanced, FSearchWithin, FParallel)));
}

void TSearchQueryForm::SyntaxClicked() {
    ExamplesLabel->setText(LangToQString(QueryExamples(Syntax()), FLanguage));
    SwitchHistory();
}

std::vector<std::string>& TSearchQueryForm::History(int Language, int Syntax) {
    const auto Key = std::make_pair(Language, Syntax);
    auto It = FHistories.find(Key);
    if (It == FHistories.end())
        It = FHistories.emplace(Key, Config(Language).SearchHistory[static_cast<size_t>(Syntax)]).first;
    return It->second;
}

void TSearchQueryForm::SwitchHistory() {
    if (FShownHistory.first >= 0) FHistories[FShownHistory] = ComboItems(PatternBox, FShownHistory.first);
    FShownHistory = {FLanguage, Syntax()};
    const std::vector<std::string>& Items = History(FLanguage, Syntax());
    SetComboItems(PatternBox, Items, FLanguage);
    PatternBox->setEditText(Items.empty() ? QString() : LangToQString(Items.front(), FLanguage));
}

void TSearchQueryForm::LanguageChanged(int Index) {
    if (Index == FLanguage || Index < 0) return;
    FLanguage = Index;
    SwitchHistory();
    PatternBox->setFont(LanguageFont(FLanguage, SystemFont));
    UpdateAppend();
}

void TSearchQueryForm::UpdateAppend() {
    AppendCheck->setEnabled(AppendPossible(FActiveConcordanceLanguage, FLanguage));
}

bool TSearchQueryForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::FocusOut && Watched == PatternBox->lineEdit()) AddToComboHistory(PatternBox);
    return QDialog::eventFilter(Watched, Event);
}

bool TSearchQueryForm::CheckPatternBox(const std::string& Name, bool EmptyAllowed) {
    AddToComboHistory(PatternBox);
    std::string Text;
    if (!QStringToLang(PatternBox->currentText(), FLanguage, Text)) {
        ShowError(UnmappableTextMessage);
        PatternBox->setFocus();
        return false;
    }
    Text = Trimmed(Text);
    if (Text.empty()) {
        if (!EmptyAllowed) PatternBox->setFocus();
        return EmptyAllowed;
    }
    const TPatternCheck Check = ValidatePattern(Text, Name, Syntax(), FLanguage, SkipEqualCheck->isChecked());
    if (Check.Verdict == TPatternVerdict::Fail) ShowError(Check.Message);
    if (Check.Verdict == TPatternVerdict::Fail ||
        (Check.Verdict == TPatternVerdict::Ask && !WarningYesNo(Check.Message, true))) {
        PatternBox->setFocus();
        return false;
    }
    return true;
}

bool TSearchQueryForm::ValidateQuery() {
    TConcordConfig& L = Config(FLanguage);
    if (L.Files.empty()) {
        ShowWarning("You must have loaded corpora for this language.");
        return false;
    }
    FQuery.Language = FLanguage;
    FQuery.Syntax = static_cast<uint8_t>(Syntax());
    if (FQuery.Syntax == 2 && CommonConfig->WordTag == 0) {
        ShowError("You cannot use \"Tag Search\". Define \"Special Tags\" first.");
        return false;
    }
    SetQueryFlags(FQuery, IgnoreCaseCheck->isChecked(), SentenceModeCheck->isChecked(),
                  AppendCheck->isChecked(), AppendPossible(FActiveConcordanceLanguage, FLanguage),
                  SkipEqualCheck->isChecked(), HeadingsContextsCheck->isChecked());
    FQuery.Names.clear();
    FQuery.Patterns.clear();
    if (!CheckPatternBox("search term", false)) return false;
    const std::string Term = Trimmed(QStringToLangLossy(PatternBox->currentText(), FLanguage));
    const std::string Twice = DoubleWordSkipError(Term, FQuery.Syntax);
    if (!Twice.empty()) {
        ShowError(Twice);
        PatternBox->setFocus();
        return false;
    }
    FQuery.Names.push_back(Term);
    FQuery.Patterns.push_back(Term);

    const bool SkipEqual = FQuery.Flags & sfSkipEqual;
    const TConditionCheck Conditions = CheckQueryConditions(FQuery, FLanguage);
    if (Conditions.Focus != 0) {
        ShowError(Conditions.Message);
        ShowHeadingContextSearch(FQuery, FLanguage, FQuery.Syntax, Conditions.Focus);
        return false;
    }
    if (SkipEqual) FQuery.SkippingChars = L.SkippingChars;
    FQuery.FrequencyOfHits = CommonConfig->FrequencyOfHits;
    if (!FSearchWithin && !FParallel) CommonConfig->LastUsedLanguage = FLanguage;
    RememberQueryDefaults(FQuery);
    FHistories[FShownHistory] = ComboItems(PatternBox, FShownHistory.first);
    for (const auto& [Key, Items] : FHistories)
        Config(Key.first).SearchHistory[static_cast<size_t>(Key.second)] = Items;
    InitRegExpCharTables(FLanguage);
    return true;
}

void TSearchQueryForm::accept() {
    if (!ValidateQuery()) return;
    if (OnAccepted) OnAccepted(FQuery);
    QDialog::accept();
}

std::unique_ptr<TConcSearchRec> ShowSearchQuery(bool AdvancedOnly, int ActiveConcordanceLanguage,
                                                bool SearchWithin, const TConcSearchRec* Initial,
                                                int Language, bool Parallel,
                                                std::function<void(const TConcSearchRec&)> Accepted) {
    TSearchQueryForm Form(AdvancedOnly, ActiveConcordanceLanguage, SearchWithin, Initial, Language, Parallel,
                          QApplication::activeWindow());
    Form.OnAccepted = std::move(Accepted);
    if (Form.exec() != QDialog::Accepted) return nullptr;
    return TConcSearchRec::CreateCopy(Form.Query());
}
