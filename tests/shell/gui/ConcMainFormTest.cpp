#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "alignment/ConcAlignView.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "controls/ConcFormUtils.h"
#include "controls/PrintDialogs.h"
#include "controls/ScriptedBackend.h"
#include "controls/zynStackTrace.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcPrefs.h"
#include "engine/UTF8_to_ASCII.h"
#include "results/ConcFreqOptions.h"
#include "results/ConcWordListForm.h"
#include "shell/ConcMain.h"
#include "shell/ConcTagConfig.h"
#include "shell/ConcView.h"
#include "tests/shell/gui/ModalAnswers.h"
#include "tests/support/TestSupport.h"
#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"

namespace {

// A child window that records what it receives and may act on it. Like any window it has its own
// closeEvent, which knows nothing of the closing mark.
class TTestChild : public TAppMessageForm {
public:
    struct TMessage {
        int Msg;
        intptr_t WParam, LParam;
        bool operator==(const TMessage&) const = default;
    };
    std::vector<TMessage> Received;
    std::function<void(int Msg)> OnMessage;
    bool RefuseClose = false;

    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override {
        Received.push_back({Msg, WParam, LParam});
        if (OnMessage) OnMessage(Msg);
        return 0;
    }

protected:
    void closeEvent(QCloseEvent* Event) override {
        if (RefuseClose)
            Event->ignore();
        else
            Event->accept();
    }
};

// The preferences file in the config folder, known before the configuration unit starts.
std::string IniPath() {
    const char* dir = std::getenv("TESSIVOR_CONFIG_DIR");
    return std::string(dir ? dir : "") + "/" + IniFileName;
}

void WriteIni(const std::string& Content) {
    std::ofstream(IniPath(), std::ios::binary) << Content;
}

// The events a message, a queued call or a deferred deletion left behind.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// Turns the event loop as the program does (its idle handler runs whenever the loop waits) until Done
// holds or two seconds went by; whether it holds.
bool LoopUntil(const std::function<bool()>& Done) {
    for (int I = 0; I < 200 && !Done(); ++I) {
        QEventLoop Loop;
        QTimer::singleShot(10, &Loop, &QEventLoop::quit);
        Loop.exec();
    }
    return Done();
}

void AddFiles(int Language, std::initializer_list<int32_t> WordCounts) {
    for (int32_t words : WordCounts) {
        TNamedItem<TCorpusFileRecord> file;
        file.Name = "/corpus/" + std::to_string(Language) + "-" +
                    std::to_string(LanguageConfigs[Language]->Files.size()) + ".txt";
        file.Object.WordCount = words;
        LanguageConfigs[Language]->Files.push_back(std::move(file));
    }
}

void SetLanguages(int Count) {
    for (int i = LanguagesCount; i < Count; ++i) LanguageConfigs[i] = std::make_unique<TConcordConfig>(i);
    LanguagesCount = Count;
}

// The captions and tags of a menu's items, separators included.
QStringList TextsOf(QMenu* Menu) {
    QStringList Texts;
    for (QAction* A : Menu->actions()) Texts << A->text();
    return Texts;
}

QList<int> TagsOf(QMenu* Menu) {
    QList<int> Tags;
    for (QAction* A : Menu->actions()) Tags << A->data().toInt();
    return Tags;
}

// Once the program's window has finished its first activation and no dialog is up: Then, and Exit,
// which closes the last window and so ends the event loop.
void ExitOnceActivated(QWidget* MainWindow, std::function<void()> Then) {
    auto* Poll = new QTimer(MainWindow);
    QObject::connect(Poll, &QTimer::timeout, [Poll, MainWindow, Then] {
        auto* Form = static_cast<TConcMainForm*>(MainWindow);
        if (!Form->Activated() || QApplication::activeModalWidget()) return;
        Poll->stop();
        if (Then) Then();
        Form->ExitAction->trigger();
    });
    Poll->start(5);
}

const uint32_t LanguageIds[3] = {1033, 1036, 1031};

class MainFormTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove(IniPath());
        SetThousandSeparator(",");
        LoadInstalledLanguagesFrom({1033, 1036, 1031});
        for (uint32_t Id : LanguageIds) LanguageNames.push_back(LanguageNameOfLCID(Id));
        // Below two languages the first activation opens the loading dialog: each one that comes up is
        // counted and answered as the test says, by default with Cancel.
        QObject::connect(&LoadWatch, &QTimer::timeout, [this] {
            auto* Dialog = qobject_cast<TParaLoadForm*>(QApplication::activeModalWidget());
            if (!Dialog || Dialog == LastLoad) return;
            LastLoad = Dialog;
            ++LoadDialogs;
            NewCorpusAsked = Dialog->Model().NewCorpus();
            if (AnswerLoad)
                AnswerLoad(*Dialog);
            else
                Dialog->CancelBtn->click();
            if (Dialog->isVisible()) Dialog->done(0);
        });
        LoadWatch.start(5);
        // Some tests stop a corpus pass at its first step, which the pass would skip on a small corpus.
        SetPassPumpInterval(0);
    }
    void TearDown() override {
        SetPassPumpInterval(20);
        Form.reset();
        Settle();
        LoadWatch.stop();
        SetFileDialog(nullptr);
        while (WaitCount > 0) EndWait();
        FreeInstalledLanguages();
        ResetGlobalsForTest();
    }

    TConcMainForm& Create() {
        InitConfigUnit();
        Form = std::make_unique<TConcMainForm>();
        return *Form;
    }

    // A command as the user finds it: in the state the idle handler gives it, chosen when enabled.
    void Trigger(QAction* Command) {
        Form->UpdateActions();
        ASSERT_TRUE(Command->isEnabled()) << Command->text().toStdString();
        Command->trigger();
    }

    TTestChild* AddChild(const QString& Title) {
        auto* child = new TTestChild;
        child->setWindowTitle(Title);
        QMdiSubWindow* sub = Form->MdiArea()->addSubWindow(child);
        sub->show();
        return child;
    }

    // Languages English, French and German (as many as Count) with FilesEach real files each, written
    // to the test's folder and registered as the loading dialog registers them; nothing processed.
    // Each file holds nine words in two paragraphs.
    void AddCorpus(int Count, int FilesEach = 1) {
        const char* Texts[3] = {"The house stands. A dog sleeps.\n\nThe river runs.\n",
                                "La maison reste. Un chien dort.\n\nLe fleuve coule.\n",
                                "Das Haus steht. Ein Hund schl\xE4"
                                "ft.\n\nDer Fluss l\xE4uft.\n"};
        SetLanguages(Count);
        for (int L = 0; L < Count; ++L) {
            std::vector<TNewCorpusFile> Files;
            for (int F = 0; F < FilesEach; ++F)
                Files.push_back({Dir.Write(std::to_string(L) + "-" + std::to_string(F) + ".txt", Texts[L])});
            LoadLanguageFiles(L, false, false, LanguageNames[L], LanguageIds[L], Files, false);
            ASSERT_EQ(LanguageConfigs[size_t(L)]->Files.size(), size_t(FilesEach));
        }
    }

    TTempDir Dir;
    TScriptedBackend Script;
    std::unique_ptr<TConcMainForm> Form;
    std::vector<std::string> LanguageNames;
    QTimer LoadWatch;
    QPointer<TParaLoadForm> LastLoad;
    std::function<void(TParaLoadForm&)> AnswerLoad;
    int LoadDialogs = 0;
    bool NewCorpusAsked = false;
};

}  // namespace

TEST_F(MainFormTest, StartUpReadsThePreferencesAndRestoresThePlacement) {
    WriteIni(
        "[GeneralConfiguration]\r\nLanguagesCount=2\r\nSaveOnExit=1\r\n"
        "[ConcordanceConfiguration]\r\nMaximumHits=1234\r\n"
        "[MainForm]\r\nWindowState=0\r\nLeft=31\r\nTop=42\r\nHeight=433\r\nWidth=655\r\n");
    TConcMainForm& form = Create();
    EXPECT_EQ(form.windowTitle(), "Tessivor");
    EXPECT_EQ(MainCaption, "Tessivor");
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_EQ(CommonConfig->MaximumHits, 1234);
    EXPECT_TRUE(form.SaveOnExitAction->isChecked());
    EXPECT_EQ(form.geometry(), QRect(31, 42, 655, 433));
    EXPECT_FALSE(form.isMaximized());
    EXPECT_EQ(GetAppMessenger() != nullptr, true);
}

// No place to write the preferences: said once, at start, and not again when the window closes.
TEST_F(MainFormTest, PreferencesThatCannotBeSavedAreSaidOnceAtStart) {
    WriteIni("[ConcordanceConfiguration]\r\nMaximumHits=1234\r\n");
    SetIniWritableProbe([](const std::string&) { return false; });
    Create();
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{PreferencesNotSavedText()});
    EXPECT_EQ(CommonConfig->MaximumHits, 1234);
    Form->close();
    Form.reset();
    SetIniWritableProbe({});
    EXPECT_EQ(Script.Texts().size(), 1u);
}

TEST_F(MainFormTest, FixedCaptionsStandWhateverThePreferencesHold) {
    WriteIni("[ConcordanceConfiguration]\r\nMaximumHits=1234\r\n");
    TConcMainForm& form = Create();
    EXPECT_EQ(CommonConfig->MaximumHits, 1234);
    EXPECT_EQ(form.PartofSpeechTagsAction->text(), "&Special Tags...");
    EXPECT_EQ(form.ViewCorpusFileAction->iconText(), "&Align Corpus Files...");
    EXPECT_EQ(form.SearchMenu->title(), "&Search");
    EXPECT_EQ(form.AboutAction->text(), "About Tessivor...");
    // Ctrl+F stays with the children's own find commands.
    for (QAction* a : form.findChildren<QAction*>())
        EXPECT_NE(a->shortcut(), QKeySequence("Ctrl+F")) << a->text().toStdString();
}

TEST_F(MainFormTest, TheProgramStartsTheUnitsNamesItsTraceModuleAndEndsTheUnitsAfterTheWindow) {
    std::vector<std::string> steps;
    SetTraceModule("(unknown)", "0.0.0");
    // Once the window is up: a setting to find in the file the close sequence writes, then Exit.
    const int result = RunProgram([&](QWidget* MainWindow) {
        if (MainWindow) steps.push_back("trace " + TraceModuleName() + " " + TraceVersion());
        steps.push_back(MainWindow ? "window" : "no window");
        if (MainWindow) {
            EXPECT_TRUE(CommonConfig);
            ExitOnceActivated(MainWindow, [] { CommonConfig->MaximumHits = 321; });
        }
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(steps, (std::vector<std::string>{"trace Tessivor 270", "window", "no window"}));
    EXPECT_EQ(LoadDialogs, 1) << "a first start asks for a corpus";
    EXPECT_FALSE(CommonConfig);  // the units ended
    EXPECT_NE(ReadWholeFile(IniPath()).find("MaximumHits=321"), std::string::npos);
    EXPECT_TRUE(Script.Messages.empty());
}

// Closed while maximised, the window writes its normal bounds with its state, also after the close
// sequence has rewritten the whole file; the next start opens maximised and restores to them.
TEST_F(MainFormTest, AMaximisedWindowWritesItsNormalBoundsWithItsState) {
    WriteIni("[MainForm]\r\nWindowState=0\r\nLeft=100\r\nTop=150\r\nHeight=400\r\nWidth=500\r\n");
    TConcMainForm& form = Create();
    form.show();
    Settle();
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(100, 150));
    EXPECT_EQ(form.size(), QSize(500, 400));
    form.showMaximized();
    Settle();
    ASSERT_TRUE(form.isMaximized());
    EXPECT_TRUE(form.close());
    Form.reset();
    const std::string ini = ReadWholeFile(IniPath());
    for (const char* key : {"WindowState=2", "Left=100", "Top=150", "Height=400", "Width=500"})
        EXPECT_NE(ini.find(key), std::string::npos) << key << " in\n" << ini;

    ResetGlobalsForTest();
    Create();
    EXPECT_TRUE(Form->isMaximized());
    Form->show();
    Settle();
    Form->showNormal();
    Settle();
    EXPECT_EQ(Form->frameGeometry().topLeft(), QPoint(100, 150));
    EXPECT_EQ(Form->size(), QSize(500, 400));
}

// Without a stored placement the window manager places the window; stored values that would put it
// off every screen or give it no size are not used (nor written back); a minimised state starts
// normal.
TEST_F(MainFormTest, OnlyAStoredUsablePlacementIsApplied) {
    TConcMainForm& fresh = Create();
    EXPECT_FALSE(fresh.testAttribute(Qt::WA_Moved)) << "no position of the user's choosing";
    EXPECT_EQ(fresh.size(), QSize(597, 547));
    Form.reset();
    ResetGlobalsForTest();

    WriteIni("[MainForm]\r\nWindowState=1\r\nLeft=-5000\r\nTop=20\r\nHeight=-20\r\nWidth=99999\r\n");
    TConcMainForm& bad = Create();
    EXPECT_FALSE(bad.testAttribute(Qt::WA_Moved));
    EXPECT_EQ(bad.size(), QSize(597, 547));
    EXPECT_EQ(bad.windowState(), Qt::WindowNoState);
    bad.show();
    Settle();
    EXPECT_FALSE(bad.isMinimized());
    Form.reset();
    const std::string ini = ReadWholeFile(IniPath());
    EXPECT_EQ(ini.find("-5000"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("99999"), std::string::npos) << ini;
    EXPECT_NE(ini.find("WindowState=0"), std::string::npos) << ini;
}

TEST_F(MainFormTest, FirstActivationLoadsProcessesAlignsAndBuildsMenusOnce) {
    const std::vector<std::string> files = {Dir.Write("en.txt", "The cat sleeps.\nThe dog runs.\n"),
                                            Dir.Write("fr.txt", "Le chat dort.\nLe chien court.\n")};
    AnswerLoad = [&](TParaLoadForm& Dialog) {
        FillLoadDialog(&Dialog, {LanguageNames[0], LanguageNames[1]}, files);
        Dialog.OkBtn->click();
    };
    TConcMainForm& form = Create();
    EXPECT_EQ(LoadDialogs, 0);
    form.show();
    for (int i = 0; i < 100 && !form.Activated(); ++i) Settle();
    Settle();
    EXPECT_TRUE(form.Activated());
    EXPECT_EQ(LoadDialogs, 1);
    EXPECT_TRUE(NewCorpusAsked);
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();
    ASSERT_EQ(LanguagesCount, 2);
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_TRUE(CorpusAligned());
    EXPECT_EQ(form.HintPanel()->text(), " 1 parallel file loaded");
    EXPECT_EQ(form.LanguagePanel()->text(), "6 / 6");
    for (QMenu* menu : {form.CollocateFrequencyDataMenu, form.AdvancedCollocationMenu,
                        form.FrequencyOrderMenu, form.AlphabeticalOrderMenu})
        EXPECT_EQ(TextsOf(menu), QStringList({"All", "", QString::fromStdString(LanguageNames[0]),
                                              QString::fromStdString(LanguageNames[1])}));

    form.FormActivate();
    form.activateWindow();
    Settle();
    EXPECT_EQ(LoadDialogs, 1);
}

TEST_F(MainFormTest, ARaisingPassStillBuildsTheMenusAndPanelsAndReachesTheHandler) {
    TConcMainForm& form = Create();
    AddCorpus(2, 2);
    // A heading expression the pass cannot compile, as the preferences may hold one (it applies to a
    // corpus not aligned by markup).
    CommonConfig->AlignFormat = 0;
    LanguageConfigs[0]->HeadingFormat = 2;
    LanguageConfigs[0]->HPattern = "(";
    EXPECT_FALSE(DeliverCatching([&] {
        form.FormActivate();
        return true;
    }));
    EXPECT_EQ(LoadDialogs, 0);
    EXPECT_EQ(TagsOf(form.FrequencyOrderMenu), QList<int>({-1, -2, 0, 1}));
    EXPECT_EQ(form.HintPanel()->text(), " 2 parallel files loaded");
    ASSERT_EQ(Script.Messages.size(), 1u);
    EXPECT_EQ(Script.Messages[0].Type, mtError);
    EXPECT_FALSE(Align12 && Align12->GetItem(0)) << "nothing aligned after the failed pass";
}

TEST_F(MainFormTest, TwoLanguagesSkipTheLoadingDialogAndAStoppedPassSkipsAlignment) {
    TConcMainForm& form = Create();
    AddCorpus(2);
    Script.OnProcessMessages = [] {
        if (ProgressForm) ProgressForm->CancelAllClicked();
    };
    form.FormActivate();
    EXPECT_EQ(LoadDialogs, 0);
    EXPECT_TRUE(CorpusNeedsProcessing());
    EXPECT_FALSE(Align12 && Align12->GetItem(0));
}

TEST_F(MainFormTest, IdleEnablingFollowsTheCorpusState) {
    TConcMainForm& form = Create();
    form.UpdateActions();
    EXPECT_FALSE(form.SearchMenu->menuAction()->isVisible());
    EXPECT_FALSE(form.WindowMenu->menuAction()->isVisible());
    EXPECT_TRUE(form.LoadCorpusFileAction->isEnabled());

    // Files not yet processed: the search stays off while the corpus commands come on.
    SetLanguages(2);
    AddFiles(0, {10});
    AddFiles(1, {12});
    form.UpdateActions();
    EXPECT_TRUE(form.SearchMenu->menuAction()->isVisible());
    EXPECT_FALSE(form.SearchAction->isEnabled());
    EXPECT_TRUE(form.UnloadCorpusAction->isEnabled());
    EXPECT_TRUE(form.CollectTagsAction->isEnabled());

    // A word list being printed disables the order items; unloading hides the menu and they keep that.
    PrintingWordList = true;
    form.UpdateActions();
    EXPECT_FALSE(form.FrequencyOrderMenu->menuAction()->isEnabled());
    EXPECT_FALSE(form.UnloadCorpusAction->isEnabled());
    LanguageConfigs[0]->Files.clear();
    LanguageConfigs[1]->Files.clear();
    PrintingWordList = false;
    form.UpdateActions();
    EXPECT_FALSE(form.FrequencyMenu->menuAction()->isVisible());
    EXPECT_FALSE(form.FrequencyOrderMenu->menuAction()->isEnabled());

    // Children show the Window menu; only a concordance window enables the collocation menus.
    AddChild("Concordance");
    form.UpdateActions();
    EXPECT_TRUE(form.WindowMenu->menuAction()->isVisible());
    EXPECT_FALSE(form.CollocateFrequencyDataMenu->menuAction()->isEnabled());
    EXPECT_FALSE(form.AdvancedCollocationMenu->menuAction()->isEnabled());

    WorkspaceLoaded = true;
    RecentWorkspaces = {"/a.tws", "/b.tws"};
    form.UpdateActions();
    EXPECT_TRUE(form.SaveWorkspaceAction->isEnabled());
    EXPECT_TRUE(form.SaveOnExitAction->isEnabled());
    EXPECT_TRUE(form.RecentWorkspacesAction->isEnabled());
}

TEST_F(MainFormTest, ProcessingAndAlignmentWindowStatesReachTheIdleRules) {
    TConcMainForm& form = Create();
    form.resize(900, 700);
    form.show();
    Settle();
    AddCorpus(2);

    // Not aligned: a corpus that needs processing is scanned, not aligned.
    form.UpdateActions();
    EXPECT_TRUE(form.CollectTagsAction->isEnabled());
    EXPECT_FALSE(form.AlignCorpusAction->isEnabled());
    ASSERT_TRUE(ProcessCorpus());
    form.UpdateActions();
    EXPECT_FALSE(form.CollectTagsAction->isEnabled());
    EXPECT_TRUE(form.AlignCorpusAction->isEnabled());

    // Aligned from the menu: searching waits while the alignment windows are open.
    Trigger(form.AlignCorpusAction);
    EXPECT_TRUE(CorpusAligned());
    form.UpdateActions();
    EXPECT_FALSE(form.AlignCorpusAction->isEnabled());
    EXPECT_TRUE(form.SearchAction->isEnabled());
    OpenAlignmentView(AlignViewParagraphLevel, 0, 1, 0, 0, 0);
    Settle();
    ASSERT_TRUE(AlignmentWindowsOpen());
    form.UpdateActions();
    EXPECT_FALSE(form.SearchAction->isEnabled());
    EXPECT_FALSE(form.ParallelSearchAction->isEnabled());
    form.CloseAllChildren();
    Settle();
    form.UpdateActions();
    EXPECT_TRUE(form.SearchAction->isEnabled());
    EXPECT_TRUE(form.ParallelSearchAction->isEnabled());
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();
}

// A corpus whose alignment was cancelled ("Different number of paragraphs...", Cancel) greys every
// search command: the status bar says that it is not aligned and what aligns it, until it is.
TEST_F(MainFormTest, AnUnalignedCorpusSaysSoAndWhatAlignsIt) {
    TConcMainForm& form = Create();
    form.resize(900, 700);
    // One paragraph more in the translation, aligned by sentence lengths.
    SetLanguages(2);
    CommonConfig->AlignFormat = afNotAligned;
    const char* Texts[2] = {"The house stands.\n\nThe river runs.\n",
                            "La maison reste.\n\nLe fleuve coule.\n\nUn paragraphe de plus.\n"};
    for (int L = 0; L < 2; ++L) {
        LanguageConfigs[size_t(L)]->ParagraphFormat = 2;  // an empty line ends a paragraph
        LoadLanguageFiles(L, false, false, LanguageNames[size_t(L)], LanguageIds[size_t(L)],
                          {{Dir.Write(std::to_string(L) + ".txt", Texts[L])}}, false);
    }
    int Asked = 0;
    SetAlignErrorDialog([&](auto&&...) {
        ++Asked;
        return 2;  // "Cancel"
    });
    form.show();
    EXPECT_TRUE(LoopUntil([&] { return form.HintPanel()->text().contains("not aligned"); }));
    EXPECT_EQ(Asked, 1);
    EXPECT_FALSE(CorpusAligned());
    EXPECT_FALSE(form.SearchAction->isEnabled());
    EXPECT_EQ(form.HintPanel()->text().toStdString(),
              " 1 parallel file loaded, not aligned: choose \"Align Corpus\" in the File menu");
    // A status text still shows over it while it is posted.
    PostStatusText("English - 0-0.txt");
    EXPECT_TRUE(LoopUntil([&] { return form.HintPanel()->text() == " English - 0-0.txt"; }));
    PostStatusText("");
    EXPECT_TRUE(LoopUntil([&] { return form.HintPanel()->text().contains("not aligned"); }));
    // File > "Align Corpus" is the command that runs the alignment again.
    form.UpdateActions();
    ASSERT_TRUE(form.AlignCorpusAction->isEnabled());
    form.AlignCorpusAction->trigger();
    EXPECT_EQ(Asked, 2);
    SetAlignErrorDialog(nullptr);
}

TEST_F(MainFormTest, AProcessedCorpusSaysItIsNotAlignedUntilAlignCorpusAlignsIt) {
    TConcMainForm& form = Create();
    form.resize(900, 700);
    form.show();
    Settle();
    AddCorpus(2);
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_TRUE(LoopUntil([&] { return form.HintPanel()->text().contains("not aligned"); }));
    EXPECT_EQ(form.HintPanel()->text().toStdString(),
              " 1 parallel file loaded, not aligned: choose \"Align Corpus\" in the File menu");
    QApplication::setActiveWindow(&form);
    QTest::mouseClick(form.menuBar(), Qt::LeftButton, {},
                      form.menuBar()->actionGeometry(form.FileMenu->menuAction()).center());
    ASSERT_TRUE(LoopUntil([&] { return form.FileMenu->isVisible(); }));
    QTest::mouseClick(form.FileMenu, Qt::LeftButton, {},
                      form.FileMenu->actionGeometry(form.AlignCorpusAction).center());
    EXPECT_TRUE(CorpusAligned());
    EXPECT_TRUE(LoopUntil([&] { return form.HintPanel()->text() == " 1 parallel file loaded"; }));
    EXPECT_EQ(form.HintPanel()->text().toStdString(), " 1 parallel file loaded");
    EXPECT_TRUE(form.SearchAction->isEnabled());
}

// Without a corpus nothing was read with the tag settings: "Tags Settings" stores every change on OK and
// asks nothing about scanning.
TEST_F(MainFormTest, TagsSettingsWithoutACorpusStoreEveryChangeAndAskNothing) {
    TConcMainForm& form = Create();
    form.show();
    Settle();
    Script.Messages.clear();
    bool Answered = false;
    QTimer::singleShot(0, [&] {
        auto* Dialog = qobject_cast<TTagConfigForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(Dialog);
        Dialog->TagStartEdit->setText("[");
        Dialog->TagStopEdit->setText("]");
        Dialog->PageDelimiterEdit->setText("@@");
        QTest::mouseClick(Dialog->OkBtn, Qt::LeftButton);
        Answered = true;
    });
    Trigger(form.NormalTagsAction);
    EXPECT_TRUE(Answered);
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();
    EXPECT_EQ(CommonConfig->TagStart, '[');
    EXPECT_EQ(CommonConfig->TagStop, ']');
    EXPECT_EQ(CommonConfig->PageSeparator, "@@");
}

TEST_F(MainFormTest, TheIdleHandlerRunsWhenTheEventLoopWaits) {
    TConcMainForm& form = Create();
    form.UpdateActions();
    ASSERT_FALSE(form.UnloadCorpusAction->isEnabled());
    AddFiles(0, {3});
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(form.UnloadCorpusAction->isEnabled());
}

// Four languages of millions of words: the word-count panel grows to show them whole, and in a window
// too narrow for them it shows the start with an ellipsis and the whole counts in its tooltip. The
// window can still be made narrow.
TEST_F(MainFormTest, WordCountsOfFourLanguagesShowWholeOrElidedWithATooltip) {
    TConcMainForm& form = Create();
    form.resize(800, 500);
    form.show();
    Settle();
    SetLanguages(4);
    for (int i = 0; i < 4; ++i) AddFiles(i, {12345678});
    form.UpdateLanguagePanel();
    Settle();
    TElidingLabel* counts = static_cast<TElidingLabel*>(form.LanguagePanel());
    EXPECT_EQ(counts->text(), "12,345,678 / 12,345,678 / 12,345,678 / 12,345,678");
    EXPECT_GE(counts->width(), counts->FullTextWidth());
    EXPECT_TRUE(counts->toolTip().isEmpty());
    EXPECT_LE(counts->geometry().right(), form.statusBar()->width());
    EXPECT_LE(form.HintPanel()->geometry().right(), counts->x());

    form.resize(330, 500);
    Settle();
    EXPECT_EQ(form.width(), 330);
    EXPECT_TRUE(counts->text().endsWith(QChar(0x2026))) << counts->text().toStdString();
    EXPECT_LE(counts->fontMetrics().horizontalAdvance(counts->text()), counts->contentsRect().width());
    EXPECT_EQ(counts->toolTip(), counts->FullText());
}

TEST_F(MainFormTest, StatusPanelsShowHintStatusTextFilesAndWordCounts) {
    TConcMainForm& form = Create();
    form.UpdateHintPanel();
    form.UpdateLanguagePanel();
    EXPECT_EQ(form.HintPanel()->text(), " No files added");
    EXPECT_EQ(form.LanguagePanel()->text(), "");

    SetLanguages(3);
    AddFiles(0, {1000, 234});
    AddFiles(1, {0, 0});
    AddFiles(2, {7});
    form.UpdateHintPanel();
    form.UpdateLanguagePanel();
    EXPECT_EQ(form.HintPanel()->text(), " 2 parallel files loaded");
    EXPECT_EQ(form.LanguagePanel()->text(), "1,234 / ?? / 7");

    PostStatusText("Scanning corpus");
    EXPECT_EQ(form.HintPanel()->text(), " 2 parallel files loaded");  // posted, not yet delivered
    Settle();
    EXPECT_EQ(form.HintPanel()->text(), " Scanning corpus");

    QStatusTipEvent tip("Loads the corpus files");
    QCoreApplication::sendEvent(&form, &tip);
    EXPECT_EQ(form.HintPanel()->text(), " Loads the corpus files");
    QStatusTipEvent none("");
    QCoreApplication::sendEvent(&form, &none);
    PostStatusText("");
    Settle();
    EXPECT_EQ(form.HintPanel()->text(), " 2 parallel files loaded");

    form.resize(700, 500);
    form.show();
    Settle();
    EXPECT_EQ(form.LanguagePanel()->width(), 195);
    EXPECT_LE(form.HintPanel()->width(), form.statusBar()->width() - 195);
    EXPECT_GT(form.HintPanel()->width(), 300);
    form.HintPanel()->setText(QString(500, 'x'));  // a long text does not hold the window wide
    form.resize(400, 500);
    Settle();
    EXPECT_EQ(form.width(), 400);
    EXPECT_LE(form.HintPanel()->width(), form.statusBar()->width() - 195);
}

TEST_F(MainFormTest, AStatusTextPostedToADestroyedWindowIsDropped) {
    Create();
    PostStatusText("late");
    Form.reset();
    Settle();
    EXPECT_EQ(GetAppMessenger(), nullptr);
}

TEST_F(MainFormTest, BroadcastDeliversOnceToEveryChildStillAliveLastToFirst) {
    TConcMainForm& form = Create();
    TTestChild* a = AddChild("a");
    TTestChild* b = AddChild("b");
    TTestChild* c = AddChild("c");
    TTestChild* d = AddChild("d");
    std::vector<QString> order;
    for (TTestChild* child : {a, b, c, d})
        child->OnMessage = [&order, child](int) { order.push_back(child->windowTitle()); };
    BroadcastToChildren(CM_FONTCHANGED, 1, 3);
    EXPECT_EQ(order, (std::vector<QString>{"a", "b", "c", "d"}));  // the topmost child last

    // b closes d (not reached yet) and a (already reached): d gets nothing, nobody gets it twice.
    order.clear();
    QPointer<TTestChild> gone1(a), gone2(d);
    b->OnMessage = [&](int) {
        order.push_back("b");
        d->parentWidget()->close();
        a->parentWidget()->close();
    };
    BroadcastToChildren(CM_DROPFILE, 0, 2);
    EXPECT_EQ(order, (std::vector<QString>{"a", "b", "c"}));
    Settle();
    EXPECT_TRUE(gone1.isNull());
    EXPECT_TRUE(gone2.isNull());

    // A child that closes itself, and the topmost child destroyed outright by another's handler.
    TTestChild* e = AddChild("e");
    form.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(e->parentWidget()));
    std::vector<QString> expected;
    for (QMdiSubWindow* sub : form.MdiArea()->subWindowList(QMdiArea::StackingOrder))
        if (sub->widget() != e) expected.push_back(sub->widget()->windowTitle());
    ASSERT_EQ(expected.size(), 2u);
    order.clear();
    b->OnMessage = [&](int) {
        order.push_back("b");
        b->parentWidget()->close();
    };
    c->OnMessage = [&](int) {
        order.push_back("c");
        delete e->parentWidget();
    };
    BroadcastToChildren(CM_MARKERSCHANGED, 0, 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(c->Received.back(), (TTestChild::TMessage{CM_MARKERSCHANGED, 0, 0}));
    Settle();
    EXPECT_EQ(form.MdiArea()->subWindowList().size(), 1);
}

TEST_F(MainFormTest, BroadcastReachesHiddenChildrenAndThoseThatRefusedToClose) {
    Create();
    TTestChild* hidden = AddChild("hidden");
    TTestChild* stubborn = AddChild("stubborn");
    TTestChild* closed = AddChild("closed");
    hidden->parentWidget()->hide();
    stubborn->RefuseClose = true;
    EXPECT_FALSE(stubborn->parentWidget()->close());
    QPointer<QWidget> closedSub(closed->parentWidget());
    EXPECT_TRUE(closedSub->close());
    ASSERT_FALSE(closedSub.isNull());  // destroyed later, closing meanwhile
    EXPECT_TRUE(closed->IsClosing());
    EXPECT_FALSE(stubborn->IsClosing());

    BroadcastToChildren(CM_SEGMENTINDEXDROPPED, 1, 0);
    const TTestChild::TMessage expected{CM_SEGMENTINDEXDROPPED, 1, 0};
    EXPECT_EQ(hidden->Received, std::vector<TTestChild::TMessage>{expected});
    EXPECT_EQ(stubborn->Received, std::vector<TTestChild::TMessage>{expected});
    EXPECT_TRUE(closed->Received.empty());
}

TEST_F(MainFormTest, FileMessagesRefreshThePanelAndReachTheChildren) {
    TConcMainForm& form = Create();
    SetLanguages(2);
    AddFiles(0, {100});
    AddFiles(1, {50, 60, 70});
    TTestChild* child = AddChild("result");
    SendToMainForm(CM_FILEADDED, 1, 0);
    // A run of messages refreshes the panel at a pace, not at each one.
    for (int i = 0; i < 100 && form.LanguagePanel()->text() != "100 / 180"; ++i) QTest::qWait(10);
    EXPECT_EQ(form.LanguagePanel()->text(), "100 / 180");

    LanguageConfigs[1]->Files[2].Object.WordCount = 0;
    LanguageConfigs[1]->Files[1].Object.WordCount = 0;
    LanguageConfigs[1]->Files[0].Object.WordCount = 0;
    SendToMainForm(CM_FREQSETTINGSCHANGED, 1, 0);  // settings only: the panel stays
    EXPECT_EQ(form.LanguagePanel()->text(), "100 / 180");
    SendToMainForm(CM_FREQSETTINGSCHANGED, 1, 1);
    EXPECT_EQ(form.LanguagePanel()->text(), "100 / ??");

    SendToMainForm(CM_FILEREMOVED, 1, 2);
    ASSERT_EQ(child->Received.size(), 1u);
    EXPECT_EQ(child->Received[0], (TTestChild::TMessage{CM_DROPFILE, 1, 2}));

    TFilePair pair{0, 2};
    SendToMainForm(CM_FILESEXCHANGED, 1, reinterpret_cast<intptr_t>(&pair));
    ASSERT_EQ(child->Received.size(), 2u);
    EXPECT_EQ(child->Received[1],
              (TTestChild::TMessage{CM_FILESEXCHANGED, 1, reinterpret_cast<intptr_t>(&pair)}));
}

TEST_F(MainFormTest, RemovingALanguageDropsItsFilesLastToFirstThenFreesIt) {
    Create();
    SetLanguages(3);
    AddFiles(2, {1, 2, 3});
    TTestChild* child = AddChild("view");
    bool configAliveDuringDrops = true;
    child->OnMessage = [&](int) { configAliveDuringDrops &= LanguageConfigs[2] != nullptr; };
    SendToMainForm(CM_REMOVELANGUAGE, 2, 0);
    EXPECT_EQ(child->Received, (std::vector<TTestChild::TMessage>{
                                   {CM_DROPFILE, 2, 2}, {CM_DROPFILE, 2, 1}, {CM_DROPFILE, 2, 0}}));
    EXPECT_TRUE(configAliveDuringDrops);
    EXPECT_EQ(LanguageConfigs[2], nullptr);
    EXPECT_EQ(LanguagesCount, 3);        // the sender drops the slot from the array
    SendToMainForm(CM_FILEADDED, 0, 0);  // the panel copes with the empty slot meanwhile
}

TEST_F(MainFormTest, OpenCorpusViewReusesAViewOfExactlyThatFile) {
    TConcMainForm& form = Create();
    form.resize(900, 700);
    form.show();
    Settle();
    AddCorpus(2, 2);
    const auto views = [&] {
        std::vector<std::pair<QMdiSubWindow*, int>> found;
        for (QMdiSubWindow* sub : form.MdiArea()->subWindowList())
            for (int f = 0; f < 2; ++f)
                if (IsCorpusViewOf(sub->widget(), 1, LanguageConfigs[1]->Files[size_t(f)].Name))
                    found.emplace_back(sub, f);
        return found;
    };
    SendToMainForm(CM_OPENCORPUSVIEW, 1, 1);
    Settle();
    ASSERT_EQ(views().size(), 1u);
    QMdiSubWindow* view = views()[0].first;
    EXPECT_EQ(views()[0].second, 1);

    TTestChild* other = AddChild("other");
    view->showMinimized();
    form.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(other->parentWidget()));
    SendToMainForm(CM_OPENCORPUSVIEW, 1, 1);
    Settle();
    EXPECT_EQ(views().size(), 1u);
    EXPECT_EQ(form.MdiArea()->activeSubWindow(), view);
    EXPECT_FALSE(view->isMinimized());

    SendToMainForm(CM_OPENCORPUSVIEW, 1, 0);
    Settle();
    EXPECT_EQ(views().size(), 2u);
    SendToMainForm(CM_OPENCORPUSVIEW, 1, 9);  // no such file: nothing
    Settle();
    EXPECT_EQ(form.MdiArea()->subWindowList().size(), 3);
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();
}

TEST_F(MainFormTest, ClientSizeAnswersTheMdiAreaPacked) {
    TConcMainForm& form = Create();
    form.resize(640, 480);
    form.show();
    Settle();
    const QSize size = form.MdiArea()->viewport()->size();
    const intptr_t packed = SendToMainForm(CM_GETCLIENTSIZE, 0, 0);
    EXPECT_EQ(packed >> 16, size.width());
    EXPECT_EQ(packed & 0xFFFF, size.height());
    EXPECT_GT(size.height(), 0);
}

TEST_F(MainFormTest, ClosingIsRefusedWhileBusyAndWritesThePreferencesOtherwise) {
    TConcMainForm& form = Create();
    CommonConfig->MaximumHits = 777;
    std::filesystem::remove(IniPath());

    PrintingWordList = true;
    EXPECT_FALSE(form.close());
    PrintingWordList = false;
    BeginWait();  // a long operation pumping events
    EXPECT_FALSE(form.close());
    EndWait();
    EXPECT_TRUE(Script.Messages.empty());
    EXPECT_EQ(ReadWholeFile(IniPath()), "");

    EXPECT_TRUE(form.close());
    EXPECT_NE(ReadWholeFile(IniPath()).find("MaximumHits=777"), std::string::npos);
}

TEST_F(MainFormTest, ClosingWithAWorkspaceSavesItOnlyWithSaveOnExit) {
    TConcMainForm& form = Create();
    TTempDir dir;
    WorkspaceLoaded = true;
    WorkspaceFileName = dir.File("Work.TWS");
    SaveOnExit = false;
    std::filesystem::remove(IniPath());
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(std::filesystem::exists(WorkspaceFileName));
    EXPECT_FALSE(std::filesystem::exists(IniPath()) && !ReadWholeFile(IniPath()).empty());

    // Saved without asking for the options: no dialog would be answered here.
    SaveOnExit = true;
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(std::filesystem::exists(WorkspaceFileName));
    EXPECT_EQ(ReadWholeFile(dir.File("Work.BIN")).substr(4, 8), "CONCORDS");

    // A save that fails is reported inside the close handler, and the window stays open with the work.
    WorkspaceFileName = dir.File("missing-folder/Work.TWS");
    bool closed = true;
    EXPECT_NO_THROW(closed = form.close());
    EXPECT_FALSE(closed);
    ASSERT_EQ(Script.Messages.size(), 1u);
    EXPECT_NE(Script.Texts()[0].find("missing-folder\" does not exist"), std::string::npos)
        << Script.Texts()[0];
}

TEST_F(MainFormTest, CloseAllChildrenDestroysThemWhileTheyCanStillTalk) {
    TConcMainForm& form = Create();
    TTestChild* a = AddChild("a");
    AddChild("b");
    TTestChild* c = AddChild("c");
    int farewells = 0;
    // A child that announces its end to the others as it is destroyed.
    QObject::connect(c, &QObject::destroyed, [&] {
        BroadcastToChildren(CM_CONCORDCLOSED, 0, 0);
        ++farewells;
    });
    form.CloseAllChildren();
    EXPECT_EQ(farewells, 1);
    EXPECT_TRUE(form.MdiArea()->subWindowList().isEmpty());
    (void)a;
}

TEST_F(MainFormTest, DestroyingTheWindowDestroysTheChildrenBeforeWritingThePlacement) {
    Create();
    TTestChild* child = AddChild("a");
    std::string iniWhenTheChildWent = "child not destroyed";
    QObject::connect(child, &QObject::destroyed, [&] { iniWhenTheChildWent = ReadWholeFile(IniPath()); });
    Form.reset();
    EXPECT_EQ(iniWhenTheChildWent.find("[MainForm]"), std::string::npos) << iniWhenTheChildWent;
    EXPECT_NE(ReadWholeFile(IniPath()).find("[MainForm]"), std::string::npos);
}

TEST_F(MainFormTest, WaitCursorUsesTheOverrideCursorOnlyAtTheOutermostLevel) {
    Create();
    BeginWait();
    BeginWait();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EndWait();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    EndWait();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainFormTest, ExitActionRunsTheCloseSequence) {
    TConcMainForm& form = Create();
    form.show();
    PrintingWordList = true;
    form.ExitAction->trigger();
    EXPECT_TRUE(form.isVisible());
    PrintingWordList = false;
    form.ExitAction->trigger();
    EXPECT_FALSE(form.isVisible());
}

TEST(ApplicationObject, ExceptionsAreShownAndTheSilentAbortIsSwallowed) {
    TScriptedBackend script;
    EXPECT_FALSE(DeliverCatching([]() -> bool { throw EConcError("Invalid alignment."); }));
    EXPECT_FALSE(DeliverCatching([]() -> bool { Abort(); }));
    EXPECT_FALSE(DeliverCatching([]() -> bool { throw 42; }));
    EXPECT_TRUE(DeliverCatching([] { return true; }));
    ASSERT_EQ(script.Messages.size(), 2u);
    EXPECT_EQ(script.Messages[0].Text, "Invalid alignment.");
    EXPECT_EQ(script.Messages[0].Type, mtError);
}

TEST_F(MainFormTest, TheMenuBarHoldsOnlyCommandsThatAreCarriedOut) {
    TConcMainForm& form = Create();
    QStringList bar;
    for (QAction* a : form.menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, QStringList({"&File", "&Search", "Fre&quency", "&Window", "&Info"}));
    EXPECT_EQ(form.InfoMenu->actions(), QList<QAction*>{form.AboutAction});
    EXPECT_EQ(form.TagsSettingsMenu->actions(),
              (QList<QAction*>{form.NormalTagsAction, form.PartofSpeechTagsAction}));
    EXPECT_EQ(form.PartofSpeechTagsAction->text(), "&Special Tags...");
    QList<QAction*> frequency;
    for (QAction* a : form.FrequencyMenu->actions())
        if (!a->isSeparator()) frequency << a;
    EXPECT_EQ(
        frequency,
        (QList<QAction*>{form.CollocateFrequencyDataMenu->menuAction(),
                         form.AdvancedCollocationMenu->menuAction(), form.FrequencyOrderMenu->menuAction(),
                         form.AlphabeticalOrderMenu->menuAction(), form.FrequencyOptionsAction,
                         form.FrequencyCopyToCB, form.FrequencySaveAction, form.FrequencyPrintAction}));
    QList<QAction*> file;
    for (QAction* a : form.FileMenu->actions())
        if (!a->isSeparator()) file << a;
    EXPECT_EQ(file,
              (QList<QAction*>{form.LoadCorpusFileAction, form.ViewCorpusFileAction, form.UnloadCorpusAction,
                               form.OpenWorkspaceAction, form.SaveWorkspaceAction, form.SaveWorkspaceAsAction,
                               form.SaveOnExitAction, form.RecentWorkspacesAction,
                               form.TagsSettingsMenu->menuAction(), form.CollectTagsAction,
                               form.AlignCorpusAction, form.PrintSetupItem, form.ExitAction}));
    EXPECT_EQ(form.SearchMenu->actions(),
              (QList<QAction*>{form.SearchAction, form.AdvancedSearchAction, form.ParallelSearchAction,
                               form.SearchOptionsAction}));
    EXPECT_EQ(form.SearchAction->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(form.ParallelSearchAction->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(form.LoadCorpusFileAction->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(form.ViewCorpusFileAction->text(), "&View Corpus Alignment...");
    EXPECT_EQ(form.ViewCorpusFileAction->shortcut(), QKeySequence("Ctrl+V"));
}

namespace {

// What a menu draws for an entry: its caption, a tab, and the key it shows.
class TMenuLook : public QMenu {
public:
    static QString Drawn(QMenu* Menu, QAction* Entry) {
        QStyleOptionMenuItem Option;
        // Reached through a member pointer: the menu is a plain QMenu, so casting it to this class
        // would be undefined.
        const auto Init = &TMenuLook::initStyleOption;
        (Menu->*Init)(&Option, Entry);
        return Option.text;
    }
};

}  // namespace

// An entry shows a key only when that key runs it: Ctrl+O opens a workspace, so "Search Options..."
// shows none.
TEST_F(MainFormTest, EveryMenuEntryShowsOnlyTheKeyThatRunsIt) {
    TConcMainForm& form = Create();
    form.show();
    std::vector<QMenu*> Menus;
    for (QAction* Top : form.menuBar()->actions())
        if (Top->menu()) Menus.push_back(Top->menu());
    int Entries = 0;
    for (size_t I = 0; I < Menus.size(); ++I) {
        QMenu* Menu = Menus[I];
        Menu->popup(form.mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(LoopUntil([Menu] { return Menu->isVisible(); }));
        for (QAction* A : Menu->actions()) {
            if (A->isSeparator()) continue;
            if (A->menu()) Menus.push_back(A->menu());
            const QString Drawn = TMenuLook::Drawn(Menu, A);
            const QString Shown = Drawn.contains('\t') ? Drawn.section('\t', 1) : QString();
            EXPECT_EQ(Shown.toStdString(), A->shortcut().toString(QKeySequence::NativeText).toStdString())
                << Drawn.toStdString();
            ++Entries;
        }
        Menu->hide();
    }
    EXPECT_GT(Entries, 20);
    EXPECT_EQ(TMenuLook::Drawn(form.SearchMenu, form.SearchOptionsAction).toStdString(),
              "Search &Options...");
    const QList<QAction*> OnCtrlO = form.findChildren<QAction*>();
    EXPECT_EQ(std::count_if(OnCtrlO.begin(), OnCtrlO.end(),
                            [](QAction* A) { return A->shortcut() == QKeySequence("Ctrl+O"); }),
              1);
    EXPECT_EQ(form.OpenWorkspaceAction->shortcut(), QKeySequence("Ctrl+O"));
}

TEST_F(MainFormTest, FrequencySubmenusListTheLanguagesAndTheOptionsFollowTheFocusedGrid) {
    TConcMainForm& form = Create();
    const char* Names[3] = {"English (United States)", "French (France)", "German (Germany)"};
    for (int L = 0; L < 3; ++L) {
        if (!LanguageConfigs[size_t(L)]) LanguageConfigs[size_t(L)] = std::make_unique<TConcordConfig>(L);
        LanguageConfigs[size_t(L)]->SetLanguage(1033, Names[L]);
    }
    LanguagesCount = 3;
    form.BuildLanguageMenus();
    for (QMenu* menu : {form.FrequencyOrderMenu, form.AlphabeticalOrderMenu}) {
        QStringList texts;
        QList<int> tags;
        for (QAction* a : menu->actions()) {
            texts << a->text();
            tags << a->data().toInt();
        }
        EXPECT_EQ(texts, QStringList({"All", "", Names[0], Names[1], Names[2]}));
        EXPECT_EQ(tags, QList<int>({-1, -2, 0, 1, 2}));
    }

    form.resize(800, 600);
    form.show();
    TWordListForm* list =
        TWordListForm::CreateForList(form.MdiArea(), nullptr, -1, TWordListMode::FrequencyOrder);
    list->Grid(2)->setFocus();
    int shown = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TFreqConfigForm*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shown = dialog->ShownLanguage();
        EXPECT_TRUE(dialog->LanguageCombo->isEnabled());
        dialog->done(QDialog::Rejected);
    });
    form.FrequencyOptionsAction->trigger();
    EXPECT_EQ(shown, 2);
}

TEST_F(MainFormTest, WindowCommandsTileCascadeAndArrangeTheChildren) {
    TConcMainForm& form = Create();
    form.resize(800, 600);
    form.show();
    Settle();
    std::vector<QMdiSubWindow*> subs;
    for (const char* title : {"a", "b", "c"})
        subs.push_back(qobject_cast<QMdiSubWindow*>(AddChild(title)->parentWidget()));
    const QRect area = form.MdiArea()->viewport()->rect();
    // The children carry the program's icon, not the toolkit's logo.
    EXPECT_FALSE(form.windowIcon().isNull());
    for (QMdiSubWindow* sub : subs) EXPECT_EQ(sub->windowIcon().cacheKey(), form.windowIcon().cacheKey());

    form.TileHorizontalAction->trigger();
    for (size_t i = 0; i < subs.size(); ++i) {
        EXPECT_TRUE(area.contains(subs[i]->geometry())) << i;
        for (size_t k = i + 1; k < subs.size(); ++k)
            EXPECT_FALSE(subs[i]->geometry().intersects(subs[k]->geometry()));
    }

    // Cascaded, each window stands lower and further right than another one.
    form.CascadeAction->trigger();
    std::vector<QPoint> corners;
    for (QMdiSubWindow* sub : subs) corners.push_back(sub->pos());
    std::sort(corners.begin(), corners.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); });
    for (size_t i = 1; i < corners.size(); ++i) {
        EXPECT_GT(corners[i].x(), corners[i - 1].x());
        EXPECT_GT(corners[i].y(), corners[i - 1].y());
    }

    // Minimised windows moved about go back to a row along the bottom, in the order they were opened.
    subs[0]->showMinimized();
    subs[2]->showMinimized();
    subs[0]->move(300, 40);
    subs[2]->move(10, 200);
    const QRect normal = subs[1]->geometry();
    form.ArrangeAction->trigger();
    EXPECT_EQ(subs[0]->geometry().bottomLeft(), QPoint(0, area.height() - 1));
    EXPECT_EQ(subs[2]->geometry().bottomLeft(), QPoint(subs[0]->width(), area.height() - 1));
    EXPECT_EQ(subs[1]->geometry(), normal);
}

TEST_F(MainFormTest, WindowMenuListsTheChildrenAndActivatesTheChosenOne) {
    TConcMainForm& form = Create();
    form.show();
    TTestChild* first = AddChild("Concordance - water");
    AddChild("Corpus Text - a.txt");
    // A caption made of what the user typed is listed as typed: its "&" underlines nothing.
    AddChild(LiteralWindowTitle("Parallel Concordance - [*] & [a]"));
    emit form.WindowMenu->aboutToShow();
    QStringList texts;
    QAction* firstItem = nullptr;
    for (QAction* a : form.WindowMenu->actions()) {
        texts << a->text();
        if (a->text().endsWith("water")) firstItem = a;
    }
    EXPECT_EQ(texts, QStringList({"&Tile", "&Cascade", "&Arrange Icons", "", "&1 Concordance - water",
                                  "&2 Corpus Text - a.txt", "&3 Parallel Concordance - [*] && [a]"}));
    ASSERT_NE(firstItem, nullptr);
    EXPECT_FALSE(firstItem->isChecked());
    firstItem->trigger();
    EXPECT_EQ(form.MdiArea()->currentSubWindow(), first->parentWidget());
    emit form.WindowMenu->aboutToShow();
    EXPECT_TRUE(form.WindowMenu->actions().at(4)->isChecked());
}

// What the first activation raises from the window's own event handlers and timers is reported there:
// nothing crosses Qt's event code (the test's application object has no catching notify).
TEST_F(MainFormTest, AnExceptionOfTheFirstActivationIsReportedInsideTheHandler) {
    TConcMainForm& form = Create();
    AddCorpus(2);
    CommonConfig->AlignFormat = 0;
    LanguageConfigs[1]->HeadingFormat = 2;
    LanguageConfigs[1]->HPattern = "[a-";
    form.show();
    form.activateWindow();
    EXPECT_NO_THROW(Settle());
    EXPECT_TRUE(form.Activated());
    ASSERT_EQ(Script.Messages.size(), 1u);
    EXPECT_EQ(Script.Messages[0].Type, mtError);
    EXPECT_EQ(form.LanguagePanel()->text(), "9 / ??") << "the language processed before the failure counts";
}

// While a job that pumps events runs (wait cursor, progress window or search window), the commands
// that would free or replace the corpus under it go off at once, before any idle time, and closing
// is refused: one busy test for both.
TEST_F(MainFormTest, ARunningJobDisablesTheCorpusCommandsAndRefusesTheClose) {
    TConcMainForm& form = Create();
    SetLanguages(2);
    AddFiles(0, {10});
    AddFiles(1, {12});
    form.UpdateActions();
    const std::vector<QAction*> corpusCommands = {form.LoadCorpusFileAction, form.UnloadCorpusAction,
                                                  form.OpenWorkspaceAction,  form.SaveWorkspaceAsAction,
                                                  form.NormalTagsAction,     form.FrequencyOptionsAction};
    for (QAction* a : corpusCommands) ASSERT_TRUE(a->isEnabled()) << a->text().toStdString();

    BeginWait();
    for (QAction* a : corpusCommands) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_FALSE(form.close());
    EndWait();
    form.UpdateActions();

    {
        auto job = ShowProgressForm(0, "Processing", "a.txt", 10, 0, "");
        form.UpdateActions();
        EXPECT_FALSE(form.LoadCorpusFileAction->isEnabled());
        EXPECT_FALSE(form.close());
    }
    {
        TDoubleProgressForm search;
        form.UpdateActions();
        EXPECT_FALSE(form.UnloadCorpusAction->isEnabled());
        EXPECT_FALSE(form.close());
    }
    form.UpdateActions();
    EXPECT_TRUE(form.LoadCorpusFileAction->isEnabled());
    EXPECT_TRUE(form.close());
}

// Captions are the program's own: the window system gets them without the application's name added.
TEST_F(MainFormTest, CaptionsReachTheWindowSystemAsGiven) {
    TConcMainForm& form = Create();
    form.show();
    Settle();
    EXPECT_TRUE(QGuiApplication::applicationDisplayName() == QCoreApplication::applicationName());
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_EQ(form.windowHandle()->title(), "Tessivor");
    WorkspaceLoaded = true;
    WorkspaceFileName = "/data/MYCORPUS.TWS";
    form.UpdateCaption();
    EXPECT_EQ(form.windowHandle()->title(), "Tessivor - Mycorpus");
    // A workspace's name is shown as it is, even one holding the toolkit's mark of a modified document.
    WorkspaceFileName = "/data/[*] notes.TWS";
    form.UpdateCaption();
    EXPECT_EQ(form.windowHandle()->title(), "Tessivor - [*] notes");
}

// One cause, one box: a preferences file that cannot be read is reported once at start.
TEST_F(MainFormTest, AnUnreadablePreferencesFileIsReportedOnce) {
    std::filesystem::create_directory(IniPath());
    const int result = RunProgram([](QWidget* MainWindow) {
        if (MainWindow) ExitOnceActivated(MainWindow, nullptr);
    });
    std::filesystem::remove_all(IniPath());
    EXPECT_EQ(result, 0);
    ASSERT_EQ(Script.Messages.size(), 1u);
    EXPECT_EQ(Script.Messages[0].Text, "Could not read from configuration file " + IniPath() + "!");
}

// A file that reads but is no settings file: one note at start, a copy kept beside, and the settings of the
// run written in its place at exit.
TEST_F(MainFormTest, ADamagedPreferencesFileIsReportedOnceAndKeptBeside) {
    const std::string damaged = "[ConcordanceConfiguration\r\nMaximumHits=7\r\n\x01\x02\x03";
    WriteIni(damaged);
    const std::string kept = IniPath() + ".unreadable";
    std::filesystem::remove(kept);
    const int result = RunProgram([](QWidget* MainWindow) {
        if (MainWindow) ExitOnceActivated(MainWindow, [] { CommonConfig->MaximumHits = 321; });
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{DamagedPreferencesText(IniPath(), kept)});
    EXPECT_EQ(ReadWholeFile(kept), damaged);
    EXPECT_NE(ReadWholeFile(IniPath()).find("MaximumHits=321"), std::string::npos);
    std::filesystem::remove(kept);
}

TEST_F(MainFormTest, LoadAndScanCommandsProcessThenAlignOrOnlyFitThePairLists) {
    TConcMainForm& form = Create();
    AddCorpus(3);
    ASSERT_FALSE(Align12);

    // Lowered to two languages, then cancelled without applying: the three languages stay, and the menus
    // (not built before) follow whatever the dialog left.
    AnswerLoad = [](TParaLoadForm& Dialog) {
        Dialog.CountBox->setCurrentIndex(0);
        emit Dialog.CountBox->activated(0);
        Dialog.CancelBtn->click();
    };
    Script.Answers.push_back(mrNo);  // the changes are not applied
    Trigger(form.LoadCorpusFileAction);
    EXPECT_EQ(LoadDialogs, 1);
    EXPECT_FALSE(NewCorpusAsked);
    ASSERT_EQ(LanguagesCount, 3);
    for (QMenu* menu : {form.CollocateFrequencyDataMenu, form.AdvancedCollocationMenu,
                        form.FrequencyOrderMenu, form.AlphabeticalOrderMenu})
        EXPECT_EQ(TagsOf(menu), QList<int>({-1, -2, 0, 1, 2}));
    EXPECT_TRUE(CorpusNeedsProcessing()) << "a cancelled dialog processes nothing";
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"You have made changes. Apply them now?"});
    Script.Messages.clear();

    // OK, and the user stops the pass: the pair lists get their slot for the file, still empty.
    AnswerLoad = [](TParaLoadForm& Dialog) { Dialog.OkBtn->click(); };
    Script.OnProcessMessages = [] {
        if (ProgressForm) ProgressForm->CancelAllClicked();
    };
    Trigger(form.LoadCorpusFileAction);
    for (TDoubleAlignIndexes* pairs : {Align12.get(), Align13.get()}) {
        ASSERT_TRUE(pairs);
        EXPECT_EQ(pairs->Count(), 1);
        EXPECT_EQ(pairs->GetItem(0), nullptr);
    }

    // OK with the pass completed: processed, then aligned; the panels follow.
    Script.OnProcessMessages = nullptr;
    Trigger(form.LoadCorpusFileAction);
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_TRUE(CorpusAligned());
    EXPECT_EQ(form.LanguagePanel()->text(), "9 / 9 / 9");
    EXPECT_EQ(form.HintPanel()->text(), " 1 parallel file loaded");

    // Scan Corpus on files registered anew: a stopped pass aligns nothing, a completed one aligns.
    Trigger(form.UnloadCorpusAction);
    AddCorpus(3);
    Script.OnProcessMessages = [] {
        if (ProgressForm) ProgressForm->CancelAllClicked();
    };
    Trigger(form.CollectTagsAction);
    EXPECT_TRUE(CorpusNeedsProcessing());
    EXPECT_FALSE(Align12 && Align12->GetItem(0));
    Script.OnProcessMessages = nullptr;
    Trigger(form.CollectTagsAction);
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_TRUE(CorpusAligned());
    EXPECT_EQ(form.LanguagePanel()->text(), "9 / 9 / 9");
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();
}

// File > "Print Setup..." chooses the printer for the jobs to come: its button says OK, not Print, and
// confirming it prints nothing.
TEST_F(MainFormTest, PrintSetupConfirmsWithOkAndPrintsNothing) {
    TConcMainForm& form = Create();
    form.resize(800, 600);
    form.show();
    Settle();
    RegisterPrintDialog();
    const std::filesystem::path Pdf = std::filesystem::temp_directory_path() / "print-setup-test.pdf";
    std::filesystem::remove(Pdf);
    SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    SharedPrinter().setOutputFileName(QString::fromStdString(Pdf.string()));
    QStringList Buttons;
    bool Shown = false;
    WhenModal<QPrintDialog>([&](QPrintDialog* Dialog) {
        Shown = true;
        QPushButton* Ok = nullptr;
        for (QDialogButtonBox* Box : Dialog->findChildren<QDialogButtonBox*>())
            for (QAbstractButton* Button : Box->buttons()) {
                if (!Button->isVisible()) continue;
                Buttons << Button->text();
                if (Box->buttonRole(Button) == QDialogButtonBox::AcceptRole)
                    Ok = qobject_cast<QPushButton*>(Button);
            }
        ASSERT_NE(Ok, nullptr);
        Ok->click();
    });
    QAction* File = form.FileMenu->menuAction();
    QTimer::singleShot(0, [&form] {
        auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_EQ(Menu, form.FileMenu);
        const QPoint At = Menu->actionGeometry(form.PrintSetupItem).center();
        QTest::mouseClick(Menu, Qt::LeftButton, {}, At);
    });
    QTest::mouseClick(form.menuBar(), Qt::LeftButton, {}, form.menuBar()->actionGeometry(File).center());
    QTRY_VERIFY(Shown);
    Settle();
    EXPECT_TRUE(Buttons.contains("OK")) << Buttons.join(", ").toStdString();
    for (const QString& Text : Buttons) EXPECT_FALSE(Text.contains("Print")) << Text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    // The choice stays for the next job.
    EXPECT_EQ(SharedPrinter().outputFileName().toStdString(), Pdf.string());
    SetPrintDialog(nullptr);
    SetPrintSetupDialog(nullptr);
}
