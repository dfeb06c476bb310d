// "Select Files to View": the corpus files of every language side by side, row by row, from which the
// user opens the parallel view of a row or the alignment view of a language pair for it.
#pragma once

#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QMdiArea;
class QPushButton;
class TzynWideListBox;

class TParaFilesForm : public QDialog {
    Q_OBJECT
public:
    // Lists the files of the configured languages; the parallel view opens in Area (nullptr: top level).
    explicit TParaFilesForm(QMdiArea* Area, QWidget* Parent = nullptr);

    // Refills every list from the configuration, keeping the selected row.
    void FillLists();
    // The selected row (the same in every list); -1 when none is.
    int SelectedRow() const;
    // Selects Row in every list.
    void SelectRow(int Row);

    std::vector<QLabel*> Labels;
    std::vector<TzynWideListBox*> Lists;
    QCheckBox* FullPathCheck;
    QPushButton* ShowButton;
    QPushButton* AlignmentButton;
    QPushButton* CloseButton;

private:
    void UpdateButtons();
    void ShowClick();
    void AlignmentClick();

    QMdiArea* FArea;
    bool FSelecting = false;
};

// Shows "Select Files to View" modally over the active window; the chosen view opens in Area.
void SelectFilesToView(QMdiArea* Area);
