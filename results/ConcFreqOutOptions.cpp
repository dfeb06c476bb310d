#include "results/ConcFreqOutOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdio>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"

TConcFreqOutForm::TConcFreqOutForm(const std::string& Caption, const std::function<void()>& PrinterSetup,
                                   const TFreqOutOptions& Options, QWidget* Parent)
    : QDialog(Parent), LanguageCombo(nullptr), PrinterBtn(nullptr), FOptions(Options) {
    setWindowTitle(QString::fromStdString(Caption));
    auto* Layout = new QGridLayout(this);
    const bool OneLanguage = Options.Language >= 0 && Options.Language < LanguagesCount &&
                             LanguageConfigs[size_t(Options.Language)];
    if (OneLanguage) {
        const std::string Name = LanguageConfigs[size_t(Options.Language)]->GetLanguageName();
        LanguageLabel = new QLabel(QString::fromStdString("Language: " + Name), this);
        Layout->addWidget(LanguageLabel, 0, 0, 1, 3);
    } else {
        LanguageCombo = new QComboBox(this);
        std::vector<std::string> Names{"All"};
        AddLanguageNames(Names);
        for (const std::string& N : Names) LanguageCombo->addItem(QString::fromStdString(N));
        LanguageCombo->setCurrentIndex(0);
        LanguageLabel = new QLabel("Language:", this);
        LanguageLabel->setBuddy(LanguageCombo);
        Layout->addWidget(LanguageLabel, 0, 0);
        Layout->addWidget(LanguageCombo, 0, 1, 1, 2);
    }
    MaxLinesUpDown = new QSpinBox(this);
    MaxLinesUpDown->setRange(0, 32767);
    MaxLinesUpDown->setValue(std::clamp(Options.MaxLines, 0, 32767));
    InstallNumericKeyFilter(MaxLinesUpDown, false);
    auto* LinesLabel = new QLabel("&Maximum number of lines to save:", this);
    LinesLabel->setBuddy(MaxLinesUpDown);
    Layout->addWidget(LinesLabel, 1, 0);
    Layout->addWidget(MaxLinesUpDown, 1, 1);
    Layout->addWidget(new QLabel("(0 indicates no limit)", this), 1, 2);
    IncludeFreqCheck = new QCheckBox("Include &frequencies with words", this);
    IncludeFreqCheck->setChecked(Options.IncludeFrequencies);
    Layout->addWidget(IncludeFreqCheck, 2, 0, 1, 3);

    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    auto* Buttons = new QHBoxLayout;
    if (PrinterSetup) {
        PrinterBtn = new QPushButton("Printer...", this);
        Buttons->addWidget(PrinterBtn);
        connect(PrinterBtn, &QPushButton::clicked, this, PrinterSetup);
    }
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons, 3, 0, 1, 3);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TFreqOutOptions TConcFreqOutForm::Options() {
    TFreqOutOptions Result = FOptions;
    if (LanguageCombo) Result.Language = LanguageCombo->currentIndex() - 1;
    Result.MaxLines = ClampEditToUpDown(MaxLinesUpDown);
    Result.IncludeFrequencies = IncludeFreqCheck->isChecked();
    return Result;
}

bool ShowFreqOutOptions(const std::string& Caption, const std::function<void()>& PrinterSetup,
                        TFreqOutOptions& Options) {
    TConcFreqOutForm Form(Caption, PrinterSetup, Options, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Options = Form.Options();
    return true;
}
