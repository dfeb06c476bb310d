// The "Choose Alignment View" dialog: which language pair of a file the alignment view shows.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

// One row of the dialog: "<language 0> <-> <language k>" and k.
struct TAlignmentPairRow {
    std::string Text;  // UTF-8
    int Language = 0;
};

// The rows for file File: one per language k = 1 .. LanguagesCount - 1 for which both language 0 and
// language k hold the file's section, paragraph and sentence indexes, in language order.
std::vector<TAlignmentPairRow> AlignmentPairRows(int File);

class TAlignmentChooseForm : public QDialog {
    Q_OBJECT
public:
    // Lists the rows of file File with the first one selected. "OK" is enabled only while a row is
    // selected, and a double click chooses only when it falls on a row.
    explicit TAlignmentChooseForm(int File, QWidget* Parent = nullptr);

    int FileIndex;
    // The target language of the chosen row once the dialog is accepted; -1 before.
    int ChosenLanguage = -1;
    QListWidget* AlignmentsList;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void accept() override;

private:
    void UpdateOk();
};

// Runs the dialog for File. True on OK (or a double click on a row) with Language1 = 0 and Language2 =
// the chosen target language; false on Cancel or when no row exists, the two left as they were.
bool ChooseAlignmentPair(int File, int& Language1, int& Language2);
