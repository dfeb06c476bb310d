// "Recently Used Workspaces": choose one of the recent workspaces other than the open one.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QPushButton;
class TzynWideListBox;

class TRecentWorkspacesForm : public QDialog {
    Q_OBJECT
public:
    explicit TRecentWorkspacesForm(QWidget* Parent = nullptr);

    TzynWideListBox* WorkspacesList;
    QCheckBox* FullPathCheck;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The full name of the selected workspace; "" when none is selected.
    std::string Selected() const;
    // Lists RecentWorkspaces but the open workspace, by bare or full name as the check box says.
    void Fill();
};

// Shows the dialog modally; the chosen workspace's full name, "" when cancelled.
std::string ChooseRecentWorkspace();
