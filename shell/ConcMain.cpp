#include "shell/ConcMain.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <system_error>

#include "alignment/ConcAlignView.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "controls/ConcFormUtils.h"
#include "controls/FileDialogForm.h"
#include "controls/FileDialogs.h"
#include "controls/PrintDialogs.h"
#include "controls/zynStackTrace.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcErrors.h"
#include "engine/ConcLangs.h"
#include "engine/ConcPrefs.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/IniFiles.h"
#include "platform/Memory.h"
#include "results/ConcAdvCollocation.h"
#include "results/ConcAdvancedSort.h"
#include "results/ConcCollocation.h"
#include "results/ConcFreqOptions.h"
#include "results/ConcParaSearch.h"
#include "results/ConcSearchOptions.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcSearchRunner.h"
#include "results/ConcStartedSearch.h"
#include "results/ConcTessivor.h"
#include "results/ConcWordListForm.h"
#include "shell/ConcAbout.h"
#include "shell/ConcPOSTags.h"
#include "shell/ConcParaLoad.h"
#include "shell/ConcParallelFiles.h"
#include "shell/ConcRecentWorkspaces.h"
#include "shell/ConcTagConfig.h"
#include "shell/ConcView.h"
#include "shell/ConcWorkOptions.h"
#include "shell/ConcWorkspace.h"
#include "shell/TagSettingsRules.h"
#include "shell/WorkspaceChanges.h"
#include "ui/Msg.h"

const char* const ProductTitle = "Tessivor";

namespace {

const char* const PlacementSection = "MainForm";
constexpr int LanguagePanelWidth = 195;

QString ToQString(const std::string& Text) {
    return QString::fromStdString(Text);
}

bool LanguageHasFiles(int Language) {
    return Language < LanguagesCount && LanguageConfigs[Language] &&
           !LanguageConfigs[Language]->Files.empty();
}

// The receiver inside an MDI sub-window: its widget, when that receives application messages.
TAppMessageReceiver* ReceiverOf(QMdiSubWindow* Sub) {
    return dynamic_cast<TAppMessageReceiver*>(Sub->widget());
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Rules

TActionStates ComputeActionStates(const TActionInputs& In) {
    const bool L = In.HasFiles, B = In.Busy, A = In.Aligned;
    const bool R = L && A && !In.AlignWindowsOpen;
    TActionStates s;
    s.ViewCorpusFile = L && !B;
    s.UnloadCorpus = L && !B;
    s.CollectTags = In.NeedsProcessing && !B;
    s.AlignCorpus = L && !A && !In.NeedsProcessing && !B;
    s.SearchMenuVisible = L;
    s.Search = R && !B;
    s.SearchOptions = L && !B;
    s.FrequencyMenuVisible = L;
    s.SetWordListOrders = L;
    s.WordListOrders = L && !B;
    s.SaveWorkspace = In.WorkspaceLoaded && !B;
    s.RecentWorkspaces = In.RecentAvailable && !B;
    s.WindowMenuVisible = In.ChildCount > 0;
    s.Collocation = In.ConcordanceActive && !B;
    // One list at a time is saved or printed: the flags they set say so.
    s.WordListOutput = In.WordListActive && !B;
    s.CollocationCopy = In.CollocationActive;
    s.CorpusCommands = !B;
    return s;
}

std::string HintPanelText(const std::string& Hint, const std::string& StatusText, int FileCount,
                          bool AwaitsAlignment) {
    if (!Hint.empty()) return " " + Hint;
    if (!StatusText.empty()) return " " + StatusText;
    if (FileCount == 0) return " No files added";
    char text[64];
    if (FileCount == 1)
        std::snprintf(text, sizeof text, "1 parallel file loaded");
    else
        std::snprintf(text, sizeof text, "%d parallel files loaded", FileCount);
    // Every search command is greyed until the corpus is aligned: the panel says why, and what to do.
    const char* Unaligned = AwaitsAlignment ? ", not aligned: choose \"Align Corpus\" in the File menu" : "";
    return std::string(" ") + text + Unaligned;
}

int LanguagePanelWidthFor(int Needed, int BarWidth) {
    return std::clamp(Needed, LanguagePanelWidth, std::max(LanguagePanelWidth, BarWidth * 2 / 3));
}

std::string LanguagePanelText(const std::vector<int64_t>& WordCounts, bool Language0HasFiles) {
    if (!Language0HasFiles) return std::string();
    std::string text;
    for (size_t i = 0; i < WordCounts.size(); ++i) {
        if (i > 0) text += " / ";
        text += WordCounts[i] == 0 ? "??" : FormatCount(WordCounts[i], false);
    }
    return text;
}

std::string WorkspaceCaption(const std::string& WorkspaceFile) {
    QString name = ToQString(WorkspaceFile);
    name = name.mid(name.lastIndexOf('/') + 1);
    const int dot = name.lastIndexOf('.');
    if (dot >= 0) name.truncate(dot);
    name = name.toLower();
    if (!name.isEmpty()) {
        // The first character may be a surrogate pair; upper-case it as a whole.
        const int len = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
        name = name.left(len).toUpper() + name.mid(len);
    }
    return std::string(ProductTitle) + " - " + name.toStdString();
}

TCloseDecision DecideClose(bool Busy, bool WorkspaceLoaded, bool SaveOnExit) {
    if (Busy) return TCloseDecision::Refuse;
    if (!WorkspaceLoaded) return TCloseDecision::SavePreferences;
    return SaveOnExit ? TCloseDecision::SaveWorkspace : TCloseDecision::SaveNothing;
}

TEndQuestion DecideEndQuestion(bool WorkspaceHeld, bool Changed, bool HandCorrections) {
    if (WorkspaceHeld) return Changed ? TEndQuestion::SaveWorkspaceChanges : TEndQuestion::None;
    return HandCorrections ? TEndQuestion::SaveCorrectionsAsWorkspace : TEndQuestion::None;
}

intptr_t PackClientSize(int Width, int Height) {
    return static_cast<intptr_t>((static_cast<uint32_t>(Width & 0xFFFF) << 16) |
                                 static_cast<uint32_t>(Height & 0xFFFF));
}

// ---------------------------------------------------------------------------------------------------
// Application object

bool DeliverCatching(const std::function<bool()>& Deliver) {
    try {
        return Deliver();
    } catch (const EAbort&) {
    } catch (const std::bad_alloc& e) {
        // No command dealt with it: a failure of the program, for the trace file.
        TraceUnhandledException(&e);
        ShowOutOfMemory(OutOfMemoryText);
    } catch (const std::exception& e) {
        TraceUnhandledException(&e);
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown exception.");
    }
    return false;
}

bool TConcApplication::notify(QObject* Receiver, QEvent* Event) {
    return DeliverCatching([&] { return QApplication::notify(Receiver, Event); });
}

// ---------------------------------------------------------------------------------------------------
// The program

namespace {

const char* const BuildNumber = "270";

// The configuration unit reads and writes three keys of the preferences file; a file that cannot be
// read or written is reported, never fatal.
void RunReported(void (*Step)()) {
    DeliverCatching([Step] {
        Step();
        return true;
    });
}

// The configuration unit reads three keys of the preferences file that the main window reads whole
// right after; a file that cannot be read is reported there, with the program's own message, once.
void InitConfigUnitQuietly() {
    try {
        InitConfigUnit();
    } catch (const EIniFileError&) {
    }
}

// Unit start-up in dependency order. Qt runs first here: the message boxes need it.
void InitUnits() {
    ReserveEmergencyMemory();
    LoadInstalledLanguages();
    RunReported(InitConfigUnitQuietly);
    SetThousandSeparator(QLocale::system().groupSeparator().toStdString());
    RegisterConfigFontDialog();
    RegisterFileDialog();
    RegisterPrintDialog();
}

// Unit end, in reverse order, once the main window and its children are destroyed.
void FinalizeUnits() {
    RunReported(FinalizeConfigUnit);
    FreeInstalledLanguages();
}

}  // namespace

int RunProgram(const std::function<void(QWidget* MainWindow)>& MainWindowChanged) {
    // A file-size limit makes an over-long write fail (EFBIG), which the saving code reports and cleans
    // up after, instead of ending the program with the user's work.
    std::signal(SIGXFSZ, SIG_IGN);
    InitUnits();
    SetTraceModule(ProductTitle, BuildNumber);
    int result;
    {
        TConcMainForm form;
        MainWindowChanged(&form);
        form.show();
        result = QApplication::exec();
        MainWindowChanged(nullptr);
    }
    FinalizeUnits();
    return result;
}

// ---------------------------------------------------------------------------------------------------
// Messenger and cursor

class TConcMainForm::TMessenger : public IAppMessenger {
public:
    explicit TMessenger(TConcMainForm& Form) : FForm(Form) {}

    intptr_t SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam) override {
        const intptr_t result = FForm.HandleAppMessage(Msg, WParam, LParam);
        QCoreApplication::processEvents();
        return result;
    }

    // A handler may close or open other children: the snapshot keeps the round fixed, and the guarded
    // pointers and the closing marks let it pass by whatever has gone meanwhile. A hidden child still
    // holds its references, so it hears the message like any other.
    void BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam) override {
        std::vector<QPointer<QMdiSubWindow>> children;
        for (QMdiSubWindow* sub : FForm.MdiArea()->subWindowList(QMdiArea::StackingOrder))
            children.emplace_back(sub);
        for (const QPointer<QMdiSubWindow>& sub : children) {
            if (!sub) continue;
            TAppMessageReceiver* receiver = ReceiverOf(sub);
            if (receiver && !receiver->IsClosing()) receiver->HandleAppMessage(Msg, WParam, LParam);
        }
    }

    // The text travels by value in the queued call; Qt drops the call when the window is gone.
    void PostStatusText(const std::string& Text) override {
        TConcMainForm* form = &FForm;
        QMetaObject::invokeMethod(
            form, [form, Text] { form->CMStatusText(Text); }, Qt::QueuedConnection);
    }

private:
    TConcMainForm& FForm;
};

// Qt's override cursor is a stack, so only the outermost BeginWait/EndWait pair touches it. A wait
// begins a long operation: the commands that must not run meanwhile go off at once.
class TConcMainForm::TCursor : public IWaitCursor {
public:
    explicit TCursor(TConcMainForm& Form) : FForm(Form) {}

    void SetWaiting(bool Waiting) override {
        if (Waiting) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            FForm.UpdateActions();
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    TConcMainForm& FForm;
};

// ---------------------------------------------------------------------------------------------------
// Creation and destruction

TConcMainForm::TConcMainForm(QWidget* Parent)
    : QMainWindow(Parent),
      FMessenger(std::make_unique<TMessenger>(*this)),
      FCursor(std::make_unique<TCursor>(*this)),
      FPreviousMessenger(GetAppMessenger()),
      FPreviousCursor(GetWaitCursor()) {
    SetAppMessenger(FMessenger.get());
    SetWaitCursor(FCursor.get());
    // Child windows and dialogs without an icon of their own take the main window's.
    setWindowIcon(ProgramIcon());

    // The application's title, not its display name: Qt appends a display name to every caption.
    QCoreApplication::setApplicationName(ProductTitle);
    MainCaption = ProductTitle;
    setWindowTitle(ToQString(MainCaption));
    resize(597, 547);

    FMdiArea = new QMdiArea(this);
    // Fix opens its alignment windows here, and a word list that needed a corpus pass aligns the corpus
    // afterwards as the menus' own commands do.
    RegisterAlignmentView(FMdiArea);
    RegisterAlignmentRun();
    setCentralWidget(FMdiArea);
    CreateActions();
    CreateMenus();
    connect(FMdiArea, &QMdiArea::subWindowActivated, this, &TConcMainForm::MergeChildMenus);
    CreateStatusBar();

    // Said once, at start, so that nobody changes settings in vain; an unreadable file was reported
    // already and is left alone on purpose.
    if (LoadPreferences() && GetIniFileNameForWrite().empty()) ShowWarning(PreferencesNotSavedText());
    SaveOnExitAction->setChecked(SaveOnExit);

    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TConcMainForm::UpdateActions);
    // An unreadable preferences file has just been reported by LoadPreferences; the window then keeps
    // its default placement.
    try {
        LoadFormPlacement(GetIniFileName(), PlacementSection, this, false);
    } catch (const EIniFileError&) {
    }
}

// The children go while the window is whole, since they may still talk to it as they go.
TConcMainForm::~TConcMainForm() {
    CloseAllChildren();
    SavePlacement();
    if (GetAppMessenger() == FMessenger.get()) SetAppMessenger(FPreviousMessenger);
    if (GetWaitCursor() == FCursor.get()) SetWaitCursor(FPreviousCursor);
}

// A destructor must not throw: a placement that cannot be written is reported like any other failure.
void TConcMainForm::SavePlacement() {
    DeliverCatching([this] {
        SaveFormPlacement(GetIniFileName(), PlacementSection, this, false);
        return true;
    });
}

void TConcMainForm::CreateActions() {
    auto make = [this](const char* Caption, QKeySequence Shortcut = {}) {
        auto* action = new QAction(Caption, this);
        action->setShortcut(Shortcut);
        return action;
    };
    LoadCorpusFileAction = make("&Load Corpus File(s)...", QKeySequence("Ctrl+L"));
    // The menu shows the command by what it opens; the action keeps its own name for lists of commands.
    ViewCorpusFileAction = make("&View Corpus Alignment...", QKeySequence("Ctrl+V"));
    ViewCorpusFileAction->setIconText("&Align Corpus Files...");
    UnloadCorpusAction = make("U&nload Corpus");
    AlignCorpusAction = make("Align Corpus");
    OpenWorkspaceAction = make("Open &Workspace...", QKeySequence("Ctrl+O"));
    SaveWorkspaceAction = make("&Save Workspace");
    SaveWorkspaceAsAction = make("Save Workspace &As...");
    SaveOnExitAction = make("Save &On Exit");
    SaveOnExitAction->setCheckable(true);
    RecentWorkspacesAction = make("R&ecent Workspaces...");
    NormalTagsAction = make("&Normal Tags...");
    PartofSpeechTagsAction = make("Part of &Speech Tags...");
    CollectTagsAction = make("Scan &Corpus");
    PrintSetupItem = make("&Print Setup...");
    ExitAction = make("E&xit", QKeySequence("Ctrl+Q"));
    SearchAction = make("&Search...", QKeySequence("Ctrl+S"));
    AdvancedSearchAction = make("&Advanced search...", QKeySequence("Ctrl+A"));
    ParallelSearchAction = make("&Parallel Search...", QKeySequence("Ctrl+R"));
    // No key: Ctrl+O opens a workspace, and an item that showed it would promise what it never does.
    SearchOptionsAction = make("Search &Options...");
    FrequencyOptionsAction = make("Frequency &Options...");
    FrequencyCopyToCB = make("Copy to clipboard");
    FrequencySaveAction = make("&Save as File...");
    FrequencyPrintAction = make("&Print...", QKeySequence("Ctrl+P"));
    TileHorizontalAction = make("&Tile");
    CascadeAction = make("&Cascade", QKeySequence("Shift+F5"));
    ArrangeAction = make("&Arrange Icons");
    AboutAction = make("About Tessivor...");

    connect(LoadCorpusFileAction, &QAction::triggered, this, &TConcMainForm::LoadCorpus);
    connect(ViewCorpusFileAction, &QAction::triggered, this, [this] { SelectFilesToView(FMdiArea); });
    connect(UnloadCorpusAction, &QAction::triggered, this, &TConcMainForm::UnloadCorpus);
    connect(CollectTagsAction, &QAction::triggered, this, &TConcMainForm::ScanCorpus);
    connect(NormalTagsAction, &QAction::triggered, this, &TConcMainForm::NormalTags);
    connect(PartofSpeechTagsAction, &QAction::triggered, this, [] {
        if (ConfigureSpecialTags()) DropAfterSpecialTags();
    });
    connect(AlignCorpusAction, &QAction::triggered, this, [] { AlignCorpus(); });
    connect(SearchAction, &QAction::triggered, this, [this] { Search(false); });
    connect(AdvancedSearchAction, &QAction::triggered, this, [this] { Search(true); });
    connect(ParallelSearchAction, &QAction::triggered, this, &TConcMainForm::ParallelSearch);
    connect(SearchOptionsAction, &QAction::triggered, this,
            [] { ShowSearchOptions(false, CommonConfig ? CommonConfig->LastUsedLanguage : 0); });
    connect(OpenWorkspaceAction, &QAction::triggered, this, &TConcMainForm::OpenWorkspace);
    connect(SaveWorkspaceAction, &QAction::triggered, this, [this] { SaveWorkspaceFile(true); });
    connect(SaveWorkspaceAsAction, &QAction::triggered, this, &TConcMainForm::SaveWorkspaceAs);
    connect(SaveOnExitAction, &QAction::triggered, this, &TConcMainForm::ToggleSaveOnExit);
    connect(RecentWorkspacesAction, &QAction::triggered, this, &TConcMainForm::OpenRecentWorkspace);
    // Closing runs the close sequence, whatever asks for it.
    connect(ExitAction, &QAction::triggered, this, &QWidget::close);
    connect(TileHorizontalAction, &QAction::triggered, this, [this] { FMdiArea->tileSubWindows(); });
    connect(CascadeAction, &QAction::triggered, this, [this] { CascadeMdiChildren(FMdiArea); });
    connect(ArrangeAction, &QAction::triggered, this, &TConcMainForm::ArrangeIcons);
    connect(AboutAction, &QAction::triggered, this, [this] { ShowAboutBox(this); });
    connect(PrintSetupItem, &QAction::triggered, this, [] { ExecutePrintSetupDialog(SharedPrinter()); });
    connect(FrequencyOptionsAction, &QAction::triggered, this, &TConcMainForm::FrequencyOptions);
    connect(FrequencyCopyToCB, &QAction::triggered, this, [this] {
        if (auto* Form = qobject_cast<TCollocationForm*>(ActiveChild())) Form->CopyToClipboard();
    });
    connect(FrequencySaveAction, &QAction::triggered, this, [this] {
        if (auto* Form = qobject_cast<TWordListForm*>(ActiveChild())) Form->SaveToFile();
    });
    connect(FrequencyPrintAction, &QAction::triggered, this, [this] {
        if (auto* Form = qobject_cast<TWordListForm*>(ActiveChild())) Form->PrintLists();
    });
}

void TConcMainForm::FrequencyOptions() {
    int Language = 0;
    const QMdiSubWindow* Active = FMdiArea->activeSubWindow();
    QWidget* Child = Active ? Active->widget() : nullptr;
    if (const auto* List = qobject_cast<const TWordListForm*>(Child); List && List->FocusedLanguage() >= 0)
        Language = List->FocusedLanguage();
    else if (const auto* Window = qobject_cast<const TTessivorForm*>(Child);
             Window && Window->FocusedLanguage() >= 0)
        Language = Window->FocusedLanguage();
    ShowFreqOptions(Language, false);
}

void FillLanguageMenu(QMenu* Menu, const std::function<void(int Language)>& Handler) {
    Menu->clear();
    Menu->addAction("All", [Handler] { Handler(-1); })->setData(-1);
    Menu->addSeparator()->setData(-2);
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        // A language removed since the menu was built is passed over, not reached through a freed slot.
        QAction* Item =
            Menu->addAction(ToQString(LanguageConfigs[size_t(L)]->GetLanguageName()), [Handler, L] {
                if (L < LanguagesCount && LanguageConfigs[size_t(L)]) Handler(L);
            });
        Item->setData(L);
    }
}

void TConcMainForm::AdvancedCollocation(int Language) {
    auto* Window = qobject_cast<TTessivorForm*>(ActiveChild());
    if (!Window || !CommonConfig || Language >= LanguagesCount) return;
    if (Language >= 0 && !LanguageConfigs[size_t(Language)]) return;
    TAdvancedSortColOptions& Record =
        Language < 0 ? CommonConfig->CollocationSort : LanguageConfigs[size_t(Language)]->CollocationSort;
    TAdvancedSortColItems Columns;
    const QPointer<TTessivorForm> Alive(Window);
    if (!ExecuteAdvancedSort(Language, true, Record, Columns) || !Alive) return;
    if (Columns.empty() && !Record.Span) return;
    ShowAdvancedCollocation(FMdiArea, Window, Language, std::move(Columns));
}

QWidget* TConcMainForm::ActiveChild() const {
    const QMdiSubWindow* Active = FMdiArea->activeSubWindow();
    return Active ? Active->widget() : nullptr;
}

void TConcMainForm::BuildLanguageMenus() {
    FillLanguageMenu(CollocateFrequencyDataMenu, [this](int L) { ShowCollocation(FMdiArea, L); });
    FillLanguageMenu(AdvancedCollocationMenu, [this](int L) { AdvancedCollocation(L); });
    for (const bool Alphabetical : {false, true}) {
        FillLanguageMenu(Alphabetical ? AlphabeticalOrderMenu : FrequencyOrderMenu,
                         [this, Alphabetical](int L) {
                             // The list may have needed a corpus pass, which changes the word counts.
                             ShowWordList(FMdiArea, L, Alphabetical);
                             UpdateLanguagePanel();
                         });
    }
}

void TConcMainForm::NormalTags() {
    if (!CommonConfig) return;
    const TTagSettingsEdits Before = CurrentTagSettings(*CommonConfig, WatchedTags);
    bool Delimiters = false, PageDelimiter = false;
    bool CorpusLoaded = false;
    for (int L = 0; L < LanguagesCount && !CorpusLoaded; ++L) CorpusLoaded = LanguageHasFiles(L);
    if (ConfigureTags(Delimiters, PageDelimiter) &&
        DropAfterTagSettings(Delimiters, PageDelimiter, Before, CorpusLoaded))
        ScanCorpus();
}

void TConcMainForm::Search(bool Advanced) {
    if (!CommonConfig || LanguagesCount < 1) return;
    if (CommonConfig->LastUsedLanguage < 0 || CommonConfig->LastUsedLanguage >= LanguagesCount)
        CommonConfig->LastUsedLanguage = 0;
    const QMdiSubWindow* Active = FMdiArea->activeSubWindow();
    const auto* Window = Active ? qobject_cast<const TTessivorForm*>(Active->widget()) : nullptr;
    // The search's thread starts and grows its heap while the user types the query, not after Enter.
    std::unique_ptr<TSearchThread> Thread;
    try {
        Thread = std::make_unique<TSearchThread>();
    } catch (const std::system_error&) {
        // The window then tries for a thread itself.
    }
    // The search starts as soon as its query is accepted, while the dialog closes.
    std::unique_ptr<TTessivorForm::TStartedSearch> Started;
    const auto Start = [&](const TConcSearchRec& Accepted) {
        Started = StartConcordanceSearch(FMdiArea, Accepted, std::move(Thread));
    };
    std::unique_ptr<TConcSearchRec> Query =
        ShowSearchQuery(Advanced, Window ? Window->PrimaryLanguage : -1, false, nullptr,
                        CommonConfig->LastUsedLanguage, false, Start);
    if (Query) NewConcordanceWindow(FMdiArea, std::move(Query), std::move(Thread), std::move(Started));
}

void TConcMainForm::ParallelSearch() {
    std::vector<std::unique_ptr<TConcSearchRec>> Queries;
    if (ShowParallelSearch(Queries)) NewParallelConcordanceWindow(FMdiArea, Queries);
}

// Lines the minimised children up along the bottom of the area in the order they were opened, left to
// right, starting a new row above when one is full.
void TConcMainForm::ArrangeIcons() {
    const int areaWidth = FMdiArea->viewport()->width();
    int x = 0;
    int bottom = FMdiArea->viewport()->height();
    int rowHeight = 0;
    for (QMdiSubWindow* sub : FMdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized() || sub->isHidden()) continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > areaWidth) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        sub->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

void TConcMainForm::CreateMenus() {
    FileMenu = menuBar()->addMenu("&File");
    FileMenu->addActions({LoadCorpusFileAction, ViewCorpusFileAction, UnloadCorpusAction});
    FileMenu->addSeparator();
    FileMenu->addActions({OpenWorkspaceAction, SaveWorkspaceAction, SaveWorkspaceAsAction, SaveOnExitAction,
                          RecentWorkspacesAction});
    FileMenu->addSeparator();
    TagsSettingsMenu = FileMenu->addMenu("&Tags Settings");
    TagsSettingsMenu->addActions({NormalTagsAction, PartofSpeechTagsAction});
    // The action's own caption says what it is; the menu item the shorter name users know it by.
    PartofSpeechTagsAction->setText("&Special Tags...");
    FileMenu->addSeparator();
    FileMenu->addActions({CollectTagsAction, AlignCorpusAction});
    FileMenu->addSeparator();
    FileMenu->addAction(PrintSetupItem);
    FileMenu->addSeparator();
    FileMenu->addAction(ExitAction);

    SearchMenu = menuBar()->addMenu("&Search");
    SearchMenu->addActions({SearchAction, AdvancedSearchAction, ParallelSearchAction, SearchOptionsAction});
    FrequencyMenu = menuBar()->addMenu("Fre&quency");
    CollocateFrequencyDataMenu = FrequencyMenu->addMenu("Collocate Frequency &Data");
    AdvancedCollocationMenu = FrequencyMenu->addMenu("Advanced &Collocation");
    FrequencyOrderMenu = FrequencyMenu->addMenu("&Frequency Order");
    AlphabeticalOrderMenu = FrequencyMenu->addMenu("&Alphabetical Order");
    FrequencyMenu->addSeparator();
    FrequencyMenu->addAction(FrequencyOptionsAction);
    FrequencyMenu->addSeparator();
    FrequencyMenu->addAction(FrequencyCopyToCB);
    FrequencyMenu->addSeparator();
    FrequencyMenu->addActions({FrequencySaveAction, FrequencyPrintAction});

    WindowMenu = menuBar()->addMenu("&Window");
    connect(WindowMenu, &QMenu::aboutToShow, this, &TConcMainForm::RebuildWindowList);
    RebuildWindowList();

    InfoMenu = menuBar()->addMenu("&Info");
    InfoMenu->addAction(AboutAction);
}

void TConcMainForm::MergeChildMenus(QMdiSubWindow* Active) {
    for (const QPointer<QAction>& A : FMergedMenuActions)
        if (A) menuBar()->removeAction(A);
    FMergedMenuActions.clear();
    const auto* Form = Active ? qobject_cast<TAppMessageForm*>(Active->widget()) : nullptr;
    if (!Form) return;
    std::vector<TAppMessageForm::TMergedMenu> Menus = Form->MergedMenus();
    std::stable_sort(Menus.begin(), Menus.end(),
                     [](const auto& A, const auto& B) { return A.GroupIndex < B.GroupIndex; });
    // The children's groups lie between the main window's Frequency (3) and Window (6) menus; a menu
    // whose commands are not built yet stays out of the bar.
    for (const auto& M : Menus)
        if (M.Menu && !M.Menu->actions().isEmpty())
            FMergedMenuActions.emplace_back(menuBar()->insertMenu(WindowMenu->menuAction(), M.Menu));
}

// The Window menu: the arrangement commands, then one checkable entry per child window.
void TConcMainForm::RebuildWindowList() {
    WindowMenu->clear();
    WindowMenu->addActions({TileHorizontalAction, CascadeAction, ArrangeAction});
    const QList<QMdiSubWindow*> children = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty()) return;
    WindowMenu->addSeparator();
    int number = 0;
    for (QMdiSubWindow* sub : children) {
        // The entry shows the caption as the window does, without reading its "&" as an accelerator.
        QString caption = QString("&%1 %2").arg(++number).arg(LiteralMenuText(ShownWindowTitle(sub)));
        QAction* item = WindowMenu->addAction(caption);
        item->setCheckable(true);
        item->setChecked(sub == FMdiArea->currentSubWindow());
        QPointer<QMdiSubWindow> target(sub);
        connect(item, &QAction::triggered, this, [this, target] {
            if (target) FMdiArea->setActiveSubWindow(target);
        });
    }
}

void TConcMainForm::CreateStatusBar() {
    for (int i = 0; i < 2; ++i) {
        FPanels[i] = new TElidingLabel(this);
        FPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    FPanels[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long hint must not widen the window: panel 0 takes what it is given.
    FPanels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FPanels[1]->setAlignment(Qt::AlignCenter);
    FPanels[1]->setMinimumWidth(LanguagePanelWidth);
    FPanels[1]->setMaximumWidth(LanguagePanelWidth);
    statusBar()->addWidget(FPanels[0], 1);
    statusBar()->addWidget(FPanels[1]);
    statusBar()->setSizeGripEnabled(false);
}

// ---------------------------------------------------------------------------------------------------
// Activation

void TConcMainForm::FormActivate() {
    if (FActivated) return;
    FActivated = true;
    SizeStatusPanels();
    // The menus and panels must follow whatever corpus is loaded, also when loading or processing it
    // raised (a bad heading pattern, a read error); the exception then goes on to the application's
    // handler. Not a guard object: a rebuild raising during the unwinding would end the program.
    auto finish = [this] {
        BuildLanguageMenus();
        UpdateHintPanel();
        UpdateLanguagePanel();
        FActivationDone = true;
    };
    try {
        // Closing with a workspace open never writes the corpus's languages to the preferences, so once
        // workspaces are used the preferences hold no corpus: the last workspace is where the user was.
        bool Reopened = false;
        if (LanguagesCount < 2 && !RecentWorkspaces.empty()) {
            OpenWorkspaceFile(RecentWorkspaces.front());
            Reopened = WorkspaceHeld();
        }
        // A workspace reopened here is left as Open Workspace leaves it: what it lacks (pairs whose
        // alignment a paragraph edit removed, data of files changed since) waits for the user's own Scan
        // or Align Corpus, so that nothing counts as changed before the user changed anything.
        if (!Reopened) {
            if (LanguagesCount < 2) LoadCorpusFiles(true);
            if (ProcessCorpus()) RunAlignment(false, -1, -1);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TConcMainForm::FirstActivation() {
    DeliverCatching([this] {
        FormActivate();
        return true;
    });
}

void TConcMainForm::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && isActiveWindow()) FirstActivation();
}

// Without a window manager a window may never become active; the first show then stands in for it.
void TConcMainForm::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (FActivationQueued) return;
    FActivationQueued = true;
    QTimer::singleShot(0, this, &TConcMainForm::FirstActivation);
}

void TConcMainForm::resizeEvent(QResizeEvent* Event) {
    QMainWindow::resizeEvent(Event);
    SizeStatusPanels();
}

// Hints go to panel 0 instead of Qt's temporary status message.
bool TConcMainForm::event(QEvent* Event) {
    if (Event->type() == QEvent::StatusTip) {
        FHint = static_cast<QStatusTipEvent*>(Event)->tip().toStdString();
        UpdateHintPanel();
        return true;
    }
    return QMainWindow::event(Event);
}

// ---------------------------------------------------------------------------------------------------
// Idle enabling

TActionInputs TConcMainForm::ReadActionInputs() const {
    TActionInputs in;
    for (int i = 0; i < LanguagesCount && !in.HasFiles; ++i) in.HasFiles = LanguageHasFiles(i);
    in.Busy = CorpusInUse();
    // Both look at every file, at each turn of the event loop; while the corpus is busy no command
    // depends on them, and a search turns the loop often.
    if (!in.Busy) {
        in.Aligned = CorpusAligned();
        in.NeedsProcessing = CorpusNeedsProcessing();
    }
    in.AlignWindowsOpen = AlignmentWindowsOpen();
    QMdiSubWindow* active = FMdiArea->currentSubWindow();
    in.ConcordanceActive = active && qobject_cast<TTessivorForm*>(active->widget());
    in.WordListActive = active && qobject_cast<TWordListForm*>(active->widget());
    in.CollocationActive = active && qobject_cast<TCollocationForm*>(active->widget());
    in.WorkspaceLoaded = WorkspaceLoaded;
    in.RecentAvailable = RecentWorkspacesAvailable();
    in.ChildCount = int(FMdiArea->subWindowList().size());
    return in;
}

void TConcMainForm::ApplyActionStates(const TActionStates& S) {
    ViewCorpusFileAction->setEnabled(S.ViewCorpusFile);
    UnloadCorpusAction->setEnabled(S.UnloadCorpus);
    CollectTagsAction->setEnabled(S.CollectTags);
    AlignCorpusAction->setEnabled(S.AlignCorpus);
    SearchMenu->menuAction()->setVisible(S.SearchMenuVisible);
    for (QAction* a : {SearchAction, AdvancedSearchAction, ParallelSearchAction}) a->setEnabled(S.Search);
    SearchOptionsAction->setEnabled(S.SearchOptions);
    FrequencyMenu->menuAction()->setVisible(S.FrequencyMenuVisible);
    if (S.SetWordListOrders) {
        FrequencyOrderMenu->menuAction()->setEnabled(S.WordListOrders);
        AlphabeticalOrderMenu->menuAction()->setEnabled(S.WordListOrders);
    }
    SaveWorkspaceAction->setEnabled(S.SaveWorkspace);
    SaveOnExitAction->setEnabled(S.SaveWorkspace);
    RecentWorkspacesAction->setEnabled(S.RecentWorkspaces);
    WindowMenu->menuAction()->setVisible(S.WindowMenuVisible);
    CollocateFrequencyDataMenu->menuAction()->setEnabled(S.Collocation);
    AdvancedCollocationMenu->menuAction()->setEnabled(S.Collocation);
    FrequencySaveAction->setEnabled(S.WordListOutput);
    FrequencyPrintAction->setEnabled(S.WordListOutput);
    FrequencyCopyToCB->setEnabled(S.CollocationCopy);
    // Ctrl+C belongs to the children's own controls unless the copy command can use it.
    const QKeySequence CopyKey = S.CollocationCopy ? QKeySequence("Ctrl+C") : QKeySequence();
    if (FrequencyCopyToCB->shortcut() != CopyKey) FrequencyCopyToCB->setShortcut(CopyKey);
    for (QAction* a : {LoadCorpusFileAction, OpenWorkspaceAction, SaveWorkspaceAsAction, NormalTagsAction,
                       PartofSpeechTagsAction, FrequencyOptionsAction})
        a->setEnabled(S.CorpusCommands);
}

// Runs whenever the event loop is about to wait; setting a state a widget already has costs nothing.
void TConcMainForm::UpdateActions() {
    if (FUpdatingActions) return;
    FUpdatingActions = true;
    DeliverCatching([this] {
        const TActionStates States = ComputeActionStates(ReadActionInputs());
        ApplyActionStates(States);
        // Aligning is what the corpus waits for exactly while the command that does it is offered.
        if (States.AlignCorpus != FAwaitsAlignment) {
            FAwaitsAlignment = States.AlignCorpus;
            UpdateHintPanel();
        }
        return true;
    });
    FUpdatingActions = false;
}

// ---------------------------------------------------------------------------------------------------
// Status bar and caption

void TConcMainForm::UpdateHintPanel() {
    const int files = LanguagesCount > 0 && LanguageConfigs[0] ? int(LanguageConfigs[0]->Files.size()) : 0;
    FPanels[0]->SetFullText(ToQString(HintPanelText(FHint, FStatusText, files, FAwaitsAlignment)));
}

void TConcMainForm::UpdateLanguagePanel() {
    FLanguagePanelDue = false;
    FLanguagePanelAt = std::chrono::steady_clock::now();
    std::vector<int64_t> counts;
    for (int i = 0; i < LanguagesCount; ++i)
        counts.push_back(LanguageConfigs[i] ? LanguageConfigs[i]->GetWordCount() : 0);
    FPanels[1]->SetFullText(ToQString(LanguagePanelText(counts, LanguageHasFiles(0))));
    SizeStatusPanels();
}

// A load adds or removes its files one message at a time, 20,000 of them in a large corpus, and the panel
// sums the words of every file: refreshed at each message, the load would grow with the square of the
// files. So during a run of messages it is refreshed at most once in this time.
constexpr std::chrono::milliseconds LanguagePanelPace{50};

void TConcMainForm::UpdateLanguagePanelSoon() {
    if (FLanguagePanelDue) return;
    const auto Since = std::chrono::steady_clock::now() - FLanguagePanelAt;
    if (Since >= LanguagePanelPace) {
        UpdateLanguagePanel();
        return;
    }
    FLanguagePanelDue = true;
    QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(LanguagePanelPace - Since), this, [this] {
        if (FLanguagePanelDue) UpdateLanguagePanel();
    });
}

// A bound from above only, so that the window can still be made narrower.
void TConcMainForm::SizeStatusPanels() {
    // Only bounds, never a fixed width: the window must still be narrowed below what the panels show.
    const int Language = LanguagePanelWidthFor(FPanels[1]->FullTextWidth(), statusBar()->width());
    FPanels[1]->setMaximumWidth(Language);
    FPanels[0]->setMaximumWidth(std::max(0, statusBar()->width() - Language));
}

void TConcMainForm::UpdateCaption() {
    if (!WorkspaceLoaded) return;
    MainCaption = WorkspaceCaption(WorkspaceFileName);
    SetLiteralWindowTitle(this, ToQString(MainCaption));
}

void TConcMainForm::CloseAllChildren() {
    for (;;) {
        const QList<QMdiSubWindow*> children = FMdiArea->subWindowList(QMdiArea::StackingOrder);
        if (children.isEmpty()) return;
        QMdiSubWindow* top = children.last();
        if (TAppMessageReceiver* receiver = ReceiverOf(top)) receiver->MarkClosing();
        delete top;
    }
}

// ---------------------------------------------------------------------------------------------------
// Corpus commands

void TConcMainForm::LoadCorpus() {
    if (!SaveChangesFirst()) return;
    try {
        if (LoadCorpusFiles(false)) {
            if (ProcessCorpus())
                RunAlignment(false, -1, -1);
            else
                EnsureAlignIndexLists();
        }
        // The dialog changes the languages at once, also when it is then cancelled: the menus follow.
        BuildLanguageMenus();
    } catch (...) {
        BuildLanguageMenus();
        UpdateHintPanel();
        UpdateLanguagePanel();
        throw;
    }
    UpdateHintPanel();
    UpdateLanguagePanel();
}

void TConcMainForm::UnloadCorpus() {
    if (!SaveChangesFirst()) return;
    TWaitScope wait;
    CloseAllChildren();
    for (int language = 0; language < LanguagesCount; ++language) {
        TConcordConfig* config = LanguageConfigs[language].get();
        for (int file = config ? int(config->Files.size()) - 1 : -1; file >= 0; --file)
            config->RemoveFile(file);
    }
    for (std::unique_ptr<TDoubleAlignIndexes>* pairs : {&Align12, &Align13, &Align14}) pairs->reset();
    // The corpus's word lists go with its files: they count words that no file holds any more.
    for (int language = 0; language < LanguagesCount; ++language) {
        TConcordConfig* config = LanguageConfigs[language].get();
        if (config) config->FreqList.reset();
    }
    // The workspace ends with its corpus: a corpus loaded next must never be saved over it on exit, and
    // closing saves the preferences again, so that the next start finds that corpus.
    WorkspaceFileName.clear();
    WorkspaceLoaded = false;
    WorkspaceIncomplete = false;
    ForgetWorkspaceState();
    MainCaption = ProductTitle;
    setWindowTitle(ToQString(MainCaption));
    PostStatusText("");
    UpdateLanguagePanel();
    // What the corpus held (hundreds of megabytes for one of thousands of files) would otherwise stay
    // with the process as free heap until the next corpus fills it.
    platform::ReleaseFreeMemory();
}

void TConcMainForm::ScanCorpus() {
    // A file changed since it was processed is read anew and processed again.
    ReopenChangedCorpusFiles();
    if (ProcessCorpus()) RunAlignment(false, -1, -1);
    UpdateLanguagePanel();
}

// ---------------------------------------------------------------------------------------------------
// Closing

// With Save On Exit the workspace is saved; a save that fails (reported here, inside the handler) keeps
// the window open. Otherwise what would be lost (unsaved changes of the workspace, or corrections that no
// workspace holds) is asked about first: Cancel, or a save that failed, keeps the window open.
void TConcMainForm::closeEvent(QCloseEvent* Event) {
    TCloseDecision decision = DecideClose(CorpusInUse(), WorkspaceLoaded, SaveOnExit);
    if (decision == TCloseDecision::Refuse) {
        Event->ignore();
        return;
    }
    const bool HeldBefore = WorkspaceHeld();
    const bool SavedAnyway = decision == TCloseDecision::SaveWorkspace && HeldBefore;
    if (!SavedAnyway && !DeliverCatching([this] { return SaveChangesFirst(); })) {
        Event->ignore();
        return;
    }
    // Corrections saved as a workspace just now make it the open one, written a moment ago: the
    // preferences no longer name the corpus, and saving it again would only repeat that.
    if (!HeldBefore && WorkspaceHeld()) decision = TCloseDecision::SaveNothing;
    const bool goOn = DeliverCatching([&] {
        if (decision == TCloseDecision::SavePreferences) {
            SavePreferences();
            return true;
        }
        return decision != TCloseDecision::SaveWorkspace || SaveOnExitAllowsClose();
    });
    if (!goOn && decision == TCloseDecision::SaveWorkspace) {
        Event->ignore();
        return;
    }
    Event->accept();
}

// ---------------------------------------------------------------------------------------------------
// Workspaces

namespace {

// Names typed without an extension get ".TWS"; a save replaces an existing file without asking.
std::string ChooseWorkspaceFile(bool Save, const char* Title) {
    TFileDialogRequest request;
    request.Save = Save;
    request.ConfirmOverwrite = false;
    request.Title = Title;
    request.Folder = WorkspacePath;
    request.Filter = "Tessivor Pro Workspaces (*.TWS *.tws);;All Files (*)";
    request.DefaultSuffix = "TWS";
    const std::vector<std::string> chosen = ExecuteFileDialog(request);
    return chosen.empty() ? std::string() : chosen.front();
}

}  // namespace

void TConcMainForm::OpenWorkspace() {
    const std::string name = ChooseWorkspaceFile(false, "Select Workspace to Open");
    if (!name.empty()) OpenWorkspaceFile(name);
}

void TConcMainForm::OpenWorkspaceFile(const std::string& FileName) {
    if (!SaveChangesFirst()) return;
    CloseAllChildren();
    FreeLanguageConfigs();
    ForgetWorkspaceState();
    // Whatever the open did, the menus and panels must show the languages and files now configured;
    // an exception then goes on to the application's handler.
    auto finish = [this] {
        // Settings that could not be read leave no language; every window expects language 0.
        if (LanguagesCount == 0) {
            LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
            LanguagesCount = 1;
        }
        BuildLanguageMenus();
        PostStatusText("");
        UpdateHintPanel();
        UpdateLanguagePanel();
    };
    // While the open reads the files and says what it found, the window names the workspace being
    // opened: the last one is gone already. The status text is set at once, since a message may come
    // before any posted one is delivered.
    MainCaption = WorkspaceCaption(FileName);
    setWindowTitle(ToQString(MainCaption));
    CMStatusText("Opening workspace " + FileName + "...");
    try {
        if (LoadWorkspace(FileName))
            WorkspaceOpened();
        else
            ShowNoWorkspace();
    } catch (...) {
        ShowNoWorkspace();
        finish();
        throw;
    }
    finish();
}

// A workspace that did not open left nothing loaded: the caption names none.
void TConcMainForm::ShowNoWorkspace() {
    MainCaption = ProductTitle;
    setWindowTitle(ToQString(MainCaption));
}

void TConcMainForm::OpenRecentWorkspace() {
    const std::string name = ChooseRecentWorkspace();
    if (!name.empty()) OpenWorkspaceFile(name);
}

bool TConcMainForm::SaveWorkspaceFile(bool Ask) {
    // After a failed open there is no current workspace, and the one that failed must stay as it is.
    if (WorkspaceFileName.empty()) return false;
    if (Ask && !ShowWorkspaceOptions(false)) return false;
    if (WorkspaceIncomplete && !WarningYesNo(IncompleteWorkspaceQuestion(WorkspaceFileName), false))
        return false;
    return SaveWorkspace(WorkspaceFileName);
}

bool TConcMainForm::SaveOnExitAllowsClose() {
    // After a failed open there is nothing to save; a workspace that opened with data missing is kept as
    // it is on disk when the user says so.
    if (WorkspaceFileName.empty()) return true;
    if (WorkspaceIncomplete && !WarningYesNo(IncompleteWorkspaceQuestion(WorkspaceFileName), false))
        return true;
    return SaveWorkspace(WorkspaceFileName);
}

bool TConcMainForm::SaveWorkspaceAs() {
    const std::string name = ChooseWorkspaceFile(true, "Save Workspace As");
    if (name.empty()) return false;
    if (name == WorkspaceFileName) {
        ShowError(
            "This is the currently loaded workspace and you can not overwrite it. Please use \"Save "
            "Workspace...\" command or choose a new name.");
        return false;
    }
    if (const std::string problem = WorkspaceNameProblem(name); !problem.empty()) {
        ShowError(problem);
        return false;
    }
    if (!ShowWorkspaceOptions(true) || !SaveWorkspace(name)) return false;
    WorkspaceFileName = name;
    WorkspaceOpened();
    return true;
}

bool TConcMainForm::WorkspaceHeld() {
    return WorkspaceLoaded && !WorkspaceFileName.empty();
}

bool TConcMainForm::SaveChangesFirst() {
    // Comparing the corpus with what the workspace held costs a pass over it: only when one is open.
    const bool Held = WorkspaceHeld();
    const TEndQuestion Question =
        DecideEndQuestion(Held, Held && WorkspaceChanged(), !Held && UnsavedHandCorrections());
    if (Question == TEndQuestion::None) return true;
    const bool Changes = Question == TEndQuestion::SaveWorkspaceChanges;
    switch (ConfirmYesNoCancel(Changes ? SaveChangesQuestion(WorkspaceFileName) : SaveCorrectionsQuestion,
                               true)) {
        case mrYes:
            return Changes ? SaveWorkspaceFile(false) : SaveWorkspaceAs();
        case mrNo:
            return true;
        default:
            return false;
    }
}

void TConcMainForm::ToggleSaveOnExit() {
    SaveOnExit = !SaveOnExit;
    SaveOnExitAction->setChecked(SaveOnExit);
}

void TConcMainForm::WorkspaceOpened() {
    WorkspaceLoaded = true;
    WorkspacePath = WorkspaceFolder(WorkspaceFileName);
    // The workspace is open whether or not the recent list reaches the preferences file.
    DeliverCatching([] {
        UpdateRecentWorkspaces();
        return true;
    });
    UpdateCaption();
    BuildLanguageMenus();
}

// ---------------------------------------------------------------------------------------------------
// Application messages

intptr_t TConcMainForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    switch (Msg) {
        case CM_OPENCORPUSVIEW:
            CMOpenCorpusView(int(WParam), int(LParam));
            break;
        case CM_FILEREMOVED:
            CMFileRemoved(int(WParam), int(LParam));
            break;
        case CM_REMOVELANGUAGE:
            CMRemoveLanguage(int(WParam));
            break;
        case CM_FREQSETTINGSCHANGED:
            CMFreqSettingsChanged(int(WParam), LParam);
            break;
        case CM_FILEADDED:
            CMFileAdded(int(WParam));
            break;
        case CM_FILESEXCHANGED:
            CMFilesExchanged(WParam, LParam);
            break;
        case CM_GETCLIENTSIZE:
            return CMGetClientSize();
        default:
            break;
    }
    return 0;
}

void TConcMainForm::CMStatusText(const std::string& Text) {
    FStatusText = Text;
    UpdateHintPanel();
}

void TConcMainForm::CMOpenCorpusView(int Language, int FileIndex) {
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[Language]) return;
    const auto& files = LanguageConfigs[Language]->Files;
    if (FileIndex < 0 || FileIndex >= int(files.size())) return;
    const std::string fileName = files[FileIndex].Name;
    for (QMdiSubWindow* sub : FMdiArea->subWindowList()) {
        if (!IsCorpusViewOf(sub->widget(), Language, fileName)) continue;
        sub->show();
        FMdiArea->setActiveSubWindow(sub);
        sub->showNormal();
        return;
    }
    ShowCorpusText(FMdiArea, fileName, Language);
}

void TConcMainForm::CMFileRemoved(int Language, int FileIndex) {
    UpdateLanguagePanelSoon();
    BroadcastToChildren(CM_DROPFILE, Language, FileIndex);
}

// The sender drops the language from the array afterwards; resetting the slot here leaves nothing that
// could reach the freed configuration meanwhile.
void TConcMainForm::CMRemoveLanguage(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[Language]) return;
    for (int i = int(LanguageConfigs[Language]->Files.size()) - 1; i >= 0; --i) {
        SendToMainForm(CM_FILEREMOVED, Language, i);
        if (!LanguageConfigs[Language]) return;
    }
    LanguageConfigs[Language].reset();
}

void TConcMainForm::CMFreqSettingsChanged(int Language, intptr_t Dropped) {
    if (Dropped == 1) UpdateLanguagePanel();
}

void TConcMainForm::CMFileAdded(int Language) {
    UpdateLanguagePanelSoon();
}

void TConcMainForm::CMFilesExchanged(intptr_t WParam, intptr_t LParam) {
    BroadcastToChildren(CM_FILESEXCHANGED, WParam, LParam);
}

intptr_t TConcMainForm::CMGetClientSize() const {
    const QSize size = FMdiArea->viewport()->size();
    return PackClientSize(size.width(), size.height());
}
