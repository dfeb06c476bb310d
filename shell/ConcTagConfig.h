// "Tags Settings": the tag delimiters, the page delimiter, the display of line and page numbers, and the
// tracked tags.
#pragma once

#include <QDialog>
#include <vector>

#include "engine/ConcConfig.h"
#include "shell/TagSettingsRules.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class TTagConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TTagConfigForm(QWidget* Parent = nullptr);

    QLineEdit* TagStartEdit;
    QLineEdit* TagStopEdit;
    QLineEdit* PageDelimiterEdit;
    QTreeWidget* TagList;
    QPushButton* EditBtn;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QCheckBox* ShowLinesCheck;
    QCheckBox* ShowPagesCheck;
    QCheckBox* RelativeLinesCheck;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // What the controls hold now.
    TTagSettingsEdits Edits() const;
    // Set when the dialog closed with OK.
    TTagSettingsChanges Applied;

    void accept() override;
    void reject() override;

private:
    void FillRow(int Row);
    void UpdateButtons();
    void AddTag();
    void EditTag();
    void RemoveTag();

    std::vector<TWatchedTag> FRows;
};

// Shows "Tags Settings" modally. True when it closed with OK; then DelimitersChanged says whether the tag
// start or stop changed and PageDelimiterChanged whether the page delimiter did.
bool ConfigureTags(bool& DelimitersChanged, bool& PageDelimiterChanged);
