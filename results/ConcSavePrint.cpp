#include "results/ConcSavePrint.h"

#include <QApplication>
#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QTime>
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>

#include "controls/LangText.h"
#include "controls/PrintDialogs.h"
#include "controls/TextMeasure.h"
#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/IniFiles.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

// ---------------------------------------------------------------------------------------------------
// Lines

int32_t OutputRowCount(const std::vector<TOutGrid>& Grids, int32_t MaxLines) {
    int32_t Rows = 0;
    for (const TOutGrid& Grid : Grids) Rows = std::max(Rows, Grid.Items->RowCount());
    if (MaxLines > 0) Rows = std::min(Rows, MaxLines + 1);
    return Rows;
}

std::string BuildOutputLine(const std::vector<TOutGrid>& Grids, int32_t Row, bool IncludeFrequencies) {
    std::string Line;
    // Counting cells rather than looking at the line: an empty first cell must still be followed by a
    // tab, or the row's later columns would shift left.
    bool FirstCell = true;
    for (size_t G = 0; G < Grids.size(); ++G) {
        const TWordListItems& Items = *Grids[G].Items;
        const bool HasRow = Row < Items.RowCount();
        if (!HasRow && G + 1 == Grids.size()) break;
        for (int Col = 0; Col < 3; ++Col) {
            if (Col == 1 && !IncludeFrequencies) continue;
            if (!FirstCell) Line += '\t';
            FirstCell = false;
            if (HasRow) Line += Items.GetCellText(Col, Row);
        }
        Line += char(Grids[G].Language + 1);
    }
    return Line;
}

std::string StripMarkers(std::string_view Line, int LanguageCount) {
    std::string Stripped;
    Stripped.reserve(Line.size());
    for (char C : Line)
        if (int(uint8_t(C)) > LanguageCount) Stripped += C;
    return Stripped;
}

std::vector<TMarkedGroup> SplitMarkedLine(std::string_view Line, int LanguageCount) {
    std::vector<TMarkedGroup> Groups;
    std::string Text;
    for (char C : Line) {
        const int Code = uint8_t(C);
        if (Code >= 1 && Code <= LanguageCount) {
            Groups.push_back({Code - 1, std::move(Text)});
            Text.clear();
        } else {
            Text += C;
        }
    }
    return Groups;
}

std::string WordListFileText(const std::string& Title, const std::vector<TOutGrid>& Grids,
                             const TFreqOutOptions& Options, int LanguageCount, int64_t WordCount) {
    std::string Text;
    if (Grids.size() == 1) {
        char Count[48];
        std::snprintf(Count, sizeof Count, " (%" PRId64 " words)", WordCount);
        Text += Title + Count + "\r\n\r\n";
    }
    const int32_t Rows = OutputRowCount(Grids, Options.MaxLines);
    for (int32_t Row = 1; Row < Rows; ++Row)
        Text += StripMarkers(BuildOutputLine(Grids, Row, Options.IncludeFrequencies), LanguageCount) + "\r\n";
    return Text;
}

// ---------------------------------------------------------------------------------------------------
// Page layout

TPrintGeometry PrintGeometry(int PageWidth, int PageHeight, int LeftMargin, int TopMargin, int RightMargin,
                             int BottomMargin, int Dpi, int FooterHeight, int Columns) {
    TPrintGeometry G;
    G.Gap = MillimetresToPixels(2, Dpi);
    G.Top = std::max(MillimetresToPixels(5, Dpi), TopMargin);
    G.Left = std::max(MillimetresToPixels(25, Dpi), LeftMargin);
    G.Right = PageWidth - LeftMargin - RightMargin - MillimetresToPixels(5, Dpi);
    G.Width = G.Right - G.Left;
    G.ColumnWidth = G.Width / std::max(Columns, 1);
    G.Bottom = PageHeight - TopMargin - BottomMargin - FooterHeight - G.Gap;
    return G;
}

void TPageFlow::NewPage() {
    ++FPage;
    FY = RuleY() + FGeometry.Gap;
    FLines = 0;
}

bool TPageFlow::NeedsNewPage(int Height) const {
    return FLines > 0 && FY + Height > FGeometry.Bottom;
}

// ---------------------------------------------------------------------------------------------------
// Files

std::string WordListTitle(TWordListMode Mode) {
    switch (Mode) {
        case TWordListMode::FrequencyOrder:
            return WordListTitles[0];
        case TWordListMode::Alphabetical:
            return WordListTitles[1];
        case TWordListMode::AdvancedCollocation:
            break;
    }
    return "Advanced Collocation";
}

namespace {

// Set while a list is saved or printed, so that the program refuses to close meanwhile; cleared however
// the job ends.
class TBusyFlag {
public:
    explicit TBusyFlag(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TBusyFlag() { FFlag = false; }
    TBusyFlag(const TBusyFlag&) = delete;
    TBusyFlag& operator=(const TBusyFlag&) = delete;

private:
    bool& FFlag;
};

std::string FormatOne(const char* Format, const std::string& Value) {
    std::vector<char> Text(Value.size() + std::char_traits<char>::length(Format) + 1);
    std::snprintf(Text.data(), Text.size(), Format, Value.c_str());
    return Text.data();
}

}  // namespace

bool SaveWordList(const std::string& FileName, const std::string& Title, const std::vector<TOutGrid>& Grids,
                  const TFreqOutOptions& Options) {
    const TBusyFlag Busy(SavingWordList);
    const TWaitScope Wait;
    int64_t WordCount = 0;
    if (Grids.size() == 1 && Grids[0].Language < LanguagesCount && LanguageConfigs[size_t(Grids[0].Language)])
        WordCount = LanguageConfigs[size_t(Grids[0].Language)]->GetWordCount();
    try {
        ReplaceFileAtomically(FileName, WordListFileText(Title, Grids, Options, LanguagesCount, WordCount));
    } catch (const std::exception&) {
        ShowError(FormatOne("Unable to create file \"%s\".", FileName));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Printing

namespace {

class TWordListPrinter {
public:
    TWordListPrinter(QPrinter& Printer, QPainter& Painter, const std::string& Header, int Columns)
        : FPrinter(Printer),
          FPainter(Painter),
          FHeader(QString::fromStdString(Header)),
          FHeaderFont("Arial", 10, QFont::Bold),
          FFooterFont(QApplication::font()),
          FFlow(Layout(Columns), int(std::ceil(QFontMetricsF(FHeaderFont, &Printer).height()))) {
        const QLocale Locale = QLocale::system();
        FFooter =
            QString::asprintf("Printed by %s on %s at %s", "Tessivor",
                              qUtf8Printable(Locale.toString(QDate::currentDate(), QLocale::ShortFormat)),
                              qUtf8Printable(Locale.toString(QTime::currentTime(), QLocale::ShortFormat)));
        StartPage();
    }

    void PrintLine(const std::vector<TMarkedGroup>& Groups) {
        qreal Height = 0;
        for (const TMarkedGroup& Group : Groups)
            Height = std::max(Height, QFontMetricsF(GroupFont(Group.Language), &FPrinter).height());
        const int LineHeight = int(std::ceil(Height));
        if (FFlow.NeedsNewPage(LineHeight)) {
            FPrinter.newPage();
            StartPage();
        }
        qreal X = FGeometry.Left;
        for (const TMarkedGroup& Group : Groups) {
            const QFont Font = GroupFont(Group.Language);
            const QFontMetricsF Metrics(Font, &FPrinter);
            FPainter.save();
            FPainter.setClipRect(QRectF(X, FFlow.Y(), FGeometry.ColumnWidth, LineHeight));
            FPainter.setFont(Font);
            DrawExpandingTabs(LangToQString(Group.Text, Group.Language), Metrics, X,
                              FFlow.Y() + LineHeight - Metrics.height() + Metrics.ascent());
            FPainter.restore();
            X += FGeometry.ColumnWidth + FGeometry.Gap;
        }
        FFlow.Advance(LineHeight);
    }

private:
    // Tabs stop every 8 average characters from the group's start. Laid out here rather than by
    // QTextOption, whose tab stops do not follow a high-resolution printer's scale.
    void DrawExpandingTabs(const QString& Text, const QFontMetricsF& Metrics, qreal Left, qreal Baseline) {
        const qreal Tab = 8 * Metrics.averageCharWidth();
        qreal At = 0;
        bool First = true;
        for (const QString& Part : Text.split('\t')) {
            if (!First && Tab > 0) At = (std::floor(At / Tab) + 1) * Tab;
            First = false;
            if (!Part.isEmpty()) FPainter.drawText(QPointF(Left + At, Baseline), Part);
            At += Metrics.horizontalAdvance(Part);
        }
    }

    // The painter's origin is the printable area's corner: the margins are where the paper and that area
    // differ, not the device's minimum ones.
    TPrintGeometry Layout(int Columns) {
        const QRect Paper = FPrinter.paperRect(QPrinter::DevicePixel).toRect();
        const QRect Page = FPrinter.pageRect(QPrinter::DevicePixel).toRect();
        TPrinterMargins M;
        M.PageWidth = Paper.width();
        M.PageHeight = Paper.height();
        M.LeftMargin = Page.left() - Paper.left();
        M.TopMargin = Page.top() - Paper.top();
        M.RightMargin = Paper.right() - Page.right();
        M.BottomMargin = Paper.bottom() - Page.bottom();
        const int FooterHeight = int(std::ceil(QFontMetricsF(FooterFont(), &FPrinter).height()));
        FGeometry = PrintGeometry(M.PageWidth, M.PageHeight, M.LeftMargin, M.TopMargin, M.RightMargin,
                                  M.BottomMargin, FPrinter.resolution(), FooterHeight, Columns);
        return FGeometry;
    }
    QFont FooterFont() const {
        QFont Font = FFooterFont;
        Font.setItalic(true);
        return Font;
    }
    static QFont GroupFont(int Language) { return LanguageFont(Language, SystemFont); }

    void StartPage() {
        FFlow.NewPage();
        FPainter.setPen(Qt::black);
        FPainter.setFont(FHeaderFont);
        const QFontMetricsF Metrics(FHeaderFont, &FPrinter);
        const qreal Baseline = FFlow.HeaderY() + Metrics.ascent();
        FPainter.drawText(QPointF(FGeometry.Left, Baseline), FHeader);
        const QString Page = QString::asprintf("Page %d", FFlow.Page());
        FPainter.drawText(QPointF(FGeometry.Right - Metrics.horizontalAdvance(Page), Baseline), Page);
        FPainter.drawLine(QPointF(FGeometry.Left, FFlow.RuleY()), QPointF(FGeometry.Right, FFlow.RuleY()));
        const QFont Footer = FooterFont();
        FPainter.setFont(Footer);
        FPainter.drawText(QPointF(FGeometry.Left, FGeometry.Bottom + FGeometry.Gap +
                                                      QFontMetricsF(Footer, &FPrinter).ascent()),
                          FFooter);
    }

    QPrinter& FPrinter;
    QPainter& FPainter;
    QString FHeader;
    QFont FHeaderFont;
    QFont FFooterFont;
    QString FFooter;
    TPrintGeometry FGeometry;
    TPageFlow FFlow;
};

}  // namespace

bool PrintWordList(const std::string& Title, const std::vector<TOutGrid>& Grids,
                   const TFreqOutOptions& Options, const std::function<bool()>& StillThere) {
    const TBusyFlag Busy(PrintingWordList);
    const std::string Scope = Options.Language < 0 || Options.Language >= LanguagesCount ||
                                      !LanguageConfigs[size_t(Options.Language)]
                                  ? std::string("All")
                                  : LanguageConfigs[size_t(Options.Language)]->GetLanguageName();
    const std::string Header = Title + ": " + Scope;
    SharedPrinter().setDocName(QString::fromStdString(Header));
    QPainter Painter;
    if (!BeginSharedPrint(Painter)) return false;
    QPrinter& Printer = SharedPrinter();
    const int32_t Rows = OutputRowCount(Grids, Options.MaxLines);
    std::unique_ptr<TProgressForm> Progress =
        ShowProgressForm(0, "Printing...", Header, std::max(Rows - 1, 0), 0, "");
    ShowUnlessMinimized(Progress.get());
    const int Columns = Options.Language < 0 ? std::max(LanguagesCount, 1) : 1;
    {
        const TWaitScope Wait;
        TWordListPrinter Pages(Printer, Painter, Header, Columns);
        for (int32_t Row = 1; Row < Rows; ++Row) {
            Pages.PrintLine(
                SplitMarkedLine(BuildOutputLine(Grids, Row, Options.IncludeFrequencies), LanguagesCount));
            Progress->SetProgress(Row);
            ProcessMessages();
            if (Progress->Tag == 1 || (StillThere && !StillThere())) break;
        }
    }
    Painter.end();
    return true;
}
