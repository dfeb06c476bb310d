// The window of the single progress form: a gauge, the operation's text and the cancel buttons of
// the form's mode. It only mirrors its TProgressForm and writes the cancel code into the form's Tag;
// the operation that owns the form polls that code and frees the form (and with it this window).
#pragma once

#include <QDialog>

#include "ui/ConcProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

// Shows Progress of Min..Max on Bar as the gauge of the old program did: a value outside the range is
// clamped, and an empty range (Max <= Min) shows 0% instead of Qt's busy animation.
void ShowGauge(QProgressBar* Bar, int Min, int Max, int Progress);

// Flags of both progress windows: a dialog's title bar without border icons.
Qt::WindowFlags ProgressWindowFlags();
// Moves Window so that its client area of Size is centred on the primary screen.
void CentreOnScreen(QWidget* Window, QSize Size);
// Makes a progress window a transient of Owner (borrowed, may be nullptr), so that the window manager
// keeps it above the owner and minimises it with the owner, and sets it to show without taking the
// focus: a key meant for the program must not cancel the job. The window is not owned by Owner.
void PrepareProgressWindow(QDialog* Window, QWidget* Owner);
// Shows a progress window in its normal state (also after the window manager minimised it with its
// owner) and brings it to the front, without activating it.
void ShowProgressWindow(QDialog* Window);
// Shows Text on Label, elided in the middle when it is too wide (a long path keeps its start and its
// file name), with the whole text as the tooltip then.
void SetElidedText(QLabel* Label, const QString& Text);
// The size of a button that shows its whole caption and is at least Least.
QSize ButtonSize(QPushButton* Button, QSize Least);

class TProgressWindow : public QDialog, public IProgressView {
    Q_OBJECT
public:
    // Form is borrowed: the form owns this window through its view slot. Owner: see
    // PrepareProgressWindow.
    explicit TProgressWindow(TProgressForm& Form, QWidget* Owner = nullptr);

    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* Cancel1Btn = nullptr;
    QPushButton* CancelAllBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QLabel* SpecialText = nullptr;

    // The form this window shows.
    TProgressForm& Form() const { return FForm; }

    void Changed() override;
    void ShowWindow() override;
    void HideWindow() override;

    // Escape presses the first visible cancel button and the window stays: the operation frees it.
    void reject() override;

protected:
    // Closing presses the visible cancel button (mode 2 has none and ignores it); the window stays
    // until the operation frees it.
    void closeEvent(QCloseEvent* Event) override;

private:
    void LayOut();

    TProgressForm& FForm;
};
