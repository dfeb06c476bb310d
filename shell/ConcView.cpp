#include "shell/ConcView.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include "controls/StringsView.h"
#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"

namespace {

TConcordConfig& ConfigOf(int Language) {
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[size_t(Language)])
        throw std::out_of_range("No language " + std::to_string(Language));
    return *LanguageConfigs[size_t(Language)];
}

}  // namespace

// ---- A view's file -----------------------------------------------------------------------------------

TCorpusFileText::TCorpusFileText(TStringsView& View, int Language, int FileIndex) : FView(View) {
    TConcordConfig& Config = ConfigOf(Language);
    if (FileIndex < 0 || FileIndex >= int(Config.Files.size()))
        throw std::out_of_range("No file " + std::to_string(FileIndex) + " in language " +
                                std::to_string(Language));
    TFileSynchroStream* Stream =
        size_t(FileIndex) < Config.Streams.size() ? Config.Streams[size_t(FileIndex)].get() : nullptr;
    if (!Stream) throw EConcError("Unable to open file: " + Config.Files[size_t(FileIndex)].Name + ".");
    FReader = std::make_unique<TBufStream>(*Stream, Language);
    ConfigureBufStream(*FReader);
    // Both reports come from the counting thread: each only wakes this object's thread, which drops
    // the wake when the object is gone, and one queued report stands for every line counted meanwhile.
    auto OnLine = [this] {
        if (!FReportQueued.exchange(true)) FLinesWake.Wake();
    };
    auto OnDone = [this] { FDoneWake.Wake(); };
    FLines = std::make_unique<TFileStrings>(*Stream, *FReader, OnLine, OnDone);
    FView.SetStrings(FLines.get());
}

TCorpusFileText::~TCorpusFileText() {
    if (FView.Strings() == FLines.get()) FView.SetStrings(nullptr);
    FLines.reset();
}

// The view rebuilds only where new lines can show (a page not yet full, or its end on screen); below a
// full page only its scroll range follows, so that lines counted further on can be scrolled to at once.
void TCorpusFileText::LinesCounted() {
    FReportQueued = false;
    if (FView.Strings() == FLines.get()) FView.ItemsChanged();
}

void TCorpusFileText::Finished() {
    FDone = true;
    LinesCounted();
}

bool SuppressFlagOf(const TSuppressFlags& Flags, int Option) {
    return Option == soTags ? Flags.HideTags : Option == soWords ? Flags.HideWords : Flags.HidePOSTags;
}

std::array<QAction*, 3> AddSuppressMenu(QMenu* Menu, const std::function<void(int Option)>& Toggle) {
    QMenu* Suppress = Menu->addMenu("&Suppress");
    std::array<QAction*, 3> Items{};
    for (size_t K = 0; K < CorpusSuppressItems.size(); ++K) {
        const int Option = CorpusSuppressItems[K].second;
        Items[K] =
            Suppress->addAction(CorpusSuppressItems[K].first, Suppress, [Toggle, Option] { Toggle(Option); });
        Items[K]->setCheckable(true);
    }
    return Items;
}

QAction* SuppressItemOf(const std::array<QAction*, 3>& Items, int Option) {
    for (size_t K = 0; K < CorpusSuppressItems.size(); ++K)
        if (CorpusSuppressItems[K].second == Option) return Items[K];
    return nullptr;
}

void CheckSuppressItems(const std::array<QAction*, 3>& Items, const TSuppressFlags& Flags) {
    for (size_t K = 0; K < CorpusSuppressItems.size(); ++K)
        Items[K]->setChecked(SuppressFlagOf(Flags, CorpusSuppressItems[K].second));
}

void ApplyCorpusFont(TStringsView& View, int Language) {
    const TConcordConfig& Config = ConfigOf(Language);
    View.SetCodePage(LangCodePage(Language));
    View.setFont(FontSpecToQFont(Config.Fonts[CorpusFont]));
    View.SetFonts({View.font()});
    View.UpdateView();
}

// ---- The corpus view ---------------------------------------------------------------------------------

TCorpusViewForm::TCorpusViewForm(int Language, const std::string& FileName, int FileIndex, QWidget* Parent)
    : TAppMessageForm(Parent), FLanguage(Language), FFileName(FileName) {
    setAttribute(Qt::WA_DeleteOnClose);
    const size_t Slash = FileName.rfind('/');
    const std::string Shown =
        ShowFullPathNames || Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    SetLiteralWindowTitle(this, "Corpus Text - " + Shown);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    FTextWindow = new TStringsView(this);
    FTextWindow->SetTag(Language);
    Layout->addWidget(FTextWindow);
    setFocusProxy(FTextWindow);

    FMenu = new QMenu("Corpus &Text", this);
    FMenu->addAction("Change &Font...", this, [this] { ChooseConfigFont(CorpusFont, FLanguage); });
    FMenu->addSeparator();
    FSuppressItems = AddSuppressMenu(FMenu, [this](int Option) { ToggleSuppress(Option); });
    FWordWrap = FMenu->addAction("Word W&rap", this, [this] { ToggleWordWrap(); });
    FWordWrap->setCheckable(true);

    ApplyCorpusFont(*FTextWindow, Language);
    FText = std::make_unique<TCorpusFileText>(*FTextWindow, Language, FileIndex);
    UpdateChecks();
    resize(600, 400);
}

TCorpusViewForm::~TCorpusViewForm() {
    ReleaseFile();
}

QAction* TCorpusViewForm::SuppressAction(int Option) const {
    return SuppressItemOf(FSuppressItems, Option);
}

void TCorpusViewForm::ToggleSuppress(int Option) {
    // A refused toggle still resets the check mark the menu flipped.
    if (FText && ToggleSuppressOption(FText->Lines().Suppress, Option)) FTextWindow->UpdateView();
    UpdateChecks();
}

void TCorpusViewForm::ToggleWordWrap() {
    FTextWindow->SetWordWrap(!FTextWindow->WordWrap());
    UpdateChecks();
}

void TCorpusViewForm::UpdateChecks() {
    if (FText) CheckSuppressItems(FSuppressItems, FText->Lines().Suppress);
    FWordWrap->setChecked(FTextWindow->WordWrap());
}

std::vector<TAppMessageForm::TMergedMenu> TCorpusViewForm::MergedMenus() const {
    return {{4, FMenu}};
}

// The file's stream may be freed right after a drop is announced, and a closed window lives on until
// its deferred deletion: the file is let go here and now, not in the destructor only.
void TCorpusViewForm::ReleaseFile() {
    FText.reset();
}

void TCorpusViewForm::closeEvent(QCloseEvent* Event) {
    TAppMessageForm::closeEvent(Event);
    if (Event->isAccepted()) ReleaseFile();
}

intptr_t TCorpusViewForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    if (WParam != FLanguage) return 0;
    if (Msg == CM_DROPFILE) {
        const auto& Files = ConfigOf(FLanguage).Files;
        if (LParam >= 0 && LParam < intptr_t(Files.size()) && Files[size_t(LParam)].Name == FFileName) {
            ReleaseFile();
            close();
        }
    } else if (Msg == CM_FONTCHANGED && LParam == CorpusFont) {
        ApplyCorpusFont(*FTextWindow, FLanguage);
    }
    return 0;
}

TCorpusViewForm* ShowCorpusText(QMdiArea* Area, const std::string& FileName, int Language) {
    const auto& Files = ConfigOf(Language).Files;
    for (size_t Index = 0; Index < Files.size(); ++Index) {
        if (Files[Index].Name != FileName) continue;
        auto* Form = new TCorpusViewForm(Language, FileName, int(Index));
        ShowMdiChild(Area, Form);
        return Form;
    }
    return nullptr;
}

bool IsCorpusViewOf(QWidget* Child, int Language, const std::string& FileName) {
    const auto* Form = qobject_cast<TCorpusViewForm*>(Child);
    return Form && Form->Language() == Language && Form->FileName() == FileName && Form->Text();
}
