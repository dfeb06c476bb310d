// Search patterns: compilation into terms, word reading, the wildcard matcher, term sequences with
// word skips, tag queries and the regular-expression buffer, over small texts written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "controls/ScriptedBackend.h"
#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearch.h"
#include "engine/ConcTextProcess.h"
#include "engine/RegExp3.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "ui/ConcDblProgress.h"

namespace {

struct TFakeOwner : TSearchOwner {
    std::vector<int32_t> Positions;
    void UpdateProgress(int32_t Position, bool) override { Positions.push_back(Position); }
};

class SearchPatternTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigureForCorpusTests();
        TCommonConcordConfig& C = *CommonConfig;
        C.TagSearchSeparator = '&';
        C.MatchWordsLo = 2;
        C.MatchWordsHi = 5;
        C.wTagDelimiter = '_';
        C.wTagStop = ']';
        C.wTagStarts = {"["};
        LanguagesCount = 1;
    }
    void TearDown() override { ResetGlobalsForTest(); }

    std::unique_ptr<TSearchContext> Context(const std::string& Pattern, uint8_t Syntax = 0,
                                            const std::string& Skip = "", bool MatchCase = false) {
        auto context = std::make_unique<TSearchContext>(0, Pattern, Syntax, CharSetOf(Skip), MatchCase);
        context->Owner = &Owner;
        return context;
    }

    // Every match of Pattern in Text as the matched bytes: from the first byte after the delimiters
    // before the match to MatchEnd, less the delimiter the reading consumed after the last word.
    std::vector<std::string> Hits(const std::string& Pattern, const std::string& Text, uint8_t Syntax = 0,
                                  const std::string& Skip = "", bool MatchCase = false) {
        auto context = Context(Pattern, Syntax, Skip, MatchCase);
        TMemorySynchroStream stream(Text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        std::vector<std::string> hits;
        while (context->SearchRange(reader, true)) {
            int32_t start = context->MatchStart;
            start = HitStart(*context, Text, start, Syntax);
            const int32_t end = context->MatchEnd - (context->MatchEndAfterDelimiter ? 1 : 0);
            hits.push_back(Text.substr(start, end - start));
            if (hits.size() > 100000) break;
        }
        return hits;
    }

    // Where a hit found from Start begins, as the search reports it: the first word byte (in the tag
    // syntax the first byte of the tag that stands before that word, when tags come before their words),
    // or Start itself for a regular expression.
    static int32_t HitStart(TSearchContext& Context, const std::string& Text, int32_t Start, uint8_t Syntax) {
        if (Syntax == 1) return Start;
        TMemorySynchroStream stream(Text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        const int32_t first = CommonConfig->WordTag == 0 ? Context.FirstWordByte(reader, Start)
                                                         : Context.FirstTaggedWordByte(reader, Start);
        return first < 0 ? Start : first;
    }

    using Spans = std::vector<std::pair<int32_t, int32_t>>;

    // The hits of a word or tag query in Text, one after another, as the search reports them (see
    // HitStart); at most Most + 1 of them.
    Spans WordHitSpans(const std::string& Pattern, uint8_t Syntax, const std::string& Text, size_t Most) {
        auto context = Context(Pattern, Syntax);
        TMemorySynchroStream stream(Text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        Spans found;
        while (context->SearchRange(reader, false) && found.size() <= Most) {
            const int32_t start = HitStart(*context, Text, context->MatchStart, Syntax);
            found.push_back({start, context->MatchEnd - (context->MatchEndAfterDelimiter ? 1 : 0)});
        }
        return found;
    }

    // The matches of a regular expression over the whole of Text, each search from the last one's end.
    static Spans WholeTextSpans(const std::string& Pattern, const std::string& Text) {
        TRegExp whole(Pattern, RegExpSyntaxExtended, 0);
        Spans spans;
        TRegExpSpan span;
        for (int from = 0; whole.Search(Text, from, span); from = span.End)
            spans.push_back({span.Start, span.End});
        return spans;
    }

    // The matches the search's buffer finds in Text, hit after hit; at most Most + 1 of them.
    Spans BufferSpans(const std::string& Pattern, const std::string& Text, size_t Most) {
        auto context = Context(Pattern, 1);
        TMemorySynchroStream stream(Text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        Spans spans;
        while (context->SearchRange(reader, false) && spans.size() <= Most)
            spans.push_back({context->MatchStart, context->MatchEnd});
        return spans;
    }

    std::vector<std::string> Tokens(const std::string& Text) {
        auto context = Context("x");
        TMemorySynchroStream stream(Text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        context->Reader = &reader;
        std::vector<std::string> tokens;
        for (auto word = context->ReadNextWord(); !word.empty(); word = context->ReadNextWord()) {
            tokens.push_back(std::string(word) + (context->LastTokenType == ctPOSTag ? "/T" : ""));
        }
        return tokens;
    }

    static std::string Describe(const TSearchContext& Context) {
        static const char* kinds[] = {"w", "t", "m", "r", "@", "@@"};
        std::string text;
        for (const auto& term : Context.Terms) {
            if (!text.empty()) text += ' ';
            text += std::string(kinds[term->Kind]) + ":" + term->Text;
        }
        return text;
    }

    TFakeOwner Owner;
    TScriptedBackend Backend;
};

using Strings = std::vector<std::string>;

TEST_F(SearchPatternTest, WildcardsSkippingAndEqualCharacters) {
    CommonConfig->UseSkipEqualChars = true;
    LanguageConfigs[0]->EqualChars = "e=\xE9";
    ASSERT_TRUE(ParseEqualChars(0));
    auto context = Context("x", 0, "-");
    struct TCase {
        const char* Word;
        const char* Pattern;
        bool Match;
    };
    const TCase cases[] = {
        {"co-operate", "cooperate", true},
        {"cooperate", "co-operate", false},
        {"co-", "co", true},
        {"anything", "*", true},
        {"ab", "ab*", true},
        {"a", "a%", true},
        {"ab", "a%", true},
        {"abc", "a%", false},
        {"ac", "a%c", true},
        {"abc", "a%c", true},
        {"abbc", "a%c", false},
        {"-", "?", false},
        {"a-bc", "a?c", true},
        {"sing", "*ing", true},
        {"cats", "c*t", false},
        {"cat", "c*t", true},
        {"at", "%at", true},
        {"scat", "%at", false},
        {"caf\xE9", "cafe", true},
        {"cafe", "caf\xE9", true},
        {"caf\xE8", "cafe", false},
        {"ab", "*b*", true},
        {"b", "a*", false},
        {"ab", "abc", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(context->WildcardMatch(c.Word, c.Pattern), c.Match) << c.Word << " ~ " << c.Pattern;
    }
    // The equal characters reach plain words through the search as well.
    EXPECT_EQ(Hits("cafe", "caf\xE9 CAFE caf\xE8"), (Strings{"caf\xE9", "CAFE"}));
}

TEST_F(SearchPatternTest, PatternsBecomeTerms) {
    CommonConfig->MetaTags.push_back({"Noun", {"NN*", "NP"}});
    EXPECT_EQ(Describe(*Context("The  a@b @@@ c\t@ d")), "w:the w:a @: w:b @@: w:c @: w:d");
    EXPECT_EQ(Describe(*Context("The", 0, "", true)), "w:The");
    CommonConfig->WordTag = 1;
    EXPECT_EQ(Describe(*Context("cat&NN &vb dog& & ** x&noun y&no*", 2)),
              "w:cat t:nn w:* t:vb w:dog t:* w:* t:* w:* t: w:x m:noun w:y t:no*");
    // Tags written before their words are matched in that order (list mode only).
    CommonConfig->WordTag = 2;
    CommonConfig->wTagBefore = true;
    EXPECT_EQ(Describe(*Context("cat&nn @ dog", 2)), "t:nn w:cat @: t:* w:dog");
    // The "any word without a tag" token follows the configured wildcard.
    CommonConfig->WordTag = 1;
    CommonConfig->wTagBefore = false;
    CommonConfig->WildCard0orMore = '+';
    EXPECT_EQ(Describe(*Context("++ **", 2)), "w:+ t: w:** t:+");
    EXPECT_EQ(Describe(*Context("a(b)", 1)), "r:a(b)") << "regular expressions are not split";
    EXPECT_THROW(Context("a(b", 1), ERegExp);
}

TEST_F(SearchPatternTest, WordsAndSkipsInText) {
    const std::string text = "x a y q x a b y, x a b c d e f y q x a b c d e y";
    EXPECT_EQ(Hits("x @ y", text), (Strings{"x a b y", "x a b c d e y"}));
    EXPECT_EQ(Hits("x @@ y", "x y x a y x a b c d e f g y"), (Strings{"x y", "x a y", "x a b c d e f g y"}));
    // A trailing skip needs its lower count of words; a leading one resumes after its first word.
    EXPECT_EQ(Hits("b @", "a b c d b e"), (Strings{"b c d"}));
    EXPECT_EQ(Hits("@ d", "a b c d b e d"), (Strings{"a b c d", "b e d"}));
    // A failed attempt resumes right after its first word, so overlapping candidates are found.
    EXPECT_EQ(Hits("a b", "a a b A B"), (Strings{"a b", "A B"}));
    EXPECT_EQ(Hits("a b", "a a b", 0, "", true), (Strings{"a b"}));
    EXPECT_EQ(Hits("A", "a A", 0, "", true), (Strings{"A"}));
    // Without word tags a tag is still markup: its name is no word, and it ends the word before it.
    EXPECT_EQ(Hits("p", "<p>text</p>"), Strings{});
    EXPECT_EQ(Hits("p text", "<p>p<b> text</p>"), (Strings{"p<b> text"}));
    EXPECT_EQ(Hits("a<b", "a<b"), Strings{}) << "the search character stays a delimiter in the pattern";
    EXPECT_EQ(Hits("x", "x< y x<"), (Strings{"x", "x"})) << "a \"<\" that opens no tag";
    CommonConfig->TagStart = 0;
    EXPECT_EQ(Hits("p", "<p>text</p>"), (Strings{"p", "p"})) << "with tags switched off nothing changes";
    // A 0 byte reads as a blank; a word at the range end keeps its last byte.
    EXPECT_EQ(Hits("a*", std::string("ab ac\0ad", 8)), (Strings{"ab", "ac", "ad"}));
    EXPECT_EQ(Hits("@@", "a b c"), Strings{}) << "a pattern of skips alone matches nothing";
    EXPECT_EQ(Hits("*", "one, two"), (Strings{"one", "two"}));
}

TEST_F(SearchPatternTest, ReadingTokensWithWordTags) {
    EXPECT_EQ(Tokens("The, cat"), (Strings{"the", "cat"}));
    CommonConfig->WordTag = 1;
    EXPECT_EQ(Tokens("The_DT cat_NN<b> sat"), (Strings{"the", "dt/T", "cat", "nn/T", "sat"}));
    CommonConfig->WordTag = 2;
    EXPECT_EQ(Tokens("cat[NN] dog[VB]! x[Y"), (Strings{"cat", "nn/T", "dog", "vb/T", "x", "y/T"}));
}

TEST_F(SearchPatternTest, TagQueries) {
    CommonConfig->WordTag = 1;
    const std::string text = "The_DT cat_NN sat_VBD on the mat_NN .";
    EXPECT_EQ(Hits("&nn", text, 2), (Strings{"cat_NN", "mat_NN"}));
    EXPECT_EQ(Hits("the&", text, 2), (Strings{"The_DT", "the"}));
    EXPECT_EQ(Hits("**", text, 2), (Strings{"on", "the"}));
    EXPECT_EQ(Hits("cat&nn sat", text, 2), (Strings{"cat_NN sat_VBD"}));
    // A skipped word is one word with its tag when it has one.
    EXPECT_EQ(Hits("the @ c&nn", "the_DT a_X b_Y c_NN", 2), (Strings{"the_DT a_X b_Y c_NN"}));
    EXPECT_EQ(Hits("the @ c&nn", "the_DT a b c_NN", 2), (Strings{"the_DT a b c_NN"}));
    EXPECT_EQ(Hits("a @ d", "a_X b c_X d_X e", 2), (Strings{"a_X b c_X d_X"}));
    EXPECT_EQ(Hits("cat @@ &nn", text, 2), (Strings{"cat_NN sat_VBD on the mat_NN"}));
    // A failed first pair lets the next attempt start after its tag.
    EXPECT_EQ(Hits("sat&vbd", "sat_NN sat_VBD", 2), (Strings{"sat_VBD"}));

    CommonConfig->MetaTags.push_back({"NOUN", {"NN*", "NP"}});
    EXPECT_EQ(Hits("&noun", "a_NNS b_NP c_VB d_NN", 2), (Strings{"a_NNS", "b_NP", "d_NN"}));
    auto context = Context("&noun", 2);
    CommonConfig->MetaTags.clear();
    TMemorySynchroStream stream("a_NN");
    TBufStream reader(stream, 0);
    ConfigureBufStream(reader);
    try {
        context->SearchRange(reader, false);
        FAIL() << "a removed meta tag must stop the search";
    } catch (const EConcError& e) {
        EXPECT_STREQ(e.what(), "Unknown meta tag: noun");
    }

    // List mode: the tag loses exactly its start string and stop character.
    CommonConfig->WordTag = 2;
    EXPECT_EQ(Hits("cat&nn", "the[DT] cat[NN] cat[VB]", 2), (Strings{"cat[NN]"}));
    CommonConfig->wTagBefore = true;
    EXPECT_EQ(Hits("cat&nn", "[DT]the [NN]cat [VB]cat", 2), (Strings{"[NN]cat"}));
    // Text queries pass over the word tags between their words.
    CommonConfig->wTagBefore = false;
    EXPECT_EQ(Hits("cat", "the[DT] cat[NN]", 0), (Strings{"cat"}));
    EXPECT_EQ(Hits("the cat", "the[DT] cat[NN] the cat", 0), (Strings{"the[DT] cat", "the cat"}));
}

TEST_F(SearchPatternTest, TagsAcrossReaderWindows) {
    CommonConfig->WordTag = 2;
    CommonConfig->wTagStarts = {"[[", "["};
    std::string text;
    int tagged = 0;
    for (int i = 0; text.size() < 3 * TBufStream::BufferSize; ++i) {
        text += i % 3 == 0 ? "word[[NN]] " : (i % 3 == 1 ? "other[VB] " : "x ");
        tagged += i % 3 == 0;
    }
    const auto hits = Hits("word&nn", text, 2);
    EXPECT_EQ(static_cast<int>(hits.size()), tagged);
    for (const auto& hit : hits) ASSERT_EQ(hit, "word[[NN]") << "the second \"]\" is a delimiter";
}

TEST_F(SearchPatternTest, RegularExpressionBuffer) {
    // Line breaks are one blank; skipping characters are dropped before the expression sees the text.
    EXPECT_EQ(Hits("end start", "the end\r\n\r\nstart. end\r\r\nstart", 1),
              (Strings{"end\r\n\r\nstart", "end\r\r\nstart"}));
    EXPECT_EQ(Hits("cooperate", "co-operate", 1, "-"), (Strings{"co-operate"}));
    EXPECT_EQ(Hits("end ", "the end\r\n", 1), (Strings{"end"})) << "a match ends before a line break";
    // Offsets stay exact hit after hit, and the byte before the start is seen by word boundaries.
    EXPECT_EQ(Hits("\\bab", "ab xab ab, ab", 1), (Strings{"ab", "ab", "ab"}));
    EXPECT_EQ(Hits("a", "aaa", 1), (Strings{"a", "a", "a"}));
    EXPECT_EQ(Hits("x*", "abc", 1), Strings{}) << "an empty match is no hit";
    EXPECT_EQ(Hits("b", std::string("ab\0b", 4), 1), (Strings{"b", "b"})) << "a 0 byte reads as a blank";
    // A match of nothing but the line break that ends the text or the range is no hit, and the search
    // ends instead of finding that break again and again.
    EXPECT_EQ(Hits(".", "ab\r\n", 1), (Strings{"a", "b"}));
    EXPECT_EQ(Hits(" |x", "a b\r\n\r\n", 1), (Strings{" "}));
    {
        auto context = Context(" ", 1);
        TMemorySynchroStream stream("one\r\ntwo three");
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        reader.SetRange(0, 5);
        reader.SetPosition(0);
        int32_t found = 0;
        while (context->SearchRange(reader, false) && found < 10) ++found;
        EXPECT_EQ(found, 0);
    }

    // Matches across the 4096 slide and the 8192 end of the buffer, and a hit per window.
    std::string text(20000, 'x');
    for (int32_t at : {100, 4094, 8190, 12286, 16000}) text.replace(at, 5, "HELLO");
    const auto hits = Hits("HELLO", text, 1);
    EXPECT_EQ(hits, Strings(5, "HELLO"));
}

// Hit after hit over texts several buffers long, the search's buffer answers what the expression finds
// in the whole text, each search from the end of the last match. The patterns' matches are short, so no
// match reaches the end of a buffer, and they look at no byte after the match, which a buffer would
// hide.
TEST_F(SearchPatternTest, RegularExpressionHitsAgreeWithTheWholeText) {
    std::mt19937 rng(8);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const char* const atoms[] = {"a", "b", "c", "[ab]", ".", "(a|bc)", "\\<a", "^b"};
    const char* const repeats[] = {"", "", "?", "{1,3}", "{2}"};
    for (int k = 0; k < 60; ++k) {
        std::string pattern;
        for (int n = 1 + pick(3); n > 0; --n)
            pattern += std::string(atoms[pick(8)]) + (n > 1 ? repeats[pick(5)] : "");
        std::string text(20000 + pick(5000), ' ');
        for (char& c : text) c = "aabbc  "[pick(7)];
        const auto expected = WholeTextSpans(pattern, text);
        ASSERT_EQ(BufferSpans(pattern, text, expected.size()), expected) << pattern;
    }
}

// Texts of 20 to 40 KB with long words that cross the buffer's halves and end: expressions with end
// anchors, word boundaries and greedy loops find, hit after hit, what they find in the whole text.
TEST_F(SearchPatternTest, RegularExpressionsAtTheBufferEdgeAgreeWithTheWholeText) {
    std::mt19937 rng(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const char* const patterns[] = {"a\\w*",        ".$",           "b\\'",        "\\w+$",
                                    "c\\b",         "\\ba[ab]*\\>", "(ab)+c?",     "\\<b\\w*a\\>",
                                    "[^ ]+ [^ ]+$", "a\\B",         "[abc]{3}\\b", "\\w{40,}b"};
    int compared = 0;
    for (int k = 0; k < 96; ++k) {
        const std::string pattern = patterns[k % 12];
        std::string text;
        const size_t size = 20000 + static_cast<size_t>(pick(20000));
        while (text.size() < size) {
            const int length = pick(8) == 0 ? 1000 + pick(2900) : 1 + pick(6);
            for (int i = 0; i < length; ++i) text += "abc"[pick(3)];
            text += pick(5) == 0 ? ", " : " ";
        }
        if (pick(2) == 0) text.pop_back();  // a text that ends inside a word
        const auto expected = WholeTextSpans(pattern, text);
        const bool allShort = std::all_of(expected.begin(), expected.end(), [](const auto& Span) {
            return Span.second - Span.first < TSearchContext::RegExpSlide;
        });
        if (!allShort) continue;
        ++compared;
        ASSERT_EQ(BufferSpans(pattern, text, expected.size()), expected)
            << pattern << " over " << text.size() << " bytes";
    }
    EXPECT_GT(compared, 60);
}

// An expression that can match the empty text gives no hit where its leftmost match is empty, over a
// whole unit as in every window of a unit several buffers long: only matches that follow one another
// from where the search starts.
TEST_F(SearchPatternTest, AnEmptyMatchIsNoHitWhereverTheWindowLands) {
    std::mt19937 rng(58);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const char* const patterns[] = {"b*", "x*", "j?", "(ab)*", "a*b?", "[bc]*", "\\<b*", "(a|bc)?"};
    int hits = 0;
    for (int k = 0; k < 64; ++k) {
        const std::string pattern = patterns[k % 8];
        std::string text(9000 + static_cast<size_t>(pick(30000)), ' ');
        for (char& c : text) c = "aabbc  x"[pick(8)];
        const auto expected = WholeTextSpans(pattern, text);
        hits += static_cast<int>(expected.size());
        ASSERT_EQ(BufferSpans(pattern, text, expected.size()), expected)
            << pattern << " over " << text.size();
    }
    EXPECT_GT(hits, 4) << "some texts begin with a match";
}

TEST_F(SearchPatternTest, RegularExpressionsInADoubleByteCodePage) {
    LanguageConfigs[0]->SetLanguage(1041, "Japanese");
    ASSERT_TRUE(LanguageConfigs[0]->NoCaseMap);
    InitRegExpCharTables(0);
    // 0x83 0x41 is one character whose second byte is "A".
    const std::string text = "\x83\x41 A \x83\x41\x83\x41";
    auto context = Context("A", 1, "", true);
    TMemorySynchroStream stream(text);
    TBufStream reader(stream, 0);
    std::vector<int32_t> starts;
    while (context->SearchRange(reader, false)) starts.push_back(context->MatchStart);
    EXPECT_EQ(starts, (std::vector<int32_t>{3}));
    EXPECT_EQ(Hits("\x83\x41\x83\x41", text, 1, "", true), (Strings{"\x83\x41\x83\x41"}));
    // A match never ends inside a character, so the next one never starts inside it.
    EXPECT_EQ(Hits(".",
                   "\x95\x5C\x81\x42"
                   "a",
                   1),
              (Strings{"\x95\x5C", "\x81\x42", "a"}));
    EXPECT_EQ(Hits("\x95", "\x95\x5C \x95\x5C", 1), (Strings{"\x95\x5C", "\x95\x5C"}));

    // A pattern's characters pair up as the text's do: a second byte 0x5C is no backslash, 0x5D no "]".
    const std::string hyo = "\x95\x5C", ji = "\x8E\xA6", so = "\x83\x5C", bo = "\x81\x5D";
    const std::string words = hyo + ji + " " + hyo + hyo + " " + so + " x" + bo + ji;
    EXPECT_EQ(Hits(hyo, words, 1), (Strings{hyo, hyo, hyo}));
    EXPECT_EQ(Hits(hyo + ji, words, 1), (Strings{hyo + ji}));
    EXPECT_EQ(Hits(hyo + "+", words, 1), (Strings{hyo, hyo + hyo})) << "the character repeats as one";
    EXPECT_EQ(Hits("\\" + so, words, 1), (Strings{so}));
    EXPECT_EQ(Hits("x[" + bo + "]", words, 1), (Strings{"x" + bo}));
    EXPECT_THROW(Context("x\\", 1), ERegExp) << "a backslash of its own still escapes";
}

// In code page 932 the dot, bracket expressions, their negations and ranges take a character: one byte,
// or a lead byte and its second byte, in the pattern as in the text. Random texts of characters whose
// second bytes look like "\\", "]", "@", "A" and "a", searched hit after hit for random sequences of
// such items, against a model that reads the text and the pattern character by character.
TEST_F(SearchPatternTest, DotAndBracketsTakeWholeCharactersInADoubleByteCodePage) {
    LanguageConfigs[0]->SetLanguage(1041, "Japanese");
    InitRegExpCharTables(0);
    const auto& lead = platform::CodePageTables(932).LeadByte;
    // One-byte characters, then characters of two bytes (as lead * 256 + second byte).
    const std::vector<int> characters = {'a',    'b',    'A',    '\\',   ']',    '@',    ' ',    0xB1,
                                         0x955C, 0x8EA6, 0x8E67, 0x8E9E, 0x95AA, 0x96BE, 0x8341, 0x835C,
                                         0x8140, 0x81A9, 0x815D, 0x8361, 0x9640, 0x8E40};
    auto bytes = [](int Code) {
        return Code < 256 ? std::string(1, static_cast<char>(Code))
                          : std::string{static_cast<char>(Code >> 8), static_cast<char>(Code & 0xFF)};
    };
    std::mt19937 rng(932);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    auto any = [&] { return characters[pick(characters.size())]; };
    struct TItem {
        int Kind = 0;  // 0 a character, 1 the dot, 2 a bracket expression
        std::vector<std::pair<int, int>> Ranges;
        bool Negated = false;
        bool Matches(int Code) const {
            if (Kind == 1) return true;
            bool in = false;
            for (const auto& [low, high] : Ranges) in = in || (low <= Code && Code <= high);
            return in != Negated;
        }
    };
    int hits = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<TItem> items;
        std::string pattern;
        for (size_t n = 1 + pick(3); n > 0; --n) {
            TItem item;
            item.Kind = static_cast<int>(pick(3));
            if (item.Kind == 0) {
                const int code = any();
                item.Ranges = {{code, code}};
                pattern += (code == '\\' ? "\\" : "") + bytes(code);
            } else if (item.Kind == 1) {
                pattern += ".";
            } else {
                item.Negated = pick(3) == 0;
                std::string members;
                // "]" is a member only first; a range never ends in it.
                if (pick(3) == 0) {
                    members = "]";
                    item.Ranges.push_back({']', ']'});
                }
                for (size_t m = 1 + pick(3); m > 0; --m) {
                    int low = any(), high = low;
                    if (pick(3) == 0) {
                        high = any();
                        if (high < low) std::swap(low, high);
                    }
                    if (low == ']' || high == ']') continue;
                    item.Ranges.push_back({low, high});
                    members += bytes(low) + (high != low ? "-" + bytes(high) : "");
                }
                if (members.empty()) {
                    members = "a";
                    item.Ranges.push_back({'a', 'a'});
                }
                pattern += std::string(item.Negated ? "[^" : "[") + members + "]";
            }
            items.push_back(item);
        }
        std::string text;
        std::vector<std::pair<int32_t, int>> chars;  // byte offset, character
        for (size_t n = 50 + pick(200); n > 0; --n) {
            const int code = any();
            chars.push_back({static_cast<int32_t>(text.size()), code});
            text += bytes(code);
        }
        for (const auto& [at, code] : chars)
            ASSERT_EQ(code >= 256, lead[static_cast<unsigned char>(text[static_cast<size_t>(at)])]);
        Spans expected;
        for (size_t c = 0; c + items.size() <= chars.size();) {
            bool all = true;
            for (size_t k = 0; k < items.size() && all; ++k) all = items[k].Matches(chars[c + k].second);
            if (!all) {
                ++c;
                continue;
            }
            const size_t end = c + items.size();
            expected.push_back(
                {chars[c].first, end < chars.size() ? chars[end].first : static_cast<int32_t>(text.size())});
            c = end;
        }
        hits += static_cast<int>(expected.size());
        auto context = Context(pattern, 1, "", true);
        TMemorySynchroStream stream(text);
        TBufStream reader(stream, 0);
        Spans found;
        while (context->SearchRange(reader, false) && found.size() <= expected.size())
            found.push_back({context->MatchStart, context->MatchEnd});
        ASSERT_EQ(found, expected) << "round " << round << " pattern " << pattern;
    }
    EXPECT_GT(hits, 1000);
}

TEST_F(SearchPatternTest, WordsInADoubleByteCodePageKeepTheirTrailBytes) {
    LanguageConfigs[0]->SetLanguage(1041, "Japanese");
    // Second bytes that are delimiters on their own: 0x5C "\\" (0x955C, 0x835C), 0x5B "[" (0x815B), and
    // 0x40 "@", the word-skip character (0x8140, 0x8340).
    const std::string hyo = "\x95\x5C", ji = "\x8E\xA6", so = "\x83\x5C", bo = "\x81\x5B", a = "\x83\x40";
    const std::string text =
        "a " + hyo + ji + " " + so + bo + " x" + hyo + "a " + hyo + "\r\n" + a + "\x81\x40";
    EXPECT_EQ(Hits(hyo + ji, text), Strings{hyo + ji});
    EXPECT_EQ(Hits(so + bo, text), Strings{so + bo});
    EXPECT_EQ(Hits(hyo, text), Strings{hyo}) << "the word alone, not inside another";
    EXPECT_EQ(Hits("a", text), Strings{"a"}) << "not the \"a\" after a second byte";
    EXPECT_EQ(Hits("x*", text), Strings{"x" + hyo + "a"});
    EXPECT_EQ(Hits(a + "*", text), Strings{a + "\x81\x40"});
    EXPECT_EQ(Hits("*", text).size(), 6u);
}

// In the double-byte code pages the wildcards take characters: "?" one, "%" none or one, "*" any run of
// them, a lead byte with its second byte being one character. Random words and patterns of characters
// whose second bytes look like "s", "a", "@", "\\" or like another character's lead byte, against a
// matcher that reads both character by character; then the searches a user of a Japanese corpus makes.
TEST_F(SearchPatternTest, WildcardsTakeWholeCharactersInADoubleByteCodePage) {
    LanguageConfigs[0]->SetLanguage(1041, "Japanese");
    const auto& lead = platform::CodePageTables(932).LeadByte;
    const std::vector<int> characters = {'a',    's',    'b',    0xB1,   0xB2,   0x8E73, 0x8E61, 0x8373,
                                         0x8361, 0x8E8E, 0x838E, 0x8E40, 0x955C, 0x8E9E, 0x8140, 0x8E8E};
    auto bytes = [](const std::vector<int>& Codes) {
        std::string text;
        for (int code : Codes) {
            if (code >= 256) text += static_cast<char>(code >> 8);
            text += static_cast<char>(code & 0xFF);
        }
        return text;
    };
    // Pattern items: a character code, or -1 "*", -2 "%", -3 "?".
    std::function<bool(const int*, size_t, const int*, size_t)> model = [&](const int* W, size_t WN,
                                                                            const int* P, size_t PN) {
        if (PN == 0) return WN == 0;
        switch (P[0]) {
            case -1:
                for (size_t k = 0; k <= WN; ++k)
                    if (model(W + k, WN - k, P + 1, PN - 1)) return true;
                return false;
            case -2:
                return model(W, WN, P + 1, PN - 1) || (WN > 0 && model(W + 1, WN - 1, P + 1, PN - 1));
            case -3:
                return WN > 0 && model(W + 1, WN - 1, P + 1, PN - 1);
            default:
                return WN > 0 && W[0] == P[0] && model(W + 1, WN - 1, P + 1, PN - 1);
        }
    };
    auto patternText = [&](const std::vector<int>& Items) {
        std::string text;
        for (int item : Items) text += item == -1 ? "*" : item == -2 ? "%" : item == -3 ? "?" : bytes({item});
        return text;
    };
    std::mt19937 rng(936);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    auto context = Context("x");
    int matches = 0, refusals = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<int> word;
        for (size_t n = 1 + pick(6); n > 0; --n) word.push_back(characters[pick(characters.size())]);
        // Mostly the word itself with some characters turned into wildcards, so that many patterns match.
        std::vector<int> pattern;
        if (pick(4) == 0) {
            for (size_t n = 1 + pick(5); n > 0; --n)
                pattern.push_back(pick(3) == 0 ? -1 - static_cast<int>(pick(3))
                                               : characters[pick(characters.size())]);
        } else {
            for (int c : word) {
                const size_t what = pick(8);
                if (what == 0) continue;
                if (what == 1) pattern.push_back(-1);
                if (what == 2) pattern.push_back(-2);
                if (what == 3) pattern.push_back(-3);
                if (what == 4) pattern.push_back(characters[pick(characters.size())]);
                if (what >= 5 || what == 2) pattern.push_back(c);
                if (what == 1 && pick(2) == 0) pattern.push_back(c);
            }
            if (pattern.empty()) pattern.push_back(-1);
        }
        const std::string w = bytes(word), p = patternText(pattern);
        const bool expected = model(word.data(), word.size(), pattern.data(), pattern.size());
        ASSERT_EQ(context->WildcardMatch(w, p), expected) << "round " << round << " pattern " << p;
        (expected ? matches : refusals)++;
    }
    EXPECT_GT(matches, 4000);
    EXPECT_GT(refusals, 4000);
    ASSERT_TRUE(lead[0x83] && lead[0x95] && !lead[0xB1]);

    // "ファイル" and "ファイル名", "失敗" whose second byte of 敗 is "s", 表 alone, 表示 and 表s.
    const std::string fa = "\x83\x74", ai = "\x83\x40", ru = "\x83\x8B", mei = "\x96\xBC";
    const std::string file = fa + "\x83\x43" + ru, hyo = "\x95\x5C", ji = "\x8E\xA6", hai = "\x94\x73";
    const std::string text = file + " " + file + mei + " \x8E\xB8" + hai + " " + hyo + " " + hyo + ji + " " +
                             hyo + "s " + ai + " a";
    EXPECT_EQ(Hits("?\x83\x43" + ru + "*", text), (Strings{file, file + mei}));
    EXPECT_EQ(Hits("*s", text), Strings{hyo + "s"});
    EXPECT_EQ(Hits("?", text), (Strings{hyo, ai, "a"}));
    EXPECT_EQ(Hits(hyo + "?", text), (Strings{hyo + ji, hyo + "s"}));
    EXPECT_EQ(Hits(hyo + "%", text), (Strings{hyo, hyo + ji, hyo + "s"}));
    EXPECT_EQ(Hits("*" + hai, text), Strings{"\x8E\xB8" + hai});
}

TEST_F(SearchPatternTest, CancelStopsTheSearch) {
    TDoubleProgressForm window;
    Owner.ProgressWindow = &window;
    EXPECT_EQ(Hits("a", "a a a"), Strings(3, "a"));
    window.Tag = 1;
    EXPECT_EQ(Hits("a", "a a a"), Strings{});
    EXPECT_TRUE(Owner.Cancelled);
}

// Plain-word queries against a word-by-word comparison through the language's case map.
TEST_F(SearchPatternTest, PlainWordsMatchLikeABruteForceComparison) {
    std::mt19937 random(7);
    const std::string letters = "aAbB\xC9\xE9";
    const std::string delimiters[] = {" ", ", ", "\r\n", ".", "  (", "\t"};
    const auto& lower = LanguageConfigs[0]->LowerCaseMap;
    auto fold = [&](std::string s) {
        for (char& c : s) c = static_cast<char>(lower[static_cast<unsigned char>(c)]);
        return s;
    };
    for (int round = 0; round < 40; ++round) {
        std::string text;
        std::vector<std::pair<int32_t, int32_t>> words;
        const int count = 200 + static_cast<int>(random() % 3000);
        for (int w = 0; w < count; ++w) {
            text += delimiters[random() % 6];
            const int32_t start = static_cast<int32_t>(text.size());
            const int length = 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < length; ++k) text += letters[random() % letters.size()];
            words.push_back({start, static_cast<int32_t>(text.size())});
        }
        const bool matchCase = round % 4 == 3;
        const int terms = 1 + static_cast<int>(random() % 2);
        std::vector<std::string> query;
        for (int t = 0; t < terms; ++t) {
            const auto& [s, e] = words[random() % words.size()];
            query.push_back(text.substr(s, e - s));
        }
        std::string pattern = query[0] + (terms > 1 ? " " + query[1] : "");
        std::vector<std::pair<int32_t, int32_t>> expected;
        auto same = [&](size_t w, const std::string& q) {
            const std::string word = text.substr(words[w].first, words[w].second - words[w].first);
            return matchCase ? word == q : fold(word) == fold(q);
        };
        for (size_t w = 0; w + terms <= words.size();) {
            bool all = true;
            for (int t = 0; t < terms && all; ++t) all = same(w + t, query[t]);
            if (all) {
                expected.push_back({words[w].first, words[w + terms - 1].second});
                w += terms;
            } else {
                ++w;
            }
        }
        auto context = Context(pattern, 0, "", matchCase);
        TMemorySynchroStream stream(text);
        TBufStream reader(stream, 0);
        std::vector<std::pair<int32_t, int32_t>> found;
        while (context->SearchRange(reader, false)) {
            int32_t start = context->MatchStart;
            while (context->DelimiterSet[static_cast<unsigned char>(text[start])]) ++start;
            found.push_back({start, context->MatchEnd - (context->MatchEndAfterDelimiter ? 1 : 0)});
        }
        ASSERT_EQ(found, expected) << "round " << round << " pattern " << pattern;
    }
}

}  // namespace

// Word and tag queries over random texts with tags, word tags and untagged words, against a model that
// sees the text as the list of its words: tags are never words, a text query passes over word tags, a
// skipped word is one word (with its tag), and the hits follow one another without overlapping.
namespace {

struct TModelWord {
    std::string Text, Tag;
    int32_t Start = 0, End = 0, TagEnd = 0;
};

struct TModelTerm {
    bool Skip = false;
    std::string Word, Tag;  // Word "*" or "x*" or exact; Tag "*" any or none, "" none, else exact
};

bool ModelWordMatches(const TModelTerm& Term, const TModelWord& W) {
    const std::string& p = Term.Word;
    const bool word = p == "*" || (p.size() == 2 && p[1] == '*' ? W.Text[0] == p[0] : W.Text == p);
    if (!word) return false;
    if (Term.Tag == "*") return true;
    return W.Tag == Term.Tag;
}

int ModelMatchFrom(const std::vector<TModelTerm>& Q, size_t T, size_t W, const std::vector<TModelWord>& Words,
                   int Lo, int Hi) {
    if (T == Q.size()) return static_cast<int>(W);
    if (Q[T].Skip) {
        for (int k = Lo; k <= Hi; ++k) {
            if (W + k > Words.size()) return -1;
            if (T + 1 == Q.size()) return static_cast<int>(W) + k;
            const int end = ModelMatchFrom(Q, T + 1, W + k, Words, Lo, Hi);
            if (end >= 0) return end;
        }
        return -1;
    }
    if (W >= Words.size() || !ModelWordMatches(Q[T], Words[W])) return -1;
    return ModelMatchFrom(Q, T + 1, W + 1, Words, Lo, Hi);
}

// The model's hits, one after another, as runs [first, end) of word indexes; skips of 1 to 3 words.
std::vector<std::pair<size_t, size_t>> ModelRuns(const std::vector<TModelTerm>& Query,
                                                 const std::vector<TModelWord>& Words) {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t w = 0; w < Words.size();) {
        const int end = ModelMatchFrom(Query, 0, w, Words, 1, 3);
        if (end < 0) {
            ++w;
            continue;
        }
        runs.push_back({w, static_cast<size_t>(end)});
        w = static_cast<size_t>(end);
    }
    return runs;
}

const char* const ModelWordTexts[] = {"a", "b", "p", "s", "ab", "ba"};
const char* const ModelTagTexts[] = {"x", "y", "p"};

// A query of one to three terms over the model's words and tags, in Syntax; a skip may be the first term
// when LeadingSkip. Query receives its terms, the result is the pattern.
std::string RandomModelQuery(const std::function<int(int)>& Pick, uint8_t Syntax, bool LeadingSkip,
                             std::vector<TModelTerm>& Query) {
    std::string pattern;
    const int terms = 1 + Pick(3);
    for (int t = 0; t < terms; ++t) {
        TModelTerm term;
        std::string token;
        if ((t > 0 || LeadingSkip) && Pick(4) == 0) {
            term.Skip = true;
            token = "@";
        } else if (Syntax == 0) {
            const char* const texts[] = {"a", "b", "p", "s", "a*", "*"};
            term.Word = token = texts[Pick(6)];
            term.Tag = "*";
        } else {
            const int kind = Pick(4);
            term.Word = ModelWordTexts[Pick(6)];
            term.Tag = ModelTagTexts[Pick(3)];
            if (kind == 0) token = term.Word + "&" + term.Tag;
            if (kind == 1) token = term.Word, term.Tag = "*";
            if (kind == 2) token = "&" + term.Tag, term.Word = "*";
            if (kind == 3) token = "**", term.Word = "*", term.Tag = "";
        }
        Query.push_back(term);
        pattern += (t > 0 ? " " : "") + token;
    }
    return pattern;
}

}  // namespace

TEST_F(SearchPatternTest, WordQueriesAroundTagsAgreeWithAWordListModel) {
    std::mt19937 random(37);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    CommonConfig->MatchWordsLo = 1;
    CommonConfig->MatchWordsHi = 3;
    CommonConfig->wTagDelimiter = '_';
    const char* const separators[] = {" ", ", ", " <p>", "<b>", " </s> ", "\r\n", "<s>", "</p>\r\n<p>"};
    for (int round = 0; round < 150; ++round) {
        const int mode = round % 3;  // 0 text without word tags, 1 text with word tags, 2 tag syntax
        CommonConfig->WordTag = mode == 0 ? 0 : 1;
        const uint8_t syntax = mode == 2 ? 2 : 0;
        std::string text;
        std::vector<TModelWord> words;
        // A word tag runs to a blank, a line break or a tag: the comma of ", " right after it is its own.
        auto separate = [&] {
            const std::string separator = separators[pick(8)];
            if (!words.empty() && separator[0] == ',' &&
                words.back().TagEnd == static_cast<int32_t>(text.size()) && !words.back().Tag.empty()) {
                words.back().Tag += ",";
                ++words.back().TagEnd;
            }
            text += separator;
        };
        const int count = round % 10 == 0 ? 6000 : 20 + pick(200);
        for (int w = 0; w < count; ++w) {
            separate();
            TModelWord word;
            word.Text = ModelWordTexts[pick(6)];
            word.Start = static_cast<int32_t>(text.size());
            text += word.Text;
            word.End = word.TagEnd = static_cast<int32_t>(text.size());
            if (mode != 0 && pick(3) != 0) {
                word.Tag = ModelTagTexts[pick(3)];
                text += "_" + word.Tag;
                word.TagEnd = static_cast<int32_t>(text.size());
            }
            words.push_back(word);
        }
        separate();

        std::vector<TModelTerm> query;
        const std::string pattern = RandomModelQuery(pick, syntax, false, query);
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (const auto& [first, end] : ModelRuns(query, words))
            expected.push_back(
                {words[first].Start, syntax == 2 ? words[end - 1].TagEnd : words[end - 1].End});
        const auto found = WordHitSpans(pattern, syntax, text, expected.size());
        ASSERT_EQ(found, expected) << "round " << round << " mode " << mode << " pattern " << pattern;
    }
}

// Texts as part-of-speech taggers write them: every punctuation mark may carry a word tag (",_,",
// "._.", ".[.]", "[,],"), a word may carry an empty one ("x_ ", "x[]"), and tags, word tags and line
// breaks lie between the words. A model pairs the tokens as the reader reads them (a word tag right
// after its word, or right before it when tags come first; an empty word tag is none; other word tags
// belong to no word and are passed over) and matches the query word by word; in the text syntax the
// same text without any word tag must give the same hits, word for word. Queries may begin with a skip.
namespace {

struct TModelToken {
    bool Tag = false;
    std::string Text;
    int32_t Start = 0, End = 0;
};

// The words of Tokens with their tags, as the tag syntax pairs them.
std::vector<TModelWord> PairWordsAndTags(const std::vector<TModelToken>& Tokens, bool TagBefore) {
    std::vector<TModelWord> words;
    for (size_t i = 0; i < Tokens.size(); ++i) {
        if (Tokens[i].Tag) continue;
        TModelWord word;
        word.Text = Tokens[i].Text;
        word.Start = Tokens[i].Start;
        word.End = word.TagEnd = Tokens[i].End;
        if (!TagBefore && i + 1 < Tokens.size() && Tokens[i + 1].Tag) {
            word.Tag = Tokens[i + 1].Text;
            word.TagEnd = Tokens[i + 1].End;
        }
        if (TagBefore && i > 0 && Tokens[i - 1].Tag) {
            word.Tag = Tokens[i - 1].Text;
            word.Start = Tokens[i - 1].Start;
        }
        words.push_back(word);
    }
    return words;
}

}  // namespace

TEST_F(SearchPatternTest, PunctuationTagsNeverHideAHitOfTheUntaggedText) {
    std::mt19937 random(58);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    CommonConfig->MatchWordsLo = 1;
    CommonConfig->MatchWordsHi = 3;
    const char* const punctuation[] = {",", ".", ":"};
    const char* const markup[] = {"<p>", "</s>", "<s>", "</p>\r\n<p>"};
    const char* const separators[] = {" ", "  ", "\r\n", " \t"};
    for (int round = 0; round < 180; ++round) {
        // The tag layout: 0 "word_tag", 1 "word[tag]", 2 "[tag]word"; then the syntax.
        const int layout = round % 3;
        const uint8_t syntax = (round / 3) % 2 == 0 ? 0 : 2;
        CommonConfig->wTagBefore = layout == 2;
        auto tagged = [&](const std::string& Tag) { return layout == 0 ? "_" + Tag : "[" + Tag + "]"; };

        std::string text, untagged;
        std::vector<TModelToken> tokens;
        std::vector<int32_t> untaggedStarts, untaggedEnds;
        auto add = [&](const std::string& Piece, bool Tag, bool Token, const std::string& TokenText = {}) {
            if (Token)
                tokens.push_back({Tag, TokenText, static_cast<int32_t>(text.size()),
                                  static_cast<int32_t>(text.size() + Piece.size())});
            text += Piece;
            if (Tag) return;
            if (Token) {
                untaggedStarts.push_back(static_cast<int32_t>(untagged.size()));
                untaggedEnds.push_back(static_cast<int32_t>(untagged.size() + Piece.size()));
            }
            untagged += Piece;
        };
        const int count = round % 20 == 0 ? 3000 : 20 + pick(150);
        for (int e = 0; e < count; ++e) {
            add(separators[pick(4)], false, false);
            const int kind = pick(10);
            if (kind < 6) {
                const std::string word = ModelWordTexts[pick(6)];
                const int tag = pick(4);  // 0 none, 1 empty, else a tag
                const std::string tagText = ModelTagTexts[pick(3)];
                if (layout == 2 && tag > 0) add(tagged(tag == 1 ? "" : tagText), true, tag > 1, tagText);
                add(word, false, true, word);
                if (layout != 2 && tag > 0) add(tagged(tag == 1 ? "" : tagText), true, tag > 1, tagText);
            } else if (kind < 9) {
                const std::string mark = punctuation[pick(3)];
                // A tagger's tag of a punctuation mark is the mark itself or a tag of a word class.
                const std::string tagText = pick(3) == 0 ? std::string(ModelTagTexts[pick(3)]) : mark;
                // A tag after a separator holds the punctuation: "._." holds the word tag ".".
                if (layout == 2) add(tagged(tagText), true, true, tagText);
                add(mark, false, false);
                if (layout != 2) add(tagged(tagText), true, true, tagText);
            } else {
                add(markup[pick(4)], false, false);
            }
        }
        add(separators[pick(4)], false, false);

        std::vector<TModelTerm> query;
        const std::string pattern = RandomModelQuery(pick, syntax, true, query);
        const bool skipsOnly =
            std::all_of(query.begin(), query.end(), [](const TModelTerm& T) { return T.Skip; });
        if (skipsOnly) continue;

        // A text query's hit begins at its word, whatever tag stands before it.
        const std::vector<TModelWord> words = PairWordsAndTags(tokens, syntax == 2 && layout == 2);
        const auto expected = ModelRuns(query, words);
        std::vector<std::pair<int32_t, int32_t>> want;
        const bool tagEnds = syntax == 2 && layout != 2;
        for (const auto& [first, end] : expected)
            want.push_back({words[first].Start, tagEnds ? words[end - 1].TagEnd : words[end - 1].End});
        CommonConfig->WordTag = layout == 0 ? 1 : 2;
        ASSERT_EQ(WordHitSpans(pattern, syntax, text, want.size()), want)
            << "round " << round << " layout " << layout << " syntax " << int(syntax) << " pattern "
            << pattern;
        if (syntax != 0) continue;
        std::vector<std::pair<int32_t, int32_t>> plain;
        for (const auto& [first, end] : expected)
            plain.push_back({untaggedStarts[first], untaggedEnds[end - 1]});
        CommonConfig->WordTag = 0;
        ASSERT_EQ(WordHitSpans(pattern, syntax, untagged, plain.size()), plain)
            << "round " << round << " untagged, pattern " << pattern;
    }
}

// The first-word scan jumps over the text to the words that may be the query's first word; the word
// reader reads every word. Over random texts (tags, a "<" that opens none, word tags, skipping and equal
// characters, a double-byte code page, words longer than the word buffer, texts over several reader
// windows) a query finds exactly the runs of words that the word reader reads and the matcher accepts.
TEST_F(SearchPatternTest, TheFirstWordScanFindsWhatTheWordReaderFinds) {
    std::mt19937 random(2026);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const std::string so = "\x83\x5C", a = "\x83\x40";
    for (int round = 0; round < 200; ++round) {
        ResetGlobalsForTest();
        SetUp();
        const int mode = round % 5;  // 0 plain, 1 equal characters, 2 skipping characters, 3 word tags,
                                     // 4 a double-byte code page
        if (mode == 1) {
            CommonConfig->UseSkipEqualChars = true;
            LanguageConfigs[0]->EqualChars = "e=\xE9";
            ASSERT_TRUE(ParseEqualChars(0));
        }
        if (mode == 3) CommonConfig->WordTag = 1;
        if (mode == 4) LanguageConfigs[0]->SetLanguage(1041, "Japanese");
        std::vector<std::string> pieces = {"a", "A", "b", "B", "e", "E", "ab", "Ba", "eb"};
        if (mode == 1) pieces.insert(pieces.end(), {"\xE9", "\xC9"});
        if (mode == 2) pieces.insert(pieces.end(), {"a-", "-b"});
        if (mode == 4) pieces.insert(pieces.end(), {so, a, "x" + so});
        const char* const separators[] = {" ",   ", ", "\r\n", ".", "\t", "<p>", " </s> ", "<s n=\"a b\">",
                                          " < ", "<",  "  "};
        std::string text;
        std::vector<std::string> words;
        const size_t count = round % 10 == 0 ? 4000 : 5 + pick(300);
        for (size_t w = 0; w < count; ++w) {
            text += separators[pick(11)];
            std::string word;
            for (size_t k = 1 + pick(2); k > 0; --k) word += pieces[pick(pieces.size())];
            if (pick(400) == 0) word = std::string(254 + pick(3), 'b');
            text += word;
            if (mode == 3 && pick(2) == 0) text += "_x";
            words.push_back(word);
        }
        text += separators[pick(11)];

        const bool matchCase = round % 7 == 3;
        std::string pattern = words[pick(words.size())];
        if (pick(3) == 0) pattern += " " + words[pick(words.size())];
        if (pick(10) == 0) pattern = "bab";
        auto context = Context(pattern, 0, mode == 2 ? "-" : "", matchCase);

        // The word reader's tokens with where they lie, the word tags left out as a text query leaves them.
        TMemorySynchroStream stream(text);
        TBufStream reader(stream, 0);
        ConfigureBufStream(reader);
        context->Reader = &reader;
        struct TToken {
            std::string Text;
            int32_t Start, End;
        };
        std::vector<TToken> tokens;
        for (int32_t before = 0;; before = reader.GetPosition()) {
            const std::string_view token = context->ReadNextWord();
            if (token.empty()) break;
            if (context->LastTokenType != ctWord ||
                token.size() >= static_cast<size_t>(TSearchContext::WordSize))
                continue;
            const std::string word(token);
            const int32_t start = HitStart(*context, text, before, 0);
            context->Reader = &reader;
            tokens.push_back({word, start, start + static_cast<int32_t>(word.size())});
        }
        std::vector<std::string> terms;
        for (const auto& term : context->Terms) terms.push_back(term->Text);
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (size_t t = 0; t + terms.size() <= tokens.size();) {
            bool all = true;
            for (size_t k = 0; k < terms.size() && all; ++k)
                all = context->WildcardMatch(tokens[t + k].Text, terms[k]);
            if (!all) {
                ++t;
                continue;
            }
            expected.push_back({tokens[t].Start, tokens[t + terms.size() - 1].End});
            t += terms.size();
        }

        TBufStream searched(stream, 0);
        ConfigureBufStream(searched);
        std::vector<std::pair<int32_t, int32_t>> found;
        while (context->SearchRange(searched, round % 2 == 0) && found.size() <= expected.size()) {
            const int32_t start = HitStart(*context, text, context->MatchStart, 0);
            found.push_back({start, context->MatchEnd - (context->MatchEndAfterDelimiter ? 1 : 0)});
        }
        ASSERT_EQ(found, expected) << "round " << round << " mode " << mode << " pattern " << pattern;
    }
}

// The jump counts the words it passes many bytes at a time for the words/sec text; the count must be
// the byte loop's, whatever the delimiters (with or without bytes above 127, 0 among them) and wherever
// the stretch starts and ends against the blocks.
TEST(WordStartCount, CountsTheWordsAByteLoopCounts) {
    std::mt19937 random(36);
    for (int round = 0; round < 400; ++round) {
        std::array<bool, 256> delimiter{};
        const unsigned density = 1 + random() % 8;
        for (auto& d : delimiter) d = random() % density == 0;
        // Most languages have no delimiter above 127, which the count looks up more cheaply.
        if (round % 2 == 1) std::fill(delimiter.begin() + 128, delimiter.end(), false);
        std::vector<uint8_t> bytes(1 + random() % 300);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(round % 3 == 0 ? random() % 256 : "ab \x80\xFF\x00,z"[random() % 8]);
        const TByteRows rows(delimiter);
        for (int cut = 0; cut < 20; ++cut) {
            const size_t from = random() % bytes.size();
            const size_t to = from + random() % (bytes.size() - from + 1);
            size_t expected = 0;
            for (size_t m = from; m < to; ++m)
                expected += !delimiter[bytes[m]] && (m == from || delimiter[bytes[m - 1]]);
            ASSERT_EQ(CountWordStarts(bytes.data(), from, to, delimiter, rows), expected)
                << "round " << round << " [" << from << ", " << to << ")";
        }
    }
}
