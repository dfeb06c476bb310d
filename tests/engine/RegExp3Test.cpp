// The pattern language as a user sees it, over tables built from real code pages.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"
#include "tests/engine/RegExpTestSupport.h"

namespace {

TByteSet GroupOf(std::string_view Chars) {
    TByteSet Set;
    for (char C : Chars) Set.set(uint8_t(C));
    return Set;
}

struct TMatchCase {
    const char* Pattern;
    std::string Text;
    int Start, End;  // -1, -1: no match
};

// Searches from 0 and compares the span (or its absence).
void ExpectMatches(const std::vector<TMatchCase>& Cases, const TRegExpCharSource& Source,
                   uint32_t Syntax = RegExpSyntaxExtended) {
    const auto Tables = BuildRegExpCharTables(Source);
    for (const TMatchCase& Case : Cases) {
        SCOPED_TRACE(std::string("pattern ") + Case.Pattern + " on \"" + Case.Text + "\"");
        TRegExp Re(Case.Pattern, Syntax, 0, Tables);
        TRegExpSpan Span{-1, -1};
        const bool Found = Re.Search(Case.Text, 0, Span);
        EXPECT_EQ(Found, Case.Start >= 0);
        if (Found) {
            EXPECT_EQ(Span.Start, Case.Start);
            EXPECT_EQ(Span.End, Case.End);
        }
    }
}

std::string CompileError(std::string_view Pattern, const TRegExpCharSource& Source) {
    try {
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, BuildRegExpCharTables(Source));
        return "";
    } catch (const ERegExp& E) {
        return E.what();
    }
}

TEST(RegExpPattern, LeftmostThenLongest) {
    ExpectMatches({{"(a|ab)(c|bcd)", "abcd", 0, 4},
                   {"a|ab", "ab", 0, 2},
                   {"(ab|a)(c|bcd)", "abcd", 0, 4},
                   {"(a|b)*c", "ababac", 0, 6},
                   {"b+", "abbb", 1, 4},
                   {"x*", "abc", -1, -1},  // the leftmost match is empty: no later position is tried
                   {"b*", "abc", -1, -1},
                   {"x*", "xxa", 0, 2},
                   {"", "abc", -1, -1}},
                  SourceOf(1252));
    // With the 0x40000 bit the first match found at a position is taken.
    ExpectMatches({{"a|ab", "ab", 0, 1}, {"(ab|a)(c|bcd)", "abcd", 0, 3}, {"a*", "aab", 0, 2}},
                  SourceOf(1252), RegExpSyntaxHeading);
}

TEST(RegExpPattern, OrdinaryCharacterFallbacks) {
    ExpectMatches({{"a{2}", "aaa", 0, 2},    {"a{2", "xa{2", 1, 4},      {"a{x}", "a{x}", 0, 4},
                   {"a{,2}", "a{,2}", 0, 5}, {"a{3,2}", "a{3,2}", 0, 6}, {"a{32768}", "a{32768}", 0, 8},
                   {"a)", "a)", 0, 2},       {")", "x)", 1, 2},          {"}", "}", 0, 1},
                   {"\\.", "a.", 1, 2},      {"\\(\\)", "()", 0, 2},     {"\\{", "{", 0, 1},
                   {"a\\|b", "a|b", 0, 3},   {"\\+\\?", "+?", 0, 2},     {"\\n\\t", "nt", 0, 2},
                   {"*a", "ba", 1, 2},       {"x(*a)", "xa", 0, 2},      {"b|*a", "a", 0, 1},
                   {"^*a", "a", 0, 1},       {"a**", "aaa", 0, 3},       {"a+?", "aab", 0, 2},
                   {"a?+b", "aab", 0, 3},    {"a{2}*", "aaaaa", 0, 4},   {"[]a]+", "]a]", 0, 3},
                   {"[^]a]", "]ab", 2, 3},   {"[a-]", "-", 0, 1},        {"[\\]", "\\", 0, 1},
                   {"[[:alpha]", ":", 0, 1}, {"[[.a.]]", "a]", 0, 2},    {"[--/]", ".", 0, 1}},
                  SourceOf(1252));
}

TEST(RegExpPattern, EveryErrorText) {
    const char* const Texts[] = {"Success",
                                 "No match",
                                 "Invalid regular expression",
                                 "Invalid collation character",
                                 "Invalid character class name",
                                 "Trailing backslash",
                                 "Invalid back reference",
                                 "Unmatched [ or [^",
                                 "Unmatched ( or \\(",
                                 "Unmatched \\{",
                                 "Invalid content of \\{\\}",
                                 "Invalid range end",
                                 "Memory exhausted",
                                 "Invalid preceding regular expression",
                                 "Premature end of regular expression",
                                 "Regular expression too big",
                                 "Unmatched ) or \\)"};
    for (int K = 0; K < RegExpErrorCount; ++K) EXPECT_STREQ(RegExpErrorText(K), Texts[K]);
    EXPECT_STREQ(RegExpErrorText(RegExpErrorCount), "");

    const std::vector<std::pair<std::string, const char*>> Cases = {
        {"[[:alp", "Premature end of regular expression"},
        {"[[:alpha:", "Premature end of regular expression"},
        {"(a)(b)\\5", "Invalid back reference"},
        {"(a)\\2(b)", "Invalid back reference"},
        {"[z-a]", "Invalid range end"},
        {"[[:alpha:]-z]", "Invalid range end"},
        {"ab\\", "Trailing backslash"},
        {"(ab", "Unmatched ( or \\("},
        {"((a)|b", "Unmatched ( or \\("},
        {"[ab", "Unmatched [ or [^"},
        {"[^", "Unmatched [ or [^"},
        {"[]", "Unmatched [ or [^"},
        {"[[:alpha:]-", "Unmatched [ or [^"},
        {"[[:foo:]]", "Invalid character class name"},
        {std::string(70000, 'a'), "Regular expression too big"},
        {std::string(1001, '(') + std::string(1001, ')'), "Regular expression nested too deeply"},
        {std::string(999, '(') + "a" + std::string(999, ')'), ""},
        {std::string(60000, 'a'), ""},
        {"[Z-a]", ""},
        {"[[:alpha:]-]", ""},
        {"a{32767}", ""},
        {"(a\\1)", ""}};
    for (const auto& [Pattern, Text] : Cases)
        EXPECT_EQ(CompileError(Pattern, SourceOf(1252)), Text) << Pattern.substr(0, 20);
    // Ranges are ordered by their raw ends, then each member is translated.
    EXPECT_EQ(CompileError("[Z-a]", SourceOf(1252, true)), "");
    EXPECT_EQ(CompileError("[a-Z]", SourceOf(1252, true)), "Invalid range end");
}

TEST(RegExpPattern, AnErrorIsARegExpExceptionOfTheEngine) {
    try {
        TRegExp Re("(", RegExpSyntaxExtended, 0, BuildRegExpCharTables(SourceOf(1252)));
        FAIL() << "compiled";
    } catch (const EConcError& E) {
        EXPECT_NE(dynamic_cast<const ERegExp*>(&E), nullptr);
    }
}

TEST(RegExpPattern, AnchorsReactToLineFeedOnly) {
    ExpectMatches({{"abc$", "abc\r\n", -1, -1},
                   {"abc$", "x\nabc\ny", 2, 5},
                   {"^abc", "x\nabc", 2, 5},
                   {"^abc", "x\rabc", -1, -1},
                   {"a$|b", "ab", 1, 2},
                   {"\\`a", "ab", 0, 1},
                   {"\\`b", "ab", -1, -1},
                   {"\\`b", "a\nb", -1, -1},
                   {"b\\'", "ab", 1, 2},
                   {"a\\'", "a\n", -1, -1},
                   {".", "\n", 0, 1},
                   {"[^a]", "\n", 0, 1},
                   {".", std::string("\0a", 2), 1, 2}},
                  SourceOf(1252));
}

// Class names against bytes of cp1252 with the default word delimiters: punctuation that is not a
// delimiter (the apostrophe, "?", "*", the pound sign) is a letter.
TEST(RegExpPattern, CharacterClasses) {
    struct TClassCase {
        const char* Class;
        std::string Members, Others;
    };
    const std::vector<TClassCase> Cases = {
        {"alnum", "a5\xE9'?*\xA3", "!. \n"}, {"alpha", "a\xC9'_@%", "5!\n"}, {"blank", " \t", "\xA0\na"},
        {"cntrl", "\n\t\x01", "a \xA0"},     {"digit", "0129", "a!"},        {"graph", "a!'5", " \t\n\xA0"},
        {"lower", "aA\xC9'", "1!\n"},        {"upper", "aA\xE9'", "1!\n"},   {"print", "a !\xA0", "\t\n"},
        {"punct", "!.,\"", "'?a\xA3"},       {"space", " \n\t\xA0", "a!"},   {"xdigit", "09afAF", "gG!"}};
    const auto Tables = BuildRegExpCharTables(SourceOf(1252));
    for (const TClassCase& Case : Cases) {
        TRegExp Re(std::string("[[:") + Case.Class + ":]]", RegExpSyntaxExtended, 0, Tables);
        TRegExpSpan Span;
        for (char C : Case.Members)
            EXPECT_TRUE(Re.Search(std::string(1, C), 0, Span)) << Case.Class << " " << int(uint8_t(C));
        for (char C : Case.Others)
            EXPECT_FALSE(Re.Search(std::string(1, C), 0, Span)) << Case.Class << " " << int(uint8_t(C));
    }
}

TEST(RegExpPattern, WordDigitAndSpaceEscapes) {
    ExpectMatches({{"\\w+", ",l'\xE9t\xE9,", 1, 6},  // the apostrophe is a letter
                   {"\\w+", "a*b?c", 0, 5},          // so are the wildcard characters
                   {"\\W+", "ab.,c", 2, 4},
                   {"\\d+", "x42y", 1, 3},
                   {"\\D+", "42xy5", 2, 4},
                   {"\\s", "a\xA0", 1, 2},
                   {"\\S+", "ab! ", 0, 3},  // a letter and punctuation alike
                   {"[[:alpha:]]+", "l'\xE9t\xE9!", 0, 5},
                   {"\\bfoo\\b", "foo", 0, 3},  // outside the text there are no word characters
                   {"\\b ", " a", -1, -1},
                   {" \\B", "a ", 1, 2},
                   {"\\Bfoo", "foo", -1, -1},
                   {"foo\\B", "foo", -1, -1},
                   {"\\Boo", "foo", 1, 3},
                   {"\\bl'\xE9t\xE9\\b", "(l'\xE9t\xE9)", 1, 6},
                   {"\\<b", "a b", 2, 3},
                   {"a\\>", "ab a", 3, 4},
                   {"\\<", "a", -1, -1}},
                  SourceOf(1252));

    // A digit added to the word delimiters is punctuation: no digit, no word character.
    TRegExpCharSource Source = SourceOf(1252);
    Source.NonWordChars += "4";
    ExpectMatches(
        {{"\\d", "4", -1, -1}, {"\\w", "4", -1, -1}, {"[[:punct:]]", "4", 0, 1}, {"\\d+", "345", 0, 1}},
        Source);
}

// Ignore case folds through the language's map, ranges included; equal-character groups compare as
// their lowest member.
TEST(RegExpPattern, CaseFoldingAndEqualCharacters) {
    ExpectMatches({{"Haus", "HAUS", 0, 4},
                   {"Haus", "haus", 0, 4},
                   {"[A-Z]+", "--abc", 2, 5},
                   {"\xC9t\xE9", "\xE9T\xC9", 0, 3},
                   {"(a)\\1", "aA", 0, 2},
                   {"\\W", "W", -1, -1}},  // escapes are read before folding
                  SourceOf(1252, true));
    ExpectMatches({{"Haus", "HAUS", -1, -1}, {"[A-Z]", "a", -1, -1}, {"[[:upper:]]", "a", 0, 1}},
                  SourceOf(1252));

    TRegExpCharSource Source = SourceOf(1252);
    Source.UseSkipEqualChars = true;
    Source.EqualCharGroups = {GroupOf("e\xE9\xE8"), GroupOf("a\xE0")};
    ExpectMatches({{"caf\xE9", "cafe", 0, 4}, {"[e]", "\xE8", 0, 1}, {"\xE0", "A", -1, -1}}, Source);
    // A range is formed on the raw bytes: with a = \xE0, [\xE0-\xFF] is not a-\xFF; with z = \xFD,
    // [\xE0-\xFD] is a valid range that admits z.
    ExpectMatches({{"[\xE0-\xFF]", "b", -1, -1},
                   {"[\xE0-\xFF]+",
                    "b\xE9"
                    "a\xE0",
                    1, 4},
                   {"[^\xE0-\xFF]+", "abc", 1, 3}},
                  Source);
    Source.EqualCharGroups = {GroupOf("z\xFD")};
    ExpectMatches({{"[\xE0-\xFD]+", "yz\xFD\xE9", 1, 4}, {"[a-c]", "z", -1, -1}}, Source);

    Source.IgnoreCase = true;
    Source.EqualCharGroups = {GroupOf("e\xE9")};
    const auto Tables = BuildRegExpCharTables(Source);
    for (uint8_t C : {uint8_t('E'), uint8_t('e'), uint8_t(0xC9), uint8_t(0xE9)})
        EXPECT_EQ(Tables->CharMap[C], 'e');
    EXPECT_EQ(Tables->CharMap['A'], 'a');
    EXPECT_EQ(Tables->CharMap[0xC8], 0xE8);
}

TEST(RegExpTables, CasePartnersAndClasses) {
    const auto Tables = BuildRegExpCharTables(SourceOf(1252));
    EXPECT_EQ(Tables->CasePartner['A'], 'a');
    EXPECT_EQ(Tables->CasePartner['a'], 'A');
    EXPECT_EQ(Tables->CasePartner[0x8A], 0x9A);
    EXPECT_EQ(Tables->CasePartner[0xFF], 0x9F);
    EXPECT_EQ(Tables->CasePartner[0xDF], 0);  // sharp s has no one-byte upper case
    EXPECT_EQ(Tables->CasePartner['1'], 0);
    EXPECT_EQ(Tables->CasePartner['\''], 0);  // a letter by reclassing, without case
    EXPECT_EQ(Tables->ClassTable['\''], RC_LETTER);
    EXPECT_EQ(Tables->ClassTable['.'], RC_PUNCT);
    EXPECT_EQ(Tables->ClassTable[' '], RC_SPACE | RC_BLANK);
    EXPECT_EQ(Tables->WordTable['_'], RW_WORD);
    EXPECT_EQ(Tables->WordTable['7'], RW_WORD | RW_DIGIT);
    EXPECT_FALSE(Tables->IgnoreCase);
    for (int C = 0; C < 256; ++C) EXPECT_EQ(Tables->CharMap[size_t(C)], C);
}

// Scripts without case: their letters are letters and word characters; folding leaves them alone.
TEST(RegExpTables, CaselessScriptsHaveLetters) {
    struct TScript {
        int CodePage;
        std::string Word;
    };
    for (const TScript& Script :
         {TScript{1255, "\xF9\xEC\xE5\xED"}, TScript{1256, "\xC7\xE1\xD3\xE1\xC7\xE3"},
          TScript{874, "\xA1\xC3\xA7\xA2"}}) {
        SCOPED_TRACE(Script.CodePage);
        const std::string Text = "(" + Script.Word + ") 12";
        const int End = int(1 + Script.Word.size());
        ExpectMatches({{"\\w+", Text, 1, End},
                       {"[[:alpha:]]+", Text, 1, End},
                       {"\\<.+\\>", "(" + Script.Word + ")", 1, End}},
                      SourceOf(Script.CodePage, true));
        const auto Tables = BuildRegExpCharTables(SourceOf(Script.CodePage, true));
        EXPECT_EQ(Tables->CharMap[uint8_t(Script.Word[0])], uint8_t(Script.Word[0]));
    }
}

TEST(RegExpPattern, BackReferencesAndRegisters) {
    ExpectMatches({{"(a+)b\\1", "aabaa", 0, 5},
                   {"(a+)b\\1", "aaba", 1, 4},
                   {"(a)|b\\1", "b", -1, -1},  // a group that took no part matches nothing
                   {"(a*)b\\1c", "bc", 0, 2},  // an empty group matches the empty text
                   {"(a)(b)(c)(d)(e)(f)(g)(h)(i)\\9", "abcdefghii", 0, 10},
                   {"(a\\1)", "a1", 0, 2}},
                  SourceOf(1252));

    // The search finds the match; its groups are the matcher's, at the start the search found.
    TRegExp Re("(a|ab)(c|bcd)(x)?", RegExpSyntaxExtended, 0, BuildRegExpCharTables(SourceOf(1252)));
    Re.Pattern->NoSub = false;
    TRegExpRegisters Regs;
    ASSERT_EQ(RegExpSearchRange(*Re.Pattern, "zabcd", 5, 0, 5, &Regs), 1);
    ASSERT_EQ(Regs.NumRegs, 4);
    EXPECT_EQ(std::vector<int32_t>(Regs.Starts.begin(), Regs.Starts.end()),
              (std::vector<int32_t>{1, 1, 2, -1}));
    EXPECT_EQ(std::vector<int32_t>(Regs.Ends.begin(), Regs.Ends.end()), (std::vector<int32_t>{5, 2, 5, -1}));
}

TEST(RegExpPattern, SearchStartsAtTheGivenPosition) {
    TRegExp Re("\\ba", RegExpSyntaxExtended, 0, BuildRegExpCharTables(SourceOf(1252)));
    TRegExpSpan Span;
    // A lead-in byte lets the boundary see the text before the start.
    EXPECT_FALSE(Re.Search("ba", 1, Span));
    EXPECT_TRUE(Re.Search("ba a", 1, Span));
    EXPECT_EQ(Span.Start, 3);
    EXPECT_FALSE(Re.Search("a", 2, Span));
    EXPECT_FALSE(Re.Search("a", -1, Span));

    // A window that ends inside a word, or before a line feed, is judged by the bytes after it; nothing
    // from Stop on is consumed, and \' is the end of the whole text only.
    const auto Tables = BuildRegExpCharTables(SourceOf(1252));
    const std::vector<std::tuple<const char*, std::string, int, int, int>> Windows = {
        {"foo\\b", "a foobar", 5, -1, -1}, {"foo\\b", "a foo bar", 5, 2, 5}, {"foo\\B", "a foobar", 5, 2, 5},
        {"o\\>", "foo", 2, -1, -1},        {"b$", "ab\nc", 2, 1, 2},         {"b$", "abc", 2, -1, -1},
        {"b\\'", "abc", 2, -1, -1},        {"b\\'", "ab", 2, 1, 2},          {"a+", "aaaa", 2, 0, 2},
        {"a*b", "aab", 2, -1, -1},         {"\\w+", "  ab", 2, -1, -1}};
    for (const auto& [Pattern, Text, Stop, Start, End] : Windows) {
        TRegExp Re(Pattern, RegExpSyntaxExtended, 0, Tables);
        TRegExpSpan Span{-1, -1};
        const bool Found = Re.Search(Text, 0, Stop, Span);
        EXPECT_EQ(Found ? std::make_pair(Span.Start, Span.End) : std::make_pair(-1, -1),
                  std::make_pair(Start, End))
            << Pattern << " on " << Text << " to " << Stop;
    }

    TRegExp Begin("\\`a", RegExpSyntaxExtended, 0, BuildRegExpCharTables(SourceOf(1252)));
    EXPECT_EQ(RegExpSearchRange(*Begin.Pattern, "aa", 2, 1, 1, nullptr), -1);
    EXPECT_EQ(RegExpSearchRange(*Begin.Pattern, "aa", 2, 0, 2, nullptr), 0);
}

// Each language's tables come from its own configuration; a pattern keeps the tables it was made with.
class RegExpLanguageTables : public testing::Test {
protected:
    void SetUp() override {
        InitConfigUnit();
        LanguageConfigs[0]->SetLanguage(1033, "English");
        LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
        LanguageConfigs[1]->SetLanguage(1049, "Russian");
        LanguagesCount = 2;
        CommonConfig->IgnoreCase = true;
        InitRegExpCharTables(0);
        InitRegExpCharTables(1);
    }
    void TearDown() override { FinalizeConfigUnit(); }

    static bool Finds(int Language, const std::string& Pattern, const std::string& Text) {
        TRegExp Re(Pattern, RegExpSyntaxExtended, Language);
        TRegExpSpan Span;
        return Re.Search(Text, 0, Span);
    }
};

TEST_F(RegExpLanguageTables, EachLanguageFoldsByItsCodePage) {
    // 0xD7 is a Cyrillic capital in cp1251, whose lower case is 0xF7; in cp1252 they are x and a sign.
    EXPECT_TRUE(Finds(1, "\xD7", "\xF7"));
    EXPECT_FALSE(Finds(0, "\xD7", "\xF7"));
    EXPECT_TRUE(Finds(0, "\xC9", "\xE9"));
}

TEST_F(RegExpLanguageTables, RebuildingChangesOnlyLaterPatterns) {
    TRegExp Before("\\d", RegExpSyntaxExtended, 1);
    LanguageConfigs[1]->NonWordChars += "4";
    CommonConfig->IgnoreCase = false;
    InitRegExpCharTables(1);
    TRegExpSpan Span;
    EXPECT_TRUE(Before.Search("4", 0, Span));
    EXPECT_FALSE(Finds(1, "\\d", "4"));
    EXPECT_FALSE(Finds(1, "\xD7", "\xF7"));
    EXPECT_TRUE(Finds(0, "\\d", "4"));
}

TEST_F(RegExpLanguageTables, EqualCharactersFromTheConfiguration) {
    CommonConfig->UseSkipEqualChars = true;
    LanguageConfigs[0]->EqualCharGroups = {GroupOf("e\xE9")};
    EXPECT_FALSE(Finds(0, "caf\xE9", "CAFE"));  // still the tables built before the change
    InitRegExpCharTables(0);
    EXPECT_TRUE(Finds(0, "caf\xE9", "CAFE"));
}

// The text helpers' search map and the patterns' translate table are one map, also for letters listed
// among the word delimiters.
TEST_F(RegExpLanguageTables, TextHelpersAndPatternsShareOneSearchMap) {
    LanguageConfigs[0]->NonWordChars += "XY\xC0\xD7";
    LanguageConfigs[0]->EqualCharGroups = {GroupOf("e\xE9")};
    CommonConfig->UseSkipEqualChars = true;
    const std::string Bytes =
        "XxYy\xC0\xE0\xD7\xF7"
        "eE\xE9\xC9";
    for (bool IgnoreCase : {false, true}) {
        CommonConfig->IgnoreCase = IgnoreCase;
        const TSearchCharMap Map = BuildSearchCharMap(0);
        EXPECT_EQ(Map, RegExpCharTables(0)->CharMap);
        EXPECT_EQ(SearchCharMap(0), Map);
        for (char A : Bytes)
            for (char B : Bytes)
                EXPECT_EQ(Finds(0, std::string(1, A), std::string(1, B)), Map[uint8_t(A)] == Map[uint8_t(B)])
                    << IgnoreCase << " " << int(uint8_t(A)) << " " << int(uint8_t(B));
    }
}

TEST_F(RegExpLanguageTables, UnknownLanguageIsRefused) {
    EXPECT_THROW(InitRegExpCharTables(4), std::out_of_range);
    EXPECT_THROW(RegExpCharTables(-1), std::out_of_range);
    EXPECT_NE(RegExpCharTables(3), nullptr);  // an empty slot gets the defaults
}

}  // namespace
