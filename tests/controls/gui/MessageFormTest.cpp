#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

#include "controls/MessageForm.h"
#include "controls/QtBackend.h"

namespace {

TMessageRequest Request(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons,
                        TMsgDlgBtn Focus = mbOK) {
    TMessageRequest r;
    r.Text = Text;
    r.Type = Type;
    r.Buttons = Buttons;
    r.FocusButton = Focus;
    return r;
}

constexpr TMsgDlgButtons kYesNo = MsgButton(mbYes) | MsgButton(mbNo);
constexpr TMsgDlgButtons kYesNoCancel = kYesNo | MsgButton(mbCancel);

// Runs Action on the modal dialog once its event loop is running.
void OnModalDialog(std::function<void(TMessageForm*)> Action) {
    QTimer::singleShot(0, [Action] {
        auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        Action(form);
    });
}

void PressKey(QWidget* Form, Qt::Key Key) {
    QTest::keyClick(Form->focusWidget() ? Form->focusWidget() : Form, Key);
}

// Installs the real dialogs for one test and puts the previous backends back afterwards.
class RealDialogs : public testing::Test {
protected:
    void SetUp() override {
        FMessages = GetMessageBackend();
        FProgress = GetProgressBackend();
        RegisterQtBackend();
    }
    void TearDown() override {
        SetMessageBackend(FMessages);
        SetProgressBackend(FProgress);
    }

private:
    IMessageBackend* FMessages = nullptr;
    IProgressBackend* FProgress = nullptr;
};

}  // namespace

TEST(MessageLayout, DialogUnitsAreRoundedAndSizeTheClientArea) {
    const TMessageLayout l = ComputeMessageLayout(QSize(7, 16), QSize(200, 48), true, 3, QSize());
    EXPECT_EQ(l.HorzMargin, 14);
    EXPECT_EQ(l.VertMargin, 16);
    EXPECT_EQ(l.HorzSpacing, 18);  // 17.5 rounds up, as MulDiv does
    EXPECT_EQ(l.VertSpacing, 20);
    EXPECT_EQ(l.ButtonWidth, 88);
    EXPECT_EQ(l.ButtonHeight, 28);
    EXPECT_EQ(l.ButtonSpacing, 7);
    EXPECT_EQ(l.IconTextSize, QSize(250, 48));
    EXPECT_EQ(l.ButtonGroupWidth, 3 * 88 + 2 * 7);
    EXPECT_EQ(l.ClientSize, QSize(278 + 28, 48 + 28 + 20 + 32));
    EXPECT_EQ(l.ButtonsTop, 48 + 16 + 20);
    EXPECT_EQ(l.ButtonsLeft, 14);
    EXPECT_EQ(l.TextLeft, 14 + 32 + 18);

    // A one-line text next to the icon is as tall as the icon; without the icon it keeps its height.
    EXPECT_EQ(ComputeMessageLayout(QSize(7, 16), QSize(500, 16), true, 1, QSize()).IconTextSize.height(), 32);
    const TMessageLayout plain = ComputeMessageLayout(QSize(7, 16), QSize(500, 16), false, 1, QSize());
    EXPECT_EQ(plain.IconTextSize, QSize(500, 16));
    EXPECT_EQ(plain.TextLeft, 14);
    EXPECT_EQ(plain.ClientSize.width(), 528);  // the text is wider than the one button
    EXPECT_EQ(plain.ButtonsLeft, (528 - 88) / 2);

    // A style whose buttons need more room than the dialog units give widens them; no buttons, no group.
    EXPECT_EQ(ComputeMessageLayout(QSize(7, 16), QSize(10, 10), false, 2, QSize(120, 40)).ButtonWidth, 120);
    EXPECT_EQ(ComputeMessageLayout(QSize(7, 16), QSize(10, 10), false, 2, QSize(120, 40)).ButtonHeight, 40);
    EXPECT_EQ(ComputeMessageLayout(QSize(7, 16), QSize(10, 10), false, 0, QSize()).ButtonGroupWidth, 0);
}

TEST(MessageForm, CaptionsAndIconsFollowTheType) {
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Tessivor Title"));
    const struct {
        TMsgDlgType Type;
        const char* Caption;
        bool Icon;
    } cases[] = {{mtWarning, "Warning", true},
                 {mtError, "Error", true},
                 {mtInformation, "Information", true},
                 {mtConfirmation, "Confirm", true},
                 {mtCustom, "Tessivor Title", false}};
    for (const auto& c : cases) {
        auto form = BuildMessageForm(Request("Text", c.Type, MsgButton(mbOK)));
        EXPECT_EQ(form->windowTitle(), QString::fromLatin1(c.Caption)) << c.Type;
        EXPECT_EQ(form->Image() != nullptr, c.Icon) << c.Type;
        EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Image")) != nullptr, c.Icon) << c.Type;
        if (c.Icon) {
            EXPECT_FALSE(form->Image()->pixmap().isNull()) << c.Type;
        }
        // The text starts right of the icon, or at the margin without one.
        EXPECT_EQ(form->MessageLabel()->x(),
                  form->Layout().HorzMargin + (c.Icon ? 32 + form->Layout().HorzSpacing : 0));
    }
    QCoreApplication::setApplicationName(name);
}

TEST(MessageForm, ButtonsHaveTheirNamesCaptionsOrderAndResults) {
    const char* const names[] = {"Yes",    "No",  "OK",         "Cancel",     "Abort", "Retry",
                                 "Ignore", "All", "Not to All", "Yes to All", "Help"};
    const char* const captions[] = {"&Yes",    "&No",  "OK",          "Cancel",      "&Abort", "&Retry",
                                    "&Ignore", "&All", "&Not to All", "&Yes to All", "&Help"};
    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};
    auto all = BuildMessageForm(Request("All buttons", mtConfirmation, (1u << MsgButtonCount) - 1));
    int previousRight = -1;
    for (int b = 0; b < MsgButtonCount; ++b) {
        QPushButton* button = all->findChild<QPushButton*>(QString::fromLatin1(names[b]));
        ASSERT_NE(button, nullptr) << names[b];
        EXPECT_EQ(button, all->Button(TMsgDlgBtn(b)));
        EXPECT_EQ(button->text(), QString::fromLatin1(captions[b]));
        EXPECT_EQ(button->y(), all->Layout().ButtonsTop);
        EXPECT_GT(button->x(), previousRight) << "buttons go left to right in table order";
        previousRight = button->geometry().right();
    }
    for (int b = 0; b < MsgButtonCount; ++b) {
        auto form = BuildMessageForm(Request("One", mtConfirmation, (1u << MsgButtonCount) - 1));
        form->show();
        form->Button(TMsgDlgBtn(b))->click();
        if (results[b] == 0) {
            EXPECT_TRUE(form->isVisible()) << "the help button must not close the dialog";
        } else {
            EXPECT_FALSE(form->isVisible()) << names[b];
            EXPECT_EQ(form->result(), results[b]) << names[b];
        }
    }
    // Only the buttons asked for exist.
    auto two = BuildMessageForm(Request("Two", mtConfirmation, kYesNo));
    EXPECT_EQ(two->findChildren<QPushButton*>().size(), 2);
    EXPECT_EQ(two->Button(mbOK), nullptr);
}

TEST_F(RealDialogs, EscapeAndClosingGiveTheCancelButtonsResult) {
    const struct {
        TMsgDlgButtons Buttons;
        int Result;
    } cases[] = {{kYesNoCancel, mrCancel},
                 {kYesNo, mrNo},
                 {MsgButton(mbOK), mrOk},
                 {MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore), mrAbort},
                 {MsgButton(mbOK) | MsgButton(mbCancel), mrCancel}};
    for (const auto& c : cases) {
        OnModalDialog([](TMessageForm* form) { QTest::keyClick(form, Qt::Key_Escape); });
        EXPECT_EQ(MsgDlg("Escape?", mtConfirmation, c.Buttons, 0, mbYes), c.Result) << c.Buttons;
        OnModalDialog([](TMessageForm* form) { form->close(); });
        EXPECT_EQ(MsgDlg("Close?", mtConfirmation, c.Buttons, 0, mbYes), c.Result) << c.Buttons;
    }
    // The wrappers see the same results.
    OnModalDialog([](TMessageForm* form) { QTest::keyClick(form, Qt::Key_Escape); });
    EXPECT_EQ(ConfirmYesNoCancel("Apply?", true), mrCancel);
    OnModalDialog([](TMessageForm* form) { QTest::keyClick(form, Qt::Key_Escape); });
    EXPECT_FALSE(ConfirmYesNo("Delete?", true));
}

TEST(MessageForm, WithoutACancelButtonEscapeWaitsForAChoiceUnlessNothingCouldCloseTheDialog) {
    auto retry = BuildMessageForm(Request("Again?", mtWarning, MsgButton(mbRetry) | MsgButton(mbIgnore)));
    retry->show();
    QTest::keyClick(retry.get(), Qt::Key_Escape);
    EXPECT_TRUE(retry->isVisible());
    retry->close();
    EXPECT_TRUE(retry->isVisible());
    retry->Button(mbIgnore)->click();
    EXPECT_EQ(retry->result(), mrIgnore);

    for (TMsgDlgButtons buttons : {TMsgDlgButtons(0), MsgButton(mbHelp)}) {
        auto stuck = BuildMessageForm(Request("Nothing to press", mtInformation, buttons));
        stuck->show();
        QTest::keyClick(stuck.get(), Qt::Key_Escape);
        EXPECT_FALSE(stuck->isVisible()) << buttons;
        EXPECT_EQ(stuck->result(), mrNone);
    }
}

TEST_F(RealDialogs, FocusedButtonDiffersFromTheDefaultButton) {
    auto form = BuildMessageForm(Request("Delete?", mtConfirmation, kYesNo, mbNo));
    EXPECT_TRUE(form->Button(mbYes)->isDefault());
    EXPECT_EQ(form->DefaultButton(), mbYes);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Button(mbNo));
    EXPECT_EQ(form->DefaultButton(), mbYes);
    form->close();

    // Enter presses the focused button, whichever is the default.
    OnModalDialog([](TMessageForm* f) { PressKey(f, Qt::Key_Return); });
    EXPECT_FALSE(ConfirmYesNo("Delete?", false));
    OnModalDialog([](TMessageForm* f) { PressKey(f, Qt::Key_Return); });
    EXPECT_TRUE(WarningYesNo("Go on?", true));
    OnModalDialog([](TMessageForm* f) { PressKey(f, Qt::Key_Return); });
    EXPECT_FALSE(ConfirmOkCancel("Proceed?", false));

    // A focus button outside the set falls back to the default button, and then to the first one.
    auto retry =
        BuildMessageForm(Request("Again?", mtWarning, MsgButton(mbAbort) | MsgButton(mbRetry), mbOK));
    retry->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(retry.get()));
    EXPECT_EQ(QApplication::focusWidget(), retry->Button(mbRetry));
    retry->close();
    auto all =
        BuildMessageForm(Request("All?", mtConfirmation, MsgButton(mbAll) | MsgButton(mbYesToAll), mbOK));
    all->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(all.get()));
    EXPECT_EQ(QApplication::focusWidget(), all->Button(mbAll));
    EXPECT_EQ(all->DefaultButton(), mbHelp);
}

TEST(MessageForm, LongTextWrapsAtHalfTheScreenWidth) {
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    std::string text;
    for (int i = 0; i < 80; ++i) text += "word" + std::to_string(i) + " ";
    auto form = BuildMessageForm(Request(text, mtInformation, MsgButton(mbOK)));
    QLabel* label = form->MessageLabel();
    const int lineHeight = QFontMetrics(label->font()).height();
    EXPECT_LE(label->width(), half);
    EXPECT_GT(label->width(), half * 3 / 4) << "the lines fill the available width";
    EXPECT_GE(label->height(), 4 * lineHeight);
    // The label shows all its lines in the room it was given.
    EXPECT_LE(label->heightForWidth(label->width()), label->height());
    EXPECT_LE(form->width(), half + 32 + 2 * form->Layout().HorzSpacing + 2 * form->Layout().HorzMargin);

    auto shortForm = BuildMessageForm(Request("Short.", mtInformation, MsgButton(mbOK)));
    EXPECT_EQ(shortForm->MessageLabel()->height(), lineHeight);
    EXPECT_LT(shortForm->MessageLabel()->width(), half / 4);
}

TEST(MessageForm, TextIsPlainWithItsLineBreaks) {
    auto form = BuildMessageForm(Request("File <a&b>.txt\r\ncannot be read.", mtError, MsgButton(mbOK)));
    EXPECT_EQ(form->MessageLabel()->text(), QStringLiteral("File <a&b>.txt\ncannot be read."));
    EXPECT_EQ(form->MessageLabel()->textFormat(), Qt::PlainText);
    const int lineHeight = QFontMetrics(form->MessageLabel()->font()).height();
    EXPECT_EQ(form->MessageLabel()->height(), 2 * lineHeight);

    // A bare carriage return breaks the line too, and a CR LF pair still gives one break.
    auto bare = BuildMessageForm(
        Request("Internal error:\rValidateBuffer failed\r\n\nDone.", mtError, MsgButton(mbOK)));
    EXPECT_EQ(bare->MessageLabel()->text(),
              QStringLiteral("Internal error:\nValidateBuffer failed\n\nDone."));
    EXPECT_EQ(bare->MessageLabel()->height(), 4 * lineHeight);
}

TEST(MessageForm, PlacedCentredOrWhereAsked) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto centred = BuildMessageForm(Request("Centre", mtInformation, MsgButton(mbOK)));
    EXPECT_NEAR(centred->geometry().center().x(), screen.center().x(), 1);
    EXPECT_NEAR(centred->geometry().center().y(), screen.center().y(), 1);
    EXPECT_EQ(centred->size(), centred->Layout().ClientSize);

    TMessageRequest moved = Request("Centre", mtInformation, MsgButton(mbOK));
    moved.X = 10;
    auto left = BuildMessageForm(moved);
    EXPECT_EQ(left->pos().x(), 10);
    EXPECT_EQ(left->geometry().center().y(), centred->geometry().center().y());
    moved.X = -1;
    moved.Y = 20;
    auto top = BuildMessageForm(moved);
    EXPECT_EQ(top->pos().y(), 20);
    EXPECT_EQ(top->pos().x(), centred->pos().x());
}

TEST_F(RealDialogs, TheArrowCursorShowsOverTheWaitCursorAndTheWaitCursorComesBack) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    Qt::CursorShape during = Qt::BlankCursor;
    OnModalDialog([&during](TMessageForm* form) {
        during = QGuiApplication::overrideCursor()->shape();
        form->Button(mbOK)->click();
    });
    EXPECT_EQ(ShowInfo("Done."), mrOk);
    EXPECT_EQ(during, Qt::ArrowCursor);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The dialog as the user sees it: everything drawn lies inside the client area, the text and the
// buttons do not overlap, and the text and the buttons really are painted.
TEST(MessageForm, GrabbedDialogShowsTextAndButtonsInsideTheClientArea) {
    auto form = BuildMessageForm(
        Request("The corpus file could not be opened.\r\nCheck that it exists and try again.", mtConfirmation,
                kYesNoCancel, mbYes));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage image = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), form->size());
    const QRect client = form->rect();

    QList<QRect> parts{form->Image()->geometry(), form->MessageLabel()->geometry()};
    for (QPushButton* b : {form->Button(mbYes), form->Button(mbNo), form->Button(mbCancel)})
        parts << b->geometry();
    for (int i = 0; i < parts.size(); ++i) {
        EXPECT_TRUE(client.contains(parts[i])) << i;
        for (int j = i + 1; j < parts.size(); ++j)
            EXPECT_FALSE(parts[i].intersects(parts[j])) << i << " " << j;
    }
    // The margins around everything are left blank.
    const QRgb background = image.pixel(0, 0);
    int strayPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            bool inside = false;
            for (const QRect& r : parts) inside = inside || r.contains(x, y);
            if (!inside && image.pixel(x, y) != background) ++strayPixels;
        }
    EXPECT_EQ(strayPixels, 0);
    // Text pixels are darker than the background, inside the label and on every button.
    auto darkPixels = [&](const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(image.pixel(x, y)) < qGray(background) - 64) ++n;
        return n;
    };
    EXPECT_GT(darkPixels(form->MessageLabel()->geometry()), 100);
    for (QPushButton* b : {form->Button(mbYes), form->Button(mbNo), form->Button(mbCancel)})
        EXPECT_GT(darkPixels(b->geometry().adjusted(4, 4, -4, -4)), 10) << b->objectName().toStdString();
    // The buttons are centred under the text.
    const int left = form->Button(mbYes)->x(),
              right = client.width() - 1 - form->Button(mbCancel)->geometry().right();
    EXPECT_NEAR(left, right, 1);
}

// Answered as the platform's own message boxes answer: a button's letter presses it without Alt; a
// letter that several buttons share only moves the focus among them; Ctrl+C copies the text.
TEST_F(RealDialogs, PlainMnemonicLettersPressTheirButtonsAndCtrlCCopiesTheText) {
    const struct {
        TMsgDlgButtons Buttons;
        char Key;
        int Result;
    } cases[] = {{kYesNo, 'y', mrYes},
                 {kYesNo, 'N', mrNo},
                 {kYesNoCancel, 'n', mrNo},
                 {MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore), 'r', mrRetry},
                 {MsgButton(mbAbort) | MsgButton(mbRetry) | MsgButton(mbIgnore), 'i', mrIgnore}};
    for (const auto& c : cases) {
        OnModalDialog([&c](TMessageForm* form) { QTest::keyClick(form->focusWidget(), c.Key); });
        EXPECT_EQ(MsgDlg("Letters?", mtConfirmation, c.Buttons, 0, mbCancel), c.Result) << c.Key;
    }
    OnModalDialog(
        [](TMessageForm* form) { QTest::keyClick(form->focusWidget(), Qt::Key_Y, Qt::AltModifier); });
    EXPECT_TRUE(ConfirmYesNo("With Alt?", false));

    // "&Abort" and "&All" share A: the focus moves between them and nothing is answered yet.
    auto shared = BuildMessageForm(
        Request("Shared", mtWarning, MsgButton(mbAbort) | MsgButton(mbAll) | MsgButton(mbIgnore), mbIgnore));
    shared->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(shared.get()));
    QTest::keyClick(shared->focusWidget(), 'a');
    EXPECT_EQ(QApplication::focusWidget(), shared->Button(mbAbort));
    QTest::keyClick(shared->focusWidget(), 'a');
    EXPECT_EQ(QApplication::focusWidget(), shared->Button(mbAll));
    EXPECT_TRUE(shared->isVisible());

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(shared->focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Shared"));
    EXPECT_TRUE(shared->isVisible());
}

// The dialog belongs to the program's active window: the window system gets that window as the
// dialog's transient parent, and no stay-on-top that would keep it above other programs.
TEST_F(RealDialogs, TheDialogStaysAboveTheActiveWindowOnly) {
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    bool checked = false;
    OnModalDialog([&](TMessageForm* form) {
        EXPECT_EQ(form->parentWidget(), &owner);
        EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        ASSERT_NE(form->windowHandle(), nullptr);
        EXPECT_EQ(form->windowHandle()->transientParent(), owner.windowHandle());
        EXPECT_FALSE(form->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        checked = true;
        form->Button(mbOK)->click();
    });
    EXPECT_EQ(ShowInfo("Owned"), mrOk);
    EXPECT_TRUE(checked);

    // A parent destroyed while the dialog shows takes the dialog with it; the call still returns.
    auto doomed = std::make_unique<QWidget>();
    doomed->show();
    OnModalDialog([&doomed](TMessageForm*) { doomed.reset(); });
    TMessageRequest r = Request("Gone", mtError, MsgButton(mbOK));
    EXPECT_EQ(ExecuteMessageForm(r, doomed.get()), 0);
}
