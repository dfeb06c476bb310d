#include "ui/ConcProgress.h"

#include "ui/ConcDblProgress.h"

namespace {
IProgressBackend* Backend = nullptr;
}

TProgressForm* ProgressForm = nullptr;

void SetProgressBackend(IProgressBackend* NewBackend) {
    Backend = NewBackend;
}

IProgressBackend* GetProgressBackend() {
    return Backend;
}

void ProcessMessages() {
    if (Backend) Backend->ProcessMessages();
}

TProgressForm::TProgressForm() {
    if (Backend) FView = Backend->CreateView(*this);
}

TProgressForm::~TProgressForm() {
    FView.reset();
    if (ProgressForm == this) ProgressForm = nullptr;
}

void TProgressForm::Setup(int Mode, const std::string& Caption, const std::string& Text, int Max, int Min,
                          const std::string& Special) {
    FMode = Mode;
    FCaption = Caption;
    FText = Text;
    FSpecial = Special;
    FMin = Min;
    FMax = Max;
    FProgress = Min;
    Changed();
}

void TProgressForm::SetCaption(const std::string& Caption) {
    FCaption = Caption;
    Changed();
}

void TProgressForm::SetText(const std::string& Text) {
    FText = Text;
    Changed();
}

void TProgressForm::SetRange(int Min, int Max) {
    FMin = Min;
    FMax = Max;
    Changed();
}

void TProgressForm::SetProgress(int Progress) {
    if (Progress == FProgress) return;
    FProgress = Progress;
    Changed();
}

void TProgressForm::Show() {
    FVisible = true;
    if (FView) FView->ShowWindow();
}

void TProgressForm::Hide() {
    FVisible = false;
    if (FView) FView->HideWindow();
}

void TProgressForm::Changed() {
    if (FView) FView->Changed();
}

std::unique_ptr<TProgressForm> ShowProgressForm(int Mode, const std::string& Caption, const std::string& Text,
                                                int Max, int Min, const std::string& Special) {
    auto form = std::make_unique<TProgressForm>();
    form->Setup(Mode, Caption, Text, Max, Min, Special);
    ProgressForm = form.get();
    return form;
}

static bool ApplicationMinimized() {
    return Backend && Backend->IsApplicationMinimized();
}

void ShowUnlessMinimized(TProgressForm* Form) {
    if (Form && !ApplicationMinimized()) Form->Show();
}

void ShowUnlessMinimized(TDoubleProgressForm* Form) {
    if (Form && !ApplicationMinimized()) Form->Show();
}
