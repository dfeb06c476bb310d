// The word-list grid: a count, percentage and word table over a language's word list, drawn from the
// grid's own compact item store cell by cell, so that a list of millions of words costs one allocation
// for all its words and nothing per row in the widgets. Also two helpers of report-style list views
// that the collocation window shares: clearing one under a progress window, and copying one to the
// clipboard.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QTreeView;
class QTreeWidget;
class TFreqList;

// ---- The items, Qt-free -------------------------------------------------------------------------------

// The rows of one grid: count, percentage and a copy of the word (bytes in the language's code page).
// The words share one buffer, so filling a million rows is one amortised append each.
class TWordListItems {
public:
    void Add(int32_t Count, std::string_view Word, double Percentage);
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    // Item I's fields; I must lie in [0, Count).
    int32_t ItemCount(int32_t I) const { return FItems[static_cast<size_t>(I)].Count; }
    double Percentage(int32_t I) const { return FItems[static_cast<size_t>(I)].Percentage; }
    std::string_view Word(int32_t I) const;

    // The grid's row count: a header row and one row per item, at least one (empty) data row.
    int32_t RowCount() const { return Count() + 1 < 2 ? 2 : Count() + 1; }
    // The text of cell (Col, Row), Row 0 being the header: "Count", "Pct", "Word"; a data row gives the
    // count in decimal, the percentage as "%1.4f%%" with "." as decimal point whatever the locale (so
    // saved lists read alike everywhere), and the word; "" beyond the items or the three columns.
    std::string GetCellText(int Col, int Row) const;

private:
    struct TItem {
        int32_t Count;
        uint32_t Length;
        uint64_t Offset;
        double Percentage;
    };
    std::vector<TItem> FItems;
    std::string FWords;
};

// The percentage text of a cell: Value with four decimals, "." as decimal point, then "%".
std::string FormatPercentage(double Value);

// Which word list a grid shows, as the word-list window's mode says.
enum class TWordListMode : uint8_t { FrequencyOrder = 1, Alphabetical = 2, AdvancedCollocation = 3 };

// Fills Items from List in its display order: cleared first; outside AdvancedCollocation an entry that
// fails FreqItemPasses (Language's frequency limits and stop list) is skipped; each kept entry gets
// Count / Total * 100 as percentage; with MaxLines above 0 no more than MaxLines rows are kept. A Total
// of 0 or 2147483647 (unknown) leaves Items empty.
void FillWordListItems(TWordListItems& Items, const TFreqList& List, int Language, int64_t Total,
                       int32_t MaxLines, TWordListMode Mode);

// The clipboard text of a report-style list: the rows copied are every row when no row or exactly one row
// is selected, otherwise the selected rows (ascending); each row is the texts of its
// columns after the first, joined by tabs, followed by CR LF. Cell (Row, Col) gives a cell's text.
std::string ListClipboardText(int RowCount, int ColumnCount, const std::vector<int>& SelectedRows,
                              const std::function<std::string(int Row, int Col)>& Cell);

// ---- The grid ------------------------------------------------------------------------------------------

class TWordListGrid;

// The table model of a grid: model row r is grid row r + 1 (the header row is the view's header).
class TWordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TWordListModel(TWordListGrid& Grid);
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
    // The view re-reads everything (after the items were refilled or cleared).
    void Reset();

private:
    TWordListGrid& FGrid;
};

// One language's grid: columns "Count", "Pct" and "Word", whole rows selected in ranges, columns
// sizeable. Its row height and column widths follow its font. Focus posts an empty status text.
class TWordListGrid : public QTableView {
    Q_OBJECT
public:
    // An empty grid of Language (also its tag, as the window's commands read it).
    explicit TWordListGrid(int Language, QWidget* Parent = nullptr);

    int Language() const { return FLanguage; }
    const TWordListItems& Items() const { return FItems; }
    TWordListItems& Items() { return FItems; }
    // Appends one row; call ItemsChanged once after a batch so the view takes them.
    void AddItem(int32_t Count, std::string_view Word, double Percentage);
    // Frees every item, leaving the header and one empty row, and shows that.
    void ClearItems();
    // The view takes the current items.
    void ItemsChanged();
    // As TWordListItems::GetCellText (Row 0 is the header).
    std::string GetCellText(int Col, int Row) const { return FItems.GetCellText(Col, Row); }
    int32_t RowCount() const { return FItems.RowCount(); }

    // Takes Font and recomputes the row height (the height of "0" + 4) and the "Count" and "Pct" widths
    // (6 widths of "0" or the list's largest count, and room for "100.0000%"), each with room for the
    // cell's padding and at least its header's.
    void SetGridFont(const QFont& Font);
    // Gives the "Word" column what the grid's width leaves: width - "Count" - "Pct" - a vertical
    // scroll bar - 8, never below 20.
    void FitWordColumn();
    // The width at which the grid shows every column's header whole and gives "Word" room for the words
    // of its first rows (at most 30 widths of "0" of them): what FitWordColumn leaves, taken the other way.
    int WantedWidth() const;

protected:
    void focusInEvent(QFocusEvent* Event) override;

private:
    void FitNumberColumns();

    int FLanguage;
    TWordListItems FItems;
    TWordListModel* FModel;
};

// ---- Report-style list views ---------------------------------------------------------------------------

// Empties List. With items, under the wait cursor and with updates suspended: a progress window
// "Clearing list..." with Text (shown only above 256 items) follows the deletions, pumping pending
// events every 256; its Cancel is not offered, since a half-cleared list serves nobody.
void ClearListWithProgress(const std::string& Text, QTreeWidget* List);
// Under the wait cursor, puts ListClipboardText of List's rows (its model's display texts, rows in
// the selection of its selection model) on the clipboard as text.
void CopyListToClipboard(QTreeView* List);
