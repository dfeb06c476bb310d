// The words after which a sentence-end character does not end a sentence (abbreviations), with
// loading and saving of word files.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

class TSentenceExceptionsForm : public QDialog {
    Q_OBJECT
public:
    // A copy of Language's exception words, sorted without regard to case.
    explicit TSentenceExceptionsForm(int Language, QWidget* Parent = nullptr);

    QListWidget* WordsList;
    QLabel* FileLabel;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QPushButton* SaveBtn;
    QPushButton* LoadBtn;
    QPushButton* ClearBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The words as the list holds them, in list order.
    std::vector<std::string> Words() const;
    bool Changed() const { return FChanged; }

    void AddWord();
    void RemoveSelected();
    void ClearWords();
    void SaveWords();
    void LoadWords();

    // OK: stores the words when something changed (else closes as cancelled).
    void accept() override;
    // Cancel, Escape and the close box: with changes, asks whether to apply them.
    void reject() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SetWords(const std::vector<std::string>& Words);
    int InsertSorted(const std::string& Word);
    void UpdateButtons();
    void SetCurrentFile(const std::string& FileName);

    int FLanguage;
    bool FChanged = false;
    std::string FCurrentFile;
};

// Shows Language's sentence exceptions modally; nothing for a language that does not exist.
void ShowSentenceExceptions(int Language);
