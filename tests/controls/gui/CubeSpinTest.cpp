#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>

#include "controls/Ccube.h"

namespace {

TEST(CubeSpinTest, AnglesAreKeptInOneTurnAndOnlyAChangeIsAnnounced) {
    TCubeSpin Cube;
    int Spins = 0;
    Cube.OnSpin = [&] { ++Spins; };
    Cube.SetAngles(-30, 725, 360);
    EXPECT_EQ(Cube.XSpin(), 330);
    EXPECT_EQ(Cube.YSpin(), 5);
    EXPECT_EQ(Cube.ZSpin(), 0);
    EXPECT_EQ(Spins, 1);
    Cube.SetAngles(330, 5, 0);
    EXPECT_EQ(Spins, 1);
    // Faces need the hidden corner, so they bring that option with them.
    Cube.SetOptions(CubeOpt(cdoFaces));
    EXPECT_TRUE(HasCubeOpt(Cube.Options(), cdoHide));
}

TEST(CubeSpinTest, AnUnturnedCubeDrawsItsThreeNearFacesShadedByDepth) {
    const TCubeFrame F = ComputeCubeFrame(0, 0, 0, 65, 65, DefaultCubeOptions);
    EXPECT_EQ(F.Scale, 16);
    EXPECT_EQ(F.Perspective, 128);
    EXPECT_EQ(F.Hidden, 0);  // the first corner of the back face (z = -16)
    ASSERT_EQ(F.Faces.size(), 3u);
    EXPECT_EQ(F.Faces[0].Corners, (std::array<int, 4>{4, 5, 6, 7}));
    EXPECT_EQ(F.Faces[0].Color, 0xFF3F7Fu);  // flat to the viewer: L = 255, RGB(127, 63, 255)
    EXPECT_EQ(F.Faces[1].Color, 0x7F1F3Fu);  // spans the whole depth: L = 255 - 128, RGB(63, 31, 127)
    // Without hiding, the far corner is drawn in perspective: 16 + 16 * 16 / 128 + 32.
    const TCubeFrame Wire = ComputeCubeFrame(0, 0, 0, 65, 65, CubeOpt(cdoErase));
    EXPECT_EQ(Wire.Projected[6].X, 50);
    EXPECT_EQ(Wire.Edges.size(), 12u);
    EXPECT_EQ(ComputeCubeFrame(0, 0, 0, 65, 65, CubeOpt(cdoHide)).Edges.size(), 9u);
}

TEST(CubeSpinTest, AtEveryAngleTheHiddenCornerIsTheFarthestAndItsFacesAreLeftOut) {
    for (int X = 0; X < 360; X += 23)
        for (int Y = 0; Y < 360; Y += 29)
            for (int Z = 0; Z < 360; Z += 31) {
                const TCubeFrame F = ComputeCubeFrame(X, Y, Z, 80, 60, DefaultCubeOptions);
                for (const TCubeVertex& V : F.Rotated) EXPECT_LE(F.Rotated[F.Hidden].Z, V.Z);
                EXPECT_GE(F.Faces.size(), 1u);
                EXPECT_LE(F.Faces.size(), 3u);
                for (const TCubeFace& Face : F.Faces)
                    EXPECT_EQ(std::count(Face.Corners.begin(), Face.Corners.end(), F.Hidden), 0);
            }
}

TEST(CubeSpinTest, ASpinningCubeAdvancesOnlyItsEnabledAngles) {
    TCubeSpin Cube;
    Cube.resize(65, 65);
    Cube.show();
    Cube.SetAngles(6, 20, 336);
    Cube.SpinInc = 7;
    int Spins = 0;
    Cube.OnSpin = [&] { ++Spins; };
    Cube.SetContinuous(true);
    QTest::qWait(150);
    Cube.SetContinuous(false);
    ASSERT_GT(Spins, 1);
    EXPECT_EQ(Cube.XSpin(), (6 + 7 * Spins) % 360);
    EXPECT_EQ(Cube.YSpin(), 20);
    EXPECT_EQ(Cube.ZSpin(), (336 + 7 * Spins) % 360);
    const int Stopped = Spins;
    QTest::qWait(50);
    EXPECT_EQ(Spins, Stopped);
}

}  // namespace
