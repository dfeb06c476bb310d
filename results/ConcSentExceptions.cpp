#include "results/ConcSentExceptions.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "controls/FileDialogs.h"
#include "controls/InpQuery.h"
#include "controls/LangText.h"
#include "controls/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "platform/IniFiles.h"
#include "platform/WholeFile.h"
#include "results/ConcOptionRules.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* FileFilter = "Text Files (*.TXT *.txt);;All Files (*)";

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
    auto* Label = new QLabel("&Words in file:", this);
    WordsList = new QListWidget(this);
    WordsList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    WordsList->setFont(LanguageFont(Language, SystemFont));
    Label->setBuddy(WordsList);
    FileLabel = new QLabel(this);
    AddBtn = new QPushButton("&Add...", this);
    RemoveBtn = new QPushButton("&Remove", this);
    SaveBtn = new QPushButton("&Save...", this);
    LoadBtn = new QPushButton("&Load...", this);
    ClearBtn = new QPushButton("&Clear", this);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QGridLayout(this);
    Layout->addWidget(Label, 0, 0);
    Layout->addWidget(WordsList, 1, 0);
    Layout->addWidget(FileLabel, 2, 0);
    auto* Buttons = new QVBoxLayout;
    for (QPushButton* B : {AddBtn, RemoveBtn, SaveBtn, LoadBtn, ClearBtn}) Buttons->addWidget(B);
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    Layout->addLayout(Buttons, 0, 1, 3, 1);

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
    if (FileName.empty()) {
        TFileDialogRequest Request;
        Request.Save = true;
        Request.Title = "Save Sentence Delimiters Exceptions";
        Request.Folder = Config(FLanguage).SentDelimitersPath;
        Request.Filter = FileFilter;
        Request.DefaultSuffix = "TXT";
        const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
        if (Chosen.empty()) return;
        FileName = WithDefaultExtension(Chosen.front(), "TXT");
    }
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
    TFileDialogRequest Request;
    Request.Title = "Load New Sentence Delimiters Exceptions";
    Request.Folder = Config(FLanguage).SentDelimitersPath;
    Request.Filter = FileFilter;
    // No default suffix for the dialog: it would add ".TXT" to a chosen list that has no extension.
    const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
    if (Chosen.empty()) return;
    const std::string FileName = LoadedFileName(Chosen.front(), "TXT");
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
    if (FChanged) {
        const int Answer = ConfirmApplyChanges();
        if (Answer == mrCancel) return;
        if (Answer == mrYes) {
            accept();
            return;
        }
    }
    QDialog::reject();
}

void ShowSentenceExceptions(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    TSentenceExceptionsForm Form(Language, QApplication::activeWindow());
    Form.exec();
}
