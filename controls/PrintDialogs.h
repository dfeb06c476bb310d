// The printer and the print dialog every window prints through. A window prepares the shared printer
// (document name, orientation), asks ExecutePrintDialog and paints on the printer when it answers true.
// The set-up dialog only chooses the printer and its settings for a later job. The program registers the
// real dialogs; tests register their own (one that points the printer at a PDF file), so no test ever
// blocks on a dialog or reaches a real printer.
#pragma once

#include <functional>

class QPainter;
class QPrintDialog;
class QPrinter;
class QWidget;

// Shows the dialog on Printer; true when the user chose to print, with Printer set as chosen.
using TPrintDialogFunc = std::function<bool(QPrinter& Printer)>;

// Registers the dialog; an empty function restores the default, which answers every request with false.
void SetPrintDialog(TPrintDialogFunc Dialog);
// Whether to print on Printer; false when cancelled or when no dialog is registered.
bool ExecutePrintDialog(QPrinter& Printer);

// Registers the set-up dialog (same form: true when the user confirmed the settings); an empty function
// restores the default, which answers false.
void SetPrintSetupDialog(TPrintDialogFunc Dialog);
// Lets the user choose Printer and its settings; prints nothing. False when cancelled or when no set-up
// dialog is registered.
bool ExecutePrintSetupDialog(QPrinter& Printer);
// The set-up dialog the program registers, over Printer (owned by the caller): the print dialog whose
// accepting button reads "OK" and which asks nothing that belongs to one job (pages, collation), since
// accepting it prints nothing.
QPrintDialog* NewPrintSetupDialog(QPrinter& Printer, QWidget* Parent);

// The program's one printer, made at first use (needs a QApplication) and kept until the application object
// goes, so that what the user chose for one print job stays for the next. A reference to it is good only
// until the next BeginSharedPrint, which may replace a printer that a failed job left unusable.
QPrinter& SharedPrinter();

// What a failed print job says: that nothing was printed, and where to choose a printer or a PDF file.
extern const char* const PrintFailedText;

// Begins Painter's job on the shared printer. False when the printer cannot print as it is set up (a PDF
// file without a name, or a printer that refuses the job): PrintFailedText is shown, and the printer is
// left ready for the next job with what the user chose (a printer that the failed job left active, which
// would refuse every later change and job, is replaced by one with its settings).
bool BeginSharedPrint(QPainter& Painter);

// Registers QPrintDialog, modal over the application's active window, as the program's print dialog, and
// NewPrintSetupDialog, modal the same way, as its set-up dialog.
void RegisterPrintDialog();
