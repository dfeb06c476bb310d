// Printing the distribution window: a title, the description as the window shows it, the chart, and a
// footer saying who printed it when.
#include <QChart>
#include <QComboBox>
#include <QDate>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QTime>
#include <utility>
#include <vector>

#include "controls/PrintDialogs.h"
#include "results/ConcDistrib.h"

namespace {

// One caption and value of the description, each in the font its label has.
struct TPrintPair {
    QString Caption, Value;
    QFont CaptionFont, ValueFont;
};
using TPrintRow = std::vector<TPrintPair>;

TPrintRow LabelRow(const QLabel* const* Captions, const QLabel* const* Values, size_t Count) {
    TPrintRow row;
    for (size_t i = 0; i < Count; ++i) {
        if (!Captions[i] || !Values[i]) continue;
        row.push_back({Captions[i]->text(), Values[i]->text(), Captions[i]->font(), Values[i]->font()});
    }
    return row;
}

template <size_t N>
TPrintRow LabelRow(const std::array<QLabel*, N>& Captions, const std::array<QLabel*, N>& Values) {
    return LabelRow(Captions.data(), Values.data(), N);
}

// The area inside margins of 5 % of the paper on every side, in the painter's coordinates (which start
// at the printable area's corner).
QRectF ContentRect(QPrinter& Printer) {
    const QRectF paper = Printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = Printer.pageRect(QPrinter::DevicePixel);
    const qreal dx = paper.width() * 0.05, dy = paper.height() * 0.05;
    const QRectF wanted = paper.adjusted(dx, dy, -dx, -dy).translated(-page.topLeft());
    return wanted.intersected(QRectF(QPointF(0, 0), page.size()));
}

// Draws Text with its top at Y; returns its width.
qreal DrawText(QPainter& Painter, const QFont& Font, qreal X, qreal Y, const QString& Text) {
    Painter.setFont(Font);
    const QFontMetricsF metrics(Font, Painter.device());
    Painter.drawText(QPointF(X, Y + metrics.ascent()), Text);
    return metrics.horizontalAdvance(Text);
}

// Draws the pairs of Row left to right from Left, each pair advanced by its width and that of a "W";
// returns the height of the row's tallest text.
qreal DrawRow(QPainter& Painter, const TPrintRow& Row, qreal Left, qreal Y) {
    qreal x = Left, height = 0;
    for (const TPrintPair& pair : Row) {
        const QFontMetricsF captionMetrics(pair.CaptionFont, Painter.device());
        const QFontMetricsF valueMetrics(pair.ValueFont, Painter.device());
        if (!pair.Caption.isEmpty()) {
            x += DrawText(Painter, pair.CaptionFont, x, Y, pair.Caption) +
                 captionMetrics.horizontalAdvance(' ');
        }
        x += DrawText(Painter, pair.ValueFont, x, Y, pair.Value) + captionMetrics.horizontalAdvance('W');
        height = std::max({height, captionMetrics.height(), valueMetrics.height()});
    }
    return height;
}

}  // namespace

void TDistributionForm::Print() {
    QPrinter& printer = SharedPrinter();
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    // A failed job may replace the shared printer: the orientation goes back on whichever one is left.
    const auto restore = qScopeGuard([orientation] { SharedPrinter().setPageOrientation(orientation); });
    printer.setPageOrientation(FStepIndex == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);
    printer.setDocName("Hits Distribution");
    if (!ExecutePrintDialog(printer)) return;
    QPainter painter;
    if (!BeginSharedPrint(painter)) return;
    PaintPage(painter, SharedPrinter());
    painter.end();
}

void TDistributionForm::PaintPage(QPainter& Painter, QPrinter& Printer) {
    const QRectF area = ContentRect(Printer);
    qreal y = area.top();
    QFont titleFont("Arial", 12, QFont::Bold);
    DrawText(Painter, titleFont, area.left(), y, "Hits Distribution");
    y += QFontMetricsF(titleFont, Painter.device()).height();

    std::vector<TPrintRow> rows;
    const QString scope = FScope == ScopeAll ? QString("Entire corpus") : ScopeCombo->currentText();
    rows.push_back({{QString(), scope, font(), font()}});
    rows.push_back(LabelRow(Description.OptionCaptions, Description.OptionValues));
    rows.push_back(
        {{PatternCaption->text(), PatternValue->text(), PatternCaption->font(), PatternValue->font()},
         {HitsCaption->text(), HitsValue->text(), HitsCaption->font(), HitsValue->font()}});
    if (!Description.PaddingPanel->isHidden())
        rows.push_back(LabelRow(Description.PaddingCaptions, Description.PaddingValues));
    if (!Description.HeadingPanel->isHidden())
        rows.push_back(LabelRow(Description.HeadingCaptions, Description.HeadingValues));
    if (!Description.ContextPanel->isHidden())
        rows.push_back(LabelRow(Description.ContextCaptions, Description.ContextValues));
    for (const TPrintRow& row : rows) y += DrawRow(Painter, row, area.left(), y);

    const QLocale locale = QLocale::system();
    const QString footer =
        QString::asprintf("Printed by %s on %s at %s", "Tessivor",
                          qUtf8Printable(locale.toString(QDate::currentDate(), QLocale::ShortFormat)),
                          qUtf8Printable(locale.toString(QTime::currentTime(), QLocale::ShortFormat)));
    const QFontMetricsF footerMetrics(font(), Painter.device());
    const qreal footerTop = area.bottom() - footerMetrics.height();
    DrawText(Painter, font(), area.left(), footerTop, footer);

    const qreal gap = footerMetrics.height() / 2;
    const QRectF chartArea(area.left(), y + gap, area.width(), footerTop - gap - (y + gap));
    if (chartArea.height() <= 0) return;
    // On screen the chart may be taller than its window (it scrolls) and so of any shape: for the page it
    // is laid out to the shape of the space left, never smaller than shown, so that its marks keep their
    // room and the paper's width is used. Then it goes back as it was.
    const QSizeF shown = Chart->size();
    const qreal pageRatio = chartArea.width() / chartArea.height();
    const QSizeF paper = shown.width() < shown.height() * pageRatio
                             ? QSizeF(shown.height() * pageRatio, shown.height())
                             : QSizeF(shown.width(), shown.width() / pageRatio);
    LayOutChart(paper);
    Chart->scene()->render(&Painter, chartArea, Chart->sceneBoundingRect());
    LayOutChart(shown);
}

void TDistributionForm::LayOutChart(const QSizeF& Size) {
    Chart->resize(Size);
    if (QGraphicsLayout* Layout = Chart->layout()) Layout->activate();
    PlaceMarks();
}
