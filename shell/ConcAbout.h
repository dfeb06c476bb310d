// The about box: the product name, the version, the program file's time stamp and two cubes that
// turn and breathe between 20 and 65 pixels while the box is open.
#pragma once

#include <QDialog>

class QLabel;
class QFrame;
class QPushButton;
class TCubeSpin;
class TTimeStamp;

// A cube's place and its growth step (+1 or -1).
struct TCubeGrowth {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Step = -1;
    bool operator==(const TCubeGrowth&) const = default;
};

// One breath of a cube: its edges move out by the step about its centre; then a width below 20 makes
// the step +1 and a width above 65 makes it -1.
TCubeGrowth StepCubeGrowth(TCubeGrowth G);

class TAboutForm : public QDialog {
public:
    explicit TAboutForm(QWidget* Parent = nullptr);
    ~TAboutForm() override;

    QFrame* Panel;
    QLabel* ProductName;
    QLabel* Version;
    TTimeStamp* TimeStamp;
    TCubeSpin* SpinningCube1;
    TCubeSpin* SpinningCube2;
    QPushButton* OkButton;

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void Breathe(TCubeSpin* Cube, int& Step);

    int FGrowth1 = -1, FGrowth2 = -1;
    bool FActivated = false;
};

// Creates the box, shows it modally over Parent and frees it.
void ShowAboutBox(QWidget* Parent);
