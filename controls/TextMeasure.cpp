#include "controls/TextMeasure.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QScreen>

namespace {

// What the system reports when it knows nothing about the screen.
constexpr int DefaultScreenDPI = 96;

}  // namespace

// The parts the device cannot print on are the layout's minimum margins; the margins chosen for the
// page are a matter of layout, not of the printer.
TPrinterMargins GetPrinterMargins(const QPrinter& Printer) {
    QPageLayout Layout = Printer.pageLayout();
    const int DPI = Printer.resolution();
    const QRect Paper = Layout.fullRectPixels(DPI);
    Layout.setMargins(Layout.minimumMargins());
    const QRect Printable = Layout.paintRectPixels(DPI);
    TPrinterMargins M;
    M.PageHeight = Paper.height();
    M.PageWidth = Paper.width();
    M.TopMargin = Printable.top() - Paper.top();
    M.LeftMargin = Printable.left() - Paper.left();
    M.BottomMargin = M.PageHeight - Printable.height() - M.TopMargin;
    M.RightMargin = M.PageWidth - Printable.width() - M.LeftMargin;
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
