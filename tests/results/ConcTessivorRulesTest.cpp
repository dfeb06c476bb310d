#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "results/ConcTessivor.h"

namespace {

std::string Name(int L) {
    return L == 0 ? "English" : "German";
}

TSortCaptionInputs Sorted(uint8_t K1, uint8_t K2, uint8_t K3) {
    TSortCaptionInputs In;
    In.PrimaryCount = 5;
    In.SortedLanguage = 1;
    In.Sort.Keys = {{{K1, false}, {K2, false}, {K3, false}}};
    return In;
}

}  // namespace

TEST(TessivorRules, SortCaptionNamesTheKeysOrSaysAdvanced) {
    TSortCaptionInputs In;
    EXPECT_EQ(SortCaption(In, Name), "");  // no lines
    In.PrimaryCount = 3;
    EXPECT_EQ(SortCaption(In, Name), "English - Original text order");
    In.Undefined = true;
    EXPECT_EQ(SortCaption(In, Name), "Undefined");
    EXPECT_EQ(SortCaption(Sorted(sk1L, skNone, skNone), Name), "German - 1st left");
    EXPECT_EQ(SortCaption(Sorted(sk1R, sk1L, skNone), Name), "German - 1st right, 1st left");
    EXPECT_EQ(SortCaption(Sorted(sk2L, skDefined, skNone), Name), "German - 2nd left");
    EXPECT_EQ(SortCaption(Sorted(skSearchTerm, sk2R, skNone), Name), "German - Search word, 2nd right");
    EXPECT_EQ(SortCaption(Sorted(skOriginalOrder, skNone, skNone), Name), "German - Original text order");
    EXPECT_EQ(SortCaption(Sorted(sk4L, sk1L, skNone), Name), "German - , 1st left");
    EXPECT_EQ(SortCaption(Sorted(sk1L, sk1R, sk2R), Name), "German - Advanced sort");
    TSortCaptionInputs Reversed = Sorted(sk1L, skNone, skNone);
    Reversed.Sort.Keys[1].Reverse = true;
    EXPECT_EQ(SortCaption(Reversed, Name), "German - Advanced sort");
    TSortCaptionInputs Advanced = Sorted(sk1L, skNone, skNone);
    Advanced.Advanced = true;
    EXPECT_EQ(SortCaption(Advanced, Name), "German - Advanced sort");
    EXPECT_EQ(SortKeyCaption(0x80 | sk1R), "1st right");
}

// A list that does not hold every hit says so, in one wording: at the maximum (and where to raise it), or
// cancelled; a complete one says nothing more than its count.
TEST(TessivorRules, APartialListSaysWhyInItsCountAndCaption) {
    EXPECT_EQ(MatchCountText(500, TSearchEnd::Capped), "500 matches (maximum)");
    EXPECT_EQ(MatchCountText(1, TSearchEnd::Cancelled), "1 match (cancelled)");
    EXPECT_EQ(MatchCountText(0, TSearchEnd::Cancelled), "No matches (cancelled)");
    EXPECT_EQ(MatchCountText(500, TSearchEnd::Complete), "500 matches");
    EXPECT_EQ(SearchEndText(TSearchEnd::Complete, 500), "");
    EXPECT_EQ(SearchEndText(TSearchEnd::Capped, 500),
              "stopped at the maximum of 500 hits - raise Max Search Hits in Search > Search Options...");
    EXPECT_EQ(SearchEndText(TSearchEnd::Cancelled, 500), "search cancelled - not every hit is listed");
    TConcordanceCaptionInputs In{"God"};
    In.EndText = SearchEndText(TSearchEnd::Capped, 500);
    EXPECT_EQ(ConcordanceCaption(In),
              "Parallel Concordance - [God] - stopped at the maximum of 500 hits - raise "
              "Max Search Hits in Search > Search Options...");
    // A search appended to a partial list leaves it partial; a cancel weighs more than the maximum.
    EXPECT_EQ(JoinSearchEnds(TSearchEnd::Capped, TSearchEnd::Complete), TSearchEnd::Capped);
    EXPECT_EQ(JoinSearchEnds(TSearchEnd::Complete, TSearchEnd::Cancelled), TSearchEnd::Cancelled);
    EXPECT_EQ(JoinSearchEnds(TSearchEnd::Complete, TSearchEnd::Complete), TSearchEnd::Complete);
}

TEST(TessivorRules, CountsLabelsAndPanels) {
    EXPECT_EQ(MatchCountText(0), "No matches");
    EXPECT_EQ(MatchCountText(1), "1 match");
    EXPECT_EQ(MatchCountText(12345), "12345 matches");
    EXPECT_EQ(ConcordanceCaption({"walk*"}), "Parallel Concordance - [walk*]");
    EXPECT_EQ(QueryPanelText("walk*"), " Strings matching: walk*");
    EXPECT_EQ(LineLabelText(0, 'c', true), "1 c ");
    EXPECT_EQ(LineLabelText(41, 'c', false), "c ");
    EXPECT_EQ(LineLabelText(41, NoLetter, true), "42   ");
    EXPECT_EQ(LineLabelText(41, NoLetter, false), "");
    EXPECT_EQ(LabelColumnChars(999, false), 5);
    EXPECT_EQ(LabelColumnChars(1000, true), 7);
    EXPECT_EQ(LabelColumnChars(0, false), 3);
    for (int Kind : {NormalFont, HiliteFont, CollocatesFont, FrequencyFont, HotWordsFont})
        EXPECT_TRUE(FontChangeApplies(Kind)) << Kind;
    for (int Kind : {SystemFont, CorpusFont, ContextFont, ContextHiliteFont})
        EXPECT_FALSE(FontChangeApplies(Kind)) << Kind;
    // Panel 1 takes half of what panel 0 leaves, a half rounded to even.
    EXPECT_EQ(StatusPanelWidths(201, 100), (std::array<int, 3>{100, 50, 51}));
    EXPECT_EQ(StatusPanelWidths(203, 100), (std::array<int, 3>{100, 52, 51}));
    // A panel whose text needs more than its half takes what the other's text leaves, no more.
    EXPECT_EQ(FittedStatusPanelWidths(300, 100, 140, 30), (std::array<int, 3>{100, 140, 60}));
    EXPECT_EQ(FittedStatusPanelWidths(300, 100, 190, 30), (std::array<int, 3>{100, 170, 30}));
    EXPECT_EQ(FittedStatusPanelWidths(300, 100, 20, 150), (std::array<int, 3>{100, 50, 150}));
    EXPECT_EQ(FittedStatusPanelWidths(300, 100, 120, 120), (std::array<int, 3>{100, 100, 100}));
    // Two panes share the height less one splitter; the same rule for more panes.
    EXPECT_EQ(PaneHeight(403, 2), 200);
    EXPECT_EQ(PaneHeight(406, 3), 133);
    EXPECT_EQ(PaneHeight(400, 0), 0);
    EXPECT_TRUE(ContextTypeWraps(ctxLines));
    EXPECT_FALSE(ContextTypeWraps(ctxWords));
}

TEST(TessivorRules, DroppedRowsLeaveTheOthersInOrderWithDenseSequences) {
    std::mt19937 Rng(17);
    for (int Round = 0; Round < 200; ++Round) {
        const int N = int(Rng() % 40);
        // Rows in a sorted order: sequence numbers are a permutation of 0..N-1.
        std::vector<int32_t> Seq(static_cast<size_t>(N));
        std::iota(Seq.begin(), Seq.end(), 0);
        std::shuffle(Seq.begin(), Seq.end(), Rng);
        TConcordItems A(0), B(1);
        for (int R = 0; R < N; ++R)
            for (TConcordItems* List : {&A, &B}) {
                auto Item = std::make_unique<TConcordItem>(List->Language);
                Item->Sequence = Seq[size_t(R)];
                Item->FileIndex = R;  // names the row
                List->Add(std::move(Item));
            }
        std::vector<bool> Drop(static_cast<size_t>(N));
        std::vector<int32_t> KeptRows;
        for (int R = 0; R < N; ++R) {
            Drop[size_t(R)] = Rng() % 3 == 0;
            if (!Drop[size_t(R)]) KeptRows.push_back(R);
        }
        DropRows({&A, &B}, Drop);
        // Oracle: the kept rows in order; each sequence becomes its rank among the kept sequences.
        std::vector<int32_t> KeptSeq;
        for (int32_t R : KeptRows) KeptSeq.push_back(Seq[size_t(R)]);
        std::vector<int32_t> Sorted = KeptSeq;
        std::sort(Sorted.begin(), Sorted.end());
        for (TConcordItems* List : {&A, &B}) {
            ASSERT_EQ(List->Count(), int32_t(KeptRows.size()));
            for (size_t K = 0; K < KeptRows.size(); ++K) {
                ASSERT_EQ(List->GetItem(int32_t(K))->FileIndex, KeptRows[K]);
                const int32_t Rank =
                    int32_t(std::lower_bound(Sorted.begin(), Sorted.end(), KeptSeq[K]) - Sorted.begin());
                ASSERT_EQ(List->GetItem(int32_t(K))->Sequence, Rank);
            }
        }
    }
}

TEST(TessivorRules, AFileExchangeClosesOnlyOverRowsAtOrAfterTheLowerFile) {
    TConcordItems List(0);
    for (int F : {0, 2, 2}) {
        auto Item = std::make_unique<TConcordItem>(0);
        Item->FileIndex = F;
        List.Add(std::move(Item));
    }
    EXPECT_FALSE(FilesExchangeCloses(List, {4, 3}));
    EXPECT_TRUE(FilesExchangeCloses(List, {5, 2}));
    EXPECT_TRUE(FilesExchangeCloses(List, {1, 0}));
    EXPECT_FALSE(FilesExchangeCloses(TConcordItems(0), {0, 1}));
}

// A query's short description names only what differs from a plain text query, in the order of the
// search's own description; a parallel search names each other language's query and its "Not".
TEST(TessivorRules, CaptionsDescribeTheQueryInShort) {
    TConcSearchRec Plain;
    Plain.FrequencyOfHits = 1;
    EXPECT_EQ(QueryDescriptionShort(Plain), "");
    TConcSearchRec Full = Plain;
    Full.Syntax = 2;
    Full.Flags = sfMatchCase | sfSentenceMode | sfSkipEqual | sfHeading | sfContext;
    Full.FrequencyOfHits = 3;
    Full.SkippingChars = "-=";
    Full.HeadingPattern = "intro";
    Full.RightContext = "end";
    EXPECT_EQ(QueryDescriptionShort(Full),
              "Tag, Match case, Freq. of hits: 3, Sent. mode, Skipping characters: -=, Heading match: intro, "
              "Right context: end");
    TConcordanceCaptionInputs In{
        "covenant", "Regex", {{"German", "Bund", "", true}, {"French", "*", "Tag", false}}};
    EXPECT_EQ(ConcordanceCaption(In),
              "Parallel Concordance - [covenant] (Regex) + NOT German: [Bund] + French: [*] (Tag)");
    // Three quarters of the room, never below the old size nor what the panels need, never past the room.
    EXPECT_EQ(ConcordanceWindowSize(1200, 800, 0, 0), (std::array<int, 2>{900, 600}));
    EXPECT_EQ(ConcordanceWindowSize(600, 500, 0, 0), (std::array<int, 2>{532, 412}));
    EXPECT_EQ(ConcordanceWindowSize(1000, 700, 990, 0), (std::array<int, 2>{990, 525}));
    EXPECT_EQ(ConcordanceWindowSize(500, 300, 990, 900), (std::array<int, 2>{500, 300}));
}
