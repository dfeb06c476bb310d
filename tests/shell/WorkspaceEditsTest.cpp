// Alignment corrections made in the editor, in both of its modes, saved with a workspace and opened
// again; and when the open workspace counts as changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "engine/ConcPrefs.h"
#include "platform/Paths.h"
#include "shell/ConcWorkspace.h"
#include "shell/WorkspaceChanges.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/shell/WorkspaceTestSupport.h"

namespace fs = std::filesystem;

namespace {

// One paragraph per line, two sentences each.
std::string Paragraphs(const std::string& Word, int Count) {
    std::string Text;
    for (int K = 0; K < Count; ++K)
        Text += Word + " number " + std::to_string(K + 1) + " opens here. It closes " + Word + " " +
                std::to_string(K + 1) + ".\n";
    return Text;
}

class WorkspaceEditsTest : public TCorpusTest {
protected:
    // Two languages of one file each, processed, cut into sections of Shape paragraphs and aligned.
    void SetUp() override {
        TCorpusTest::SetUp();
        TempDir = platform::TempDir();
        KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = true;
        const std::vector<int> Shape = {3, 4, 2};
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& C = Lang(L);
            C.HeadingFormat = 3;
            C.ParagraphFormat = 1;
            C.SentenceFormat = 1;
            AddFile(L, L == 0 ? "Source.txt" : "Target.txt", Paragraphs(L == 0 ? "alpha" : "beta", 9));
        }
        ASSERT_TRUE(ProcessCorpus());
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& C = *LanguageConfigs[size_t(L)];
            const TAlignIndex& Paras = *C.ParagraphIndexes.GetItem(0);
            auto Sections = std::make_unique<TAlignIndex>();
            int32_t First = 0;
            for (int P : Shape) {
                int32_t Length = 0;
                for (int32_t K = First; K < First + P; ++K) Length += Paras.GetItem(K).Length;
                Sections->Add(Paras.GetItem(First).Start, Paras.GetItem(First + P - 1).End, Length);
                First += P;
            }
            C.SectionIndexes.SetItem(0, std::move(Sections));
        }
        RunAlignment(false, -1, -1);
        ASSERT_TRUE(FilePairAligned(0, 1, 0));
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
        fs::create_directories(Dir.Path() / "ws");
        Workspace = Dir.File("ws/Corpus.TWS");
        WorkspaceFileName = Workspace;
    }

    void Reopen() {
        FreeLanguageConfigs();
        ASSERT_TRUE(LoadWorkspace(Workspace)) << (Backend.Messages.empty() ? "" : Backend.Texts().back());
    }

    std::string Workspace;
};

// A caret on a random row of side S: on a random byte of the row's unit, on none for an empty unit.
TAlignCaret RandomCaret(const TAlignEditor& Editor, int S, std::mt19937& Rng) {
    const TUnitRun Run = Editor.LargeRun(S);
    if (Run.Count() <= 0) return {};
    TAlignCaret Caret{-1, int32_t(Rng() % uint32_t(Run.Count()))};
    const TSegment U = Editor.Side(S).Large->GetItem(Editor.LargeOfRow(S, Caret.Row));
    if (U.End > U.Start) Caret.Pos = U.Start + int32_t(Rng() % uint32_t(U.End - U.Start));
    return Caret;
}

// One edit as the popup menu offers them, on a random side at a random caret.
void RandomEdit(TAlignEditor& Editor, std::mt19937& Rng) {
    const int S = int(Rng() % 2);
    const TAlignCaret Caret = RandomCaret(Editor, S, Rng);
    switch (Rng() % 9) {
        case 0:
        case 1:
            Editor.Split(S, Rng() % 2 == 0, Caret, 0);
            break;
        case 2:
        case 3:
            Editor.Merge(S, Rng() % 2 == 0, Rng() % 2 == 0, Caret, 0);
            break;
        case 4:
        case 5:
            Editor.InsertEmpty(S, Caret, 0);
            break;
        case 6:
            if (Editor.Mode() == 0) {
                if (Rng() % 2)
                    Editor.SplitSection(S, Caret, 0);
                else if (Editor.CanMergeSection(S))
                    Editor.MergeSectionWithNext(S, Caret, 0);
            }
            break;
        case 7:
            if (Editor.Mode() == 0) Editor.AlignParagraphsAutomatically(0);
            break;
        default:
            Editor.Undo();
            break;
    }
}

int32_t Sections(int L) {
    const TAlignIndex* Index = LanguageConfigs[size_t(L)]->SectionIndexes.GetItem(0);
    return Index ? Index->Count() : 0;
}

}  // namespace

// Random edits in both modes, the workspace saved and opened again: every index of both languages and
// the alignment come back byte for byte as the editor left them. All along, the workspace counts as
// changed exactly when the corpus differs from what was saved last.
TEST_F(WorkspaceEditsTest, EditsInBothModesSurviveSavingAndReopening) {
    // A pair whose counts part after the edits stays unaligned, as after closing the aligner's question.
    SetAlignErrorDialog([](auto&&...) { return 0; });
    for (uint32_t Seed = 1; Seed <= 24; ++Seed) {
        SCOPED_TRACE("seed " + std::to_string(Seed));
        if (Seed > 1) {
            TearDown();
            SetUp();
        }
        std::mt19937 Rng(Seed);
        ASSERT_TRUE(SaveWorkspace(Workspace));
        std::string Saved = CorpusSnapshot();
        EXPECT_FALSE(WorkspaceChanged());
        TAlignEditor Editor;
        for (int Run = 0; Run < 4; ++Run) {
            // The view shows the aligned segments only while the pair is aligned; a paragraph edit drops
            // the alignment (the user said Yes to the question), and the corpus aligner makes it anew.
            uint8_t Mode = Rng() % 3 == 0 ? 0 : 1;
            if (Mode == 1 && !FilePairAligned(0, 1, 0)) RunAlignment(false, -1, -1);
            if (Mode == 1 && !FilePairAligned(0, 1, 0)) Mode = 0;
            if (Mode == 0) DropFilePairAlignment(0, 1, 0);
            const int32_t Section = int32_t(Rng() % uint32_t(std::max(1, std::min(Sections(0), Sections(1)))));
            Editor.Reset(AlignBoxSideOf(0, 1, 0, Mode), AlignBoxSideOf(1, 0, 0, Mode), Section, Mode);
            for (int Step = 0; Step < 12; ++Step) {
                RandomEdit(Editor, Rng);
                ASSERT_EQ(WorkspaceChanged(), CorpusSnapshot() != Saved) << "run " << Run << " step " << Step;
            }
        }
        const std::string Edited = CorpusSnapshot();
        ASSERT_TRUE(SaveWorkspace(Workspace));
        Reopen();
        ASSERT_TRUE(CorpusSnapshot() == Edited);
        EXPECT_FALSE(WorkspaceChanged());
        EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    }
    SetAlignErrorDialog(nullptr);
}

// The settings a workspace keeps count as changes; the query histories, which every search adds to, and
// the order a word list is shown in do not; setting a value back is no change.
TEST_F(WorkspaceEditsTest, SettingsCountButHistoriesDoNot) {
    ASSERT_TRUE(SaveWorkspace(Workspace));
    EXPECT_FALSE(WorkspaceChanged());
    LanguageConfigs[1]->SearchHistory[0].insert(LanguageConfigs[1]->SearchHistory[0].begin(), "beta*");
    LanguageConfigs[0]->DelimiterHistory.push_back(".,");
    EXPECT_FALSE(WorkspaceChanged());
    // A word list shown in another order is no change either; a word counted once more is.
    ASSERT_TRUE(GetCorpusFreqList(0, true));
    EXPECT_FALSE(WorkspaceChanged());
    ++LanguageConfigs[0]->FreqList->GetItem(0)->Frequency;
    EXPECT_TRUE(WorkspaceChanged());
    --LanguageConfigs[0]->FreqList->GetItem(0)->Frequency;
    EXPECT_FALSE(WorkspaceChanged());
    LanguageConfigs[1]->Markers.push_back("verse");
    EXPECT_TRUE(WorkspaceChanged());
    LanguageConfigs[1]->Markers.pop_back();
    EXPECT_FALSE(WorkspaceChanged());
    CommonConfig->TagStart = '[';
    EXPECT_TRUE(WorkspaceChanged());
    // Another workspace, or none, is never taken for this one.
    WorkspaceFileName = Dir.File("ws/Other.TWS");
    EXPECT_FALSE(WorkspaceChanged());
    ForgetWorkspaceState();
    WorkspaceFileName = Workspace;
    EXPECT_FALSE(WorkspaceChanged());
}

// A pair whose sides differ in length is the user's work and reads back as it is; a pair cut short is
// still damage, reported once, and its slot is left to be aligned again.
TEST_F(WorkspaceEditsTest, UnevenPairsReadBackAndCutPairsAreDamage) {
    TAlignEditor Editor;
    Editor.Reset(AlignBoxSideOf(0, 1, 0, 1), AlignBoxSideOf(1, 0, 0, 1), 0, 1);
    TAlignCaret Caret{-1, 1};
    Caret.Pos = Editor.Side(1).Large->GetItem(Editor.LargeOfRow(1, 1)).Start;
    ASSERT_TRUE(Editor.InsertEmpty(1, Caret, 0));
    const TDoubleAlignIndex& Pair = *Align12->GetItem(0);
    ASSERT_EQ(Pair.Side2.Count(), Pair.Side1.Count() + 1);
    // Only ALIGN12 in the trailer, so that the end of the data file is the end of the pair.
    Align13.reset();
    Align14.reset();
    const std::string Edited = CorpusSnapshot();
    ASSERT_TRUE(SaveWorkspace(Workspace));
    Reopen();
    EXPECT_TRUE(CorpusSnapshot() == Edited);
    EXPECT_FALSE(WorkspaceIncomplete);

    // The same pair list cut inside its target side: the declared count is more than the block holds.
    TDoubleAlignIndexes Pairs;
    Pairs.Add(std::make_unique<TDoubleAlignIndex>(*Align12->GetItem(0)));
    TMemoryStream Whole;
    Pairs.SaveToStream(Whole);
    const std::string Bytes = Whole.Bytes();
    TMemoryStream Cut(std::string_view(Bytes).substr(0, Bytes.size() - 12));
    TDoubleAlignIndexes Back;
    EXPECT_TRUE(Back.LoadFromStream(Cut));
    ASSERT_EQ(Back.Count(), 1);
    EXPECT_EQ(Back.GetItem(0), nullptr);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{DamagedIndexDataText});

    // And so in the workspace: the data file cut short opens with the damage said once, and the alignment
    // it lost is named.
    const std::string Bin = WorkspaceBinName(Workspace);
    const std::string File = ReadWholeFile(Bin);
    Dir.Write("ws/Corpus.BIN", File.substr(0, File.size() - 12));
    Backend.Messages.clear();
    Reopen();
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{DamagedWorkspaceText(Workspace) + "\n" + DamagedSealText,
                                        std::string(LostAlignmentText) + "\n\"" +
                                            LanguageConfigs[0]->Files[0].Name + "\" with \"" +
                                            LanguageConfigs[1]->Files[0].Name + "\""}));
    EXPECT_TRUE(WorkspaceIncomplete);
    EXPECT_FALSE(FilePairAligned(0, 1, 0));
}
