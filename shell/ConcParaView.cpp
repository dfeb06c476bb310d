#include "shell/ConcParaView.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

#include "controls/StringsView.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "shell/CorpusViewRules.h"

namespace {

constexpr int HandleWidth = 3;

}  // namespace

TParallelViewForm::TParallelViewForm(int FileIndex, QWidget* Parent) : TAppMessageForm(Parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Corpus Text Parallel View");
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    FSplitter = new QSplitter(Qt::Horizontal, this);
    FSplitter->setHandleWidth(HandleWidth);
    FSplitter->setChildrenCollapsible(false);
    Layout->addWidget(FSplitter);
    for (int L = 0; L < LanguagesCount; ++L) {
        auto* Column = new QWidget(FSplitter);
        auto* ColumnLayout = new QVBoxLayout(Column);
        ColumnLayout->setContentsMargins(0, 0, 0, 0);
        ColumnLayout->setSpacing(0);
        auto* Header = new QLabel(Column);
        Header->setFrameShape(QFrame::Panel);
        Header->setFrameShadow(QFrame::Raised);
        // A long path must not hold the column wider than the user or equal widths make it.
        Header->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        auto* View = new TStringsView(Column);
        View->SetTag(L);
        ColumnLayout->addWidget(Header);
        ColumnLayout->addWidget(View);
        FSplitter->addWidget(Column);
        FHeaders.push_back(Header);
        FViews.push_back(View);
        FFiles.push_back(FileIndex);
        View->OnTopIndexChanged = [this](TStringsView& Source) { TopIndexChanged(Source); };
    }
    BuildMenu();
    for (int L = 0; L < Languages(); ++L) {
        ApplyCorpusFont(*FViews[size_t(L)], L);
        FTexts.push_back(std::make_unique<TCorpusFileText>(*FViews[size_t(L)], L, FileIndex));
        SetHeader(L);
    }
    UpdateChecks();
    resize(640, 420);
}

TParallelViewForm::~TParallelViewForm() {
    ReleaseFiles();
}

void TParallelViewForm::SetHeader(int Language) {
    const TConcordConfig& Config = *LanguageConfigs[size_t(Language)];
    const int File = FFiles[size_t(Language)];
    const std::string Name =
        File < int(Config.Files.size()) ? Config.Files[size_t(File)].Name : std::string();
    FHeaders[size_t(Language)]->setText(QString::fromStdString(Config.GetLanguageName() + ": " + Name));
}

void TParallelViewForm::BuildMenu() {
    FMenu = new QMenu("Corpus &Text", this);
    FFontMenu = FMenu->addMenu("Change &Font");
    for (int L = 0; L < Languages(); ++L) {
        QAction* Item =
            FFontMenu->addAction(QString::fromStdString(LanguageConfigs[size_t(L)]->GetLanguageName()), this,
                                 [L] { ChooseConfigFont(CorpusFont, L); });
        Item->setData(L);
    }
    FMenu->addSeparator();
    FSuppressItems = AddSuppressMenu(FMenu, [this](int Option) { ToggleSuppress(Option); });
    FWordWrap = FMenu->addAction("&Word Wrap", this, [this] { ToggleWordWrap(); });
    FMenu->addSeparator();
    FEqualWidthsItem = FMenu->addAction("&Equal Widths", this, [this] { SetEqualWidths(!FEqualWidths); });
    FSynchronizeItem =
        FMenu->addAction("Synchronize &Texts", this, [this] { SetSynchronize(!FSynchronize); });
    for (QAction* Item : {FWordWrap, FEqualWidthsItem, FSynchronizeItem}) Item->setCheckable(true);
    connect(FMenu, &QMenu::aboutToShow, this, &TParallelViewForm::UpdateChecks);
}

QAction* TParallelViewForm::SuppressAction(int Option) const {
    return SuppressItemOf(FSuppressItems, Option);
}

void TParallelViewForm::UpdateChecks() {
    if (FViews.empty()) return;
    if (TCorpusFileText* First = FTexts.empty() ? nullptr : FTexts.front().get())
        CheckSuppressItems(FSuppressItems, First->Lines().Suppress);
    FWordWrap->setChecked(FViews.front()->WordWrap());
    FEqualWidthsItem->setChecked(FEqualWidths);
    FSynchronizeItem->setChecked(FSynchronize);
}

void TParallelViewForm::ToggleWordWrap() {
    if (FViews.empty()) return;
    const bool Wrap = !FViews.front()->WordWrap();
    for (TStringsView* View : FViews) View->SetWordWrap(Wrap);
    UpdateChecks();
}

void TParallelViewForm::ToggleSuppress(int Option) {
    if (FTexts.empty() || !FTexts.front()) return;
    TSuppressFlags Flags = FTexts.front()->Lines().Suppress;
    if (!ToggleSuppressOption(Flags, Option)) {
        UpdateChecks();
        return;
    }
    for (size_t L = 0; L < FTexts.size(); ++L) {
        if (!FTexts[L]) continue;
        FTexts[L]->Lines().Suppress = Flags;
        FViews[L]->UpdateView();
    }
    UpdateChecks();
}

void TParallelViewForm::SetEqualWidths(bool Value) {
    FEqualWidths = Value;
    ApplyEqualWidths();
    UpdateChecks();
}

void TParallelViewForm::SetSynchronize(bool Value) {
    FSynchronize = Value;
    UpdateChecks();
}

void TParallelViewForm::ApplyEqualWidths() {
    if (!FEqualWidths || FViews.empty()) return;
    const std::vector<int> Widths = EqualColumnWidths(FSplitter->width(), Languages(), HandleWidth);
    FSplitter->setSizes(QList<int>(Widths.begin(), Widths.end()));
}

void TParallelViewForm::resizeEvent(QResizeEvent* Event) {
    TAppMessageForm::resizeEvent(Event);
    ApplyEqualWidths();
}

// A column that has counted fewer lines stops at its last; the guard keeps the columns moved here from
// moving the others again.
void TParallelViewForm::TopIndexChanged(const TStringsView& Source) {
    if (!FSynchronize || FSynchronizing) return;
    FSynchronizing = true;
    for (TStringsView* View : FViews) {
        if (View == &Source || !View->Strings()) continue;
        const int Top = SyncedTopIndex(Source.TopIndex(), View->Strings()->GetCount());
        if (Top >= 0 && Top != View->TopIndex()) View->SetTopIndex(Top);
    }
    FSynchronizing = false;
}

std::vector<TAppMessageForm::TMergedMenu> TParallelViewForm::MergedMenus() const {
    return {{4, FMenu}};
}

// As for the corpus view: the files are let go before the sender may free their streams.
void TParallelViewForm::ReleaseFiles() {
    for (auto& Text : FTexts) Text.reset();
}

void TParallelViewForm::closeEvent(QCloseEvent* Event) {
    TAppMessageForm::closeEvent(Event);
    if (Event->isAccepted()) ReleaseFiles();
}

intptr_t TParallelViewForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    const int Language = int(WParam);
    if (Language < 0 || Language >= Languages()) return 0;
    int& Shown = FFiles[size_t(Language)];
    switch (Msg) {
        case CM_DROPFILE:
            switch (DropFileAction(Shown, int(LParam))) {
                case TDropAction::Close:
                    ReleaseFiles();
                    close();
                    break;
                case TDropAction::Lower:
                    --Shown;
                    break;
                case TDropAction::None:
                    break;
            }
            break;
        case CM_FILESEXCHANGED:
            if (const auto* Pair = reinterpret_cast<const TFilePair*>(LParam))
                Shown = ExchangedFileIndex(Shown, Pair->First, Pair->Second);
            break;
        case CM_FONTCHANGED:
            if (LParam == CorpusFont) ApplyCorpusFont(*FViews[size_t(Language)], Language);
            break;
        default:
            break;
    }
    return 0;
}

TParallelViewForm* ShowParallelView(QMdiArea* Area, int FileIndex) {
    auto* Form = new TParallelViewForm(FileIndex);
    ShowMdiChild(Area, Form);
    return Form;
}
