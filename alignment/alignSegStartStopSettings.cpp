#include "alignment/alignSegStartStopSettings.h"

#include <QApplication>
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
    TagStartEdit = AddTagEdit(this, "Start Tag:", "TagStartEdit", 10, CommonConfig->AlignStart);
    TagStopEdit = AddTagEdit(this, "Stop Tag:", "TagStopEdit", 38, CommonConfig->AlignStop);
    AttributeEdit = AddTagEdit(this, "Attribute:", "AttributeEdit", 66, CommonConfig->AlignAttrib);
    AddSegSettingsButtons(this, 106, TagStartEdit, OkButton, CancelButton);
    CenterOnScreen(this);
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
