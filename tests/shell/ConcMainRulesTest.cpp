#include <gtest/gtest.h>

#include "shell/ConcMain.h"

namespace {

TActionInputs LoadedCorpus() {
    TActionInputs in;
    in.HasFiles = true;
    in.Aligned = true;
    return in;
}

}  // namespace

TEST(MainFormRules, AnEmptyCorpusLeavesOnlyTheAlwaysEnabledCommands) {
    // Everything off but the commands that bring a corpus in, and the hidden order items keep their
    // last state.
    TActionStates expected;
    expected.CorpusCommands = true;
    EXPECT_EQ(ComputeActionStates(TActionInputs{}), expected);
}

TEST(MainFormRules, SearchNeedsAnAlignedCorpusAndNoAlignmentWindow) {
    TActionInputs in = LoadedCorpus();
    EXPECT_TRUE(ComputeActionStates(in).Search);
    EXPECT_TRUE(ComputeActionStates(in).SearchMenuVisible);
    in.AlignWindowsOpen = true;
    EXPECT_FALSE(ComputeActionStates(in).Search);
    EXPECT_TRUE(ComputeActionStates(in).SearchOptions);
    in = LoadedCorpus();
    in.Aligned = false;
    const TActionStates s = ComputeActionStates(in);
    EXPECT_FALSE(s.Search);
    EXPECT_TRUE(s.AlignCorpus);
    in.NeedsProcessing = true;  // a pass must run before aligning
    EXPECT_FALSE(ComputeActionStates(in).AlignCorpus);
    EXPECT_TRUE(ComputeActionStates(in).CollectTags);
}

// Busy is one test for closing and for the commands: while a word list is written or a job runs, no
// command may free, replace or save the corpus under it.
TEST(MainFormRules, BusyDisablesEveryCommandThatTouchesTheCorpusButNotTheMenus) {
    TActionInputs in = LoadedCorpus();
    in.Busy = true;
    in.Aligned = false;  // CorpusAligned is false while busy
    in.NeedsProcessing = true;
    in.ConcordanceActive = true;
    in.WorkspaceLoaded = true;
    in.RecentAvailable = true;
    in.ChildCount = 2;
    const TActionStates s = ComputeActionStates(in);
    EXPECT_FALSE(s.ViewCorpusFile);
    EXPECT_FALSE(s.UnloadCorpus);
    EXPECT_FALSE(s.CollectTags);
    EXPECT_FALSE(s.AlignCorpus);
    EXPECT_FALSE(s.Search);
    EXPECT_FALSE(s.SearchOptions);
    EXPECT_TRUE(s.SetWordListOrders);
    EXPECT_FALSE(s.WordListOrders);
    EXPECT_FALSE(s.Collocation);
    EXPECT_TRUE(s.SearchMenuVisible);
    EXPECT_TRUE(s.FrequencyMenuVisible);
    EXPECT_FALSE(s.SaveWorkspace);
    EXPECT_FALSE(s.RecentWorkspaces);
    EXPECT_FALSE(s.CorpusCommands);
    EXPECT_TRUE(s.WindowMenuVisible);
    in.Aligned = true;  // an aligned corpus does not make the search safe either
    EXPECT_FALSE(ComputeActionStates(in).Search);
    // While busy the idle update does not look at the corpus: nothing may depend on what it would find.
    for (const bool Aligned : {false, true})
        for (const bool NeedsProcessing : {false, true}) {
            in.Aligned = Aligned;
            in.NeedsProcessing = NeedsProcessing;
            EXPECT_EQ(ComputeActionStates(in), s);
        }
}

TEST(MainFormRules, CollocationFollowsTheActiveConcordanceWindow) {
    TActionInputs in = LoadedCorpus();
    EXPECT_FALSE(ComputeActionStates(in).Collocation);
    in.ConcordanceActive = true;
    EXPECT_TRUE(ComputeActionStates(in).Collocation);
    EXPECT_TRUE(ComputeActionStates(in).WordListOrders);
}

TEST(MainFormRules, HintPanelFallsBackFromHintToStatusTextToTheFileCount) {
    EXPECT_EQ(HintPanelText("Open a file", "Scanning", 3, false), " Open a file");
    EXPECT_EQ(HintPanelText("", "Scanning", 3, false), " Scanning");
    EXPECT_EQ(HintPanelText("", "", 0, false), " No files added");
    EXPECT_EQ(HintPanelText("", "", 1, false), " 1 parallel file loaded");
    EXPECT_EQ(HintPanelText("", "", 12, false), " 12 parallel files loaded");
    // A corpus left unaligned says so, and what aligns it; a hint or a status text still comes first.
    EXPECT_EQ(HintPanelText("", "", 66, true),
              " 66 parallel files loaded, not aligned: choose \"Align Corpus\" in the File menu");
    EXPECT_EQ(HintPanelText("", "", 1, true),
              " 1 parallel file loaded, not aligned: choose \"Align Corpus\" in the File menu");
    EXPECT_EQ(HintPanelText("", "Scanning", 3, true), " Scanning");
}

TEST(MainFormRules, LanguagePanelGroupsCountsAndMarksEmptyLanguages) {
    SetThousandSeparator(",");
    EXPECT_EQ(LanguagePanelText({1234567, 0, 12}, true), "1,234,567 / ?? / 12");
    EXPECT_EQ(LanguagePanelText({5}, true), "5");
    EXPECT_EQ(LanguagePanelText({1234, 5678}, false), "");
    EXPECT_EQ(LanguagePanelWidthFor(100, 600), 195);
    EXPECT_EQ(LanguagePanelWidthFor(300, 600), 300);
    EXPECT_EQ(LanguagePanelWidthFor(500, 600), 400);
    EXPECT_EQ(LanguagePanelWidthFor(500, 200), 195);
}

TEST(MainFormRules, WorkspaceCaptionCapitalisesTheBaseNameOnly) {
    EXPECT_EQ(WorkspaceCaption("/home/user/Corpora/MY CORPUS.TWS"), "Tessivor - My corpus");
    EXPECT_EQ(WorkspaceCaption("/data/\xC3\x89TUDE.tws"), "Tessivor - \xC3\x89tude");  // ÉTUDE -> Étude
    EXPECT_EQ(WorkspaceCaption("/data/\xC3\xA9t\xC3\x89.x.tws"), "Tessivor - \xC3\x89t\xC3\xA9.x");
    EXPECT_EQ(WorkspaceCaption("plain"), "Tessivor - Plain");
}

TEST(MainFormRules, CloseDecisions) {
    EXPECT_EQ(DecideClose(true, false, false), TCloseDecision::Refuse);
    EXPECT_EQ(DecideClose(true, true, true), TCloseDecision::Refuse);
    EXPECT_EQ(DecideClose(false, false, true), TCloseDecision::SavePreferences);
    EXPECT_EQ(DecideClose(false, true, true), TCloseDecision::SaveWorkspace);
    EXPECT_EQ(DecideClose(false, true, false), TCloseDecision::SaveNothing);
}

TEST(MainFormRules, ClientSizePacksWidthHighAndHeightLow) {
    EXPECT_EQ(PackClientSize(800, 600), (800 << 16) | 600);
    EXPECT_EQ(PackClientSize(0, 0), 0);
    EXPECT_EQ(PackClientSize(1, 0xFFFF) & 0xFFFF, 0xFFFF);
}

TEST(MainFormRules, WordListOutputWaitsForAnyJobAndCopyFollowsTheCollocationWindow) {
    TActionInputs in;
    in.WordListActive = true;
    EXPECT_TRUE(ComputeActionStates(in).WordListOutput);
    EXPECT_FALSE(ComputeActionStates(in).CollocationCopy);
    in.Busy = true;
    EXPECT_FALSE(ComputeActionStates(in).WordListOutput);
    in = TActionInputs{};
    in.CollocationActive = true;
    in.Busy = true;
    const TActionStates s = ComputeActionStates(in);
    EXPECT_TRUE(s.CollocationCopy);
    EXPECT_FALSE(s.WordListOutput);
}
