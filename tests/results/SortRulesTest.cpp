#include "results/ConcSortRules.h"

#include <gtest/gtest.h>

namespace {

constexpr auto Sort = TSortKeyTable::Sort;
constexpr auto Colloc = TSortKeyTable::Collocation;

struct TParseCase {
    TSortKeyTable Table;
    const char* Text;
    TAdvancedSortColItems Items;  // expected when Message is empty
    const char* Message;          // expected error, "" when the text is valid
    int Position;
};

const char* const Unknown = "Unknown item in Customised Sort.";
const char* const Duplicated = "Duplicated Item in Customised Sort.";
const char* const BadOrder = "Invalid order in Customised Collocation.";

const TParseCase ParseCases[] = {
    // Ranges walk the table in either direction from the item before the "-".
    {Colloc, "4l-1l, 0, 1r", {{sk4L}, {sk3L}, {sk2L}, {sk1L}, {skSearchTerm}, {sk1R}}, "", 0},
    {Sort, "1lr-3l", {{sk1L, true}, {sk2L, true}, {sk3L, true}}, "", 0},
    {Sort, "4lr-2l, 1l", {{sk4L, true}, {sk3L, true}, {sk2L, true}, {sk1L}}, "", 0},
    // A range continuing from a range end keeps the flag the end was added with.
    {Sort, "1lr-2l-3l", {{sk1L, true}, {sk2L, true}, {sk3L, true}}, "", 0},
    {Sort, " 4L - 4l , def,TAG, orig ", {{sk4L}, {skDefined}, {skTrackedTag}, {skOriginalOrder}}, "", 0},
    // The reverse suffix: "0r", three characters otherwise; "1r" is a token of its own.
    {Sort, "0r", {{skSearchTerm, true}}, "", 0},
    {Sort, "1r, 2rr", {{sk1R}, {sk2R, true}}, "", 0},
    {Sort, "orig", {{skOriginalOrder}}, "", 0},
    {Sort, "defr", {}, Unknown, 0},
    {Sort, "01r", {}, Unknown, 0},
    {Colloc, "1lr", {}, "Unknown item in Customised Collocation.", 0},
    {Colloc, "def", {}, "Unknown item in Customised Collocation.", 0},
    // Empty items, wherever they are, are unknown; the position skips leading blanks.
    {Sort, "4l,,1r", {}, Unknown, 3},
    {Sort, "4l, ,1r", {}, Unknown, 4},
    {Sort, "  -1l", {}, Unknown, 2},
    {Sort, "4l,", {}, Unknown, 3},
    {Sort, "4l--1l", {}, Unknown, 3},
    {Sort, "4l, 5l", {}, Unknown, 4},
    // Duplicates, also those a range runs into, stop at the item being read.
    {Sort, "4l, 4l", {}, Duplicated, 4},
    {Sort, "4l-1l-2l", {}, Duplicated, 6},
    {Sort, "4lr, 4l", {}, Duplicated, 5},
    // Collocation columns go left to right.
    {Colloc, "1r, 0", {}, BadOrder, 4},
    {Colloc, "1l-4l", {}, BadOrder, 3},
    {Colloc, "4l-4l, 3l", {{sk4L}, {sk3L}}, "", 0},
    {Colloc, "0, 0", {}, "Duplicated Item in Customised Collocation.", 3},
    {Sort, "1r, 0", {{sk1R}, {skSearchTerm}}, "", 0},
};

TEST(SortRulesTest, CustomisedOrderStrings) {
    for (const TParseCase& C : ParseCases) {
        SCOPED_TRACE(C.Text);
        TAdvancedSortColItems Items{{sk4R}};
        TSortOrderError Error;
        const bool Valid = ParseCustomisedOrder(C.Table, C.Text, Items, Error);
        EXPECT_EQ(Valid, *C.Message == 0);
        EXPECT_EQ(Error.Message, C.Message);
        if (Valid) {
            EXPECT_EQ(Items, C.Items);
        } else {
            EXPECT_EQ(Error.Position, C.Position);
        }
    }
    TAdvancedSortColItems Items{{sk4R}};
    TSortOrderError Error;
    EXPECT_FALSE(ParseCustomisedOrder(Sort, "", Items, Error));
    EXPECT_TRUE(Error.Message.empty());  // an empty order is refused silently
    EXPECT_TRUE(Items.empty());
}

struct TKeysCase {
    TSortKeyTable Table;
    TSortKeyBoxes Keys;
    bool Span, SpanChosen;
    TAdvancedSortColItems Items;
    const char* Message;
};

const TKeysCase KeysCases[] = {
    // The sort keeps the boxes' reverse flags where they apply; unused keys are left out.
    {Sort,
     {{{sk1L, true}, {skSearchTerm, true}, {skNone, true}}},
     false,
     false,
     {{sk1L, true}, {skSearchTerm, true}},
     ""},
    {Sort,
     {{{skOriginalOrder, true}, {skNone}, {skTrackedTag, true}}},
     false,
     false,
     {{skOriginalOrder}, {skTrackedTag}},
     ""},
    // No key: OK would do nothing, so it says why; a span needs none.
    {Sort, {{{skNone}, {skNone}, {skNone}}}, false, false, {}, "Please select a sort item."},
    {Colloc, {{{skNone}, {skNone}, {skNone}}}, false, false, {}, "Please select a collocation item."},
    {Colloc, {{{skNone}, {skNone}, {skNone}}}, true, true, {}, ""},
    {Sort, {{{sk1L}, {sk1L, true}, {skNone}}}, false, false, {}, "Duplicated sort item."},
    {Sort, {{{sk1L}, {skNone}, {sk1L}}}, false, false, {}, "Duplicated sort item."},
    // Sort keys may come in any order.
    {Sort, {{{sk1R}, {sk4L}, {skSearchTerm}}}, false, false, {{sk1R}, {sk4L}, {skSearchTerm}}, ""},
    // Collocation columns: never reversed, left to right, an unused key in the middle skipped.
    {Colloc, {{{sk4L, true}, {skNone}, {sk1L, true}}}, false, false, {{sk4L}, {sk1L}}, ""},
    {Colloc, {{{sk1L}, {skNone}, {sk4L}}}, false, false, {}, "Invalid order in Customised Collocation."},
    {Colloc,
     {{{sk1R}, {skSearchTerm}, {skNone}}},
     false,
     false,
     {},
     "Invalid order in Customised Collocation."},
    {Colloc, {{{skNone}, {sk2R}, {sk2R}}}, false, false, {}, "Duplicated collocation item."},
    {Colloc, {{{sk2R}, {sk2R}, {skNone}}}, true, false, {}, "Please select the span number."},
    {Colloc, {{{sk4L}, {skNone}, {skNone}}}, true, true, {{sk4L}}, ""},
};

TEST(SortRulesTest, KeyChecks) {
    for (const TKeysCase& C : KeysCases) {
        SCOPED_TRACE(testing::Message()
                     << int(C.Keys[0].Key) << " " << int(C.Keys[1].Key) << " " << int(C.Keys[2].Key));
        TAdvancedSortColItems Items{{sk4R}};
        TSortOrderError Error;
        EXPECT_EQ(CheckSortKeys(C.Table, C.Keys, C.Span, C.SpanChosen, Items, Error), *C.Message == 0);
        EXPECT_EQ(Error.Message, C.Message);
        EXPECT_EQ(Items, C.Items);
    }
}

TEST(SortRulesTest, TrackedTagAndSpan) {
    EXPECT_TRUE(TrackedTagMissing({{sk1L}, {skTrackedTag}}, false));
    EXPECT_FALSE(TrackedTagMissing({{sk1L}, {skTrackedTag}}, true));
    EXPECT_FALSE(TrackedTagMissing({{sk1L}, {skDefined}}, false));
    EXPECT_EQ(ShownSpanLength(0), 2);
    EXPECT_EQ(ShownSpanLength(4), 4);
    EXPECT_EQ(ShownSpanLength(9), 5);
    for (uint8_t Code = 0; Code <= skTrackedTag; ++Code) EXPECT_EQ(SortKeyReversible(Code), Code <= sk4R);
}

}  // namespace
