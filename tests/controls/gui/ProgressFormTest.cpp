#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "controls/DblProgressForm.h"
#include "ui/Msg.h"
#include "controls/ProgressForm.h"
#include "controls/QtBackend.h"

namespace {

// The real progress windows for one test; the previous backends come back afterwards.
class ProgressWindows : public testing::Test {
protected:
    void SetUp() override {
        FMessages = GetMessageBackend();
        FProgress = GetProgressBackend();
        Backend = &RegisterQtBackend();
    }
    void TearDown() override {
        Backend->SetMainWindow(nullptr);
        SetMessageBackend(FMessages);
        SetProgressBackend(FProgress);
    }
    static TProgressWindow* Window(TProgressForm& Form) {
        return dynamic_cast<TProgressWindow*>(Form.View());
    }
    static TDblProgressWindow* Window(TDoubleProgressForm& Form) {
        return dynamic_cast<TDblProgressWindow*>(Form.View());
    }

    TQtBackend* Backend = nullptr;

private:
    IMessageBackend* FMessages = nullptr;
    IProgressBackend* FProgress = nullptr;
};

// A long operation as its callers run it: a window only above the threshold, the queue pumped every
// 256 items, stopped by the cancel code. Returns the number of items done.
int RunJob(int Items, int Threshold, int* Code) {
    std::unique_ptr<TProgressForm> form = ShowProgressForm(1, "Job", "Working...", Items, 0, "");
    if (Items > Threshold) ShowUnlessMinimized(form.get());
    int done = 0;
    for (; done < Items; ++done) {
        if (done % 256 == 0) {
            form->SetProgress(done);
            ProcessMessages();
            if (form->Tag != 0) break;
        }
    }
    *Code = form->Tag;
    return done;
}

}  // namespace

TEST_F(ProgressWindows, ButtonsOfEachModeWriteTheirCancelCodes) {
    auto form = ShowProgressForm(1, "Aligning", "File 1 of 3", 100, 0, "special");
    TProgressWindow* w = Window(*form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ProgressForm, form.get());
    EXPECT_FALSE(w->isVisible()) << "created, not shown";
    ShowUnlessMinimized(form.get());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "above its owner, not all programs";
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Aligning"));
    EXPECT_EQ(w->ProgressLabel->text(), QStringLiteral("File 1 of 3"));
    EXPECT_EQ(w->SpecialText->text(), QStringLiteral("special"));
    EXPECT_TRUE(w->SpecialText->isHidden());
    EXPECT_FALSE(w->Cancel1Btn->isHidden());
    EXPECT_FALSE(w->CancelAllBtn->isHidden());
    EXPECT_TRUE(w->CancelBtn->isHidden());

    QTest::mouseClick(w->CancelAllBtn, Qt::LeftButton);
    EXPECT_EQ(form->Tag, 2);
    QTest::mouseClick(w->Cancel1Btn, Qt::LeftButton);
    EXPECT_EQ(form->Tag, 1);
    EXPECT_TRUE(w->isVisible()) << "the operation, not the button, frees the window";

    // The same window set up again for a plain job shows the single Cancel button.
    form->Tag = 0;
    form->Setup(0, "Sorting", "Sorting lines", 10, 0, "");
    EXPECT_TRUE(w->Cancel1Btn->isHidden());
    EXPECT_TRUE(w->CancelAllBtn->isHidden());
    EXPECT_FALSE(w->CancelBtn->isHidden());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Sorting"));
    QTest::mouseClick(w->CancelBtn, Qt::LeftButton);
    EXPECT_EQ(form->Tag, 1);

    form->Setup(2, "Saving", "Saving", 10, 0, "");
    EXPECT_TRUE(w->Cancel1Btn->isHidden() && w->CancelAllBtn->isHidden() && w->CancelBtn->isHidden());

    QPointer<TProgressWindow> alive(w);
    form.reset();
    EXPECT_TRUE(alive.isNull()) << "the form owns its window";
    EXPECT_EQ(ProgressForm, nullptr);
}

TEST_F(ProgressWindows, EscapeSetsTheCodeAndTheWindowStays) {
    for (int mode : {0, 1, 2, 4, 5}) {
        auto form = ShowProgressForm(mode, "Job", "Text", 10, 0, "");
        form->Show();
        TProgressWindow* w = Window(*form);
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_EQ(form->Tag, mode == 2 ? 0 : 1) << mode;
        EXPECT_TRUE(w->isVisible()) << mode;
    }
}

// The window manager's close is the visible cancel button; a window without one ignores it. Either
// way the window stays until the job frees it.
TEST_F(ProgressWindows, ClosingPressesTheVisibleCancelButton) {
    for (int mode : {0, 1, 2, 4, 5}) {
        auto form = ShowProgressForm(mode, "Job", "Text", 10, 0, "");
        form->Show();
        QPointer<TProgressWindow> w(Window(*form));
        EXPECT_FALSE(w->close()) << mode;
        ASSERT_FALSE(w.isNull());
        EXPECT_TRUE(w->isVisible()) << mode;
        EXPECT_TRUE(form->Visible()) << mode;
        EXPECT_EQ(form->Tag, mode == 2 ? 0 : 1) << mode;
    }
}

TEST_F(ProgressWindows, GaugeShowsZeroForAnEmptyRangeAndClampsProgress) {
    auto form = ShowProgressForm(0, "Reading", "Empty file", 0, 0, "");
    QProgressBar* bar = Window(*form)->ProgressBar;
    EXPECT_LT(bar->minimum(), bar->maximum()) << "no busy animation";
    EXPECT_EQ(bar->value(), bar->minimum());
    EXPECT_EQ(bar->text(), QStringLiteral("0%"));
    form->SetRange(10, 5);
    EXPECT_EQ(bar->text(), QStringLiteral("0%"));

    form->Setup(0, "Reading", "File", 200, 100, "");
    EXPECT_EQ(bar->text(), QStringLiteral("0%"));
    form->SetProgress(150);
    EXPECT_EQ(bar->text(), QStringLiteral("50%"));
    form->SetProgress(900);
    EXPECT_EQ(bar->text(), QStringLiteral("100%"));
    form->SetProgress(-5);
    EXPECT_EQ(bar->text(), QStringLiteral("0%"));
}

TEST_F(ProgressWindows, StaysHiddenWhileTheMainWindowIsMinimised) {
    QMainWindow main;
    Backend->SetMainWindow(&main);
    main.showMinimized();
    auto form = ShowProgressForm(0, "Job", "Text", 10, 0, "");
    ShowUnlessMinimized(form.get());
    EXPECT_FALSE(Window(*form)->isVisible());
    TDoubleProgressForm dbl;
    ShowUnlessMinimized(&dbl);
    EXPECT_FALSE(Window(dbl)->isVisible());

    main.showNormal();
    ShowUnlessMinimized(form.get());
    ShowUnlessMinimized(&dbl);
    EXPECT_TRUE(Window(*form)->isVisible());
    EXPECT_TRUE(Window(dbl)->isVisible());

    // A main window that is gone no longer counts as minimised.
    auto gone = std::make_unique<QMainWindow>();
    Backend->SetMainWindow(gone.get());
    gone->showMinimized();
    EXPECT_TRUE(Backend->IsApplicationMinimized());
    gone.reset();
    EXPECT_FALSE(Backend->IsApplicationMinimized());
}

TEST_F(ProgressWindows, AClickWhileTheJobPumpsStopsItAndSmallJobsShowNoWindow) {
    int code = -1;
    bool windowSeen = false;
    QTimer::singleShot(0, [&windowSeen] {
        ASSERT_NE(ProgressForm, nullptr);
        auto* w = dynamic_cast<TProgressWindow*>(ProgressForm->View());
        windowSeen = w->isVisible();
        QTest::mouseClick(w->CancelAllBtn, Qt::LeftButton);
    });
    const int done = RunJob(100000, 512, &code);
    EXPECT_TRUE(windowSeen);
    EXPECT_EQ(code, 2);
    EXPECT_LT(done, 100000);
    EXPECT_EQ(ProgressForm, nullptr);

    bool smallWindowSeen = true;
    QTimer::singleShot(0, [&smallWindowSeen] {
        smallWindowSeen = ProgressForm && dynamic_cast<TProgressWindow*>(ProgressForm->View())->isVisible();
    });
    EXPECT_EQ(RunJob(300, 512, &code), 300);
    EXPECT_FALSE(smallWindowSeen) << "below the threshold the window stays hidden";
    EXPECT_EQ(code, 0);
}

TEST_F(ProgressWindows, DoubleWindowMirrorsItsFormAndCancels) {
    TDoubleProgressForm form;
    TDblProgressWindow* w = Window(form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), QSize(392, 151));
    EXPECT_TRUE(w->DetailsBtn->isHidden());
    form.SetCaption("Searching");
    form.SetLabel(dlSubProgress, "a.txt");
    form.SetLabel(dlSyntax, "Regular expression");
    form.SetSubRange(0, 0);
    form.SetRange(0, 4);
    form.SetProgress(1);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Searching"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("SubProgressLabel"))->text(), QStringLiteral("a.txt"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("SyntaxLabel"))->text(),
              QStringLiteral("Regular expression"));
    EXPECT_EQ(w->SubProgressBar->text(), QStringLiteral("0%"));
    EXPECT_EQ(w->ProgressBar->text(), QStringLiteral("25%"));

    form.Show();
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(form.Tag, 1);
    EXPECT_TRUE(w->isVisible());
    form.Tag = 0;
    QTest::mouseClick(w->CancelBtn, Qt::LeftButton);
    EXPECT_EQ(form.Tag, 1);
    form.Tag = 0;
    EXPECT_FALSE(w->close());
    EXPECT_EQ(form.Tag, 1) << "closing is cancelling";
    EXPECT_TRUE(w->isVisible());
}

TEST_F(ProgressWindows, DetailsUnfoldOnlyThePanelsTheQueryUses) {
    TDoubleProgressForm form;
    TDblProgressWindow* w = Window(form);
    form.SetDetailsButtonVisible(true);
    form.Show();
    EXPECT_FALSE(w->DetailsBtn->isHidden());
    EXPECT_EQ(w->DetailsBtn->text(), QStringLiteral("Details >>"));

    // A query without heading or context conditions and without skipping characters: options only.
    QTest::mouseClick(w->DetailsBtn, Qt::LeftButton);
    EXPECT_TRUE(form.DetailsShown());
    EXPECT_EQ(w->DetailsBtn->text(), QStringLiteral("No details <<"));
    EXPECT_EQ(w->height(), 151 + 20);
    EXPECT_EQ(w->Panel(dpOptions)->geometry(), QRect(0, 151, 392, 20));
    EXPECT_TRUE(w->Panel(dpHeading)->isHidden());

    form.SetPanelVisible(dpPadding, true);
    EXPECT_EQ(w->height(), 151 + 20 + 20);
    form.SetPanelVisible(dpHeading, true);
    form.SetPanelVisible(dpContext, true);
    EXPECT_EQ(w->height(), 151 + 20 + 20 + 54 + 19);
    // Every visible panel lies inside the unfolded window, the options last.
    EXPECT_EQ(w->Panel(dpOptions)->geometry().bottom(), w->height() - 1);
    for (int p = 0; p < dpPanelCount; ++p)
        EXPECT_TRUE(w->rect().contains(w->Panel(TDblProgressPanel(p))->geometry())) << p;

    QTest::mouseClick(w->DetailsBtn, Qt::LeftButton);
    EXPECT_EQ(w->DetailsBtn->text(), QStringLiteral("Details >>"));
    EXPECT_EQ(w->height(), 151);
    EXPECT_EQ(form.Tag, 0) << "folding is not cancelling";
}

// The main window owns the progress windows in the window system: they are its transients, go with
// it when it is minimised and come back when it is restored, and never take the focus from it.
TEST_F(ProgressWindows, TheMainWindowOwnsThemAndTakesThemAlongWhenMinimised) {
    QMainWindow main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    Backend->SetMainWindow(&main);
    auto form = ShowProgressForm(0, "Job", "Text", 10, 0, "");
    TDoubleProgressForm dbl;
    for (QWidget* w : {static_cast<QWidget*>(Window(*form)), static_cast<QWidget*>(Window(dbl))}) {
        ASSERT_NE(w->windowHandle(), nullptr);
        EXPECT_EQ(w->windowHandle()->transientParent(), main.windowHandle());
        EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
        EXPECT_EQ(w->parent(), nullptr) << "owned by its form, not by the main window";
    }
    ShowUnlessMinimized(form.get());
    ShowUnlessMinimized(&dbl);
    ASSERT_TRUE(Window(*form)->isVisible() && Window(dbl)->isVisible());

    main.showMinimized();
    EXPECT_FALSE(Window(*form)->isVisible());
    EXPECT_FALSE(Window(dbl)->isVisible());
    auto later = ShowProgressForm(1, "Later", "Text", 10, 0, "");
    ShowUnlessMinimized(later.get());
    EXPECT_FALSE(Window(*later)->isVisible()) << "opened while minimised";

    main.showNormal();
    EXPECT_TRUE(Window(*form)->isVisible());
    EXPECT_TRUE(Window(dbl)->isVisible());
    EXPECT_TRUE(Window(*later)->isVisible());
}

// With a large application font nothing is cut: buttons are as wide as their captions, a long path
// loses its middle (the whole path in the tooltip), and the windows use that font and the style's
// highlight for their bars.
TEST_F(ProgressWindows, LayoutFollowsTheApplicationFont) {
    const QFont original = QApplication::font();
    QFont big = original;
    big.setPointSize(12);
    QApplication::setFont(big);
    const QString path = "/home/user/corpora/" + QString(120, 'x') + "/Mycorpus-part-one.txt";
    {
        auto form = ShowProgressForm(1, "Processing", path.toStdString(), 10, 0, "");
        TProgressWindow* w = Window(*form);
        for (QPushButton* b : {w->Cancel1Btn, w->CancelAllBtn, w->CancelBtn}) {
            EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
            EXPECT_GE(b->height(), b->sizeHint().height());
            EXPECT_TRUE(w->rect().contains(b->geometry()));
        }
        EXPECT_FALSE(w->Cancel1Btn->geometry().intersects(w->CancelAllBtn->geometry()));
        const QString shown = w->ProgressLabel->text();
        EXPECT_LE(w->ProgressLabel->fontMetrics().horizontalAdvance(shown), w->ProgressLabel->width());
        EXPECT_TRUE(shown.startsWith("/home/") && shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith("Mycorpus-part-one.txt")) << shown.toStdString();
        EXPECT_EQ(w->ProgressLabel->toolTip(), path);
        EXPECT_GE(w->ProgressLabel->height(), w->ProgressLabel->fontMetrics().height());
        EXPECT_EQ(w->font().pointSize(), 12);
        EXPECT_EQ(w->ProgressBar->palette().color(QPalette::Highlight),
                  QApplication::palette(w->ProgressBar).color(QPalette::Highlight));

        form->SetText("short.txt");
        EXPECT_EQ(w->ProgressLabel->text(), "short.txt");
        EXPECT_EQ(w->ProgressLabel->toolTip(), "");
    }
    {
        TDoubleProgressForm dbl;
        dbl.SetDetailsButtonVisible(true);
        dbl.SetLabel(dlSubProgress, path.toStdString());
        TDblProgressWindow* w = Window(dbl);
        EXPECT_EQ(w->font().pointSize(), 12);
        EXPECT_EQ(w->Label(dlSubProgress)->toolTip(), path);
        for (QPushButton* b : {w->CancelBtn, w->DetailsBtn}) {
            EXPECT_GE(b->width(), b->sizeHint().width());
            EXPECT_TRUE(w->rect().contains(b->mapTo(w, QPoint(b->width() - 1, b->height() - 1))));
        }
        QTest::mouseClick(w->DetailsBtn, Qt::LeftButton);
        EXPECT_GE(w->DetailsBtn->width(), w->DetailsBtn->sizeHint().width()) << "No details <<";
        for (int l = 0; l < dlLabelCount; ++l) {
            QLabel* label = w->Label(TDblProgressLabel(l));
            EXPECT_GE(label->height(), label->fontMetrics().height() - 1) << l;
        }
    }
    QApplication::setFont(original);
}

// A box raised while a modal dialog is open belongs to that dialog, even when the main window still
// counts as active (as it does right after a file dialog closes): parented to the main window it would
// lie over the dialog the user works in.
TEST_F(ProgressWindows, AMessageBelongsToTheModalDialogOpen) {
    QMainWindow Main;
    Main.show();
    Backend->SetMainWindow(&Main);
    QDialog Dialog(&Main);
    QWidget* Parent = nullptr;
    QTimer::singleShot(0, [&] {
        QApplication::setActiveWindow(&Main);
        QTimer::singleShot(0, [&] {
            QWidget* Box = QApplication::activeModalWidget();
            Parent = Box ? Box->parentWidget() : nullptr;
            if (Box) Box->close();
        });
        ShowError("A warning.");
        Dialog.done(0);
    });
    Dialog.exec();
    EXPECT_EQ(Parent, &Dialog);
}
