// "Save Workspace Options": which computed data a workspace save keeps.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

class TWkSpaceOptionsForm : public QDialog {
    Q_OBJECT
public:
    // For a new name every box starts checked, else each shows its preference.
    explicit TWkSpaceOptionsForm(bool NewName, QWidget* Parent = nullptr);

    QCheckBox* LinesPagesCheck;
    QCheckBox* TagsCheck;
    QCheckBox* FrequencyCheck;
    QCheckBox* SegmentsCheck;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // Stores the four choices into the preferences.
    void accept() override;
};

// Shows the dialog modally; true (the choices stored) on OK.
bool ShowWorkspaceOptions(bool NewName);
