// The advanced sort dialog of a concordance and its collocation variant, which orders the columns of an
// advanced collocation. Its rules (the customised order string, the key checks) live in ConcSortRules.
#pragma once

#include <QDialog>
#include <array>

#include "results/ConcSortRules.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

class TAdvancedSortColForm : public QDialog {
    Q_OBJECT
public:
    // Shows Options: in the sort variant (Collocation false) three keys with "Reverse" boxes, a
    // customised order and the tracked tag; in the collocation variant three positions, a customised
    // order or a span, and how many entries to show. Language -1 (collocation only) stands for all
    // languages.
    TAdvancedSortColForm(int Language, bool Collocation, const TAdvancedSortColOptions& Options,
                         QWidget* Parent = nullptr);

    std::array<QGroupBox*, 3> KeyGroups;
    std::array<QComboBox*, 3> KeyCombos;
    std::array<QCheckBox*, 3> ReverseChecks;
    QCheckBox* CustomisedCheck;
    QLineEdit* CustomisedEdit;
    QWidget* SortPanel;
    QTableWidget* TagsGrid;
    QWidget* CollocationPanel;
    QSpinBox* ShowFirstEdit;
    QCheckBox* SpanCheck;
    QComboBox* SpanCombo;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The record as OK stored it (the given one until then).
    const TAdvancedSortColOptions& Options() const { return FOptions; }
    // The keys OK chose, in order.
    const TAdvancedSortColItems& Items() const { return FItems; }
    // Checks the choice; a refusal beeps, shows why and keeps the dialog open.
    void accept() override;

private:
    TSortKeyTable Table() const { return FCollocation ? TSortKeyTable::Collocation : TSortKeyTable::Sort; }
    void ShowOptions();
    void UpdateEnabled();
    bool ReadItems(TAdvancedSortColItems& Items);
    TSortKeyBoxes KeyBoxes() const;
    void Refuse(const std::string& Message);

    int FLanguage;
    bool FCollocation;
    TAdvancedSortColOptions FOptions;
    TAdvancedSortColItems FItems;
};

// Runs the dialog modally on a copy of Options (Language -1: all languages, collocation only). On OK
// Options takes the choice, Items (emptied first) the chosen keys in order, and the result is true; on
// Cancel both are left alone. The items carry reverse flags only in the sort variant. Called by the
// concordance window's "&Advanced Sort..." (Collocation false, on the language's AdvancedSort record)
// and by "Advanced Collocation" (Collocation true, on a CollocationSort record).
bool ExecuteAdvancedSort(int Language, bool Collocation, TAdvancedSortColOptions& Options,
                         TAdvancedSortColItems& Items);
