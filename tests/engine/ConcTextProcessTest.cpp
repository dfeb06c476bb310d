#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <thread>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

// Windows-1252 bytes.
constexpr char e_acute = '\xE9', E_acute = '\xC9', e_grave = '\xE8', a_grave = '\xE0';
constexpr char y_diaeresis = '\xFF', Y_diaeresis = '\x9F';

constexpr uint32_t English = 0x0409, Russian = 0x0419;

class TextProcess : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        CommonConfig = std::make_unique<TCommonConcordConfig>();
        AddLanguage(0, English, "English");
    }
    void TearDown() override { ResetGlobalsForTest(); }

    static TConcordConfig& AddLanguage(int L, uint32_t Lcid, const std::string& Name) {
        LanguageConfigs[L] = std::make_unique<TConcordConfig>(L);
        LanguageConfigs[L]->SetLanguage(Lcid, Name);
        LanguagesCount = std::max(LanguagesCount, L + 1);
        return *LanguageConfigs[L];
    }

    static void SetEqualChars(int L, const std::string& Text) {
        LanguageConfigs[L]->EqualChars = Text;
        ASSERT_TRUE(ParseEqualChars(L)) << Text;
    }

    static uint8_t Mapped(const TSearchCharMap& Map, char C) { return Map[static_cast<uint8_t>(C)]; }
};

}  // namespace

// ---- Strings -------------------------------------------------------------------------------------

TEST(TextStrings, TrimmingTouchesOnlyTheBlank) {
    EXPECT_EQ(TrimBlanks("\t a b \t"), "\t a b \t");
    EXPECT_EQ(TrimLeftBlanks("  \tx  "), "\tx  ");
    EXPECT_EQ(TrimRightBlanks("  x\t  "), "  x\t");
    EXPECT_EQ(TrimBlanks("    "), "");
}

TEST(TextStrings, ExtractTokenConsumesTheDelimiter) {
    std::string S = "Arial,10,0", Token;
    ExtractToken(S, ",", Token);
    EXPECT_EQ(Token, "Arial");
    EXPECT_EQ(S, "10,0");
    S = "0";
    ExtractToken(S, ",", Token);
    EXPECT_EQ(Token, "0");
    EXPECT_EQ(S, "");
}

TEST(TextStrings, NumberOfDigitsAtTheExtremes) {
    EXPECT_EQ(NumberOfDigits(0, 10), 1);
    EXPECT_EQ(NumberOfDigits(INT32_MIN, 10), 10);
    EXPECT_EQ(NumberOfDigits(INT64_MIN, 10), 19);
    EXPECT_EQ(NumberOfDigits(255, 16), 2);
    EXPECT_EQ(NumberOfDigits(256, 16), 3);
    EXPECT_THROW(NumberOfDigits(5, 1), std::invalid_argument);
}

TEST(TextStrings, Int64PackingRoundTripsEverySign) {
    const int32_t Pairs[][2] = {{3, 7}, {3, -1}, {-2, 5}, {INT32_MIN, INT32_MAX}, {0, INT32_MIN}};
    for (const auto& P : Pairs) {
        int32_t High = 0, Low = 0;
        SplitInt64(MakeInt64(P[0], P[1]), High, Low);
        EXPECT_EQ(High, P[0]);
        EXPECT_EQ(Low, P[1]);
    }
}

TEST(TextStrings, FlattenLineBreaks) {
    const std::pair<std::string, std::string> Cases[] = {
        {"a\r\nb", "a b"}, {"a\tb", "ab"},       {"a\r\n\nb", "a  b"},
        {"a\n\rb", "a b"}, {"a\r\rb", "a  b"},   {"\x01x\x1fy\x7f", "xy\x7f"},
        {"\n", " "},       {"a\n\r\nb", "a  b"}, {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [In, Out] : Cases) {
        std::string S = In;
        FlattenLineBreaks(S);
        EXPECT_EQ(S, Out) << testing::PrintToString(In);
    }
}

TEST(TextStrings, MemPosStaysInsideTheLength) {
    const char Buffer[] = "abcabd";
    EXPECT_EQ(MemPos(Buffer, "abd", 6), Buffer + 3);
    EXPECT_EQ(MemPos(Buffer, "abd", 5), nullptr);  // would end past the length
    EXPECT_EQ(MemPos(Buffer, "abcabdx", 6), nullptr);
    EXPECT_EQ(MemPos(Buffer, "", 6), nullptr);
    const char Binary[] = {'x', 0, 'y', 0, 'z'};
    EXPECT_EQ(MemPos(Binary, "z", 5), Binary + 4);
}

TEST_F(TextProcess, SummaryShowsIgnoreCaseInverted) {
    TConcSearchRec Query;
    Query.Syntax = 1;
    Query.FrequencyOfHits = 3;
    EXPECT_EQ(SearchSummaryText(Query), "Syntax: Regex, Ignore Case: ON, Freq of Hits: 3");
    Query.Syntax = 2;
    Query.Flags = sfMatchCase | sfContext;
    EXPECT_EQ(SearchSummaryText(Query), "Syntax: Tag, Ignore Case: OFF, Freq of Hits: 3");
    Query.Syntax = 7;
    EXPECT_EQ(SearchSummaryText(Query), "Syntax: , Ignore Case: OFF, Freq of Hits: 3");
}

// ---- Case and comparison -------------------------------------------------------------------------

TEST_F(TextProcess, ComparisonIsUnsignedAndEndsWithEitherText) {
    EXPECT_GT(LangStrComp(std::string(1, e_acute), "z", false, 0), 0);
    EXPECT_LT(LangStrComp("z", std::string(1, e_acute), false, 0), 0);
    EXPECT_LT(LangStrComp("ab", "abc", false, 0), 0);
    EXPECT_GT(LangStrComp("abc", "ab", false, 0), 0);
    EXPECT_EQ(LangStrComp("", "", false, 0), 0);
    EXPECT_EQ(LangStrComp(std::string("ab\0x", 4), "ab", false, 0), 0);
    EXPECT_EQ(LangStrComp("ABC", "abc", true, 0), 0);
    EXPECT_NE(LangStrComp("ABC", "abc", false, 0), 0);
    EXPECT_EQ(LangStrComp(std::string(1, E_acute), std::string(1, e_acute), true, 0), 0);
    EXPECT_EQ(LangStrComp("B", "a", true, 0), 1);
    EXPECT_THROW(LangStrComp("a", "b", true, 2), std::out_of_range);
}

TEST_F(TextProcess, CaseMapsFollowTheLanguagesCodePage) {
    EXPECT_EQ(LangLowerChar(E_acute, 0), e_acute);
    EXPECT_EQ(LangUpperChar(e_acute, 0), E_acute);
    EXPECT_EQ(LangUpperChar(y_diaeresis, 0), Y_diaeresis);  // the upper case sits below 0x80 + 32
    EXPECT_EQ(LangUpperChar('1', 0), '1');
    EXPECT_EQ(LangLowerCase("\xC9t\xC9 ABC", 0), "\xE9t\xE9 abc");
    char Buffer[] = "MIXed \xC0";
    LangStrLower(Buffer, Buffer, 0);
    EXPECT_STREQ(Buffer, "mixed \xE0");

    // Byte 0xA8 is a diaeresis in 1252 and the capital Io in 1251: each language its own table.
    AddLanguage(1, Russian, "Russian");
    EXPECT_EQ(LangCasePartner('\xA8', 0), 0);
    EXPECT_EQ(LangCasePartner('\xA8', 1), '\xB8');
    EXPECT_EQ(LangCasePartner('\xB8', 1), '\xA8');
    EXPECT_EQ(LangCasePartner('A', 0), 'a');
    EXPECT_EQ(LangCasePartner('a', 0), 'A');
    EXPECT_EQ(LangCasePartner('1', 0), 0);
    EXPECT_EQ(LangCodePage(1), 1251);
    EXPECT_EQ(LangCharClasses(0)[0xA8] & platform::C1_UPPER, 0);
    EXPECT_NE(LangCharClasses(1)[0xA8] & platform::C1_UPPER, 0);
}

TEST_F(TextProcess, ALanguageChangingItsLocaleGetsTheNewTables) {
    EXPECT_EQ(LangCasePartner('\xA8', 0), 0);
    LanguageConfigs[0]->SetLanguage(Russian, "Russian");
    EXPECT_EQ(LangCasePartner('\xA8', 0), '\xB8');
    EXPECT_EQ(LangUpperChar('\xFF', 0), '\xDF');
    LanguageConfigs[0]->SetLanguage(English, "English");
    EXPECT_EQ(LangUpperChar('\xFF', 0), Y_diaeresis);
}

TEST_F(TextProcess, DoubleByteCharacters) {
    EXPECT_TRUE(IsDoubleByteChar(932, "\x82\xA0"));
    EXPECT_FALSE(IsDoubleByteChar(932, "\x82"));  // the terminator is no trail byte
    EXPECT_FALSE(IsDoubleByteChar(932, "A\x82"));
    EXPECT_FALSE(IsDoubleByteChar(932, "\xB1\x82"));  // half-width katakana stand alone
    EXPECT_FALSE(IsDoubleByteChar(1252, "\x82\xA0"));
}

// ---- Equal characters and the search map ---------------------------------------------------------

TEST_F(TextProcess, ParseEqualCharsGroups) {
    TConcordConfig& C = *LanguageConfigs[0];
    C.EqualChars = std::string("e=") + e_acute + "=" + e_grave + ";a=" + a_grave;
    ASSERT_TRUE(ParseEqualChars(0));
    ASSERT_EQ(C.EqualCharGroups.size(), 2u);
    EXPECT_EQ(C.EqualCharGroups[0], CharSetOf(std::string("e") + e_acute + e_grave));
    EXPECT_EQ(C.EqualCharGroups[1], CharSetOf(std::string("a") + a_grave));

    C.EqualChars = " x = y ; z ;";
    ASSERT_TRUE(ParseEqualChars(0));
    ASSERT_EQ(C.EqualCharGroups.size(), 2u);
    EXPECT_EQ(C.EqualCharGroups[1], CharSetOf("z"));

    for (const char* Bad : {"a=;b", "1=2", ";", "a;;b", "a==b", "ab", "a=b=", "=a", "a=@"}) {
        C.EqualChars = "a=b";
        ASSERT_TRUE(ParseEqualChars(0));
        C.EqualChars = Bad;
        EXPECT_FALSE(ParseEqualChars(0)) << Bad;
        EXPECT_TRUE(C.EqualCharGroups.empty()) << Bad;  // a failure leaves no stale groups
    }
    C.EqualChars = "  ";
    EXPECT_TRUE(ParseEqualChars(0));
    EXPECT_TRUE(C.EqualCharGroups.empty());
}

TEST_F(TextProcess, CharsEqualNeedsTheOptionAndOneGroup) {
    SetEqualChars(0, std::string("e=") + e_acute + ";a=" + a_grave);
    EXPECT_TRUE(CharsEqual('x', 'x', 0));
    EXPECT_FALSE(CharsEqual('e', e_acute, 0));
    CommonConfig->UseSkipEqualChars = true;
    EXPECT_TRUE(CharsEqual('e', e_acute, 0));
    EXPECT_TRUE(CharsEqual(a_grave, 'a', 0));
    EXPECT_FALSE(CharsEqual('e', 'a', 0));
    EXPECT_FALSE(CharsEqual('E', e_acute, 0));
}

TEST_F(TextProcess, SearchCharMapFoldsCaseAndEqualCharacters) {
    SetEqualChars(0, std::string("e=") + e_acute);
    TSearchCharMap Map = BuildSearchCharMap(0);
    for (int B = 0; B < 256; ++B) ASSERT_EQ(Map[B], B);

    CommonConfig->IgnoreCase = true;
    Map = BuildSearchCharMap(0);
    EXPECT_EQ(Mapped(Map, 'Q'), 'q');
    EXPECT_EQ(Mapped(Map, E_acute), uint8_t(e_acute));
    EXPECT_EQ(Mapped(Map, 'q'), 'q');
    EXPECT_EQ(Mapped(Map, e_acute), uint8_t(e_acute));

    CommonConfig->UseSkipEqualChars = true;
    Map = BuildSearchCharMap(0);
    for (char C : {'E', 'e', E_acute, e_acute}) EXPECT_EQ(Mapped(Map, C), 'e') << int(uint8_t(C));
    EXPECT_EQ(SearchCharMap(0), Map);

    CommonConfig->IgnoreCase = false;
    Map = BuildSearchCharMap(0);
    EXPECT_EQ(Mapped(Map, e_acute), 'e');
    EXPECT_EQ(Mapped(Map, E_acute), uint8_t(E_acute));
    EXPECT_EQ(Mapped(Map, 'E'), 'E');
}

TEST_F(TextProcess, SearchCharMapGroupRules) {
    CommonConfig->IgnoreCase = true;
    CommonConfig->UseSkipEqualChars = true;

    // The lowest byte represents the group, lower-cased; members' partners follow it.
    SetEqualChars(0, "x=E");
    TSearchCharMap Map = BuildSearchCharMap(0);
    for (char C : {'x', 'X', 'E', 'e'}) EXPECT_EQ(Mapped(Map, C), 'e') << C;

    // A later group wins for a byte in both.
    SetEqualChars(0, "a=b;b=c");
    Map = BuildSearchCharMap(0);
    EXPECT_EQ(Mapped(Map, 'a'), 'a');
    EXPECT_EQ(Mapped(Map, 'b'), 'b');
    EXPECT_EQ(Mapped(Map, 'C'), 'b');

    // A caseless member has no partner: byte 0 must still map to itself.
    SetEqualChars(0, "[=e");
    Map = BuildSearchCharMap(0);
    EXPECT_EQ(Map[0], 0);
    EXPECT_EQ(Mapped(Map, 'E'), '[');
    EXPECT_EQ(Mapped(Map, '['), '[');
}

TEST_F(TextProcess, SearchCharMapsArePerLanguage) {
    AddLanguage(1, Russian, "Russian");
    CommonConfig->IgnoreCase = true;
    const TSearchCharMap Russian1 = BuildSearchCharMap(1);
    EXPECT_EQ(Russian1[0xA8], 0xB8);
    CommonConfig->IgnoreCase = false;
    BuildSearchCharMap(0);
    EXPECT_EQ(SearchCharMap(1), Russian1);
    EXPECT_EQ(SearchCharMap(0)[0xA8], 0xA8);
    EXPECT_THROW(SearchCharMap(4), std::out_of_range);
    EXPECT_THROW(BuildSearchCharMap(3), std::out_of_range);
}

TEST_F(TextProcess, ThreadsBuildMapsOfDifferentLanguagesAtOnce) {
    AddLanguage(1, Russian, "Russian");
    CommonConfig->IgnoreCase = true;
    auto Work = [](int L, uint8_t Byte, uint8_t Expected, bool* Ok) {
        for (int I = 0; I < 500; ++I) {
            const TSearchCharMap Map = BuildSearchCharMap(L);
            if (Map[Byte] != Expected || LangCasePartner(char(Expected), L) != char(Byte)) *Ok = false;
        }
    };
    bool Ok0 = true, Ok1 = true;
    std::thread T0(Work, 0, 0xC9, 0xE9, &Ok0), T1(Work, 1, 0xA8, 0xB8, &Ok1);
    T0.join();
    T1.join();
    EXPECT_TRUE(Ok0);
    EXPECT_TRUE(Ok1);
}

// ---- Tags and files ------------------------------------------------------------------------------

TEST_F(TextProcess, StripTagDelimiters) {
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    EXPECT_EQ(StripTagDelimiters("<p>"), "p");
    EXPECT_EQ(StripTagDelimiters("<<p>>"), "<p>");
    EXPECT_EQ(StripTagDelimiters(">p<"), ">p<");
    EXPECT_EQ(StripTagDelimiters("<"), "");
    CommonConfig->TagStop = 0;
    EXPECT_EQ(StripTagDelimiters("<p>"), "p>");
}

TEST(TextFiles, TempFilesAreNewEmptyAndUnique) {
    const std::string A = MakeTempFileName("FST"), B = MakeTempFileName("FST");
    ASSERT_FALSE(A.empty());
    EXPECT_NE(A, B);
    const std::filesystem::path P(A);
    EXPECT_EQ(P.parent_path().string() + "/", platform::TempDir());
    EXPECT_EQ(P.filename().string().substr(0, 3), "FST");
    EXPECT_EQ(P.extension(), ".tmp");
    EXPECT_EQ(std::filesystem::file_size(A), 0u);
    std::filesystem::remove(A);
    std::filesystem::remove(B);
}

TEST(TextFiles, IsTextFileCountsControlBytesInTheHead) {
    TTempDir Dir;
    const std::string Text(200, 'a');
    EXPECT_TRUE(IsTextFile(Dir.Write("four", std::string(4, '\0') + Text)));
    EXPECT_FALSE(IsTextFile(Dir.Write("five", std::string(5, '\0') + Text)));
    EXPECT_FALSE(IsTextFile(Dir.Write("ydiaeresis", "\xFF\xFF\x7F\x01\x1B" + Text)));
    EXPECT_TRUE(IsTextFile(Dir.Write("layout", "a\tb\r\nc\f\nd\x0B\x0B\x0B\x0B")));
    EXPECT_TRUE(IsTextFile(Dir.Write("late", std::string(256, 'a') + std::string(50, '\0'))));
    EXPECT_FALSE(IsTextFile(Dir.Write("short", std::string("\x02\x03\x04\x05\x06", 5))));
    EXPECT_TRUE(IsTextFile(Dir.Write("empty", "")));
    EXPECT_TRUE(IsTextFile(Dir.File("missing")));
    // Neither a FIFO nor a device is read (a FIFO would wait for a writer for ever), and neither is text.
    const std::string Fifo = Dir.File("fifo");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    ::alarm(20);
    EXPECT_FALSE(IsTextFile(Fifo));
    EXPECT_FALSE(IsTextFile("/dev/zero"));
    ::alarm(0);
    // Only a regular file of no bytes is empty: a FIFO or a device holds no size to go by.
    EXPECT_TRUE(IsEmptyFile(Dir.File("empty")));
    EXPECT_FALSE(IsEmptyFile(Dir.Write("one", "a")));
    EXPECT_FALSE(IsEmptyFile(Dir.File("missing")));
    EXPECT_FALSE(IsEmptyFile(Fifo));
    EXPECT_FALSE(IsEmptyFile("/dev/null"));
    EXPECT_FALSE(IsEmptyFile(Dir.Path().string()));
}

TEST(TextFiles, MakeValidFileName) {
    EXPECT_EQ(MakeValidFileName("a:b", ".txt"), "ab.txt");
    EXPECT_EQ(MakeValidFileName("stop", "TXT"), "stop.TXT");
    EXPECT_EQ(MakeValidFileName("stop.", "txt"), "stop.txt");
    EXPECT_EQ(MakeValidFileName("list.doc", "txt"), "list.doc");
    EXPECT_EQ(MakeValidFileName("a\"*<>?|\\b.c", "txt"), "ab.c");
    EXPECT_EQ(MakeValidFileName("plain", ""), "plain");
    EXPECT_EQ(MakeValidFileName("/tmp/x/../w?.v", "txt"), "/tmp/w.v");
    const std::string Cwd = std::filesystem::current_path().string();
    EXPECT_EQ(MakeValidFileName("sub/f:g", ".txt"), Cwd + "/sub/fg.txt");
    // Nothing left of the name part, or only the folder or its parent: no name at all, so that the
    // caller refuses it rather than saving ".txt" or "..txt".
    for (const char* Bad : {"", ".", "..", "dir/", "dir/.", "dir/..", "?:*", "dir/<>"})
        EXPECT_EQ(MakeValidFileName(Bad, "txt"), "") << Bad;
    EXPECT_EQ(MakeValidFileName(".profile", "txt"), ".profile");
}

// ---- Visible text --------------------------------------------------------------------------------

TEST(VisibleText, ToggleSuppressOptionNumbering) {
    TSuppressFlags F;
    EXPECT_TRUE(ToggleSuppressOption(F, 1));
    EXPECT_TRUE(F.HideWords);
    EXPECT_FALSE(F.HideTags || F.HidePOSTags);
    EXPECT_TRUE(ToggleSuppressOption(F, 2));
    EXPECT_TRUE(F.HidePOSTags);
    EXPECT_FALSE(ToggleSuppressOption(F, 0));  // the third one is refused
    EXPECT_FALSE(F.HideTags);
    EXPECT_TRUE(ToggleSuppressOption(F, 1));  // turning off is always accepted
    EXPECT_FALSE(F.HideWords);
    EXPECT_TRUE(ToggleSuppressOption(F, 0));
    EXPECT_TRUE(F.HideTags);
    EXPECT_FALSE(ToggleSuppressOption(F, 3));
    EXPECT_FALSE(ToggleSuppressOption(F, -1));
}

namespace {

class VisibleTextTest : public testing::Test {
protected:
    void Open(std::string Text, uint8_t WordTagMode = 0) {
        FReader.reset();
        FStream = std::make_unique<TMemorySynchroStream>(std::move(Text));
        FReader = std::make_unique<TBufStream>(*FStream, 0, NonWordCharSet(".,;:!", "*%?@"));
        TBufStreamTags Tags;
        Tags.TagStart = '<';
        Tags.TagStop = '>';
        Tags.WordTagMode = WordTagMode;
        Tags.POSSeparator = '_';
        FReader->Configure(Tags);
    }
    std::string Read(int32_t Start, int32_t End, TSuppressFlags Flags) {
        std::string Text = "stale";
        ReadVisibleText(*FReader, Start, End, Text, Flags);
        return Text;
    }
    int32_t Advance(int32_t Start, int32_t End, int32_t N, TSuppressFlags Flags) {
        return AdvanceVisibleChars(*FReader, Start, End, N, Flags);
    }

    static constexpr TSuppressFlags NoFlags{};
    static constexpr TSuppressFlags Tags{true, false, false};
    static constexpr TSuppressFlags POSTags{false, true, false};
    static constexpr TSuppressFlags Words{false, false, true};

    std::unique_ptr<TMemorySynchroStream> FStream;
    std::unique_ptr<TBufStream> FReader;
};

}  // namespace

TEST_F(VisibleTextTest, EachSuppressOptionOverTaggedTextWithCrLf) {
    const std::string Text = "<s id=1>Big dog_NN,\r\n  ran.</s>\r\n";
    Open(Text, 1);
    const int32_t End = static_cast<int32_t>(Text.size());
    EXPECT_EQ(Read(0, End, NoFlags), "<s id=1>Big dog_NN,    ran.</s>  ");
    EXPECT_EQ(Read(0, End, Tags), "Big dog_NN,    ran.  ");
    // The word tag runs to the line break: its comma goes with it.
    EXPECT_EQ(Read(0, End, POSTags), "<s id=1>Big dog    ran.</s>  ");
    // Words, delimiters and CR go; each white-space run keeps its first byte, the LF of CR LF included.
    EXPECT_EQ(Read(0, End, Words), "<s id=1> _NN, </s> ");
    EXPECT_EQ(Read(0, End, (TSuppressFlags{true, true, false})), "Big dog    ran.  ");
    EXPECT_EQ(Read(0, End, (TSuppressFlags{true, false, true})), " _NN, ");
}

TEST_F(VisibleTextTest, LettersTagsAndLineBreaks) {
    Open("a<tag>b");
    EXPECT_EQ(Read(0, 7, Tags), "ab");
    Open("one two<t>");
    EXPECT_EQ(Read(0, 10, Words), " <t>");
    Open("x\r\ny\nz");
    EXPECT_EQ(Read(0, 6, NoFlags), "x  y z");
    EXPECT_EQ(Read(1, 5, Tags), "  y ");
    EXPECT_EQ(Read(3, 3, NoFlags), "");
    EXPECT_EQ(Read(4, 100, NoFlags), " z");
}

TEST_F(VisibleTextTest, ATagOpenedBeforeTheRangeStaysHidden) {
    std::string Text(90, 'w');
    Text += "<a long tag reaching past one hundred>tail";
    Open(Text);
    const int32_t TailAt = static_cast<int32_t>(Text.find("tail"));
    EXPECT_EQ(Read(100, TailAt + 4, Tags), "tail");
    EXPECT_EQ(Read(100, TailAt + 4, NoFlags), Text.substr(100));
    EXPECT_EQ(Advance(100, TailAt + 4, 0, Tags), TailAt);
    // The tag opens 600 bytes before the range: beyond what is read back, so its end shows.
    std::string Far = "<" + std::string(600, 't') + ">x";
    Open(Far);
    EXPECT_EQ(Read(601, 603, Tags), ">x");
}

TEST_F(VisibleTextTest, NothingAtOrBeyondTheEndIsReturned) {
    Open("ab<tag>cd");
    EXPECT_EQ(Read(0, 3, Tags), "ab");
    EXPECT_EQ(Read(0, 7, Tags), "ab");
    EXPECT_EQ(Read(0, 8, Tags), "abc");
    EXPECT_EQ(Read(2, 9, Tags), "cd");
    Open(std::string("ab\0cd", 5));  // a 0 byte reads as a blank and hides nothing after it
    EXPECT_EQ(Read(0, 5, NoFlags), "ab cd");
    EXPECT_EQ(Advance(0, 5, 2, Tags), 2);
}

TEST_F(VisibleTextTest, AdvanceFindsTheNextVisibleByte) {
    Open("ab<tag>cd");
    EXPECT_EQ(Advance(0, 9, 0, Tags), 0);
    EXPECT_EQ(Advance(0, 9, 1, Tags), 1);
    EXPECT_EQ(Advance(0, 9, 2, Tags), 7);
    EXPECT_EQ(Advance(0, 9, 3, Tags), 8);
    EXPECT_EQ(Advance(0, 9, 4, Tags), 0);  // too few: back to the start
    EXPECT_EQ(Advance(2, 6, 0, Tags), 2);  // nothing visible up to and including the end
    EXPECT_EQ(Advance(2, 7, 0, Tags), 7);  // may land exactly on the end
    EXPECT_EQ(Advance(2, 8, 1, Tags), 8);
    EXPECT_EQ(Advance(3, 9, 0, Tags), 7);
    EXPECT_EQ(Advance(3, 9, 3, NoFlags), 6);
    Open("one   two");
    EXPECT_EQ(Advance(0, 9, 0, Words), 3);
    EXPECT_EQ(Advance(0, 9, 1, Words), 0);  // the rest of the blank run is hidden
}

TEST_F(VisibleTextTest, ClassifiedOrNarrowedReadersAreReadWhole) {
    Open("ab<tag>cd ef");
    FReader->ValidateBuffer(4, 12);
    EXPECT_EQ(Read(0, 12, Tags), "abcd ef");
    FReader->SetRange(3, 5);
    EXPECT_EQ(Read(0, 12, Tags), "abcd ef");
    EXPECT_EQ(Advance(0, 12, 3, Tags), 8);
}
