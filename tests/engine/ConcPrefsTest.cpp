#include "engine/ConcPrefs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "platform/IniFiles.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

class ConcPrefsTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        InitConfigUnit();
        ProgramFolder = Program.Path().string() + "/";
        WindowsFolder = Config.Path().string() + "/";
    }
    void TearDown() override {
        SetIniWritableProbe({});
        ResetGlobalsForTest();
    }

    std::string ProgramIni() const { return Program.File(IniFileName); }
    std::string ConfigIni() const { return Config.File(IniFileName); }
    // Loads Text as a preferences file.
    void LoadText(const std::string& Text) { ASSERT_TRUE(LoadPrefsFromFile(Work.Write("in.ini", Text))); }

    TTempDir Program, Config, Work;
    TScriptedBackend Messages;
};

TAdvancedSortColOptions SortRecord(uint8_t A, uint8_t B, uint8_t C, const std::string& Custom, int MaxItems) {
    TAdvancedSortColOptions r;
    r.Keys = {{{A, true}, {B, false}, {C, true}}};
    r.Customised = true;
    r.CustomisedText = Custom;
    r.ShowFirst = MaxItems;
    return r;
}

void FillCommon(TCommonConcordConfig& C) {
    C.LastUsedLanguage = 2;
    C.MaximumHits = 12345;
    C.FrequencyOfHits = 3;
    C.ContextType = 4;
    C.ContextSizes = {11, 12, 13, 14, 1};
    C.WildCard0orMore = '+';
    C.WildCard0or1 = '~';
    C.WildCardExactly1 = ' ';
    C.WildCardMatchWords = '\0';
    C.MatchWordsLo = 1;
    C.MatchWordsHi = 9;
    C.TagSearchSeparator = '|';
    C.IgnoreCase = false;
    C.SentenceMode = C.RegularExpressions = C.UseSkipEqualChars = C.TagSearch = true;
    C.AlignFormat = 3;
    C.AlignDelimiter = "tu";
    C.AlignStart = "s";
    C.AlignStop = "/s";
    C.AlignAttrib = "n";
    C.CollocationSort = SortRecord(sk1R, skSearchTerm, skNone, "1l, 2r", 300);
    C.TagStart = '{';
    C.TagStop = '}';
    C.PageSeparator = "\t<pb>";
    C.ShowLines = C.ShowPages = C.RelativeLines = true;
    C.WordTag = 2;
    C.wTagBefore = true;
    C.wTagDelimiter = '/';
    C.wTagStarts = {"<w ", "<pos="};
    C.wTagStop = ']';
    C.MetaTags = {{"NOUN", {"NN", "NNS"}}, {"VERB", {"VB*"}}};
    C.exportDir = "/data/export";
    C.exportFilePrefix = "B_";
    C.exportAlignFormat = 3;
    C.exportTag = "tu";
    C.exportAttribute = "num";
}

void FillLanguage(TConcordConfig& L, int Lang) {
    static const uint32_t kIds[4] = {0x0409, 0x0419, 0x0407, 0x0411};
    std::string n = std::to_string(Lang);
    L.SetLanguage(kIds[Lang], LanguageNameOfLCID(kIds[Lang]));
    L.NonWordChars = ".,;" + n;
    L.SentDelimiters = ".!?;";
    L.SmartAbbrDetect = L.includeTrailingQuotes = true;
    L.HeadingFormat = 2;
    L.HStart = "h" + n;
    L.HStop = "/h";
    L.HPattern = "^Chapter";
    L.ParagraphFormat = 3;
    L.PStart = "p";
    L.PStop = "/p";
    L.SentenceFormat = 0;
    L.SStart = "s";
    L.SStop = "/s";
    L.HiliteNumbers = true;
    L.Markers = {"@@", "##" + n};
    L.SkippingChars = "-'";
    L.EqualChars = "aA bB";
    L.Headings = {{"Chapter", {"<h1>", "</h1>", "<t>", "</t>"}},
                  {"Part " + n, {"<h2>", "</h2>", "<p>", "</p>"}}};
    L.Fonts[NormalFont] = {"Courier New", 11, fsBold | fsItalic, 255, 204};
    L.Fonts[HiliteFont] = {"Arial", 9, fsUnderline | fsStrikeOut, clWindowText, 0};
    L.StopList.SetWords({"the", "a" + n});
    L.StopList.Active = true;
    L.SentenceExceptions = {"etc", "e.g"};
    L.CorpusPath = "/corpus/" + n;
    L.StopListPath = "/stop";
    L.SentDelimitersPath = "/sent";
    L.DelimiterHistory = {".,", ";:"};
    L.SkippingHistory = {"-"};
    L.EqualHistory = {"aA"};
    for (int s = 0; s < 3; ++s) {
        std::string k = std::to_string(s);
        L.SearchHistory[s] = {"search" + k, "two"};
        L.HeadingHistory[s] = {"head" + k};
        L.LeftHistory[s] = {"left" + k};
        L.RightHistory[s] = {"right" + k, "  padded  "};
    }
    L.LastHeading = "Chapter";
    L.AdvancedSort = SortRecord(skTrackedTag, skOriginalOrder, skDefined, "tag, 0", 7);
    L.CollocationSort = SortRecord(sk4L, sk4R, skNone, "", 0);
    L.RankFunctionThreshold = 0.0025;
    L.ParadigmOption = true;
    L.ParadigmThreshold = 0.75;
    L.ParadigmRankThreshold = 1e-7;
    FrequencyConfigs[Lang] = {7 + Lang, 900, 250, 4, 8, false, false, false};
}

void ExpectSameSort(const TAdvancedSortColOptions& A, const TAdvancedSortColOptions& B) {
    EXPECT_EQ(A.Keys, B.Keys);
    EXPECT_EQ(A.Customised, B.Customised);
    EXPECT_EQ(A.CustomisedText, B.CustomisedText);
    EXPECT_EQ(A.ShowFirst, B.ShowFirst);
}

void ExpectSameCommon(const TCommonConcordConfig& A, const TCommonConcordConfig& B) {
    EXPECT_EQ(A.LastUsedLanguage, B.LastUsedLanguage);
    EXPECT_EQ(A.MaximumHits, B.MaximumHits);
    EXPECT_EQ(A.FrequencyOfHits, B.FrequencyOfHits);
    EXPECT_EQ(A.ContextType, B.ContextType);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(A.ContextSizes[i], B.ContextSizes[i]) << i;
    EXPECT_EQ(A.WildCard0orMore, B.WildCard0orMore);
    EXPECT_EQ(A.WildCard0or1, B.WildCard0or1);
    EXPECT_EQ(A.WildCardExactly1, B.WildCardExactly1);
    EXPECT_EQ(A.WildCardMatchWords, B.WildCardMatchWords);
    EXPECT_EQ(A.MatchWordsLo, B.MatchWordsLo);
    EXPECT_EQ(A.MatchWordsHi, B.MatchWordsHi);
    EXPECT_EQ(A.TagSearchSeparator, B.TagSearchSeparator);
    EXPECT_EQ(A.IgnoreCase, B.IgnoreCase);
    EXPECT_EQ(A.SentenceMode, B.SentenceMode);
    EXPECT_EQ(A.RegularExpressions, B.RegularExpressions);
    EXPECT_EQ(A.UseSkipEqualChars, B.UseSkipEqualChars);
    EXPECT_EQ(A.TagSearch, B.TagSearch);
    EXPECT_EQ(A.AlignFormat, B.AlignFormat);
    EXPECT_EQ(A.AlignDelimiter, B.AlignDelimiter);
    EXPECT_EQ(A.AlignStart, B.AlignStart);
    EXPECT_EQ(A.AlignStop, B.AlignStop);
    EXPECT_EQ(A.AlignAttrib, B.AlignAttrib);
    ExpectSameSort(A.CollocationSort, B.CollocationSort);
    EXPECT_EQ(A.TagStart, B.TagStart);
    EXPECT_EQ(A.TagStop, B.TagStop);
    EXPECT_EQ(A.PageSeparator, B.PageSeparator);
    EXPECT_EQ(A.ShowLines, B.ShowLines);
    EXPECT_EQ(A.ShowPages, B.ShowPages);
    EXPECT_EQ(A.RelativeLines, B.RelativeLines);
    EXPECT_EQ(A.WordTag, B.WordTag);
    EXPECT_EQ(A.wTagBefore, B.wTagBefore);
    EXPECT_EQ(A.wTagDelimiter, B.wTagDelimiter);
    EXPECT_EQ(A.wTagStarts, B.wTagStarts);
    EXPECT_EQ(A.wTagStop, B.wTagStop);
    ASSERT_EQ(A.MetaTags.size(), B.MetaTags.size());
    for (size_t i = 0; i < A.MetaTags.size(); ++i) {
        EXPECT_EQ(A.MetaTags[i].Name, B.MetaTags[i].Name);
        EXPECT_EQ(A.MetaTags[i].Object, B.MetaTags[i].Object);
    }
    EXPECT_EQ(A.exportDir, B.exportDir);
    EXPECT_EQ(A.exportFilePrefix, B.exportFilePrefix);
    EXPECT_EQ(A.exportAlignFormat, B.exportAlignFormat);
    EXPECT_EQ(A.exportTag, B.exportTag);
    EXPECT_EQ(A.exportAttribute, B.exportAttribute);
}

void ExpectSameLanguage(const TConcordConfig& A, const TConcordConfig& B) {
    EXPECT_EQ(A.LocaleId, B.LocaleId);
    EXPECT_EQ(A.LanguageName, B.LanguageName);
    EXPECT_EQ(A.LowerCaseMap, B.LowerCaseMap);
    EXPECT_EQ(A.NonWordChars, B.NonWordChars);
    EXPECT_EQ(A.SentDelimiters, B.SentDelimiters);
    EXPECT_EQ(A.SmartAbbrDetect, B.SmartAbbrDetect);
    EXPECT_EQ(A.includeTrailingQuotes, B.includeTrailingQuotes);
    EXPECT_EQ(A.HeadingFormat, B.HeadingFormat);
    EXPECT_EQ(A.HStart + A.HStop + A.HPattern, B.HStart + B.HStop + B.HPattern);
    EXPECT_EQ(A.ParagraphFormat, B.ParagraphFormat);
    EXPECT_EQ(A.PStart + "|" + A.PStop, B.PStart + "|" + B.PStop);
    EXPECT_EQ(A.SentenceFormat, B.SentenceFormat);
    EXPECT_EQ(A.SStart + "|" + A.SStop, B.SStart + "|" + B.SStop);
    EXPECT_EQ(A.HiliteNumbers, B.HiliteNumbers);
    EXPECT_EQ(A.Markers, B.Markers);
    EXPECT_EQ(A.SkippingChars, B.SkippingChars);
    EXPECT_EQ(A.EqualChars, B.EqualChars);
    ASSERT_EQ(A.Headings.size(), B.Headings.size());
    for (size_t i = 0; i < A.Headings.size(); ++i) {
        EXPECT_EQ(A.Headings[i].Name, B.Headings[i].Name);
        const THeadRecord &a = A.Headings[i].Object, &b = B.Headings[i].Object;
        EXPECT_EQ(a.HeadStart + a.HeadStop + a.TextStart + a.TextStop,
                  b.HeadStart + b.HeadStop + b.TextStart + b.TextStop);
    }
    EXPECT_EQ(A.Fonts, B.Fonts);
    EXPECT_EQ(A.StopList.FileName, B.StopList.FileName);
    EXPECT_EQ(A.StopList.Words(), B.StopList.Words());
    EXPECT_EQ(A.StopList.Active, B.StopList.Active);
    EXPECT_EQ(A.SentenceExceptions, B.SentenceExceptions);
    EXPECT_EQ(A.CorpusPath + A.StopListPath + A.SentDelimitersPath,
              B.CorpusPath + B.StopListPath + B.SentDelimitersPath);
    EXPECT_EQ(A.DelimiterHistory, B.DelimiterHistory);
    EXPECT_EQ(A.SkippingHistory, B.SkippingHistory);
    EXPECT_EQ(A.EqualHistory, B.EqualHistory);
    EXPECT_EQ(A.SearchHistory, B.SearchHistory);
    EXPECT_EQ(A.HeadingHistory, B.HeadingHistory);
    EXPECT_EQ(A.LeftHistory, B.LeftHistory);
    EXPECT_EQ(A.RightHistory, B.RightHistory);
    EXPECT_EQ(A.LastHeading, B.LastHeading);
    ExpectSameSort(A.AdvancedSort, B.AdvancedSort);
    ExpectSameSort(A.CollocationSort, B.CollocationSort);
    EXPECT_EQ(A.RankFunctionThreshold, B.RankFunctionThreshold);
    EXPECT_EQ(A.ParadigmOption, B.ParadigmOption);
    EXPECT_EQ(A.ParadigmThreshold, B.ParadigmThreshold);
    EXPECT_EQ(A.ParadigmRankThreshold, B.ParadigmRankThreshold);
}

TEST_F(ConcPrefsTest, EverySettingSurvivesASaveAndReload) {
    FillCommon(*CommonConfig);
    LanguagesCount = 4;
    for (int lang = 0; lang < 4; ++lang) {
        if (!LanguageConfigs[lang]) LanguageConfigs[lang] = std::make_unique<TConcordConfig>(lang);
        FillLanguage(*LanguageConfigs[lang], lang);
    }
    WatchedTags = {{"div", "<div", ">"}, {"speaker", "who=\"", ""}};
    HotWordsConfig = {17, 33};
    TranslationPasses = 6;
    BigContextSize = 30;
    KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = false;
    ConcordancePath = "/c";
    FreqPath = "/f";
    CorpusFreqPath = "/cf";
    const auto frequency = FrequencyConfigs;
    std::string path = Work.Write("all.ini", "[Stale]\r\nOld=1\r\n");
    ASSERT_TRUE(SavePrefsToFile(path));
    EXPECT_TRUE(Messages.Messages.empty());

    auto common = std::move(CommonConfig);
    auto languages = std::move(LanguageConfigs);
    auto watched = WatchedTags;
    CommonConfig = std::make_unique<TCommonConcordConfig>();
    ResetGlobalsForTest();
    CommonConfig = std::make_unique<TCommonConcordConfig>();
    ASSERT_TRUE(LoadPrefsFromFile(path));

    ExpectSameCommon(*common, *CommonConfig);
    ASSERT_EQ(LanguagesCount, 4);
    for (int lang = 0; lang < 4; ++lang) {
        SCOPED_TRACE(lang);
        ExpectSameLanguage(*languages[lang], *LanguageConfigs[lang]);
        const TFrequencyConfig &a = frequency[lang], &b = FrequencyConfigs[lang];
        EXPECT_EQ(std::tie(a.MinimumFrequency, a.MaximumFrequency, a.MaximumLines, a.CollocateSpan,
                           a.CollocHighLightTop, a.IgnoreCase, a.SkipTags, a.CountAllWords),
                  std::tie(b.MinimumFrequency, b.MaximumFrequency, b.MaximumLines, b.CollocateSpan,
                           b.CollocHighLightTop, b.IgnoreCase, b.SkipTags, b.CountAllWords));
    }
    ASSERT_EQ(WatchedTags.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(WatchedTags[i].Name + WatchedTags[i].TagStart + "|" + WatchedTags[i].TagStop,
                  watched[i].Name + watched[i].TagStart + "|" + watched[i].TagStop);
        EXPECT_EQ(WatchedTags[i].NoStop, watched[i].NoStop);
    }
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 17);
    EXPECT_EQ(HotWordsConfig.MaxHotWordsCandidates, 33);
    EXPECT_EQ(TranslationPasses, 6);
    EXPECT_EQ(BigContextSize, 30);
    EXPECT_FALSE(KeepLinesPages || KeepWatchedTags || KeepFrequency || KeepSegmentIndexes);
    EXPECT_EQ(ConcordancePath + FreqPath + CorpusFreqPath, "/c/f/cf");

    TIniFile ini(path);
    EXPECT_FALSE(ini.SectionExists("Stale"));
    EXPECT_EQ(ini.ReadString("TextFormat.02", "HStart", ""), "h2");
    EXPECT_EQ(ini.ReadString("GeneralConfiguration.01", "NormalFont", ""), "Courier New,11,3,255,204");
    EXPECT_EQ(ini.ReadString("GeneralConfiguration.01", "HiliteFont", ""), "Arial,9,12,-16777208,0");
    EXPECT_EQ(ini.ReadString("AdvancedSort.00", "First", ""), "Tracked tag");
    EXPECT_EQ(ini.ReadString("AdvancedSort.00", "ColThird", "missing"), "None");
    EXPECT_EQ(ini.ReadString("ConcordanceConfiguration", "WildCardMatchWords", "missing"), "");
    EXPECT_EQ(ini.ReadString("Watched.speaker", "TagStart", ""), "who=\"");
    EXPECT_EQ(ini.ReadString("Word Tag Settings", "MetaTagStrings0", ""), "NN, NNS");
    for (const char* key : {"WorkspacePath", "RecentWorkspacesCount", "SaveOnExit"})
        EXPECT_FALSE(ini.ValueExists("GeneralConfiguration", key)) << key;
}

TEST_F(ConcPrefsTest, HandWrittenFileGivesDefaultsForWhatIsMissing) {
    LoadText(
        "[generalCONFIGURATION]\n"
        "  LanguagesCount =  2  \n"
        "languagescount=3\n"
        "[ConcordanceConfiguration]\n"
        "MAXIMUMHITS = 77\n"
        "MaximumHits=88\n"
        "[ConcordanceConfiguration.01]\n"
        "nonwordchars = \" .,\" \n");
    const TCommonConcordConfig& c = *CommonConfig;
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_EQ(c.MaximumHits, 77);
    EXPECT_EQ(LanguageConfigs[1]->NonWordChars, " .,");
    EXPECT_EQ(LanguageConfigs[0]->NonWordChars, DefaultNonWordChars);
    EXPECT_EQ(BigContextSize, 10);
    EXPECT_TRUE(KeepLinesPages && KeepWatchedTags && KeepFrequency && KeepSegmentIndexes);
    EXPECT_EQ(c.LastUsedLanguage, 0);
    EXPECT_EQ(c.FrequencyOfHits, 1);
    EXPECT_EQ(c.ContextType, 0);
    EXPECT_EQ(
        (std::array<int32_t, 4>{c.ContextSizes[0], c.ContextSizes[1], c.ContextSizes[2], c.ContextSizes[3]}),
        (std::array<int32_t, 4>{40, 8, 3, 1}));
    EXPECT_EQ(std::string({c.WildCard0orMore, c.WildCard0or1, c.WildCardExactly1, c.WildCardMatchWords}),
              "*%?@");
    EXPECT_EQ(c.MatchWordsLo, 2);
    EXPECT_EQ(c.MatchWordsHi, 5);
    EXPECT_TRUE(c.IgnoreCase);
    EXPECT_FALSE(c.UseSkipEqualChars || c.RegularExpressions || c.SentenceMode || c.TagSearch);
    EXPECT_EQ(c.TagSearchSeparator, '&');
    EXPECT_EQ(c.AlignFormat, 1);
    EXPECT_EQ(c.AlignDelimiter + "|" + c.AlignStart + "|" + c.AlignStop + "|" + c.AlignAttrib,
              "seg|seg|/seg|");
    EXPECT_EQ(c.CollocationSort.Keys[0].Key, skNone);
    EXPECT_EQ(std::string({c.TagStart, c.TagStop, c.wTagDelimiter, c.wTagStop}), "<>_>");
    EXPECT_EQ(c.PageSeparator, "");
    EXPECT_EQ(c.WordTag, 0);
    EXPECT_TRUE(c.wTagStarts.empty() && c.MetaTags.empty() && WatchedTags.empty());
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 5);
    EXPECT_EQ(HotWordsConfig.MaxHotWordsCandidates, 10);
    EXPECT_EQ(TranslationPasses, 4);
    EXPECT_EQ(c.exportFilePrefix + "|" + c.exportTag + "|" + c.exportAttribute, "A_|seg|id");
    EXPECT_EQ(c.exportAlignFormat, 1);

    const TConcordConfig& l = *LanguageConfigs[1];
    uint32_t defaultId = platform::UserDefaultLangId();
    EXPECT_EQ(l.LocaleId, defaultId);
    EXPECT_EQ(l.LanguageName, LanguageNameOfLCID(defaultId));
    EXPECT_EQ(l.SkippingChars, "-=");
    EXPECT_EQ(l.SentDelimiters, ".!?");
    EXPECT_EQ(l.HeadingFormat, 0);
    EXPECT_EQ(l.ParagraphFormat, 1);
    EXPECT_EQ(l.SentenceFormat, 1);
    EXPECT_EQ(l.HStart + l.HStop + l.PStart + l.PStop + l.SStart + l.SStop, "H/HP/PS/S");
    EXPECT_EQ(l.AdvancedSort.Keys[1].Key, skNone);
    EXPECT_EQ(l.Fonts, TConcordConfig(1).Fonts);
    EXPECT_FALSE(l.StopList.Active);
    const TFrequencyConfig& f = FrequencyConfigs[1];
    EXPECT_EQ((std::array<int32_t, 5>{f.MinimumFrequency, f.MaximumFrequency, f.MaximumLines, f.CollocateSpan,
                                      f.CollocHighLightTop}),
              (std::array<int32_t, 5>{3, 0, 100, 2, 5}));
    EXPECT_TRUE(f.IgnoreCase && f.SkipTags && f.CountAllWords);
    EXPECT_EQ(l.RankFunctionThreshold, 0.001);
    EXPECT_EQ(l.ParadigmThreshold, 0.6);
    EXPECT_EQ(l.ParadigmRankThreshold, 0.0001);
}

TEST_F(ConcPrefsTest, OutOfRangeValuesAreCorrected) {
    struct TCase {
        const char* Text;
        int Big, Languages, ContextType, Export, Lo;
    };
    const TCase cases[] = {
        {"BigContextSize=25\nLanguagesCount=7\n[ConcordanceConfiguration]\nContextType=258\nMatchWordsLo="
         "258\n"
         "[CorpusExport]\nexportAlignFormat=2\n",
         10, 4, 2, 1, 2},
        {"BigContextSize=40\nLanguagesCount=-2\n[ConcordanceConfiguration]\nContextType=261\nMatchWordsLo=7\n"
         "[CorpusExport]\nexportAlignFormat=3\n",
         10, 1, 0, 3, 7},
        {"BigContextSize=20\nLanguagesCount=0\n[ConcordanceConfiguration]\nContextType=5\n", 20, 0, 0, 1, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        LoadText(std::string("[GeneralConfiguration]\n") + c.Text);
        EXPECT_EQ(BigContextSize, c.Big);
        EXPECT_EQ(LanguagesCount, c.Languages);
        EXPECT_EQ(CommonConfig->ContextType, c.ContextType);
        EXPECT_EQ(CommonConfig->exportAlignFormat, c.Export);
        EXPECT_EQ(CommonConfig->MatchWordsLo, c.Lo);
    }
    // A language this system does not know falls back to the user's language.
    LoadText("[GeneralConfiguration.00]\nLanguage=74565\nLanguageName=Klingon\n");
    EXPECT_EQ(LanguageConfigs[0]->LocaleId, platform::UserDefaultLangId());
    EXPECT_EQ(LanguageConfigs[0]->LanguageName, LanguageNameOfLCID(platform::UserDefaultLangId()));
}

TEST_F(ConcPrefsTest, NumberedListKeys) {
    auto keysOf = [](int Count) {
        std::vector<std::string> list;
        for (int i = 0; i < Count; ++i) list.push_back("v" + std::to_string(i));
        auto ini = std::make_unique<TIniFile>("unused");
        WriteStringList(*ini, "S", "P", list);
        std::vector<std::string> back;
        ReadStringList(*ini, "S", "P", back);
        EXPECT_EQ(back.size(), size_t(std::min(Count, 10000)));
        return ini;
    };
    auto ten = keysOf(10);
    EXPECT_TRUE(ten->ValueExists("S", "P0") && ten->ValueExists("S", "P9") && !ten->ValueExists("S", "P00"));
    auto eleven = keysOf(11);
    EXPECT_TRUE(eleven->ValueExists("S", "P00") && eleven->ValueExists("S", "P10") &&
                !eleven->ValueExists("S", "P0"));
    auto many = keysOf(150);
    EXPECT_TRUE(many->ValueExists("S", "P99") && many->ValueExists("S", "P100") &&
                many->ValueExists("S", "P149"));
    EXPECT_EQ(many->ReadString("S", "P05", ""), "v5");
    auto thousand = keysOf(1001);
    EXPECT_EQ(thousand->ReadString("S", "P07", ""), "v7");
    EXPECT_EQ(thousand->ReadString("S", "P0100", ""), "v100");
    EXPECT_EQ(thousand->ReadString("S", "P1000", ""), "v1000");
    EXPECT_FALSE(thousand->ValueExists("S", "P100"));
    auto capped = keysOf(10001);
    EXPECT_EQ(capped->ReadInteger("S", "PCount", 0), 10000);
    auto empty = keysOf(0);
    EXPECT_EQ(empty->Content(), "[S]\r\nPCount=0\r\n");

    // Without a count, twenty two-digit keys are tried and empty values skipped.
    std::vector<std::string> list = {"stale"};
    TIniFile noCount(Work.Write("l.ini", "[S]\nP00=a\nP01=\nP1=single\nP19=t\nP20=beyond\n"));
    ReadStringList(noCount, "S", "P", list);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "t"}));
}

TEST_F(ConcPrefsTest, CharacterKeysAndTheirTrims) {
    LoadText(
        "[ConcordanceConfiguration]\nWildCard0orMore=\nWildCard0or1=xyz\nTagSearchSeparator=\n"
        "[Tag Settings]\nTagStart=\"  [  \"\nTagStop=\"   \"\nPageSeparator=\"  \t<pb>  \"\n"
        "[Word Tag Settings]\nwTagDelimiter=\"\t/\"\nwTagStop=\"\x01\"\n");
    const TCommonConcordConfig& c = *CommonConfig;
    EXPECT_EQ(c.WildCard0orMore, '\0');
    EXPECT_EQ(c.WildCard0or1, 'x');
    EXPECT_EQ(c.WildCardExactly1, '?');
    EXPECT_EQ(c.TagSearchSeparator, '\0');
    EXPECT_EQ(c.TagStart, '[');
    EXPECT_EQ(c.TagStop, '>');
    EXPECT_EQ(c.PageSeparator, "\t<pb>");
    EXPECT_EQ(c.wTagDelimiter, '/');
    EXPECT_EQ(c.wTagStop, '>');
}

TEST_F(ConcPrefsTest, SortKeysByNameAndOlderNumbers) {
    using T = TSortKeyTable;
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "3"), sk1L);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "0"), skSearchTerm);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "6"), sk3R);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "7"), skOriginalOrder);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "10"), skTrackedTag);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "11"), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "-1"), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "99999999999999999999"), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "Tracked tag"), skTrackedTag);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "tracked tag"), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, ""), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Collocation, "Original order"), skNone);
    EXPECT_EQ(SortKeyFromIniValue(T::Collocation, "2R"), sk2R);
    EXPECT_EQ(SortKeyFromIniValue(T::Collocation, ""), skNone);

    // The collocation family has no names for 9, 11 and 12: they are written empty and read as none.
    CommonConfig->CollocationSort = SortRecord(skOriginalOrder, skDefined, skTrackedTag, "", 0);
    std::string path = Work.File("sort.ini");
    ASSERT_TRUE(SavePrefsToFile(path));
    EXPECT_EQ(TIniFile(path).ReadString("GeneralConfiguration", "ColFirst", "missing"), "");
    ASSERT_TRUE(LoadPrefsFromFile(path));
    for (const auto& key : CommonConfig->CollocationSort.Keys) EXPECT_EQ(key.Key, skNone);
}

TEST_F(ConcPrefsTest, FontsHeadingsMetaTagsAndTrackedTags) {
    TFontSpec font;
    FontFromIniString("Arial,10,1,255,0", font);
    EXPECT_EQ(font, (TFontSpec{"Arial", 10, fsBold, clRed, 0}));
    FontFromIniString("", font);
    EXPECT_EQ(font.Name, "Arial");
    FontFromIniString("Courier New;12", font);
    EXPECT_EQ(font, (TFontSpec{"Courier New", 12, 0, 0, 0}));
    FontFromIniString("X,abc,2:-16777208", font);
    EXPECT_EQ(font, (TFontSpec{"X", 0, fsItalic, clWindowText, 0}));

    LoadText(
        "[Headings.00]\nNamesCount=2\nNames0=Broken\nNames1=Whole\n"
        "[Heading.Broken.00]\nHeadStart=a\nHeadStop=b\nTextStart=c\nTextStop=\n"
        "[Heading.Whole.00]\nHeadStart=a\nHeadStop=b\nTextStart=c\nTextStop=d\n"
        "[Word Tag Settings]\nMetaTagNamesCount=2\nMetaTagNames0= N \nMetaTagNames1=V\n"
        "MetaTagStringsCount=2\nMetaTagStrings0=\" NN , ,NNS,\"\nMetaTagStrings1=\"   \"\n"
        "[Tag Settings]\nWatchedNamesCount=3\nWatchedNames0=a\nWatchedNames1=b\n");
    ASSERT_EQ(LanguageConfigs[0]->Headings.size(), 1u);
    EXPECT_EQ(LanguageConfigs[0]->Headings[0].Name, "Whole");
    ASSERT_EQ(CommonConfig->MetaTags.size(), 1u);
    EXPECT_EQ(CommonConfig->MetaTags[0].Name, "N");
    EXPECT_EQ(CommonConfig->MetaTags[0].Object, (std::vector<std::string>{"NN", "NNS"}));
    EXPECT_TRUE(WatchedTags.empty());

    LoadText(
        "[Word Tag "
        "Settings]\nMetaTagNamesCount=3\nMetaTagNames0=A\nMetaTagNames1=B\nMetaTagStringsCount="
        "3\nMetaTagStrings0=x\n"
        "MetaTagStrings1=y\nMetaTagStrings2=z\n");
    EXPECT_TRUE(CommonConfig->MetaTags.empty());

    // What the loader would drop is not written, so the counts stay in step with the lists.
    CommonConfig->MetaTags = {{"A", {"x"}}, {"Empty", {}}, {" ", {"y"}}, {"C", {"z", "w"}}};
    WatchedTags = {{"", "<", ">"}, {"div", "<div", ">"}};
    std::string path = Work.File("tags.ini");
    ASSERT_TRUE(SavePrefsToFile(path));
    ASSERT_TRUE(LoadPrefsFromFile(path));
    ASSERT_EQ(CommonConfig->MetaTags.size(), 2u);
    EXPECT_EQ(CommonConfig->MetaTags[1].Name, "C");
    EXPECT_EQ(CommonConfig->MetaTags[1].Object, (std::vector<std::string>{"z", "w"}));
    ASSERT_EQ(WatchedTags.size(), 1u);
    EXPECT_EQ(WatchedTags[0].Name, "div");
}

TEST_F(ConcPrefsTest, StopListsAndSentenceExceptions) {
    std::string words = Work.Write("stop.txt", "und\r\noder\n");
    LoadText(
        "[GeneralConfiguration]\nLanguagesCount=3\n"
        "[GeneralConfiguration.01]\nLanguage=1049\nLanguageName=Russian\n"
        "[SentDelimitersExcepts.01]\nWordCount=2\nWord0=\xC0\xC1\xC2\nWord1=Dr\n"
        "[FrequencyConfiguration.00]\nStopListFileName=\n"
        "[StopList.00]\nWordCount=1\nWord0=the\n"
        "[FrequencyConfiguration.01]\nStopListFileName=" +
        words + "\n[FrequencyConfiguration.02]\nStopListFileName=" + Work.File("missing.txt") + "\n");
    EXPECT_EQ(LanguageConfigs[0]->StopList.Words(), (std::vector<std::string>{"the"}));
    EXPECT_TRUE(LanguageConfigs[0]->StopList.Active);
    EXPECT_EQ(LanguageConfigs[1]->StopList.Words(), (std::vector<std::string>{"und", "oder"}));
    EXPECT_TRUE(LanguageConfigs[2]->StopList.Words().empty());
    ASSERT_EQ(Messages.Texts().size(), 1u);
    EXPECT_EQ(Messages.Texts()[0],
              "Unable to load stop-list words from file \r\n" + Work.File("missing.txt"));
    // Lower-cased through the language's own code page (1251: А Б В -> а б в).
    EXPECT_EQ(LanguageConfigs[1]->SentenceExceptions, (std::vector<std::string>{"\xE0\xE1\xE2", "dr"}));

    std::string path = Work.File("stop.ini");
    ASSERT_TRUE(SavePrefsToFile(path));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("FrequencyConfiguration.01", "StopListFileName", ""), words);
    EXPECT_FALSE(ini.SectionExists("StopList.01"));
    EXPECT_EQ(ini.ReadString("StopList.00", "Word0", ""), "the");
}

TEST_F(ConcPrefsTest, LocationOfThePreferencesFile) {
    // Nothing anywhere: read from the config folder, and saving creates the file there.
    EXPECT_EQ(GetIniFileNameForRead(), ConfigIni());
    LanguageConfigs[0]->CorpusPath = "/first";
    ASSERT_TRUE(SavePreferences());
    EXPECT_TRUE(std::filesystem::exists(ConfigIni()));
    EXPECT_FALSE(std::filesystem::exists(ProgramIni()));

    // A writable file in the program folder wins both ways.
    Program.Write(IniFileName, "[GeneralConfiguration.00]\nCorpusPath=/program\n");
    EXPECT_EQ(GetIniFileNameForRead(), ProgramIni());
    EXPECT_EQ(GetIniFileName(), ProgramIni());
    ASSERT_TRUE(LoadPreferences());
    EXPECT_EQ(LanguageConfigs[0]->CorpusPath, "/program");

    // Read-only there: the first start reads it; saving goes to the config folder, which from then on is
    // where the settings are read from.
    std::filesystem::remove(ConfigIni());
    SetIniWritableProbe(
        [this](const std::string& Path) { return Path != ProgramIni() && IniLocationWritable(Path); });
    EXPECT_EQ(GetIniFileNameForRead(), ProgramIni());
    ASSERT_TRUE(LoadPreferences());
    EXPECT_EQ(LanguageConfigs[0]->CorpusPath, "/program");
    WorkspacePath = "/ws";
    SaveWorkspacePath();
    EXPECT_EQ(GetIniFileNameForRead(), ConfigIni());
    WorkspacePath.clear();
    LoadWorkspacePath();
    EXPECT_EQ(WorkspacePath, "/ws");
    EXPECT_EQ(TIniFile(ConfigIni()).ReadString("GeneralConfiguration.00", "CorpusPath", ""), "/program");
    LanguageConfigs[0]->CorpusPath = "/changed";
    ASSERT_TRUE(SavePreferences());
    ASSERT_TRUE(LoadPreferences());
    EXPECT_EQ(LanguageConfigs[0]->CorpusPath, "/changed");
    EXPECT_EQ(ReadWholeFile(ProgramIni()), "[GeneralConfiguration.00]\nCorpusPath=/program\n");

    // Nowhere to write: nothing is saved and nothing is said.
    SetIniWritableProbe([](const std::string&) { return false; });
    EXPECT_EQ(GetIniFileName(), "");
    EXPECT_FALSE(SavePreferences());
    EXPECT_TRUE(Messages.Messages.empty());
}

TEST_F(ConcPrefsTest, AWritableFileInAFolderThatTakesNoNewFileIsNotWhereSettingsGo) {
    // The file itself opens for writing, but the replacement's temporary file cannot be made beside it.
    Program.Write(IniFileName, "[GeneralConfiguration.00]\nCorpusPath=/program\n");
    const std::string programFolder = Program.Path().string() + "/";
    SetIniWritableProbe(
        [&](const std::string& Path) { return Path != programFolder && IniLocationWritable(Path); });
    EXPECT_EQ(GetIniFileNameForRead(), ProgramIni());
    ASSERT_TRUE(LoadPreferences());
    EXPECT_EQ(GetIniFileName(), ConfigIni());
    LanguageConfigs[0]->CorpusPath = "/saved";
    ASSERT_TRUE(SavePreferences());
    EXPECT_TRUE(Messages.Messages.empty());
    EXPECT_EQ(GetIniFileNameForRead(), ConfigIni());
    ASSERT_TRUE(LoadPreferences());
    EXPECT_EQ(LanguageConfigs[0]->CorpusPath, "/saved");

    // A config folder that takes no new file leaves nowhere to save.
    const std::string configFolder = Config.Path().string() + "/";
    SetIniWritableProbe([&](const std::string& Path) {
        return Path != programFolder && Path != configFolder && IniLocationWritable(Path);
    });
    EXPECT_EQ(GetIniFileName(), "");
    EXPECT_FALSE(SavePreferences());

    // A program-folder file made read-only by its mode is no write location, even for root.
    SetIniWritableProbe({});
    std::filesystem::permissions(ProgramIni(), std::filesystem::perms::owner_read);
    EXPECT_EQ(GetIniFileName(), ConfigIni());
}

TEST_F(ConcPrefsTest, FailuresLeaveTheOldFileAndSaySo) {
    std::string path = Work.Write("keep.ini", "[GeneralConfiguration]\nLanguagesCount=1\n");
    {
        TFileSizeLimit limit(64);
        EXPECT_FALSE(SavePrefsToFile(path));
    }
    EXPECT_EQ(ReadWholeFile(path), "[GeneralConfiguration]\nLanguagesCount=1\n");
    std::string nowhere = Work.File("no/such/folder/x.TWS");
    EXPECT_FALSE(SaveWorkspacePrefs(nowhere));
    std::string readOnly = Work.Write("ro.TWS", "[GeneralConfiguration]\nLanguagesCount=1\n");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    EXPECT_FALSE(SaveWorkspacePrefs(readOnly));
    EXPECT_EQ(ReadWholeFile(readOnly), "[GeneralConfiguration]\nLanguagesCount=1\n");
    LanguagesCount = 1;
    EXPECT_FALSE(LoadPrefsFromFile(Work.Path().string()));
    EXPECT_EQ(LanguagesCount, 1);
    EXPECT_EQ(Messages.Texts(), (std::vector<std::string>{
                                    "Could not write to configuration file " + path + "!",
                                    "Could not write to configuration file " + nowhere + "!",
                                    "Could not write to configuration file " + readOnly + "!",
                                    "Could not read from configuration file " + Work.Path().string() + "!"}));
    for (const TMessageRequest& m : Messages.Messages) EXPECT_EQ(m.Type, mtError);
}

// Raises from the message box of a stop list that cannot be read: an error half-way through a language.
class TFailingStopListMessages : public TScriptedBackend {
public:
    int Show(const TMessageRequest& Request) override {
        if (Request.Text.starts_with("Unable to load stop-list")) throw std::runtime_error("injected");
        return TScriptedBackend::Show(Request);
    }
};

TEST_F(ConcPrefsTest, AFailureHalfWayCountsOnlyTheLanguagesStoredSoFar) {
    const std::string path = Work.Write("fail.ini",
                                        "[GeneralConfiguration]\nLanguagesCount=4\n"
                                        "[GeneralConfiguration.00]\nCorpusPath=/zero\n"
                                        "[GeneralConfiguration.01]\nCorpusPath=/one\n"
                                        "[FrequencyConfiguration.01]\nStopListFileName=" +
                                            Work.File("missing.txt") + "\n");
    TFailingStopListMessages failing;
    EXPECT_FALSE(LoadPrefsFromFile(path));
    EXPECT_EQ(failing.Texts(),
              std::vector<std::string>{"Could not read from configuration file " + path + "!"});
    ASSERT_EQ(LanguagesCount, 2);
    EXPECT_EQ(LanguageConfigs[0]->CorpusPath, "/zero");
    EXPECT_EQ(LanguageConfigs[1]->CorpusPath, "/one");
    EXPECT_FALSE(LanguageConfigs[2]);
    EXPECT_FALSE(LanguageConfigs[3]);
}

TEST_F(ConcPrefsTest, WorkspaceKeysLiveOnlyInThePreferencesFile) {
    Config.Write(IniFileName, "; mine\r\n[MainForm]\r\nLeft=10\r\n");
    std::string kept = Work.Write("a.TWS", "");
    WorkspacePath = "/work";
    RecentWorkspaces = {kept, Work.File("gone.TWS")};
    SaveOnExit = true;
    SaveWorkspacePath();
    SaveRecentWorkspaces();
    SaveSaveOnExit();
    TIniFile ini(ConfigIni());
    EXPECT_EQ(ini.ReadInteger("MainForm", "Left", 0), 10);
    EXPECT_EQ(ReadWholeFile(ConfigIni()).substr(0, 8), "; mine\r\n");

    WorkspacePath.clear();
    RecentWorkspaces.clear();
    SaveOnExit = false;
    LoadWorkspacePath();
    LoadRecentWorkspaces();
    LoadSaveOnExit();
    EXPECT_EQ(WorkspacePath, "/work");
    EXPECT_EQ(RecentWorkspaces, std::vector<std::string>{kept});
    EXPECT_TRUE(SaveOnExit);

    // A workspace's settings file holds the settings but none of these keys, and loading it replaces the
    // languages.
    LanguagesCount = 2;
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    ASSERT_TRUE(SaveWorkspacePrefs(kept));
    TIniFile tws(kept);
    EXPECT_TRUE(tws.SectionExists("TextFormat.01"));
    EXPECT_FALSE(tws.SectionExists("MainForm"));
    for (const char* key : {"WorkspacePath", "RecentWorkspacesCount", "SaveOnExit"})
        EXPECT_FALSE(tws.ValueExists("GeneralConfiguration", key)) << key;
    ASSERT_TRUE(LoadPrefsFromFile(ConfigIni()));
    EXPECT_EQ(LanguagesCount, 1);
    ASSERT_TRUE(LoadWorkspacePrefs(kept));
    EXPECT_EQ(LanguagesCount, 2);
}

TEST_F(ConcPrefsTest, ConfigurationUnitKeepsTheWorkspaceKeysAcrossARun) {
    std::string real = platform::WindowsFolder() + IniFileName;
    std::filesystem::remove(real);
    WindowsFolder = platform::WindowsFolder();
    WorkspacePath = "/across";
    SaveOnExit = true;
    RecentWorkspaces = {Work.Write("r.TWS", "")};
    FinalizeConfigUnit();
    EXPECT_TRUE(WorkspacePath.empty() && RecentWorkspaces.empty());
    InitConfigUnit();
    EXPECT_EQ(WorkspacePath, "/across");
    EXPECT_TRUE(SaveOnExit);
    EXPECT_EQ(RecentWorkspaces.size(), 1u);
    std::filesystem::remove(real);
}

}  // namespace
