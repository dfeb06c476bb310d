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

void RefuseBlanksInTagEdit(QLineEdit* Edit) {
    Edit->setValidator(new TTagTextValidator(Edit));
    QObject::connect(Edit, &QLineEdit::inputRejected, Edit, [] { QApplication::beep(); });
}

TDelSegsSettingsForm::TDelSegsSettingsForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Settings");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(240, 84);
    auto* Label = new QLabel("Delimiter tag:", this);
    Label->setGeometry(8, 14, 80, 16);
    DelimiterEdit = new QLineEdit(this);
    DelimiterEdit->setObjectName("DelimiterEdit");
    DelimiterEdit->setGeometry(92, 10, 140, 23);
    DelimiterEdit->setText(OptionTextToQString(CommonConfig->AlignDelimiter));
    Label->setBuddy(DelimiterEdit);
    RefuseBlanksInTagEdit(DelimiterEdit);
    OkButton = new QPushButton("&Ok", this);
    OkButton->setGeometry(76, 50, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setGeometry(157, 50, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(DelimiterEdit, &QLineEdit::textChanged, this, &TDelSegsSettingsForm::UpdateOk);
    UpdateOk();
    CenterOnScreen(this);
}

void TDelSegsSettingsForm::UpdateOk() {
    OkButton->setEnabled(SegSettingsAcceptable(QStringToOptionText(DelimiterEdit->text())));
}

bool EditDelSegsSettings() {
    TDelSegsSettingsForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    StoreDelimiterSetting(QStringToOptionText(Form.DelimiterEdit->text()));
    return true;
}
