#include "ui/Msg.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace {

// Answers what a user who only pressed Enter would answer, so a program without a display never blocks.
class THeadlessMessages : public IMessageBackend {
public:
    int Show(const TMessageRequest& Request) override {
        static const char* const kTypeNames[] = {"Warning", "Error", "Information", "Confirm", "Message"};
        // The dialog shows a type it does not know as the untitled custom one; so does the log.
        const int Type = Request.Type >= mtWarning && Request.Type <= mtCustom ? Request.Type : mtCustom;
        std::fprintf(stderr, "[%s] %s\n", kTypeNames[Type], Request.Text.c_str());
        return FocusedResult(Request);
    }
};

THeadlessMessages HeadlessMessages;
IMessageBackend* Backend = nullptr;

bool Has(TMsgDlgButtons Buttons, TMsgDlgBtn b) {
    return (Buttons & MsgButton(b)) != 0;
}

}  // namespace

int ModalResultOf(TMsgDlgBtn Button) {
    static const int kResults[MsgButtonCount] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                                 mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};
    return (Button >= 0 && Button < MsgButtonCount) ? kResults[Button] : mrNone;
}

TMsgDlgBtn DefaultButtonOf(TMsgDlgButtons Buttons) {
    for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry})
        if (Has(Buttons, b)) return b;
    return mbHelp;
}

TMsgDlgBtn CancelButtonOf(TMsgDlgButtons Buttons) {
    for (TMsgDlgBtn b : {mbAbort, mbCancel, mbNo, mbOK})
        if (Has(Buttons, b)) return b;
    return mbHelp;
}

int FocusedResult(const TMessageRequest& Request) {
    if (Has(Request.Buttons, Request.FocusButton)) return ModalResultOf(Request.FocusButton);
    TMsgDlgBtn def = DefaultButtonOf(Request.Buttons);
    if (def != mbHelp) return ModalResultOf(def);
    for (int b = 0; b < MsgButtonCount; ++b)
        if (Has(Request.Buttons, TMsgDlgBtn(b))) return ModalResultOf(TMsgDlgBtn(b));
    return mrNone;
}

void SetMessageBackend(IMessageBackend* NewBackend) {
    Backend = NewBackend;
}

IMessageBackend* GetMessageBackend() {
    return Backend ? Backend : &HeadlessMessages;
}

int MsgDlgPos(const std::string& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons, int HelpContext, int X, int Y,
              TMsgDlgBtn FocusButton) {
    TMessageRequest request{Msg, Type, Buttons, HelpContext, X, Y, FocusButton};
    return GetMessageBackend()->Show(request);
}

int MsgDlg(const std::string& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons, int HelpContext,
           TMsgDlgBtn FocusButton) {
    return MsgDlgPos(Msg, Type, Buttons, HelpContext, -1, -1, FocusButton);
}

int ShowError(const std::string& Msg) {
    return MsgDlg(Msg, mtError, MsgButton(mbOK), 0, mbOK);
}

namespace {
constexpr size_t EmergencyReserveSize = 4u << 20;
std::mutex ReserveLock;
std::unique_ptr<char[]> EmergencyReserve;
}  // namespace

void ReserveEmergencyMemory() {
    std::lock_guard<std::mutex> Guard(ReserveLock);
    if (EmergencyReserve) return;
    EmergencyReserve.reset(new (std::nothrow) char[EmergencyReserveSize]);
    // Touch every page, so that the block is really the process's and not just promised.
    if (EmergencyReserve) std::memset(EmergencyReserve.get(), 0, EmergencyReserveSize);
}

void ShowOutOfMemory(const char* Text) {
    {
        std::lock_guard<std::mutex> Guard(ReserveLock);
        EmergencyReserve.reset();
    }
    try {
        ShowError(Text);
    } catch (...) {
        std::fputs(Text, stderr);
        std::fputc('\n', stderr);
    }
    try {
        ReserveEmergencyMemory();
    } catch (...) {
    }
}

int ShowWarning(const std::string& Msg) {
    return MsgDlg(Msg, mtWarning, MsgButton(mbOK), 0, mbOK);
}

int ShowInfo(const std::string& Msg) {
    return MsgDlg(Msg, mtInformation, MsgButton(mbOK), 0, mbOK);
}

bool WarningYesNo(const std::string& Msg, bool DefaultYes) {
    return MsgDlg(Msg, mtWarning, MsgButton(mbYes) | MsgButton(mbNo), 0, DefaultYes ? mbYes : mbNo) == mrYes;
}

bool ConfirmYesNo(const std::string& Msg, bool DefaultYes) {
    return MsgDlg(Msg, mtConfirmation, MsgButton(mbYes) | MsgButton(mbNo), 0, DefaultYes ? mbYes : mbNo) ==
           mrYes;
}

int ConfirmYesNoCancel(const std::string& Msg, bool DefaultYes) {
    return MsgDlg(Msg, mtConfirmation, MsgButton(mbYes) | MsgButton(mbNo) | MsgButton(mbCancel), 0,
                  DefaultYes ? mbYes : mbNo);
}

bool ConfirmOkCancel(const std::string& Msg, bool DefaultOk) {
    return MsgDlg(Msg, mtConfirmation, MsgButton(mbOK) | MsgButton(mbCancel), 0,
                  DefaultOk ? mbOK : mbCancel) == mrOk;
}
