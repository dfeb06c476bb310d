#include "shell/ConcWorkOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/ConcConfig.h"

TWkSpaceOptionsForm::TWkSpaceOptionsForm(bool NewName, QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Save Workspace Options");
    LinesPagesCheck = new QCheckBox("&Line and Page numbers info", this);
    TagsCheck = new QCheckBox("&Tags info", this);
    FrequencyCheck = new QCheckBox("&Frequency info", this);
    SegmentsCheck = new QCheckBox("&Format and Alignment info", this);
    LinesPagesCheck->setChecked(NewName || KeepLinesPages);
    TagsCheck->setChecked(NewName || KeepWatchedTags);
    FrequencyCheck->setChecked(NewName || KeepFrequency);
    SegmentsCheck->setChecked(NewName || KeepSegmentIndexes);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(6, 6, 6, 6);
    Layout->setSpacing(6);
    for (QCheckBox* Box : {LinesPagesCheck, TagsCheck, FrequencyCheck, SegmentsCheck}) Layout->addWidget(Box);
    auto* Line = new QFrame(this);
    Line->setFrameShape(QFrame::HLine);
    Line->setFrameShadow(QFrame::Sunken);
    // As narrow as its boxes, the dialog would lose its title in the window manager's title bar, which
    // also holds its icon and buttons (and often a bold font).
    Line->setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 5 / 4 + 96);
    Layout->addWidget(Line);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(OkBtn, &QPushButton::clicked, this, &TWkSpaceOptionsForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TWkSpaceOptionsForm::accept() {
    KeepLinesPages = LinesPagesCheck->isChecked();
    KeepWatchedTags = TagsCheck->isChecked();
    KeepFrequency = FrequencyCheck->isChecked();
    KeepSegmentIndexes = SegmentsCheck->isChecked();
    QDialog::accept();
}

bool ShowWorkspaceOptions(bool NewName) {
    TWkSpaceOptionsForm Form(NewName, QApplication::activeWindow());
    return Form.exec() == QDialog::Accepted;
}
