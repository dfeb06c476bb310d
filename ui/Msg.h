// The program's message boxes, as every subsystem calls them.
//
// The functions are Qt-free: they build a TMessageRequest and hand it to the registered backend.
// The program registers the real dialog; tests register a scripted backend; with none registered the
// headless backend logs the text to stderr and answers with the button that has the focus.
// Message texts are UTF-8; "\r\n" or a bare "\r" inside them is a line break.
#pragma once

#include <string>

enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };

// Button numbers; a set of buttons is a bit set, bit n = button n.
enum TMsgDlgBtn {
    mbYes = 0,
    mbNo = 1,
    mbOK = 2,
    mbCancel = 3,
    mbAbort = 4,
    mbRetry = 5,
    mbIgnore = 6,
    mbAll = 7,
    mbNoToAll = 8,
    mbYesToAll = 9,
    mbHelp = 10
};
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons MsgButton(TMsgDlgBtn b) {
    return 1u << b;
}
constexpr int MsgButtonCount = 11;

// Modal results of the buttons (the Help button's is 0).
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10
};

// Everything a backend needs to show one message box.
struct TMessageRequest {
    std::string Text;
    TMsgDlgType Type = mtInformation;
    TMsgDlgButtons Buttons = MsgButton(mbOK);
    int HelpContext = 0;
    int X = -1;  // -1: not moved (centred)
    int Y = -1;
    TMsgDlgBtn FocusButton = mbOK;
};

// The modal result of a button.
int ModalResultOf(TMsgDlgBtn Button);
// The button Enter presses at first: FocusButton when it is in the set, else the default button
// (OK, else Yes, else Retry), else the first button of the set. Returns its modal result.
int FocusedResult(const TMessageRequest& Request);
// The button Escape presses: Abort, else Cancel, else No, else OK; mbHelp when none of them is present.
TMsgDlgBtn CancelButtonOf(TMsgDlgButtons Buttons);
// The default button: OK, else Yes, else Retry; mbHelp when none of them is present.
TMsgDlgBtn DefaultButtonOf(TMsgDlgButtons Buttons);

class IMessageBackend {
public:
    virtual ~IMessageBackend() = default;
    // Shows the box modally and returns the modal result of the button that closed it.
    virtual int Show(const TMessageRequest& Request) = 0;
};

// Registers the backend (borrowed; it must outlive its registration). nullptr restores the headless one.
void SetMessageBackend(IMessageBackend* Backend);
IMessageBackend* GetMessageBackend();

int ShowError(const std::string& Msg);

// What is said when memory ran out during a search: the lines found so far stay in the window.
inline constexpr const char* SearchOutOfMemoryText =
    "There is not enough memory for more lines: the search was stopped, and the lines found so far are kept.";
// What is said when memory ran out elsewhere.
inline constexpr const char* OutOfMemoryText = "There is not enough memory to complete the operation.";
// Holds back a block of memory (a few megabytes, once) for ShowOutOfMemory: a message box needs memory
// of its own, and when memory has run out there is none left to build one.
void ReserveEmergencyMemory();
// Releases that block, shows Text (a fixed text: nothing is formatted) with ShowError, then holds a block
// back again where it can. Never raises: when even the box cannot be shown, Text goes to stderr.
void ShowOutOfMemory(const char* Text);
int ShowWarning(const std::string& Msg);
int ShowInfo(const std::string& Msg);
// Yes/No warning; true on Yes. The focus is on Yes when DefaultYes, else on No.
bool WarningYesNo(const std::string& Msg, bool DefaultYes);
bool ConfirmYesNo(const std::string& Msg, bool DefaultYes);
// Returns mrYes, mrNo or mrCancel.
int ConfirmYesNoCancel(const std::string& Msg, bool DefaultYes);
// true on OK.
bool ConfirmOkCancel(const std::string& Msg, bool DefaultOk);
int MsgDlg(const std::string& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons, int HelpContext,
           TMsgDlgBtn FocusButton);
int MsgDlgPos(const std::string& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons, int HelpContext, int X, int Y,
              TMsgDlgBtn FocusButton);
