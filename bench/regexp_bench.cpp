// Searching 100 MB of generated text, cut into 8 KB units as the search reads them, for every match of a
// word pattern and of a pattern with a class and a repetition: the engine next to the C library's
// POSIX matcher (regexec, REG_EXTENDED) on the same units. Throughput in bytes per second; the hit
// counters of both must agree.
#include <benchmark/benchmark.h>
#include <regex.h>

#include <random>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"

namespace {

constexpr size_t CorpusBytes = 100u << 20;
constexpr size_t UnitBytes = 8192;

// Units of English-like text (std::string keeps them zero-terminated for regexec).
const std::vector<std::string>& Units() {
    static const std::vector<std::string> Result = [] {
        static const char* const Words[] = {
            "the",   "of",     "and",     "to",      "in",     "house",   "houses",  "housing", "was",
            "that",  "he",     "for",     "it",      "with",   "as",      "his",     "on",      "be",
            "at",    "by",     "thing",   "singing", "bring",  "morning", "evening", "London",  "Paris",
            "river", "walked", "quickly", "between", "answer", "1999",    "42",      "nothing", "during"};
        static const char* const Breaks[] = {" ", " ", " ", " ", " ", ", ", ". ", "; ", "\r\n", " \"", "\" "};
        std::mt19937 Rng(12345);
        std::vector<std::string> Out;
        std::string Unit;
        size_t Total = 0;
        while (Total < CorpusBytes) {
            Unit.clear();
            while (Unit.size() < UnitBytes - 16) {
                Unit += Words[Rng() % std::size(Words)];
                Unit += Breaks[Rng() % std::size(Breaks)];
            }
            Total += Unit.size();
            Out.push_back(Unit);
        }
        return Out;
    }();
    return Result;
}

int64_t CorpusSize() {
    int64_t Size = 0;
    for (const std::string& Unit : Units()) Size += int64_t(Unit.size());
    return Size;
}

std::shared_ptr<const TRegExpCharTables> Cp1252Tables() {
    const platform::TCodePageTables& Page = platform::CodePageTables(1252);
    TRegExpCharSource Source;
    Source.CharType1 = Page.CharType1;
    Source.LowerCase = Page.LowerCase;
    Source.UpperCase = Page.UpperCase;
    Source.NonWordChars = std::string(DefaultNonWordChars);
    return BuildRegExpCharTables(Source);
}

const char* const Patterns[] = {"house", "[a-z]+ing"};

void EngineSearch(benchmark::State& State) {
    const int64_t Size = CorpusSize();
    TRegExp Re(Patterns[State.range(0)], RegExpSyntaxExtended, 0, Cp1252Tables());
    int64_t Hits = 0;
    for (auto _ : State) {
        Hits = 0;
        for (const std::string& Unit : Units()) {
            TRegExpSpan Span;
            int Start = 0;
            while (Re.Search(Unit, Start, Span)) {
                ++Hits;
                Start = Span.End;
            }
        }
    }
    State.SetBytesProcessed(State.iterations() * Size);
    State.counters["hits"] = double(Hits);
    State.SetLabel(Patterns[State.range(0)]);
}

void RegexecSearch(benchmark::State& State) {
    const int64_t Size = CorpusSize();
    regex_t Re;
    if (regcomp(&Re, Patterns[State.range(0)], REG_EXTENDED) != 0) {
        State.SkipWithError("regcomp failed");
        return;
    }
    int64_t Hits = 0;
    for (auto _ : State) {
        Hits = 0;
        for (const std::string& Unit : Units()) {
            regmatch_t Match[1];
            regoff_t Start = 0;
            for (;;) {
                // REG_STARTEND searches from Start with the text before it in view, as the engine does.
                Match[0].rm_so = Start;
                Match[0].rm_eo = regoff_t(Unit.size());
                if (regexec(&Re, Unit.c_str(), 1, Match, REG_STARTEND) != 0 ||
                    Match[0].rm_eo == Match[0].rm_so)
                    break;
                ++Hits;
                Start = Match[0].rm_eo;
            }
        }
    }
    regfree(&Re);
    State.SetBytesProcessed(State.iterations() * Size);
    State.counters["hits"] = double(Hits);
    State.SetLabel(Patterns[State.range(0)]);
}

}  // namespace

BENCHMARK(EngineSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RegexecSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
