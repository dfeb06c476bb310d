// Alignment corrections made by hand on a corpus that no workspace holds exist nowhere else: Exit,
// Unload Corpus, Load Corpus File(s) and Open Workspace ask before they are lost, and Yes saves them with
// Save Workspace As. All through the shown main window, its keys and menu commands, with the correction
// made in the Alignment View opened from "View Corpus Alignment".
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "alignment/ConcAlignView.h"
#include "alignment/ConcParaAligners.h"
#include "controls/zynWideList.h"
#include "engine/UTF8_to_ASCII.h"
#include "shell/ConcMain.h"
#include "shell/ConcParallelFiles.h"
#include "shell/ConcWorkspace.h"
#include "shell/WorkspaceChanges.h"
#include "tests/shell/WorkspaceTestSupport.h"
#include "tests/shell/gui/MainWindowTestSupport.h"

namespace fs = std::filesystem;

namespace {

class HandCorrectionsTest : public TMainWindowTest {
protected:
    // Two languages of one file each, processed and aligned as the program does it with "Not aligned",
    // in a shown main window; no workspace is open. "Other" is a workspace to open.
    void SetUp() override {
        TMainWindowTest::SetUp();
        CommonConfig->AlignFormat = 0;
        ASSERT_NO_FATAL_FAILURE(AlignThreeLinePair());
        fs::create_directories(Dir.Path() / "ws");
        Other = Dir.File("ws/Other.TWS");
        Mine = Dir.File("ws/Mine.TWS");
        ASSERT_TRUE(SaveWorkspace(Other));
        ASSERT_TRUE(WorkspaceFileName.empty());
        Loaded = CorpusSnapshot();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        QApplication::processEvents();  // the first activation
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    }

    // "View Corpus Alignment" (Ctrl+V), the first row chosen with the mouse and "Alignment" clicked: the
    // Alignment View of the pair, in its aligned sentences.
    void OpenAlignmentView() {
        WhenModal<TParaFilesForm>([](TParaFilesForm* Files) {
            TzynWideListBox* List = Files->Lists[0];
            QTest::mouseClick(List->viewport(), Qt::LeftButton, {},
                              List->visualItemRect(List->item(0)).center());
            QTest::mouseClick(Files->AlignmentButton, Qt::LeftButton);
        });
        Key(Qt::Key_V);
        ASSERT_NE(AlignViewForm(), nullptr);
        ASSERT_EQ(AlignViewForm()->ViewMode(), 1);
    }

    // In the Alignment View, the first source segment merged with the next through the pane's popup, at
    // the point clicked in the first row.
    void MergeFirstPair() {
        OpenAlignmentView();
        if (HasFatalFailure()) return;
        TAlignBox* Box = AlignViewForm()->Box();
        QApplication::processEvents();
        Box->viewport()->repaint();
        const QPoint Point(Box->PaneRect(0).left() + 3, Box->RowRect(0).top() + 3);
        QWidget* Top = Form->window();
        const QPoint At = Box->viewport()->mapTo(Top, Point);
        ASSERT_EQ(Top->childAt(At), Box->viewport()) << "something lies over the view at that point";
        QTest::mouseClick(Box->viewport(), Qt::LeftButton, {}, Point);
        QMenu* Menu = AlignViewForm()->PreparePopup(Point);
        QAction* Merge = AlignViewForm()->PopupAction("LargeMergeNextItem");
        ASSERT_TRUE(Menu->actions().contains(Merge));
        ASSERT_TRUE(Merge->isEnabled());
        Merge->trigger();
        Edited = CorpusSnapshot();
        ASSERT_NE(Edited, Loaded);
        Box->setFocus();
    }

    // A key with Ctrl, typed where the focus is, as the user types it.
    void Key(Qt::Key Which) {
        // A modal dialog that closed leaves the window to be activated again, as a window manager does.
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Form->UpdateActions();
        QWidget* Focus = QApplication::focusWidget();
        QTest::keyClick(Focus ? Focus : Form.get(), Which, Qt::ControlModifier);
        QApplication::processEvents();
    }

    std::string Other, Mine, Loaded, Edited;
};

}  // namespace

// Every command that ends the corpus asks once a pair was corrected. Yes opens Save Workspace As: saved,
// the command goes on with the corrections kept in the new workspace; the name dialog cancelled, the
// command stops. No goes on without saving; Cancel stops with the corpus as the user left it.
TEST_F(HandCorrectionsTest, EveryCommandThatEndsTheCorpusAsksAndEachAnswerDoesWhatItSays) {
    enum TCommand { Exit, Unload, Load, Open };
    const int NameCancelled = -1;
    for (const TCommand Command : {Exit, Unload, Load, Open}) {
        for (const int Answer : {int(mrYes), NameCancelled, int(mrNo), int(mrCancel)}) {
            SCOPED_TRACE("command " + std::to_string(Command) + ", answer " + std::to_string(Answer));
            TearDown();
            SetUp();
            fs::remove(Mine);
            fs::remove(WorkspaceBinName(Mine));
            MergeFirstPair();
            Requests.clear();
            Backend.Answers = {Answer == NameCancelled ? mrYes : Answer};
            // Open asks which workspace before anything else.
            if (Command == Open) FileAnswers.push_back(Other);
            if (Answer == mrYes) {
                FileAnswers.push_back(Mine);
                AcceptWorkspaceOptions();
            } else if (Answer == NameCancelled) {
                FileAnswers.push_back("");
            }
            const bool WentOn = Answer == mrYes || Answer == mrNo;
            bool LoadDialogOpened = false;
            if (Command == Load && WentOn)
                WhenModal<TParaLoadForm>([&](TParaLoadForm* Dialog) {
                    LoadDialogOpened = true;
                    Dialog->reject();
                });
            switch (Command) {
                case Exit:
                    Key(Qt::Key_Q);
                    break;
                case Unload:
                    Trigger(Form->UnloadCorpusAction);
                    break;
                case Load:
                    Key(Qt::Key_L);
                    break;
                case Open:
                    Key(Qt::Key_O);
                    break;
            }
            ASSERT_FALSE(Backend.Messages.empty());
            EXPECT_EQ(Backend.Texts().front(), SaveCorrectionsQuestion);
            EXPECT_EQ(Backend.Messages.front().Buttons,
                      MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel));
            EXPECT_EQ(Backend.Messages.size(), 1u) << Backend.Texts().back();
            if (Answer == mrYes || Answer == NameCancelled) {
                ASSERT_EQ(Requests.size(), Command == Open ? 2u : 1u);
                EXPECT_EQ(Requests.back().Title, "Save Workspace As");
                EXPECT_TRUE(Requests.back().Save);
            }
            EXPECT_EQ(fs::exists(Mine), Answer == mrYes);
            switch (Command) {
                case Exit:
                    EXPECT_EQ(Form->isVisible(), !WentOn);
                    break;
                case Unload:
                    EXPECT_EQ(FileCount(), WentOn ? 0u : 1u);
                    break;
                case Load:
                    EXPECT_EQ(LoadDialogOpened, WentOn);
                    break;
                case Open:
                    EXPECT_EQ(WorkspaceFileName, WentOn ? Other : "");
                    break;
            }
            // Whatever was not given up is there as the user left it.
            if (!WentOn || Command == Load) {
                EXPECT_TRUE(CorpusSnapshot() == Edited);
            }
            // The corrections are in the workspace Yes saved.
            if (Answer == mrYes) {
                FreeLanguageConfigs();
                ASSERT_TRUE(LoadWorkspace(Mine));
                EXPECT_TRUE(CorpusSnapshot() == Edited);
            }
        }
    }
}

// Nothing is asked where nothing would be lost: no correction made, a correction taken back with Ctrl+Z,
// a correction saved as a workspace (which then holds it), or a corpus already unloaded.
TEST_F(HandCorrectionsTest, NothingIsAskedWhereNothingWouldBeLost) {
    Key(Qt::Key_Q);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Backend.Messages.empty());

    TearDown();
    SetUp();
    MergeFirstPair();
    Key(Qt::Key_Z);
    EXPECT_TRUE(CorpusSnapshot() == Loaded);
    Key(Qt::Key_Q);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();

    TearDown();
    SetUp();
    MergeFirstPair();
    FileAnswers.push_back(Mine);
    AcceptWorkspaceOptions();
    Trigger(Form->SaveWorkspaceAsAction);
    ASSERT_EQ(WorkspaceFileName, Mine);
    Key(Qt::Key_Q);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();

    // No throws the corrections away with the corpus: the next corpus has none to ask about.
    TearDown();
    SetUp();
    MergeFirstPair();
    Backend.Answers = {mrNo};
    Trigger(Form->UnloadCorpusAction);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    LoadLanguageFiles(0, false, false, "English (United States)", 1033,
                      {{Dir.Write("other.txt", "Another text.\n")}}, false);
    Key(Qt::Key_Q);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Backend.Messages.size(), 1u);
}
