// "Add New Meta-Tag" / "Edit Meta Tag": a meta-tag's name and its member patterns as comma-separated text.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;

class TPOSTageEditForm : public QDialog {
    Q_OBJECT
public:
    // Names: the meta-tags of the list, for the name check; EditedIndex the edited one (-1 when adding).
    TPOSTageEditForm(bool Adding, const std::string& Name, const std::string& Contents,
                     const std::vector<std::string>& Names, int EditedIndex, QWidget* Parent = nullptr);

    QLineEdit* NameEdit;
    QLineEdit* ContentsEdit;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // The trimmed texts, bytes of language 0's code page.
    std::string Name() const;
    std::string Contents() const;

    void accept() override;
    void reject() override;

private:
    std::string FName, FContents;
    const std::vector<std::string>& FNames;
    int FEditedIndex;
};

// Edits one meta-tag modally; Names are the names in the list (the edited one found among them by
// name). On OK the trimmed name and contents are returned through the references and the result is true.
bool EditMetaTag(std::string& Name, std::string& Contents, bool Adding,
                 const std::vector<std::string>& Names);
