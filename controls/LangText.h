// Text of a corpus language at a widget's edge: the engine keeps bytes of the language's code page,
// widgets show UTF-16.
#pragma once

#include <QFont>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

// The code page of Language's locale (the system's when the language does not exist).
int LanguageCodePage(int Language);
// Bytes of Language's code page as text.
QString LangToQString(std::string_view Bytes, int Language);
// What an edit shows when its text holds characters the language's code page cannot hold.
inline constexpr const char* UnmappableTextMessage =
    "The text holds characters that this language's code page cannot hold.";

// Text as bytes of Language's code page. False, with Bytes untouched, when the code page cannot hold
// every character (they would become "?" and the user's word would silently change).
bool QStringToLang(const QString& Text, int Language, std::string& Bytes);
// Font FontIndex (0..8) of Language as a QFont; the application font when the language does not exist.
QFont LanguageFont(int Language, int FontIndex);

class QComboBox;
// Fills Combo's drop-down list with Items (bytes of Language's code page); the edit text is kept.
void SetComboItems(QComboBox* Combo, const std::vector<std::string>& Items, int Language);
// Combo's drop-down list as bytes of Language's code page (a character the code page lacks becomes "?").
std::vector<std::string> ComboItems(const QComboBox* Combo, int Language);
// Text as bytes of Language's code page, a character the code page lacks becoming "?".
std::string QStringToLangLossy(const QString& Text, int Language);

class QListWidget;
// Inserts Word (bytes of Language's code page) into List where the list's order puts it: the user's
// collation without regard to case. The item keeps the bytes, so that the words come back unchanged
// whatever the code page shows of them. Returns its row.
int InsertSortedWord(QListWidget* List, const std::string& Word, int Language);
// The bytes of every word InsertSortedWord put into List, in list order.
std::vector<std::string> ListWords(const QListWidget* List);

class QDialog;
class QLabel;
class QPushButton;
// The controls of a dialog that edits a word list of Language kept in text files, laid out in Dialog:
// Caption (a label, the list's buddy) above the list (several rows selectable, in Language's system
// font), the file label below it, and at the right a column of the command buttons in the order given,
// then OK (the default button) and Cancel at the bottom. Everything belongs to Dialog.
struct TWordFileControls {
    QListWidget* List;
    QLabel* FileLabel;
    std::vector<QPushButton*> Commands;  // in the order of their captions
    QPushButton* Ok;
    QPushButton* Cancel;
};
TWordFileControls BuildWordFileDialog(QDialog* Dialog, const char* Caption, int Language,
                                      const std::vector<const char*>& CommandCaptions);
