#include "controls/QtBackend.h"

#include <QCoreApplication>

#include "controls/DblProgressForm.h"
#include "controls/MessageForm.h"
#include "controls/ProgressForm.h"

int TQtBackend::Show(const TMessageRequest& Request) {
    return ExecuteMessageForm(Request);
}

std::unique_ptr<IProgressView> TQtBackend::CreateView(TProgressForm& Form) {
    return std::make_unique<TProgressWindow>(Form);
}

std::unique_ptr<IProgressView> TQtBackend::CreateDoubleView(TDoubleProgressForm& Form) {
    return std::make_unique<TDblProgressWindow>(Form);
}

bool TQtBackend::IsApplicationMinimized() {
    return FMainWindow && FMainWindow->isMinimized();
}

void TQtBackend::ProcessMessages() {
    QCoreApplication::processEvents();
}

TQtBackend& RegisterQtBackend() {
    static TQtBackend backend;
    SetMessageBackend(&backend);
    SetProgressBackend(&backend);
    return backend;
}
