#include "alignment/ConcAlignChoose.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "alignment/concAlignErrorDialog.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"

std::vector<TAlignmentPairRow> AlignmentPairRows(int File) {
    std::vector<TAlignmentPairRow> Rows;
    for (int k = 1; k < LanguagesCount; ++k) {
        if (!LanguageConfigs[0] || !LanguageConfigs[k] || !HasSegmentIndexes(0, k, File)) continue;
        Rows.push_back(
            {LanguageConfigs[0]->GetLanguageName() + " <-> " + LanguageConfigs[k]->GetLanguageName(), k});
    }
    return Rows;
}

TAlignmentChooseForm::TAlignmentChooseForm(int File, QWidget* Parent) : QDialog(Parent), FileIndex(File) {
    setWindowTitle("Choose Alignment View");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(260, 190);
    auto* Label = new QLabel("&Alignment Pairs:", this);
    Label->setGeometry(8, 8, 244, 16);
    AlignmentsList = new QListWidget(this);
    AlignmentsList->setObjectName("AlignmentsList");
    AlignmentsList->setGeometry(8, 26, 244, 120);
    Label->setBuddy(AlignmentsList);
    for (const TAlignmentPairRow& Row : AlignmentPairRows(File)) {
        auto* Item = new QListWidgetItem(QString::fromUtf8(Row.Text.c_str()), AlignmentsList);
        Item->setData(Qt::UserRole, Row.Language);
    }
    if (AlignmentsList->count() > 0) AlignmentsList->setCurrentRow(0);
    OkButton = new QPushButton("OK", this);
    OkButton->setGeometry(96, 156, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setGeometry(177, 156, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, &TAlignmentChooseForm::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(AlignmentsList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { accept(); });
    connect(AlignmentsList, &QListWidget::itemSelectionChanged, this, &TAlignmentChooseForm::UpdateOk);
    UpdateOk();
    CenterOnScreen(this);
}

void TAlignmentChooseForm::accept() {
    const QList<QListWidgetItem*> Selected = AlignmentsList->selectedItems();
    if (Selected.isEmpty()) return;
    ChosenLanguage = Selected.front()->data(Qt::UserRole).toInt();
    QDialog::accept();
}

void TAlignmentChooseForm::UpdateOk() {
    OkButton->setEnabled(!AlignmentsList->selectedItems().isEmpty());
}

bool ChooseAlignmentPair(int File, int& Language1, int& Language2) {
    TAlignmentChooseForm Form(File, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted || Form.ChosenLanguage < 1) return false;
    Language1 = 0;
    Language2 = Form.ChosenLanguage;
    return true;
}
