#include "controls/PrintDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>
#include <utility>

namespace {
TPrintDialogFunc& Registered() {
    static TPrintDialogFunc Dialog;
    return Dialog;
}
TPrintDialogFunc& RegisteredSetup() {
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

void SetPrintSetupDialog(TPrintDialogFunc Dialog) {
    RegisteredSetup() = std::move(Dialog);
}

bool ExecutePrintSetupDialog(QPrinter& Printer) {
    const TPrintDialogFunc& Dialog = RegisteredSetup();
    return Dialog ? Dialog(Printer) : false;
}

QPrintDialog* NewPrintSetupDialog(QPrinter& Printer, QWidget* Parent) {
    auto* Dialog = new QPrintDialog(&Printer, Parent);
    Dialog->setWindowTitle("Print Setup");
    Dialog->setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    // The toolkit's dialog names its accepting button after printing, which this one never does.
    for (QDialogButtonBox* Box : Dialog->findChildren<QDialogButtonBox*>())
        for (QAbstractButton* Button : Box->buttons())
            if (Box->buttonRole(Button) == QDialogButtonBox::AcceptRole) Button->setText("OK");
    return Dialog;
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
    SetPrintSetupDialog([](QPrinter& Printer) {
        const std::unique_ptr<QPrintDialog> Dialog(
            NewPrintSetupDialog(Printer, QApplication::activeWindow()));
        return Dialog->exec() == QDialog::Accepted;
    });
}
