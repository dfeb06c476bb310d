// TCubeSpin: a panel that draws a turning cube, as a wire frame or as shaded faces, turned by its
// angle properties, a timer or its owner. The geometry of a frame is computed Qt-free
// (ComputeCubeFrame) so that what a paint draws can be checked without a display.
#pragma once

#include <QFrame>
#include <QPixmap>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

enum TCubeDispOpt : uint8_t { cdoErase, cdoHide, cdoDblBuf, cdoAuto, cdoFaces, cdoShade, cdoColor };

// A set of TCubeDispOpt, one bit each.
using TCubeDispOpts = uint8_t;
constexpr TCubeDispOpts CubeOpt(TCubeDispOpt O) {
    return static_cast<TCubeDispOpts>(1u << O);
}
constexpr bool HasCubeOpt(TCubeDispOpts Set, TCubeDispOpt O) {
    return (Set & CubeOpt(O)) != 0;
}
// Every option but cdoAuto.
constexpr TCubeDispOpts DefaultCubeOptions = CubeOpt(cdoErase) | CubeOpt(cdoHide) | CubeOpt(cdoDblBuf) |
                                             CubeOpt(cdoFaces) | CubeOpt(cdoShade) | CubeOpt(cdoColor);

// The angle brought into 0..359.
int32_t NormalizeCubeAngle(int32_t Degrees);
// Sine and cosine of whole degrees from a table of 360 values; cosine(a) = sine(90 - a).
float CubeSin(int32_t Degrees);
float CubeCos(int32_t Degrees);

struct TCubeVertex {
    int32_t X = 0, Y = 0, Z = 0;
};

struct TCubeFace {
    std::array<int, 4> Corners;  // vertex numbers
    uint32_t Color = 0;          // COLORREF 0x00BBGGRR
};

// Everything one paint draws for a client area of Width x Height.
struct TCubeFrame {
    int32_t Scale = 0;                      // min(Width, Height) div 4
    int32_t Perspective = 0;                // Scale x 8
    std::array<TCubeVertex, 8> Rotated;     // the corners turned by the three angles
    std::array<TCubeVertex, 8> Projected;   // screen positions (Z unused)
    int Hidden = -1;                        // the corner farthest from the viewer, with cdoHide
    std::vector<std::array<int, 2>> Edges;  // wire-frame edges drawn (without cdoFaces)
    std::vector<TCubeFace> Faces;           // faces drawn (with cdoFaces), in the order drawn
};

TCubeFrame ComputeCubeFrame(int32_t XSpin, int32_t YSpin, int32_t ZSpin, int Width, int Height,
                            TCubeDispOpts Options);

class TCubeSpin : public QFrame {
public:
    explicit TCubeSpin(QWidget* Parent = nullptr);
    ~TCubeSpin() override;

    int32_t XSpin() const { return FAngles[0]; }
    int32_t YSpin() const { return FAngles[1]; }
    int32_t ZSpin() const { return FAngles[2]; }
    // Sets the three angles (each taken mod 360); when one changed, repaints and calls OnSpin.
    void SetAngles(int32_t X, int32_t Y, int32_t Z);
    void SetXSpin(int32_t V) { SetAngles(V, FAngles[1], FAngles[2]); }
    void SetYSpin(int32_t V) { SetAngles(FAngles[0], V, FAngles[2]); }
    void SetZSpin(int32_t V) { SetAngles(FAngles[0], FAngles[1], V); }

    int32_t SpinInc = 5;  // degrees a step adds
    bool XSpinOn = true, YSpinOn = false, ZSpinOn = true;

    TCubeDispOpts Options() const { return FOptions; }
    // cdoFaces brings cdoHide with it; a change repaints.
    void SetOptions(TCubeDispOpts Options);

    bool Continuous() const { return FTimer != nullptr; }
    // On: a timer of the cube's own steps it about 60 times a second; off: the timer is freed.
    void SetContinuous(bool On);
    // Advances every enabled angle by SpinInc.
    void Step();

    // After every change of the angles.
    std::function<void()> OnSpin;
    // A click of the left button on the cube.
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    void DrawCube(class QPainter& P);

    std::array<int32_t, 3> FAngles{0, 0, 0};
    TCubeDispOpts FOptions = DefaultCubeOptions;
    QTimer* FTimer = nullptr;
    QPixmap FBuffer;
    bool FGeometryRebuilt = true;
};
