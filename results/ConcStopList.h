// The "View Stop List" editor: the words that content-word counts leave out, typed in, removed, loaded
// from and saved to text files.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/BStream.h"

class QLabel;
class QListWidget;
class TStopList;
class QPushButton;

// The words of an "&Add..." answer: the text cut at every byte of Delimiters, empty pieces left out,
// in the order typed (duplicates kept; the list refuses them).
std::vector<std::string> SplitStopWords(const std::string& Answer, const TCharSet& Delimiters);

class TStopListForm : public QDialog {
    Q_OBJECT
public:
    // Edits a copy of List (of Language) in a sorted, multi-select list; List is changed only by OK.
    TStopListForm(int Language, TStopList& List, QWidget* Parent = nullptr);

    QListWidget* WordsList;
    QLabel* FileLabel;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QPushButton* ClearBtn;
    QPushButton* SaveBtn;
    QPushButton* LoadBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The words in list order (the language's bytes).
    std::vector<std::string> Words() const;
    // The stop-list file the words belong to ("" for none).
    const std::string& FileName() const { return FFileName; }
    bool Modified() const { return FModified; }

    // "&Add...": asks for words and adds each one the list lacks (compared without regard to case).
    void AddWords();
    // "&Remove": every selected word.
    void RemoveSelected();
    // "&Clear": after confirmation, every word and the file name.
    void ClearWords();
    // "&Save...": to the list's file, or to one asked for; a failure is reported and forgets the file.
    void SaveWords();
    // "&Load...": the words of a file asked for.
    void LoadWords();

    // OK: the list takes the file name and the words and is active when it has words. Words changed
    // since they were last loaded or saved would be lost to the file at the next start, so the file name
    // is then dropped and the words live in the preferences.
    void accept() override;
    // Cancel, Escape and the close box: with changes, asks whether to apply them.
    void reject() override;

private:
    void AddWord(const std::string& Word);
    void UpdateButtons();
    void SetFile(const std::string& FileName);

    int FLanguage;
    TStopList& FList;
    std::string FFileName;
    bool FModified = false;
    bool FChangedSinceFile = false;
};

// The editor on List (of Language); true when it was closed with OK (List then changed).
bool EditStopList(int Language, TStopList& List);
// The editor on Language's own stop list; nothing for a language that does not exist.
bool ShowStopList(int Language);
