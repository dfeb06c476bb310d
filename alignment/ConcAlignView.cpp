#include "alignment/ConcAlignView.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "alignment/ConcAligner.h"
#include "alignment/ConcSectionAlign.h"
#include "alignment/concAlignMarkersConfig.h"
#include "controls/LangText.h"
#include "controls/Splitter.h"
#include "engine/ConcConfig.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcUtils.h"
#include "ui/Msg.h"

namespace {

constexpr int Margin = 5;
constexpr int SplitterWidth = 4;
constexpr TColor UnitColors[5] = {0x000000, 0x800000, 0x808000, 0x000080, 0x008000};
constexpr TColor MarkerRed = 0x0000FF;
constexpr const char* PlacementSection = "AlignViewWindow";
constexpr const char* DestroyAlignmentText =
    "Current files are aligned. By using this command you will destroy the alignment.\r\nDo you want to "
    "continue?";

QPointer<TAlignViewForm> TheView;

const TConcordConfig* ConfigOf(int Language) {
    return Language >= 0 && Language < MaxLanguages ? LanguageConfigs[size_t(Language)].get() : nullptr;
}

std::string LanguageName(int Language) {
    const TConcordConfig* C = ConfigOf(Language);
    return C ? C->GetLanguageName() : std::string();
}

std::string FileNameOnly(int Language, int File) {
    const TConcordConfig* C = ConfigOf(Language);
    if (!C || File < 0 || File >= int(C->Files.size())) return {};
    return std::filesystem::path(C->Files[size_t(File)].Name).filename().string();
}

int SectionCount(int Language, int File) {
    const TAlignIndex* Sections = AlignBoxSideOf(Language, -1, File, 0).Sections;
    return Sections ? Sections->Count() : 0;
}

QWidget* FrameOf(QWidget* Form) {
    return qobject_cast<QMdiSubWindow*>(Form->parentWidget()) ? Form->parentWidget() : Form;
}

void BringToFront(QWidget* Form) {
    QWidget* Frame = FrameOf(Form);
    Frame->showNormal();
    Frame->raise();
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(Frame))
        if (QMdiArea* Area = Sub->mdiArea()) Area->setActiveSubWindow(Sub);
}

}  // namespace

// ---- The editor box ----------------------------------------------------------------------------------

// While an edit, reload or scroll runs, a paint that slips in (a message box or the wait cursor pumping
// events) only fills the background and asks for another paint: the rows may be half rebuilt.
class TAlignBox::TBusy {
public:
    explicit TBusy(TAlignBox& Box) : FBox(Box) { ++FBox.FBusyDepth; }
    ~TBusy() { --FBox.FBusyDepth; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TAlignBox& FBox;
};

TAlignBox::TAlignBox(int File, int Section, int Language1, int Language2, uint8_t Mode,
                     std::function<void()> Callback, QWidget* Parent)
    : QAbstractScrollArea(Parent),
      FFile(File),
      FLanguage{Language1, Language2},
      FCallback(std::move(Callback)) {
    FSuppress.HideTags = true;
    FSuppress.HidePOSTags = true;
    FEditor.Reset(AlignBoxSideOf(Language1, Language2, File, Mode),
                  AlignBoxSideOf(Language2, Language1, File, Mode), Section, Mode);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setObjectName("TAlignBoxDrawCanvas");
    FSplitter = new TCommonSplitter(viewport());
    FSplitter->setFocusPolicy(Qt::NoFocus);
    FSplitter->setGeometry(0, 0, SplitterWidth, 10);
    FSplitter->OnSplit = [this] {
        ClearLayouts();
        viewport()->update();
    };
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &TAlignBox::OnScrollAction);
}

TAlignBox::~TAlignBox() = default;

TAlignBoxSide TAlignBox::SideIndexes(int Side) const {
    return AlignBoxSideOf(FLanguage[size_t(Side)], FLanguage[size_t(1 - Side)], FFile, FEditor.Mode());
}

int TAlignBox::SideOf(int Language) const {
    return Language == FLanguage[0] ? 0 : Language == FLanguage[1] ? 1 : -1;
}

int TAlignBox::RowCount() const {
    return int(std::max(FRows[0].size(), FRows[1].size()));
}

void TAlignBox::Detach() {
    FDetached = true;
    FRows[0].clear();
    FRows[1].clear();
    ClearLayouts();
    FEditor.Reset({}, {}, FEditor.Section(), FEditor.Mode());
}

void TAlignBox::SetSection(int Section) {
    if (Section == FEditor.Section()) return;
    FEditor.Reset(SideIndexes(0), SideIndexes(1), Section, FEditor.Mode());
    ClearCarets();
    Reload(0);
}

void TAlignBox::SetViewMode(uint8_t Mode) {
    if (Mode == FEditor.Mode()) return;
    FEditor.Reset(AlignBoxSideOf(FLanguage[0], FLanguage[1], FFile, Mode),
                  AlignBoxSideOf(FLanguage[1], FLanguage[0], FFile, Mode), FEditor.Section(), Mode);
    ClearCarets();
    Reload(0);
}

void TAlignBox::SetFile(int File) {
    FFile = File;
    FEditor.SetSides(SideIndexes(0), SideIndexes(1));
}

void TAlignBox::SetSuppressFlags(const TSuppressFlags& Flags) {
    FSuppress = Flags;
    Relayout();
}

void TAlignBox::Relayout() {
    ClearLayouts();
    UpdateScrollBar();
    viewport()->update();
}

void TAlignBox::ClearLayouts() {
    FLayouts[0].clear();
    FLayouts[1].clear();
    FFitter = {};
    FCaretOffset = {};
    FTopCache = {};
    FRowRects.clear();
}

void TAlignBox::Reload(int Row) {
    ReloadAt(Row, Row < 0 ? TopPosition() : -1);
}

void TAlignBox::ReloadAt(int Row, int32_t Top) {
    TBusy Busy(*this);
    FEditor.SetSides(SideIndexes(0), SideIndexes(1));
    for (int S = 0; S < 2; ++S)
        FRows[size_t(S)] =
            FDetached ? std::vector<TAlignBoxRow>{} : BuildAlignBoxRows(FEditor.Side(S), FEditor.Section());
    ClearLayouts();
    for (int L : FLanguage) try {
            ConfigureBufStream(FileReader(L, FFile));
        } catch (const std::exception&) {
            // A file without an open stream shows its rows without text.
        }
    if (Row >= 0) {
        FTopRow = std::clamp(Row, 0, std::max(0, RowCount() - 1));
        FTopLine = 0;
    } else {
        ShowPosition(Top);
    }
    // The caret keeps its text position; its row follows the unit that holds it now.
    for (int S = 0; S < 2; ++S) {
        TAlignCaret& C = FCaret[size_t(S)];
        const TUnitRun Run = FEditor.LargeRun(S);
        if (C.Pos >= 0 && Run.Count() > 0) {
            const int32_t U = FEditor.Side(S).Large->SegmentOf(C.Pos);
            C.Row = U >= Run.First && U <= Run.Last ? U - Run.First : -1;
            if (C.Row < 0) C.Pos = -1;
        }
        if (C.Row >= RowCount(S)) C = {};
    }
    UpdateScrollBar();
    viewport()->update();
}

int TAlignBox::LineHeight(int Side) const {
    return LanguageLineHeight(FLanguage[size_t(Side)]);
}

QRect TAlignBox::PaneRect(int Side) const {
    const int W = viewport()->width(), H = viewport()->height();
    const int Split = FSplitter->x();
    if (Side == 0) return QRect(Margin, Margin, std::max(0, Split - Margin), std::max(0, H - Margin));
    const int Left = Split + SplitterWidth + Margin;
    return QRect(Left, Margin, std::max(0, W - Left), std::max(0, H - Margin));
}

int TAlignBox::PaneAt(QPoint Point) const {
    for (int S = 0; S < 2; ++S)
        if (PaneRect(S).contains(Point)) return S;
    return -1;
}

TAlignBox::TItemLayout& TAlignBox::Layout(int Side, int Row) {
    const int Width = std::max(1, PaneRect(Side).width() - 1);
    if (FLayoutWidth[size_t(Side)] != Width || !FFitter[size_t(Side)]) {
        FLayouts[size_t(Side)].clear();
        FLayoutWidth[size_t(Side)] = Width;
        FFitter[size_t(Side)] = std::make_shared<TWidthFitter>(AlignLanguageFont(FLanguage[size_t(Side)]),
                                                               Width, FLanguage[size_t(Side)]);
    }
    auto& Cache = FLayouts[size_t(Side)];
    if (auto It = Cache.find(Row); It != Cache.end()) return It->second;
    // Rows far from the screen give their lines back; they are wrapped again when needed.
    if (Cache.size() > 512) Cache.clear();
    return Cache[Row];
}

void TAlignBox::OpenUnit(int Side, TItemLayout& Item, int32_t Small) {
    TUnitLayout U;
    U.Small = Small;
    U.ReadTo = FDetached ? 0 : FEditor.Side(Side).Small->GetItem(Small).Start;
    const std::shared_ptr<TWidthFitter> Fitter = FFitter[size_t(Side)];
    U.Rest = std::make_unique<TLineWrapper>([Fitter](std::string_view Text) { return (*Fitter)(Text); },
                                            AlignNonWordSet(FLanguage[size_t(Side)]));
    if (FDetached) U.Rest->Feed({}, true);
    Item.Units.push_back(std::move(U));
}

void TAlignBox::FeedUnit(int Side, TUnitLayout& U) {
    // Read in pieces: a unit of a megabyte shows its first screenful after reading little more.
    constexpr int32_t Piece = 16384;
    try {
        FeedVisibleText(*U.Rest, FileReader(FLanguage[size_t(Side)], FFile), U.ReadTo,
                        FEditor.Side(Side).Small->GetItem(U.Small).End, FSuppress, Piece);
    } catch (const std::exception&) {
        // A file whose stream is gone shows no more of the unit; the window closes on the message
        // that follows.
        U.Rest->Feed({}, true);
    }
}

int TAlignBox::CutLines(int Side, int Row, int Wanted) {
    TItemLayout& Item = Layout(Side, Row);
    const bool InPane = Row >= 0 && Row < RowCount(Side);
    while (!Item.Complete && Item.Lines < Wanted) {
        if (Item.Units.empty() || !Item.Units.back().Rest) {
            const TAlignBoxRow* R = InPane ? &FRows[size_t(Side)][size_t(Row)] : nullptr;
            const int32_t Next = !R ? 0 : Item.Units.empty() ? R->FirstSmall : Item.Units.back().Small + 1;
            if (!R || Next > R->LastSmall) {
                Item.Complete = true;
                // A row without units (an empty paragraph or segment) still takes a line.
                if (InPane && Item.Lines == 0) Item.Lines = 1;
                break;
            }
            OpenUnit(Side, Item, Next);
            continue;
        }
        TUnitLayout& U = Item.Units.back();
        std::string Line;
        if (U.Rest->Next(Line)) {
            U.Lines.push_back({std::move(Line), {}});
            ++Item.Lines;
        } else if (U.Rest->AtEnd()) {
            // A unit without visible text still takes a line, so that it can be seen and clicked.
            if (U.Lines.empty()) {
                U.Lines.push_back({});
                ++Item.Lines;
            }
            U.Rest.reset();
        } else {
            FeedUnit(Side, U);
        }
    }
    return Item.Lines;
}

int TAlignBox::RowLines(int Side, int Row) {
    return CutLines(Side, Row, INT_MAX);
}

bool TAlignBox::HasLine(int Row, int Line) {
    return CutLines(0, Row, Line + 1) > Line || CutLines(1, Row, Line + 1) > Line;
}

int TAlignBox::RowHeight(int Row, int From, int Room) {
    int H = 0;
    for (int S = 0; S < 2; ++S) {
        const int Lh = LineHeight(S);
        const int Wanted = Room == INT_MAX ? INT_MAX : From + Room / std::max(1, Lh) + 1;
        H = std::max(H, std::max(0, CutLines(S, Row, Wanted) - From) * Lh);
    }
    return H + 1;
}

int32_t TAlignBox::TopPosition() {
    if (FDetached) return 0;
    const std::optional<TSegment> Section = FEditor.SectionOf(0);
    if (FTopRow >= RowCount(0) || !Section) return Section ? Section->Start : 0;
    // Every paint asks; deep in a long unit the answer takes counting the visible bytes before it.
    if (FTopCache.Row != FTopRow || FTopCache.Line != FTopLine)
        FTopCache = {FTopRow, FTopLine, TopLinePosition()};
    return FTopCache.Pos;
}

int32_t TAlignBox::TopLinePosition() {
    CutLines(0, FTopRow, FTopLine + 1);
    const TItemLayout& Item = Layout(0, FTopRow);
    int Line = 0;
    for (const TUnitLayout& U : Item.Units) {
        if (FTopLine < Line + int(U.Lines.size())) {
            int32_t Offset = 0;
            for (int K = 0; K < FTopLine - Line; ++K) Offset += int32_t(U.Lines[size_t(K)].Text.size());
            const TSegment S = FEditor.Side(0).Small->GetItem(U.Small);
            try {
                return AdvanceVisibleChars(FileReader(FLanguage[0], FFile), S.Start, S.End, Offset,
                                           FSuppress);
            } catch (const std::exception&) {
                return S.Start;
            }
        }
        Line += int(U.Lines.size());
    }
    return FEditor.Side(0).Large->GetItem(FRows[0][size_t(FTopRow)].Large).Start;
}

int TAlignBox::LineOfPosition(int Side, int Row, int32_t Pos) {
    TItemLayout& Item = Layout(Side, Row);
    // Units and lines are cut only as far as Pos: the units are walked by index, as cutting adds more.
    auto CutOneMore = [&] { return !Item.Complete && CutLines(Side, Row, Item.Lines + 1) > 0; };
    int Line = 0;
    for (size_t K = 0;; ++K) {
        while (K >= Item.Units.size() && !Item.Complete) CutOneMore();
        if (K >= Item.Units.size()) return 0;
        const int32_t Small = Item.Units[K].Small;
        const TSegment S = FEditor.Side(Side).Small->GetItem(Small);
        if (S.Start <= Pos && Pos < S.End) {
            std::string Before;
            try {
                ReadVisibleText(FileReader(FLanguage[size_t(Side)], FFile), S.Start, Pos, Before, FSuppress);
            } catch (const std::exception&) {
            }
            size_t Count = 0;
            for (size_t L = 0;; ++L) {
                while (L >= Item.Units[K].Lines.size() && Item.Units[K].Rest) CutOneMore();
                if (L >= Item.Units[K].Lines.size()) return Line - 1;
                const size_t Size = Item.Units[K].Lines[L].Text.size();
                if (Before.size() < Count + Size) return Line;
                Count += Size;
                ++Line;
            }
        }
        while (Item.Units[K].Rest) CutOneMore();
        Line += int(Item.Units[K].Lines.size());
    }
}

void TAlignBox::ShowPosition(int32_t Pos) {
    FTopRow = FTopLine = 0;
    const std::optional<TSegment> Section = FEditor.SectionOf(0);
    const TUnitRun Run = FEditor.LargeRun(0);
    if (!Section || Run.Count() <= 0 || Pos < Section->Start || Pos >= Section->End) return;
    const int32_t U = FEditor.Side(0).Large->SegmentOf(Pos);
    if (U > Run.Last) {
        GoEnd();
        return;
    }
    FTopRow = std::clamp(U - Run.First, 0, RowCount(0) - 1);
    FTopLine = LineOfPosition(0, FTopRow, Pos);
}

void TAlignBox::ClearCarets() {
    FCaret = {};
    FCaretRect = {};
}

void TAlignBox::UpdateScrollBar() {
    QScrollBar* Bar = verticalScrollBar();
    const QSignalBlocker Quiet(Bar);
    const int Side = RowCount(1) > RowCount(0) ? 1 : 0;
    const std::optional<TSegment> Section = FEditor.SectionOf(Side);
    if (!Section || FDetached) {
        Bar->setRange(0, 0);
        return;
    }
    const int32_t Page = std::max(1, (Section->End - Section->Start) / 25);
    Bar->setRange(Section->Start, Section->End + 1);
    Bar->setPageStep(Page);
    Bar->setSingleStep(1);
    Bar->setValue(TopPosition());
}

// ---- Scrolling

void TAlignBox::ScrollLines(int Delta) {
    for (; Delta < 0; ++Delta) {
        if (FTopLine > 0) {
            --FTopLine;
        } else if (FTopRow > 0) {
            --FTopRow;
            FTopLine = std::max(RowLines(0, FTopRow), RowLines(1, FTopRow)) - 1;
        }
    }
    for (; Delta > 0; --Delta) {
        if (FLastRow == RowCount() - 1 && FLastRowComplete) break;
        if (HasLine(FTopRow, FTopLine + 1)) {
            ++FTopLine;
        } else if (FTopRow + 1 < RowCount()) {
            ++FTopRow;
            FTopLine = 0;
        } else {
            break;
        }
        // What is now the last row drawn is known only after painting; estimate it from the heights.
        int Y = Margin, Row = FTopRow, From = FTopLine;
        for (; Row < RowCount() && Y < viewport()->height(); ++Row, From = 0)
            Y += RowHeight(Row, From, viewport()->height() - Y);
        FLastRow = Row - 1;
        FLastRowComplete = Y <= viewport()->height();
    }
}

int TAlignBox::ContentHeight() const {
    return std::max(1, viewport()->height() - Margin);
}

void TAlignBox::PageUp() {
    const int Lines = std::max(1, ContentHeight() / std::max(LineHeight(0), LineHeight(1)) - 1);
    ScrollLines(-Lines);
}

void TAlignBox::PageDown() {
    if (FLastRow < 0) return;
    if (FLastRow == FTopRow && FLastLine <= FTopLine) {
        ScrollLines(1);
        return;
    }
    FTopRow = FLastRow;
    FTopLine = std::max(0, FLastLine);
}

void TAlignBox::GoHome() {
    FTopRow = FTopLine = 0;
}

void TAlignBox::GoEnd() {
    if (RowCount() == 0) return GoHome();
    int Room = ContentHeight();
    int Row = RowCount() - 1;
    int Lines = std::max(RowLines(0, Row), RowLines(1, Row));
    // Back from the end of the last row, line by line, while the lines still fit above the bottom.
    const int Step = std::max(LineHeight(0), LineHeight(1));
    FTopRow = Row;
    FTopLine = Lines - 1;
    Room -= Step + 1;
    while (Room >= Step) {
        if (FTopLine > 0) {
            --FTopLine;
        } else if (FTopRow > 0) {
            --FTopRow;
            FTopLine = std::max(RowLines(0, FTopRow), RowLines(1, FTopRow)) - 1;
            Room -= 1;
        } else {
            break;
        }
        Room -= Step;
    }
}

void TAlignBox::OnScrollAction(int Action) {
    TBusy Busy(*this);
    QScrollBar* Bar = verticalScrollBar();
    switch (Action) {
        case QAbstractSlider::SliderSingleStepSub:
            ScrollLines(-1);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            ScrollLines(1);
            break;
        case QAbstractSlider::SliderPageStepSub:
            PageUp();
            break;
        case QAbstractSlider::SliderPageStepAdd:
            PageDown();
            break;
        case QAbstractSlider::SliderToMinimum:
            GoHome();
            break;
        case QAbstractSlider::SliderToMaximum:
            GoEnd();
            break;
        case QAbstractSlider::SliderMove:
            ShowPosition(Bar->sliderPosition());
            break;
        default:
            break;
    }
    const int32_t Top = TopPosition();
    if (Action != QAbstractSlider::SliderMove) Bar->setSliderPosition(Top);
    viewport()->update();
}

// ---- Painting

bool TAlignBox::viewportEvent(QEvent* Event) {
    if (Event->type() == QEvent::ContextMenu) return false;  // the window's popup
    return QAbstractScrollArea::viewportEvent(Event);
}

void TAlignBox::resizeEvent(QResizeEvent* Event) {
    const int OldWidth = Event->oldSize().width();
    QAbstractScrollArea::resizeEvent(Event);
    const int W = viewport()->width();
    // The splitter keeps its share of the width; a box that had no width yet splits in the middle.
    const int X = OldWidth <= 0 || FSplitter->x() <= 0
                      ? W / 2 - SplitterWidth / 2
                      : int(std::lround(double(FSplitter->x()) * W / OldWidth));
    FSplitter->setGeometry(std::clamp(X, 0, std::max(0, W - SplitterWidth)), 0, SplitterWidth,
                           viewport()->height());
    ClearLayouts();
    UpdateScrollBar();
}

void TAlignBox::paintEvent(QPaintEvent*) {
    QPainter Painter(viewport());
    const QColor Base = palette().color(QPalette::Base);
    if (FBusyDepth > 0 || FDetached) {
        Painter.fillRect(viewport()->rect(), Base);
        if (!FDetached)
            QMetaObject::invokeMethod(viewport(), qOverload<>(&QWidget::update), Qt::QueuedConnection);
        return;
    }
    TBusy Busy(*this);
    PaintRows(Painter);
}

void TAlignBox::PaintRows(QPainter& Painter) {
    const QRect Client = viewport()->rect();
    const QColor Base = palette().color(QPalette::Base);
    const TColor BaseRef = QColorToColorRef(Base);
    Painter.fillRect(QRect(0, 0, Client.width(), Margin), Base);
    Painter.fillRect(QRect(0, 0, Margin, Client.height()), Base);
    // The splitter's bar is narrower than its strip: the strip is filled too, or whatever was painted
    // there before the splitter moved would show beside the bar.
    Painter.fillRect(QRect(FSplitter->x(), 0, SplitterWidth + Margin, Client.height()), Base);
    FRowRects.clear();
    FCaretRect = {};
    FLastRow = -1;
    FLastLine = -1;
    FLastRowComplete = false;
    int Y = Margin;
    for (int Row = FTopRow; Row < RowCount() && Y < Client.height(); ++Row) {
        const int From = Row == FTopRow ? FTopLine : 0;
        int Height = 0, LinesShown = 0;
        for (int S = 0; S < 2; ++S) {
            const QRect Pane = PaneRect(S);
            const int Lh = LineHeight(S);
            // Only the lines that reach the screen are wrapped.
            CutLines(S, Row, From + (Client.height() - Y + Lh - 1) / std::max(1, Lh));
            TItemLayout& Item = Layout(S, Row);
            int Line = 0, Yy = Y;
            for (size_t K = 0; K < Item.Units.size(); ++K) {
                TUnitLayout& U = Item.Units[K];
                const int N = int(U.Lines.size());
                if (Line + N <= From || Yy >= Client.height()) {
                    Line += N;
                    continue;
                }
                const int First = std::max(0, From - Line);
                const QRect R(Pane.left(), Yy, Pane.width(),
                              std::min(Client.height() - Yy, (N - First) * Lh));
                const bool HasCaret =
                    FCaret[size_t(S)].Row == Row && FCaret[size_t(S)].Pos >= 0 &&
                    FEditor.Side(S).Small->GetItem(U.Small).Start <= FCaret[size_t(S)].Pos &&
                    FCaret[size_t(S)].Pos < FEditor.Side(S).Small->GetItem(U.Small).End;
                const int CaretOffset = HasCaret ? CaretOffsetIn(S, U.Small) : -1;
                int Last = 0;
                QRect Caret;
                Yy += DrawSegmentText(&Painter, R, UnitColors[K % 5], FLanguage[size_t(S)], Last, Caret,
                                      U.Lines, CaretOffset, First, BaseRef);
                if (!Caret.isNull()) FCaretRect[size_t(S)] = Caret;
                LinesShown = std::max(LinesShown, Last + 1 - From + Line);
                Line += N;
            }
            if (Item.Units.empty() && From == 0 && Row < RowCount(S)) Yy += Lh;
            Height = std::max(Height, Yy - Y);
            if (FCaret[size_t(S)].Row == Row && FCaret[size_t(S)].Pos < 0 && From == 0) {
                const QFontMetrics M(AlignLanguageFont(FLanguage[size_t(S)]));
                Painter.fillRect(QRect(Pane.left(), Y, M.horizontalAdvance('a'), Lh),
                                 ColorRefToQColor(MarkerRed));
            }
        }
        for (int S = 0; S < 2; ++S) {
            const QRect Pane = PaneRect(S);
            // Under the shorter item the box colour; the caret marker of a unit-less row stays.
            Painter.save();
            Painter.setClipRect(QRect(Pane.left(), Y, Pane.width(), Height));
            const int Used = [&] {
                const TItemLayout& Item = Layout(S, Row);
                int Lines = 0;
                // A row without units drew nothing on its line: all of it is filled.
                for (const TUnitLayout& U : Item.Units) Lines += int(U.Lines.size());
                return std::max(0, Lines - From) * LineHeight(S);
            }();
            Painter.fillRect(QRect(Pane.left(), Y + Used, Pane.width(), Height - Used), Base);
            if (FCaret[size_t(S)].Row == Row && FCaret[size_t(S)].Pos < 0 && From == 0 && Used == 0) {
                const QFontMetrics M(AlignLanguageFont(FLanguage[size_t(S)]));
                Painter.fillRect(QRect(Pane.left(), Y, M.horizontalAdvance('a'), LineHeight(S)),
                                 ColorRefToQColor(MarkerRed));
            }
            Painter.restore();
        }
        Height += 1;
        Painter.setPen(Qt::black);
        Painter.drawLine(0, Y + Height - 1, Client.width(), Y + Height - 1);
        FRowRects[Row] = QRect(0, Y, Client.width(), Height);
        FLastRow = Row;
        FLastRowComplete = Y + Height <= Client.height();
        // A row drawn to its end has all its lines cut already.
        FLastLine = FLastRowComplete ? std::max(RowLines(0, Row), RowLines(1, Row)) - 1
                                     : std::max(From, From + LinesShown - 2);
        Y += Height;
    }
    if (Y < Client.height()) Painter.fillRect(QRect(0, Y, Client.width(), Client.height() - Y), Base);
    QScrollBar* Bar = verticalScrollBar();
    const QSignalBlocker Quiet(Bar);
    Bar->setValue(TopPosition());
}

int TAlignBox::CaretOffsetIn(int Side, int32_t Small) {
    TCaretOffset& C = FCaretOffset[size_t(Side)];
    const int32_t Pos = FCaret[size_t(Side)].Pos;
    if (C.Pos != Pos || C.Small != Small) {
        const TSegment S = FEditor.Side(Side).Small->GetItem(Small);
        std::string Before;
        try {
            ReadVisibleText(FileReader(FLanguage[size_t(Side)], FFile), S.Start, Pos, Before, FSuppress);
        } catch (const std::exception&) {
        }
        C = {Pos, Small, int(Before.size())};
    }
    return C.Offset;
}

QRect TAlignBox::RowRect(int Row) const {
    const auto It = FRowRects.find(Row);
    return It == FRowRects.end() ? QRect() : It->second;
}

// ---- Mouse and keys

void TAlignBox::SetCaretAt(int Side, QPoint Point) {
    TAlignCaret& C = FCaret[size_t(Side)];
    C = {};
    for (const auto& [Row, Rect] : FRowRects) {
        if (!Rect.contains(Point) || Row >= RowCount(Side)) continue;
        C.Row = Row;
        const QFontMetrics Metrics(AlignLanguageFont(FLanguage[size_t(Side)]));
        const TItemLayout& Item = Layout(Side, Row);
        for (const TUnitLayout& U : Item.Units) {
            int32_t Offset = 0;
            for (const TSegLine& L : U.Lines) {
                if (L.Rect.contains(Point) && !L.Text.empty()) {
                    const int X = Point.x() - L.Rect.left();
                    auto Right = [&](size_t B) {
                        return AlignTextWidth(Metrics,
                                              LangToQString(std::string_view(L.Text).substr(0, B + 1),
                                                            FLanguage[size_t(Side)]));
                    };
                    // The byte whose cell holds X: the first whose right edge lies beyond it.
                    size_t Lo = 0, Hi = L.Text.size();
                    while (Lo < Hi) {
                        const size_t Mid = Lo + (Hi - Lo) / 2;
                        if (X < Right(Mid))
                            Hi = Mid;
                        else
                            Lo = Mid + 1;
                    }
                    if (Lo < L.Text.size()) {
                        const TSegment S = FEditor.Side(Side).Small->GetItem(U.Small);
                        C.Pos = AdvanceVisibleChars(FileReader(FLanguage[size_t(Side)], FFile), S.Start,
                                                    S.End, Offset + int32_t(Lo), FSuppress);
                    }
                    return;
                }
                Offset += int32_t(L.Text.size());
            }
        }
        return;
    }
}

void TAlignBox::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton && Event->button() != Qt::RightButton) return;
    setFocus(Qt::MouseFocusReason);
    const int Side = PaneAt(Event->position().toPoint());
    if (Side < 0) return;
    try {
        TBusy Busy(*this);
        SetCaretAt(Side, Event->position().toPoint());
    } catch (const std::exception& E) {
        ReportFailure(E);
    }
    viewport()->update();
    // The popup menu follows on the window; a left click only sets the caret.
    Event->ignore();
}

void TAlignBox::keyPressEvent(QKeyEvent* Event) {
    {
        TBusy Busy(*this);
        switch (Event->key()) {
            case Qt::Key_Up:
                ScrollLines(-1);
                break;
            case Qt::Key_Down:
                ScrollLines(1);
                break;
            case Qt::Key_PageUp:
                PageUp();
                break;
            case Qt::Key_PageDown:
                PageDown();
                break;
            case Qt::Key_Home:
                GoHome();
                break;
            case Qt::Key_End:
                GoEnd();
                break;
            case Qt::Key_Left:
            case Qt::Key_Right:
                break;
            default:
                QAbstractScrollArea::keyPressEvent(Event);
                return;
        }
    }
    UpdateScrollBar();
    viewport()->update();
}

void TAlignBox::wheelEvent(QWheelEvent* Event) {
    // Touchpads send small deltas: they add up to whole steps.
    FWheel += Event->angleDelta().y();
    const int Steps = FWheel / 120;
    FWheel -= Steps * 120;
    if (Steps != 0) {
        {
            TBusy Busy(*this);
            ScrollLines(-Steps);
        }
        UpdateScrollBar();
        viewport()->update();
    }
    Event->accept();
}

bool TAlignBox::focusNextPrevChild(bool) {
    return false;
}

// ---- Edits

// An edit that raised has put the indexes back already; the user learns why and sees them as they are.
template <class F>
void TAlignBox::Guarded(F&& Edit) {
    try {
        Edit();
    } catch (const std::exception& E) {
        ReportFailure(E);
        // The rows are rebuilt by number: the text position at the top may belong to rows just gone.
        ReloadAt(FTopRow, -1);
    }
}

void TAlignBox::ReportFailure(const std::exception& E) {
    ShowError(E.what());
}

void TAlignBox::AfterEdit(bool Changed, int32_t Top, bool SectionsChanged, int Side, int Row) {
    if (!Changed) return;
    ReloadAt(-1, Top);
    KeepInView(Row, FCaret[size_t(Side)].Row);
    if (SectionsChanged && FCallback) FCallback();
}

bool TAlignBox::RowStartShown(int Row) {
    const int Bottom = viewport()->height();
    int Y = Margin;
    for (int R = FTopRow, From = FTopLine; R < Row; ++R, From = 0) {
        Y += RowHeight(R, From, Bottom - Y);
        if (Y >= Bottom) return false;
    }
    return Y + std::max(LineHeight(0), LineHeight(1)) <= Bottom;
}

// The text at the top is kept through an edit, but the rows the edit touched must stay in sight: a
// row inserted at the top would otherwise open just above it.
void TAlignBox::KeepInView(int EditRow, int CaretRow) {
    const int First = EditRow >= 0 ? std::min(EditRow, CaretRow >= 0 ? CaretRow : EditRow) : CaretRow;
    const int Last = std::max(EditRow, CaretRow);
    if (First < 0 || First >= RowCount()) return;
    if (First < FTopRow || (First == FTopRow && FTopLine > 0)) {
        FTopRow = First;
        FTopLine = 0;
    }
    const int Target = std::min(Last, RowCount() - 1);
    while (FTopRow < Target && !RowStartShown(Target)) {
        const int OldRow = FTopRow, OldLine = FTopLine;
        ScrollLines(1);
        if (FTopRow == OldRow && FTopLine == OldLine) break;
    }
    UpdateScrollBar();
}

void TAlignBox::Split(int Language, bool Small) {
    const int S = SideOf(Language);
    if (S < 0) return;
    Guarded([&] {
        const int32_t Top = TopPosition();
        const int Row = FCaret[size_t(S)].Row;
        AfterEdit(FEditor.Split(S, Small, FCaret[size_t(S)], Top), Top, false, S, Row);
    });
}

void TAlignBox::Merge(int Language, bool Small, bool Next) {
    const int S = SideOf(Language);
    if (S < 0) return;
    Guarded([&] {
        const int32_t Top = TopPosition();
        const int Row = FCaret[size_t(S)].Row;
        AfterEdit(FEditor.Merge(S, Small, Next, FCaret[size_t(S)], Top), Top, false, S, Row);
    });
}

void TAlignBox::InsertEmpty(int Language) {
    const int S = SideOf(Language);
    if (S < 0) return;
    Guarded([&] {
        const int32_t Top = TopPosition();
        const int Row = FCaret[size_t(S)].Row;
        AfterEdit(FEditor.InsertEmpty(S, FCaret[size_t(S)], Top), Top, false, S, Row);
    });
}

void TAlignBox::SplitSection(int Language) {
    const int S = SideOf(Language);
    if (S < 0) return;
    Guarded([&] {
        const int32_t Top = TopPosition();
        const int Row = FCaret[size_t(S)].Row;
        AfterEdit(FEditor.SplitSection(S, FCaret[size_t(S)], Top), Top, true, S, Row);
    });
}

void TAlignBox::MergeSectionWithNext(int Language) {
    const int S = SideOf(Language);
    if (S < 0) return;
    Guarded([&] {
        const int32_t Top = TopPosition();
        const int Row = FCaret[size_t(S)].Row;
        AfterEdit(FEditor.MergeSectionWithNext(S, FCaret[size_t(S)], Top), Top, true, S, Row);
    });
}

void TAlignBox::AlignParagraphsAutomatically() {
    Guarded([&] {
        const int32_t Top = TopPosition();
        const TAlignEditor::TAutoAlign Result = FEditor.AlignParagraphsAutomatically(Top);
        if (Result == TAlignEditor::aaTooMany) {
            ClearCarets();
            viewport()->update();
            ShowError(TooManyParagraphsText);
        } else {
            AfterEdit(Result == TAlignEditor::aaAligned, Top, false, 0, FCaret[0].Row);
        }
    });
}

void TAlignBox::Undo() {
    Guarded([&] {
        const std::optional<TAlignUndo> Record = FEditor.Undo();
        if (!Record) return;
        ReloadAt(-1, Record->TopPos);
        if (Record->Op == aeAutoAlign) {
            ClearCarets();
        } else {
            FCaret[size_t(Record->Side)] = Record->Caret;
            if (FCaret[size_t(Record->Side)].Row >= RowCount(Record->Side)) FCaret[size_t(Record->Side)] = {};
            KeepInView(-1, FCaret[size_t(Record->Side)].Row);
        }
        viewport()->update();
        if ((Record->Op == aeSplitSection || Record->Op == aeMergeSection) && FCallback) FCallback();
    });
}

// ---- The window --------------------------------------------------------------------------------------

namespace {

struct TPopupEntry {
    const char* Name;
    const char* Format;  // nullptr: a fixed caption
    const char* Caption;
};

constexpr TPopupEntry PopupEntries[] = {
    {"SmallSplitItem", "Split %s", nullptr},
    {"SmallMergeNextItem", "Merge with Next %s", nullptr},
    {"SmallMergePrevItem", "Merge with Previous %s", nullptr},
    {"LargeSplitItem", "Split %s", nullptr},
    {"LargeMergeNextItem", "Merge with Next %s", nullptr},
    {"LargeMergePrevItem", "Merge with Previous %s", nullptr},
    {"InsertEmptyItem", "Insert Empty %s", nullptr},
    {"SplitSectItem", nullptr, "Split Section"},
    {"MergeSectItem", nullptr, "Merge with Next Section"},
    {"ParaAutoAlignItem", nullptr, "Align Paragraphs Automatically"},
    {"UndoItem", nullptr, "&Undo"},
};

// The suppress items in menu order with the option each toggles.
constexpr std::pair<const char*, int> SuppressEntries[3] = {
    {"&Normal Tags", 0}, {"&Special Tags", 2}, {"&Words", 1}};

bool FlagOf(const TSuppressFlags& Flags, int Option) {
    return Option == 0 ? Flags.HideTags : Option == 1 ? Flags.HideWords : Flags.HidePOSTags;
}

}  // namespace

TAlignViewForm::TAlignViewForm(int File, int Language1, int Language2, QWidget* Parent)
    : TAppMessageForm(Parent), FFile(File), FLanguage1(Language1), FLanguage2(Language2) {
    setWindowTitle("Alignment View");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    BuildMenus();
    const QSize Room = AlignWindowsRoom();
    resize(Room.isEmpty() ? QSize(640, 420) : PlaceAlignWindows(Room, 0, 0).View.size());
}

TAlignViewForm::~TAlignViewForm() = default;

void TAlignViewForm::BuildMenus() {
    FAlignmentMenu = new QMenu("&Alignment", this);
    FFontMenu = FAlignmentMenu->addMenu("Change &Font");
    QMenu* Suppress = FAlignmentMenu->addMenu("S&uppress");
    for (size_t K = 0; K < 3; ++K) {
        const int Option = SuppressEntries[K].second;
        QAction* A =
            Suppress->addAction(SuppressEntries[K].first, this, [this, Option] { ToggleSuppress(Option); });
        A->setCheckable(true);
        FSuppressItems[K] = A;
    }
    FAlignmentMenu->addAction("Alignment &Markers...", this, [] {
        if (ShowAlignMarkersConfig()) BroadcastToChildren(CM_MARKERSCHANGED, 0, 0);
    });
    FAlignmentMenu->addSeparator();
    auto* Modes = new QActionGroup(this);
    FParagraphs = FAlignmentMenu->addAction("&Paragraphs", this, [this] { SetViewMode(0, true); });
    FAlignedSentences =
        FAlignmentMenu->addAction("Aligned &Sentences", this, [this] { SetViewMode(1, true); });
    for (QAction* A : {FParagraphs, FAlignedSentences}) {
        A->setCheckable(true);
        Modes->addAction(A);
    }

    FPopup = new QMenu(this);
    auto Add = [this](const char* Name, std::function<void(int)> Edit) {
        QAction* A = FPopup->addAction(Name, this, [this, Edit] { RunEdit(Edit); });
        A->setObjectName(Name);
        FPopupItems[Name] = A;
        return A;
    };
    Add("SmallSplitItem", [this](int L) { FBox->Split(L, true); });
    Add("SmallMergeNextItem", [this](int L) { FBox->Merge(L, true, true); });
    Add("SmallMergePrevItem", [this](int L) { FBox->Merge(L, true, false); });
    FPopup->addSeparator();
    Add("LargeSplitItem", [this](int L) { FBox->Split(L, false); });
    Add("LargeMergeNextItem", [this](int L) { FBox->Merge(L, false, true); });
    Add("LargeMergePrevItem", [this](int L) { FBox->Merge(L, false, false); });
    Add("InsertEmptyItem", [this](int L) { FBox->InsertEmpty(L); });
    FPopupItems["SectSplitMergeBreak"] = FPopup->addSeparator();
    Add("SplitSectItem", [this](int L) { FBox->SplitSection(L); });
    Add("MergeSectItem", [this](int L) { FBox->MergeSectionWithNext(L); });
    FPopupItems["ParaAutoAlignBreak"] = FPopup->addSeparator();
    Add("ParaAutoAlignItem", [this](int) { FBox->AlignParagraphsAutomatically(); });
    FPopup->addSeparator();
    // Undo acts on the whole box, whichever pane the popup opened on; Ctrl+Z works with no menu open.
    QAction* UndoItem = FPopup->addAction("&Undo", this, [this] {
        if (FBox) FBox->Undo();
        UpdateMenus();
    });
    UndoItem->setObjectName("UndoItem");
    UndoItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    UndoItem->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(UndoItem);
    FPopupItems["UndoItem"] = UndoItem;
}

QAction* TAlignViewForm::PopupAction(const QString& Name) const {
    const auto It = FPopupItems.find(Name.toStdString());
    return It == FPopupItems.end() ? nullptr : It->second;
}

QAction* TAlignViewForm::SuppressAction(int Option) const {
    for (size_t K = 0; K < 3; ++K)
        if (SuppressEntries[K].second == Option) return FSuppressItems[K];
    return nullptr;
}

std::vector<TAppMessageForm::TMergedMenu> TAlignViewForm::MergedMenus() const {
    return {{4, FAlignmentMenu}};
}

void TAlignViewForm::Setup(int Section, uint8_t Mode, int Paragraph, std::function<void()> Callback) {
    FSection = Section;
    FCallback = std::move(Callback);
    FMode = Mode == 1 && !FilePairAligned(FLanguage1, FLanguage2, FFile) ? 0 : Mode;
    TSuppressFlags Flags;
    Flags.HideTags = Flags.HidePOSTags = true;
    if (FBox) {
        Flags = FBox->SuppressFlags();
        delete FBox;
    }
    FBox = new TAlignBox(FFile, FSection, FLanguage1, FLanguage2, FMode, [this] {
        if (FCallback) FCallback();
        UpdateMenus();
    });
    FBox->SetSuppressFlags(Flags);
    layout()->addWidget(FBox);
    setFocusProxy(FBox);
    FBox->Reload(std::max(0, Paragraph));
    FFontMenu->clear();
    for (int L : {FLanguage1, FLanguage2})
        FFontMenu->addAction(QString::fromStdString(LanguageName(L)), this,
                             [L] { ChooseConfigFont(CorpusFont, L); });
    UpdateSectionItems();
    UpdatePopupCaptions();
    UpdateMenus();
}

void TAlignViewForm::GoToSection(int Section) {
    if (Section == FSection || !FBox) return;
    FSection = Section;
    UpdateSectionItems();
    FBox->SetSection(Section);
    UpdateMenus();
}

void TAlignViewForm::SetViewMode(uint8_t Mode, bool Repaint) {
    if (!FBox || Mode == FBox->ViewMode()) return;
    FMode = Mode;
    FBox->SetViewMode(Mode);
    if (Repaint) FBox->viewport()->update();
    UpdateSectionItems();
    UpdatePopupCaptions();
    UpdateMenus();
}

void TAlignViewForm::UpdateSectionItems() {
    for (const char* Name :
         {"SectSplitMergeBreak", "SplitSectItem", "MergeSectItem", "ParaAutoAlignBreak", "ParaAutoAlignItem"})
        FPopupItems[Name]->setVisible(FMode == 0);
}

void TAlignViewForm::UpdatePopupCaptions() {
    for (const TPopupEntry& E : PopupEntries) {
        if (!E.Format) continue;
        const bool Small = std::string(E.Name).rfind("Small", 0) == 0;
        const std::string Unit = Small ? SmallUnitName() : LargeUnitName(FMode);
        FPopupItems[E.Name]->setText(QString::fromStdString(FormatWithName(E.Format, Unit)));
    }
    for (const TPopupEntry& E : PopupEntries)
        if (E.Caption) FPopupItems[E.Name]->setText(E.Caption);
}

void TAlignViewForm::UpdateMenus() {
    if (FBox)
        for (size_t K = 0; K < 3; ++K)
            FSuppressItems[K]->setChecked(FlagOf(FBox->SuppressFlags(), SuppressEntries[K].second));
    FParagraphs->setVisible(!CommonConfig || CommonConfig->AlignFormat == 0);
    FAlignedSentences->setEnabled(FilePairAligned(FLanguage1, FLanguage2, FFile));
    FParagraphs->setChecked(FMode == 0);
    FAlignedSentences->setChecked(FMode == 1);
    FPopupItems["UndoItem"]->setEnabled(FBox && FBox->Editor().CanUndo());
    const QString Caption = QString::fromStdString(
        AlignViewCaption(LanguageName(FLanguage1), LanguageName(FLanguage2), FileNameOnly(FLanguage1, FFile),
                         FileNameOnly(FLanguage2, FFile), FMode));
    SetLiteralWindowTitle(this, Caption);
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget())) SetLiteralWindowTitle(Sub, Caption);
}

void TAlignViewForm::ToggleSuppress(int Option) {
    if (!FBox) return;
    TSuppressFlags Flags = FBox->SuppressFlags();
    if (ToggleSuppressOption(Flags, Option)) FBox->SetSuppressFlags(Flags);
    UpdateMenus();
}

bool TAlignViewForm::ConfirmDestroyAlignment() {
    if (FMode == 1) return true;
    if (!FilePairAlignment(FLanguage1, FLanguage2, FFile)) return true;
    if (!ConfirmYesNo(DestroyAlignmentText, false)) return false;
    DropFilePairAlignment(FLanguage1, FLanguage2, FFile);
    UpdateMenus();
    return true;
}

QMenu* TAlignViewForm::PreparePopup(QPoint Point) {
    BringToFront(this);
    const int Side = FBox ? FBox->PaneAt(Point) : -1;
    FPopupLanguage = Side < 0 ? -1 : FBox->Language(Side);
    const TAlignCaret Caret = Side < 0 ? TAlignCaret{} : FBox->Caret(Side);
    const TAlignPopupStates P =
        FBox ? ComputeAlignPopupStates(FBox->Editor(), Side, Caret) : TAlignPopupStates{};
    const std::pair<const char*, bool> States[] = {{"SmallSplitItem", P.SmallSplit},
                                                   {"SmallMergeNextItem", P.SmallMergeNext},
                                                   {"SmallMergePrevItem", P.SmallMergePrev},
                                                   {"LargeSplitItem", P.LargeSplit},
                                                   {"LargeMergeNextItem", P.LargeMergeNext},
                                                   {"LargeMergePrevItem", P.LargeMergePrev},
                                                   {"InsertEmptyItem", P.InsertEmpty},
                                                   {"SplitSectItem", P.SplitSection},
                                                   {"MergeSectItem", P.MergeSection},
                                                   {"ParaAutoAlignItem", P.AutoAlign},
                                                   {"UndoItem", P.Undo}};
    for (const auto& [Name, On] : States) FPopupItems[Name]->setEnabled(On);
    return FPopup;
}

void TAlignViewForm::contextMenuEvent(QContextMenuEvent* Event) {
    if (!FBox) return;
    const QPoint Point = FBox->viewport()->mapFrom(this, Event->pos());
    PreparePopup(Point)->exec(Event->globalPos());
}

void TAlignViewForm::RunEdit(const std::function<void(int Language)>& Edit) {
    const int Language = FPopupLanguage;
    if (!FBox || !ConfirmDestroyAlignment()) {
        FPopupLanguage = -1;
        return;
    }
    Edit(Language);
    FPopupLanguage = -1;
    UpdateMenus();
}

void TAlignViewForm::closeEvent(QCloseEvent* Event) {
    try {
        SaveFormPlacement(GetIniFileName(), PlacementSection, this, true);
    } catch (const std::exception&) {
        // The placement is a convenience: a preferences file that cannot be written keeps the old one.
    }
    TAppMessageForm::closeEvent(Event);
}

void TAlignViewForm::CloseForGood() {
    if (FClosing) return;
    FClosing = true;
    if (FBox) FBox->Detach();
    QWidget* Frame = FrameOf(this);
    Frame->close();
}

intptr_t TAlignViewForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    switch (Msg) {
        case CM_FILESEXCHANGED: {
            // The source language's files decide the index, so that a change made in every language
            // moves the window once.
            const auto* Pair = reinterpret_cast<const TFilePair*>(LParam);
            if (WParam != FLanguage1 || !Pair || (FFile != Pair->First && FFile != Pair->Second)) break;
            FFile = FFile == Pair->First ? Pair->Second : Pair->First;
            if (FBox) FBox->SetFile(FFile);
            UpdateMenus();
            break;
        }
        case CM_DROPFILE:
            if (WParam != FLanguage1 && WParam != FLanguage2) break;
            if (LParam == FFile) {
                CloseForGood();
            } else if (LParam < FFile && WParam == FLanguage1) {
                --FFile;
                if (FBox) FBox->SetFile(FFile);
            }
            break;
        case CM_FONTCHANGED:
            if (LParam == CorpusFont && FBox) FBox->Relayout();
            break;
        case CM_ALIGNMENTDROPPED:
            CloseForGood();
            break;
        case CM_SEGMENTINDEXDROPPED:
            if (WParam == FLanguage1 || WParam == FLanguage2) CloseForGood();
            break;
        case CM_MARKERSCHANGED:
            if (FBox) FBox->viewport()->update();
            break;
        default:
            break;
    }
    return 0;
}

// ---- Opening the alignment windows -------------------------------------------------------------------

TAlignViewForm* AlignViewForm() {
    return TheView;
}

TAlignViewForm* ShowAlignView(int Level, int Language1, int Language2, std::function<void()> Callback,
                              int Paragraph, int Section, int File) {
    const uint8_t Mode = Level != 0 ? 0 : 1;
    if (TheView && !TheView->Closing() && TheView->File() == File && TheView->Language1() == Language1 &&
        TheView->Language2() == Language2) {
        TheView->Setup(Section, Mode, Paragraph, std::move(Callback));
        BringToFront(TheView);
        return TheView;
    }
    if (TheView) {
        TheView->Box()->Detach();
        delete FrameOf(TheView);
    }
    auto* Form = new TAlignViewForm(File, Language1, Language2);
    TheView = Form;
    Form->Setup(Section, Mode, Paragraph, std::move(Callback));
    QMdiSubWindow* Sub = ShowMdiChild(AlignWindowsArea(), Form);
    if (const QSize Room = AlignWindowsRoom(); !Room.isEmpty()) {
        // These are the outer sizes of the window, its frame included, so that all of it fits the area,
        // beside the Sections window.
        QWidget* Frame = Sub ? static_cast<QWidget*>(Sub) : Form;
        const int SectionsMin = SectionsAlignForm() && SectionsAlignForm()->parentWidget()
                                    ? SectionsAlignForm()->parentWidget()->minimumSizeHint().width()
                                    : 0;
        Frame->setGeometry(PlaceAlignWindows(Room, SectionsMin, Frame->minimumSizeHint().width()).View);
    }
    try {
        LoadFormPlacement(GetIniFileName(), PlacementSection, Form, true);
    } catch (const std::exception&) {
        // An unreadable preferences file leaves the default placement.
    }
    Form->Box()->setFocus();
    return Form;
}

bool AlignmentWindowsOpen() {
    return TheView || SectionsAlignForm();
}

void OpenAlignmentWindows(int Level, int Language1, int Language2, int Paragraph, int Section, int File) {
    if (QMdiArea* Area = AlignWindowsArea())
        for (QMdiSubWindow* Sub : Area->subWindowList()) {
            QWidget* W = Sub->widget();
            if (W && W != TheView && W != SectionsAlignForm()) Sub->close();
        }
    ShowAlignView(Level, Language1, Language2, AlignViewCallback, Paragraph, Section, File);
    ShowSectionsAlignForm(Language1, Language2, File, SectionsCallback, Section);
    if (Paragraph >= 1 && TheView) BringToFront(TheView);
}

void SectionsCallback(int Reason) {
    TConcSectionsAlignForm* Sections = SectionsAlignForm();
    if (Reason == srDestroyed) {
        if (TheView) FrameOf(TheView)->close();
        return;
    }
    if (!Sections) return;
    const int S = Sections->CurrentSection();
    const int L1 = Sections->Language1(), L2 = Sections->Language2(), File = Sections->File();
    if (S < 0 || S >= SectionCount(L1, File) || S >= SectionCount(L2, File)) {
        if (TheView) FrameOf(TheView)->close();
        return;
    }
    if (!TheView || TheView->Closing())
        ShowAlignView(1, L1, L2, AlignViewCallback, 0, S, File);
    else
        TheView->GoToSection(S);
    if (Reason == srDoubleClicked && TheView) BringToFront(TheView);
}

void AlignViewCallback() {
    if (TConcSectionsAlignForm* Sections = SectionsAlignForm()) Sections->RefreshCounts();
}

void RegisterAlignmentView(QMdiArea* Area) {
    SetAlignWindowsArea(Area);
    AlignViewHooks.OpenAlignmentView = [](int Level, int L1, int L2, int Paragraph, int Section, int File) {
        OpenAlignmentWindows(Level, L1, L2, Paragraph, Section, File);
    };
    AlignViewHooks.FileAligned = [](int Target, int File) {
        if (TheView && !TheView->Closing() && TheView->File() == File &&
            (TheView->Language1() == Target || TheView->Language2() == Target))
            TheView->SetViewMode(1, true);
    };
}
