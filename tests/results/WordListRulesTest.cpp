#include <gtest/gtest.h>

#include <random>
#include <set>

#include "engine/ConcFreqList.h"
#include "engine/ConcUtils.h"
#include "results/ConcFreqOptions.h"
#include "results/ConcStopList.h"
#include "results/ConcWordList.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class WordListRulesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0);
    }
};

struct TRow {
    int32_t Count;
    std::string Word;
    bool operator==(const TRow&) const = default;
};

std::vector<TRow> Rows(const TWordListItems& Items) {
    std::vector<TRow> R;
    for (int32_t I = 0; I < Items.Count(); ++I) R.push_back({Items.ItemCount(I), std::string(Items.Word(I))});
    return R;
}

}  // namespace

// The fill against a plain walk of the display order with the limits and the stop list written out.
TEST_F(WordListRulesTest, FillKeepsWhatPassesInDisplayOrderUpToTheLineLimit) {
    std::mt19937 Random(46);
    for (int Round = 0; Round < 60; ++Round) {
        TFreqList List(0);
        const int Words = 1 + int(Random() % 300);
        for (int W = 0; W < Words; ++W) List.AddWord("w" + std::to_string(W), 1 + int(Random() % 40));
        if (Random() % 2)
            List.SortAlphabetically();
        else
            List.SortByFrequency();
        TFrequencyConfig& F = FrequencyConfigs[0];
        F.MinimumFrequency = int(Random() % 10);
        F.MaximumFrequency = Random() % 3 ? 0 : 10 + int(Random() % 30);
        std::set<std::string> Stop;
        for (int S = 0; S < 10; ++S) Stop.insert("w" + std::to_string(Random() % 300));
        TStopList& StopList = LanguageConfigs[0]->StopList;
        StopList.SetWords({Stop.begin(), Stop.end()});
        StopList.SetActive(Random() % 2 == 0);
        const bool Active = StopList.Active;
        const int32_t MaxLines = Random() % 3 ? 0 : int32_t(Random() % 50);
        const auto Mode = Random() % 4 ? TWordListMode::FrequencyOrder : TWordListMode::AdvancedCollocation;
        const int64_t Total = 1000 + Random() % 1000;

        std::vector<TRow> Expected;
        for (int32_t I = 0; I < List.Count(); ++I) {
            if (MaxLines > 0 && int32_t(Expected.size()) == MaxLines) break;
            const TFreqItem& Item = *List.GetItem(I);
            const bool Passes = Item.Frequency >= F.MinimumFrequency &&
                                (F.MaximumFrequency == 0 || Item.Frequency <= F.MaximumFrequency) &&
                                !(Active && Stop.count(Item.Word));
            if (Passes || Mode == TWordListMode::AdvancedCollocation)
                Expected.push_back({Item.Frequency, Item.Word});
        }
        TWordListItems Items;
        Items.Add(7, "stale", 1);
        FillWordListItems(Items, List, 0, Total, MaxLines, Mode);
        ASSERT_EQ(Rows(Items), Expected) << "round " << Round;
        ASSERT_EQ(Items.RowCount(), std::max<int32_t>(int32_t(Expected.size()) + 1, 2));
        if (!Expected.empty()) {
            EXPECT_DOUBLE_EQ(Items.Percentage(0), double(Expected[0].Count) / double(Total) * 100.0);
        }
    }
}

TEST_F(WordListRulesTest, UnknownOrZeroTotalLeavesTheGridEmptyAndCellsFollowTheRowRule) {
    TFreqList List(0);
    List.AddWord("alpha", 3);
    List.SortByFrequency();
    TWordListItems Items;
    for (int64_t Total : {int64_t(0), int64_t(2147483647)}) {
        FillWordListItems(Items, List, 0, Total, 0, TWordListMode::AdvancedCollocation);
        EXPECT_EQ(Items.Count(), 0);
        EXPECT_EQ(Items.RowCount(), 2);  // the header and one empty row
        EXPECT_EQ(Items.GetCellText(0, 1), "");
    }
    FillWordListItems(Items, List, 0, 8, 0, TWordListMode::AdvancedCollocation);
    EXPECT_EQ(Items.GetCellText(0, 0), "Count");
    EXPECT_EQ(Items.GetCellText(1, 0), "Pct");
    EXPECT_EQ(Items.GetCellText(2, 0), "Word");
    EXPECT_EQ(Items.GetCellText(0, 1), "3");
    EXPECT_EQ(Items.GetCellText(1, 1), "37.5000%");
    EXPECT_EQ(Items.GetCellText(2, 1), "alpha");
    EXPECT_EQ(Items.GetCellText(2, 2), "");
    EXPECT_EQ(Items.GetCellText(3, 1), "");
    // Rounded to four places, and never with the locale's decimal comma.
    EXPECT_EQ(FormatPercentage(100.0 / 3.0), "33.3333%");
    EXPECT_EQ(FormatPercentage(2.0 / 3.0), "0.6667%");
    EXPECT_EQ(FormatPercentage(100), "100.0000%");
}

TEST(WordListClipboardTest, OneSelectedRowCopiesAllOtherwiseTheSelection) {
    const auto Cell = [](int Row, int Col) { return "r" + std::to_string(Row) + "c" + std::to_string(Col); };
    EXPECT_EQ(ListClipboardText(3, 3, {1}, Cell), "r0c1\tr0c2\r\nr1c1\tr1c2\r\nr2c1\tr2c2\r\n");
    EXPECT_EQ(ListClipboardText(3, 3, {2, 0}, Cell), "r0c1\tr0c2\r\nr2c1\tr2c2\r\n");
    EXPECT_EQ(ListClipboardText(3, 3, {}, Cell), "r0c1\tr0c2\r\nr1c1\tr1c2\r\nr2c1\tr2c2\r\n");
    // Hidden empty columns still give their fields.
    EXPECT_EQ(ListClipboardText(1, 4, {0},
                                [](int, int Col) { return Col == 2 ? std::string("w") : std::string(); }),
              "\tw\t\r\n");
}

TEST(FreqOptionsRulesTest, EachChangeSendsWhatItInvalidates) {
    TFrequencyConfig Old{3, 0, 100, 2, 5, false, false, true};
    struct TCase {
        const char* Name;
        std::function<void(TFrequencyConfig&)> Edit;
        bool NewChoice;
        bool Edited;
        bool Drop;
        std::optional<int> Freq;
        std::vector<int> Colloc;
    };
    const TCase Cases[] = {
        {"nothing", [](TFrequencyConfig&) {}, false, false, false, std::nullopt, {}},
        {"ignore case", [](TFrequencyConfig& C) { C.IgnoreCase = true; }, false, false, true, 1, {4}},
        {"skip tags", [](TFrequencyConfig& C) { C.SkipTags = true; }, false, false, true, 1, {}},
        {"highlight",
         [](TFrequencyConfig& C) { C.CollocHighLightTop = 9; },
         false,
         false,
         false,
         std::nullopt,
         {3}},
        {"span", [](TFrequencyConfig& C) { C.CollocateSpan = 4; }, false, false, false, std::nullopt, {2}},
        {"limits and lines",
         [](TFrequencyConfig& C) {
             C.MaximumFrequency = 50;
             C.MaximumLines = 10;
         },
         false,
         false,
         false,
         0,
         {0, 1}},
        // The stop list filters the counted list: nothing is counted again.
        {"choice", [](TFrequencyConfig& C) { C.CountAllWords = false; }, true, false, false, 0, {4}},
        {"words edited", [](TFrequencyConfig&) {}, false, true, false, 0, {4}},
        {"tags", [](TFrequencyConfig& C) { C.SkipTags = true; }, false, false, true, 1, {}},
        {"all at once",
         [](TFrequencyConfig& C) {
             C.MinimumFrequency = 1;
             C.MaximumLines = 7;
             C.CollocateSpan = 1;
             C.CollocHighLightTop = 0;
             C.IgnoreCase = true;
         },
         false,
         false,
         true,
         1,
         {0, 1, 2, 3, 4}},
    };
    for (const TCase& Case : Cases) {
        TFrequencyConfig New = Old;
        Case.Edit(New);
        const TFreqSettingsChange C = DiffFrequencyConfig(Old, false, New, Case.NewChoice, Case.Edited);
        EXPECT_EQ(C.Changed, Case.Freq.has_value() || !Case.Colloc.empty()) << Case.Name;
        EXPECT_EQ(C.DropCorpusList, Case.Drop) << Case.Name;
        EXPECT_EQ(C.FreqLParam, Case.Freq) << Case.Name;
        EXPECT_EQ(C.CollocLParams, Case.Colloc) << Case.Name;
    }
    // CountAllWords alone is only how the choice is shown: the choice itself did not move.
    TFrequencyConfig Shown = Old;
    Shown.CountAllWords = false;
    EXPECT_FALSE(DiffFrequencyConfig(Old, false, Shown, false, false).Changed);
}

TEST(FreqOptionsRulesTest, MaximumLinesAndStopWordsAreReadDefensively) {
    EXPECT_EQ(ParseMaximumLines("2000000"), 950000);
    EXPECT_EQ(ParseMaximumLines(""), 100);
    EXPECT_EQ(ParseMaximumLines("  "), 100);
    EXPECT_EQ(ParseMaximumLines("12x"), 100);
    EXPECT_EQ(ParseMaximumLines("99999999999"), 100);
    EXPECT_EQ(ParseMaximumLines(" 50 "), 50);
    EXPECT_EQ(ParseMaximumLines("0"), 0);
    EXPECT_EQ(ParseMaximumLines("-5"), 0);

    const TCharSet Delimiters = NonWordCharSet(",.", "");
    EXPECT_EQ(SplitStopWords("a, b a", Delimiters), (std::vector<std::string>{"a", "b", "a"}));
    EXPECT_EQ(SplitStopWords(" ,, . ", Delimiters), std::vector<std::string>{});
    EXPECT_EQ(SplitStopWords("one\ttwo\r\nthree", Delimiters),
              (std::vector<std::string>{"one", "two", "three"}));
}

// After a stop-list change the word list shows the list counted before, filtered anew, without reading
// the corpus; a change of case is what reads it again.
TEST_F(WordListRulesTest, AStopListChangeFiltersTheCountedListAndACaseChangeCountsAgain) {
    FrequencyConfigs[0] = {1, 0, 0, 2, 5, false, false, true};
    AddFile(0, "a.txt", "the cat The dog the\r\n");
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    const TFreqList* Counted = LanguageConfigs[0]->FreqList.get();
    const auto Shown = [] {
        TWordListItems Items;
        FillWordListItems(Items, *LanguageConfigs[0]->FreqList, 0, LanguageConfigs[0]->GetWordCount(), 0,
                          TWordListMode::FrequencyOrder);
        return Rows(Items);
    };

    TFreqOptionsCopy Copy = CopyFreqOptions(0);
    Copy.StopList.SetWords({"the"});
    Copy.StopListEdited = true;
    Copy.ContentWordsOnly = true;
    Copy.Config.CountAllWords = false;
    ApplyFreqOptions(0, Copy, DiffFrequencyConfig(FrequencyConfigs[0], false, Copy.Config, true, true));
    const int Calls = Backend.ProcessMessagesCalls;
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    EXPECT_EQ(LanguageConfigs[0]->FreqList.get(), Counted);
    EXPECT_EQ(Backend.ProcessMessagesCalls, Calls);
    EXPECT_EQ(Shown(), (std::vector<TRow>{{1, "The"}, {1, "cat"}, {1, "dog"}}));

    Copy = CopyFreqOptions(0);
    Copy.Config.IgnoreCase = true;
    ApplyFreqOptions(0, Copy, DiffFrequencyConfig(FrequencyConfigs[0], true, Copy.Config, true, false));
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    ASSERT_TRUE(GetCorpusFreqList(0, false));
    EXPECT_EQ(Shown(), (std::vector<TRow>{{1, "cat"}, {1, "dog"}}));
}

// Applying: the record is stored before anyone hears of it, the list goes before the dialog's own
// message (so every window hears CM_FREQSETTINGSCHANGED twice), and the stop list is switched only then.
TEST_F(WordListRulesTest, ApplyingDropsTheListThenTellsMainWindowChildrenAndCollocations) {
    FrequencyConfigs[0] = {3, 0, 100, 2, 5, false, false, true};
    AddFile(0, "a.txt", "one two two\r\n");
    ProcessCorpus();
    ASSERT_TRUE(LanguageConfigs[0]->FreqList);
    LanguageConfigs[0]->StopList.SetWords({"two"});
    LanguageConfigs[0]->StopList.SetActive(false);

    TFreqOptionsCopy Copy = CopyFreqOptions(0);
    EXPECT_FALSE(Copy.ContentWordsOnly);
    Copy.Config.IgnoreCase = true;
    Copy.Config.CountAllWords = false;
    Copy.ContentWordsOnly = true;
    const TFreqSettingsChange Change =
        DiffFrequencyConfig(FrequencyConfigs[0], false, Copy.Config, true, false);

    TRecordingMessenger Recorder;
    bool SeenStoredFirst = false;
    Recorder.OnBroadcast = [&](int, intptr_t, intptr_t) {
        if (Recorder.Entries.size() == 1) SeenStoredFirst = FrequencyConfigs[0].IgnoreCase;
    };
    ApplyFreqOptions(0, Copy, Change);
    EXPECT_TRUE(SeenStoredFirst);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_TRUE(LanguageConfigs[0]->StopList.Active);
    using R = TRecordingMessenger;
    std::vector<std::tuple<int, int, intptr_t, intptr_t>> Got;
    for (const R::TEntry& E : Recorder.Entries)
        if (E.Kind == R::rkSend || E.Kind == R::rkBroadcast)
            Got.emplace_back(E.Kind, E.Msg, E.WParam, E.LParam);
    const std::vector<std::tuple<int, int, intptr_t, intptr_t>> Expected = {
        {R::rkBroadcast, CM_FREQSETTINGSCHANGED, 0, 1},   {R::rkSend, CM_FREQSETTINGSCHANGED, 0, 1},
        {R::rkSend, CM_FREQSETTINGSCHANGED, 0, 1},        {R::rkBroadcast, CM_FREQSETTINGSCHANGED, 0, 1},
        {R::rkBroadcast, CM_COLLOCSETTINGSCHANGED, 0, 4},
    };
    EXPECT_EQ(Got, Expected);
}
