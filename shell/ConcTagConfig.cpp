#include "shell/ConcTagConfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcUtils.h"
#include "shell/ConcTagEdit.h"

namespace {
constexpr int TagTextLanguage = 0;
QString Text(const std::string& Bytes) {
    return LangToQString(Bytes, TagTextLanguage);
}
std::string Bytes(const QString& Text) {
    return QStringToLangLossy(Text, TagTextLanguage);
}
}  // namespace

TTagConfigForm::TTagConfigForm(QWidget* Parent) : QDialog(Parent), FRows(WatchedTags) {
    setWindowTitle("Tags Settings");
    const TTagSettingsEdits Current = CurrentTagSettings(*CommonConfig, WatchedTags);

    auto* Delimiters = new QGroupBox(" Tags Settings ", this);
    TagStartEdit = new QLineEdit(Text(Current.TagStart), Delimiters);
    TagStopEdit = new QLineEdit(Text(Current.TagStop), Delimiters);
    PageDelimiterEdit = new QLineEdit(Text(Current.PageSeparator), Delimiters);
    auto* DelimiterForm = new QFormLayout(Delimiters);
    auto addRow = [](QFormLayout* Form, const char* Caption, QWidget* Field) {
        auto* Label = new QLabel(Caption, Field->parentWidget());
        Label->setBuddy(Field);
        Form->addRow(Label, Field);
    };
    addRow(DelimiterForm, "Tag &Start:", TagStartEdit);
    addRow(DelimiterForm, "Tag S&top:", TagStopEdit);
    addRow(DelimiterForm, "&Page Delimiter:", PageDelimiterEdit);

    auto* Tracked = new QGroupBox(" Tracked Tags ", this);
    TagList = new QTreeWidget(Tracked);
    TagList->setRootIsDecorated(false);
    TagList->setUniformRowHeights(true);
    TagList->setSelectionMode(QAbstractItemView::SingleSelection);
    TagList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TagList->setHeaderLabels({"Name", "Start", "Stop"});
    TagList->setColumnWidth(0, 110);
    TagList->setColumnWidth(1, 70);
    TagList->setColumnWidth(2, 70);
    TagList->setMinimumWidth(110 + 70 + 70 + 24);
    EditBtn = new QPushButton("&Edit...", Tracked);
    AddBtn = new QPushButton("&Add...", Tracked);
    RemoveBtn = new QPushButton("Re&move", Tracked);
    auto* TrackedButtons = new QVBoxLayout;
    TrackedButtons->addWidget(EditBtn);
    TrackedButtons->addWidget(AddBtn);
    TrackedButtons->addWidget(RemoveBtn);
    TrackedButtons->addStretch();
    auto* TrackedLayout = new QHBoxLayout(Tracked);
    TrackedLayout->addWidget(TagList);
    TrackedLayout->addLayout(TrackedButtons);

    auto* Options = new QGroupBox(" Options ", this);
    ShowLinesCheck = new QCheckBox("Display &Line Numbers", Options);
    ShowPagesCheck = new QCheckBox("Display Page &Numbers", Options);
    RelativeLinesCheck = new QCheckBox("&Relative Lines", Options);
    ShowLinesCheck->setChecked(Current.ShowLines);
    ShowPagesCheck->setChecked(Current.ShowPages);
    RelativeLinesCheck->setChecked(Current.RelativeLines);
    RelativeLinesCheck->setEnabled(Current.ShowPages);
    auto* OptionsLayout = new QVBoxLayout(Options);
    OptionsLayout->addWidget(ShowLinesCheck);
    OptionsLayout->addWidget(ShowPagesCheck);
    OptionsLayout->addWidget(RelativeLinesCheck);

    auto* Buttons = NewOkCancelRow(this, OkBtn, CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Delimiters);
    Layout->addWidget(Tracked);
    Layout->addWidget(Options);
    Layout->addLayout(Buttons);
    setFixedSize(sizeHint());

    for (int Row = 0; Row < static_cast<int>(FRows.size()); ++Row) FillRow(Row);
    connect(ShowPagesCheck, &QCheckBox::toggled, this, [this](bool On) {
        RelativeLinesCheck->setEnabled(On);
        if (!On) RelativeLinesCheck->setChecked(false);
    });
    connect(TagList, &QTreeWidget::itemSelectionChanged, this, &TTagConfigForm::UpdateButtons);
    connect(TagList, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (EditBtn->isEnabled()) EditTag();
    });
    connect(AddBtn, &QPushButton::clicked, this, &TTagConfigForm::AddTag);
    connect(EditBtn, &QPushButton::clicked, this, &TTagConfigForm::EditTag);
    connect(RemoveBtn, &QPushButton::clicked, this, &TTagConfigForm::RemoveTag);
    connect(OkBtn, &QPushButton::clicked, this, &TTagConfigForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TTagConfigForm::reject);
    UpdateButtons();
}

void TTagConfigForm::FillRow(int Row) {
    QTreeWidgetItem* Item =
        Row < TagList->topLevelItemCount() ? TagList->topLevelItem(Row) : new QTreeWidgetItem(TagList);
    const TWatchedTag& Tag = FRows[static_cast<size_t>(Row)];
    Item->setText(0, Text(Tag.Name));
    Item->setText(1, Text(Tag.TagStart));
    Item->setText(2, Text(Tag.TagStop));
}

void TTagConfigForm::UpdateButtons() {
    const bool Selected = !TagList->selectedItems().isEmpty();
    EditBtn->setEnabled(Selected);
    RemoveBtn->setEnabled(Selected);
}

void TTagConfigForm::AddTag() {
    std::string Name, Start, Stop;
    if (!EditTrackedTag(true, Name, Start, -1, FRows, Stop)) return;
    FRows.emplace_back(Name, Start, Stop);
    FillRow(static_cast<int>(FRows.size()) - 1);
    TagList->setCurrentItem(TagList->topLevelItem(static_cast<int>(FRows.size()) - 1));
}

void TTagConfigForm::EditTag() {
    const int Row = TagList->indexOfTopLevelItem(TagList->currentItem());
    if (Row < 0) return;
    TWatchedTag& Tag = FRows[static_cast<size_t>(Row)];
    std::string Name = Tag.Name, Start = Tag.TagStart, Stop = Tag.TagStop;
    if (!EditTrackedTag(false, Name, Start, Row, FRows, Stop)) return;
    Tag = TWatchedTag(Name, Start, Stop);
    FillRow(Row);
}

void TTagConfigForm::RemoveTag() {
    QTreeWidgetItem* Item = TagList->currentItem();
    const int Row = TagList->indexOfTopLevelItem(Item);
    if (Row < 0) return;
    if (!WarningYesNo("Are you sure want to delete \"" + Item->text(0).toStdString() + "\" tag?", false))
        return;
    FRows.erase(FRows.begin() + Row);
    delete Item;
    UpdateButtons();
}

TTagSettingsEdits TTagConfigForm::Edits() const {
    TTagSettingsEdits E;
    E.TagStart = Bytes(TagStartEdit->text());
    E.TagStop = Bytes(TagStopEdit->text());
    E.PageSeparator = Bytes(PageDelimiterEdit->text());
    E.ShowLines = ShowLinesCheck->isChecked();
    E.ShowPages = ShowPagesCheck->isChecked();
    E.RelativeLines = RelativeLinesCheck->isChecked();
    E.Rows = FRows;
    return E;
}

void TTagConfigForm::accept() {
    const TTagSettingsEdits E = Edits();
    const TTagSettingsChanges Changes = CompareTagSettings(E, *CommonConfig, WatchedTags);
    if (!Changes.Any) {
        QDialog::reject();
        return;
    }
    switch (CheckTagSettings(E)) {
        case TTagSettingsCheck::EmptyTagStart:
            QApplication::beep();
            TagStartEdit->setFocus();
            return;
        case TTagSettingsCheck::EmptyTagStop:
            QApplication::beep();
            TagStopEdit->setFocus();
            return;
        case TTagSettingsCheck::Ok:
            break;
    }
    ApplyTagSettings(E, *CommonConfig);
    Applied = Changes;
    QDialog::accept();
}

void TTagConfigForm::reject() {
    CloseAskingToApply(*this, CompareTagSettings(Edits(), *CommonConfig, WatchedTags).Any,
                       [this] { accept(); });
}

bool ConfigureTags(bool& DelimitersChanged, bool& PageDelimiterChanged) {
    if (!CommonConfig) return false;
    TTagConfigForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    DelimitersChanged = Form.Applied.Delimiters;
    PageDelimiterChanged = Form.Applied.PageDelimiter;
    return true;
}
