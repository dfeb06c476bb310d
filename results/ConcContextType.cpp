#include "results/ConcContextType.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "controls/ConcFormUtils.h"
#include "engine/ConcTextProcess.h"
#include "results/ConcSentOptions.h"

TContextTypeForm::TContextTypeForm(int Language, const TContextSettings& Settings, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language), FSettings(Settings) {
    setWindowTitle("Context Options");
    FitWidthToTitle(this);
    auto* TypeLabel = new QLabel("&Type:", this);
    ContextTypeCombo = new QComboBox(this);
    std::vector<std::string> Units;
    FillContextUnits(Units);
    for (const std::string& U : Units) ContextTypeCombo->addItem(QString::fromStdString(U));
    TypeLabel->setBuddy(ContextTypeCombo);
    SizeLabel = new QLabel("&Size:", this);
    ContextSizeUpDown = new QSpinBox(this);
    SizeLabel->setBuddy(ContextSizeUpDown);
    OptionsBtn = new QPushButton("&Options..", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QGridLayout(this);
    Layout->addWidget(TypeLabel, 0, 0);
    Layout->addWidget(ContextTypeCombo, 0, 1);
    Layout->addWidget(SizeLabel, 1, 0);
    Layout->addWidget(ContextSizeUpDown, 1, 1);
    Layout->addWidget(OptionsBtn, 1, 2);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons, 2, 0, 1, 3);

    connect(ContextTypeCombo, &QComboBox::currentIndexChanged, this, &TContextTypeForm::TypeChanged);
    connect(OptionsBtn, &QPushButton::clicked, this, [this] { ShowSentenceOptions(FLanguage); });
    connect(OkBtn, &QPushButton::clicked, this, &TContextTypeForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    const int Type = Settings.ContextType < 5 ? Settings.ContextType : 0;
    ContextTypeCombo->setCurrentIndex(Type);
    TypeChanged(Type);
}

void TContextTypeForm::TypeChanged(int Type) {
    if (Type < 0) return;
    const TContextControls Shown = ContextControlsFor(Type);
    SizeLabel->setVisible(Shown.ShowSize);
    ContextSizeUpDown->setVisible(Shown.ShowSize);
    OptionsBtn->setVisible(Shown.ShowSentenceOptions);
    const TContextLimits Limits = ContextSizeLimits(Type);
    ContextSizeUpDown->setRange(Limits.Minimum, Limits.Maximum);
    ContextSizeUpDown->setSingleStep(Limits.Increment);
    ContextSizeUpDown->setValue(FSettings.ContextSizes[static_cast<size_t>(Type)]);
    FSettings.ContextType = static_cast<uint8_t>(Type);
}

void TContextTypeForm::accept() {
    ContextSizeUpDown->interpretText();
    FSettings.ContextSizes[FSettings.ContextType] = ContextSizeUpDown->value();
    QDialog::accept();
}

bool ShowContextOptions(int Language, TContextSettings& Settings) {
    TContextTypeForm Form(Language, Settings, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Settings = Form.Settings();
    return true;
}
