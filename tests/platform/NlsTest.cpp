#include "platform/Nls.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <thread>
#include <tuple>
#include <vector>

using namespace platform;

namespace {

int CountChanged(const std::array<uint8_t, 256>& Map) {
    int N = 0;
    for (int B = 0; B < 256; ++B) N += Map[B] != B;
    return N;
}

}  // namespace

TEST(NlsLocales, RepresentativeLocalesHaveTheirAnsiCodePages) {
    const std::pair<uint32_t, int> Expected[] = {
        {0x0409, 1252}, {0x0407, 1252}, {0x0405, 1250}, {0x041A, 1250}, {0x081A, 1250}, {0x0419, 1251},
        {0x0C1A, 1251}, {0x0402, 1251}, {0x0408, 1253}, {0x041F, 1254}, {0x040D, 1255}, {0x0401, 1256},
        {0x0429, 1256}, {0x0425, 1257}, {0x0427, 1257}, {0x041E, 874},  {0x0411, 932},  {0x0804, 936},
        {0x1004, 936},  {0x0412, 949},  {0x0404, 950},  {0x0C04, 950},  {0x0812, 1361},
    };
    for (auto [Lcid, CodePage] : Expected) EXPECT_EQ(AnsiCodePage(Lcid), CodePage) << std::hex << Lcid;
}

TEST(NlsLocales, UnknownIdentifiersFallBackWithoutFailing) {
    // A sort order in the high word does not change the code page.
    EXPECT_EQ(AnsiCodePage(0x00010411), 932);
    // Unlisted sublanguages take their primary language's code page.
    EXPECT_EQ(AnsiCodePage(0x4409), 1252);  // English (Malaysia)
    EXPECT_EQ(AnsiCodePage(0x1404), 950);   // Chinese (Macau)
    // Nothing known about the language: the system's code page.
    EXPECT_EQ(AnsiCodePage(0x0417), SystemCodePage());
    EXPECT_EQ(AnsiCodePage(0), SystemCodePage());
    EXPECT_EQ(AnsiCodePage(0xFFFFFFFF), SystemCodePage());
    EXPECT_TRUE(IsKnownLocale(UserDefaultLangId()));
}

TEST(NlsLocales, KnownTableHas104AscendingIdentifiers) {
    const auto& Ids = KnownLocaleIds();
    EXPECT_EQ(Ids.size(), 104u);
    EXPECT_TRUE(std::is_sorted(Ids.begin(), Ids.end()));
    EXPECT_EQ(std::adjacent_find(Ids.begin(), Ids.end()), Ids.end());
    EXPECT_TRUE(IsKnownLocale(0x0409));
    EXPECT_FALSE(IsKnownLocale(0x0417));
    EXPECT_FALSE(IsKnownLocale(0x00010409));
}

TEST(NlsLocales, InstalledLocalesLeaveOutThoseWithoutAConverter) {
    const auto Ids = InstalledLocaleIds();
    EXPECT_TRUE(std::is_sorted(Ids.begin(), Ids.end()));
    // Johab (1361) has no converter; every other known locale is usable.
    EXPECT_EQ(Ids.size(), 103u);
    EXPECT_EQ(std::count(Ids.begin(), Ids.end(), 0x0812u), 0);
    auto Serbian = std::find(Ids.begin(), Ids.end(), 0x081Au);
    ASSERT_NE(Serbian, Ids.end());
    EXPECT_NE(std::find(Serbian, Ids.end(), 0x0C1Au), Ids.end());
}

TEST(NlsLocales, EnvironmentLocaleMapsToAKnownLanguageOrUsEnglish) {
    EXPECT_EQ(LangIdOfLocaleName("de_DE"), 0x0407u);
    EXPECT_EQ(LangIdOfLocaleName("ja_JP"), 0x0411u);
    EXPECT_EQ(LangIdOfLocaleName("ru_RU"), 0x0419u);
    // The C/POSIX locale and locales the table lacks.
    EXPECT_EQ(LangIdOfLocaleName("en_US_POSIX"), LANG_ENGLISH_US);
    EXPECT_EQ(LangIdOfLocaleName("rm_CH"), LANG_ENGLISH_US);
    EXPECT_EQ(LangIdOfLocaleName("vi_VN"), LANG_ENGLISH_US);
    EXPECT_EQ(LangIdOfLocaleName(""), LANG_ENGLISH_US);
    EXPECT_EQ(LangIdOfLocaleName(nullptr), LANG_ENGLISH_US);
}

TEST(NlsLocales, ALocaleOutsideTheTableFallsBackByItsLanguageFirst) {
    const std::pair<const char*, uint32_t> Expected[] = {
        {"sr_RS", 0x0C1A},       // Serbian, written in Cyrillic there
        {"sr_Cyrl_RS", 0x0C1A},  //
        {"sr_Latn_RS", 0x081A},  //
        {"sr_Latn_ME", 0x081A},  //
        {"en_IN", 0x0409},       // the first English of the table
        {"de_BE", 0x0407},       //
        {"es_US", 0x040A},       //
        {"bs_BA", 0x041A},       // no Bosnian in the table: the first of its primary language (Croatian)
        {"ko_KP", 0x0412},       // Korean: Johab has no converter, the Korean of code page 949 has
        {"de_LU", 0x1007},       // in the table: itself
    };
    for (auto [Name, Id] : Expected) EXPECT_EQ(LangIdOfLocaleName(Name), Id) << Name;
    // Whatever the fallback, the answer is usable.
    for (const char* Name : {"sr_RS", "en_IN", "bs_BA", "ko_KP", "zh_MO", "pt_AO", "ar_SD", "ms_MY"})
        EXPECT_TRUE(IsUsableLocale(LangIdOfLocaleName(Name))) << Name;
    EXPECT_TRUE(IsUsableLocale(0x0409));
    EXPECT_FALSE(IsUsableLocale(0x0812));
    EXPECT_FALSE(IsUsableLocale(0x00020404));
    EXPECT_FALSE(IsUsableLocale(0));
}

TEST(NlsCodePages, ValidityFollowsTheConverters) {
    for (int Cp : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258})
        EXPECT_TRUE(IsValidCodePage(Cp)) << Cp;
    for (int Cp : {0, 1, 1361, 65001, -5}) EXPECT_FALSE(IsValidCodePage(Cp)) << Cp;
}

TEST(NlsCaseMaps, Cp1252FoldsLatinLettersOnly) {
    const auto& T = CodePageTables(1252);
    ASSERT_TRUE(T.Valid);
    EXPECT_EQ(CountChanged(T.LowerCase), 60);
    EXPECT_EQ(T.LowerCase['A'], 'a');
    EXPECT_EQ(T.LowerCase[0x8A], 0x9A);  // Š
    EXPECT_EQ(T.LowerCase[0x8C], 0x9C);  // Œ
    EXPECT_EQ(T.LowerCase[0x9F], 0xFF);  // Ÿ
    EXPECT_EQ(T.LowerCase[0xC0], 0xE0);
    EXPECT_EQ(T.LowerCase[0xDE], 0xFE);
    EXPECT_EQ(T.LowerCase[0xD7], 0xD7);  // ×
    EXPECT_EQ(T.LowerCase[0xDF], 0xDF);  // ß has no one-byte partner
    EXPECT_EQ(T.UpperCase[0xFF], 0x9F);
    EXPECT_EQ(T.UpperCase[0xDF], 0xDF);
    EXPECT_EQ(T.UpperCase[0xB5], 0xB5);  // µ uppercases to Greek Μ, not in the code page
    EXPECT_EQ(T.LowerCase[0], 0);
    EXPECT_EQ(T.UpperCase[0], 0);
}

TEST(NlsCaseMaps, CyrillicGreekAndTurkishLetters) {
    const auto& Ru = CodePageTables(1251);
    EXPECT_EQ(Ru.LowerCase[0xA8], 0xB8);  // Ё
    EXPECT_EQ(Ru.LowerCase[0xC0], 0xE0);  // А
    EXPECT_EQ(Ru.LowerCase[0xDF], 0xFF);  // Я
    EXPECT_EQ(Ru.UpperCase[0xFF], 0xDF);
    EXPECT_EQ(Ru.LowerCase[0x80], 0x90);  // Ђ

    const auto& El = CodePageTables(1253);
    EXPECT_EQ(El.LowerCase[0xC1], 0xE1);  // Α
    EXPECT_EQ(El.LowerCase[0xD3], 0xF3);  // Σ
    EXPECT_EQ(El.UpperCase[0xF2], 0xD3);  // final ς
    EXPECT_EQ(El.LowerCase[0xA2], 0xDC);  // Ά

    const auto& Tr = CodePageTables(1254);
    EXPECT_EQ(Tr.LowerCase[0xDD], 0x69);  // İ -> i
    EXPECT_EQ(Tr.LowerCase['I'], 'i');
    EXPECT_EQ(Tr.UpperCase[0xFD], 'I');   // ı -> I
    EXPECT_EQ(Tr.LowerCase[0xD0], 0xF0);  // Ğ
}

TEST(NlsCaseMaps, DoubleByteAndMissingCodePagesMapOnlyWhatStandsAlone) {
    const auto& Ja = CodePageTables(932);
    EXPECT_EQ(CountChanged(Ja.LowerCase), 26);  // only ASCII letters stand alone as cased letters
    EXPECT_EQ(Ja.LowerCase[0x82], 0x82);        // a lead byte is never mapped
    const auto& None = CodePageTables(1361);
    EXPECT_FALSE(None.Valid);
    EXPECT_EQ(CountChanged(None.LowerCase), 0);
    EXPECT_EQ(CountChanged(None.UpperCase), 0);
}

// The case maps, classes and lead bytes as ICU 72 gives them. A newer ICU that changes any of them
// changes how corpora are folded and searched, which must be noticed and judged, not slip in.
TEST(NlsCaseMaps, GoldenTablesOfTheCodePages) {
    struct TGolden {
        int CodePage, Lower, Upper, UpperClass, LowerClass, LeadBytes;
        uint64_t Hash;  // FNV-1a over every byte's lower, upper, class and lead-byte entry
    };
    const TGolden Golden[] = {
        {874, 26, 26, 26, 26, 0, 0xd656986c25a651f7ull},   {932, 26, 26, 26, 26, 60, 0x898c046e69ceffbbull},
        {936, 26, 26, 26, 26, 126, 0x1991b411a3bd9557ull}, {949, 26, 26, 26, 26, 126, 0xc35870ec7bb208a7ull},
        {950, 26, 26, 26, 26, 126, 0xc35870ec7bb208a7ull}, {1250, 66, 66, 66, 68, 0, 0xe8fceb0442857cdfull},
        {1251, 73, 73, 73, 74, 0, 0xd76e91c30b4d362cull},  {1252, 60, 60, 60, 63, 0, 0xe734f8a5380dda29ull},
        {1253, 59, 61, 59, 64, 0, 0x2ef1b15333bcf9f0ull},  {1254, 59, 59, 59, 62, 0, 0x0191241d25b7f83eull},
        {1255, 26, 26, 26, 28, 0, 0xa3ca124ceb6ee603ull},  {1256, 27, 27, 27, 42, 0, 0x72a0bebba91a94beull},
        {1257, 59, 59, 59, 61, 0, 0x145be50672abccc4ull},
    };
    for (const TGolden& G : Golden) {
        SCOPED_TRACE(G.CodePage);
        const auto& T = CodePageTables(G.CodePage);
        ASSERT_TRUE(T.Valid);
        int UpperClass = 0, LowerClass = 0, Leads = 0;
        uint64_t Hash = 1469598103934665603ull;
        auto Mix = [&](uint64_t V) { Hash = (Hash ^ V) * 1099511628211ull; };
        for (int B = 0; B < 256; ++B) {
            UpperClass += (T.CharType1[B] & C1_UPPER) != 0;
            LowerClass += (T.CharType1[B] & C1_LOWER) != 0;
            Leads += T.LeadByte[B];
            Mix(T.LowerCase[B]);
            Mix(T.UpperCase[B]);
            Mix(T.CharType1[B]);
            Mix(T.LeadByte[B]);
        }
        EXPECT_EQ(CountChanged(T.LowerCase), G.Lower);
        EXPECT_EQ(CountChanged(T.UpperCase), G.Upper);
        EXPECT_EQ(UpperClass, G.UpperClass);
        EXPECT_EQ(LowerClass, G.LowerClass);
        EXPECT_EQ(Leads, G.LeadBytes);
        EXPECT_EQ(T.DoubleByte, G.LeadBytes > 0);
        EXPECT_EQ(Hash, G.Hash);
    }
    // Key pairs beyond those above, one or two per code page.
    const std::tuple<int, uint8_t, uint8_t> Pairs[] = {
        {874, 'A', 'a'},    {874, 0xA1, 0xA1},  {932, 'Z', 'z'},    {932, 0xB1, 0xB1},  {936, 'Q', 'q'},
        {949, 'Q', 'q'},    {950, 'Q', 'q'},    {1250, 0xA5, 0xB9}, {1250, 0xBC, 0xBE}, {1251, 0x81, 0x83},
        {1251, 0xA1, 0xA2}, {1255, 0xE0, 0xE0}, {1256, 0x8C, 0x9C}, {1257, 0xA8, 0xB8}, {1257, 0xDE, 0xFE},
    };
    for (auto [CodePage, Upper, Lower] : Pairs)
        EXPECT_EQ(CodePageTables(CodePage).LowerCase[Upper], Lower) << CodePage;
    EXPECT_TRUE(CodePageTables(932).LeadByte[0x81] && CodePageTables(932).LeadByte[0xFC]);
    EXPECT_FALSE(CodePageTables(932).LeadByte[0xA0]);
}

TEST(NlsCharTypes, ClassBitsOfRepresentativeBytes) {
    const auto& T = CodePageTables(1252).CharType1;
    EXPECT_EQ(T['A'], C1_UPPER | C1_ALPHA | C1_XDIGIT);
    EXPECT_EQ(T['g'], C1_LOWER | C1_ALPHA);
    EXPECT_EQ(T['7'], C1_DIGIT | C1_XDIGIT);
    EXPECT_EQ(T[' '], C1_SPACE | C1_BLANK);
    EXPECT_EQ(T['\t'], C1_SPACE | C1_BLANK | C1_CNTRL);
    EXPECT_EQ(T['\n'], C1_SPACE | C1_CNTRL);
    EXPECT_EQ(T[0], C1_CNTRL);
    for (unsigned char C : {',', '.', '(', '$', '+', '^', '`', '|', '~'}) EXPECT_EQ(T[C], C1_PUNCT) << C;
    EXPECT_EQ(T[0xA9], C1_PUNCT);  // ©, an "other symbol"
    EXPECT_EQ(T[0xA3], C1_PUNCT);  // £, a currency symbol
    EXPECT_EQ(T[0xE9], C1_LOWER | C1_ALPHA);
    EXPECT_EQ(T[0xC9], C1_UPPER | C1_ALPHA);
    EXPECT_EQ(T[0xDF], C1_LOWER | C1_ALPHA);
    EXPECT_EQ(T[0xA0] & (C1_SPACE | C1_BLANK), C1_SPACE | C1_BLANK);

    // Letters of other scripts are alphabetic but not hexadecimal digits.
    const auto& Ar = CodePageTables(1256).CharType1;
    EXPECT_EQ(Ar[0xC7] & (C1_ALPHA | C1_UPPER | C1_LOWER | C1_XDIGIT), C1_ALPHA);  // alef
    // A byte the code page leaves undefined has no class and keeps its case.
    EXPECT_EQ(CodePageTables(1253).CharType1[0xD2], 0);
    EXPECT_EQ(CodePageTables(1253).LowerCase[0xD2], 0xD2);
    const auto& Ja = CodePageTables(932).CharType1;
    EXPECT_EQ(Ja[0x82], 0);                    // lead byte
    EXPECT_EQ(Ja[0xB1] & C1_ALPHA, C1_ALPHA);  // half-width katakana A
}

TEST(NlsLeadBytes, DoubleByteCodePagesOnly) {
    for (int B = 0; B < 256; ++B) {
        const bool Ja = (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC);
        EXPECT_EQ(IsLeadByte(932, static_cast<uint8_t>(B)), Ja) << B;
        const bool Cjk = B >= 0x81 && B <= 0xFE;
        EXPECT_EQ(IsLeadByte(936, static_cast<uint8_t>(B)), Cjk) << B;
        EXPECT_EQ(IsLeadByte(949, static_cast<uint8_t>(B)), Cjk) << B;
        EXPECT_EQ(IsLeadByte(950, static_cast<uint8_t>(B)), Cjk) << B;
        EXPECT_FALSE(IsLeadByte(1252, static_cast<uint8_t>(B)));
        EXPECT_FALSE(IsLeadByte(1361, static_cast<uint8_t>(B)));
    }
}

TEST(NlsConversion, CodePageTextRoundTripsThroughUnicode) {
    const std::string Russian = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xEB\xEA\xE0";  // Привет, Ёлка
    EXPECT_EQ(CodePageToUtf8(1251, Russian), "Привет, Ёлка");
    EXPECT_EQ(Utf8ToCodePage(1251, "Привет, Ёлка"), Russian);
    EXPECT_EQ(CodePageToUtf16(1253, "\xE1\xE2"), u"αβ");
    EXPECT_EQ(Utf16ToCodePage(1253, u"αβ"), "\xE1\xE2");
    EXPECT_EQ(CodePageToUtf8(932, "\x82\xA0\x93\xFA"), "あ日");
    EXPECT_EQ(Utf8ToCodePage(932, "あ日x"), "\x82\xA0\x93\xFAx");
    EXPECT_EQ(CodePageToUtf8(1252, "\x80\x9F"), "€Ÿ");
}

TEST(NlsConversion, WhatCannotBeConvertedBecomesAQuestionMark) {
    // One "?" per unmappable character, a character above U+FFFF included.
    EXPECT_EQ(Utf8ToCodePage(1252, "aЖ😀z"), "a??z");
    EXPECT_EQ(Utf16ToCodePage(1251, u"x\u00E9y"), "x?y");
    // An unpaired surrogate.
    EXPECT_EQ(Utf16ToCodePage(1252, std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
    // Ill-formed UTF-8.
    EXPECT_EQ(Utf8ToCodePage(1252,
                             "a\xFF"
                             "b"),
              "a?b");
    // A lead byte cut off at the end of the text, and an undefined byte.
    EXPECT_EQ(CodePageToUtf8(932, "x\x82"), "x?");
    EXPECT_EQ(CodePageToUtf8(1253,
                             "a\xD2"
                             "b"),
              "a?b");
}

TEST(NlsConversion, InvalidCodePageOrEmptyInputGivesEmptyText) {
    EXPECT_EQ(CodePageToUtf8(1361, "abc"), "");
    EXPECT_EQ(Utf8ToCodePage(1361, "abc"), "");
    EXPECT_EQ(CodePageToUtf16(0, "abc"), u"");
    EXPECT_EQ(CodePageToUtf8(1252, ""), "");
    EXPECT_EQ(Utf8ToCodePage(1252, ""), "");
}

TEST(NlsConversion, LargeTextsKeepEveryByte) {
    std::string Bytes;
    for (int I = 0; I < 300000; ++I) Bytes += static_cast<char>(0xC0 + I % 64);  // Cyrillic letters
    const std::string Utf8 = CodePageToUtf8(1251, Bytes);
    EXPECT_EQ(Utf8.size(), Bytes.size() * 2);
    EXPECT_EQ(Utf8ToCodePage(1251, Utf8), Bytes);

    std::string Kanji;
    for (int I = 0; I < 100000; ++I) Kanji += "\x93\xFA";
    const std::string KanjiUtf8 = CodePageToUtf8(932, Kanji);
    EXPECT_EQ(KanjiUtf8.size(), 300000u);
    EXPECT_EQ(Utf8ToCodePage(932, KanjiUtf8), Kanji);
}

TEST(NlsThreads, TablesAndConvertersServeSeveralThreadsAtOnce) {
    const int CodePages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 874, 932, 936, 949, 950};
    std::vector<std::thread> Threads;
    std::vector<int> Failures(8, 0);
    for (int T = 0; T < 8; ++T) {
        Threads.emplace_back([&, T] {
            for (int Round = 0; Round < 20; ++Round) {
                for (int Cp : CodePages) {
                    const auto& Tables = CodePageTables(Cp);
                    if (!Tables.Valid || Tables.LowerCase['A'] != 'a') ++Failures[T];
                    if (Utf8ToCodePage(Cp, CodePageToUtf8(Cp, "Abc 123")) != "Abc 123") ++Failures[T];
                }
            }
        });
    }
    for (auto& Th : Threads) Th.join();
    for (int F : Failures) EXPECT_EQ(F, 0);
    // Every thread got the same cached object.
    EXPECT_EQ(&CodePageTables(1252), &CodePageTables(1252));
}

// A converted corpus must keep its words whole: "?" is a wildcard and a word end there. Characters a
// code page lacks become their fallback, base letter or Latin transliteration; "?" only without one.
TEST(NlsConversion, NearestConversionKeepsLettersLettersWhereTheCodePageLacksThem) {
    EXPECT_EQ(Utf16ToCodePageNearest(1252, u"Wa\u0142\u0119sa Dvo\u0159\u00E1k \u0141\u00F3d\u017A"),
              "Walesa Dvor\xE1k L\xF3"
              "dz");
    EXPECT_EQ(Utf16ToCodePageNearest(1250, u"Wa\u0142\u0119sa Stra\u00DFe \u00E6"),
              "Wa\xB3\xEAsa Stra\xDF"
              "e ae");
    EXPECT_EQ(Utf16ToCodePageNearest(1251, u"caf\u00E9 \u2014 \u0416"), "cafe \x97 \xC6");
    // What has no near character still becomes one "?", a character above U+FFFF included.
    EXPECT_EQ(Utf16ToCodePageNearest(1252, u"a\u0416\U0001F600z"), "a??z");
    EXPECT_EQ(Utf16ToCodePageNearest(932, u"\u3042\u0142"), "\x82\xA0l");
    // Every letter of Latin Extended-A stays a letter (one or more; n preceded by an apostrophe keeps its
    // apostrophe, which is no word end) in every Western and Central European code page.
    for (int CodePage : {1250, 1252, 1254, 1257}) {
        for (char16_t C = 0x0100; C <= 0x017F; ++C) {
            const std::u16string Back =
                CodePageToUtf16(CodePage, Utf16ToCodePageNearest(CodePage, std::u16string(1, C)));
            ASSERT_FALSE(Back.empty()) << CodePage << " U+" << std::hex << int(C);
            for (char16_t U : Back)
                EXPECT_TRUE(u_isalpha(U) || U == u'\'') << CodePage << " U+" << std::hex << int(C);
        }
    }
}
