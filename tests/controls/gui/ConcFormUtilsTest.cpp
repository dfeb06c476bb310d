#include "controls/ConcFormUtils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QSizeGrip>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <random>

#include "controls/ScriptedBackend.h"
#include "engine/ConcErrors.h"
#include "engine/ConcUtils.h"
#include "tests/support/TestSupport.h"

namespace {

QStringList Items(const QComboBox& Combo) {
    QStringList items;
    for (int i = 0; i < Combo.count(); ++i) items << Combo.itemText(i);
    return items;
}

// The next widget Tab moves to (widgets without tab focus are passed by).
QWidget* NextTabStop(QWidget* Widget) {
    QWidget* next = Widget->nextInFocusChain();
    while (next != Widget && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
}

}  // namespace

TEST(FormHelpers, ComboHistoryMovesTheTrimmedTextToTheTop) {
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({"x", "y", "z"});
    combo.setEditText(" z ");
    AddToComboHistory(&combo);
    EXPECT_EQ(Items(combo), QStringList({"z", "y", "x"}));
    EXPECT_EQ(combo.currentText(), "z");
    EXPECT_EQ(combo.currentIndex(), 0);

    combo.setEditText("w");
    AddToComboHistory(&combo);
    EXPECT_EQ(Items(combo), QStringList({"w", "z", "y", "x"}));
    EXPECT_EQ(combo.currentText(), "w");

    // A cleared box stays clear instead of taking the top entry back.
    combo.setEditText("  ");
    AddToComboHistory(&combo);
    EXPECT_EQ(combo.currentText(), "");
    EXPECT_EQ(Items(combo), QStringList({"w", "z", "y", "x"}));
}

TEST(FormHelpers, ClampingWritesTheClampedNumberBack) {
    QLineEdit edit;
    edit.setText("250");
    EXPECT_EQ(ClampEditValue(&edit, 5, 1, 100), 100);
    EXPECT_EQ(edit.text(), "100");
    edit.setText("-5");
    EXPECT_EQ(ClampEditValue(&edit, 5, 1, 100), 100);
    edit.setText("abc");
    EXPECT_EQ(ClampEditValue(&edit, 5, 1, 100), 5);
    EXPECT_EQ(edit.text(), "5");

    QSpinBox upDown;
    upDown.setRange(2, 30);
    upDown.setValue(12);
    edit.setText("nonsense");
    EXPECT_EQ(ClampEditToUpDown(&edit, &upDown), 12);
    edit.setText("99");
    EXPECT_EQ(ClampEditToUpDown(&edit, &upDown), 30);
    EXPECT_EQ(upDown.value(), 30);
    EXPECT_EQ(edit.text(), "30");
    EXPECT_EQ(ClampEditToUpDown(&upDown), 30);
}

TEST(FormHelpers, RequiredTextShowsTheErrorFocusesTheEditAndAbortsSilently) {
    TScriptedBackend script;
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* edit = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus();
    edit->setText("ok");
    EXPECT_NO_THROW(RequireEditText(edit, "\"Tag Stop\" can not be empty."));
    EXPECT_TRUE(script.Messages.empty());
    edit->setText(" \t ");
    EXPECT_THROW(RequireEditText(edit, "\"Tag Stop\" can not be empty."), EAbort);
    ASSERT_EQ(script.Messages.size(), 1u);
    EXPECT_EQ(script.Messages[0].Text, "\"Tag Stop\" can not be empty.");
    EXPECT_EQ(script.Messages[0].Type, mtError);
    EXPECT_TRUE(edit->hasFocus());
}

TEST(FormHelpers, NumericEditsDropEveryOtherKey) {
    QLineEdit whole, decimal;
    InstallNumericKeyFilter(&whole, false);
    InstallNumericKeyFilter(&decimal, true);
    const QString point = QLocale().decimalPoint();
    QTest::keyClicks(&whole, "1a2 -3" + point);
    EXPECT_EQ(whole.text(), "12 3");
    QTest::keyClicks(&decimal, "4" + point + "5x");
    EXPECT_EQ(decimal.text(), "4" + point + "5");
    QTest::keyClick(&decimal, Qt::Key_Backspace);
    EXPECT_EQ(decimal.text(), "4" + point);
}

TEST(FormHelpers, CentringAndTabOrders) {
    QWidget form;
    auto* label = new QWidget(&form);
    auto* edit = new QWidget(&form);
    label->setGeometry(5, 0, 40, 13);
    edit->setGeometry(50, 10, 100, 21);
    CenterOnControl(label, edit);
    EXPECT_EQ(label->y(), 13);
    EXPECT_EQ(label->x(), 5);

    auto* a = new QLineEdit(&form);
    auto* b = new QLineEdit(&form);
    new QLineEdit(&form);  // lies between b and d in the default order
    auto* d = new QLineEdit(&form);
    QWidget* previous = nullptr;
    SetTabOrders(previous, {d, b});
    SetTabOrders(previous, {a});
    EXPECT_EQ(previous, a);
    EXPECT_EQ(NextTabStop(d), b);
    EXPECT_EQ(NextTabStop(b), a);
}

TEST(FormHelpers, ColoursAndFontsCrossToQtAndBack) {
    EXPECT_EQ(ColorRefToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ColorRefToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(QColorToColorRef(QColor(0x12, 0x34, 0x56)), 0x00563412);
    EXPECT_EQ(ColorRefToQColor(clWindowText), QApplication::palette().color(QPalette::WindowText));

    TFontSpec record;
    record.Name = "Serif";
    record.Size = 11;
    record.Style = fsBold | fsUnderline;
    record.Color = clBlue;
    record.Charset = 204;
    const QFont font = FontSpecToQFont(record);
    EXPECT_EQ(font.family(), "Serif");
    EXPECT_EQ(font.pointSize(), 11);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_TRUE(font.underline());
    TFontSpec back;
    back.Color = clRed;
    back.Charset = 161;
    AssignQFont(back, font);
    EXPECT_EQ(back.Name, "Serif");
    EXPECT_EQ(back.Size, 11);
    EXPECT_EQ(back.Style, fsBold | fsUnderline);
    EXPECT_EQ(back.Color, clRed);  // colour and character set are not the font's
    EXPECT_EQ(back.Charset, 161);
}

TEST(FormHelpers, FontDialogOffersTheSixteenColoursAndKeepsWhatWasNotChanged) {
    TFontSpec record;
    record.Name = "Serif";
    record.Size = 10;
    record.Color = 0x123456;
    record.Charset = 238;
    TConfigFontDialog dialog(record);
    EXPECT_EQ(dialog.ColorBox()->count(), 16 + 1);  // a colour that is none of the sixteen
    EXPECT_EQ(dialog.ColorBox()->currentText(), "Custom");
    TFontSpec chosen = dialog.SelectedFont();
    EXPECT_EQ(chosen.Color, 0x123456);
    EXPECT_EQ(chosen.Charset, 238);

    QFont bigger = dialog.FontChooser()->currentFont();
    bigger.setPointSize(14);
    bigger.setItalic(true);
    dialog.FontChooser()->setCurrentFont(bigger);
    dialog.ColorBox()->setCurrentIndex(dialog.ColorBox()->findText("Maroon"));
    chosen = dialog.SelectedFont();
    EXPECT_EQ(chosen.Size, 14);
    EXPECT_TRUE(chosen.Style & fsItalic);
    EXPECT_EQ(chosen.Color, 0x000080);

    record.Color = clBlue;
    TConfigFontDialog blue(record);
    EXPECT_EQ(blue.ColorBox()->count(), 16);
    EXPECT_EQ(blue.ColorBox()->currentText(), "Blue");

    // A system colour shows as the basic colour it resolves to and stays a system colour unless changed.
    record.Color = clWindowText;
    TConfigFontDialog system(record);
    EXPECT_EQ(ColorRefToQColor(system.ColorBox()->currentData().toInt()), ColorRefToQColor(clWindowText));
    EXPECT_EQ(system.SelectedFont().Color, clWindowText);
}

// Families with oblique, condensed and light faces listed before their regular one, as the font
// database of this machine lists them.
TEST(FormHelpers, FontDialogReturnsAnUntouchedFontUnchanged) {
    int tried = 0;
    for (const QString& family : QFontDatabase::families()) {
        const QStringList styles = QFontDatabase::styles(family);
        if (styles.size() < 4 || QFontDatabase::isPrivateFamily(family)) continue;
        ++tried;
        for (int style : {0, int(fsBold), int(fsItalic), fsBold | fsItalic}) {
            for (int size : {9, 12}) {
                TFontSpec record;
                record.Name = family.toStdString();
                record.Size = size;
                record.Style = style;
                record.Color = clBlack;
                TConfigFontDialog dialog(record);
                const TFontSpec chosen = dialog.SelectedFont();
                EXPECT_FALSE(FontsDiffer(chosen, record))
                    << record.Name << " " << size << " style " << style << " came back as " << chosen.Name
                    << " " << chosen.Size << " style " << chosen.Style;
            }
        }
    }
    EXPECT_GE(tried, 3) << "too few font families with several faces on this machine";

    // A family the machine lacks is shown as another one, and comes back as it was.
    TFontSpec missing;
    missing.Name = "MS Sans Serif";
    missing.Size = 8;
    missing.Style = fsBold;
    TConfigFontDialog dialog(missing);
    EXPECT_FALSE(FontsDiffer(dialog.SelectedFont(), missing)) << dialog.SelectedFont().Name;
    QFont larger = dialog.FontChooser()->currentFont();
    larger.setPointSize(14);
    dialog.FontChooser()->setCurrentFont(larger);
    EXPECT_EQ(dialog.SelectedFont().Size, 14) << "a change is taken";
}

TEST(FormHelpers, PlacementOfAChildWindowSkipsTheStateAndUsesItsSubWindow) {
    TTempDir dir;
    const std::string ini = dir.File("placement.ini");
    QMdiArea area;
    area.resize(800, 600);
    auto* form = new QWidget;
    QMdiSubWindow* sub = area.addSubWindow(form);
    area.show();
    sub->setGeometry(20, 30, 300, 200);
    SaveFormPlacement(ini, "AlignViewWindow", form, true);
    const std::string text = ReadWholeFile(ini);
    EXPECT_EQ(text.find("WindowState"), std::string::npos);
    EXPECT_NE(text.find("Left=20"), std::string::npos);
    EXPECT_NE(text.find("Top=30"), std::string::npos);
    EXPECT_NE(text.find("Width=300"), std::string::npos);
    EXPECT_NE(text.find("Height=200"), std::string::npos);

    sub->setGeometry(0, 0, 100, 100);
    LoadFormPlacement(ini, "AlignViewWindow", form, true);
    EXPECT_EQ(sub->geometry(), QRect(20, 30, 300, 200));

    // No write location: nothing is read or written.
    SaveFormPlacement("", "AlignViewWindow", form, true);
    LoadFormPlacement("", "AlignViewWindow", form, true);
    EXPECT_EQ(sub->geometry(), QRect(20, 30, 300, 200));
}

// A placement is applied as a whole or not at all: missing keys, a size below the least usable one or
// a rectangle on no screen leave the window where the window manager puts it.
TEST(FormHelpers, PlacementAppliesOnlyCompleteUsableBoundsAsTheFramePosition) {
    TTempDir dir;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    auto load = [&](const std::string& Keys) {
        auto form = std::make_unique<QWidget>();
        form->resize(300, 200);
        LoadFormPlacement(dir.Write("p.ini", "[MainForm]\r\n" + Keys), "MainForm", form.get(), false);
        return form;
    };
    for (const char* keys : {"Left=40\r\n", "Left=40\r\nTop=30\r\nWidth=500\r\n",
                             "Left=-5000\r\nTop=30\r\nWidth=500\r\nHeight=400\r\n",
                             "Left=40\r\nTop=30\r\nWidth=500\r\nHeight=-20\r\n"}) {
        auto form = load(keys);
        EXPECT_FALSE(form->testAttribute(Qt::WA_Moved)) << keys;
        EXPECT_EQ(form->size(), QSize(300, 200)) << keys;
    }

    auto placed = load("WindowState=0\r\nLeft=40\r\nTop=30\r\nWidth=500\r\nHeight=400\r\n");
    placed->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(placed->frameGeometry().topLeft(), QPoint(40, 30)) << "Left and Top place the frame";
    EXPECT_EQ(placed->size(), QSize(500, 400));

    auto huge = load("Left=40\r\nTop=30\r\nWidth=99999\r\nHeight=400\r\n");
    EXPECT_TRUE(screen.contains(QRect(huge->pos(), huge->size()))) << "shrunk onto the screen";
    EXPECT_EQ(huge->width(), screen.width());

    EXPECT_EQ(load("WindowState=1\r\n")->windowState(), Qt::WindowNoState) << "never starts minimised";
    EXPECT_EQ(load("WindowState=2\r\n")->windowState(), Qt::WindowMaximized);
}

// Against the plain rules: the result is null, or lies inside one area, no larger than asked, and is
// exactly what was asked when that already lay inside an area and was large enough.
TEST(FormHelpers, FitPlacementKeepsWindowsOnTheUsableAreas) {
    std::mt19937 random(17);
    auto pick = [&](int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(random); };
    const QSize least(120, 80);
    for (int round = 0; round < 20000; ++round) {
        std::vector<QRect> areas;
        for (int a = pick(0, 3); a > 0; --a)
            areas.emplace_back(pick(-2000, 2000), pick(-1000, 1000), pick(1, 2000), pick(1, 1500));
        const QRect stored(pick(-6000, 6000), pick(-3000, 3000), pick(-50, 4000), pick(-50, 3000));
        const QRect fitted = FitPlacement(stored, areas, least);
        bool touches = false, inside = false;
        for (const QRect& area : areas) {
            touches = touches || area.intersects(stored);
            inside = inside || area.contains(stored);
        }
        const bool bigEnough = stored.width() >= least.width() && stored.height() >= least.height();
        if (!bigEnough || !touches) {
            EXPECT_TRUE(fitted.isNull()) << round;
            continue;
        }
        ASSERT_FALSE(fitted.isNull()) << round;
        EXPECT_TRUE(std::any_of(areas.begin(), areas.end(), [&](const QRect& A) {
            return A.contains(fitted);
        })) << round;
        EXPECT_LE(fitted.width(), stored.width());
        EXPECT_LE(fitted.height(), stored.height());
        if (inside) {
            EXPECT_EQ(fitted, stored) << round;
        }
    }
}

TEST(FormHelpers, RegisteredFontDialogAnswersChooseConfigFont) {
    // Without a registered dialog ChooseConfigFont chooses nothing; RegisterConfigFontDialog puts the
    // real dialog there, which a test can only reach through its widgets, so only the wiring is checked.
    InitConfigUnit();
    SetFontDialog(nullptr);
    EXPECT_FALSE(ChooseConfigFont(0, 0));
    RegisterConfigFontDialog();
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<TConfigFontDialog*>(w)) {
                dialog->ColorBox()->setCurrentIndex(dialog->ColorBox()->findText("Red"));
                dialog->accept();
            }
    });
    TRecordingMessenger rec;
    EXPECT_TRUE(ChooseConfigFont(CorpusFont, 0));
    EXPECT_EQ(LanguageConfigs[0]->Fonts[CorpusFont].Color, clRed);
    EXPECT_EQ(rec.Messages(), (std::vector<int>{CM_FONTCHANGED}));
    SetFontDialog(nullptr);
    ResetGlobalsForTest();
}

// A child window opens at the size its form was given, not at the size hint of what it holds (a
// concordance window's views hint at a narrow strip); it never outgrows the area, and it is freed with
// its sub-window.
TEST(FormHelpers, MdiChildKeepsTheSizeItsFormWasGiven) {
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    auto* sized = new QWidget;
    auto* layout = new QVBoxLayout(sized);
    layout->addWidget(new QLineEdit);
    sized->resize(532, 412);
    QMdiSubWindow* sub = ShowMdiChild(&area, sized);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->widget(), sized);
    EXPECT_TRUE(sub->isVisible());
    EXPECT_EQ(sized->size(), QSize(532, 412));

    // The area places a new sub-window where it overlaps the others least, for the size it first has:
    // grown afterwards, it still lies inside the area.
    auto* second = new QWidget;
    second->resize(532, 412);
    QMdiSubWindow* placed = ShowMdiChild(&area, second);
    EXPECT_EQ(second->size(), QSize(532, 412));
    EXPECT_TRUE(QRect(QPoint(0, 0), area.viewport()->size()).contains(placed->geometry())) << placed->x();

    auto* huge = new QWidget;
    huge->resize(2000, 1500);
    QMdiSubWindow* bounded = ShowMdiChild(&area, huge);
    EXPECT_TRUE(QRect(QPoint(0, 0), area.viewport()->size()).contains(bounded->geometry()));

    QPointer<QWidget> gone = sized;
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(area.subWindowList().size(), 2);

    // Without an area the form is a window of its own.
    auto* alone = new QWidget;
    EXPECT_EQ(ShowMdiChild(nullptr, alone), nullptr);
    EXPECT_TRUE(alone->isWindow() && alone->isVisible());
    EXPECT_TRUE(alone->testAttribute(Qt::WA_DeleteOnClose));
    alone->close();
}

// While the children are maximised a new one joins them maximised, and restored later (as the
// distribution window is when it is brought forward) it has the size its form was given, not the bare
// size it had before it was laid out; so do the children opened before it.
TEST(FormHelpers, ChildOpenedAmongMaximisedOnesRestoresToItsOwnSize) {
    QMdiArea area;
    area.resize(1000, 800);
    area.show();
    auto makeForm = [] {
        auto* form = new QWidget;
        new QVBoxLayout(form);
        form->layout()->addWidget(new QLineEdit);
        form->resize(640, 480);
        return form;
    };
    QMdiSubWindow* first = ShowMdiChild(&area, makeForm());
    first->showMaximized();
    QMdiSubWindow* second = ShowMdiChild(&area, makeForm());
    EXPECT_TRUE(second->isMaximized());
    QMdiSubWindow* third = ShowMdiChild(&area, makeForm());
    EXPECT_TRUE(third->isMaximized());
    EXPECT_EQ(area.activeSubWindow(), third);
    third->showNormal();
    QCoreApplication::processEvents();
    const QRect room(QPoint(0, 0), area.viewport()->size());
    for (QMdiSubWindow* sub : {second, third}) {
        EXPECT_FALSE(sub->isMaximized());
        EXPECT_EQ(sub->widget()->size(), QSize(640, 480));
        EXPECT_TRUE(room.contains(sub->geometry()));
    }
}

// Each new child opens one cascade step below and right of the one opened before (the area itself would
// stack them all in its top-left corner), starting again at the corner when the next step would leave the
// area; "Cascade" lays them out the same way and keeps their sizes (the area's own cascade shrinks them
// to their contents' size hint).
TEST(FormHelpers, ChildrenCascadeFromTheLastOneAndKeepTheirSizes) {
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    const QRect room(QPoint(0, 0), area.viewport()->size());
    std::vector<QMdiSubWindow*> subs;
    for (int i = 0; i < 12; ++i) {
        auto* form = new QWidget;
        new QVBoxLayout(form);
        form->layout()->addWidget(new QLineEdit);
        form->resize(532, 412);
        subs.push_back(ShowMdiChild(&area, form));
        EXPECT_EQ(form->size(), QSize(532, 412));
    }
    const int step = MdiCascadeStep(&area);
    EXPECT_GE(step, subs[0]->widget()->y());
    EXPECT_GT(step, 10);
    EXPECT_EQ(subs[0]->pos(), QPoint(0, 0));
    int wraps = 0;
    for (size_t i = 1; i < subs.size(); ++i) {
        EXPECT_TRUE(room.contains(subs[i]->geometry())) << i;
        if (subs[i]->pos() == QPoint(0, 0)) {
            ++wraps;
            EXPECT_GT(subs[i - 1]->y() + step + subs[i]->height(), room.height()) << i;
        } else {
            EXPECT_EQ(subs[i]->pos(), subs[i - 1]->pos() + QPoint(step, step)) << i;
        }
    }
    EXPECT_EQ(wraps, 1);

    // Scattered, one made small and one maximised: the cascade keeps each size where it fits, cuts the
    // windows low in the area to the room left, never below half their size, and restores the maximised.
    const QSize standard = subs[0]->size();
    subs[3]->move(300, 200);
    subs[4]->resize(300, 200);
    subs[5]->showMaximized();
    CascadeMdiChildren(&area);
    const QList<QMdiSubWindow*> stack = area.subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(stack.size(), 12);
    EXPECT_EQ(stack.front()->pos(), QPoint(0, 0));
    int cut = 0;
    for (qsizetype i = 0; i < stack.size(); ++i) {
        QMdiSubWindow* sub = stack[i];
        const QSize own = sub == subs[4] ? QSize(300, 200) : standard;
        EXPECT_FALSE(sub->isMaximized());
        EXPECT_TRUE(room.contains(sub->geometry())) << i;
        EXPECT_EQ(sub->size(), own.boundedTo(room.size() - QSize(sub->x(), sub->y()))) << i;
        EXPECT_GE(sub->height(), own.height() / 2) << i;
        cut += sub->size() != own;
        if (i > 0 && sub->pos() != QPoint(0, 0)) {
            EXPECT_EQ(sub->pos(), stack[i - 1]->pos() + QPoint(step, step)) << i;
        }
    }
    EXPECT_GT(cut, 0);
    // A window larger than the area is cut to it.
    EXPECT_EQ(NextCascadeRect(nullptr, QSize(2000, 300), room.size(), step, QSize(100, 100)),
              QRect(0, 0, room.width(), 300));
}

// Escape in the embedded chooser cancels the whole dialog (it once hid only the chooser, leaving an empty
// window on the screen), Return in it confirms, and the chooser shows no size grip of its own.
TEST(FormHelpers, FontDialogKeysActOnTheWholeDialog) {
    TFontSpec record;
    record.Name = "Sans Serif";
    record.Size = 10;
    {
        TConfigFontDialog dialog(record);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QWidget* field = dialog.FontChooser()->focusWidget();
        ASSERT_NE(field, nullptr);
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(dialog.FontChooser()->isVisibleTo(&dialog)) << "ready to be shown again";
        for (const QSizeGrip* grip : dialog.FontChooser()->findChildren<QSizeGrip*>())
            EXPECT_FALSE(grip->isVisibleTo(&dialog));
    }
    TConfigFontDialog dialog(record);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QTest::keyClick(dialog.FontChooser()->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
