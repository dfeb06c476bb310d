// The alignment error dialog: two file names, a message and two buttons whose captions the caller
// chooses, one of which must be pressed. The corpus aligner reports count mismatches through it.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

// Where the two buttons go once their captions are measured: when the wider caption plus 8 pixels does
// not fit Width, both become that wide, Button2 ending at the message's right edge and Button1 4 pixels
// to its left; otherwise they stay as they are.
struct TAlignErrorButtons {
    int Width = 0;
    int Button1Left = 0;
    int Button2Left = 0;
};
TAlignErrorButtons LayoutAlignErrorButtons(int Caption1Width, int Caption2Width, int Width, int Button1Left,
                                           int Button2Left, int MessageRight);

class TAlignErrorForm : public QDialog {
    Q_OBJECT
public:
    // "Error", centred on the screen, without a close box. Texts are UTF-8.
    TAlignErrorForm(const std::string& FileName1, const std::string& FileName2, const std::string& Message,
                    const std::string& Caption2, const std::string& Caption1, QWidget* Parent = nullptr);

    // Escape and the title bar do nothing: one of the two buttons must answer.
    void reject() override;

    QLabel* FileLabel1;
    QLabel* FileLabel2;
    QLabel* MessageLabel;
    QPushButton* Button1;
    QPushButton* Button2;
};

// Shows the dialog modally; returns 1 when Button1 (Caption1) was pressed, 2 for Button2 (Caption2),
// 0 when it closed some other way. Note the order: the second button's caption comes first.
int ExecuteAlignErrorForm(const std::string& FileName1, const std::string& FileName2,
                          const std::string& Message, const std::string& Caption2,
                          const std::string& Caption1);

// Makes ExecuteAlignErrorForm the ShowAlignError of the aligners (the program does this at start-up).
void RegisterAlignErrorDialog();

// Moves Form to the centre of its screen (or of the primary screen).
void CenterOnScreen(QWidget* Form);
