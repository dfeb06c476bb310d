#include "ui/StringsViewModel.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <numeric>

// ---- Text pieces and wrapping -----------------------------------------------------------------------

std::vector<TSVPiece> SVPieces(int32_t From, int32_t Length, const TSVFormatArray& Format) {
    const int32_t End = From + std::max<int32_t>(Length, 0);
    std::vector<int32_t> Order(Format.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::stable_sort(Order.begin(), Order.end(),
                     [&](int32_t A, int32_t B) { return Format[A].Start < Format[B].Start; });
    std::vector<TSVPiece> Pieces;
    int32_t Pos = From;
    for (int32_t R : Order) {
        const TSVFormatInfo& Run = Format[R];
        if (Run.Length <= 0) continue;
        // Start counts from 1; work in 64 bits so that absurd runs cannot overflow.
        const int64_t RunStart = int64_t(Run.Start) - 1;
        const int32_t S = int32_t(std::clamp<int64_t>(RunStart, Pos, End));
        const int32_t E = int32_t(std::clamp<int64_t>(RunStart + Run.Length, Pos, End));
        if (S >= E) continue;
        if (S > Pos) Pieces.push_back({Pos, S - Pos, -1});
        Pieces.push_back({S, E - S, R});
        Pos = E;
    }
    if (Pos < End) Pieces.push_back({Pos, End - Pos, -1});
    return Pieces;
}

namespace {

struct TWrapChar {
    int32_t Start;
    int32_t Length;
    TSVExtent Extent;
};

class TWrapper {
public:
    TWrapper(const std::string& Text, int32_t Width, int32_t LineHeight)
        : FText(Text), FWidth(Width), FLineHeight(LineHeight) {}

    void Add(const TWrapChar& C) {
        while (!FLine.empty() && FX + C.Extent.Width > FWidth) Break();
        FLine.push_back(C);
        FX += C.Extent.Width;
    }

    TSVWrapResult Finish() {
        if (!FLine.empty() || FResult.Lines.empty()) Emit(FLine.size());
        return std::move(FResult);
    }

private:
    // Breaks after the line's last blank, or (without one) before the character being added.
    void Break() {
        size_t Keep = FLine.size();
        for (size_t K = FLine.size(); K-- > 0;) {
            if (FText[FLine[K].Start] == ' ') {
                Keep = K + 1;
                break;
            }
        }
        Emit(Keep);
    }

    // Ends a line with the first Keep characters of the current one; the rest begin the next line.
    void Emit(size_t Keep) {
        int32_t Height = FLineHeight;
        int32_t Bytes = 0;
        for (size_t K = 0; K < Keep; ++K) {
            Height = std::max(Height, FLine[K].Extent.Height);
            Bytes += FLine[K].Length;
        }
        const int32_t From = FLine.empty() ? 0 : FLine[0].Start;
        FResult.Lines.push_back(FText.substr(size_t(From), size_t(Bytes)));
        FResult.LineHeights.push_back(Height);
        FResult.Height += Height;
        FLine.erase(FLine.begin(), FLine.begin() + std::ptrdiff_t(Keep));
        FX = 0;
        for (const TWrapChar& C : FLine) FX += C.Extent.Width;
    }

    const std::string& FText;
    const int32_t FWidth;
    const int32_t FLineHeight;
    std::vector<TWrapChar> FLine;
    int32_t FX = 0;
    TSVWrapResult FResult;
};

}  // namespace

TSVWrapResult SVWrapText(const std::string& Text, const TSVFormatArray& Format, int32_t AreaWidth,
                         int32_t LineHeight, const std::array<bool, 256>* LeadBytes,
                         const TSVMeasureFunc& Measure) {
    const int32_t Size = int32_t(Text.size());
    const std::vector<TSVPiece> Pieces = SVPieces(0, Size, Format);
    TWrapper Wrapper(Text, AreaWidth - 4, LineHeight);
    size_t P = 0;
    for (int32_t Pos = 0; Pos < Size;) {
        while (Pieces[P].Start + Pieces[P].Length <= Pos) ++P;
        const bool Lead = LeadBytes && (*LeadBytes)[uint8_t(Text[size_t(Pos)])];
        const int32_t Length = Lead && Pos + 1 < Size ? 2 : 1;
        const TSVFontInfo* Font = Pieces[P].Run >= 0 ? &Format[size_t(Pieces[P].Run)].Font : nullptr;
        Wrapper.Add({Pos, Length, Measure(std::string_view(Text).substr(size_t(Pos), size_t(Length)), Font)});
        Pos += Length;
    }
    return Wrapper.Finish();
}

int32_t SVLineX(TSVAlignment Alignment, int32_t AreaLeft, int32_t AreaRight, int32_t LineWidth,
                int32_t AnchorX, int32_t HorzScroll, int32_t CharWidth) {
    int32_t X = AreaLeft;
    if (Alignment == svaRight) {
        X = AreaRight - LineWidth;
    } else if (Alignment == svaCenter) {
        const int32_t AreaWidth = AreaRight - AreaLeft;
        X = AnchorX >= 0 ? AreaLeft + AreaWidth / 2 - AnchorX : AreaLeft + (AreaWidth - LineWidth) / 2;
    }
    return X - HorzScroll * CharWidth;
}

// ---- Screen layout ----------------------------------------------------------------------------------

TSVScreenLayout SVLayoutScreen(int32_t Top, int32_t TopLine, int32_t Count, int32_t ClientHeight,
                               int32_t LineHeight, const TSVHeightFunc& Height) {
    TSVScreenLayout Layout;
    if (Top < 0 || Top >= Count) return Layout;
    int64_t Y = -int64_t(TopLine) * LineHeight;
    for (int32_t I = Top; I < Count; ++I) {
        Layout.Tops.push_back(int32_t(Y));
        Y += Height(I);
        Layout.BottomIndex = I;
        if (Y >= ClientHeight) break;
    }
    Layout.ScreenFull = Y >= ClientHeight;
    Layout.BottomComplete = Y <= ClientHeight;
    Layout.Overflow = Layout.BottomComplete ? 0 : int32_t(Y - ClientHeight);
    return Layout;
}

namespace {

// Moves the top one item at a time until I lies above the last visible item, is the top item, or is
// the last visible item and wholly visible. Only items on or next to the screen are measured.
int32_t StepDownTop(int32_t I, int32_t Top, int32_t TopLine, int32_t Count, int32_t ClientHeight,
                    int32_t LineHeight, const TSVHeightFunc& Height) {
    for (;;) {
        const TSVScreenLayout L = SVLayoutScreen(Top, TopLine, Count, ClientHeight, LineHeight, Height);
        if (I < L.BottomIndex || Top >= I || (I == L.BottomIndex && L.BottomComplete)) return Top;
        ++Top;
        TopLine = 0;
    }
}

// The first top from which item I is laid out, found by measuring back from I: moving the top down one
// item at a time from far above would stop at the same item.
int32_t FirstTopShowing(int32_t I, int32_t ClientHeight, const TSVHeightFunc& Height) {
    int32_t Top = I;
    int64_t Sum = 0;
    while (Top > 0 && Sum + Height(Top - 1) < ClientHeight) Sum += Height(--Top);
    return Top;
}

}  // namespace

int32_t SVBringIntoViewTop(int32_t I, int32_t Top, int32_t TopLine, int32_t Count, int32_t ClientHeight,
                           int32_t LineHeight, const TSVHeightFunc& Height) {
    if (I < 0 || I >= Count) return Top;
    if (I == Top && TopLine > 0) return I;
    const TSVScreenLayout L = SVLayoutScreen(Top, TopLine, Count, ClientHeight, LineHeight, Height);
    const bool Visible = I >= Top && I <= L.BottomIndex;
    if (Visible) {
        if (I == L.BottomIndex && !L.BottomComplete)
            return StepDownTop(I, Top, TopLine, Count, ClientHeight, LineHeight, Height);
        return Top;
    }
    if (I == 0) return 0;
    if (I == Count - 1) return SVLastScreenTop(Count, ClientHeight, Height);
    if (I < Top) return I;
    if (I == L.BottomIndex + 1) return StepDownTop(I, Top, TopLine, Count, ClientHeight, LineHeight, Height);
    return FirstTopShowing(I, ClientHeight, Height);
}

int32_t SVLastScreenTop(int32_t Count, int32_t ClientHeight, const TSVHeightFunc& Height) {
    if (Count <= 0) return 0;
    int32_t Top = Count - 1;
    int64_t Sum = Height(Top);
    while (Top > 0 && Sum + Height(Top - 1) <= ClientHeight) Sum += Height(--Top);
    return Top;
}

// ---- Scrolling --------------------------------------------------------------------------------------

namespace {

// Positions of a 16-bit thumb: lists longer than this are scaled into it.
constexpr int32_t ThumbMax = 32767;
// From here on the thumb shows the last item.
constexpr int32_t ThumbLast = 32761;

int32_t VertRangeEnd(int32_t Count, int32_t VisibleLines) {
    return Count + VisibleLines - 2;
}

// The highest position of a bar over 0 .. End with a page of Page (a page of 0 behaves as 1).
int32_t HighestPosition(int32_t End, int32_t Page) {
    return std::max(0, End - std::max(Page - 1, 0));
}

}  // namespace

int32_t SVMulDiv(int32_t A, int32_t B, int32_t C) {
    if (C == 0) return -1;
    const int64_t P = int64_t(A) * B;
    const bool Negative = (P < 0) != (C < 0);
    const int64_t Q = (std::llabs(P) + std::llabs(int64_t(C)) / 2) / std::llabs(int64_t(C));
    return int32_t(Negative ? -Q : Q);
}

TSVScrollRange SVVertRange(int32_t Count, int32_t VisibleLines) {
    if (Count <= 0) return {0, std::max(VisibleLines, 1)};
    const int32_t R = VertRangeEnd(Count, VisibleLines);
    if (R <= ThumbMax) return {HighestPosition(R, VisibleLines), std::max(VisibleLines, 1)};
    const int32_t Page = SVMulDiv(ThumbMax, VisibleLines, R);
    return {HighestPosition(ThumbMax, Page), std::max(Page, 1)};
}

int32_t SVVertPosition(int32_t TopIndex, int32_t Count, int32_t VisibleLines) {
    const int32_t R = VertRangeEnd(Count, VisibleLines);
    return R <= ThumbMax ? TopIndex : SVMulDiv(ThumbMax, TopIndex, R);
}

int32_t SVThumbToIndex(int32_t Position, int32_t Count, int32_t VisibleLines) {
    if (Count <= 0) return 0;
    const int32_t R = VertRangeEnd(Count, VisibleLines);
    int32_t Index = Position;
    if (R > ThumbMax)
        Index = Position < 2 ? 0 : Position >= ThumbLast ? Count - 1 : SVMulDiv(R, Position, ThumbMax);
    return std::clamp(Index, 0, Count - 1);
}

TSVScrollRange SVHorzRange(int32_t VisibleChars, int32_t MaxChars) {
    const int32_t Page = VisibleChars / 2;
    return {HighestPosition(Page + MaxChars, Page), std::max(Page, 1)};
}

int32_t SVVertScrollTarget(TSVScrollAction Action, int32_t Thumb, int32_t TopIndex, int32_t Count,
                           int32_t VisibleLines) {
    if (Count <= 0) return -1;
    int32_t Target = TopIndex;
    switch (Action) {
        case svsLineUp:
            Target = TopIndex - 1;
            break;
        case svsLineDown:
            Target = TopIndex + 1;
            break;
        case svsPageUp:
            Target = TopIndex - VisibleLines;
            break;
        case svsPageDown:
            Target = TopIndex + VisibleLines;
            break;
        case svsFirst:
            Target = 0;
            break;
        case svsLast:
            Target = Count - 1;
            break;
        case svsThumb:
            if (Thumb == SVVertPosition(TopIndex, Count, VisibleLines)) return -1;
            Target = SVThumbToIndex(Thumb, Count, VisibleLines);
            break;
    }
    // A line step off either end goes nowhere; pages stop at the ends.
    if ((Action == svsLineUp || Action == svsLineDown) && (Target < 0 || Target >= Count)) return -1;
    Target = std::clamp(Target, 0, Count - 1);
    return Target == TopIndex ? -1 : Target;
}

int32_t SVHorzScrollTarget(TSVScrollAction Action, int32_t Thumb, int32_t HorzScroll, int32_t VisibleChars,
                           int32_t MaxChars) {
    const int32_t Page = VisibleChars / 2;
    const int32_t End = Page + MaxChars;
    int32_t Target = HorzScroll;
    switch (Action) {
        case svsLineUp:
            Target = HorzScroll - 1;
            break;
        case svsLineDown:
            Target = HorzScroll + 1;
            break;
        case svsPageUp:
            Target = HorzScroll - Page;
            break;
        case svsPageDown:
            Target = HorzScroll + Page;
            break;
        case svsFirst:
            Target = 0;
            break;
        case svsLast:
            Target = End;
            break;
        case svsThumb:
            Target = Thumb;
            break;
    }
    return std::clamp(Target, 0, std::max(End, 0));
}

// ---- Keys -------------------------------------------------------------------------------------------

TSVKeyAction SVKeyAction(TSVKey Key, bool Ctrl, bool HasHorzBar) {
    const bool Horizontal = Ctrl && HasHorzBar;
    switch (Key) {
        case svkPageUp:
            return Horizontal ? svkaHalfPageLeft : svkaPageUp;
        case svkPageDown:
            return Horizontal ? svkaHalfPageRight : svkaPageDown;
        case svkHome:
            return Horizontal ? svkaHorzHome : svkaFirst;
        case svkEnd:
            return Horizontal ? svkaHorzEnd : svkaLast;
        case svkLeft:
            return HasHorzBar ? svkaCharLeft : svkaNone;
        case svkRight:
            return HasHorzBar ? svkaCharRight : svkaNone;
        case svkUp:
            return svkaItemUp;
        case svkDown:
            return svkaItemDown;
    }
    return svkaNone;
}

int32_t SVKeyTarget(TSVKeyAction Action, int32_t Current, int32_t Count, int32_t VisibleLines) {
    int32_t Target = Current;
    switch (Action) {
        case svkaItemUp:
            Target = Current - 1;
            break;
        case svkaItemDown:
            Target = Current + 1;
            break;
        case svkaPageUp:
            Target = Current - VisibleLines;
            break;
        case svkaPageDown:
            Target = Current + VisibleLines;
            break;
        case svkaFirst:
            Target = 0;
            break;
        case svkaLast:
            Target = Count - 1;
            break;
        default:
            return Current;
    }
    return Count <= 0 ? -1 : std::clamp(Target, 0, Count - 1);
}

// ---- Selection --------------------------------------------------------------------------------------

bool TSVSelection::Contains(int32_t Index) const {
    return Index >= 0 && size_t(Index) < FPos.size() && FPos[size_t(Index)] >= 0;
}

bool TSVSelection::Add(int32_t Index) {
    if (Index < 0 || Contains(Index)) return false;
    if (size_t(Index) >= FPos.size()) FPos.resize(std::max(size_t(Index) + 1, FPos.size() * 2), -1);
    FPos[size_t(Index)] = int32_t(FOrder.size());
    FOrder.push_back(Index);
    ++FCount;
    return true;
}

bool TSVSelection::Remove(int32_t Index) {
    if (!Contains(Index)) return false;
    FOrder[size_t(FPos[size_t(Index)])] = -1;
    FPos[size_t(Index)] = -1;
    --FCount;
    while (!FOrder.empty() && FOrder.back() < 0) FOrder.pop_back();
    if (FOrder.size() > 2 * size_t(FCount) + 16) Compact();
    return true;
}

void TSVSelection::Compact() {
    size_t To = 0;
    for (int32_t Index : FOrder) {
        if (Index < 0) continue;
        FPos[size_t(Index)] = int32_t(To);
        FOrder[To++] = Index;
    }
    FOrder.resize(To);
}

std::vector<int32_t> TSVSelection::Items() const {
    std::vector<int32_t> Out;
    Out.reserve(size_t(FCount));
    for (int32_t Index : FOrder)
        if (Index >= 0) Out.push_back(Index);
    return Out;
}

std::vector<int32_t> TSVSelection::TakeAll() {
    // The entries themselves are handed out, without a copy: a selection may hold millions of lines.
    std::vector<int32_t> Out = std::move(FOrder);
    std::erase(Out, -1);
    // Assigning {} would keep the room: a selection of millions of lines would hold it until the next.
    std::vector<int32_t>().swap(FOrder);
    std::vector<int32_t>().swap(FPos);
    FCount = 0;
    return Out;
}

bool TStringsViewModel::Add(int32_t Index) {
    if (Index < 0 || Index >= FCount || !FSelection.Add(Index)) return false;
    if (OnItemSelection) OnItemSelection(true, Index);
    return true;
}

bool TStringsViewModel::Remove(int32_t Index) {
    if (!FSelection.Remove(Index)) return false;
    if (OnItemSelection) OnItemSelection(false, Index);
    return true;
}

bool TStringsViewModel::ClearSelection() {
    // Emptied before the events, so that a handler asking about the selection sees it gone.
    const std::vector<int32_t> Old = FSelection.TakeAll();
    if (OnItemSelection)
        for (int32_t Index : Old) OnItemSelection(false, Index);
    return !Old.empty();
}

bool TStringsViewModel::SetSelected(int32_t Index, bool Value) {
    if (Index < 0 || Index >= FCount) return false;
    return Value ? Add(Index) : Remove(Index);
}

void TStringsViewModel::Reset() {
    FItemIndex = -1;
    FSelAnchor = -1;
    ClearSelection();
}

bool TStringsViewModel::SelectRange(int32_t I) {
    const int32_t Anchor = FSelAnchor;
    const bool AnchorWasSelected = IsSelected(Anchor);
    ClearSelection();
    const int32_t Step = I <= Anchor ? 1 : -1;
    for (int32_t J = I; J != Anchor; J += Step) Add(J);
    if (AnchorWasSelected) Add(Anchor);
    return true;
}

bool TStringsViewModel::SelectExtended(int32_t I, TSVSelectSource Source, bool Ctrl) {
    bool Changed = false;
    if (Ctrl) {
        if (Source == svssClick || (Source == svssDrag && I != FItemIndex)) Changed = Toggle(I);
    } else {
        for (int32_t Index : FSelection.Items())
            if (Index != I) Changed |= Remove(Index);
        Changed |= Add(I);
    }
    FSelAnchor = I;
    return Changed;
}

bool TStringsViewModel::SelectItem(int32_t I, TSVSelectSource Source, bool Ctrl, bool Shift) {
    if (I < 0 || I >= FCount) return false;
    const int32_t Old = FItemIndex;
    const bool WasSelected = IsSelected(I);
    bool Changed = false;
    if (MultiSelect && ExtendedSelect) {
        const bool Extend = (Source == svssDrag ? !Ctrl : Shift) && FSelAnchor != -1;
        Changed = Extend ? SelectRange(I) : SelectExtended(I, Source, Ctrl);
    } else if (MultiSelect) {
        if (Source == svssClick) {
            Changed = Toggle(I);
        } else if (Source == svssKey) {
            if (Old != I) Changed |= Remove(Old);
            Changed |= Add(I);
        }
    } else if (!WasSelected) {
        // Normally only the old focus is selected; after the focus was dropped (-1) another item may
        // still be, and single selection must not end with two.
        Remove(Old);
        for (int32_t Index : FSelection.Items()) Remove(Index);
        Changed = Add(I);
    }
    FItemIndex = I;
    Changed |= Old != I;
    if (Changed && OnFocusMoved) OnFocusMoved(Old);
    if ((Old != I || IsSelected(I) != WasSelected) && OnItemChanged) OnItemChanged();
    return Changed;
}

bool TStringsViewModel::SetItemIndex(int32_t I, bool Ctrl, bool Shift) {
    if (I == FItemIndex) return false;
    if (I == -1) {
        FItemIndex = -1;
        return true;
    }
    if (I < 0 || I >= FCount) return false;
    SelectItem(I, svssKey, Ctrl, Shift);
    return true;
}
