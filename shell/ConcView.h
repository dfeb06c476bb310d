// The corpus view: one corpus file of one language, line by line, in an MDI child. The file is read
// through its own reader on the file's shared stream and a file-backed line list, whose lines are
// counted in the background while the first page already shows.
#pragma once

#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "controls/ConcFormUtils.h"
#include "controls/ThreadWake.h"
#include "engine/FileStrings.h"

class QAction;
class QMdiArea;
class QMenu;
class TBufStream;
class TConcMainForm;
class TStringsView;

// A view's file: a reader on the shared stream of file FileIndex of Language and its line list, shown
// in View (borrowed; it must outlive this). Counting reports reach View on the GUI thread, coalesced.
class TCorpusFileText : public QObject {
    Q_OBJECT
public:
    // Shows the file's first lines at once. Raises EConcError when the file has no open stream or the
    // line index cannot be created; std::out_of_range for a file or language that does not exist.
    TCorpusFileText(TStringsView& View, int Language, int FileIndex);
    // Detaches the view, stops the count and waits for it, then frees the list and the reader: afterwards
    // nothing reads the shared stream on this file's behalf.
    ~TCorpusFileText() override;

    TFileStrings& Lines() { return *FLines; }
    // Every line is counted and the view shows the final count.
    bool CountingDone() const { return FDone; }

private:
    void LinesCounted();
    void Finished();

    TStringsView& FView;
    std::unique_ptr<TBufStream> FReader;
    std::atomic<bool> FReportQueued{false};
    bool FDone = false;
    TThreadWake FLinesWake{[this] { LinesCounted(); }};
    TThreadWake FDoneWake{[this] { Finished(); }};
    std::unique_ptr<TFileStrings> FLines;
};

// The suppress items of both views: caption and option (0 normal tags, 1 words, 2 special tags).
inline constexpr std::array<std::pair<const char*, int>, 3> CorpusSuppressItems{
    {{"&Normal Tags", 0}, {"&Special Tags", 2}, {"&Words", 1}}};
// Whether Flags hide what Option names.
bool SuppressFlagOf(const TSuppressFlags& Flags, int Option);
// Adds the "&Suppress" submenu to Menu: checkable items in CorpusSuppressItems order, each calling
// Toggle with its option. Returns the items (owned by the menu).
std::array<QAction*, 3> AddSuppressMenu(QMenu* Menu, const std::function<void(int Option)>& Toggle);
// The item of Option among Items; nullptr for an unknown option.
QAction* SuppressItemOf(const std::array<QAction*, 3>& Items, int Option);
// Checks each item whose kind of text Flags hide.
void CheckSuppressItems(const std::array<QAction*, 3>& Items, const TSuppressFlags& Flags);
// Gives View the corpus-text font and the code page of Language.
void ApplyCorpusFont(TStringsView& View, int Language);

class TCorpusViewForm : public TAppMessageForm {
    Q_OBJECT
public:
    // A view of FileName, file FileIndex of Language (see TCorpusFileText for what it raises).
    TCorpusViewForm(int Language, const std::string& FileName, int FileIndex, QWidget* Parent = nullptr);
    ~TCorpusViewForm() override;

    int Language() const { return FLanguage; }
    const std::string& FileName() const { return FFileName; }
    TStringsView* TextWindow() const { return FTextWindow; }
    // Null once the file has been let go (the window is closing).
    TCorpusFileText* Text() const { return FText.get(); }
    bool CountingFinished() const { return FText && FText->CountingDone(); }
    QMenu* CorpusTextMenu() const { return FMenu; }
    QAction* SuppressAction(int Option) const;
    QAction* WordWrapAction() const { return FWordWrap; }

    // "&Suppress" item of Option: toggled when one kind of text stays shown; the view is rebuilt.
    void ToggleSuppress(int Option);
    void ToggleWordWrap();

    std::vector<TMergedMenu> MergedMenus() const override;
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void ReleaseFile();
    void UpdateChecks();

    int FLanguage;
    std::string FFileName;
    TStringsView* FTextWindow;
    QMenu* FMenu;
    std::array<QAction*, 3> FSuppressItems{};
    QAction* FWordWrap;
    std::unique_ptr<TCorpusFileText> FText;
};

// Opens a new corpus view of FileName in Language inside Area (nullptr: a top-level window). Nothing
// when the language has no file of that name. Returns the view, owned by its sub-window.
TCorpusViewForm* ShowCorpusText(QMdiArea* Area, const std::string& FileName, int Language);
// Whether Child is a corpus view of that language showing exactly that file.
bool IsCorpusViewOf(QWidget* Child, int Language, const std::string& FileName);
