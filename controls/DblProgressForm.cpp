#include "controls/DblProgressForm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/ProgressForm.h"

namespace {

const char* const kLabelNames[dlLabelCount] = {
    "SubProgressLabel",  "ProgressLabel",     "SpecialText",      "ActionLabel",       "LeftContextLabel",
    "RightContextLabel", "HeadingStartLabel", "HeadingStopLabel", "HeadingMatchLabel", "TextStartLabel",
    "TextStopLabel",     "SkipCharLabel",     "EqualCharsLabel",  "SyntaxLabel",       "IgnoreCaseLabel",
    "SentModeLabel",     "FreqOfHitsLabel"};

const char* const kPanelNames[dpPanelCount] = {"MainPanel", "ContextPanel", "HeadingPanel", "PaddingPanel",
                                               "OptionsPanel"};

QString FromUtf8(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

QLabel* MakeLabel(QWidget* Parent, const QString& Text) {
    auto* label = new QLabel(Text, Parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QProgressBar* MakeGauge(QWidget* Parent, const char* Name) {
    auto* bar = new QProgressBar(Parent);
    bar->setObjectName(QString::fromLatin1(Name));
    bar->setAlignment(Qt::AlignCenter);
    return bar;
}

}  // namespace

TDblProgressWindow::TDblProgressWindow(TDoubleProgressForm& Form, QWidget* Owner)
    : QDialog(nullptr, ProgressWindowFlags()), FForm(Form) {
    PrepareProgressWindow(this, Owner);

    BuildMainPanel();
    BuildDetailPanel(dpContext, 2, {{"Left context:", dlLeftContext}, {"Right context:", dlRightContext}});
    BuildDetailPanel(dpHeading, 2,
                     {{"Heading start:", dlHeadingStart},
                      {"Heading stop:", dlHeadingStop},
                      {"Heading match:", dlHeadingMatch},
                      {"Text start:", dlTextStart},
                      {"Text stop:", dlTextStop}});
    BuildDetailPanel(dpPadding, 2,
                     {{"Skipping characters:", dlSkipChars}, {"Equal characters:", dlEqualChars}});
    BuildDetailPanel(dpOptions, 4,
                     {{"Search:", dlSyntax},
                      {"Ignore case:", dlIgnoreCase},
                      {"Sent. mode:", dlSentMode},
                      {"Freq. of hits:", dlFreqOfHits}});

    Changed();
    CentreOnScreen(this, size());
}

// The places of the old fixed layout, grown where the font or a caption needs more room: the file's
// line and gauge, the job's line and gauge, the special text, then the action text beside the buttons.
void TDblProgressWindow::BuildMainPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(kPanelNames[dpMain]));
    FPanels[dpMain] = panel;
    for (int l = dlSubProgress; l <= dlAction; ++l) {
        FLabels[l] = MakeLabel(panel, QString());
        FLabels[l]->setObjectName(QString::fromLatin1(kLabelNames[l]));
    }
    SubProgressBar = MakeGauge(panel, "SubProgressBar");
    ProgressBar = MakeGauge(panel, "ProgressBar");
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), panel);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(CancelBtn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });
    DetailsBtn = new QPushButton(QStringLiteral("No details <<"), panel);
    DetailsBtn->setObjectName(QStringLiteral("DetailsBtn"));
    connect(DetailsBtn, &QPushButton::clicked, this, [this] { FForm.ToggleDetails(); });

    const int line = std::max(16, fontMetrics().height());
    const QSize cancel = ButtonSize(CancelBtn, QSize(75, 25));
    const QSize details = ButtonSize(DetailsBtn, QSize(87, 25));  // fits both of its captions
    const int buttonHeight = std::max(cancel.height(), details.height());
    const int width = TDoubleProgressForm::ClientWidth;
    const int inner = width - 16;
    int y = 6;
    FLabels[dlSubProgress]->setGeometry(8, y, inner, line);
    y += line + 2;
    SubProgressBar->setGeometry(8, y, inner, 20);
    y += 26;
    FLabels[dlProgress]->setGeometry(8, y, inner, line);
    y += line + 2;
    ProgressBar->setGeometry(8, y, inner, 20);
    y += 26;
    FLabels[dlSpecial]->setGeometry(8, y, inner, line);
    y += line + 6;
    const int detailsLeft = width - 8 - details.width();
    const int cancelLeft = detailsLeft - 8 - cancel.width();
    DetailsBtn->setGeometry(detailsLeft, y, details.width(), buttonHeight);
    CancelBtn->setGeometry(cancelLeft, y, cancel.width(), buttonHeight);
    FLabels[dlAction]->setGeometry(8, y + (buttonHeight - line) / 2, std::max(0, cancelLeft - 16), line);
    FMainHeight = std::max(TDoubleProgressForm::PanelHeight(dpMain), y + buttonHeight + 10);
}

void TDblProgressWindow::BuildDetailPanel(
    TDblProgressPanel Which, int Columns,
    std::initializer_list<std::pair<const char*, TDblProgressLabel>> Pairs) {
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(kPanelNames[Which]));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(8, 1, 8, 1);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(0);
    int cell = 0;
    for (const auto& [caption, which] : Pairs) {
        const int row = cell / Columns, column = 2 * (cell % Columns);
        grid->addWidget(MakeLabel(panel, QString::fromLatin1(caption)), row, column);
        FLabels[which] = MakeLabel(panel, QString());
        FLabels[which]->setObjectName(QString::fromLatin1(kLabelNames[which]));
        grid->addWidget(FLabels[which], row, column + 1);
        ++cell;
    }
    for (int c = 1; c < 2 * Columns; c += 2) grid->setColumnStretch(c, 1);
    FPanels[Which] = panel;
}

void TDblProgressWindow::PlacePanels() {
    int top = 0;
    for (int p = dpMain; p < dpPanelCount; ++p) {
        const auto panel = TDblProgressPanel(p);
        FPanels[p]->setVisible(FForm.PanelVisible(panel));
        if (!FForm.PanelVisible(panel)) continue;
        FPanels[p]->setGeometry(0, top, TDoubleProgressForm::ClientWidth, PanelHeight(panel));
        top += PanelHeight(panel);
    }
    // Panels below the client height stay where they are and are simply cut off, as the details fold.
    int height = PanelHeight(dpMain);
    if (FForm.DetailsShown()) {
        height += PanelHeight(dpOptions);
        for (TDblProgressPanel p : {dpPadding, dpHeading, dpContext})
            if (FForm.PanelVisible(p)) height += PanelHeight(p);
    }
    setFixedSize(TDoubleProgressForm::ClientWidth, height);
}

int TDblProgressWindow::PanelHeight(TDblProgressPanel Which) const {
    if (Which == dpMain) return FMainHeight;
    return std::max(TDoubleProgressForm::PanelHeight(Which), FPanels[Which]->minimumSizeHint().height());
}

void TDblProgressWindow::Changed() {
    const bool all = !FShown.Valid;
    FShown.Valid = true;
    if (all || FShown.Caption != FForm.Caption()) {
        FShown.Caption = FForm.Caption();
        SetLiteralWindowTitle(this, FromUtf8(FShown.Caption));
    }
    for (int l = 0; l < dlLabelCount; ++l) {
        const auto which = TDblProgressLabel(l);
        if (!all && FShown.Labels[l] == FForm.Label(which)) continue;
        FShown.Labels[l] = FForm.Label(which);
        if (which == dlSubProgress || which == dlProgress || which == dlSpecial)
            SetElidedText(FLabels[l], FromUtf8(FShown.Labels[l]));
        else
            FLabels[l]->setText(FromUtf8(FShown.Labels[l]));
    }
    if (all || FShown.SubMin != FForm.SubMin() || FShown.SubMax != FForm.SubMax() ||
        FShown.SubProgress != FForm.SubProgress()) {
        FShown.SubMin = FForm.SubMin();
        FShown.SubMax = FForm.SubMax();
        FShown.SubProgress = FForm.SubProgress();
        ShowGauge(SubProgressBar, FShown.SubMin, FShown.SubMax, FShown.SubProgress);
    }
    if (all || FShown.Min != FForm.Min() || FShown.Max != FForm.Max() ||
        FShown.Progress != FForm.Progress()) {
        FShown.Min = FForm.Min();
        FShown.Max = FForm.Max();
        FShown.Progress = FForm.Progress();
        ShowGauge(ProgressBar, FShown.Min, FShown.Max, FShown.Progress);
    }
    bool layout = all || FShown.SubGaugeVisible != FForm.SubGaugeVisible() ||
                  FShown.DetailsButtonVisible != FForm.DetailsButtonVisible() ||
                  FShown.DetailsShown != FForm.DetailsShown();
    for (int p = 0; p < dpPanelCount; ++p) {
        layout = layout || FShown.PanelVisible[p] != FForm.PanelVisible(TDblProgressPanel(p));
        FShown.PanelVisible[p] = FForm.PanelVisible(TDblProgressPanel(p));
    }
    if (!layout) return;
    FShown.SubGaugeVisible = FForm.SubGaugeVisible();
    FShown.DetailsButtonVisible = FForm.DetailsButtonVisible();
    FShown.DetailsShown = FForm.DetailsShown();
    SubProgressBar->setVisible(FShown.SubGaugeVisible);
    DetailsBtn->setText(QString::fromLatin1(FForm.DetailsCaption()));
    DetailsBtn->setVisible(FShown.DetailsButtonVisible);
    PlacePanels();
}

void TDblProgressWindow::ShowWindow() {
    ShowProgressWindow(this);
}

void TDblProgressWindow::HideWindow() {
    hide();
}

void TDblProgressWindow::reject() {
    CancelBtn->click();
}

void TDblProgressWindow::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    reject();
}
