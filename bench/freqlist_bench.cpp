// Building the corpus frequency list of a 100 MB generated text, in words per second, next to counting
// the same words in a std::unordered_map: once with the reading (the file read through the reader and
// its words counted as they come), and once over words read beforehand and kept, so that the counting
// alone is measured.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/BenchRandom.h"
#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"
#include "engine/SynStream.h"

namespace {

constexpr int64_t CorpusBytes = 100LL * 1024 * 1024;
constexpr uint32_t VocabularySize = 200000;

// Words of 1 to 14 letters, some capitalised, drawn with a Zipf-like law as in natural text: a few
// words make most of the running text and most words are rare.
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
    // Inverse of a continuous 1/x law over [1, VocabularySize].
    return static_cast<uint32_t>(std::exp(Random.Unit() * std::log(double(VocabularySize)))) - 1;
}

void WriteCorpus(const std::string& Path) {
    TRandom Random(20240611);
    const std::vector<std::string> Words = MakeVocabulary(Random);
    std::ofstream Out(Path, std::ios::binary);
    std::string Line;
    int64_t Written = 0;
    while (Written < CorpusBytes) {
        Line.clear();
        const uint32_t Count = 6 + Random.Next(20);
        for (uint32_t W = 0; W < Count; ++W) {
            std::string Word = Words[ZipfIndex(Random)];
            if (W == 0 || Random.Next(20) == 0) Word[0] = static_cast<char>(Word[0] - 'a' + 'A');
            Line += Word;
            Line += Random.Next(12) == 0 ? ", " : " ";
        }
        Line += ".\r\n";
        Out.write(Line.data(), static_cast<std::streamsize>(Line.size()));
        Written += static_cast<int64_t>(Line.size());
    }
}

std::string CorpusPath;
int64_t CorpusFileBytes = 0;

// Every word of the corpus, in order, as views into one text.
struct TWords {
    std::string Text;
    std::vector<std::string_view> Words;
};
TWords AllWords;

void ReadWords(const std::string& Path) {
    TFileSynchroStream Stream(Path, fmOpenRead | fmShareDenyWrite);
    TBufStream Reader(Stream, 0, NonWordCharSet(LanguageConfigs[0]->NonWordChars, "*%?@"));
    std::vector<std::pair<size_t, size_t>> Spans;
    for (std::string_view Word = Reader.NextWord(); !Word.empty(); Word = Reader.NextWord()) {
        Spans.emplace_back(AllWords.Text.size(), Word.size());
        AllWords.Text += Word;
    }
    AllWords.Words.reserve(Spans.size());
    for (const auto& [Start, Length] : Spans)
        AllWords.Words.emplace_back(AllWords.Text.data() + Start, Length);
}

// Reads the corpus file through the reader and hands every word to Count; returns the number of words.
template <class TCount>
int64_t ReadEveryWord(TCount&& Count) {
    TFileSynchroStream Stream(CorpusPath, fmOpenRead | fmShareDenyWrite);
    TBufStream Reader(Stream, 0, NonWordCharSet(LanguageConfigs[0]->NonWordChars, "*%?@"));
    int64_t Words = 0;
    for (std::string_view Word = Reader.NextWord(); !Word.empty(); Word = Reader.NextWord()) {
        Count(Word);
        ++Words;
    }
    return Words;
}

void BM_ReadIntoFreqList(benchmark::State& State) {
    FrequencyConfigs[0].IgnoreCase = false;
    int64_t Words = 0;
    for (auto _ : State) {
        TFreqList List(0);
        Words = ReadEveryWord([&List](std::string_view Word) { List.AddWord(Word); });
        benchmark::DoNotOptimize(List.Order().data());
        State.counters["distinct"] = List.Count();
    }
    State.SetItemsProcessed(State.iterations() * Words);
    State.SetBytesProcessed(State.iterations() * CorpusFileBytes);
}

void BM_ReadIntoUnorderedMap(benchmark::State& State) {
    int64_t Words = 0;
    for (auto _ : State) {
        std::unordered_map<std::string, int> Counts;
        Words = ReadEveryWord([&Counts](std::string_view Word) { ++Counts[std::string(Word)]; });
        benchmark::DoNotOptimize(Counts.size());
        State.counters["distinct"] = static_cast<double>(Counts.size());
    }
    State.SetItemsProcessed(State.iterations() * Words);
    State.SetBytesProcessed(State.iterations() * CorpusFileBytes);
}

void CountIntoFreqList(benchmark::State& State, bool IgnoreCase) {
    FrequencyConfigs[0].IgnoreCase = IgnoreCase;
    for (auto _ : State) {
        TFreqList List(0);
        for (const std::string_view Word : AllWords.Words) List.AddWord(Word);
        benchmark::DoNotOptimize(List.Order().data());
        State.counters["distinct"] = List.Count();
    }
    State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(AllWords.Words.size()));
}

void BM_FreqList(benchmark::State& State) {
    CountIntoFreqList(State, false);
}

void BM_FreqListIgnoreCase(benchmark::State& State) {
    CountIntoFreqList(State, true);
}

void BM_UnorderedMap(benchmark::State& State) {
    for (auto _ : State) {
        std::unordered_map<std::string, int> Counts;
        for (const std::string_view Word : AllWords.Words) ++Counts[std::string(Word)];
        benchmark::DoNotOptimize(Counts.size());
        State.counters["distinct"] = static_cast<double>(Counts.size());
    }
    State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(AllWords.Words.size()));
}

// The corpus pass ends with a sort by frequency before the list is shown.
void BM_FreqListSortByFrequency(benchmark::State& State) {
    FrequencyConfigs[0].IgnoreCase = true;
    TFreqList List(0);
    for (const std::string_view Word : AllWords.Words) List.AddWord(Word);
    for (auto _ : State) {
        List.SortByFrequency();
        benchmark::DoNotOptimize(List.Order().data());
    }
    State.SetItemsProcessed(State.iterations() * List.Count());
}

BENCHMARK(BM_ReadIntoFreqList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIntoUnorderedMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreqList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreqListIgnoreCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnorderedMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreqListSortByFrequency)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path Folder =
        std::filesystem::temp_directory_path() / ("tessivor-freqlist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Folder);
    CorpusPath = (Folder / "corpus.txt").string();
    LanguagesCount = 1;
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguageConfigs[0]->SetLanguage(1033, "English");
    WriteCorpus(CorpusPath);
    CorpusFileBytes = static_cast<int64_t>(std::filesystem::file_size(CorpusPath));
    ReadWords(CorpusPath);
    benchmark::Initialize(&argc, argv);
    const bool Unrecognized = benchmark::ReportUnrecognizedArguments(argc, argv);
    if (!Unrecognized) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder);
    if (Unrecognized) return 1;
    LanguageConfigs[0].reset();
    return 0;
}
