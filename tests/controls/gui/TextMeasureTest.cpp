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

    // A device that prints everywhere has no unprintable margins, whatever margins the page asks for.
    ASSERT_TRUE(Printer.setPageMargins(QMarginsF(10, 20, 30, 40), QPageLayout::Millimeter));
    TPrinterMargins M = GetPrinterMargins(Printer);
    EXPECT_NEAR(M.PageWidth, MillimetresAt(210), OnePoint);
    EXPECT_NEAR(M.PageHeight, MillimetresAt(297), OnePoint);
    EXPECT_EQ(M.LeftMargin, 0);
    EXPECT_EQ(M.TopMargin, 0);
    EXPECT_EQ(M.RightMargin, 0);
    EXPECT_EQ(M.BottomMargin, 0);
    EXPECT_EQ(GetPrinterDPI(&Printer), DPI);

    // A device with offsets: they come back, not the page's margins.
    Printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(10, 20, 30, 40), QPageLayout::Millimeter,
                                      QMarginsF(4, 5, 6, 7)));
    M = GetPrinterMargins(Printer);
    EXPECT_NEAR(M.LeftMargin, MillimetresAt(4), OnePoint);
    EXPECT_NEAR(M.TopMargin, MillimetresAt(5), OnePoint);
    EXPECT_NEAR(M.RightMargin, MillimetresAt(6), OnePoint);
    EXPECT_NEAR(M.BottomMargin, MillimetresAt(7), OnePoint);

    Printer.setPageOrientation(QPageLayout::Landscape);
    M = GetPrinterMargins(Printer);
    EXPECT_NEAR(M.PageWidth, MillimetresAt(297), OnePoint);
    EXPECT_NEAR(M.PageHeight, MillimetresAt(210), OnePoint);
}

TEST(TextMeasure, TheScreenStandsInForAMissingPrinter) {
    EXPECT_GT(GetScreenDPI(), 0);
    EXPECT_EQ(GetPrinterDPI(nullptr), GetScreenDPI());
}
