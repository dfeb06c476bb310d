// The collocation window: for the hits of one concordance window, the words found at each context
// position around the hit (4-Left .. 4-Right, as far as the language's collocate span reaches), most
// frequent first, one report-style list per language. The rows, layout arithmetic and texts are Qt-free
// rules below; the window reads the concordance window's collocate lists through them.
#pragma once

#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcConfig.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QTreeWidget;
class TFreqList;
class TFreqItem;
class TTessivorForm;

// ---- The rules, Qt-free ------------------------------------------------------------------------------

// The positions a collocate span shows: 5 - Span .. 4 + Span (Span cut to 1..4), positions numbered 1..8
// as the item slots 1..8.
struct TCollocateRange {
    int Lo = 4;
    int Hi = 5;
    int Count() const { return Hi - Lo + 1; }
};
TCollocateRange CollocateRange(int Span);

// One cell pair of a row: the count in decimal and the word; both empty where the position has no entry.
struct TCollocateCell {
    std::string Count;
    std::string Word;
};
// A row: one cell per position of the range, in position order.
using TCollocateRow = std::vector<TCollocateCell>;

// The rows of one language: Lists[i] is the list of position Range.Lo + i (nullptr reads as empty), read
// in display order. Each position skips the entries that Passes rejects and gives its next passing
// entry to the next row, or empty cells once it has none left; the rows end when no position has one.
// With MaxLines above 0 there are at most MaxLines rows. The rows hold copies: the lists may go after.
std::vector<TCollocateRow> CollocateRows(const std::vector<const TFreqList*>& Lists, int32_t MaxLines,
                                         const std::function<bool(const TFreqItem&)>& Passes);

// Whether the lists of all languages go one above the other: twice the spans summed exceed 12.
bool CollocationStacked(const std::vector<int>& Spans);
// Sizes scaled so that they fill Available together: each becomes round(size x Available / sum),
// rounding half to even; unchanged when they sum to 0.
std::vector<int> ScaleSizes(const std::vector<int>& Sizes, int Available);
// "%s - [%s]" of a language name and a query text.
std::string CollocationLabelText(const std::string& LanguageName, const std::string& QueryText);
// "Frequency Statistics - " and Scope ("All", or the one language's label text).
std::string CollocationCaption(const std::string& Scope);
// Whether CM_COLLOCSETTINGSCHANGED with Kind closes a window: frequency limits (0), span (2) and case or
// stop list (4) change what the lists hold; maximum lines (1) and highlighting (3) do not.
bool CollocSettingsCloses(intptr_t Kind);

// ---- The window ----------------------------------------------------------------------------------------

class TCollocationForm : public TAppMessageForm {
    Q_OBJECT
public:
    // An empty window for Owner's hits of Language (-1: every language of Owner). Build fills it.
    TCollocationForm(TTessivorForm* Owner, int Language, QWidget* Parent = nullptr);

    // Lays out the lists and fills them, building the owner's collocate lists where they are missing for
    // a language's span (under a progress window above 512 hits, above 256 rows for the fill). Pumps
    // events, holding the owner busy (TTessivorForm::TCommandScope) meanwhile. False when the user
    // cancelled, or the owner or this window went meanwhile: the caller then frees the window if it still
    // exists and shows nothing.
    bool Build();

    int Language() const { return FLanguage; }
    // The concordance window whose hits it shows; nullptr once that window is gone.
    TTessivorForm* Owner() const { return FOwner ? FOwnerForm : nullptr; }
    bool Stacked() const { return FStacked; }
    // The list of Language, or nullptr when the window does not show it.
    QTreeWidget* List(int Language) const;
    QLabel* Label(int Language) const;
    QMenu* DisplayMenu() const { return FDisplayMenu; }

    // Copies the list that has the focus to the clipboard (CopyListToClipboard: every row unless several
    // are selected); the first list in language order when none has it.
    void CopyToClipboard();
    // "Change &Font...": the frequency font of the focused list's language; nothing when none is focused.
    void ChangeFont();
    // Closes the window (its frame when it has one); it is freed afterwards.
    void CloseWindow();

    std::vector<TMergedMenu> MergedMenus() const override;
    // CM_FONTCHANGED sets the fonts again; CM_CONCORDCLOSED of the owner closes; CM_COLLOCDATADROPPED of
    // the owner closes for the window's language (or any language when it shows all);
    // CM_COLLOCSETTINGSCHANGED closes as CollocSettingsCloses says for the window's language.
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool Shows(int Language) const { return List(Language) != nullptr; }
    bool Concerns(int Language) const { return FLanguage < 0 || FLanguage == Language; }
    std::vector<int> ShownLanguages() const;
    QTreeWidget* NewList(int Language);
    void CreateLists();
    void ApplyFonts();
    void LayoutLists();
    // How much the count and word columns of Tree must grow, all alike, for the counts and words of its
    // first rows to show whole (a word asks at most 30 widths of "0"); 1 when they do.
    double WordsGrowth(const QTreeWidget* Tree) const;
    // Widens the window, as far as its MDI area allows, for its caption and the words of its first rows.
    void FitToWords();
    void RescaleColumns(QTreeWidget* List);
    bool BuildMissingCollocates();
    bool FillList(int Language);
    std::string ListText(int Language) const;

    int FLanguage;
    QPointer<TAppMessageForm> FOwner;  // tells whether FOwnerForm is still there
    TTessivorForm* FOwnerForm;
    bool FStacked = false;
    bool FBusy = false;
    bool FCleared = false;
    std::array<QTreeWidget*, MaxLanguages> FLists{};
    std::array<QLabel*, MaxLanguages> FLabels{};
    std::array<QWidget*, MaxLanguages> FPanels{};  // one per language stacked, FPanels[0] alone side by side
    std::array<int, MaxLanguages> FListSizes{};    // the size the layout rescales: width, or height stacked
    QMenu* FDisplayMenu;
    QAction* FChangeFontAction;
};

// "Collocate Frequency &Data": for the concordance window active in Area, brings its collocation window of
// Language (-1: all) to the front, restored to its normal size, or makes one (the concordance window is
// busy meanwhile, so that its commands cannot free the lists being counted). Returns the window, or
// nullptr when the active window is no concordance window, is busy, or the making was cancelled.
TCollocationForm* ShowCollocation(QMdiArea* Area, int Language);
