#include "results/ConcSentOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "results/ConcSentExceptions.h"

TSentenceOptionsForm::TSentenceOptionsForm(int Language, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language) {
    setWindowTitle("Sentence Options");
    const TConcordConfig& Config = *LanguageConfigs.at(static_cast<size_t>(Language));
    auto* Label = new QLabel("Sentence &Delimiters:", this);
    DelimitersEdit = new QLineEdit(LangToQString(Config.SentDelimiters, Language), this);
    DelimitersEdit->setFont(LanguageFont(Language, SystemFont));
    Label->setBuddy(DelimitersEdit);
    SmartAbbrCheck = new QCheckBox("Smart &Abbreviations Detect", this);
    SmartAbbrCheck->setChecked(Config.SmartAbbrDetect);
    TrailingQuotesCheck = new QCheckBox("Include Trailing Quotes", this);
    TrailingQuotesCheck->setChecked(Config.includeTrailingQuotes);
    ExceptionsBtn = new QPushButton("&Exceptions...", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QGridLayout(this);
    Layout->addWidget(Label, 0, 0);
    Layout->addWidget(DelimitersEdit, 0, 1);
    Layout->addWidget(SmartAbbrCheck, 1, 0, 1, 2);
    Layout->addWidget(TrailingQuotesCheck, 2, 0, 1, 2);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(ExceptionsBtn);
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons, 3, 0, 1, 2);

    const auto UpdateExceptions = [this] { ExceptionsBtn->setEnabled(!SmartAbbrCheck->isChecked()); };
    UpdateExceptions();
    connect(SmartAbbrCheck, &QCheckBox::toggled, this, UpdateExceptions);
    connect(ExceptionsBtn, &QPushButton::clicked, this, [this] { ShowSentenceExceptions(FLanguage); });
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSentenceOptionsForm::accept() {
    std::string Delimiters;
    if (!QStringToLang(DelimitersEdit->text(), FLanguage, Delimiters)) {
        ShowError(UnmappableTextMessage);
        DelimitersEdit->setFocus();
        return;
    }
    TConcordConfig& Config = *LanguageConfigs.at(static_cast<size_t>(FLanguage));
    Config.SentDelimiters = RemoveBlanks(Delimiters);
    Config.SmartAbbrDetect = SmartAbbrCheck->isChecked();
    Config.includeTrailingQuotes = TrailingQuotesCheck->isChecked();
    QDialog::accept();
}

void ShowSentenceOptions(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    TSentenceOptionsForm Form(Language, QApplication::activeWindow());
    Form.exec();
}
