#include "alignment/concAlignMarkersConfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "alignment/alignDelSegsSettings.h"
#include "alignment/concAlignErrorDialog.h"
#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"
#include "platform/Nls.h"

namespace {

constexpr int GroupWidth = 180;
constexpr int GroupHeight = 240;
constexpr int GroupTop = 2;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

// A language's texts are bytes of its code page.
QString LanguageText(const TConcordConfig& Config, const std::string& Bytes) {
    const std::u16string Wide = platform::CodePageToUtf16(platform::AnsiCodePage(Config.LocaleId), Bytes);
    return QString::fromUtf16(Wide.data(), qsizetype(Wide.size()));
}

std::string LanguageBytes(const TConcordConfig& Config, const QString& Text) {
    return platform::Utf16ToCodePage(platform::AnsiCodePage(Config.LocaleId),
                                     std::u16string_view(reinterpret_cast<const char16_t*>(Text.utf16()),
                                                         static_cast<size_t>(Text.size())));
}

// Tells the dialog when a row's editor opens and closes, so that Enter ends the edit rather than
// pressing "&OK".
class TEditNotifyingDelegate : public QStyledItemDelegate {
public:
    TEditNotifyingDelegate(QObject* Parent, std::function<void(bool Editing)> Notify)
        : QStyledItemDelegate(Parent), FNotify(std::move(Notify)) {}
    QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                          const QModelIndex& Index) const override {
        FNotify(true);
        return QStyledItemDelegate::createEditor(Parent, Option, Index);
    }
    void destroyEditor(QWidget* Editor, const QModelIndex& Index) const override {
        QStyledItemDelegate::destroyEditor(Editor, Index);
        FNotify(false);
    }

private:
    std::function<void(bool)> FNotify;
};

QString Numbered(const char* Name, int Language) {
    return QString("%1%2").arg(Name).arg(Language + 1);
}

}  // namespace

void StoreAlignMarkers(TConcordConfig& Config, bool HiliteNumbers, const std::vector<std::string>& Rows) {
    Config.HiliteNumbers = HiliteNumbers;
    Config.Markers.clear();
    for (const std::string& Row : Rows) {
        std::string Marker = TrimSettingText(Row);
        if (!Marker.empty()) Config.Markers.push_back(std::move(Marker));
    }
}

TAlignMarkersConfigForm::TAlignMarkersConfigForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Alignment Markers Settings");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    int Left = 2;
    for (int k = 0; k < LanguagesCount; ++k) {
        if (!LanguageConfigs[k]) continue;
        Groups.push_back(CreateGroup(k, Left));
        Left += GroupWidth + 2;
    }
    const int LastRight = Left - 2;
    const int ButtonsTop = GroupTop + GroupHeight + 8;
    CancelButton = new QPushButton("&Cancel", this);
    CancelButton->setGeometry(LastRight - ButtonWidth, ButtonsTop, ButtonWidth, ButtonHeight);
    OkButton = new QPushButton("&OK", this);
    OkButton->setGeometry(LastRight - 2 * ButtonWidth - 4, ButtonsTop, ButtonWidth, ButtonHeight);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(LastRight + 2, ButtonsTop + ButtonHeight + 8);
    CenterOnScreen(this);
}

TAlignMarkersConfigForm::TLanguageGroup TAlignMarkersConfigForm::CreateGroup(int Language, int Left) {
    const TConcordConfig& Config = *LanguageConfigs[Language];
    TLanguageGroup G;
    G.Language = Language;
    G.LangGroupBox = new QGroupBox(QString::fromStdString(" " + Config.GetLanguageName() + " "), this);
    G.LangGroupBox->setObjectName(Numbered("LangGroupBox", Language));
    G.LangGroupBox->setGeometry(Left, GroupTop, GroupWidth, GroupHeight);
    G.HiliteCB = new QCheckBox("Hilite Numbers", G.LangGroupBox);
    G.HiliteCB->setObjectName(Numbered("HiliteCB", Language));
    G.HiliteCB->setGeometry(8, 20, 164, 17);
    G.HiliteCB->setChecked(Config.HiliteNumbers);
    G.MarkersList = new QListWidget(G.LangGroupBox);
    G.MarkersList->setObjectName(Numbered("MarkersList", Language));
    G.MarkersList->setGeometry(8, 42, 164, 158);
    G.MarkersList->setFont(FontSpecToQFont(Config.Fonts[CorpusFont]));
    G.MarkersList->setSelectionBehavior(QAbstractItemView::SelectRows);
    G.MarkersList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    for (const std::string& Marker : Config.Markers) {
        auto* Item = new QListWidgetItem(LanguageText(Config, Marker), G.MarkersList);
        Item->setFlags(Item->flags() | Qt::ItemIsEditable);
    }
    G.MarkersList->setItemDelegate(
        new TEditNotifyingDelegate(G.MarkersList, [this](bool Editing) { OkButton->setDefault(!Editing); }));
    G.AddButton = new QPushButton("&Add", G.LangGroupBox);
    G.AddButton->setObjectName(Numbered("AddButton", Language));
    G.AddButton->setGeometry(8, 206, ButtonWidth, ButtonHeight);
    G.RemoveButton = new QPushButton("&Remove", G.LangGroupBox);
    G.RemoveButton->setObjectName(Numbered("RemoveButton", Language));
    G.RemoveButton->setGeometry(97, 206, ButtonWidth, ButtonHeight);
    connect(G.AddButton, &QPushButton::clicked, this, [this, G] { AddRow(G); });
    connect(G.RemoveButton, &QPushButton::clicked, this, [this, G] { RemoveRow(G); });
    connect(G.MarkersList, &QListWidget::itemSelectionChanged, this, [this, G] { UpdateRemove(G); });
    UpdateRemove(G);
    return G;
}

void TAlignMarkersConfigForm::AddRow(const TLanguageGroup& Group) {
    auto* Item = new QListWidgetItem(QString(), Group.MarkersList);
    Item->setFlags(Item->flags() | Qt::ItemIsEditable);
    Group.MarkersList->setCurrentItem(Item);
    Group.MarkersList->setFocus();
    Group.MarkersList->editItem(Item);
    UpdateRemove(Group);
}

void TAlignMarkersConfigForm::RemoveRow(const TLanguageGroup& Group) {
    const QList<QListWidgetItem*> Selected = Group.MarkersList->selectedItems();
    if (!Selected.isEmpty()) delete Selected.front();
    UpdateRemove(Group);
}

void TAlignMarkersConfigForm::UpdateRemove(const TLanguageGroup& Group) {
    Group.RemoveButton->setEnabled(!Group.MarkersList->selectedItems().isEmpty());
}

void TAlignMarkersConfigForm::StoreSettings() const {
    for (const TLanguageGroup& G : Groups) {
        TConcordConfig& Config = *LanguageConfigs[G.Language];
        std::vector<std::string> Rows;
        for (int Row = 0; Row < G.MarkersList->count(); ++Row)
            Rows.push_back(LanguageBytes(Config, G.MarkersList->item(Row)->text()));
        StoreAlignMarkers(Config, G.HiliteCB->isChecked(), Rows);
    }
}

bool ShowAlignMarkersConfig() {
    TAlignMarkersConfigForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Form.StoreSettings();
    return true;
}
