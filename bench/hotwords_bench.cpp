// Ranking the words of 100,000 hits' contexts against the frequency list of a 100-million-word corpus:
// the hot-word ranking alone, and with the grouping of similar word forms on (the program's default
// thresholds in both). Both lists are built once, before the timing: the corpus list with the counts a
// Zipf law gives a million distinct words in 100 M running words, the local list from 20 words drawn
// per hit from the same law, a few hundred topical words drawn more often.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench/BenchRandom.h"
#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"
#include "results/ConcHotWordsRules.h"

namespace {

constexpr uint32_t Vocabulary = 1000000;
constexpr double CorpusWords = 100e6;
constexpr uint32_t Hits = 100000;
constexpr uint32_t WordsPerHit = 20;
constexpr uint32_t TopicalWords = 300;

struct TLists {
    std::unique_ptr<TFreqList> Reference;
    std::unique_ptr<TFreqList> Local;
};

std::vector<std::string> MakeVocabulary(TRandom& Random) {
    static const char* const Letters = "etaoinshrdlucmfwypvbgkjqxz";
    std::unordered_set<std::string> Seen;
    std::vector<std::string> Words;
    while (Words.size() < Vocabulary) {
        std::string Word;
        const uint32_t Length = 2 + Random.Next(7) + Random.Next(7);
        for (uint32_t K = 0; K < Length; ++K) Word += Letters[Random.Next(K == 0 ? 26 : 14)];
        if (Seen.insert(Word).second) Words.push_back(std::move(Word));
    }
    return Words;
}

// A rank 1..Vocabulary drawn with the continuous 1/x law.
uint32_t ZipfRank(TRandom& Random) {
    return std::min<uint32_t>(Vocabulary, uint32_t(std::exp(Random.Unit() * std::log(double(Vocabulary)))));
}

const TLists& Lists() {
    static const TLists Built = [] {
        LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
        LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
        LanguagesCount = 1;
        TRandom Random(4131);
        const std::vector<std::string> Words = MakeVocabulary(Random);
        TLists L;
        L.Reference = std::make_unique<TFreqList>(0);
        const double Harmonic = std::log(double(Vocabulary)) + 0.5772156649;
        for (uint32_t Rank = 1; Rank <= Vocabulary; ++Rank)
            L.Reference->AddWord(Words[Rank - 1],
                                 std::max<int32_t>(1, int32_t(CorpusWords / (Harmonic * Rank))));
        L.Local = std::make_unique<TFreqList>(0);
        for (uint32_t Hit = 0; Hit < Hits; ++Hit)
            for (uint32_t W = 0; W < WordsPerHit; ++W) {
                const bool Topical = Random.Next(10) == 0;
                const uint32_t Rank = Topical ? 1000 + Random.Next(TopicalWords) * 97 : ZipfRank(Random);
                L.Local->AddWord(Words[Rank - 1]);
            }
        L.Local->SortByFrequency();
        return L;
    }();
    return Built;
}

void Rank(benchmark::State& State, bool Paradigm) {
    const TLists& L = Lists();
    THotWordsOptions Options{0.001, Paradigm, 0.6, 0.0001};
    size_t Kept = 0;
    for (auto _ : State) {
        THotWordCandidates Candidates;
        RankKeywordCandidates(0, *L.Reference, *L.Local, Options, Candidates);
        Kept = Candidates.size();
        benchmark::DoNotOptimize(Candidates.data());
    }
    State.counters["local_words"] = double(L.Local->Count());
    State.counters["corpus_words"] = double(L.Reference->Count());
    State.counters["candidates"] = double(Kept);
}

void BM_RankHotWords(benchmark::State& State) {
    Rank(State, false);
}
void BM_RankHotWordsWithParadigms(benchmark::State& State) {
    Rank(State, true);
}

BENCHMARK(BM_RankHotWords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RankHotWordsWithParadigms)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
