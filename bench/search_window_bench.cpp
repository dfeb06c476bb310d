// Measures a search as the user waits for it: from Enter in the query dialog to the end of the
// "Searching for" window, through the real main window, query dialog, concordance window and progress
// window, against the same query run through the engine alone (as corpus_bench --search runs it).
//
//   search_window_bench [corpus_bench's format flags] [--align] --lang LCID file... [--lang LCID file...]
//                       --search QUERY [--syntax N] [--lang-index L] [--para L QUERY]... [--para-not L QUERY]...
//
// With --para or --para-not the parallel search runs (its dialog, then the parallel window), and the
// engine's figure is the parallel search without a window. It prints both hit counts (they must agree),
// the longest time between two turns of the event loop during the window's search, what a hit costs in
// memory ("bytes per hit B": the resident memory after the window's search less that before it, divided
// by the hits), and as its last line "window S s, engine S s, window/engine R". It runs under whatever display it is given (offscreen or a
// virtual X display); the preferences of a temporary folder are used and removed.
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
#include <malloc.h>
#include <stdexcept>
#include <unistd.h>

#include "bench/support/CorpusSetup.h"
#include "controls/QtBackend.h"
#include "results/ConcParaSearch.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcTessivor.h"
#include "shell/ConcMain.h"
#include "shell/ConcParaLoad.h"

void Usage(const char* Problem) {
    std::fprintf(stderr, "search_window_bench: %s\n", Problem);
    std::fprintf(stderr,
                 "usage: search_window_bench [format flags] [--align] --lang LCID file... [--lang LCID file...]\n"
                 "                           --search QUERY [--syntax N] [--lang-index L] [--para L QUERY]...\n"
                 "                           [--para-not L QUERY]...\n"
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

}  // namespace

int main(int Argc, char** Argv) {
    const std::filesystem::path ConfigDir =
        std::filesystem::temp_directory_path() / ("tessivor_search_window_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(ConfigDir);
    setenv("TESSIVOR_CONFIG_DIR", ConfigDir.c_str(), 1);
    int Code = 0;
    {
        TConcApplication App(Argc, Argv);
        TQtBackend& Backend = RegisterQtBackend();
        InitConfigUnit();
        // The window reads the preferences when it is made: the corpus and its options come after.
        auto Main = std::make_unique<TConcMainForm>();
        Backend.SetMainWindow(Main.get());
        TCorpusArgs Args;
        ParseCorpusArgs(Argc, Argv, Args);
        if (Args.Search.Query.empty()) Usage("--search is missing");
        try {
            if (BuildCorpus(Args) != 0) throw std::runtime_error("the corpus could not be built");
            const TSearchArgs& Search = Args.Search;
            TEngineRun Engine;
            if (!RunEngineSearch(Search, Engine)) throw std::runtime_error("the query does not compile");
            if (!Search.Para.empty()) {
                int32_t Reported = 0;
                for (const TParaArgs& P : Search.Para) EnsureUnits(P.Language);
                RunEngineParallelSearch(Search, Engine, Reported);
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
                    Main->AdvancedSearchAction, [&](TSearchQueryForm& F) { FillQueryDialog(F, Search); }, Gaps);
            } else {
                Seconds = SearchThroughWindow<TParaSearchForm>(
                    Main->ParallelSearchAction, [&](TParaSearchForm& F) { FillParallelDialog(F, Search); },
                    Gaps);
            }
            const int64_t ResidentAfter = ResidentBytes();
            TTessivorForm* Window = ActiveConcordance(*Main);
            const int32_t WindowHits = Window ? Window->Lists[size_t(Search.Language)]->Count() : -1;
            std::printf("engine hits %lld, window hits %d%s\n", static_cast<long long>(Engine.Hits), WindowHits,
                        WindowHits == Engine.Hits ? "" : " (THEY DIFFER)");
            std::printf("longest time between two turns of the event loop: %.0f ms\n", Gaps.Longest * 1000);
            if (WindowHits > 0)
                std::printf("bytes per hit %lld\n",
                            static_cast<long long>((ResidentAfter - ResidentBefore) / WindowHits));
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
