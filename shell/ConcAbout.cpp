#include "shell/ConcAbout.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "controls/Ccube.h"
#include "controls/Stamps.h"
#include "engine/ConcConfig.h"

namespace {

const char* const ProductTitle = "Tessivor";
constexpr int Margin = 8;         // between the dialog's edge and the panel, on every side
constexpr int CubeSlot = 69;      // room for a cube at its largest, about its centre
constexpr int DesignedCube = 49;  // a cube's size when the box opens
constexpr int LabelsWidth = 200;

TCubeSpin* MakeCube(QWidget* Parent, int SlotLeft, int SlotTop) {
    auto* Cube = new TCubeSpin(Parent);
    Cube->SetAngles(6, 20, 336);
    Cube->SpinInc = 7;
    Cube->YSpinOn = false;
    Cube->SetOptions(CubeOpt(cdoErase) | CubeOpt(cdoHide) | CubeOpt(cdoDblBuf) | CubeOpt(cdoFaces) |
                     CubeOpt(cdoShade) | CubeOpt(cdoColor));
    const int Offset = (CubeSlot - DesignedCube) / 2;
    Cube->setGeometry(SlotLeft + Offset, SlotTop + Offset, DesignedCube, DesignedCube);
    return Cube;
}

}  // namespace

TCubeGrowth StepCubeGrowth(TCubeGrowth G) {
    G.Left -= G.Step;
    G.Top -= G.Step;
    G.Width += 2 * G.Step;
    G.Height += 2 * G.Step;
    if (G.Width < 20)
        G.Step = 1;
    else if (G.Width > 65)
        G.Step = -1;
    return G;
}

TAboutForm::TAboutForm(QWidget* Parent) : QDialog(Parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QString("About ") + ProductTitle);

    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // The cubes change their geometry at every step, so they sit in the panel without a layout.
    SpinningCube1 = MakeCube(Panel, 6, 6);
    const int LabelsLeft = 6 + CubeSlot + 6;
    SpinningCube2 = MakeCube(Panel, LabelsLeft + LabelsWidth + 6, 6);

    ProductName = new QLabel(ProductTitle, Panel);
    QFont Big = ProductName->font();
    Big.setPointSizeF(Big.pointSizeF() * 1.6);
    Big.setBold(true);
    ProductName->setFont(Big);
    Version = new QLabel(QString::fromStdString(VersionText), Panel);
    TimeStamp = new TTimeStamp(Panel);
    TimeStamp->setVisible(true);
    int Top = 10;
    for (QLabel* Label : {static_cast<QLabel*>(ProductName), Version, static_cast<QLabel*>(TimeStamp)}) {
        Label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        Label->setGeometry(LabelsLeft, Top, LabelsWidth, Label->sizeHint().height());
        Top += Label->sizeHint().height() + 4;
    }

    // The panel ends 6 pixels right of the second cube's slot; the dialog keeps equal margins about it.
    const int PanelWidth = SpinningCube2->geometry().right() + (CubeSlot - DesignedCube) / 2 + 1 + 6;
    const int PanelHeight = std::max(6 + CubeSlot + 6, Top + 6);
    Panel->setGeometry(Margin, Margin, PanelWidth, PanelHeight);

    OkButton = new QPushButton("OK", this);
    OkButton->setDefault(true);
    const QSize Button = OkButton->sizeHint();
    const int ClientWidth = PanelWidth + 2 * Margin;
    OkButton->setGeometry((ClientWidth - Button.width()) / 2, Margin + PanelHeight + Margin, Button.width(),
                          Button.height());
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(ClientWidth, Margin + PanelHeight + Margin + Button.height() + Margin);

    SpinningCube1->OnSpin = [this] { Breathe(SpinningCube1, FGrowth1); };
    SpinningCube2->OnSpin = [this] { Breathe(SpinningCube2, FGrowth2); };
    SpinningCube1->OnClick = [this] { SpinningCube1->SetContinuous(!SpinningCube1->Continuous()); };
    SpinningCube2->OnClick = [this] { SpinningCube2->SetContinuous(!SpinningCube2->Continuous()); };
}

TAboutForm::~TAboutForm() = default;

void TAboutForm::Breathe(TCubeSpin* Cube, int& Step) {
    const QRect R = Cube->geometry();
    const TCubeGrowth G = StepCubeGrowth({R.left(), R.top(), R.width(), R.height(), Step});
    Step = G.Step;
    Cube->setGeometry(G.Left, G.Top, G.Width, G.Height);
}

void TAboutForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (FActivated) return;
    FActivated = true;
    if (const QScreen* Screen = screen()) move(Screen->availableGeometry().center() - rect().center());
    FGrowth1 = FGrowth2 = -1;
    SpinningCube1->SetContinuous(true);
    SpinningCube2->SetContinuous(true);
}

void TAboutForm::done(int Result) {
    SpinningCube1->SetContinuous(false);
    SpinningCube2->SetContinuous(false);
    QDialog::done(Result);
}

void ShowAboutBox(QWidget* Parent) {
    TAboutForm Box(Parent);
    Box.exec();
}
