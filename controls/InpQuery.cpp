#include "controls/InpQuery.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"

TInputQueryForm::TInputQueryForm(const QString& Caption, const QString& Prompt, const TFontSpec& Font,
                                 QWidget* Parent)
    : QDialog(Parent) {
    setWindowTitle(Caption);
    PromptLabel = new QLabel(Prompt, this);
    PromptLabel->move(6, 6);
    EditBox = new QLineEdit(this);
    // The edit's height comes from its font: measured before the language's font is set, a large font
    // would be cut off at top and bottom. What lies below moves down as far as the edit grows.
    if (!Font.Name.empty()) EditBox->setFont(FontSpecToQFont(Font));
    EditBox->setGeometry(6, 24, 317, EditBox->sizeHint().height());
    const int Grown = std::max(EditBox->geometry().bottom() + 1 + 4 - 52, 0);
    auto* Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    Bevel->setGeometry(6, 52 + Grown, 317, 2);
    OkBtn = new QPushButton("Ok", this);
    OkBtn->setGeometry(168, 58 + Grown, 75, 25);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setGeometry(250, 58 + Grown, 75, 25);
    setFixedSize(327, 86 + Grown);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    EditBox->setFocus();
}

bool InputQueryDialog(const std::string& Caption, const std::string& Prompt, const TFontSpec& Font,
                      std::string& Value, int Language) {
    TInputQueryForm Form(QString::fromStdString(Caption), QString::fromStdString(Prompt), Font,
                         QApplication::activeWindow());
    for (;;) {
        if (Form.exec() != QDialog::Accepted) return false;
        if (QStringToLang(Form.EditBox->text(), Language, Value)) return true;
        ShowError(UnmappableTextMessage);
    }
}
