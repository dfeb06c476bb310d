// The "Settings" dialog of the delimiter-tag alignment format, and what both segment-tag settings
// dialogs share: how their texts are trimmed, which keys they refuse and when "&Ok" may be pressed.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>

class QLineEdit;
class QPushButton;

// ---- Rules, Qt-free -----------------------------------------------------------------------------------

// Text without its leading and trailing blanks and control characters, as the settings store it.
std::string TrimSettingText(std::string_view Text);
// "&Ok" is enabled only while the first edit holds more than blanks and control characters.
bool SegSettingsAcceptable(const std::string& FirstEdit);
// A tag cannot contain a tab or a blank: typing either is refused with a beep.
bool SegSettingsRefusesChar(char32_t Key);
// Stores the delimiter tag, trimmed, into the "Delimiter" option of CommonConfig.
void StoreDelimiterSetting(const std::string& Delimiter);

// ---- Shared by the two dialogs ------------------------------------------------------------------------

// The options' tag texts are bytes of the user's code page; these convert them at the edit's edge.
QString OptionTextToQString(const std::string& Text);
std::string QStringToOptionText(const QString& Text);
// A labelled tag edit of a settings dialog at Top, filled with Value (bytes of the user's code page),
// refusing tabs and blanks with a beep. Owned by Form.
QLineEdit* AddTagEdit(QDialog* Form, const char* Caption, const char* Name, int Top,
                      const std::string& Value);
// "&Ok" (default, accepts) and "Cancel" (rejects) at Top, owned by Form; "&Ok" is enabled only while
// FirstEdit passes SegSettingsAcceptable.
void AddSegSettingsButtons(QDialog* Form, int Top, QLineEdit* FirstEdit, QPushButton*& Ok,
                           QPushButton*& Cancel);

// ---- The dialog ---------------------------------------------------------------------------------------

class TDelSegsSettingsForm : public QDialog {
    Q_OBJECT
public:
    // "Settings", the edit filled from the "Delimiter" option.
    explicit TDelSegsSettingsForm(QWidget* Parent = nullptr);

    QLineEdit* DelimiterEdit;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};

// Runs the dialog; on "&Ok" stores the trimmed delimiter and returns true, else false with nothing stored.
bool EditDelSegsSettings();
