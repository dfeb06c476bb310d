// The commands that end an open workspace ask before its unsaved changes are lost, Unload Corpus ends
// the workspace, and "Tags Settings" asks before it drops the processed corpus: all through the main
// window's own commands, each question answered with each of its buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcParaAligners.h"
#include "shell/ConcMain.h"
#include "shell/ConcTagConfig.h"
#include "shell/ConcWorkspace.h"
#include "shell/TagSettingsRules.h"
#include "shell/WorkspaceChanges.h"
#include "tests/shell/WorkspaceTestSupport.h"
#include "tests/shell/gui/MainWindowTestSupport.h"

namespace fs = std::filesystem;

namespace {

const char* const Question = "Save changes to the workspace Corpus.TWS?";

// Answers as told and keeps the corpus as it stood when the first box came up.
class TSnapshotAtQuestion : public TScriptedBackend {
public:
    int Show(const TMessageRequest& Request) override {
        if (Messages.empty()) AtQuestion = CorpusSnapshot();
        return TScriptedBackend::Show(Request);
    }
    std::string AtQuestion;
};

class UnsavedChangesTest : public TMainWindowTest {
protected:
    // Two languages of one file each, processed and aligned, saved as the workspace "Corpus" (and a
    // second one, "Other"), open in a shown main window.
    void SetUp() override {
        TMainWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(AlignThreeLinePair());
        ASSERT_TRUE(FilePairAligned(0, 1, 0));
        fs::create_directories(Dir.Path() / "ws");
        Ws = Dir.File("ws/Corpus.TWS");
        Other = Dir.File("ws/Other.TWS");
        ASSERT_TRUE(SaveWorkspace(Other));
        ASSERT_TRUE(SaveWorkspace(Ws));
        WorkspaceFileName = Ws;
        Form->WorkspaceOpened();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        QApplication::processEvents();  // the first activation
        Saved = ReadWholeFile(WorkspaceBinName(Ws));
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    }

    // An alignment correction in the aligned-sentences mode: an empty segment before the target's second.
    void CorrectAlignment() {
        TAlignEditor Editor;
        Editor.Reset(AlignBoxSideOf(0, 1, 0, 1), AlignBoxSideOf(1, 0, 0, 1), 0, 1);
        TAlignCaret Caret{-1, 1};
        Caret.Pos = Editor.Side(1).Large->GetItem(Editor.LargeOfRow(1, 1)).Start;
        ASSERT_TRUE(Editor.InsertEmpty(1, Caret, 0));
        Edited = CorpusSnapshot();
    }

    bool SavedChanged() const { return ReadWholeFile(WorkspaceBinName(Ws)) != Saved; }
    std::string Ws, Other, Saved, Edited;
};

}  // namespace

// Exit, Unload Corpus, Load Corpus File(s) and Open Workspace each ask once the corpus changed: Yes saves
// and goes on, No goes on without saving, Cancel stops the command with the corpus as it was.
TEST_F(UnsavedChangesTest, EveryCommandThatEndsTheWorkspaceAsksAndEachAnswerDoesWhatItSays) {
    enum TCommand { Exit, Unload, Load, Open };
    for (const TCommand Command : {Exit, Unload, Load, Open}) {
        for (const int Answer : {mrYes, mrNo, mrCancel}) {
            SCOPED_TRACE("command " + std::to_string(Command) + ", answer " + std::to_string(Answer));
            TearDown();
            SetUp();
            CorrectAlignment();
            Backend.Answers = {Answer};
            bool DialogOpened = false;
            if (Command == Load && Answer != mrCancel)
                WhenModal<TParaLoadForm>([&](TParaLoadForm* Dialog) {
                    DialogOpened = true;
                    Dialog->reject();
                });
            if (Command == Open)
                SetFileDialog([this](const TFileDialogRequest&) { return std::vector<std::string>{Other}; });
            QAction* Action = Command == Exit     ? Form->ExitAction
                              : Command == Unload ? Form->UnloadCorpusAction
                              : Command == Load   ? Form->LoadCorpusFileAction
                                                  : Form->OpenWorkspaceAction;
            Trigger(Action);
            ASSERT_FALSE(Backend.Messages.empty());
            EXPECT_EQ(Backend.Texts().front(), Question);
            EXPECT_EQ(Backend.Messages.front().Buttons,
                      MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel));
            EXPECT_EQ(SavedChanged(), Answer == mrYes);
            const bool WentOn = Answer != mrCancel;
            switch (Command) {
                case Exit:
                    EXPECT_EQ(Form->isVisible(), !WentOn);
                    break;
                case Unload:
                    EXPECT_EQ(FileCount(), WentOn ? 0u : 1u);
                    EXPECT_EQ(WorkspaceFileName, WentOn ? "" : Ws);
                    break;
                case Load:
                    EXPECT_EQ(DialogOpened, WentOn);
                    break;
                case Open:
                    EXPECT_EQ(WorkspaceFileName, WentOn ? Other : Ws);
                    break;
            }
            // Whatever was not given up is there as the user left it.
            if (!WentOn || Command == Load) {
                EXPECT_TRUE(CorpusSnapshot() == Edited);
            }
            // The answer saved what the user had: opening the workspace again gives the correction back.
            if (Answer == mrYes && Command != Load) {
                FreeLanguageConfigs();
                ASSERT_TRUE(LoadWorkspace(Ws));
                EXPECT_TRUE(CorpusSnapshot() == Edited);
            }
        }
    }
}

// Nothing changed, nothing asked; a save that fails keeps the window open and the corpus as it was.
TEST_F(UnsavedChangesTest, NothingAsksWithoutChangesAndAFailedSaveStopsTheCommand) {
    Trigger(Form->UnloadCorpusAction);
    EXPECT_TRUE(Backend.Messages.empty());
    EXPECT_EQ(FileCount(), 0u);

    TearDown();
    SetUp();
    CorrectAlignment();
    fs::remove_all(Dir.Path() / "ws");
    Backend.Answers = {mrYes};
    Trigger(Form->ExitAction);
    ASSERT_EQ(Backend.Messages.size(), 2u);  // the question, then why the save failed
    EXPECT_EQ(Backend.Texts()[0], Question);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(CorpusSnapshot() == Edited);
}

// After Unload Corpus no workspace is loaded: the Save Workspace commands go off, and closing writes the
// preferences again, so that the next start finds the corpus loaded in the meantime.
TEST_F(UnsavedChangesTest, UnloadEndsTheWorkspaceSoThatClosingSavesThePreferences) {
    Trigger(Form->UnloadCorpusAction);
    EXPECT_FALSE(WorkspaceLoaded);
    Form->UpdateActions();
    EXPECT_FALSE(Form->SaveWorkspaceAction->isEnabled());
    EXPECT_EQ(Form->windowTitle(), "Tessivor");
    const std::string Ini = GetIniFileNameForWrite();
    ASSERT_FALSE(Ini.empty());
    fs::remove(Ini);
    Trigger(Form->ExitAction);
    EXPECT_FALSE(Form->isVisible());
    ASSERT_TRUE(fs::exists(Ini));
    EXPECT_NE(ReadWholeFile(Ini).find("LanguagesCount=2"), std::string::npos);
}

// New tag characters ask before anything is dropped, saying that the corpus is processed again and the
// corrections made by hand are replaced. No keeps the corpus as it was and the tag characters it was
// read with, and stores every other change of the dialog; Yes takes the new characters and processes
// the corpus again.
TEST_F(UnsavedChangesTest, TagsSettingsAskBeforeTheCorpusIsDropped) {
    for (const int Answer : {mrNo, mrYes}) {
        SCOPED_TRACE(Answer);
        TearDown();
        SetUp();
        CorrectAlignment();
        const bool ShowedLines = CommonConfig->ShowLines;
        WhenModal<TTagConfigForm>([](TTagConfigForm* Dialog) {
            Dialog->TagStartEdit->setText("[");
            QTest::mouseClick(Dialog->ShowLinesCheck, Qt::LeftButton, {},
                              QPoint(8, Dialog->ShowLinesCheck->height() / 2));
            QTest::mouseClick(Dialog->OkBtn, Qt::LeftButton);
        });
        // The corpus must still be whole while the question is up.
        TSnapshotAtQuestion Script;
        Script.Answers = {Answer};
        Trigger(Form->NormalTagsAction);
        ASSERT_EQ(Script.Messages.size(), 1u);
        EXPECT_EQ(Script.Texts()[0], TagSettingsScanQuestion());
        EXPECT_NE(Script.Texts()[0].find("processed again"), std::string::npos);
        EXPECT_TRUE(Script.AtQuestion == Edited);
        EXPECT_NE(CommonConfig->ShowLines, ShowedLines) << "stored whatever the answer";
        if (Answer == mrNo) {
            EXPECT_EQ(CommonConfig->TagStart, '<');
            EXPECT_TRUE(CorpusSnapshot() == Edited);
        } else {
            EXPECT_EQ(CommonConfig->TagStart, '[');
            EXPECT_FALSE(CorpusNeedsProcessing());
            EXPECT_TRUE(FilePairAligned(0, 1, 0));
            const TDoubleAlignIndex& Pair = *Align12->GetItem(0);
            EXPECT_EQ(Pair.Side1.Count(), Pair.Side2.Count());  // aligned anew, the correction replaced
        }
    }
}
