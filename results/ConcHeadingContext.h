// The heading and context conditions of a query: the hit must lie under a heading that matches a
// pattern, and between left and right context patterns.
#pragma once

#include <QDialog>

#include "engine/ConcConfig.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class THeadingContextForm : public QDialog {
    Q_OBJECT
public:
    // Shows Query's conditions; Slot (0 text, 1 regular expression, 2 tag) picks the histories.
    THeadingContextForm(TConcSearchRec& Query, int Language, int Slot, QWidget* Parent = nullptr);

    QCheckBox* HeadingCheck;
    QLabel* PatternLabel;
    QComboBox* HeadingPattern;
    QComboBox* HeadingCombo;
    QPushButton* EditBtn;
    QCheckBox* ContextCheck;
    QLabel* LeftLabel;
    QComboBox* LeftPattern;
    QLabel* RightLabel;
    QComboBox* RightPattern;
    QPushButton* CloseBtn;

    // Focus 1 the heading pattern, 2 the left, 3 the right pattern; 0 the default focus.
    void SetInitialFocus(int Focus);
    // Writes the conditions into the query and the histories into the language; both close ways do it.
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FillDefinitions();
    void UpdateEnabled();
    void Apply();

    TConcSearchRec& FQuery;
    int FLanguage;
    int FSlot;
    std::string FLastHeading;
    bool FApplied = false;
};

// Shows the dialog modally over Query (not owned) and writes it when the dialog closes.
void ShowHeadingContextSearch(TConcSearchRec& Query, int Language, int Slot, int Focus);
