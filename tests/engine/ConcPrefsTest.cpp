#include "engine/ConcPrefs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "platform/IniFiles.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "platform/WholeFile.h"
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
    C.ContextSizes = {110, 12, 7, 1, 1};
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
    EXPECT_EQ(LanguageConfigs[0]->NonWordChars, DefaultWordDelimiters(LanguageConfigs[0]->LocaleId));
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
        int Big, Languages, ContextType, Export, Lo, Hi;
    };
    const TCase cases[] = {
        {"BigContextSize=25\nLanguagesCount=7\n[ConcordanceConfiguration]\nContextType=258\nMatchWordsLo="
         "258\n[CorpusExport]\nexportAlignFormat=2\n",
         10, 4, 0, 1, 5, 5},
        {"BigContextSize=40\nLanguagesCount=-2\n[ConcordanceConfiguration]\nContextType=261\nMatchWordsLo=9\n"
         "MatchWordsHi=1\n[CorpusExport]\nexportAlignFormat=3\n",
         10, 1, 0, 3, 1, 1},
        {"BigContextSize=20\nLanguagesCount=0\n[ConcordanceConfiguration]\nContextType=5\nMatchWordsLo=-1\n"
         "MatchWordsHi=99\n",
         20, 0, 0, 1, 0, 9},
        {"[ConcordanceConfiguration]\nContextType=-1\nMatchWordsHi=0\n", 10, 1, 0, 1, 1, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        LoadText(std::string("[GeneralConfiguration]\n") + c.Text);
        EXPECT_EQ(BigContextSize, c.Big);
        EXPECT_EQ(LanguagesCount, c.Languages);
        EXPECT_EQ(CommonConfig->ContextType, c.ContextType);
        EXPECT_EQ(CommonConfig->exportAlignFormat, c.Export);
        EXPECT_EQ(CommonConfig->MatchWordsLo, c.Lo);
        EXPECT_EQ(CommonConfig->MatchWordsHi, c.Hi);
    }

    // Numbers are brought into the ranges of their dialogs; a format code outside its list is its default.
    LoadText(
        "[GeneralConfiguration]\nLanguagesCount=2\n"
        "[ConcordanceConfiguration]\nLastUsedLanguage=-3\nMaximumHits=-5\nFrequencyOfHits=0\n"
        "ContextChars=5000\nContextWords=-1\nContextLines=11\nContextSentences=0\n"
        "[AlignFormat]\nFormat=4\n[Word Tag Settings]\nWordTag=3\n"
        "[GlobalHotWordsConfiguration]\nMinHitsForHotWords=0\nMaxHotWordsCandidates=99999\nTranslationPasses="
        "31\n"
        "[GeneralConfiguration]\nColMaxItems=1001\n"
        "[TextFormat.00]\nHeadingFormat=255\nParagraphFormat=7\nSentenceFormat=2\n"
        "[TextFormat.01]\nHeadingFormat=3\nParagraphFormat=3\nSentenceFormat=0\n"
        "[AdvancedSort.00]\nMaxItems=-4\nColMaxItems=2000\n"
        "[FrequencyConfiguration.00]\nMinimumFrequency=0\nMaximumFrequency=40000\nMaximumLines=2000000\n"
        "CollocateSpan=9\nCollocHighLightTop=-1\n"
        "[LanguageHotWordsConfiguration.00]\nRankFunctionThreshold=-1\nParadigmThreshold=-0.5\n"
        "ParadigmRankThreshold=inf\n");
    const TCommonConcordConfig& c = *CommonConfig;
    EXPECT_EQ(c.LastUsedLanguage, 0);
    EXPECT_EQ(c.MaximumHits, 1);
    EXPECT_EQ(c.FrequencyOfHits, 1);
    EXPECT_EQ(c.ContextSizes, (std::array<int32_t, 5>{1000, 0, 10, 1, 1}));
    EXPECT_EQ(c.AlignFormat, 1);
    EXPECT_EQ(c.WordTag, 0);
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 1);
    EXPECT_EQ(HotWordsConfig.MaxHotWordsCandidates, 32767);
    EXPECT_EQ(TranslationPasses, 30);
    EXPECT_EQ(c.CollocationSort.ShowFirst, 0)
        << "ColMaxItems of GeneralConfiguration is read from the first section";
    const TConcordConfig& l0 = *LanguageConfigs[0];
    EXPECT_EQ(std::tie(l0.HeadingFormat, l0.ParagraphFormat, l0.SentenceFormat), std::make_tuple(0, 1, 1));
    const TConcordConfig& l1 = *LanguageConfigs[1];
    EXPECT_EQ(std::tie(l1.HeadingFormat, l1.ParagraphFormat, l1.SentenceFormat), std::make_tuple(3, 3, 0));
    EXPECT_EQ(l0.AdvancedSort.ShowFirst, 0);
    EXPECT_EQ(l0.CollocationSort.ShowFirst, 1000);
    const TFrequencyConfig& f = FrequencyConfigs[0];
    EXPECT_EQ((std::array<int32_t, 5>{f.MinimumFrequency, f.MaximumFrequency, f.MaximumLines, f.CollocateSpan,
                                      f.CollocHighLightTop}),
              (std::array<int32_t, 5>{1, 32000, 950000, 4, 0}));
    EXPECT_EQ(l0.RankFunctionThreshold, 0);
    EXPECT_EQ(l0.ParadigmThreshold, 0);
    EXPECT_EQ(l0.ParadigmRankThreshold, 0.0001);

    // The language last used must be one of the corpus's.
    LoadText("[GeneralConfiguration]\nLanguagesCount=2\n[ConcordanceConfiguration]\nLastUsedLanguage=3\n");
    EXPECT_EQ(CommonConfig->LastUsedLanguage, 0);
    LoadText("[GeneralConfiguration]\nLanguagesCount=4\n[ConcordanceConfiguration]\nLastUsedLanguage=3\n");
    EXPECT_EQ(CommonConfig->LastUsedLanguage, 3);
}

TEST_F(ConcPrefsTest, StoredLanguagesMustBeUsableLocalesOfTheTable) {
    const uint32_t user = platform::UserDefaultLangId();
    const std::string userName = LanguageNameOfLCID(user);
    // Neutral and unknown identifiers (ICU maps them to its root locale), Johab (no converter), and a
    // known language with a sort order in its high word: the user's language instead.
    for (uint32_t id : {0x0u, 0x400u, 0x800u, 0x417u, 0x812u, 0x20404u, 0x10411u, 74565u}) {
        SCOPED_TRACE(id);
        LoadText("[GeneralConfiguration.00]\nLanguage=" + std::to_string(id) + "\nLanguageName=Stored\n");
        EXPECT_EQ(LanguageConfigs[0]->LocaleId, user);
        EXPECT_EQ(LanguageConfigs[0]->LanguageName, userName);
    }
    // A usable language keeps its stored name; without one it gets the table's.
    LoadText(
        "[GeneralConfiguration]\nLanguagesCount=3\n"
        "[GeneralConfiguration.00]\nLanguage=1049\n"
        "[GeneralConfiguration.01]\nLanguage=3098\nLanguageName=Srpski\n"
        "[GeneralConfiguration.02]\nLanguage=2074\nLanguageName=\n");
    EXPECT_EQ(LanguageConfigs[0]->LocaleId, 0x0419u);
    EXPECT_EQ(LanguageConfigs[0]->LanguageName, "Russian");
    EXPECT_EQ(LanguageConfigs[1]->LocaleId, 0x0C1Au);
    EXPECT_EQ(LanguageConfigs[1]->LanguageName, "Srpski");
    EXPECT_EQ(LanguageConfigs[2]->LanguageName, "Serbian (Latin)");
    // Cyrillic Serbian text converts through its own code page, not through 1250's question marks.
    EXPECT_EQ(LangCodePage(1), 1251);
    EXPECT_EQ(platform::CodePageToUtf8(LangCodePage(1), "\xD1\xF0\xE1\xE8\xBC\xE0"),
              "\xD0\xA1\xD1\x80\xD0\xB1\xD0\xB8\xD1\x98\xD0\xB0");
    EXPECT_EQ(LangLowerCase("\xD1", 1), "\xF1");
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
    // Older numbers decode to codes the collocation family may not have: those are no key of it.
    EXPECT_EQ(SortKeyFromIniValue(T::Collocation, "6"), sk3R);
    for (const char* n : {"7", "9", "10"}) EXPECT_EQ(SortKeyFromIniValue(T::Collocation, n), skNone) << n;
    EXPECT_EQ(SortKeyFromIniValue(T::Sort, "9"), skDefined);
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
    EXPECT_EQ(font, (TFontSpec{"X", 12, fsItalic, clWindowText, 0}));
    // Values no font dialog offers: the size is kept, unknown style bits dropped, the colour brought to
    // a COLORREF or a system colour, an impossible character set made ANSI, an empty name kept.
    FontFromIniString("Y,-5,44,16777471,300", font);
    EXPECT_EQ(font, (TFontSpec{"Y", 12, fsStrikeOut | fsUnderline, clRed, 0}));
    FontFromIniString("Z,600,255,-5,204", font);
    EXPECT_EQ(font, (TFontSpec{"Z", 12, 15, clSystemColor | 0xFB, 204}));
    FontFromIniString(",9,1,0,0", font);
    EXPECT_EQ(font, (TFontSpec{"Z", 9, fsBold, clBlack, 0}));

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
    EXPECT_FALSE(ini.ValueExists("StopList.01", "WordCount"));
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

// ---- Effects, foreign sections and hostile files -----------------------------------------------------

TEST_F(ConcPrefsTest, EverySettingWithAnEffectHasItAfterAReload) {
    // Language 0: English with equal characters and a stop list switched off; language 1: Russian with
    // an active stop list that ignores case; language 2: Cyrillic Serbian.
    CommonConfig->UseSkipEqualChars = true;
    CommonConfig->IgnoreCase = true;
    CommonConfig->ContextSizes = {60, 4, 2, 1, 1};
    LanguagesCount = 3;
    for (int lang = 1; lang < 3; ++lang) LanguageConfigs[lang] = std::make_unique<TConcordConfig>(lang);
    TConcordConfig& en = *LanguageConfigs[0];
    en.SetLanguage(0x0409, "English (United States)");
    en.EqualChars = "e=\xE9=\xE8; a=\xE0";
    ASSERT_TRUE(ParseEqualChars(0));
    en.StopList.SetWords({"the", "of"});
    en.StopList.SetActive(false);
    en.SentenceExceptions = {"dr", "etc"};
    TConcordConfig& ru = *LanguageConfigs[1];
    ru.SetLanguage(0x0419, "Russian");
    ru.StopList.SetWords({"\xC8"});  // И
    ru.StopList.SetActive(true);
    FrequencyConfigs[1].IgnoreCase = true;
    LanguageConfigs[2]->SetLanguage(0x0C1A, LanguageNameOfLCID(0x0C1A));

    auto effects = [] {
        EXPECT_TRUE(CharsEqual('e', '\xE9', 0));
        EXPECT_TRUE(CharsEqual('\xE8', '\xE9', 0));
        EXPECT_FALSE(CharsEqual('e', '\xE0', 0));
        const TSearchCharMap map = BuildSearchCharMap(0);
        EXPECT_EQ(map[0xC9], 'e');  // É through its case partner
        EXPECT_EQ(map[0xE8], 'e');
        EXPECT_EQ(map[0xC0], 'a');
        EXPECT_EQ(map['B'], 'b');
        EXPECT_FALSE(LanguageConfigs[0]->StopList.Active);
        EXPECT_FALSE(LanguageConfigs[0]->StopList.IsStopWord("the"));
        EXPECT_TRUE(LanguageConfigs[1]->StopList.Active);
        EXPECT_TRUE(LanguageConfigs[1]->StopList.IsStopWord("\xE8"));
        EXPECT_EQ(LangStrComp("\xC0\xC1\xC2", "\xE0\xE1\xE2", true, 1), 0);
        EXPECT_NE(LangStrComp("\xC0\xC1\xC2", "\xE0\xE1\xE2", false, 1), 0);
        EXPECT_EQ(LangStrComp("\xC9T\xC9", "\xE9t\xE9", true, 0), 0);
        EXPECT_EQ(LangCodePage(2), 1251);
        EXPECT_EQ(NewListContextSizes(), (std::array<int32_t, 5>{60, 4, 2, 1, 1}));
        EXPECT_EQ(TConcordItems(0).Display.ContextSizes, (std::array<int32_t, 5>{60, 4, 2, 1, 1}));
    };
    {
        SCOPED_TRACE("before saving");
        effects();
    }
    std::string path = Work.File("effects.ini");
    ASSERT_TRUE(SavePrefsToFile(path));
    ResetGlobalsForTest();
    InitConfigUnit();
    ASSERT_TRUE(LoadPrefsFromFile(path));
    SCOPED_TRACE("after reloading");
    effects();
    EXPECT_EQ(LanguageConfigs[0]->SentenceExceptions, (std::vector<std::string>{"dr", "etc"}));

    // Switching the list on again is remembered as well; a file without the flag reads as before.
    LanguageConfigs[0]->StopList.SetActive(true);
    ASSERT_TRUE(SavePrefsToFile(path));
    ASSERT_TRUE(LoadPrefsFromFile(path));
    EXPECT_TRUE(LanguageConfigs[0]->StopList.IsStopWord("of"));
    LoadText("[StopList.00]\nWordCount=1\nWord0=x\n[StopList.01]\nActive=1\n");
    EXPECT_TRUE(LanguageConfigs[0]->StopList.Active);
    // A text that does not parse leaves no groups behind.
    LoadText(
        "[ConcordanceConfiguration]\nUseSkipEqualChars=1\n[ConcordanceConfiguration.00]\nEqualChars=a=;b\n");
    EXPECT_TRUE(LanguageConfigs[0]->EqualCharGroups.empty());
    EXPECT_FALSE(CharsEqual('a', 'b', 0));
}

TEST_F(ConcPrefsTest, RewritingThePreferencesKeepsWhatItDoesNotWrite) {
    LanguagesCount = 1;
    std::string old = ConfigIni();
    Config.Write(
        IniFileName,
        "; kept comment\n[MainForm]\nLeft=10\nWindowState=2\n[AlignViewWindow]\nLeft=5\nTop=6\n"
        "[SectionsAlignWindow]\n; note\nWidth=300\n[Some Later Version]\nKey=\"  spaced  \"\n"
        "[GeneralConfiguration]\nWorkspacePath=/w\nRecentWorkspacesCount=2\nRecentWorkspaces0=/w/a.TWS\n"
        "RecentWorkspaces1=/w/b.TWS\nSaveOnExit=1\nFreqPath=/old\n"
        "[TextFormat.03]\nHStart=stale\n[Heading.Gone.02]\nHeadStart=x\n[Watched.gone]\nTagStart=<g\n"
        "[StopList.00]\nWordCount=1\nWord0=stale\n[tag settings]\nShowLines=1\n");
    ASSERT_TRUE(SavePreferences());
    TIniFile ini(old);
    EXPECT_EQ(ini.ReadInteger("MainForm", "WindowState", 0), 2);
    EXPECT_EQ(ini.ReadInteger("AlignViewWindow", "Top", 0), 6);
    EXPECT_EQ(ini.ReadInteger("SectionsAlignWindow", "Width", 0), 300);
    EXPECT_EQ(ini.ReadString("Some Later Version", "Key", ""), "  spaced  ");
    EXPECT_NE(ReadWholeFile(old).find("; note"), std::string::npos);
    EXPECT_EQ(ini.ReadString("GeneralConfiguration", "WorkspacePath", ""), "/w");
    EXPECT_EQ(ini.ReadString("GeneralConfiguration", "RecentWorkspaces1", ""), "/w/b.TWS");
    EXPECT_TRUE(ini.ReadBool("GeneralConfiguration", "SaveOnExit", false));
    // Everything the rewrite owns is written anew or gone: settings of languages no longer in use,
    // headings and tracked tags no longer defined, old values.
    EXPECT_EQ(ini.ReadString("GeneralConfiguration", "FreqPath", "missing"), "");
    for (const char* gone : {"TextFormat.03", "Heading.Gone.02", "Watched.gone"})
        EXPECT_FALSE(ini.SectionExists(gone)) << gone;
    EXPECT_FALSE(ini.ValueExists("StopList.00", "Word0"));
    EXPECT_FALSE(ini.ReadBool("Tag Settings", "ShowLines", true));

    // A workspace's settings file is rewritten whole: it never holds placements or foreign sections.
    std::string workspace = Work.Write("w.TWS", "[MainForm]\nLeft=1\n[Foreign]\nA=1\n");
    ASSERT_TRUE(SaveWorkspacePrefs(workspace));
    TIniFile tws(workspace);
    EXPECT_FALSE(tws.SectionExists("MainForm"));
    EXPECT_FALSE(tws.SectionExists("Foreign"));
    EXPECT_TRUE(Messages.Messages.empty());
}

namespace {

// Fails the test when a loaded value lies outside what the program's dialogs could have set.
void ExpectEveryValueInRange() {
    const TCommonConcordConfig& c = *CommonConfig;
    EXPECT_GE(LanguagesCount, 0);
    EXPECT_LE(LanguagesCount, MaxLanguages);
    EXPECT_TRUE(BigContextSize == 10 || BigContextSize == 20 || BigContextSize == 30);
    EXPECT_GE(c.LastUsedLanguage, 0);
    EXPECT_LT(c.LastUsedLanguage, std::max(LanguagesCount, 1));
    EXPECT_GE(c.MaximumHits, 1);
    EXPECT_GE(c.FrequencyOfHits, 1);
    EXPECT_LE(c.FrequencyOfHits, 16000);
    EXPECT_LE(c.ContextType, 4);
    const int limits[5] = {1000, 40, 10, 1, 1};
    for (int i = 0; i < 5; ++i) {
        EXPECT_GE(c.ContextSizes[i], i < 3 ? 0 : 1) << i;
        EXPECT_LE(c.ContextSizes[i], limits[i]) << i;
    }
    EXPECT_LE(c.MatchWordsLo, c.MatchWordsHi);
    EXPECT_GE(c.MatchWordsHi, 1);
    EXPECT_LE(c.MatchWordsHi, 9);
    EXPECT_LE(c.AlignFormat, 3);
    EXPECT_LE(c.WordTag, 2);
    EXPECT_TRUE(c.exportAlignFormat == 1 || c.exportAlignFormat == 3);
    auto sortInRange = [](const TAdvancedSortColOptions& r, TSortKeyTable t) {
        for (const auto& k : r.Keys) EXPECT_FALSE(SortKeyDisplayName(t, k.Key).empty()) << int(k.Key);
        EXPECT_GE(r.ShowFirst, 0);
        EXPECT_LE(r.ShowFirst, 1000);
    };
    sortInRange(c.CollocationSort, TSortKeyTable::Collocation);
    EXPECT_GE(HotWordsConfig.MinHitsForHotWords, 1);
    EXPECT_GE(HotWordsConfig.MaxHotWordsCandidates, 1);
    EXPECT_GE(TranslationPasses, 1);
    EXPECT_LE(TranslationPasses, 30);
    for (size_t i = 0; i < WatchedTags.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(SameSettingName(WatchedTags[i].Name, WatchedTags[j].Name));
    for (int lang = 0; lang < LanguagesCount; ++lang) {
        SCOPED_TRACE(lang);
        const TConcordConfig& l = *LanguageConfigs[lang];
        EXPECT_TRUE(platform::IsUsableLocale(l.LocaleId)) << l.LocaleId;
        EXPECT_FALSE(l.LanguageName.empty());
        EXPECT_LE(l.HeadingFormat, 3);
        EXPECT_LE(l.ParagraphFormat, 3);
        EXPECT_LE(l.SentenceFormat, 1);
        sortInRange(l.AdvancedSort, TSortKeyTable::Sort);
        sortInRange(l.CollocationSort, TSortKeyTable::Collocation);
        for (const TFontSpec& f : l.Fonts) {
            EXPECT_GE(f.Size, 1);
            EXPECT_LE(f.Size, 512);
            EXPECT_EQ(f.Style & ~15, 0);
            EXPECT_TRUE(f.Color >= 0 ? f.Color <= 0xFFFFFF : (f.Color & ~0xFF) == clSystemColor) << f.Color;
            EXPECT_FALSE(f.Name.empty());
        }
        for (size_t i = 0; i < l.Headings.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(SameSettingName(l.Headings[i].Name, l.Headings[j].Name));
        const TFrequencyConfig& f = FrequencyConfigs[lang];
        EXPECT_TRUE(f.MinimumFrequency >= 1 && f.MinimumFrequency <= 32000) << f.MinimumFrequency;
        EXPECT_TRUE(f.MaximumFrequency >= 0 && f.MaximumFrequency <= 32000) << f.MaximumFrequency;
        EXPECT_TRUE(f.MaximumLines >= 0 && f.MaximumLines <= 950000) << f.MaximumLines;
        EXPECT_TRUE(f.CollocateSpan >= 1 && f.CollocateSpan <= 4) << f.CollocateSpan;
        EXPECT_TRUE(f.CollocHighLightTop >= 0 && f.CollocHighLightTop <= 32767) << f.CollocHighLightTop;
        for (double t : {l.RankFunctionThreshold, l.ParadigmThreshold, l.ParadigmRankThreshold})
            EXPECT_TRUE(std::isfinite(t) && t >= 0) << t;
        EXPECT_TRUE(!l.StopList.Active || !l.StopList.Words().empty());
    }
}

// The numeric keys of the preferences, for the hostile files below.
const std::pair<const char*, const char*> kNumericKeys[] = {
    {"GeneralConfiguration", "BigContextSize"},
    {"GeneralConfiguration", "LanguagesCount"},
    {"GeneralConfiguration", "ColFirst"},
    {"GeneralConfiguration", "ColMaxItems"},
    {"ConcordanceConfiguration", "LastUsedLanguage"},
    {"ConcordanceConfiguration", "MaximumHits"},
    {"ConcordanceConfiguration", "FrequencyOfHits"},
    {"ConcordanceConfiguration", "ContextType"},
    {"ConcordanceConfiguration", "ContextChars"},
    {"ConcordanceConfiguration", "ContextWords"},
    {"ConcordanceConfiguration", "ContextLines"},
    {"ConcordanceConfiguration", "ContextSentences"},
    {"ConcordanceConfiguration", "MatchWordsLo"},
    {"ConcordanceConfiguration", "MatchWordsHi"},
    {"AlignFormat", "Format"},
    {"Word Tag Settings", "WordTag"},
    {"GlobalHotWordsConfiguration", "MinHitsForHotWords"},
    {"GlobalHotWordsConfiguration", "MaxHotWordsCandidates"},
    {"GlobalHotWordsConfiguration", "TranslationPasses"},
    {"CorpusExport", "exportAlignFormat"},
    {"GeneralConfiguration.00", "Language"},
    {"GeneralConfiguration.01", "Language"},
    {"TextFormat.00", "HeadingFormat"},
    {"TextFormat.00", "ParagraphFormat"},
    {"TextFormat.01", "SentenceFormat"},
    {"AdvancedSort.00", "First"},
    {"AdvancedSort.00", "ColSecond"},
    {"AdvancedSort.01", "MaxItems"},
    {"FrequencyConfiguration.00", "MinimumFrequency"},
    {"FrequencyConfiguration.00", "MaximumFrequency"},
    {"FrequencyConfiguration.00", "MaximumLines"},
    {"FrequencyConfiguration.01", "CollocateSpan"},
    {"FrequencyConfiguration.01", "CollocHighLightTop"},
    {"LanguageHotWordsConfiguration.00", "ParadigmThreshold"},
    {"LanguageHotWordsConfiguration.01", "RankFunctionThreshold"}};

std::string HostileNumber(std::mt19937& Random) {
    static const char* const kValues[] = {
        "-1",          "0",          "1",          "7",         "255",        "256",
        "-2147483648", "2147483647", "2147483648", "$FFFFFFFF", "0x7fffffff", "99999999999999999999",
        "-5",          "1e308",      "-1e308",     "nan",       "1,5",        ""};
    if (Random() % 3 == 0) return std::to_string(int32_t(Random()));
    return kValues[Random() % std::size(kValues)];
}

}  // namespace

// A file over the whole-file limit could not be read: every option kept its bare value (no hit limit, no
// wildcards, no tag characters) and the exit wrote those over the user's file.
TEST_F(ConcPrefsTest, AFileThatCannotBeReadGivesTheDefaultsAndIsLeftAsItWas) {
    const std::string Path = ConfigIni();
    { std::ofstream(Path, std::ios::binary) << "[ConcordanceConfiguration]\r\nMaximumHits=7\r\n"; }
    ASSERT_EQ(::truncate(Path.c_str(), static_cast<off_t>(platform::MaxWholeFileSize + 1)), 0);
    struct stat Before {};
    ASSERT_EQ(::stat(Path.c_str(), &Before), 0);
    EXPECT_FALSE(LoadPreferences());
    EXPECT_EQ(Messages.Texts(),
              std::vector<std::string>{"Could not read from configuration file " + Path + "!"});
    EXPECT_EQ(CommonConfig->MaximumHits, 500);
    EXPECT_EQ(CommonConfig->WildCard0orMore, '*');
    EXPECT_EQ(CommonConfig->TagStart, '<');
    EXPECT_EQ(GetIniFileNameForWrite(), "");
    EXPECT_FALSE(SavePreferences());
    SaveWorkspacePath();
    SaveSaveOnExit();
    FinalizeConfigUnit();
    struct stat After {};
    ASSERT_EQ(::stat(Path.c_str(), &After), 0);
    EXPECT_EQ(After.st_size, Before.st_size);
    EXPECT_EQ(After.st_mtim.tv_sec, Before.st_mtim.tv_sec);
    EXPECT_EQ(After.st_mtim.tv_nsec, Before.st_mtim.tv_nsec);
    std::ifstream In(Path, std::ios::binary);
    const std::string Written = "[ConcordanceConfiguration]\r\nMaximumHits=7\r\n";
    std::string First(Written.size(), '\0');
    In.read(First.data(), static_cast<std::streamsize>(First.size()));
    EXPECT_EQ(First, Written);
}

// A file that reads but holds no settings (another file's bytes; a section header that lost its "]" and
// with it the tracked tags) gave the defaults without a word, and the exit wrote them over it. It is
// reported once, kept beside under a name of its own (an earlier copy is never overwritten), and this
// run's settings are saved in its place. Where it cannot be kept it stays exactly as it was.
TEST_F(ConcPrefsTest, ADamagedFileIsReportedKeptBesideAndReplacedByTheNewSettings) {
    std::mt19937 random(14);
    std::string garbage(3000, '\0');
    for (char& b : garbage) b = char(random());
    const std::string broken =
        "[ConcordanceConfiguration]\r\nMaximumHits=7\r\n[Tag Settings\r\nWatchedNamesCount=1\r\n"
        "WatchedNames0=div\r\n[Watched.div]\r\nTagStart=<div\r\nTagStop=</div>\r\n"
        "[GeneralConfiguration]\r\nWorkspacePath=/ws\r\nSaveOnExit=1\r\n";
    const std::string kept = ConfigIni() + ".unreadable";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {garbage, kept}, {broken, ConfigIni() + ".unreadable-2"}, {garbage, ConfigIni() + ".unreadable-3"}};
    for (const auto& [text, copy] : cases) {
        ResetGlobalsForTest();
        SetUp();
        Messages.Messages.clear();
        { std::ofstream(ConfigIni(), std::ios::binary) << text; }
        LoadWorkspacePath();
        LoadSaveOnExit();
        EXPECT_FALSE(LoadPreferences());
        EXPECT_EQ(Messages.Texts(), std::vector<std::string>{DamagedPreferencesText(ConfigIni(), copy)});
        EXPECT_EQ(Messages.Texts()[0], "The settings in \"" + ConfigIni() +
                                           "\" could not be read: the default settings are used.\r\n"
                                           "The unreadable file is kept as \"" +
                                           copy + "\".");
        EXPECT_EQ(CommonConfig->MaximumHits, 500);
        EXPECT_TRUE(WatchedTags.empty());
        EXPECT_EQ(WorkspacePath, "");
        EXPECT_FALSE(SaveOnExit);
        EXPECT_EQ(ReadWholeFile(copy), text);
        EXPECT_EQ(ReadWholeFile(kept), garbage) << "the first copy stays";
        EXPECT_EQ(GetIniFileNameForWrite(), ConfigIni());
        CommonConfig->MaximumHits = 99;
        ASSERT_TRUE(SavePreferences());
        FinalizeConfigUnit();
        SetUp();
        ASSERT_TRUE(LoadPreferences());
        EXPECT_EQ(CommonConfig->MaximumHits, 99);
        EXPECT_EQ(Messages.Texts().size(), 1u);
        EXPECT_TRUE(TIniFile(ConfigIni()).WellFormed());
    }

    // A file that cannot be replaced is neither copied nor written over, and the note says nothing of a
    // copy.
    ResetGlobalsForTest();
    SetUp();
    Messages.Messages.clear();
    std::filesystem::remove(kept);
    { std::ofstream(ConfigIni(), std::ios::binary) << broken; }
    ASSERT_EQ(::chmod(ConfigIni().c_str(), 0444), 0);
    EXPECT_FALSE(LoadPreferences());
    EXPECT_EQ(Messages.Texts(), std::vector<std::string>{DamagedPreferencesText(ConfigIni(), "")});
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_EQ(CommonConfig->MaximumHits, 500);
    EXPECT_FALSE(SavePreferences());
    FinalizeConfigUnit();
    EXPECT_EQ(ReadWholeFile(ConfigIni()), broken);
    ::chmod(ConfigIni().c_str(), 0644);
}

TEST_F(ConcPrefsTest, HostileFilesNeitherHangNorCrashAndLeaveEveryValueInRange) {
    ::alarm(60);
    std::mt19937 random(20261207);
    // A valid file to start from, with every section there.
    FillCommon(*CommonConfig);
    LanguagesCount = 2;
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    for (int lang = 0; lang < 2; ++lang) FillLanguage(*LanguageConfigs[lang], lang);
    ASSERT_TRUE(SavePrefsToFile(Work.File("valid.ini")));
    const std::string valid = ReadWholeFile(Work.File("valid.ini"));

    std::vector<std::string> files = {
        std::string("\0\0\0[GeneralConfiguration]\0LanguagesCount=3\0", 43),
        std::string("[GeneralConfiguration]\rLanguagesCount=2\r[ConcordanceConfiguration]\rMaximumHits=-5\r"),
        std::string(100000, '\xFF'),
        "[[[[]]]]\n[=]\n=\n==\n[GeneralConfiguration\nLanguagesCount=4\n[Heading.a.00\n",
    };
    // Binary garbage.
    for (int i = 0; i < 20; ++i) {
        std::string bytes(random() % 5000, '\0');
        for (char& b : bytes) b = char(random());
        files.push_back(bytes);
    }
    // The valid file with every number replaced by a hostile one, its sections and keys doubled, bytes
    // flipped, and its line ends changed.
    for (int i = 0; i < 40; ++i) {
        TIniFile ini(Work.Write("base.ini", valid));
        for (const auto& [section, key] : kNumericKeys) ini.WriteString(section, key, HostileNumber(random));
        ini.WriteString("Headings.00", "NamesCount", HostileNumber(random));
        ini.WriteString("Tag Settings", "WatchedNamesCount", HostileNumber(random));
        ini.WriteString("Tag Settings", "WatchedNames0", "Div");
        ini.WriteString("Tag Settings", "WatchedNames1", "DIV");
        for (int f = 0; f < ConfigFontCount; ++f)
            ini.WriteString("GeneralConfiguration.00", FontKeyNames[f],
                            "F," + HostileNumber(random) + "," + HostileNumber(random) + "," +
                                HostileNumber(random) + "," + HostileNumber(random));
        std::string text = ini.Content();
        if (i % 4 == 1) text += text;
        if (i % 4 == 2)
            for (char& b : text)
                if (b == '\n') b = '\r';
        if (i % 4 == 3)
            for (int flip = 0; flip < 20; ++flip) text[random() % text.size()] = char(random());
        files.push_back(text);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(LoadPrefsFromFile(Work.Write("hostile.ini", files[i])));
        ExpectEveryValueInRange();
        if (HasFailure()) break;
    }
    // CR-only line ends are line ends: the values are read, not lost.
    LoadText("[GeneralConfiguration]\rLanguagesCount=2\r[ConcordanceConfiguration]\rMaximumHits=77\r");
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_EQ(CommonConfig->MaximumHits, 77);
    ::alarm(0);
}

TEST_F(ConcPrefsTest, DuplicateDefinitionsLoadTheFirst) {
    LoadText(
        "[Headings.00]\nNamesCount=3\nNames0=Chapter\nNames1=CHAPTER\nNames2=Part\n"
        "[Heading.Chapter.00]\nHeadStart=a\nHeadStop=b\nTextStart=c\nTextStop=d\n"
        "[Heading.chapter.00]\nHeadStart=x\nHeadStop=x\nTextStart=x\nTextStop=x\n"
        "[Heading.Part.00]\nHeadStart=p\nHeadStop=q\nTextStart=r\nTextStop=s\nHeadStart=later\n"
        "[Tag Settings]\nWatchedNamesCount=3\nWatchedNames0=div\nWatchedNames1=Div\nWatchedNames2=sp\n"
        "[Watched.div]\nTagStart=<div\n");
    const auto& headings = LanguageConfigs[0]->Headings;
    ASSERT_EQ(headings.size(), 2u);
    EXPECT_EQ(headings[0].Name, "Chapter");
    EXPECT_EQ(headings[0].Object.HeadStart, "a");
    EXPECT_EQ(headings[1].Object.HeadStart, "p");
    ASSERT_EQ(WatchedTags.size(), 2u);
    EXPECT_EQ(WatchedTags[0].Name, "div");
    EXPECT_EQ(WatchedTags[1].Name, "sp");
}

TEST_F(ConcPrefsTest, AFifoOrDeviceNamedLikeThePreferencesIsNeitherWaitedOnNorReplaced) {
    ::alarm(20);
    const std::string fifo = ConfigIni();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetIniFileNameForWrite(), "");
    EXPECT_FALSE(LoadPreferences());
    ASSERT_EQ(Messages.Texts().size(), 1u);
    EXPECT_EQ(Messages.Texts()[0], "Could not read from configuration file " + fifo + "!");
    EXPECT_EQ(LanguagesCount, 1);  // nothing was changed
    EXPECT_FALSE(SavePreferences());
    EXPECT_THROW(LoadWorkspacePath(), EIniFileError);
    EXPECT_NO_THROW(SaveWorkspacePath());  // no write location: nothing to do
    struct stat info {};
    ASSERT_EQ(::stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A workspace's settings file that is a device is reported, not read until memory runs out.
    EXPECT_FALSE(LoadWorkspacePrefs("/dev/zero"));
    EXPECT_EQ(Messages.Texts().back(), "Could not read from configuration file /dev/zero!");
    ::alarm(0);
}
