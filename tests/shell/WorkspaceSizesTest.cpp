// Workspaces of every size and every choice of what to keep open as they were saved, also once their
// files' times moved: no message, no loss, nothing to compute again that was kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/ConcPrefs.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/Paths.h"
#include "shell/ConcWorkspace.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/shell/WorkspaceTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Pairs sentence i of file F of language 0 with sentence i of file F of language K, for the files both
// languages have; the list has a slot for every file of language 0, as the aligner keeps it while a
// corpus is being built (a file added to one language leaves its slot empty).
std::unique_ptr<TDoubleAlignIndexes> PairsOf(int K) {
    auto Pairs = std::make_unique<TDoubleAlignIndexes>();
    const TConcordConfig &Source = *LanguageConfigs[0], &Target = *LanguageConfigs[size_t(K)];
    for (size_t F = 0; F < Source.Files.size(); ++F) {
        if (F >= Target.Files.size()) {
            Pairs->Add(nullptr);
            continue;
        }
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        const TAlignIndex* A = Source.SentenceIndexes.GetItem(int32_t(F));
        const TAlignIndex* B = Target.SentenceIndexes.GetItem(int32_t(F));
        for (int32_t I = 0; A && B && I < std::min(A->Count(), B->Count()); ++I) {
            Pair->Side1.Add(A->GetItem(I).Start, A->GetItem(I).End, A->GetItem(I).Length);
            Pair->Side2.Add(B->GetItem(I).Start, B->GetItem(I).End, B->GetItem(I).Length);
        }
        Pairs->Add(std::move(Pair));
    }
    return Pairs;
}

// DataPieces without the empty ones: a list that is not there and one whose slots are empty hold the
// same nothing.
std::map<std::string, std::string> HeldPieces() {
    std::map<std::string, std::string> Held;
    for (auto& [Key, Bytes] : DataPieces())
        if (!Bytes.empty()) Held.emplace(Key, std::move(Bytes));
    return Held;
}

// What a workspace saved with the given Keep options holds of All: word counts always, the rest as kept.
std::map<std::string, std::string> KeptPieces(const std::map<std::string, std::string>& All, unsigned Keep) {
    auto Kind = [](const std::string& Key) {
        const size_t Slash = Key.find('/');
        const size_t Next = Key.find('/', Slash + 1);
        return Key.compare(0, 5, "align") == 0 ? std::string("align")
                                               : Key.substr(Slash + 1, Next - Slash - 1);
    };
    std::map<std::string, std::string> Kept;
    for (const auto& [Key, Bytes] : All) {
        const std::string K = Kind(Key);
        const bool Stays =
            K == "words" || ((K == "lines" || K == "pages") && (Keep & 8)) || (K == "tags" && (Keep & 4)) ||
            (K == "frequency" && (Keep & 2)) ||
            ((K == "sections" || K == "paragraphs" || K == "sentences" || K == "align") && (Keep & 1));
        if (Stays) Kept.emplace(Key, Bytes);
    }
    return Kept;
}

class WorkspaceSizesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        TempDir = platform::TempDir();
    }

    // Languages of Counts[L] tiny files each (in folders of their own, every language using the same
    // names, as parallel corpora do), processed, with language 0 paired to every other language.
    void BuildCorpus(const std::vector<int>& Counts) {
        for (size_t L = 0; L < Counts.size(); ++L) {
            Lang(int(L));
            fs::create_directories(Dir.Path() / std::to_string(L));
            std::vector<TNewCorpusFile> New;
            for (int F = 0; F < Counts[L]; ++F)
                New.push_back(
                    {Dir.Write(std::to_string(L) + "/" + std::to_string(F) + ".txt",
                               "Word " + std::to_string(F) + ". Two <b>" + std::to_string(L) + "</b>.\n"),
                     false});
            LoadLanguageFiles(int(L), false, false, "English (United States)", 1033, New, false);
            ASSERT_EQ(LanguageConfigs[L]->Files.size(), size_t(Counts[L]));
        }
        ASSERT_TRUE(ProcessCorpus());
        for (int K = 1; K < int(Counts.size()); ++K)
            *(K == 1 ? &Align12 : K == 2 ? &Align13 : &Align14) = PairsOf(K);
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    }

    // Frees the corpus as the main window does, then opens Name.
    void Open(const std::string& Name) {
        FreeLanguageConfigs();
        ASSERT_TRUE(LoadWorkspace(Name));
    }

    // Saves the corpus with every combination of the four Keep options and reopens each: nothing is said,
    // the files are those saved, and exactly what was kept comes back.
    void CheckEveryKeepCombination(const std::vector<int>& Counts) {
        SCOPED_TRACE(::testing::PrintToString(Counts));
        BuildCorpus(Counts);
        const std::string Full = Dir.File("Full.TWS");
        const auto Names = FileNames();
        const auto All = HeldPieces();
        KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = true;
        ASSERT_TRUE(SaveWorkspace(Full));
        Open(Full);
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
        ASSERT_TRUE(HeldPieces() == All) << "the workspace saved with everything kept lost a value";
        // Copied without its file times, the corpus is still the one saved.
        for (const auto& Entry : fs::recursive_directory_iterator(Dir.Path()))
            if (Entry.is_regular_file() && Entry.path().extension() == ".txt")
                fs::last_write_time(Entry.path(), fs::last_write_time(Entry.path()) + std::chrono::hours(30));
        Open(Full);
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
        ASSERT_TRUE(HeldPieces() == All) << "a file whose time alone moved lost a value";
        for (unsigned Keep = 0; Keep < 16; ++Keep) {
            SCOPED_TRACE("keep lines, tags, frequency, segments: " + std::to_string(Keep >> 3 & 1) +
                         std::to_string(Keep >> 2 & 1) + std::to_string(Keep >> 1 & 1) +
                         std::to_string(Keep & 1));
            Open(Full);
            const std::string Name = Dir.File("Keep" + std::to_string(Keep) + ".TWS");
            KeepLinesPages = Keep & 8;
            KeepWatchedTags = Keep & 4;
            KeepFrequency = Keep & 2;
            KeepSegmentIndexes = Keep & 1;
            ASSERT_TRUE(SaveWorkspace(Name));
            Backend.Messages.clear();
            Open(Name);
            EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
            EXPECT_FALSE(WorkspaceDamaged);
            EXPECT_FALSE(WorkspaceIncomplete);
            EXPECT_EQ(LanguagesCount, int(Counts.size()));
            EXPECT_EQ(FileNames(), Names);
            EXPECT_TRUE(HeldPieces() == KeptPieces(All, Keep)) << "a kept value is missing or differs";
            if (Keep == 15) {
                EXPECT_FALSE(CorpusSegmentsMissing());
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
};

}  // namespace

// The seal's record of a file once made every workspace of more than 99 files (one language), of 166 a
// language (two), or of far fewer with some Keep options off, open as damaged.
TEST_F(WorkspaceSizesTest, OneLanguageOfAnySize) {
    for (int Count : {1, 99, 100, 400}) {
        ResetGlobalsForTest();
        TCorpusTest::SetUp();
        CheckEveryKeepCombination({Count});
        if (HasFailure()) return;
    }
}

TEST_F(WorkspaceSizesTest, TwoLanguagesOfEqualAndUnequalCounts) {
    for (const std::vector<int>& Counts :
         std::vector<std::vector<int>>{{1, 1}, {66, 65}, {65, 66}, {167, 167}, {400, 399}}) {
        ResetGlobalsForTest();
        TCorpusTest::SetUp();
        CheckEveryKeepCombination(Counts);
        if (HasFailure()) return;
    }
}

TEST_F(WorkspaceSizesTest, ThreeAndFourLanguages) {
    for (const std::vector<int>& Counts :
         std::vector<std::vector<int>>{{3, 2, 4}, {120, 120, 120}, {7, 7, 6, 7}, {400, 400, 400, 400}}) {
        ResetGlobalsForTest();
        TCorpusTest::SetUp();
        CheckEveryKeepCombination(Counts);
        if (HasFailure()) return;
    }
}
