#include "ui/ConcDblProgress.h"

namespace {
int LiveForms = 0;
}

TDoubleProgressForm::TDoubleProgressForm() {
    ++LiveForms;
    if (IProgressBackend* backend = GetProgressBackend()) FView = backend->CreateDoubleView(*this);
}

TDoubleProgressForm::~TDoubleProgressForm() {
    FView.reset();
    --LiveForms;
}

int TDoubleProgressForm::LiveCount() {
    return LiveForms;
}

int TDoubleProgressForm::PanelHeight(TDblProgressPanel Panel) {
    static const int kHeights[dpPanelCount] = {151, 19, 54, 20, 20};
    return kHeights[Panel];
}

void TDoubleProgressForm::SetCaption(const std::string& Caption) {
    if (Caption == FCaption) return;
    FCaption = Caption;
    Changed();
}

void TDoubleProgressForm::SetLabel(TDblProgressLabel Label, const std::string& Text) {
    if (Text == FLabels[Label]) return;
    FLabels[Label] = Text;
    Changed();
}

void TDoubleProgressForm::SetSubRange(int Min, int Max) {
    FSubMin = Min;
    FSubMax = Max;
    Changed();
}

void TDoubleProgressForm::SetSubProgress(int Progress) {
    if (Progress == FSubProgress) return;
    FSubProgress = Progress;
    Changed();
}

void TDoubleProgressForm::SetRange(int Min, int Max) {
    FMin = Min;
    FMax = Max;
    Changed();
}

void TDoubleProgressForm::SetProgress(int Progress) {
    if (Progress == FProgress) return;
    FProgress = Progress;
    Changed();
}

void TDoubleProgressForm::SetSubGaugeVisible(bool Visible) {
    FSubGaugeVisible = Visible;
    Changed();
}

void TDoubleProgressForm::SetPanelVisible(TDblProgressPanel Panel, bool Visible) {
    FPanelVisible[Panel] = Visible;
    Changed();
}

void TDoubleProgressForm::SetDetailsButtonVisible(bool Visible) {
    FDetailsButtonVisible = Visible;
    Changed();
}

void TDoubleProgressForm::ToggleDetails() {
    FDetailsShown = !FDetailsShown;
    Changed();
}

int TDoubleProgressForm::ClientHeight() const {
    int height = PanelHeight(dpMain);
    if (!FDetailsShown) return height;
    height += PanelHeight(dpOptions);
    for (TDblProgressPanel p : {dpPadding, dpHeading, dpContext})
        if (FPanelVisible[p]) height += PanelHeight(p);
    return height;
}

void TDoubleProgressForm::Show() {
    FVisible = true;
    if (FView) FView->ShowWindow();
}

void TDoubleProgressForm::Hide() {
    FVisible = false;
    if (FView) FView->HideWindow();
}

void TDoubleProgressForm::Changed() {
    if (FView) FView->Changed();
}
