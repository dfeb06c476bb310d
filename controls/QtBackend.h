// The program's message and progress backend: the real message dialog and progress windows.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/ConcProgress.h"
#include "ui/Msg.h"

class TQtBackend : public IMessageBackend, public IProgressBackend {
public:
    TQtBackend();
    ~TQtBackend() override;

    // The program's main window (borrowed, may die first; nullptr: none). Progress windows are its
    // transients; they are hidden while it is minimised and shown again when it is restored. Message
    // dialogs fall back to it when no window of the program is active. Without one the application
    // never counts as minimised. While there is one, a modal dialog that closes and leaves no window of
    // the program active gives the focus back to the window it belongs to.
    void SetMainWindow(QWidget* MainWindow);

    // The modal message dialog above the active window; the modal result of the button that closed it.
    int Show(const TMessageRequest& Request) override;
    // A progress window for the form; the form owns it.
    std::unique_ptr<IProgressView> CreateView(TProgressForm& Form) override;
    std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) override;
    bool IsApplicationMinimized() override;
    // Handles pending events, where the progress windows' buttons set their forms' Tag.
    void ProcessMessages() override;

private:
    class TStateWatcher;
    class TFocusKeeper;
    // The main window was minimised (hide every progress window) or restored (show every one).
    void MainWindowStateChanged();
    // A new progress window exists: the main window's commands follow at once, since the event loop
    // may not wait (and so not run the idle handler) before the job ends.
    void OperationStarted();

    QPointer<QWidget> FMainWindow;
    std::unique_ptr<TStateWatcher> FWatcher;
    std::unique_ptr<TFocusKeeper> FFocusKeeper;
    std::vector<QPointer<QWidget>> FWindows;
};

// Registers the unit's one Qt backend for messages and progress windows and returns it, so that the
// program can hand it its main window once that exists. Needs a QApplication.
TQtBackend& RegisterQtBackend();
