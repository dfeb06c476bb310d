#include "controls/StringsView.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QThread>
#include <algorithm>
#include <array>
#include <unordered_map>

#include "controls/ConcFormUtils.h"
#include "platform/Nls.h"

namespace {

// The background of a selected item while the view has no focus: the light grey of an inactive frame.
const QColor UnfocusedSelection(212, 208, 200);

QRect ToQRect(const TSVRect& R) {
    return QRect(QPoint(R.Left, R.Top), QPoint(R.Right - 1, R.Bottom - 1));
}

bool HasCtrl(Qt::KeyboardModifiers M) {
    return M.testFlag(Qt::ControlModifier);
}

bool HasShift(Qt::KeyboardModifiers M) {
    return M.testFlag(Qt::ShiftModifier);
}

}  // namespace

// A stretch of one line ready to draw.
struct TStringsView::TLinePiece {
    QString Text;
    QFont Font;
    int32_t Colour = 0;  // the run's COLORREF, 0 = the item's text colour
    bool Anchor = false;
    int Width = 0;
    int Ascent = 0;
    int Descent = 0;
    // A piece longer than a screen can show: measured and drawn by its characters' widths (Advances,
    // one per UTF-16 unit, 0 for the second half of a surrogate pair), so that only what reaches the
    // screen is shaped and drawn.
    std::vector<int> Advances;
};

namespace {

// Longer pieces than this are measured character by character.
constexpr qsizetype LongPiece = 2048;

// The advance of each character of Text in Metrics, each distinct character measured once.
std::vector<int> CharacterAdvances(const QString& Text, const QFontMetrics& Metrics) {
    std::vector<int> Advances(size_t(Text.size()), 0);
    std::array<int, 256> Latin;
    Latin.fill(-1);
    std::unordered_map<char32_t, int> Other;
    for (qsizetype K = 0; K < Text.size();) {
        const bool Pair = Text[K].isHighSurrogate() && K + 1 < Text.size() && Text[K + 1].isLowSurrogate();
        const qsizetype Units = Pair ? 2 : 1;
        const char32_t Code = Pair ? QChar::surrogateToUcs4(Text[K], Text[K + 1]) : Text[K].unicode();
        int* Known = Code < 256 ? &Latin[Code] : &Other.try_emplace(Code, -1).first->second;
        if (*Known < 0) *Known = Metrics.horizontalAdvance(Text.mid(K, Units));
        Advances[size_t(K)] = *Known;
        K += Units;
    }
    return Advances;
}

// Draws of a long piece starting at X only the characters that reach [Left, Right), from the start of
// one a little before Left (a glyph may reach back over its neighbour).
void DrawLongPiece(QPainter& Painter, int X, int Baseline, const QString& Text,
                   const std::vector<int>& Advances, int Left, int Right) {
    qsizetype First = 0, End = Text.size();
    int FirstX = X, At = X;
    for (qsizetype K = 0; K < Text.size(); ++K) {
        if (At + Advances[size_t(K)] < Left - 64) {
            First = K + 1;
            FirstX = At + Advances[size_t(K)];
        }
        At += Advances[size_t(K)];
        if (At > Right + 64) {
            End = K + 1;
            break;
        }
    }
    // Never start on the second half of a surrogate pair.
    if (First > 0 && First < Text.size() && Text[First].isLowSurrogate()) FirstX -= Advances[size_t(--First)];
    if (End < Text.size() && Text[End].isLowSurrogate()) ++End;
    if (End > First) Painter.drawText(FirstX, Baseline, Text.mid(First, End - First));
}

}  // namespace

TStringsView::TStringsView(QWidget* Parent)
    : QAbstractScrollArea(Parent), FCodePage(platform::SystemCodePage()) {
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    FModel.OnItemSelection = [this](bool Selected, int32_t Index) {
        viewport()->update();
        if (OnItemSelection) OnItemSelection(*this, Selected, Index);
    };
    FModel.OnItemChanged = [this] {
        if (OnItemChanged) OnItemChanged(*this);
    };
    FModel.OnFocusMoved = [this](int32_t) { BringIntoView(FModel.ItemIndex()); };
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &TStringsView::OnVertAction);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, &TStringsView::OnHorzAction);
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, &TStringsView::UpdateScrollBars);
    UpdateMetrics({font()});
}

TStringsView::~TStringsView() = default;

int TStringsView::Count() const {
    return FStrings ? std::max(FStrings->GetCount(), 0) : 0;
}

int TStringsView::TextLeft() const {
    return FShowLabels && FLabelWidth >= 1 ? FLabelWidth + 2 : 0;
}

bool TStringsView::HasHorzBar() const {
    return FAlignment != svaCenter && !FWordWrap && Count() > 0;
}

// ---- Data and properties ------------------------------------------------------------------------------

void TStringsView::SetStrings(TStrings* Strings) {
    std::lock_guard Guard(FLock);
    FStrings = Strings;
    FTopIndex = 0;
    FTopLine = 0;
    FMaxWidth = FMaxChars = FHorzScroll = 0;
    FModel.SetCount(Count());
    FModel.Reset();
    Rebuild();
    if (Count() > 0 && FModel.EnableSelect) FModel.SetItemIndex(0, false, false);
    UpdateScrollBars();
    viewport()->update();
}

void TStringsView::SetCodePage(int CodePage) {
    FCodePage = CodePage;
    UpdateView();
}

void TStringsView::SetBorderStyle(TBorderStyle Style) {
    FBorderStyle = Style;
    setFrameShape(Style == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
    UpdateView();
}

void TStringsView::SetEnableSelect(bool Value) {
    if (Value == FModel.EnableSelect) return;
    FModel.EnableSelect = Value;
    if (!Value) {
        FModel.Reset();
    } else {
        FModel.SetItemIndex(-1, false, false);
        FModel.ResetAnchor();
        if (Count() > 0) FModel.SetItemIndex(0, false, false);
    }
    viewport()->update();
}

void TStringsView::SetMultiSelect(bool Value) {
    if (Value == FModel.MultiSelect) return;
    FModel.MultiSelect = Value;
    if (!Value) FModel.Reset();
    viewport()->update();
}

void TStringsView::SetExtendedSelect(bool Value) {
    FModel.ExtendedSelect = Value;
    FModel.ResetAnchor();
}

void TStringsView::SetAlignment(TSVAlignment Value) {
    FAlignment = Value;
    UpdateView();
}

void TStringsView::SetWordWrap(bool Value) {
    FWordWrap = Value;
    FTopLine = 0;
    UpdateView();
}

void TStringsView::SetShowLabels(bool Value) {
    if (Value == FShowLabels) return;
    FShowLabels = Value;
    UpdateView();
}

bool TStringsView::SetLabelWidth(int Width) {
    if (Width == FLabelWidth || Width < 1 || viewport()->width() - 2 <= Width + 4) return false;
    FLabelWidth = Width;
    UpdateView();
    return true;
}

void TStringsView::SetFonts(const std::vector<QFont>& Fonts) {
    FFonts = Fonts;
    UpdateMetrics(Fonts);
}

void TStringsView::UpdateMetrics(const std::vector<QFont>& Fonts) {
    for (const QFont& F : Fonts) {
        const QFontMetrics M(F);
        FCharWidth = std::max(FCharWidth, M.horizontalAdvance(QLatin1Char('0')));
        FLineHeight = std::max(FLineHeight, M.height() + std::max(M.leading(), 0));
    }
    FCharWidth = std::max(FCharWidth, 1);
    FLineHeight = std::max(FLineHeight, 1);
    FVisibleLines = viewport()->height() / FLineHeight;
    FVisibleChars = viewport()->width() / FCharWidth;
    UpdateView();
}

// ---- Selection ------------------------------------------------------------------------------------------

void TStringsView::SetItemIndex(int Index) {
    const Qt::KeyboardModifiers M = QGuiApplication::keyboardModifiers();
    if (FModel.SetItemIndex(Index, HasCtrl(M), HasShift(M))) viewport()->update();
}

void TStringsView::MoveFocus(int Index) {
    if (FModel.SetItemIndex(Index, true, false)) viewport()->update();
}

void TStringsView::SetSelected(int Index, bool Value) {
    FModel.SetSelected(Index, Value);
}

void TStringsView::ClearSelection() {
    if (FModel.ClearSelection()) viewport()->update();
}

void TStringsView::SelectAt(int Index, TSVSelectSource Source, Qt::KeyboardModifiers Modifiers) {
    FModel.SelectItem(Index, Source, HasCtrl(Modifiers), HasShift(Modifiers));
    viewport()->update();
}

// ---- Layout ---------------------------------------------------------------------------------------------

QFont TStringsView::RunFont(const TSVFontInfo* Info) const {
    QFont F = font();
    if (!Info) return F;
    if (!Info->Name.empty()) F.setFamily(QString::fromStdString(Info->Name));
    if (Info->Size > 0) F.setPointSize(Info->Size);
    if (Info->Style != 0) {
        F.setBold(Info->Style & fsBold);
        F.setItalic(Info->Style & fsItalic);
        F.setUnderline(Info->Style & fsUnderline);
        F.setStrikeOut(Info->Style & fsStrikeOut);
    }
    return F;
}

TStringsView::TEntry TStringsView::LayoutItem(int Index, int Top) {
    TEntry E;
    E.Index = Index;
    TSVScreenDrawInfo& Info = E.Info;
    if (OnFormatItem) {
        OnFormatItem(*this, Index, E.Text, Info.Format, Info.Label);
    } else if (FStrings) {
        try {
            E.Text = FStrings->Get(Index);
        } catch (const std::exception&) {
            // A list that cannot produce the line shows it empty; painting must go on.
        }
    }
    E.Decoded = platform::CodePageToUtf16Mapped(FCodePage, E.Text, E.ByteToUnit);
    Info.Rect = {TextLeft(), Top, viewport()->width(), Top + FLineHeight};
    if (!FWordWrap) {
        Info.Lines = {E.Text};
        E.LineHeights = {FLineHeight};
    } else if (OnWrapItem) {
        OnWrapItem(*this, Index, E.Text, Info.Rect, Info.Format, Info.Lines);
        if (Info.Lines.empty()) Info.Lines = {E.Text};
        E.LineHeights.assign(Info.Lines.size(), FLineHeight);
        Info.Rect.Bottom = std::max(Info.Rect.Bottom, Top + FLineHeight);
    } else {
        // A long line repeats the same few characters: each is measured once per font.
        struct TFontMeasure {
            QFontMetrics Metrics;
            int Height;
            std::array<int, 256> Latin;
            std::unordered_map<std::u16string_view, int> Other;
        };
        std::unordered_map<const TSVFontInfo*, TFontMeasure> Fonts;
        const TSVFontInfo* LastFont = nullptr;
        TFontMeasure* Last = nullptr;
        const TSVMeasureFunc Measure = [&](std::string_view Char, const TSVFontInfo* Font) -> TSVExtent {
            if (!Last || Font != LastFont) {
                auto It = Fonts.find(Font);
                if (It == Fonts.end()) {
                    It = Fonts.emplace(Font, TFontMeasure{QFontMetrics(RunFont(Font)), 0, {}, {}}).first;
                    It->second.Height = It->second.Metrics.height();
                    It->second.Latin.fill(-1);
                }
                LastFont = Font;
                Last = &It->second;
            }
            const size_t Pos = size_t(Char.data() - E.Text.data());
            const int32_t U0 = E.ByteToUnit[Pos], U1 = E.ByteToUnit[Pos + Char.size()];
            const std::u16string_view Units(E.Decoded.data() + U0, size_t(U1 - U0));
            auto Width = [&] {
                return Last->Metrics.horizontalAdvance(
                    QString::fromUtf16(Units.data(), qsizetype(Units.size())));
            };
            int* Known = nullptr;
            if (Units.size() == 1 && Units[0] < 256) {
                Known = &Last->Latin[Units[0]];
            } else {
                auto It = Last->Other.find(Units);
                Known = It != Last->Other.end() ? &It->second : &Last->Other.emplace(Units, -1).first->second;
            }
            if (*Known < 0) *Known = Width();
            return {*Known, Last->Height};
        };
        const auto& Tables = platform::CodePageTables(FCodePage);
        TSVWrapResult W =
            SVWrapText(E.Text, Info.Format, Info.Rect.Width(), FLineHeight, &Tables.LeadByte, Measure);
        Info.Lines = std::move(W.Lines);
        E.LineHeights = std::move(W.LineHeights);
        Info.Rect.Bottom = Top + std::max(W.Height, FLineHeight);
    }
    int32_t Start = 0;
    for (const std::string& Line : Info.Lines) {
        E.LineStarts.push_back(Start);
        Start += int32_t(Line.size());
    }
    return E;
}

int TStringsView::ItemHeight(int Index) {
    if (const TEntry* E = Entry(Index)) return E->Info.Rect.Height();
    return LayoutItem(Index, 0).Info.Rect.Height();
}

const TStringsView::TEntry* TStringsView::Entry(int Index) const {
    if (Index < 0) return nullptr;
    if (FBefore.Index == Index) return &FBefore;
    if (FAfter.Index == Index) return &FAfter;
    if (!FScreen.empty() && Index >= FScreen.front().Index && Index <= FScreen.back().Index)
        return &FScreen[size_t(Index - FScreen.front().Index)];
    return nullptr;
}

void TStringsView::Rebuild() {
    std::lock_guard Guard(FLock);
    FScreen.clear();
    FBefore = TEntry();
    FAfter = TEntry();
    FLayout = TSVScreenLayout();
    const int N = Count();
    FModel.SetCount(N);
    FLastCount = N;
    if (N == 0) return;
    if (FTopIndex >= N) {
        FTopIndex = N - 1;
        FTopLine = 0;
    }
    FLayout = SVLayoutScreen(FTopIndex, FTopLine, N, viewport()->height(), FLineHeight, [&](int32_t I) {
        FScreen.push_back(LayoutItem(I, 0));
        return FScreen.back().Info.Rect.Height();
    });
    for (size_t K = 0; K < FScreen.size(); ++K) {
        TSVRect& R = FScreen[K].Info.Rect;
        const int32_t H = R.Height();
        R.Top = FLayout.Tops[K];
        R.Bottom = R.Top + H;
    }
    if (FTopIndex > 0) {
        FBefore = LayoutItem(FTopIndex - 1, 0);
        const int32_t H = FBefore.Info.Rect.Height();
        FBefore.Info.Rect.Top = FLayout.Tops[0] - H;
        FBefore.Info.Rect.Bottom = FLayout.Tops[0];
    }
    if (FLayout.BottomIndex + 1 < N)
        FAfter = LayoutItem(FLayout.BottomIndex + 1, FScreen.back().Info.Rect.Bottom);
}

void TStringsView::UpdateView() {
    Rebuild();
    UpdateScrollBars();
    viewport()->update();
}

// ---- Scrolling ------------------------------------------------------------------------------------------

void TStringsView::UpdateScrollBars() {
    const int N = Count();
    QScrollBar* V = verticalScrollBar();
    const TSVScrollRange R = SVVertRange(N, FVisibleLines);
    {
        const QSignalBlocker Block(V);
        V->setRange(0, R.Max);
        V->setPageStep(R.Page);
        V->setSingleStep(1);
        if (!V->isSliderDown()) V->setValue(N > 0 ? SVVertPosition(FTopIndex, N, FVisibleLines) : 0);
    }
    const Qt::ScrollBarPolicy Policy = HasHorzBar() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (horizontalScrollBarPolicy() != Policy) setHorizontalScrollBarPolicy(Policy);
    UpdateHorzRange();
}

void TStringsView::UpdateHorzRange() {
    QScrollBar* H = horizontalScrollBar();
    const TSVScrollRange R = SVHorzRange(FVisibleChars, FMaxChars);
    const QSignalBlocker Block(H);
    H->setRange(0, R.Max);
    H->setPageStep(R.Page);
    H->setSingleStep(1);
    H->setValue(FHorzScroll);
}

void TStringsView::scrollContentsBy(int, int) {
    // The bars' positions are items and characters, mapped by the actions below; nothing moves here.
}

void TStringsView::ScrollTo(int Index) {
    const int N = Count();
    if (Index < 0 || Index >= N || Index == FTopIndex) return;
    int Dy = 0;
    bool MovePixels = false;
    {
        std::lock_guard Guard(FLock);
        const int Delta = FTopIndex - Index;
        if (FTopLine == 0 && (Delta == 1 || Delta == -1)) {
            // The item entering at the top, or the one leaving it, says how far the pixels move.
            const TEntry* Moved = Delta == 1 ? Entry(Index) : Entry(FTopIndex);
            if (Moved) {
                Dy = Delta == 1 ? Moved->Info.Rect.Height() : -Moved->Info.Rect.Height();
                MovePixels = true;
            }
        }
        FTopIndex = Index;
        FTopLine = 0;
        Rebuild();
    }
    if (OnTopIndexChanged) OnTopIndexChanged(*this);
    UpdateScrollBars();
    const int Left = TextLeft();
    if (MovePixels) {
        viewport()->scroll(0, Dy, QRect(Left, 0, viewport()->width() - Left, viewport()->height()));
        if (Left > 0) viewport()->update(0, 0, Left, viewport()->height());
    } else {
        viewport()->update();
    }
}

void TStringsView::SetTopIndex(int Index) {
    if (Index < 0 || Index >= Count()) return;
    ScrollHorzTo(0);
    ScrollTo(Index);
}

void TStringsView::ScrollHorzTo(int H) {
    if (H == FHorzScroll) return;
    const int Dx = (FHorzScroll - H) * FCharWidth;
    FHorzScroll = H;
    // The label column stays where it is; only the text moves.
    const int Left = TextLeft() + 2;
    viewport()->scroll(Dx, 0,
                       QRect(Left, 0, std::max(viewport()->width() - Left - 2, 0), viewport()->height()));
    UpdateHorzRange();
}

TSVHeightFunc TStringsView::CachedHeights(std::unordered_map<int32_t, int32_t>& Heights) {
    return [this, &Heights](int32_t I) {
        auto It = Heights.find(I);
        if (It == Heights.end()) It = Heights.emplace(I, ItemHeight(I)).first;
        return It->second;
    };
}

void TStringsView::BringIntoView(int Index) {
    std::unordered_map<int32_t, int32_t> Heights;
    const int Top = SVBringIntoViewTop(Index, FTopIndex, FTopLine, Count(), viewport()->height(), FLineHeight,
                                       CachedHeights(Heights));
    if (Top != FTopIndex) {
        ScrollTo(Top);
    } else if (Index == FTopIndex && FTopLine > 0) {
        FTopLine = 0;
        UpdateView();
    } else {
        viewport()->update();
    }
}

namespace {

// The view's scroll action for a scroll bar's action; false for one the view does not act on.
bool ScrollActionOf(int Action, TSVScrollAction& A) {
    switch (Action) {
        case QAbstractSlider::SliderSingleStepSub:
            A = svsLineUp;
            return true;
        case QAbstractSlider::SliderSingleStepAdd:
            A = svsLineDown;
            return true;
        case QAbstractSlider::SliderPageStepSub:
            A = svsPageUp;
            return true;
        case QAbstractSlider::SliderPageStepAdd:
            A = svsPageDown;
            return true;
        case QAbstractSlider::SliderToMinimum:
            A = svsFirst;
            return true;
        case QAbstractSlider::SliderToMaximum:
            A = svsLast;
            return true;
        case QAbstractSlider::SliderMove:
            A = svsThumb;
            return true;
        default:
            return false;
    }
}

}  // namespace

void TStringsView::OnVertAction(int Action) {
    QScrollBar* V = verticalScrollBar();
    const int N = Count();
    TSVScrollAction A;
    if (!ScrollActionOf(Action, A)) return;
    const int Thumb = V->sliderPosition();
    if (N > 0 && viewport()->height() >= FLineHeight) {
        const int Target = SVVertScrollTarget(A, Thumb, FTopIndex, N, FVisibleLines);
        if (Target >= 0) ScrollTo(Target);
    }
    // The bar shows the top item, not where Qt's own step arithmetic would have put it; a thumb being
    // dragged stays under the pointer.
    if (A != svsThumb) V->setSliderPosition(N > 0 ? SVVertPosition(FTopIndex, N, FVisibleLines) : 0);
}

void TStringsView::OnHorzAction(int Action) {
    QScrollBar* H = horizontalScrollBar();
    TSVScrollAction A;
    if (!ScrollActionOf(Action, A)) return;
    if (Count() > 0 && viewport()->height() >= FLineHeight)
        ScrollHorzTo(SVHorzScrollTarget(A, H->sliderPosition(), FHorzScroll, FVisibleChars, FMaxChars));
    H->setSliderPosition(FHorzScroll);
}

void TStringsView::ItemsChanged() {
    if (QThread::currentThread() != thread()) {
        if (!FItemsChangedQueued.exchange(true)) FItemsChangedWake.Wake();
        return;
    }
    ItemsChangedNow();
}

void TStringsView::ItemsChangedNow() {
    bool TopChanged = false;
    {
        std::lock_guard Guard(FLock);
        const int N = Count();
        FModel.SetCount(N);
        // Lines added below a full screen change nothing on it; a shrinking list may change anything.
        const bool EndOnScreen = FLayout.BottomIndex + 1 >= FLastCount;
        if (N < FLastCount || EndOnScreen || !FLayout.ScreenFull) {
            if (N > 0 && FTopIndex >= N) {
                FTopIndex = N - 1;
                FTopLine = 0;
                TopChanged = true;
            }
            Rebuild();
            viewport()->update();
        }
        FLastCount = N;
    }
    if (TopChanged && OnTopIndexChanged) OnTopIndexChanged(*this);
    UpdateScrollBars();
}

// ---- Hit testing ----------------------------------------------------------------------------------------

int TStringsView::ItemAtPos(const QPoint& P) const {
    if (Count() == 0) return -1;
    if (P.y() < 0) return FTopIndex > 0 ? FTopIndex - 1 : -1;
    if (P.y() >= viewport()->height())
        return FLayout.BottomIndex >= 0 && FLayout.BottomIndex + 1 < Count() ? FLayout.BottomIndex + 1 : -1;
    for (const TEntry& E : FScreen)
        if (P.y() >= E.Info.Rect.Top && P.y() < E.Info.Rect.Bottom) return E.Index;
    return -1;
}

QRect TStringsView::ItemRect(int Index) const {
    for (const TEntry& E : FScreen)
        if (E.Index == Index) return ToQRect(E.Info.Rect);
    return QRect();
}

// ---- Input ----------------------------------------------------------------------------------------------

bool TStringsView::CanHandleInput() const {
    return Count() > 0 && viewport()->height() >= FLineHeight;
}

bool TStringsView::event(QEvent* Event) {
    // The window system places a keyboard popup at the mouse pointer, which may be anywhere; the user
    // asked about the current line.
    if (Event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(Event)->reason() == QContextMenuEvent::Keyboard) {
        OpenKeyboardPopup(static_cast<QContextMenuEvent*>(Event)->modifiers());
        return true;
    }
    return QAbstractScrollArea::event(Event);
}

QPoint TStringsView::KeyboardPopupPoint() {
    const int Current = FModel.ItemIndex() >= 0 ? FModel.ItemIndex() : FTopIndex;
    if (Current >= 0 && Current < Count()) BringIntoView(Current);
    const QRect Rect = ItemRect(Current);
    if (Rect.isEmpty()) return QPoint(TextLeft() + 2, 0);
    const int Y = Rect.top() + std::min(Rect.height(), FLineHeight);
    return QPoint(TextLeft() + 2, std::clamp(Y, 0, std::max(viewport()->height() - 1, 0)));
}

void TStringsView::OpenKeyboardPopup(Qt::KeyboardModifiers Modifiers) {
    const QPoint P = KeyboardPopupPoint();
    QContextMenuEvent Popup(QContextMenuEvent::Keyboard, P, viewport()->mapToGlobal(P), Modifiers);
    // Sent as the viewport's own popup event, so the owner reads viewport coordinates as for a click.
    QAbstractScrollArea::viewportEvent(&Popup);
}

void TStringsView::keyPressEvent(QKeyEvent* Event) {
    const bool ShiftF10 = Event->key() == Qt::Key_F10 && (Event->modifiers() & Qt::ShiftModifier);
    if (Event->key() == Qt::Key_Menu || ShiftF10) {
        Event->accept();
        OpenKeyboardPopup(Event->modifiers());
        return;
    }
    TSVKey Key;
    switch (Event->key()) {
        case Qt::Key_PageUp:
            Key = svkPageUp;
            break;
        case Qt::Key_PageDown:
            Key = svkPageDown;
            break;
        case Qt::Key_Home:
            Key = svkHome;
            break;
        case Qt::Key_End:
            Key = svkEnd;
            break;
        case Qt::Key_Left:
            Key = svkLeft;
            break;
        case Qt::Key_Right:
            Key = svkRight;
            break;
        case Qt::Key_Up:
            Key = svkUp;
            break;
        case Qt::Key_Down:
            Key = svkDown;
            break;
        default:
            QAbstractScrollArea::keyPressEvent(Event);
            return;
    }
    Event->accept();
    if (!CanHandleInput()) return;
    HandleKeyAction(SVKeyAction(Key, HasCtrl(Event->modifiers()), HasHorzBar()), Event->modifiers());
}

void TStringsView::HandleKeyAction(TSVKeyAction Action, Qt::KeyboardModifiers Modifiers) {
    const int Half = FVisibleChars / 2;
    switch (Action) {
        case svkaNone:
            return;
        case svkaCharLeft:
            ScrollHorzTo(std::max(FHorzScroll - 1, 0));
            return;
        case svkaCharRight:
            ScrollHorzTo(SVHorzScrollTarget(svsLineDown, 0, FHorzScroll, FVisibleChars, FMaxChars));
            return;
        case svkaHalfPageLeft:
            ScrollHorzTo(std::max(FHorzScroll - Half, 0));
            return;
        case svkaHalfPageRight:
            ScrollHorzTo(SVHorzScrollTarget(svsPageDown, 0, FHorzScroll, FVisibleChars, FMaxChars));
            return;
        case svkaHorzHome:
            ScrollHorzTo(0);
            return;
        case svkaHorzEnd:
            ScrollHorzTo(SVHorzScrollTarget(svsLast, 0, FHorzScroll, FVisibleChars, FMaxChars));
            return;
        default:
            break;
    }
    if (FModel.EnableSelect) {
        SelectAt(SVKeyTarget(Action, FModel.ItemIndex(), Count(), FVisibleLines), svssKey, Modifiers);
        return;
    }
    int Target = SVKeyTarget(Action, FTopIndex, Count(), FVisibleLines);
    // Keys going down stop at the last full screen; a top the scroll bar put lower stays where it is.
    if (Action == svkaLast || Action == svkaPageDown) {
        std::unordered_map<int32_t, int32_t> Heights;
        const int LastTop = SVLastScreenTop(Count(), viewport()->height(), CachedHeights(Heights));
        Target = std::min(Target, std::max(LastTop, FTopIndex));
    }
    ScrollTo(Target);
}

void TStringsView::mousePressEvent(QMouseEvent* Event) {
    setFocus(Qt::MouseFocusReason);
    if (Event->button() == Qt::RightButton && FModel.EnableSelect && viewport()->height() > FLineHeight) {
        RightPress(ItemAtPos(Event->position().toPoint()));
        return;
    }
    if (Event->button() != Qt::LeftButton || !FModel.EnableSelect || viewport()->height() <= FLineHeight) {
        QAbstractScrollArea::mousePressEvent(Event);
        return;
    }
    const int I = ItemAtPos(Event->position().toPoint());
    if (I >= 0) SelectAt(I, svssClick, Event->modifiers());
}

// The popup that follows acts on the line the user pointed at. A line outside the selection becomes the
// whole selection; one inside it only takes the focus, so that the popup's commands still reach every
// selected line.
void TStringsView::RightPress(int Index) {
    if (Index < 0) return;
    if (!FModel.IsSelected(Index))
        SelectAt(Index, svssClick, Qt::NoModifier);
    else if (Index != FModel.ItemIndex())
        SelectAt(Index, svssKey, Qt::ControlModifier);
}

void TStringsView::mouseMoveEvent(QMouseEvent* Event) {
    if (!(Event->buttons() & Qt::LeftButton) || !FModel.EnableSelect || viewport()->height() <= FLineHeight)
        return;
    // Moves within the focused item change nothing, so only a new item is selected as a drag.
    const int I = ItemAtPos(Event->position().toPoint());
    if (I >= 0 && I != FModel.ItemIndex()) SelectAt(I, svssDrag, Event->modifiers());
}

void TStringsView::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && OnDblClick) OnDblClick(*this);
}

void TStringsView::wheelEvent(QWheelEvent* Event) {
    const int Delta = Event->angleDelta().y();
    Event->accept();
    if (Delta == 0) return;
    ScrollTo(Delta > 0 ? FTopIndex - 1 : FTopIndex + 1);
}

void TStringsView::focusInEvent(QFocusEvent* Event) {
    QAbstractScrollArea::focusInEvent(Event);
    viewport()->update();
    if (OnEnter && Event->reason() != Qt::PopupFocusReason) OnEnter(*this);
}

void TStringsView::focusOutEvent(QFocusEvent* Event) {
    QAbstractScrollArea::focusOutEvent(Event);
    viewport()->update();
    if (OnExit && Event->reason() != Qt::PopupFocusReason) OnExit(*this);
}

void TStringsView::changeEvent(QEvent* Event) {
    QAbstractScrollArea::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        UpdateMetrics({font()});
    else if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::PaletteChange)
        viewport()->update();
}

void TStringsView::resizeEvent(QResizeEvent* Event) {
    QAbstractScrollArea::resizeEvent(Event);
    FVisibleLines = viewport()->height() / FLineHeight;
    FVisibleChars = viewport()->width() / FCharWidth;
    FTopLine = 0;
    UpdateView();
}

// ---- Painting -------------------------------------------------------------------------------------------

std::vector<TStringsView::TLinePiece> TStringsView::LinePieces(const TEntry& E, size_t Line,
                                                               const QFont& Base) const {
    std::vector<TLinePiece> Out;
    const TSVFormatArray& Format = E.Info.Format;
    for (const TSVPiece& P : SVPieces(E.LineStarts[Line], int32_t(E.Info.Lines[Line].size()), Format)) {
        TLinePiece L;
        const int32_t U0 = E.ByteToUnit[size_t(P.Start)], U1 = E.ByteToUnit[size_t(P.Start + P.Length)];
        L.Text = QString::fromUtf16(E.Decoded.data() + U0, U1 - U0);
        if (P.Run >= 0) {
            const TSVFormatInfo& Run = Format[size_t(P.Run)];
            L.Font = RunFont(&Run.Font);
            L.Colour = Run.Font.Colour;
            L.Anchor = Run.Anchor != 0;
        } else {
            L.Font = Base;
        }
        const QFontMetrics M(L.Font);
        if (L.Text.size() > LongPiece) {
            L.Advances = CharacterAdvances(L.Text, M);
            L.Width = 0;
            for (int A : L.Advances) L.Width += A;
        } else {
            L.Width = M.horizontalAdvance(L.Text);
        }
        L.Ascent = M.ascent();
        L.Descent = M.descent();
        Out.push_back(std::move(L));
    }
    return Out;
}

void TStringsView::DrawItem(QPainter& Painter, const TEntry& E, const TSVDrawState& State) {
    QColor Text = palette().color(QPalette::Text);
    QColor Back = palette().color(QPalette::Base);
    if (State.Disabled) {
        Text = palette().color(QPalette::Disabled, QPalette::Text);
    } else if (State.Selected && hasFocus()) {
        Text = palette().color(QPalette::HighlightedText);
        Back = palette().color(QPalette::Highlight);
    } else if (State.Selected) {
        Back = UnfocusedSelection;
    }
    const QRect R = ToQRect(E.Info.Rect);
    Painter.fillRect(R, Back);
    const TColor SelectedText = QColorToColorRef(Text);
    const QFontMetrics BaseMetrics(font());
    int Y = E.Info.Rect.Top;
    const int Bottom = viewport()->height();
    for (size_t K = 0; K < E.Info.Lines.size() && Y < Bottom; ++K) {
        // An item wrapped into thousands of lines shows a screenful of them: only those are measured.
        if (Y + E.LineHeights[K] <= 0) {
            Y += E.LineHeights[K];
            continue;
        }
        const std::vector<TLinePiece> Pieces = LinePieces(E, K, font());
        int Width = 0, AnchorX = -1, Ascent = BaseMetrics.ascent(), Descent = BaseMetrics.descent();
        for (const TLinePiece& P : Pieces) {
            if (P.Anchor && AnchorX < 0) AnchorX = Width;
            Width += P.Width;
            Ascent = std::max(Ascent, P.Ascent);
            Descent = std::max(Descent, P.Descent);
        }
        const int LineHeight = E.LineHeights[K];
        const int Baseline = Y + (LineHeight - (Ascent + Descent)) / 2 + Ascent;
        int X = SVLineX(FAlignment, TextLeft(), viewport()->width(), Width, AnchorX, FHorzScroll, FCharWidth);
        for (const TLinePiece& P : Pieces) {
            QColor C = Text;
            if (P.Colour > 0 && !State.Disabled)
                C = ColorRefToQColor(State.Selected ? SVSelectedRunColour(P.Colour, SelectedText) : P.Colour);
            Painter.setFont(P.Font);
            Painter.setPen(C);
            if (P.Advances.empty())
                Painter.drawText(X, Baseline, P.Text);
            else
                DrawLongPiece(Painter, X, Baseline, P.Text, P.Advances, TextLeft(), viewport()->width());
            X += P.Width;
        }
        FMaxWidth = std::max(FMaxWidth, Width);
        Y += LineHeight;
    }
    FMaxChars = FMaxWidth / FCharWidth + 1;
}

void TStringsView::DrawLabel(QPainter& Painter, const TEntry& E) {
    const TSVLabelInfo& Label = E.Info.Label;
    const QRect R(0, E.Info.Rect.Top, std::max(FLabelWidth - 2, 0), FLineHeight);
    if (OnDrawLabel) {
        OnDrawLabel(*this, Painter, E.Index, R, Label);
        return;
    }
    std::vector<int32_t> Map;
    const QString Text =
        QString::fromStdU16String(platform::CodePageToUtf16Mapped(FCodePage, Label.Text, Map));
    const int Align = Label.Alignment == svlaRight    ? Qt::AlignRight
                      : Label.Alignment == svlaCenter ? Qt::AlignHCenter
                                                      : Qt::AlignLeft;
    Painter.setFont(RunFont(&Label.Font));
    Painter.setPen(Label.Font.Colour != 0 ? ColorRefToQColor(Label.Font.Colour)
                                          : palette().color(QPalette::Text));
    Painter.drawText(R, Align | Qt::AlignVCenter | Qt::TextSingleLine, Text);
}

void TStringsView::paintEvent(QPaintEvent*) {
    std::lock_guard Guard(FLock);
    QPainter Painter(viewport());
    const QColor Back = palette().color(QPalette::Base);
    const int Width = viewport()->width(), Height = viewport()->height();
    const int Left = TextLeft();
    const bool Labels = Left > 0;
    const QColor Separator = palette().color(QPalette::Mid);
    int Bottom = 0;
    for (size_t K = 0; K < FScreen.size(); ++K) {
        const TEntry& E = FScreen[K];
        TSVDrawState State;
        State.Disabled = !isEnabled();
        State.Selected = FModel.EnableSelect && FModel.IsSelected(E.Index);
        State.Focused = E.Index == FModel.ItemIndex();
        const QRect R = ToQRect(E.Info.Rect);
        Painter.save();
        Painter.setClipRect(QRect(Left, R.top(), Width - Left, R.height()));
        if (OnDrawItem)
            OnDrawItem(*this, Painter, R, FLineHeight, FCharWidth, E.Info.Format, E.Index,
                       K == 0 ? FTopLine : 0, E.Info.Lines, State);
        else
            DrawItem(Painter, E, State);
        Painter.restore();
        if (Labels) {
            Painter.fillRect(QRect(0, R.top(), Left, R.height()), Back);
            // The continuation of a top item scrolled by some of its lines carries no label.
            if (!(K == 0 && FTopLine > 0)) DrawLabel(Painter, E);
            Painter.setPen(Separator);
            Painter.drawLine(FLabelWidth - 2, R.top(), FLabelWidth - 2, R.bottom());
        }
        Bottom = E.Info.Rect.Bottom;
    }
    if (Bottom < Height) {
        Painter.fillRect(QRect(0, Bottom, Width, Height - Bottom), Back);
        if (Labels) {
            Painter.setPen(Separator);
            Painter.drawLine(FLabelWidth - 2, Bottom, FLabelWidth - 2, Height - 1);
        }
    }
    if (hasFocus() && FModel.EnableSelect) {
        const QRect R = ItemRect(FModel.ItemIndex());
        if (R.isValid()) {
            QStyleOptionFocusRect Option;
            Option.initFrom(this);
            Option.rect = R.intersected(QRect(Left, 0, Width - Left, Height));
            Option.backgroundColor = palette().color(QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Option, &Painter, this);
        }
    }
    if (HasHorzBar()) UpdateHorzRange();
}
