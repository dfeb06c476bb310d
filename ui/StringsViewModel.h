// Qt-free half of the string-list view: the string-list interface the view reads, the formatting
// records its users fill (the engine builds concordance lines with runs), and the view's model logic.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The list a string-list view shows. Items are 8-bit text in the language's code page; a view asks
// only for the items it shows, so an implementation may build each line on demand.
class TStrings {
public:
    virtual ~TStrings() = default;
    virtual int GetCount() const = 0;
    // Item Index (0 .. GetCount() - 1). May raise; the caller decides what to show instead.
    virtual std::string Get(int Index) const = 0;
    // Lists that can change raise EConcError where a change is not supported.
    virtual void Clear() = 0;
    virtual void Delete(int Index) = 0;
    virtual void Insert(int Index, const std::string& S) = 0;
};

// Font overrides of a run or label: an empty name and zero style, colour and size keep the
// view's own, so a run can never be pure black (colour 0 means "keep").
struct TSVFontInfo {
    std::string Name;
    uint8_t Style = 0;   // fs* bits, as the configuration's fonts
    int32_t Colour = 0;  // COLORREF
    int32_t Size = 0;    // points
};

// A formatting run: Start counts characters (bytes of the code page) from 1.
struct TSVFormatInfo {
    int32_t Start = 0;
    int32_t Length = 0;
    uint8_t Anchor = 0;  // centred lines are aligned on this run
    uint8_t IsHit = 0;   // kept for the owner
    TSVFontInfo Font;
};

enum TSVLabelAlignment : uint8_t { svlaLeft = 0, svlaRight = 1, svlaCenter = 2 };

struct TSVLabelInfo {
    std::string Text;
    uint8_t Alignment = svlaLeft;
    TSVFontInfo Font;
};

using TSVFontsArray = std::vector<TSVFontInfo>;
using TSVStringsArray = std::vector<std::string>;
using TSVFormatArray = std::vector<TSVFormatInfo>;

// ---- Screen cache -----------------------------------------------------------------------------------

// A rectangle in view pixels; Right and Bottom are exclusive.
struct TSVRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
};

// One laid-out item. Lines are consecutive pieces of the item's text (joined they give it back), so the
// runs, which count from the text's start, place themselves on the lines.
struct TSVScreenDrawInfo {
    TSVRect Rect;
    TSVStringsArray Lines;
    TSVFormatArray Format;
    TSVLabelInfo Label;
};

using TSVScreen = std::vector<TSVScreenDrawInfo>;

enum TSVAlignment : uint8_t { svaLeft = 0, svaRight = 1, svaCenter = 2 };

// ---- Text pieces and wrapping -----------------------------------------------------------------------

// A stretch of one line drawn with one font: byte offsets into the item text; Run indexes the item's
// runs, -1 for the text between runs (the view's own font).
struct TSVPiece {
    int32_t Start = 0;
    int32_t Length = 0;
    int32_t Run = -1;
};

// The pieces of the bytes From .. From + Length - 1 of an item's text, left to right, covering them
// without gaps. Runs are clipped to the text; where runs overlap, the one that starts first keeps the
// shared characters. Runs of zero or negative length are ignored.
std::vector<TSVPiece> SVPieces(int32_t From, int32_t Length, const TSVFormatArray& Format);

// Width and height in pixels of measured text.
struct TSVExtent {
    int32_t Width = 0;
    int32_t Height = 0;
};

// Measures one character (its bytes in the code page) in a run's font laid over the view's own font;
// Font is nullptr for the view's own font.
using TSVMeasureFunc = std::function<TSVExtent(std::string_view Char, const TSVFontInfo* Font)>;

// The wrapped lines of an item and its height.
struct TSVWrapResult {
    TSVStringsArray Lines;
    std::vector<int32_t> LineHeights;
    int32_t Height = 0;  // their sum
};

// The built-in word wrap over a text area AreaWidth pixels wide (narrowed by 2 pixels on each side).
// Characters are added one at a time; a character that would pass the right edge breaks the line after
// its last blank (what follows the blank moves to the next line), or before the character when the line
// has no blank. A character wider than the whole area stays alone on its line. LeadBytes marks the
// first bytes of two-byte characters (nullptr: one byte per character), so no character is split. Each
// line adds max(LineHeight, its tallest character); an empty text is one empty line of LineHeight.
TSVWrapResult SVWrapText(const std::string& Text, const TSVFormatArray& Format, int32_t AreaWidth,
                         int32_t LineHeight, const std::array<bool, 256>* LeadBytes,
                         const TSVMeasureFunc& Measure);

// The x of a line's first pixel. Left: AreaLeft; right: AreaRight - LineWidth; centre: with an anchor
// run (AnchorX >= 0, its offset from the line's start) half the area's width minus AnchorX from
// AreaLeft, so the anchor run begins in the middle of the text area; without one the line is centred.
// Then HorzScroll characters of CharWidth to the left.
int32_t SVLineX(TSVAlignment Alignment, int32_t AreaLeft, int32_t AreaRight, int32_t LineWidth,
                int32_t AnchorX, int32_t HorzScroll, int32_t CharWidth);

// A run's colour in a selected item: each channel XOR-ed with the selected text's (both COLORREF).
inline int32_t SVSelectedRunColour(int32_t RunColour, int32_t SelectedTextColour) {
    return (RunColour ^ SelectedTextColour) & 0x00FFFFFF;
}

// ---- Screen layout ----------------------------------------------------------------------------------

// The pixel height of item Index when laid out (at least the line height). May be called again for the
// same item; the view caches.
using TSVHeightFunc = std::function<int32_t(int32_t Index)>;

// Where the items from Top on fall on a screen ClientHeight pixels high.
struct TSVScreenLayout {
    std::vector<int32_t> Tops;  // y of items Top .. BottomIndex; the top item is raised by TopLine lines
    int32_t BottomIndex = -1;
    bool ScreenFull = false;     // the items reach the client height
    bool BottomComplete = true;  // the last laid-out item is wholly visible
    int32_t Overflow = 0;        // pixels by which it overhangs the bottom
};

// Lays out items from Top down until their summed height reaches ClientHeight or the list ends.
// Nothing for an empty list or a Top outside 0 .. Count - 1.
TSVScreenLayout SVLayoutScreen(int32_t Top, int32_t TopLine, int32_t Count, int32_t ClientHeight,
                               int32_t LineHeight, const TSVHeightFunc& Height);

// The top item after the focused item I was brought into view, from a screen showing Top (with
// TopLine). Only items near the screen are measured, however long the list: an item far below is
// reached by measuring back from it. Returns Top itself when I is already in view; I when the top
// item is partly scrolled off and I is it (the caller then shows it from its first line); the last
// screenful's top (SVLastScreenTop) when I is the last item and out of view.
int32_t SVBringIntoViewTop(int32_t I, int32_t Top, int32_t TopLine, int32_t Count, int32_t ClientHeight,
                           int32_t LineHeight, const TSVHeightFunc& Height);

// The top item of the last screenful: the lowest top from which the last item is wholly visible at
// the bottom, so that reaching the end never leaves the screen half empty; Count - 1 when the last item
// alone is taller than the screen, 0 for an empty list. Only the last screenful is measured.
int32_t SVLastScreenTop(int32_t Count, int32_t ClientHeight, const TSVHeightFunc& Height);

// ---- Scrolling --------------------------------------------------------------------------------------

// Rounded A * B / C in 64 bits (halves away from zero); -1 when C is 0.
int32_t SVMulDiv(int32_t A, int32_t B, int32_t C);

// The vertical bar over items. R = Count + VisibleLines - 2; up to 32767 positions are items, beyond
// that the bar runs 0 .. 32767 and positions are scaled. Max is the highest thumb position (the range's
// end less the page, plus one).
struct TSVScrollRange {
    int32_t Max = 0;
    int32_t Page = 1;
};
TSVScrollRange SVVertRange(int32_t Count, int32_t VisibleLines);
// The thumb position that shows TopIndex.
int32_t SVVertPosition(int32_t TopIndex, int32_t Count, int32_t VisibleLines);
// The item a thumb at Position shows (clamped to 0 .. Count - 1).
int32_t SVThumbToIndex(int32_t Position, int32_t Count, int32_t VisibleLines);
// The horizontal bar over characters: page VisibleChars div 2, range 0 .. page + MaxChars.
TSVScrollRange SVHorzRange(int32_t VisibleChars, int32_t MaxChars);

// What the user asked of a scroll bar.
enum TSVScrollAction { svsLineUp, svsLineDown, svsPageUp, svsPageDown, svsFirst, svsLast, svsThumb };
// The new top item for a vertical scroll action (Thumb: the bar's position); -1 when nothing moves.
int32_t SVVertScrollTarget(TSVScrollAction Action, int32_t Thumb, int32_t TopIndex, int32_t Count,
                           int32_t VisibleLines);
// The new horizontal offset for a horizontal action (LineUp/Down = one character left/right, First/Last
// = the ends); clamped to 0 .. VisibleChars div 2 + MaxChars.
int32_t SVHorzScrollTarget(TSVScrollAction Action, int32_t Thumb, int32_t HorzScroll, int32_t VisibleChars,
                           int32_t MaxChars);

// ---- Keys -------------------------------------------------------------------------------------------

enum TSVKey { svkPageUp, svkPageDown, svkHome, svkEnd, svkLeft, svkRight, svkUp, svkDown };

enum TSVKeyAction {
    svkaNone,
    svkaItemUp,        // previous item
    svkaItemDown,      // next item
    svkaPageUp,        // VisibleLines items up
    svkaPageDown,      // VisibleLines items down
    svkaFirst,         // the first item
    svkaLast,          // the last item
    svkaCharLeft,      // one character left
    svkaCharRight,     // one character right
    svkaHalfPageLeft,  // half the visible characters left
    svkaHalfPageRight,
    svkaHorzHome,  // horizontal offset 0
    svkaHorzEnd,   // horizontal offset at its end
};

// What a key does. Ctrl turns the page and end keys horizontal only while the horizontal bar exists;
// Left and Right do nothing without it.
TSVKeyAction SVKeyAction(TSVKey Key, bool Ctrl, bool HasHorzBar);
// The item a vertical key action moves the focus (or the top, without selection) to from Current,
// clamped to 0 .. Count - 1; Current itself for the other actions.
int32_t SVKeyTarget(TSVKeyAction Action, int32_t Current, int32_t Count, int32_t VisibleLines);

// ---- Selection --------------------------------------------------------------------------------------

// The selected items in the order they were selected, with constant-time membership, removal and
// addition however many are selected.
class TSVSelection {
public:
    int32_t Count() const { return FCount; }
    bool Contains(int32_t Index) const;
    // Appends Index; false when it was already there.
    bool Add(int32_t Index);
    // Removes Index; false when it was not there.
    bool Remove(int32_t Index);
    // The selected items in selection order.
    std::vector<int32_t> Items() const;
    // Empties the selection and returns what it held, in selection order.
    std::vector<int32_t> TakeAll();

private:
    void Compact();
    std::vector<int32_t> FOrder;  // -1 marks a removed entry
    std::vector<int32_t> FPos;    // item -> its entry in FOrder, or -1
    int32_t FCount = 0;
};

// How the focus reached an item.
enum TSVSelectSource { svssClick, svssDrag, svssKey };

// The view's selection: the selected items, the focused item and the anchor Shift extends from, with
// the events in the order the owner receives them. Indexes outside 0 .. Count - 1 are ignored.
class TStringsViewModel {
public:
    bool EnableSelect = true;
    bool MultiSelect = false;
    bool ExtendedSelect = false;

    // Each time one item enters (true) or leaves (false) the selection.
    std::function<void(bool Selected, int32_t Index)> OnItemSelection;
    // After the selection events of a focus move: the focused item or its selection state changed.
    std::function<void()> OnItemChanged;
    // During a focus move that changed something, before OnItemChanged: the view repaints OldIndex and
    // brings the new focus into view.
    std::function<void(int32_t OldIndex)> OnFocusMoved;

    int32_t ItemIndex() const { return FItemIndex; }
    int32_t SelAnchor() const { return FSelAnchor; }
    int32_t Count() const { return FCount; }
    // The list's length; selection and focus beyond it stay until the next reset.
    void SetCount(int32_t Count) { FCount = Count; }

    const TSVSelection& Selection() const { return FSelection; }
    int32_t SelCount() const { return FSelection.Count(); }
    bool IsSelected(int32_t Index) const { return FSelection.Contains(Index); }

    // Moves the focus to I from a click, a drag or a keyboard or code move, with the Ctrl and Shift
    // state at that moment, selecting as the modes say. Returns whether anything changed.
    bool SelectItem(int32_t I, TSVSelectSource Source, bool Ctrl, bool Shift);
    // The ItemIndex property: the current value does nothing, -1 only drops the focus, anything else
    // moves the focus as a keyboard move. Returns whether the focus moved.
    bool SetItemIndex(int32_t I, bool Ctrl, bool Shift);
    // Selects or deselects one item, with its event; false when nothing changed.
    bool SetSelected(int32_t Index, bool Value);
    // Deselects every item, firing (false, item) in selection order. Returns whether any was selected.
    bool ClearSelection();
    // Focus and anchor -1, selection cleared (with its events).
    void Reset();
    // The anchor alone is forgotten (ExtendedSelect changed).
    void ResetAnchor() { FSelAnchor = -1; }

private:
    bool Add(int32_t Index);
    bool Remove(int32_t Index);
    bool Toggle(int32_t Index) { return IsSelected(Index) ? Remove(Index) : Add(Index); }
    bool SelectExtended(int32_t I, TSVSelectSource Source, bool Ctrl);
    bool SelectRange(int32_t I);

    TSVSelection FSelection;
    int32_t FItemIndex = -1;
    int32_t FSelAnchor = -1;
    int32_t FCount = 0;
};
