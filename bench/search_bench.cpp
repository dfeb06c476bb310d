// Speed of the pattern matcher over one range of generated text held in memory: a plain word, a
// wildcard word, a two-word phrase, a word skip and a regular expression.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearch.h"
#include "engine/SynStream.h"

namespace {

struct TOwner : TSearchOwner {
    void UpdateProgress(int32_t, bool) override {}
};

const std::string& Text() {
    static const std::string text = [] {
        uint64_t state = 12345;
        auto next = [&](uint32_t bound) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<uint32_t>(state >> 33) % bound;
        };
        static const char* const letters = "etaoinshrdlucmfwypvbgkjqxz";
        std::vector<std::string> words;
        for (int i = 0; i < 5000; ++i) {
            std::string word;
            const uint32_t length = 1 + next(6) + next(6);
            for (uint32_t k = 0; k < length; ++k) word += letters[next(k == 0 ? 26 : 12)];
            if (next(8) == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
            words.push_back(word);
        }
        words[0] = "the";
        words[1] = "rarest";
        std::string out;
        while (out.size() < (32u << 20)) {
            const uint32_t pick = next(100) < 5 ? 0 : 2 + next(4998);
            out += words[pick];
            out += next(14) == 0 ? ",\r\n" : " ";
        }
        out += "rarest";
        return out;
    }();
    return text;
}

void Setup() {
    if (CommonConfig) return;
    InitConfigUnit();
    TCommonConcordConfig& c = *CommonConfig;
    c.TagStart = '<';
    c.TagStop = '>';
    c.WildCard0orMore = '*';
    c.WildCard0or1 = '%';
    c.WildCardExactly1 = '?';
    c.WildCardMatchWords = '@';
    c.MatchWordsLo = 2;
    c.MatchWordsHi = 5;
    LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
    LanguagesCount = 1;
}

void Search(benchmark::State& State, const char* Pattern, uint8_t Syntax) {
    Setup();
    const std::string& text = Text();
    TMemorySynchroStream stream(text);
    TOwner owner;
    int64_t hits = 0;
    for (auto _ : State) {
        TSearchContext context(0, Pattern, Syntax, TCharSet(), false);
        context.Owner = &owner;
        TBufStream reader(stream, 0);
        // As every search configures its readers: tags on, so the word reading looks out for them.
        ConfigureBufStream(reader);
        hits = 0;
        while (context.SearchRange(reader, true)) ++hits;
    }
    State.counters["hits"] = static_cast<double>(hits);
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK_CAPTURE(Search, FrequentWord, "the", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, RareWord, "rarest", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, Wildcard, "th*", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, Phrase, "the e*", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, Skip, "the @ rarest", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search, RegExp, "the [a-z]+", 1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
