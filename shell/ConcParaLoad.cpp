#include "shell/ConcParaLoad.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "alignment/ConcParaAligners.h"
#include "alignment/alignSegStartStopSettings.h"
#include "controls/ConcFormUtils.h"
#include "controls/FileDialogs.h"
#include "controls/LangText.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "shell/concTxtCfgDialog.h"
#include "ui/Msg.h"

namespace {

// Heights and offsets inside a panel, and where the rows of the fixed controls sit.
constexpr int PanelTop = 32;
constexpr int RowHeight = 22;
constexpr int FontRow = 26;
constexpr int FormatRow = 52;
constexpr int ListTop = 78;
constexpr int ListHeight = 80;
constexpr int AddRow = ListTop + ListHeight + 4;
constexpr int PanelHeight = AddRow + RowHeight;
constexpr int SmallButtonWidth = 50;
constexpr int FullPathTop = PanelTop + PanelHeight + 8;
constexpr int AlignRow = FullPathTop + 28;
constexpr int LineTop = AlignRow + RowHeight + 6;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 24;
constexpr int ButtonTop = ParaLoadClientHeight - ButtonHeight - 4;

std::function<void()> Terminator;

void TerminateProgram() {
    if (Terminator)
        Terminator();
    else
        QCoreApplication::exit(0);
}

bool AlignFormatHasOptions(int Format) {
    return Format == afDelimiter || Format == afStartStopTags;
}

// The width a control is given, widened when its caption needs more in the font at hand. A push
// button's own size hint asks for a wide minimum, so a button is measured by its caption alone.
int FitWidth(const QWidget* Control, int Given) {
    if (const auto* Button = qobject_cast<const QPushButton*>(Control)) {
        const QString Caption = QString(Button->text()).remove('&');
        return std::max(Given, Button->fontMetrics().horizontalAdvance(Caption) + 12);
    }
    return std::max(Given, Control->sizeHint().width());
}

QString DisplayName(const std::string& Name, bool FullPath) {
    const QString Path = QString::fromStdString(Name);
    return FullPath ? Path : Path.mid(Path.lastIndexOf('/') + 1);
}

}  // namespace

void SetProgramTerminator(std::function<void()> Function) {
    Terminator = std::move(Function);
}

// ---------------------------------------------------------------------------------------------------
// The file list and the UTF-8 box

TParaLoadFileList::TParaLoadFileList(QWidget* Parent) : TzynWideListBox(Parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
}

int TParaLoadFileList::DropRow(const QPoint& Pos) const {
    const QModelIndex Index = indexAt(Pos);
    return Index.isValid() ? Index.row() : count();
}

// Files travel only within their own list, and only a selection can travel.
void TParaLoadFileList::dragEnterEvent(QDragEnterEvent* Event) {
    if (Event->source() == this && !selectedItems().isEmpty())
        Event->acceptProposedAction();
    else
        Event->ignore();
}

void TParaLoadFileList::dragMoveEvent(QDragMoveEvent* Event) {
    if (Event->source() == this && !selectedItems().isEmpty())
        Event->acceptProposedAction();
    else
        Event->ignore();
}

// The model moves the files; the view's own move would take the items out of their entries. The drop
// is reported as ignored so that the drag does not delete its source items afterwards.
void TParaLoadFileList::dropEvent(QDropEvent* Event) {
    if (Event->source() != this) {
        Event->ignore();
        return;
    }
    const int Row = DropRow(Event->position().toPoint());
    Event->setDropAction(Qt::IgnoreAction);
    Event->accept();
    if (OnDrop) OnDrop(Row);
}

void TUtf8CheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

// ---------------------------------------------------------------------------------------------------
// Creation

TParaLoadForm::TParaLoadForm(bool NewCorpus, QWidget* Parent)
    : QDialog(Parent), FModel(NewCorpus), FChoices(LanguageChoices(platform::UserDefaultLangId())) {
    setWindowTitle("Load Corpus Files");
    FPanelWidth = LanguageBoxWidth();
    BuildFixedControls();
    SetLanguageCount(NewCorpus ? MinParallelTexts
                               : std::clamp(LanguagesCount, MinParallelTexts, MaxParallelTexts));
    FPanels.at(0).FileList->setFocus();
}

TParaLoadForm::~TParaLoadForm() = default;

int TParaLoadForm::LanguageBoxWidth() const {
    // A language box as wide as its longest name needs, measured by a box like it holding every name.
    QComboBox Probe;
    Probe.setFont(font());
    for (const TNamedItem<uint32_t>& Choice : FChoices) Probe.addItem(QString::fromStdString(Choice.Name));
    return std::max(ParaLoadPanelWidth, Probe.sizeHint().width());
}

void TParaLoadForm::BuildFixedControls() {
    auto* CountLabel = new QLabel("&Parallel texts:", this);
    CountLabel->setGeometry(ParaLoadSpacing, 4, FitWidth(CountLabel, 80), RowHeight);
    CountBox = new QComboBox(this);
    CountBox->addItems({"2", "3", "4"});
    CountBox->setGeometry(CountLabel->geometry().right() + 5, 4, FitWidth(CountBox, 50), RowHeight);
    CountLabel->setBuddy(CountBox);
    connect(CountBox, &QComboBox::activated, this,
            [this](int Entry) { SetLanguageCount(Entry + MinParallelTexts); });

    ShowBtn = new QPushButton("&Show", this);
    RemoveBtn = new QPushButton("&Remove", this);
    connect(ShowBtn, &QPushButton::clicked, this, &TParaLoadForm::ShowSelected);
    connect(RemoveBtn, &QPushButton::clicked, this, &TParaLoadForm::RemoveSelected);

    FullPathCheck = new QCheckBox("Show &full path names", this);
    FullPathCheck->setGeometry(ParaLoadSpacing, FullPathTop, 200, 20);
    connect(FullPathCheck, &QCheckBox::clicked, this, [this] {
        for (int L = 0; L < PanelCount(); ++L) FillList(L, SelectedRows(L));
    });

    auto* AlignLabel = new QLabel("&Align format:", this);
    AlignLabel->setGeometry(ParaLoadSpacing, AlignRow, FitWidth(AlignLabel, 72), RowHeight);
    AlignFormatBox = new QComboBox(this);
    for (const char* Name : AlignFormatNames) AlignFormatBox->addItem(Name);
    AlignFormatBox->setGeometry(AlignLabel->geometry().right() + 3, AlignRow, FitWidth(AlignFormatBox, 132),
                                RowHeight);
    AlignFormatBox->setCurrentIndex(std::clamp(FModel.AlignFormat, 0, 3));
    AlignLabel->setBuddy(AlignFormatBox);
    AlignOptionsBtn = new QPushButton("Op&tions...", this);
    AlignOptionsBtn->setGeometry(AlignFormatBox->geometry().right() + 5, AlignRow,
                                 FitWidth(AlignOptionsBtn, 70), RowHeight);
    AlignOptionsBtn->setEnabled(AlignFormatHasOptions(AlignFormatBox->currentIndex()));
    connect(AlignFormatBox, &QComboBox::currentIndexChanged, this, [this](int Format) {
        FModel.AlignFormat = Format;
        AlignOptionsBtn->setEnabled(AlignFormatHasOptions(Format));
    });
    connect(AlignOptionsBtn, &QPushButton::clicked, this,
            [this] { ShowSegmentAlignSettings(AlignFormatBox->currentIndex()); });

    auto* Line = new QFrame(this);
    Line->setObjectName("AlignLine");
    Line->setFrameShape(QFrame::HLine);
    Line->setFrameShadow(QFrame::Sunken);
    Line->setGeometry(ParaLoadSpacing, LineTop,
                      ParaLoadClientWidth(MinParallelTexts, FPanelWidth) - 2 * ParaLoadSpacing, 2);

    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TParaLoadForm::BuildPanel(int Language) {
    TParaLoadPanel P;
    P.Panel = new QWidget(this);
    P.LanguageBox = new QComboBox(P.Panel);
    for (const TNamedItem<uint32_t>& Choice : FChoices)
        P.LanguageBox->addItem(QString::fromStdString(Choice.Name));
    P.LanguageBox->setCurrentIndex(LanguageChoiceIndex(FChoices, FModel.Panel(Language).Name));
    P.LanguageBox->setGeometry(0, 0, FPanelWidth, RowHeight);
    P.FontBtn = new QPushButton("Font...", P.Panel);
    const int FontWidth = FitWidth(P.FontBtn, SmallButtonWidth);
    P.FontBtn->setGeometry(0, FontRow, FontWidth, RowHeight);
    P.FontLabel = new QLabel(P.Panel);
    P.FontLabel->setGeometry(FontWidth + 4, FontRow, FPanelWidth - FontWidth - 4, RowHeight);
    P.FormatBtn = new QPushButton("Format...", P.Panel);
    const int FormatWidth = FitWidth(P.FormatBtn, 60);
    P.FormatBtn->setGeometry(0, FormatRow, FormatWidth, RowHeight);
    P.Utf8Check = new TUtf8CheckBox("UTF-8", P.Panel);
    P.Utf8Check->setTristate(true);
    P.Utf8Check->setGeometry(FormatWidth + 6, FormatRow, FPanelWidth - FormatWidth - 6, RowHeight);
    P.FileList = new TParaLoadFileList(P.Panel);
    P.FileList->setGeometry(0, ListTop, FPanelWidth, ListHeight);
    P.AddBtn = new QPushButton("Add", P.Panel);
    P.AddBtn->setGeometry(0, AddRow, FitWidth(P.AddBtn, 35), RowHeight);
    P.Panel->setGeometry(ParaLoadPanelLeft(Language, FPanelWidth), PanelTop, FPanelWidth, PanelHeight);

    // The dialog sets the language box's entry itself; only the user's choice names the language.
    connect(P.LanguageBox, &QComboBox::activated, this,
            [this, Language](int Entry) { LanguageChosen(Language, Entry); });
    connect(P.FontBtn, &QPushButton::clicked, this, [this, Language] { ChooseFont(Language); });
    connect(P.FormatBtn, &QPushButton::clicked, this, [this, Language] { EditFormat(Language); });
    connect(P.Utf8Check, &QCheckBox::clicked, this, [this, Language] { Utf8Clicked(Language); });
    connect(P.AddBtn, &QPushButton::clicked, this, [this, Language] { AddCorpusFiles(Language); });
    connect(P.FileList, &QListWidget::itemSelectionChanged, this, [this, Language] {
        UpdateUtf8Box(Language);
        UpdateButtons();
    });
    P.FileList->OnDrop = [this, Language](int Row) { DropOnRow(Language, Row); };
    FPanels.push_back(P);
    // The language the box shows is the panel's language: a panel never looks chosen yet count as undefined.
    if (FModel.Panel(Language).LCID == 0) LanguageChosen(Language, P.LanguageBox->currentIndex());

    const TFontSpec& Font = FModel.Panel(Language).Font;
    P.FontLabel->setFont(FontSpecToQFont(Font));
    P.FontLabel->setText(QString::fromStdString(Font.Name));
    FillList(Language);
    P.Panel->show();
}

void TParaLoadForm::RemovePanel(int Language) {
    delete FPanels.at(size_t(Language)).Panel;
    FPanels.erase(FPanels.begin() + Language, FPanels.end());
}

// Client width n x 160 + (n + 1) x 4 (wider panels when a language name needs them), centred
// horizontally on the screen (and vertically when it opens);
// "&Show" and "&Remove" under the last panel's list, right-aligned with it.
void TParaLoadForm::LayOut() {
    const int Count = PanelCount();
    const int Width = ParaLoadClientWidth(Count, FPanelWidth);
    setFixedSize(Width, ParaLoadClientHeight);
    const int Right = ParaLoadPanelLeft(Count - 1, FPanelWidth) + FPanelWidth;
    const int RemoveWidth = FitWidth(RemoveBtn, SmallButtonWidth),
              ShowWidth = FitWidth(ShowBtn, SmallButtonWidth);
    RemoveBtn->setGeometry(Right - RemoveWidth, PanelTop + AddRow, RemoveWidth, RowHeight);
    ShowBtn->setGeometry(Right - RemoveWidth - 4 - ShowWidth, PanelTop + AddRow, ShowWidth, RowHeight);
    // They share the last panel's Add row, and panels built later lie above them: clicks must reach them.
    ShowBtn->raise();
    RemoveBtn->raise();
    findChild<QFrame*>("AlignLine")->setFixedWidth(Width - 2 * ParaLoadSpacing);
    CancelBtn->setGeometry(Width - ParaLoadSpacing - ButtonWidth, ButtonTop, ButtonWidth, ButtonHeight);
    OkBtn->setGeometry(Width - 2 * (ParaLoadSpacing + ButtonWidth), ButtonTop, ButtonWidth, ButtonHeight);
    if (const QScreen* Screen = screen()) {
        // Placed before it is first shown, the dialog would otherwise keep the top edge of the screen.
        const QRect Area = Screen->availableGeometry();
        const int Top =
            isVisible() ? y() : Area.top() + std::max((Area.height() - frameGeometry().height()) / 2, 0);
        move(Area.left() + (Area.width() - frameGeometry().width()) / 2, Top);
    }
    SetTabChain();
}

void TParaLoadForm::SetTabChain() {
    QWidget* Previous = nullptr;
    SetTabOrders(Previous, {CountBox});
    for (const TParaLoadPanel& P : FPanels)
        SetTabOrders(Previous, {P.LanguageBox, P.FontBtn, P.FormatBtn, P.Utf8Check, P.FileList, P.AddBtn});
    SetTabOrders(Previous,
                 {ShowBtn, RemoveBtn, FullPathCheck, AlignFormatBox, AlignOptionsBtn, OkBtn, CancelBtn});
}

// ---------------------------------------------------------------------------------------------------
// Languages

void TParaLoadForm::SetLanguageCount(int Count) {
    const int FirstBuilt = FModel.SetLanguageCount(Count, [this](int Language) {
        if (Language < PanelCount()) RemovePanel(Language);
    });
    for (int L = FirstBuilt; L < FModel.PanelCount(); ++L) BuildPanel(L);
    CountBox->setCurrentIndex(std::clamp(LanguagesCount, MinParallelTexts, MaxParallelTexts) -
                              MinParallelTexts);
    LayOut();
    UpdateButtons();
}

void TParaLoadForm::LanguageChosen(int Language, int Entry) {
    if (Entry < 0 || Entry >= int(FChoices.size())) return;
    FModel.Panel(Language).LCID = FChoices[size_t(Entry)].Object;
    FModel.Panel(Language).Name = FChoices[size_t(Entry)].Name;
}

void TParaLoadForm::ChooseFont(int Language) {
    TFontSpec Font = FModel.Panel(Language).Font;
    if (!ExecuteFontDialog(Font) || Language >= PanelCount()) return;
    FModel.Panel(Language).Font = Font;
    QLabel* Label = FPanels[size_t(Language)].FontLabel;
    Label->setFont(FontSpecToQFont(Font));
    Label->setText(QString::fromStdString(Font.Name));
}

void TParaLoadForm::EditFormat(int Language) {
    const QPoint At = FPanels.at(size_t(Language)).FormatBtn->mapToGlobal(QPoint(0, 0)) - QPoint(20, 20);
    EditTextFormat(Language, AlignFormatBox->currentIndex() != 0, At.x(), At.y());
}

// ---------------------------------------------------------------------------------------------------
// File lists

std::vector<int> TParaLoadForm::SelectedRows(int Language) const {
    std::vector<int> Rows;
    const TParaLoadFileList* List = FPanels.at(size_t(Language)).FileList;
    for (int Row = 0; Row < List->count(); ++Row)
        if (List->item(Row)->isSelected()) Rows.push_back(Row);
    return Rows;
}

void TParaLoadForm::FillList(int Language, const std::vector<int>& Selected) {
    TParaLoadFileList* List = FPanels.at(size_t(Language)).FileList;
    FUpdating = true;
    List->ResetContent();
    for (const TParaLoadFile& File : FModel.Panel(Language).Files)
        List->AddItem(DisplayName(File.Name, FullPathCheck->isChecked()));
    for (int Row : Selected)
        if (Row >= 0 && Row < List->count()) List->item(Row)->setSelected(true);
    FUpdating = false;
    UpdateUtf8Box(Language);
    UpdateButtons();
}

void TParaLoadForm::AddCorpusFiles(int Language) {
    TFileDialogRequest Request;
    Request.Title = "Select File(s) to Open";
    Request.MultiSelect = true;
    Request.Filter = "Text Files (*.txt);;All Files (*)";
    Request.FilterIndex = 1;
    Request.DefaultSuffix = "txt";
    Request.Folder = LanguageConfigs.at(size_t(Language))->CorpusPath;
    const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
    if (Chosen.empty() || Language >= PanelCount()) return;
    LanguageConfigs.at(size_t(Language))->CorpusPath = FolderOf(Chosen.front());

    std::vector<TParaLoadFiles> Lists;
    std::vector<std::string> Names;
    for (int L = 0; L < FModel.PanelCount(); ++L) {
        Lists.push_back(std::move(FModel.Panel(L).Files));
        Names.push_back(FModel.Panel(L).Name);
    }
    AddChosenFiles(Lists, Names, Language, Chosen, IsTextFile, IsEmptyFile);
    for (int L = 0; L < FModel.PanelCount(); ++L) FModel.Panel(L).Files = std::move(Lists[size_t(L)]);
    FillList(Language, SelectedRows(Language));
}

void TParaLoadForm::DropOnRow(int Language, int Row) {
    const std::vector<int> Selected = SelectedRows(Language);
    const std::vector<int> Moved = DropSelection(FModel.Panel(Language).Files, Selected, Row);
    if (Moved != Selected) FillList(Language, Moved);
    UpdateButtons();
}

void TParaLoadForm::RemoveSelected() {
    for (int L = 0; L < PanelCount(); ++L) {
        const std::vector<int> Selected = SelectedRows(L);
        if (Selected.empty()) continue;
        RemoveSelection(FModel.Panel(L).Files, Selected);
        FillList(L);
    }
    UpdateButtons();
}

void TParaLoadForm::ShowSelected() {
    for (int L = 0; L < PanelCount(); ++L) {
        for (int Row : SelectedRows(L)) {
            if (L >= FModel.PanelCount()) return;
            const int Index = FModel.Panel(L).Files.at(size_t(Row)).ConfiguredIndex;
            if (Index >= 0) SendToMainForm(CM_OPENCORPUSVIEW, L, Index);
        }
    }
}

void TParaLoadForm::UpdateButtons() {
    bool AnySelected = false, AnyConfigured = false;
    for (int L = 0; L < PanelCount(); ++L) {
        for (int Row : SelectedRows(L)) {
            AnySelected = true;
            AnyConfigured |= FModel.Panel(L).Files.at(size_t(Row)).ConfiguredIndex >= 0;
        }
    }
    RemoveBtn->setEnabled(AnySelected);
    ShowBtn->setEnabled(AnyConfigured);
}

void TParaLoadForm::UpdateUtf8Box(int Language) {
    if (FUpdating) return;
    const std::vector<int> Selected = SelectedRows(Language);
    TUtf8CheckBox* Box = FPanels.at(size_t(Language)).Utf8Check;
    FUpdating = true;
    Box->setEnabled(!Selected.empty());
    switch (Utf8State(FModel.Panel(Language).Files, Selected)) {
        case TCheckState::Unchecked:
            Box->setCheckState(Qt::Unchecked);
            break;
        case TCheckState::Checked:
            Box->setCheckState(Qt::Checked);
            break;
        case TCheckState::Grayed:
            Box->setCheckState(Qt::PartiallyChecked);
            break;
    }
    FUpdating = false;
}

void TParaLoadForm::Utf8Clicked(int Language) {
    if (FUpdating) return;
    MarkSelectionUtf8(FModel.Panel(Language).Files, SelectedRows(Language),
                      FPanels.at(size_t(Language)).Utf8Check->checkState() == Qt::Checked);
}

// ---------------------------------------------------------------------------------------------------
// Closing

void TParaLoadForm::accept() {
    FModel.ApplyChanges();
    FModel.CommitLanguageCount();
    QDialog::accept();
}

// The question comes first; what was edited is put back only once the dialog really closes. The text
// formats are put back whatever the answer, so they do not count as changes to apply.
void TParaLoadForm::reject() {
    if (FModel.NewCorpus() && FModel.HasUndefinedPanel()) {
        if (!WarningYesNo("There are undefined languages. The program will now exit.", false)) return;
        TerminateProgram();
    } else if (FModel.ChangesPending(false)) {
        const int Answer = ConfirmApplyChanges();
        if (Answer == mrCancel) return;
        // Yes applies everything OK applies, the file lists included.
        if (Answer == mrYes) {
            accept();
            return;
        }
    }
    FModel.RestoreSnapshots();
    FModel.RestoreLanguageCount([this](int Language) {
        if (Language < PanelCount()) RemovePanel(Language);
    });
    QDialog::reject();
}

bool LoadCorpusFiles(bool NewCorpus) {
    TParaLoadForm Form(NewCorpus, QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Form.Model().HandOverFiles();
    return true;
}
