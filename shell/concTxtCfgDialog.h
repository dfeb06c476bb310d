// "Text format": how one language's corpus files mark headings, paragraphs and sentences. It writes
// straight into the language's configuration; the corpus loading dialog keeps the snapshot that
// undoes it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;

class TTxtFmtConfigDialog : public QDialog {
    Q_OBJECT
public:
    // The lists and pages show Language's formats; with Aligned (the corpus is aligned by markup) the
    // heading and paragraph groups are hidden and keep their settings. Language must exist.
    TTxtFmtConfigDialog(int Language, bool Aligned, QWidget* Parent = nullptr);

    QGroupBox* HeadingsGroup;
    QGroupBox* ParagraphsGroup;
    QGroupBox* SentencesGroup;
    QComboBox* HeadingFormatBox;
    QComboBox* ParagraphFormatBox;
    QComboBox* SentenceFormatBox;
    QStackedWidget* HeadingPages;
    QStackedWidget* ParagraphPages;
    QStackedWidget* SentencePages;
    QLineEdit* HStartEdit;
    QLineEdit* HStopEdit;
    QLineEdit* HPatternEdit;
    QLineEdit* HRegExpEdit;
    QLineEdit* PStartEdit;
    QLineEdit* PStopEdit;
    QLineEdit* SStartEdit;
    QLineEdit* SStopEdit;
    QPushButton* OptionsBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // After OK: whether a format or a stored text changed.
    bool Changed() const { return FChanged; }

    // Stores the shown formats and their texts; a text the language's code page cannot hold is
    // refused and the dialog stays open.
    void accept() override;
    // Cancel and Escape put back the sentence delimiters and the abbreviation option as they were at
    // opening; the close box stores nothing and puts nothing back.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void ShowStored();
    bool ReadEdit(QLineEdit* Edit, std::string& Bytes);

    int FLanguage;
    bool FAligned;
    bool FChanged = false;
    bool FClosingByBox = false;
    std::string FSentDelimiters;
    bool FSmartAbbrDetect;
    bool FTrailingQuotes;
    std::vector<std::string> FSentenceExceptions;
};

// Shows the dialog for Language modally with its top left corner at (Left, Top) on the screen.
// Returns true when it was closed with OK and a setting changed; false for a language that does not
// exist.
bool EditTextFormat(int Language, bool Aligned, int Left, int Top);
