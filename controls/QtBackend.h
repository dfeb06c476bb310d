// The program's message and progress backend: the real message dialog and progress windows.
#pragma once

#include <QPointer>
#include <QWidget>

#include "controls/ConcProgress.h"
#include "controls/Msg.h"

class TQtBackend : public IMessageBackend, public IProgressBackend {
public:
    // The window whose minimised state keeps progress windows hidden (borrowed, may die first).
    // Without one the application never counts as minimised.
    void SetMainWindow(QWidget* MainWindow) { FMainWindow = MainWindow; }

    // The modal message dialog; the modal result of the button that closed it.
    int Show(const TMessageRequest& Request) override;
    // A progress window for the form; the form owns it.
    std::unique_ptr<IProgressView> CreateView(TProgressForm& Form) override;
    std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) override;
    bool IsApplicationMinimized() override;
    // Handles pending events, where the progress windows' buttons set their forms' Tag.
    void ProcessMessages() override;

private:
    QPointer<QWidget> FMainWindow;
};

// Registers the unit's one Qt backend for messages and progress windows and returns it, so that the
// program can hand it its main window once that exists. Needs a QApplication.
TQtBackend& RegisterQtBackend();
