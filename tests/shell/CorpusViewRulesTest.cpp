#include "shell/CorpusViewRules.h"

#include <gtest/gtest.h>

TEST(CorpusViewRulesTest, TheChooserShowsMissingFilesAndEnablesOnlyPairsThatCanBeChosen) {
    const auto Columns =
        ParaFilesColumns({{"/c/a.txt", "b.txt", "/d/c.txt"}, {"x", "y", "z", "/q/w", "v"}}, false);
    EXPECT_EQ(Columns[0], (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "N/A", "N/A"}));
    EXPECT_EQ(Columns[1][3], "w");
    EXPECT_EQ(ParaFilesColumns({{"/c/a.txt"}}, true)[0][0], "/c/a.txt");
    const std::vector<int> Counts{3, 5, 4};
    EXPECT_TRUE(ParaFilesShowEnabled(Counts, 2));
    EXPECT_FALSE(ParaFilesShowEnabled(Counts, 3));
    EXPECT_FALSE(ParaFilesShowEnabled(Counts, -1));
    // Only the pair (1, 2) has indexes: the chooser could offer nothing, so the command stays off.
    auto OnlyOneTwo = [](int A, int B, int) { return A == 1 && B == 2; };
    EXPECT_FALSE(ParaFilesAlignmentEnabled(Counts, 0, OnlyOneTwo));
    auto ZeroTwoAtRow1 = [](int A, int B, int File) { return A == 0 && B == 2 && File == 1; };
    EXPECT_TRUE(ParaFilesAlignmentEnabled(Counts, 1, ZeroTwoAtRow1));
    EXPECT_FALSE(ParaFilesAlignmentEnabled(Counts, 0, ZeroTwoAtRow1));
    EXPECT_FALSE(ParaFilesAlignmentEnabled(Counts, 3, [](int, int, int) { return true; }));
}

TEST(CorpusViewRulesTest, ViewsFollowTheirFilesAndShareTheirWidth) {
    EXPECT_EQ(DropFileAction(2, 2), TDropAction::Close);
    EXPECT_EQ(DropFileAction(2, 1), TDropAction::Lower);
    EXPECT_EQ(DropFileAction(2, 3), TDropAction::None);
    EXPECT_EQ(ExchangedFileIndex(5, 2, 5), 2);
    EXPECT_EQ(ExchangedFileIndex(2, 2, 5), 5);
    EXPECT_EQ(ExchangedFileIndex(3, 2, 5), 3);
    EXPECT_EQ(EqualColumnWidths(603, 2, 3), (std::vector<int>{300, 300}));
    EXPECT_EQ(EqualColumnWidths(100, 4, 3), (std::vector<int>{22, 22, 22, 22}));
    EXPECT_EQ(EqualColumnWidths(5, 4, 3), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(SyncedTopIndex(50, 20), 19);
    EXPECT_EQ(SyncedTopIndex(5, 20), 5);
    EXPECT_EQ(SyncedTopIndex(5, 0), -1);
}
