// The window of the single progress form: a gauge, the operation's text and the cancel buttons of
// the form's mode. It only mirrors its TProgressForm and writes the cancel code into the form's Tag;
// the operation that owns the form polls that code and frees the form (and with it this window).
#pragma once

#include <QDialog>

#include "controls/ConcProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

// Shows Progress of Min..Max on Bar as the gauge of the old program did: a value outside the range is
// clamped, and an empty range (Max <= Min) shows 0% instead of Qt's busy animation.
void ShowGauge(QProgressBar* Bar, int Min, int Max, int Progress);

// Flags of both progress windows: stay on top, a title bar without border icons.
Qt::WindowFlags ProgressWindowFlags();
// Moves Window so that its client area of Size is centred on the primary screen.
void CentreOnScreen(QWidget* Window, QSize Size);

class TProgressWindow : public QDialog, public IProgressView {
    Q_OBJECT
public:
    // Form is borrowed: the form owns this window through its view slot.
    explicit TProgressWindow(TProgressForm& Form);

    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* Cancel1Btn = nullptr;
    QPushButton* CancelAllBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QLabel* SpecialText = nullptr;

    void Changed() override;
    void ShowWindow() override;
    void HideWindow() override;

    // Escape presses the first visible cancel button and the window stays: the operation frees it.
    void reject() override;

protected:
    // Mode 2 windows cannot be closed; in the other modes closing only hides the window.
    void closeEvent(QCloseEvent* Event) override;

private:
    TProgressForm& FForm;
};
