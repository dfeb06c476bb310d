#include "controls/LangText.h"

#include <QApplication>
#include <QCollator>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "platform/Nls.h"

namespace {
const TConcordConfig* Config(int Language) {
    return Language >= 0 && Language < MaxLanguages ? LanguageConfigs[static_cast<size_t>(Language)].get()
                                                    : nullptr;
}
}  // namespace

int LanguageCodePage(int Language) {
    const TConcordConfig* C = Config(Language);
    return C ? LocaleCodePage(C->LocaleId) : platform::SystemCodePage();
}

QString LangToQString(std::string_view Bytes, int Language) {
    const std::u16string Text = platform::CodePageToUtf16(LanguageCodePage(Language), Bytes);
    return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

bool QStringToLang(const QString& Text, int Language, std::string& Bytes) {
    const int CodePage = LanguageCodePage(Language);
    const std::u16string Units(reinterpret_cast<const char16_t*>(Text.utf16()),
                               static_cast<size_t>(Text.size()));
    std::string Converted = platform::Utf16ToCodePage(CodePage, Units);
    if (platform::CodePageToUtf16(CodePage, Converted) != Units) return false;
    Bytes = std::move(Converted);
    return true;
}

QFont LanguageFont(int Language, int FontIndex) {
    const TConcordConfig* C = Config(Language);
    if (!C || FontIndex < 0 || FontIndex >= ConfigFontCount) return QApplication::font();
    return FontSpecToQFont(C->Fonts[static_cast<size_t>(FontIndex)]);
}

void SetComboItems(QComboBox* Combo, const std::vector<std::string>& Items, int Language) {
    const QString Text = Combo->currentText();
    Combo->clear();
    for (const std::string& Item : Items) Combo->addItem(LangToQString(Item, Language));
    Combo->setCurrentIndex(-1);
    Combo->setEditText(Text);
}

std::vector<std::string> ComboItems(const QComboBox* Combo, int Language) {
    std::vector<std::string> Items;
    for (int I = 0; I < Combo->count(); ++I)
        Items.push_back(QStringToLangLossy(Combo->itemText(I), Language));
    return Items;
}

std::string QStringToLangLossy(const QString& Text, int Language) {
    const std::u16string Units(reinterpret_cast<const char16_t*>(Text.utf16()),
                               static_cast<size_t>(Text.size()));
    return platform::Utf16ToCodePage(LanguageCodePage(Language), Units);
}

namespace {

// Where a list item keeps the bytes of its word.
constexpr int WordBytesRole = Qt::UserRole;

}  // namespace

int InsertSortedWord(QListWidget* List, const std::string& Word, int Language) {
    QCollator Collator;
    Collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QString Text = LangToQString(Word, Language);
    // Binary search: a loaded stop list may hold many thousands of words.
    int Low = 0, High = List->count();
    while (Low < High) {
        const int Mid = (Low + High) / 2;
        if (Collator.compare(List->item(Mid)->text(), Text) <= 0)
            Low = Mid + 1;
        else
            High = Mid;
    }
    auto* Item = new QListWidgetItem(Text);
    Item->setData(WordBytesRole, QByteArray::fromStdString(Word));
    List->insertItem(Low, Item);
    return Low;
}

std::vector<std::string> ListWords(const QListWidget* List) {
    std::vector<std::string> Words;
    Words.reserve(size_t(List->count()));
    for (int I = 0; I < List->count(); ++I)
        Words.push_back(List->item(I)->data(WordBytesRole).toByteArray().toStdString());
    return Words;
}

TWordFileControls BuildWordFileDialog(QDialog* Dialog, const char* Caption, int Language,
                                      const std::vector<const char*>& CommandCaptions) {
    TWordFileControls C;
    auto* Label = new QLabel(Caption, Dialog);
    C.List = new QListWidget(Dialog);
    C.List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    C.List->setFont(LanguageFont(Language, SystemFont));
    Label->setBuddy(C.List);
    C.FileLabel = new QLabel(Dialog);
    for (const char* Text : CommandCaptions) C.Commands.push_back(new QPushButton(Text, Dialog));
    C.Ok = new QPushButton("OK", Dialog);
    C.Ok->setDefault(true);
    C.Cancel = new QPushButton("Cancel", Dialog);

    auto* Layout = new QGridLayout(Dialog);
    Layout->addWidget(Label, 0, 0);
    Layout->addWidget(C.List, 1, 0);
    Layout->addWidget(C.FileLabel, 2, 0);
    auto* Buttons = new QVBoxLayout;
    for (QPushButton* B : C.Commands) Buttons->addWidget(B);
    Buttons->addStretch();
    Buttons->addWidget(C.Ok);
    Buttons->addWidget(C.Cancel);
    Layout->addLayout(Buttons, 0, 1, 3, 1);
    return C;
}
