// The length-based aligner on generated paragraph pairs of 30 source sentences: sentence lengths drawn
// from a log-normal law (median about 100 bytes), target lengths from the source by a length ratio
// with Gaussian noise, and 1-0, 0-1, 2-1, 1-2 and 2-2 beads put in at known places among the 1-1 beads,
// about as often as in translated text: of every 200 beads 9 are 2-1, 9 are 1-2, 2 are 2-2, 1 is 1-0
// and 1 is 0-1. An inserted sentence is short (3 to 20 bytes: a number, an exclamation), and a 2-2
// bead cuts its target where the source pair is not cut. Length alone cannot tell an inserted sentence
// from one merged with its neighbour, so the 1-0 and 0-1 beads are expected to be missed; the
// per-shape recall shows it.
// Reports units aligned per second (source and target sentences together, and source alone) and the
// bead precision and recall against the generated truth.
// Also the alignment editor's edits on one section of N paragraphs of three sentences each: an edit
// near the section's middle with its undo, and the automatic paragraph alignment of a section pair
// with its undo.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcAligner.h"

namespace {

constexpr int SourceSentences = 30;
constexpr int Paragraphs = 2000;
constexpr double LengthRatio = 1.05;
constexpr double NoisePerByte = 7.3;  // variance of the target length per source byte

struct TParagraphPair {
    std::vector<int32_t> Source, Target;
    // Each true bead as (first source unit, source count, first target unit, target count).
    std::set<std::tuple<int, int, int, int>> Truth;
};

class TGenerator {
public:
    TGenerator(uint32_t Seed, bool Insertions) : FRng(Seed), FInsertions(Insertions) {}

    int32_t SourceLength() {
        return std::clamp(
            static_cast<int32_t>(std::lround(std::lognormal_distribution<double>(4.6, 0.55)(FRng))), 4, 1500);
    }
    int32_t TargetLength(int32_t Source) {
        const double Mean = LengthRatio * Source;
        const double Noise =
            std::normal_distribution<double>(0, std::sqrt(NoisePerByte * Source) * 0.5)(FRng);
        return std::max(1, static_cast<int32_t>(std::lround(Mean + Noise)));
    }
    // A target length cut in two pieces, the first taking Share of it.
    static std::pair<int32_t, int32_t> Split(int32_t Length, double Share) {
        const int32_t First = std::max(1, static_cast<int32_t>(Length * Share));
        return {First, std::max(1, Length - First)};
    }
    double SplitShare() { return std::uniform_real_distribution<double>(0.3, 0.7)(FRng); }
    // A sentence that one side adds: a number, a short exclamation, a parenthesis.
    int32_t InsertedLength() { return std::uniform_int_distribution<int32_t>(3, 20)(FRng); }

    // The shape of bead number Bead counted over the whole corpus: 0 for 1-1, else 1-0, 0-1, 2-1, 1-2,
    // 2-2 as 1 to 5. Every ninth bead of a 200-bead cycle is one of 22 special slots.
    int ShapeOf(int64_t Bead) const {
        const int Place = static_cast<int>(Bead % 200);
        if (Place % 9 != 4) return 0;
        const int Slot = Place / 9;
        if (Slot == 0) return FInsertions ? 1 : 0;
        if (Slot == 11) return FInsertions ? 2 : 0;
        if (Slot == 5 || Slot == 16) return 5;
        return Slot % 2 ? 3 : 4;
    }

    TParagraphPair Paragraph() {
        TParagraphPair P;
        while (static_cast<int>(P.Source.size()) < SourceSentences) {
            const int Shape = ShapeOf(FBead++);
            const int S0 = static_cast<int>(P.Source.size()), T0 = static_cast<int>(P.Target.size());
            switch (Shape) {
                case 0: {
                    const int32_t S = SourceLength();
                    P.Source.push_back(S);
                    P.Target.push_back(TargetLength(S));
                    break;
                }
                case 1:
                    P.Source.push_back(InsertedLength());
                    break;  // 1-0
                case 2:
                    P.Target.push_back(InsertedLength());
                    break;  // 0-1
                case 3: {   // 2-1
                    const int32_t A = SourceLength(), B = SourceLength();
                    P.Source.insert(P.Source.end(), {A, B});
                    P.Target.push_back(TargetLength(A + B));
                    break;
                }
                case 4: {  // 1-2
                    const int32_t S = SourceLength();
                    const auto [A, B] = Split(TargetLength(S), SplitShare());
                    P.Source.push_back(S);
                    P.Target.insert(P.Target.end(), {A, B});
                    break;
                }
                default: {  // 2-2: the target cuts the pair where the source does not
                    const int32_t A = SourceLength(), B = SourceLength();
                    const double Crossed = std::clamp(1.0 - double(A) / double(A + B), 0.2, 0.8);
                    const auto [C, D] = Split(TargetLength(A + B), Crossed);
                    P.Source.insert(P.Source.end(), {A, B});
                    P.Target.insert(P.Target.end(), {C, D});
                    break;
                }
            }
            P.Truth.insert(
                {S0, static_cast<int>(P.Source.size()) - S0, T0, static_cast<int>(P.Target.size()) - T0});
        }
        return P;
    }

private:
    std::mt19937 FRng;
    bool FInsertions;
    int64_t FBead = 0;
};

std::vector<TParagraphPair> MakeCorpus(bool Insertions) {
    TGenerator Gen(1207, Insertions);
    std::vector<TParagraphPair> Result;
    for (int n = 0; n < Paragraphs; ++n) Result.push_back(Gen.Paragraph());
    return Result;
}

// Argument 1: with the 1-0 and 0-1 beads; 0: those two slots of the cycle are 1-1 beads too.
void BM_AlignParagraphs(benchmark::State& State) {
    const std::vector<TParagraphPair> Pairs = MakeCorpus(State.range(0) != 0);
    int64_t Units = 0, SourceUnits = 0;
    size_t Next = 0;
    for (auto _ : State) {
        const TParagraphPair& P = Pairs[Next];
        Next = (Next + 1) % Pairs.size();
        TBeadCounts Counts = AlignLengths(P.Source, P.Target);
        benchmark::DoNotOptimize(Counts.Source.data());
        Units += static_cast<int64_t>(P.Source.size() + P.Target.size());
        SourceUnits += static_cast<int64_t>(P.Source.size());
    }
    State.counters["units/s"] = benchmark::Counter(static_cast<double>(Units), benchmark::Counter::kIsRate);
    State.counters["source_units/s"] =
        benchmark::Counter(static_cast<double>(SourceUnits), benchmark::Counter::kIsRate);

    static const char* const ShapeNames[3][3] = {{"", "0-1", ""}, {"1-0", "1-1", "1-2"}, {"", "2-1", "2-2"}};
    int64_t ShapeTrue[3][3] = {}, ShapeFound[3][3] = {};
    int64_t Found = 0, Correct = 0, True = 0;
    for (const TParagraphPair& P : Pairs) {
        const TBeadCounts Counts = AlignLengths(P.Source, P.Target);
        int s = 0, t = 0;
        for (int32_t k = 0; k < Counts.Count(); ++k) {
            const int ds = Counts.Source[static_cast<size_t>(k)], dt = Counts.Target[static_cast<size_t>(k)];
            const bool Right = P.Truth.count({s, ds, t, dt}) > 0;
            Correct += Right;
            ShapeFound[ds][dt] += Right;
            s += ds;
            t += dt;
        }
        Found += Counts.Count();
        True += static_cast<int64_t>(P.Truth.size());
        for (const auto& [s0, ds, t0, dt] : P.Truth) ++ShapeTrue[ds][dt];
    }
    for (int ds = 0; ds < 3; ++ds)
        for (int dt = 0; dt < 3; ++dt)
            if (ShapeTrue[ds][dt] > 0)
                State.counters[std::string("recall_") + ShapeNames[ds][dt]] =
                    static_cast<double>(ShapeFound[ds][dt]) / static_cast<double>(ShapeTrue[ds][dt]);
    State.counters["precision"] = static_cast<double>(Correct) / static_cast<double>(Found);
    State.counters["recall"] = static_cast<double>(Correct) / static_cast<double>(True);
}
BENCHMARK(BM_AlignParagraphs)->Arg(1)->Arg(0);

// One section of Paragraphs paragraphs of three sentences of 40 to 120 bytes.
struct TEditedFile {
    TAlignIndex Sections, Paragraphs, Sentences;
    TAlignBoxSide Side() { return {&Sections, &Paragraphs, &Sentences}; }
    TEditedFile(int Paragraphs, uint32_t Seed) {
        std::mt19937 Rng(Seed);
        int32_t Pos = 0;
        for (int P = 0; P < Paragraphs; ++P) {
            const int32_t Start = Pos;
            for (int S = 0; S < 3; ++S) {
                const int32_t L = std::uniform_int_distribution<int32_t>(40, 120)(Rng);
                this->Sentences.Add(Pos, Pos + L, L);
                Pos += L;
            }
            this->Paragraphs.Add(Start, Pos, Pos - Start);
        }
        Sections.Add(0, Pos, Pos);
    }
};

void BM_EditAndUndo(benchmark::State& State) {
    TEditedFile Src(int(State.range(0)), 1), Tgt(int(State.range(0)), 2);
    TAlignEditor Editor;
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    const int32_t Row = int32_t(State.range(0) / 2);
    const TSegment Middle = Src.Paragraphs.GetItem(Row);
    const TAlignCaret Caret{Middle.Start + 50, Row};
    for (auto _ : State) {
        Editor.Split(0, false, Caret, 0);
        Editor.Undo();
        Editor.InsertEmpty(0, Caret, 0);
        Editor.Undo();
        Editor.Merge(0, false, true, Caret, 0);
        Editor.Undo();
        benchmark::DoNotOptimize(BuildAlignBoxRows(Src.Side(), 0).size());
    }
    State.counters["edits"] = benchmark::Counter(3.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EditAndUndo)->Arg(2000)->Unit(benchmark::kMicrosecond);

void BM_AutoAlignAndUndo(benchmark::State& State) {
    const int N = int(State.range(0));
    TEditedFile Src(N, 3), Tgt(N - N / 50, 4);
    TAlignEditor Editor;
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    for (auto _ : State) {
        if (Editor.AlignParagraphsAutomatically(0) != TAlignEditor::aaAligned) State.SkipWithError("refused");
        Editor.Undo();
    }
}
BENCHMARK(BM_AutoAlignAndUndo)->Arg(700)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
