#include "shell/ConcWorkspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/ConcFreqList.h"
#include "engine/ConcStreamUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/Paths.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/shell/WorkspaceTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Pairs every sentence of language 0 with the same sentence of language K, file by file.
std::unique_ptr<TDoubleAlignIndexes> SentencePairs(int K) {
    auto Pairs = std::make_unique<TDoubleAlignIndexes>();
    for (size_t F = 0; F < LanguageConfigs[0]->Files.size(); ++F) {
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        const TAlignIndex* S0 = LanguageConfigs[0]->SentenceIndexes.GetItem(int32_t(F));
        const TAlignIndex* SK = LanguageConfigs[size_t(K)]->SentenceIndexes.GetItem(int32_t(F));
        for (int32_t I = 0; I < std::min(S0->Count(), SK->Count()); ++I) {
            const TSegment A = S0->GetItem(I), B = SK->GetItem(I);
            Pair->Side1.Add(A.Start, A.End, A.Length);
            Pair->Side2.Add(B.Start, B.End, B.Length);
        }
        Pairs->Add(std::move(Pair));
    }
    return Pairs;
}

void SetAge(const std::string& Path, int Seconds) {
    fs::last_write_time(Path, fs::last_write_time(Path) + std::chrono::seconds(Seconds));
}

class WorkspaceTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        TempDir = platform::TempDir();
        KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = true;
        Files[0] = {Dir.Write("en1.txt", "The house.\nThe river.\n"),
                    Dir.Write("en2.txt", "A dog. A cat.\n")};
        Files[1] = {Dir.Write("de1.txt", "Das Haus.\nDer Fluss.\n"),
                    Dir.Write("de2.txt", "Ein Hund. Eine Katze.\n")};
        Files[2] = {Dir.Write("fr1.txt", "La maison.\nLa rivi\xC3\xA8re.\n"),
                    Dir.Write("fr2.txt", "Un chien. Un chat.\n")};
        for (int L = 0; L < 3; ++L) {
            Lang(L);
            LoadLanguageFiles(L, false, false, "English (United States)", 1033,
                              {{Files[size_t(L)][0], L == 2}, {Files[size_t(L)][1], false}}, false);
        }
        ASSERT_TRUE(ProcessCorpus());
        Align12 = SentencePairs(1);
        Align13 = SentencePairs(2);
        Workspace = Dir.File("work/Corpus.TWS");
        fs::create_directories(Dir.Path() / "work");
    }

    // Frees the corpus as the main window does before opening a workspace.
    void Reopen(bool Expect = true) {
        FreeLanguageConfigs();
        EXPECT_EQ(LoadWorkspace(Workspace), Expect)
            << (Backend.Messages.empty() ? "" : Backend.Texts().back());
    }

    std::array<std::array<std::string, 2>, 3> Files;
    std::string Workspace;
};

}  // namespace

TEST_F(WorkspaceTest, SaveAndReopenGiveBackEveryIndexListAndAlignment) {
    const std::string Before = CorpusSnapshot();
    ASSERT_TRUE(SaveWorkspace(Workspace));
    // The UTF-8 file's copy moved beside the workspace and is read there.
    const TCorpusFileRecord& Record = LanguageConfigs[2]->Files[0].Object;
    EXPECT_EQ(fs::path(Record.CopyName).parent_path(), Dir.Path() / "work" / "Corpus");
    EXPECT_EQ(LanguageConfigs[2]->Streams[0]->FileName(), Record.CopyName);

    Reopen();
    EXPECT_EQ(WorkspaceFileName, Workspace);
    EXPECT_TRUE(CorpusSnapshot() == Before);
    EXPECT_TRUE(LanguageConfigs[2]->Files[0].Object.Converted);
    for (int L = 0; L < 3; ++L) EXPECT_TRUE(LanguageConfigs[size_t(L)]->FileListsConsistent());
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_TRUE(Backend.Messages.empty());
}

TEST_F(WorkspaceTest, KeepOptionsLeaveOutTheirBlocks) {
    KeepSegmentIndexes = false;
    KeepFrequency = false;
    ASSERT_TRUE(SaveWorkspace(Workspace));
    Reopen();
    EXPECT_FALSE(Align12);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(LanguageConfigs[0]->LineStarts.GetItem(0));
    EXPECT_TRUE(CorpusNeedsProcessing());
}

TEST_F(WorkspaceTest, ChangedFilesLoseTheirDataAndAnHourIsForgiven) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    SetAge(Files[0][0], 3600);  // a change of daylight-saving time
    SetAge(Files[1][1], 3602);  // really changed
    const std::string OldCopy = LanguageConfigs[2]->Files[0].Object.CopyName;
    SetAge(Files[2][0], 10);  // the UTF-8 file changed: it gets a new copy
    Reopen();
    const TConcordConfig& En = *LanguageConfigs[0];
    const TConcordConfig& De = *LanguageConfigs[1];
    const TConcordConfig& Fr = *LanguageConfigs[2];
    EXPECT_TRUE(En.SentenceIndexes.GetItem(0));
    EXPECT_TRUE(En.FreqList);
    EXPECT_FALSE(De.SentenceIndexes.GetItem(1));
    EXPECT_TRUE(De.SentenceIndexes.GetItem(0));
    EXPECT_FALSE(De.FreqList);
    EXPECT_EQ(De.GetWordCount(), 0);
    EXPECT_FALSE(Align12);  // language 1 dropped its pairs
    EXPECT_FALSE(Align13);  // and so did language 2
    EXPECT_TRUE(Fr.Files[0].Object.Converted);
    EXPECT_NE(Fr.Files[0].Object.CopyName, OldCopy);
    EXPECT_FALSE(fs::exists(OldCopy));
    EXPECT_TRUE(fs::exists(Fr.Files[0].Object.CopyName));
    EXPECT_TRUE(CorpusNeedsProcessing());
}

TEST_F(WorkspaceTest, MissingFilesAndCopiesAndMovedWorkspaces) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    fs::remove(Files[1][0]);
    fs::remove(LanguageConfigs[2]->Files[0].Object.CopyName);
    Reopen();
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"File \"" + Files[1][0] + "\" not found."});
    const TConcordConfig& De = *LanguageConfigs[1];
    ASSERT_EQ(De.Files.size(), 1u);
    EXPECT_EQ(De.Files[0].Name, Files[1][1]);
    EXPECT_TRUE(De.FileListsConsistent());
    // The lost copy is made again.
    EXPECT_TRUE(fs::exists(LanguageConfigs[2]->Files[0].Object.CopyName));

    // Files stored relative to the workspace are found after moving both.
    const std::string Inside = Dir.Write("work/inside.txt", "Inside text.\n");
    FreeLanguageConfigs();
    Lang(0);
    LoadLanguageFiles(0, false, false, "English (United States)", 1033, {{Inside}}, false);
    ASSERT_TRUE(SaveWorkspace(Workspace));
    fs::rename(Dir.Path() / "work", Dir.Path() / "moved");
    Workspace = Dir.File("moved/Corpus.TWS");
    Reopen();
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Name, Dir.File("moved/inside.txt"));
}

TEST_F(WorkspaceTest, AFailedOpenLeavesNothingLoadedAndTheFilesUntouched) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Bin = WorkspaceBinName(Workspace);
    std::string Bytes = ReadWholeFile(Bin);
    Bytes[16] = 0x07;  // a newer version
    Dir.Write("work/Corpus.BIN", Bytes);
    const std::string Tws = ReadWholeFile(Workspace);
    Reopen(false);
    EXPECT_EQ(Backend.Texts().back(), "Unknown file version.");
    EXPECT_TRUE(WorkspaceFileName.empty());
    for (int L = 0; L < LanguagesCount; ++L) EXPECT_TRUE(LanguageConfigs[size_t(L)]->Files.empty());
    EXPECT_FALSE(Align12);
    EXPECT_FALSE(SaveWorkspace(WorkspaceFileName));  // as closing with save-on-exit would
    EXPECT_EQ(ReadWholeFile(Bin), Bytes);
    EXPECT_EQ(ReadWholeFile(Workspace), Tws);
}

TEST_F(WorkspaceTest, CutShortOrHostileDataFilesAreRefusedOrRecoveredCleanly) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string Whole = ReadWholeFile(Bin);
    TMemoryStream Head(Whole);
    Head.SetPosition(12);
    const int32_t Trailer = ReadStreamInteger(Head);
    std::mt19937 Rng(5);
    std::vector<size_t> Cuts = {0, 5, 12, 20, 24, size_t(Trailer) - 1, size_t(Trailer), Whole.size() - 1};
    for (int I = 0; I < 40; ++I) Cuts.push_back(Rng() % Whole.size());
    for (size_t Cut : Cuts) {
        Dir.Write("work/Corpus.BIN", Whole.substr(0, Cut));
        FreeLanguageConfigs();
        const bool Opened = LoadWorkspace(Workspace);
        if (Cut < size_t(Trailer)) {
            EXPECT_FALSE(Opened) << "cut at " << Cut;
        }
        for (int L = 0; L < LanguagesCount; ++L)
            EXPECT_TRUE(LanguageConfigs[size_t(L)]->FileListsConsistent());
        EXPECT_EQ(ReadWholeFile(Bin), Whole.substr(0, Cut));
    }
    // Random bytes inside the sections: whatever is read, the lists stay in step and nothing crashes.
    for (int I = 0; I < 40; ++I) {
        std::string Damaged = Whole;
        for (int K = 0; K < 8; ++K) Damaged[24 + Rng() % (Whole.size() - 24)] = char(Rng());
        Dir.Write("work/Corpus.BIN", Damaged);
        FreeLanguageConfigs();
        LoadWorkspace(Workspace);
        for (int L = 0; L < LanguagesCount; ++L)
            EXPECT_TRUE(LanguageConfigs[size_t(L)]->FileListsConsistent());
    }
}

TEST_F(WorkspaceTest, AnOlderVersionWithoutCopiesOpens) {
    TMemoryStream S;
    WriteStreamString(S, "CONCORDS");
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, WorkspaceVersionWithoutCopies);
    WriteStreamInteger(S, 1);
    WriteStreamString(S, "FILES");
    WriteStreamInteger(S, 1);
    WriteStreamString(S, "en2.txt");  // relative to the workspace's folder
    WriteStreamInteger(S, 4);
    WriteStreamInteger(S, platform::FileAge(Files[0][1]));
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, int32_t(Trailer));
    const std::string Old = Dir.File("Old.TWS");
    ASSERT_TRUE(SaveWorkspace(Old));
    Dir.Write("Old.BIN", S.Bytes());
    Workspace = Old;
    Reopen();
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Name, Files[0][1]);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Object.WordCount, 4);
    EXPECT_FALSE(LanguageConfigs[0]->Files[0].Object.Converted);
}

TEST(WorkspacePathsTest, NamesAndTimes) {
    EXPECT_EQ(ResolveWorkspacePath("a/b.txt", "/nowhere/"), "/nowhere/b.txt");  // not found: bare name
    EXPECT_EQ(ResolveWorkspacePath("C:\\corpus\\b.txt", "/ws/"), "/ws/b.txt");
    EXPECT_EQ(ResolveWorkspacePath("/tmp", "/ws/"), "/tmp");
    EXPECT_TRUE(FileTimeMatches(0x50000000, 0x50000800));
    EXPECT_TRUE(FileTimeMatches(0x50000800, 0x50000000));
    EXPECT_FALSE(FileTimeMatches(0x50000000, 0x50000801));
    EXPECT_FALSE(FileTimeMatches(-1, -1));
    EXPECT_EQ(WorkspaceBinName("/a/b.TWS"), "/a/b.BIN");
    EXPECT_EQ(WorkspaceFolder("/a/b.TWS"), "/a/");
}

// The copy of a changed file is deleted: a stored copy name that is another file, or the file itself,
// must not make the workspace delete it.
TEST_F(WorkspaceTest, StoredCopyNamesThatAreNotCopiesAreNeitherReadNorDeleted) {
    const std::string Precious = Dir.Write("precious.txt", "Keep me.\n");
    TMemoryStream S;
    WriteStreamString(S, "CONCORDS");
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, WorkspaceVersion);
    WriteStreamInteger(S, 1);
    WriteStreamString(S, "FILES");
    WriteStreamInteger(S, 2);
    for (const std::string& Copy : {Precious, Files[0][1]}) {
        WriteStreamString(S, Files[0][Copy == Precious ? 0 : 1]);
        WriteStreamInteger(S, 3);
        WriteStreamInteger(S, 0);  // changed since: its copy is made again and the old one deleted
        WriteStreamBoolean(S, true);
        WriteStreamString(S, Copy);
    }
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, int32_t(Trailer));
    ASSERT_TRUE(SaveWorkspace(Workspace));
    Dir.Write("work/Corpus.BIN", S.Bytes());
    const std::string En2 = ReadWholeFile(Files[0][1]);
    Reopen();
    EXPECT_EQ(ReadWholeFile(Precious), "Keep me.\n");
    EXPECT_EQ(ReadWholeFile(Files[0][1]), En2);
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 2u);
    for (const auto& File : LanguageConfigs[0]->Files) {
        EXPECT_TRUE(File.Object.Converted);
        EXPECT_NE(File.Object.CopyName.find("_ASCII"), std::string::npos) << File.Object.CopyName;
        EXPECT_TRUE(fs::exists(File.Object.CopyName));
    }
}
