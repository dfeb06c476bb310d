// A one-line input prompt whose edit box takes a language's font, so that words of any corpus
// language can be typed.
#pragma once

#include <QDialog>
#include <string>

#include "engine/ConcConfig.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TInputQueryForm : public QDialog {
    Q_OBJECT
public:
    // Client 327 x 86, taller by what the edit box needs beyond its place for Font; the edit box in
    // Font, empty.
    TInputQueryForm(const QString& Caption, const QString& Prompt, const TFontSpec& Font,
                    QWidget* Parent = nullptr);

    QLabel* PromptLabel;
    QLineEdit* EditBox;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

// Shows the prompt modally. On OK Value := the typed text in Language's code page and the result is
// true; otherwise Value is unchanged. The edit box starts empty whatever Value holds. Text the code
// page cannot hold is refused with a message and the prompt stays open.
bool InputQueryDialog(const std::string& Caption, const std::string& Prompt, const TFontSpec& Font,
                      std::string& Value, int Language);
