// Sorting the concordance lines of a million hits on three keys (the search term, the first and the
// second word to its right), next to std::sort over the same keys precomputed as one string per line.
// The hits come from a generated text: every occurrence of one of its twenty most frequent words, with
// the four words on each side. The list's memory per item is reported as the counter BytesPerItem.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchRandom.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"

namespace {

constexpr int32_t HitCount = 1000000;
constexpr uint32_t VocabularySize = 200000;
constexpr uint32_t SearchTerms = 20;

// Words of 1 to 13 letters drawn with a Zipf-like law, as in natural text.
std::vector<std::string> MakeVocabulary(TRandom& Random) {
    static const char* const Letters = "etaoinshrdlucmfwypvbgkjqxz";
    std::vector<std::string> Words;
    for (uint32_t I = 0; I < VocabularySize; ++I) {
        std::string Word;
        const uint32_t Length = 1 + Random.Next(7) + Random.Next(7);
        for (uint32_t K = 0; K < Length; ++K) Word += Letters[Random.Next(K == 0 ? 26 : 14)];
        Words.push_back(Word);
    }
    return Words;
}

uint32_t ZipfIndex(TRandom& Random) {
    return static_cast<uint32_t>(std::exp(Random.Unit() * std::log(double(VocabularySize)))) - 1;
}

struct TCorpus {
    std::vector<std::string> Vocabulary;
    std::vector<uint32_t> Text;  // word indexes
    std::vector<uint32_t> Hits;  // positions in Text
};

TCorpus& Corpus() {
    static TCorpus C = [] {
        TCorpus Made;
        TRandom Random(2024);
        Made.Vocabulary = MakeVocabulary(Random);
        for (int I = 0; I < 4; ++I) Made.Text.push_back(ZipfIndex(Random));
        while (Made.Hits.size() < HitCount) {
            Made.Text.push_back(ZipfIndex(Random));
            if (Made.Text.back() < SearchTerms)
                Made.Hits.push_back(static_cast<uint32_t>(Made.Text.size() - 1));
        }
        for (int I = 0; I < 4; ++I) Made.Text.push_back(ZipfIndex(Random));
        return Made;
    }();
    return C;
}

std::unique_ptr<TConcordItems> MakeList() {
    TCorpus& C = Corpus();
    auto List = std::make_unique<TConcordItems>(0);
    for (int32_t I = 0; I < HitCount; ++I) {
        auto Item = std::make_unique<TConcordItem>(0);
        Item->Sequence = I;
        const uint32_t At = C.Hits[static_cast<size_t>(I)];
        Item->Texts.Set(0, C.Vocabulary[C.Text[At]]);
        for (int K = 1; K <= 4; ++K) {
            Item->Texts.Set(5 - K, C.Vocabulary[C.Text[At - K]]);
            Item->Texts.Set(4 + K, C.Vocabulary[C.Text[At + K]]);
        }
        List->Add(std::move(Item));
    }
    return List;
}

TAdvancedSortColOptions ThreeKeys() {
    TAdvancedSortColOptions Spec;
    InitSortColOptions(Spec);
    Spec.Keys = {{{skSearchTerm, false}, {sk1R, false}, {sk2R, false}}};
    return Spec;
}

void BM_ConcordItemsSortThreeKeys(benchmark::State& State) {
    const size_t Before = mallinfo2().uordblks;
    std::unique_ptr<TConcordItems> List = MakeList();
    const size_t After = mallinfo2().uordblks;
    TAdvancedSortColOptions Original;
    InitSortColOptions(Original);
    Original.Keys[0] = {skOriginalOrder, false};
    for (auto _ : State) {
        State.PauseTiming();
        List->SortBy(Original, nullptr, nullptr);
        State.ResumeTiming();
        List->SortBy(ThreeKeys(), nullptr, nullptr);
        benchmark::DoNotOptimize(List->GetItem(0));
    }
    State.counters["BytesPerItem"] = static_cast<double>(After - Before) / HitCount;
    State.SetItemsProcessed(State.iterations() * HitCount);
}

// The same three keys in the order of the item sort, joined by a byte that sorts below every letter.
void BM_StdSortPrecomputedKeys(benchmark::State& State) {
    TCorpus& C = Corpus();
    std::vector<std::string> Keys;
    Keys.reserve(HitCount);
    for (uint32_t At : C.Hits)
        Keys.push_back(C.Vocabulary[C.Text[At]] + '\x01' + C.Vocabulary[C.Text[At + 1]] + '\x01' +
                       C.Vocabulary[C.Text[At + 2]]);
    for (auto _ : State) {
        State.PauseTiming();
        std::vector<std::string> Copy = Keys;
        State.ResumeTiming();
        std::sort(Copy.begin(), Copy.end());
        benchmark::DoNotOptimize(Copy.data());
    }
    State.SetItemsProcessed(State.iterations() * HitCount);
}

// The sort with every exchange reported to a second list kept in step, as a window with two languages.
void BM_ConcordItemsSortInStep(benchmark::State& State) {
    std::unique_ptr<TConcordItems> List = MakeList();
    TConcordItems Other(0);
    for (int32_t I = 0; I < HitCount; ++I) Other.Add(std::make_unique<TConcordItem>(0));
    TAdvancedSortColOptions Original;
    InitSortColOptions(Original);
    Original.Keys[0] = {skOriginalOrder, false};
    for (auto _ : State) {
        State.PauseTiming();
        List->SortBy(Original, nullptr, nullptr);
        State.ResumeTiming();
        List->SortBy(ThreeKeys(), nullptr, [&](int32_t I, int32_t J) { Other.Exchange(I, J); });
        benchmark::DoNotOptimize(Other.GetItem(0));
    }
    State.SetItemsProcessed(State.iterations() * HitCount);
}

BENCHMARK(BM_ConcordItemsSortThreeKeys)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StdSortPrecomputedKeys)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConcordItemsSortInStep)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    LanguagesCount = 1;
    CommonConfig = std::make_unique<TCommonConcordConfig>();
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguageConfigs[0]->SetLanguage(1033, "English");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    LanguageConfigs[0].reset();
    CommonConfig.reset();
    return 0;
}
