#include "engine/ConcSortKeys.h"

#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>
#include <vector>

TEST(SortKeyTables, OrderAndNamesOfBothTables) {
    const std::vector<uint8_t> SortCodes = {1, 2, 3, 4, 0, 5, 6, 7, 8, 11, 12, 9, 10};
    ASSERT_EQ(SortKeyCount(TSortKeyTable::Sort), 13);
    for (int I = 0; I < 13; ++I) EXPECT_EQ(SortKeyCode(TSortKeyTable::Sort, I), SortCodes[I]) << I;
    ASSERT_EQ(SortKeyCount(TSortKeyTable::Collocation), 10);
    for (int I = 0; I < 9; ++I) EXPECT_EQ(SortKeyCode(TSortKeyTable::Collocation, I), SortCodes[I]) << I;
    EXPECT_EQ(SortKeyCode(TSortKeyTable::Collocation, 9), skNone);

    const char* SortNames[] = {"4L", "3L", "2L",      "1L",          "Search term",    "1R",      "2R",
                               "3R", "4R", "Defined", "Tracked tag", "Original order", "Unsorted"};
    const char* Tokens[] = {"4l", "3l", "2l", "1l", "0", "1r", "2r", "3r", "4r", "def", "tag", "orig", ""};
    for (int I = 0; I < 13; ++I) {
        EXPECT_EQ(SortKeyTable[I].DisplayName, SortNames[I]);
        EXPECT_EQ(SortKeyTable[I].Token, Tokens[I]);
    }
    for (int I = 0; I < 9; ++I) {
        EXPECT_EQ(CollocationKeyTable[I].DisplayName, SortNames[I]);
        EXPECT_EQ(CollocationKeyTable[I].Token, Tokens[I]);
    }
    EXPECT_EQ(CollocationKeyTable[9].DisplayName, "None");
    EXPECT_EQ(CollocationKeyTable[9].Token, "");
}

TEST(SortKeyTables, EveryCodeConvertsToItsNameAndBack) {
    for (auto Table : {TSortKeyTable::Sort, TSortKeyTable::Collocation}) {
        for (int I = 0; I < SortKeyCount(Table); ++I) {
            const uint8_t Code = SortKeyCode(Table, I);
            EXPECT_EQ(SortKeyIndex(Table, Code), I);
            const std::string Name = SortKeyDisplayName(Table, Code);
            EXPECT_FALSE(Name.empty());
            EXPECT_EQ(SortKeyFromDisplayName(Table, Name), Code) << Name;
        }
    }
}

TEST(SortKeyTables, NamesDifferPerTableAndUnknownsGiveNone) {
    EXPECT_EQ(SortKeyDisplayName(TSortKeyTable::Sort, skNone), "Unsorted");
    EXPECT_EQ(SortKeyDisplayName(TSortKeyTable::Collocation, skNone), "None");
    EXPECT_EQ(SortKeyDisplayName(TSortKeyTable::Collocation, skDefined), "");
    EXPECT_EQ(SortKeyDisplayName(TSortKeyTable::Collocation, skOriginalOrder), "");
    EXPECT_EQ(SortKeyDisplayName(TSortKeyTable::Sort, 13), "");
    EXPECT_EQ(SortKeyIndex(TSortKeyTable::Collocation, skTrackedTag), -1);
    EXPECT_EQ(SortKeyIndex(TSortKeyTable::Sort, 200), -1);

    // Exact, case-sensitive display names; tokens are not display names.
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, "Search term"), skSearchTerm);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, "search term"), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, "4l"), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, "4L "), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, ""), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Sort, "None"), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Collocation, "Tracked tag"), skNone);
    EXPECT_EQ(SortKeyFromDisplayName(TSortKeyTable::Collocation, "3R"), sk3R);

    EXPECT_THROW(SortKeyCode(TSortKeyTable::Collocation, 10), std::out_of_range);
    EXPECT_THROW(SortKeyCode(TSortKeyTable::Sort, -1), std::out_of_range);
}

TEST(SortColOptions, NewRecordIsZeroAndInitSetsEveryKeyToNone) {
    TAdvancedSortColOptions Options;
    for (const auto& Key : Options.Keys) {
        EXPECT_EQ(Key.Key, skSearchTerm);
        EXPECT_FALSE(Key.Reverse);
    }
    Options.Keys[1] = {sk2R, true};
    Options.Customised = true;
    Options.CustomisedText = "4l-1l";
    Options.TrackedTag = "speaker";
    Options.ShowFirst = 50;
    Options.Span = true;
    Options.SpanLength = 3;
    InitSortColOptions(Options);
    for (const auto& Key : Options.Keys) {
        EXPECT_EQ(Key.Key, skNone);
        EXPECT_FALSE(Key.Reverse);
    }
    EXPECT_FALSE(Options.Customised);
    EXPECT_EQ(Options.CustomisedText, "");
    EXPECT_EQ(Options.TrackedTag, "");
    EXPECT_EQ(Options.ShowFirst, 0);
    EXPECT_FALSE(Options.Span);
    EXPECT_EQ(Options.SpanLength, 0);
}
