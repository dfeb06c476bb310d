#include "results/ConcHeadings.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "results/ConcHeadingEdit.h"

namespace {
std::vector<TNamedItem<THeadRecord>>& Headings(int Language) {
    return LanguageConfigs.at(static_cast<size_t>(Language))->Headings;
}
}  // namespace

THeadingsForm::THeadingsForm(int Language, QWidget* Parent) : QDialog(Parent), FLanguage(Language) {
    setWindowTitle("Headings Configuration");
    auto* Label = new QLabel("&Headings:", this);
    HeadingsList = new QListWidget(this);
    HeadingsList->setFont(LanguageFont(Language, SystemFont));
    Label->setBuddy(HeadingsList);
    AddBtn = new QPushButton("&Add...", this);
    EditBtn = new QPushButton("&Edit", this);
    RemoveBtn = new QPushButton("&Remove", this);
    CloseBtn = new QPushButton("Close", this);
    CloseBtn->setDefault(true);

    auto* Layout = new QGridLayout(this);
    Layout->addWidget(Label, 0, 0);
    Layout->addWidget(HeadingsList, 1, 0);
    auto* Buttons = new QVBoxLayout;
    for (QPushButton* B : {AddBtn, EditBtn, RemoveBtn}) Buttons->addWidget(B);
    Buttons->addStretch();
    Buttons->addWidget(CloseBtn);
    Layout->addLayout(Buttons, 0, 1, 2, 1);

    Fill();
    HeadingsList->installEventFilter(this);
    HeadingsList->viewport()->installEventFilter(this);
    connect(AddBtn, &QPushButton::clicked, this, &THeadingsForm::AddHeading);
    connect(EditBtn, &QPushButton::clicked, this, &THeadingsForm::EditHeading);
    connect(RemoveBtn, &QPushButton::clicked, this, &THeadingsForm::RemoveHeading);
    // Close is the default and the cancel button, and either way only closes.
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(HeadingsList, &QListWidget::itemSelectionChanged, this, &THeadingsForm::UpdateButtons);
    connect(HeadingsList, &QListWidget::itemDoubleClicked, this, [this] {
        if (EditBtn->isEnabled()) EditHeading();
    });
}

void THeadingsForm::Fill() {
    HeadingsList->clear();
    for (const auto& H : Headings(FLanguage)) HeadingsList->addItem(LangToQString(H.Name, FLanguage));
    UpdateButtons();
}

void THeadingsForm::UpdateButtons() {
    const bool Selected = HeadingsList->currentRow() >= 0 && !HeadingsList->selectedItems().isEmpty();
    EditBtn->setEnabled(Selected);
    RemoveBtn->setEnabled(Selected);
}

bool THeadingsForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyRelease || Event->type() == QEvent::MouseButtonRelease) UpdateButtons();
    return QDialog::eventFilter(Watched, Event);
}

void THeadingsForm::AddHeading() {
    TNamedItem<THeadRecord> Entry;
    THeadRecord& R = Entry.Object;
    if (!EditHeadingDialog(false, -1, Headings(FLanguage), FLanguage, Entry.Name, R.HeadStart, R.HeadStop,
                           R.TextStart, R.TextStop))
        return;
    Headings(FLanguage).push_back(std::move(Entry));
    Fill();
    HeadingsList->setCurrentRow(HeadingsList->count() - 1);
}

void THeadingsForm::EditHeading() {
    const int Row = HeadingsList->currentRow();
    if (Row < 0 || static_cast<size_t>(Row) >= Headings(FLanguage).size()) return;
    TNamedItem<THeadRecord> Copy = Headings(FLanguage)[static_cast<size_t>(Row)];
    THeadRecord& R = Copy.Object;
    if (!EditHeadingDialog(true, Row, Headings(FLanguage), FLanguage, Copy.Name, R.HeadStart, R.HeadStop,
                           R.TextStart, R.TextStop))
        return;
    Headings(FLanguage)[static_cast<size_t>(Row)] = std::move(Copy);
    Fill();
    HeadingsList->setCurrentRow(Row);
}

void THeadingsForm::RemoveHeading() {
    const int Row = HeadingsList->currentRow();
    if (Row < 0 || static_cast<size_t>(Row) >= Headings(FLanguage).size()) return;
    if (!WarningYesNo("Remove \"" + HeadingsList->item(Row)->text().toStdString() + "\"?", true)) return;
    Headings(FLanguage).erase(Headings(FLanguage).begin() + Row);
    Fill();
}

void ShowHeadingsConfig(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    THeadingsForm Form(Language, QApplication::activeWindow());
    Form.exec();
}
