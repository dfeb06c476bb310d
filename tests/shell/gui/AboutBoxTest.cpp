#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/Ccube.h"
#include "controls/Stamps.h"
#include "engine/ConcConfig.h"
#include "shell/ConcAbout.h"

namespace {

// Clicks where the user would: at the widget's centre, through the dialog's own hit-testing.
void ClickThroughWindow(QWidget& Window, QWidget* Target) {
    const QPoint At = Target->mapTo(&Window, Target->rect().center());
    QWidget* Hit = Window.childAt(At);
    ASSERT_EQ(Hit, Target) << "something lies over the control";
    QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(&Window, At));
}

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override { InitConfigUnit(); }
    void TearDown() override { FinalizeConfigUnit(); }
};

TEST(CubeGrowthTest, ACubeBreathesBetweenTwentyAndSixtyFivePixelsAboutItsCentre) {
    TCubeGrowth G{10, 10, 49, 49, -1};
    int Smallest = G.Width, Largest = G.Width;
    for (int I = 0; I < 200; ++I) {
        G = StepCubeGrowth(G);
        Smallest = std::min(Smallest, G.Width);
        Largest = std::max(Largest, G.Width);
        EXPECT_EQ(2 * G.Left + G.Width, 2 * 10 + 49);
        EXPECT_EQ(G.Width, G.Height);
    }
    EXPECT_EQ(Smallest, 19);
    EXPECT_EQ(Largest, 67);
}

TEST_F(AboutBoxTest, TheBoxShowsTheProductItsVersionAndTheProgramFilesTime) {
    TAboutForm Box;
    Box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Box));
    EXPECT_EQ(Box.windowTitle(), "About Tessivor");
    EXPECT_EQ(Box.ProductName->text(), "Tessivor");
    EXPECT_EQ(Box.Version->text(), "Version 1.0 (Build 270)");
    const QString Stamp = TimeStampText(QCoreApplication::applicationFilePath().toStdString(), dtString);
    EXPECT_FALSE(Stamp.isEmpty());
    EXPECT_EQ(Box.TimeStamp->text(), Stamp);
    EXPECT_TRUE(Box.TimeStamp->isVisible());
    EXPECT_FALSE(TimeStampText(QCoreApplication::applicationFilePath().toStdString(), dtNumber).isEmpty());
    // The panel holds both cubes; OK sits in the middle below it.
    EXPECT_TRUE(Box.Panel->geometry().contains(Box.SpinningCube2->mapTo(&Box, QPoint(0, 0))));
    EXPECT_NEAR(Box.OkButton->geometry().center().x(), Box.width() / 2, 1);
}

TEST_F(AboutBoxTest, CubesBreatheAClickStopsOneAndOkClosesTheBox) {
    TAboutForm Box;
    Box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Box));
    const int Designed = Box.SpinningCube1->width();
    QTest::qWait(120);
    // Both cubes start by shrinking, turning as they go.
    EXPECT_LT(Box.SpinningCube1->width(), Designed);
    EXPECT_LT(Box.SpinningCube2->width(), Designed);
    EXPECT_NE(Box.SpinningCube1->XSpin(), 6);

    ClickThroughWindow(Box, Box.SpinningCube1);
    EXPECT_FALSE(Box.SpinningCube1->Continuous());
    const QRect Stopped = Box.SpinningCube1->geometry();
    const int StoppedAngle = Box.SpinningCube1->XSpin();
    const QRect Other = Box.SpinningCube2->geometry();
    QTest::qWait(120);
    EXPECT_EQ(Box.SpinningCube1->geometry(), Stopped);
    EXPECT_EQ(Box.SpinningCube1->XSpin(), StoppedAngle);
    EXPECT_NE(Box.SpinningCube2->geometry(), Other);

    ClickThroughWindow(Box, Box.OkButton);
    EXPECT_EQ(Box.result(), QDialog::Accepted);
    EXPECT_FALSE(Box.isVisible());
    EXPECT_FALSE(Box.SpinningCube2->Continuous());
}

}  // namespace
