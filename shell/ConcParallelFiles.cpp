#include "shell/ConcParallelFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "alignment/ConcAlignChoose.h"
#include "alignment/ConcAlignView.h"
#include "controls/zynWideList.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "shell/ConcParaView.h"
#include "shell/CorpusViewRules.h"

namespace {

constexpr int ColumnWidth = 164;
constexpr int ListSize = 160;
constexpr int Margin = 4;

std::vector<int> FileCounts() {
    std::vector<int> Counts;
    for (int L = 0; L < LanguagesCount; ++L)
        Counts.push_back(LanguageConfigs[size_t(L)] ? int(LanguageConfigs[size_t(L)]->Files.size()) : 0);
    return Counts;
}

}  // namespace

TParaFilesForm::TParaFilesForm(QMdiArea* Area, QWidget* Parent) : QDialog(Parent), FArea(Area) {
    setWindowTitle("Select Files to View");
    const int Languages = std::max(1, int(LanguagesCount));
    for (int L = 0; L < Languages; ++L) {
        const TConcordConfig* Config = L < LanguagesCount ? LanguageConfigs[size_t(L)].get() : nullptr;
        auto* Label =
            new QLabel(Config ? QString::fromStdString(Config->GetLanguageName()) : QString(), this);
        Label->setGeometry(Margin + ColumnWidth * L, 8, ListSize, 16);
        auto* List = new TzynWideListBox(this);
        List->setGeometry(Margin + ColumnWidth * L, 26, ListSize, ListSize);
        List->setProperty("tag", L);
        Label->setBuddy(List);
        connect(List, &QListWidget::currentRowChanged, this, [this](int Row) {
            SelectRow(Row);
            UpdateButtons();
        });
        Labels.push_back(Label);
        Lists.push_back(List);
    }
    const int Width = Margin + ColumnWidth * Languages;
    int Top = 26 + ListSize + 8;
    FullPathCheck = new QCheckBox("Show full &path names", this);
    FullPathCheck->setGeometry(Margin, Top, std::min(FullPathCheck->sizeHint().width(), Width - 2 * Margin),
                               20);
    connect(FullPathCheck, &QCheckBox::clicked, this, [this] { FillLists(); });
    Top += 26;
    auto* Line = new QFrame(this);
    Line->setFrameShape(QFrame::HLine);
    Line->setFrameShadow(QFrame::Sunken);
    Line->setGeometry(Margin, Top, Width - 2 * Margin, 2);
    Top += 10;
    ShowButton = new QPushButton("&Show", this);
    AlignmentButton = new QPushButton("&Alignment", this);
    CloseButton = new QPushButton("Close", this);
    const int ButtonWidth = std::min(75, (Width - 4 * Margin) / 3);
    int Left = Width - 3 * (ButtonWidth + Margin);
    for (QPushButton* Button : {ShowButton, AlignmentButton, CloseButton}) {
        Button->setGeometry(Left, Top, ButtonWidth, 25);
        Left += ButtonWidth + Margin;
    }
    ShowButton->setDefault(true);
    connect(ShowButton, &QPushButton::clicked, this, &TParaFilesForm::ShowClick);
    connect(AlignmentButton, &QPushButton::clicked, this, &TParaFilesForm::AlignmentClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(Width, Top + 25 + 8);
    FillLists();
}

void TParaFilesForm::FillLists() {
    const int Row = SelectedRow();
    std::vector<std::vector<std::string>> Names;
    for (int L = 0; L < int(Lists.size()); ++L) {
        std::vector<std::string>& Column = Names.emplace_back();
        if (L < LanguagesCount && LanguageConfigs[size_t(L)])
            for (const auto& File : LanguageConfigs[size_t(L)]->Files) Column.push_back(File.Name);
    }
    const auto Columns = ParaFilesColumns(Names, FullPathCheck->isChecked());
    FSelecting = true;
    for (size_t L = 0; L < Lists.size(); ++L) {
        Lists[L]->ResetContent();
        for (const std::string& Text : Columns[L]) Lists[L]->AddItem(QString::fromStdString(Text));
    }
    FSelecting = false;
    SelectRow(Row);
    UpdateButtons();
}

int TParaFilesForm::SelectedRow() const {
    return Lists.empty() ? -1 : Lists.front()->currentRow();
}

// Every list follows the one the user moved in; the guard keeps their own signals from answering back.
void TParaFilesForm::SelectRow(int Row) {
    if (FSelecting) return;
    FSelecting = true;
    // The list that took the focus may hold its row as current without showing it selected.
    for (TzynWideListBox* List : Lists) List->setCurrentRow(Row);
    FSelecting = false;
}

void TParaFilesForm::UpdateButtons() {
    const std::vector<int> Counts = FileCounts();
    const int Row = SelectedRow();
    ShowButton->setEnabled(ParaFilesShowEnabled(Counts, Row));
    AlignmentButton->setEnabled(ParaFilesAlignmentEnabled(
        Counts, Row, [](int A, int B, int File) { return HasSegmentIndexes(A, B, File); }));
}

void TParaFilesForm::ShowClick() {
    const int Row = SelectedRow();
    if (!ParaFilesShowEnabled(FileCounts(), Row)) return;
    accept();
    ShowParallelView(FArea, Row);
}

// With more than two languages the user picks the pair; a chooser that offers none counts as Cancel.
void TParaFilesForm::AlignmentClick() {
    const int Row = SelectedRow();
    if (!AlignmentButton->isEnabled() || Row < 0) return;
    int Language1 = 0, Language2 = 1;
    if (LanguagesCount > 2 && !ChooseAlignmentPair(Row, Language1, Language2)) return;
    accept();
    // Aligned sentences where the pair has them; the view itself falls back to paragraphs.
    OpenAlignmentWindows(0, Language1, Language2, 0, 0, Row);
}

void SelectFilesToView(QMdiArea* Area) {
    TParaFilesForm Form(Area, QApplication::activeWindow());
    Form.exec();
}
