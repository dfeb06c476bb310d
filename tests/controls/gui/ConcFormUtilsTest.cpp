#include "controls/ConcFormUtils.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

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

TEST(FormHelpers, PlacementKeysMissingFromTheFileLeaveTheCurrentValues) {
    TTempDir dir;
    const std::string ini = dir.Write("p.ini", "[MainForm]\r\nLeft=40\r\n");
    QWidget form;
    form.setGeometry(10, 20, 300, 200);
    LoadFormPlacement(ini, "MainForm", &form, false);
    EXPECT_EQ(form.geometry(), QRect(40, 20, 300, 200));
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
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
