#include "controls/zynWideList.h"

#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

namespace {

// Each item asks for the width its text is measured with, so that the view's own layout gives the
// horizontal extent. Setting the scroll range over the view's own made the two disagree, and a bar
// that appears and vanishes on every layout relaid the view without end.
class TWideItemDelegate : public QStyledItemDelegate {
public:
    explicit TWideItemDelegate(TzynWideListBox& List) : QStyledItemDelegate(&List), FList(List) {}

    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        QSize Size = QStyledItemDelegate::sizeHint(Option, Index);
        Size.setWidth(std::max(Size.width(), FList.ItemWidth(Index.data().toString())));
        return Size;
    }

private:
    TzynWideListBox& FList;
};

}  // namespace

TzynWideListBox::TzynWideListBox(QWidget* Parent) : QListWidget(Parent) {
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new TWideItemDelegate(*this));
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
    scheduleDelayedItemsLayout();
}
