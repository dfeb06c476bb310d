// Searching 100 MB of generated text, cut into 8 KB units as the search reads them, for every match of
// everyday patterns and of patterns that defeat a plain backtracking matcher: the engine next to the C
// library's POSIX matcher (regexec, REG_EXTENDED) on the same units. Throughput in bytes per second and
// time per unit; the hit counters of both must agree. Patterns that need a particular text run on units
// of that text. Back-references run under a step limit (the time a unit may cost) and with a cancel
// set from another thread (the time from the request to the search's end).
//
// REGEXP_BENCH_MB sets the corpus size in megabytes (100 by default; the one-letter texts stop at 1 MB).
#include <benchmark/benchmark.h>
#include <regex.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"

namespace {

constexpr size_t UnitBytes = 8192;

size_t CorpusBytes() {
    const char* Env = std::getenv("REGEXP_BENCH_MB");
    const long Mb = Env ? std::atol(Env) : 100;
    return size_t(Mb > 0 ? Mb : 100) << 20;
}

// Units of English-like text (std::string keeps them zero-terminated for regexec).
const std::vector<std::string>& EnglishUnits() {
    static const std::vector<std::string> Result = [] {
        static const char* const Words[] = {
            "the",     "of",       "and",     "to",     "in",        "house",   "houses",  "housing",
            "was",     "that",     "he",      "for",    "it",        "with",    "as",      "his",
            "on",      "be",       "at",      "by",     "thing",     "singing", "bring",   "morning",
            "evening", "London",   "Paris",   "river",  "walked",    "quickly", "between", "answer",
            "1999",    "42",       "nothing", "during", "unusually", "colour",  "color",   "a",
            "an",      "unlikely", "next",    "box",    "quiet",     "size"};
        static const char* const Breaks[] = {" ", " ", " ", " ", " ", ", ", ". ", "; ", "\r\n", " \"", "\" "};
        std::mt19937 Rng(12345);
        std::vector<std::string> Out;
        std::string Unit;
        size_t Total = 0;
        const size_t Wanted = CorpusBytes();
        while (Total < Wanted) {
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

// Units of one letter and a tail, 1 MB of them at most: both matchers spend far longer per unit on
// these.
std::vector<std::string> RepeatedUnits(char C, size_t Bytes, const std::string& Tail) {
    return std::vector<std::string>(std::min<size_t>(CorpusBytes(), 1u << 20) / Bytes,
                                    std::string(Bytes - Tail.size(), C) + Tail);
}

struct TBenchPattern {
    const char* Pattern;
    char Letter;       // 0: English units, else units of this letter
    size_t UnitSize;   // for the letter units
    const char* Tail;  // ends the letter units: with the pattern's last byte the search cannot stop early
};

const TBenchPattern Patterns[] = {
    {"house", 0, 0, ""},
    {"[a-z]+ing", 0, 0, ""},
    {"\\bun\\w+ly\\b", 0, 0, ""},
    {"colou?r", 0, 0, ""},
    {"(the|a|an) \\w+", 0, 0, ""},
    {".*.*x", 0, 0, ""},
    {".*.*.*.*x", 0, 0, ""},
    {"(.*) (.*) (.*)z", 0, 0, ""},
    {"(.*){1,30}q", 0, 0, ""},
    {"(.+ ){1,40}q", 0, 0, ""},
    {"(x+x+)+y", 'x', UnitBytes, ""},
    {"(a{1,100}){1,100}c", 'a', UnitBytes, ""},
    {"((a|aa){0,40}){0,40}c", 'a', 100, ""},
    {"(x+x+)+y", 'x', UnitBytes, "zy"},
    {"(a{1,100}){1,100}c", 'a', UnitBytes, "bc"},
    {"((a|aa){0,40}){0,40}c", 'a', 100, "bc"},
};

const std::vector<std::string>& UnitsOf(const TBenchPattern& P) {
    static std::vector<std::string> Cache[std::size(Patterns)];
    const size_t Index = size_t(&P - Patterns);
    if (P.Letter == 0) return EnglishUnits();
    if (Cache[Index].empty()) Cache[Index] = RepeatedUnits(P.Letter, P.UnitSize, P.Tail);
    return Cache[Index];
}

int64_t SizeOf(const std::vector<std::string>& Units) {
    int64_t Size = 0;
    for (const std::string& Unit : Units) Size += int64_t(Unit.size());
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

void Report(benchmark::State& State, const std::vector<std::string>& Units, int64_t Hits, const char* Label) {
    State.SetBytesProcessed(State.iterations() * SizeOf(Units));
    State.counters["hits"] = double(Hits);
    // Seconds per unit (shown in the benchmark's time unit by the rate's inverse).
    State.counters["per_unit"] = benchmark::Counter(
        double(Units.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    State.SetLabel(Label);
}

void EngineSearch(benchmark::State& State) {
    const TBenchPattern& P = Patterns[State.range(0)];
    const std::vector<std::string>& Units = UnitsOf(P);
    TRegExp Re(P.Pattern, RegExpSyntaxExtended, 0, Cp1252Tables());
    int64_t Hits = 0;
    int64_t GaveUp = 0;
    for (auto _ : State) {
        Hits = 0;
        GaveUp = 0;
        for (const std::string& Unit : Units) {
            TRegExpSpan Span;
            int Start = 0;
            try {
                while (Re.Search(Unit, Start, Span)) {
                    ++Hits;
                    Start = Span.End;
                }
            } catch (const ERegExp&) {
                ++GaveUp;  // the unit exceeded the step limit
            }
        }
    }
    Report(State, Units, Hits, (std::string(P.Pattern) + (*P.Tail ? " +tail" : "")).c_str());
    State.counters["gave_up"] = double(GaveUp);
}

void RegexecSearch(benchmark::State& State) {
    const TBenchPattern& P = Patterns[State.range(0)];
    const std::vector<std::string>& Units = UnitsOf(P);
    regex_t Re;
    if (regcomp(&Re, P.Pattern, REG_EXTENDED) != 0) {
        State.SkipWithError("regcomp failed");
        return;
    }
    int64_t Hits = 0;
    for (auto _ : State) {
        Hits = 0;
        for (const std::string& Unit : Units) {
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
    Report(State, Units, Hits, (std::string(P.Pattern) + (*P.Tail ? " +tail" : "")).c_str());
}

// A back-reference pattern that no matcher answers quickly on long texts: each unit runs under the
// default step limit, and the time per unit is what a user waits before the unit gives up.
const char* const BackRefPattern = "(.+)(.+)\\2\\1q";

void BackRefUnderStepLimit(benchmark::State& State) {
    TRegExp Re(BackRefPattern, RegExpSyntaxExtended, 0, Cp1252Tables());
    const std::string& Unit = EnglishUnits()[0];
    int64_t GaveUp = 0;
    for (auto _ : State) {
        TRegExpRegisters Regs;
        GaveUp += RegExpSearchRange(*Re.Pattern, Unit.data(), int(Unit.size()), 0, int(Unit.size()), &Regs) ==
                  RegExpTooManySteps;
    }
    State.counters["gave_up"] = double(GaveUp);
    State.SetLabel(BackRefPattern);
}

// The time from setting the cancel flag to the search's return, while the search runs without a step
// limit.
void BackRefCancel(benchmark::State& State) {
    TRegExp Re(BackRefPattern, RegExpSyntaxExtended, 0, Cp1252Tables());
    const std::string& Unit = EnglishUnits()[0];
    double Worst = 0;
    for (auto _ : State) {
        std::atomic<bool> Cancel{false};
        std::chrono::steady_clock::time_point Requested;
        std::thread Canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Requested = std::chrono::steady_clock::now();
            Cancel = true;
        });
        TRegExpControlScope Scope({&Cancel, UINT64_MAX});
        const int Result =
            RegExpSearchRange(*Re.Pattern, Unit.data(), int(Unit.size()), 0, int(Unit.size()), nullptr);
        const auto Returned = std::chrono::steady_clock::now();
        Canceller.join();
        if (Result != RegExpCancelled) State.SkipWithError("the search ended before the cancel");
        const double Ms = std::chrono::duration<double, std::milli>(Returned - Requested).count();
        Worst = std::max(Worst, Ms);
    }
    State.counters["cancel_ms"] = Worst;
    State.SetLabel(BackRefPattern);
}

void AllPatterns(benchmark::internal::Benchmark* B) {
    for (size_t K = 0; K < std::size(Patterns); ++K) B->Arg(int64_t(K));
}

}  // namespace

BENCHMARK(EngineSearch)->Apply(AllPatterns)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RegexecSearch)->Apply(AllPatterns)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BackRefUnderStepLimit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BackRefCancel)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
