#include "results/ConcStopList.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "controls/ConcFormUtils.h"
#include "controls/InpQuery.h"
#include "controls/LangText.h"
#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/IniFiles.h"
#include "platform/WholeFile.h"
#include "results/ConcOptionRules.h"
#include "ui/Msg.h"

namespace fs = std::filesystem;

namespace {

TConcordConfig& Config(int Language) {
    return *LanguageConfigs.at(static_cast<size_t>(Language));
}

std::string FolderOf(const std::string& FileName) {
    return fs::path(FileName).parent_path().string();
}

// The lines of a stop-list file (CR LF, LF or CR ends), blanks trimmed, empty ones left out.
std::vector<std::string> ParseStopListFile(const std::string& Bytes) {
    std::vector<std::string> Words;
    size_t Start = 0;
    while (Start <= Bytes.size()) {
        size_t End = Bytes.find_first_of("\r\n", Start);
        if (End == std::string::npos) End = Bytes.size();
        std::string Word = Bytes.substr(Start, End - Start);
        const size_t First = Word.find_first_not_of(" \t");
        if (First != std::string::npos)
            Words.push_back(Word.substr(First, Word.find_last_not_of(" \t") - First + 1));
        Start = End + 1;
    }
    return Words;
}

}  // namespace

std::vector<std::string> SplitStopWords(const std::string& Answer, const TCharSet& Delimiters) {
    std::string Cuts;
    for (int B = 0; B < 256; ++B)
        if (Delimiters.test(size_t(B))) Cuts += char(B);
    std::vector<std::string> Words;
    std::string Rest = Answer, Token;
    while (!Rest.empty()) {
        ExtractToken(Rest, Cuts, Token);
        if (!Token.empty()) Words.push_back(Token);
    }
    return Words;
}

TStopListForm::TStopListForm(int Language, TStopList& List, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language), FList(List), FFileName(List.FileName) {
    setWindowTitle(QString::fromStdString("View Stop List - " + Config(Language).GetLanguageName()));
    const TWordFileControls C = BuildWordFileDialog(this, "Words in stop list:", Language,
                                                    {"&Add...", "&Remove", "&Clear", "&Save...", "&Load..."});
    WordsList = C.List;
    FileLabel = C.FileLabel;
    AddBtn = C.Commands[0];
    RemoveBtn = C.Commands[1];
    ClearBtn = C.Commands[2];
    SaveBtn = C.Commands[3];
    LoadBtn = C.Commands[4];
    OkBtn = C.Ok;
    CancelBtn = C.Cancel;

    for (const std::string& W : List.Words()) InsertSortedWord(WordsList, W, FLanguage);
    SetFile(FFileName);
    connect(AddBtn, &QPushButton::clicked, this, &TStopListForm::AddWords);
    connect(RemoveBtn, &QPushButton::clicked, this, &TStopListForm::RemoveSelected);
    connect(ClearBtn, &QPushButton::clicked, this, &TStopListForm::ClearWords);
    connect(SaveBtn, &QPushButton::clicked, this, &TStopListForm::SaveWords);
    connect(LoadBtn, &QPushButton::clicked, this, &TStopListForm::LoadWords);
    connect(OkBtn, &QPushButton::clicked, this, &TStopListForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TStopListForm::reject);
    connect(WordsList, &QListWidget::itemSelectionChanged, this, &TStopListForm::UpdateButtons);
    UpdateButtons();
}

std::vector<std::string> TStopListForm::Words() const {
    return ListWords(WordsList);
}

void TStopListForm::UpdateButtons() {
    RemoveBtn->setEnabled(!WordsList->selectedItems().isEmpty());
    ClearBtn->setEnabled(WordsList->count() > 0);
}

void TStopListForm::SetFile(const std::string& FileName) {
    FFileName = FileName;
    FileLabel->setText(
        QString::fromStdString(FileName.empty() ? "" : fs::path(FileName).filename().string()));
}

void TStopListForm::AddWord(const std::string& Word) {
    // The list's own search ignores case, as the list box's exact-match search does.
    const QString Text = LangToQString(Word, FLanguage);
    if (!WordsList->findItems(Text, Qt::MatchFixedString).isEmpty()) return;
    InsertSortedWord(WordsList, Word, FLanguage);
    FModified = FChangedSinceFile = true;
}

void TStopListForm::AddWords() {
    std::string Answer;
    if (!InputQueryDialog("Add to Stop List", "Enter word(s) to add to stop list:",
                          Config(FLanguage).Fonts[SystemFont], Answer, FLanguage))
        return;
    try {
        for (const std::string& Word : SplitStopWords(Answer, NonWordCharSet(FLanguage))) AddWord(Word);
    } catch (const std::bad_alloc&) {
        ShowWarning("List box cannot accept more entries.");
    }
    UpdateButtons();
}

void TStopListForm::RemoveSelected() {
    for (int Row = WordsList->count() - 1; Row >= 0; --Row) {
        if (!WordsList->item(Row)->isSelected()) continue;
        delete WordsList->takeItem(Row);
        FModified = FChangedSinceFile = true;
    }
    UpdateButtons();
}

void TStopListForm::ClearWords() {
    if (WordsList->count() == 0 || !ConfirmOkCancel("Remove all words from stop list?", true)) return;
    WordsList->clear();
    SetFile("");
    FModified = FChangedSinceFile = true;
    UpdateButtons();
}

void TStopListForm::SaveWords() {
    std::string FileName = FFileName;
    if (FileName.empty()) FileName = AskWordFileToSave("Save Stop List", Config(FLanguage).StopListPath);
    if (FileName.empty()) return;
    try {
        ReplaceFileAtomically(FileName, FormatExceptionFile(Words()));
    } catch (const std::exception&) {
        SetFile("");
        ShowError("Unable to save to file \r\n" + FileName);
        return;
    }
    Config(FLanguage).StopListPath = FolderOf(FileName);
    SetFile(FileName);
    FChangedSinceFile = false;
}

void TStopListForm::LoadWords() {
    const std::string FileName = AskWordFileToLoad("Load New Stop List", Config(FLanguage).StopListPath);
    if (FileName.empty()) return;
    std::string Bytes;
    {
        const TWaitScope Wait;
        if (platform::ReadRegularFile(FileName, Bytes) != platform::TWholeFileStatus::Ok) {
            ShowError("Unable to load words from \r\n" + FileName);
            return;
        }
        // The file's words as they stand: a list that matches case may hold "The" beside "the".
        WordsList->clear();
        for (const std::string& W : ParseStopListFile(Bytes)) InsertSortedWord(WordsList, W, FLanguage);
    }
    Config(FLanguage).StopListPath = FolderOf(FileName);
    SetFile(FileName);
    FModified = true;
    FChangedSinceFile = false;
    UpdateButtons();
}

void TStopListForm::accept() {
    FList.SetFileName(FChangedSinceFile ? std::string() : FFileName);
    FList.SetWords(Words());
    FList.SetActive(true);
    QDialog::accept();
}

void TStopListForm::reject() {
    CloseAskingToApply(*this, FModified, [this] { accept(); });
}

bool EditStopList(int Language, TStopList& List) {
    TStopListForm Form(Language, List, QApplication::activeWindow());
    return Form.exec() == QDialog::Accepted;
}

bool ShowStopList(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[size_t(Language)]) return false;
    return EditStopList(Language, LanguageConfigs[size_t(Language)]->StopList);
}
