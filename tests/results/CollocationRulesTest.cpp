#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "ui/Msg.h"
#include "controls/ScriptedBackend.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearchItems.h"
#include "results/ConcAdvCollocation.h"
#include "results/ConcCollocation.h"
#include "results/ConcSavePrint.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

class CollocationRulesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(1);
        for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
    }
};

// Words of slots 0..8 ("" = missing).
using TSlots = std::array<std::string, ItemSlotCount>;

std::unique_ptr<TConcordItem> MakeItem(int Language, const TSlots& Slots) {
    auto Item = std::make_unique<TConcordItem>(Language);
    for (int S = 0; S < ItemSlotCount; ++S)
        if (!Slots[size_t(S)].empty()) Item->Texts.Set(S, Slots[size_t(S)]);
    return Item;
}

TSlots RandomSlots(std::mt19937& Random, int Vocabulary, bool MixedCase) {
    TSlots Slots;
    for (std::string& Word : Slots) {
        if (Random() % 6 == 0) continue;
        Word = "w" + std::to_string(Random() % Vocabulary);
        if (MixedCase && Random() % 3 == 0) Word[0] = 'W';
    }
    return Slots;
}

std::string Lower(std::string Word) {
    for (char& C : Word) C = char(std::tolower(uint8_t(C)));
    return Word;
}

std::map<std::string, int> Counts(const TFreqList& List) {
    std::map<std::string, int> Result;
    for (int32_t I = 0; I < List.Count(); ++I) Result[List.GetItem(I)->Word] = List.GetItem(I)->Frequency;
    return Result;
}

}  // namespace

// The rows of the collocation window over the item list's own collocate lists, against counts made
// here from the items' words with the limits, the stop list and the line limit written out.
TEST_F(CollocationRulesTest, CollocateRowsMatchABruteForceCountOfTheHits) {
    std::mt19937 Random(47);
    for (int Round = 0; Round < 80; ++Round) {
        TFrequencyConfig& F = FrequencyConfigs[0];
        F.CollocateSpan = 1 + int(Random() % 4);
        F.IgnoreCase = Random() % 2;
        F.MinimumFrequency = int(Random() % 4);
        F.MaximumFrequency = Random() % 3 ? 0 : 3 + int(Random() % 10);
        F.MaximumLines = Random() % 2 ? 0 : int32_t(Random() % 12);
        std::set<std::string> Stop;
        for (int S = 0; S < 4; ++S) Stop.insert("w" + std::to_string(Random() % 30));
        LanguageConfigs[0]->StopList.SetWords({Stop.begin(), Stop.end()});
        LanguageConfigs[0]->StopList.SetActive(Random() % 2 == 0);
        const bool StopActive = LanguageConfigs[0]->StopList.Active;

        TConcordItems Items(0);
        std::vector<TSlots> Hits;
        const int Count = int(Random() % 120);
        for (int I = 0; I < Count; ++I) {
            Hits.push_back(RandomSlots(Random, 30, true));
            auto Item = MakeItem(0, Hits.back());
            Item->Sequence = I;
            Items.Add(std::move(Item));
        }
        const TCollocateRange Range = CollocateRange(F.CollocateSpan);
        Items.BuildCollocateLists(uint8_t(Range.Lo), uint8_t(Range.Hi), nullptr);
        ASSERT_TRUE(Items.CollocateListsReady(uint8_t(Range.Lo), uint8_t(Range.Hi)));
        std::vector<const TFreqList*> Lists;
        for (int P = Range.Lo; P <= Range.Hi; ++P) Lists.push_back(Items.CollocList(P));
        const std::vector<TCollocateRow> Rows = CollocateRows(
            Lists, F.MaximumLines, [](const TFreqItem& Item) { return FreqItemPasses(0, Item); });

        std::vector<std::vector<std::pair<int, std::string>>> Expected;
        size_t Longest = 0;
        for (int P = Range.Lo; P <= Range.Hi; ++P) {
            std::map<std::string, int> Seen;
            for (const TSlots& Hit : Hits) {
                if (Hit[size_t(P)].empty()) continue;
                const std::string Word = F.IgnoreCase ? Lower(Hit[size_t(P)]) : Hit[size_t(P)];
                if (StopActive && Stop.count(F.IgnoreCase ? Lower(Word) : Word)) continue;
                ++Seen[Word];
            }
            std::vector<std::pair<int, std::string>> Column;
            for (const auto& [Word, N] : Seen)
                if (N >= F.MinimumFrequency && (F.MaximumFrequency == 0 || N <= F.MaximumFrequency))
                    Column.push_back({-N, Word});
            std::sort(Column.begin(), Column.end());
            Longest = std::max(Longest, Column.size());
            Expected.push_back(Column);
        }
        const size_t RowCount = F.MaximumLines > 0 ? std::min(Longest, size_t(F.MaximumLines)) : Longest;
        ASSERT_EQ(Rows.size(), RowCount) << "round " << Round;
        for (size_t R = 0; R < RowCount; ++R) {
            for (size_t I = 0; I < Expected.size(); ++I) {
                const TCollocateCell& Cell = Rows[R][I];
                if (R < Expected[I].size()) {
                    ASSERT_EQ(Cell.Count, std::to_string(-Expected[I][R].first))
                        << Round << " " << R << " " << I;
                    // Equal counts order by word; the folding of case decides which of "W1"/"w1" leads.
                    ASSERT_EQ(Lower(Cell.Word), Lower(Expected[I][R].second))
                        << Round << " " << R << " " << I;
                } else {
                    ASSERT_TRUE(Cell.Count.empty() && Cell.Word.empty());
                }
            }
        }
    }
}

TEST_F(CollocationRulesTest, LayoutCaptionsAndWhichSettingsCloseTheWindow) {
    EXPECT_TRUE(CollocationStacked({3, 4}));
    EXPECT_FALSE(CollocationStacked({2, 2, 2}));
    EXPECT_EQ(CollocateRange(2).Lo, 3);
    EXPECT_EQ(CollocateRange(2).Hi, 6);
    EXPECT_EQ(CollocateRange(9).Count(), 8);
    // Halves go to the even neighbour; sizes that sum to nothing stay.
    EXPECT_EQ(ScaleSizes({100, 300}, 200), (std::vector<int>{50, 150}));
    EXPECT_EQ(ScaleSizes({1, 1, 1, 1}, 2), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(ScaleSizes({0, 0}, 50), (std::vector<int>{0, 0}));
    EXPECT_EQ(CollocationCaption(CollocationLabelText("English", "the")),
              "Frequency Statistics - English - [the]");
    std::vector<bool> Closes;
    for (int Kind = 0; Kind <= 4; ++Kind) Closes.push_back(CollocSettingsCloses(Kind));
    EXPECT_EQ(Closes, (std::vector<bool>{true, false, true, false, true}));
}

// ---- Advanced collocation ---------------------------------------------------------------------------

TEST_F(CollocationRulesTest, SequencesOfColumnsAndSpans) {
    // Slots: 0 hit, 1..4 = 4L..1L, 5..8 = 1R..4R.
    TItemTexts Texts;
    Texts.Set(0, "hit");
    Texts.Set(3, "x");  // 2L
    Texts.Set(4, "a");  // 1L
    Texts.Set(5, "c");  // 1R
    auto Columns = [](std::initializer_list<uint8_t> Keys) {
        TAdvancedSortColOptions Record;
        InitSortColOptions(Record);
        TAdvancedSortColItems Items;
        for (uint8_t K : Keys) Items.push_back({K, false});
        return AdvCollocChoice(Record, Items);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(ItemSequences(Texts, Columns({sk2L, sk1L, sk1R})), V{"x a ... c"});
    EXPECT_EQ(ItemSequences(Texts, Columns({sk2L, sk1R})), V{"x ... c"});
    EXPECT_EQ(ItemSequences(Texts, Columns({sk1L, skSearchTerm, sk1R})), V{"a hit c"});
    EXPECT_EQ(AdvCollocChoiceText(Columns({sk1R, sk2L, skNone, sk2L})), "2L, 1R");
    TItemTexts Gappy = Texts;
    Gappy.Reset(4);
    EXPECT_EQ(ItemSequences(Gappy, Columns({sk2L, sk1L, sk1R})), V{"x ... c"});
    Gappy.Reset(3);
    EXPECT_EQ(ItemSequences(Gappy, Columns({sk2L, sk1R})), V{" ... c"});
    EXPECT_EQ(ItemSequences(Gappy, Columns({sk2L, sk1L})), V{});

    TAdvancedSortColOptions Record;
    InitSortColOptions(Record);
    Record.Span = true;
    Record.SpanLength = 2;
    const TAdvCollocChoice Span2 = AdvCollocChoice(Record, {});
    EXPECT_EQ(AdvCollocChoiceText(Span2), "Span 2");
    EXPECT_EQ(ItemSequences(Texts, Span2), (V{"hit c", "a hit"}));
    // At the start of a text nothing reaches left.
    TItemTexts Start;
    Start.Set(0, "hit");
    Start.Set(5, "c");
    Start.Set(6, "d");
    Record.SpanLength = 3;
    EXPECT_EQ(ItemSequences(Start, AdvCollocChoice(Record, {})), V{"hit c d"});
}

// Span counts over random hits against windows read off the slots written out by table position.
TEST_F(CollocationRulesTest, SpanCountsMatchABruteForceCountAndCancelLeavesNothing) {
    // Table order 4L 3L 2L 1L hit 1R 2R 3R 4R as item slots.
    const int TableSlots[9] = {1, 2, 3, 4, 0, 5, 6, 7, 8};
    std::mt19937 Random(4135);
    for (int Round = 0; Round < 40; ++Round) {
        FrequencyConfigs[1].IgnoreCase = Random() % 2;
        std::vector<std::unique_ptr<TConcordItems>> Owned;
        std::vector<const TConcordItems*> Lists;
        std::vector<std::map<std::string, int>> Expected(2);
        TAdvancedSortColOptions Record;
        InitSortColOptions(Record);
        Record.Span = true;
        Record.SpanLength = 2 + int(Random() % 4);
        const int N = Record.SpanLength;
        for (int L = 0; L < 2; ++L) {
            Owned.push_back(std::make_unique<TConcordItems>(L));
            const int Count = int(Random() % 700);
            for (int I = 0; I < Count; ++I) {
                const TSlots Slots = RandomSlots(Random, 6, true);
                for (int Start = 5 - N; Start <= 4; ++Start) {
                    std::string Sequence;
                    bool Whole = true;
                    for (int T = Start; T < Start + N; ++T) {
                        Whole = Whole && !Slots[size_t(TableSlots[T])].empty();
                        Sequence += (T > Start ? " " : "") + Slots[size_t(TableSlots[T])];
                    }
                    if (Whole)
                        ++Expected[size_t(L)]
                                  [FrequencyConfigs[size_t(L)].IgnoreCase ? Lower(Sequence) : Sequence];
                }
                Owned.back()->Add(MakeItem(L, Slots));
            }
            Lists.push_back(Owned.back().get());
        }
        std::vector<std::unique_ptr<TFreqList>> Counted;
        int32_t LastTick = 0;
        ASSERT_TRUE(CountSequences(Lists, AdvCollocChoice(Record, {}), Counted, [&](int32_t Counter) {
            LastTick = Counter;
            return true;
        }));
        ASSERT_EQ(Counted.size(), 2u);
        for (int L = 0; L < 2; ++L) {
            ASSERT_EQ(Counts(*Counted[size_t(L)]), Expected[size_t(L)]) << "round " << Round;
            for (int32_t I = 1; I < Counted[size_t(L)]->Count(); ++I)
                ASSERT_GE(Counted[size_t(L)]->GetItem(I - 1)->Frequency,
                          Counted[size_t(L)]->GetItem(I)->Frequency);
        }
        // One counter runs over both languages.
        EXPECT_EQ(LastTick, (Lists[0]->Count() + Lists[1]->Count()) / 512 * 512);
        if (Lists[0]->Count() + Lists[1]->Count() >= 512) {
            EXPECT_FALSE(
                CountSequences(Lists, AdvCollocChoice(Record, {}), Counted, [](int32_t) { return false; }));
            EXPECT_TRUE(Counted.empty());
        }
    }
}

// ---- Saving and printing --------------------------------------------------------------------------

namespace {

TWordListItems ItemsOf(std::initializer_list<std::pair<int32_t, std::string>> Rows, double Total) {
    TWordListItems Items;
    for (const auto& [Count, Word] : Rows) Items.Add(Count, Word, Count / Total * 100.0);
    return Items;
}

}  // namespace

TEST_F(CollocationRulesTest, SavedFilesByteForByte) {
    const TWordListItems Many = ItemsOf({{5, "the"}, {3, "and"}, {2, "cat"}, {1, "dog"}}, 11);
    const TWordListItems Few = ItemsOf({{4, "le"}}, 8);
    const TWordListItems Two = ItemsOf({{2, "x"}, {1, "y"}}, 3);
    TFreqOutOptions One;
    One.Language = 0;
    One.MaxLines = 2;
    EXPECT_EQ(WordListFileText("Corpus Frequency List", {{0, &Many}}, One, 2, 1234),
              "Corpus Frequency List (1234 words)\r\n\r\n5\tthe\r\n3\tand\r\n");
    One.IncludeFrequencies = true;
    One.MaxLines = 0;
    EXPECT_EQ(WordListFileText("T", {{0, &Few}}, One, 2, 8), "T (8 words)\r\n\r\n4\t50.0000%\tle\r\n");

    // Every row keeps the columns of every language, also where the first language has run out; a last
    // language that has run out adds nothing.
    Lang(2);
    TFreqOutOptions All;
    EXPECT_EQ(WordListFileText("T", {{0, &Few}, {1, &Many}, {2, &Two}}, All, 3, 0),
              "4\tle\t5\tthe\t2\tx\r\n"
              "\t\t3\tand\t1\ty\r\n"
              "\t\t2\tcat\r\n"
              "\t\t1\tdog\r\n");
    EXPECT_EQ(WordListFileText("T", {{0, &Many}, {1, &Few}, {2, &Two}}, All, 3, 0),
              "5\tthe\t4\tle\t2\tx\r\n"
              "3\tand\t\t\t1\ty\r\n"
              "2\tcat\t\t\r\n"
              "1\tdog\t\t\r\n");
    // The markers split a line for printing by language; every later group starts with its tab.
    const std::vector<TMarkedGroup> Groups =
        SplitMarkedLine(BuildOutputLine({{0, &Few}, {1, &Many}}, 2, true), 2);
    ASSERT_EQ(Groups.size(), 2u);
    EXPECT_EQ(Groups[0].Text, "\t\t");
    EXPECT_EQ(Groups[1].Language, 1);
    EXPECT_EQ(Groups[1].Text, "\t3\t27.2727%\tand");
    // Bytes above the language count (a code page's letters) pass as they are.
    EXPECT_EQ(StripMarkers(std::string("\x01\x04\x05\xe9\t", 5), 4), std::string("\x05\xe9\t"));
}

TEST_F(CollocationRulesTest, SavingReplacesTheFileOrReportsAndKeepsTheOldOne) {
    TScriptedBackend Backend;
    TTempDir Dir;
    const TWordListItems Items = ItemsOf({{2, "a"}}, 2);
    TFreqOutOptions Options;
    Options.Language = 0;
    const std::string File = Dir.Write("list.txt", "old");
    ASSERT_TRUE(SaveWordList(File, "L", {{0, &Items}}, Options));
    EXPECT_EQ(ReadWholeFile(File), "L (0 words)\r\n\r\n2\ta\r\n");
    EXPECT_FALSE(SavingWordList);

    const std::string Blocked = Dir.File("sub");
    std::filesystem::create_directory(Blocked);
    Dir.Write("sub/list.txt", "keep");
    std::filesystem::permissions(Blocked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    {
        TFileSizeLimit Limit(2);
        EXPECT_FALSE(SaveWordList(Blocked + "/list.txt", "L", {{0, &Items}}, Options));
    }
    std::filesystem::permissions(Blocked, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadWholeFile(Blocked + "/list.txt"), "keep");
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{"Unable to create file \"" + Blocked + "/list.txt\"."}));
    EXPECT_FALSE(SavingWordList);
}

TEST_F(CollocationRulesTest, PageGeometryAndFlow) {
    // 600 dpi: 2 mm = 47, 5 mm = 118, 25 mm = 591 pixels.
    const TPrintGeometry G = PrintGeometry(4960, 7016, 100, 200, 100, 150, 600, 60, 2);
    EXPECT_EQ(G.Gap, 47);
    EXPECT_EQ(G.Top, 200);
    EXPECT_EQ(G.Left, 591);
    EXPECT_EQ(G.Right, 4960 - 200 - 118);
    EXPECT_EQ(G.ColumnWidth, (G.Right - G.Left) / 2);
    EXPECT_EQ(G.Bottom, 7016 - 350 - 60 - 47);

    TPageFlow Flow(G, 100);
    Flow.NewPage();
    EXPECT_EQ(Flow.Page(), 1);
    EXPECT_EQ(Flow.Y(), 200 + 100 + 2 * 47);
    // A line taller than the page still goes on the page it starts; the next one moves on.
    EXPECT_FALSE(Flow.NeedsNewPage(100000));
    Flow.Advance(100);
    const int Room = G.Bottom - Flow.Y();
    EXPECT_FALSE(Flow.NeedsNewPage(Room));
    EXPECT_TRUE(Flow.NeedsNewPage(Room + 1));
    Flow.NewPage();
    EXPECT_EQ(Flow.Page(), 2);
}
