// Painting cost of the string-list view: one screen over lists of a thousand to ten million items, with
// runs and word wrap, and paging through a thousand screens. The time per paint must not depend on the
// list's length.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "controls/StringsView.h"

namespace {

// Concordance-like lines made up on demand.
class TMadeUpStrings : public TStrings {
public:
    explicit TMadeUpStrings(int Count) : FCount(Count) {}
    int GetCount() const override { return FCount; }
    std::string Get(int Index) const override {
        return "line " + std::to_string(Index) + " of the corpus with the key word in its middle, and some " +
               "more words after it so that a narrow view wraps it onto a second line";
    }
    void Clear() override {}
    void Delete(int) override {}
    void Insert(int, const std::string&) override {}

private:
    int FCount;
};

// A wrapped, labelled view of 800 x 600 pixels over Count items, with a hit run and a label per line.
struct TBenchView {
    TMadeUpStrings List;
    TStringsView View;
    QImage Image;
    explicit TBenchView(int Count) : List(Count), Image(800, 600, QImage::Format_ARGB32_Premultiplied) {
        View.resize(800, 600);
        View.show();
        View.SetMultiSelect(true);
        View.SetExtendedSelect(true);
        View.SetWordWrap(true);
        View.OnFormatItem = [this](TStringsView&, int Index, std::string& Text, TSVFormatArray& Format,
                                   TSVLabelInfo& Label) {
            Text = List.Get(Index);
            TSVFormatInfo Hit;
            Hit.Start = int32_t(Text.find("key word")) + 1;
            Hit.Length = 8;
            Hit.Anchor = 1;
            Hit.Font.Colour = 0x0000FF;
            Hit.Font.Style = 1;
            Format.push_back(Hit);
            Label.Text = std::to_string(Index + 1);
        };
        View.SetStrings(&List);
        View.SetShowLabels(true);
        View.SetLabelWidth(70);
        View.SetTopIndex(Count / 2);
    }
    void Paint() {
        QPainter Painter(&Image);
        View.viewport()->render(&Painter);
    }
};

void BM_PaintOneScreen(benchmark::State& State) {
    TBenchView B(int(State.range(0)));
    for (auto _ : State) B.Paint();
    State.counters["items"] = double(State.range(0));
    State.counters["items_on_screen"] = double(B.View.BottomIndex() - B.View.TopIndex() + 1);
}
BENCHMARK(BM_PaintOneScreen)->Arg(1000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

// Page down a thousand screens, painting each; the counter is the time per page.
void BM_PageThroughAThousandScreens(benchmark::State& State) {
    TBenchView B(int(State.range(0)));
    const int Page = std::max(B.View.VisibleLines(), 1);
    for (auto _ : State) {
        for (int K = 0; K < 1000; ++K) {
            B.View.SetTopIndex(int(State.range(0)) / 2 + K * Page);
            B.Paint();
        }
    }
    State.counters["per_page"] = benchmark::Counter(
        1000.0 * double(State.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PageThroughAThousandScreens)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
