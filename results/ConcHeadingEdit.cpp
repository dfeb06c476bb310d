#include "results/ConcHeadingEdit.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/LangText.h"
#include "ui/Msg.h"
#include "results/ConcOptionRules.h"

namespace {
constexpr int MaxMarkerLength = 255;
}

THeadingEditForm::THeadingEditForm(bool Edit, int EditedIndex,
                                   const std::vector<TNamedItem<THeadRecord>>& Headings, int Language,
                                   QWidget* Parent)
    : QDialog(Parent), FEditedIndex(EditedIndex), FLanguage(Language), FHeadings(Headings) {
    setWindowTitle(Edit ? "Edit Heading" : "New Heading");
    const QFont Font = LanguageFont(Language, SystemFont);
    auto MakeEdit = [&] {
        auto* E = new QLineEdit(this);
        E->setMaxLength(MaxMarkerLength);
        E->setFont(Font);
        connect(E, &QLineEdit::textChanged, this, &THeadingEditForm::UpdateOk);
        return E;
    };
    NameEdit = MakeEdit();
    HeadStartEdit = MakeEdit();
    HeadStopEdit = MakeEdit();
    TextStartEdit = MakeEdit();
    TextStopEdit = MakeEdit();
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QVBoxLayout(this);
    auto* NameRow = new QFormLayout;
    NameRow->addRow("Heading &name:", NameEdit);
    Layout->addLayout(NameRow);
    auto Group = [&](const char* Title, const char* First, QLineEdit* A, const char* Second, QLineEdit* B) {
        auto* Box = new QGroupBox(Title, this);
        auto* Form = new QFormLayout(Box);
        Form->addRow(First, A);
        Form->addRow(Second, B);
        Layout->addWidget(Box);
    };
    Group("Header", "&Start:", HeadStartEdit, "S&top:", HeadStopEdit);
    Group("Text", "St&art:", TextStartEdit, "Sto&p:", TextStopEdit);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons);
    connect(OkBtn, &QPushButton::clicked, this, &THeadingEditForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    UpdateOk();
}

std::array<std::string, 5> THeadingEditForm::Texts() const {
    std::array<std::string, 5> T;
    const QLineEdit* Edits[5] = {NameEdit, HeadStartEdit, HeadStopEdit, TextStartEdit, TextStopEdit};
    for (size_t I = 0; I < 5; ++I) T[I] = QStringToLangLossy(Edits[I]->text().trimmed(), FLanguage);
    return T;
}

void THeadingEditForm::SetTexts(const std::array<std::string, 5>& Texts) {
    QLineEdit* Edits[5] = {NameEdit, HeadStartEdit, HeadStopEdit, TextStartEdit, TextStopEdit};
    for (size_t I = 0; I < 5; ++I) Edits[I]->setText(LangToQString(Texts[I], FLanguage));
}

void THeadingEditForm::UpdateOk() {
    OkBtn->setEnabled(HeadingEditComplete(Texts()));
}

void THeadingEditForm::accept() {
    const std::array<std::string, 5> T = Texts();
    if (!HeadingEditComplete(T)) return;
    if (HeadingNameTaken(FHeadings, T[0], FEditedIndex, FLanguage)) {
        ShowWarning("Heading with name \"" + NameEdit->text().trimmed().toStdString() + "\" already exists.");
        NameEdit->setFocus();
        return;
    }
    QDialog::accept();
}

bool EditHeadingDialog(bool Edit, int EditedIndex, const std::vector<TNamedItem<THeadRecord>>& Headings,
                       int Language, std::string& Name, std::string& HeadStart, std::string& HeadStop,
                       std::string& TextStart, std::string& TextStop) {
    THeadingEditForm Form(Edit, EditedIndex, Headings, Language, QApplication::activeWindow());
    if (Edit) Form.SetTexts({Name, HeadStart, HeadStop, TextStart, TextStop});
    if (Form.exec() != QDialog::Accepted) return false;
    const std::array<std::string, 5> T = Form.Texts();
    Name = T[0];
    HeadStart = T[1];
    HeadStop = T[2];
    TextStart = T[3];
    TextStop = T[4];
    return true;
}
