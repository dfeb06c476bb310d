#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcParaAligners.h"
#include "controls/zynWideList.h"
#include "engine/UTF8_to_ASCII.h"
#include "shell/ConcMain.h"
#include "shell/ConcParaLoad.h"
#include "shell/ConcRecentWorkspaces.h"
#include "shell/ConcWorkOptions.h"
#include "shell/ConcWorkspace.h"
#include "shell/WorkspaceChanges.h"
#include "shell/WorkspaceSeal.h"
#include "tests/shell/WorkspaceTestSupport.h"
#include "tests/shell/gui/MainWindowTestSupport.h"

namespace fs = std::filesystem;

namespace {

const char* const Refusal =
    "This is the currently loaded workspace and you can not overwrite it. Please use \"Save Workspace...\" "
    "command or choose a new name.";

// Answers the modal dialogs that the commands open, in the order given. A dialog that nobody expected
// fails the test and is rejected, so a wrong turn never hangs the run.
class TModalAnswers : public QObject {
public:
    TModalAnswers() {
        FTimer.setInterval(5);
        connect(&FTimer, &QTimer::timeout, this, &TModalAnswers::Poll);
        FTimer.start();
    }

    template <class T>
    void Expect(std::function<void(T&)> Action) {
        FQueue.push_back([Action](QDialog* Dialog) {
            auto* Form = qobject_cast<T*>(Dialog);
            if (!Form) {
                ADD_FAILURE() << "unexpected dialog " << Dialog->metaObject()->className();
                Dialog->reject();
                return;
            }
            Action(*Form);
        });
    }
    size_t Pending() const { return FQueue.size(); }

private:
    void Poll() {
        auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!Dialog || Dialog == FLast) return;
        FLast = Dialog;
        if (FQueue.empty()) {
            ADD_FAILURE() << "no dialog was expected: " << Dialog->windowTitle().toStdString();
            Dialog->reject();
            return;
        }
        auto Answer = std::move(FQueue.front());
        FQueue.pop_front();
        Answer(Dialog);
    }

    QTimer FTimer;
    QPointer<QDialog> FLast;
    std::deque<std::function<void(QDialog*)>> FQueue;
};

class WorkspaceCommandsTest : public TMainWindowTest {
protected:
    void SetUp() override {
        TMainWindowTest::SetUp();
        // Two languages of two files each, one of them UTF-8 (read through an 8-bit copy), processed
        // and aligned as the program does it.
        LoadLanguages({{"The house stands.\nThe river runs.\n", "A dog barks. A cat sleeps.\n"},
                       {"Das Haus steht.\nDer Fluss flie\xC3\x9Ft.\n",
                        "Ein Hund bellt. Eine Katze schl\xC3\xA4"
                        "ft.\n"}},
                      {{1, 0}});
        for (int L = 0; L < 2; ++L) ASSERT_EQ(LanguageConfigs[size_t(L)]->Files.size(), 2u);
        ASSERT_TRUE(ProcessCorpus());
        RunAlignment(false, -1, -1);
        ASSERT_TRUE(Align12 && Align12->GetItem(1));
        ASSERT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
        fs::create_directories(Dir.Path() / "ws");
    }

    void TearDown() override {
        TMainWindowTest::TearDown();
        EXPECT_EQ(Modals.Pending(), 0u) << "an expected dialog never opened";
    }

    // Save Workspace As through the menu, the options dialog answered with OK as it opens.
    void SaveAs(const std::string& Name) {
        FileAnswers.push_back(Name);
        Modals.Expect<TWkSpaceOptionsForm>([](TWkSpaceOptionsForm& F) { F.OkBtn->click(); });
        Trigger(Form->SaveWorkspaceAsAction);
    }

    std::string Workspace(const std::string& Name) const { return Dir.File("ws/" + Name + ".TWS"); }

    TModalAnswers Modals;
};

}  // namespace

TEST_F(WorkspaceCommandsTest, SaveAsAndOpenThroughTheMenusGiveTheCorpusBack) {
    Form->UpdateActions();
    EXPECT_FALSE(Form->SaveWorkspaceAction->isEnabled());
    EXPECT_FALSE(Form->SaveOnExitAction->isEnabled());
    EXPECT_FALSE(Form->RecentWorkspacesAction->isEnabled());
    EXPECT_TRUE(Form->SaveWorkspaceAsAction->isEnabled());

    // Save As starts with every Keep option checked.
    const std::string Ws = Workspace("MyCorpus");
    FileAnswers.push_back(Ws);
    Modals.Expect<TWkSpaceOptionsForm>([](TWkSpaceOptionsForm& F) {
        for (QCheckBox* Box : {F.LinesPagesCheck, F.TagsCheck, F.FrequencyCheck, F.SegmentsCheck})
            EXPECT_TRUE(Box->isChecked());
        F.OkBtn->click();
    });
    Trigger(Form->SaveWorkspaceAsAction);
    ASSERT_EQ(Requests.size(), 1u);
    EXPECT_TRUE(Requests[0].Save);
    EXPECT_FALSE(Requests[0].ConfirmOverwrite);
    EXPECT_EQ(Requests[0].Title, "Save Workspace As");
    EXPECT_EQ(Requests[0].Filter, "Tessivor Pro Workspaces (*.TWS *.tws);;All Files (*)");
    EXPECT_EQ(Requests[0].DefaultSuffix, "TWS");
    EXPECT_TRUE(fs::exists(Ws) && fs::exists(WorkspaceBinName(Ws)));
    EXPECT_EQ(WorkspaceFileName, Ws);
    EXPECT_EQ(WorkspacePath, Dir.File("ws/"));
    EXPECT_EQ(RecentWorkspaces, std::vector<std::string>{Ws});
    EXPECT_EQ(Form->windowTitle(), "Tessivor - Mycorpus");
    Form->UpdateActions();
    EXPECT_TRUE(Form->SaveWorkspaceAction->isEnabled());
    EXPECT_TRUE(Form->SaveOnExitAction->isEnabled());

    // Ctrl+O opens a workspace: the open windows close, the corpus is replaced by the stored one.
    const std::string Before = CorpusSnapshot();
    QPointer<QWidget> Child = new QWidget;
    Form->MdiArea()->addSubWindow(Child)->show();
    FileAnswers.push_back(Ws);
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    // The first activation checked the corpus under the wait cursor; the idle handler gives the commands
    // back once the program waits for the user.
    Form->UpdateActions();
    QTest::keyClick(Form.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(Requests.size(), 2u);
    EXPECT_FALSE(Requests[1].Save);
    EXPECT_EQ(Requests[1].Title, "Select Workspace to Open");
    EXPECT_EQ(Requests[1].Folder, Dir.File("ws/"));
    EXPECT_EQ(Requests[1].Filter, Requests[0].Filter);
    EXPECT_FALSE(Child);
    EXPECT_EQ(WorkspaceFileName, Ws);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(CorpusSnapshot() == Before);
    ASSERT_EQ(LanguagesCount, 2);
    ASSERT_EQ(LanguageConfigs[1]->Files.size(), 2u);
    EXPECT_TRUE(LanguageConfigs[1]->Files[0].Object.Converted);
    EXPECT_FALSE(CorpusNeedsProcessing());
    QCoreApplication::processEvents();  // the posted empty status text
    EXPECT_EQ(Form->HintPanel()->text(), " 2 parallel files loaded");
    EXPECT_FALSE(Form->LanguagePanel()->text().isEmpty());

    // A cancelled dialog opens nothing.
    FileAnswers.push_back("");
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_TRUE(CorpusSnapshot() == Before);
}

TEST_F(WorkspaceCommandsTest, SaveAsOntoTheCurrentWorkspaceIsRefusedAndSaveAsksForTheKeepOptions) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Ws));
    const std::string Tws = ReadWholeFile(Ws);
    ASSERT_NE(Bin.find("FREQUENCY"), std::string::npos);

    // Refused before the options are asked for (no dialog is expected).
    FileAnswers.push_back(Ws);
    Trigger(Form->SaveWorkspaceAsAction);
    ASSERT_FALSE(Backend.Messages.empty());
    EXPECT_EQ(Backend.Texts().back(), Refusal);
    EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);
    EXPECT_EQ(ReadWholeFile(Ws), Tws);

    // Save shows the stored options; Cancel saves nothing and keeps them.
    KeepFrequency = true;
    KeepWatchedTags = false;
    Modals.Expect<TWkSpaceOptionsForm>([](TWkSpaceOptionsForm& F) {
        EXPECT_FALSE(F.TagsCheck->isChecked());
        F.FrequencyCheck->setChecked(false);
        F.CancelBtn->click();
    });
    Trigger(Form->SaveWorkspaceAction);
    EXPECT_TRUE(KeepFrequency);
    EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);

    // OK stores the options and saves with them.
    Modals.Expect<TWkSpaceOptionsForm>([](TWkSpaceOptionsForm& F) {
        F.FrequencyCheck->setChecked(false);
        F.OkBtn->click();
    });
    Trigger(Form->SaveWorkspaceAction);
    EXPECT_FALSE(KeepFrequency);
    const std::string Saved = ReadWholeFile(WorkspaceBinName(Ws));
    EXPECT_EQ(Saved.find("FREQUENCY"), std::string::npos);
    EXPECT_EQ(Saved.find("\x04\0\0\0TAGS", 0, 8), std::string::npos);
    EXPECT_NE(Saved.find("SENTENCES"), std::string::npos);
}

TEST_F(WorkspaceCommandsTest, RecentWorkspacesOfferTheOthersAndOpenTheChosenOne) {
    const std::string A = Workspace("Alpha"), B = Workspace("Beta");
    SaveAs(A);
    const std::string Stored = CorpusSnapshot();
    SaveAs(B);
    EXPECT_EQ(RecentWorkspaces, (std::vector<std::string>{B, A}));
    Form->UpdateActions();
    ASSERT_TRUE(Form->RecentWorkspacesAction->isEnabled());

    Modals.Expect<TRecentWorkspacesForm>([](TRecentWorkspacesForm& F) {
        ASSERT_EQ(F.WorkspacesList->count(), 1);
        EXPECT_EQ(F.WorkspacesList->item(0)->text(), "Alpha.TWS");
        F.OkBtn->click();
    });
    Trigger(Form->RecentWorkspacesAction);
    EXPECT_EQ(WorkspaceFileName, A);
    EXPECT_EQ(RecentWorkspaces, (std::vector<std::string>{A, B}));
    EXPECT_EQ(Form->windowTitle(), "Tessivor - Alpha");
    EXPECT_TRUE(CorpusSnapshot() == Stored);

    // Cancel opens nothing.
    Modals.Expect<TRecentWorkspacesForm>([](TRecentWorkspacesForm& F) { F.CancelBtn->click(); });
    Trigger(Form->RecentWorkspacesAction);
    EXPECT_EQ(WorkspaceFileName, A);
}

TEST_F(WorkspaceCommandsTest, AFailedOpenFollowedBySaveAndExitLeavesTheWorkspaceUnchanged) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    Trigger(Form->SaveOnExitAction);
    ASSERT_TRUE(SaveOnExit);
    std::string Bin = ReadWholeFile(WorkspaceBinName(Ws));
    Bin[16] = 0x07;  // written by a newer version
    Dir.Write("ws/Corpus.BIN", Bin);
    const std::string Tws = ReadWholeFile(Ws);

    FileAnswers.push_back(Ws);
    Trigger(Form->OpenWorkspaceAction);
    ASSERT_FALSE(Backend.Messages.empty());
    EXPECT_EQ(Backend.Texts().back(), "Unknown file version.");
    EXPECT_TRUE(WorkspaceFileName.empty());
    for (int L = 0; L < LanguagesCount; ++L) EXPECT_TRUE(LanguageConfigs[size_t(L)]->Files.empty());
    EXPECT_FALSE(Align12);

    // Save stays enabled (a workspace was loaded in this run) but has nothing to save: no dialog opens.
    Form->UpdateActions();
    EXPECT_TRUE(Form->SaveWorkspaceAction->isEnabled());
    Trigger(Form->SaveWorkspaceAction);
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);
    EXPECT_EQ(ReadWholeFile(Ws), Tws);

    // Settings that cannot be read at all still leave language 0 for the windows.
    fs::create_directories(Dir.Path() / "ws" / "Folder.TWS");
    Form->OpenWorkspaceFile(Dir.File("ws/Folder.TWS"));
    EXPECT_EQ(LanguagesCount, 1);
    EXPECT_TRUE(LanguageConfigs[0]);
    EXPECT_TRUE(WorkspaceFileName.empty());
}

TEST_F(WorkspaceCommandsTest, SaveOnExitTogglesAndClosingSavesWithTheStoredOptionsWithoutAsking) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    SaveOnExit = false;
    Form->SaveOnExitAction->setChecked(false);
    Trigger(Form->SaveOnExitAction);
    EXPECT_TRUE(SaveOnExit);
    EXPECT_TRUE(Form->SaveOnExitAction->isChecked());
    Trigger(Form->SaveOnExitAction);
    EXPECT_FALSE(SaveOnExit);
    EXPECT_FALSE(Form->SaveOnExitAction->isChecked());
    Trigger(Form->SaveOnExitAction);

    KeepFrequency = false;
    EXPECT_TRUE(Form->close());
    const std::string Saved = ReadWholeFile(WorkspaceBinName(Ws));
    EXPECT_EQ(Saved.substr(4, 8), "CONCORDS");
    EXPECT_EQ(Saved.find("FREQUENCY"), std::string::npos);
}

// Unloading ends the workspace: with Save On Exit on, a corpus loaded afterwards is never saved over it.
TEST_F(WorkspaceCommandsTest, UnloadEndsTheWorkspaceSoExitDoesNotOverwriteIt) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    SaveOnExit = true;
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Ws));
    const std::vector<std::string> Recent = RecentWorkspaces;
    Trigger(Form->UnloadCorpusAction);
    EXPECT_TRUE(WorkspaceFileName.empty());
    EXPECT_EQ(Form->windowTitle().toStdString(), "Tessivor");
    EXPECT_EQ(RecentWorkspaces, Recent);
    LoadLanguageFiles(0, false, false, "English (United States)", 1033,
                      {{Dir.Write("other.txt", "Another text.\n")}}, false);
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);
}

// A workspace that opened with a file missing is saved over itself only when the user says so.
TEST_F(WorkspaceCommandsTest, AWorkspaceOpenedWithDataMissingIsNotOverwrittenWithoutAsking) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    const std::string Bin = ReadWholeFile(WorkspaceBinName(Ws));
    const std::string Gone = LanguageConfigs[0]->Files[1].Name;
    fs::rename(Gone, Gone + ".away");
    Form->OpenWorkspaceFile(Ws);
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    SaveOnExit = true;
    Backend.Messages.clear();
    Backend.Answers.push_back(mrNo);
    EXPECT_TRUE(Form->close());
    ASSERT_EQ(Backend.Texts(), std::vector<std::string>{IncompleteWorkspaceQuestion(Ws)});
    EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);

    // Yes saves, and the workspace is whole again as far as the next save is concerned.
    Backend.Answers.push_back(mrYes);
    EXPECT_TRUE(Form->SaveWorkspaceFile(false));
    EXPECT_NE(ReadWholeFile(WorkspaceBinName(Ws)), Bin);
    Backend.Messages.clear();
    EXPECT_TRUE(Form->SaveWorkspaceFile(false));
    EXPECT_TRUE(Backend.Messages.empty());
}

// Closing with a workspace open leaves the preferences without a corpus: the next start opens the last
// workspace instead of asking for a new corpus every time.
TEST_F(WorkspaceCommandsTest, AStartWithoutACorpusInThePreferencesOpensTheLastWorkspace) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    const std::string Before = CorpusSnapshot();
    Form.reset();
    FreeLanguageConfigs();
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguagesCount = 1;
    WorkspaceLoaded = false;
    WorkspaceFileName.clear();
    // A loading dialog would come unexpected here and fail the test.
    Form = std::make_unique<TConcMainForm>();
    Form->FormActivate();
    EXPECT_EQ(WorkspaceFileName, Ws);
    EXPECT_TRUE(CorpusSnapshot() == Before);

    // Without a workspace to go back to, the new corpus dialog opens as before.
    Form.reset();
    FreeLanguageConfigs();
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    LanguagesCount = 1;
    RecentWorkspaces.clear();
    bool NewCorpus = false;
    Modals.Expect<TParaLoadForm>([&](TParaLoadForm& F) {
        NewCorpus = F.Model().NewCorpus();
        F.CancelBtn->click();
    });
    Form = std::make_unique<TConcMainForm>();
    Form->FormActivate();
    EXPECT_TRUE(NewCorpus);
}

namespace {

// Notes the caption and the status panel as each message box comes up, then lets Answers answer it.
class TAtEachMessage : public IMessageBackend {
public:
    TAtEachMessage(TConcMainForm& Form, IMessageBackend& Answers) : FForm(Form), FAnswers(Answers) {
        SetMessageBackend(this);
    }
    ~TAtEachMessage() override { SetMessageBackend(&FAnswers); }
    int Show(const TMessageRequest& Request) override {
        Captions.push_back(FForm.windowTitle().toStdString());
        Panels.push_back(FForm.HintPanel()->text().toStdString());
        return FAnswers.Show(Request);
    }
    std::vector<std::string> Captions, Panels;

private:
    TConcMainForm& FForm;
    IMessageBackend& FAnswers;
};

// The pair of file File of languages 0 and 1 as it is stored ("" when it has none).
std::string PairBytes(int32_t File) {
    const TDoubleAlignIndex* Pair = Align12 && File < Align12->Count() ? Align12->GetItem(File) : nullptr;
    return Pair ? StoredBytes(Pair->Side1) + StoredBytes(Pair->Side2) : "";
}

// A hand correction of pair File of languages 0 and 1: its sentences as one bead. Returns the pair's
// stored bytes.
std::string CorrectByHand(int32_t File) {
    TDoubleAlignIndex& Pair = *Align12->GetItem(File);
    EXPECT_GT(Pair.Side1.Count(), 1);
    const TSegment A1 = Pair.Side1.GetItem(0), B1 = Pair.Side2.GetItem(0);
    const int32_t End1 = Pair.Side1.GetItem(Pair.Side1.Count() - 1).End;
    const int32_t End2 = Pair.Side2.GetItem(Pair.Side2.Count() - 1).End;
    Pair.Side1.Clear();
    Pair.Side2.Clear();
    Pair.Side1.Add(A1.Start, End1, A1.Length);
    Pair.Side2.Add(B1.Start, End2, B1.Length);
    return PairBytes(File);
}

// Writes the file Path again with one byte changed: another text of the same size and, as an editor
// leaves it, a new time.
void EditInPlace(const fs::path& Path) {
    std::string Text = ReadWholeFile(Path.string());
    Text[1] = Text[1] == 'x' ? 'y' : 'x';
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Text;
    fs::last_write_time(Path, fs::last_write_time(Path) + std::chrono::hours(50));
}

// Copies the project folder From to To as a copy that does not keep file times does (cp -r, unzip, a
// sync tool): every file of the copy gets a time of its own, none of them its original's.
void CopyWithNewTimes(const fs::path& From, const fs::path& To) {
    fs::copy(From, To, fs::copy_options::recursive);
    int K = 0;
    for (const auto& Entry : fs::recursive_directory_iterator(To))
        if (Entry.is_regular_file())
            fs::last_write_time(Entry.path(),
                                fs::last_write_time(Entry.path()) + std::chrono::hours(49 + K++));
}

// Each language's file names, those under From read under To.
std::vector<std::vector<std::string>> NamesUnder(std::vector<std::vector<std::string>> Names,
                                                 const std::string& From, const std::string& To) {
    for (auto& Language : Names)
        for (std::string& Name : Language)
            if (Name.compare(0, From.size(), From) == 0) Name = To + Name.substr(From.size());
    return Names;
}

}  // namespace

// While Open Workspace reads a damaged workspace, its message comes up under the name of the workspace
// being opened (not the one before), and names the workspace and the data computed again.
TEST_F(WorkspaceCommandsTest, ADamagedWorkspaceIsNamedWhileItOpens) {
    const std::string Damaged = Workspace("Damaged");
    SaveAs(Damaged);
    SaveAs(Workspace("Previous"));
    ASSERT_EQ(Form->windowTitle(), "Tessivor - Previous");
    std::string Bin = ReadWholeFile(WorkspaceBinName(Damaged));
    TMemoryStream Stream(Bin);
    const TReadSeal Seal = ReadSeal(Stream);
    const TSealedRange* Sentences = Seal.Seal.Find("SENTENCES.01");
    ASSERT_TRUE(Sentences);
    const size_t Flip = size_t(Sentences->Offset + Sentences->Length - 3);
    Bin[Flip] = char(Bin[Flip] ^ 4);
    Dir.Write("ws/Damaged.BIN", Bin);

    TAtEachMessage At(*Form, Backend);
    FileAnswers.push_back(Damaged);
    Trigger(Form->OpenWorkspaceAction);
    ASSERT_EQ(Backend.Texts(),
              std::vector<std::string>{DamagedWorkspaceText(Damaged) +
                                       "\nLanguage 2 (English (United States)): the sentences "
                                       "of its files."});
    EXPECT_EQ(At.Captions, std::vector<std::string>{"Tessivor - Damaged"});
    EXPECT_EQ(At.Panels, std::vector<std::string>{" Opening workspace " + Damaged + "..."});
    EXPECT_EQ(Form->windowTitle(), "Tessivor - Damaged");
    EXPECT_TRUE(WorkspaceDamaged);
    EXPECT_FALSE(LanguageConfigs[1]->SentenceIndexes.GetItem(0));
    EXPECT_TRUE(LanguageConfigs[0]->SentenceIndexes.GetItem(0));

    // A workspace that cannot be opened leaves no workspace named.
    Bin[16] = 0x07;
    Dir.Write("ws/Damaged.BIN", Bin);
    FileAnswers.push_back(Damaged);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_EQ(Backend.Texts().back(), "Unknown file version.");
    EXPECT_EQ(Form->windowTitle(), "Tessivor");
}

// One corpus file changed since saving: opening through the menu keeps the hand-made alignment of every
// other pair and names the pair computed again; Scan Corpus aligns that pair and leaves the others.
TEST_F(WorkspaceCommandsTest, AChangedFileCostsOnlyTheAlignmentOfItsOwnPair) {
    const std::string Corrected = CorrectByHand(0);
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    const std::string Changed = LanguageConfigs[1]->Files[1].Name;
    EditInPlace(Changed);

    FileAnswers.push_back(Ws);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_EQ(Backend.Texts(),
              std::vector<std::string>{std::string(ChangedAlignmentText) + "\n\"" +
                                       LanguageConfigs[0]->Files[1].Name + "\" with \"" + Changed + "\""});
    EXPECT_EQ(PairBytes(0), Corrected);
    EXPECT_EQ(PairBytes(1), "");
    EXPECT_FALSE(WorkspaceIncomplete);

    Backend.Messages.clear();
    Trigger(Form->CollectTagsAction);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(PairBytes(0), Corrected);
    EXPECT_NE(PairBytes(1), "");
    // Saved and opened again, nothing is said and the correction is there.
    SaveOnExit = true;
    ASSERT_TRUE(Form->SaveWorkspaceFile(false));
    FileAnswers.push_back(Ws);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(PairBytes(0), Corrected);
}

// The project folder copied without its file times (cp -r): Open Workspace on the copy says nothing,
// computes nothing again and keeps the hand correction; the copy's workspace is not taken for changed, and
// its next save records the new times.
TEST_F(WorkspaceCommandsTest, AProjectCopiedWithoutItsFileTimesOpensAsItWasSaved) {
    const std::string Corrected = CorrectByHand(0);
    // The workspace inside the project folder: the files are stored relative to it.
    SaveAs(Dir.File("corpus/Corpus.TWS"));
    const auto Saved = DataPieces();
    const auto Names = NamesUnder(FileNames(), Dir.File("corpus/"), Dir.File("copy/"));
    CopyWithNewTimes(Dir.Path() / "corpus", Dir.Path() / "copy");
    const std::string Copy = Dir.File("copy/Corpus.TWS");

    Backend.Messages.clear();
    FileAnswers.push_back(Copy);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(WorkspaceFileName, Copy);
    EXPECT_EQ(FileNames(), Names);
    EXPECT_TRUE(DataPieces() == Saved) << "a value was dropped or computed again";
    EXPECT_EQ(PairBytes(0), Corrected);
    EXPECT_FALSE(CorpusNeedsProcessing());
    // The UTF-8 file is read through the copy's own converted copy: nothing was converted again.
    const TCorpusFileRecord& Converted = LanguageConfigs[1]->Files[0].Object;
    EXPECT_TRUE(Converted.Converted);
    EXPECT_EQ(fs::path(Converted.CopyName).parent_path(), Dir.Path() / "copy" / "Corpus");
    EXPECT_FALSE(WorkspaceDamaged || WorkspaceIncomplete);
    EXPECT_FALSE(WorkspaceChanged());

    // Saved (as Save On Exit does), the seal holds the times the files have now.
    ASSERT_TRUE(Form->SaveWorkspaceFile(false));
    TFileStream Bin(WorkspaceBinName(Copy), fmOpenRead);
    const TReadSeal Seal = ReadSeal(Bin);
    ASSERT_EQ(Seal.State, TSealState::Whole);
    for (int L = 0; L < 2; ++L)
        for (size_t I = 0; I < 2; ++I) {
            const TSealedFile& F = Seal.Seal.Languages[size_t(L)].Files[I];
            EXPECT_EQ(F.Age, platform::FileAge(Names[size_t(L)][I])) << Names[size_t(L)][I];
            EXPECT_TRUE(F.FileSum());
        }
    FileAnswers.push_back(Copy);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_TRUE(DataPieces() == Saved);
}

// In a project copied without its file times, a file edited at the same size, or at another size (the
// UTF-8 one), costs only the alignment of its own pair, named in one message; the other pair keeps its
// hand correction.
TEST_F(WorkspaceCommandsTest, AFileEditedInACopiedProjectCostsOnlyItsOwnPair) {
    const std::string Corrected0 = CorrectByHand(0), Corrected1 = CorrectByHand(1);
    SaveAs(Dir.File("corpus/Corpus.TWS"));
    struct TEdit {
        const char* Folder;
        int32_t Kept, Dropped;
    };
    for (const TEdit Edit : {TEdit{"same", 0, 1}, TEdit{"other", 1, 0}}) {
        SCOPED_TRACE(Edit.Folder);
        CopyWithNewTimes(Dir.Path() / "corpus", Dir.Path() / Edit.Folder);
        const fs::path Folder = Dir.Path() / Edit.Folder;
        const fs::path Edited = Folder / ("1-" + std::to_string(Edit.Dropped) + ".txt");
        if (Edit.Dropped == 1) {
            EditInPlace(Edited);
        } else {
            std::ofstream(Edited, std::ios::app | std::ios::binary) << "Ein Vogel singt.\n";
        }
        Backend.Messages.clear();
        FileAnswers.push_back((Folder / "Corpus.TWS").string());
        Trigger(Form->OpenWorkspaceAction);
        EXPECT_EQ(
            Backend.Texts(),
            std::vector<std::string>{std::string(ChangedAlignmentText) + "\n\"" +
                                     (Folder / ("0-" + std::to_string(Edit.Dropped) + ".txt")).string() +
                                     "\" with \"" + Edited.string() + "\""})
            << "the first file of language 1 is " << LanguageConfigs[1]->Files[0].Name;
        EXPECT_EQ(PairBytes(Edit.Kept), Edit.Kept == 0 ? Corrected0 : Corrected1);
        EXPECT_EQ(PairBytes(Edit.Dropped), "");
        EXPECT_FALSE(WorkspaceIncomplete);
        EXPECT_TRUE(CorpusNeedsProcessing());
    }
}

// A settings file edited to define a third language opens with the two the workspace was saved with, says
// so, and a save through the menu (after the question a damaged workspace asks) keeps two.
TEST_F(WorkspaceCommandsTest, ASettingsFileWithAPhantomLanguageOpensWithTheSavedOnes) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    std::string Tws = ReadWholeFile(Ws);
    const size_t At = Tws.find("LanguagesCount=2");
    ASSERT_NE(At, std::string::npos);
    Tws.replace(At, 16, "LanguagesCount=3");
    Dir.Write("ws/Corpus.TWS", Tws);
    FileAnswers.push_back(Ws);
    Trigger(Form->OpenWorkspaceAction);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_NE(
        Backend.Texts()[0].find("The settings file defines 3 languages; the workspace was saved with 2."),
        std::string::npos)
        << Backend.Texts()[0];
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_FALSE(LanguageConfigs[2]);

    Backend.Messages.clear();
    Backend.Answers.push_back(mrYes);
    Modals.Expect<TWkSpaceOptionsForm>([](TWkSpaceOptionsForm& F) { F.OkBtn->click(); });
    Trigger(Form->SaveWorkspaceAction);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{IncompleteWorkspaceQuestion(Ws)});
    EXPECT_NE(ReadWholeFile(Ws).find("LanguagesCount=2"), std::string::npos);
    Backend.Messages.clear();
    FileAnswers.push_back(Ws);
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(LanguagesCount, 2);
}

// A project whose languages use the same file names, its workspace saved in one language's folder, then
// moved: Open Workspace reads each language's own text or says a file is not found.
TEST_F(WorkspaceCommandsTest, AMovedProjectOpensNoLanguageWithAnothersText) {
    for (const char* Sub : {"project/en", "project/es"}) fs::create_directories(Dir.Path() / Sub);
    const std::string En = Dir.Write("project/en/text.txt", "The house stands.\nThe river runs.\n");
    const std::string Es = Dir.Write("project/es/text.txt", "La casa.\nEl r\xC3\xADo corre.\n");
    for (int L = 0; L < 2; ++L)
        LoadLanguageFiles(L, false, false, "English (United States)", 1033, {{L == 0 ? En : Es, L == 1}},
                          false);
    ASSERT_TRUE(ProcessCorpus());
    RunAlignment(false, -1, -1);
    ASSERT_TRUE(Align12 && Align12->GetItem(0));
    SaveAs(Dir.File("project/en/Corpus.TWS"));
    fs::rename(Dir.Path() / "project", Dir.Path() / "moved");

    Backend.Messages.clear();
    FileAnswers.push_back(Dir.File("moved/en/Corpus.TWS"));
    Trigger(Form->OpenWorkspaceAction);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"File \"" + Es + "\" not found."});
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Name, Dir.File("moved/en/text.txt"));
    EXPECT_TRUE(LanguageConfigs[1]->Files.empty());
    EXPECT_TRUE(WorkspaceIncomplete);
}

// Save Workspace As refuses, before anything is asked or written, a name whose data file is the settings
// file itself, and a name whose data file belongs to another workspace beside it (the same name with
// another extension or letter case of it); the workspace saved there stays whole.
TEST_F(WorkspaceCommandsTest, SaveAsRefusesADataFileThatIsItselfOrAnotherWorkspaces) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    const std::string Tws = ReadWholeFile(Ws), Bin = ReadWholeFile(WorkspaceBinName(Ws));
    for (const std::string Name : {"Corpus.BIN", "Corpus.v2", "Corpus.tws"}) {
        SCOPED_TRACE(Name);
        Backend.Messages.clear();
        FileAnswers.push_back(Dir.File("ws/" + Name));
        Trigger(Form->SaveWorkspaceAsAction);
        ASSERT_EQ(Backend.Messages.size(), 1u);
        EXPECT_NE(Backend.Texts()[0].find(Name == "Corpus.BIN" ? "would be the settings file itself"
                                                               : "belongs to the workspace \"" + Ws + "\""),
                  std::string::npos)
            << Backend.Texts()[0];
        EXPECT_EQ(WorkspaceFileName, Ws);
        EXPECT_EQ(ReadWholeFile(Ws), Tws);
        EXPECT_EQ(ReadWholeFile(WorkspaceBinName(Ws)), Bin);
        EXPECT_FALSE(fs::exists(Dir.File("ws/" + Name)) && Name != "Corpus.BIN");
    }
    Backend.Messages.clear();
    Form->OpenWorkspaceFile(Ws);
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    // A data file that no settings file beside it claims is replaced as before.
    fs::remove(Ws);
    SaveAs(Dir.File("ws/Corpus.v2"));
    EXPECT_EQ(WorkspaceFileName, Dir.File("ws/Corpus.v2"));
}

// With Save On Exit checked, a save at exit that fails keeps the window open and the corpus as it is.
TEST_F(WorkspaceCommandsTest, AFailedSaveOnExitKeepsTheWindowOpen) {
    const std::string Ws = Workspace("Corpus");
    SaveAs(Ws);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    SaveOnExit = true;
    Align12.reset();
    const std::string Changed = CorpusSnapshot();
    fs::remove_all(Dir.Path() / "ws");
    Backend.Messages.clear();
    Trigger(Form->ExitAction);
    EXPECT_TRUE(Form->isVisible());
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_NE(Backend.Texts()[0].find("does not exist"), std::string::npos) << Backend.Texts()[0];
    EXPECT_TRUE(CorpusSnapshot() == Changed);
    // Once the save can be made, the exit saves and closes.
    fs::create_directories(Dir.Path() / "ws");
    Trigger(Form->ExitAction);
    EXPECT_FALSE(Form->isVisible());
    FreeLanguageConfigs();
    ASSERT_TRUE(LoadWorkspace(Ws));
    EXPECT_TRUE(CorpusSnapshot() == Changed);
}
