#include <gtest/gtest.h>

#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"
#include "controls/ScriptedBackend.h"

TEST(MsgRules, DefaultAndCancelButtonsFollowTheirPriorities) {
    const TMsgDlgButtons yesNoCancel = MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel);
    EXPECT_EQ(DefaultButtonOf(yesNoCancel), mbYes);
    EXPECT_EQ(CancelButtonOf(yesNoCancel), mbCancel);
    EXPECT_EQ(CancelButtonOf(MsgButton(mbYes) | MsgButton(mbNo)), mbNo);
    EXPECT_EQ(CancelButtonOf(MsgButton(mbOK)), mbOK);
    EXPECT_EQ(CancelButtonOf(MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore)), mbAbort);
    EXPECT_EQ(DefaultButtonOf(MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore)), mbRetry);
    EXPECT_EQ(DefaultButtonOf(MsgButton(mbOK) | MsgButton(mbYes)), mbOK);
}

TEST(MsgRules, WrappersChooseTypeButtonsAndFocus) {
    TScriptedBackend script;
    EXPECT_FALSE(ConfirmYesNo("Delete?", false));  // unanswered: the focused No
    EXPECT_TRUE(WarningYesNo("Go on?", true));
    script.Answers = {mrCancel};
    EXPECT_EQ(ConfirmYesNoCancel("Apply?", true), mrCancel);
    EXPECT_EQ(ShowError("Bad"), mrOk);
    ASSERT_EQ(script.Messages.size(), 4u);
    EXPECT_EQ(script.Messages[0].Type, mtConfirmation);
    EXPECT_EQ(script.Messages[0].FocusButton, mbNo);
    EXPECT_EQ(script.Messages[1].Type, mtWarning);
    EXPECT_EQ(script.Messages[2].Buttons, MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel));
    EXPECT_EQ(script.Messages[3].Type, mtError);
    EXPECT_EQ(script.Messages[3].X, -1);
}

TEST(MsgRules, FocusOutsideTheSetFallsBackToTheDefaultButton) {
    TMessageRequest request;
    request.Buttons = MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore);
    request.FocusButton = mbOK;
    EXPECT_EQ(FocusedResult(request), mrRetry);
    request.Buttons = 0;
    EXPECT_EQ(FocusedResult(request), mrNone);
}

TEST(MsgRules, HeadlessBackendLogsEveryTypeAndAnswersWithTheFocus) {
    SetMessageBackend(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowError("Disk full."), mrOk);
    EXPECT_EQ(MsgDlg("Odd type.", static_cast<TMsgDlgType>(7), MsgButton(mbYes) | MsgButton(mbNo), 0, mbNo),
              mrNo);
    EXPECT_EQ(MsgDlg("Past the table.", static_cast<TMsgDlgType>(5), MsgButton(mbOK), 0, mbOK), mrOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[Error] Disk full.\n[Message] Odd type.\n[Message] Past the table.\n");
}

TEST(ProgressForms, SetupChoosesButtonsByModeAndRegistersTheLiveForm) {
    TScriptedBackend script;
    {
        auto form = ShowProgressForm(1, "Processing", "File 1", 10, 0, "x");
        EXPECT_EQ(ProgressForm, form.get());
        EXPECT_TRUE(form->Cancel1Visible());
        EXPECT_TRUE(form->CancelAllVisible());
        EXPECT_FALSE(form->CancelVisible());
        EXPECT_FALSE(form->Visible());
        form->Setup(2, "c", "t", 5, 0, "");
        EXPECT_FALSE(form->CanClose());
        EXPECT_FALSE(form->CancelVisible());
        form->Setup(4, "c", "t", 5, 0, "");
        EXPECT_TRUE(form->CancelVisible());
        form->CancelAllClicked();
        EXPECT_EQ(form->Tag, 2);
    }
    EXPECT_EQ(ProgressForm, nullptr);
}

TEST(ProgressForms, AnOlderFormDyingLeavesTheNewerOneLive) {
    auto older = ShowProgressForm(0, "a", "a", 1, 0, "");
    auto newer = ShowProgressForm(0, "b", "b", 1, 0, "");
    older.reset();
    EXPECT_EQ(ProgressForm, newer.get());
}

TEST(ProgressForms, StaysHiddenWhileTheApplicationIsMinimised) {
    TScriptedBackend script;
    script.Minimized = true;
    auto form = ShowProgressForm(0, "a", "a", 1, 0, "");
    ShowUnlessMinimized(form.get());
    EXPECT_FALSE(form->Visible());
    script.Minimized = false;
    ShowUnlessMinimized(form.get());
    EXPECT_TRUE(form->Visible());
}

TEST(ProgressForms, DetailsHeightCountsOnlyVisiblePanels) {
    TDoubleProgressForm form;
    EXPECT_EQ(form.ClientHeight(), 151);
    form.ToggleDetails();
    EXPECT_STREQ(form.DetailsCaption(), "No details <<");
    EXPECT_EQ(form.ClientHeight(), 151 + 20);
    form.SetPanelVisible(dpPadding, true);
    form.SetPanelVisible(dpHeading, true);
    EXPECT_EQ(form.ClientHeight(), 151 + 20 + 20 + 54);
    form.ToggleDetails();
    EXPECT_EQ(form.ClientHeight(), 151);
}
