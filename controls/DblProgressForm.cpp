#include "controls/DblProgressForm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

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

QProgressBar* MakeGauge(QWidget* Parent, const char* Name, QRect Geometry) {
    auto* bar = new QProgressBar(Parent);
    bar->setObjectName(QString::fromLatin1(Name));
    bar->setGeometry(Geometry);
    bar->setAlignment(Qt::AlignCenter);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, Qt::blue);
    bar->setPalette(palette);
    return bar;
}

}  // namespace

TDblProgressWindow::TDblProgressWindow(TDoubleProgressForm& Form)
    : QDialog(nullptr, ProgressWindowFlags()), FForm(Form) {
    setModal(false);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

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

    CentreOnScreen(this, QSize(TDoubleProgressForm::ClientWidth, FForm.ClientHeight()));
    Changed();
}

void TDblProgressWindow::BuildMainPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(kPanelNames[dpMain]));
    FPanels[dpMain] = panel;
    const int width = TDoubleProgressForm::ClientWidth - 16;
    const QRect labelRects[] = {{8, 6, width, 16}, {8, 50, width, 16}, {8, 94, width, 16}, {8, 120, 198, 16}};
    for (int l = dlSubProgress; l <= dlAction; ++l) {
        FLabels[l] = MakeLabel(panel, QString());
        FLabels[l]->setObjectName(QString::fromLatin1(kLabelNames[l]));
        FLabels[l]->setGeometry(labelRects[l]);
    }
    SubProgressBar = MakeGauge(panel, "SubProgressBar", QRect(8, 24, width, 20));
    ProgressBar = MakeGauge(panel, "ProgressBar", QRect(8, 68, width, 20));

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), panel);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(214, 116, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });

    DetailsBtn = new QPushButton(panel);
    DetailsBtn->setObjectName(QStringLiteral("DetailsBtn"));
    DetailsBtn->setGeometry(297, 116, 87, 25);
    connect(DetailsBtn, &QPushButton::clicked, this, [this] { FForm.ToggleDetails(); });
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
        FPanels[p]->setGeometry(0, top, TDoubleProgressForm::ClientWidth,
                                TDoubleProgressForm::PanelHeight(panel));
        top += TDoubleProgressForm::PanelHeight(panel);
    }
    // Panels below the client height stay where they are and are simply cut off, as the details fold.
    setFixedSize(TDoubleProgressForm::ClientWidth, FForm.ClientHeight());
}

void TDblProgressWindow::Changed() {
    setWindowTitle(FromUtf8(FForm.Caption()));
    for (int l = 0; l < dlLabelCount; ++l) FLabels[l]->setText(FromUtf8(FForm.Label(TDblProgressLabel(l))));
    ShowGauge(SubProgressBar, FForm.SubMin(), FForm.SubMax(), FForm.SubProgress());
    SubProgressBar->setVisible(FForm.SubGaugeVisible());
    ShowGauge(ProgressBar, FForm.Min(), FForm.Max(), FForm.Progress());
    DetailsBtn->setText(QString::fromLatin1(FForm.DetailsCaption()));
    DetailsBtn->setVisible(FForm.DetailsButtonVisible());
    PlacePanels();
}

void TDblProgressWindow::ShowWindow() {
    show();
    raise();
    activateWindow();
}

void TDblProgressWindow::HideWindow() {
    hide();
}

void TDblProgressWindow::reject() {
    CancelBtn->click();
}

void TDblProgressWindow::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    FForm.Hide();
}
