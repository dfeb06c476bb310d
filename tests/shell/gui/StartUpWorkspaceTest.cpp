// The program started again after closing with a workspace open reopens that workspace exactly as Open
// Workspace does: a pair whose alignment a paragraph edit removed stays unaligned, nothing counts as
// changed, so Ctrl+Q right after the start asks nothing, and Recent Workspaces offers the others.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcParaAligners.h"
#include "shell/ConcMain.h"
#include "shell/ConcWorkspace.h"
#include "tests/shell/WorkspaceTestSupport.h"
#include "tests/shell/gui/MainWindowTestSupport.h"

namespace fs = std::filesystem;

namespace {

// The pair of file File of languages 0 and 1 as it is stored ("" when it has none).
std::string PairBytes(int32_t File) {
    const TDoubleAlignIndex* Pair = Align12 && File < Align12->Count() ? Align12->GetItem(File) : nullptr;
    return Pair ? StoredBytes(Pair->Side1) + StoredBytes(Pair->Side2) : "";
}

class StartUpWorkspaceTest : public TMainWindowTest {
protected:
    void SetUp() override {
        TMainWindowTest::SetUp();
        // Two languages of two files each, one paragraph per line, processed and aligned.
        LoadLanguages(
            {{"The house stands. It is old.\nThe river runs.\nA dog barks.\n", "A cat sleeps.\nIt dreams.\n"},
             {"Das Haus steht. Es ist alt.\nDer Fluss fliesst.\nEin Hund bellt.\n",
              "Eine Katze schlaeft.\nSie traeumt.\n"}});
        ASSERT_TRUE(ProcessCorpus());
        RunAlignment(false, -1, -1);
        ASSERT_FALSE(PairBytes(0).empty());
        fs::create_directories(Dir.Path() / "ws");
    }

    // Save Workspace As through the menu of Form, the options dialog answered with OK.
    void SaveAs(TConcMainForm& Form, const std::string& Name) {
        FileAnswers.push_back(Name);
        AcceptWorkspaceOptions();
        Form.UpdateActions();
        ASSERT_TRUE(Form.SaveWorkspaceAsAction->isEnabled());
        Form.SaveWorkspaceAsAction->trigger();
        ASSERT_EQ(WorkspaceFileName, Name);
    }
};

}  // namespace

TEST_F(StartUpWorkspaceTest, TheLastWorkspaceReopensAsOpenWorkspaceLeavesItAndExitAsksNothing) {
    const std::string A = Dir.File("ws/Alpha.TWS"), B = Dir.File("ws/Beta.TWS");
    std::string Opened;
    {
        TConcMainForm& Form = *this->Form;
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
        QApplication::processEvents();  // the first activation
        SaveAs(Form, B);
        // A paragraph of the first pair split by hand: the pair's alignment goes, as the Alignment View
        // drops it before such an edit, and the pair waits to be aligned again.
        DropFilePairAlignment(0, 1, 0);
        TAlignEditor Editor;
        Editor.Reset(AlignBoxSideOf(0, 1, 0, 0), AlignBoxSideOf(1, 0, 0, 0), 0, 0);
        const TSegment First = LanguageConfigs[0]->ParagraphIndexes.GetItem(0)->GetItem(0);
        ASSERT_TRUE(Editor.Split(0, false, TAlignCaret{First.Start + 18, 0}, 0));
        SaveAs(Form, A);
        // What Open Workspace makes of it.
        FileAnswers.push_back(A);
        Form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
        QTest::keyClick(&Form, Qt::Key_O, Qt::ControlModifier);
        ASSERT_EQ(WorkspaceFileName, A);
        EXPECT_TRUE(PairBytes(0).empty());
        Opened = CorpusSnapshot();
        EXPECT_TRUE(Form.close());
        this->Form.reset();
    }
    ASSERT_EQ(RecentWorkspaces, (std::vector<std::string>{A, B}));
    ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();

    // The program starts again with what the preferences file holds: no corpus, the recent list.
    ResetGlobalsForTest();
    std::string AtStart;
    bool RecentOffered = false, SaveOffered = false, Closed = false;
    const int Result = RunProgram([&](QWidget* MainWindow) {
        if (!MainWindow) return;
        auto* Form = static_cast<TConcMainForm*>(MainWindow);
        auto* Poll = new QTimer(MainWindow);
        QObject::connect(Poll, &QTimer::timeout, [&, Poll, Form] {
            if (!Form->Activated() || QApplication::activeModalWidget()) return;
            Poll->stop();
            // As the idle handler left the menu while the program waited for the user.
            RecentOffered = Form->RecentWorkspacesAction->isEnabled();
            SaveOffered = Form->SaveWorkspaceAction->isEnabled();
            AtStart = CorpusSnapshot();
            Form->activateWindow();
            if (!QTest::qWaitForWindowActive(Form)) ADD_FAILURE() << "the window never became active";
            QTest::keyClick(Form, Qt::Key_Q, Qt::ControlModifier);
            Closed = !Form->isVisible();
            // A window that stayed open must not hang the run.
            if (!Closed) QTimer::singleShot(0, Form, [] { QApplication::exit(1); });
        });
        Poll->start(5);
    });
    EXPECT_EQ(Result, 0);
    EXPECT_TRUE(Closed);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(AtStart == Opened) << "the start left the corpus otherwise than Open Workspace";
    EXPECT_TRUE(RecentOffered);
    EXPECT_TRUE(SaveOffered);
}
