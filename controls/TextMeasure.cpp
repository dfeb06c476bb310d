#include "controls/TextMeasure.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>

namespace {

// What the system reports when it knows nothing about the screen.
constexpr int DefaultScreenDPI = 96;

}  // namespace

TPrinterMargins GetPrinterMargins(const QPrinter& Printer) {
    const QRectF Paper = Printer.paperRect(QPrinter::DevicePixel);
    const QRectF Printable = Printer.pageRect(QPrinter::DevicePixel);
    TPrinterMargins M;
    M.PageHeight = qRound(Paper.height());
    M.PageWidth = qRound(Paper.width());
    M.TopMargin = qRound(Printable.top() - Paper.top());
    M.LeftMargin = qRound(Printable.left() - Paper.left());
    M.BottomMargin = M.PageHeight - qRound(Printable.height()) - M.TopMargin;
    M.RightMargin = M.PageWidth - qRound(Printable.width()) - M.LeftMargin;
    return M;
}

int GetScreenDPI() {
    const QScreen* Screen = QGuiApplication::primaryScreen();
    return Screen ? qRound(Screen->logicalDotsPerInchY()) : DefaultScreenDPI;
}

int GetPrinterDPI(const QPrinter* Printer) {
    if (!Printer || !Printer->isValid()) return GetScreenDPI();
    return Printer->logicalDpiY();
}
