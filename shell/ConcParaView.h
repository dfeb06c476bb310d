// "Corpus Text Parallel View": the files of one row of the corpus, one column per language, whose
// scrolling is kept in step.
#pragma once

#include <QPointer>
#include <array>
#include <memory>
#include <vector>

#include "shell/ConcView.h"

class QLabel;
class QSplitter;

class TParallelViewForm : public TAppMessageForm {
    Q_OBJECT
public:
    // One column per configured language, each showing its file FileIndex (see TCorpusFileText for what
    // it raises).
    TParallelViewForm(int FileIndex, QWidget* Parent = nullptr);
    ~TParallelViewForm() override;

    int Languages() const { return int(FViews.size()); }
    TStringsView* View(int Language) const { return FViews.at(size_t(Language)); }
    QLabel* Header(int Language) const { return FHeaders.at(size_t(Language)); }
    // Null once the window has let its files go.
    TCorpusFileText* Text(int Language) const { return FTexts.at(size_t(Language)).get(); }
    int FileIndex(int Language) const { return FFiles.at(size_t(Language)); }
    QSplitter* Splitter() const { return FSplitter; }
    bool EqualWidths() const { return FEqualWidths; }
    bool Synchronize() const { return FSynchronize; }

    QMenu* CorpusTextMenu() const { return FMenu; }
    QMenu* FontMenu() const { return FFontMenu; }
    QAction* SuppressAction(int Option) const;
    QAction* WordWrapAction() const { return FWordWrap; }
    QAction* EqualWidthsAction() const { return FEqualWidthsItem; }
    QAction* SynchronizeAction() const { return FSynchronizeItem; }

    // Every column gets the opposite of the first one's word wrap.
    void ToggleWordWrap();
    // Toggles Option on a copy of the first column's flags; when one kind of text stays shown, every
    // column takes the copy and is rebuilt.
    void ToggleSuppress(int Option);
    void SetEqualWidths(bool Value);
    void SetSynchronize(bool Value);

    std::vector<TMergedMenu> MergedMenus() const override;
    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildMenu();
    void UpdateChecks();
    void ApplyEqualWidths();
    void TopIndexChanged(const TStringsView& Source);
    void ReleaseFiles();
    void SetHeader(int Language);

    QSplitter* FSplitter;
    std::vector<TStringsView*> FViews;
    std::vector<QLabel*> FHeaders;
    std::vector<std::unique_ptr<TCorpusFileText>> FTexts;
    std::vector<int> FFiles;
    bool FEqualWidths = true;
    bool FSynchronize = true;
    bool FSynchronizing = false;
    QMenu* FMenu = nullptr;
    QMenu* FFontMenu = nullptr;
    std::array<QAction*, 3> FSuppressItems{};
    QAction* FWordWrap = nullptr;
    QAction* FEqualWidthsItem = nullptr;
    QAction* FSynchronizeItem = nullptr;
};

// Opens a parallel view of file FileIndex of every language inside Area (nullptr: a top-level window).
// Returns it, owned by its sub-window.
TParallelViewForm* ShowParallelView(QMdiArea* Area, int FileIndex);
