// The word-list window: one grid per language, side by side, showing a corpus frequency list in
// frequency or alphabetical order, or the word sequences of an advanced collocation. Other windows
// reach it through CreateForList, AddFreqList, SetCaptions and Grid (to fill it, or to save and print
// what it shows).
#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"
#include "results/ConcFreqOutOptions.h"
#include "results/ConcWordList.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class TFreqList;
struct TOutGrid;

class TWordListForm : public TAppMessageForm {
    Q_OBJECT
public:
    // An empty window of Language (-1: one grid per corpus language, with a label panel above them) in
    // Mode, caption "Filling list..." ("Filling lists..." for all languages). Owner is the concordance
    // window of an advanced collocation: the word list closes when it goes. nullptr for the corpus
    // lists, which belong to the application.
    TWordListForm(QWidget* Owner, int Language, TWordListMode Mode, QWidget* Parent = nullptr);

    // Makes the window (as the constructor) as an MDI child of Area (a top-level window without one),
    // shows it with the grid of Language (or of language 0) focused, and returns it. Owned by Area; it
    // is freed when it closes.
    static TWordListForm* CreateForList(QMdiArea* Area, QWidget* Owner, int Language, TWordListMode Mode);

    // Fills Language's grid from List (FillWordListItems with the window's mode). Nothing for a language
    // the window does not show. List stays the caller's: the grid keeps copies.
    void AddFreqList(int Language, int64_t Total, int32_t MaxLines, const TFreqList& List);
    // The window's caption, and the text of each shown language's label (all-languages windows only;
    // Labels[i] belongs to language i, missing entries leave their labels as they are). UTF-8. The window
    // then widens, as far as its MDI area allows, until its caption shows whole and each grid shows its
    // headers and the words of its first rows.
    void SetCaptions(const std::string& Title, const std::vector<std::string>& Labels);
    // The language of the grid that is this window's focus widget; -1 when that is no grid of it.
    int FocusedLanguage() const;

    int Language() const { return FLanguage; }
    TWordListMode Mode() const { return FMode; }
    QWidget* Owner() const { return FOwner; }
    // The grid of Language, or nullptr when the window does not show that language.
    TWordListGrid* Grid(int Language) const;
    // Language's label (nullptr without one); its text is cut with an ellipsis where its grid is narrower.
    QLabel* Label(int Language) const;
    QWidget* TopPanel() const { return FTopPanel; }
    QMenu* DisplayMenu() const { return FDisplayMenu; }
    QAction* ChangeFontAction() const { return FChangeFontAction; }

    // "Change &Font...": the frequency font of the focused grid's language (ChooseConfigFont, which tells
    // every window). Nothing when no grid is focused.
    void ChangeFont();
    // "&Save as File...": asks the output options (starting at the window's language) and a file name
    // (starting in ConcordancePath, which takes the folder chosen), then writes the chosen grids.
    void SaveToFile();
    // "&Print...": asks the output options (with the printer's set-up) and prints the chosen grids. While
    // the job runs the window refuses to close; a close asked for by a message waits for the job's end.
    void PrintLists();
    bool Printing() const { return FPrinting; }

    // "&Display" (group 4).
    std::vector<TMergedMenu> MergedMenus() const override;
    // CM_FONTCHANGED of the frequency font: the grid and label of that language take it.
    // CM_FREQSETTINGSCHANGED closes a corpus list of that language (or of all languages), whatever
    // LParam says; CM_COLLOCDATADROPPED (of its owner) and CM_COLLOCSETTINGSCHANGED with LParam 4 close an
    // advanced collocation of that language (or of all).
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    bool Shows(int Language) const { return Grid(Language) != nullptr; }
    // Both: a window of all languages is about any language.
    bool Concerns(int Language) const { return FLanguage < 0 || FLanguage == Language; }
    void ApplyFont(int Language);
    void LayoutGrids();
    // The sum of the grids' wanted widths, each at least GridWidth and its label's width.
    int WantedWidth() const;
    void FitToContents();
    void CloseWindow();
    // The grids of Language (-1: every grid) as the row writer takes them.
    std::vector<TOutGrid> OutGrids(int Language) const;

    int FLanguage;
    TWordListMode FMode;
    QPointer<QWidget> FOwner;
    QWidget* FTopPanel = nullptr;
    std::array<TWordListGrid*, MaxLanguages> FGrids{};
    std::array<QLabel*, MaxLanguages> FLabels{};
    std::array<QString, MaxLanguages> FLabelTexts;
    QMenu* FDisplayMenu;
    QAction* FChangeFontAction;
    TFreqOutOptions FSaveOptions;
    TFreqOutOptions FPrintOptions;
    bool FPrinting = false;
    bool FCloseWhenPrinted = false;
};

// The Frequency Order and Alphabetical Order commands: brings an open corpus word list of Language (-1:
// all languages) in that order to the front (restored to its normal size), or, once GetCorpusFreqList
// has the corpus list of every language concerned, opens one in Area, captioned with the list's title
// and " - " with the language's name (" - All" with a label per language). Returns the window, or
// nullptr when some corpus list could not be made (the pass was cancelled). Raises what the corpus pass
// raises.
TWordListForm* ShowWordList(QMdiArea* Area, int Language, bool Alphabetical);
