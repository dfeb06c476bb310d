#include "shell/ConcTagEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "shell/TagSettingsRules.h"

namespace {
// Tag settings belong to no language of their own; their characters are those of the first language.
constexpr int TagTextLanguage = 0;

std::string Bytes(const QLineEdit* Edit) {
    return TrimControls(QStringToLangLossy(Edit->text(), TagTextLanguage));
}
}  // namespace

TTagEditForm::TTagEditForm(bool Adding, const std::string& Name, const std::string& Start,
                           const std::string& Stop, const std::vector<TWatchedTag>& Rows, int EditedRow,
                           QWidget* Parent)
    : QDialog(Parent), FName(Name), FStart(Start), FStop(Stop), FRows(Rows), FEditedRow(EditedRow) {
    setWindowTitle(Adding ? "Add New Tag" : "Edit Tag");
    NameEdit = new QLineEdit(LangToQString(Name, TagTextLanguage), this);
    StartEdit = new QLineEdit(LangToQString(Start, TagTextLanguage), this);
    StopEdit = new QLineEdit(LangToQString(Stop, TagTextLanguage), this);
    CocoaCheck = new QCheckBox("&COCOA Format", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Form = new QFormLayout;
    auto* NameLabel = new QLabel("Tag &Name:", this);
    NameLabel->setBuddy(NameEdit);
    StartLabel = new QLabel("&Tag Start:", this);
    StartLabel->setBuddy(StartEdit);
    StopLabel = new QLabel("Tag &Stop:", this);
    StopLabel->setBuddy(StopEdit);
    Form->addRow(NameLabel, NameEdit);
    Form->addRow(StartLabel, StartEdit);
    Form->addRow(StopLabel, StopEdit);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addWidget(CocoaCheck);
    Layout->addLayout(Buttons);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));

    connect(OkBtn, &QPushButton::clicked, this, &TTagEditForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TTagEditForm::reject);
    connect(CocoaCheck, &QCheckBox::toggled, this, &TTagEditForm::CocoaToggled);
    CocoaCheck->setChecked(!Adding && Stop.empty());
}

std::string TTagEditForm::Name() const {
    return Bytes(NameEdit);
}
std::string TTagEditForm::Start() const {
    return Bytes(StartEdit);
}
std::string TTagEditForm::Stop() const {
    return Bytes(StopEdit);
}

void TTagEditForm::CocoaToggled(bool On) {
    StopLabel->setEnabled(!On);
    StopEdit->setEnabled(!On);
    StartLabel->setText(On ? "&Tag:" : "&Tag Start:");
    if (On) {
        FStopBeforeCocoa = QStringToLangLossy(StopEdit->text(), TagTextLanguage);
        StopEdit->clear();
    } else {
        // An edited tag's stop comes back; so does whatever was typed before the box was checked.
        StopEdit->setText(
            LangToQString(FStopBeforeCocoa.empty() ? FStop : FStopBeforeCocoa, TagTextLanguage));
    }
}

bool TTagEditForm::Changed() const {
    return Name() != TrimControls(FName) || Start() != TrimControls(FStart) || Stop() != TrimControls(FStop);
}

void TTagEditForm::accept() {
    if (!Changed()) {
        QDialog::reject();
        return;
    }
    switch (CheckTrackedTag(Name(), Start(), Stop(), CocoaCheck->isChecked(), FRows, FEditedRow)) {
        case TTrackedTagCheck::Ok:
            QDialog::accept();
            return;
        case TTrackedTagCheck::EmptyName:
            QApplication::beep();
            NameEdit->setFocus();
            return;
        case TTrackedTagCheck::EmptyStart:
            QApplication::beep();
            StartEdit->setFocus();
            return;
        case TTrackedTagCheck::EmptyStop:
            QApplication::beep();
            StopEdit->setFocus();
            return;
        case TTrackedTagCheck::DuplicateName:
            ShowWarning("There are already defined tag with name \"" +
                        NameEdit->text().trimmed().toStdString() + "\".");
            NameEdit->setFocus();
            return;
    }
}

void TTagEditForm::reject() {
    CloseAskingToApply(*this, Changed(), [this] { accept(); });
}

bool EditTrackedTag(bool Adding, std::string& Name, std::string& Start, int Item,
                    const std::vector<TWatchedTag>& Rows, std::string& Stop) {
    TTagEditForm Form(Adding, Name, Start, Stop, Rows, Adding ? -1 : Item, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Name = Form.Name();
    Start = Form.Start();
    Stop = Form.Stop();
    return true;
}
