// The "Sections" window: the sections of one file pair side by side, one row per section with the first
// lines of its text in both languages, so that the user sees where the two files' sections part and can
// open a section in the Alignment View. There is at most one.
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>
#include <string>

#include "controls/ConcFormUtils.h"

class QLabel;
class QListWidget;
class QMdiArea;

// Why the Sections window calls back: its selection changed, a row was double-clicked, it is going.
enum TSectionsReason { srSelected = 0, srDoubleClicked = 1, srDestroyed = 2 };
using TSectionsCallback = std::function<void(int Reason)>;

// The MDI area in which the alignment windows open (the main window sets it; nullptr: top-level windows).
void SetAlignWindowsArea(QMdiArea* Area);
QMdiArea* AlignWindowsArea();

// Where the two alignment windows open in an area of Room (their outer frames): side by side, the
// Sections window on the left with two fifths of the width and the Alignment View on the right with the
// rest, both as high as the area less a 4-pixel margin. A window narrower than its minimum width gets
// that width; when the two minimums do not fit side by side, the view keeps to the right edge and lies
// over the Sections window as little as the area allows.
struct TAlignWindowsPlacement {
    QRect Sections;
    QRect View;
};
TAlignWindowsPlacement PlaceAlignWindows(QSize Room, int SectionsMinWidth, int ViewMinWidth);
// The client size of the main window's area as the main window tells it (CM_GETCLIENTSIZE); empty when
// it tells none.
QSize AlignWindowsRoom();

// The lines a row shows for one language: the visible text of the section's paragraphs (tags and
// special tags hidden), each wrapped to Width, at most 3 lines in all. None for a section the file lacks.
std::vector<std::string> SectionPreviewLines(int Language, int File, int Section, int Width);

class TConcSectionsAlignForm : public TAppMessageForm {
    Q_OBJECT
public:
    TConcSectionsAlignForm(int Language1, int Language2, int File, TSectionsCallback Callback,
                           QWidget* Parent = nullptr);
    ~TConcSectionsAlignForm() override;

    int Language1() const { return FLanguage[0]; }
    int Language2() const { return FLanguage[1]; }
    int File() const { return FFile; }
    void SetCallback(TSectionsCallback Callback) { FCallback = std::move(Callback); }

    // The selected row (-1 none); setting it selects the row without calling back.
    int CurrentSection() const;
    void SetCurrentSection(int Section);
    // Rows = the larger of the two section counts; the list repaints.
    void RefreshCounts();
    // Row height: 3 lines of the taller language font plus 4 pixels.
    int RowHeight() const;
    // The middle column between the two halves, for the current width.
    QRect MiddleColumn() const;
    bool ShowFullPath() const { return FShowFullPath; }
    // Set once a message closes the window: rows are no longer read.
    bool Closing() const { return FClosing; }

    QListWidget* Sections() const { return FList; }
    QLabel* FileLabel(int Side) const { return FFileLabel[Side]; }
    QLabel* LanguageLabel(int Side) const { return FLanguageLabel[Side]; }
    QWidget* LanguagePanel(int Side) const { return FPanel[Side]; }

    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void SetLabels();
    void ArrangeColumns();
    void CloseForGood();

    int FLanguage[2];
    int FFile;
    TSectionsCallback FCallback;
    bool FShowFullPath = false;
    bool FClosing = false;
    QListWidget* FList;
    QWidget* FPanel[2];
    QLabel* FFileLabel[2];
    QLabel* FLanguageLabel[2];
};

// Shows the Sections window of File for the two languages at Section: the open one when it shows the same
// file and languages (it takes Callback, selects the section and comes to the front), else a new one
// replacing any other. Returns the window.
TConcSectionsAlignForm* ShowSectionsAlignForm(int Language1, int Language2, int File,
                                              TSectionsCallback Callback, int Section);
// The window while it exists, else nullptr.
TConcSectionsAlignForm* SectionsAlignForm();
