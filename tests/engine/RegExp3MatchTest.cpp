// The matcher under the pattern object: counted loops, empty loops, the failure-stack limit, and
// properties over random patterns.
#include <gtest/gtest.h>
#include <regex.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "engine/RegExp3_Dfa.h"
#include "platform/Nls.h"
#include "tests/engine/RegExpTestSupport.h"

namespace {

std::shared_ptr<const TRegExpCharTables> TablesOf(int CodePage, bool IgnoreCase = false) {
    return BuildRegExpCharTables(SourceOf(CodePage, IgnoreCase));
}

const std::shared_ptr<const TRegExpCharTables>& Cp1252() {
    static const auto Tables = TablesOf(1252);
    return Tables;
}

// The leftmost match from 0 as {start, end}; {-1, -1} when none, {-2, -2} when the matcher gave up.
std::pair<int, int> Leftmost(const TRegExpPattern& Pattern, const std::string& Text) {
    TRegExpRegisters Regs;
    const int Length = int(Text.size());
    const int Pos = RegExpSearchRange(Pattern, Text.data(), Length, 0, Length, &Regs);
    if (Pos < 0) return {Pos, Pos};
    return {Regs.Starts[0], Regs.Ends[0]};
}

std::pair<int, int> Leftmost(const std::string& Pattern, const std::string& Text,
                             uint32_t Syntax = RegExpSyntaxExtended) {
    TRegExp Re(Pattern, Syntax, 0, Cp1252());
    return Leftmost(*Re.Pattern, Text);
}

// The same by the backtracking matcher alone (its failure stack is what some tests are about).
std::pair<int, int> LeftmostByMatcher(const std::string& Pattern, const std::string& Text) {
    TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Cp1252());
    Re.Pattern->UseAutomaton = false;
    return Leftmost(*Re.Pattern, Text);
}

struct TCase {
    const char* Pattern;
    std::string Text;
    int Start, End;
};

void ExpectLeftmost(const std::vector<TCase>& Cases) {
    for (const TCase& Case : Cases)
        EXPECT_EQ(Leftmost(Case.Pattern, Case.Text), std::make_pair(Case.Start, Case.End))
            << Case.Pattern << " on " << Case.Text;
}

TEST(RegExpMatch, IntervalsNestByPosixRules) {
    ExpectLeftmost({{"a{0}b", "ab", 1, 2},
                    {"a{0}", "a", 0, 0},
                    {"a{3}", "aa", -1, -1},
                    {"(ab){2}", "ababab", 0, 4},
                    {"(ab){2,}", "ababab", 0, 6},
                    {"a{1,3}", "aaaa", 0, 3},
                    {"a{2,3}a", "aaa", 0, 3},
                    {"(a{2}){2}", "aaaaa", 0, 4},
                    {"(a{1,2}){2}", "aaa", 0, 3},
                    {"(a{2,3}){2}", "aaaaaaa", 0, 6},
                    {"((ab){1,2}c){2}", "abcababc", 0, 8},
                    {"(a{2}|b){2}", "aab", 0, 3},
                    {"x{2}{3}", "xxxxxxx", 0, 6},
                    {"(a|b){3,}", "abab", 0, 4},
                    {"(a{2}){0}b", "aab", 2, 3},
                    {"(a*){2}b", "aab", 0, 3},
                    {"(){3}x", "x", 0, 1}});
}

TEST(RegExpMatch, LoopsOverEmptyBodiesEnd) {
    ExpectLeftmost({{"(a*)*", "aab", 0, 2},
                    {"(a*)*b", "b", 0, 1},
                    {"(a*)+b", "aab", 0, 3},
                    {"(a|)*b", "aab", 0, 3},
                    {"((a*)*)*c", "aac", 0, 3},
                    {"()*x", "x", 0, 1},
                    {"(a*|b)*c", "abac", 0, 4},
                    {"(\\b|a)*c", "aac", 0, 3},
                    {"(a*){5,}", "aa", 0, 2},
                    {"(a?){3}a{3}", "aaa", 0, 3},
                    // The body matches empty only at some positions: the first iteration is not optional.
                    {"a{0,1}([ab]\\1{0,1}|$^)+.", "a ", 0, 2},
                    {" \\S?((\\<b|\\s{0,1}a|(..\\d)(b1{0})\\<|\\b))+", " bbccbb1bb\nc", 0, 2}});
}

// With the 0x40000 bit the order in which a loop's ways are tried decides the match.
TEST(RegExpMatch, FirstMatchFollowsTheOrderOfTheWays) {
    const std::vector<std::tuple<const char*, std::string, int, int>> Cases = {
        {"1(($|.)?)*", "1a\na", 0, 2},  // the second iteration takes $ before the line feed, then ends
        {"(a|ab)*c", "abc", 0, 3},
        {"(a*)*b|a", "aa", 0, 1},
        {"x(a|b)*?", "xab", 0, 3}};
    for (const auto& [Pattern, Text, Start, End] : Cases)
        EXPECT_EQ(Leftmost(Pattern, Text, RegExpSyntaxHeading), std::make_pair(Start, End)) << Pattern;
}

TEST(RegExpMatch, BackReferencesCompareTranslatedText) {
    TRegExp Re("(ab)\\1", RegExpSyntaxExtended, 0, TablesOf(1252, true));
    EXPECT_EQ(Leftmost(*Re.Pattern, "xAbaB"), std::make_pair(1, 5));
    ExpectLeftmost({{"(ab)\\1", "xAbaB", -1, -1}, {"(a|b)*\\1", "abb", 0, 3}});
}

TEST(RegExpMatch, StopLimitsWhatIsConsumed) {
    TRegExp Re("a.*\\'", RegExpSyntaxExtended, 0, Cp1252());
    EXPECT_EQ(RegExpMatchAt(*Re.Pattern, "abc", 3, 0, nullptr, 3), 3);
    EXPECT_EQ(RegExpMatchAt(*Re.Pattern, "abc", 3, 0, nullptr, 2), -1);  // the end of the text stays the end
    TRegExp Any("a.*", RegExpSyntaxExtended, 0, Cp1252());
    EXPECT_EQ(RegExpMatchAt(*Any.Pattern, "abc", 3, 0, nullptr, 2), 2);
    EXPECT_EQ(RegExpMatchAt(*Any.Pattern, "abc", 3, 4, nullptr, 3), -1);
}

class RegExpStackLimit : public testing::Test {
protected:
    void TearDown() override { SetRegExpThreadStackLimit(0); }
};

TEST_F(RegExpStackLimit, LoopsThatCannotGiveBackLeaveNoAlternatives) {
    const std::string As(8192, 'a');
    SetRegExpThreadStackLimit(64);
    EXPECT_EQ(LeftmostByMatcher("a*b", As), std::make_pair(-1, -1));
    // (Patterns that need not end with a given byte: the search cannot stop before the end.)
    EXPECT_EQ(LeftmostByMatcher("[ab]*c|xy?", As), std::make_pair(-1, -1));
    EXPECT_EQ(LeftmostByMatcher("(a)*bc*", As), std::make_pair(-2, -2));  // one alternative per byte
    // The automaton needs no failure stack.
    EXPECT_EQ(Leftmost("(a)*bc*", As), std::make_pair(-1, -1));
    SetRegExpThreadStackLimit(0);
    EXPECT_EQ(LeftmostByMatcher("(a)*bc*", As), std::make_pair(-1, -1));
}

TEST_F(RegExpStackLimit, DeepBacktrackingFindsItsMatch) {
    // About three entries per byte: far beyond a fixed stack of 76,000 entries.
    const std::string Text = std::string(30000, 'y') + "x";
    const std::pair<std::string, std::string> Cases[] = {
        {"(y)*x", Text},
        {"((.*))x", Text},
        {"((.*))x", std::string(9000, 'y')},
        // Alternations and nested counted loops whose ways to match multiply along the text.
        {"((\\w+\\s*){2,})*x", std::string(3000, 'a') + " b"},
        {"\\w{1,2}(((\\w{0,1}){1,2}\\W?){2,}|\\S\\S)*\\>", "ab " + std::string(3000, 'a')},
        {"(a|aa)*c", std::string(300, 'a')},
        {"(a|aa)*c", std::string(300, 'a') + "c"}};
    const std::pair<int, int> Expected[] = {{0, 30001}, {0, 30001}, {-1, -1}, {-1, -1},
                                            {0, 3003},  {-1, -1},   {0, 301}};
    for (size_t K = 0; K < std::size(Cases); ++K) {
        EXPECT_EQ(LeftmostByMatcher(Cases[K].first, Cases[K].second), Expected[K]) << Cases[K].first;
        EXPECT_EQ(Leftmost(Cases[K].first, Cases[K].second), Expected[K]) << Cases[K].first;
    }

    // Reaching the limit is no match, without an error.
    SetRegExpThreadStackLimit(1000);
    TRegExp Re("(y)*x", RegExpSyntaxExtended, 0, Cp1252());
    Re.Pattern->UseAutomaton = false;
    TRegExpSpan Span;
    EXPECT_FALSE(Re.Search(Text, 0, Span));
}

// One-byte loops that can give bytes back, inside counted loops with many count combinations.
TEST(RegExpMatch, LoopsUnderManyCountsDoNotCrash) {
    ExpectLeftmost({{"(.*,){1,1024}x", "aaab,bbaa,", -1, -1},
                    {"((.+ ){1,40}){1,30}x", "the house by the river", -1, -1},
                    {"((.+ ){1,40}){1,30}r", "the house by the river", 0, 18},
                    {"(.*,){1,1024}a", "aaab,bbaa,a", 0, 11}});
}

TEST_F(RegExpStackLimit, TheStackIsBoundedInBytes) {
    EXPECT_LE(RegExpFailureStackLimit * RegExpFailureStackEntryBytes, size_t(32) << 20);
    // About eight entries per byte: far more than the limit allows on a megabyte.
    EXPECT_EQ(LeftmostByMatcher("(((((((y)))))))*xz*", std::string(1 << 20, 'y')), std::make_pair(-2, -2));
}

// A search stops when its thread's cancel flag is set or its step limit is reached, however hard the
// pattern.
TEST(RegExpControl, CancelAndStepLimitEndTheSearch) {
    const std::string Text = std::string(8000, 'a') + "bq";
    TRegExp Re("(.+)(.+)\\2\\1q", RegExpSyntaxExtended, 0, Cp1252());
    std::atomic<bool> Cancel{true};
    TRegExpSpan Span;
    {
        TRegExpControlScope Scope({&Cancel, RegExpDefaultStepLimit});
        EXPECT_EQ(RegExpThreadControl().Cancel, &Cancel);
        EXPECT_EQ(Leftmost(*Re.Pattern, Text), std::make_pair(RegExpCancelled, RegExpCancelled));
        EXPECT_THROW(Re.Search(Text, 0, Span), EAbort);
        {
            TRegExpControlScope Inner({nullptr, 20000});
            EXPECT_EQ(Leftmost(*Re.Pattern, Text), std::make_pair(RegExpTooManySteps, RegExpTooManySteps));
            try {
                Re.Search(Text, 0, Span);
                FAIL() << "no exception";
            } catch (const ERegExp& E) {
                EXPECT_STREQ(E.what(), RegExpTooManyStepsText);
            }
            // An easy search needs few steps.
            EXPECT_EQ(Leftmost("a+b", Text), std::make_pair(0, 8001));
        }
        // The automaton looks at the flag and the limit too.
        const std::string Long = std::string(1 << 20, 'a') + "x";
        EXPECT_EQ(Leftmost(".*.*x", Long), std::make_pair(RegExpCancelled, RegExpCancelled));
        {
            TRegExpControlScope Inner({nullptr, 1000});
            EXPECT_EQ(Leftmost(".*.*x", Long), std::make_pair(RegExpTooManySteps, RegExpTooManySteps));
        }
        EXPECT_EQ(RegExpThreadControl().StepLimit, RegExpDefaultStepLimit);
    }
    EXPECT_EQ(RegExpThreadControl().Cancel, nullptr);

    // Set from another thread while the search runs.
    Cancel = false;
    std::thread Canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Cancel = true;
    });
    TRegExpControlScope Scope({&Cancel, std::numeric_limits<uint64_t>::max()});
    EXPECT_EQ(Leftmost(*Re.Pattern, Text), std::make_pair(RegExpCancelled, RegExpCancelled));
    Canceller.join();
}

// ---- Work bounded by steps ---------------------------------------------------------------------------

// Words without x, y, z, q or c, so that the patterns below that end in one of them find nothing.
std::string EnglishWithout(size_t Length) {
    static const char* const Words[] = {"the ",       "house ", "on ",     "river, ", "walked ",
                                        "singing.\n", "1999 ",  "answer ", "and ",    "old ",
                                        "mill ",      "in ",    "garden; "};
    std::mt19937 Rng(99);
    std::string Text;
    while (Text.size() < Length) Text += Words[Rng() % std::size(Words)];
    Text.resize(Length);
    return Text;
}

// The leftmost match found within StepsPerByte steps per byte of text; {RegExpTooManySteps, ...} when it
// took more.
std::pair<int, int> WithinSteps(const std::string& Pattern, const std::string& Text, uint32_t Syntax,
                                uint64_t StepsPerByte) {
    TRegExpControlScope Scope({nullptr, StepsPerByte * (Text.size() + 1) + 10000});
    // Both ways of searching keep within the budget: the automaton, and the matcher it falls back to.
    TRegExp Re(Pattern, Syntax, 0, Cp1252());
    TRegExpPattern Matcher = *Re.Pattern;
    Matcher.UseAutomaton = false;
    const std::pair<int, int> ByMatcher = Leftmost(Matcher, Text);
    EXPECT_EQ(Leftmost(*Re.Pattern, Text), ByMatcher) << Pattern << " on " << Text.size();
    return ByMatcher;
}

// Patterns without back-references take a number of steps linear in the text: the same budget per byte
// serves a short text and one eight times longer.
TEST(RegExpWork, PatternsWithoutBackReferencesTakeLinearSteps) {
    struct TWork {
        const char* Pattern;
        uint32_t Syntax;
        char Letter;       // 0: English-like text, else a run of this letter
        const char* Tail;  // appended to the text for a second search that matches it all
        uint64_t StepsPerByte;
    };
    const TWork Cases[] = {{".*.*x", RegExpSyntaxExtended, 0, "x", 32},
                           {".*.*.*.*x", RegExpSyntaxExtended, 0, "x", 32},
                           {"(.*) (.*) (.*)z", RegExpSyntaxExtended, 0, " z", 32},
                           {"(.*){1,30}q", RegExpSyntaxExtended, 0, "q", 32},
                           {"(.+ ){1,40}q", RegExpSyntaxExtended, 0, " q", 32},
                           {"(.*,){1,1024}x", RegExpSyntaxExtended, 0, ",x", 32},
                           {"(x+x+)+y", RegExpSyntaxExtended, 'x', "y", 32},
                           {"(.+ ){1,40}q", RegExpSyntaxHeading, 0, " q", 128},
                           {"(a*)*b", RegExpSyntaxHeading, 'a', "b", 32},
                           {"^(\\w+ ?)+[0-9]{1,3}$", RegExpSyntaxHeading, 'a', " 12", 32},
                           {"a{1,1000}b", RegExpSyntaxExtended, 'a', "b", 5000},
                           {"((a|aa){0,40}){0,40}c", RegExpSyntaxExtended, 'a', "c", 16000}};
    for (const TWork& Case : Cases) {
        for (size_t Length : {size_t(1000), size_t(8000)}) {
            if (Case.StepsPerByte > 1000 && Length > 1000) continue;
            const std::string Text =
                Case.Letter ? std::string(Length / 4, Case.Letter) : EnglishWithout(Length);
            EXPECT_EQ(WithinSteps(Case.Pattern, Text, Case.Syntax, Case.StepsPerByte), std::make_pair(-1, -1))
                << Case.Pattern << " on " << Text.size();
            const std::string Matched = Text + Case.Tail;
            EXPECT_EQ(WithinSteps(Case.Pattern, Matched, Case.Syntax, Case.StepsPerByte),
                      std::make_pair(0, int(Matched.size())))
                << Case.Pattern << " on " << Matched.size();
        }
    }
    // The heading pattern that a 32-letter word used to hang, and counted loops over empty bodies when
    // the first match is taken.
    const std::string Word(32, 'w');
    EXPECT_EQ(WithinSteps("^(\\w+ ?)+[0-9]{1,3}$", Word, RegExpSyntaxHeading, 32), std::make_pair(-1, -1));
    EXPECT_EQ(WithinSteps("(a?){30}a{30}", std::string(30, 'a'), RegExpSyntaxHeading, 1000),
              std::make_pair(0, 30));
    EXPECT_EQ(WithinSteps("(a*)*b", std::string(30, 'a'), RegExpSyntaxHeading, 1000), std::make_pair(-1, -1));
}

TEST(RegExpMatch, UnknownOperationIsAnInternalError) {
    TRegExp Re("ab", RegExpSyntaxExtended, 0, Cp1252());
    Re.Pattern->Buffer[0] = ro_LastOp + 1;
    Re.Pattern->CanBeEmpty = true;
    TRegExpSpan Span;
    try {
        Re.Search("ab", 0, Span);
        FAIL() << "no exception";
    } catch (const ERegExp& E) {
        EXPECT_STREQ(E.what(), "Internal regexp error.");
    }
    EXPECT_THROW(RegExpCompileFastmap(*Re.Pattern), ERegExp);
}

// ---- Random patterns ----------------------------------------------------------------------------------

class TPatternMaker {
public:
    TPatternMaker(uint32_t Seed, std::vector<std::string> Atoms, bool WithBackRefs)
        : Rng(Seed), Atoms(std::move(Atoms)), WithBackRefs(WithBackRefs) {}

    // Repetitions drawn from Repeats, groups nested up to Depth; assertions (^ $ \b ...) only outside
    // groups when AssertionsOutsideGroups.
    TPatternMaker& With(std::vector<std::string> NewRepeats, int NewDepth, bool AssertionsOutsideGroups) {
        Repeats = std::move(NewRepeats);
        MaxDepth = NewDepth;
        TopAssertionsOnly = AssertionsOutsideGroups;
        return *this;
    }

    std::string Pattern() {
        Groups = 0;
        return Alternation(MaxDepth);
    }
    std::string Text(const std::string& Alphabet, int MaxLength) {
        std::string T(Pick(MaxLength + 1), ' ');
        for (char& C : T) C = Alphabet[size_t(Pick(int(Alphabet.size())))];
        return T;
    }

private:
    int Pick(int N) { return std::uniform_int_distribution<int>(0, N - 1)(Rng); }
    std::string Alternation(int Depth) {
        std::string P = Sequence(Depth);
        while (Pick(4) == 0) P += "|" + Sequence(Depth);
        return P;
    }
    std::string Sequence(int Depth) {
        std::string P;
        for (int K = 1 + Pick(3); K > 0; --K) P += Item(Depth);
        return P;
    }
    std::string Item(int Depth) {
        std::string P;
        bool Repeatable = true;
        if (Depth > 0 && Pick(4) == 0) {
            ++Groups;
            P = "(" + Alternation(Depth - 1) + ")";
        } else if (WithBackRefs && Groups > 0 && Pick(10) == 0) {
            P = "\\" + std::to_string(1 + Pick(std::min(Groups, 9)));
        } else {
            do {
                P = Atoms[size_t(Pick(int(Atoms.size())))];
                Repeatable = P[0] != '^' && P[0] != '$' &&
                             (P[0] != '\\' || std::string("bB<>").find(P[1]) == std::string::npos);
            } while (!Repeatable && TopAssertionsOnly && Depth < MaxDepth);
        }
        if (Repeatable && Pick(3) == 0) P += Repeats[size_t(Pick(int(Repeats.size())))];
        return P;
    }

    std::mt19937 Rng;
    std::vector<std::string> Atoms;
    bool WithBackRefs;
    std::vector<std::string> Repeats = {"*", "+", "?", "{2}", "{0,1}", "{1,2}", "{2,}", "{0}"};
    int MaxDepth = 3;
    bool TopAssertionsOnly = false;
    int Groups = 0;
};

// Neither skipping by the first-character map, nor stopping at the last byte a match can end with, nor
// the memo of tried states, nor the search's automaton may change an answer.
TEST(RegExpProperties, FastmapAndMemoNeverChangeTheAnswer) {
    TPatternMaker Maker(20240611,
                        {"a", "b", "c", ".", "[ab]", "[^a]", "\\w", "\\W", "\\d", "\\s", "\\S", "\\b", "\\B",
                         "\\<", "\\>", "^", "$", "1", " "},
                        true);
    for (uint32_t Syntax : {RegExpSyntaxExtended, RegExpSyntaxHeading}) {
        for (int K = 0; K < 1500; ++K) {
            const std::string Pattern = Maker.Pattern();
            TRegExp Re(Pattern, Syntax, 0, Cp1252());
            // The matcher alone, at every position, is the reference.
            TRegExpPattern EveryPosition = *Re.Pattern;
            EveryPosition.CanBeEmpty = true;
            EveryPosition.HasLastBytes = false;
            EveryPosition.UseAutomaton = false;
            TRegExpPattern NoMemo = EveryPosition;
            NoMemo.MemoSlots.clear();
            NoMemo.MemoRows = 0;
            TRegExpPattern Matcher = *Re.Pattern;
            Matcher.UseAutomaton = false;
            for (int T = 0; T < 6; ++T) {
                const std::string Text = Maker.Text("abc1 \n", 14);
                const auto Expected = Leftmost(EveryPosition, Text);
                ASSERT_EQ(Leftmost(*Re.Pattern, Text), Expected) << Pattern << " on \"" << Text << "\"";
                ASSERT_EQ(Leftmost(Matcher, Text), Expected) << Pattern << " on \"" << Text << "\"";
                ASSERT_EQ(Leftmost(NoMemo, Text), Expected) << Pattern << " on \"" << Text << "\"";
            }
        }
    }
}

// Where the C library's POSIX matcher speaks the same language (ASCII classes, no back-references, no
// anchors or word assertions: its own go wrong inside repeated groups), the leftmost-longest matches
// agree.
TEST(RegExpProperties, AgreesWithTheCLibraryOnTheCommonLanguage) {
    TPatternMaker Maker(7, {"a", "b", ".", "[ab]", "[^a]", "\\w", "\\W", "1", " ", ","}, false);
    for (int K = 0; K < 2000; ++K) {
        const std::string Pattern = Maker.Pattern();
        regex_t Posix;
        ASSERT_EQ(regcomp(&Posix, Pattern.c_str(), REG_EXTENDED), 0) << Pattern;
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Cp1252());
        for (int T = 0; T < 6; ++T) {
            const std::string Text = Maker.Text("ab1 ,", 12);
            regmatch_t M[1];
            const std::pair<int, int> Expected = regexec(&Posix, Text.c_str(), 1, M, 0) == 0
                                                     ? std::make_pair(int(M[0].rm_so), int(M[0].rm_eo))
                                                     : std::make_pair(-1, -1);
            EXPECT_EQ(Leftmost(*Re.Pattern, Text), Expected) << Pattern << " on \"" << Text << "\"";
        }
        regfree(&Posix);
    }
}

// Large intervals and deep nesting: the memo's dominance rows and its hash set, and the automaton's
// pruned counts, must not change an answer either. Searches that exceed the step limit without the memo
// are left out.
TEST(RegExpProperties, LargeIntervalsAndDeepNestingKeepTheAnswer) {
    TPatternMaker Maker(77, {"a", "b", ".", "[ab]", "\\w", " ", "^", "$", "\\b", "\\<"}, false);
    Maker.With({"*", "+", "?", "{1,3}", "{0,4}", "{2,5}", "{1,40}", "{0,100}", "{3,300}", "{2,}", "{1,1000}"},
               6, false);
    TRegExpControlScope Scope({nullptr, 2'000'000});
    int Compared = 0;
    for (uint32_t Syntax : {RegExpSyntaxExtended, RegExpSyntaxHeading}) {
        for (int K = 0; K < 600; ++K) {
            const std::string Pattern = Maker.Pattern();
            TRegExp Re(Pattern, Syntax, 0, Cp1252());
            TRegExpPattern NoMemo = *Re.Pattern;
            NoMemo.MemoSlots.clear();
            NoMemo.MemoRows = 0;
            NoMemo.CanBeEmpty = true;
            NoMemo.HasLastBytes = false;
            NoMemo.UseAutomaton = false;
            TRegExpPattern Matcher = *Re.Pattern;
            Matcher.UseAutomaton = false;
            for (int T = 0; T < 4; ++T) {
                const std::string Text = Maker.Text("aaab \n", 40);
                const auto Expected = Leftmost(NoMemo, Text);
                if (Expected.first < RegExpGaveUp) continue;
                ASSERT_EQ(Leftmost(Matcher, Text), Expected) << Pattern << " on \"" << Text << "\"";
                ASSERT_EQ(Leftmost(*Re.Pattern, Text), Expected) << Pattern << " on \"" << Text << "\"";
                ++Compared;
            }
        }
    }
    EXPECT_GT(Compared, 4000);
}

// The search's automaton against the matcher alone: the same leftmost-longest match and the same groups,
// over random patterns (assertions anywhere, intervals small and large, nesting), texts, folding and
// plain tables, line anchors on and off, and windows (a start after a lead-in, a range, a stop with bytes
// after it). Patterns whose automata outgrow their limits must fall back to the same answers.
TEST(RegExpProperties, TheAutomatonFindsWhatTheMatcherFinds) {
    const auto Folding = TablesOf(1252, true);
    TPatternMaker Maker(4242,
                        {"a", "b", "c", "A", ".", "[ab]", "[^a]", "\\w", "\\W", "\\s", "\\b", "\\B", "\\<",
                         "\\>", "^", "$", "\\`", "\\'", " ", "\n"},
                        false);
    Maker.With({"*", "+", "?", "{2}", "{0,1}", "{1,3}", "{2,}", "{0}", "{1,40}", "{0,100}", "{3,300}"}, 4, false);
    std::mt19937 Windows(99);
    auto Pick = [&](int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(Windows); };
    TRegExpControlScope Scope({nullptr, 2'000'000});
    auto Search = [](const TRegExpPattern& P, const std::string& Text, int Start, int Range, int Stop) {
        TRegExpRegisters Regs;
        const int Found = RegExpSearchRange(P, Text.data(), int(Text.size()), Start, Range, &Regs, Stop);
        if (Found < 0) Regs = TRegExpRegisters();
        return std::make_tuple(Found, Regs.Starts, Regs.Ends);
    };
    int Compared = 0, Matched = 0;
    for (int K = 0; K < 2500; ++K) {
        const std::string Pattern = Maker.Pattern();
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, K % 3 == 0 ? Folding : Cp1252());
        TRegExpPattern& Automaton = *Re.Pattern;
        Automaton.NoSub = false;
        Automaton.NewlineAnchor = K % 2 == 0;
        TRegExpPattern Matcher = Automaton;
        Matcher.UseAutomaton = false;
        for (int T = 0; T < 6; ++T) {
            const std::string Text = Maker.Text("aAbc \n", 30);
            const int Length = int(Text.size());
            const int Start = Pick(0, Length);
            const int Range = Pick(-1, Length);
            const int Stop = Pick(0, 3) == 0 ? INT32_MAX : Pick(Start, Length);
            const auto Expected = Search(Matcher, Text, Start, Range, Stop);
            if (std::get<0>(Expected) < RegExpNoMatch) continue;
            ASSERT_EQ(Search(Automaton, Text, Start, Range, Stop), Expected)
                << Pattern << " on \"" << Text << "\" from " << Start << " range " << Range << " stop " << Stop;
            ++Compared;
            Matched += std::get<0>(Expected) >= 0;
        }
    }
    EXPECT_GT(Compared, 12000);
    EXPECT_GT(Matched, 3000);

    // Long texts where candidates fail after long runs: the search bounds them by the earliest end of a
    // match, and past a budget hands the window to the matcher.
    TPatternMaker Long(777, {"a", "b", "c", ".", "[^c]", "[ab]", "\\w", " ", "\\b", "$", "\n"}, false);
    Long.With({"*", "+", "?", "{1,3}", "{2,}", "{0,30}"}, 3, false);
    int LongCompared = 0;
    for (int K = 0; K < 300; ++K) {
        static const char* const Endings[] = {"", "c", "[ab]{5,40}c", ".{10,50}c"};
        const std::string Pattern = Long.Pattern() + Endings[K % 4];
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Cp1252());
        TRegExpPattern Matcher = *Re.Pattern;
        Matcher.UseAutomaton = false;
        for (int T = 0; T < 2; ++T) {
            std::string Text = Long.Text(T == 0 ? "aaaabbbbb \n" : "aaaabbb   \n", 3000);
            for (int C = Pick(0, 3); C > 0; --C) Text[size_t(Pick(0, int(Text.size()) - 1))] = 'c';
            if (Pick(0, 1) == 0) Text += " c";
            const int Start = Pick(0, int(Text.size()) / 2);
            const auto Expected = Search(Matcher, Text, Start, int(Text.size()), INT32_MAX);
            if (std::get<0>(Expected) < RegExpNoMatch) continue;
            ASSERT_EQ(Search(*Re.Pattern, Text, Start, int(Text.size()), INT32_MAX), Expected)
                << Pattern << " from " << Start << " on " << Text.size() << " bytes";
            ++LongCompared;
        }
    }
    EXPECT_GT(LongCompared, 500);

    // A large maximum over a group that can be empty keeps few states per set; an automaton that needs
    // tens of thousands of states (the byte 15 before the end) outgrows its limit on a long text, and
    // after a few such searches the pattern is left to the matcher.
    TRegExpControlScope Default({nullptr, RegExpDefaultStepLimit});
    std::mt19937 Letters(3);
    std::string AB(60000, 'a');
    for (char& C : AB) C = "ab"[Letters() % 2];
    for (const char* Pattern : {"((a|b){0,2}){2,1000}b", "(a|b)*a(a|b){14}c?"}) {
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Cp1252());
        TRegExpPattern Matcher = *Re.Pattern;
        Matcher.UseAutomaton = false;
        for (int Start : {0, 1000, 2500}) {
            const std::string Text = Pattern[0] == '(' && Pattern[1] == '(' ? AB.substr(0, 3000) : AB;
            EXPECT_EQ(Search(*Re.Pattern, Text, Start, 3000, INT32_MAX),
                      Search(Matcher, Text, Start, 3000, INT32_MAX))
                << Pattern << " from " << Start;
        }
        EXPECT_EQ(RegExpAutomatonUsable(*Re.Pattern), Pattern[1] == '(') << Pattern;
    }
}

// The C library's matcher on the options a search uses: line anchors (REG_NEWLINE; its dot and negated
// sets then stop at a line feed, so those are left out), ignore case (REG_ICASE against tables that
// fold), and searches from an offset that see the text before it (REG_STARTEND, in every mode). Without
// REG_NEWLINE its anchors see only the ends of the text, so those texts have no line feed. Anchors
// stand only outside groups: inside repeated ones the C library goes wrong.
TEST(RegExpProperties, AgreesWithTheCLibraryOnAnchorsCaseAndOffsets) {
    const auto Folding = TablesOf(1252, true);
    struct TMode {
        int Flags;
        std::vector<std::string> Atoms;
        const char* Alphabet;
    };
    const TMode Modes[] = {{REG_NEWLINE, {"a", "b", "[ab]", "1", " ", "^", "$", "\\w", "\\W"}, "ab1 \n"},
                           {REG_ICASE, {"a", "B", "[aB]", "[^A]", ".", "^", "$", "1"}, "aAbB1"},
                           {0, {"a", "b", ".", "[ab]", "[^a]", "^", "$", "\\w", " "}, "ab 1"}};
    std::mt19937 Offsets(5);
    for (const TMode& Mode : Modes) {
        TPatternMaker Maker(11 + Mode.Flags, Mode.Atoms, false);
        Maker.With({"*", "+", "?", "{2}", "{1,3}", "{2,}"}, 2, true);
        for (int K = 0; K < 1500; ++K) {
            const std::string Pattern = Maker.Pattern();
            regex_t Posix;
            ASSERT_EQ(regcomp(&Posix, Pattern.c_str(), REG_EXTENDED | Mode.Flags), 0) << Pattern;
            TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Mode.Flags == REG_ICASE ? Folding : Cp1252());
            for (int T = 0; T < 4; ++T) {
                const std::string Text = Maker.Text(Mode.Alphabet, 12);
                const int Start = std::uniform_int_distribution<int>(0, int(Text.size()))(Offsets);
                regmatch_t M[1];
                M[0].rm_so = Start;
                M[0].rm_eo = regoff_t(Text.size());
                const std::pair<int, int> Expected = regexec(&Posix, Text.c_str(), 1, M, REG_STARTEND) == 0
                                                         ? std::make_pair(int(M[0].rm_so), int(M[0].rm_eo))
                                                         : std::make_pair(-1, -1);
                TRegExpRegisters Regs;
                const int Found = RegExpSearchRange(*Re.Pattern, Text.data(), int(Text.size()), Start,
                                                    int(Text.size()), &Regs);
                const std::pair<int, int> Got =
                    Found < 0 ? std::make_pair(Found, Found) : std::make_pair(Regs.Starts[0], Regs.Ends[0]);
                EXPECT_EQ(Got, Expected)
                    << Pattern << " on \"" << Text << "\" from " << Start << " flags " << Mode.Flags;
            }
            regfree(&Posix);
        }
    }
}

// ---- Threads ------------------------------------------------------------------------------------------

struct TLanguageJob {
    int Language;
    std::vector<std::string> Patterns;
    std::vector<std::string> Texts;
};

// Compiles every pattern with the language's published tables and searches every text.
std::vector<std::pair<int, int>> RunJob(const TLanguageJob& Job) {
    std::vector<std::pair<int, int>> Results;
    for (const std::string& Pattern : Job.Patterns) {
        TRegExp Re(Pattern, RegExpSyntaxExtended, Job.Language);
        for (const std::string& Text : Job.Texts) {
            TRegExpSpan Span{-1, -1};
            Results.push_back(Re.Search(Text, 0, Span) ? std::make_pair(Span.Start, Span.End)
                                                       : std::make_pair(-1, -1));
        }
    }
    return Results;
}

TEST(RegExpThreads, TwoLanguagesAtOnceAnswerAsOneThreadDoes) {
    SetRegExpCharTables(0, TablesOf(1252, true));
    SetRegExpCharTables(1, TablesOf(1251, true));
    const std::string Long = std::string(3000, 'y') + "\xD7\xF7x";
    const std::vector<std::string> Patterns = {"\\w+",    "\xD7+",          "(\xC9|\xF7)+x",
                                               "((.*))x", "\\b\\w{2,3}\\b", "(y*)*\xD7"};
    const std::vector<std::string> Texts = {"\xC9\xE9 \xD7\xF7x", "ab \xD7\xD7\xF7", Long};
    const TLanguageJob Jobs[] = {{0, Patterns, Texts}, {1, Patterns, Texts}};
    const auto Expected0 = RunJob(Jobs[0]);
    const auto Expected1 = RunJob(Jobs[1]);
    ASSERT_NE(Expected0, Expected1);  // the two code pages classify and fold differently

    std::vector<std::pair<int, int>> Got[2][20];
    std::thread Workers[2];
    for (int W = 0; W < 2; ++W)
        Workers[W] = std::thread([&, W] {
            for (auto& Round : Got[W]) Round = RunJob(Jobs[W]);
        });
    // Publishing a language's tables while others search must not disturb them.
    for (int K = 0; K < 50; ++K) SetRegExpCharTables(0, TablesOf(1252, true));
    for (std::thread& Worker : Workers) Worker.join();
    for (const auto& Round : Got[0]) EXPECT_EQ(Round, Expected0);
    for (const auto& Round : Got[1]) EXPECT_EQ(Round, Expected1);
}

}  // namespace
