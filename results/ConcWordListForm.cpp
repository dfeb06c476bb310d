#include "results/ConcWordListForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QResizeEvent>

#include <filesystem>

#include "controls/FileDialogs.h"
#include "controls/LangText.h"
#include "controls/PrintDialogs.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcUtils.h"
#include "results/ConcSavePrint.h"

namespace {

// What the window is given at least for each grid it shows.
constexpr int GridWidth = 300;
constexpr int WindowHeight = 420;

QColor FontColor(int Language, int FontIndex) {
    return ColorRefToQColor(LanguageConfigs[size_t(Language)]->Fonts[size_t(FontIndex)].Color);
}

}  // namespace

TWordListForm::TWordListForm(QWidget* Owner, int Language, TWordListMode Mode, QWidget* Parent)
    : TAppMessageForm(Parent), FLanguage(Language), FMode(Mode), FOwner(Owner) {
    const bool All = Language < 0;
    setWindowTitle(All ? "Filling lists..." : "Filling list...");
    FDisplayMenu = new QMenu("&Display", this);
    FChangeFontAction = FDisplayMenu->addAction("Change &Font...");
    connect(FChangeFontAction, &QAction::triggered, this, &TWordListForm::ChangeFont);

    const int First = All ? 0 : Language;
    const int Last = All ? LanguagesCount - 1 : Language;
    if (All) {
        FTopPanel = new QWidget(this);
        FTopPanel->setFixedHeight(QFontMetrics(font()).height() + 10);
    }
    for (int L = First; L <= Last; ++L) {
        if (L < 0 || L >= MaxLanguages || !LanguageConfigs[size_t(L)]) continue;
        FGrids[size_t(L)] = new TWordListGrid(L, this);
        if (All) {
            FLabels[size_t(L)] = new QLabel(FTopPanel);
            FLabels[size_t(L)]->setTextFormat(Qt::PlainText);
            FLabels[size_t(L)]->move(5, 5);
        }
        ApplyFont(L);
    }
    if (TWordListGrid* Focus = Grid(All ? 0 : Language)) setFocusProxy(Focus);
    resize(std::max(WantedWidth(), GridWidth), WindowHeight);
    // The corpus lists belong to the application; a collocation's list lives only as long as the window
    // whose hits it counted.
    if (Owner) connect(Owner, &QObject::destroyed, this, &TWordListForm::CloseWindow);
    LayoutGrids();
}

TWordListForm* TWordListForm::CreateForList(QMdiArea* Area, QWidget* Owner, int Language,
                                            TWordListMode Mode) {
    auto* Form = new TWordListForm(Owner, Language, Mode);
    ShowMdiChild(Area, Form);
    if (TWordListGrid* Focus = Form->Grid(Language < 0 ? 0 : Language)) Focus->setFocus();
    return Form;
}

TWordListGrid* TWordListForm::Grid(int Language) const {
    return Language >= 0 && Language < MaxLanguages ? FGrids[size_t(Language)] : nullptr;
}

QLabel* TWordListForm::Label(int Language) const {
    return Language >= 0 && Language < MaxLanguages ? FLabels[size_t(Language)] : nullptr;
}

void TWordListForm::AddFreqList(int Language, int64_t Total, int32_t MaxLines, const TFreqList& List) {
    TWordListGrid* G = Grid(Language);
    if (!G) return;
    FillWordListItems(G->Items(), List, Language, Total, MaxLines, FMode);
    G->ItemsChanged();
}

void TWordListForm::SetCaptions(const std::string& Title, const std::vector<std::string>& Labels) {
    SetLiteralWindowTitle(this, Title);
    for (size_t L = 0; L < Labels.size() && L < FLabels.size(); ++L) {
        if (!FLabels[L]) continue;
        FLabelTexts[L] = QString::fromStdString(Labels[L]);
        FLabels[L]->setText(FLabelTexts[L]);
    }
    FitToContents();
    LayoutGrids();
}

int TWordListForm::WantedWidth() const {
    int Width = 0;
    for (TWordListGrid* G : FGrids) {
        if (!G) continue;
        const QLabel* L = Label(G->Language());
        const int LabelWidth = L ? L->fontMetrics().horizontalAdvance(FLabelTexts[size_t(G->Language())]) : 0;
        Width += std::max({G->WantedWidth(), GridWidth, LabelWidth + 10});
    }
    return Width;
}

void TWordListForm::FitToContents() {
    auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!Sub) {
        if (width() < WantedWidth()) resize(WantedWidth(), height());
        return;
    }
    // The caption is known only now, and the lists may have widened their count columns.
    WidenMdiChild(Sub, std::max(WantedWidth() + Sub->width() - width(), MdiCaptionWidth(Sub)));
}

int TWordListForm::FocusedLanguage() const {
    for (TWordListGrid* G : FGrids)
        if (G && focusWidget() == G) return G->Language();
    return -1;
}

void TWordListForm::ChangeFont() {
    const int L = FocusedLanguage();
    if (L >= 0) ChooseConfigFont(FrequencyFont, L);
}

void TWordListForm::ApplyFont(int Language) {
    TWordListGrid* G = Grid(Language);
    if (!G) return;
    const QFont Font = LanguageFont(Language, FrequencyFont);
    G->SetGridFont(Font);
    QPalette Colors = G->palette();
    Colors.setColor(QPalette::Text, FontColor(Language, FrequencyFont));
    G->setPalette(Colors);
    if (QLabel* L = Label(Language)) {
        L->setFont(Font);
        QPalette LabelColors = L->palette();
        LabelColors.setColor(QPalette::WindowText, FontColor(Language, FrequencyFont));
        L->setPalette(LabelColors);
        L->adjustSize();
    }
    LayoutGrids();
}

std::vector<TAppMessageForm::TMergedMenu> TWordListForm::MergedMenus() const {
    return {{4, FDisplayMenu}};
}

void TWordListForm::LayoutGrids() {
    std::vector<TWordListGrid*> Shown;
    for (TWordListGrid* G : FGrids)
        if (G) Shown.push_back(G);
    if (Shown.empty()) return;
    const int Top = FTopPanel ? FTopPanel->height() : 0;
    if (FTopPanel) FTopPanel->setGeometry(0, 0, width(), Top);
    const int N = int(Shown.size());
    const int W = width() / N;
    for (int I = 0; I < N; ++I) {
        const int X = I * W;
        const int GridW = I == N - 1 ? width() - (N - 1) * W : W;
        Shown[size_t(I)]->setGeometry(X, Top, GridW, height() - Top);
        if (QLabel* L = Label(Shown[size_t(I)]->Language())) {
            // A label longer than its grid ends in an ellipsis there rather than running under its
            // neighbour's; the whole text is its tip.
            const QString& Text = FLabelTexts[size_t(Shown[size_t(I)]->Language())];
            const QString Visible = L->fontMetrics().elidedText(Text, Qt::ElideRight, GridW - 10);
            L->setText(Visible);
            L->setToolTip(Visible == Text ? QString() : Text);
            L->setGeometry(X + 5, 5, L->sizeHint().width(), L->sizeHint().height());
        }
        Shown[size_t(I)]->FitWordColumn();
    }
}

void TWordListForm::resizeEvent(QResizeEvent* Event) {
    TAppMessageForm::resizeEvent(Event);
    LayoutGrids();
}

bool TWordListForm::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate) PostStatusText(std::string());
    return TAppMessageForm::event(Event);
}

void TWordListForm::closeEvent(QCloseEvent* Event) {
    // The print job reads the grids between its pumps; the window goes once the job has ended.
    if (FPrinting) {
        Event->ignore();
        return;
    }
    TAppMessageForm::closeEvent(Event);
}

void TWordListForm::CloseWindow() {
    if (IsClosing()) return;
    if (FPrinting) {
        FCloseWhenPrinted = true;
        return;
    }
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        Sub->close();
    else
        close();
}

intptr_t TWordListForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    const int L = int(WParam);
    const bool CorpusList = FMode != TWordListMode::AdvancedCollocation;
    switch (Msg) {
        case CM_FONTCHANGED:
            if (LParam == FrequencyFont && Shows(L)) ApplyFont(L);
            break;
        case CM_FREQSETTINGSCHANGED:
            if (CorpusList && Concerns(L)) CloseWindow();
            break;
        case CM_COLLOCDATADROPPED:
            if (!CorpusList && FOwner && WParam == reinterpret_cast<intptr_t>(FOwner.data()) &&
                Concerns(int(LParam)))
                CloseWindow();
            break;
        case CM_COLLOCSETTINGSCHANGED:
            if (!CorpusList && LParam == 4 && Concerns(L)) CloseWindow();
            break;
        default:
            break;
    }
    return 0;
}

std::vector<TOutGrid> TWordListForm::OutGrids(int Language) const {
    std::vector<TOutGrid> Grids;
    for (TWordListGrid* G : FGrids)
        if (G && (Language < 0 || G->Language() == Language)) Grids.push_back({G->Language(), &G->Items()});
    return Grids;
}

void TWordListForm::SaveToFile() {
    FSaveOptions.Language = FLanguage;
    if (!ShowFreqOutOptions("Frequency - Save as File Options", {}, FSaveOptions)) return;
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Title = "Select file name to save to";
    Request.Folder = ConcordancePath;
    Request.Filter = "Text Files (*.txt);;All Files (*)";
    Request.DefaultSuffix = "txt";
    const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
    if (Chosen.empty()) return;
    ConcordancePath = std::filesystem::path(Chosen.front()).parent_path().string();
    SaveWordList(Chosen.front(), WordListTitle(FMode), OutGrids(FSaveOptions.Language), FSaveOptions);
}

void TWordListForm::PrintLists() {
    if (FPrinting) return;
    FPrintOptions.Language = FLanguage;
    if (!ShowFreqOutOptions(
            "Frequency - Print Options", [] { ExecutePrintSetupDialog(SharedPrinter()); }, FPrintOptions))
        return;
    const QPointer<TWordListForm> Alive(this);
    FPrinting = true;
    try {
        PrintWordList(WordListTitle(FMode), OutGrids(FPrintOptions.Language), FPrintOptions,
                      [&Alive] { return !Alive.isNull(); });
    } catch (...) {
        if (Alive) FPrinting = false;
        throw;
    }
    if (!Alive) return;
    FPrinting = false;
    if (FCloseWhenPrinted) CloseWindow();
}

// ---------------------------------------------------------------------------------------------------

TWordListForm* ShowWordList(QMdiArea* Area, int Language, bool Alphabetical) {
    const TWordListMode Mode = Alphabetical ? TWordListMode::Alphabetical : TWordListMode::FrequencyOrder;
    if (QWidget* Open = RaiseMdiChild(Area, [Language, Mode](QWidget* Form) {
            auto* List = qobject_cast<TWordListForm*>(Form);
            return List && List->Language() == Language && List->Mode() == Mode;
        }))
        return static_cast<TWordListForm*>(Open);
    const int First = Language < 0 ? 0 : Language;
    const int Last = Language < 0 ? LanguagesCount - 1 : Language;
    if (First > Last || Last >= LanguagesCount) return nullptr;
    const TWaitScope Wait;
    for (int L = First; L <= Last; ++L)
        if (!GetCorpusFreqList(L, Alphabetical)) return nullptr;

    TWordListForm* Form = TWordListForm::CreateForList(Area, nullptr, Language, Mode);
    const std::string Title = WordListTitles[Alphabetical ? 1 : 0];
    std::vector<std::string> Labels;
    for (int L = First; L <= Last; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        if (Config.FreqList)
            Form->AddFreqList(L, Config.GetWordCount(), FrequencyConfigs[size_t(L)].MaximumLines,
                              *Config.FreqList);
        Labels.resize(size_t(L) + 1);
        Labels[size_t(L)] = Config.GetLanguageName();
    }
    Form->SetCaptions(Language < 0 ? Title + " - All"
                                   : Title + " - " + LanguageConfigs[size_t(Language)]->GetLanguageName(),
                      Labels);
    return Form;
}
