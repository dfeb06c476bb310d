#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

#include "controls/TextMeasure.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int DPI = 600;
// Page sizes and margins are kept in whole points: allow one point either way.
constexpr double OnePoint = DPI / 72.0;

double MillimetresAt(double MM) {
    return MM * DPI / 25.4;
}

}  // namespace

TEST(TextMeasure, PrinterPaperAndUnprintableMarginsInDevicePixels) {
    TTempDir Dir;
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(QString::fromStdString(Dir.File("page.pdf")));
    Printer.setResolution(DPI);
    Printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(Printer.setPageMargins(QMarginsF(10, 20, 30, 40), QPageLayout::Millimeter));

    TPrinterMargins M = GetPrinterMargins(Printer);
    EXPECT_NEAR(M.PageWidth, MillimetresAt(210), OnePoint);
    EXPECT_NEAR(M.PageHeight, MillimetresAt(297), OnePoint);
    EXPECT_NEAR(M.LeftMargin, MillimetresAt(10), OnePoint);
    EXPECT_NEAR(M.TopMargin, MillimetresAt(20), OnePoint);
    EXPECT_NEAR(M.RightMargin, MillimetresAt(30), OnePoint);
    EXPECT_NEAR(M.BottomMargin, MillimetresAt(40), OnePoint);
    EXPECT_EQ(GetPrinterDPI(&Printer), DPI);

    Printer.setPageOrientation(QPageLayout::Landscape);
    M = GetPrinterMargins(Printer);
    EXPECT_NEAR(M.PageWidth, MillimetresAt(297), OnePoint);
    EXPECT_NEAR(M.PageHeight, MillimetresAt(210), OnePoint);
    EXPECT_EQ(M.PageWidth - M.LeftMargin - M.RightMargin,
              qRound(Printer.pageRect(QPrinter::DevicePixel).width()));
}

TEST(TextMeasure, TheScreenStandsInForAMissingPrinter) {
    EXPECT_GT(GetScreenDPI(), 0);
    EXPECT_EQ(GetPrinterDPI(nullptr), GetScreenDPI());
}
