#include "shell/ConcPOSEdit.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "shell/TagSettingsRules.h"

namespace {
constexpr int TagTextLanguage = 0;
}

TPOSTageEditForm::TPOSTageEditForm(bool Adding, const std::string& Name, const std::string& Contents,
                                   const std::vector<std::string>& Names, int EditedIndex, QWidget* Parent)
    : QDialog(Parent), FName(Name), FContents(Contents), FNames(Names), FEditedIndex(EditedIndex) {
    setWindowTitle(Adding ? "Add New Meta-Tag" : "Edit Meta Tag");
    NameEdit = new QLineEdit(LangToQString(Name, TagTextLanguage), this);
    ContentsEdit = new QLineEdit(LangToQString(Contents, TagTextLanguage), this);
    ContentsEdit->setMinimumWidth(320);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    auto* Form = new QFormLayout;
    Form->addRow("Meta-Tag Name:", NameEdit);
    Form->addRow("Contents:", ContentsEdit);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addLayout(Buttons);
    setFixedSize(sizeHint());
    connect(OkBtn, &QPushButton::clicked, this, &TPOSTageEditForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TPOSTageEditForm::reject);
}

std::string TPOSTageEditForm::Name() const {
    return TrimControls(QStringToLangLossy(NameEdit->text(), TagTextLanguage));
}

std::string TPOSTageEditForm::Contents() const {
    return TrimControls(QStringToLangLossy(ContentsEdit->text(), TagTextLanguage));
}

void TPOSTageEditForm::accept() {
    switch (CheckMetaTag(Name(), Contents(), FNames, FEditedIndex)) {
        case TMetaTagCheck::Ok:
            QDialog::accept();
            return;
        case TMetaTagCheck::EmptyName:
            ShowError("Meta-Tag name can not be empty.");
            NameEdit->setFocus();
            return;
        case TMetaTagCheck::DuplicateName:
            ShowError("Meta-Tag with name \"" + NameEdit->text().trimmed().toStdString() +
                      "\" already exists.");
            NameEdit->setFocus();
            return;
        case TMetaTagCheck::EmptyContents:
            ShowError("Meta-Tag contents can not be empty.");
            ContentsEdit->setFocus();
            return;
    }
}

void TPOSTageEditForm::reject() {
    CloseAskingToApply(*this, Name() != TrimControls(FName) || Contents() != TrimControls(FContents),
                       [this] { accept(); });
}

bool EditMetaTag(std::string& Name, std::string& Contents, bool Adding,
                 const std::vector<std::string>& Names) {
    int Edited = -1;
    if (!Adding) {
        const auto Found = std::find(Names.begin(), Names.end(), Name);
        if (Found != Names.end()) Edited = static_cast<int>(Found - Names.begin());
    }
    TPOSTageEditForm Form(Adding, Name, Contents, Names, Edited, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Name = Form.Name();
    Contents = Form.Contents();
    return true;
}
