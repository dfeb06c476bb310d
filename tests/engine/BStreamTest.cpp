#include "engine/BStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "platform/Nls.h"
#include "tests/engine/BStreamTestSupport.h"

namespace {

TBufStreamTags WordTagMode1(char Separator) {
    TBufStreamTags tags = AngleTags();
    tags.WordTagMode = 1;
    tags.POSSeparator = Separator;
    return tags;
}

TBufStreamTags WordTagMode2(std::vector<std::string> Starts, char Stop) {
    TBufStreamTags tags = AngleTags();
    tags.WordTagMode = 2;
    tags.POSTagStarts = std::move(Starts);
    tags.POSTagStop = Stop;
    return tags;
}

// Text whose bytes differ from their neighbours, so a misplaced read shows.
std::string Numbered(size_t Size) {
    std::string text(Size, ' ');
    for (size_t i = 0; i < Size; ++i) text[i] = static_cast<char>('a' + (i % 23));
    return text;
}

}  // namespace

TEST(BufStreamClasses, LineBreaksBlanksAndTabs) {
    EXPECT_EQ(Classes("a\r\nb"), "WNSW");
    EXPECT_EQ(Classes("a\nb"), "WNW");
    EXPECT_EQ(Classes("a\rb"), "WNW");
    EXPECT_EQ(Classes("a\r\rb\n\nc"), "WNNWNNW");
    EXPECT_EQ(Classes("a\tb c"), "WDWSW");
    EXPECT_EQ(Classes("x, y."), "WDSWD");
}

TEST(BufStreamClasses, WildCardsAlwaysEndWords) {
    TTextReader r("ab*cd%e?f@g", AngleTags(), "");
    EXPECT_EQ(ReadClasses(r.Reader), "WWDWWDWDWDW");
    const TCharSet set = NonWordCharSet("", kWildCards);
    EXPECT_TRUE(set[0] && set[31] && set[' ']);
    EXPECT_FALSE(set['a'] || set['<'] || set[127]);
}

TEST(BufStreamClasses, Tags) {
    EXPECT_EQ(Classes("x<p>y"), "WTTTW");
    EXPECT_EQ(Classes("x<a <b>>y"), "WTTTTTTDW");  // no nesting: the first stop closes
    TBufStreamTags hash = AngleTags();
    hash.TagStop = '#';
    EXPECT_EQ(Classes("<p y", hash), "TTTW");
    EXPECT_EQ(Classes("<p\r\ny", hash), "TTTSW");
    EXPECT_EQ(Classes("<p\ty z", hash), "TTTTTW");           // a tab does not close
    EXPECT_EQ(Classes("x<p>y", TBufStreamTags()), "WDWDW");  // unconfigured: no tags
}

TEST(BufStreamClasses, WordTagsAfterASeparator) {
    EXPECT_EQ(Classes("cat_NN dog", WordTagMode1('_')), "WWWPPPSWWW");
    // Only a blank, a line break or another control character, or a tag character ends the tag: the
    // language's delimiters belong to it, as in a tagset's "PRP$" or the "," of a comma's tag.
    EXPECT_EQ(Classes("his_PRP$ x", WordTagMode1('_')), "WWWPPPPPSW");
    EXPECT_EQ(Classes(",_, x", WordTagMode1('_')), "DPPSW");
    EXPECT_EQ(Classes("cat_NN,x", WordTagMode1('_')), "WWWPPPPP");
    EXPECT_EQ(Classes("a_N\tb\r\nc_N>d", WordTagMode1('_')), "WPPDWNSWPPDW");
    // The separator wins over the word-end test and over the tag start.
    EXPECT_EQ(Classes("cat/NN x", WordTagMode1('/')), "WWWPPPSW");
    EXPECT_EQ(Classes("a<b", WordTagMode1('<')), "WPP");
    // A word tag ended by the tag start opens that tag, so the tag is not lost.
    EXPECT_EQ(Classes("word_NN</s> x", WordTagMode1('_')), "WWWWPPPTTTTSW");
}

TEST(BufStreamClasses, WordTagsOpenedByStartStrings) {
    EXPECT_EQ(Classes("cat[NN] dog", WordTagMode2({"["}, ']')), "WWWPPPPSWWW");
    // Start strings are tried in list order and the first that matches wins.
    EXPECT_EQ(Classes("[]a]b", WordTagMode2({"[", "[]"}, ']')), "PPWDW");
    // Every byte of the matched start string belongs to the tag, without the stop test.
    EXPECT_EQ(Classes("[]a]b", WordTagMode2({"[]"}, ']')), "PPPPW");
    // A first byte whose start string does not match is classed by the ordinary rules.
    EXPECT_EQ(Classes("[x <y>", WordTagMode2({"[["}, ']')), "DWSTTT");
    EXPECT_EQ(Classes("a{t b", WordTagMode2({"{"}, '#')), "WPPPW");
}

TEST(BufStreamClasses, DoNotDependOnWhereWindowsFall) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "cat{{NN}} <s n=1>dog\r\n";
    for (const TBufStreamTags& tags : {AngleTags(), WordTagMode2({"{{", "{"}, '}')}) {
        const std::string expected = Classes(text, tags);
        for (size_t pad = 8150; pad < 8200; ++pad) {
            const std::string padded = std::string(pad - 1, 'x') + " " + text;
            ASSERT_EQ(Classes(padded, tags).substr(pad), expected) << "pad " << pad;
        }
    }
}

TEST(BufStreamClasses, TagStateCanBeResumedAfterARepositioning) {
    TTextReader r("ab<tag x>cd");
    r.Reader.SetPosition(5);
    r.Reader.SetTagState(ctTag);
    EXPECT_EQ(ReadClasses(r.Reader), "TTTTWW");
    r.Reader.SetPosition(5);
    r.Reader.ResetTagState();
    EXPECT_EQ(ReadClasses(r.Reader), "WSWDWW");
}

TEST(BufStreamClasses, VisibleCharTypes) {
    EXPECT_EQ(VisibleCharTypes(false, false, false).to_ulong(), 0b1111110u);
    const TCharTypes hidden = VisibleCharTypes(true, true, true);
    EXPECT_TRUE(hidden[ctWhiteSpace] && hidden[ctNewLine]);
    EXPECT_FALSE(hidden[ctNone] || hidden[ctDelimiter] || hidden[ctWord] || hidden[ctTag] ||
                 hidden[ctPOSTag]);
}

TEST(BufStreamReading, AZeroByteReadsAsABlankInReadsSearchesAndClasses) {
    TTextReader r(std::string("ab\0cd ef", 8));
    EXPECT_EQ(ReadClasses(r.Reader), "WWSWWSWW");
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.NextWord(), "ab");
    EXPECT_EQ(r.Reader.NextWord(), "cd");
    EXPECT_EQ(r.Reader.NextWord(), "ef");
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.FindText("b c", false), 1);
    r.Reader.ValidateBuffer(0, 8);
    r.Reader.SetPosition(4);
    EXPECT_EQ(r.Reader.ReadPrevByte(), 'c');
    EXPECT_EQ(r.Reader.ReadPrevByte(), ' ');
    EXPECT_EQ(r.Reader.PrevWord(), "ab");
}

TEST(BufStreamReading, SequentialReadingAcrossRefillsKeeps256BytesBehind) {
    const std::string text = Numbered(30000);
    TTextReader r(text);
    EXPECT_EQ(r.Stream.ReadCount(), 1);
    std::string read;
    // Just past the first window: the refill must have kept the 256 bytes before the cursor.
    for (int i = 0; i < 8200; ++i) read += r.Reader.ReadByte();
    EXPECT_TRUE(read == text.substr(0, 8200));
    const int reads = r.Stream.ReadCount();
    EXPECT_EQ(reads, 2);
    for (int i = 1; i <= 256; ++i) ASSERT_EQ(r.Reader.ReadPrevByte(), text[8200 - i]);
    EXPECT_EQ(r.Reader.GetPosition(), 8200 - 256);
    EXPECT_EQ(r.Stream.ReadCount(), reads);
    std::string rest;
    char c;
    while ((c = r.Reader.ReadByte()) != 0) rest += c;
    EXPECT_TRUE(rest == text.substr(8200 - 256));
}

TEST(BufStreamReading, SetPositionKeeps256BytesToStepBackWithoutAReload) {
    const std::string text = Numbered(20000);
    TTextReader r(text);
    r.Reader.SetPosition(12000);
    const int reads = r.Stream.ReadCount();
    for (int i = 1; i <= 256; ++i) ASSERT_EQ(r.Reader.ReadPrevByte(), text[12000 - i]);
    EXPECT_EQ(r.Stream.ReadCount(), reads);
    EXPECT_EQ(r.Reader.ReadPrevByte(), text[12000 - 257]);  // now it must reload
    EXPECT_EQ(r.Reader.GetPosition(), 12000 - 257);
    EXPECT_EQ(r.Reader.ReadByte(), text[12000 - 257]);

    r.Reader.SetPosition(300);
    const int before = r.Stream.ReadCount();
    for (int i = 1; i <= 256; ++i) ASSERT_EQ(r.Reader.ReadPrevByte(), text[300 - i]);
    EXPECT_EQ(r.Stream.ReadCount(), before);
}

TEST(BufStreamReading, RangesBoundReadingBothWays) {
    const std::string text = Numbered(20000);
    TTextReader r(text);
    r.Reader.SetRange(100, 110);
    EXPECT_EQ(r.Reader.GetPosition(), 100);
    EXPECT_EQ(r.Reader.ReadPrevByte(), 0);
    std::string read;
    char c;
    while ((c = r.Reader.ReadByte()) != 0) read += c;
    EXPECT_EQ(read, text.substr(100, 10));
    EXPECT_EQ(r.Reader.ReadPrevByte(), text[109]);

    // A range beyond the loaded window: reading stops at its end after refills.
    r.Reader.SetRange(9000, 17500);
    read.clear();
    while ((c = r.Reader.ReadByte()) != 0) read += c;
    EXPECT_TRUE(read == text.substr(9000, 8500));

    r.Reader.SetRange(0, 20000);
    r.Reader.SetPosition(25000);
    EXPECT_EQ(r.Reader.ReadByte(), 0);
    r.Reader.SetPosition(-1);
    EXPECT_EQ(r.Reader.GetPosition(), -1);
    EXPECT_EQ(r.Reader.ReadByte(), 0);
    EXPECT_EQ(r.Reader.ReadPrevByte(), 0);
    EXPECT_EQ(r.Reader.FindText("abc", false), -1);
    r.Reader.SetPosition(19999);
    EXPECT_EQ(r.Reader.ReadByte(), text[19999]);
    EXPECT_EQ(r.Reader.ReadByte(), 0);
}

TEST(BufStreamWords, NextWordConsumesTheEndingByte) {
    TTextReader r("  cat, <b>dog");
    EXPECT_EQ(r.Reader.NextWord(), "cat");
    EXPECT_EQ(r.Reader.WordStart(), 2);
    EXPECT_EQ(r.Reader.WordEnd(), 5);
    EXPECT_EQ(r.Reader.GetPosition(), 6);
    EXPECT_EQ(r.Reader.NextWord(), "dog");  // the tag's b is no word
    EXPECT_EQ(r.Reader.WordStart(), 10);
    EXPECT_EQ(r.Reader.WordEnd(), 13);
    EXPECT_EQ(r.Reader.NextWord(), "");
}

TEST(BufStreamWords, LongWordsKeepTheirFirst255BytesBothWays) {
    std::string word;
    for (int i = 0; i < 300; ++i) word += static_cast<char>('a' + (i * 7) % 26);
    const std::string text = "xx " + word + " yy";
    TTextReader r(text);
    r.Reader.NextWord();
    EXPECT_EQ(r.Reader.NextWord(), word.substr(0, 255));
    EXPECT_EQ(r.Reader.WordStart(), 3);
    EXPECT_EQ(r.Reader.WordEnd(), 303);
    EXPECT_EQ(r.Reader.NextWord(), "yy");

    r.Reader.ValidateBuffer(0, static_cast<int32_t>(text.size()));
    r.Reader.SetPosition(304);
    EXPECT_EQ(r.Reader.PrevWord(), word.substr(0, 255));
    EXPECT_EQ(r.Reader.WordStart(), 3);
    EXPECT_EQ(r.Reader.WordEnd(), 303);
    EXPECT_EQ(r.Reader.GetPosition(), 2);  // on the blank before the word
    EXPECT_EQ(r.Reader.PrevWord(), "xx");
    EXPECT_EQ(r.Reader.WordStart(), 0);
    EXPECT_EQ(r.Reader.PrevWord(), "");
}

TEST(BufStreamWords, PrevWordSkipsTagsAndNeedsClassifiedMode) {
    const std::string text = "one <b>two</b>, three";
    TTextReader r(text);
    r.Reader.SetPosition(static_cast<int32_t>(text.size()));
    EXPECT_EQ(r.Reader.PrevWord(), "");  // not classified
    r.Reader.ValidateBuffer(0, static_cast<int32_t>(text.size()));
    r.Reader.SetPosition(static_cast<int32_t>(text.size()));
    EXPECT_EQ(r.Reader.PrevWord(), "three");
    EXPECT_EQ(r.Reader.PrevWord(), "two");
    EXPECT_EQ(r.Reader.WordStart(), 7);
    EXPECT_EQ(r.Reader.PrevWord(), "one");
}

TEST(BufStreamClassified, ReadsStoredClassesBothWays) {
    TTextReader r("ab<tag x>cd e\r\nf");
    r.Reader.SetPosition(5);
    r.Reader.SetTagState(ctTag);
    r.Reader.ValidateBuffer(5, 16);  // starts inside the tag, and classifies it as a tag
    EXPECT_EQ(r.Reader.CharTypes().size(), 12u);
    r.Reader.SetPosition(5);
    EXPECT_EQ(ReadClasses(r.Reader), "TTTTWWSWNSW");
    TCharType type;
    EXPECT_EQ(r.Reader.NextChar(type), 0);
    EXPECT_EQ(type, ctDelimiter);
    std::string backwards;
    char c;
    while ((c = r.Reader.PrevChar(type)) != 0) backwards += ClassLetter(type);
    EXPECT_EQ(backwards, "WSNWSWWTTTT");
    EXPECT_EQ(type, ctDelimiter);
    EXPECT_EQ(r.Reader.GetPosition(), 5);

    r.Reader.SetRange(0, 16);  // leaves classified mode
    EXPECT_FALSE(r.Reader.Classified());
    r.Reader.SetPosition(3);
    EXPECT_EQ(r.Reader.PrevChar(type), 0);
    EXPECT_EQ(type, ctNone);
}

TEST(BufStreamClassified, RangesAreCutTo8192AndMustLieInTheFile) {
    const std::string text = Numbered(20000);
    TTextReader r(text);
    r.Reader.SetPosition(300);
    r.Reader.ValidateBuffer(5000, 15000);
    EXPECT_EQ(r.Reader.RangeEnd(), 5000 + 8192);
    EXPECT_EQ(r.Reader.CharTypes().size(), 8193u);
    r.Reader.SetPosition(5000);
    std::string read;
    char c;
    TCharType type;
    while ((c = r.Reader.NextChar(type)) != 0) read += c;
    EXPECT_TRUE(read == text.substr(5000, 8192));

    // A range from 256 bytes into a fresh window needs the whole window.
    r.Reader.SetRange(0, 20000);
    r.Reader.SetPosition(300);
    r.Reader.ValidateBuffer(11000, 19192);
    EXPECT_EQ(r.Reader.CharTypes().size(), 8193u);

    try {
        r.Reader.ValidateBuffer(19000, 20001);
        FAIL() << "a range past the end must raise";
    } catch (const EConcError& e) {
        EXPECT_EQ(std::string(e.what()), "Internal error:\rValidateBuffer failed");
    }
    EXPECT_FALSE(r.Reader.Classified());
    r.Reader.ValidateBuffer(19000, 20000);
    EXPECT_EQ(r.Reader.CharTypes().size(), 1001u);
}

TEST(BufStreamConfig, ReadersTakeACopyOfTheOptionsAndTheLanguagesWordEnds) {
    ResetGlobalsForTest();
    CommonConfig = std::make_unique<TCommonConcordConfig>();
    CommonConfig->WildCard0orMore = '*';
    CommonConfig->WildCard0or1 = '%';
    CommonConfig->WildCardExactly1 = '?';
    CommonConfig->WildCardMatchWords = '@';
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    CommonConfig->WordTag = 2;
    CommonConfig->wTagStarts = {"{"};
    CommonConfig->wTagStop = '}';
    LanguagesCount = 2;
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguageConfigs[1]->NonWordChars = "-";

    TMemorySynchroStream stream("a-b{NN} c*d <t>.e");
    TBufStream reader(stream, 1);
    ConfigureBufStream(reader);
    CommonConfig->wTagStarts = {"c"};  // too late for this reader
    EXPECT_EQ(ReadClasses(reader), "WDWPPPPSWDWSTTTWW");

    const TCharSet words0 = NonWordCharSet(0);
    EXPECT_TRUE(words0['.'] && words0['"'] && words0['@'] && words0['\t']);
    EXPECT_FALSE(words0['-']);
    EXPECT_THROW(NonWordCharSet(2), std::out_of_range);
    ResetGlobalsForTest();
    EXPECT_THROW(ConfigureBufStream(reader), std::logic_error);
}

// A tag start opens a tag only when its stop byte follows within MaxTagLength bytes; the same answer in
// sequential reading, in classified ranges and in the segment measure, also when the tag's possible
// extent reaches past the reader's window.
TEST(BufStreamTagLength, AStrayTagStartIsADelimiterAndLongTagsStayTags) {
    EXPECT_EQ(Classes("x < y here."), "WSDSWSWWWWD");
    const int32_t max = TBufStream::MaxTagLength;
    for (const int32_t at : {0, 100, TBufStream::BufferSize - 3, TBufStream::BufferSize + 200}) {
        for (const int32_t length : {max - 1, max, max + 1}) {
            std::string text = std::string(static_cast<size_t>(at), 'w') + " <" +
                               std::string(static_cast<size_t>(length - 2), 'a') + "> z";
            TTextReader r(text);
            const std::string classes = ReadClasses(r.Reader);
            const size_t open = static_cast<size_t>(at) + 1;
            const bool tag = length <= max;
            EXPECT_EQ(classes[open], tag ? 'T' : 'D') << at << " " << length;
            EXPECT_EQ(classes[open + static_cast<size_t>(length) - 1], tag ? 'T' : 'D')
                << at << " " << length;
            EXPECT_EQ(classes.back(), 'W');

            r.Reader.ValidateBuffer(static_cast<int32_t>(open), static_cast<int32_t>(open) + length + 2);
            r.Reader.SetPosition(static_cast<int32_t>(open));
            EXPECT_EQ(ReadClasses(r.Reader), classes.substr(open, static_cast<size_t>(length) + 2));
            int32_t textBytes = 0;
            EXPECT_EQ(
                r.Reader.Measure(static_cast<int32_t>(open), static_cast<int32_t>(text.size()), textBytes),
                tag ? 2 : length + 2);
        }
    }
}

TEST(BufStreamTagLength, AWordTagEndsAtATagStartWhateverTheDelimiters) {
    TTextReader r("word_NN<s> x", WordTagMode1('_'), ".,;");
    EXPECT_EQ(ReadClasses(r.Reader), "WWWWPPPTTTSW");
}

TEST(BufStreamReading, ForwardReadsAndSearchesKeepToTheRangeStart) {
    TTextReader r("cat  cat  cat cat");
    r.Reader.SetRange(5, 16);
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.GetPosition(), 5);
    EXPECT_EQ(r.Reader.FindText("cat", false), 5);
    r.Reader.SetPosition(2);
    EXPECT_EQ(r.Reader.ReadByte(), 'c');
    r.Reader.SetPosition(6);
    EXPECT_EQ(r.Reader.FindText("cat", false), 10);
    EXPECT_EQ(r.Reader.FindText("cat cat", false), -1);  // it would end past the range
}

// A classified range never starts with a piece of a word or of a tag that began before it.
TEST(BufStreamClassified, ARangeStartsInTheTagStateInForceAndDropsACutWord) {
    TTextReader r("say <x lang=en>word unbelievable story");
    r.Reader.ValidateBuffer(12, 38);  // inside "en>"
    r.Reader.SetPosition(12);
    EXPECT_EQ(r.Reader.NextWord(), "word");
    r.Reader.ValidateBuffer(24, 38);  // inside "unbelievable"
    r.Reader.SetPosition(38);
    EXPECT_EQ(r.Reader.PrevWord(), "story");
    EXPECT_EQ(r.Reader.PrevWord(), "");
    r.Reader.SetPosition(24);
    EXPECT_EQ(r.Reader.NextWord(), "story");
    r.Reader.ValidateBuffer(20, 38);  // a word that starts the range is kept
    r.Reader.SetPosition(20);
    EXPECT_EQ(r.Reader.NextWord(), "unbelievable");
}

namespace {

// 表示, コーヒー and ソフト in code page 932: the trail bytes of 表 and ソ are "\", of ー "[".
const std::string kHyoji = "\x95\x5C\x8E\xA6";
const std::string kCoffee = "\x83\x52\x81\x5B\x83\x71\x81\x5B";
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";

struct TCodePageReader {
    TMemorySynchroStream Stream;
    TBufStream Reader;

    TCodePageReader(const std::string& Text, int CodePage, const TBufStreamTags& Tags = AngleTags())
        : Stream(Text), Reader(Stream, 0, NonWordCharSet(kDelimiters, kWildCards), CodePage) {
        Reader.Configure(Tags);
    }
};

}  // namespace

TEST(BufStreamDoubleByte, ACharacterKeepsItsTrailByteInItsClass) {
    const std::string text = kHyoji + " (" + kCoffee + ")," + kSoft + "_NN.";
    TCodePageReader japanese(text, 932, WordTagMode1('_'));
    EXPECT_EQ(ReadClasses(japanese.Reader),
              "WWWWSD"
              "WWWWWWWW"
              "DD"
              "WWWWWW"
              "PPPP");
    // A single-byte code page keeps the classes of each byte on its own.
    TCodePageReader western(text, 1252, WordTagMode1('_'));
    EXPECT_EQ(ReadClasses(western.Reader),
              "WDWWSD"
              "WWWDWWWD"
              "DD"
              "WDWWWW"
              "PPPP");

    // Whole words both ways, from either side of each word.
    japanese.Reader.ValidateBuffer(0, static_cast<int32_t>(text.size()));
    japanese.Reader.SetPosition(0);
    EXPECT_EQ(japanese.Reader.NextWord(), kHyoji);
    EXPECT_EQ(japanese.Reader.NextWord(), kCoffee);
    EXPECT_EQ(japanese.Reader.NextWord(), kSoft);
    EXPECT_EQ(japanese.Reader.PrevWord(), kSoft);
    EXPECT_EQ(japanese.Reader.PrevWord(), kCoffee);
    EXPECT_EQ(japanese.Reader.WordStart(), 6);
    EXPECT_EQ(japanese.Reader.WordEnd(), 14);
    EXPECT_EQ(japanese.Reader.PrevWord(), kHyoji);
    // A range that starts on the trail byte of "ー" drops the rest of its word, as any cut word.
    japanese.Reader.ValidateBuffer(9, static_cast<int32_t>(text.size()));
    japanese.Reader.SetPosition(9);
    EXPECT_EQ(japanese.Reader.NextWord(), kSoft);
    // Sequential reading that starts on a trail byte gives it its lead byte's class.
    japanese.Reader.SetRange(9, 14);
    EXPECT_EQ(ReadClasses(japanese.Reader), "WWWWW");
}

// In a double-byte code page the reader must classify a text as a single-byte reader classifies the
// same text with every trail byte (found by one pass from the file's start) replaced by its lead
// byte: whatever the window, range, lead-in or read.
TEST(BufStreamDoubleByte, ReadsAsTheTextWithEachTrailByteReplacedByItsLeadByte) {
    static const char Alphabet[] = "ab \r\n\t<>_[]\\@^`{|}~.\x81\x83\x95\xA0\xE0";
    const auto& leads = platform::CodePageTables(932).LeadByte;
    std::mt19937 random(932);
    for (int round = 0; round < 60; ++round) {
        std::string text;
        const size_t size = 1 + random() % 20000;
        while (text.size() < size) {
            if (random() % 60 == 0)
                text.append(random() % 2500, static_cast<char>(random() % 2 ? 'a' : '\x81'));
            text += Alphabet[random() % (sizeof Alphabet - 1)];
        }
        std::string paired = text;
        for (size_t i = 0; i + 1 < paired.size(); ++i) {
            if (leads[static_cast<unsigned char>(text[i])] &&
                static_cast<unsigned char>(text[i + 1]) >= FirstTrailByte) {
                paired[i + 1] = text[i];
                ++i;
            }
        }
        TBufStreamTags tags = AngleTags();
        if (round % 2) {
            tags.TagStart = '[';
            tags.TagStop = ']';
        }
        tags.WordTagMode = static_cast<uint8_t>(round % 3);
        tags.POSSeparator = '_';
        tags.POSTagStarts = {"{"};
        tags.POSTagStop = '}';
        TCodePageReader japanese(text, 932, tags);
        TCodePageReader model(paired, 0, tags);
        const auto n = static_cast<int32_t>(text.size());
        for (int range = 0; range < 6; ++range) {
            const int32_t from = range == 0 ? 0 : static_cast<int32_t>(random() % n);
            const int32_t to = range == 0 ? n : from + static_cast<int32_t>(random() % (n - from + 1));
            std::string got, expected;
            for (auto [reader, out] :
                 {std::pair{&japanese.Reader, &got}, std::pair{&model.Reader, &expected}}) {
                reader->SetRange(from, to);
                TCharType type;
                char word[8];
                while (reader->NextChar(type) != 0) {
                    *out += ClassLetter(type);
                    if (type == ctWord)
                        out->append(static_cast<size_t>(reader->ReadWordRun(word, 8, 7)), 'W');
                }
            }
            ASSERT_EQ(got, expected) << "round " << round << " range " << from << "-" << to;

            const int32_t stop = std::min(to, from + TBufStream::BufferSize);
            japanese.Reader.ValidateBuffer(from, stop);
            model.Reader.ValidateBuffer(from, stop);
            ASSERT_EQ(japanese.Reader.CharTypes(), model.Reader.CharTypes()) << "round " << round;
            for (TBufStream* reader : {&japanese.Reader, &model.Reader}) reader->SetPosition(from);
            do {
                japanese.Reader.NextWord();
                model.Reader.NextWord();
                ASSERT_EQ(japanese.Reader.WordStart(), model.Reader.WordStart());
                ASSERT_EQ(japanese.Reader.WordEnd(), model.Reader.WordEnd());
            } while (model.Reader.WordEnd() > model.Reader.WordStart());
            for (TBufStream* reader : {&japanese.Reader, &model.Reader}) reader->SetPosition(stop);
            do {
                japanese.Reader.PrevWord();
                model.Reader.PrevWord();
                ASSERT_EQ(japanese.Reader.WordStart(), model.Reader.WordStart());
                ASSERT_EQ(japanese.Reader.WordEnd(), model.Reader.WordEnd());
            } while (model.Reader.WordEnd() > model.Reader.WordStart());

            int32_t textBytes = 0, modelTextBytes = 0;
            ASSERT_EQ(japanese.Reader.Measure(from, to, textBytes),
                      model.Reader.Measure(from, to, modelTextBytes));
            ASSERT_EQ(textBytes, modelTextBytes);
        }
    }
}

// A classified range takes the tag state in force at its start from the bytes before it. Over random
// texts with tags of every length (some longer than what a shortened look back covers), stray tag starts
// and stops and line breaks, the classes of a range and the words read from its start are those of a
// reading that starts 1,024 bytes before the range (or at the file's start) and classifies every byte,
// also when the reader has classified other ranges of the text before.
TEST(BufStreamClassified, ARangeClassifiesAsAReadingFromItsLeadIn) {
    std::mt19937 random(3601);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const char* const pieces[] = {"word ", "ab",  " ",    "\r\n",          "\n",   "<s>", "</s> ", ">",
                                  "<",     "x>y", "a<b ", "<p n=\"1 2\">", "end. "};
    for (int round = 0; round < 60; ++round) {
        std::string text;
        while (text.size() < 6000) {
            if (pick(25) == 0) {
                text += "<long " + std::string(50 + pick(900), 'q') + ">";
            } else {
                text += pieces[pick(13)];
            }
        }
        TTextReader used(text);
        for (int trial = 0; trial < 40; ++trial) {
            const int32_t start = static_cast<int32_t>(pick(text.size() - 600));
            const int32_t stop = start + 1 + static_cast<int32_t>(pick(500));
            const int32_t from = std::max(0, start - TBufStream::MaxTagLength);
            const std::string all = Classes(text.substr(static_cast<size_t>(from)));
            auto classAt = [&](int32_t At) { return all[static_cast<size_t>(At - from)]; };
            const std::string expected =
                all.substr(static_cast<size_t>(start - from), static_cast<size_t>(stop - start));
            std::vector<std::string> expectedWords;
            int32_t at = start;
            // A word cut by the range start is not the range's.
            if (at > from && classAt(at - 1) == 'W')
                while (at < stop && classAt(at) == 'W') ++at;
            while (at < stop) {
                if (classAt(at) != 'W') {
                    ++at;
                    continue;
                }
                const int32_t wordStart = at;
                while (at < stop && classAt(at) == 'W') ++at;
                expectedWords.push_back(
                    text.substr(static_cast<size_t>(wordStart), static_cast<size_t>(at - wordStart)));
            }

            // A fresh reader, and the round's reader, which has looked back over other ranges before.
            TTextReader fresh(text);
            for (TBufStream* reader : {&fresh.Reader, &used.Reader}) {
                reader->ValidateBuffer(start, stop);
                reader->SetPosition(start);
                ASSERT_EQ(ReadClasses(*reader), expected) << "round " << round << " range " << start;
                reader->SetPosition(start);
                std::vector<std::string> words;
                for (auto word = reader->NextWord(); !word.empty(); word = reader->NextWord())
                    words.emplace_back(word);
                ASSERT_EQ(words, expectedWords) << "round " << round << " range " << start;
            }
        }
    }
}
