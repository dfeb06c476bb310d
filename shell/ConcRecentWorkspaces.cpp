#include "shell/ConcRecentWorkspaces.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "controls/zynWideList.h"
#include "engine/ConcConfig.h"

namespace {
constexpr int IndexRole = Qt::UserRole;
}

TRecentWorkspacesForm::TRecentWorkspacesForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Recently Used Workspaces");
    auto* Label = new QLabel("&Workspaces:", this);
    WorkspacesList = new TzynWideListBox(this);
    Label->setBuddy(WorkspacesList);
    FullPathCheck = new QCheckBox("&Show full pathname", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Label);
    Layout->addWidget(WorkspacesList, 1);
    Layout->addWidget(FullPathCheck);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons);
    resize(360, 260);
    Fill();
    connect(FullPathCheck, &QCheckBox::clicked, this, &TRecentWorkspacesForm::Fill);
    connect(WorkspacesList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TRecentWorkspacesForm::Fill() {
    WorkspacesList->ResetContent();
    for (size_t I = 0; I < RecentWorkspaces.size(); ++I) {
        const std::string& Name = RecentWorkspaces[I];
        if (Name == WorkspaceFileName) continue;
        const std::string Shown =
            FullPathCheck->isChecked() ? Name : std::filesystem::path(Name).filename().string();
        WorkspacesList->AddItem(QString::fromStdString(Shown));
        WorkspacesList->item(WorkspacesList->count() - 1)->setData(IndexRole, int(I));
    }
    if (WorkspacesList->count() > 0) WorkspacesList->setCurrentRow(0);
}

std::string TRecentWorkspacesForm::Selected() const {
    const QListWidgetItem* Item = WorkspacesList->currentItem();
    if (!Item) return {};
    const int I = Item->data(IndexRole).toInt();
    return I >= 0 && size_t(I) < RecentWorkspaces.size() ? RecentWorkspaces[size_t(I)] : std::string();
}

std::string ChooseRecentWorkspace() {
    TRecentWorkspacesForm Form(QApplication::activeWindow());
    return Form.exec() == QDialog::Accepted ? Form.Selected() : std::string();
}
