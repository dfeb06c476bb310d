// Measures a search as the user waits for it: from Enter in the query dialog to the end of the
// "Searching for" window, through the real main window, query dialog, concordance window and progress
// window, against the same query run through the engine alone (as corpus_bench --search runs it).
//
//   search_window_bench [corpus_bench's format flags] [--align] --lang LCID file... [--lang LCID file...]
//                       --search QUERY [--syntax N] [--lang-index L] [--para L QUERY]... [--para-not L
//                       QUERY]...
//                       [--delete-all] [--load-window]
//
// With --para or --para-not the parallel search runs (its dialog, then the parallel window), and the
// engine's figure is the parallel search without a window. It prints both hit counts (they must agree),
// the longest time between two turns of the event loop during the window's search, what a hit costs in
// memory ("bytes per hit B": the resident memory after the window's search less that before it, divided
// by the hits), and as its last line "window S s, engine S s, window/engine R". With --delete-all it then
// selects every line of the search's pane (Home, Shift+End) and deletes them (Ctrl+D), and closes the
// window, and prints before its last line the memory that took: "delete S s, delete peak extra MB" (the
// highest resident memory during the delete less that before it), "rss after delete MB, heap in use
// MB" and "rss after close MB, heap in use MB". It runs under whatever display it is given (offscreen or
// a virtual X display); the preferences of a temporary folder are used and removed.
//
// With --load-window (two languages or more) the corpus is not built beforehand: the files are loaded
// through "Load Corpus Files" in the main window (the language count, each language's language, text
// format and files through its Add button, then OK, as the user does), which processes and aligns them;
// the search then runs on that corpus. After it, File > "Unload Corpus" drops the corpus, and the same
// files are loaded once more through the engine alone (registered, processed and aligned, as
// corpus_bench --align does). Before its last line it prints "load window S s, load engine S s" (from OK
// until the main window's load is over, against the engine's), "resident before load MB" (before the
// dialog opened) and "resident after unload MB" (once Unload Corpus is done; the bench gives nothing
// back to the system itself there).
#include <malloc.h>
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/support/CorpusSetup.h"
#include "controls/FileDialogs.h"
#include "controls/QtBackend.h"
#include "controls/StringsView.h"
#include "engine/ConcLangs.h"
#include "results/ConcParaSearch.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcTessivor.h"
#include "shell/ConcMain.h"
#include "shell/ConcParaLoad.h"

void Usage(const char* Problem) {
    std::fprintf(stderr, "search_window_bench: %s\n", Problem);
    std::fprintf(
        stderr,
        "usage: search_window_bench [format flags] [--align] --lang LCID file... [--lang LCID file...]\n"
        "                           --search QUERY [--syntax N] [--lang-index L] [--para L QUERY]...\n"
        "                           [--para-not L QUERY]... [--delete-all] [--load-window]\n"
        "The flags are corpus_bench's; see its source's head.\n");
    std::exit(2);
}

namespace {

using TClock = std::chrono::steady_clock;

double SecondsBetween(TClock::time_point From, TClock::time_point To) {
    return std::chrono::duration<double>(To - From).count();
}

// The process's resident memory in bytes (0 where it cannot be read).
int64_t ResidentBytes() {
    std::FILE* Statm = std::fopen("/proc/self/statm", "r");
    if (!Statm) return 0;
    long long Size = 0, Resident = 0;
    const bool Read = std::fscanf(Statm, "%lld %lld", &Size, &Resident) == 2;
    std::fclose(Statm);
    return Read ? Resident * static_cast<int64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// The longest stretch between two turns of the event loop while it is armed.
class TLoopGaps {
public:
    TLoopGaps() {
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this] {
            if (!Armed) return;
            const auto Now = TClock::now();
            Longest = std::max(Longest, SecondsBetween(Last, Now));
            Last = Now;
        });
    }
    void Arm() {
        Armed = true;
        Last = TClock::now();
        Longest = 0;
    }
    void Disarm() {
        Armed = false;
        Longest = std::max(Longest, SecondsBetween(Last, TClock::now()));
    }
    double Longest = 0;

private:
    bool Armed = false;
    TClock::time_point Last;
};

TTessivorForm* ActiveConcordance(TConcMainForm& Main) {
    QMdiSubWindow* Sub = Main.MdiArea()->activeSubWindow();
    return Sub ? qobject_cast<TTessivorForm*>(Sub->widget()) : nullptr;
}

// The heap the allocator has handed out and not had back, over all its arenas, in bytes: what it holds
// from the system less what lies free in it, plus its separately mapped blocks.
int64_t HeapInUse() {
    char* Text = nullptr;
    size_t Size = 0;
    std::FILE* Out = open_memstream(&Text, &Size);
    if (!Out) return 0;
    malloc_info(0, Out);
    std::fclose(Out);
    const std::string Info(Text, Size);
    std::free(Text);
    // The totals over every arena come last.
    const auto Last = [&Info](const std::string& Tag) -> int64_t {
        const size_t At = Info.rfind(Tag);
        if (At == std::string::npos) return 0;
        const size_t Value = Info.find("size=\"", At);
        return Value == std::string::npos ? 0 : std::atoll(Info.c_str() + Value + 6);
    };
    return Last("<system type=\"current\"") - Last("<total type=\"fast\"") - Last("<total type=\"rest\"") +
           Last("<total type=\"mmap\"");
}

// Starts the count of the process's highest resident memory afresh (false where the system cannot).
bool ResetPeakResident() {
    std::FILE* Refs = std::fopen("/proc/self/clear_refs", "w");
    if (!Refs) return false;
    const bool Done = std::fputs("5", Refs) >= 0;
    return std::fclose(Refs) == 0 && Done;
}

// The highest resident memory of the process since it started or since ResetPeakResident (0 where it
// cannot be read).
int64_t PeakResidentBytes() {
    std::FILE* Status = std::fopen("/proc/self/status", "r");
    if (!Status) return 0;
    char Line[256];
    long long KiB = 0;
    while (std::fgets(Line, sizeof Line, Status))
        if (std::sscanf(Line, "VmHWM: %lld kB", &KiB) == 1) break;
    std::fclose(Status);
    return KiB * 1024;
}

double Megabytes(int64_t Bytes) {
    return static_cast<double>(Bytes) / (1024.0 * 1024.0);
}

// Deletes every line of the window's pane of Language as the user does, then closes the window, and
// prints what memory that took and left.
void DeleteAllAndClose(TConcMainForm& Main, TTessivorForm& Window, int32_t Language) {
    // The window takes commands once its search has wound up.
    for (int I = 0; I < 500 && Window.CommandsRefused(); ++I) QTest::qWait(20);
    TStringsView* View = Window.Views[size_t(Language)];
    if (!View) throw std::runtime_error("the search's pane is missing");
    // The keys go where the user's would: to the pane of the active window (which the closing progress
    // window may have left without one).
    Main.activateWindow();
    if (!QTest::qWaitForWindowActive(&Main)) throw std::runtime_error("the main window is not active");
    View->setFocus();
    QTest::keyClick(View, Qt::Key_Home);
    QTest::keyClick(View, Qt::Key_End, Qt::ShiftModifier);
    const int32_t Lines = Window.Lists[size_t(Language)]->Count();
    if (static_cast<int32_t>(View->SelectedItems().size()) != Lines)
        throw std::runtime_error("Shift+End did not select every line");
    malloc_trim(0);
    const int64_t Before = ResidentBytes();
    const bool Peaks = ResetPeakResident();
    const auto Start = TClock::now();
    QTest::keyClick(View, Qt::Key_D, Qt::ControlModifier);
    const double Seconds = SecondsBetween(Start, TClock::now());
    const int64_t Peak = PeakResidentBytes();
    if (Window.Lists[size_t(Language)]->Count() != 0) throw std::runtime_error("Ctrl+D left lines");
    std::printf("delete of %d lines %.3f s, delete peak extra MB %s\n", Lines, Seconds,
                Peaks ? std::to_string(static_cast<long long>(Megabytes(Peak - Before) + 0.5)).c_str() : "?");
    std::printf("rss after delete MB %.0f, heap in use MB %.0f\n", Megabytes(ResidentBytes()),
                Megabytes(HeapInUse()));
    Window.parentWidget()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    if (ActiveConcordance(Main)) throw std::runtime_error("the window did not close");
    std::printf("rss after close MB %.0f, heap in use MB %.0f\n", Megabytes(ResidentBytes()),
                Megabytes(HeapInUse()));
}

// The query dialog as the engine's query is made: the syntax, case ignored, no skipping or equal
// characters, no sentence mode, no heading or context condition, a new window.
void FillQueryDialog(TSearchQueryForm& Form, const TSearchArgs& Args) {
    QRadioButton* Syntaxes[] = {Form.TextRadio, Form.RegExpRadio, Form.TagRadio};
    Syntaxes[std::min<int>(Args.Syntax, 2)]->click();
    Form.IgnoreCaseCheck->setChecked(true);
    Form.SkipEqualCheck->setChecked(false);
    Form.SentenceModeCheck->setChecked(false);
    Form.HeadingsContextsCheck->setChecked(false);
    Form.AppendCheck->setChecked(false);
    Form.PatternBox->setEditText(QString::fromLocal8Bit(Args.Query.data(), qsizetype(Args.Query.size())));
    Form.PatternBox->setFocus();
}

void FillParallelDialog(TParaSearchForm& Form, const TSearchArgs& Args) {
    Form.SetRowCount(1 + static_cast<int>(Args.Para.size()));
    Form.Row(0).Query->Assign(*MakeQuery(Args.Language, Args.Syntax, Args.Query));
    for (size_t I = 0; I < Args.Para.size(); ++I) {
        TParaSearchForm::TRow& Row = Form.Row(static_cast<int>(I) + 1);
        Row.Query->Assign(*MakeQuery(Args.Para[I].Language, Args.Syntax, Args.Para[I].Query));
        Row.NotCheck->setChecked(Args.Para[I].Not);
    }
    Form.OkBtn->setFocus();
}

// Opens the dialog through Action, fills it, presses Enter and returns the seconds from Enter until
// the search's window is done.
template <class TDialog, class TFill>
double SearchThroughWindow(QAction* Action, TFill Fill, TLoopGaps& Gaps) {
    TClock::time_point Start{};
    QTimer::singleShot(0, [&] {
        auto* Dialog = qobject_cast<TDialog*>(QApplication::activeModalWidget());
        if (!Dialog) {
            std::fprintf(stderr, "search_window_bench: the query dialog did not open\n");
            std::exit(1);
        }
        Fill(*Dialog);
        Start = TClock::now();
        Gaps.Arm();
        // The dialog's own key handling presses its default button, as Enter in any of its fields does.
        QTest::keyClick(Dialog, Qt::Key_Return);
    });
    Action->trigger();
    const auto End = TClock::now();
    Gaps.Disarm();
    return SecondsBetween(Start, End);
}

// Loads Args' languages through "Load Corpus Files" as the user does (OK included) and returns the
// seconds from OK until the main window's load, its corpus pass and its alignment are over.
double LoadThroughWindow(TConcMainForm& Main, const TCorpusArgs& Args) {
    TClock::time_point Start{};
    bool Filled = false;
    // Inside the dialog a failure ends the bench at once: an exception would stop at the event loop.
    const auto Fail = [](const char* Problem) {
        std::fprintf(stderr, "search_window_bench: %s\n", Problem);
        std::exit(1);
    };
    QTimer::singleShot(0, [&] {
        auto* Form = qobject_cast<TParaLoadForm*>(QApplication::activeModalWidget());
        if (!Form) Fail("\"Load Corpus Files\" did not open");
        Form->SetLanguageCount(static_cast<int>(Args.Languages.size()));
        for (size_t L = 0; L < Args.Languages.size(); ++L) {
            const TLanguageArgs& Language = Args.Languages[L];
            const TParaLoadPanel& Panel = Form->Panel(static_cast<int>(L));
            const int Entry =
                Panel.LanguageBox->findText(QString::fromStdString(LanguageNameOfLCID(Language.Lcid)));
            if (Entry < 0) {
                std::fprintf(stderr, "search_window_bench: %s is not among the dialog's languages\n",
                             LanguageNameOfLCID(Language.Lcid).c_str());
                std::exit(1);
            }
            Panel.LanguageBox->setCurrentIndex(Entry);
            emit Panel.LanguageBox->activated(Entry);
            // What "Format..." would store.
            ConfigureFormat(*LanguageConfigs[L], Language.Format);
            SetFileDialog([&](const TFileDialogRequest&) { return Language.Files; });
            Panel.AddBtn->click();
            SetFileDialog({});
            if (Form->Model().Panel(static_cast<int>(L)).Files.size() != Language.Files.size())
                Fail("Add did not list every file");
        }
        Filled = true;
        Start = TClock::now();
        Form->OkBtn->click();
    });
    Main.UpdateActions();
    if (!Main.LoadCorpusFileAction->isEnabled())
        throw std::runtime_error("\"Load Corpus File(s)\" is disabled");
    Main.LoadCorpusFileAction->trigger();
    const auto End = TClock::now();
    if (!Filled) throw std::runtime_error("the corpus was not loaded");
    return SecondsBetween(Start, End);
}

// File > "Unload Corpus", and the windows it closes gone.
void UnloadThroughWindow(TConcMainForm& Main) {
    Main.UpdateActions();
    if (!Main.UnloadCorpusAction->isEnabled()) throw std::runtime_error("\"Unload Corpus\" is disabled");
    Main.UnloadCorpusAction->trigger();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

}  // namespace

int main(int Argc, char** Argv) {
    // Our own flags, taken out before corpus_bench's flags are read.
    bool DeleteAll = false, LoadWindow = false;
    for (int I = 1; I < Argc; ++I) {
        const std::string Arg = Argv[I];
        if (Arg != "--delete-all" && Arg != "--load-window") continue;
        (Arg == "--delete-all" ? DeleteAll : LoadWindow) = true;
        for (int J = I; J + 1 < Argc; ++J) Argv[J] = Argv[J + 1];
        --Argc;
        --I;
    }
    const std::filesystem::path ConfigDir =
        std::filesystem::temp_directory_path() / ("tessivor_search_window_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(ConfigDir);
    setenv("TESSIVOR_CONFIG_DIR", ConfigDir.c_str(), 1);
    int Code = 0;
    {
        TConcApplication App(Argc, Argv);
        TQtBackend& Backend = RegisterQtBackend();
        // The languages "Load Corpus Files" offers, as the program's start-up finds them.
        LoadInstalledLanguages();
        InitConfigUnit();
        // The window reads the preferences when it is made: the corpus and its options come after.
        auto Main = std::make_unique<TConcMainForm>();
        Backend.SetMainWindow(Main.get());
        TCorpusArgs Args;
        ParseCorpusArgs(Argc, Argv, Args);
        if (Args.Search.Query.empty()) Usage("--search is missing");
        if (LoadWindow && Args.Languages.size() < 2) Usage("--load-window wants two languages or more");
        try {
            const TSearchArgs& Search = Args.Search;
            TEngineRun Engine;
            // The engine's search, on the corpus built by either road.
            const auto EngineSearch = [&] {
                if (!RunEngineSearch(Search, Engine)) throw std::runtime_error("the query does not compile");
                if (!Search.Para.empty()) {
                    int64_t Tried = 0;
                    for (const TParaArgs& P : Search.Para) EnsureUnits(P.Language);
                    RunEngineParallelSearch(Search, Engine, Tried);
                }
            };
            if (!LoadWindow) {
                if (BuildCorpus(Args) != 0) throw std::runtime_error("the corpus could not be built");
                EngineSearch();
            }
            CommonConfig->MaximumHits = 0;
            CommonConfig->LastUsedLanguage = Search.Language;
            Main->resize(1000, 750);
            // Below two languages the window's first activation asks for the corpus files: the corpus is
            // the one built above, so the question is answered with Cancel.
            QTimer LoadWatch;
            QObject::connect(&LoadWatch, &QTimer::timeout, [] {
                if (auto* Load = qobject_cast<TParaLoadForm*>(QApplication::activeModalWidget()))
                    Load->CancelBtn->click();
            });
            LoadWatch.start(5);
            Main->show();
            for (int I = 0; I < 50 && (!Main->Activated() || QApplication::activeModalWidget()); ++I)
                QTest::qWait(20);
            LoadWatch.stop();
            double LoadWindowSeconds = 0;
            int64_t ResidentBeforeLoad = 0;
            if (LoadWindow) {
                malloc_trim(0);
                ResidentBeforeLoad = ResidentBytes();
                LoadWindowSeconds = LoadThroughWindow(*Main, Args);
                EngineSearch();
                CommonConfig->MaximumHits = 0;
                CommonConfig->LastUsedLanguage = Search.Language;
            }
            // Answering the dialog of a new corpus drops the units the engine run set up for a single
            // language: they are set up again, as the engine run had them.
            EnsureUnits(Search.Language);
            for (const TParaArgs& P : Search.Para) EnsureUnits(P.Language);
            Main->UpdateActions();

            TLoopGaps Gaps;
            double Seconds = 0;
            // The heap the corpus pass and the engine's run freed would take the window's rows without
            // growing the process: it goes back to the system first, so that what the rows cost shows.
            malloc_trim(0);
            const int64_t ResidentBefore = ResidentBytes();
            if (Search.Para.empty()) {
                Seconds = SearchThroughWindow<TSearchQueryForm>(
                    Main->AdvancedSearchAction, [&](TSearchQueryForm& F) { FillQueryDialog(F, Search); },
                    Gaps);
            } else {
                Seconds = SearchThroughWindow<TParaSearchForm>(
                    Main->ParallelSearchAction, [&](TParaSearchForm& F) { FillParallelDialog(F, Search); },
                    Gaps);
            }
            const int64_t ResidentAfter = ResidentBytes();
            TTessivorForm* Window = ActiveConcordance(*Main);
            const int32_t WindowHits = Window ? Window->Lists[size_t(Search.Language)]->Count() : -1;
            std::printf("engine hits %lld, window hits %d%s\n", static_cast<long long>(Engine.Hits),
                        WindowHits, WindowHits == Engine.Hits ? "" : " (THEY DIFFER)");
            std::printf("longest time between two turns of the event loop: %.0f ms\n", Gaps.Longest * 1000);
            if (WindowHits > 0)
                std::printf("bytes per hit %lld\n",
                            static_cast<long long>((ResidentAfter - ResidentBefore) / WindowHits));
            if (DeleteAll && Window) DeleteAllAndClose(*Main, *Window, Search.Language);
            if (LoadWindow) {
                UnloadThroughWindow(*Main);
                const int64_t ResidentAfterUnload = ResidentBytes();
                // The engine's road over the same files: registered, processed and aligned afresh. The
                // window aligns whatever the flags say, so the engine does too.
                for (int L = 0; L < LanguagesCount; ++L) LanguageConfigs[size_t(L)]->FreqList.reset();
                TCorpusArgs EngineArgs = Args;
                EngineArgs.Align = true;
                double LoadEngineSeconds = 0;
                if (BuildCorpus(EngineArgs, &LoadEngineSeconds) != 0)
                    throw std::runtime_error("the engine could not build the corpus");
                std::printf("load window %.3f s, load engine %.3f s\n", LoadWindowSeconds, LoadEngineSeconds);
                std::printf("resident before load MB %.0f\n", Megabytes(ResidentBeforeLoad));
                std::printf("resident after unload MB %.0f\n", Megabytes(ResidentAfterUnload));
            }
            std::printf("window %.3f s, engine %.3f s, window/engine %.2f\n", Seconds, Engine.Seconds,
                        Engine.Seconds > 0 ? Seconds / Engine.Seconds : 0.0);
            if (WindowHits != Engine.Hits) Code = 1;
        } catch (const std::exception& E) {
            std::fprintf(stderr, "search_window_bench: %s\n", E.what());
            Code = 1;
        }
        Main.reset();
        Backend.SetMainWindow(nullptr);
    }
    std::filesystem::remove_all(ConfigDir);
    return Code;
}
