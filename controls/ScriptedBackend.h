// A message and progress backend for tests: it records every message box and answers as told,
// and lets a test act at each "process pending messages" (for instance press a cancel button).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "ui/ConcProgress.h"
#include "ui/Msg.h"

class TScriptedBackend : public IMessageBackend, public IProgressBackend {
public:
    // Registers itself as the message and progress backend; the destructor restores the previous ones.
    TScriptedBackend();
    ~TScriptedBackend() override;
    TScriptedBackend(const TScriptedBackend&) = delete;
    TScriptedBackend& operator=(const TScriptedBackend&) = delete;

    // Every message box shown so far, in order.
    std::vector<TMessageRequest> Messages;
    // Answers for the next boxes, first first; when empty a box is answered with its focused button.
    std::deque<int> Answers;
    // Called at every ProcessMessages; may change the live forms' Tag.
    std::function<void()> OnProcessMessages;
    bool Minimized = false;
    int ProcessMessagesCalls = 0;
    // Progress windows asked for so far, single and double.
    int ViewsCreated = 0;

    // Texts of the recorded messages, for compact assertions.
    std::vector<std::string> Texts() const;

    int Show(const TMessageRequest& Request) override;
    std::unique_ptr<IProgressView> CreateView(TProgressForm& Form) override;
    std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) override;
    bool IsApplicationMinimized() override { return Minimized; }
    void ProcessMessages() override;

private:
    IMessageBackend* FPreviousMessages;
    IProgressBackend* FPreviousProgress;
};
