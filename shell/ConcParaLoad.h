// "Load Corpus Files": the number of parallel languages, each language's locale, display font, text
// format and file list, and the corpus's alignment format. Its rules live in shell/ParaLoadModel; this
// is the window over them.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <functional>
#include <vector>

#include "controls/zynWideList.h"
#include "shell/ParaLoadModel.h"

class QComboBox;
class QLabel;
class QPushButton;

// A language's file list: its selected files may be dragged onto the list itself (from no other), and
// the drop goes to OnDrop with the row dropped on (the row count below the last file).
class TParaLoadFileList : public TzynWideListBox {
    Q_OBJECT
public:
    explicit TParaLoadFileList(QWidget* Parent = nullptr);
    std::function<void(int Row)> OnDrop;
    // The row a drop at Pos (viewport coordinates) lands on: the item there, else the row count.
    int DropRow(const QPoint& Pos) const;

protected:
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
};

// The "UTF-8" box: the dialog sets it grayed for a mixed selection; a click never makes it grayed (a
// grayed box becomes checked).
class TUtf8CheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

// The controls of one language's panel.
struct TParaLoadPanel {
    QWidget* Panel = nullptr;
    QComboBox* LanguageBox = nullptr;
    QPushButton* FontBtn = nullptr;
    QLabel* FontLabel = nullptr;
    QPushButton* FormatBtn = nullptr;
    TUtf8CheckBox* Utf8Check = nullptr;
    TParaLoadFileList* FileList = nullptr;
    QPushButton* AddBtn = nullptr;
};

class TParaLoadForm : public QDialog {
    Q_OBJECT
public:
    // Opens on the current corpus, or with NewCorpus on a new one of two languages (language 0 then
    // takes the user's default language). Count changes reach the corpus globals at once.
    explicit TParaLoadForm(bool NewCorpus, QWidget* Parent = nullptr);
    ~TParaLoadForm() override;

    TParaLoadModel& Model() { return FModel; }
    int PanelCount() const { return int(FPanels.size()); }
    const TParaLoadPanel& Panel(int Language) const { return FPanels.at(size_t(Language)); }
    // The selected rows of Language's list, ascending.
    std::vector<int> SelectedRows(int Language) const;

    // Applies a new language count at once (the "&Parallel texts:" box).
    void SetLanguageCount(int Count);
    // The Add button: the file dialog in the language's corpus folder, then the chosen files by the
    // model's rule; the corpus folder follows the first chosen file at once.
    void AddCorpusFiles(int Language);
    // A drop of Language's selected files on Row (the row count: below the last file).
    void DropOnRow(int Language, int Row);

    QComboBox* CountBox;
    QPushButton* ShowBtn;
    QPushButton* RemoveBtn;
    QCheckBox* FullPathCheck;
    QComboBox* AlignFormatBox;
    QPushButton* AlignOptionsBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    // Applies fonts and alignment format and closes with OK.
    void accept() override;
    // Cancel, Escape and the close box: asks about undefined languages of a new corpus or about
    // changes, and on closing puts back every edited text format and the count when a language the
    // dialog created was left undefined.
    void reject() override;

private:
    void BuildFixedControls();
    void BuildPanel(int Language);
    void RemovePanel(int Language);
    void LayOut();
    void FillList(int Language, const std::vector<int>& Selected = {});
    void UpdateButtons();
    void UpdateUtf8Box(int Language);
    void Utf8Clicked(int Language);
    void LanguageChosen(int Language, int Entry);
    void ChooseFont(int Language);
    void EditFormat(int Language);
    void ShowSelected();
    void RemoveSelected();
    void SetTabChain();
    // The width of every panel: the standard 160 pixels, more when the longest language name needs it.
    int LanguageBoxWidth() const;

    TParaLoadModel FModel;
    std::vector<TParaLoadPanel> FPanels;
    std::vector<TNamedItem<uint32_t>> FChoices;
    bool FUpdating = false;
    int FPanelWidth = ParaLoadPanelWidth;
};

// What "The program will now exit." does: ends the application's event loop. Tests replace it; an empty
// function restores the default.
void SetProgramTerminator(std::function<void()> Terminator);

// Shows "Load Corpus Files" modally. On OK hands each language's list to the corpus loader and returns
// true; otherwise returns false and hands nothing on.
bool LoadCorpusFiles(bool NewCorpus);
