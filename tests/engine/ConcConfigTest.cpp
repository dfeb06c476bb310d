#include "engine/ConcConfig.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "controls/ScriptedBackend.h"
#include "engine/ConcUtils.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class ConfigTest : public testing::Test {
protected:
    void SetUp() override { InitConfigUnit(); }
    void TearDown() override { ResetGlobalsForTest(); }

    TConcordConfig& Lang0() { return *LanguageConfigs[0]; }

    // Registers a file the way corpus loading does: its record and an empty slot in every list.
    static void AddFile(TConcordConfig& Config, const std::string& Name, bool Converted = false,
                        const std::string& CopyName = "", int32_t WordCount = 0) {
        Config.Files.push_back(
            {Name, TCorpusFileRecord{Converted, WordCount, CopyName.empty() ? Name : CopyName}});
        Config.PageStarts.Add(nullptr);
        Config.LineStarts.Add(nullptr);
        Config.FileTags.Add(nullptr);
        Config.Streams.emplace_back();
        Config.Readers.emplace_back();
        Config.SectionIndexes.Add(nullptr);
        Config.ParagraphIndexes.Add(nullptr);
        Config.SentenceIndexes.Add(nullptr);
    }

    static std::vector<std::string> FileNames(const TConcordConfig& Config) {
        std::vector<std::string> Names;
        for (const auto& F : Config.Files) Names.push_back(F.Name);
        return Names;
    }

    TScriptedBackend Script;
};

}  // namespace

// A new language's word delimiters hold the quotation marks, inverted marks, dashes and ellipsis its code
// page has as one byte (never a letter at the same byte of another code page), and follow its locale while
// they are defaults; delimiters of the user's own are never touched.
TEST_F(ConfigTest, DefaultDelimitersFollowTheCodePageAndLeaveTheUsersOwn) {
    const std::string plain(DefaultNonWordChars);
    EXPECT_EQ(DefaultWordDelimiters(0), plain);
    const std::string western = plain + "\x93\x94\x84\xAB\xBB\x8B\x9B\xBF\xA1\x96\x97\x85";
    EXPECT_EQ(DefaultWordDelimiters(1034), western);
    EXPECT_EQ(DefaultWordDelimiters(1036), western);
    EXPECT_EQ(DefaultWordDelimiters(1049), plain + "\x93\x94\x84\xAB\xBB\x8B\x9B\x96\x97\x85")
        << "0xBF and 0xA1 are letters in code page 1251";
    EXPECT_NE(DefaultWordDelimiters(1032).find('\xAF'), std::string::npos) << "the horizontal bar of 1253";
    EXPECT_EQ(DefaultWordDelimiters(1041), plain + "\xA2\xA3") << "the half-width corner brackets of 932";
    EXPECT_EQ(DefaultWordDelimiters(2052), plain);
    for (const std::string& d : {DefaultWordDelimiters(1034), DefaultWordDelimiters(1049)})
        EXPECT_EQ(d.find_first_of("'\x91\x92"), std::string::npos) << "apostrophes are word characters";
    EXPECT_TRUE(IsDefaultWordDelimiters(western) && IsDefaultWordDelimiters(plain));
    EXPECT_FALSE(IsDefaultWordDelimiters(plain + "-"));

    // A new language takes its locale's defaults, and keeps following them.
    TConcordConfig spanish(1);
    spanish.SetLanguage(1034, "Spanish");
    EXPECT_EQ(spanish.NonWordChars, western);
    spanish.SetLanguage(1049, "Russian");
    EXPECT_EQ(spanish.NonWordChars, DefaultWordDelimiters(1049));
    // One made from another language's settings follows its own locale.
    TConcordConfig copy(2);
    spanish.SetLanguage(1034, "Spanish");
    copy.Assign(spanish);
    copy.SetLanguage(1049, "Russian");
    EXPECT_EQ(copy.NonWordChars, DefaultWordDelimiters(1049));
    // The user's own, and the old defaults a user saved, stay as they are.
    spanish.NonWordChars = plain;
    spanish.SetLanguage(1049, "Russian");
    EXPECT_EQ(spanish.NonWordChars, plain);
    copy.NonWordChars = ".,;";
    copy.SetLanguage(1034, "Spanish");
    EXPECT_EQ(copy.NonWordChars, ".,;");
}

TEST_F(ConfigTest, NewLanguageHasTheDocumentedDefaults) {
    TConcordConfig C(2);
    EXPECT_EQ(C.NonWordChars.size(), 25u);
    EXPECT_EQ(C.NonWordChars.back(), '"');
    EXPECT_EQ(C.NonWordChars, ".,;:!#$^&()[]{}<>+=/\\|`~\"");
    EXPECT_EQ(C.SentDelimiters, ".!?");
    EXPECT_EQ(C.SkippingChars, "-=");
    EXPECT_DOUBLE_EQ(C.RankFunctionThreshold, 0.001);
    EXPECT_EQ(C.ParadigmThreshold, 0);
    EXPECT_EQ(C.LocaleId, 0u);
    EXPECT_EQ(C.LanguageName, "");
    EXPECT_FALSE(C.includeTrailingQuotes);
    EXPECT_EQ(C.StopList.Language, 2);
    EXPECT_FALSE(C.StopList.Active);
    // Nothing folds before a language is set.
    for (int B = 0; B < 256; ++B) EXPECT_EQ(C.LowerCaseMap[B], B);
    // Sort records start zero-filled, not "none".
    for (const auto& K : C.AdvancedSort.Keys) EXPECT_EQ(K.Key, skSearchTerm);
    for (const auto& K : C.CollocationSort.Keys) EXPECT_EQ(K.Key, skSearchTerm);
    for (int F = 0; F < ConfigFontCount; ++F) {
        const TColor Expected = F == HiliteFont || F == ContextHiliteFont || F == HotWordsFont ? clBlue
                                : F == CollocatesFont                                          ? clRed
                                                                                               : clWindowText;
        EXPECT_EQ(C.Fonts[F].Color, Expected) << FontKeyNames[F];
        EXPECT_EQ(C.Fonts[F].Name, TConcordConfig(0).Fonts[SystemFont].Name);
    }
    EXPECT_LT(clWindowText, 0);  // system colours are negative
    EXPECT_TRUE(C.Files.empty());
    EXPECT_TRUE(C.FileListsConsistent());
}

TEST_F(ConfigTest, StartAndEndOfTheProgram) {
    EXPECT_EQ(VersionText, "Version 1.0 (Build 270)");
    EXPECT_EQ(LanguagesCount, 1);
    ASSERT_TRUE(LanguageConfigs[0]);
    EXPECT_FALSE(LanguageConfigs[1]);
    ASSERT_TRUE(CommonConfig);
    EXPECT_TRUE(KeepSegmentIndexes);
    EXPECT_FALSE(KeepLinesPages);
    EXPECT_FALSE(Align12);
    EXPECT_EQ(WindowsFolder, std::string(std::getenv("TESSIVOR_CONFIG_DIR")) + "/");
    EXPECT_EQ(TempDir, fs::temp_directory_path().string() + "/");
    EXPECT_EQ(ProgramFolder.back(), '/');

    WatchedTags.emplace_back("speaker", "<sp ", "");
    RecentWorkspaces.push_back("/w/a.tws");
    Align13 = std::make_unique<TDoubleAlignIndexes>();
    FinalizeConfigUnit();
    EXPECT_TRUE(WatchedTags.empty());
    EXPECT_TRUE(RecentWorkspaces.empty());
    EXPECT_FALSE(CommonConfig);
    EXPECT_FALSE(LanguageConfigs[0]);
    EXPECT_EQ(LanguagesCount, 0);
    EXPECT_FALSE(Align13);
    EXPECT_EQ(VersionText, "");
    EXPECT_EQ(TempDir, "");
}

TEST_F(ConfigTest, FreeLanguageConfigsFreesTheCountedLanguagesAndTheAlignments) {
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguagesCount = 2;
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    Align12->Add(std::make_unique<TDoubleAlignIndex>());
    FreeLanguageConfigs();
    EXPECT_FALSE(LanguageConfigs[0]);
    EXPECT_FALSE(LanguageConfigs[1]);
    EXPECT_EQ(LanguagesCount, 0);
    EXPECT_FALSE(Align12);

    // With no language counted only the alignments go.
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    Align14 = std::make_unique<TDoubleAlignIndexes>();
    FreeLanguageConfigs();
    EXPECT_TRUE(LanguageConfigs[0]);
    EXPECT_FALSE(Align14);
}

TEST_F(ConfigTest, SetLanguageBuildsTheCaseMapOfTheLocale) {
    TConcordConfig& C = Lang0();
    C.SetLanguage(0x0409, "English (United States)");
    EXPECT_FALSE(C.NoCaseMap);
    EXPECT_EQ(C.LanguageName, "English (United States)");
    EXPECT_EQ(C.LowerCaseMap['A'], 'a');
    EXPECT_EQ(C.LowerCaseMap[0xC0], 0xE0);
    EXPECT_EQ(C.LowerCaseMap[0x9F], 0xFF);
    EXPECT_EQ(C.LowerCaseMap[0xD7], 0xD7);
    EXPECT_EQ(C.LowerCaseMap[0xDF], 0xDF);
    EXPECT_EQ(C.LowerCaseMap['a'], 'a');
    EXPECT_EQ(C.LowerCaseMap[0], 0);

    C.SetLanguage(0x0419, "Russian");
    EXPECT_EQ(C.LowerCaseMap[0xA8], 0xB8);
    EXPECT_EQ(C.LowerCaseMap[0xC0], 0xE0);
    EXPECT_EQ(C.LowerCaseMap[0xDF], 0xFF);
    EXPECT_EQ(C.LowerCaseMap[0x9F], 0x9F);  // џ is already lower case in cp1251

    C.SetLanguage(0x0408, "Greek");
    EXPECT_EQ(C.LowerCaseMap[0xC1], 0xE1);

    C.SetLanguage(0x041F, "Turkish");
    EXPECT_EQ(C.LowerCaseMap[0xDD], 0x69);

    // A caseless locale leaves the identity, even after a cased one.
    C.SetLanguage(0x0411, "Japanese");
    EXPECT_TRUE(C.NoCaseMap);
    for (int B = 0; B < 256; ++B) EXPECT_EQ(C.LowerCaseMap[B], B);
    C.SetLanguage(0x041E, "Thai");
    EXPECT_TRUE(C.NoCaseMap);
    for (int B = 0; B < 256; ++B) EXPECT_EQ(C.LowerCaseMap[B], B);
}

TEST_F(ConfigTest, SetLanguageWithUnchangedValuesDoesNothing) {
    TConcordConfig& C = Lang0();
    C.SetLanguage(0x0419, "Russian");
    C.LowerCaseMap['Q'] = 'Z';  // a marker the rebuild would undo
    C.SetLanguage(0x0419, "Russian");
    EXPECT_EQ(C.LowerCaseMap['Q'], 'Z');
    // A new name alone rebuilds.
    C.SetLanguage(0x0419, "Russian (own)");
    EXPECT_EQ(C.LowerCaseMap['Q'], 'q');

    TConcordConfig Fresh(1);
    Fresh.SetLanguage(0, "");
    for (int B = 0; B < 256; ++B) EXPECT_EQ(Fresh.LowerCaseMap[B], B);
    EXPECT_FALSE(Fresh.NoCaseMap);

    // A locale outside the table cannot be classified and keeps the identity, even after a cased one.
    Fresh.SetLanguage(0x0419, "Russian");
    Fresh.SetLanguage(0x0417, "");
    EXPECT_FALSE(Fresh.NoCaseMap);
    for (int B = 0; B < 256; ++B) EXPECT_EQ(Fresh.LowerCaseMap[B], B);
    // The high word (the sort order) does not make a known language unknown, nor a double-byte one
    // cased: folding ASCII letters there would also fold trail bytes, changing the characters.
    Fresh.SetLanguage(0x00010419, "Russian");
    EXPECT_EQ(Fresh.LowerCaseMap[0xC0], 0xE0);
    for (uint32_t Id : {0x00010411u, 0x00020404u, 0x00020804u, 0x00010412u}) {
        Fresh.SetLanguage(Id, "");
        EXPECT_TRUE(Fresh.NoCaseMap) << std::hex << Id;
        for (int B = 0; B < 256; ++B) ASSERT_EQ(Fresh.LowerCaseMap[B], B) << std::hex << Id;
    }
}

TEST_F(ConfigTest, AssignCopiesSettingsButNotIdentityListsOrFiles) {
    TConcordConfig& Src = Lang0();
    Src.SetLanguage(0x0419, "Russian");
    Src.NonWordChars = ".,";
    Src.SkippingChars = "-";
    Src.EqualChars = "e=\xE9";
    Src.EqualCharGroups.resize(1);
    Src.EqualCharGroups[0].set('e');
    Src.SentDelimiters = "!";
    Src.SmartAbbrDetect = true;
    Src.includeTrailingQuotes = true;
    Src.HeadingFormat = 2;
    Src.HPattern = "^Ch";
    Src.ParagraphFormat = 3;
    Src.PStart = "<p>";
    Src.SentenceFormat = 1;
    Src.SStop = "</s>";
    Src.HiliteNumbers = true;
    Src.RankFunctionThreshold = 0.5;
    Src.ParadigmOption = true;
    Src.ParadigmThreshold = 0.6;
    Src.ParadigmRankThreshold = 0.0001;
    Src.AdvancedSort.Keys[0] = {sk1R, true};
    Src.CollocationSort.SpanLength = 4;
    Src.Fonts[CorpusFont].Name = "Serif";
    Src.Fonts[CorpusFont].Size = 14;
    Src.Markers = {"#"};
    Src.Headings.push_back({"Chapter", {"<h>", "</h>", "<t>", "</t>"}});
    Src.SentenceExceptions = {"mr"};
    Src.SearchHistory[0] = {"love"};
    Src.CorpusPath = "/corpus/";
    Src.LastHeading = "Chapter";
    Src.StopList.SetWords({"the"});
    AddFile(Src, "/corpus/a.txt");

    TConcordConfig Dst(1);
    Dst.Assign(Src);
    EXPECT_EQ(Dst.NonWordChars, ".,");
    EXPECT_EQ(Dst.SkippingChars, "-");
    EXPECT_EQ(Dst.EqualChars, Src.EqualChars);
    EXPECT_EQ(Dst.EqualCharGroups, Src.EqualCharGroups);
    EXPECT_EQ(Dst.SentDelimiters, "!");
    EXPECT_TRUE(Dst.SmartAbbrDetect);
    EXPECT_EQ(Dst.HeadingFormat, 2);
    EXPECT_EQ(Dst.HPattern, "^Ch");
    EXPECT_EQ(Dst.ParagraphFormat, 3);
    EXPECT_EQ(Dst.PStart, "<p>");
    EXPECT_EQ(Dst.SentenceFormat, 1);
    EXPECT_EQ(Dst.SStop, "</s>");
    EXPECT_TRUE(Dst.HiliteNumbers);
    EXPECT_EQ(Dst.RankFunctionThreshold, 0.5);
    EXPECT_TRUE(Dst.ParadigmOption);
    EXPECT_EQ(Dst.ParadigmThreshold, 0.6);
    EXPECT_EQ(Dst.ParadigmRankThreshold, 0.0001);
    EXPECT_EQ(Dst.AdvancedSort, Src.AdvancedSort);
    EXPECT_EQ(Dst.CollocationSort, Src.CollocationSort);
    EXPECT_EQ(Dst.Fonts, Src.Fonts);

    EXPECT_FALSE(Dst.includeTrailingQuotes);
    EXPECT_EQ(Dst.LocaleId, 0u);
    EXPECT_EQ(Dst.LanguageName, "");
    EXPECT_EQ(Dst.LowerCaseMap[0xC0], 0xC0);
    EXPECT_TRUE(Dst.Markers.empty());
    EXPECT_TRUE(Dst.Headings.empty());
    EXPECT_TRUE(Dst.SentenceExceptions.empty());
    EXPECT_TRUE(Dst.SearchHistory[0].empty());
    EXPECT_EQ(Dst.CorpusPath, "");
    EXPECT_EQ(Dst.LastHeading, "");
    EXPECT_TRUE(Dst.StopList.Words().empty());
    EXPECT_EQ(Dst.StopList.Language, 1);
    EXPECT_TRUE(Dst.Files.empty());
    EXPECT_TRUE(Dst.FileListsConsistent());
}

TEST_F(ConfigTest, RemoveFileDeletesOnlyTemporaryCopies) {
    TTempDir Temp, Workspace, Corpus;
    TempDir = Temp.Path().string() + "/";
    const std::string TempCopy = Temp.Write("a_ASCII.txt", "x");
    const std::string KeptCopy = Workspace.Write("b_ASCII.txt", "x");
    const std::string Plain = Temp.Write("c.txt", "x");
    TConcordConfig& C = Lang0();
    AddFile(C, Corpus.File("a.txt"), true, TempCopy);
    AddFile(C, Corpus.File("b.txt"), true, KeptCopy);
    AddFile(C, Plain, false, Plain);

    C.RemoveFile(1);
    EXPECT_TRUE(fs::exists(KeptCopy));
    EXPECT_TRUE(C.FileListsConsistent());
    EXPECT_EQ(FileNames(C), (std::vector<std::string>{Corpus.File("a.txt"), Plain}));

    C.RemoveFile(1);
    EXPECT_TRUE(fs::exists(Plain));  // not a converted copy
    C.RemoveFile(0);
    EXPECT_FALSE(fs::exists(TempCopy));
    EXPECT_TRUE(C.Files.empty());
    EXPECT_TRUE(C.FileListsConsistent());
}

TEST_F(ConfigTest, RemoveFileRejectsBadIndexesAndAnEmptyTempFolderDeletesNothing) {
    TTempDir Folder;
    const std::string Copy = Folder.Write("a_ASCII.txt", "x");
    TConcordConfig& C = Lang0();
    AddFile(C, "/corpus/a.txt", true, Copy);
    EXPECT_THROW(C.RemoveFile(1), std::out_of_range);
    EXPECT_THROW(C.RemoveFile(-1), std::out_of_range);
    EXPECT_EQ(C.Files.size(), 1u);
    EXPECT_TRUE(C.FileListsConsistent());

    TempDir.clear();
    C.RemoveFile(0);
    EXPECT_TRUE(fs::exists(Copy));
}

TEST_F(ConfigTest, DestroyingALanguageDeletesItsTemporaryCopies) {
    TTempDir Temp;
    TempDir = Temp.Path().string() + "/";
    const std::string Copy1 = Temp.Write("a_ASCII.txt", "x");
    const std::string Copy2 = Temp.Write("b_ASCII.txt", "x");
    {
        TConcordConfig C(1);
        AddFile(C, "/corpus/a.txt", true, Copy1);
        AddFile(C, "/corpus/b.txt", true, Copy2);
    }
    EXPECT_FALSE(fs::exists(Copy1));
    EXPECT_FALSE(fs::exists(Copy2));
}

TEST_F(ConfigTest, ExchangeFilesMovesRecordsWithTheirNames) {
    TConcordConfig& C = Lang0();
    AddFile(C, "a", false, "", 10);
    AddFile(C, "b", true, "/tmp/b_ASCII", 20);
    AddFile(C, "c", false, "", 30);
    C.ExchangeFiles(0, 2);
    EXPECT_EQ(FileNames(C), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(C.Files[0].Object.WordCount, 30);
    EXPECT_EQ(C.Files[2].Object.CopyName, "a");
    C.ExchangeFiles(1, 1);
    EXPECT_EQ(C.Files[1].Object.CopyName, "/tmp/b_ASCII");
    EXPECT_TRUE(C.FileListsConsistent());

    EXPECT_THROW(C.ExchangeFiles(0, 3), std::out_of_range);
    EXPECT_THROW(C.ExchangeFiles(-1, 0), std::out_of_range);
    // A list that lost its slot must not be half swapped.
    C.SentenceIndexes.Delete(C.SentenceIndexes.Count() - 1);
    EXPECT_FALSE(C.FileListsConsistent());
    EXPECT_THROW(C.ExchangeFiles(0, 2), std::out_of_range);
    EXPECT_EQ(FileNames(C), (std::vector<std::string>{"c", "b", "a"}));
}

// The name lookup against a search of Files from its start, through every way the list changes: files
// registered, appended directly, removed, exchanged, and names that repeat.
TEST_F(ConfigTest, IndexOfFileFindsTheFirstFileOfANameWhateverChangedTheList) {
    std::mt19937 Random(1207);
    TConcordConfig C(0);
    const auto Name = [&] { return "/corpus/" + std::to_string(Random() % 20000) + ".txt"; };
    const auto Search = [&](const std::string& N) {
        for (size_t I = 0; I < C.Files.size(); ++I)
            if (C.Files[I].Name == N) return int(I);
        return -1;
    };
    for (int Step = 0; Step < 3000; ++Step) {
        // Several changes may come between two lookups.
        for (int Change = int(Random() % 3); Change >= 0; --Change) {
            const int Files = int(C.Files.size());
            switch (Random() % 6) {
                case 0:
                    C.AddFile({Name(), {}}, nullptr, nullptr);
                    break;
                case 1:  // a name the list holds already
                    C.AddFile({Files > 0 ? C.Files[Random() % unsigned(Files)].Name : Name(), {}}, nullptr,
                              nullptr);
                    break;
                case 2:
                    AddFile(C, Name());
                    break;
                case 3:
                case 5:
                    if (Files > 0) C.RemoveFile(int(Random() % unsigned(Files)));
                    break;
                case 4:
                    if (Files > 1)
                        C.ExchangeFiles(int(Random() % unsigned(Files)), int(Random() % unsigned(Files)));
                    break;
            }
        }
        const std::string Wanted =
            Step % 5 == 0 || C.Files.empty() ? Name() : C.Files[Random() % C.Files.size()].Name;
        ASSERT_EQ(C.IndexOfFile(Wanted), Search(Wanted)) << "step " << Step;
    }
}

TEST_F(ConfigTest, RemoveFileFreesTheFilesIndexesStreamAndReader) {
    TTempDir Corpus;
    TConcordConfig& C = Lang0();
    for (const char* Name : {"a.txt", "b.txt"}) {
        const std::string Path = Corpus.Write(Name, std::string("words of ") + Name);
        AddFile(C, Path);
        auto Stream = std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite);
        C.Readers.back() = std::make_unique<TBufStream>(*Stream, 0, TCharSet());
        C.Streams.back() = std::move(Stream);
        auto Lines = std::make_unique<TIntegerList>();
        Lines->Add(0);
        C.LineStarts.SetItem(C.LineStarts.Count() - 1, std::move(Lines));
        C.SentenceIndexes.SetItem(C.SentenceIndexes.Count() - 1, std::make_unique<TAlignIndex>());
    }
    C.RemoveFile(0);
    EXPECT_TRUE(C.FileListsConsistent());
    ASSERT_EQ(C.Files.size(), 1u);
    EXPECT_EQ(C.Streams[0]->FileName(), Corpus.File("b.txt"));
    EXPECT_EQ(&C.Readers[0]->Source(), C.Streams[0].get());
    EXPECT_NE(C.LineStarts.GetItem(0), nullptr);
    EXPECT_EQ(C.PageStarts.GetItem(0), nullptr);
}

TEST_F(ConfigTest, TotalCorpusSizeAddsTheOpenStreams) {
    TTempDir Corpus;
    TConcordConfig& C = Lang0();
    EXPECT_EQ(TotalCorpusSize(0), 0);
    AddFile(C, Corpus.Write("a.txt", std::string(1000, 'a')));
    AddFile(C, Corpus.Write("b.txt", std::string(234, 'b')));
    AddFile(C, "never opened");
    C.Streams[0] = std::make_unique<TFileSynchroStream>(C.Files[0].Name, fmOpenRead);
    C.Streams[1] = std::make_unique<TFileSynchroStream>(C.Files[1].Name, fmOpenRead);
    EXPECT_EQ(TotalCorpusSize(0), 1234);
    EXPECT_EQ(TotalCorpusSize(1), 0);
    EXPECT_EQ(TotalCorpusSize(-1), 0);
    EXPECT_EQ(TotalCorpusSize(MaxLanguages), 0);
}

TEST_F(ConfigTest, WordCountSumsBeyondTheInt32Range) {
    TConcordConfig& C = Lang0();
    EXPECT_EQ(C.GetWordCount(), 0);
    AddFile(C, "a", false, "", 2000000000);
    AddFile(C, "b", false, "", 2000000000);
    EXPECT_EQ(C.GetWordCount(), 4000000000LL);
}

TEST_F(ConfigTest, StopListFollowsActiveAndTheLiveCaseRule) {
    TConcordConfig& C = Lang0();
    C.SetLanguage(0x0419, "Russian");
    TStopList& S = C.StopList;
    const std::string Upper = "\xC6\xC8\xC7\xCD\xDC";  // ЖИЗНЬ
    const std::string Lower = "\xE6\xE8\xE7\xED\xFC";  // жизнь
    S.SetWords({"the", Upper});
    EXPECT_FALSE(S.IsStopWord("the"));  // inactive
    EXPECT_TRUE(S.SetActive(true));
    EXPECT_TRUE(S.IsStopWord("the"));
    EXPECT_TRUE(S.IsStopWord(Upper));
    EXPECT_FALSE(S.IsStopWord(Lower));
    EXPECT_FALSE(S.IsStopWord("The"));
    EXPECT_FALSE(S.IsStopWord("th"));

    // The rule is read at each call.
    FrequencyConfigs[0].IgnoreCase = true;
    EXPECT_TRUE(S.IsStopWord(Lower));
    EXPECT_TRUE(S.IsStopWord("THE"));
    FrequencyConfigs[0].IgnoreCase = false;
    EXPECT_FALSE(S.IsStopWord(Lower));

    // Folding follows the language's code page: in cp1252 these bytes are not case partners.
    FrequencyConfigs[0].IgnoreCase = true;
    C.SetLanguage(0x0409, "English (United States)");
    EXPECT_FALSE(S.IsStopWord("\xDF"));
    S.SetWords({"\xDF"});
    EXPECT_TRUE(S.Active);
    EXPECT_FALSE(S.IsStopWord("\xFF"));
    C.SetLanguage(0x0419, "Russian");
    EXPECT_TRUE(S.IsStopWord("\xFF"));  // Я / я

    // New words replace the old ones at once.
    S.SetWords({"and"});
    EXPECT_FALSE(S.IsStopWord("the"));
    EXPECT_TRUE(S.IsStopWord("AND"));

    S.SetActive(false);
    EXPECT_FALSE(S.IsStopWord("and"));
    EXPECT_TRUE(S.SetActive(true));
    S.SetFileName("/x/stop.txt");
    EXPECT_TRUE(S.Words().empty());
    EXPECT_EQ(S.FileName, "/x/stop.txt");
    EXPECT_FALSE(S.SetActive(true));
    EXPECT_FALSE(S.Active);
}

TEST_F(ConfigTest, StopListLoadsItsFileOrReportsIt) {
    TRecordingMessenger Recorder;
    TTempDir Folder;
    TStopList& S = Lang0().StopList;
    S.SetFileName(Folder.Write("stop.txt", "the\r\nand\nof\r\n"));
    S.LoadFromFile();
    EXPECT_EQ(S.Words(), (std::vector<std::string>{"the", "and", "of"}));
    EXPECT_TRUE(S.Active);
    EXPECT_TRUE(S.IsStopWord("of"));
    EXPECT_EQ(S.GetWords(), "the\r\nand\r\nof\r\n");
    EXPECT_TRUE(Script.Messages.empty());

    S.SetFileName(Folder.Write("empty.txt", ""));
    S.LoadFromFile();
    EXPECT_FALSE(S.Active);
    EXPECT_TRUE(Script.Messages.empty());

    const std::string Missing = Folder.File("missing.txt");
    S.SetWords({"x"});
    S.FileName = Missing;
    S.LoadFromFile();
    ASSERT_EQ(Script.Texts(),
              (std::vector<std::string>{"Unable to load stop-list words from file \r\n" + Missing}));
    EXPECT_EQ(Script.Messages[0].Type, mtError);
    EXPECT_TRUE(S.Words().empty());
    EXPECT_FALSE(S.Active);

    S.FileName = Folder.Path().string();  // a folder cannot be read as a file
    S.LoadFromFile();
    EXPECT_EQ(Script.Messages.size(), 2u);

    // Neither a FIFO (which would wait for a writer for ever) nor an endless device is read.
    const std::string Fifo = Folder.File("fifo");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    ::alarm(20);
    for (const std::string& Name : {Fifo, std::string("/dev/zero")}) {
        S.SetWords({"x"});
        S.FileName = Name;
        S.LoadFromFile();
        EXPECT_EQ(Script.Texts().back(), "Unable to load stop-list words from file \r\n" + Name);
        EXPECT_TRUE(S.Words().empty());
        EXPECT_FALSE(S.Active);
    }
    ::alarm(0);
    EXPECT_EQ(Script.Messages.size(), 4u);

    // Each load runs under the wait cursor, failed ones included.
    ASSERT_EQ(Recorder.Entries.size(), 12u);
    for (size_t I = 0; I < Recorder.Entries.size(); ++I) {
        EXPECT_EQ(Recorder.Entries[I].Kind, TRecordingMessenger::rkCursor);
        EXPECT_EQ(Recorder.Entries[I].Waiting, I % 2 == 0);
    }
}

TEST_F(ConfigTest, SearchRecordCopiesAllButEqualChars) {
    TConcSearchRec R;
    R.Language = 2;
    R.Syntax = 1;
    R.Flags = sfContext | sfMatchCase;
    R.Names = {"a", "b"};
    R.Patterns = {"A", "B"};
    R.LeftContext = "l";
    R.RightContext = "r";
    R.HeadStartMarker = "<h>";
    R.HeadingPattern = "x*";
    R.HeadStopMarker = "</h>";
    R.TextStartMarker = "<t>";
    R.TextStopMarker = "</t>";
    R.SkippingChars = "-";
    R.EqualChars = "e=f";
    R.FrequencyOfHits = 3;
    R.Not = true;

    auto Copy = TConcSearchRec::CreateCopy(R);
    EXPECT_EQ(Copy->EqualChars, "");
    Copy->EqualChars = R.EqualChars;
    auto Same = [](const TConcSearchRec& A, const TConcSearchRec& B) {
        return A.Language == B.Language && A.Syntax == B.Syntax && A.Flags == B.Flags && A.Names == B.Names &&
               A.Patterns == B.Patterns && A.LeftContext == B.LeftContext &&
               A.RightContext == B.RightContext && A.HeadStartMarker == B.HeadStartMarker &&
               A.HeadingPattern == B.HeadingPattern && A.HeadStopMarker == B.HeadStopMarker &&
               A.TextStartMarker == B.TextStartMarker && A.TextStopMarker == B.TextStopMarker &&
               A.SkippingChars == B.SkippingChars && A.EqualChars == B.EqualChars &&
               A.FrequencyOfHits == B.FrequencyOfHits && A.Not == B.Not;
    };
    EXPECT_TRUE(Same(*Copy, R));

    TConcSearchRec Target;
    Target.EqualChars = "kept";
    Target.Names = {"old", "older", "oldest"};
    Target.Assign(R);
    EXPECT_EQ(Target.EqualChars, "kept");
    EXPECT_EQ(Target.Names, R.Names);

    EXPECT_EQ(R.GetTermsText(), "a / b");
    R.Names = {"love"};
    EXPECT_EQ(R.GetTermsText(), "love");
    R.Names.clear();
    EXPECT_EQ(R.GetTermsText(), "");
}

TEST_F(ConfigTest, CommonOptionsStartEmptyAndClearTheirTagLists) {
    TCommonConcordConfig& O = *CommonConfig;
    EXPECT_EQ(O.MaximumHits, 0);
    EXPECT_EQ(O.WildCard0orMore, 0);
    // The context sizes are what a new item list starts with, so they are never zero.
    EXPECT_EQ(O.ContextSizes, std::to_array(DefaultContextSizes));
    O.ContextSizes = {100, 5, 2, 1, 1};
    EXPECT_EQ(NewListContextSizes(), O.ContextSizes);
    auto Common = std::move(CommonConfig);
    EXPECT_EQ(NewListContextSizes(), std::to_array(DefaultContextSizes));
    CommonConfig = std::move(Common);
    EXPECT_EQ(O.CollocationSort.Keys[0].Key, skSearchTerm);
    O.wTagStarts = {"<w ", "<pos "};
    O.MetaTags.push_back({"NOUN", {"NN", "NNS"}});
    O.ClearTagLists();
    EXPECT_TRUE(O.wTagStarts.empty());
    EXPECT_TRUE(O.MetaTags.empty());
}

TEST_F(ConfigTest, TrackedTagsKnowWhetherTheyHaveAStopMarker) {
    EXPECT_TRUE(TWatchedTag("page", "<pb n=", "").NoStop);
    EXPECT_FALSE(TWatchedTag("sp", "<sp>", "</sp>").NoStop);
    WatchedTags.emplace_back("page", "<pb n=", "");
    ClearWatchedTags();
    EXPECT_TRUE(WatchedTags.empty());
}

TEST_F(ConfigTest, NamesThatWouldShareAPreferencesSectionAreRefused) {
    TConcordConfig& C = Lang0();
    const THeadRecord Head{"<h>", "</h>", "<t>", "</t>"};
    EXPECT_TRUE(C.AddHeading("Chapter", Head));
    EXPECT_FALSE(C.AddHeading("CHAPTER", {"a", "b", "c", "d"}));
    EXPECT_FALSE(C.AddHeading("chapter\r\nmore", Head));  // the file keeps the name up to its line end
    EXPECT_TRUE(C.AddHeading("Chapters", Head));
    // Only ASCII letters are folded, as the file's section lookup does.
    EXPECT_TRUE(C.AddHeading("\xC9t\xE9", Head));
    EXPECT_TRUE(C.AddHeading("\xE9t\xE9", Head));
    ASSERT_EQ(C.Headings.size(), 4u);
    EXPECT_EQ(C.Headings[0].Object.HeadStart, "<h>");
    EXPECT_EQ(C.IndexOfHeading("chaPTer"), 0);
    EXPECT_EQ(C.IndexOfHeading("Part"), -1);

    EXPECT_TRUE(AddWatchedTag({"div", "<div", ">"}));
    EXPECT_FALSE(AddWatchedTag({"DIV", "<x", ""}));
    EXPECT_TRUE(AddWatchedTag({"span", "<span", ">"}));
    ASSERT_EQ(WatchedTags.size(), 2u);
    EXPECT_EQ(WatchedTags[0].TagStart, "<div");
}
