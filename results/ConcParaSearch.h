// The parallel search dialog: one query per language taking part; every row but the first may
// require that its aligned passage has no match ("Not").
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "engine/ConcConfig.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

class TParaSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit TParaSearchForm(QWidget* Parent = nullptr);

    struct TRow {
        QWidget* Box = nullptr;
        QComboBox* LanguageList = nullptr;
        QCheckBox* NotCheck = nullptr;
        QPushButton* PatternBtn = nullptr;
        QLabel* QueryLabel = nullptr;
        QLabel* ParametersLabel = nullptr;
        std::unique_ptr<TConcSearchRec> Query;
    };

    QComboBox* LanguagesCombo;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    int RowCount() const { return static_cast<int>(FRows.size()); }
    TRow& Row(int I) { return *FRows.at(static_cast<size_t>(I)); }
    // Creates or frees rows until there are Count.
    void SetRowCount(int Count);
    // Copies of the rows' queries, each with its row's "Not" (never for row 0).
    std::vector<std::unique_ptr<TConcSearchRec>> Queries() const;
    // Refuses two rows of one language and rows without a pattern.
    void accept() override;

private:
    void RefreshLabels(TRow& Row);
    void EditPattern(int Index);
    void RowLanguageChanged(int Index, int Language);
    void UpdateTabOrder();

    QVBoxLayout* FRowsLayout;
    std::vector<std::unique_ptr<TRow>> FRows;
};

// Shows the dialog modally; on OK Queries holds a copy of each row's query (owned by the caller).
bool ShowParallelSearch(std::vector<std::unique_ptr<TConcSearchRec>>& Queries);
