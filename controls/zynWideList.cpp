#include "controls/zynWideList.h"

#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

TzynWideListBox::TzynWideListBox(QWidget* Parent) : QListWidget(Parent) {
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int TzynWideListBox::ItemWidth(const QString& Text) const {
    const QFontMetrics Metrics(font());
    const QString Measured = Text + "x";
    if (TabWidth < 1) return Metrics.horizontalAdvance(Measured);
    const int TabStop = static_cast<int>(std::nearbyint(Metrics.horizontalAdvance('0') * TabWidth * 0.25));
    return Metrics.size(Qt::TextExpandTabs | Qt::TextSingleLine, Measured, TabStop).width();
}

void TzynWideListBox::AddItem(const QString& Text) {
    InsertItem(count(), Text);
}

void TzynWideListBox::InsertItem(int Index, const QString& Text) {
    insertItem(Index, Text);
    FMaxExtent = std::max(FMaxExtent, ItemWidth(Text));
    ApplyExtent();
}

void TzynWideListBox::DeleteItem(int Index) {
    QListWidgetItem* Item = item(Index);
    if (!Item) return;
    const bool Widest = ItemWidth(Item->text()) >= FMaxExtent;
    if (Widest) horizontalScrollBar()->setValue(0);
    delete takeItem(Index);
    if (Widest) Recalculate();
}

void TzynWideListBox::ResetContent() {
    FMaxExtent = 0;
    ApplyExtent();
    horizontalScrollBar()->setValue(0);
    clear();
}

void TzynWideListBox::changeEvent(QEvent* Event) {
    QListWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange) Recalculate();
}

void TzynWideListBox::Recalculate() {
    FMaxExtent = 0;
    for (int I = 0; I < count(); ++I) FMaxExtent = std::max(FMaxExtent, ItemWidth(item(I)->text()));
    ApplyExtent();
}

void TzynWideListBox::ApplyExtent() {
    updateGeometries();
}

void TzynWideListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // The view scrolls by pixels over the widest item measured with a trailing "x", so that item's last
    // character stays clear of the edge.
    horizontalScrollBar()->setRange(0, std::max(0, FMaxExtent - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}
