#include "results/ConcDistrib.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLegend>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>

#include "controls/FileDialogs.h"
#include "engine/ConcConfig.h"
#include "engine/ConcQueryDesc.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "ui/Msg.h"

namespace {

constexpr int LabelGap = 5;

QString ValueText(const std::string& Value, int32_t Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) {
        return QString::fromLatin1(Value.data(), static_cast<qsizetype>(Value.size()));
    }
    const std::u16string text = platform::CodePageToUtf16(LangCodePage(Language), Value);
    return QString::fromStdU16String(text);
}

template <size_t N>
void Fill(const std::vector<TQueryDescItem>& Items, int32_t Language, std::array<QLabel*, N>& Captions,
          std::array<QLabel*, N>& Values) {
    for (size_t i = 0; i < N && i < Items.size(); ++i) {
        if (Captions[i] != nullptr) Captions[i]->setText(QString::fromLatin1(Items[i].Caption));
        if (Values[i] != nullptr) Values[i]->setText(ValueText(Items[i].Value, Language));
    }
}

int TextWidth(const QLabel* Label) {
    return QFontMetrics(Label->font()).horizontalAdvance(Label->text());
}

int ShowPanel(QWidget* Panel, bool Visible) {
    if (Panel == nullptr) return 0;
    Panel->setVisible(Visible);
    return Visible ? Panel->height() : 0;
}

}  // namespace

int ShowQueryOptions(const TConcSearchRec& Query, TQueryOptionsLabels& Labels) {
    const TQueryDescription d = DescribeQuery(Query);
    Fill(d.Options, d.Language, Labels.OptionCaptions, Labels.OptionValues);
    Fill(d.Padding, d.Language, Labels.PaddingCaptions, Labels.PaddingValues);
    Fill(d.Heading, d.Language, Labels.HeadingCaptions, Labels.HeadingValues);
    Fill(d.Context, d.Language, Labels.ContextCaptions, Labels.ContextValues);
    int x = -1;
    for (size_t i = 0; i < Labels.OptionCaptions.size(); ++i) {
        QLabel* caption = Labels.OptionCaptions[i];
        QLabel* value = Labels.OptionValues[i];
        if (caption == nullptr || value == nullptr) continue;
        if (x >= 0) caption->move(x, caption->y());
        caption->resize(TextWidth(caption), caption->height());
        value->move(caption->x() + caption->width() + LabelGap, value->y());
        value->resize(TextWidth(value), value->height());
        x = value->x() + value->width() + LabelGap;
    }
    return ShowPanel(Labels.PaddingPanel, d.PaddingVisible) +
           ShowPanel(Labels.HeadingPanel, d.HeadingVisible) +
           ShowPanel(Labels.ContextPanel, d.ContextVisible);
}

// ---- The distribution window -----------------------------------------------------------------------

namespace {

QString FromUtf8(const std::string& Text) {
    return QString::fromStdString(Text);
}

const TConcordConfig* Config(int Language) {
    if (Language < 0 || Language >= MaxLanguages) return nullptr;
    return LanguageConfigs[size_t(Language)].get();
}

std::vector<std::string> FileNamesOf(int Language) {
    std::vector<std::string> names;
    if (const TConcordConfig* config = Config(Language)) {
        for (const auto& file : config->Files) names.push_back(file.Name);
    }
    return names;
}

void AddPair(QWidget* Panel, QHBoxLayout* Row, QLabel*& Caption, QLabel*& Value) {
    Caption = new QLabel(Panel);
    Value = new QLabel(Panel);
    Value->setTextFormat(Qt::PlainText);
    Row->addWidget(Caption);
    Row->addWidget(Value);
    Row->addSpacing(LabelGap * 2);
}

QWidget* RowPanel(QWidget* Parent, QHBoxLayout*& Row) {
    auto* panel = new QWidget(Parent);
    Row = new QHBoxLayout(panel);
    Row->setContentsMargins(0, 0, 0, 0);
    Row->setSpacing(LabelGap);
    return panel;
}

// A row is as tall as its text, so that the heights ShowQueryOptions adds up are the shown ones.
void FixRowHeight(QWidget* Panel) {
    Panel->setFixedHeight(QFontMetrics(Panel->font()).height() + 4);
}

}  // namespace

TDistributionForm::TDistributionForm(int PrimaryLanguage, const TDistribHitLists& HitLists,
                                     const TDistribQueries& Queries, QWidget* Parent)
    : TAppMessageForm(Parent),
      FPrimaryLanguage(PrimaryLanguage),
      FHitLists(HitLists),
      FQueries(Queries),
      FLanguageCount(std::clamp(int(LanguagesCount), 0, int(MaxLanguages))),
      FScope(DefaultDistribScope(int(FileNamesOf(0).size()))) {
    setWindowTitle("Distribution");
    resize(640, 480);
    BuildControls();
    BuildDescription();
    BuildChart();
    FillScopeCombo();
    FillDescription();
    Recompute();
    resize(std::max(width(), LegendWidth()), height());
}

// The legend lays its entries out in one row and cuts the names that do not fit: the window asks room
// for each entry's mark, name and gaps, and for the chart's and the scroll area's own margins.
int TDistributionForm::LegendWidth() const {
    const QFontMetrics metrics(Chart->legend()->font());
    int entries = 0;
    for (QBarSet* set : FSets)
        if (set) entries += metrics.horizontalAdvance(set->label()) + metrics.height() + 24;
    const QMargins chart = Chart->margins();
    const int around = chart.left() + chart.right() + 2 * ChartView->frameWidth() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 40;
    return entries + around;
}

TDistributionForm::~TDistributionForm() {
    MarkClosing();
    BroadcastToChildren(CM_DISTRIBCLOSED, reinterpret_cast<intptr_t>(this), 0);
    // A frame whose own destruction is freeing this window is no QMdiSubWindow any more at this point.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) frame->deleteLater();
}

void TDistributionForm::BuildControls() {
    ScopeCombo = new QComboBox(this);
    ScopeCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    StepLabel = new QLabel("S&tep:", this);
    StepCombo = new QComboBox(this);
    for (int32_t step : DistribSteps) StepCombo->addItem(QString::number(step) + "%");
    StepCombo->setCurrentIndex(FStepIndex);
    StepLabel->setBuddy(StepCombo);
    PercentCheck = new QCheckBox("Per&cent", this);
    PercentCheck->setChecked(true);
    LabelsCheck = new QCheckBox("&Labels", this);
    LabelsCheck->setChecked(true);
    PrintBtn = new QPushButton("&Print", this);
    SaveBtn = new QPushButton("&Save...", this);

    auto* row = new QHBoxLayout;
    row->addWidget(ScopeCombo);
    row->addSpacing(8);
    row->addWidget(StepLabel);
    row->addWidget(StepCombo);
    row->addSpacing(8);
    row->addWidget(PercentCheck);
    row->addWidget(LabelsCheck);
    row->addStretch(1);
    row->addWidget(PrintBtn);
    row->addWidget(SaveBtn);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(2);
    column->addLayout(row);

    connect(ScopeCombo, &QComboBox::activated, this, &TDistributionForm::ScopeChosen);
    connect(StepCombo, &QComboBox::activated, this, &TDistributionForm::StepChosen);
    connect(PercentCheck, &QCheckBox::toggled, this, [this] { Draw(); });
    connect(LabelsCheck, &QCheckBox::toggled, this, [this] { PlaceMarks(); });
    connect(PrintBtn, &QPushButton::clicked, this, &TDistributionForm::Print);
    connect(SaveBtn, &QPushButton::clicked, this, &TDistributionForm::SaveReport);
}

void TDistributionForm::BuildDescription() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    QHBoxLayout* row = nullptr;
    QWidget* pattern = RowPanel(this, row);
    AddPair(pattern, row, PatternCaption, PatternValue);
    AddPair(pattern, row, HitsCaption, HitsValue);
    row->addStretch(1);
    PatternCaption->setText("Search pattern:");
    HitsCaption->setText("Hits:");
    FixRowHeight(pattern);

    // ShowQueryOptions places the options row itself, so that panel has no layout.
    Description.OptionsPanel = new QWidget(this);
    FixRowHeight(Description.OptionsPanel);
    for (size_t i = 0; i < Description.OptionCaptions.size(); ++i) {
        for (QLabel*& label :
             {std::ref(Description.OptionCaptions[i]), std::ref(Description.OptionValues[i])}) {
            label = new QLabel(Description.OptionsPanel);
            label->setGeometry(0, 0, 0, Description.OptionsPanel->height());
        }
    }
    column->addWidget(Description.OptionsPanel);
    column->addWidget(pattern);

    Description.PaddingPanel = RowPanel(this, row);
    for (size_t i = 0; i < 2; ++i)
        AddPair(Description.PaddingPanel, row, Description.PaddingCaptions[i], Description.PaddingValues[i]);
    row->addStretch(1);
    Description.HeadingPanel = RowPanel(this, row);
    for (size_t i = 0; i < 5; ++i)
        AddPair(Description.HeadingPanel, row, Description.HeadingCaptions[i], Description.HeadingValues[i]);
    row->addStretch(1);
    Description.ContextPanel = RowPanel(this, row);
    for (size_t i = 0; i < 2; ++i)
        AddPair(Description.ContextPanel, row, Description.ContextCaptions[i], Description.ContextValues[i]);
    row->addStretch(1);
    for (QWidget* panel : {Description.PaddingPanel, Description.HeadingPanel, Description.ContextPanel}) {
        FixRowHeight(panel);
        column->addWidget(panel);
    }
}

void TDistributionForm::BuildChart() {
    Chart = new QChart;
    Series = new QHorizontalBarSeries(Chart);
    // Broad bars leave a category less empty space, so the chart needs less height for its marks.
    Series->setBarWidth(0.8);
    for (int L = 0; L < FLanguageCount; ++L) {
        if (!FHitLists[size_t(L)]) continue;
        const TConcordConfig* config = Config(L);
        FSets[size_t(L)] = new QBarSet(config ? FromUtf8(config->GetLanguageName()) : QString(), Series);
        Series->append(FSets[size_t(L)]);
    }
    Chart->addSeries(Series);
    CategoryAxis = new QBarCategoryAxis(Chart);
    ValueAxis = new QValueAxis(Chart);
    ValueAxis->setLabelFormat("%d");
    Chart->addAxis(CategoryAxis, Qt::AlignLeft);
    Chart->addAxis(ValueAxis, Qt::AlignBottom);
    Series->attachAxis(CategoryAxis);
    Series->attachAxis(ValueAxis);
    Chart->legend()->setVisible(true);
    Chart->legend()->setAlignment(Qt::AlignBottom);
    PartialLabel = new QLabel(this);
    PartialLabel->setWordWrap(true);
    PartialLabel->setStyleSheet("color: #a00000; font-weight: bold");
    PartialLabel->hide();
    static_cast<QVBoxLayout*>(layout())->addWidget(PartialLabel);
    ChartScroll = new QScrollArea(this);
    ChartScroll->setFrameShape(QFrame::NoFrame);
    ChartScroll->setWidgetResizable(true);
    ChartScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ChartView = new QChartView(Chart);
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartScroll->setWidget(ChartView);
    static_cast<QVBoxLayout*>(layout())->addWidget(ChartScroll, 1);
    connect(ChartScroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int Min, int Max) {
        if (FStartPending) ChartScroll->verticalScrollBar()->setValue(FReversed ? Min : Max);
    });
    connect(Chart, &QChart::plotAreaChanged, this, [this] {
        FitChartHeight();
        PlaceMarks();
    });
}

void TDistributionForm::FillScopeCombo() {
    ScopeCombo->clear();
    for (const std::string& item : DistribScopeItems(FileNamesOf(0))) ScopeCombo->addItem(FromUtf8(item));
    ScopeCombo->setCurrentIndex(FScope + 2);
    EnableStepControls();
}

void TDistributionForm::EnableStepControls() {
    const bool steps = FScope != ScopeFiles;
    StepLabel->setEnabled(steps);
    StepCombo->setEnabled(steps);
    PercentCheck->setEnabled(steps);
}

void TDistributionForm::FillDescription() {
    const TConcSearchRec* query = FPrimaryLanguage >= 0 && FPrimaryLanguage < MaxLanguages
                                      ? FQueries[size_t(FPrimaryLanguage)]
                                      : nullptr;
    if (query) {
        ShowQueryOptions(*query, Description);
        PatternValue->setText(ValueText(query->GetTermsText(), query->Language));
    } else {
        for (QWidget* panel : {Description.PaddingPanel, Description.HeadingPanel, Description.ContextPanel})
            panel->hide();
    }
    if (const TConcordConfig* config = Config(FPrimaryLanguage)) {
        QFont font = FontSpecToQFont(config->Fonts[SystemFont]);
        font.setBold(true);
        PatternValue->setFont(font);
    }
    const TConcordItems* hits = FPrimaryLanguage >= 0 && FPrimaryLanguage < MaxLanguages
                                    ? FHitLists[size_t(FPrimaryLanguage)]
                                    : nullptr;
    const QString count = QString::number(hits ? hits->Count() : 0);
    HitsValue->setText(FPartialText.isEmpty() ? count : count + " (partial list)");
}

void TDistributionForm::SetPartialText(const QString& Text) {
    FPartialText = Text;
    FillDescription();
    const QString Said = Text.isEmpty() ? QString() : "Partial list of hits: " + Text;
    // Above the chart, wrapped, where it is read before the bars; and as the chart's title, so that a
    // printed chart says it too.
    PartialLabel->setText(Said);
    PartialLabel->setVisible(!Said.isEmpty());
    Chart->setTitle(Said);
}

void TDistributionForm::ScopeChosen(int Index) {
    if (Index < 0 || Index - 2 == FScope) return;
    FScope = Index - 2;
    EnableStepControls();
    Recompute();
}

void TDistributionForm::StepChosen(int Index) {
    if (Index < 0 || Index == FStepIndex) return;
    FStepIndex = Index;
    Recompute();
}

void TDistributionForm::Recompute() {
    {
        TWaitScope wait;
        for (int L = 0; L < MaxLanguages; ++L) {
            FLists[size_t(L)].clear();
            const TConcordItems* hits = L < FLanguageCount ? FHitLists[size_t(L)] : nullptr;
            if (!hits) continue;
            FLists[size_t(L)] = FScope == ScopeFiles
                                    ? BuildFileDistribution(L, *hits)
                                    : BuildPositionDistribution(L, FScope, FStepIndex, *hits);
        }
    }
    Draw();
}

TDistribAxis TDistributionForm::Axis() const {
    if (FScope == ScopeFiles) return TDistribAxis::Files;
    return PercentCheck->isChecked() ? TDistribAxis::Percent : TDistribAxis::Lines;
}

void TDistributionForm::Draw() {
    const TDistribAxis axis = Axis();
    // Categories run as far as the longest list; languages of different lengths, or cut into different
    // steps, have different ranges under one category, and each language's range is named there.
    std::vector<const TDistribList*> lists;
    std::vector<std::vector<std::string>> names;
    int64_t highest = 0;
    for (int L = 0; L < FLanguageCount; ++L) {
        const TDistribList& list = FLists[size_t(L)];
        FTotals[size_t(L)] = DistribTotal(list);
        lists.push_back(&list);
        names.push_back(FileNamesOf(L));
        for (const TDistribItem& item : list) highest = std::max<int64_t>(highest, item.Hits);
    }
    QStringList categories;
    FCategoryLines = 1;
    for (const std::vector<TDistribRange>& ranges : DistribCategoryRanges(lists, axis, names)) {
        categories << CategoryText(ranges);
        FCategoryLines = std::max(FCategoryLines, int(ranges.size()));
    }
    // Bar categories count from the bottom; files read from the top down.
    FReversed = axis == TDistribAxis::Files;
    FCategoryCount = int(categories.size());
    if (FReversed) std::reverse(categories.begin(), categories.end());
    for (int L = 0; L < FLanguageCount; ++L) {
        QBarSet* set = FSets[size_t(L)];
        if (!set) continue;
        set->remove(0, set->count());
        QList<qreal> values;
        for (const TDistribItem& item : FLists[size_t(L)]) values << qreal(item.Hits);
        while (values.size() < categories.size()) values << 0;
        if (FReversed) std::reverse(values.begin(), values.end());
        set->append(values);
    }
    CategoryAxis->clear();
    CategoryAxis->append(categories);
    CategoryAxis->setTitleText(FromUtf8(DistribAxisTitle(axis)));
    // Room right of the longest bar for its mark.
    ValueAxis->setRange(0, std::max<qreal>(std::ceil(qreal(highest) * 1.25), 4));
    ValueAxis->applyNiceNumbers();
    FitChartHeight();
    PlaceMarks();
    // A refresh of the same categories leaves the chart where the user scrolled it.
    if (FDrawnAxis != axis || FDrawnCategories != FCategoryCount) ShowTextStart();
    FDrawnAxis = axis;
    FDrawnCategories = FCategoryCount;
}

// Languages of different lengths have different ranges under one category: each gets a line of its own,
// behind a square of its bars' colour, which the legend names. One line of all of them joined was cut
// short at any window size, with nothing saying whose range was whose.
QString TDistributionForm::CategoryText(const std::vector<TDistribRange>& Ranges) const {
    if (Ranges.size() == 1 && Ranges.front().Language < 0) return FromUtf8(Ranges.front().Text);
    QStringList lines;
    for (const TDistribRange& range : Ranges) {
        QBarSet* set =
            range.Language >= 0 && range.Language < MaxLanguages ? FSets[size_t(range.Language)] : nullptr;
        const QString colour = set ? set->color().name() : QString("#000000");
        lines << QString("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
                     .arg(colour, FromUtf8(range.Text).toHtmlEscaped().replace(' ', "&nbsp;"));
    }
    return lines.join("<br>");
}

// A chart taller than the window opened at its top would show the end of the text first when its
// categories count from the foot.
void TDistributionForm::ShowTextStart() {
    FStartPending = true;
    QTimer::singleShot(0, this, [this] {
        QScrollBar* Bar = ChartScroll->verticalScrollBar();
        Bar->setValue(FReversed ? Bar->minimum() : Bar->maximum());
        FStartPending = false;
    });
}

// Every category gets the same share of the plot's height: with many steps (fifty at 2 %) and several
// languages, a window's height would leave each bar less than a line, and the marks and category labels
// would run into one another. The chart is never shorter than one mark per bar; the window scrolls.
void TDistributionForm::FitChartHeight() {
    const int sets = std::max(int(Series->count()), 1);
    const qreal markHeight = QFontMetricsF(QGraphicsSimpleTextItem().font()).height() + 2;
    const qreal lineHeight = QFontMetricsF(CategoryAxis->labelsFont()).height();
    const qreal labelHeight = lineHeight * (FCategoryLines * 2) + 2;
    // Marks sit at the centres of neighbouring bars, which are the bar width's share of a category apart.
    const qreal perCategory = std::max(labelHeight, markHeight * sets / Series->barWidth());
    // What the chart spends outside its plot: margins, legend, value axis and its labels.
    const qreal plot = Chart->plotArea().height();
    const qreal rest = plot > 0 ? Chart->size().height() - plot : 4 * (lineHeight + 2) + 40;
    ChartView->setMinimumHeight(int(std::ceil(perCategory * std::max(FCategoryCount, 1) + rest)));
}

QString TDistributionForm::MarkText(int Language, int Bucket) const {
    if (Language < 0 || Language >= MaxLanguages) return {};
    const auto& marks = FMarks[size_t(Language)];
    if (Bucket < 0 || size_t(Bucket) >= marks.size() || !marks[size_t(Bucket)]->isVisible()) return {};
    return marks[size_t(Bucket)]->text();
}

// Qt's bar sets take their labels from one format for every bar, so the marks are text items laid over
// the chart beside the end of each bar.
void TDistributionForm::PlaceMarks() {
    const int setCount = Series->count();
    const qreal slot = Series->barWidth() / std::max(setCount, 1);
    int setIndex = 0;
    for (int L = 0; L < MaxLanguages; ++L) {
        auto& marks = FMarks[size_t(L)];
        QBarSet* set = FSets[size_t(L)];
        const size_t wanted = set ? FLists[size_t(L)].size() : 0;
        while (marks.size() > wanted) {
            delete marks.back();
            marks.pop_back();
        }
        while (marks.size() < wanted) {
            marks.push_back(new QGraphicsSimpleTextItem(Chart));
            marks.back()->setZValue(10);
        }
        if (!set) continue;
        for (size_t i = 0; i < marks.size(); ++i) {
            const int32_t hits = FLists[size_t(L)][i].Hits;
            QGraphicsSimpleTextItem* mark = marks[i];
            mark->setText(FromUtf8(DistribMarkText(hits, FTotals[size_t(L)])));
            const qreal category = FReversed ? FCategoryCount - 1 - int(i) : int(i);
            const qreal centre = category - Series->barWidth() / 2 + (setIndex + 0.5) * slot;
            const QPointF end = Chart->mapToPosition(QPointF(hits, centre), Series);
            mark->setPos(end.x() + 4, end.y() - mark->boundingRect().height() / 2);
            mark->setVisible(LabelsCheck->isChecked() && Chart->plotArea().contains(end));
        }
        ++setIndex;
    }
}

std::vector<TDistribColumn> TDistributionForm::ReportColumns() const {
    std::vector<TDistribColumn> columns;
    for (int L = 0; L < FLanguageCount; ++L) {
        const TConcordConfig* config = Config(L);
        columns.push_back(
            {config ? config->GetLanguageName() : std::string(), &FLists[size_t(L)], FileNamesOf(L)});
    }
    return columns;
}

void TDistributionForm::SaveReport() {
    TFileDialogRequest request;
    request.Save = true;
    request.Title = "Select where to save hits distribution";
    request.Filter = "Text files (*.txt);;All files (*)";
    request.DefaultSuffix = "txt";
    const std::vector<std::string> chosen = ExecuteFileDialog(request);
    if (chosen.empty()) return;
    try {
        if (FScope == ScopeFiles)
            SaveFileDistribution(chosen.front(), ReportColumns());
        else
            SavePositionDistribution(chosen.front(), ReportColumns());
    } catch (const std::exception& Error) {
        MsgDlg(Error.what(), mtCustom, MsgButton(mbOK), 0, mbOK);
    }
}

intptr_t TDistributionForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    if (Msg == CM_DISTRIBREFRESH) {
        FScope = RefreshedDistribScope(FScope, int(FileNamesOf(0).size()));
        FillScopeCombo();
        FillDescription();
        Recompute();
    }
    return 0;
}

bool TDistributionForm::event(QEvent* Event) {
    const bool handled = TAppMessageForm::event(Event);
    if (Event->type() == QEvent::WindowActivate) PostStatusText("");
    return handled;
}

TDistributionForm* ShowDistribution(QMdiArea* Area, int PrimaryLanguage, const TDistribHitLists& HitLists,
                                    const TDistribQueries& Queries) {
    auto* form = new TDistributionForm(PrimaryLanguage, HitLists, Queries);
    ShowMdiChild(Area, form);
    return form;
}
