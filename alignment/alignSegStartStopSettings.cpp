#include "alignment/alignSegStartStopSettings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "alignment/alignDelSegsSettings.h"
#include "alignment/concAlignErrorDialog.h"
#include "engine/ConcConfig.h"

void StoreStartStopSettings(const std::string& Start, const std::string& Stop, const std::string& Attribute) {
    CommonConfig->AlignStart = TrimSettingText(Start);
    CommonConfig->AlignStop = TrimSettingText(Stop);
    CommonConfig->AlignAttrib = TrimSettingText(Attribute);
}

TStartStopSegSettingsForm::TStartStopSegSettingsForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Settings");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(240, 140);
    auto AddRow = [this](const char* Caption, const char* Name, int Top, const std::string& Value) {
        auto* Label = new QLabel(Caption, this);
        Label->setGeometry(8, Top + 4, 80, 16);
        auto* Edit = new QLineEdit(this);
        Edit->setObjectName(Name);
        Edit->setGeometry(92, Top, 140, 23);
        Edit->setText(OptionTextToQString(Value));
        Label->setBuddy(Edit);
        RefuseBlanksInTagEdit(Edit);
        return Edit;
    };
    TagStartEdit = AddRow("Start Tag:", "TagStartEdit", 10, CommonConfig->AlignStart);
    TagStopEdit = AddRow("Stop Tag:", "TagStopEdit", 38, CommonConfig->AlignStop);
    AttributeEdit = AddRow("Attribute:", "AttributeEdit", 66, CommonConfig->AlignAttrib);
    OkButton = new QPushButton("&Ok", this);
    OkButton->setGeometry(76, 106, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setGeometry(157, 106, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(TagStartEdit, &QLineEdit::textChanged, this, &TStartStopSegSettingsForm::UpdateOk);
    UpdateOk();
    CenterOnScreen(this);
}

void TStartStopSegSettingsForm::UpdateOk() {
    OkButton->setEnabled(SegSettingsAcceptable(QStringToOptionText(TagStartEdit->text())));
}

bool EditStartStopSegSettings() {
    TStartStopSegSettingsForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    StoreStartStopSettings(QStringToOptionText(Form.TagStartEdit->text()),
                           QStringToOptionText(Form.TagStopEdit->text()),
                           QStringToOptionText(Form.AttributeEdit->text()));
    return true;
}

bool ShowSegmentAlignSettings(int Mode) {
    if (Mode == 2) return EditDelSegsSettings();
    if (Mode == 3) return EditStartStopSegSettings();
    return false;
}
