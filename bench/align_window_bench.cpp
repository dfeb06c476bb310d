// Times the two alignment windows on a file pair whose first paragraph is one long line: opening them,
// their first paints, a click in each pane of the view and in the Sections window, and the scroll bar's
// thumb dragged to the end of the long line (which wraps all of it).
//   align_window_bench KILOBYTES [MODE [RUNS [HOLD]]]
// MODE 0 shows paragraphs (the default), 1 aligned sentences. Prints the median of RUNS runs (default 5)
// of each step, in milliseconds. With HOLD, the windows then open once more and stay HOLD seconds, to
// be looked at on a display.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "alignment/ConcAlignView.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcSectionAlign.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcIndex.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"

namespace {

// Words and blanks only: no sentence end and no line break in Bytes bytes.
std::string LongLine(size_t Bytes) {
    static const char* const Words[] = {"the",      "corpus", "aligned", "sentence", "of",   "translation",
                                        "language", "and",    "a",       "parallel", "text", "word"};
    std::mt19937 Rng(7);
    std::string Text;
    while (Text.size() < Bytes) (Text += Words[Rng() % 12]) += ' ';
    Text.resize(Bytes);
    return Text;
}

std::string ShortLines(const std::string& Word, int Count) {
    std::string Text;
    for (int K = 0; K < Count; ++K)
        Text += Word + " number " + std::to_string(K + 1) + " opens. It closes " + Word + ".\n";
    return Text;
}

void AddFile(int Language, const std::filesystem::path& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
    TNamedItem<TCorpusFileRecord> Entry;
    Entry.Name = Path.string();
    Entry.Object.CopyName = Path.string();
    LanguageConfigs[size_t(Language)]->AddFile(
        std::move(Entry), std::make_unique<TFileSynchroStream>(Path.string(), fmOpenRead | fmShareDenyWrite),
        nullptr);
}

bool MakeCorpus(const std::filesystem::path& Dir, size_t Bytes, int Mode) {
    InitConfigUnit();
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    for (int L = 0; L < 2; ++L) {
        if (!LanguageConfigs[size_t(L)]) LanguageConfigs[size_t(L)] = std::make_unique<TConcordConfig>(L);
        TConcordConfig& C = *LanguageConfigs[size_t(L)];
        C.SetLanguage(1033, L == 0 ? "English" : "German");
        C.HeadingFormat = 3;
        C.ParagraphFormat = 1;
        C.SentenceFormat = 1;
    }
    LanguagesCount = 2;
    AddFile(0, Dir / "source.txt", LongLine(Bytes) + "\n" + ShortLines("alpha", 30));
    AddFile(1, Dir / "target.txt", ShortLines("beta", 31));
    if (!ProcessCorpus()) return false;
    if (Mode == 1) AlignCorpus();
    return true;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V.empty() ? 0 : V[V.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: align_window_bench KILOBYTES [MODE [RUNS]]\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::filesystem::path Dir =
        std::filesystem::temp_directory_path() / ("align_window_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
    setenv("TESSIVOR_CONFIG_DIR", Dir.c_str(), 1);
    QApplication App(argc, argv);
    const size_t Bytes = size_t(std::atol(argv[1])) * 1024;
    const int Mode = argc > 2 ? std::atoi(argv[2]) : 0;
    const int Runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const int Hold = argc > 4 ? std::atoi(argv[4]) : 0;

    QMdiArea Area;
    Area.resize(1280, 900);
    Area.show();
    if (!QTest::qWaitForWindowExposed(&Area)) return 1;
    TRecordingMessenger Messenger;
    Messenger.OnSend = [&Area](int Msg, intptr_t, intptr_t) -> intptr_t {
        const QSize Room = Area.viewport()->size();
        return Msg == CM_GETCLIENTSIZE ? (intptr_t(Room.width()) << 16) | Room.height() : 0;
    };
    RegisterAlignmentView(&Area);
    if (!MakeCorpus(Dir, Bytes, Mode)) {
        std::fprintf(stderr, "the corpus pass failed\n");
        return 1;
    }

    const char* const Steps[] = {"open both windows",       "first paint, view",      "first paint, sections",
                                 "click, left pane",        "click, right pane",      "click, sections row",
                                 "thumb to the unit's end", "paint at the unit's end"};
    std::vector<std::vector<double>> Times(8);
    for (int Run = 0; Run < Runs; ++Run) {
        QElapsedTimer Clock;
        auto Lap = [&](int Step) {
            Times[size_t(Step)].push_back(double(Clock.nsecsElapsed()) / 1e6);
            Clock.restart();
        };
        Clock.start();
        OpenAlignmentWindows(Mode == 0 ? 1 : 0, 0, 1, 0, 0, 0);
        Lap(0);
        TAlignBox* Box = AlignViewForm()->Box();
        Box->viewport()->repaint();
        Lap(1);
        if (Box->LastRowDrawn() < 0) {
            std::fprintf(stderr, "the view painted no row\n");
            return 1;
        }
        QListWidget* List = SectionsAlignForm()->Sections();
        List->viewport()->repaint();
        Lap(2);
        for (int Side = 0; Side < 2; ++Side) {
            const QRect Pane = Box->PaneRect(Side);
            QTest::mouseClick(Box->viewport(), Qt::LeftButton, {}, Pane.topLeft() + QPoint(40, 30));
            Box->viewport()->repaint();
            Lap(3 + Side);
        }
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualItemRect(List->item(0)).center());
        List->viewport()->repaint();
        Lap(5);
        // The end of the long unit at the top: every line of it is wrapped.
        Box->verticalScrollBar()->setSliderPosition(
            LanguageConfigs[0]->ParagraphIndexes.GetItem(0)->GetItem(0).End - 1);
        Box->viewport()->repaint();
        Lap(6);
        Box->viewport()->repaint();
        Lap(7);
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
        QCoreApplication::processEvents();
    }
    std::printf("first unit %zu KB, %s mode, median of %d runs (ms)\n", Bytes / 1024,
                Mode == 0 ? "paragraph" : "aligned-sentences", Runs);
    for (int Step = 0; Step < 8; ++Step)
        std::printf("  %-22s %10.1f\n", Steps[Step], Median(Times[size_t(Step)]));
    if (Hold > 0) {
        Area.setWindowTitle("align_window_bench");
        OpenAlignmentWindows(Mode == 0 ? 1 : 0, 0, 1, 0, 0, 0);
        // Narrowed and widened again step by step, as a user sizing the view would.
        QWidget* Frame = AlignViewForm()->parentWidget();
        const QRect Wide = Frame->geometry();
        for (int Step = 0; Step < 40; ++Step) {
            Frame->setGeometry(Wide.adjusted(0, 0, -8 * (Step < 20 ? Step : 40 - Step), 0));
            QTest::qWait(20);
        }
        QElapsedTimer Clock;
        Clock.start();
        while (Clock.elapsed() < Hold * 1000LL) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
    }
    ResetGlobalsForTest();
    std::filesystem::remove_all(Dir);
    return 0;
}
