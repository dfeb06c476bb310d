// The sentence settings of one language: its sentence-end characters and the two sentence options.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TSentenceOptionsForm : public QDialog {
    Q_OBJECT
public:
    // The controls show Language's settings; OK stores them (the delimiters without blanks).
    explicit TSentenceOptionsForm(int Language, QWidget* Parent = nullptr);

    QLineEdit* DelimitersEdit;
    QCheckBox* SmartAbbrCheck;
    QCheckBox* TrailingQuotesCheck;
    QPushButton* ExceptionsBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    void accept() override;

private:
    int FLanguage;
};

// Shows the sentence settings of Language modally; nothing for a language that does not exist.
void ShowSentenceOptions(int Language);
