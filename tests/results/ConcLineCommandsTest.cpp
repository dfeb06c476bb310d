// The concordance window's commands on its lines, without the window: sorting keeps every pane in step
// and sorts only when the order changes; the marks of queries and hot words in random rows over random
// aligned texts against an answer read off the texts, through applying, re-applying and clearing; a
// dropped file in the chosen words.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcSearch.h"
#include "results/ConcLineCommands.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

const std::vector<std::string> Vocabulary = {"q", "ab", "cd", "ef", "gh"};

class LineCommandsTest : public TCorpusTest {
protected:
    struct TWord {
        int32_t Start, End;
        std::string Text;
    };
    struct TUnit {
        int32_t Start, End;
        std::vector<TWord> Words;
    };

    // Language 1 gets Files random files of 1 to 6 one-line units, aligned one to one with language 0.
    void Generate(std::mt19937& Random, int Files) {
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        for (int F = 0; F < Files; ++F) {
            std::string Text;
            std::vector<TUnit> Units;
            const int Count = std::uniform_int_distribution<int>(1, 6)(Random);
            for (int U = 0; U < Count; ++U) {
                TUnit Unit{int32_t(Text.size()), 0, {}};
                const int Words = std::uniform_int_distribution<int>(1, 5)(Random);
                for (int W = 0; W < Words; ++W) {
                    if (W > 0) Text += ' ';
                    const std::string& Word = Vocabulary[Random() % Vocabulary.size()];
                    Unit.Words.push_back({int32_t(Text.size()), int32_t(Text.size() + Word.size()), Word});
                    Text += Word;
                }
                Text += "\n";
                Unit.End = int32_t(Text.size());
                Units.push_back(Unit);
            }
            AddFile(0, "l0f" + std::to_string(F), Text);
            AddFile(1, "l1f" + std::to_string(F), Text);
            auto Pair = std::make_unique<TDoubleAlignIndex>();
            for (const TUnit& U : Units) {
                Pair->Side1.Add(U.Start, U.End, U.End - U.Start);
                Pair->Side2.Add(U.Start, U.End, U.End - U.Start);
            }
            Align12->Add(std::move(Pair));
            Texts.push_back(Units);
        }
    }

    // Rows of language 1 over random passages: one unit, two units, or none.
    void MakeRows(std::mt19937& Random, int Count) {
        List = std::make_unique<TConcordItems>(1);
        for (int R = 0; R < Count; ++R) {
            auto Row = std::make_unique<TConcordItem>(1);
            Row->Sequence = R;
            const int F = int(Random() % Texts.size());
            const auto& Units = Texts[size_t(F)];
            const int U = int(Random() % Units.size());
            const int Last = std::min<int>(U + int(Random() % 2), int(Units.size()) - 1);
            if (Random() % 8 != 0) {
                Row->FileIndex = F;
                Row->AlignedStart = Units[size_t(U)].Start;
                Row->AlignedEnd = Units[size_t(Last)].End;
                Row->AlignedLength = Row->AlignedEnd - Row->AlignedStart;
            }
            List->Add(std::move(Row));
        }
    }

    // The occurrences of Words in row R's passage, by start.
    std::map<int32_t, std::string> Occurrences(int32_t R, const std::set<std::string>& Words) const {
        std::map<int32_t, std::string> Found;
        const TConcordItem& Row = *List->GetItem(R);
        if (Row.FileIndex < 0) return Found;
        for (const TUnit& U : Texts[size_t(Row.FileIndex)])
            for (const TWord& W : U.Words)
                if (W.Start >= Row.AlignedStart && W.End <= Row.AlignedEnd && Words.count(W.Text))
                    Found[W.Start] = W.Text;
        return Found;
    }

    // Every occurrence of the query word "q" in a row's passage, put in as a search within the lines
    // puts its hits, in a random order.
    void AddQueryHits(std::mt19937& Random) {
        TReaderList Readers = OpenReaders(1);
        for (int32_t R = 0; R < List->Count(); ++R) {
            std::vector<std::pair<int32_t, std::string>> Hits;
            for (const auto& Hit : Occurrences(R, {"q"})) Hits.push_back(Hit);
            std::shuffle(Hits.begin(), Hits.end(), Random);
            TConcordItem& Row = *List->GetItem(R);
            for (const auto& [Start, Word] : Hits) {
                auto Hit = std::make_unique<TConcordItem>(1);
                Hit->FileIndex = Row.FileIndex;
                TBufStream& Reader = *Readers[size_t(Row.FileIndex)];
                BuildKwicLine(Reader, Start, Start + int32_t(Word.size()), *Hit, 0);
                Hit->HitStart = Start;
                Hit->HitEnd = Start + int32_t(Word.size());
                AddSecondaryHit(*List, std::move(Hit), Row, &Reader, 0);
            }
        }
    }

    // Row R holds exactly the occurrences of Query (origin 1) and Hot (origin 2) words in its passage:
    // the earliest as its hit with its text read, the others as sub-items in order, flagged by origin.
    void ExpectMarks(int32_t R, const std::set<std::string>& Query, const std::set<std::string>& Hot,
                     const std::string& Where) const {
        const TConcordItem& Row = *List->GetItem(R);
        std::map<int32_t, std::pair<std::string, int>> Expected;
        for (const auto& [Start, Word] : Occurrences(R, Query)) Expected[Start] = {Word, 1};
        for (const auto& [Start, Word] : Occurrences(R, Hot)) Expected[Start] = {Word, 2};
        SCOPED_TRACE(Where + ", row " + std::to_string(R));
        if (Expected.empty()) {
            EXPECT_EQ(Row.HitState, 0);
            EXPECT_FALSE(Row.IsFilled());
            EXPECT_TRUE(Row.SubItems().empty());
            EXPECT_EQ(Row.HitStart, 0);
            EXPECT_EQ(Row.HitEnd, 0);
            return;
        }
        auto It = Expected.begin();
        EXPECT_EQ(Row.HitStart, It->first);
        EXPECT_EQ(Row.HitEnd, It->first + int32_t(It->second.first.size()));
        EXPECT_EQ(Row.HitState, It->second.second);
        EXPECT_EQ(std::string(Row.Texts[0]), It->second.first);
        std::vector<TTessivorSubItem> Subs;
        for (++It; It != Expected.end(); ++It)
            Subs.push_back({It->first, It->first + int32_t(It->second.first.size()), It->second.second == 2});
        EXPECT_EQ(Row.SubItems(), Subs);
    }

    // The chosen words: the row word list's items of Words, with their positions.
    std::unique_ptr<TFreqList> Choose(const std::set<std::string>& Words) const {
        std::unique_ptr<TFreqList> All = BuildRowWordList(*List, nullptr, nullptr);
        auto Chosen = std::make_unique<TFreqList>(1);
        for (int32_t I = 0; All && I < All->Count(); ++I) {
            const TFreqItem& Item = *All->GetItem(I);
            if (!Words.count(Item.Word)) continue;
            for (const TFreqItemPos& Pos : *Item.Positions) Chosen->AddWordWithPos(Item.Word, Pos);
        }
        return Chosen;
    }

    std::vector<std::vector<TUnit>> Texts;
    std::unique_ptr<TConcordItems> List;
};

}  // namespace

TEST_F(LineCommandsTest, MarksOfQueriesAndHotWordsFollowTheTextsThroughApplyingAndClearing) {
    for (unsigned Seed = 1; Seed <= 60; ++Seed) {
        std::mt19937 Random(Seed);
        List.reset();
        TCorpusTest::SetUp();
        Texts.clear();
        Generate(Random, 1 + int(Seed % 2));
        MakeRows(Random, 12);
        AddQueryHits(Random);
        std::set<std::string> Hot;
        for (size_t W = 1; W < Vocabulary.size(); ++W)
            if (Random() % 2) Hot.insert(Vocabulary[W]);
        const std::unique_ptr<TFreqList> Chosen = Choose(Hot);
        TReaderList Readers = OpenReaders(1);
        const std::string Trace = "seed " + std::to_string(Seed);

        int Steps = 0;
        EXPECT_TRUE(ApplyHotWordPositions(*List, *Chosen, Readers, [&] { return ++Steps > 0; }));
        EXPECT_EQ(Steps, PositionCount(*Chosen));
        // Applying the same words again adds nothing.
        ApplyHotWordPositions(*List, *Chosen, Readers, {});
        for (int32_t R = 0; R < List->Count(); ++R) ExpectMarks(R, {"q"}, Hot, Trace + " applied");
        EXPECT_EQ(List->RowsFilled, RowsHoldHits(*List));

        ClearMarks(*List, moQuery, Readers, 0);
        for (int32_t R = 0; R < List->Count(); ++R) ExpectMarks(R, {}, Hot, Trace + " query cleared");
        ClearMarks(*List, moHotWords, Readers, 0);
        for (int32_t R = 0; R < List->Count(); ++R) ExpectMarks(R, {}, {}, Trace + " all cleared");
        EXPECT_FALSE(RowsHoldHits(*List));

        // The other way round: the query hits come back as the rows' hits when the hot words go.
        AddQueryHits(Random);
        ApplyHotWordPositions(*List, *Chosen, Readers, {});
        ClearMarks(*List, moHotWords, Readers, 0);
        for (int32_t R = 0; R < List->Count(); ++R) ExpectMarks(R, {"q"}, {}, Trace + " hot words cleared");
    }
}

TEST_F(LineCommandsTest, AStoppedApplicationKeepsWhatItMarkedAndStopsAtOnce) {
    std::mt19937 Random(7);
    Generate(Random, 2);
    MakeRows(Random, 20);
    const std::unique_ptr<TFreqList> Chosen = Choose({"ab", "cd", "ef", "gh"});
    ASSERT_GT(PositionCount(*Chosen), 3);
    TReaderList Readers = OpenReaders(1);
    int Steps = 0;
    EXPECT_FALSE(ApplyHotWordPositions(*List, *Chosen, Readers, [&] { return ++Steps < 3; }));
    EXPECT_EQ(Steps, 3);
    int Marked = 0;
    for (int32_t R = 0; R < List->Count(); ++R)
        Marked += (List->GetItem(R)->HitState != 0) + int(List->GetItem(R)->SubItems().size());
    EXPECT_GE(Marked, 3);
}

TEST_F(LineCommandsTest, ADroppedFileTakesItsPositionsAndWordsAndRenumbersLaterFiles) {
    TFreqList Chosen(1);
    Chosen.AddWordWithPos("ab", {0, 0, 5, 5, 0, 2});
    Chosen.AddWordWithPos("ab", {1, 0, 5, 5, 3, 5});
    Chosen.AddWordWithPos("cd", {1, 6, 9, 3, 6, 8});
    Chosen.AddWordWithPos("ef", {2, 0, 5, 5, 0, 2});
    EXPECT_TRUE(DropChosenFile(Chosen, 1));
    ASSERT_EQ(Chosen.Count(), 2);
    const TFreqItem* Ab = Chosen.FindWord("ab");
    ASSERT_TRUE(Ab);
    EXPECT_EQ(Ab->Frequency, 1);
    EXPECT_EQ(*Ab->Positions, (TFreqItemPositions{{0, 0, 5, 5, 0, 2}}));
    EXPECT_EQ(Chosen.FindWord("ef")->Positions->front().File, 1);
    EXPECT_TRUE(DropChosenFile(Chosen, 0));
    EXPECT_FALSE(DropChosenFile(Chosen, 0));
    EXPECT_EQ(Chosen.Count(), 0);
}

TEST_F(LineCommandsTest, SortingAPaneMovesEveryPaneInStep) {
    for (unsigned Seed = 1; Seed <= 40; ++Seed) {
        std::mt19937 Random(Seed);
        const int Languages = 2 + int(Seed % 3);
        for (int L = 0; L < Languages; ++L) Lang(L);
        TItemLists Lists;
        const int Rows = int(Random() % 30);
        for (int L = 0; L < Languages; ++L) {
            Lists[size_t(L)] = std::make_unique<TConcordItems>(L);
            for (int R = 0; R < Rows; ++R) {
                auto Item = std::make_unique<TConcordItem>(L);
                Item->Sequence = R;
                for (int S = 0; S < ItemSlotCount; ++S)
                    Item->Texts.Set(S, Vocabulary[Random() % Vocabulary.size()]);
                Lists[size_t(L)]->Add(std::move(Item));
            }
        }
        const int Sorted = int(Random() % Languages);
        const uint8_t First = SortMenuKeys[Random() % SortMenuKeys.size()].Key;
        SortInStep(Lists, Languages, Sorted, TwoKeySort(First, skOriginalOrder), nullptr);
        const TConcordItems& Key = *Lists[size_t(Sorted)];
        EXPECT_FALSE(Key.OnSwap);
        for (int R = 0; R < Rows; ++R) {
            for (int L = 0; L < Languages; ++L)
                ASSERT_EQ(Lists[size_t(L)]->GetItem(R)->Sequence, Key.GetItem(R)->Sequence)
                    << "seed " << Seed;
            if (R == 0) continue;
            const TConcordItem& A = *Key.GetItem(R - 1);
            const TConcordItem& B = *Key.GetItem(R);
            EXPECT_TRUE(A.Texts[First] < B.Texts[First] ||
                        (A.Texts[First] == B.Texts[First] && A.Sequence < B.Sequence))
                << "seed " << Seed << ", row " << R;
        }
    }
}

TEST_F(LineCommandsTest, TheSameOrderOfTheSameLanguageIsNotSortedAgain) {
    const TAdvancedSortColOptions ByLeft = TwoKeySort(sk1L, skNone);
    EXPECT_FALSE(SortNeeded(1, ByLeft, false, 1, ByLeft));
    EXPECT_TRUE(SortNeeded(0, ByLeft, false, 1, ByLeft));  // another pane's words
    EXPECT_TRUE(SortNeeded(1, ByLeft, true, 1, ByLeft));   // an advanced key list
    EXPECT_TRUE(SortNeeded(1, TwoKeySort(sk1L, sk1R), false, 1, ByLeft));
    TAdvancedSortColOptions Reversed = ByLeft;
    Reversed.Keys[0].Reverse = true;
    EXPECT_TRUE(SortNeeded(1, Reversed, false, 1, ByLeft));
    // Letters may have changed since; the values of another tracked tag give another order.
    const TAdvancedSortColOptions ByLetter = TwoKeySort(skDefined, skNone);
    EXPECT_TRUE(SortNeeded(1, ByLetter, false, 1, ByLetter));
    TAdvancedSortColOptions ByTag = TwoKeySort(skTrackedTag, skNone), ByOtherTag = ByTag;
    ByTag.TrackedTag = "id";
    ByOtherTag.TrackedTag = "n";
    EXPECT_FALSE(SortNeeded(1, ByTag, false, 1, ByTag));
    EXPECT_TRUE(SortNeeded(1, ByTag, false, 1, ByOtherTag));
}

// Each pass takes the best-scoring word of the passages still uncovered (counted once per unit), and
// covers every row holding one of its positions; a cancelled build gives nothing.
TEST_F(LineCommandsTest, TranslationPassesPickTheBestWordOfTheUncoveredPassagesEachTime) {
    for (unsigned Seed = 1; Seed <= 40; ++Seed) {
        std::mt19937 Random(Seed);
        List.reset();
        TCorpusTest::SetUp();
        Texts.clear();
        Generate(Random, 2);
        MakeRows(Random, 10);
        // A reference list in which every word of the texts is rare.
        TFreqList Reference(1);
        for (const std::string& W : Vocabulary) Reference.AddWord(W);
        for (int I = 0; I < 500; ++I) Reference.AddWord("filler" + std::to_string(I));
        THotWordsOptions Options;
        Options.RankFunctionThreshold = 0.5;
        const int Passes = 1 + int(Seed % 4);
        TProgressForm Progress;
        const std::unique_ptr<TFreqList> Result =
            BuildTranslationList(*List, Reference, Options, Passes, Progress);
        ASSERT_TRUE(Result);
        EXPECT_LE(Result->Count(), Passes);

        // The oracle: the same greedy cover, counted off the texts.
        std::set<int32_t> Covered;
        std::vector<std::string> Picks;
        for (int Pass = 0; Pass < Passes; ++Pass) {
            std::set<std::pair<int32_t, int32_t>> Units;  // (file, unit start) of uncovered rows
            for (int32_t R = 0; R < List->Count(); ++R) {
                const TConcordItem& Row = *List->GetItem(R);
                if (Covered.count(R) || Row.FileIndex < 0) continue;
                for (const TUnit& U : Texts[size_t(Row.FileIndex)])
                    if (U.Start >= Row.AlignedStart && U.End <= Row.AlignedEnd)
                        Units.insert({Row.FileIndex, U.Start});
            }
            std::map<std::string, int> Counts;
            for (const auto& [File, Start] : Units)
                for (const TUnit& U : Texts[size_t(File)])
                    if (U.Start == Start)
                        for (const TWord& W : U.Words) ++Counts[W.Text];
            if (Counts.empty()) break;
            const long double C = Counts.size(), D = Reference.Count();
            std::string Best;
            long double BestScore = -1;
            for (const auto& [Word, A] : Counts) {
                if (A / C <= 1 / D) continue;
                const long double Score = LogLikelihoodScore(A, C, 1, D);
                if (Score > BestScore + 1e-9) Best = Word, BestScore = Score;
            }
            if (Best.empty() || BestScore < Options.RankFunctionThreshold) break;
            Picks.push_back(Best);
            for (int32_t R = 0; R < List->Count(); ++R)
                if (!Occurrences(R, {Best}).empty()) Covered.insert(R);
        }
        ASSERT_EQ(Result->Count(), int32_t(Picks.size())) << "seed " << Seed;
        for (const std::string& Word : Picks) {
            const TFreqItem* Item = Result->FindWord(Word);
            ASSERT_TRUE(Item) << "seed " << Seed << ": " << Word;
            EXPECT_EQ(Item->Frequency, int32_t(Item->Positions->size()));
        }
    }
    TProgressForm Cancelled;
    Cancelled.Tag = 1;
    TFreqList Reference(1);
    EXPECT_FALSE(BuildTranslationList(*List, Reference, THotWordsOptions{}, 3, Cancelled));
}
