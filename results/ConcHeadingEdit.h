// One heading definition: its name and the markers of the heading and of the text under it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"

class QLineEdit;
class QPushButton;

class THeadingEditForm : public QDialog {
    Q_OBJECT
public:
    // Headings: the language's definitions, for the name check; EditedIndex the entry edited (-1 new).
    THeadingEditForm(bool Edit, int EditedIndex, const std::vector<TNamedItem<THeadRecord>>& Headings,
                     int Language, QWidget* Parent = nullptr);

    QLineEdit* NameEdit;
    QLineEdit* HeadStartEdit;
    QLineEdit* HeadStopEdit;
    QLineEdit* TextStartEdit;
    QLineEdit* TextStopEdit;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The five trimmed texts (name, heading start and stop, text start and stop) in the code page.
    std::array<std::string, 5> Texts() const;
    void SetTexts(const std::array<std::string, 5>& Texts);

    // Refuses a name another definition has (letters compared without regard to case).
    void accept() override;

private:
    void UpdateOk();

    int FEditedIndex;
    int FLanguage;
    const std::vector<TNamedItem<THeadRecord>>& FHeadings;
};

// Edits one definition modally: Edit (with EditedIndex) shows the given texts, else starts empty.
// On OK the five trimmed texts are returned through the references and the result is true.
bool EditHeadingDialog(bool Edit, int EditedIndex, const std::vector<TNamedItem<THeadRecord>>& Headings,
                       int Language, std::string& Name, std::string& HeadStart, std::string& HeadStop,
                       std::string& TextStart, std::string& TextStop);
