#include "shell/ConcPOSTags.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "shell/ConcPOSEdit.h"

namespace {
constexpr int TagTextLanguage = 0;
QString Text(const std::string& Bytes) {
    return LangToQString(Bytes, TagTextLanguage);
}
std::string Bytes(const QString& Text) {
    return QStringToLangLossy(Text, TagTextLanguage);
}

QListWidgetItem* NewStartItem(QListWidget* List, const QString& Text) {
    auto* Item = new QListWidgetItem(Text, List);
    Item->setFlags(Item->flags() | Qt::ItemIsEditable);
    return Item;
}
}  // namespace

TPOSTagsConfigForm::TPOSTagsConfigForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Special Tags Settings");
    const TSpecialTagsEdits Current = CurrentSpecialTags(*CommonConfig);

    auto* Format = new QGroupBox(" Tags &Format ", this);
    EmbeddedCheck = new QCheckBox("&Embedded in Word", Format);
    OutsideCheck = new QCheckBox("&Outside Word", Format);
    DelimiterGroup = new QGroupBox(Format);
    DelimiterEdit = new QLineEdit(Text(Current.Delimiter), DelimiterGroup);
    DelimiterEdit->setMaxLength(1);
    auto* DelimiterForm = new QFormLayout(DelimiterGroup);
    auto* DelimiterLabel = new QLabel("Delimiter &Character:", DelimiterGroup);
    DelimiterLabel->setBuddy(DelimiterEdit);
    DelimiterForm->addRow(DelimiterLabel, DelimiterEdit);

    OutsideGroup = new QGroupBox(Format);
    BeforeCheck = new QCheckBox("&Before Word", OutsideGroup);
    BeforeCheck->setChecked(Current.Before);
    StartList = new QListWidget(OutsideGroup);
    StartList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    for (const std::string& Start : Current.Starts) NewStartItem(StartList, Text(Start));
    StartList->setMaximumHeight(90);
    AddStartBtn = new QPushButton("&Add", OutsideGroup);
    RemoveStartBtn = new QPushButton("&Remove", OutsideGroup);
    StopEdit = new QLineEdit(Text(Current.Stop), OutsideGroup);
    StopEdit->setMaxLength(1);
    auto* StartLabel = new QLabel("Tag &Start:", OutsideGroup);
    StartLabel->setBuddy(StartList);
    auto* StopLabel = new QLabel("Tag S&top:", OutsideGroup);
    StopLabel->setBuddy(StopEdit);
    auto* StartButtons = new QVBoxLayout;
    StartButtons->addWidget(AddStartBtn);
    StartButtons->addWidget(RemoveStartBtn);
    StartButtons->addStretch();
    auto* StartRow = new QHBoxLayout;
    StartRow->addWidget(StartList);
    StartRow->addLayout(StartButtons);
    auto* OutsideLayout = new QVBoxLayout(OutsideGroup);
    OutsideLayout->addWidget(BeforeCheck);
    OutsideLayout->addWidget(StartLabel);
    OutsideLayout->addLayout(StartRow);
    auto* StopForm = new QFormLayout;
    StopForm->addRow(StopLabel, StopEdit);
    OutsideLayout->addLayout(StopForm);

    auto* FormatLayout = new QGridLayout(Format);
    FormatLayout->addWidget(EmbeddedCheck, 0, 0);
    FormatLayout->addWidget(OutsideCheck, 0, 1);
    FormatLayout->addWidget(DelimiterGroup, 1, 0, Qt::AlignTop);
    FormatLayout->addWidget(OutsideGroup, 1, 1);

    // Its letter differs from "Re&move" of the start list's "&Remove": "&Meta-Tags" takes "m" first.
    auto* Meta = new QGroupBox(" &Meta-Tags ", this);
    MetaList = new QTreeWidget(Meta);
    MetaList->setRootIsDecorated(false);
    MetaList->setUniformRowHeights(true);
    MetaList->setSelectionMode(QAbstractItemView::SingleSelection);
    MetaList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MetaList->setHeaderLabels({"Name", "Contents"});
    for (const TMetaTagRow& Row : Current.MetaTags)
        new QTreeWidgetItem(MetaList, QStringList{Text(Row.Name), Text(Row.Contents)});
    AddMetaBtn = new QPushButton("A&dd...", Meta);
    EditMetaBtn = new QPushButton("Ed&it...", Meta);
    RemoveMetaBtn = new QPushButton("Remo&ve", Meta);
    auto* MetaButtons = new QVBoxLayout;
    MetaButtons->addWidget(AddMetaBtn);
    MetaButtons->addWidget(EditMetaBtn);
    MetaButtons->addWidget(RemoveMetaBtn);
    MetaButtons->addStretch();
    auto* MetaLayout = new QHBoxLayout(Meta);
    MetaLayout->addWidget(MetaList);
    MetaLayout->addLayout(MetaButtons);

    auto* Buttons = NewOkCancelRow(this, OkBtn, CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Format);
    Layout->addWidget(Meta);
    Layout->addLayout(Buttons);

    connect(EmbeddedCheck, &QCheckBox::clicked, this, [this](bool On) { SetMode(On ? 1 : 0); });
    connect(OutsideCheck, &QCheckBox::clicked, this, [this](bool On) { SetMode(On ? 2 : 0); });
    connect(AddStartBtn, &QPushButton::clicked, this, &TPOSTagsConfigForm::AddStart);
    connect(RemoveStartBtn, &QPushButton::clicked, this, [this] {
        delete StartList->currentItem();
        UpdateButtons();
    });
    connect(StartList, &QListWidget::itemSelectionChanged, this, &TPOSTagsConfigForm::UpdateButtons);
    connect(MetaList, &QTreeWidget::itemSelectionChanged, this, &TPOSTagsConfigForm::UpdateButtons);
    connect(MetaList, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (EditMetaBtn->isEnabled()) EditMetaTagRow();
    });
    connect(AddMetaBtn, &QPushButton::clicked, this, &TPOSTagsConfigForm::AddMetaTag);
    connect(EditMetaBtn, &QPushButton::clicked, this, &TPOSTagsConfigForm::EditMetaTagRow);
    connect(RemoveMetaBtn, &QPushButton::clicked, this, [this] {
        delete MetaList->currentItem();
        UpdateButtons();
    });
    connect(OkBtn, &QPushButton::clicked, this, &TPOSTagsConfigForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TPOSTagsConfigForm::reject);
    SetMode(Current.Mode);
    UpdateButtons();
    resize(sizeHint().expandedTo(QSize(460, 0)));
}

void TPOSTagsConfigForm::SetMode(uint8_t Mode) {
    FMode = Mode > 2 ? 0 : Mode;
    EmbeddedCheck->setChecked(FMode == 1);
    OutsideCheck->setChecked(FMode == 2);
    DelimiterGroup->setEnabled(FMode == 1);
    OutsideGroup->setEnabled(FMode == 2);
}

void TPOSTagsConfigForm::AddStart() {
    QListWidgetItem* Item = NewStartItem(StartList, QString());
    StartList->setCurrentItem(Item);
    StartList->editItem(Item);
}

void TPOSTagsConfigForm::EditStartRow(int Row) {
    QListWidgetItem* Item = StartList->item(Row);
    if (!Item) return;
    StartList->setCurrentItem(Item);
    StartList->editItem(Item);
}

std::vector<std::string> TPOSTagsConfigForm::MetaNames() const {
    std::vector<std::string> Names;
    for (int I = 0; I < MetaList->topLevelItemCount(); ++I)
        Names.push_back(Bytes(MetaList->topLevelItem(I)->text(0).trimmed()));
    return Names;
}

void TPOSTagsConfigForm::AddMetaTag() {
    std::string Name, Contents;
    if (!EditMetaTag(Name, Contents, true, MetaNames())) return;
    MetaList->setCurrentItem(new QTreeWidgetItem(MetaList, QStringList{Text(Name), Text(Contents)}));
}

void TPOSTagsConfigForm::EditMetaTagRow() {
    QTreeWidgetItem* Item = MetaList->currentItem();
    if (!Item) return;
    std::string Name = Bytes(Item->text(0).trimmed()), Contents = Bytes(Item->text(1));
    if (!EditMetaTag(Name, Contents, false, MetaNames())) return;
    Item->setText(0, Text(Name));
    Item->setText(1, Text(Contents));
}

void TPOSTagsConfigForm::UpdateButtons() {
    RemoveStartBtn->setEnabled(StartList->currentItem() && StartList->currentItem()->isSelected());
    const bool MetaSelected = !MetaList->selectedItems().isEmpty();
    EditMetaBtn->setEnabled(MetaSelected);
    RemoveMetaBtn->setEnabled(MetaSelected);
}

void TPOSTagsConfigForm::FitColumns() {
    const int Width =
        MetaList->viewport()->width() -
        (MetaList->verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    MetaList->setColumnWidth(0, Width / 3);
    MetaList->setColumnWidth(1, Width - Width / 3);
}

void TPOSTagsConfigForm::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    FitColumns();
}

// The list has its final width only once the dialog's layout has run, which happens when it is shown.
void TPOSTagsConfigForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FitColumns();
}

TSpecialTagsEdits TPOSTagsConfigForm::Edits() const {
    TSpecialTagsEdits E;
    E.Mode = FMode;
    E.Delimiter = Bytes(DelimiterEdit->text());
    E.Stop = Bytes(StopEdit->text());
    E.Before = BeforeCheck->isChecked();
    for (int I = 0; I < StartList->count(); ++I) E.Starts.push_back(Bytes(StartList->item(I)->text()));
    for (int I = 0; I < MetaList->topLevelItemCount(); ++I)
        E.MetaTags.push_back(
            {Bytes(MetaList->topLevelItem(I)->text(0)), Bytes(MetaList->topLevelItem(I)->text(1))});
    return E;
}

void TPOSTagsConfigForm::accept() {
    const TSpecialTagsEdits E = Edits();
    const bool WordTags = WordTagsChanged(E, *CommonConfig);
    if (!WordTags && !MetaTagsChanged(E, *CommonConfig)) {
        QDialog::reject();
        return;
    }
    const TSpecialTagsCheck Check = CheckSpecialTags(E);
    switch (Check.Result) {
        case TSpecialTagsCheck::EmptyDelimiter:
            ShowError("\"Delimiter Character\" can not be empty.");
            DelimiterEdit->setFocus();
            return;
        case TSpecialTagsCheck::EmptyStop:
            ShowError("\"Tag Stop\" can not be empty.");
            StopEdit->setFocus();
            return;
        case TSpecialTagsCheck::EmptyStart:
            ShowError("Empty \"Tag Start\".");
            EditStartRow(Check.StartRow);
            return;
        case TSpecialTagsCheck::Ok:
            break;
    }
    ApplySpecialTags(E, *CommonConfig);
    WordTagsWereChanged = WordTags;
    QDialog::accept();
}

void TPOSTagsConfigForm::reject() {
    const TSpecialTagsEdits E = Edits();
    CloseAskingToApply(*this, WordTagsChanged(E, *CommonConfig) || MetaTagsChanged(E, *CommonConfig),
                       [this] { accept(); });
}

bool ConfigureSpecialTags() {
    if (!CommonConfig) return false;
    TPOSTagsConfigForm Form(QApplication::activeWindow());
    return Form.exec() == QDialog::Accepted && Form.WordTagsWereChanged;
}
