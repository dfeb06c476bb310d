#include "engine/ConcUtils.h"

#include <gtest/gtest.h>

#include "ui/ConcProgress.h"
#include "ui/Msg.h"
#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcIndex.h"
#include "engine/ConcPrefs.h"
#include "tests/support/TestSupport.h"

namespace {

class ConcUtilsTest : public testing::Test {
protected:
    void SetUp() override { InitConfigUnit(); }
    void TearDown() override {
        while (WaitCount > 0) EndWait();
        SetFontDialog(nullptr);
        ResetGlobalsForTest();
    }
};

std::vector<bool> CursorChanges(const TRecordingMessenger& Rec) {
    std::vector<bool> changes;
    for (const auto& e : Rec.Entries)
        if (e.Kind == TRecordingMessenger::rkCursor) changes.push_back(e.Waiting);
    return changes;
}

}  // namespace

TEST(AppMessages, TheRecorderKeepsOrderAnswersSendsAndRestoresThePreviousMessenger) {
    TRecordingMessenger outer;
    {
        TRecordingMessenger rec;
        rec.OnSend = [](int Msg, intptr_t W, intptr_t L) { return Msg == CM_GETCLIENTSIZE ? 42 : W + L; };
        BroadcastToChildren(CM_FREQSETTINGSCHANGED, 1, 1);
        EXPECT_EQ(SendToMainForm(CM_FREQSETTINGSCHANGED, 1, 1), 2);
        PostStatusText("Scanning");
        EXPECT_EQ(SendToMainForm(CM_GETCLIENTSIZE, 0, 0), 42);
        EXPECT_EQ(rec.Messages(),
                  (std::vector<int>{CM_FREQSETTINGSCHANGED, CM_FREQSETTINGSCHANGED, CM_GETCLIENTSIZE}));
        ASSERT_EQ(rec.Entries.size(), 4u);
        EXPECT_EQ(rec.Entries[0].Kind, TRecordingMessenger::rkBroadcast);
        EXPECT_EQ(rec.Entries[1].Kind, TRecordingMessenger::rkSend);
        EXPECT_EQ(rec.Entries[2].Kind, TRecordingMessenger::rkPost);
        EXPECT_EQ(rec.Entries[2].Text, "Scanning");
    }
    EXPECT_EQ(GetAppMessenger(), &outer);
    EXPECT_EQ(GetWaitCursor(), &outer);
    EXPECT_TRUE(outer.Entries.empty());
}

TEST_F(ConcUtilsTest, WaitCursorNestsAndTouchesTheCursorOnlyAtTheOutermostPair) {
    TRecordingMessenger rec;
    BeginWait();
    BeginWait();
    BeginWait();
    EndWait();
    EndWait();
    EXPECT_EQ(WaitCount, 1);
    EXPECT_EQ(CursorChanges(rec), (std::vector<bool>{true}));
    EndWait();
    EXPECT_EQ(WaitCount, 0);
    EndWait();  // one too many: the count stays at 0 and the cursor is not restored twice
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(CursorChanges(rec), (std::vector<bool>{true, false}));
    BeginWait();
    EXPECT_EQ(CursorChanges(rec), (std::vector<bool>{true, false, true}));
}

TEST_F(ConcUtilsTest, WaitScopeEndsTheWaitWhenAnExceptionPasses) {
    TRecordingMessenger rec;
    try {
        TWaitScope wait;
        EXPECT_TRUE(LongOperationRunning());
        throw std::runtime_error("failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(CursorChanges(rec), (std::vector<bool>{true, false}));
}

TEST_F(ConcUtilsTest, BusyAndLongOperationStates) {
    EXPECT_FALSE(IsBusy());
    EXPECT_FALSE(LongOperationRunning());
    PrintingWordList = true;
    EXPECT_TRUE(IsBusy());
    PrintingWordList = false;
    SavingWordList = true;
    EXPECT_TRUE(IsBusy());
    SavingWordList = false;
    {
        TScriptedBackend script;
        auto form = ShowProgressForm(0, "Processing", "file", 10, 0, "");
        EXPECT_TRUE(LongOperationRunning());
        EXPECT_FALSE(IsBusy());
    }
    EXPECT_FALSE(LongOperationRunning());
}

TEST(FormatCount, GroupsDigitsAndAppendsTheWordWithItsPlural) {
    EXPECT_EQ(FormatCount(1234567, true, "."), "1.234.567 words");
    EXPECT_EQ(FormatCount(1, true, ","), "1 word");
    EXPECT_EQ(FormatCount(0, true, ","), "0 words");
    EXPECT_EQ(FormatCount(999, false, ","), "999");
    EXPECT_EQ(FormatCount(1000, false, ","), "1,000");
    EXPECT_EQ(FormatCount(100000, false, "\xC2\xA0"),
              "100\xC2\xA0"
              "000");
    EXPECT_EQ(FormatCount(-1234, true, ","), "-1,234 words");
    EXPECT_EQ(FormatCount(-1, true, ","), "-1 word");
    EXPECT_EQ(FormatCount(INT64_MIN, false, ""), "-9223372036854775808");
    SetThousandSeparator("'");
    EXPECT_EQ(FormatCount(12345, true), "12'345 words");
    SetThousandSeparator(",");
}

TEST_F(ConcUtilsTest, RecentWorkspacesNeedOneEntryOrTwoWhileAWorkspaceIsLoaded) {
    EXPECT_FALSE(RecentWorkspacesAvailable());
    RecentWorkspaces = {"/a.tws"};
    EXPECT_TRUE(RecentWorkspacesAvailable());
    WorkspaceLoaded = true;
    EXPECT_FALSE(RecentWorkspacesAvailable());
    RecentWorkspaces.push_back("/b.tws");
    EXPECT_TRUE(RecentWorkspacesAvailable());
}

TEST(DialogHelpers, ComboHistoryTrimsAndExchangesWithTheTopEntry) {
    std::vector<std::string> items = {"x", "y", "z"};
    std::string text = " z ";
    EXPECT_EQ(AddToHistory(items, text), 0);
    EXPECT_EQ(text, "z");
    EXPECT_EQ(items, (std::vector<std::string>{"z", "y", "x"}));

    text = "new";
    EXPECT_EQ(AddToHistory(items, text), 0);
    EXPECT_EQ(items, (std::vector<std::string>{"new", "z", "y", "x"}));

    text = "new";  // already on top: nothing moves
    AddToHistory(items, text);
    EXPECT_EQ(items, (std::vector<std::string>{"new", "z", "y", "x"}));

    text = "Z";  // the comparison is exact
    AddToHistory(items, text);
    EXPECT_EQ(items, (std::vector<std::string>{"Z", "new", "z", "y", "x"}));

    std::vector<std::string> empty;
    text = "first";
    AddToHistory(empty, text);
    EXPECT_EQ(empty, (std::vector<std::string>{"first"}));
}

TEST(DialogHelpers, AnEmptyComboTextSelectsNothingAndLeavesTheHistory) {
    std::vector<std::string> items = {"x", "y"};
    std::string text = "   ";
    EXPECT_EQ(AddToHistory(items, text), -1);
    EXPECT_EQ(text, "");
    EXPECT_EQ(items, (std::vector<std::string>{"x", "y"}));
}

TEST(DialogHelpers, ClampComparesUnsignedAndFallsBackToTheDefault) {
    EXPECT_EQ(ClampedEditValue("250", 5, 1, 100), 100);
    EXPECT_EQ(ClampedEditValue("abc", 5, 1, 100), 5);
    EXPECT_EQ(ClampedEditValue("-5", 5, 1, 100), 100);
    EXPECT_EQ(ClampedEditValue("  42 ", 5, 1, 100), 42);
    EXPECT_EQ(ClampedEditValue("0", 5, 1, 100), 1);
    EXPECT_EQ(ClampedEditValue("", 500, 1, 100), 100);  // the default is clamped too
    EXPECT_EQ(ClampedEditValue("4 2", 5, 1, 100), 5);
    EXPECT_EQ(ClampedEditValue("99999999999", 7, 1, 2147483647), 7);
    EXPECT_EQ(ClampedEditValue("2147483647", 7, 1, 2147483647), 2147483647);
    EXPECT_EQ(ClampedEditValue("+12", 7, 1, 100), 12);
}

TEST(DialogHelpers, NumericKeysPassDigitsSeparatorsBlanksAndControls) {
    EXPECT_EQ(FilterNumericKey(U'7', false, U'.'), U'7');
    EXPECT_EQ(FilterNumericKey(U'a', false, U'.'), 0u);
    EXPECT_EQ(FilterNumericKey(U'.', false, U'.'), 0u);
    EXPECT_EQ(FilterNumericKey(U'.', true, U'.'), U'.');
    EXPECT_EQ(FilterNumericKey(U',', true, U'.'), 0u);
    EXPECT_EQ(FilterNumericKey(U',', true, U','), U',');
    EXPECT_EQ(FilterNumericKey(U' ', false, U'.'), U' ');
    EXPECT_EQ(FilterNumericKey(8, false, U'.'), 8u);          // backspace
    EXPECT_EQ(FilterNumericKey(U'\u0663', false, U'.'), 0u);  // a digit of another script
}

TEST(DialogHelpers, BlankTextAndCentring) {
    EXPECT_TRUE(IsBlankText(""));
    EXPECT_TRUE(IsBlankText(" \t\r\n "));
    EXPECT_FALSE(IsBlankText(" a "));
    EXPECT_FALSE(IsBlankText("\xC3\xA9"));
    EXPECT_EQ(CenteredTop(10, 21, 13), 13);
    EXPECT_EQ(CenteredTop(10, 13, 21), 5);  // integer division truncates towards zero
}

TEST_F(ConcUtilsTest, ApplyChangesAsksYesNoCancelWithYesFocused) {
    TScriptedBackend script;
    script.Answers = {mrNo};
    EXPECT_EQ(ConfirmApplyChanges(), mrNo);
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].Text, "You have made changes. Apply them now?");
    EXPECT_EQ(script.Messages[0].Buttons, MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel));
    EXPECT_EQ(script.Messages[0].FocusButton, mbYes);
}

TEST_F(ConcUtilsTest, ChooseConfigFontStoresTheChoiceAndTellsTheChildren) {
    TRecordingMessenger rec;
    TFontSpec seen;
    SetFontDialog([&](TFontSpec& Font) {
        seen = Font;
        return false;
    });
    LanguageConfigs[0]->Fonts[HiliteFont].Name = "Serif";
    const TFontSpec before = LanguageConfigs[0]->Fonts[HiliteFont];
    EXPECT_FALSE(ChooseConfigFont(HiliteFont, 0));
    EXPECT_EQ(seen, before);
    EXPECT_FALSE(FontsDiffer(LanguageConfigs[0]->Fonts[HiliteFont], before));
    EXPECT_TRUE(rec.Entries.empty());

    SetFontDialog([](TFontSpec& Font) {
        Font.Size = 14;
        Font.Color = clRed;
        return true;
    });
    EXPECT_TRUE(ChooseConfigFont(HiliteFont, 0));
    EXPECT_EQ(LanguageConfigs[0]->Fonts[HiliteFont].Size, 14);
    EXPECT_EQ(LanguageConfigs[0]->Fonts[HiliteFont].Name, "Serif");
    EXPECT_TRUE(FontsDiffer(LanguageConfigs[0]->Fonts[HiliteFont], before));
    ASSERT_EQ(rec.Entries.size(), 1u);
    EXPECT_EQ(rec.Entries[0].Kind, TRecordingMessenger::rkBroadcast);
    EXPECT_EQ(rec.Entries[0].Msg, CM_FONTCHANGED);
    EXPECT_EQ(rec.Entries[0].WParam, 0);
    EXPECT_EQ(rec.Entries[0].LParam, HiliteFont);

    EXPECT_FALSE(ChooseConfigFont(ConfigFontCount, 0));
    EXPECT_FALSE(ChooseConfigFont(0, 1));  // language 1 does not exist
    EXPECT_EQ(rec.Entries.size(), 1u);
}

TEST_F(ConcUtilsTest, SegmentIndexesNeedAllThreeLevelsInBothLanguages) {
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguagesCount = 2;
    for (int lang = 0; lang < 2; ++lang) {
        TConcordConfig& c = *LanguageConfigs[lang];
        for (TAlignIndexes* level : {&c.SectionIndexes, &c.ParagraphIndexes, &c.SentenceIndexes}) {
            level->Add(std::make_unique<TAlignIndex>());
            level->Add(std::make_unique<TAlignIndex>());
        }
    }
    EXPECT_TRUE(HasSegmentIndexes(0, 1, 0));
    EXPECT_TRUE(HasSegmentIndexes(1, 0, 1));
    LanguageConfigs[1]->ParagraphIndexes.SetItem(1, nullptr);  // dropped for file 1 only
    EXPECT_FALSE(HasSegmentIndexes(0, 1, 1));
    EXPECT_TRUE(HasSegmentIndexes(0, 1, 0));
    EXPECT_FALSE(HasSegmentIndexes(0, 1, 2));  // beyond the lists
    EXPECT_FALSE(HasSegmentIndexes(0, 2, 0));  // no such language
    EXPECT_FALSE(HasSegmentIndexes(0, 1, -1));
}

TEST_F(ConcUtilsTest, CorpusAlignedNeedsAPairForEveryFileAndNoOutputRunning) {
    EXPECT_TRUE(CorpusAligned());  // no file at all
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguagesCount = 2;
    for (int lang = 0; lang < 2; ++lang)
        for (int file = 0; file < 2; ++file)
            LanguageConfigs[lang]->Files.push_back({"f" + std::to_string(file), {}});
    EXPECT_FALSE(CorpusAligned());
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    Align12->Add(std::make_unique<TDoubleAlignIndex>());
    Align12->Add(nullptr);
    EXPECT_FALSE(CorpusAligned());  // file 1 has no pair yet
    Align12->SetItem(1, std::make_unique<TDoubleAlignIndex>());
    EXPECT_TRUE(CorpusAligned());
    SavingWordList = true;
    EXPECT_FALSE(CorpusAligned());
}

TEST_F(ConcUtilsTest, RecentWorkspacesExchangeWithTheTopKeepTenAndAreSaved) {
    RecentWorkspaces = {"/w/A.tws", "/w/B.tws", "/w/C.tws"};
    WorkspaceFileName = "/w/c.TWS";  // found without regard to case: exchanged, not moved down
    UpdateRecentWorkspaces();
    EXPECT_EQ(RecentWorkspaces, (std::vector<std::string>{"/w/C.tws", "/w/B.tws", "/w/A.tws"}));

    RecentWorkspaces = {"/w/A.tws", "/w/B.tws", "/w/C.tws"};
    WorkspaceFileName = "/w/D.tws";
    UpdateRecentWorkspaces();
    EXPECT_EQ(RecentWorkspaces, (std::vector<std::string>{"/w/D.tws", "/w/A.tws", "/w/B.tws", "/w/C.tws"}));

    RecentWorkspaces = {"/w/\xC3\x89t\xC3\xA9.tws"};  // Été
    WorkspaceFileName = "/w/\xC3\xA9T\xC3\x89.TWS";   // éTÉ
    UpdateRecentWorkspaces();
    EXPECT_EQ(RecentWorkspaces.size(), 1u);

    RecentWorkspaces.clear();
    for (int i = 0; i < 10; ++i) RecentWorkspaces.push_back("/w/" + std::to_string(i) + ".tws");
    WorkspaceFileName = "/w/new.tws";
    UpdateRecentWorkspaces();
    ASSERT_EQ(RecentWorkspaces.size(), 10u);
    EXPECT_EQ(RecentWorkspaces.front(), "/w/new.tws");
    EXPECT_EQ(RecentWorkspaces.back(), "/w/8.tws");

    const std::string ini = ReadWholeFile(GetIniFileName());
    EXPECT_NE(ini.find("RecentWorkspacesCount=10"), std::string::npos);
    EXPECT_NE(ini.find("/w/new.tws"), std::string::npos);
}
