#include <gtest/gtest.h>

#include "alignment/ConcAlignChoose.h"
#include "alignment/alignDelSegsSettings.h"
#include "alignment/alignSegStartStopSettings.h"
#include "alignment/concAlignErrorDialog.h"
#include "alignment/concAlignMarkersConfig.h"
#include "engine/ConcConfig.h"

namespace {

class AlignDialogRules : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        InitConfigUnit();
    }
    void TearDown() override { ResetGlobalsForTest(); }

    void AddLanguages(int Count) {
        const char* Names[] = {"English (United States)", "German (Germany)", "French (France)", "Czech"};
        for (int k = 0; k < Count; ++k) {
            if (!LanguageConfigs[k]) LanguageConfigs[k] = std::make_unique<TConcordConfig>(k);
            LanguageConfigs[k]->LanguageName = Names[k];
        }
        LanguagesCount = Count;
    }
    // Gives file File of Language the three segment indexes, or only the first Have of them.
    void GiveIndexes(int Language, int File, int Have = 3) {
        TConcordConfig& C = *LanguageConfigs[Language];
        for (TAlignIndexes* Slots : {&C.SectionIndexes, &C.ParagraphIndexes, &C.SentenceIndexes}) {
            while (Slots->Count() <= File) Slots->Add(nullptr);
            if (Have-- > 0) Slots->SetItem(File, std::make_unique<TAlignIndex>());
        }
    }
};

}  // namespace

TEST_F(AlignDialogRules, MarkersAreTrimmedAndBlankRowsDropped) {
    AddLanguages(1);
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
    AddLanguages(4);
    GiveIndexes(0, 1);
    GiveIndexes(1, 1);
    GiveIndexes(2, 1, 2);  // no sentences
    GiveIndexes(3, 1);
    const std::vector<TAlignmentPairRow> Rows = AlignmentPairRows(1);
    ASSERT_EQ(Rows.size(), 2u);
    EXPECT_EQ(Rows[0].Text, "English (United States) <-> German (Germany)");
    EXPECT_EQ(Rows[0].Language, 1);
    EXPECT_EQ(Rows[1].Text, "English (United States) <-> Czech");
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
