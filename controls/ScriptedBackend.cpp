#include "controls/ScriptedBackend.h"

TScriptedBackend::TScriptedBackend()
    : FPreviousMessages(GetMessageBackend()), FPreviousProgress(GetProgressBackend()) {
    SetMessageBackend(this);
    SetProgressBackend(this);
}

TScriptedBackend::~TScriptedBackend() {
    SetMessageBackend(FPreviousMessages);
    SetProgressBackend(FPreviousProgress);
}

std::vector<std::string> TScriptedBackend::Texts() const {
    std::vector<std::string> texts;
    for (const TMessageRequest& m : Messages) texts.push_back(m.Text);
    return texts;
}

int TScriptedBackend::Show(const TMessageRequest& Request) {
    Messages.push_back(Request);
    if (Answers.empty()) return FocusedResult(Request);
    int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::unique_ptr<IProgressView> TScriptedBackend::CreateView(TProgressForm&) {
    ++ViewsCreated;
    return nullptr;
}

std::unique_ptr<IProgressView> TScriptedBackend::CreateDoubleView(TDoubleProgressForm&) {
    ++ViewsCreated;
    return nullptr;
}

void TScriptedBackend::ProcessMessages() {
    ++ProcessMessagesCalls;
    if (OnProcessMessages) OnProcessMessages();
}
