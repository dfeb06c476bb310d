// Word-list windows over a large corpus: the corpus pass counts the words of the file given (timed on
// its own), then the frequency-order and the alphabetical word lists of every word are opened, shown
// and painted, and the grid is paged and dragged through. Then each kind of Frequency Options change
// is applied as the dialog applies it, and the word list it closed is opened again (timed). Every step
// that follows a user's action must stay far below a visible pause.
//
//   wordlist_bench CORPUS_FILE        (make one with: corpus_bench --generate FILE MEGABYTES)
#include <QApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "alignment/ConcParaAligners.h"
#include "controls/QtBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/SynStream.h"
#include "results/ConcFreqOptions.h"
#include "results/ConcWordListForm.h"

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point Start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

void Paint(TWordListGrid& Grid) {
    Grid.viewport()->repaint();
    Grid.horizontalHeader()->viewport()->repaint();
}

void Register(const std::string& Path) {
    InitConfigUnit();
    TCommonConcordConfig& C = *CommonConfig;
    C.TagStart = '<';
    C.TagStop = '>';
    C.WildCard0orMore = '*';
    C.WildCard0or1 = '%';
    C.WildCardExactly1 = '?';
    C.WildCardMatchWords = '@';
    LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
    TNamedItem<TCorpusFileRecord> Entry;
    Entry.Name = Path;
    Entry.Object.CopyName = Path;
    LanguageConfigs[0]->AddFile(
        std::move(Entry), std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite), nullptr);
    LanguagesCount = 1;
    FrequencyConfigs[0] = {1, 0, 0, 2, 5, false, false, true};
}

// Opens the list (reported), then pages down and drags the scroll bar, reporting the slowest step.
void Measure(QMdiArea& Area, bool Alphabetical) {
    const char* Name = Alphabetical ? "alphabetical" : "frequency order";
    auto Start = TClock::now();
    GetCorpusFreqList(0, Alphabetical);
    std::printf("%s: the corpus list sorted in %.1f ms\n", Name, MillisecondsSince(Start));
    Start = TClock::now();
    TWordListForm* Form = ShowWordList(&Area, 0, Alphabetical);
    if (!Form) return;
    QApplication::processEvents();
    TWordListGrid& Grid = *Form->Grid(0);
    Paint(Grid);
    std::printf("%s: %d rows filled, shown and painted in %.1f ms\n", Name, Grid.Items().Count(),
                MillisecondsSince(Start));

    Grid.setFocus();
    std::vector<double> Steps;
    for (int I = 0; I < 300; ++I) {
        Start = TClock::now();
        QTest::keyClick(&Grid, Qt::Key_PageDown);
        Paint(Grid);
        Steps.push_back(MillisecondsSince(Start));
    }
    Start = TClock::now();
    QTest::keyClick(&Grid, Qt::Key_End, Qt::ControlModifier);
    Paint(Grid);
    Steps.push_back(MillisecondsSince(Start));
    std::mt19937 Random(46);
    QScrollBar* Bar = Grid.verticalScrollBar();
    for (int I = 0; I < 300; ++I) {
        Start = TClock::now();
        Bar->setValue(int(Random() % uint32_t(std::max(Bar->maximum(), 1))));
        Paint(Grid);
        Steps.push_back(MillisecondsSince(Start));
    }
    std::sort(Steps.begin(), Steps.end());
    std::printf("%s: %zu page-down, end and drag steps: median %.2f ms, slowest %.2f ms\n", Name,
                Steps.size(), Steps[Steps.size() / 2], Steps.back());
    // Shift+End: every row selected.
    Start = TClock::now();
    QTest::keyClick(&Grid, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&Grid, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    Paint(Grid);
    std::printf("%s: selecting every row took %.1f ms\n", Name, MillisecondsSince(Start));
}

// Applies Edit to language 0's frequency options as the dialog's OK does (the word lists close), then
// times opening the frequency-order word list again: what the user waits for after the dialog.
void MeasureChange(QMdiArea& Area, const char* Name, const std::function<void(TFreqOptionsCopy&)>& Edit) {
    TFreqOptionsCopy Copy = CopyFreqOptions(0);
    const TFreqOptionsCopy Old = Copy;
    Edit(Copy);
    const TFreqSettingsChange Change = DiffFrequencyConfig(Old.Config, Old.ContentWordsOnly, Copy.Config,
                                                           Copy.ContentWordsOnly, Copy.StopListEdited);
    ApplyFreqOptions(0, Copy, Change);
    Area.closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto Start = TClock::now();
    TWordListForm* Form = ShowWordList(&Area, 0, false);
    if (!Form) return;
    QApplication::processEvents();
    Paint(*Form->Grid(0));
    std::printf("after a change of %s: the word list (%d rows) opened again in %.1f ms\n", Name,
                Form->Grid(0)->Items().Count(), MillisecondsSince(Start));
}

void MeasureChanges(QMdiArea& Area) {
    MeasureChange(Area, "the frequency limits", [](TFreqOptionsCopy& C) { C.Config.MinimumFrequency = 2; });
    MeasureChange(Area, "the maximum lines", [](TFreqOptionsCopy& C) { C.Config.MaximumLines = 1000; });
    MeasureChange(Area, "the stop list", [](TFreqOptionsCopy& C) {
        C.StopList.SetWords({"the", "and", "of"});
        C.StopListEdited = true;
        C.ContentWordsOnly = true;
        C.Config.CountAllWords = false;
    });
    MeasureChange(Area, "the stop-list choice", [](TFreqOptionsCopy& C) {
        C.ContentWordsOnly = false;
        C.Config.CountAllWords = true;
    });
    MeasureChange(Area, "ignore case", [](TFreqOptionsCopy& C) { C.Config.IgnoreCase = true; });
    MeasureChange(Area, "skip tags", [](TFreqOptionsCopy& C) { C.Config.SkipTags = !C.Config.SkipTags; });
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc != 2) {
        std::fprintf(stderr, "usage: wordlist_bench CORPUS_FILE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    Register(std::filesystem::absolute(Argv[1]).string());
    // As the program does at start-up: a corpus pass made for a word list is followed by the alignment.
    RegisterAlignmentRun();
    // And the program's own backend: the pass shows its progress window as it does for the user.
    RegisterQtBackend();

    auto Start = TClock::now();
    if (!ProcessCorpus() || !LanguageConfigs[0]->FreqList) {
        std::fprintf(stderr, "the corpus pass did not complete\n");
        return 1;
    }
    std::printf("corpus pass: %lld words, %d distinct, %.1f s\n",
                static_cast<long long>(LanguageConfigs[0]->GetWordCount()),
                LanguageConfigs[0]->FreqList->Count(), MillisecondsSince(Start) / 1000);

    QMdiArea Area;
    Area.resize(1000, 700);
    Area.show();
    Measure(Area, false);
    Measure(Area, true);
    MeasureChanges(Area);
    ResetGlobalsForTest();
    return 0;
}
