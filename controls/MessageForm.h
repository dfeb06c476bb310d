// The program's one message dialog: every error, warning, information and question goes through it.
//
// The dialog is laid out in dialog units of its font (as the standard message boxes of the platform the
// program came from), wraps its text at half the screen width and answers with the modal result of the
// button that closed it. Escape and the title bar's close press the dialog's cancel button; a button's
// mnemonic letter presses it with or without Alt, and Ctrl+C copies the message text.
#pragma once

#include <QDialog>
#include <QSize>
#include <QString>
#include <memory>

#include "ui/Msg.h"

class QKeyEvent;
class QLabel;
class QPushButton;

// Sizes and places of a message dialog, in pixels, from the font's average character size.
struct TMessageLayout {
    int HorzMargin = 0, VertMargin = 0;
    int HorzSpacing = 0, VertSpacing = 0;
    int ButtonWidth = 0, ButtonHeight = 0, ButtonSpacing = 0;
    QSize TextSize;      // the message label
    QSize IconTextSize;  // icon and text together
    int ButtonGroupWidth = 0;
    QSize ClientSize;
    int ButtonsTop = 0;
    int ButtonsLeft = 0;  // left edge of the first button
    int TextLeft = 0;     // right of the icon when there is one
};

// The layout of a dialog whose font has the average character size AvgChar (width of "A".."Z","a".."z"
// divided by 52, and their height), whose text measures Text, with or without the 32 x 32 icon and with
// ButtonCount buttons. MinButton is the least size a button needs to show its caption in the current
// style; the button size is the larger of it and the dialog-unit size.
TMessageLayout ComputeMessageLayout(QSize AvgChar, QSize Text, bool HasIcon, int ButtonCount,
                                    QSize MinButton);

// Caption of a dialog type ("Warning", "Error", "Information", "Confirm"; for mtCustom the application's
// title, QCoreApplication::applicationName), and the component name and caption of a button ("Yes" /
// "&Yes" ...).
QString MessageTypeCaption(TMsgDlgType Type);
const char* MessageButtonName(TMsgDlgBtn Button);
const char* MessageButtonCaption(TMsgDlgBtn Button);

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* Parent = nullptr);

    // The button of that number, or nullptr when the dialog has none. Owned by the dialog.
    QPushButton* Button(TMsgDlgBtn Which) const { return FButtons[Which]; }
    QLabel* MessageLabel() const { return FMessage; }
    // The icon label; nullptr for a custom message.
    QLabel* Image() const { return FImage; }
    // The button Escape and closing press; mbHelp when none of Abort, Cancel, No, OK is present.
    TMsgDlgBtn CancelButton() const { return FCancel; }
    // The button that is the dialog's default (OK, else Yes, else Retry) even while another button has
    // the focus and Enter presses that one; mbHelp when none.
    TMsgDlgBtn DefaultButton() const { return FDefault; }
    const TMessageLayout& Layout() const { return FLayout; }

    // Escape and the title bar's close answer with the cancel button's result. With no cancel button
    // the user must pick a button, unless no button could close the dialog, which then answers mrNone.
    void reject() override;

protected:
    // A plain letter that is the mnemonic of one button presses it; of several, moves the focus to the
    // next of them. Ctrl+C puts the message text on the clipboard.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    friend std::unique_ptr<TMessageForm> BuildMessageForm(const TMessageRequest& Request, QWidget* Parent);
    void AddButton(TMsgDlgBtn Which);
    // Requested when the dialog has it, else the default button, else the first button.
    QPushButton* FocusTarget(TMsgDlgBtn Requested, TMsgDlgBtn Default) const;

    QPushButton* FButtons[MsgButtonCount] = {};
    QLabel* FMessage = nullptr;
    QLabel* FImage = nullptr;
    TMsgDlgBtn FCancel = mbHelp;
    TMsgDlgBtn FDefault = mbHelp;
    bool FClosable = false;  // some button closes the dialog
    TMessageLayout FLayout;
};

// The dialog of Request, laid out, captioned, centred on the screen (or moved to Request's X and Y when
// they are >= 0) and with the focus on Request's FocusButton (the default button when FocusButton is not
// in the set). Parent (borrowed, may be nullptr) is the window it stays above. Not shown yet; the caller
// owns it.
std::unique_ptr<TMessageForm> BuildMessageForm(const TMessageRequest& Request, QWidget* Parent = nullptr);

// Shows Request's dialog modally above Parent (nullptr: the program's active window) with the arrow
// cursor (any override cursor, such as the wait cursor, is back afterwards) and returns the modal result
// of the button that closed it. Parent may be destroyed while the dialog shows.
int ExecuteMessageForm(const TMessageRequest& Request, QWidget* Parent = nullptr);
