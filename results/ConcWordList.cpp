#include "results/ConcWordList.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <algorithm>
#include <charconv>
#include <set>

#include "controls/LangText.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcUtils.h"
#include "ui/ConcProgress.h"

// ---------------------------------------------------------------------------------------------------
// Items

void TWordListItems::Add(int32_t Count, std::string_view Word, double Percentage) {
    FItems.push_back({Count, static_cast<uint32_t>(Word.size()), FWords.size(), Percentage});
    FWords.append(Word);
}

void TWordListItems::Clear() {
    FItems = {};
    FWords = {};
}

std::string_view TWordListItems::Word(int32_t I) const {
    const TItem& Item = FItems[static_cast<size_t>(I)];
    return std::string_view(FWords).substr(Item.Offset, Item.Length);
}

std::string FormatPercentage(double Value) {
    char Text[64];
    // to_chars, unlike printf, ignores the C locale that the application object sets from the user's.
    const auto [End, Error] = std::to_chars(Text, Text + sizeof Text - 1, Value, std::chars_format::fixed, 4);
    if (Error != std::errc()) return "?%";
    return std::string(Text, End) + "%";
}

std::string TWordListItems::GetCellText(int Col, int Row) const {
    static constexpr const char* Titles[3] = {"Count", "Pct", "Word"};
    if (Col < 0 || Col > 2 || Row < 0) return std::string();
    if (Row == 0) return Titles[Col];
    if (Row > Count()) return std::string();
    const int32_t I = Row - 1;
    switch (Col) {
        case 0:
            return std::to_string(ItemCount(I));
        case 1:
            return FormatPercentage(Percentage(I));
        default:
            return std::string(Word(I));
    }
}

void FillWordListItems(TWordListItems& Items, const TFreqList& List, int Language, int64_t Total,
                       int32_t MaxLines, TWordListMode Mode) {
    Items.Clear();
    if (Total == 0 || Total == 2147483647) return;
    const bool Filter = Mode != TWordListMode::AdvancedCollocation;
    const std::vector<int32_t>& Order = List.Order();
    for (int32_t Reference : Order) {
        if (MaxLines > 0 && Items.Count() >= MaxLines) break;
        const TFreqItem* Item = List.ItemOfReference(Reference);
        if (!Item || (Filter && !FreqItemPasses(Language, *Item))) continue;
        Items.Add(Item->Frequency, Item->Word, double(Item->Frequency) / double(Total) * 100.0);
    }
}

std::string ListClipboardText(int RowCount, int ColumnCount, const std::vector<int>& SelectedRows,
                              const std::function<std::string(int Row, int Col)>& Cell) {
    std::vector<int> Rows;
    // Nothing selected copies the whole list, as one selected row does: a copy of nothing serves nobody.
    if (SelectedRows.size() <= 1) {
        Rows.resize(size_t(std::max(RowCount, 0)));
        for (int R = 0; R < RowCount; ++R) Rows[size_t(R)] = R;
    } else {
        const std::set<int> Sorted(SelectedRows.begin(), SelectedRows.end());
        for (int R : Sorted)
            if (R >= 0 && R < RowCount) Rows.push_back(R);
    }
    std::string Text;
    for (int R : Rows) {
        for (int C = 1; C < ColumnCount; ++C) {
            if (C > 1) Text += '\t';
            Text += Cell(R, C);
        }
        Text += "\r\n";
    }
    return Text;
}

// ---------------------------------------------------------------------------------------------------
// The grid

namespace {

constexpr int ColumnCount = 3;

// Draws a cell as the grid wants it: the text centred vertically and inset by 2 pixels, numbers on the
// right, and a selection without focus in a quiet colour, so that the grid with the focus stands out
// among the side-by-side grids.
class TWordListDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        QStyleOptionViewItem Opt(Option);
        initStyleOption(&Opt, Index);
        const auto* View = qobject_cast<const QAbstractItemView*>(Opt.widget);
        const bool Selected = (Opt.state & QStyle::State_Selected) != 0;
        const bool Focused = View && View->hasFocus();
        if (Selected && !Focused) {
            Painter->fillRect(Opt.rect, Opt.palette.color(QPalette::Button));
            Painter->setPen(Opt.palette.color(QPalette::WindowText));
        } else if (Selected) {
            Painter->fillRect(Opt.rect, Opt.palette.color(QPalette::Active, QPalette::Highlight));
            Painter->setPen(Opt.palette.color(QPalette::Active, QPalette::HighlightedText));
        } else {
            Painter->setPen(Opt.palette.color(QPalette::Text));
        }
        Painter->setFont(Opt.font);
        const QRect Text = Opt.rect.adjusted(2, 0, -2, 0);
        const Qt::Alignment Align = Index.column() == 2 ? Qt::AlignLeft : Qt::AlignRight;
        Painter->drawText(Text, int(Align | Qt::AlignVCenter), Opt.text);
    }
};

}  // namespace

TWordListModel::TWordListModel(TWordListGrid& Grid) : QAbstractTableModel(&Grid), FGrid(Grid) {}

int TWordListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : FGrid.RowCount() - 1;
}

int TWordListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TWordListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid()) return QVariant();
    if (Role == Qt::TextAlignmentRole)
        return int((Index.column() == 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (Role != Qt::DisplayRole) return QVariant();
    const int Row = Index.row() + 1;
    if (Index.column() == 2 && Row <= FGrid.Items().Count())
        return LangToQString(FGrid.Items().Word(Row - 1), FGrid.Language());
    return QString::fromStdString(FGrid.GetCellText(Index.column(), Row));
}

QVariant TWordListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal) return QVariant();
    if (Role == Qt::DisplayRole) return QString::fromStdString(FGrid.GetCellText(Section, 0));
    if (Role == Qt::TextAlignmentRole)
        return int((Section == 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    return QVariant();
}

void TWordListModel::Reset() {
    beginResetModel();
    endResetModel();
}

TWordListGrid::TWordListGrid(int Language, QWidget* Parent)
    : QTableView(Parent), FLanguage(Language), FModel(new TWordListModel(*this)) {
    setModel(FModel);
    setItemDelegate(new TWordListDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // Every row has the font's height: the view then never asks the model to measure a row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setColumnWidth(2, 100);
    SetGridFont(font());
}

void TWordListGrid::AddItem(int32_t Count, std::string_view Word, double Percentage) {
    FItems.Add(Count, Word, Percentage);
}

void TWordListGrid::ClearItems() {
    FItems.Clear();
    ItemsChanged();
}

void TWordListGrid::ItemsChanged() {
    FModel->Reset();
    FitNumberColumns();
}

// A cell pads its text on both sides and draws a grid line: without room for them a percentage such as
// "23.6842%" would show cut. The count column starts six digits wide and grows for a list whose largest
// count is longer (a corpus of millions of words), since a number cut at its left edge reads as another.
void TWordListGrid::FitNumberColumns() {
    const QFontMetrics Metrics(font());
    const int Digit = Metrics.horizontalAdvance('0');
    const int Padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    int32_t MaxCount = 0;
    for (int32_t I = 0; I < FItems.Count(); ++I) MaxCount = std::max(MaxCount, FItems.ItemCount(I));
    // In a large font the headers' own margins can outgrow six digits: "Count" would show cut.
    const int CountWidth =
        std::max(std::max(6 * Digit, Metrics.horizontalAdvance(QString::number(MaxCount))) + Padding,
                 horizontalHeader()->sectionSizeHint(0));
    const int ShareWidth =
        std::max(std::max(8 * Digit, Metrics.horizontalAdvance(QStringLiteral("100.0000%"))) + Padding,
                 horizontalHeader()->sectionSizeHint(1));
    if (CountWidth == columnWidth(0) && ShareWidth == columnWidth(1)) return;
    setColumnWidth(0, CountWidth);
    setColumnWidth(1, ShareWidth);
    FitWordColumn();
}

void TWordListGrid::SetGridFont(const QFont& Font) {
    setFont(Font);
    const QFontMetrics Metrics(Font);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(Metrics.height() + 4);
    horizontalHeader()->setFont(Font);
    FitNumberColumns();
}

void TWordListGrid::FitWordColumn() {
    const int ScrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setColumnWidth(2, std::max(20, width() - columnWidth(0) - columnWidth(1) - ScrollBar - 8));
}

int TWordListGrid::WantedWidth() const {
    constexpr int32_t RowsMeasured = 40;
    constexpr int MostDigits = 30;
    const QFontMetrics Metrics(font());
    int Words = 0;
    for (int32_t I = 0; I < std::min(FItems.Count(), RowsMeasured); ++I)
        Words = std::max(Words, Metrics.horizontalAdvance(LangToQString(FItems.Word(I), FLanguage)));
    // The cells inset their text by 2 pixels on each side.
    const int Word = std::max(horizontalHeader()->sectionSizeHint(2),
                              std::min(Words + 6, MostDigits * Metrics.horizontalAdvance('0')));
    const int ScrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return columnWidth(0) + columnWidth(1) + Word + ScrollBar + 8;
}

void TWordListGrid::focusInEvent(QFocusEvent* Event) {
    QTableView::focusInEvent(Event);
    PostStatusText(std::string());
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------------
// Report-style list views

void ClearListWithProgress(const std::string& Text, QTreeWidget* List) {
    const int Count = List->topLevelItemCount();
    if (Count == 0) return;
    const TWaitScope Wait;
    std::unique_ptr<TProgressForm> Progress = ShowProgressForm(2, "Clearing list...", Text, Count - 1, 0, "");
    if (Count > 256) ShowUnlessMinimized(Progress.get());
    // The pump below may let the user close the list's window; the clearing then ends with it.
    const QPointer<QTreeWidget> Alive(List);
    List->setUpdatesEnabled(false);
    int Deleted = 0;
    // From the end, so that no deletion moves the rows behind it.
    for (int I = Count - 1; I >= 0; --I) {
        delete List->takeTopLevelItem(I);
        ++Deleted;
        if (Deleted % 256 == 0) {
            Progress->SetProgress(Deleted);
            ProcessMessages();
            if (!Alive) return;
        }
    }
    List->setUpdatesEnabled(true);
}

void CopyListToClipboard(QTreeView* List) {
    const TWaitScope Wait;
    const QAbstractItemModel* Model = List->model();
    if (!Model) return;
    std::vector<int> Selected;
    if (const QItemSelectionModel* Selection = List->selectionModel())
        for (const QModelIndex& Index : Selection->selectedRows()) Selected.push_back(Index.row());
    const std::string Text =
        ListClipboardText(Model->rowCount(), Model->columnCount(), Selected, [Model](int Row, int Col) {
            return Model->index(Row, Col).data(Qt::DisplayRole).toString().toStdString();
        });
    QGuiApplication::clipboard()->setText(QString::fromStdString(Text));
}
