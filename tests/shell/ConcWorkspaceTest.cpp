#include "shell/ConcWorkspace.h"
#include "shell/WorkspaceSeal.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "engine/ConcFreqList.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/IniFiles.h"
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

void WriteBytes(const std::string& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

// A settings file as workspaces were saved before they listed their files.
void DropFileLists(const std::string& Tws) {
    TIniFile Ini(Tws);
    for (int L = 0; L < 4; ++L) Ini.EraseSection(LanguageSection("CorpusFiles", L));
    Ini.UpdateFile();
}

// A hand-made data file up to the first language's file count: header, trailer placeholder, version,
// one language, "FILES".
void WriteOneLanguageHead(TStream& S, int32_t Version) {
    WriteStreamString(S, "CONCORDS");
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, Version);
    WriteStreamInteger(S, 1);
    WriteStreamString(S, "FILES");
}

void SetAge(const std::string& Path, int Seconds) {
    fs::last_write_time(Path, fs::last_write_time(Path) + std::chrono::seconds(Seconds));
}

// Writes Text over the file Path and gives it its old time moved by Seconds.
void Rewrite(const std::string& Path, const std::string& Text, int Seconds) {
    const auto Age = fs::last_write_time(Path);
    WriteBytes(Path, Text);
    fs::last_write_time(Path, Age + std::chrono::seconds(Seconds));
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
    SetAge(Files[0][0], 3600);                              // a change of daylight-saving time
    Rewrite(Files[1][1], "Ein Hund. Eine Kutze.\n", 3602);  // really changed, at the same size
    const std::string OldCopy = LanguageConfigs[2]->Files[0].Object.CopyName;
    // The UTF-8 file changed: it gets a new copy.
    Rewrite(Files[2][0], "La maison.\nLa rivi\xC3\xA8re bleue.\n", 10);
    SetAge(Files[2][1], 86400);  // copied without its time: the text is the one saved
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
    // Only the pairs of the changed files are computed again, and they are named.
    ASSERT_TRUE(Align12 && Align13);
    EXPECT_TRUE(Align12->GetItem(0));
    EXPECT_FALSE(Align12->GetItem(1));
    EXPECT_FALSE(Align13->GetItem(0));
    EXPECT_TRUE(Align13->GetItem(1));
    EXPECT_TRUE(Fr.SentenceIndexes.GetItem(1));
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{std::string(ChangedAlignmentText) + "\n\"" +
                                                        Files[0][1] + "\" with \"" + Files[1][1] + "\"\n\"" +
                                                        Files[0][0] + "\" with \"" + Files[2][0] + "\""});
    EXPECT_FALSE(WorkspaceIncomplete);
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
    // The files after the missing one move up: their pairs no longer pair the files they were made for.
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{"File \"" + Files[1][0] + "\" not found.",
                                        std::string(LostAlignmentText) + "\n\"" + Files[0][1] + "\" with \"" +
                                            Files[1][1] + "\""}));
    ASSERT_TRUE(Align12 && Align13);
    EXPECT_EQ(Align12->Count(), 2);
    EXPECT_FALSE(Align12->GetItem(0) || Align12->GetItem(1));
    EXPECT_TRUE(Align13->GetItem(0) && Align13->GetItem(1));
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
    WriteOneLanguageHead(S, WorkspaceVersionWithoutCopies);
    WriteStreamInteger(S, 1);
    WriteStreamString(S, "en2.txt");  // relative to the workspace's folder
    WriteStreamInteger(S, 4);
    WriteStreamInteger(S, platform::FileAge(Files[0][1]));
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, int32_t(Trailer));
    const std::string Old = Dir.File("Old.TWS");
    ASSERT_TRUE(SaveWorkspace(Old));
    DropFileLists(Old);
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
    // An hour that crosses midnight, a month's end or a year's end is still an hour.
    auto Pack = [](int Year, int Month, int Day, int Hour, int Minute, int Second) {
        return static_cast<int32_t>(static_cast<uint32_t>((Year - 1980) << 25 | Month << 21 | Day << 16 |
                                                          Hour << 11 | Minute << 5 | Second / 2));
    };
    EXPECT_TRUE(FileTimeMatches(Pack(2026, 12, 8, 0, 30, 10), Pack(2026, 12, 7, 23, 30, 10)));
    EXPECT_TRUE(FileTimeMatches(Pack(2026, 12, 7, 23, 30, 10), Pack(2026, 12, 8, 0, 30, 10)));
    EXPECT_TRUE(FileTimeMatches(Pack(2027, 2, 1, 0, 0, 0), Pack(2027, 1, 31, 23, 0, 0)));
    EXPECT_TRUE(FileTimeMatches(Pack(2027, 1, 1, 0, 59, 58), Pack(2026, 12, 31, 23, 59, 58)));
    EXPECT_FALSE(FileTimeMatches(Pack(2026, 12, 8, 1, 30, 10), Pack(2026, 12, 7, 23, 30, 10)));
    EXPECT_FALSE(FileTimeMatches(Pack(2026, 12, 8, 23, 30, 10), Pack(2026, 12, 7, 23, 30, 10)));
    EXPECT_EQ(WorkspaceBinName("/a/b.TWS"), "/a/b.BIN");
    EXPECT_EQ(WorkspaceFolder("/a/b.TWS"), "/a/");
}

// The copy of a changed file is deleted: a stored copy name that is another file, or the file itself,
// must not make the workspace delete it.
TEST_F(WorkspaceTest, StoredCopyNamesThatAreNotCopiesAreNeitherReadNorDeleted) {
    const std::string Precious = Dir.Write("precious.txt", "Keep me.\n");
    TMemoryStream S;
    WriteOneLanguageHead(S, WorkspaceVersion);
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
    DropFileLists(Workspace);
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

namespace {

// The offsets of a saved data file's fields, found by walking it as the reader does.
struct TBinLayout {
    size_t LanguageCount = 20;
    std::vector<size_t> FileCounts;  // per language, the offset of the "FILES" count
    size_t Trailer = 0;
    std::vector<size_t> TrailerBlocks;  // the offsets of the trailer's pair blocks
};

TBinLayout Layout(const std::string& Bin) {
    TBinLayout Out;
    TMemoryStream S(Bin);
    S.SetPosition(12);
    Out.Trailer = size_t(ReadStreamInteger(S));
    for (size_t At = 24; (At = Bin.find("FILES", At)) != std::string::npos && At < Out.Trailer; At += 5)
        Out.FileCounts.push_back(At + 5);
    S.SetPosition(int64_t(Out.Trailer));
    while (S.Remaining() > 0) {
        ReadStreamString(S);
        Out.TrailerBlocks.push_back(size_t(S.GetPosition()));
        const TBlockHead Head = ReadBlockHead(S);
        SkipBlock(S, Head);
    }
    return Out;
}

std::string WithInteger(std::string Bin, size_t At, int32_t Value) {
    for (int I = 0; I < 4; ++I) Bin[At + size_t(I)] = char(uint32_t(Value) >> (8 * I));
    return Bin;
}

// The byte count of the string whose count stands at At.
size_t StoredNameLength(const std::string& Bin, size_t At);

int32_t IntegerAt(const std::string& Bin, size_t At) {
    TMemoryStream S(Bin);
    S.SetPosition(int64_t(At));
    return ReadStreamInteger(S);
}

size_t StoredNameLength(const std::string& Bin, size_t At) {
    return size_t(IntegerAt(Bin, At));
}

size_t CountOf(const std::vector<std::string>& Texts, const std::string& Text) {
    return size_t(std::count(Texts.begin(), Texts.end(), Text));
}

// The number of messages that say the workspace's data file is damaged or not its own.
size_t DamageReports(const std::vector<std::string>& Texts) {
    return size_t(std::count_if(Texts.begin(), Texts.end(), [](const std::string& T) {
        return T.compare(0, 15, "The workspace \"") == 0 && T.find("\" is damaged.") != std::string::npos;
    }));
}

// The damage message of Workspace naming each of Lines.
std::string DamageText(const std::string& Workspace, const std::vector<std::string>& Lines) {
    std::string Text = DamagedWorkspaceText(Workspace);
    for (const std::string& Line : Lines) Text += "\n" + Line;
    return Text;
}

const std::string English = "(English (United States))";

}  // namespace

// Damage of every kind the format allows: the open either says once that the data file is damaged,
// or gives back everything. Either way every file the settings list is there (or named as missing),
// no pair has sides of different lengths, and what was dropped is processed again.
TEST_F(WorkspaceTest, DamagedDataFilesAreReportedOnceAndLoseNoFile) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Names = FileNames();
    const auto Saved = DataPieces();
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string Whole = ReadWholeFile(Bin);
    const TBinLayout At = Layout(Whole);
    ASSERT_EQ(At.FileCounts.size(), 3u);
    ASSERT_FALSE(At.TrailerBlocks.empty());
    struct TDamage {
        const char* What;
        std::string Bytes;
    };
    std::vector<TDamage> Damages = {
        {"a flipped file count",
         WithInteger(Whole, At.FileCounts[1], IntegerAt(Whole, At.FileCounts[1]) ^ 0x00040000)},
        {"a file count one more", WithInteger(Whole, At.FileCounts[1], 3)},
        {"a file count one less", WithInteger(Whole, At.FileCounts[0], 1)},
        {"a negative file count", WithInteger(Whole, At.FileCounts[2], -2)},
        {"a lower language count", WithInteger(Whole, At.LanguageCount, 2)},
        {"a trailer offset 7 bytes off", WithInteger(Whole, 12, int32_t(At.Trailer) - 7)},
        {"a block end 7 bytes off",
         WithInteger(Whole, At.TrailerBlocks[0], IntegerAt(Whole, At.TrailerBlocks[0]) - 7)},
        {"cut inside the pairs", Whole.substr(0, At.TrailerBlocks[0] + 40)},
    };
    for (const TDamage& D : Damages) {
        SCOPED_TRACE(D.What);
        Dir.Write("work/Corpus.BIN", D.Bytes);
        Backend.Messages.clear();
        Reopen();
        const auto Texts = Backend.Texts();
        EXPECT_EQ(DamageReports(Texts), 1u);
        EXPECT_LE(Texts.size(), 2u);
        EXPECT_TRUE(WorkspaceIncomplete);
        EXPECT_EQ(FileNames(), Names);
        for (const auto* Pairs : {&Align12, &Align13})
            for (int32_t I = 0; *Pairs && I < (*Pairs)->Count(); ++I)
                if (const TDoubleAlignIndex* Pair = (*Pairs)->GetItem(I)) {
                    EXPECT_EQ(Pair->Side1.Count(), Pair->Side2.Count());
                }
        for (int L = 0; L < LanguagesCount; ++L)
            EXPECT_TRUE(LanguageConfigs[size_t(L)]->FileListsConsistent());
        // Whatever is kept is exactly what was saved; the rest is processed again.
        EXPECT_EQ(FirstForeignPiece(Saved, DataPieces()), "");
    }
    // An undamaged file opens whole and silently.
    Dir.Write("work/Corpus.BIN", Whole);
    Backend.Messages.clear();
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty());
    EXPECT_FALSE(WorkspaceIncomplete);
}

// A data file of a workspace saved before settings listed its files: a flipped count may only cost
// one message for the names it cannot find, and an empty name is no file (not the workspace's folder).
TEST_F(WorkspaceTest, WithoutAFileListCountsAreBoundAndMissingFilesShareOneMessage) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    DropFileLists(Workspace);
    TMemoryStream S;
    WriteOneLanguageHead(S, WorkspaceVersionWithoutCopies);
    WriteStreamInteger(S, 3);
    for (const std::string& Name : {std::string(), Files[0][0], std::string("gone.txt")}) {
        WriteStreamString(S, Name);
        WriteStreamInteger(S, 0);
        WriteStreamInteger(S, 0);
    }
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, int32_t(Trailer));
    Dir.Write("work/Corpus.BIN", S.Bytes());
    Reopen();
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Name, Files[0][0]);
    const auto Texts = Backend.Texts();
    EXPECT_EQ(CountOf(Texts, "File \"\" not found.\nFile \"gone.txt\" not found."), 1u);
    EXPECT_TRUE(WorkspaceIncomplete);

    // A flipped count: one damage report and no box per name.
    S.SetPosition(24 + 4 + 5);
    WriteStreamInteger(S, 3 ^ 0x00040000);
    Dir.Write("work/Corpus.BIN", S.Bytes());
    Backend.Messages.clear();
    Reopen();
    EXPECT_LE(Backend.Messages.size(), 2u);
    EXPECT_EQ(DamageReports(Backend.Texts()), 1u);
}

// Copies of a workspace under the temporary folder: freeing the corpus keeps them, saving again keeps
// their names, and two languages' files of one name never share a copy, even when both copies are lost.
TEST_F(WorkspaceTest, CopiesOfAWorkspaceUnderTheTemporaryFolderStayTheirFilesOwn) {
    ASSERT_EQ(fs::path(Workspace).string().rfind(TempDir, 0), 0u) << "the workspace lies under TempDir";
    FreeLanguageConfigs();
    for (const char* Sub : {"es", "pl", "en"}) fs::create_directories(Dir.Path() / Sub);
    const std::string Es = Dir.Write("es/text.txt", "El r\xC3\xADo.\n");
    const std::string Pl = Dir.Write("pl/text.txt", "Wa\xC5\x82\xC4\x99sa.\n");
    const std::string En = Dir.Write("en/text.txt", "The river.\n");
    for (int L = 0; L < 3; ++L) {
        Lang(L);
        LoadLanguageFiles(L, false, false, "English (United States)", 1033,
                          {{L == 0   ? En
                            : L == 1 ? Es
                                     : Pl,
                            L > 0}},
                          false);
    }
    ASSERT_TRUE(ProcessCorpus());
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string EsCopy = LanguageConfigs[1]->Files[0].Object.CopyName;
    const std::string PlCopy = LanguageConfigs[2]->Files[0].Object.CopyName;
    ASSERT_NE(EsCopy, PlCopy);
    ASSERT_TRUE(SaveWorkspace(Workspace));  // a second save moves nothing
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Object.CopyName, EsCopy);
    EXPECT_EQ(LanguageConfigs[2]->Files[0].Object.CopyName, PlCopy);
    Reopen();
    EXPECT_TRUE(fs::exists(EsCopy));
    EXPECT_TRUE(fs::exists(PlCopy));
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Object.CopyName, EsCopy);

    fs::remove(EsCopy);
    fs::remove(PlCopy);
    Reopen();
    const std::string EsNow = LanguageConfigs[1]->Files[0].Object.CopyName;
    const std::string PlNow = LanguageConfigs[2]->Files[0].Object.CopyName;
    EXPECT_NE(EsNow, PlNow);
    EXPECT_EQ(ReadWholeFile(EsNow), "El r\xEDo.\n");
    EXPECT_NE(ReadWholeFile(PlNow).find("Wa"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(PlNow).find("\xED"), std::string::npos);
    Backend.Messages.clear();
    EXPECT_TRUE(SaveWorkspace(Workspace));
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
}

// A UTF-8 file changed since saving is converted once per open, and an open that is not saved leaves
// no copy that nothing names.
TEST_F(WorkspaceTest, AChangedUtf8FileIsConvertedOnceAndLeavesNoOrphanCopy) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    SetAge(Files[2][0], 10);
    const fs::path CopyFolder = Dir.Path() / "work" / "Corpus";
    auto Copies = [&] {
        size_t N = 0;
        for (const auto& Entry : fs::directory_iterator(CopyFolder))
            N += Entry.path().string().find("_ASCII") != std::string::npos;
        return N;
    };
    for (int Open = 0; Open < 3; ++Open) {
        Reopen();
        EXPECT_EQ(Copies(), 1u) << "open " << Open;
        FreeLanguageConfigs();
        EXPECT_LE(Copies(), 1u) << "open " << Open;
    }
    Reopen();
    ASSERT_TRUE(SaveWorkspace(Workspace));
    FreeLanguageConfigs();
    EXPECT_EQ(Copies(), 1u);
}

namespace {

// The seal of a saved data file, as the reader finds it.
TWorkspaceSeal SealOf(const std::string& Bin) {
    TMemoryStream S(Bin);
    const TReadSeal Seal = ReadSeal(S);
    EXPECT_EQ(Seal.State, TSealState::Whole);
    return Seal.Seal;
}

std::string WithBitFlipped(std::string Bin, size_t At, int Bit) {
    Bin[At] = char(uint8_t(Bin[At]) ^ (1u << Bit));
    return Bin;
}

}  // namespace

// A single flipped bit anywhere in the data file: the open is refused with a message, or it says once
// that the data file is damaged, keeps nothing that was not saved, and saving over it will ask.
TEST_F(WorkspaceTest, EveryFlippedBitIsReportedOnceAndNoDamagedValueIsKept) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Saved = DataPieces();
    const std::string Whole = ReadWholeFile(WorkspaceBinName(Workspace));
    const TWorkspaceSeal Seal = SealOf(Whole);
    std::vector<size_t> Offsets;
    for (const TSealedRange& R : Seal.Ranges)
        Offsets.insert(Offsets.end(), {size_t(R.Offset), size_t(R.Offset + R.Length - 1)});
    std::mt19937 Rng(56);
    for (int I = 0; I < 120; ++I) Offsets.push_back(Rng() % Whole.size());
    for (size_t At : Offsets) {
        const int Bit = int(Rng() % 8);
        SCOPED_TRACE("bit " + std::to_string(Bit) + " of byte " + std::to_string(At));
        Dir.Write("work/Corpus.BIN", WithBitFlipped(Whole, At, Bit));
        Backend.Messages.clear();
        FreeLanguageConfigs();
        const bool Opened = LoadWorkspace(Workspace);
        ASSERT_FALSE(Backend.Messages.empty());
        if (!Opened) continue;
        EXPECT_LE(DamageReports(Backend.Texts()), 1u);
        EXPECT_TRUE(WorkspaceIncomplete);
        EXPECT_EQ(FirstForeignPiece(Saved, DataPieces()), "");
        for (int L = 0; L < LanguagesCount; ++L)
            EXPECT_TRUE(LanguageConfigs[size_t(L)]->FileListsConsistent());
    }
    // A damaged block is computed again; the others are kept.
    const TSealedRange* Sentences = Seal.Find("SENTENCES.01");
    ASSERT_TRUE(Sentences);
    Dir.Write("work/Corpus.BIN", WithBitFlipped(Whole, size_t(Sentences->Offset + Sentences->Length - 3), 2));
    Backend.Messages.clear();
    Reopen();
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{DamageText(
                                   Workspace, {"Language 2 " + English + ": the sentences of its files."})});
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(LanguageConfigs[1]->ParagraphIndexes.GetItem(0));
    EXPECT_TRUE(LanguageConfigs[2]->SentenceIndexes.GetItem(0));
    // The pairs are positions in the unchanged texts: they stay right whatever the sentences' index.
    EXPECT_TRUE(Align12 && Align13);
    EXPECT_TRUE(CorpusNeedsProcessing());
}

namespace {

// The workspace as a program before seals saved it: the data file without its seal, the settings file
// without its end.
void MakeUnsealed(const std::string& Workspace) {
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string Bytes = ReadWholeFile(Bin);
    TMemoryStream S(Bytes);
    const TReadSeal Seal = ReadSeal(S);
    ASSERT_EQ(Seal.State, TSealState::Whole);
    WriteBytes(Bin, Bytes.substr(0, size_t(Seal.Start)));
    const std::string Tws = ReadWholeFile(Workspace);
    WriteBytes(Workspace, Tws.substr(0, Tws.rfind("[WorkspaceEnd]")));
}

std::string Replaced(std::string Text, const std::string& From, const std::string& To) {
    const size_t At = Text.find(From);
    EXPECT_NE(At, std::string::npos) << From;
    if (At != std::string::npos) Text.replace(At, From.size(), To);
    return Text;
}

bool StartsWith(const std::string& Text, const std::string& Prefix) {
    return Text.compare(0, Prefix.size(), Prefix) == 0;
}

std::vector<std::string> StartingWith(const std::vector<std::string>& Texts, const std::string& Prefix) {
    std::vector<std::string> Out;
    for (const std::string& T : Texts)
        if (StartsWith(T, Prefix)) Out.push_back(T);
    return Out;
}

}  // namespace

// An alignment dropped because its block is damaged, or because the tag before it was misread in a data
// file of an older program, names the files it paired as lost; one dropped for a changed file is named
// as changed, and the other pairs keep theirs.
TEST_F(WorkspaceTest, AnAlignmentLostToDamageNamesItsFilesAndOneLostToAChangeSaysSo) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Whole = ReadWholeFile(WorkspaceBinName(Workspace));
    const std::string Lost = std::string(LostAlignmentText) + "\n\"" + Files[0][0] + "\" with \"" +
                             Files[1][0] + "\"\n\"" + Files[0][1] + "\" with \"" + Files[1][1] + "\"";
    const std::string Text = ReadWholeFile(Files[1][1]);
    Rewrite(Files[1][1], Text + "Ein Vogel.\n", 3602);
    Reopen();
    ASSERT_TRUE(Align12);
    EXPECT_TRUE(Align12->GetItem(0));
    EXPECT_FALSE(Align12->GetItem(1));
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{std::string(ChangedAlignmentText) + "\n\"" +
                                                        Files[0][1] + "\" with \"" + Files[1][1] + "\""});
    EXPECT_FALSE(WorkspaceIncomplete);
    Rewrite(Files[1][1], Text, -3602);
    Backend.Messages.clear();

    const TWorkspaceSeal Seal = SealOf(Whole);
    const TSealedRange* Pairs = Seal.Find("ALIGN12");
    ASSERT_TRUE(Pairs);
    Dir.Write("work/Corpus.BIN", WithBitFlipped(Whole, size_t(Pairs->Offset + Pairs->Length - 5), 3));
    Reopen();
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{DamageText(Workspace, {"The alignment of language 2 " + English +
                                                               " with language 1 " + English + "."}),
                                        Lost}));
    EXPECT_FALSE(Align12);
    EXPECT_TRUE(Align13);
    EXPECT_TRUE(WorkspaceIncomplete);

    // Cut exactly where the alignments begin: the data file is damaged, and the settings say which
    // alignments it held.
    const std::string Both = Lost + "\n\"" + Files[0][0] + "\" with \"" + Files[2][0] + "\"\n\"" +
                             Files[0][1] + "\" with \"" + Files[2][1] + "\"";
    Dir.Write("work/Corpus.BIN", Whole.substr(0, Layout(Whole).Trailer));
    Backend.Messages.clear();
    Reopen();
    EXPECT_EQ(Backend.Texts(), (std::vector<std::string>{DamageText(Workspace, {DamagedSealText}), Both}));
    EXPECT_TRUE(WorkspaceIncomplete);

    Dir.Write("work/Corpus.BIN", Whole);
    MakeUnsealed(Workspace);
    Dir.Write("work/Corpus.BIN", Replaced(ReadWholeFile(WorkspaceBinName(Workspace)), "ALIGN12", "ALIGN13"));
    Backend.Messages.clear();
    Reopen();
    // Which of the two lists read as "ALIGN13" is the right one cannot be told: both are lost.
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{
                  DamageText(Workspace, {"The alignments at the end of the data file."}), Both}));
    EXPECT_FALSE(Align12);
    EXPECT_FALSE(Align13);
    EXPECT_TRUE(WorkspaceIncomplete);
}

// The settings file cut short or changed: the sealed data file keeps every file, every value and the
// locale of every language; what the settings file says otherwise is named.
TEST_F(WorkspaceTest, ADamagedSettingsFileKeepsWhatTheSealedDataFileHolds) {
    LanguageConfigs[1]->SetLanguage(1031, "German (Germany)");
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Names = FileNames();
    const auto Saved = DataPieces();
    const std::string Tws = ReadWholeFile(Workspace);
    struct TCase {
        const char* What;
        std::string Settings;
        std::vector<std::string> Disagreements;  // the lines after DisagreeingListsText
    };
    const size_t List0 = Tws.find("[CorpusFiles.00]");
    std::string Swapped = Replaced(Replaced(Tws, "[CorpusFiles.00]", "[CorpusFiles.XX]"), "[CorpusFiles.01]",
                                   "[CorpusFiles.00]");
    Swapped = Replaced(Swapped, "[CorpusFiles.XX]", "[CorpusFiles.01]");
    const std::vector<TCase> Cases = {
        {"cut before language 2's settings", Tws.substr(0, Tws.find("[GeneralConfiguration.01]")), {}},
        {"cut inside a file list",
         Tws.substr(0, Tws.find("File1", List0)),
         {"Language 1, file \"" + Files[0][1] + "\": not listed by the settings file."}},
        {"file lists swapped",
         Swapped,
         {"Language 1, file \"" + Files[0][0] + "\": not listed by the settings file.",
          "Language 1, file \"" + Files[0][1] + "\": not listed by the settings file.",
          "Language 1, file \"" + Files[1][0] + "\": left out: the data file does not list it.",
          "Language 1, file \"" + Files[1][1] + "\": left out: the data file does not list it.",
          "Language 2, file \"" + Files[1][0] + "\": not listed by the settings file.",
          "Language 2, file \"" + Files[1][1] + "\": not listed by the settings file.",
          "Language 2, file \"" + Files[0][0] + "\": left out: the data file does not list it.",
          "Language 2, file \"" + Files[0][1] + "\": left out: the data file does not list it."}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        Dir.Write("work/Corpus.TWS", C.Settings);
        Backend.Messages.clear();
        Reopen();
        EXPECT_EQ(LanguageConfigs[1]->LocaleId, 1031u);
        EXPECT_EQ(LanguageConfigs[1]->LanguageName, "German (Germany)");
        EXPECT_EQ(FileNames(), Names);
        EXPECT_TRUE(DataPieces() == Saved);
        EXPECT_TRUE(WorkspaceIncomplete);
        const auto Texts = Backend.Texts();
        EXPECT_EQ(StartingWith(Texts, "The settings file \"" + Workspace + "\"").size(), 1u);
        std::string Listed = DisagreeingListsText;
        for (const std::string& Line : C.Disagreements) Listed += "\n" + Line;
        EXPECT_EQ(StartingWith(Texts, DisagreeingListsText),
                  C.Disagreements.empty() ? std::vector<std::string>{} : std::vector<std::string>{Listed});
    }
    // Language 2's locale came from the data file, and the message says so.
    Dir.Write("work/Corpus.TWS", Cases[0].Settings);
    Backend.Messages.clear();
    Reopen();
    ASSERT_FALSE(Backend.Messages.empty());
    EXPECT_NE(Backend.Texts().front().find("Language 2 is German (Germany)"), std::string::npos);
}

// A data file of an older program (no seal) is checked against the settings' list: a language whose
// file names disagree gets the listed files without stored data, and reading ends there, so that no
// language after it takes data read out of step.
TEST_F(WorkspaceTest, AnOlderDataFileIsComparedWithTheListAndEndsAtTheFirstDisagreement) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Names = FileNames();
    MakeUnsealed(Workspace);
    const std::string Bin = WorkspaceBinName(Workspace);
    Dir.Write("work/Corpus.BIN", Replaced(ReadWholeFile(Bin), Files[0][0], Files[1][0]));
    Reopen();
    EXPECT_EQ(FileNames(), Names);
    for (int L = 0; L < 3; ++L) {
        SCOPED_TRACE(L);
        EXPECT_FALSE(LanguageConfigs[size_t(L)]->SentenceIndexes.GetItem(0));
        EXPECT_FALSE(LanguageConfigs[size_t(L)]->LineStarts.GetItem(1));
    }
    EXPECT_EQ(
        StartingWith(Backend.Texts(), DisagreeingListsText),
        std::vector<std::string>{std::string(DisagreeingListsText) + "\nLanguage 1, file \"" + Files[1][0] +
                                 "\": left out: the settings file does not list it.\nLanguage 1, file \"" +
                                 Files[0][0] + "\": not listed by the data file."});
    EXPECT_TRUE(WorkspaceIncomplete);
    EXPECT_TRUE(CorpusNeedsProcessing());
}

// A corpus file cut short with its time kept has changed; a copy replaced by another text with its time
// kept is not the copy saved: it is made again from its UTF-8 file, and nothing reads the other text.
TEST_F(WorkspaceTest, ASizeChangeIsAChangeAndAReplacedCopyIsMadeAgain) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Time = fs::last_write_time(Files[0][1]);
    Dir.Write("en2.txt", "A dog.\n");
    fs::last_write_time(Files[0][1], Time);
    const std::string Copy = LanguageConfigs[2]->Files[0].Object.CopyName;
    const auto CopyTime = fs::last_write_time(Copy);
    WriteBytes(Copy, "Un chien. Un chat. Un autre chat.\n");
    fs::last_write_time(Copy, CopyTime);
    Reopen();
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{std::string(ChangedAlignmentText) + "\n\"" +
                                                        Files[0][1] + "\" with \"" + Files[1][1] + "\"\n\"" +
                                                        Files[0][1] + "\" with \"" + Files[2][1] + "\""});
    EXPECT_TRUE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(1));
    // The copy made anew from the unchanged UTF-8 file is the text the stored data were computed from.
    EXPECT_EQ(ReadWholeFile(LanguageConfigs[2]->Files[0].Object.CopyName), "La maison.\nLa rivi\xE8re.\n");
    EXPECT_NE(LanguageConfigs[2]->Files[0].Object.CopyName, Copy);
    EXPECT_TRUE(LanguageConfigs[2]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(CorpusNeedsProcessing());
}

// A save that fails leaves nothing of itself: no ".saving-" file, no copy, no copy folder, and the files
// read their copies as before; a copy lost before the first save is converted again.
TEST_F(WorkspaceTest, AFailedSaveLeavesNothingAndALostCopyIsMadeAgain) {
    const std::string Waiting = LanguageConfigs[2]->Files[0].Object.CopyName;
    ASSERT_TRUE(IsTemporaryCopy(Waiting));
    // The settings file cannot be written.
    const TFileStepHook Old = SetFileStepHook([](TFileStep Step, const std::string& Path) {
        return Step == TFileStep::Write && Path.find(".TWS.") != std::string::npos ? EACCES : 0;
    });
    EXPECT_FALSE(SaveWorkspace(Workspace));
    SetFileStepHook(Old);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_NE(Backend.Texts()[0].find("Unable to write file: " + Workspace + ". "), std::string::npos)
        << Backend.Texts()[0];
    for (const auto& Entry : fs::recursive_directory_iterator(Dir.Path() / "work"))
        EXPECT_NE(Entry.path().filename().string()[0], '.') << Entry.path();
    EXPECT_FALSE(fs::exists(Dir.Path() / "work" / "Corpus"));
    EXPECT_EQ(LanguageConfigs[2]->Files[0].Object.CopyName, Waiting);
    EXPECT_TRUE(fs::exists(Waiting));

    fs::remove(Waiting);
    Backend.Messages.clear();
    ASSERT_TRUE(SaveWorkspace(Workspace));
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    const std::string Placed = LanguageConfigs[2]->Files[0].Object.CopyName;
    EXPECT_EQ(fs::path(Placed).parent_path(), Dir.Path() / "work" / "Corpus");
    EXPECT_EQ(ReadWholeFile(Placed), "La maison.\nLa rivi\xE8re.\n");
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
}

// A disk that takes no more: the message names the file the user knows and says why, and nothing of
// the save stays.
TEST_F(WorkspaceTest, AFullDiskIsSaidAndLeavesNoPartialFile) {
    struct rlimit Old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Old), 0);
    const auto OldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit Small = Old;
    Small.rlim_cur = 1500;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
    const bool Saved = SaveWorkspace(Workspace);
    setrlimit(RLIMIT_FSIZE, &Old);
    signal(SIGXFSZ, OldHandler);
    EXPECT_FALSE(Saved);
    EXPECT_EQ(Backend.Texts(),
              std::vector<std::string>{"Unable to write file: " + WorkspaceBinName(Workspace) +
                                       ". There is no room left for it (" + std::strerror(EFBIG) + ")."});
    EXPECT_TRUE(fs::is_empty(Dir.Path() / "work"));
}

// The data file of another workspace of the same files, saved with other settings, keeps nothing; a
// word count no text of that size can hold is damage.
TEST_F(WorkspaceTest, AnotherWorkspacesDataAndImpossibleCountsAreDamage) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Names = FileNames();
    const std::string Other = Dir.File("work/Other.TWS");
    LanguageConfigs[1]->SentenceFormat = 1;
    ASSERT_TRUE(SaveWorkspace(Other));
    const std::string Ours = ReadWholeFile(WorkspaceBinName(Workspace));
    Dir.Write("work/Corpus.BIN", ReadWholeFile(WorkspaceBinName(Other)));
    Reopen();
    const auto Texts = Backend.Texts();
    ASSERT_FALSE(Texts.empty());
    EXPECT_EQ(Texts[0], DamageText(Workspace, {ForeignDataText}));
    EXPECT_EQ(DamageReports(Texts), 1u);
    EXPECT_EQ(FileNames(), Names);
    for (const auto& [Key, Bytes] : DataPieces()) EXPECT_EQ(Bytes, "") << Key;
    EXPECT_TRUE(WorkspaceIncomplete);

    Dir.Write("work/Corpus.BIN", Ours);
    ASSERT_TRUE(SaveWorkspace(Workspace));
    MakeUnsealed(Workspace);
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Workspace));
    const size_t Words =
        Layout(Bin).FileCounts[0] + 4 + 4 + StoredNameLength(Bin, Layout(Bin).FileCounts[0] + 4);
    Dir.Write("work/Corpus.BIN", WithInteger(Bin, Words, 0x7FFFFFFF));
    Backend.Messages.clear();
    Reopen();
    EXPECT_EQ(DamageReports(Backend.Texts()), 1u);
    for (const auto& File : LanguageConfigs[0]->Files) EXPECT_EQ(File.Object.WordCount, 0);
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(WorkspaceIncomplete);
}

namespace {

// The hidden files in Folder: what a save writes beside the pair before it is complete.
std::vector<std::string> HiddenFiles(const fs::path& Folder) {
    std::vector<std::string> Hidden;
    for (const auto& Entry : fs::directory_iterator(Folder))
        if (Entry.path().filename().string()[0] == '.') Hidden.push_back(Entry.path().filename().string());
    return Hidden;
}

// Writes the workspace's seal again after Change, with a checksum that holds and the settings' end tied
// to it: a seal whose values are wrong in a way no checksum finds.
void Reseal(const std::string& Workspace, const std::function<void(TWorkspaceSeal&)>& Change) {
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string Bytes = ReadWholeFile(Bin);
    TMemoryStream In(Bytes);
    TReadSeal Seal = ReadSeal(In);
    ASSERT_EQ(Seal.State, TSealState::Whole);
    Change(Seal.Seal);
    TMemoryStream Out(Bytes.substr(0, size_t(Seal.Start)));
    const uint32_t Crc = WriteSeal(Out, Seal.Seal);
    WriteBytes(Bin, Out.Bytes());
    const std::string Tws = ReadWholeFile(Workspace);
    WriteBytes(Workspace, Tws.substr(0, Tws.rfind("[WorkspaceEnd]")) + SettingsEndText(Crc));
}

}  // namespace

// A save that fails at any one step of writing, syncing, linking, renaming or removing its files, or whose
// process is killed before any one of them: the workspace opens afterwards whole, without a word, as the
// old pair or as the new one, and nothing of the save is left beside it. A failed save says so and leaves
// the old pair byte for byte.
TEST_F(WorkspaceTest, ASaveFailedOrKilledAtAnyStepLeavesTheOldPairOrTheNewOneWhole) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string OldTws = ReadWholeFile(Workspace), OldBin = ReadWholeFile(WorkspaceBinName(Workspace));
    const fs::path Folder = Dir.Path() / "work";
    // The old pair on disk, opened, and the corpus changed since: the pairs of language 2 are gone.
    auto Start = [&] {
        for (const std::string& Name : HiddenFiles(Folder)) fs::remove(Folder / Name);
        WriteBytes(Workspace, OldTws);
        WriteBytes(WorkspaceBinName(Workspace), OldBin);
        Reopen();
        Align13.reset();
        Backend.Messages.clear();
    };
    Start();
    const std::string New = CorpusSnapshot();
    std::vector<TFileStep> Steps;
    std::vector<std::string> Paths;
    TFileStepHook Old = SetFileStepHook([&](TFileStep Step, const std::string& Path) {
        Steps.push_back(Step);
        Paths.push_back(Path);
        return 0;
    });
    ASSERT_TRUE(SaveWorkspace(Workspace));
    SetFileStepHook(Old);
    Reopen();
    ASSERT_TRUE(CorpusSnapshot() == New);
    Align13 = SentencePairs(2);
    const std::string OldCorpus = CorpusSnapshot();
    ASSERT_FALSE(OldCorpus == New);
    for (const TFileStep Kind : {TFileStep::Write, TFileStep::Sync, TFileStep::Link, TFileStep::Rename})
        ASSERT_NE(std::find(Steps.begin(), Steps.end(), Kind), Steps.end());
    // Every step but the writes in the middle of a file, of which every 1024th: each write of a file
    // leaves the disk as any other does.
    std::vector<size_t> Chosen;
    for (size_t K = 0; K < Steps.size(); ++K) {
        const bool Inner = Steps[K] == TFileStep::Write && K > 0 && K + 1 < Steps.size() &&
                           Steps[K - 1] == TFileStep::Write && Steps[K + 1] == TFileStep::Write &&
                           Paths[K - 1] == Paths[K] && Paths[K + 1] == Paths[K];
        if (!Inner || K % 1024 == 0) Chosen.push_back(K);
    }

    // Opens the workspace as the next run of the program would and tells which pair it found.
    auto Opened = [&](const std::string& Trace) {
        SCOPED_TRACE(Trace);
        Backend.Messages.clear();
        Reopen();
        EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
        EXPECT_TRUE(HiddenFiles(Folder).empty()) << HiddenFiles(Folder).front();
        const std::string Now = CorpusSnapshot();
        EXPECT_TRUE(Now == OldCorpus || Now == New);
        return Now == New;
    };
    for (const size_t K : Chosen) {
        const std::string Trace =
            "failure at step " + std::to_string(K) + " of " + std::to_string(Steps.size());
        Start();
        size_t N = 0;
        Old = SetFileStepHook([&](TFileStep, const std::string&) { return N++ == K ? EIO : 0; });
        const bool Saved = SaveWorkspace(Workspace);
        SetFileStepHook(Old);
        if (!Saved) {
            EXPECT_EQ(Backend.Messages.size(), 1u) << Trace;
            EXPECT_EQ(ReadWholeFile(Workspace), OldTws) << Trace;
            EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Workspace)), OldBin) << Trace;
            EXPECT_TRUE(HiddenFiles(Folder).empty()) << Trace;
        }
        EXPECT_EQ(Opened(Trace), Saved) << Trace;
    }
    size_t Kept = 0;
    Chosen.push_back(Steps.size());
    for (const size_t K : Chosen) {
        const std::string Trace =
            "killed before step " + std::to_string(K) + " of " + std::to_string(Steps.size());
        Start();
        const pid_t Child = fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            size_t N = 0;
            SetFileStepHook([&](TFileStep, const std::string&) {
                if (N++ == K) _exit(0);
                return 0;
            });
            SaveWorkspace(Workspace);
            _exit(0);
        }
        int Status = 0;
        ASSERT_EQ(waitpid(Child, &Status, 0), Child);
        const bool IsNew = Opened(Trace);
        // Until the new data file is in place the old pair stands; once both are, the new one.
        if (K == 0) EXPECT_FALSE(IsNew) << Trace;
        if (K == Steps.size()) EXPECT_TRUE(IsNew) << Trace;
        Kept += IsNew ? 0 : 1;
    }
    EXPECT_GT(Kept, 0u);
    EXPECT_LT(Kept, Chosen.size());
}

// A settings file edited to define one more language than the workspace was saved with: said, and the
// workspace keeps its languages (no empty one is added, so none is saved for good).
TEST_F(WorkspaceTest, ASettingsFileThatAddsALanguageIsSaidAndTheSealedCountHolds) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Names = FileNames();
    const auto Saved = DataPieces();
    WriteBytes(Workspace, Replaced(ReadWholeFile(Workspace), "LanguagesCount=3", "LanguagesCount=4"));
    Reopen();
    const auto Texts = StartingWith(Backend.Texts(), "The settings file \"" + Workspace + "\"");
    ASSERT_EQ(Texts.size(), 1u);
    EXPECT_NE(Texts[0].find("\nThe settings file defines 4 languages; the workspace was saved with 3."),
              std::string::npos)
        << Texts[0];
    EXPECT_EQ(LanguagesCount, 3);
    EXPECT_FALSE(LanguageConfigs[3]);
    EXPECT_EQ(FileNames(), Names);
    EXPECT_TRUE(DataPieces() == Saved);
    // Saved again, it holds three languages and opens without a word.
    ASSERT_TRUE(SaveWorkspace(Workspace));
    EXPECT_NE(ReadWholeFile(Workspace).find("LanguagesCount=3"), std::string::npos);
    Backend.Messages.clear();
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(LanguagesCount, 3);
}

// Parallel corpora use the same names in every language. A workspace saved inside one language's folder
// and moved with its project finds that language by its relative names; another language's files are
// gone from their stored places and the folder's files of the same last names are another language's
// text (another size, or named by the workspace already): they are said to be missing, never read.
TEST_F(WorkspaceTest, AMovedProjectNeverReadsOneLanguagesFileAsAnothers) {
    FreeLanguageConfigs();
    for (const char* Sub : {"project/en", "project/es"}) fs::create_directories(Dir.Path() / Sub);
    const std::string EnA = Dir.Write("project/en/a.txt", "The house stands by the river.\n");
    const std::string EsA = Dir.Write("project/es/a.txt", "La casa.\n");
    const std::string EnB = Dir.Write("project/en/b.txt", "A dog.\n");
    const std::string EsB = Dir.Write("project/es/b.txt", "Perro.\n");
    fs::last_write_time(EsB, fs::last_write_time(EnB));  // same size, same time: only the names tell
    for (int L = 0; L < 2; ++L) {
        Lang(L);
        LoadLanguageFiles(L, false, false, "English (United States)", 1033,
                          {{L == 0 ? EnA : EsA}, {L == 0 ? EnB : EsB}}, false);
    }
    ASSERT_TRUE(ProcessCorpus());
    Align12 = SentencePairs(1);
    Workspace = Dir.File("project/en/Corpus.TWS");
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto EnglishData = DataPieces();
    fs::rename(Dir.Path() / "project", Dir.Path() / "moved");
    Workspace = Dir.File("moved/en/Corpus.TWS");
    Reopen();
    EXPECT_EQ(Backend.Texts(),
              std::vector<std::string>{"File \"" + EsA + "\" not found.\nFile \"" + EsB + "\" not found."});
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 2u);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Name, Dir.File("moved/en/a.txt"));
    EXPECT_TRUE(LanguageConfigs[1]->Files.empty());
    for (const auto& [Key, Bytes] : DataPieces())
        if (Key[0] == '0') EXPECT_EQ(Bytes, EnglishData.at(Key)) << Key;
    EXPECT_FALSE(Align12 && Align12->GetItem(0));
    EXPECT_TRUE(WorkspaceIncomplete);
}

// A file whose stored folder is gone is found in the workspace's folder under its last name part when it
// is the file saved (its size kept, and its time or else its content), and keeps its data; one of other
// content there is not taken.
TEST_F(WorkspaceTest, AFileFoundByItsLastNamePartMustBeTheFileSaved) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Saved = DataPieces();
    const std::string Moved = Dir.File("work/de1.txt");
    fs::copy_file(Files[1][0], Moved, fs::copy_options::overwrite_existing);
    fs::last_write_time(Moved, fs::last_write_time(Files[1][0]));
    fs::remove(Files[1][0]);
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    ASSERT_EQ(LanguageConfigs[1]->Files.size(), 2u);
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Name, Moved);
    EXPECT_EQ(StoredBytes(*LanguageConfigs[1]->SentenceIndexes.GetItem(0)), Saved.at("1/sentences/0"));
    EXPECT_TRUE(Align12 && Align12->GetItem(0));

    SetAge(Moved, 10);
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    ASSERT_EQ(LanguageConfigs[1]->Files.size(), 2u);
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Name, Moved);
    EXPECT_TRUE(Align12 && Align12->GetItem(0));

    std::string Text = ReadWholeFile(Moved);
    Text[0] = 'd';
    Rewrite(Moved, Text, 0);
    Reopen();
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{"File \"" + Files[1][0] + "\" not found.",
                                        std::string(LostAlignmentText) + "\n\"" + Files[0][1] + "\" with \"" +
                                            Files[1][1] + "\""}));
    ASSERT_EQ(LanguageConfigs[1]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Name, Files[1][1]);
}

namespace {

// Writes the workspace's seal again as a program wrote it before it kept content sums (version 1: a file's
// time and size and its copy's), laid out here on its own so that the reading of such seals is held to
// what those files hold.
void ResealAsVersion1(const std::string& Workspace) {
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string Bytes = ReadWholeFile(Bin);
    TMemoryStream In(Bytes);
    const TReadSeal Seal = ReadSeal(In);
    ASSERT_EQ(Seal.State, TSealState::Whole);
    TMemoryStream S(Bytes.substr(0, size_t(Seal.Start)));
    S.Seek(0, soEnd);
    auto Int64 = [&](int64_t V) {
        WriteStreamInteger(S, int32_t(uint32_t(V)));
        WriteStreamInteger(S, int32_t(uint64_t(V) >> 32));
    };
    const int64_t Start = S.GetPosition();
    WriteStreamString(S, "PARAALIGN14");
    const int64_t Block = S.GetPosition();
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, IndexBlockVersion);
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, 1);
    WriteStreamInteger(S, int32_t(Seal.Seal.SettingsCrc));
    WriteStreamInteger(S, int32_t(Seal.Seal.Languages.size()));
    for (const TSealedLanguage& L : Seal.Seal.Languages) {
        WriteStreamInteger(S, int32_t(L.LocaleId));
        WriteStreamString(S, L.LanguageName);
        WriteStreamInteger(S, int32_t(L.Files.size()));
        for (const TSealedFile& F : L.Files) {
            WriteStreamInteger(S, F.Age);
            Int64(F.Size);
            WriteStreamInteger(S, F.CopyAge);
            Int64(F.CopySize);
        }
    }
    WriteStreamInteger(S, int32_t(Seal.Seal.Ranges.size()));
    for (const TSealedRange& R : Seal.Seal.Ranges) {
        WriteStreamString(S, R.Name);
        Int64(R.Offset);
        Int64(R.Length);
        WriteStreamInteger(S, int32_t(R.Crc));
    }
    const int64_t Footer = S.GetPosition();
    S.SetPosition(Block);
    WriteStreamInteger(S, int32_t(Footer + 12));
    const uint32_t Crc = StreamCrc32(S, Start, Footer);
    S.SetPosition(Footer);
    WriteStreamInteger(S, int32_t(Crc));
    WriteStreamInteger(S, int32_t(Start));
    WriteStreamInteger(S, 0x4C414553);
    WriteBytes(Bin, S.Bytes());
    const std::string Tws = ReadWholeFile(Workspace);
    WriteBytes(Workspace, Tws.substr(0, Tws.rfind("[WorkspaceEnd]")) + SettingsEndText(Crc));
}

// Every corpus file, converted copies included, a day later, as a copy of the project without its times.
void MoveEveryTime(const fs::path& Folder) {
    for (const auto& Entry : fs::recursive_directory_iterator(Folder))
        if (Entry.is_regular_file() && Entry.path().extension() == ".txt")
            SetAge(Entry.path().string(), 86400);
}

}  // namespace

// A workspace whose seal holds no content sums (saved before they were kept) opens as it did: untouched,
// without a word; a file whose time alone moved counts as changed. Saved again, its seal gains the sums,
// read from the files the open vouched for, and a copy of it that lost its file times opens as saved.
TEST_F(WorkspaceTest, AWorkspaceSavedWithoutContentSumsOpensAsBeforeAndGainsThem) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const auto Saved = DataPieces();
    ResealAsVersion1(Workspace);
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(DataPieces() == Saved);
    EXPECT_FALSE(WorkspaceDamaged || WorkspaceIncomplete);

    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Workspace));
    const TWorkspaceSeal Seal = SealOf(Bin);
    for (const TSealedLanguage& L : Seal.Languages)
        for (const TSealedFile& F : L.Files) {
            EXPECT_TRUE(F.FileSum());
            EXPECT_EQ(bool(F.CopyFileSum()), F.CopySize >= 0);
        }
    const std::string Tws = ReadWholeFile(Workspace);
    MoveEveryTime(Dir.Path());
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(DataPieces() == Saved);
    EXPECT_FALSE(CorpusNeedsProcessing());

    // The same workspace as the older program saved it: the moved times count as changes.
    WriteBytes(WorkspaceBinName(Workspace), Bin);
    WriteBytes(Workspace, Tws);
    ResealAsVersion1(Workspace);
    Reopen();
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_EQ(Backend.Texts()[0].rfind(ChangedAlignmentText, 0), 0u) << Backend.Texts()[0];
    EXPECT_FALSE(Align12 && Align12->GetItem(0));
    EXPECT_TRUE(CorpusNeedsProcessing());
}

// A content sum the seal keeps is used only as what it is: one that no save writes (beside an unknown
// size, or an unknown one that is not 0) is damage named with the file, and a wrong one makes the file
// count as changed, never a changed file as unchanged.
TEST_F(WorkspaceTest, ADamagedOrWrongContentSumNeverKeepsTheDataOfAnotherText) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Tws = ReadWholeFile(Workspace);
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Workspace));
    Reseal(Workspace, [](TWorkspaceSeal& Seal) {
        Seal.Languages[1].Files[0].Sums = 4 | Seal.Languages[1].Files[0].Sums;
        Seal.Languages[1].Files[1].Sum ^= 1;  // wrong, and the file's time moves below
    });
    SetAge(Files[1][1], 86400);
    Reopen();
    EXPECT_EQ(
        Backend.Texts(),
        (std::vector<std::string>{
            DamageText(Workspace, {"File \"" + Files[1][0] + "\": its record in the data file's seal."}),
            std::string(ChangedAlignmentText) + "\n\"" + Files[0][1] + "\" with \"" + Files[1][1] + "\"",
            std::string(LostAlignmentText) + "\n\"" + Files[0][0] + "\" with \"" + Files[1][0] + "\""}));
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(1));
    EXPECT_TRUE(Align13 && Align13->GetItem(0) && Align13->GetItem(1));

    // An unknown sum that is not 0, and a copy's sum without the copy's size.
    WriteBytes(Workspace, Tws);
    WriteBytes(WorkspaceBinName(Workspace), Bin);
    Reseal(Workspace, [](TWorkspaceSeal& Seal) {
        Seal.Languages[0].Files[0].Sums &= ~1u;
        Seal.Languages[0].Files[0].Sum = 7;
        Seal.Languages[0].Files[1].Sums |= 2u;
    });
    Backend.Messages.clear();
    Reopen();
    ASSERT_FALSE(Backend.Messages.empty());
    EXPECT_EQ(Backend.Texts()[0],
              DamageText(Workspace, {"File \"" + Files[0][0] + "\": its record in the data file's seal.",
                                     "File \"" + Files[0][1] + "\": its record in the data file's seal."}));
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(1));
}

// A seal whose checksum holds but whose values no save writes: a file's impossible size is damage named
// with the file (its data and pairs are computed again, the other pairs stay), and a locale this system
// cannot use is not given to the language.
TEST_F(WorkspaceTest, SealedValuesAreCheckedAsTheSettingsAre) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const std::string Tws = ReadWholeFile(Workspace);
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Workspace));
    Reseal(Workspace, [](TWorkspaceSeal& Seal) {
        Seal.Languages[1].Files[0].Size = -5;
        Seal.Languages[1].Files[1].CopySize = int64_t(1) << 62;
    });
    Reopen();
    const std::string Lost = std::string(LostAlignmentText) + "\n\"" + Files[0][0] + "\" with \"" +
                             Files[1][0] + "\"\n\"" + Files[0][1] + "\" with \"" + Files[1][1] + "\"";
    EXPECT_EQ(
        Backend.Texts(),
        (std::vector<std::string>{
            DamageText(Workspace, {"File \"" + Files[1][0] + "\": its record in the data file's seal.",
                                   "File \"" + Files[1][1] + "\": its record in the data file's seal."}),
            Lost}));
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(1));
    EXPECT_TRUE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    ASSERT_TRUE(Align12 && Align13);
    EXPECT_FALSE(Align12->GetItem(0) || Align12->GetItem(1));
    EXPECT_TRUE(Align13->GetItem(0) && Align13->GetItem(1));
    EXPECT_TRUE(WorkspaceIncomplete);

    // The settings changed since saving, and the seal gives language 2 a locale this system cannot use.
    WriteBytes(WorkspaceBinName(Workspace), Bin);
    WriteBytes(Workspace, "[Scratch]\r\nX=1\r\n" + Tws);
    Reseal(Workspace, [](TWorkspaceSeal& Seal) { Seal.Languages[1].LocaleId = 0x0812; });
    Backend.Messages.clear();
    Reopen();
    const auto Texts = StartingWith(Backend.Texts(), "The settings file \"" + Workspace + "\"");
    ASSERT_EQ(Texts.size(), 1u);
    EXPECT_NE(
        Texts[0].find("\nLanguage 2 " + English +
                      ": its data were computed for a language this system cannot use (2066); they will be "
                      "computed again."),
        std::string::npos)
        << Texts[0];
    EXPECT_EQ(LanguageConfigs[1]->LocaleId, 1033u);
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(LanguageConfigs[2]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(Align12);
    EXPECT_TRUE(Align13);
}

// A corpus file changed in another editor while its workspace is open, and the workspace saved then: the
// next open finds the file changed and computes its data again instead of taking the data of the old
// text for the new one, also when the new text has the old one's size (the sum saved is that of the text
// read). This holds for a UTF-8 file read through its copy, which is made again.
TEST_F(WorkspaceTest, AFileEditedWhileTheWorkspaceIsOpenIsSavedAsChanged) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    Reopen();
    ASSERT_FALSE(CorpusNeedsProcessing());
    WriteBytes(Files[0][1], "A dog. A cat. A bird sings in the old tree.\n");
    SetAge(Files[0][1], 10);
    Rewrite(Files[1][1], "Ein Hund. Eine Kutze.\n", 10);
    WriteBytes(Files[2][0], "La maison.\nLa rivi\xC3\xA8re coule.\n");
    SetAge(Files[2][0], 10);
    ASSERT_TRUE(SaveWorkspace(Workspace));
    Reopen();
    EXPECT_TRUE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[0]->SentenceIndexes.GetItem(1));
    EXPECT_TRUE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(1));
    EXPECT_FALSE(LanguageConfigs[2]->SentenceIndexes.GetItem(0));
    EXPECT_EQ(ReadWholeFile(LanguageConfigs[2]->Files[0].Object.CopyName),
              "La maison.\nLa rivi\xE8re coule.\n");
    EXPECT_TRUE(CorpusNeedsProcessing());
    ASSERT_TRUE(ProcessCorpus());
    // The sentences of the new text, which reach beyond the old one's 14 bytes.
    const TAlignIndex& Sentences = *LanguageConfigs[0]->SentenceIndexes.GetItem(1);
    EXPECT_GT(Sentences.GetItem(Sentences.Count() - 1).End, 14);
}

// What saves of dead processes left beside a workspace goes with its next save, and what a running one is
// writing stays; a workspace reached through symbolic links is saved into the files they point to, the
// links staying links; a name of 250 characters saves and opens like any other.
TEST_F(WorkspaceTest, LeftoversOfDeadSavesGoLinksStayAndLongNamesSave) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    const pid_t Dead = fork();
    if (Dead == 0) _exit(0);
    ASSERT_EQ(waitpid(Dead, nullptr, 0), Dead);
    const fs::path Folder = Dir.Path() / "work";
    const std::string Of = "-" + std::to_string(Dead);
    for (const std::string Name :
         {".Corpus.BIN.saving" + Of, ".Corpus.TWS.saving" + Of, ".Corpus.BIN.replaced" + Of})
        WriteBytes((Folder / Name).string(), std::string(1000, 'x'));
    const std::string Running = ".Corpus.BIN.saving-1";  // the first process of the system runs for ever
    WriteBytes((Folder / Running).string(), "x");
    ASSERT_TRUE(SaveWorkspace(Workspace));
    EXPECT_EQ(HiddenFiles(Folder), std::vector<std::string>{Running});
    fs::remove(Folder / Running);

    fs::create_directories(Dir.Path() / "links");
    const std::string Link = Dir.File("links/Corpus.TWS");
    fs::create_symlink(Workspace, Link);
    fs::create_symlink(WorkspaceBinName(Workspace), WorkspaceBinName(Link));
    Align13.reset();
    ASSERT_TRUE(SaveWorkspace(Link)) << Backend.Texts().front();
    EXPECT_TRUE(fs::is_symlink(Link));
    EXPECT_TRUE(fs::is_symlink(WorkspaceBinName(Link)));
    EXPECT_TRUE(HiddenFiles(Dir.Path() / "links").empty());
    Reopen();
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(Align12);
    EXPECT_FALSE(Align13);

    const std::string Long = Dir.File("work/" + std::string(246, 'w') + ".TWS");
    ASSERT_EQ(fs::path(Long).filename().string().size(), 250u);
    ASSERT_TRUE(SaveWorkspace(Long)) << Backend.Texts().front();
    const std::string Saved = CorpusSnapshot();
    FreeLanguageConfigs();
    ASSERT_TRUE(LoadWorkspace(Long));
    EXPECT_TRUE(CorpusSnapshot() == Saved);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
}

// A converted copy that finds no room beside the workspace says so, naming its file, and nothing of the
// save stays.
TEST_F(WorkspaceTest, ACopyWithoutRoomSaysSo) {
    bool Saved = true;
    {
        TFileSizeLimit Limit(10);
        Saved = SaveWorkspace(Workspace);
    }
    EXPECT_FALSE(Saved);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_NE(Backend.Texts()[0].find("no room left"), std::string::npos) << Backend.Texts()[0];
    EXPECT_NE(Backend.Texts()[0].find(Files[2][0]), std::string::npos) << Backend.Texts()[0];
    EXPECT_TRUE(fs::is_empty(Dir.Path() / "work"));
}
