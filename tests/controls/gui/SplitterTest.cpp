// The splitter's placement rules against the numbers they must give, and a drag of the shown bar
// found by the window's own hit-testing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <memory>

#include "controls/Splitter.h"

namespace {

// The widget a user pressing at Point of Window's client area would hit.
QWidget* HitAt(QWidget* Window, QPoint Point) {
    QWidget* W = Window->childAt(Point);
    return W ? W : Window;
}

void Drag(QWidget* Window, QPoint From, QPoint To) {
    QWidget* Target = HitAt(Window, From);
    const QPoint A = Target->mapFrom(Window, From), B = Target->mapFrom(Window, To);
    QTest::mousePress(Target, Qt::LeftButton, {}, A);
    QMouseEvent Move(QEvent::MouseMove, B, Target->mapToGlobal(B), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(Target, &Move);
    QTest::mouseRelease(Target, Qt::LeftButton, {}, B);
}

}  // namespace

TEST(SplitterRules, PlacementRoundsHalvesToEvenAndNeverDividesByZero) {
    EXPECT_EQ(PlaceSplitterBar(skVertical, 203, 10, 50), 100);
    EXPECT_EQ(PlaceSplitterBar(skVertical, 204, 10, 50), 100);  // 100.5 rounds to the even 100
    EXPECT_EQ(PlaceSplitterBar(skVertical, 206, 10, 50), 102);  // 101.5 rounds to 102
    EXPECT_EQ(PlaceSplitterBar(skHorizontal, 10, 203, 0), 0);
    EXPECT_EQ(PlaceSplitterBar(skVertical, 203, 10, 0), 0);
    EXPECT_EQ(PlaceSplitterBar(skHorizontal, 10, 103, 100), 100);
    // A proportional splitter that had no width yet goes to its percentage, later keeps its share.
    EXPECT_EQ(SplitterBarAfterResize(smKeepProportional, skVertical, 0, {0, 0}, {403, 9}, 25), 100);
    EXPECT_EQ(SplitterBarAfterResize(smKeepProportional, skVertical, 100, {400, 9}, {803, 9}, 50), 200);
    // Locked right: the bar follows the right edge, never below 0; locked left it stays unless cut off.
    EXPECT_EQ(SplitterBarAfterResize(smLockRight, skVertical, 100, {200, 9}, {260, 9}, 50), 160);
    EXPECT_EQ(SplitterBarAfterResize(smLockRight, skVertical, 10, {200, 9}, {100, 9}, 50), 0);
    EXPECT_EQ(SplitterBarAfterResize(smLockLeft, skVertical, 150, {200, 9}, {100, 9}, 50), 97);
    EXPECT_EQ(SplitterBarAfterResize(smLockLeft, skVertical, 50, {200, 9}, {100, 9}, 50), 50);
    const TSplitterPanes P = ArrangeSplitterPanes(skHorizontal, 40, {100, 90});
    EXPECT_EQ(P.LeftUp, QRect(0, 0, 100, 40));
    EXPECT_EQ(P.RightDown, QRect(0, 43, 100, 47));
}

TEST(SplitterPanel, PropertiesPanesAndResizeModes) {
    TCommonSplitter S;
    auto* Left = new QLabel("left", &S);
    auto* Right = new QLabel("right", &S);
    QLabel Stranger("not a child");
    S.SetLeftUpControl(&Stranger);
    EXPECT_EQ(S.LeftUpControl(), nullptr);
    S.SetLeftUpControl(Left);
    S.SetRightDownControl(Left);  // the same pane twice is refused
    EXPECT_EQ(S.RightDownControl(), nullptr);
    S.SetRightDownControl(Right);
    S.resize(203, 50);
    S.show();
    EXPECT_EQ(S.BarPos(), 100);
    EXPECT_EQ(Left->geometry(), QRect(0, 0, 100, 50));
    EXPECT_EQ(Right->geometry(), QRect(103, 0, 100, 50));
    S.SetSplitterPos(150);
    S.SetSplitterPos(-1);
    EXPECT_EQ(S.SplitterPos(), 50);
    S.SetMode(smKeepEqual);
    S.SetSplitterPos(30);
    EXPECT_EQ(S.SplitterPos(), 50);
    S.SetMode(smLockRight);
    S.resize(303, 50);
    EXPECT_EQ(Right->width(), 100);
    delete Right;
    EXPECT_EQ(S.RightDownControl(), nullptr);
}

TEST(SplitterPanel, DraggingTheBarMovesItFiresOnSplitAndAResizeKeepsOrResetsIt) {
    QWidget Window;
    Window.resize(400, 100);
    auto* S = new TCommonSplitter(&Window);
    S->setGeometry(0, 0, 403, 100);
    auto* Left = new QWidget(S);
    auto* Right = new QWidget(S);
    S->SetLeftUpControl(Left);
    S->SetRightDownControl(Right);
    int Splits = 0;
    S->OnSplit = [&] { ++Splits; };
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    ASSERT_EQ(S->BarPos(), 200);
    Drag(&Window, {201, 50}, {121, 50});
    EXPECT_EQ(S->BarPos(), 121);
    EXPECT_EQ(Left->width(), 121);
    EXPECT_GT(Splits, 0);
    EXPECT_EQ(S->SplitterPos(), 50);
    // Kept as is, the next resize puts the bar back at its percentage.
    S->resize(303, 100);
    EXPECT_EQ(S->BarPos(), 150);
    S->SetMode(smLockLeft);
    Drag(&Window, {151, 50}, {60, 50});
    S->resize(403, 100);
    EXPECT_EQ(S->BarPos(), 60);
}

TEST(SplitterPanel, AStripWithoutPanesMovesItselfInsideItsParent) {
    QWidget Window;
    Window.resize(400, 100);
    auto* S = new TCommonSplitter(&Window);
    S->setGeometry(198, 0, 4, 100);
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    EXPECT_EQ(S->BarPos(), 0);
    Drag(&Window, {199, 50}, {299, 50});
    EXPECT_EQ(S->x(), 299);
    EXPECT_EQ(S->BarPos(), 0);
    // The drag stops 20 pixels short of the parent's edges.
    Drag(&Window, {300, 50}, {5, 50});
    EXPECT_EQ(S->x(), 20);
}
