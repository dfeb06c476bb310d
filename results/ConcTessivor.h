// The concordance window TTessivorForm: the result of one search, one pane per shown language (the
// primary language's key-word-in-context lines above a splitter, the rows of the other languages below,
// every row of every pane belonging to the same hit), kept in step; its status texts and captions, its
// display modes and fonts, and its answers to the application messages. The window's texts and figures
// come from Qt-free rules below, tested without a display; the window reads its state and applies them.
#pragma once

#include <QPointer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "controls/StringsView.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcSortKeys.h"
#include "results/ConcHotWordsRules.h"
#include "results/ConcSearchRows.h"
#include "results/ConcSearchRunner.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSplitter;
class QStatusBar;
class TFreqList;
class TSearch;
class TTessivorForm;

// ---- The window's rules, Qt-free ---------------------------------------------------------------------

// The height of each pane of a window of LanguageCount panes over ClientHeight pixels, the 3-pixel
// splitters taken off first: (ClientHeight - 3 x (count - 1)) div count; 0 for no pane.
int PaneHeight(int ClientHeight, int LanguageCount);
// How a search that filled a list ended: it ran to its end, it stopped at the maximum number of hits
// (Max Search Hits of the search options), or it was cancelled before its end (by the user, or as memory
// ran out). Only a complete list holds every hit of the query.
enum class TSearchEnd : uint8_t { Complete, Capped, Cancelled };
// How Search ended after an Execute with MaxHits (0: no maximum).
TSearchEnd SearchEndOf(const TSearch& Search, int32_t MaxHits);
// Of two runs that filled one list (a search and one appended to it): the list is partial when either
// was.
TSearchEnd JoinSearchEnds(TSearchEnd First, TSearchEnd Second);
// What a list says of itself when it does not hold every hit, the one wording of the caption, the
// status panel's tooltip and the distribution chart: "" when complete; "stopped at the maximum of %d
// hits - raise Max Search Hits in Search > Search Options..." (MaxHits); "search cancelled - not every
// hit is listed".
std::string SearchEndText(TSearchEnd End, int32_t MaxHits);
// Status panel 0: "No matches", "1 match" or "%d matches"; a partial list adds " (maximum)" when its
// search stopped at the maximum, " (cancelled)" when it was cancelled.
std::string MatchCountText(int Count, TSearchEnd End = TSearchEnd::Complete);
// What tells a query from another one for the same words, in short, in the order of the search's own
// description: "Regex" or "Tag" syntax, "Match case", "Freq. of hits: %d" above 1, "Sent. mode", the
// skipping and equal characters, the heading match, the left and right contexts; joined by ", ". "" for a
// plain text query. The texts of the record stay in its language's code page.
std::string QueryDescriptionShort(const TConcSearchRec& Record);

// Another language's query of a parallel search, as its caption names it.
struct TCaptionQuery {
    std::string Language;     // its name
    std::string Text;         // the query as typed
    std::string Description;  // QueryDescriptionShort of its record
    bool Not = false;         // the aligned passage must not match
};
// What a concordance window's caption says. Texts are UTF-8.
struct TConcordanceCaptionInputs {
    std::string QueryText;              // the primary query as typed
    std::string Description;            // QueryDescriptionShort of the primary record
    std::vector<TCaptionQuery> Others;  // the other languages' queries, in language order
    std::string EndText;                // SearchEndText of a partial list; "" for a complete one
};
// "Parallel Concordance - [%s]" with the query text; then " (%s)" with the description when there is
// one; then per other query " + ", "NOT " when it must not match, "<language>: [<text>]" and its own
// description in brackets; then " - " and the end text of a partial list. The plain query of a single
// search reads "Parallel Concordance - [walk*]".
std::string ConcordanceCaption(const TConcordanceCaptionInputs& In);

// The size a new concordance window opens at in an MDI viewport of RoomWidth x RoomHeight: three quarters
// of the room each way, at least 532 x 412 and at least NeedWidth x NeedHeight (what its status panels
// and panes need to be read), but never beyond the room.
std::array<int, 2> ConcordanceWindowSize(int RoomWidth, int RoomHeight, int NeedWidth, int NeedHeight);
// What the status bar says when a command is refused because its window is busy.
inline constexpr const char* WindowBusyText = "This window is busy: the command was not carried out.";
// Status panel 2: " Strings matching: %s".
std::string QueryPanelText(const std::string& QueryText);
// The name of a sort key in the sort caption: "Search word", "2nd left", "1st left", "1st right",
// "2nd right", "Original text order"; "" for every other key.
std::string SortKeyCaption(uint8_t Key);

// What the sort caption reads.
struct TSortCaptionInputs {
    bool Undefined = false;   // lines were added to a sorted window
    int PrimaryCount = 0;     // lines of the primary list
    int SortedLanguage = -1;  // -1: lines in search order
    int PrimaryLanguage = 0;
    bool Advanced = false;  // the order came from an advanced sort with a key list
    TAdvancedSortColOptions Sort;
};
// Status panel 1: "Undefined"; "" for an empty window; else "<language> - <order>", the order being
// "Original text order" (no language sorted), the first key's name with ", " and the second's when that
// is not empty, or "Advanced sort" (advanced, a third key, or a reversed key). LanguageName gives the
// name of a language.
std::string SortCaption(const TSortCaptionInputs& In, const std::function<std::string(int)>& LanguageName);

// The status text after a search within the lines of a pane: the current line's status, then how many
// of the pane's Lines lines hold a match: "<status> (%d of %d lines matched)".
std::string SearchWithinStatusText(const std::string& LineStatus, int Matched, int Lines);

// The label before line Row (0-based) of a pane: "%d %s " (line number, letter), "%s " (letter) or
// "%d   " (line number); "" when the line has no letter (NoLetter) and line numbers are off.
std::string LineLabelText(int Row, uint8_t Letter, bool ShowLineNumbers);
// The label column of a pane in characters: the digits of LineCount, one more with letters, plus 2.
int LabelColumnChars(int LineCount, bool HasLetters);
// Which font kinds of CM_FONTCHANGED the window shows: normal, hilite, collocates and from hot words on.
bool FontChangeApplies(int Kind);
// The widths of the three status panels over ClientWidth when panel 0 needs Panel0Width: panel 1 half
// of what is left (rounded half to even), panel 2 the rest.
std::array<int, 3> StatusPanelWidths(int ClientWidth, int Panel0Width);
// The same halves, except that a panel whose text needs more than its half (Need1, Need2) takes what
// the other panel's text leaves of its own half, so that both texts show whole where the width allows.
std::array<int, 3> FittedStatusPanelWidths(int ClientWidth, int Panel0Width, int Need1, int Need2);
// What a window WindowWidth wide leaves its three status panels: the status bar puts its items 2 pixels
// in and 6 apart, and panels given more would overlap.
int StatusPanelsRoom(int WindowWidth);
// A list's context type wraps and aligns left from Lines on; Characters and Words centre on the hit.
bool ContextTypeWraps(uint8_t ContextType);

// Removes the rows where Drop is true from every list (rows beyond Drop stay), keeping the others in
// order, and lowers every remaining item's Sequence by the number of removed rows of the first list with
// a lower Sequence, so that sequence numbers stay dense. Linear in the rows, however many go.
void DropRows(const std::vector<TConcordItems*>& Lists, const std::vector<bool>& Drop);
// Whether an exchange of the files Pair of a language closes a window whose list of that language is
// List: some row lies in a file at or after the lower of the two.
bool FilesExchangeCloses(const TConcordItems& List, const TFilePair& Pair);

// ---- The window --------------------------------------------------------------------------------------

class TTessivorForm : public TAppMessageForm {
    Q_OBJECT
public:
    // An empty window: one item list per corpus language (segment context, default sizes, collocates
    // highlighted, yellow collocates, the hilite font's colour for hits), an empty chosen-hot-word list
    // per language, the window's copies of TranslationPasses and HotWordsConfig, no sort (all keys
    // none, no language sorted), the status bar laid out. Deleted when closed.
    explicit TTessivorForm(QWidget* Parent = nullptr);
    // Closes the window's views of its lists and its larger-context windows first, then frees the lists
    // and broadcasts CM_CONCORDCLOSED with the window as WParam.
    ~TTessivorForm() override;

    // Creates the panes of languages 0 .. LanguageCount - 1: the primary language's view (centred, over
    // a TConcordStrings) above a splitter, the others (over TTessivorordStrings) stacked below it in
    // language order; each pane gets the same height. The primary list takes the search options' context
    // type and sizes. The primary view gets the focus and its display mode; the sort caption is shown.
    // Call once, after LanguageCount and PrimaryLanguage are set.
    void BuildPanels();

    // The text that describes Language's query to other windows: the first pattern name of its record;
    // for a language other than the primary without query hits, "N/A" when no row of it holds a hit of
    // its own, else its chosen hot words joined by " / ".
    std::string GetQueryText(int Language) const;
    // The language of the pane that has the application's keyboard focus; -1 when the focus is not on a
    // pane of this window.
    int FocusedLanguage() const;
    // The larger context of line Row of Language (a double click on it); nothing for a row outside the
    // list or without text to show.
    void OpenLargerContext(int Language, int Row);
    // "&Display Info...": the hit information of the command language's current line, when it holds a
    // hit.
    void ShowFocusedInfo();
    // The item of the focused pane's current line, or nullptr. Owned by the list.
    TConcordItem* FocusedItem() const;

    // The caption: ConcordanceCaption of the window's queries.
    void UpdateCaption();
    // Sizes a window not shown yet for Area (ConcordanceWindowSize): wide enough for its status panels to
    // show their texts whole (the query, a sort caption of any of its languages), tall enough for every
    // pane to show a few lines. Call after BuildPanels, with the query text set.
    void SizeForArea(const QMdiArea* Area);
    void UpdateMatchCount();
    void UpdateSortCaption();
    void UpdateQueryPanel();
    void LayoutStatusBar();
    // Lines, Sentence and Segment: wrapped as Language's word-wrap flag says, aligned left; Characters
    // and Words: one line each, centred on the hit. Redraws.
    void SetDisplayMode(int Language);
    // The pane's fonts: the language's normal, hilite, collocate and hot-word fonts; its own font the
    // normal one; the list's hit and collocate colours from the hilite and collocate fonts. Redraws.
    void ApplyFonts(int Language);
    // Posts the status text of Language's current line (of no line when there is none); a held status
    // text goes.
    void PostFocusedStatus(int Language);
    // Posts Text and keeps it while the focus leaves the window's panes and comes back, until the next
    // action posts the current line's status (PostFocusedStatus: another line, a sort, a delete).
    void HoldStatus(const std::string& Text);
    // The status text of Language's current line; "" for a language the window does not show.
    std::string FocusedStatusText(int Language) const;
    // Shows the label column of each pane that has line numbers on or a lettered line, wide enough for
    // its line count. A pane too narrow for the column keeps its old one until the window is resized.
    void UpdateLabels();
    // Collocate highlighting of Language off: its flag and the list's, the list's collocate lists freed.
    void HighlightOff(int Language);
    // Tells the distribution window, when there is one, whether the lines are every hit of the query.
    void DescribeDistribution();
    // Every list drops its cached sort values; the sort record becomes all keys none.
    void ResetSort();
    // Frees every larger-context window this window opened, or only those over Item when it is given.
    void CloseContextWindows(const TConcordItem* Item);
    // Performs CM_DISTRIBREFRESH on the distribution window, when there is one.
    void RefreshDistribution();
    // Broadcasts CM_COLLOCDATADROPPED (this window, Language) for Language, or for every language of the
    // window when Language is -1.
    void BroadcastCollocDataDropped(int Language);
    // Removes the lines where Drop is true from every pane (lists, views, the larger-context windows of
    // their items), renumbering the sequence numbers; the selections go, and the current line stays
    // where it was (within the lines left) when KeepCurrentLine, else no line is current. Then the match
    // count and the focused line's status.
    void DeleteRows(const std::vector<bool>& Drop, bool KeepCurrentLine = true);
    // The menus the main window merges: "&Display" (group 4) and "S&ort" (group 5).
    std::vector<TMergedMenu> MergedMenus() const override;

    // ---- Commands (ConcTessivor_Commands.cpp) ------------------------------------------------------
    // Each acts on the language CommandLanguage names. None runs while a search or another command
    // that waits for the user or pumps events runs in this window; the window refuses to close then.

    // The language the commands act on: the focused pane's, else the pane that had the focus last,
    // else the primary language.
    int CommandLanguage() const;
    // Whether a search or a command is running in this window, or another window's loop reads its lists.
    bool Busy() const { return FSearching || FCommandRunning; }
    // Whether the window's commands refuse to start: it is busy, or a long operation anywhere pumps
    // events (a corpus pass, a count or a print reads the corpus and the lists a command would change).
    bool CommandsRefused() const;

    // Held by a command that waits for the user or pumps events, and by another window's loop that pumps
    // events while it reads this window's lists (collocates, advanced collocation): until it ends, the
    // window is busy, its menus are disabled and its commands are refused (the status bar says so), so
    // nothing frees what the loop reads. Scopes nest; a scope outliving its window does nothing.
    // A Count scope is another window's count over this window's hits: closing the window meanwhile
    // cancels the count's progress window, and the window closes once the outermost scope has ended; and
    // the outermost scope first hands the input that waits in the queue (keys pressed while the count ran
    // without pumping) to the window while it still refuses commands, so that a key pressed while the
    // window counted is dropped, never run once the count is done.
    class TCommandScope {
    public:
        explicit TCommandScope(TTessivorForm& Form, bool Count = false);
        ~TCommandScope();
        TCommandScope(const TCommandScope&) = delete;
        TCommandScope& operator=(const TCommandScope&) = delete;

    private:
        void Enable(bool On);
        QPointer<TTessivorForm> FForm;
        bool FWasRunning;
        bool FCount;
    };

    // Sorts the command language's lines by First, then Second (skNone: no second key).
    bool SortBy(uint8_t First, uint8_t Second);
    // Sorts the command language's lines by Record, or by Keys when it holds any, every other pane
    // making the same moves; nothing when the lines are already in that order of that language (an
    // advanced key list always sorts). Then every pane is redrawn and the sort caption shown. Returns
    // whether it sorted.
    bool SortLines(const TAdvancedSortColOptions& Record, const TAdvancedSortColItems* Keys);
    // "&KWIC Sort": by the search term, then the first word on the right; a list so sorted shows
    // eight words of context.
    void KwicSort();
    // "&Advanced Sort...": the options dialog on the command language's sort record; on OK, SortLines.
    void AdvancedSortLines();
    // "&Delete Item(s)": the selected lines of the command language's pane go from every pane (nothing
    // without a selection); the other languages' hot words and cached candidates go with them.
    void DeleteLines();
    // Gives every selected line of the command language Letter ('a' .. 'z').
    void AssignLetter(uint8_t Letter);
    // The current line of the command language loses its letter.
    void RemoveLetter();
    // Every line of the command language loses its letter.
    void RemoveAllLetters();

    // Removes the hits of Origin (1 queries, 2 hot words or translations) from Language's rows; a row
    // keeps its earliest remaining hit. RowsFilled follows what is left.
    void ClearMarks(int Origin, int Language);
    // "&Clear Search Query": Language's query hits go; its collocates are counted again, its commands
    // updated when UpdateCommands, CM_COLLOCDATADROPPED is broadcast for it.
    void DropQueryHits(int Language, bool UpdateCommands);
    // Language's hot words and translations go from its rows; its collocate shading goes off. With Force,
    // or while they are shown, the chosen words go too and the sort is reset.
    void ClearHotWords(int Language, bool Force);
    // Puts Language's chosen words into its rows, under a progress window that can cancel it (the rows
    // marked so far stay marked). False when the window went meanwhile: the caller must not touch it.
    bool ApplyHotWords(int Language);
    // "&Hot Words...": makes sure Language's corpus frequency list exists, lets the user choose among the
    // words the passages of its rows hold more often than the corpus, and shows a changed choice in its
    // rows instead of the old one.
    void ChooseHotWordsOf(int Language);
    // "Translations": as ChooseHotWordsOf, with the candidates of the translation passes (their options
    // asked for first while none are cached).
    void ChooseTranslationsOf(int Language);
    // The enabled, visible and checked state of the commands for Language, and the popup's.
    void UpdateCommands(int Language);

    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

    // ---- Searches (ConcTessivor_Search.cpp) --------------------------------------------------------
    // While one runs, the window refuses to close and refuses to start another; the main window's
    // caption reads the application's name and " - Searching" until it ends, however it ends.

    // Runs the primary language's record over the corpus: each hit becomes a line of the primary pane
    // and every other pane gets the hit's aligned passage; the lines come while the search runs (a
    // progress window can cancel it; the lines found so far stay). Then the counts, the sort caption
    // and the query panel. Raises what the search raises (EConcError with the message when the query
    // does not compile), the lines found so far staying. A new window not yet shown passes the area to
    // show it in: it is shown once the search has started. The panes first follow the search after a
    // moment (a search ending sooner fills them once), and only then does a progress window open.
    void RunSearch(QMdiArea* ShowIn = nullptr);
    // A single search already running on a thread of its own, its hits waiting for a window.
    struct TStartedSearch;
    // RunSearch for the search Started of the primary language's record (Started's hits become the lines).
    void RunSearch(QMdiArea* ShowIn, std::unique_ptr<TStartedSearch> Started);
    // Adds the lines of Record (a query of the primary language; taken over) after the current ones: its
    // first name becomes "<old> / <new>", the old record is freed, the collocates of the primary pane
    // turn yellow and the other panes lose their hot words; a sorted window is left "Undefined". Raises
    // as RunSearch. Nothing happens while a search runs.
    void AppendSearch(std::unique_ptr<TConcSearchRec> Record);
    // The parallel search of the window's records: the primary record's search keeps a hit only when,
    // for every other language with a record, its aligned unit has a match of that record ("Not": has
    // none); kept hits get a line in every pane with the matches found in it. One thread per such
    // language, all joined before this returns. A language whose thread failed counts as "no match"
    // and its failure is shown (ShowError) after the search. Raises as RunSearch.
    void RunParallelSearch();
    // Asks for a query of the language of the focused pane (nothing without one, or when cancelled)
    // and runs it with SearchWithinLines; the status text then names the current line and how many of
    // the pane's lines matched.
    void SearchWithinResults();
    // Searches Record (taken over; it replaces Language's record) inside the aligned passage of each
    // line of Language's pane (lines of ExclusionList skipped): every match is put into the line whose
    // passage holds it, the earliest shown. Then the pane's collocates, its commands, the distribution
    // window and CM_COLLOCDATADROPPED for Language. Returns the number of lines that took a match.
    // Raises as RunSearch; the matches put so far stay. Nothing happens (0) while a search runs.
    int32_t SearchWithinLines(int Language, std::unique_ptr<TConcSearchRec> Record);
    bool SearchRunning() const { return FSearching; }

    // The language of the last search within the lines; -1 before one.
    int32_t SearchLanguage = -1;
    // One reader per file of the searched language, open only during a search within the lines.
    TReaderList Readers;
    // Lines a search within the lines skips; nullptr normally.
    std::unique_ptr<TRowExclusions> ExclusionList;

    // ---- State (filled by the search drivers and the commands) -----------------------------------

    // The query of each language; owned; nullptr for a language without one.
    std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages> Records;
    std::string QueryText;
    // The other languages' records are conditions of a parallel search (not searches within the lines).
    bool ParallelQueries = false;
    int32_t LanguageCount = 0;
    int32_t PrimaryLanguage = 0;
    // One per corpus language, from creation on.
    std::array<std::unique_ptr<TConcordItems>, MaxLanguages> Lists;
    // One per shown language, from BuildPanels on.
    std::array<std::unique_ptr<TConcordStrings>, MaxLanguages> Adapters;
    std::array<TStringsView*, MaxLanguages> Views{};
    TStringsView* PrimaryView = nullptr;
    bool ShowLineNumbers = false;
    std::array<bool, MaxLanguages> WordWrap{};
    std::array<bool, MaxLanguages> HotWordsShown{};
    std::array<bool, MaxLanguages> HighlightCollocates{};
    // Cached hot-word and translation candidates (nullptr until built) and the chosen hot words.
    std::array<std::unique_ptr<TFreqList>, MaxLanguages> HotWordLists;
    std::array<std::unique_ptr<TFreqList>, MaxLanguages> TranslationLists;
    std::array<std::unique_ptr<TFreqList>, MaxLanguages> ChosenHotWords;
    bool ChoosingHotWords = false;
    bool AdvancedSort = false;
    int32_t SortedLanguage = -1;
    TAdvancedSortColOptions SortRecord;
    bool SortUndefined = false;
    int32_t WindowTranslationPasses = 0;
    THotWordsConfig WindowHotWordsConfig;
    // The window's copies of each language's hot-word options, taken at creation.
    std::array<THotWordsOptions, MaxLanguages> HotWordsOptions{};
    // How the searches that filled the primary list ended, and the maximum of hits they ran with.
    TSearchEnd SearchEnd = TSearchEnd::Complete;
    int32_t SearchEndMaximum = 0;
    // The window's distribution window, or nullptr.
    QPointer<TAppMessageForm> Distribution;

    QStatusBar* StatusBar() const { return FStatusBar; }
    TElidingLabel* StatusPanel(int I) const { return FPanels[size_t(I)]; }
    QMenu* ParaDisplayMenu() const { return FDisplayMenu; }
    QMenu* SortMenu() const { return FSortMenu; }
    QMenu* TessivorPopupMenu() const { return FPopupMenu; }
    QMenu* AssignLetterMenu() const;
    QSplitter* PaneSplitter() const { return FSplitter; }

protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    bool Shows(int Language) const {
        return Language >= 0 && Language < LanguageCount && Views[size_t(Language)];
    }
    TStringsView* CreatePane(int Language);
    void LayoutPanes();
    void FormatLine(int Language, int Row, std::string& Text, TSVFormatArray& Format, TSVLabelInfo& Label);
    void ItemChanged(TStringsView& View);
    void ItemSelection(TStringsView& View, bool Selected, int Row);
    void FocusEntered(TStringsView& View);
    void Redraw(int Language);
    void UpdateLabel(int Language);
    void DropFile(int Language, int FileIndex);
    void CollocSettingsChanged(int Language, int Kind);
    void CloseWindow();
    // Commands (ConcTessivor_Commands.cpp).
    // The command entries whose state follows the command language.
    struct TCommandActions {
        QAction* HotWordsFont = nullptr;
        QAction* ContextType = nullptr;
        std::array<QAction*, 3> Suppress{};  // by suppress option
        QAction* Highlight = nullptr;
        QAction* WordWrap = nullptr;
        QAction* LineNumbers = nullptr;
        std::vector<QAction*> SortKeys;  // the sort entries with shortcuts
        QAction* ConcealHits = nullptr;
        QAction* ConcealCollocates = nullptr;
        // The popup's entries that only the other languages' panes show, with their separators.
        std::vector<QAction*> Secondary;
        QAction* ClearSearchQuery = nullptr;
        QAction* HotWords = nullptr;
        QAction* ClearHotWords = nullptr;
        QMenu* LetterMenu = nullptr;
        std::array<QAction*, 26> Letters{};  // "&a" .. "&z"
        QAction* Kwic = nullptr;
        QAction* DisplayInfo = nullptr;
    };
    // The selected lines and the current line, by the sequence numbers of the lines (not their rows).
    struct TLineMarks {
        std::vector<bool> Selected;  // by sequence number
        int32_t Current = -1;        // the sequence number of the current line; -1: none
    };
    TLineMarks ReadLineMarks(int Language) const;
    // Selects the rows that now hold the lines of Marks, in every pane, and makes the current line's
    // row current.
    void PutLineMarks(const TLineMarks& Marks);
    void BuildCommandMenus();
    void BuildDisplayMenu();
    void BuildSortMenu();
    void BuildPopupMenu();
    void PopupAt(TStringsView* View, const QPoint& At);
    TConcordItem* CommandItem() const;
    void ChooseFont(int Kind);
    void ChooseContextType();
    void ToggleSuppress(int Option);
    void ToggleHighlight();
    void ToggleWordWrap();
    void ToggleLineNumbers();
    void ToggleConceal();
    void OpenDistribution();
    void ClearSearchQuery();
    // Language's collocates counted again over the lines it holds now (shaded when Shade), or, without
    // Shade, only dropped, to be counted by whoever shows them next. Every change of what the lines
    // hold ends with it, so that no count shown counts a line that went.
    void RecountCollocates(int Language, bool Shade);
    void DropChosenFile(int Language, int FileIndex);
    bool CorpusListReady(int Language);
    std::unique_ptr<TFreqList> BuildRowWords(int Language);
    std::unique_ptr<TFreqList> BuildTranslations(int Language);
    void FreeOtherTranslations(int Language);
    void ShowChosenWords(int Language, bool HotWords);
    // Frees the larger-context windows of this window whose item Matches says.
    void CloseContextWindowsWhere(const std::function<bool(const TConcordItem*)>& Matches);
    // The items that this window's larger-context windows show.
    std::set<const TConcordItem*> ContextWindowItems() const;
    void DetachViews();

    QStatusBar* FStatusBar;
    std::array<TElidingLabel*, 3> FPanels;
    QMenu* FDisplayMenu;
    QMenu* FSortMenu;
    QMenu* FPopupMenu;
    std::unique_ptr<TCommandActions> FActions;
    int FLastFocused = -1;
    bool FCommandRunning = false;
    int FCounting = 0;            // count scopes holding the window
    bool FCloseWhenIdle = false;  // the user closed the window while it was counted
    QSplitter* FSplitter = nullptr;
    QSplitter* FSecondaryPanel = nullptr;
    // What HoldStatus keeps; "" when nothing is held.
    std::string FHeldStatus;
    bool FItemChanging = false;
    bool FSelecting = false;

    friend class TSearchScope;
    struct TFinalRows;
    void SearchHit(std::unique_ptr<TConcordItem> Hit);
    // SearchHit without following it in the panes (a batch of hits is followed once).
    void AddHitRows(std::unique_ptr<TConcordItem> Hit);
    bool ExecuteBeside(TStartedSearch& Started, const std::function<void()>& Show);
    void RowsGrew(int Language);
    // The panes and the match count follow a running search by the clock: a pane told of every hit
    // repainted the whole window at each turn of the event loop. Now: at once, as a search ends.
    void ShowGrownRows(bool Now);
    void ShowSearchState();
    // A search of the primary language ended as End: the caption, the match count and the distribution
    // window say whether the lines are every hit.
    void RecordSearchEnd(TSearchEnd End);
    // Once a search of the primary language ended, however many lines it found: its collocates shaded
    // as "Highlight Collocates" says, in the collocate font's colour.
    void ShadeFoundCollocates();
    // After a search that added many lines: the room its growing lists left behind goes back to the
    // system. RowsBefore: the primary list's count before the search.
    void ReleaseSearchSlack(int32_t RowsBefore);
    bool FSearching = false;
    std::chrono::steady_clock::time_point FRowsShown;
};

// ---- Opening a window with a search (the Search, Advanced Search and Parallel Search commands)
// ---------

// Runs the single search of Record (taken over) and returns the window that shows it. With the append
// flag (sfAppend) the search is appended to the active concordance window of Area when that window's
// primary language is the record's and it runs no search; otherwise a new window is made for every
// language of the corpus, the record's language primary, as a sub-window of Area (a top-level window
// without one). A new window whose search raises is freed and the exception passes on. Thread: a thread
// made ahead for the search (taken over), or nullptr.
TTessivorForm* NewConcordanceWindow(QMdiArea* Area, std::unique_ptr<TConcSearchRec> Record,
                                    std::unique_ptr<TSearchThread> Thread = nullptr);
// The same for a search of Record already started by StartConcordanceSearch (taken over; nullptr: as
// above).
TTessivorForm* NewConcordanceWindow(QMdiArea* Area, std::unique_ptr<TConcSearchRec> Record,
                                    std::unique_ptr<TSearchThread> Thread,
                                    std::unique_ptr<TTessivorForm::TStartedSearch> Started);
// Starts the search of Record (copied) for NewConcordanceWindow before the window is made, on Thread
// (made ahead; taken over) when given; the commands that touch the corpus are off from then on. nullptr
// when Record is to be appended to the active window of Area, or when it does not compile (the window
// then raises it).
std::unique_ptr<TTessivorForm::TStartedSearch> StartConcordanceSearch(QMdiArea* Area,
                                                                      const TConcSearchRec& Record,
                                                                      std::unique_ptr<TSearchThread> Thread);
// Runs the parallel search of Records (the first is the primary query; each language at most once;
// the caller keeps them, the window stores copies) in a new window of Area (as NewConcordanceWindow)
// and returns it. The window shows the languages 0 up to the highest language of the records, so that
// every record's language has a pane; a language in between without a record is shown but not
// searched. A window whose search raises is freed and the exception passes on.
TTessivorForm* NewParallelConcordanceWindow(QMdiArea* Area,
                                            const std::vector<std::unique_ptr<TConcSearchRec>>& Records);
