// The double progress window of searches (current file and whole job, plus a collapsible
// description of the query), Qt-free. The view is made by the progress backend of ConcProgress.h.
#pragma once

#include <memory>
#include <string>

#include "ui/ConcProgress.h"

// The text labels of the window. The value labels of the detail panels are filled from the query.
enum TDblProgressLabel {
    dlSubProgress = 0,  // SubProgressLabel: the current file
    dlProgress,         // ProgressLabel: the whole job
    dlSpecial,          // SpecialText
    dlAction,           // ActionLabel
    dlLeftContext,      // ContextPanel
    dlRightContext,
    dlHeadingStart,  // HeadingPanel
    dlHeadingStop,
    dlHeadingMatch,
    dlTextStart,
    dlTextStop,
    dlSkipChars,  // PaddingPanel
    dlEqualChars,
    dlSyntax,  // OptionsPanel
    dlIgnoreCase,
    dlSentMode,
    dlFreqOfHits,
    dlLabelCount
};

enum TDblProgressPanel { dpMain = 0, dpContext, dpHeading, dpPadding, dpOptions, dpPanelCount };

class TDoubleProgressForm {
public:
    // Both gauges at 0, Tag 0, details hidden, client height that of the main panel.
    TDoubleProgressForm();
    ~TDoubleProgressForm();
    TDoubleProgressForm(const TDoubleProgressForm&) = delete;
    TDoubleProgressForm& operator=(const TDoubleProgressForm&) = delete;

    // How many forms exist: a search that shows one is running.
    static int LiveCount();

    static constexpr int ClientWidth = 392;
    // Heights of the panels, in the order of TDblProgressPanel.
    static int PanelHeight(TDblProgressPanel Panel);

    // 0 = running, 1 = cancel (written by CancelBtn).
    int Tag = 0;

    void SetCaption(const std::string& Caption);
    const std::string& Caption() const { return FCaption; }
    void SetLabel(TDblProgressLabel Label, const std::string& Text);
    const std::string& Label(TDblProgressLabel Label) const { return FLabels[Label]; }

    // The current-file gauge and the whole-job gauge.
    void SetSubRange(int Min, int Max);
    void SetSubProgress(int Progress);
    void SetRange(int Min, int Max);
    void SetProgress(int Progress);
    int SubMin() const { return FSubMin; }
    int SubMax() const { return FSubMax; }
    int SubProgress() const { return FSubProgress; }
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Progress() const { return FProgress; }
    // The current-file gauge is hidden while a search runs over the lines of a result.
    void SetSubGaugeVisible(bool Visible);
    bool SubGaugeVisible() const { return FSubGaugeVisible; }

    // Which of the context, heading and padding panels the query uses (main and options always are).
    void SetPanelVisible(TDblProgressPanel Panel, bool Visible);
    bool PanelVisible(TDblProgressPanel Panel) const { return FPanelVisible[Panel]; }
    void SetDetailsButtonVisible(bool Visible);
    bool DetailsButtonVisible() const { return FDetailsButtonVisible; }

    // The Details button: toggles between the main panel alone and main + options + the visible
    // padding, heading and context panels.
    void ToggleDetails();
    bool DetailsShown() const { return FDetailsShown; }
    const char* DetailsCaption() const { return FDetailsShown ? "No details <<" : "Details >>"; }
    int ClientHeight() const;

    void CancelClicked() { Tag = 1; }

    void Show();
    void Hide();
    bool Visible() const { return FVisible; }
    IProgressView* View() const { return FView.get(); }

private:
    void Changed();

    std::string FCaption;
    std::string FLabels[dlLabelCount];
    int FSubMin = 0, FSubMax = 100, FSubProgress = 0;
    int FMin = 0, FMax = 100, FProgress = 0;
    bool FPanelVisible[dpPanelCount] = {true, false, false, false, true};
    bool FDetailsButtonVisible = false;
    bool FSubGaugeVisible = true;
    bool FDetailsShown = false;
    bool FVisible = false;
    std::unique_ptr<IProgressView> FView;
};
