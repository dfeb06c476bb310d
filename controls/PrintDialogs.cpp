#include "controls/PrintDialogs.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <utility>

namespace {
TPrintDialogFunc& Registered() {
    static TPrintDialogFunc Dialog;
    return Dialog;
}
}  // namespace

void SetPrintDialog(TPrintDialogFunc Dialog) {
    Registered() = std::move(Dialog);
}

bool ExecutePrintDialog(QPrinter& Printer) {
    const TPrintDialogFunc& Dialog = Registered();
    return Dialog ? Dialog(Printer) : false;
}

QPrinter& SharedPrinter() {
    // Freed with the application: a printer outliving it would tear down print support already gone.
    static QPrinter* Printer = nullptr;
    if (!Printer) {
        Printer = new QPrinter(QPrinter::HighResolution);
        QObject::connect(qApp, &QObject::destroyed, [] {
            delete Printer;
            Printer = nullptr;
        });
    }
    return *Printer;
}

void RegisterPrintDialog() {
    SetPrintDialog([](QPrinter& Printer) {
        QPrintDialog Dialog(&Printer, QApplication::activeWindow());
        return Dialog.exec() == QDialog::Accepted;
    });
}
