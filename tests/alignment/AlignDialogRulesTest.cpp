#include <gtest/gtest.h>

#include "alignment/ConcAlignChoose.h"
#include "alignment/alignDelSegsSettings.h"
#include "alignment/alignSegStartStopSettings.h"
#include "alignment/concAlignErrorDialog.h"
#include "alignment/concAlignMarkersConfig.h"
#include "engine/ConcConfig.h"
#include "tests/alignment/AlignTestSupport.h"
#include "tests/support/ConfigTestSupport.h"

namespace {

using AlignDialogRules = TFreshConfigTest;

}  // namespace

TEST_F(AlignDialogRules, MarkersAreTrimmedAndBlankRowsDropped) {
    MakeLanguages(1);
    TConcordConfig& C = *LanguageConfigs[0];
    C.Markers = {"old"};
    StoreAlignMarkers(C, true, {"  <p> ", "", "   ", "\t", "a b", "\tx\r\n"});
    EXPECT_TRUE(C.HiliteNumbers);
    EXPECT_EQ(C.Markers, (std::vector<std::string>{"<p>", "a b", "x"}));
    StoreAlignMarkers(C, false, {});
    EXPECT_FALSE(C.HiliteNumbers);
    EXPECT_TRUE(C.Markers.empty());
}

TEST_F(AlignDialogRules, SegmentSettingsNeedAStartAndStoreTrimmedTexts) {
    EXPECT_FALSE(SegSettingsAcceptable(""));
    EXPECT_FALSE(SegSettingsAcceptable("   "));
    EXPECT_FALSE(SegSettingsAcceptable(" \t\r\n"));
    EXPECT_TRUE(SegSettingsAcceptable(" seg "));
    EXPECT_TRUE(SegSettingsRefusesChar(U'\t'));
    EXPECT_TRUE(SegSettingsRefusesChar(U' '));
    EXPECT_FALSE(SegSettingsRefusesChar(U'<'));
    StoreDelimiterSetting("  <br> ");
    EXPECT_EQ(CommonConfig->AlignDelimiter, "<br>");
    StoreStartStopSettings(" seg", "/seg ", "  ");
    EXPECT_EQ(CommonConfig->AlignStart, "seg");
    EXPECT_EQ(CommonConfig->AlignStop, "/seg");
    EXPECT_EQ(CommonConfig->AlignAttrib, "");
}

TEST_F(AlignDialogRules, ChooserListsOnlyPairsWithAllIndexesOnBothSides) {
    MakeLanguages(4);
    GiveSegmentIndexes(0, 1);
    GiveSegmentIndexes(1, 1);
    GiveSegmentIndexes(2, 1, 2);  // no sentences
    GiveSegmentIndexes(3, 1);
    const std::vector<TAlignmentPairRow> Rows = AlignmentPairRows(1);
    ASSERT_EQ(Rows.size(), 2u);
    EXPECT_EQ(Rows[0].Text, "English <-> German");
    EXPECT_EQ(Rows[0].Language, 1);
    EXPECT_EQ(Rows[1].Text, "English <-> Czech");
    EXPECT_EQ(Rows[1].Language, 3);
    EXPECT_TRUE(AlignmentPairRows(0).empty());
    EXPECT_TRUE(AlignmentPairRows(7).empty());
    // Languages 1 and 2 alone holding the file's indexes still give no row: pairs are with language 0.
    LanguageConfigs[0]->SentenceIndexes.SetItem(1, nullptr);
    EXPECT_TRUE(AlignmentPairRows(1).empty());
}

TEST(AlignErrorButtons, WidenedOnlyWhenTheLongerCaptionDoesNotFit) {
    TAlignErrorButtons B = LayoutAlignErrorButtons(20, 67, 75, 196, 277, 352);
    EXPECT_EQ(B.Width, 75);
    EXPECT_EQ(B.Button1Left, 196);
    EXPECT_EQ(B.Button2Left, 277);
    B = LayoutAlignErrorButtons(20, 68, 75, 196, 277, 352);
    EXPECT_EQ(B.Width, 76);
    EXPECT_EQ(B.Button2Left + B.Width, 352);
    EXPECT_EQ(B.Button1Left + B.Width + 4, B.Button2Left);
    B = LayoutAlignErrorButtons(100, 20, 75, 196, 277, 352);
    EXPECT_EQ(B.Width, 108);
    EXPECT_EQ(B.Button2Left, 244);
    EXPECT_EQ(B.Button1Left, 132);
}
