#include "engine/SynStream.h"
#include "engine/UTF8_to_ASCII.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(std::initializer_list<int> Values) {
    std::string S;
    for (int V : Values) S.push_back(static_cast<char>(V));
    return S;
}

// Decodes Input as one block followed by nothing; returns the UTF-16 text or the error's text.
std::pair<std::u16string, std::string> Decode(const std::string& Input) {
    TMemoryStream Rest;
    std::u16string Text;
    try {
        UTF8Decode(reinterpret_cast<const uint8_t*>(Input.data()), static_cast<int32_t>(Input.size()), Text,
                   Rest);
    } catch (const EConvertError& E) {
        return {Text, E.what()};
    }
    return {Text, ""};
}

// A random UTF-8 text of about Size bytes mixing ASCII, Latin-1, Cyrillic, CJK and characters beyond
// U+FFFF, so that sequences of every length land on every block boundary sooner or later.
std::string RandomUtf8(std::mt19937& Rng, size_t Size) {
    static const std::vector<std::string> Pool = {"a", "b", " ", "X", ".",  "\n", "\r", "\t", "é", "è",
                                                  "ü", "ß", "Ж", "я", "中", "文", "😀",  "€",  "‰"};
    std::string Out;
    while (Out.size() < Size) Out += Pool[Rng() % Pool.size()];
    return Out;
}

class Utf8Test : public TCorpusTest {
protected:
    std::string Convert(const std::string& Utf8, int CodePage, bool* Ok = nullptr) {
        const std::string Source = Dir.Write("src.txt", Utf8);
        const std::string Dest = Dir.File("dst.txt");
        const bool Done = ConvertUTF8File(Source, Dest, CodePage, nullptr);
        if (Ok) *Ok = Done;
        return ReadWholeFile(Dest);
    }
};

}  // namespace

TEST(Utf8DecodeTest, EachMalformedFormRaisesItsOwnText) {
    EXPECT_EQ(Decode(Bytes({0x80})).second, "Invalid UTF-8 sequence 80");
    EXPECT_EQ(Decode(Bytes({0xC3, 0x28})).second, "Invalid UTF-8 sequence $28");
    // The bytes of a broken sequence are shown as "$XX", never as raw bytes a message cannot show.
    EXPECT_EQ(Decode(Bytes({0xC0, 0x80})).second, "Invalid UTF-8 encoding \"$C0$80\"");
    EXPECT_EQ(Decode(Bytes({0xED, 0xA0, 0x80})).second, "Invalid UCS-4 character $0000D800");
    EXPECT_EQ(Decode(Bytes({0xEF, 0xBF, 0xBE})).second, "Invalid UCS-4 character $0000FFFE");
    EXPECT_EQ(Decode(Bytes({0xF4, 0x90, 0x80, 0x80})).second, "Cannot convert $00110000 to UTF-16");
    const std::string Seven = Bytes({0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
    EXPECT_EQ(Decode(Seven).second, "Invalid UTF-8 sequence \"$FE$80$80$80$80$80$80\"");
    const std::string Eight = Bytes({0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
    EXPECT_EQ(Decode(Eight).second, "Invalid UTF-8 sequence \"$FF$80$80$80$80$80$80$80\"");
    // A sequence cut by the end of the text names the bytes the text holds, not a 0 it does not.
    EXPECT_EQ(Decode(Bytes({'a', 0xE2, 0x82})).second, "Invalid UTF-8 sequence \"$E2$82\"");
}

TEST(Utf8DecodeTest, ValidFormsGiveTheirUnits) {
    EXPECT_EQ(Decode(Bytes({0xF0, 0x9F, 0x98, 0x80})).first, std::u16string({0xD83D, 0xDE00}));
    EXPECT_EQ(Decode("a" + Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC})).first, std::u16string(u"aé€"));
}

TEST(Utf8DecodeTest, SequenceAcrossTheBlockEndIsCompletedFromTheStreamAndTheRestGivenBack) {
    // The block ends after the lead byte of a 3-byte character; the stream holds the rest and more.
    const std::string Block = "ab" + Bytes({0xE2});
    TMemoryStream Rest(Bytes({0x82, 0xAC}) + "cdefghijklmn");
    std::u16string Text;
    UTF8Decode(reinterpret_cast<const uint8_t*>(Block.data()), 3, Text, Rest);
    EXPECT_EQ(Text, std::u16string(u"ab€"));
    EXPECT_EQ(Rest.GetPosition(), 2);  // "cdef..." is read with the next block
}

TEST_F(Utf8Test, ConversionEqualsAWholeFileConversionOnRandomTexts) {
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 12; ++Round) {
        const std::string Text = RandomUtf8(Rng, 1000 + Rng() % 5000);
        const bool WithBom = Round % 2 == 0;
        for (int CodePage : {1252, 1251, 932}) {
            bool Ok = false;
            const std::string Got = Convert((WithBom ? Bytes({0xEF, 0xBB, 0xBF}) : "") + Text, CodePage, &Ok);
            ASSERT_TRUE(Ok);
            EXPECT_EQ(Got, platform::Utf16ToCodePageNearest(CodePage, Decode(Text).first))
                << "round " << Round << " cp " << CodePage;
        }
    }
}

TEST_F(Utf8Test, BomIsSkippedAndAShortFileWithoutOneKeepsItsBytes) {
    EXPECT_EQ(Convert(Bytes({0xEF, 0xBB, 0xBF}) + "abc", 1252), "abc");
    EXPECT_EQ(Convert("ab", 1252), "ab");
    // Characters the code page lacks become "?", a character beyond U+FFFF too.
    EXPECT_EQ(Convert("x" + Bytes({0xF0, 0x9F, 0x98, 0x80}) + "y", 1252), "x?y");
}

TEST_F(Utf8Test, FailuresLeaveNoCopyAndAreReportedOnce) {
    const std::string Dest = Dir.File("out.txt");
    EXPECT_FALSE(ConvertUTF8File(Dir.File("missing.txt"), Dest, 1252, nullptr));
    EXPECT_FALSE(ConvertUTF8File(Dir.Write("a.txt", "abc"), Dest, 12345, nullptr));
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{"The source file dose not exists!", "Invaid CodePage '12345'"}));
    EXPECT_FALSE(fs::exists(Dest));

    // Bad UTF-8 far into the file: the partial copy is deleted.
    std::string Big(5000, 'a');
    Big += Bytes({0xC3, 0x28});
    EXPECT_THROW(ConvertUTF8File(Dir.Write("bad.txt", Big), Dest, 1252, nullptr), EConvertError);
    EXPECT_FALSE(fs::exists(Dest));
}

// A UTF-8 file of 2 GiB was converted whole (3 GB written) before the copy was refused under the copy's
// name; the size is now said first, naming the user's file, and nothing is written.
TEST_F(Utf8Test, AFileTooLargeIsRefusedByItsOwnNameBeforeAnyConversion) {
    Lang(0);
    const std::string Huge = Dir.File("huge.txt");
    { std::ofstream(Huge) << "x"; }
    ASSERT_EQ(::truncate(Huge.c_str(), 0x80000000LL), 0);
    const auto Before = std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator());
    EXPECT_FALSE(ConvertCorpusFile(Huge, "", true, 0));
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{CorpusFileTooLargeText(Huge)});
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), Before);
    EXPECT_TRUE(LanguageConfigs[0]->Files.empty());
}

TEST_F(Utf8Test, CancelDeletesTheCopy) {
    const std::string Source = Dir.Write("big.txt", std::string(200000, 'a'));
    const std::string Dest = Dir.File("out.txt");
    auto Progress = ShowProgressForm(5, "Converting...", Source, 0, 0, "");
    Backend.OnProcessMessages = [&] { Progress->Tag = 1; };
    EXPECT_FALSE(ConvertUTF8File(Source, Dest, 1252, Progress.get()));
    EXPECT_FALSE(fs::exists(Dest));
    EXPECT_EQ(Progress->Caption(), "Processing UTF-8 File");
}

TEST_F(Utf8Test, CopyNamesCountUpAndLiveBesideTheWorkspace) {
    const std::string Source = Dir.Write("A.txt", "x");
    const std::string First = MakeAsciiCopyName(Source, "");
    EXPECT_EQ(fs::path(First).filename(), "A_ASCII.txt");
    std::ofstream(First) << "x";
    EXPECT_EQ(fs::path(MakeAsciiCopyName(Source, "")).filename(), "A_ASCII_1.txt");
    fs::remove(First);

    const std::string InWorkspace = MakeAsciiCopyName(Source, Dir.File("Work.TWS"));
    EXPECT_EQ(fs::path(InWorkspace).parent_path(), Dir.Path() / "Work");
    EXPECT_TRUE(fs::is_directory(Dir.Path() / "Work"));
}

namespace {

class LoadFilesTest : public Utf8Test {
protected:
    void SetUp() override {
        Utf8Test::SetUp();
        Lang(0);
    }
    TConcordConfig& Config() { return *LanguageConfigs[0]; }
    std::vector<std::string> Names() {
        std::vector<std::string> N;
        for (const auto& F : Config().Files) N.push_back(F.Name);
        return N;
    }
    // Every per-file list in step, and each file read through the path its record names.
    void ExpectConsistent() {
        ASSERT_TRUE(Config().FileListsConsistent());
        for (size_t I = 0; I < Config().Files.size(); ++I) {
            const auto& F = Config().Files[I];
            ASSERT_TRUE(Config().Streams[I]);
            // A reader, once made, reads through the file's stream of now.
            if (Config().Readers[I]) {
                EXPECT_EQ(&Config().Readers[I]->Source(), Config().Streams[I].get());
            }
            EXPECT_EQ(Config().Streams[I]->FileName(), F.Object.CopyName);
            EXPECT_EQ(F.Object.CopyName == F.Name, !F.Object.Converted);
        }
    }
    TRecordingMessenger Messenger;
};

}  // namespace

TEST_F(LoadFilesTest, RandomEditsKeepEveryListInStepAndInTheListsOrder) {
    std::mt19937 Rng(11);
    std::vector<std::string> Pool;
    for (int I = 0; I < 8; ++I)
        Pool.push_back(Dir.Write("f" + std::to_string(I) + ".txt", "word " + std::to_string(I)));
    std::vector<TNewCorpusFile> List;
    for (int Round = 0; Round < 40; ++Round) {
        // Remove one, add one, switch one's UTF-8 mark, shuffle.
        if (!List.empty() && Rng() % 3 == 0) List.erase(List.begin() + Rng() % List.size());
        const std::string& Candidate = Pool[Rng() % Pool.size()];
        if (std::none_of(List.begin(), List.end(), [&](auto& F) { return F.Name == Candidate; }))
            List.push_back({Candidate, Rng() % 2 == 0});
        if (!List.empty() && Rng() % 3 == 0) List[Rng() % List.size()].IsUTF8 ^= true;
        std::shuffle(List.begin(), List.end(), Rng);

        LoadLanguageFiles(0, false, false, "English (United States)", 1033, List, false);
        std::vector<std::string> Expected;
        for (const auto& F : List) Expected.push_back(F.Name);
        ASSERT_EQ(Names(), Expected) << "round " << Round;
        ExpectConsistent();
        for (size_t I = 0; I < List.size(); ++I)
            EXPECT_EQ(Config().Files[I].Object.Converted, List[I].IsUTF8);
    }
    EXPECT_TRUE(Backend.Messages.empty());
}

TEST_F(LoadFilesTest, MovingOneFileUpSendsOneExchangeAndKeepsNewFilesAlignmentsOnlyWhenAdding) {
    const std::string A = Dir.Write("a.txt", "a"), B = Dir.Write("b.txt", "b"), C = Dir.Write("c.txt", "c");
    LoadLanguageFiles(0, false, false, "x", 1033, {{A}, {B}, {C}}, false);
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    Messenger.Entries.clear();

    LoadLanguageFiles(0, false, false, "x", 1033, {{A}, {C}, {B}}, false);
    const auto Sent = Messenger.Messages();
    EXPECT_EQ(std::count(Sent.begin(), Sent.end(), CM_FILESEXCHANGED), 1);
    EXPECT_FALSE(Align12);  // an exchange drops the alignments

    Align12 = std::make_unique<TDoubleAlignIndexes>();
    const std::string D = Dir.Write("d.txt", "d");
    LoadLanguageFiles(0, false, false, "x", 1033, {{A}, {C}, {B}, {D}}, false);
    EXPECT_TRUE(Align12);  // adding alone keeps them
}

TEST_F(LoadFilesTest, WindowsHearOfARemovedOrSwitchedFileWhileItsStreamStillExists) {
    const std::string A = Dir.Write("a.txt", "a"), B = Dir.Write("b.txt", "b");
    LoadLanguageFiles(0, false, false, "x", 1033, {{A}, {B}}, false);
    std::vector<bool> StreamAlive;
    Messenger.OnSend = [&](int Msg, intptr_t, intptr_t LParam) -> intptr_t {
        if (Msg == CM_FILEREMOVED) StreamAlive.push_back(Config().Streams.at(size_t(LParam)) != nullptr);
        return 0;
    };
    LoadLanguageFiles(0, false, false, "x", 1033, {{A, true}}, false);
    EXPECT_EQ(StreamAlive, (std::vector<bool>{true, true}));
    EXPECT_EQ(Names(), std::vector<std::string>{A});
    EXPECT_TRUE(Config().Files[0].Object.Converted);
    ExpectConsistent();
}

// A process that ends without freeing its languages (a fault, a plain exit) frees them with its statics:
// the copy this run made still goes then, and what telling it apart needs is not gone before them.
TEST_F(LoadFilesTest, ACopyThisRunMadeGoesEvenWhenTheProcessEndsWithoutFreeingItsLanguages) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::string A = Dir.Write("a.txt", "caf\xC3\xA9\n");
    LoadLanguageFiles(0, false, false, "x", 1033, {{A, true}}, false);
    const std::string Copy = Config().Files[0].Object.CopyName;
    ASSERT_TRUE(fs::exists(Copy));
    EXPECT_EXIT(std::exit(0), testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(Copy));
}

TEST_F(LoadFilesTest, FailedRegistrationsAndSwitchesLoseNothing) {
    const std::string Good = Dir.Write("good.txt", "fine");
    const std::string Bad = Dir.Write("bad.txt", "x" + Bytes({0xC3, 0x28}));
    // The bad UTF-8 file cannot be added; the order is that of the files that were.
    LoadLanguageFiles(0, false, false, "x", 1033, {{Bad, true}, {Good}}, false);
    EXPECT_EQ(Names(), std::vector<std::string>{Good});
    // The message names the file and where in it the fault lies.
    ASSERT_EQ(Backend.Texts(),
              std::vector<std::string>{"Invalid UTF-8 sequence $28 in \"" + Bad + "\" (bytes 0 to 3)."});

    // Switching a file that is not valid UTF-8 keeps it readable as it was.
    LoadLanguageFiles(0, false, false, "x", 1033, {{Good}, {Bad}}, false);
    LoadLanguageFiles(0, false, false, "x", 1033, {{Good}, {Bad, true}}, false);
    EXPECT_EQ(Names(), (std::vector<std::string>{Good, Bad}));
    EXPECT_FALSE(Config().Files[1].Object.Converted);
    ExpectConsistent();
    char First = 0;
    int32_t At = 0;
    EXPECT_EQ(Config().Streams[1]->ReadAt(&First, 1, At), 1);
    EXPECT_EQ(First, 'x');
}

TEST_F(LoadFilesTest, ANewLocaleOrFormatDropsTheLanguagesIndexes) {
    const std::string A = Dir.Write("a.txt", "Some words. More words.\n");
    LoadLanguageFiles(0, false, false, "", 0, {{A}}, false);
    EXPECT_EQ(Config().LocaleId, 1033u);
    EXPECT_EQ(Config().LanguageName, "English (United States)");

    ASSERT_TRUE(ProcessCorpus());
    ASSERT_TRUE(Config().SentenceIndexes.GetItem(0));
    LoadLanguageFiles(0, false, true, "English (United States)", 1033, {{A}}, false);
    EXPECT_FALSE(Config().SentenceIndexes.GetItem(0));  // a new text format cuts the files again

    ASSERT_TRUE(ProcessCorpus());
    Messenger.Entries.clear();
    LoadLanguageFiles(0, false, false, "German (Germany)", 1031, {{A}}, false);
    EXPECT_EQ(Config().LocaleId, 1031u);
    EXPECT_FALSE(Config().FreqList);
    const auto Sent = Messenger.Messages();
    EXPECT_NE(std::find(Sent.begin(), Sent.end(), CM_ALIGNMENTDROPPED), Sent.end());
}

// A disk that takes no more copies (here a file size limit, which fails the same way): one message with
// the reason, the UTF-8 files after it are not tried, plain files still load and no partial copy stays.
TEST_F(LoadFilesTest, ACopyWithoutRoomIsSaidOnceAndStopsTheConversions) {
    const std::string Long(600, 'x');
    const std::string U1 = Dir.Write("u1.txt", "\xC3\xA9" + Long + "\n");
    const std::string Plain = Dir.Write("plain.txt", "Plain words.\n");
    const std::string U2 = Dir.Write("u2.txt", "\xC3\xA8" + Long + "\n");
    const std::string U3 = Dir.Write("u3.txt", "\xC3\xA0" + Long + "\n");
    const std::string FirstCopy = MakeAsciiCopyName(U1, "");
    struct rlimit Old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Old), 0);
    const auto OldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit Small = Old;
    Small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
    LoadLanguageFiles(0, false, false, "English (United States)", 1033,
                      {{U1, true}, {Plain, false}, {U2, true}, {U3, true}}, false);
    setrlimit(RLIMIT_FSIZE, &Old);
    signal(SIGXFSZ, OldHandler);
    EXPECT_EQ(Backend.Texts(),
              std::vector<std::string>{WriteFailureText(FirstCopy, EFBIG) + "\n" + NoRoomForCopiesText});
    ASSERT_EQ(Config().Files.size(), 1u);
    EXPECT_EQ(Config().Files[0].Name, Plain);
    EXPECT_FALSE(fs::exists(FirstCopy));
    // The next load tries again.
    Backend.Messages.clear();
    LoadLanguageFiles(0, false, false, "English (United States)", 1033, {{Plain, false}, {U2, true}}, false);
    EXPECT_TRUE(Backend.Messages.empty());
    EXPECT_EQ(Config().Files.size(), 2u);
}

// However many files a search left out, one warning: the text of one file names it; several are counted,
// the first five named in the order met, the rest counted, with the same advice.
TEST(ChangedFilesTest, OneWarningCountsTheFilesNamesTheFirstFewAndGivesTheSameAdvice) {
    EXPECT_EQ(ChangedFilesText({"/c/a.txt"}), ChangedFileText("/c/a.txt"));
    EXPECT_EQ(ChangedFilesText({"a", "b"}),
              "2 files have changed since they were processed and are left out of this search: \"a\", \"b\". "
              "File > \"Scan Corpus\" processes them again.");
    std::vector<std::string> Names;
    for (int I = 0; I < 2000; ++I) Names.push_back("f" + std::to_string(I) + ".txt");
    EXPECT_EQ(
        ChangedFilesText(Names),
        "2000 files have changed since they were processed and are left out of this search: \"f0.txt\", "
        "\"f1.txt\", \"f2.txt\", \"f3.txt\", \"f4.txt\" and 1995 more. File > \"Scan Corpus\" processes "
        "them again.");
}
