// Every command of the main window's menus, one after the other, on a processed three-language corpus:
// each dialog it opens is closed as a user who changes nothing would close it, and no command may end in
// an error or leave the program unable to go on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <set>

#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "shell/ConcMain.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// Closes whatever modal dialog comes up, however deep, as Escape would.
class TDialogCloser {
public:
    TDialogCloser() {
        QObject::connect(&FTimer, &QTimer::timeout, [] {
            if (auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) Dialog->reject();
        });
        FTimer.start(5);
    }

private:
    QTimer FTimer;
};

void Settle() {
    for (int I = 0; I < 10; ++I) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// The commands of Menu and of its submenus, in menu order.
void CollectCommands(QMenu* Menu, std::vector<QAction*>& Commands) {
    for (QAction* A : Menu->actions()) {
        if (A->isSeparator()) continue;
        if (A->menu())
            CollectCommands(A->menu(), Commands);
        else
            Commands.push_back(A);
    }
}

class MenuWalkTest : public TCorpusTest {
protected:
    // Three languages with a file each, registered once the window has read the preferences (which
    // name no corpus), so that its first activation processes and aligns them.
    void AddCorpus() {
        const char* Words[3][3] = {{"the cat sat", "a dog ran", "the end"},
                                   {"le chat", "un chien", "la fin"},
                                   {"die Katze", "ein Hund", "das Ende"}};
        for (int L = 0; L < 3; ++L) {
            std::string Text;
            for (int Line = 0; Line < 30; ++Line)
                Text += std::string(Words[L][Line % 3]) + " " + std::to_string(Line) + ".\r\n\r\n";
            AddFile(L, "text" + std::to_string(L) + ".txt", Text);
        }
    }
    void TearDown() override {
        Form.reset();
        Settle();
        TCorpusTest::TearDown();
    }

    std::unique_ptr<TConcMainForm> Form;
};

TEST_F(MenuWalkTest, EveryMenuCommandRunsWithoutAnError) {
    const TDialogCloser Closer;
    Form = std::make_unique<TConcMainForm>();
    AddCorpus();
    Form->resize(900, 700);
    Form->show();
    Settle();
    ASSERT_EQ(LanguagesCount, 3);
    ASSERT_TRUE(Align12 && Align13) << "the first activation processes and aligns the corpus";

    // The language submenus are built anew by some commands: the commands are collected again each time.
    const auto commands = [this] {
        std::vector<QAction*> Commands;
        for (QAction* Top : Form->menuBar()->actions())
            if (Top->menu()) CollectCommands(Top->menu(), Commands);
        return Commands;
    };
    // Exit would end the walk; the others would take the corpus away from the commands after them.
    const std::set<QAction*> Last{Form->ExitAction, Form->UnloadCorpusAction, Form->LoadCorpusFileAction,
                                  Form->OpenWorkspaceAction, Form->RecentWorkspacesAction};
    int Run = 0;
    for (size_t I = 0; I < commands().size(); ++I) {
        QAction* Command = commands()[I];
        if (Last.count(Command)) continue;
        QMetaObject::invokeMethod(Form.get(), "UpdateActions");
        if (!Command->isEnabled()) continue;
        const std::string Caption = Command->text().toStdString();
        Command->trigger();
        Settle();
        ++Run;
        for (const TMessageRequest& M : Backend.Messages)
            EXPECT_NE(M.Type, mtError) << Caption << ": " << M.Text;
        Backend.Messages.clear();
    }
    EXPECT_GT(Run, 20);
}

}  // namespace
