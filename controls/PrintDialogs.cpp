#include "controls/PrintDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>
#include <utility>

#include "ui/Msg.h"

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

namespace {

QPrinter*& SharedPrinterSlot() {
    // Freed with the application: a printer outliving it would tear down print support already gone.
    static QPrinter* Printer = nullptr;
    static bool Watched = false;
    if (!Watched) {
        Watched = true;
        QObject::connect(qApp, &QObject::destroyed, [] {
            delete SharedPrinterSlot();
            SharedPrinterSlot() = nullptr;
            Watched = false;
        });
    }
    return Printer;
}

// A printer whose job failed to begin can stay "active" for good: it then refuses a new output file, a
// new printer and every later job. The user's choices go over to a new one.
void ReplaceStuckPrinter() {
    QPrinter*& Slot = SharedPrinterSlot();
    const QPrinter& Old = *Slot;
    auto* Fresh = new QPrinter(QPrinter::HighResolution);
    Fresh->setOutputFormat(Old.outputFormat());
    if (Old.outputFormat() == QPrinter::NativeFormat) Fresh->setPrinterName(Old.printerName());
    Fresh->setOutputFileName(Old.outputFileName());
    Fresh->setPageLayout(Old.pageLayout());
    Fresh->setColorMode(Old.colorMode());
    Fresh->setCopyCount(Old.copyCount());
    Fresh->setCollateCopies(Old.collateCopies());
    Fresh->setDuplex(Old.duplex());
    Fresh->setDocName(Old.docName());
    delete Slot;
    Slot = Fresh;
}

}  // namespace

QPrinter& SharedPrinter() {
    QPrinter*& Printer = SharedPrinterSlot();
    if (!Printer) Printer = new QPrinter(QPrinter::HighResolution);
    return *Printer;
}

const char* const PrintFailedText =
    "Unable to print.\r\nChoose a printer, or a PDF file to print to, in File > Print Setup, then print "
    "again.";

bool BeginSharedPrint(QPainter& Painter) {
    // Without a printer the toolkit prints to a PDF file, and without a file name that job fails to begin
    // and leaves the printer stuck.
    if (Painter.begin(&SharedPrinter())) return true;
    if (SharedPrinter().printerState() == QPrinter::Active) ReplaceStuckPrinter();
    ShowError(PrintFailedText);
    return false;
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
