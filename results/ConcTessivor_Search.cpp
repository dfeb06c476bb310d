// The searches that fill a concordance window: a single search, an appended one, one within the current
// lines, and the parallel search with its threads.
#include <QApplication>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "controls/ThreadWake.h"
#include "engine/ConcErrors.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearch.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "results/ConcParaContext.h"
#include "results/ConcParaSearchThread.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcStartedSearch.h"
#include "results/ConcTessivor.h"
#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

#include <new>
#include <optional>
#include <system_error>

namespace {

constexpr TColor Yellow = 0x00FFFF;
// The primary list switches its collocate shading on once it holds this many lines.
constexpr int32_t CollocateStartCount = 100;
// How often the panes and the match count follow a running search.
constexpr std::chrono::milliseconds PaneRefreshInterval{100};
// How often the window looks at a search running beside it when no batch of hits wakes it: hits that
// trickle in, the gauges and the Cancel button.
constexpr std::chrono::milliseconds SearchLookInterval{10};
// A search that ends sooner than this shows no progress window, and the panes of its window are first
// filled when it ends: a frame replaced a few milliseconds later shows the user nothing and costs the
// search the painting of its lines.
constexpr std::chrono::milliseconds SearchShowDelay{50};

QWidget* MainWindowOf(QWidget* Form) {
    QMdiArea* Area = MdiAreaOf(Form);
    return Area ? Area->window() : nullptr;
}

void Prepare(TSearch& Search, const TConcSearchRec& Record) {
    uint8_t Stage = 0;
    std::string Error;
    Search.Prepare(Record, Stage, Error);
    if (Stage != 0) throw EConcError(Error);
}

TColor CollocateColour(int Language) {
    return LanguageConfigs[size_t(Language)]->Fonts[CollocatesFont].Color;
}

// Frees a window whose first search failed, with its sub-window.
void FreeWindow(TTessivorForm* Form) {
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(Form->parentWidget()))
        delete Sub;
    else
        delete Form;
}

TTessivorForm* ActiveConcordance(QMdiArea* Area) {
    if (!Area || !Area->activeSubWindow()) return nullptr;
    return qobject_cast<TTessivorForm*>(Area->activeSubWindow()->widget());
}

// A new window's making and first layout take about as long as a small corpus's search: the search
// starts before them, its hits waiting until the window takes them. Without a thread to be had the
// search is left to the window (no Runner). Thread: made ahead for it, or nullptr. Raises EConcError
// when the query does not compile.
std::unique_ptr<TTessivorForm::TStartedSearch> StartSearch(const TConcSearchRec& Record,
                                                           std::unique_ptr<TSearchThread> Thread = nullptr) {
    auto Started = std::make_unique<TTessivorForm::TStartedSearch>();
    Prepare(Started->Search, Record);
    Started->Wait.emplace();
    Started->Started = std::chrono::steady_clock::now();
    TTessivorForm::TStartedSearch* Target = Started.get();
    try {
        Started->Runner.emplace(
            Started->Search, CommonConfig->MaximumHits, [Target] { Target->Waker.Wake(); },
            std::move(Thread));
    } catch (const std::system_error&) {
    }
    return Started;
}

}  // namespace

// The time a search runs: the window is marked busy and the main window's caption says so; both are
// undone however the search ends.
class TSearchScope {
public:
    // Area: where a window not yet shown is to be shown (nullptr: where it is).
    TSearchScope(TTessivorForm& Form, QMdiArea* Area)
        : FForm(Form), FMain(Area ? Area->window() : MainWindowOf(&Form)) {
        FForm.FSearching = true;
        if (FMain) {
            FCaption = FMain->windowTitle();
            FMain->setWindowTitle(QApplication::applicationName() + " - Searching");
        }
    }
    ~TSearchScope() {
        FForm.FSearching = false;
        if (FMain) FMain->setWindowTitle(FCaption);
    }
    TSearchScope(const TSearchScope&) = delete;
    TSearchScope& operator=(const TSearchScope&) = delete;

private:
    TTessivorForm& FForm;
    QPointer<QWidget> FMain;
    QString FCaption;
};

// The panes show every line a search found once it ends, however it ends. They follow it first after
// FirstAfter (0: the first hits show at once), then by the clock.
struct TTessivorForm::TFinalRows {
    TTessivorForm& Form;
    TFinalRows(TTessivorForm& Form, std::chrono::milliseconds FirstAfter) : Form(Form) {
        Form.FRowsShown = FirstAfter.count() == 0
                              ? std::chrono::steady_clock::time_point{}
                              : std::chrono::steady_clock::now() - PaneRefreshInterval + FirstAfter;
    }
    ~TFinalRows() { Form.ShowGrownRows(true); }
    TFinalRows(const TFinalRows&) = delete;
    TFinalRows& operator=(const TFinalRows&) = delete;
};

// ---- The window's searches ------------------------------------------------------------------------------

void TTessivorForm::RowsGrew(int Language) {
    if (Language == PrimaryLanguage) {
        TConcordItems& Primary = *Lists[size_t(Language)];
        if (HighlightCollocates[size_t(Language)] && Primary.Count() == CollocateStartCount &&
            !Primary.HighlightCollocates) {
            Primary.SetHighlightCollocates(true);
            Redraw(Language);
        }
    }
}

void TTessivorForm::ShowGrownRows(bool Now) {
    const auto Tick = std::chrono::steady_clock::now();
    if (!Now && Tick - FRowsShown < PaneRefreshInterval) return;
    FRowsShown = Tick;
    for (int L = 0; L < LanguageCount; ++L) {
        if (Views[size_t(L)]) Views[size_t(L)]->ItemsChanged();
    }
    UpdateMatchCount();
}

void TTessivorForm::AddHitRows(std::unique_ptr<TConcordItem> Hit) {
    AddSearchHit(Lists, LanguageCount, PrimaryLanguage, std::move(Hit));
    for (int L = 0; L < LanguageCount; ++L) RowsGrew(L);
}

void TTessivorForm::SearchHit(std::unique_ptr<TConcordItem> Hit) {
    AddHitRows(std::move(Hit));
    ShowGrownRows(false);
}

void TTessivorForm::ShowSearchState() {
    UpdateMatchCount();
    UpdateSortCaption();
    UpdateQueryPanel();
}

void TTessivorForm::RunSearch(QMdiArea* ShowIn) {
    RunSearch(ShowIn, nullptr);
}

void TTessivorForm::RunSearch(QMdiArea* ShowIn, std::unique_ptr<TStartedSearch> Started) {
    const TSearchScope Scope(*this, ShowIn);
    const TFinalRows FinalRows{*this, SearchShowDelay};
    const TConcSearchRec& Record = *Records[size_t(PrimaryLanguage)];
    if (!Started) Started = StartSearch(Record);
    QueryText = Record.Names.empty() ? std::string() : Record.Names.front();
    // A sub-window lays out its title bar many times as it is added and shown, and each time fits its
    // caption to it anew: a new one gets its caption once it stands, before it is painted.
    if (!ShowIn) UpdateCaption();
    const int32_t Before = Lists[size_t(PrimaryLanguage)]->Count();
    bool OutOfMemory = false;
    try {
        std::function<void()> Show;
        if (ShowIn)
            Show = [this, ShowIn] {
                ShowMdiChild(ShowIn, this);
                UpdateCaption();
            };
        OutOfMemory = ExecuteBeside(*Started, Show);
    } catch (const std::bad_alloc&) {
        // The hits found so far are whole and in step in every pane: they are what the user keeps.
        OutOfMemory = true;
    }
    // The lines found so far stay however the search ended; whether they are every hit is said.
    RecordSearchEnd(OutOfMemory ? TSearchEnd::Cancelled
                                : SearchEndOf(Started->Search, CommonConfig->MaximumHits));
    if (OutOfMemory) ShowOutOfMemory(SearchOutOfMemoryText);
    ShadeFoundCollocates();
    ShowSearchState();
    ReleaseSearchSlack(Before);
}

void TTessivorForm::RecordSearchEnd(TSearchEnd End) {
    SearchEnd = JoinSearchEnds(SearchEnd, End);
    if (End == TSearchEnd::Capped) SearchEndMaximum = CommonConfig->MaximumHits;
    UpdateCaption();
    DescribeDistribution();
}

void TTessivorForm::ShadeFoundCollocates() {
    if (!HighlightCollocates[size_t(PrimaryLanguage)]) return;
    TConcordItems& Primary = *Lists[size_t(PrimaryLanguage)];
    // The lines laid out were shaded as their rows came: only a new colour, or shading that starts only
    // now (a search that found fewer lines than shading waits for while it runs), changes them.
    const bool Shaded =
        Primary.HighlightCollocates && Primary.CollocColour == CollocateColour(PrimaryLanguage);
    Primary.CollocColour = CollocateColour(PrimaryLanguage);
    Primary.SetHighlightCollocates(true);
    if (!Shaded) Redraw(PrimaryLanguage);
}

// The scan costs the same on any thread, while what the window does for each hit (a row in every
// language, collocates, the panes) and for the user (paints, the gauges, Cancel) cost the scan their
// time when they came between its steps: the search runs on a thread of its own and this thread takes
// its hits in batches, in the order found, keeping the event loop turning meanwhile.
bool TTessivorForm::ExecuteBeside(TStartedSearch& Started, const std::function<void()>& Show) {
    const TWaitScope Wait;
    Started.Wait.reset();
    TSearch& Search = Started.Search;
    std::unique_ptr<TDoubleProgressForm> Window;
    QEventLoop Loop;
    std::vector<std::unique_ptr<TConcordItem>> Hits;
    bool Ended = false;
    bool OutOfMemory = false;
    TSearchRunner* Running = nullptr;
    // While the new frame is not painted (PaintLater below).
    bool Unpainted = false;
    bool LaidOut = false;
    // Puts the hits taken into the lists; after memory ran out they are freed instead.
    const auto TakeHits = [&] {
        Ended = Running->Take(Hits);
        for (auto& Hit : Hits) {
            if (OutOfMemory) break;
            try {
                AddHitRows(std::move(Hit));
            } catch (const std::bad_alloc&) {
                OutOfMemory = true;
                Running->Stop();
            }
        }
        Hits.clear();
        TConcordItems& Primary = *Lists[size_t(PrimaryLanguage)];
        Primary.CountDeferredCollocates();
        // The panes lay out their first lines as soon as these are final (the primary pane's shading
        // starts at its hundredth row), while the frame is not painted, rather than once the search has
        // ended: lines added below a full pane change nothing on it.
        if (Unpainted && !LaidOut && Primary.Count() >= CollocateStartCount) {
            LaidOut = true;
            for (int L = 0; L < LanguageCount; ++L)
                if (Views[size_t(L)]) Views[size_t(L)]->ItemsChanged();
        }
        ShowGrownRows(false);
    };
    // A quit asked for before the loop turns is lost: every later look asks again.
    const auto Look = [&] {
        if (!Ended) TakeHits();
        if (Ended) Loop.quit();
    };
    if (!Started.Runner) {
        // No thread to be had: the search runs here, with its window, between the window's own steps.
        if (Show) Show();
        Search.Execute(
            false, CommonConfig->MaximumHits,
            [this](std::unique_ptr<TConcordItem> Hit) { SearchHit(std::move(Hit)); }, {}, 0);
        return false;
    }
    std::optional<TSearchRunner>& Runner = Started.Runner;
    Running = &*Runner;
    // This thread mostly waits for the search's: it counts the collocates of each batch itself. A
    // thread of the list's own, woken for every batch, was put beside the search's thread by the system
    // and took its turns from it.
    struct TDeferCollocates {
        TConcordItems& List;
        explicit TDeferCollocates(TConcordItems& List) : List(List) { List.SetDeferCollocates(true); }
        ~TDeferCollocates() { List.SetDeferCollocates(false); }
    } Defer{*Lists[size_t(PrimaryLanguage)]};
    // Look reads this frame's locals: no wake reaches it once the frame is left, however it is left.
    struct TLookWhileHere {
        std::function<void()>& OnWake;
        ~TLookWhileHere() { OnWake = nullptr; }
    } LookWhileHere{Started.OnWake};
    Started.OnWake = Look;
    // Shown and laid out while the search runs, but painted only once its panes follow the search: a
    // frame painted empty and painted again a few milliseconds later costs the search as much.
    if (Show) Show();
    struct TPaintLater {
        QPointer<QWidget> Frame;
        void Now() {
            if (Frame) Frame->setUpdatesEnabled(true);
            Frame = nullptr;
        }
        ~TPaintLater() { Now(); }
    } PaintLater{Show ? (parentWidget() ? parentWidget() : this) : nullptr};
    if (PaintLater.Frame) PaintLater.Frame->setUpdatesEnabled(false);
    Unpainted = PaintLater.Frame != nullptr;
    TSearchReachShown ReachShown;
    auto GaugesShown = std::chrono::steady_clock::time_point{};
    QTimer Timer;
    Timer.setInterval(SearchLookInterval);
    QObject::connect(&Timer, &QTimer::timeout, &Loop, [&] {
        const auto Now = std::chrono::steady_clock::now();
        if (!Window) {
            if (Now - Started.Started < SearchShowDelay) return Look();
            PaintLater.Now();
            Unpainted = false;
            Window = Search.OpenProgressWindow(0);
        }
        if (Window->Tag == 1) Runner->Stop();
        if (Now - GaugesShown >= SearchGaugeInterval) {
            GaugesShown = Now;
            Search.ShowReach(*Window, Runner->Reach, ReachShown);
        }
        Look();
    });
    Timer.start();
    // The hits of a search that started before its window wait already, and a wake that came before
    // the window followed the search is not repeated.
    Look();
    if (!Ended) Loop.exec();
    Timer.stop();
    // The event loop may have been left for the application's end: the search then stops too.
    if (!Ended) Runner->Stop();
    Runner->Wait();
    if (!Ended) TakeHits();
    Window.reset();
    if (std::exception_ptr Failure = Runner->Failure()) std::rethrow_exception(Failure);
    // A file changed since it was opened is left out, as it would be with the search on this thread, and
    // all of them are named in one box.
    if (!Search.ChangedFiles.empty()) ShowWarning(ChangedFilesText(Search.ChangedFileNames()));
    return OutOfMemory;
}

void TTessivorForm::AppendSearch(std::unique_ptr<TConcSearchRec> Record) {
    if (FSearching || !Record) return;
    auto& Old = Records[size_t(PrimaryLanguage)];
    if (Old) JoinAppendedQuery(*Record, *Old);
    Old = std::move(Record);
    for (int L = 0; L < LanguageCount; ++L) {
        if (!HighlightCollocates[size_t(L)]) continue;
        if (L == PrimaryLanguage) {
            Lists[size_t(L)]->CollocColour = Yellow;
            Redraw(L);
        } else {
            ClearHotWords(L, false);
            HotWordLists[size_t(L)].reset();
            TranslationLists[size_t(L)].reset();
        }
    }
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        Sub->showNormal();
        if (QMdiArea* Area = MdiAreaOf(this)) Area->setActiveSubWindow(Sub);
    } else {
        showNormal();
        raise();
    }
    const int32_t Before = Lists[size_t(PrimaryLanguage)]->Count();
    // Unshaded lists count no line added to them: they go, and are counted again when next shown.
    if (!Lists[size_t(PrimaryLanguage)]->HighlightCollocates)
        Lists[size_t(PrimaryLanguage)]->FreeCollocateLists();
    RunSearch();
    if (Lists[size_t(PrimaryLanguage)]->Count() > Before && SortedLanguage >= 0) {
        ResetSort();
        SortedLanguage = -1;
        SortUndefined = true;
        UpdateSortCaption();
    }
}

void TTessivorForm::RunParallelSearch() {
    const TSearchScope Scope(*this, nullptr);
    const TFinalRows FinalRows{*this, std::chrono::milliseconds(0)};
    TParallelSearch Threads(PrimaryLanguage, LanguageCount, Records);
    const TConcSearchRec& Record = *Records[size_t(PrimaryLanguage)];
    const int32_t Before = Lists[size_t(PrimaryLanguage)]->Count();
    TSearch Search;
    Prepare(Search, Record);
    QueryText = Record.Names.empty() ? std::string() : Record.Names.front();
    UpdateCaption();
    // The threads answer at once unless a unit is huge or a pattern hard: the Cancel button must still
    // be heard while the main thread waits for them.
    const TCancelPoll Poll = [&Search] {
        ProcessMessages();
        return Search.ProgressWindow != nullptr && Search.ProgressWindow->Tag == 1;
    };
    std::exception_ptr Failure;
    bool OutOfMemory = false;
    try {
        Failure = RunParallelRows(Search, Threads, Lists, false, CommonConfig->MaximumHits, Poll,
                                  [this](int32_t L) {
                                      RowsGrew(L);
                                      // The languages of a kept hit come in order: the last one ends it.
                                      if (L == LanguageCount - 1) ShowGrownRows(false);
                                  });
    } catch (const std::bad_alloc&) {
        Failure = std::current_exception();
        OutOfMemory = true;
    }
    RecordSearchEnd(OutOfMemory ? TSearchEnd::Cancelled : SearchEndOf(Search, CommonConfig->MaximumHits));
    ShadeFoundCollocates();
    ShowSearchState();
    ReleaseSearchSlack(Before);
    if (!Failure) return;
    try {
        std::rethrow_exception(Failure);
    } catch (const std::bad_alloc&) {
        ShowOutOfMemory(SearchOutOfMemoryText);
    } catch (const std::exception& E) {
        ShowError(E.what());
    }
}

void TTessivorForm::SearchWithinResults() {
    if (Busy()) return;
    const int Language = CommandLanguage();
    std::unique_ptr<TConcSearchRec> Record =
        ShowSearchQuery(false, PrimaryLanguage, true, Records[size_t(Language)].get(), Language, false);
    if (!Record) return;
    const int32_t Matched = SearchWithinLines(Language, std::move(Record));
    // The marks alone do not tell how many of a long list's lines matched.
    if (Shows(Language))
        HoldStatus(
            SearchWithinStatusText(FocusedStatusText(Language), Matched, Lists[size_t(Language)]->Count()));
}

int32_t TTessivorForm::SearchWithinLines(int Language, std::unique_ptr<TConcSearchRec> Record) {
    if (FSearching || !Record || Language < 0 || Language >= LanguageCount) return 0;
    SearchLanguage = Language;
    Records[size_t(Language)] = std::move(Record);
    struct TFreeReaders {
        TReaderList& Readers;
        ~TFreeReaders() { Readers.clear(); }
    } FreeReaders{Readers};
    Readers = OpenReaders(Language);
    int32_t Matched = 0;
    {
        const TSearchScope Scope(*this, nullptr);
        TSearch Search;
        Prepare(Search, *Records[size_t(Language)]);
        Matched = SearchWithinRows(Search, *Lists[size_t(Language)], ExclusionList.get(), Readers, false,
                                   CommonConfig->MaximumHits);
    }
    TConcordItems& List = *Lists[size_t(Language)];
    if (HighlightCollocates[size_t(Language)]) List.CollocColour = CollocateColour(Language);
    // The lines hold other words now: lists counted before the search would count the old ones.
    RecountCollocates(Language, HighlightCollocates[size_t(Language)]);
    Redraw(Language);
    UpdateCommands(Language);
    RefreshDistribution();
    BroadcastCollocDataDropped(Language);
    return Matched;
}

// ---- Opening windows ----------------------------------------------------------------------------------

namespace {

// The window Record is appended to, or nullptr when it gets a window of its own.
TTessivorForm* AppendTarget(QMdiArea* Area, const TConcSearchRec& Record) {
    if (!(Record.Flags & sfAppend)) return nullptr;
    TTessivorForm* Active = ActiveConcordance(Area);
    return Active && Active->PrimaryLanguage == Record.Language && !Active->SearchRunning() ? Active
                                                                                            : nullptr;
}

}  // namespace

std::unique_ptr<TTessivorForm::TStartedSearch> StartConcordanceSearch(QMdiArea* Area,
                                                                      const TConcSearchRec& Record,
                                                                      std::unique_ptr<TSearchThread> Thread) {
    if (AppendTarget(Area, Record)) return nullptr;
    try {
        return StartSearch(Record, std::move(Thread));
    } catch (const std::exception&) {
        // NewConcordanceWindow tries again and raises it where it is shown.
        return nullptr;
    }
}

TTessivorForm* NewConcordanceWindow(QMdiArea* Area, std::unique_ptr<TConcSearchRec> Record,
                                    std::unique_ptr<TSearchThread> Thread) {
    return NewConcordanceWindow(Area, std::move(Record), std::move(Thread), nullptr);
}

TTessivorForm* NewConcordanceWindow(QMdiArea* Area, std::unique_ptr<TConcSearchRec> Record,
                                    std::unique_ptr<TSearchThread> Thread,
                                    std::unique_ptr<TTessivorForm::TStartedSearch> Started) {
    if (TTessivorForm* Active = AppendTarget(Area, *Record)) {
        Active->AppendSearch(std::move(Record));
        return Active;
    }
    if (!Started) Started = StartSearch(*Record, std::move(Thread));
    auto* Form = new TTessivorForm;
    Form->LanguageCount = std::min<int32_t>(LanguagesCount, MaxLanguages);
    Form->PrimaryLanguage = Record->Language;
    Form->QueryText = Record->Names.empty() ? std::string() : Record->Names.front();
    Form->Records[size_t(Record->Language)] = std::move(Record);
    Form->BuildPanels();
    Form->SizeForArea(Area);
    // A window of its own shows at once; a sub-window once its search has run a moment.
    if (!Area) ShowMdiChild(Area, Form);
    try {
        Form->RunSearch(Area, std::move(Started));
    } catch (...) {
        FreeWindow(Form);
        throw;
    }
    return Form;
}

TTessivorForm* NewParallelConcordanceWindow(QMdiArea* Area,
                                            const std::vector<std::unique_ptr<TConcSearchRec>>& Records) {
    if (Records.empty()) return nullptr;
    auto* Form = new TTessivorForm;
    Form->PrimaryLanguage = Records.front()->Language;
    int32_t Count = static_cast<int32_t>(Records.size());
    for (const auto& Record : Records) Count = std::max(Count, Record->Language + 1);
    Form->LanguageCount = std::min<int32_t>(Count, std::min<int32_t>(LanguagesCount, MaxLanguages));
    for (const auto& Record : Records) {
        if (Record->Language < Form->LanguageCount)
            Form->Records[size_t(Record->Language)] = TConcSearchRec::CreateCopy(*Record);
    }
    Form->ParallelQueries = true;
    const TConcSearchRec& Primary = *Records.front();
    Form->QueryText = Primary.Names.empty() ? std::string() : Primary.Names.front();
    Form->BuildPanels();
    Form->SizeForArea(Area);
    ShowMdiChild(Area, Form);
    try {
        Form->RunParallelSearch();
    } catch (...) {
        FreeWindow(Form);
        throw;
    }
    return Form;
}
