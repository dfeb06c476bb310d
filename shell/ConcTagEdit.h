// "Add New Tag" / "Edit Tag": one tracked tag, its name and the markers that open and close it (a tag in
// COCOA format has no stop).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TTagEditForm : public QDialog {
    Q_OBJECT
public:
    // Rows: the tracked tags of the list, for the name check; EditedRow the row edited (-1 when adding).
    TTagEditForm(bool Adding, const std::string& Name, const std::string& Start, const std::string& Stop,
                 const std::vector<TWatchedTag>& Rows, int EditedRow, QWidget* Parent = nullptr);

    QLineEdit* NameEdit;
    QLineEdit* StartEdit;
    QLineEdit* StopEdit;
    QLabel* StartLabel;
    QLabel* StopLabel;
    QCheckBox* CocoaCheck;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The trimmed texts, bytes of language 0's code page.
    std::string Name() const;
    std::string Start() const;
    std::string Stop() const;

    // Without changes: closes as cancelled. Otherwise the checks; a failed one keeps the dialog open.
    void accept() override;
    // With changes: asks whether to apply them.
    void reject() override;

private:
    bool Changed() const;
    void CocoaToggled(bool On);

    std::string FName, FStart, FStop;
    std::string FStopBeforeCocoa;
    const std::vector<TWatchedTag>& FRows;
    int FEditedRow;
};

// Edits one tracked tag modally (Item: the edited row of Rows, -1 when adding). On OK the trimmed name,
// start and stop are returned through the references and the result is true.
bool EditTrackedTag(bool Adding, std::string& Name, std::string& Start, int Item,
                    const std::vector<TWatchedTag>& Rows, std::string& Stop);
