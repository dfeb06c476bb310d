#include "controls/Ccube.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <cstdlib>

#include "controls/ConcFormUtils.h"

namespace {

const std::array<float, 360>& SineTable() {
    static const std::array<float, 360> Table = [] {
        std::array<float, 360> T{};
        for (int I = 0; I < 360; ++I) T[I] = static_cast<float>(std::sin(I * M_PI / 180.0));
        return T;
    }();
    return Table;
}

constexpr std::array<TCubeVertex, 8> UnitCorners = {
    {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}, {1, -1, 1}}};
constexpr std::array<std::array<int, 2>, 12> CubeEdges = {
    {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}}};
constexpr std::array<std::array<int, 4>, 6> CubeFaces = {
    {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}}};

constexpr uint32_t Rgb(int R, int G, int B) {
    return static_cast<uint32_t>(R & 0xFF) | static_cast<uint32_t>(G & 0xFF) << 8 |
           static_cast<uint32_t>(B & 0xFF) << 16;
}

uint32_t FaceColor(const std::array<int, 4>& Face, const TCubeFrame& F, TCubeDispOpts Options) {
    const bool Color = HasCubeOpt(Options, cdoColor);
    if (HasCubeOpt(Options, cdoShade)) {
        int32_t Near = F.Rotated[Face[0]].Z, Far = Near;
        for (int V : Face) {
            Near = std::max(Near, F.Rotated[V].Z);
            Far = std::min(Far, F.Rotated[V].Z);
        }
        const int32_t L = std::max(0, 255 - 64 * std::abs(Near - Far) / std::max(1, F.Scale));
        return Color ? Rgb(L / 2, L / 4, L) : Rgb(L, L, L);
    }
    const int A = Face[0], B = Face[1], C = Face[2];
    if (Color) return Rgb(A * 64, B * 64, C * 64);
    const int Grey = (A * 64 + B * 16 + C) % 256;
    return Rgb(Grey, Grey, Grey);
}

}  // namespace

int32_t NormalizeCubeAngle(int32_t Degrees) {
    const int32_t A = Degrees % 360;
    return A < 0 ? A + 360 : A;
}

float CubeSin(int32_t Degrees) {
    return SineTable()[NormalizeCubeAngle(Degrees)];
}
float CubeCos(int32_t Degrees) {
    return CubeSin(90 - NormalizeCubeAngle(Degrees));
}

TCubeFrame ComputeCubeFrame(int32_t XSpin, int32_t YSpin, int32_t ZSpin, int Width, int Height,
                            TCubeDispOpts Options) {
    TCubeFrame F;
    F.Scale = std::min(Width, Height) / 4;
    F.Perspective = F.Scale * 8;
    const float SX = CubeSin(XSpin), CX = CubeCos(XSpin);
    const float SY = CubeSin(YSpin), CY = CubeCos(YSpin);
    const float SZ = CubeSin(ZSpin), CZ = CubeCos(ZSpin);
    const float M[3][3] = {{CY * CZ, -CY * SZ, -SY},
                           {-SX * SY * CZ + CX * SZ, SX * SY * SZ + CX * CZ, -SX * CY},
                           {CX * SY * CZ + SX * SZ, -CX * SY * SZ + SX * CZ, CX * CY}};
    const int CentreX = Width / 2, CentreY = Height / 2;
    const bool Hide = HasCubeOpt(Options, cdoHide);
    for (size_t I = 0; I < 8; ++I) {
        const float V[3] = {static_cast<float>(UnitCorners[I].X * F.Scale),
                            static_cast<float>(UnitCorners[I].Y * F.Scale),
                            static_cast<float>(UnitCorners[I].Z * F.Scale)};
        int32_t R[3];
        for (int Row = 0; Row < 3; ++Row)
            R[Row] =
                static_cast<int32_t>(std::nearbyint(M[Row][0] * V[0] + M[Row][1] * V[1] + M[Row][2] * V[2]));
        F.Rotated[I] = {R[0], R[1], R[2]};
        if (Hide || F.Perspective == 0)
            F.Projected[I] = {R[0] + CentreX, R[1] + CentreY, 0};
        else
            F.Projected[I] = {R[0] + R[0] * R[2] / F.Perspective + CentreX,
                              R[1] + R[1] * R[2] / F.Perspective + CentreY, 0};
    }
    if (Hide) {
        F.Hidden = 0;
        for (int I = 1; I < 8; ++I)
            if (F.Rotated[I].Z < F.Rotated[F.Hidden].Z) F.Hidden = I;
    }
    auto touchesHidden = [&](auto const& Corners) {
        return std::find(Corners.begin(), Corners.end(), F.Hidden) != Corners.end();
    };
    if (HasCubeOpt(Options, cdoFaces)) {
        for (const auto& Face : CubeFaces)
            if (!touchesHidden(Face)) F.Faces.push_back({Face, FaceColor(Face, F, Options)});
    } else {
        for (const auto& Edge : CubeEdges)
            if (!Hide || !touchesHidden(Edge)) F.Edges.push_back(Edge);
    }
    return F;
}

// ---------------------------------------------------------------------------------------------------

TCubeSpin::TCubeSpin(QWidget* Parent) : QFrame(Parent) {
    // The cube paints its whole client area itself, so Qt need not erase it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TCubeSpin::~TCubeSpin() = default;

void TCubeSpin::SetAngles(int32_t X, int32_t Y, int32_t Z) {
    if (X == FAngles[0] && Y == FAngles[1] && Z == FAngles[2]) return;
    FAngles = {NormalizeCubeAngle(X), NormalizeCubeAngle(Y), NormalizeCubeAngle(Z)};
    update();
    if (OnSpin) OnSpin();
}

void TCubeSpin::SetOptions(TCubeDispOpts Options) {
    if (HasCubeOpt(Options, cdoFaces)) Options |= CubeOpt(cdoHide);
    if (Options == FOptions) return;
    FOptions = Options;
    update();
}

void TCubeSpin::SetContinuous(bool On) {
    if (On == Continuous()) return;
    if (!On) {
        delete FTimer;
        FTimer = nullptr;
        return;
    }
    FTimer = new QTimer(this);
    // A display frame's time: faster would only turn the cube faster, not more smoothly.
    FTimer->setInterval(16);
    connect(FTimer, &QTimer::timeout, this, &TCubeSpin::Step);
    FTimer->start();
}

void TCubeSpin::Step() {
    SetAngles(FAngles[0] + (XSpinOn ? SpinInc : 0), FAngles[1] + (YSpinOn ? SpinInc : 0),
              FAngles[2] + (ZSpinOn ? SpinInc : 0));
}

void TCubeSpin::resizeEvent(QResizeEvent* Event) {
    QFrame::resizeEvent(Event);
    FBuffer = QPixmap(size());
    FGeometryRebuilt = true;
}

void TCubeSpin::mouseReleaseEvent(QMouseEvent* Event) {
    QFrame::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
        OnClick();
}

void TCubeSpin::DrawCube(QPainter& P) {
    const QColor Background = palette().color(backgroundRole());
    if (HasCubeOpt(FOptions, cdoErase) || FGeometryRebuilt) P.fillRect(rect(), Background);
    FGeometryRebuilt = false;
    const TCubeFrame F = ComputeCubeFrame(FAngles[0], FAngles[1], FAngles[2], width(), height(), FOptions);
    P.setPen(Qt::black);
    P.setBrush(Background);
    auto point = [&](int V) { return QPoint(F.Projected[V].X, F.Projected[V].Y); };
    for (const auto& Edge : F.Edges) P.drawLine(point(Edge[0]), point(Edge[1]));
    for (const TCubeFace& Face : F.Faces) {
        const QPoint Corners[4] = {point(Face.Corners[0]), point(Face.Corners[1]), point(Face.Corners[2]),
                                   point(Face.Corners[3])};
        P.setBrush(ColorRefToQColor(static_cast<int32_t>(Face.Color)));
        P.drawPolygon(Corners, 4);
    }
}

void TCubeSpin::paintEvent(QPaintEvent*) {
    if (HasCubeOpt(FOptions, cdoDblBuf) && !FBuffer.isNull()) {
        {
            QPainter Buffer(&FBuffer);
            DrawCube(Buffer);
        }
        QPainter(this).drawPixmap(0, 0, FBuffer);
        return;
    }
    QPainter P(this);
    DrawCube(P);
}
