// The distribution window: how the hits of a concordance window spread over the text (equal parts of the
// lines of one file or of the whole corpus) or over the corpus files, one bar set per language; it
// describes the query, prints the chart and saves the numbers as a text report. The buckets and texts
// come from the Qt-free results/ConcDistribList. The unit also holds the routine that writes a query's
// description into captioned labels, which other windows use too.
#pragma once

#include <QPointer>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"
#include "results/ConcDistribList.h"

class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QGraphicsSimpleTextItem;
class QHorizontalBarSeries;
class QLabel;
class QMdiArea;
class QPainter;
class QPrinter;
class QPushButton;
class QScrollArea;
class QSizeF;
class QValueAxis;
class QWidget;
class TConcordItems;
class TConcSearchRec;

// The captioned labels of a query description: an options row (always shown) and three panels. Each
// caption label has its value label at the same index. Everything is borrowed.
struct TQueryOptionsLabels {
    QWidget* OptionsPanel = nullptr;
    std::array<QLabel*, 4> OptionCaptions{}, OptionValues{};  // syntax, ignore case, frequency, sentence
    QWidget* PaddingPanel = nullptr;
    std::array<QLabel*, 2> PaddingCaptions{}, PaddingValues{};  // skipping, equal characters
    QWidget* HeadingPanel = nullptr;
    std::array<QLabel*, 5> HeadingCaptions{}, HeadingValues{};  // start, stop, match, text start, stop
    QWidget* ContextPanel = nullptr;
    std::array<QLabel*, 2> ContextCaptions{}, ContextValues{};  // left, right
};

// Writes the description of Query into Labels (DescribeQuery of engine/ConcQueryDesc): captions and
// values (pattern bytes shown through the query language's code page), the options row laid out left
// to right with each value 5 pixels right of its caption and each next caption 5 pixels right of the
// previous value, and the three panels shown or hidden as the query asks. Returns the sum of the
// heights of the panels shown among the three (0 for a plain query).
int ShowQueryOptions(const TConcSearchRec& Query, TQueryOptionsLabels& Labels);

// The hit lists and query records of a concordance window, one slot per language (nullptr: none). The
// distribution window borrows them: their owner keeps them alive as long as the window and tells it with
// CM_DISTRIBREFRESH whenever the hits change.
using TDistribHitLists = std::array<TConcordItems*, MaxLanguages>;
using TDistribQueries = std::array<TConcSearchRec*, MaxLanguages>;

class TDistributionForm : public TAppMessageForm {
    Q_OBJECT
public:
    // The window over the owner's lists: the step at 5 %, the scope at "Files distribution" when language
    // 0 has two files or more, else "All"; the description of PrimaryLanguage's query; the buckets of
    // every corpus language computed and drawn.
    TDistributionForm(int PrimaryLanguage, const TDistribHitLists& HitLists, const TDistribQueries& Queries,
                      QWidget* Parent = nullptr);
    // Broadcasts CM_DISTRIBCLOSED with the window as WParam. Freed on its own (as the owner frees it), the
    // window takes its MDI frame with it.
    ~TDistributionForm() override;

    // The scope (a file index, ScopeAll or ScopeFiles) and the chosen step index.
    int Scope() const { return FScope; }
    int StepIndex() const { return FStepIndex; }
    int LanguageCount() const { return FLanguageCount; }
    // Language's buckets as last computed, and their sum.
    const TDistribList& List(int Language) const { return FLists[size_t(Language)]; }
    int64_t Total(int Language) const { return FTotals[size_t(Language)]; }
    // The text beside bar Bucket of Language; "" while the marks are hidden or past the buckets.
    QString MarkText(int Language, int Bucket) const;

    // Text "" says the owner's lines are every hit of its query. Any other text (why they are not, and
    // what to do) is shown beside the number of hits and as the chart's title, so that the bars of a
    // search stopped early are never read as the spread over the whole text.
    void SetPartialText(const QString& Text);
    // Rebuilds every language's buckets under the wait cursor, then draws them.
    void Recompute();
    // "&Print": the chart and the description on the shared printer, landscape (portrait at 2 %), through
    // the registered print dialog; the printer's orientation is given back afterwards.
    void Print();
    // Saves the numbers as a text report into the file the registered file dialog names; an error is
    // shown in a message box and leaves an older file of that name whole.
    void SaveReport();

    // CM_DISTRIBREFRESH: the owner's hits changed. A chosen file that language 0 no longer has gives way
    // to "All"; the scope combo and the description follow; the buckets are computed again.
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

    QComboBox* ScopeCombo;
    QLabel* StepLabel;
    QComboBox* StepCombo;
    QCheckBox* PercentCheck;
    QCheckBox* LabelsCheck;
    QPushButton* PrintBtn;
    QPushButton* SaveBtn;
    QLabel* PatternCaption;
    QLabel* PatternValue;
    QLabel* HitsCaption;
    QLabel* HitsValue;
    TQueryOptionsLabels Description;
    QLabel* PartialLabel;      // why the hits are not every hit of the query; hidden for a complete list
    QScrollArea* ChartScroll;  // holds ChartView, which grows beyond it when the bars need the room
    QChartView* ChartView;
    QChart* Chart;
    QHorizontalBarSeries* Series;
    QBarCategoryAxis* CategoryAxis;
    QValueAxis* ValueAxis;

protected:
    bool event(QEvent* Event) override;

private:
    void BuildControls();
    void BuildDescription();
    void BuildChart();
    void FillScopeCombo();
    void EnableStepControls();
    void FillDescription();
    void Draw();
    void FitChartHeight();
    // The label of a category of the chart (rich text when each language has its own range).
    QString CategoryText(const std::vector<TDistribRange>& Ranges) const;
    // The window width at which the legend names every language whole.
    int LegendWidth() const;
    // Scrolls the chart to where the text starts: files from the top, steps from the foot.
    void ShowTextStart();
    void PlaceMarks();
    void ScopeChosen(int Index);
    void StepChosen(int Index);
    TDistribAxis Axis() const;
    std::vector<TDistribColumn> ReportColumns() const;
    void PaintPage(QPainter& Painter, QPrinter& Printer);
    // Gives the chart Size and lays it and its marks out at once.
    void LayOutChart(const QSizeF& Size);

    QString FPartialText;
    int FPrimaryLanguage;
    TDistribHitLists FHitLists;
    TDistribQueries FQueries;
    int FLanguageCount;
    int FScope;
    int FStepIndex = DefaultDistribStep;
    std::array<TDistribList, MaxLanguages> FLists;
    std::array<int64_t, MaxLanguages> FTotals{};
    std::array<QBarSet*, MaxLanguages> FSets{};
    int FCategoryCount = 0;
    int FCategoryLines = 1;  // the most lines a category label holds
    bool FReversed = false;  // the first bucket is the top category
    // What the chart was last drawn with; other categories show from the text's start again.
    std::optional<TDistribAxis> FDrawnAxis;
    int FDrawnCategories = 0;
    bool FStartPending = false;  // until the scroll area has taken the chart's new height
    // Per language, one mark per bar.
    std::array<std::vector<QGraphicsSimpleTextItem*>, MaxLanguages> FMarks;
};

// Opens the distribution window of a concordance window's lists (see TDistributionForm) as a child of
// Area (a top-level window without one) and returns it. The window is freed when it closes; the owner
// keeps the pointer in a QPointer, sends it CM_DISTRIBREFRESH when its hits change, and frees it when it
// closes itself.
TDistributionForm* ShowDistribution(QMdiArea* Area, int PrimaryLanguage, const TDistribHitLists& HitLists,
                                    const TDistribQueries& Queries);
