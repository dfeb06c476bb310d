#include "results/ConcSearchOptions.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "engine/ConcTextProcess.h"
#include "results/ConcHeadings.h"
#include "results/ConcSentOptions.h"
#include "ui/Msg.h"

namespace {

QLineEdit* CharEdit(QWidget* Parent) {
    auto* E = new QLineEdit(Parent);
    E->setMaxLength(1);
    E->setFixedWidth(QFontMetrics(E->font()).horizontalAdvance("WW") + 12);
    return E;
}

QLabel* Buddy(const char* Text, QWidget* Control, QWidget* Parent) {
    auto* L = new QLabel(Text, Parent);
    L->setBuddy(Control);
    return L;
}

}  // namespace

TSearchOptionsForm::TSearchOptionsForm(bool LockLanguage, int Language, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language) {
    setWindowTitle("Search Options");
    LanguageBox = new QComboBox(this);
    std::vector<std::string> Names;
    AddLanguageNames(Names);
    for (const std::string& N : Names) LanguageBox->addItem(QString::fromStdString(N));
    LanguageBox->setCurrentIndex(Language);
    LanguageBox->setEnabled(!LockLanguage);

    auto* Hits = new QGroupBox(" Hits/Context ", this);
    MaxSearchHitsEdit = new QLineEdit(Hits);
    MaxSearchHitsEdit->setMaxLength(10);
    InstallNumericKeyFilter(MaxSearchHitsEdit, false);
    FrequencyofHitsEdit = new QSpinBox(Hits);
    FrequencyofHitsEdit->setRange(1, 16000);
    ContextTypeCombo = new QComboBox(Hits);
    std::vector<std::string> Units;
    FillContextUnits(Units);
    for (const std::string& U : Units) ContextTypeCombo->addItem(QString::fromStdString(U));
    ContextSizeUpDown = new QSpinBox(Hits);
    ContextSizeLabel = Buddy("Si&ze:", ContextSizeUpDown, Hits);
    FullSentOpts = new QPushButton("&Options..", Hits);
    FullSentOpts->hide();
    auto* HitsLayout = new QGridLayout(Hits);
    HitsLayout->addWidget(Buddy("&Max Search Hits:", MaxSearchHitsEdit, Hits), 0, 0);
    HitsLayout->addWidget(MaxSearchHitsEdit, 0, 1);
    HitsLayout->addWidget(Buddy("&Frequency of Hits:", FrequencyofHitsEdit, Hits), 1, 0);
    HitsLayout->addWidget(FrequencyofHitsEdit, 1, 1);
    HitsLayout->addWidget(Buddy("&Context type:", ContextTypeCombo, Hits), 2, 0);
    HitsLayout->addWidget(ContextTypeCombo, 2, 1);
    HitsLayout->addWidget(ContextSizeLabel, 3, 0);
    HitsLayout->addWidget(ContextSizeUpDown, 3, 1);
    HitsLayout->addWidget(FullSentOpts, 3, 1);

    auto* Special = new QGroupBox(" Special Characters ", this);
    CharWordMatch = CharEdit(Special);
    WordMatchLoEdit = new QSpinBox(Special);
    WordMatchLoEdit->setRange(0, 9);
    WordMatchHiEdit = new QSpinBox(Special);
    WordMatchHiEdit->setRange(1, 9);
    auto* SpecialLayout = new QHBoxLayout(Special);
    SpecialLayout->addWidget(CharWordMatch);
    SpecialLayout->addWidget(new QLabel("matches between", Special));
    SpecialLayout->addWidget(WordMatchLoEdit);
    SpecialLayout->addWidget(new QLabel("and", Special));
    SpecialLayout->addWidget(WordMatchHiEdit);
    SpecialLayout->addWidget(new QLabel("words", Special));
    SpecialLayout->addStretch();

    auto* Wild = new QGroupBox(" Wildcards ", this);
    Char0orMore = CharEdit(Wild);
    Char0or1 = CharEdit(Wild);
    CharExactly1 = CharEdit(Wild);
    auto* WildLayout = new QHBoxLayout(Wild);
    WildLayout->addWidget(Buddy("&0 or more:", Char0orMore, Wild));
    WildLayout->addWidget(Char0orMore);
    WildLayout->addWidget(Buddy("0 or &1:", Char0or1, Wild));
    WildLayout->addWidget(Char0or1);
    WildLayout->addWidget(Buddy("e&xactly 1:", CharExactly1, Wild));
    WildLayout->addWidget(CharExactly1);
    WildLayout->addStretch();
    EditHeadingsBtn = new QPushButton("&Headings...", this);

    TagSeparatorEdit = CharEdit(this);
    DelimitersCombo = NewHistoryCombo(this);
    SkippingCombo = NewHistoryCombo(this);
    EqualCombo = NewHistoryCombo(this);
    RevertBtn = new QPushButton("&Revert to default", this);
    RevertBtn->setFixedWidth(QFontMetrics(RevertBtn->font()).horizontalAdvance(RevertBtn->text()) + 8 + 16);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QVBoxLayout(this);
    auto* LanguageRow = new QHBoxLayout;
    LanguageRow->addWidget(Buddy("&Language:", LanguageBox, this));
    LanguageRow->addWidget(LanguageBox, 1);
    Layout->addLayout(LanguageRow);
    Layout->addWidget(Hits);
    Layout->addWidget(Special);
    auto* WildRow = new QHBoxLayout;
    WildRow->addWidget(Wild, 1);
    WildRow->addWidget(EditHeadingsBtn, 0, Qt::AlignBottom);
    Layout->addLayout(WildRow);
    auto* TagRow = new QHBoxLayout;
    TagRow->addWidget(Buddy("&Tag search separator:", TagSeparatorEdit, this));
    TagRow->addWidget(TagSeparatorEdit);
    TagRow->addStretch();
    Layout->addLayout(TagRow);
    Layout->addWidget(Buddy("Characters to treat as &delimiters:", DelimitersCombo, this));
    Layout->addWidget(DelimitersCombo);
    Layout->addWidget(Buddy("&Skipping characters:", SkippingCombo, this));
    Layout->addWidget(SkippingCombo);
    Layout->addWidget(Buddy("&Equal characters:", EqualCombo, this));
    Layout->addWidget(EqualCombo);
    Layout->addWidget(RevertBtn, 0, Qt::AlignRight);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons);

    ShowEdits(ReadSearchOptions(Language));
    for (QComboBox* Box : {DelimitersCombo, SkippingCombo, EqualCombo})
        Box->lineEdit()->installEventFilter(this);
    connect(LanguageBox, &QComboBox::activated, this, [this](int Index) {
        FLanguage = Index;
        LoadLanguageTexts();
    });
    connect(ContextTypeCombo, &QComboBox::currentIndexChanged, this, &TSearchOptionsForm::ContextTypeChanged);
    connect(FullSentOpts, &QPushButton::clicked, this, [this] { ShowSentenceOptions(FLanguage); });
    connect(EditHeadingsBtn, &QPushButton::clicked, this, [this] { ShowHeadingsConfig(FLanguage); });
    connect(RevertBtn, &QPushButton::clicked, this, &TSearchOptionsForm::RevertToDefault);
    connect(OkBtn, &QPushButton::clicked, this, &TSearchOptionsForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSearchOptionsForm::ShowEdits(const TSearchOptionsEdits& E) {
    const auto Text = [this](const std::string& S) { return LangToQString(S, FLanguage); };
    MaxSearchHitsEdit->setText(QString::fromStdString(E.MaxHits));
    FrequencyofHitsEdit->setValue(ClampedEditValue(E.FrequencyOfHits, 1, 1, 16000));
    CharWordMatch->setText(Text(E.WordSkipChar));
    WordMatchLoEdit->setValue(ClampedEditValue(E.WordSkipLo, 0, 0, 9));
    WordMatchHiEdit->setValue(ClampedEditValue(E.WordSkipHi, 1, 1, 9));
    Char0orMore->setText(Text(E.WildCard0orMore));
    Char0or1->setText(Text(E.WildCard0or1));
    CharExactly1->setText(Text(E.WildCardExactly1));
    TagSeparatorEdit->setText(Text(E.TagSeparator));
    SetComboItems(DelimitersCombo, E.DelimiterHistory, FLanguage);
    SetComboItems(SkippingCombo, E.SkippingHistory, FLanguage);
    SetComboItems(EqualCombo, E.EqualHistory, FLanguage);
    DelimitersCombo->setEditText(Text(E.Delimiters));
    SkippingCombo->setEditText(Text(E.SkippingChars));
    EqualCombo->setEditText(Text(E.EqualChars));
    ContextTypeCombo->setCurrentIndex(E.ContextType);
    ContextTypeChanged(E.ContextType);
}

void TSearchOptionsForm::LoadLanguageTexts() {
    const TSearchOptionsEdits E = ReadSearchOptions(FLanguage);
    for (QComboBox* Box : {DelimitersCombo, SkippingCombo, EqualCombo})
        Box->setFont(LanguageFont(FLanguage, SystemFont));
    SetComboItems(DelimitersCombo, E.DelimiterHistory, FLanguage);
    SetComboItems(SkippingCombo, E.SkippingHistory, FLanguage);
    SetComboItems(EqualCombo, E.EqualHistory, FLanguage);
    DelimitersCombo->setEditText(LangToQString(E.Delimiters, FLanguage));
    SkippingCombo->setEditText(LangToQString(E.SkippingChars, FLanguage));
    EqualCombo->setEditText(LangToQString(E.EqualChars, FLanguage));
}

void TSearchOptionsForm::ContextTypeChanged(int Type) {
    if (Type < 0) return;
    const TContextControls Shown = ContextControlsFor(Type);
    ContextSizeLabel->setVisible(Shown.ShowSize);
    ContextSizeUpDown->setVisible(Shown.ShowSize);
    FullSentOpts->setVisible(Shown.ShowSentenceOptions);
    const TContextLimits Limits = ContextSizeLimits(Type);
    ContextSizeUpDown->setRange(Limits.Minimum, Limits.Maximum);
    ContextSizeUpDown->setSingleStep(Limits.Increment);
    ContextSizeUpDown->setValue(CommonConfig->ContextSizes[static_cast<size_t>(Type)]);
}

void TSearchOptionsForm::RevertToDefault() {
    TSearchOptionsEdits E;
    if (!ReadEdits(E)) E = ReadSearchOptions(FLanguage);
    RevertSearchOptions(E, FLanguage);
    ShowEdits(E);
}

bool TSearchOptionsForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::FocusOut)
        for (QComboBox* Box : {DelimitersCombo, SkippingCombo, EqualCombo})
            if (Watched == Box->lineEdit()) AddToComboHistory(Box);
    return QDialog::eventFilter(Watched, Event);
}

bool TSearchOptionsForm::ReadEdits(TSearchOptionsEdits& E) {
    struct TField {
        QWidget* Control;
        QString Text;
        std::string* Target;
    };
    const TField Fields[] = {
        {CharWordMatch, CharWordMatch->text(), &E.WordSkipChar},
        {Char0orMore, Char0orMore->text(), &E.WildCard0orMore},
        {Char0or1, Char0or1->text(), &E.WildCard0or1},
        {CharExactly1, CharExactly1->text(), &E.WildCardExactly1},
        {TagSeparatorEdit, TagSeparatorEdit->text(), &E.TagSeparator},
        {DelimitersCombo, DelimitersCombo->currentText(), &E.Delimiters},
        {SkippingCombo, SkippingCombo->currentText(), &E.SkippingChars},
        {EqualCombo, EqualCombo->currentText(), &E.EqualChars},
    };
    for (const TField& F : Fields) {
        if (!QStringToLang(F.Text, FLanguage, *F.Target)) {
            ShowError(UnmappableTextMessage);
            F.Control->setFocus();
            return false;
        }
    }
    E.MaxHits = MaxSearchHitsEdit->text().toStdString();
    E.FrequencyOfHits = FrequencyofHitsEdit->cleanText().toStdString();
    E.ContextType = ContextTypeCombo->currentIndex();
    E.ContextSize = ContextSizeUpDown->cleanText().toStdString();
    E.WordSkipLo = WordMatchLoEdit->cleanText().toStdString();
    E.WordSkipHi = WordMatchHiEdit->cleanText().toStdString();
    E.DelimiterHistory = ComboItems(DelimitersCombo, FLanguage);
    E.SkippingHistory = ComboItems(SkippingCombo, FLanguage);
    E.EqualHistory = ComboItems(EqualCombo, FLanguage);
    return true;
}

void TSearchOptionsForm::accept() {
    TSearchOptionsEdits E;
    if (!ReadEdits(E)) return;
    switch (ApplySearchOptions(FLanguage, E)) {
        case TSearchOptionsResult::Stored:
            QDialog::accept();
            break;
        case TSearchOptionsResult::BadEqualChars:
            EqualCombo->setFocus();
            break;
        case TSearchOptionsResult::DelimitersKept:
            break;
        case TSearchOptionsResult::BadWordSkipChar:
            CharWordMatch->setFocus();
            break;
        case TSearchOptionsResult::Bad0orMore:
            Char0orMore->setFocus();
            break;
        case TSearchOptionsResult::Bad0or1:
            Char0or1->setFocus();
            break;
        case TSearchOptionsResult::BadExactly1:
            CharExactly1->setFocus();
            break;
        case TSearchOptionsResult::BadTagSeparator:
            TagSeparatorEdit->setFocus();
            break;
        case TSearchOptionsResult::BadWordSkipRange:
            WordMatchLoEdit->setFocus();
            break;
    }
}

void ShowSearchOptions(bool LockLanguage, int Language) {
    if (LanguagesCount < 1) return;
    const int L = std::clamp(Language, 0, LanguagesCount - 1);
    if (!LanguageConfigs[static_cast<size_t>(L)]) return;
    TSearchOptionsForm Form(LockLanguage, L, QApplication::activeWindow());
    Form.exec();
}
