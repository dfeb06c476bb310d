// The program's frame: the main window TConcMainForm with its status bar, its idle-time enabling of
// the commands, its first-activation and close sequences and its handlers of the application messages;
// the Qt messenger and wait cursor behind engine/ConcUtils; and the application object that keeps
// exceptions from crossing the event loop.
#pragma once

#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcUtils.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class TConcMainForm;

// ---- The main window's rules, Qt-free ----------------------------------------------------------------

// The corpus state the idle handler reads, computed afresh each time.
struct TActionInputs {
    bool HasFiles = false;           // L: some language has a corpus file
    bool Busy = false;               // B: CorpusInUse (a word list is saved or printed, or a job runs)
    bool Aligned = false;            // A: CorpusAligned
    bool AlignWindowsOpen = false;   // W: the sections window or the alignment view exists
    bool NeedsProcessing = false;    // N: CorpusNeedsProcessing
    bool ConcordanceActive = false;  // C: the active child is a concordance window
    bool WordListActive = false;     // the active child is a word-list window
    bool CollocationActive = false;  // the active child is a collocation window
    bool WorkspaceLoaded = false;
    bool RecentAvailable = false;  // RecentWorkspacesAvailable
    int ChildCount = 0;
};

// What the idle handler sets. WordListOrders is applied only when SetWordListOrders (while L): the
// order items of the hidden Frequency menu keep their last state otherwise.
struct TActionStates {
    bool ViewCorpusFile = false;
    bool UnloadCorpus = false;
    bool CollectTags = false;
    bool AlignCorpus = false;
    bool SearchMenuVisible = false;
    bool Search = false;  // Search, Advanced Search and Parallel Search
    bool SearchOptions = false;
    bool FrequencyMenuVisible = false;
    bool SetWordListOrders = false;
    bool WordListOrders = false;  // Frequency Order and Alphabetical Order
    bool SaveWorkspace = false;   // Save Workspace and Save On Exit
    bool RecentWorkspaces = false;
    bool WindowMenuVisible = false;
    bool Collocation = false;      // Collocate Frequency Data and Advanced Collocation
    bool WordListOutput = false;   // Save as File and Print: a word list is active and nothing is busy
    bool CollocationCopy = false;  // Copy to clipboard: a collocation window is active
    // Load Corpus File(s), Open Workspace, Save Workspace As, the two tag settings and Frequency Options:
    // each may free, replace or save the corpus, so none may run while it is in use.
    bool CorpusCommands = false;

    bool operator==(const TActionStates&) const = default;
};

TActionStates ComputeActionStates(const TActionInputs& In);

// Status panel 0: a blank, then the first non-empty of the hint, the status text and the count of
// language 0's files ("No files added", "1 parallel file loaded", "%d parallel files loaded"). A corpus
// that AwaitsAlignment (processed, not aligned, so nothing can be searched) says so after its count,
// and what aligns it: ", not aligned: choose "Align Corpus" in the File menu".
std::string HintPanelText(const std::string& Hint, const std::string& StatusText, int FileCount,
                          bool AwaitsAlignment);
// Status panel 1: empty unless language 0 has files; else each language's word count grouped in
// thousands ("??" for 0), joined with " / ".
std::string LanguagePanelText(const std::vector<int64_t>& WordCounts, bool Language0HasFiles);
// The width of the word-count panel on a status bar BarWidth pixels wide when its text needs Needed
// pixels: at least the standard 195, as much as the text needs up to two thirds of the bar (the hint
// panel keeps the rest); a text wider than that is cut with its whole in the tooltip.
int LanguagePanelWidthFor(int Needed, int BarWidth);
// "Tessivor - " and the workspace file's name without folder and extension, its first character in
// upper case and the rest in lower case (UTF-8 in and out).
std::string WorkspaceCaption(const std::string& WorkspaceFile);

enum class TCloseDecision { Refuse, SavePreferences, SaveWorkspace, SaveNothing };
// Busy: CorpusInUse, the same test that disables the corpus commands.
TCloseDecision DecideClose(bool Busy, bool WorkspaceLoaded, bool SaveOnExit);

// What a command that ends the corpus in memory (exit, Unload Corpus, Load Corpus File(s), opening a
// workspace) asks before it goes on. A workspace that holds the corpus (WorkspaceHeld) is asked about
// when it Changed since it was opened or saved: "Save changes to the workspace <name>?", whose Yes saves
// it. Without one, alignment corrections made by hand (HandCorrections) exist nowhere else:
// SaveCorrectionsQuestion, whose Yes saves them with Save Workspace As. Yes/No/Cancel either way.
enum class TEndQuestion { None, SaveWorkspaceChanges, SaveCorrectionsAsWorkspace };
TEndQuestion DecideEndQuestion(bool WorkspaceHeld, bool Changed, bool HandCorrections);

// The answer to CM_GETCLIENTSIZE: the width in the high 16 bits, the height in the low 16 bits.
intptr_t PackClientSize(int Width, int Height);

// ---- The per-language submenus ---------------------------------------------------------------------

// Refills Menu with "All" (data -1), a separator (data -2) and one item per corpus language, captioned
// with its name (data: the language); choosing an item calls Handler with its data.
void FillLanguageMenu(QMenu* Menu, const std::function<void(int Language)>& Handler);

// "Tessivor": the product's title in captions, the about box and the trace records.
extern const char* const ProductTitle;

// ---- The application object --------------------------------------------------------------------------

// Runs Deliver; an exception it raises is shown with ShowError (EAbort silently) and false returned.
bool DeliverCatching(const std::function<bool()>& Deliver);

// QApplication whose notify catches what an event handler raises, so nothing crosses the event loop.
class TConcApplication : public QApplication {
public:
    TConcApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// ---- The program -------------------------------------------------------------------------------------

// The program's run on the running QApplication: starts the units in dependency order (installed
// languages, configuration, thousands separator, font dialog), gives the trace logger the module name
// "Tessivor" and the version "270", creates and shows the main window and runs the event loop; once
// the window and its children are destroyed, ends the units in reverse order. MainWindowChanged hears
// of the window right after its creation and, with nullptr, right before its destruction. Returns the
// event loop's result. A unit that cannot read or write the preferences file is reported, never fatal.
int RunProgram(const std::function<void(QWidget* MainWindow)>& MainWindowChanged);

// ---- The main window ---------------------------------------------------------------------------------

class TConcMainForm : public QMainWindow, public TAppMessageReceiver {
    Q_OBJECT
public:
    // Creation: the title, the fixed captions, the preferences read into the configuration, the Save
    // On Exit check mark, the idle and hint handlers, the placement of "MainForm". Registers the window
    // as the application's messenger and wait cursor until it is destroyed.
    explicit TConcMainForm(QWidget* Parent = nullptr);
    // Destroys the child windows (they may still send messages while they go), then writes the
    // placement to "MainForm".
    ~TConcMainForm() override;

    // The first activation (runs once; later calls do nothing): sizes the panels; below two languages
    // opens the most recent workspace when there is one, exactly as Open Workspace does; when none
    // opened, the loading dialog for a new corpus while still below two languages, then processes the
    // corpus and, when that completes, aligns it; rebuilds the language menus and both panels. Passes on
    // what the steps raise, after the menus and panels are rebuilt; the window's own event handlers
    // report it instead.
    void FormActivate();
    // The first activation has run to its end (the workspace or corpus it brought in is there).
    bool Activated() const { return FActivationDone; }

    // Enables and shows every command from the corpus state (the idle handler; also run when a long
    // operation starts, since the event loop it pumps never waits and so never runs the idle handler).
    Q_INVOKABLE void UpdateActions();
    void UpdateHintPanel();
    void UpdateLanguagePanel();
    // UpdateLanguagePanel now, or, when the panel was refreshed less than LanguagePanelPace ago, once
    // that time is up, however often it is asked for meanwhile.
    void UpdateLanguagePanelSoon();
    // Panel 0 takes the width that panel 1 leaves.
    void SizeStatusPanels();
    // After a workspace was opened or saved: "Tessivor - " and its name.
    void UpdateCaption();
    // Destroys the topmost child again and again until none is left.
    void CloseAllChildren();

    // Load Corpus File(s): first SaveChangesFirst (Cancel ends the command); then the loading dialog on
    // the current corpus; after OK the corpus is processed
    // and then aligned (when the pass did not complete, the pair lists are only made to fit the files)
    // and the language menus rebuilt. Both panels are refreshed in every case, also when a step raises;
    // the exception then goes on.
    void LoadCorpus();
    // Unload Corpus: first SaveChangesFirst (Cancel ends the command); then, under the wait cursor,
    // closes every child, removes every file of every language (the languages and their settings stay),
    // frees the three alignments, ends the workspace (none is loaded afterwards, so that closing saves
    // the preferences), posts an empty status text and refreshes panel 1.
    void UnloadCorpus();
    // Scan Corpus: processes the corpus and, when the pass completed, aligns it; refreshes panel 1.
    void ScanCorpus();
    // "Tags Settings": every change is stored on OK. With a corpus loaded, a change of the tag characters
    // asks first whether to scan the corpus again (TagSettingsScanQuestion): Yes drops what the change
    // invalidates and scans, No keeps the corpus and the tag characters it was read with. A change of
    // the page delimiter counts the pages again (DropAfterTagSettings).
    void NormalTags();
    // Search and Advanced Search: the query dialog (simple or advanced) for the remembered search
    // language; its query runs in a new concordance window, or is appended to the active one.
    void Search(bool Advanced);
    // Parallel Search: the parallel search dialog, then a parallel concordance window of its queries.
    void ParallelSearch();
    // Frequency Options: the options of the focused language of the active word-list window, else of
    // the focused pane of the active concordance window, else of language 0.
    void FrequencyOptions();
    // Refills the per-language submenus of the Frequency menu ("All", a separator, each corpus language)
    // (Collocate Frequency Data, Advanced Collocation, Frequency Order, Alphabetical Order).
    void BuildLanguageMenus();
    // Advanced Collocation: with a concordance window active, the collocation order dialog on the
    // collocation record of Language (CommonConfig's for -1); when it is confirmed with positions or a
    // span, the sequences are counted into a word list (ShowAdvancedCollocation).
    void AdvancedCollocation(int Language);
    // Arrange Icons: the minimised children in a row along the bottom of the area, in the order they
    // were opened, wrapping upwards.
    void ArrangeIcons();

    // ---- Workspaces (opening and saving a processed corpus, see ConcWorkspace) ----
    // Open Workspace: asks for a workspace file in WorkspacePath and opens the one chosen.
    void OpenWorkspace();
    // First SaveChangesFirst (Cancel ends the command, leaving everything as it was). Then closes
    // every child, frees the languages and the alignments and opens FileName (LoadWorkspace,
    // which reports what went wrong). While it opens (and its messages are up) the caption names the
    // workspace being opened and the status panel says so. On success WorkspaceOpened; in every case the
    // language menus and both panels are rebuilt and the status text emptied. A failed open leaves no
    // corpus file loaded, WorkspaceFileName empty, the caption naming no workspace and at least language
    // 0 configured.
    void OpenWorkspaceFile(const std::string& FileName);
    // Recent Workspaces: the chooser of the recent list; opens the workspace chosen.
    void OpenRecentWorkspace();
    // Save Workspace: saves the corpus under WorkspaceFileName, first asking for the Keep options when
    // Ask (Cancel saves nothing). Does nothing without a current workspace (after a failed open).
    // Returns whether both files were written.
    bool SaveWorkspaceFile(bool Ask);
    // Save Workspace As: asks for a name (an existing file is replaced without asking); refuses the
    // current workspace's own name with an error; otherwise asks for the Keep options (all checked)
    // and saves. A saved workspace becomes the current one (WorkspaceOpened). Returns whether it saved.
    bool SaveWorkspaceAs();
    // Save On Exit: inverts SaveOnExit; the item's check mark follows it.
    void ToggleSaveOnExit();
    // Before a command that ends the corpus in memory (exit unless Save On Exit saves the open workspace,
    // Unload Corpus, Load Corpus File(s), opening a workspace), the question DecideEndQuestion gives:
    // with a workspace open whose corpus or settings changed since it was opened or saved
    // (WorkspaceChanged), "Save changes to the workspace <name>?", whose Yes saves it (without the options
    // dialog); with none, when alignment corrections made by hand would be lost (UnsavedHandCorrections),
    // SaveCorrectionsQuestion, whose Yes is Save Workspace As. No goes on without saving, Cancel stops.
    // Returns whether the command may go on: true when nothing is asked or after No, false after Cancel
    // or when the save failed or was cancelled.
    bool SaveChangesFirst();
    // A workspace holds the corpus: one was opened or saved, and is still the current one.
    static bool WorkspaceHeld();
    // After a workspace was opened or saved under a new name: marks a workspace loaded, makes its folder
    // WorkspacePath, puts it at the top of the recent list (a preferences file that cannot be written
    // is reported), shows its name in the caption and rebuilds the language menus.
    void WorkspaceOpened();

    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;
    // The posted status text (CM_STATUSTEXT).
    void CMStatusText(const std::string& Text);

    QMdiArea* MdiArea() const { return FMdiArea; }
    QLabel* HintPanel() const { return FPanels[0]; }
    QLabel* LanguagePanel() const { return FPanels[1]; }
    const std::string& StatusText() const { return FStatusText; }
    const std::string& Hint() const { return FHint; }

    // The commands of the menus, enabled by the idle handler.
    QAction* LoadCorpusFileAction;
    QAction* ViewCorpusFileAction;
    QAction* UnloadCorpusAction;
    QAction* AlignCorpusAction;
    QAction* OpenWorkspaceAction;
    QAction* SaveWorkspaceAction;
    QAction* SaveWorkspaceAsAction;  // its command is SaveWorkspaceAs
    QAction* SaveOnExitAction;
    QAction* RecentWorkspacesAction;
    QAction* NormalTagsAction;
    QAction* PartofSpeechTagsAction;
    QAction* CollectTagsAction;
    QAction* PrintSetupItem;
    QAction* ExitAction;
    QAction* SearchAction;
    QAction* AdvancedSearchAction;
    QAction* ParallelSearchAction;
    QAction* SearchOptionsAction;
    QAction* FrequencyOptionsAction;
    QAction* FrequencyCopyToCB;
    QAction* FrequencySaveAction;
    QAction* FrequencyPrintAction;
    QAction* TileHorizontalAction;
    QAction* CascadeAction;
    QAction* ArrangeAction;
    QAction* AboutAction;

    QMenu* FileMenu;
    QMenu* TagsSettingsMenu;
    QMenu* SearchMenu;
    QMenu* FrequencyMenu;
    QMenu* CollocateFrequencyDataMenu;
    QMenu* AdvancedCollocationMenu;
    QMenu* FrequencyOrderMenu;
    QMenu* AlphabeticalOrderMenu;
    QMenu* WindowMenu;
    QMenu* InfoMenu;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    void ShowNoWorkspace();
    class TMessenger;
    class TCursor;

    void CreateActions();
    void CreateMenus();
    // The widget of the active MDI child, or nullptr.
    QWidget* ActiveChild() const;
    void CreateStatusBar();
    void RebuildWindowList();
    // Shows the merged menus of the active child among the main menus, by their group indexes.
    void MergeChildMenus(QMdiSubWindow* Active);
    TActionInputs ReadActionInputs() const;
    void ApplyActionStates(const TActionStates& States);
    void SavePlacement();
    // FormActivate from an event handler or a timer: what it raises is reported here, since nothing
    // may cross Qt's event code.
    void FirstActivation();

    void CMOpenCorpusView(int Language, int FileIndex);
    void CMFileRemoved(int Language, int FileIndex);
    void CMRemoveLanguage(int Language);
    void CMFreqSettingsChanged(int Language, intptr_t Dropped);
    void CMFileAdded(int Language);
    void CMFilesExchanged(intptr_t WParam, intptr_t LParam);
    intptr_t CMGetClientSize() const;

    QMdiArea* FMdiArea;
    std::vector<QPointer<QAction>> FMergedMenuActions;
    TElidingLabel* FPanels[2];
    std::string FStatusText;
    std::string FHint;
    // The corpus is processed and not aligned, so nothing can be searched: panel 0 says so.
    bool FAwaitsAlignment = false;
    bool FActivated = false;
    bool FActivationDone = false;
    bool FActivationQueued = false;
    bool FUpdatingActions = false;
    bool FLanguagePanelDue = false;
    std::chrono::steady_clock::time_point FLanguagePanelAt{};
    std::unique_ptr<TMessenger> FMessenger;
    std::unique_ptr<TCursor> FCursor;
    IAppMessenger* FPreviousMessenger;
    IWaitCursor* FPreviousCursor;
};
