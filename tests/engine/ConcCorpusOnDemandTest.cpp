// The corpus frequency list on demand: the pass and the alignment run happen only for a missing list.
#include <gtest/gtest.h>

#include "engine/ConcFreqList.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class OnDemandTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0).SentenceFormat = 1;
        Lang(0).ParagraphFormat = 2;
        SetCorpusAlignmentRun([this] { ++Runs; });
    }
    void TearDown() override {
        SetCorpusAlignmentRun(nullptr);
        TCorpusTest::TearDown();
    }
    std::vector<std::string> Words(int L) const {
        std::vector<std::string> W;
        const TFreqList& List = *LanguageConfigs[L]->FreqList;
        for (int32_t I = 0; I < List.Count(); ++I) W.push_back(List.GetItem(I)->Word);
        return W;
    }
    int Runs = 0;
};

}  // namespace

TEST_F(OnDemandTest, AMissingListIsBuiltThenAlignedThenSortedAsAsked) {
    AddFile(0, "a.txt", "b b b a c c");
    AddFile(1, "b.txt", "x");
    ASSERT_TRUE(GetCorpusFreqList(0, true));
    EXPECT_EQ(Runs, 1);
    EXPECT_EQ(Words(0), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(LanguageConfigs[0]->FreqList->SortState(), TFreqSort::Alphabetical);

    // The list is there now: no pass, no alignment, only the order changes.
    const int Calls = Backend.ProcessMessagesCalls;
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    EXPECT_EQ(Words(0), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(Backend.ProcessMessagesCalls, Calls);
    EXPECT_EQ(Runs, 1);
    EXPECT_FALSE(GetCorpusFreqList(2, false));
    EXPECT_FALSE(GetCorpusFreqList(-1, false));
}

// A list dropped alone (case or tag rules changed) is counted again; the segments stand, and so does
// their alignment. Segments rebuilt by the pass are aligned again.
TEST_F(OnDemandTest, OnlyAPassThatRebuiltSegmentsIsFollowedByTheAlignment) {
    AddFile(0, "a.txt", "b b a");
    AddFile(1, "b.txt", "x");
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    ASSERT_EQ(Runs, 1);
    DropCorpusFreqList(0);
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    EXPECT_EQ(Words(0), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(Runs, 1);
    ClearSegmentIndexes(1);
    DropCorpusFreqList(0);
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    EXPECT_EQ(Runs, 2);
    EXPECT_FALSE(CorpusSegmentsMissing());
}

TEST_F(OnDemandTest, ACancelledPassLeavesNoListAndNoAlignmentRun) {
    AddFile(0, "a.txt", "one two");
    Backend.OnProcessMessages = [] {
        if (ProgressForm) ProgressForm->Tag = 1;
    };
    EXPECT_FALSE(GetCorpusFreqList(0, false));
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_EQ(Runs, 0);
}
