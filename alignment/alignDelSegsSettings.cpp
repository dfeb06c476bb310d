#include "alignment/alignDelSegsSettings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "alignment/concAlignErrorDialog.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"

namespace {

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

// Refuses every text with a tab or a blank in it; what the options already hold is never validated.
class TTagTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& Input, int&) const override {
        for (QChar C : Input)
            if (SegSettingsRefusesChar(C.unicode())) return Invalid;
        return Acceptable;
    }
};

}  // namespace

std::string TrimSettingText(std::string_view Text) {
    size_t First = 0, Last = Text.size();
    while (First < Last && IsBlankOrControl(Text[First])) ++First;
    while (Last > First && IsBlankOrControl(Text[Last - 1])) --Last;
    return std::string(Text.substr(First, Last - First));
}

bool SegSettingsAcceptable(const std::string& FirstEdit) {
    return !IsBlankText(FirstEdit);
}

bool SegSettingsRefusesChar(char32_t Key) {
    return Key == U'\t' || Key == U' ';
}

void StoreDelimiterSetting(const std::string& Delimiter) {
    CommonConfig->AlignDelimiter = TrimSettingText(Delimiter);
}

QString OptionTextToQString(const std::string& Text) {
    const std::u16string Wide = platform::CodePageToUtf16(platform::SystemCodePage(), Text);
    return QString::fromUtf16(Wide.data(), qsizetype(Wide.size()));
}

std::string QStringToOptionText(const QString& Text) {
    return platform::Utf16ToCodePage(platform::SystemCodePage(),
                                     std::u16string_view(reinterpret_cast<const char16_t*>(Text.utf16()),
                                                         static_cast<size_t>(Text.size())));
}

QLineEdit* AddTagEdit(QDialog* Form, const char* Caption, const char* Name, int Top,
                      const std::string& Value) {
    auto* Label = new QLabel(Caption, Form);
    Label->setGeometry(8, Top + 4, 80, 16);
    auto* Edit = new QLineEdit(Form);
    Edit->setObjectName(Name);
    Edit->setGeometry(92, Top, 140, 23);
    Edit->setText(OptionTextToQString(Value));
    Label->setBuddy(Edit);
    Edit->setValidator(new TTagTextValidator(Edit));
    QObject::connect(Edit, &QLineEdit::inputRejected, Edit, [] { QApplication::beep(); });
    return Edit;
}

void AddSegSettingsButtons(QDialog* Form, int Top, QLineEdit* FirstEdit, QPushButton*& Ok,
                           QPushButton*& Cancel) {
    Ok = new QPushButton("&Ok", Form);
    Ok->setGeometry(76, Top, 75, 25);
    Ok->setDefault(true);
    Cancel = new QPushButton("Cancel", Form);
    Cancel->setGeometry(157, Top, 75, 25);
    QObject::connect(Ok, &QPushButton::clicked, Form, &QDialog::accept);
    QObject::connect(Cancel, &QPushButton::clicked, Form, &QDialog::reject);
    auto Update = [Ok, FirstEdit] {
        Ok->setEnabled(SegSettingsAcceptable(QStringToOptionText(FirstEdit->text())));
    };
    QObject::connect(FirstEdit, &QLineEdit::textChanged, Ok, Update);
    Update();
}

TDelSegsSettingsForm::TDelSegsSettingsForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Settings");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(240, 84);
    DelimiterEdit = AddTagEdit(this, "Delimiter tag:", "DelimiterEdit", 10, CommonConfig->AlignDelimiter);
    AddSegSettingsButtons(this, 50, DelimiterEdit, OkButton, CancelButton);
    CenterOnScreen(this);
}

bool EditDelSegsSettings() {
    TDelSegsSettingsForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    StoreDelimiterSetting(QStringToOptionText(Form.DelimiterEdit->text()));
    return true;
}
