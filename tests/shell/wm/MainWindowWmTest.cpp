// The main window, its progress windows and message dialogs as the window manager (openbox on a
// virtual display) gets them: frame positions, captions, focus, transients and minimising.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ui/ConcProgress.h"
#include "controls/MessageForm.h"
#include "controls/ProgressForm.h"
#include "controls/QtBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcPrefs.h"
#include "shell/ConcMain.h"
#include "tests/support/TestSupport.h"
#include "tests/wm/WmSupport.h"

namespace {

std::string IniPath() {
    const char* dir = std::getenv("TESSIVOR_CONFIG_DIR");
    return std::string(dir ? dir : "") + "/" + IniFileName;
}

void WriteIni(const std::string& Content) {
    std::ofstream(IniPath(), std::ios::binary) << Content;
}

std::string Placement(int State, int Left, int Top, int Width, int Height) {
    return "[MainForm]\r\nWindowState=" + std::to_string(State) + "\r\nLeft=" + std::to_string(Left) +
           "\r\nTop=" + std::to_string(Top) + "\r\nHeight=" + std::to_string(Height) +
           "\r\nWidth=" + std::to_string(Width) + "\r\n";
}

class MainWindowUnderWm : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove(IniPath());
        Backend = &RegisterQtBackend();
    }
    void TearDown() override {
        Backend->SetMainWindow(nullptr);
        Form.reset();
        wm::Settle(50);
        ResetGlobalsForTest();
        SetMessageBackend(nullptr);
        SetProgressBackend(nullptr);
    }

    // The main window as the program starts it, shown and managed. The preferences name two languages,
    // so that the first activation opens no loading dialog to take the focus these tests watch.
    uint32_t Start() {
        if (ReadWholeFile(IniPath()).find("LanguagesCount=") == std::string::npos)
            std::ofstream(IniPath(), std::ios::binary | std::ios::app)
                << "[GeneralConfiguration]\r\nLanguagesCount=2\r\n";
        InitConfigUnit();
        Form = std::make_unique<TConcMainForm>();
        Backend->SetMainWindow(Form.get());
        Form->show();
        const uint32_t window = wm::WindowOf(Form.get());
        EXPECT_TRUE(wm::WaitFor([&] { return wm::Viewable(window) && Form->Activated(); }));
        wm::Settle();
        return window;
    }

    void Stop() {
        Backend->SetMainWindow(nullptr);
        Form.reset();
        ResetGlobalsForTest();
    }

    TQtBackend* Backend = nullptr;
    std::unique_ptr<TConcMainForm> Form;
};

}  // namespace

TEST_F(MainWindowUnderWm, AFirstStartLeavesThePositionToTheWindowManager) {
    const uint32_t main = Start();
    EXPECT_FALSE(wm::PositionRequested(main));
    const QRect frame = wm::FrameRect(main);
    EXPECT_GE(frame.top(), 0) << "the title bar is on the screen";
    EXPECT_GE(frame.left(), 0);
    EXPECT_EQ(wm::ClientRect(main).size(), QSize(597, 547));
    EXPECT_EQ(wm::Caption(main), "Tessivor");
}

// The user's window at 300,250, 700 x 500, is maximised and the program closed: the next start opens
// maximised, and un-maximised the window's frame is back at 300,250 with its size.
TEST_F(MainWindowUnderWm, AMaximisedCloseKeepsTheNormalPlacement) {
    WriteIni(Placement(0, 300, 250, 700, 500));
    uint32_t main = Start();
    EXPECT_TRUE(wm::PositionRequested(main));
    EXPECT_EQ(wm::FrameRect(main).topLeft(), QPoint(300, 250));
    EXPECT_EQ(wm::ClientRect(main).size(), QSize(700, 500));

    wm::Maximize(main, true);
    ASSERT_TRUE(wm::WaitFor([&] { return Form->isMaximized(); }));
    wm::Settle();
    EXPECT_TRUE(Form->close());
    Stop();
    const std::string ini = ReadWholeFile(IniPath());
    for (const char* key : {"WindowState=2", "Left=300", "Top=250", "Height=500", "Width=700"})
        EXPECT_NE(ini.find(key), std::string::npos) << key << " in\n" << ini;

    main = Start();
    EXPECT_TRUE(wm::HasState(main, "_NET_WM_STATE_MAXIMIZED_VERT"));
    wm::Maximize(main, false);
    ASSERT_TRUE(wm::WaitFor([&] { return !wm::HasState(main, "_NET_WM_STATE_MAXIMIZED_VERT"); }));
    ASSERT_TRUE(wm::WaitFor([&] { return wm::FrameRect(main).topLeft() == QPoint(300, 250); }))
        << wm::FrameRect(main).x() << "," << wm::FrameRect(main).y();
    EXPECT_EQ(wm::ClientRect(main).size(), QSize(700, 500));
}

// Moved after the start, the window keeps tracking its normal frame: closed while maximised, it
// writes where it was moved to, not where it started.
TEST_F(MainWindowUnderWm, AMoveAfterTheStartIsTheNormalPlacementOfAMaximisedClose) {
    WriteIni(Placement(0, 300, 250, 700, 500));
    const uint32_t main = Start();
    Form->move(200, 150);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::FrameRect(main).topLeft() == QPoint(200, 150); }))
        << wm::FrameRect(main).x() << "," << wm::FrameRect(main).y();
    wm::Maximize(main, true);
    ASSERT_TRUE(wm::WaitFor([&] { return Form->isMaximized(); }));
    wm::Settle();
    EXPECT_TRUE(Form->close());
    Stop();
    const std::string ini = ReadWholeFile(IniPath());
    for (const char* key : {"WindowState=2", "Left=200", "Top=150", "Height=500", "Width=700"})
        EXPECT_NE(ini.find(key), std::string::npos) << key << " in\n" << ini;
}

// Stored values that would put the window off the screen, or give it no size, are not used (nor
// written back); a stored minimised state does not hide the program at start.
TEST_F(MainWindowUnderWm, UnusableStoredPlacementsFallBackToTheDefault) {
    WriteIni(Placement(1, -5000, 20, 99999, -20));
    const uint32_t main = Start();
    EXPECT_FALSE(wm::HasState(main, "_NET_WM_STATE_HIDDEN"));
    EXPECT_TRUE(wm::Viewable(main));
    const QRect frame = wm::FrameRect(main);
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(frame)) << frame.x() << "," << frame.y();
    EXPECT_EQ(wm::ClientRect(main).size(), QSize(597, 547));
    EXPECT_TRUE(Form->close());
    Stop();
    const std::string ini = ReadWholeFile(IniPath());
    EXPECT_EQ(ini.find("-5000"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("99999"), std::string::npos) << ini;
    EXPECT_NE(ini.find("WindowState=0"), std::string::npos) << ini;
}

// A progress window belongs to the main window: it never takes the focus, stays above the main
// window only, goes and comes back with it, and the window manager's close is its cancel button.
TEST_F(MainWindowUnderWm, ProgressWindowsBelongToTheMainWindow) {
    const uint32_t main = Start();
    wm::Activate(main);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == main; }));

    auto job = ShowProgressForm(1, "Processing", "/corpus/a.txt", 10, 0, "");
    ShowUnlessMinimized(job.get());
    auto* view = dynamic_cast<TProgressWindow*>(job->View());
    ASSERT_NE(view, nullptr);
    const uint32_t progress = wm::WindowOf(view);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::Viewable(progress); }));
    wm::Settle(300);
    EXPECT_EQ(wm::ActiveWindow(), main) << "the progress window took the focus";
    EXPECT_EQ(wm::TransientFor(progress), main);
    EXPECT_FALSE(wm::HasState(progress, "_NET_WM_STATE_ABOVE"));
    EXPECT_EQ(wm::Caption(progress), "Processing");

    wm::Iconify(main);
    ASSERT_TRUE(wm::WaitFor([&] { return !wm::Viewable(main); }));
    EXPECT_TRUE(wm::WaitFor([&] { return !wm::Viewable(progress); }));
    wm::Activate(main);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::Viewable(main); }));
    EXPECT_TRUE(wm::WaitFor([&] { return wm::Viewable(progress); }));

    wm::Close(progress);
    EXPECT_TRUE(wm::WaitFor([&] { return job->Tag == 1; })) << "closing is the cancel button";
    wm::Settle();
    EXPECT_TRUE(wm::Viewable(progress)) << "the job, not the close, frees the window";

    // The job still runs: the main window stays.
    wm::Close(main);
    wm::Settle();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Form->LoadCorpusFileAction->isEnabled());
}

// A message belongs to the active window, not to every program, comes above the progress windows,
// and carries its own caption only.
TEST_F(MainWindowUnderWm, AMessageBelongsToTheActiveWindowAndKeepsItsCaption) {
    const uint32_t main = Start();
    wm::Activate(main);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == main; }));
    auto job = ShowProgressForm(0, "Processing", "a.txt", 10, 0, "");
    ShowUnlessMinimized(job.get());
    const uint32_t progress = wm::WindowOf(dynamic_cast<QWidget*>(job->View()));
    ASSERT_TRUE(wm::WaitFor([&] { return wm::Viewable(progress); }));

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const uint32_t message = wm::WindowOf(box);
        ASSERT_TRUE(wm::WaitFor([&] { return wm::Viewable(message) && wm::ActiveWindow() == message; }));
        EXPECT_EQ(wm::Caption(message), "Error");
        EXPECT_EQ(wm::TransientFor(message), main);
        EXPECT_FALSE(wm::HasState(message, "_NET_WM_STATE_ABOVE"));
        const std::vector<uint32_t> stack = wm::Stacking();
        const auto at = [&](uint32_t W) { return std::find(stack.begin(), stack.end(), W) - stack.begin(); };
        EXPECT_GT(at(message), at(progress)) << "the message is hidden behind the progress window";
        seen = true;
        box->Button(mbOK)->click();
    });
    EXPECT_EQ(ShowError("Disk full."), mrOk);
    EXPECT_TRUE(seen);

    WorkspaceLoaded = true;
    WorkspaceFileName = "/data/MYCORPUS.TWS";
    Form->UpdateCaption();
    EXPECT_TRUE(wm::WaitFor([&] { return wm::Caption(main) == "Tessivor - Mycorpus"; })) << wm::Caption(main);
}

// A settings dialog that asks a question on OK and then closes (the search options asking whether the
// scanned information may go): the keyboard focus comes back to the main window. It once stayed with
// the window manager, so that no shortcut reached the program until the user clicked it.
TEST_F(MainWindowUnderWm, AQuestionBeforeADialogClosesLeavesTheFocusWithTheMainWindow) {
    const uint32_t main = Start();
    wm::Activate(main);
    ASSERT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == main; }));

    QDialog dialog(Form.get());
    auto* ok = new QPushButton("OK", &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            const uint32_t message = wm::WindowOf(box);
            ASSERT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == message; }));
            box->Button(mbYes)->click();
        });
        if (WarningYesNo("Word delimiters are changed. Continue?", true)) dialog.accept();
    });
    QTimer::singleShot(0, [&] {
        const uint32_t window = wm::WindowOf(&dialog);
        ASSERT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == window; }));
        ok->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(wm::WaitFor([&] { return wm::ActiveWindow() == main && Form->isActiveWindow(); }, 3000))
        << wm::ActiveWindow();
}
