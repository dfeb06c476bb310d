#include "results/ConcHeadingContext.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "results/ConcHeadings.h"
#include "results/ConcOptionRules.h"

namespace {

constexpr int MaxPatternLength = 255;

TConcordConfig& Config(int Language) {
    return *LanguageConfigs.at(static_cast<size_t>(Language));
}

QComboBox* MakePatternBox(QWidget* Parent, const std::vector<std::string>& History, int Language) {
    QComboBox* Box = NewHistoryCombo(Parent);
    Box->lineEdit()->setMaxLength(MaxPatternLength);
    Box->setFont(LanguageFont(Language, SystemFont));
    SetComboItems(Box, History, Language);
    Box->setEditText(History.empty() ? QString() : LangToQString(History.front(), Language));
    return Box;
}

}  // namespace

THeadingContextForm::THeadingContextForm(TConcSearchRec& Query, int Language, int Slot, QWidget* Parent)
    : QDialog(Parent), FQuery(Query), FLanguage(Language), FSlot(std::clamp(Slot, 0, 2)) {
    setWindowTitle("Headings/Contexts Search");
    const TConcordConfig& C = Config(Language);
    const size_t S = static_cast<size_t>(FSlot);
    HeadingCheck = new QCheckBox("&Heading search:", this);
    PatternLabel = new QLabel("Pattern:", this);
    HeadingPattern = MakePatternBox(this, C.HeadingHistory[S], Language);
    PatternLabel->setBuddy(HeadingPattern);
    HeadingCombo = new QComboBox(this);
    EditBtn = new QPushButton("&Edit...", this);
    ContextCheck = new QCheckBox("&Context search:", this);
    LeftLabel = new QLabel("&Left:", this);
    LeftPattern = MakePatternBox(this, C.LeftHistory[S], Language);
    LeftLabel->setBuddy(LeftPattern);
    RightLabel = new QLabel("&Right:", this);
    RightPattern = MakePatternBox(this, C.RightHistory[S], Language);
    RightLabel->setBuddy(RightPattern);
    CloseBtn = new QPushButton("Close", this);
    CloseBtn->setDefault(true);

    auto* Layout = new QGridLayout(this);
    Layout->addWidget(HeadingCheck, 0, 0, 1, 2);
    Layout->addWidget(HeadingCombo, 0, 2);
    Layout->addWidget(EditBtn, 0, 3);
    Layout->addWidget(PatternLabel, 1, 0);
    Layout->addWidget(HeadingPattern, 1, 1, 1, 3);
    Layout->addWidget(ContextCheck, 2, 0, 1, 4);
    Layout->addWidget(LeftLabel, 3, 0);
    Layout->addWidget(LeftPattern, 3, 1, 1, 3);
    Layout->addWidget(RightLabel, 4, 0);
    Layout->addWidget(RightPattern, 4, 1, 1, 3);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(CloseBtn);
    Layout->addLayout(Buttons, 5, 0, 1, 4);
    Layout->setColumnStretch(2, 1);
    // The heading pattern is created before the definition box above it; Tab reads the rows in order.
    QWidget* Previous = nullptr;
    SetTabOrders(Previous, {HeadingCheck, HeadingCombo, EditBtn, HeadingPattern, ContextCheck, LeftPattern,
                            RightPattern, CloseBtn});

    FLastHeading = C.LastHeading;
    if (Query.Flags & sfHeading) {
        HeadingCheck->setChecked(true);
        HeadingPattern->setEditText(LangToQString(Query.HeadingPattern, Language));
    }
    if (Query.Flags & sfContext) {
        ContextCheck->setChecked(true);
        LeftPattern->setEditText(LangToQString(Query.LeftContext, Language));
        RightPattern->setEditText(LangToQString(Query.RightContext, Language));
    }
    FillDefinitions();
    for (QComboBox* Box : {HeadingPattern, LeftPattern, RightPattern})
        Box->lineEdit()->installEventFilter(this);
    connect(HeadingCheck, &QCheckBox::toggled, this, &THeadingContextForm::UpdateEnabled);
    connect(ContextCheck, &QCheckBox::toggled, this, &THeadingContextForm::UpdateEnabled);
    connect(EditBtn, &QPushButton::clicked, this, [this] {
        ShowHeadingsConfig(FLanguage);
        FillDefinitions();
    });
    connect(CloseBtn, &QPushButton::clicked, this, &THeadingContextForm::accept);
    SetInitialFocus(0);
}

void THeadingContextForm::FillDefinitions() {
    const auto& Headings = Config(FLanguage).Headings;
    HeadingCombo->clear();
    for (const auto& H : Headings) HeadingCombo->addItem(LangToQString(H.Name, FLanguage));
    if (Headings.empty()) {
        // Without a definition there are no markers to search between.
        HeadingCheck->setChecked(false);
        HeadingCheck->setEnabled(false);
    } else {
        HeadingCheck->setEnabled(true);
        HeadingCombo->setCurrentIndex(InitialHeadingDefinition(Headings, FLastHeading));
    }
    UpdateEnabled();
}

void THeadingContextForm::UpdateEnabled() {
    const bool Heading = HeadingCheck->isChecked();
    for (QWidget* W : std::initializer_list<QWidget*>{HeadingCombo, PatternLabel, HeadingPattern})
        W->setEnabled(Heading);
    const bool Context = ContextCheck->isChecked();
    for (QWidget* W : std::initializer_list<QWidget*>{LeftLabel, LeftPattern, RightLabel, RightPattern})
        W->setEnabled(Context);
}

void THeadingContextForm::SetInitialFocus(int Focus) {
    QWidget* Target = HeadingCheck->isChecked()   ? static_cast<QWidget*>(HeadingPattern)
                      : ContextCheck->isChecked() ? static_cast<QWidget*>(LeftPattern)
                      : HeadingCheck->isEnabled() ? static_cast<QWidget*>(HeadingCheck)
                                                  : static_cast<QWidget*>(ContextCheck);
    if (Focus == 1) Target = HeadingPattern;
    if (Focus == 2) Target = LeftPattern;
    if (Focus == 3) Target = RightPattern;
    Target->setFocus();
}

bool THeadingContextForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::FocusOut) {
        for (QComboBox* Box : {HeadingPattern, LeftPattern, RightPattern})
            if (Watched == Box->lineEdit()) AddToComboHistory(Box);
    }
    return QDialog::eventFilter(Watched, Event);
}

void THeadingContextForm::Apply() {
    if (FApplied) return;
    FApplied = true;
    for (QComboBox* Box : {HeadingPattern, LeftPattern, RightPattern})
        if (Box->lineEdit()->hasFocus()) AddToComboHistory(Box);
    TConcordConfig& C = Config(FLanguage);
    THeadingContextChoice Choice;
    Choice.HeadingSearch = HeadingCheck->isChecked();
    Choice.HeadingPattern = QStringToLangLossy(HeadingPattern->currentText(), FLanguage);
    Choice.Definition = HeadingCombo->currentIndex();
    Choice.ContextSearch = ContextCheck->isChecked();
    Choice.LeftPattern = QStringToLangLossy(LeftPattern->currentText(), FLanguage);
    Choice.RightPattern = QStringToLangLossy(RightPattern->currentText(), FLanguage);
    const bool Heading = ApplyHeadingContext(FQuery, Choice, C.Headings);
    const size_t S = static_cast<size_t>(FSlot);
    C.HeadingHistory[S] = ComboItems(HeadingPattern, FLanguage);
    C.LeftHistory[S] = ComboItems(LeftPattern, FLanguage);
    C.RightHistory[S] = ComboItems(RightPattern, FLanguage);
    if (Heading) C.LastHeading = C.Headings[static_cast<size_t>(Choice.Definition)].Name;
}

void THeadingContextForm::accept() {
    Apply();
    QDialog::accept();
}

// Close is the cancel button too, with the same result: Escape applies as well.
void THeadingContextForm::reject() {
    Apply();
    QDialog::accept();
}

void ShowHeadingContextSearch(TConcSearchRec& Query, int Language, int Slot, int Focus) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    THeadingContextForm Form(Query, Language, Slot, QApplication::activeWindow());
    Form.SetInitialFocus(Focus);
    Form.exec();
}
