#include "results/ConcAdvancedSort.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"

namespace {

constexpr const char* KeyCaptions[3] = {" First Sort ", " Second Sort ", " Third Sort "};

// A stored key the table lacks (a collocation record can hold an old sort code) shows as unused.
int ComboIndexOf(TSortKeyTable Table, uint8_t Code) {
    const int Index = SortKeyIndex(Table, Code);
    return Index >= 0 ? Index : SortKeyIndex(Table, skNone);
}

}  // namespace

TAdvancedSortColForm::TAdvancedSortColForm(int Language, bool Collocation,
                                           const TAdvancedSortColOptions& Options, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language), FCollocation(Collocation), FOptions(Options) {
    const std::string Name = LanguageNameOf(Language);
    setWindowTitle(QString::fromStdString(
        Collocation ? "Advanced Collocation - " + (Language < 0 ? "All" : Name) : "Advanced Sort - " + Name));
    auto* Keys = new QHBoxLayout;
    for (size_t I = 0; I < 3; ++I) {
        KeyGroups[I] = new QGroupBox(KeyCaptions[I], this);
        KeyCombos[I] = new QComboBox(KeyGroups[I]);
        for (int K = 0; K < SortKeyCount(Table()); ++K)
            KeyCombos[I]->addItem(
                QString::fromUtf8(SortKeyEntries(Table())[K].DisplayName.data(),
                                  qsizetype(SortKeyEntries(Table())[K].DisplayName.size())));
        ReverseChecks[I] = new QCheckBox("Reverse", KeyGroups[I]);
        ReverseChecks[I]->setVisible(!Collocation);
        auto* GroupLayout = new QVBoxLayout(KeyGroups[I]);
        GroupLayout->addWidget(KeyCombos[I]);
        GroupLayout->addWidget(ReverseChecks[I]);
        Keys->addWidget(KeyGroups[I]);
        connect(KeyCombos[I], &QComboBox::currentIndexChanged, this, &TAdvancedSortColForm::UpdateEnabled);
    }

    CustomisedCheck = new QCheckBox(Collocation ? "Customised Collocation:" : "Customised Sort:", this);
    CustomisedEdit = new QLineEdit(this);

    SortPanel = new QWidget(this);
    TagsGrid = new QTableWidget(int(WatchedTags.size()), 3, SortPanel);
    TagsGrid->setHorizontalHeaderLabels({"Name", "Start", "Stop"});
    TagsGrid->verticalHeader()->hide();
    TagsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TagsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TagsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    TagsGrid->horizontalHeader()->setStretchLastSection(true);
    const int TextLanguage = Language < 0 ? 0 : Language;
    for (int Row = 0; Row < int(WatchedTags.size()); ++Row) {
        const TWatchedTag& Tag = WatchedTags[size_t(Row)];
        int Column = 0;
        for (const std::string* Text : {&Tag.Name, &Tag.TagStart, &Tag.TagStop})
            TagsGrid->setItem(Row, Column++, new QTableWidgetItem(LangToQString(*Text, TextLanguage)));
    }
    auto* TagsLabel = new QLabel("Defined Tracked Tags:", SortPanel);
    TagsLabel->setBuddy(TagsGrid);
    auto* SortLayout = new QVBoxLayout(SortPanel);
    SortLayout->setContentsMargins(0, 0, 0, 0);
    SortLayout->addWidget(TagsLabel);
    SortLayout->addWidget(TagsGrid);
    TagsGrid->setFixedHeight(TagsGrid->horizontalHeader()->sizeHint().height() +
                             4 * TagsGrid->verticalHeader()->defaultSectionSize() +
                             2 * TagsGrid->frameWidth());

    CollocationPanel = new QWidget(this);
    ShowFirstEdit = new QSpinBox(CollocationPanel);
    ShowFirstEdit->setRange(0, 1000);
    SpanCheck = new QCheckBox("Span:", CollocationPanel);
    SpanCombo = new QComboBox(CollocationPanel);
    SpanCombo->addItems({"2", "3", "4", "5"});
    auto* ShowFirstLabel = new QLabel("Show first:", CollocationPanel);
    ShowFirstLabel->setBuddy(ShowFirstEdit);
    auto* CollocationLayout = new QHBoxLayout(CollocationPanel);
    CollocationLayout->setContentsMargins(0, 0, 0, 0);
    CollocationLayout->addWidget(ShowFirstLabel);
    CollocationLayout->addWidget(ShowFirstEdit);
    CollocationLayout->addWidget(new QLabel("items (0 - Unlimited)", CollocationPanel));
    CollocationLayout->addStretch();
    CollocationLayout->addWidget(SpanCheck);
    CollocationLayout->addWidget(SpanCombo);
    SortPanel->setVisible(!Collocation);
    CollocationPanel->setVisible(Collocation);

    auto* Buttons = NewOkCancelRow(this, OkBtn, CancelBtn);

    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    Layout->addLayout(Keys);
    Layout->addWidget(CustomisedCheck);
    Layout->addWidget(CustomisedEdit);
    Layout->addWidget(SortPanel);
    Layout->addWidget(CollocationPanel);
    Layout->addLayout(Buttons);

    ShowOptions();
    connect(CustomisedCheck, &QCheckBox::toggled, this, [this](bool On) {
        if (On) SpanCheck->setChecked(false);
        UpdateEnabled();
    });
    connect(SpanCheck, &QCheckBox::toggled, this, [this](bool On) {
        if (On) CustomisedCheck->setChecked(false);
        UpdateEnabled();
    });
    connect(OkBtn, &QPushButton::clicked, this, &TAdvancedSortColForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TAdvancedSortColForm::ShowOptions() {
    for (size_t I = 0; I < 3; ++I) {
        KeyCombos[I]->setCurrentIndex(ComboIndexOf(Table(), FOptions.Keys[I].Key));
        ReverseChecks[I]->setChecked(FOptions.Keys[I].Reverse);
    }
    CustomisedCheck->setChecked(FOptions.Customised);
    CustomisedEdit->setText(QString::fromStdString(FOptions.CustomisedText));
    for (int Row = 0; Row < TagsGrid->rowCount(); ++Row)
        if (WatchedTags[size_t(Row)].Name == FOptions.TrackedTag) TagsGrid->selectRow(Row);
    ShowFirstEdit->setValue(FOptions.ShowFirst);
    SpanCheck->setChecked(FCollocation && FOptions.Span && !FOptions.Customised);
    SpanCombo->setCurrentIndex(ShownSpanLength(FOptions.SpanLength) - 2);
    UpdateEnabled();
}

void TAdvancedSortColForm::UpdateEnabled() {
    const bool Keys = !CustomisedCheck->isChecked() && !SpanCheck->isChecked();
    for (size_t I = 0; I < 3; ++I) {
        KeyGroups[I]->setEnabled(Keys);
        const int Index = KeyCombos[I]->currentIndex();
        ReverseChecks[I]->setEnabled(Index >= 0 && SortKeyReversible(SortKeyCode(Table(), Index)));
    }
    CustomisedEdit->setEnabled(CustomisedCheck->isChecked());
    SpanCombo->setEnabled(SpanCheck->isChecked());
}

TSortKeyBoxes TAdvancedSortColForm::KeyBoxes() const {
    TSortKeyBoxes Boxes;
    for (size_t I = 0; I < 3; ++I) {
        const int Index = KeyCombos[I]->currentIndex();
        Boxes[I] = {Index >= 0 ? SortKeyCode(Table(), Index) : uint8_t(skNone),
                    ReverseChecks[I]->isChecked()};
    }
    return Boxes;
}

void TAdvancedSortColForm::Refuse(const std::string& Message) {
    QApplication::beep();
    ShowError(Message);
}

bool TAdvancedSortColForm::ReadItems(TAdvancedSortColItems& Items) {
    TSortOrderError Error;
    if (!CustomisedCheck->isChecked()) {
        if (CheckSortKeys(Table(), KeyBoxes(), SpanCheck->isChecked(), SpanCombo->currentIndex() >= 0, Items,
                          Error))
            return true;
        Refuse(Error.Message);
        return false;
    }
    const std::string Text = CustomisedEdit->text().toStdString();
    if (ParseCustomisedOrder(Table(), Text, Items, Error)) return true;
    Items.clear();
    if (!Error.Message.empty()) Refuse(Error.Message);
    // The position counts bytes of the UTF-8 text; the edit counts UTF-16 units.
    const int Caret = int(QString::fromStdString(Text.substr(0, size_t(Error.Position))).size());
    CustomisedEdit->setFocus();
    CustomisedEdit->setCursorPosition(Caret);
    return false;
}

void TAdvancedSortColForm::accept() {
    TAdvancedSortColItems Items;
    if (!ReadItems(Items)) return;
    const QList<QTableWidgetSelectionRange> Selected = TagsGrid->selectedRanges();
    const int TagRow = Selected.isEmpty() ? -1 : Selected.front().topRow();
    if (!FCollocation && TrackedTagMissing(Items, TagRow >= 0)) {
        Refuse(TrackedTagMissingText);
        return;
    }
    const TSortKeyBoxes Boxes = KeyBoxes();
    for (size_t I = 0; I < 3; ++I) FOptions.Keys[I] = Boxes[I];
    FOptions.Customised = CustomisedCheck->isChecked();
    FOptions.CustomisedText = CustomisedEdit->text().toStdString();
    if (FCollocation) {
        FOptions.ShowFirst = ClampEditToUpDown(ShowFirstEdit);
        FOptions.Span = SpanCheck->isChecked();
        FOptions.SpanLength = SpanCombo->currentIndex() + 2;
    } else {
        FOptions.TrackedTag = TagRow >= 0 ? WatchedTags[size_t(TagRow)].Name : std::string();
    }
    FItems = std::move(Items);
    QDialog::accept();
}

bool ExecuteAdvancedSort(int Language, bool Collocation, TAdvancedSortColOptions& Options,
                         TAdvancedSortColItems& Items) {
    TAdvancedSortColForm Form(Language, Collocation, Options, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Options = Form.Options();
    Items = Form.Items();
    return true;
}
