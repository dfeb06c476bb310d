#include "controls/QtBackend.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

#include "ui/ConcDblProgress.h"
#include "controls/DblProgressForm.h"
#include "controls/MessageForm.h"
#include "controls/ProgressForm.h"

class TQtBackend::TStateWatcher : public QObject {
public:
    explicit TStateWatcher(TQtBackend& Backend) : FBackend(Backend) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::WindowStateChange) FBackend.MainWindowStateChanged();
        return QObject::eventFilter(Watched, Event);
    }

private:
    TQtBackend& FBackend;
};

// The window manager gives the focus back to a closed dialog's owner only when it has settled which
// window had it: a dialog that closes right after a question of its own (a message box that has just
// handed the focus back to it) leaves the focus with nobody, and no key reaches the program until the
// user clicks one of its windows. So the owner asks for it itself.
class TQtBackend::TFocusKeeper : public QObject {
protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Hide && Watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(Watched);
            // Modal dialogs only: they close at the user's word, while a progress window may close while the
            // user works in another program, which must keep the focus.
            if (widget->isWindow() && widget->windowType() == Qt::Dialog && widget->isModal() &&
                widget->parentWidget()) {
                QPointer<QWidget> owner = widget->parentWidget()->window();
                QTimer::singleShot(0, owner, [owner] {
                    // Qt may still count the owner as active while the window manager has given the
                    // focus to no window: asking again costs nothing.
                    const QWidget* active = QApplication::activeWindow();
                    if (owner && owner->isVisible() && !owner->isMinimized() &&
                        (!active || !active->isVisible() || active == owner))
                        owner->activateWindow();
                });
            }
        }
        return QObject::eventFilter(Watched, Event);
    }
};

TQtBackend::TQtBackend()
    : FWatcher(std::make_unique<TStateWatcher>(*this)), FFocusKeeper(std::make_unique<TFocusKeeper>()) {}

TQtBackend::~TQtBackend() {
    SetMainWindow(nullptr);
}

void TQtBackend::SetMainWindow(QWidget* MainWindow) {
    if (FMainWindow) FMainWindow->removeEventFilter(FWatcher.get());
    if (qApp) qApp->removeEventFilter(FFocusKeeper.get());
    FMainWindow = MainWindow;
    if (FMainWindow) {
        FMainWindow->installEventFilter(FWatcher.get());
        qApp->installEventFilter(FFocusKeeper.get());
    }
}

int TQtBackend::Show(const TMessageRequest& Request) {
    // A message belongs to the modal window the user works in: right after a file dialog closes, the
    // active window may still be the main window that the dialog blocks, and a box parented there
    // would lie over the dialog.
    QWidget* parent = QApplication::activeWindow();
    QWidget* modal = QApplication::activeModalWidget();
    if (parent && modal && parent != modal && !modal->isAncestorOf(parent)) parent = modal;
    if (!parent && FMainWindow && FMainWindow->isVisible()) parent = FMainWindow;
    return ExecuteMessageForm(Request, parent);
}

std::unique_ptr<IProgressView> TQtBackend::CreateView(TProgressForm& Form) {
    auto window = std::make_unique<TProgressWindow>(Form, FMainWindow);
    FWindows.emplace_back(window.get());
    OperationStarted();
    return window;
}

std::unique_ptr<IProgressView> TQtBackend::CreateDoubleView(TDoubleProgressForm& Form) {
    auto window = std::make_unique<TDblProgressWindow>(Form, FMainWindow);
    FWindows.emplace_back(window.get());
    OperationStarted();
    return window;
}

bool TQtBackend::IsApplicationMinimized() {
    return FMainWindow && FMainWindow->isMinimized();
}

void TQtBackend::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TQtBackend::MainWindowStateChanged() {
    FWindows.erase(
        std::remove_if(FWindows.begin(), FWindows.end(), [](const QPointer<QWidget>& W) { return !W; }),
        FWindows.end());
    const bool minimized = IsApplicationMinimized();
    for (const QPointer<QWidget>& window : FWindows) {
        if (auto* single = qobject_cast<TProgressWindow*>(window)) {
            if (minimized)
                single->Form().Hide();
            else
                ShowUnlessMinimized(&single->Form());
        } else if (auto* dbl = qobject_cast<TDblProgressWindow*>(window)) {
            if (minimized)
                dbl->Form().Hide();
            else
                ShowUnlessMinimized(&dbl->Form());
        }
    }
}

// Queued: the form that asked for the window is not the live one yet while its view is made.
void TQtBackend::OperationStarted() {
    if (!FMainWindow || FMainWindow->metaObject()->indexOfMethod("UpdateActions()") < 0) return;
    QMetaObject::invokeMethod(FMainWindow, "UpdateActions", Qt::QueuedConnection);
}

TQtBackend& RegisterQtBackend() {
    static TQtBackend backend;
    SetMessageBackend(&backend);
    SetProgressBackend(&backend);
    return backend;
}
