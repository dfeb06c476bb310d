// The window of the double progress form of searches: the current file's gauge, the whole job's gauge,
// "Cancel", and "Details >>" which unfolds the description of the query. It mirrors its
// TDoubleProgressForm; the buttons act on the form (Tag, details), which owns this window.
#pragma once

#include <QDialog>
#include <initializer_list>
#include <string>
#include <utility>

#include "ui/ConcDblProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

class TDblProgressWindow : public QDialog, public IProgressView {
    Q_OBJECT
public:
    // Form is borrowed: the form owns this window through its view slot. Owner: see
    // PrepareProgressWindow.
    explicit TDblProgressWindow(TDoubleProgressForm& Form, QWidget* Owner = nullptr);

    // The label showing a TDblProgressLabel; owned by the window.
    QLabel* Label(TDblProgressLabel Which) const { return FLabels[Which]; }
    QWidget* Panel(TDblProgressPanel Which) const { return FPanels[Which]; }
    QProgressBar* SubProgressBar = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* DetailsBtn = nullptr;

    // The form this window shows.
    TDoubleProgressForm& Form() const { return FForm; }

    // Touches only the widgets whose state in the form differs from what they show: a search calls it
    // for every caption, label and gauge it sets.
    void Changed() override;
    void ShowWindow() override;
    void HideWindow() override;

    // Escape presses "Cancel" and the window stays: the search frees it.
    void reject() override;

protected:
    // Closing presses "Cancel"; the window stays until the search frees it.
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildMainPanel();
    // A detail panel of its fixed height holding caption/value pairs, Columns pairs to a row.
    void BuildDetailPanel(TDblProgressPanel Which, int Columns,
                          std::initializer_list<std::pair<const char*, TDblProgressLabel>> Pairs);
    void PlacePanels();
    // The height of a panel: its height in the form, or more when the font needs more.
    int PanelHeight(TDblProgressPanel Which) const;

    // What the widgets show, to compare the form with.
    struct TShown {
        bool Valid = false;
        std::string Caption;
        std::string Labels[dlLabelCount];
        int SubMin = 0, SubMax = 0, SubProgress = 0, Min = 0, Max = 0, Progress = 0;
        bool SubGaugeVisible = false, DetailsButtonVisible = false, DetailsShown = false;
        bool PanelVisible[dpPanelCount] = {};
    };

    TDoubleProgressForm& FForm;
    TShown FShown;
    QLabel* FLabels[dlLabelCount] = {};
    QWidget* FPanels[dpPanelCount] = {};
    int FMainHeight = 0;
};
