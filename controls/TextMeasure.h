// Screen and printer measurements in device pixels, for laying out printed pages.
#pragma once

class QPrinter;

// A printer's physical page and the parts of it the printer cannot print on, in device pixels.
struct TPrinterMargins {
    int PageHeight = 0;    // physical height of the paper
    int PageWidth = 0;     // physical width of the paper
    int TopMargin = 0;     // from the paper's top edge to the printable area
    int LeftMargin = 0;    // from the paper's left edge to the printable area
    int BottomMargin = 0;  // PageHeight - printable height - TopMargin
    int RightMargin = 0;   // PageWidth - printable width - LeftMargin
};

// The paper and the margins Printer cannot print on (its device's physical offsets, whatever margins
// the page layout asks for), in its own device pixels.
TPrinterMargins GetPrinterMargins(const QPrinter& Printer);
// Vertical logical pixels per inch of the primary screen; 96 when there is no screen.
int GetScreenDPI();
// Vertical pixels per inch of Printer; the screen's when Printer is nullptr or not a usable printer.
int GetPrinterDPI(const QPrinter* Printer);
