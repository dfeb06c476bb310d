// Times the corpus view over a large file: opening it, its first paint, paging while the lines are
// still being counted, and the full count.
//   corpus_view_bench FILE            times the view over FILE
//   corpus_view_bench FILE MEGABYTES  first writes FILE: MEGABYTES of text lines with CR LF breaks
//   corpus_view_bench FILE wrap       times the view over FILE with its lines wrapped
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "controls/StringsView.h"
#include "engine/ConcConfig.h"
#include "engine/SynStream.h"
#include "shell/ConcView.h"

namespace {

void Generate(const std::string& Path, long Megabytes) {
    static const char* const Words[] = {"the",         "corpus", "aligned",  "sentence", "of",
                                        "translation", "<p>",    "language", "and",      "a",
                                        "parallel",    "text",   "word",     "in"};
    std::mt19937 Rng(7);
    std::ofstream Out(Path, std::ios::binary);
    std::string Line;
    const long Target = Megabytes * 1024 * 1024;
    for (long Written = 0; Written < Target; Written += long(Line.size())) {
        Line.clear();
        const int Count = 3 + int(Rng() % 20);
        for (int W = 0; W < Count; ++W) (Line += Words[Rng() % 14]) += ' ';
        Line += "\r\n";
        Out << Line;
    }
}

// Notes when the view's viewport paints for the first time.
class TFirstPaint : public QObject {
public:
    qint64 At = -1;
    const QElapsedTimer* Clock = nullptr;
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint && At < 0) At = Clock->nsecsElapsed();
        return false;
    }
};

double Ms(qint64 Ns) {
    return double(Ns) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: corpus_view_bench FILE [MEGABYTES]\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication App(argc, argv);
    const std::string Path = argv[1];
    const bool Wrap = argc > 2 && std::string(argv[2]) == "wrap";
    if (argc > 2 && !Wrap) Generate(Path, std::atol(argv[2]));

    CommonConfig = std::make_unique<TCommonConcordConfig>();
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguageConfigs[0]->SetLanguage(1033, "English");
    LanguagesCount = 1;
    LanguageConfigs[0]->AddFile(
        {Path, {}}, std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite), nullptr);

    QElapsedTimer Clock;
    TFirstPaint Paint;
    Paint.Clock = &Clock;
    Clock.start();
    TCorpusViewForm* Form = ShowCorpusText(nullptr, Path, 0);
    if (Wrap) Form->ToggleWordWrap();
    const qint64 Opened = Clock.nsecsElapsed();
    Form->TextWindow()->viewport()->installEventFilter(&Paint);
    Form->resize(900, 700);
    Form->show();
    while (Paint.At < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    // Pages down while the count goes on, as a user holding Page Down would.
    TStringsView* View = Form->TextWindow();
    QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QElapsedTimer Paging;
    Paging.start();
    int Pages = 0;
    for (; Pages < 200 && !Form->CountingFinished(); ++Pages) {
        QCoreApplication::processEvents();
        QTest::keyClick(View, Qt::Key_PageDown);
        View->viewport()->repaint();
    }
    const qint64 PagingNs = Paging.nsecsElapsed();
    const int TopAfterPaging = View->TopIndex();
    while (!Form->CountingFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 Counted = Clock.nsecsElapsed();

    // Paging once the count is done: each page lays out the items it shows.
    QTest::keyClick(View, Qt::Key_Home);
    QElapsedTimer After;
    After.start();
    constexpr int PagesAfter = 5;
    for (int K = 0; K < PagesAfter; ++K) {
        QTest::keyClick(View, Qt::Key_PageDown);
        View->viewport()->repaint();
    }
    const qint64 AfterNs = After.nsecsElapsed();
    std::printf("file: %s, %.1f MB, %d lines\n", Path.c_str(),
                double(LanguageConfigs[0]->Streams[0]->GetSize()) / 1048576, View->Strings()->GetCount());
    std::printf("view open:        %8.2f ms\n", Ms(Opened));
    std::printf("first paint:      %8.2f ms\n", Ms(Paint.At));
    std::printf("paging while counting: %d pages to line %d, %.2f ms per page\n", Pages, TopAfterPaging,
                Pages ? Ms(PagingNs) / Pages : 0.0);
    std::printf("paging after the count: %.2f ms per page\n", Ms(AfterNs) / PagesAfter);
    std::printf("full count:       %8.2f ms (%.0f MB/s)\n", Ms(Counted),
                double(LanguageConfigs[0]->Streams[0]->GetSize()) / 1048576 / (double(Counted) / 1e9));
    delete Form;
    ResetGlobalsForTest();
    return 0;
}
