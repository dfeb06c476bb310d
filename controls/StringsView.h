// The string-list view: shows any TStrings as blocks of formatted text (runs of font, style and
// colour, an optional label column, word wrap, key-word-in-context centring on an anchor run) with
// single or multiple selection. It keeps no copy of the strings and asks only for the items on screen,
// so scrolling and painting cost the same over a thousand items or ten million. Vertical scroll
// positions are items, horizontal ones characters. Its rules live Qt-free in StringsViewModel.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/ThreadWake.h"
#include "ui/StringsViewModel.h"

class QPainter;

// The state an item is painted in.
struct TSVDrawState {
    bool Disabled = false;
    bool Selected = false;  // with selection enabled
    bool Focused = false;   // it is ItemIndex
};

class TStringsView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum TBorderStyle { bsNone, bsSingle };

    explicit TStringsView(QWidget* Parent = nullptr);
    ~TStringsView() override;

    // ---- Data ------------------------------------------------------------------------------------

    // Shows Strings (borrowed; nullptr detaches): top item 0, no horizontal scroll, no selection, and
    // with selection enabled the focus (and selection) on item 0 when there are items.
    void SetStrings(TStrings* Strings);
    TStrings* Strings() const { return FStrings; }
    // The code page the items are written in (the user's by default). Rebuilds and repaints.
    void SetCodePage(int CodePage);
    int CodePage() const { return FCodePage; }
    // A number the owner gives the view (the concordance panes keep their language in it).
    int Tag() const { return FTag; }
    void SetTag(int Tag) { FTag = Tag; }

    // ---- Properties ------------------------------------------------------------------------------

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Style);
    bool EnableSelect() const { return FModel.EnableSelect; }
    // A change drops the focus and anchor; off clears the selection, on focuses item 0.
    void SetEnableSelect(bool Value);
    bool MultiSelect() const { return FModel.MultiSelect; }
    // Off drops the focus, the anchor and the selection.
    void SetMultiSelect(bool Value);
    bool ExtendedSelect() const { return FModel.ExtendedSelect; }
    // Drops the anchor.
    void SetExtendedSelect(bool Value);
    TSVAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TSVAlignment Value);
    bool WordWrap() const { return FWordWrap; }
    // Also shows the top item from its first line.
    void SetWordWrap(bool Value);

    bool ShowLabels() const { return FShowLabels; }
    void SetShowLabels(bool Value);
    int LabelWidth() const { return FLabelWidth; }
    // Accepted (true) when Width differs, is at least 1 and the client width - 2 exceeds Width + 4;
    // a narrow view refuses it and keeps its column.
    bool SetLabelWidth(int Width);

    // The fonts runs will use (the view's own font is font()); they raise LineHeight and CharWidth,
    // which never shrink.
    void SetFonts(const std::vector<QFont>& Fonts);

    // ---- Focus and selection ---------------------------------------------------------------------
    // A click of the right button on an item makes it the current item before any popup opens: an item
    // outside the selection becomes the selection, one inside it leaves the selection as it is.

    int ItemIndex() const { return FModel.ItemIndex(); }
    // Moves the focus as a keyboard move would, with the keyboard's Ctrl and Shift state at this
    // moment; the current value does nothing, -1 only drops the focus, other indexes outside the list
    // are ignored.
    void SetItemIndex(int Index);
    // SetItemIndex as with Ctrl held: with extended selection the focus moves and the selection stays.
    void MoveFocus(int Index);
    int SelAnchor() const { return FModel.SelAnchor(); }
    int SelCount() const { return FModel.SelCount(); }
    bool IsSelected(int Index) const { return FModel.IsSelected(Index); }
    // The selected items in the order they were selected.
    std::vector<int32_t> SelectedItems() const { return FModel.Selection().Items(); }
    // Selects or deselects one item (with OnItemSelection) and repaints.
    void SetSelected(int Index, bool Value);
    // Deselects everything, firing OnItemSelection(false, i) in selection order.
    void ClearSelection();

    // ---- Scrolling and layout --------------------------------------------------------------------

    int TopIndex() const { return FTopIndex; }
    // Scrolls Index to the top (nothing for the current top or an index outside the list), resets the
    // horizontal scroll and rebuilds.
    void SetTopIndex(int Index);
    int TopLine() const { return FTopLine; }
    int BottomIndex() const { return FLayout.BottomIndex; }
    bool ScreenFull() const { return FLayout.ScreenFull; }
    bool BottomComplete() const { return FLayout.BottomComplete; }
    int Overflow() const { return FLayout.Overflow; }
    int LineHeight() const { return FLineHeight; }
    int CharWidth() const { return FCharWidth; }
    int VisibleLines() const { return FVisibleLines; }
    int VisibleChars() const { return FVisibleChars; }
    int MaxWidth() const { return FMaxWidth; }
    int MaxChars() const { return FMaxChars; }
    int HorzScroll() const { return FHorzScroll; }
    // Whether the horizontal bar is in use: not centred, no wrap, and there are items.
    bool HasHorzBar() const;

    // Lays out the items on screen again and repaints; call after anything changed what items show.
    void UpdateView();
    // Items were added or removed. Callable from any thread: off the GUI thread it queues one
    // coalesced call. Rebuilds only when the change can show on screen; the scroll range always follows.
    void ItemsChanged();
    // The item at P (viewport coordinates): the visible item holding it; above the viewport the item
    // before the top, below it the one after the bottom (when they exist); -1 otherwise.
    int ItemAtPos(const QPoint& P) const;
    // The rectangle of a laid-out item in viewport coordinates; empty when it is not on screen.
    QRect ItemRect(int Index) const;

    // Held while the screen cache is built or painted; a list filled by a worker locks it first.
    std::recursive_mutex& Lock() { return FLock; }

    // ---- Events ------------------------------------------------------------------------------------

    // Laying out item Index: supplies its text (initially empty), runs and label. Without it the text
    // is Strings()->Get(Index), with no runs and no label.
    std::function<void(TStringsView& View, int Index, std::string& Text, TSVFormatArray& Format,
                       TSVLabelInfo& Label)>
        OnFormatItem;
    // With WordWrap: splits Text into Lines (consecutive pieces of it) and sets Rect's bottom. Without
    // it the built-in wrap runs.
    std::function<void(TStringsView& View, int Index, const std::string& Text, TSVRect& Rect,
                       const TSVFormatArray& Format, TSVStringsArray& Lines)>
        OnWrapItem;
    // Paints an item instead of the default drawing. Height and Width are LineHeight and CharWidth;
    // StartLine is the first of Lines on screen.
    std::function<void(TStringsView& View, QPainter& Painter, const QRect& Rect, int Height, int Width,
                       const TSVFormatArray& Format, int Index, int StartLine, const TSVStringsArray& Lines,
                       TSVDrawState State)>
        OnDrawItem;
    // Paints a label instead of the default drawing.
    std::function<void(TStringsView& View, QPainter& Painter, int Index, const QRect& Rect,
                       const TSVLabelInfo& Label)>
        OnDrawLabel;
    // One item entered (true) or left the selection.
    std::function<void(TStringsView& View, bool Selected, int Index)> OnItemSelection;
    // The focused item changed, or its selection state did.
    std::function<void(TStringsView& View)> OnItemChanged;
    std::function<void(TStringsView& View)> OnTopIndexChanged;
    // Keyboard focus entered or left the view (a popup menu opened on the view and closed again takes
    // the focus for its time without leaving the view); a double click.
    std::function<void(TStringsView& View)> OnEnter;
    std::function<void(TStringsView& View)> OnExit;
    std::function<void(TStringsView& View)> OnDblClick;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;

private:
    // One laid-out item with its text decoded for painting.
    struct TEntry {
        int Index = -1;
        TSVScreenDrawInfo Info;
        std::string Text;
        std::u16string Decoded;
        std::vector<int32_t> ByteToUnit;
        std::vector<int32_t> LineHeights;
        std::vector<int32_t> LineStarts;  // byte offset of each line in Text
    };
    struct TLinePiece;

    int Count() const;
    int TextLeft() const;
    bool CanHandleInput() const;
    TEntry LayoutItem(int Index, int Top);
    QFont RunFont(const TSVFontInfo* Font) const;
    int ItemHeight(int Index);
    void Rebuild();
    void UpdateMetrics(const std::vector<QFont>& Fonts);
    void UpdateScrollBars();
    void UpdateHorzRange();
    void ScrollTo(int Index);
    void ScrollHorzTo(int H);
    // Item heights measured once per call that holds Heights, however often the rule asks.
    TSVHeightFunc CachedHeights(std::unordered_map<int32_t, int32_t>& Heights);
    void BringIntoView(int Index);
    void SelectAt(int Index, TSVSelectSource Source, Qt::KeyboardModifiers Modifiers);
    // A right-button press on item Index (-1: on no item) before the popup opens.
    void RightPress(int Index);
    void HandleKeyAction(TSVKeyAction Action, Qt::KeyboardModifiers Modifiers);
    // Shift+F10 and the Menu key: the popup opens just below the current line's first line (the top
    // item's without a current line), brought into view first.
    QPoint KeyboardPopupPoint();
    void OpenKeyboardPopup(Qt::KeyboardModifiers Modifiers);
    void ItemsChangedNow();
    void OnVertAction(int Action);
    void OnHorzAction(int Action);
    void DrawItem(QPainter& Painter, const TEntry& E, const TSVDrawState& State);
    void DrawLabel(QPainter& Painter, const TEntry& E);
    std::vector<TLinePiece> LinePieces(const TEntry& E, size_t Line, const QFont& Base) const;
    const TEntry* Entry(int Index) const;

    TStrings* FStrings = nullptr;
    int FCodePage = 0;
    int FTag = 0;
    TStringsViewModel FModel;
    TBorderStyle FBorderStyle = bsSingle;
    TSVAlignment FAlignment = svaLeft;
    bool FWordWrap = false;
    bool FShowLabels = false;
    int FLabelWidth = 0;
    int FTopIndex = 0;
    int FTopLine = 0;
    int FLineHeight = 0;
    int FCharWidth = 0;
    int FVisibleLines = 0;
    int FVisibleChars = 0;
    int FMaxWidth = 0;
    int FMaxChars = 0;
    int FHorzScroll = 0;
    int FLastCount = 0;
    std::vector<QFont> FFonts;
    TSVScreenLayout FLayout;
    std::vector<TEntry> FScreen;  // TopIndex .. BottomIndex
    TEntry FBefore;               // the item before the top (Index -1 when none)
    TEntry FAfter;                // the item after the bottom (Index -1 when none)
    std::recursive_mutex FLock;
    std::atomic<bool> FItemsChangedQueued{false};
    TThreadWake FItemsChangedWake{[this] {
        FItemsChangedQueued = false;
        ItemsChangedNow();
    }};
};
