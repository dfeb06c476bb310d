// A list box whose horizontal scroll extent follows its widest item, for lists of long file paths.
#pragma once

#include <QListWidget>

class TzynWideListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TzynWideListBox(QWidget* Parent = nullptr);

    // Tab stops every TabWidth quarter widths of "0"; 0 measures tabs as plain text.
    int TabWidth = 0;

    // The width of the widest item (its text measured with an "x" after it); 0 without items.
    int MaxExtent() const { return FMaxExtent; }
    // The width an item of Text takes.
    int ItemWidth(const QString& Text) const;

    void AddItem(const QString& Text);
    void InsertItem(int Index, const QString& Text);
    // Deleting the widest item scrolls fully left and measures the rest again.
    void DeleteItem(int Index);
    void ResetContent();

protected:
    void changeEvent(QEvent* Event) override;

private:
    void Recalculate();
    void ApplyExtent();
    int FMaxExtent = 0;
};
