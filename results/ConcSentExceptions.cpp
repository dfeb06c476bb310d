#include "results/ConcSentExceptions.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "controls/ConcFormUtils.h"
#include "controls/InpQuery.h"
#include "controls/LangText.h"
#include "engine/ConcConfig.h"
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

}  // namespace

TSentenceExceptionsForm::TSentenceExceptionsForm(int Language, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language) {
    setWindowTitle("Sentence Delimiters Exceptions List");
    const TWordFileControls C = BuildWordFileDialog(this, "&Words in file:", Language,
                                                    {"&Add...", "&Remove", "&Save...", "&Load...", "&Clear"});
    WordsList = C.List;
    FileLabel = C.FileLabel;
    AddBtn = C.Commands[0];
    RemoveBtn = C.Commands[1];
    SaveBtn = C.Commands[2];
    LoadBtn = C.Commands[3];
    ClearBtn = C.Commands[4];
    OkBtn = C.Ok;
    CancelBtn = C.Cancel;

    SetWords(Config(Language).SentenceExceptions);
    WordsList->installEventFilter(this);
    WordsList->viewport()->installEventFilter(this);
    connect(AddBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::AddWord);
    connect(RemoveBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::RemoveSelected);
    connect(SaveBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::SaveWords);
    connect(LoadBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::LoadWords);
    connect(ClearBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::ClearWords);
    connect(OkBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TSentenceExceptionsForm::reject);
    connect(WordsList, &QListWidget::itemSelectionChanged, this, &TSentenceExceptionsForm::UpdateButtons);
    UpdateButtons();
}

std::vector<std::string> TSentenceExceptionsForm::Words() const {
    return ListWords(WordsList);
}

void TSentenceExceptionsForm::SetWords(const std::vector<std::string>& Words) {
    WordsList->clear();
    for (const std::string& W : Words) InsertSorted(W);
}

int TSentenceExceptionsForm::InsertSorted(const std::string& Word) {
    return InsertSortedWord(WordsList, Word, FLanguage);
}

void TSentenceExceptionsForm::UpdateButtons() {
    const bool HasWords = WordsList->count() > 0;
    RemoveBtn->setEnabled(HasWords && !WordsList->selectedItems().isEmpty());
    SaveBtn->setEnabled(HasWords);
    ClearBtn->setEnabled(HasWords);
}

bool TSentenceExceptionsForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyRelease || Event->type() == QEvent::MouseButtonRelease) UpdateButtons();
    return QDialog::eventFilter(Watched, Event);
}

void TSentenceExceptionsForm::AddWord() {
    std::string Word;
    if (!InputQueryDialog("Add to List", "Enter word to add:", Config(FLanguage).Fonts[SystemFont], Word,
                          FLanguage))
        return;
    TWaitScope Wait;
    std::vector<std::string> Current = Words();
    if (AddExceptionWord(Current, Word, FLanguage) < 0) return;
    const int Row = InsertSorted(Current.back());
    WordsList->clearSelection();
    WordsList->setCurrentRow(Row);
    FChanged = true;
    UpdateButtons();
}

void TSentenceExceptionsForm::RemoveSelected() {
    TWaitScope Wait;
    int Last = -1;
    for (int Row = WordsList->count() - 1; Row >= 0; --Row) {
        if (!WordsList->item(Row)->isSelected()) continue;
        delete WordsList->takeItem(Row);
        Last = Row;
        FChanged = true;
    }
    if (Last >= 0 && WordsList->count() > 0) WordsList->setCurrentRow(std::min(Last, WordsList->count() - 1));
    UpdateButtons();
}

void TSentenceExceptionsForm::ClearWords() {
    if (!ConfirmYesNo("Remove all words from list?", true)) return;
    WordsList->clear();
    SetCurrentFile("");
    FChanged = true;
    UpdateButtons();
}

void TSentenceExceptionsForm::SetCurrentFile(const std::string& FileName) {
    FCurrentFile = FileName;
    FileLabel->setText(
        QString::fromStdString(FileName.empty() ? "" : fs::path(FileName).filename().string()));
}

void TSentenceExceptionsForm::SaveWords() {
    std::string FileName = FCurrentFile;
    if (FileName.empty())
        FileName =
            AskWordFileToSave("Save Sentence Delimiters Exceptions", Config(FLanguage).SentDelimitersPath);
    if (FileName.empty()) return;
    try {
        ReplaceFileAtomically(FileName, FormatExceptionFile(Words()));
    } catch (const std::exception&) {
        SetCurrentFile("");
        ShowError("Unable to save to file \r\n" + FileName + ".");
        return;
    }
    Config(FLanguage).SentDelimitersPath = FolderOf(FileName);
    SetCurrentFile(FileName);
}

void TSentenceExceptionsForm::LoadWords() {
    const std::string FileName =
        AskWordFileToLoad("Load New Sentence Delimiters Exceptions", Config(FLanguage).SentDelimitersPath);
    if (FileName.empty()) return;
    TWaitScope Wait;
    std::string Bytes;
    if (platform::ReadRegularFile(FileName, Bytes) != platform::TWholeFileStatus::Ok) {
        ShowError("Unable to load words from \r\n" + FileName + ".");
        return;
    }
    SetWords(ParseExceptionFile(Bytes, FLanguage));
    Config(FLanguage).SentDelimitersPath = FolderOf(FileName);
    SetCurrentFile(FileName);
    if (WordsList->count() > 0) WordsList->setCurrentRow(0);
    FChanged = true;
    UpdateButtons();
}

void TSentenceExceptionsForm::accept() {
    if (!FChanged) {
        QDialog::reject();
        return;
    }
    Config(FLanguage).SentenceExceptions = Words();
    QDialog::accept();
}

void TSentenceExceptionsForm::reject() {
    CloseAskingToApply(*this, FChanged, [this] { accept(); });
}

void ShowSentenceExceptions(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    TSentenceExceptionsForm Form(Language, QApplication::activeWindow());
    Form.exec();
}
