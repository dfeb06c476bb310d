// The printer and the print dialog every window prints through. A window prepares the shared printer
// (document name, orientation), asks ExecutePrintDialog and paints on the printer when it answers true.
// The program registers the real dialog; tests register their own (one that points the printer at a PDF
// file), so no test ever blocks on a dialog or reaches a real printer.
#pragma once

#include <functional>

class QPrinter;

// Shows the dialog on Printer; true when the user chose to print, with Printer set as chosen.
using TPrintDialogFunc = std::function<bool(QPrinter& Printer)>;

// Registers the dialog; an empty function restores the default, which answers every request with false.
void SetPrintDialog(TPrintDialogFunc Dialog);
// Whether to print on Printer; false when cancelled or when no dialog is registered.
bool ExecutePrintDialog(QPrinter& Printer);

// The program's one printer, made at first use (needs a QApplication) and kept until the application object
// goes, so that what the user chose for one print job stays for the next.
QPrinter& SharedPrinter();

// Registers QPrintDialog, modal over the application's active window, as the program's print dialog.
void RegisterPrintDialog();
