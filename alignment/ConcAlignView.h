// The Alignment View: one section of a file pair, the source language's units in the left pane and the
// target language's in the right, row k facing row k, where the user splits, merges and inserts
// sentences, paragraphs (or aligned segments) and sections, aligns a section's paragraphs automatically
// and undoes any of it. The edits go straight into the corpus's own indexes (alignment/AlignBoxModel).
//
// Other windows open it, together with the Sections window, through OpenAlignmentWindows (or
// OpenAlignmentView of alignment/ConcAligner.h, which RegisterAlignmentView points here).
#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <unordered_map>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcAlignUtils.h"
#include "controls/ConcFormUtils.h"
#include "engine/ConcTextProcess.h"

class QAction;
class QActionGroup;
class QMdiArea;
class QMenu;
class TCommonSplitter;

// ---- The editor box ----------------------------------------------------------------------------------

class TAlignBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A box over File for Language1 (source, left) and Language2 (target, right) at Section in Mode.
    // Callback runs after an edit that changed the sections. Nothing is read before Reload.
    TAlignBox(int File, int Section, int Language1, int Language2, uint8_t Mode,
              std::function<void()> Callback, QWidget* Parent = nullptr);
    ~TAlignBox() override;

    // Both change nothing when unchanged; otherwise the undo list empties and the box reloads at row 0.
    void SetSection(int Section);
    void SetViewMode(uint8_t Mode);
    // Reads the indexes again and rebuilds the rows. Row >= 0: that row at the top; -1: the text at the top
    // of the source pane stays there when it is still in the section.
    void Reload(int Row);
    // The file was renumbered (files exchanged or an earlier one removed): same text, new index.
    void SetFile(int File);
    void SetSuppressFlags(const TSuppressFlags& Flags);
    const TSuppressFlags& SuppressFlags() const { return FSuppress; }
    // Lays out every row again (a font changed) and repaints.
    void Relayout();
    // The window is closing: nothing is read or drawn from here on (the indexes may be going).
    void Detach();

    // ---- Edits, each on the pane of Language; another language does nothing ----
    void Split(int Language, bool Small);
    void Merge(int Language, bool Small, bool Next);
    void InsertEmpty(int Language);
    void SplitSection(int Language);
    void MergeSectionWithNext(int Language);
    void AlignParagraphsAutomatically();
    void Undo();

    // ---- State ----
    const TAlignEditor& Editor() const { return FEditor; }
    int File() const { return FFile; }
    int Section() const { return FEditor.Section(); }
    uint8_t ViewMode() const { return FEditor.Mode(); }
    int Language(int Side) const { return FLanguage[size_t(Side)]; }
    // The side showing Language (-1 none).
    int SideOf(int Language) const;
    int RowCount() const;
    int RowCount(int Side) const { return int(FRows[size_t(Side)].size()); }
    int TopRow() const { return FTopRow; }
    int TopLine() const { return FTopLine; }
    int LastRowDrawn() const { return FLastRow; }
    const TAlignCaret& Caret(int Side) const { return FCaret[size_t(Side)]; }
    // The pane under a point of the viewport: 0 left, 1 right, -1 neither.
    int PaneAt(QPoint Point) const;
    QRect PaneRect(int Side) const;
    TCommonSplitter* Splitter() const { return FSplitter; }
    // Where the row starts on screen (viewport coordinates) as last painted; null when not drawn.
    QRect RowRect(int Row) const;
    // The on-screen rectangle of the caret cell of Side as last painted (null when not drawn).
    QRect CaretRect(int Side) const { return FCaretRect[size_t(Side)]; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    bool focusNextPrevChild(bool Next) override;
    bool viewportEvent(QEvent* Event) override;
    void scrollContentsBy(int, int) override {}

private:
    // One small unit of a row, wrapped as far as it was needed: Rest cuts the lines that follow from
    // the text read up to ReadTo, and is gone once every line is cut.
    struct TUnitLayout {
        int32_t Small = 0;
        std::vector<TSegLine> Lines;
        std::unique_ptr<TLineWrapper> Rest;
        int32_t ReadTo = 0;
    };
    // One row of one pane: the units opened so far, in order, and the lines cut so far in all of them.
    struct TItemLayout {
        std::vector<TUnitLayout> Units;
        int Lines = 0;
        bool Complete = false;
    };
    // The visible byte of the caret within its unit, as last counted.
    struct TCaretOffset {
        int32_t Pos = -1;
        int32_t Small = -1;
        int Offset = 0;
    };

    class TBusy;
    TAlignBoxSide SideIndexes(int Side) const;
    // The lines of Row on Side cut so far (none at first); painting stores the lines' rectangles.
    TItemLayout& Layout(int Side, int Row);
    // Cuts lines of Row on Side until it holds Wanted lines or all it has; returns how many it holds.
    int CutLines(int Side, int Row, int Wanted);
    void OpenUnit(int Side, TItemLayout& Item, int32_t Small);
    // Reads the next piece of the unit's text into its wrapper.
    void FeedUnit(int Side, TUnitLayout& U);
    int LineHeight(int Side) const;
    // All the lines of Row on Side: the whole row is cut.
    int RowLines(int Side, int Row);
    // Whether either item of Row has a line numbered Line.
    bool HasLine(int Row, int Line);
    // Height in pixels of Row from line From on: the taller of the two items, or at least Room when it
    // is taller than that (only what fits Room is cut).
    int RowHeight(int Row, int From, int Room = INT_MAX);
    int CaretOffsetIn(int Side, int32_t Small);
    int ContentHeight() const;
    void ClearLayouts();
    void PlacePanes();
    // The text position of the first line shown on the source side.
    int32_t TopPosition();
    int32_t TopLinePosition();
    void ShowPosition(int32_t Pos);
    int LineOfPosition(int Side, int Row, int32_t Pos);
    void SetCaretAt(int Side, QPoint Point);
    void ClearCarets();
    void UpdateScrollBar();
    void ScrollLines(int Delta);
    void PageUp();
    void PageDown();
    void GoHome();
    void GoEnd();
    void OnScrollAction(int Action);
    void ReloadAt(int Row, int32_t TopPos);
    // After an edit on Side whose caret stood on Row: reloads keeping the text at the top, then keeps
    // the edited row and the caret's row in view.
    void AfterEdit(bool Changed, int32_t TopPos, bool SectionsChanged, int Side, int Row);
    // Scrolls as little as needed so that EditRow and CaretRow (-1: none) show: the top of the earlier
    // one, and the first line of the later one as far as scrolling down to it allows.
    void KeepInView(int EditRow, int CaretRow);
    // Whether the first line of Row lies inside the client area from the current top.
    bool RowStartShown(int Row);
    template <class F>
    void Guarded(F&& Edit);
    void ReportFailure(const std::exception& E);
    void PaintRows(QPainter& Painter);

    TAlignEditor FEditor;
    int FFile;
    std::array<int, 2> FLanguage;
    std::function<void()> FCallback;
    TSuppressFlags FSuppress;
    std::array<std::vector<TAlignBoxRow>, 2> FRows;
    std::array<std::unordered_map<int, TItemLayout>, 2> FLayouts;
    std::array<int, 2> FLayoutWidth{{-1, -1}};
    std::array<std::shared_ptr<TWidthFitter>, 2> FFitter;
    std::array<TCaretOffset, 2> FCaretOffset;
    struct {
        int Row = -1;
        int Line = -1;
        int32_t Pos = 0;
    } FTopCache;
    std::array<TAlignCaret, 2> FCaret;
    std::array<QRect, 2> FCaretRect;
    std::unordered_map<int, QRect> FRowRects;
    int FTopRow = 0;
    int FTopLine = 0;
    int FLastRow = -1;
    int FLastLine = -1;
    bool FLastRowComplete = false;
    int FWheel = 0;
    int FBusyDepth = 0;
    bool FDetached = false;
    TCommonSplitter* FSplitter;
};

// ---- The window --------------------------------------------------------------------------------------

class TAlignViewForm : public TAppMessageForm {
    Q_OBJECT
public:
    TAlignViewForm(int File, int Language1, int Language2, QWidget* Parent = nullptr);
    ~TAlignViewForm() override;

    // Sets the window up for Section in Mode (falling back to paragraphs when the pair is not aligned)
    // with Paragraph at the top: a new editor box, the font items, captions, menus and caption.
    void Setup(int Section, uint8_t Mode, int Paragraph, std::function<void()> Callback);
    // Moves to Section when different.
    void GoToSection(int Section);
    // Switches the view mode when it differs from the box's, repainting when asked.
    void SetViewMode(uint8_t Mode, bool Repaint);
    // In the paragraph mode, editing a pair that is aligned destroys its alignment: asks first; true
    // when the edit may go on (the alignment is then gone).
    bool ConfirmDestroyAlignment();

    int File() const { return FFile; }
    int Language1() const { return FLanguage1; }
    int Language2() const { return FLanguage2; }
    int Section() const { return FSection; }
    uint8_t ViewMode() const { return FMode; }
    TAlignBox* Box() const { return FBox; }
    bool Closing() const { return FClosing; }

    QMenu* AlignmentMenu() const { return FAlignmentMenu; }
    QMenu* PopupMenu() const { return FPopup; }
    // The popup's edit actions by name (SmallSplitItem, ..., UndoItem); nullptr for another name.
    QAction* PopupAction(const QString& Name) const;
    QAction* ParagraphsAction() const { return FParagraphs; }
    QAction* AlignedSentencesAction() const { return FAlignedSentences; }
    QAction* SuppressAction(int Option) const;
    QMenu* FontMenu() const { return FFontMenu; }
    // Opens the popup for the pane under Point (viewport coordinates of the box) and sets its states;
    // the popup language stays until a command runs. Returns the menu (not shown).
    QMenu* PreparePopup(QPoint Point);
    int PopupLanguage() const { return FPopupLanguage; }

    std::vector<TMergedMenu> MergedMenus() const override;
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    void contextMenuEvent(QContextMenuEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildMenus();
    void UpdatePopupCaptions();
    void UpdateMenus();
    void UpdateSectionItems();
    void RunEdit(const std::function<void(int Language)>& Edit);
    void CloseForGood();
    void ToggleSuppress(int Option);

    int FFile, FLanguage1, FLanguage2;
    int FSection = 0;
    uint8_t FMode = 0;
    std::function<void()> FCallback;
    TAlignBox* FBox = nullptr;
    int FPopupLanguage = -1;
    bool FClosing = false;
    QMenu* FAlignmentMenu;
    QMenu* FFontMenu;
    QMenu* FPopup;
    QAction* FParagraphs;
    QAction* FAlignedSentences;
    std::array<QAction*, 3> FSuppressItems{};
    std::unordered_map<std::string, QAction*> FPopupItems;
};

// ---- Opening the alignment windows -------------------------------------------------------------------

// Shows the Alignment View of File for the two languages: mode 0 (paragraphs) when Level is not 0, 1
// (aligned sentences) when it is. The open window is reused for the same file and languages (set up
// again at Section and Paragraph and brought to the front); otherwise any other is freed and a new one
// opens in the alignment windows' MDI area. Paragraph counts rows from 0 within the section.
TAlignViewForm* ShowAlignView(int Level, int Language1, int Language2, std::function<void()> Callback,
                              int Paragraph, int Section, int File);
// The Alignment View while it exists, else nullptr.
TAlignViewForm* AlignViewForm();

// Opens both alignment windows of File for the two languages at Section, Paragraph at the top: every
// other MDI child closes first; the Alignment View (ShowAlignView, with AlignViewCallback) and the
// Sections window (with SectionsCallback) open or are reused; with Paragraph 1 or more the view comes to
// the front. The entry point for every window that opens the alignment of a file pair.
void OpenAlignmentWindows(int Level, int Language1, int Language2, int Paragraph, int Section, int File);
// True while the Sections window or the Alignment View exists.
bool AlignmentWindowsOpen();
// The Sections window's callback: a selection or double click opens or moves the view (closing it for a
// section one of the files lacks); the window's end closes the view.
void SectionsCallback(int Reason);
// The view's callback after section edits: the Sections window counts its rows again.
void AlignViewCallback();

// Points AlignViewHooks (alignment/ConcAligner.h) at these windows, which open in Area.
void RegisterAlignmentView(QMdiArea* Area);
