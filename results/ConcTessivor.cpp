#include "results/ConcTessivor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <set>

#include "engine/ConcFreqList.h"
#include "engine/ConcSearch.h"
#include "engine/ConcUtils.h"
#include "platform/Memory.h"
#include "platform/Nls.h"
#include "results/ConcDistrib.h"
#include "results/ConcHitInfo.h"
#include "results/ConcMatchInfo.h"
#include "results/ConcParaContext.h"
#include "ui/ConcProgress.h"

// ---- Rules ----------------------------------------------------------------------------------------------

namespace {

constexpr int SplitterWidth = 3;
constexpr TColor LabelColour = clBlue;
constexpr TColor CollocateYellow = 0x00FFFF;
// What panel 0 must hold at its widest.
constexpr const char* MatchPanelSample = "W WWWWWWW matches W";
// The lines each pane of a new window shows at least, where the room allows.
constexpr int ReadableLines = 4;

}  // namespace

int PaneHeight(int ClientHeight, int LanguageCount) {
    if (LanguageCount <= 0) return 0;
    return (ClientHeight - SplitterWidth * (LanguageCount - 1)) / LanguageCount;
}

TSearchEnd SearchEndOf(const TSearch& Search, int32_t MaxHits) {
    // The search sets Cancelled itself as its MaxHits-th hit is reported.
    if (MaxHits > 0 && Search.ReportedCount >= MaxHits) return TSearchEnd::Capped;
    return Search.Cancelled ? TSearchEnd::Cancelled : TSearchEnd::Complete;
}

TSearchEnd JoinSearchEnds(TSearchEnd First, TSearchEnd Second) {
    return std::max(First, Second);
}

std::string SearchEndText(TSearchEnd End, int32_t MaxHits) {
    switch (End) {
        case TSearchEnd::Capped:
            return "stopped at the maximum of " + std::to_string(MaxHits) +
                   " hits - raise Max Search Hits in Search > Search Options...";
        case TSearchEnd::Cancelled:
            return "search cancelled - not every hit is listed";
        default:
            return "";
    }
}

std::string MatchCountText(int Count, TSearchEnd End) {
    std::string Text = Count == 0   ? "No matches"
                       : Count == 1 ? "1 match"
                                    : std::to_string(Count) + " matches";
    if (End == TSearchEnd::Capped) Text += " (maximum)";
    if (End == TSearchEnd::Cancelled) Text += " (cancelled)";
    return Text;
}

std::string QueryDescriptionShort(const TConcSearchRec& Record) {
    std::vector<std::string> Parts;
    if (Record.Syntax > 0 && Record.Syntax < 3) Parts.emplace_back(SyntaxNames[Record.Syntax]);
    if (Record.Flags & sfMatchCase) Parts.emplace_back("Match case");
    if (Record.FrequencyOfHits > 1)
        Parts.push_back("Freq. of hits: " + std::to_string(Record.FrequencyOfHits));
    if (Record.Flags & sfSentenceMode) Parts.emplace_back("Sent. mode");
    if (Record.Flags & sfSkipEqual) {
        Parts.push_back("Skipping characters: " + Record.SkippingChars);
        if (!Record.EqualChars.empty()) Parts.push_back("Equal characters: " + Record.EqualChars);
    }
    if (Record.Flags & sfHeading) Parts.push_back("Heading match: " + Record.HeadingPattern);
    if (Record.Flags & sfContext) {
        if (!Record.LeftContext.empty()) Parts.push_back("Left context: " + Record.LeftContext);
        if (!Record.RightContext.empty()) Parts.push_back("Right context: " + Record.RightContext);
    }
    std::string Text;
    for (const std::string& Part : Parts) Text += (Text.empty() ? "" : ", ") + Part;
    return Text;
}

std::string ConcordanceCaption(const TConcordanceCaptionInputs& In) {
    const auto Described = [](const std::string& Description) {
        return Description.empty() ? std::string() : " (" + Description + ")";
    };
    std::string Caption = "Parallel Concordance - [" + In.QueryText + "]" + Described(In.Description);
    for (const TCaptionQuery& Other : In.Others)
        Caption += " + " + std::string(Other.Not ? "NOT " : "") + Other.Language + ": [" + Other.Text + "]" +
                   Described(Other.Description);
    if (!In.EndText.empty()) Caption += " - " + In.EndText;
    return Caption;
}

std::array<int, 2> ConcordanceWindowSize(int RoomWidth, int RoomHeight, int NeedWidth, int NeedHeight) {
    const auto Side = [](int Room, int Least, int Need) {
        return std::max(std::min(std::max({Room * 3 / 4, Least, Need}), Room), 0);
    };
    return {Side(RoomWidth, 532, NeedWidth), Side(RoomHeight, 412, NeedHeight)};
}

std::string QueryPanelText(const std::string& QueryText) {
    return " Strings matching: " + QueryText;
}

std::string SortKeyCaption(uint8_t Key) {
    switch (Key & 0x7F) {
        case skSearchTerm:
            return "Search word";
        case sk2L:
            return "2nd left";
        case sk1L:
            return "1st left";
        case sk1R:
            return "1st right";
        case sk2R:
            return "2nd right";
        case skOriginalOrder:
            return "Original text order";
        default:
            return "";
    }
}

std::string SortCaption(const TSortCaptionInputs& In, const std::function<std::string(int)>& LanguageName) {
    if (In.Undefined) return "Undefined";
    if (In.PrimaryCount == 0) return "";
    if (In.SortedLanguage < 0) return LanguageName(In.PrimaryLanguage) + " - Original text order";
    const auto& K = In.Sort.Keys;
    const bool Reversed =
        std::any_of(K.begin(), K.end(), [](const TAdvancedSortColItem& I) { return I.Reverse; });
    std::string Order = "Advanced sort";
    if (!In.Advanced && K[2].Key == skNone && !Reversed) {
        Order = SortKeyCaption(K[0].Key);
        const std::string Second = SortKeyCaption(K[1].Key);
        if (!Second.empty()) Order += ", " + Second;
    }
    return LanguageName(In.SortedLanguage) + " - " + Order;
}

std::string LineLabelText(int Row, uint8_t Letter, bool ShowLineNumbers) {
    const std::string Number = std::to_string(Row + 1);
    if (Letter != NoLetter) {
        const std::string L(1, char(Letter));
        return ShowLineNumbers ? Number + " " + L + " " : L + " ";
    }
    return ShowLineNumbers ? Number + "   " : "";
}

std::string SearchWithinStatusText(const std::string& LineStatus, int Matched, int Lines) {
    return LineStatus + " (" + std::to_string(Matched) + " of " + std::to_string(Lines) + " lines matched)";
}

int LabelColumnChars(int LineCount, bool HasLetters) {
    return int(std::to_string(std::max(LineCount, 0)).size()) + (HasLetters ? 1 : 0) + 2;
}

bool FontChangeApplies(int Kind) {
    return Kind == NormalFont || Kind == HiliteFont || Kind == CollocatesFont || Kind >= FrequencyFont;
}

std::array<int, 3> StatusPanelWidths(int ClientWidth, int Panel0Width) {
    const int Rest = ClientWidth - Panel0Width;
    const int Half = int(std::nearbyint(Rest * 0.5));
    return {Panel0Width, Half, Rest - Half};
}

std::array<int, 3> FittedStatusPanelWidths(int ClientWidth, int Panel0Width, int Need1, int Need2) {
    std::array<int, 3> W = StatusPanelWidths(ClientWidth, Panel0Width);
    if (Need1 > W[1] && Need2 < W[2]) {
        const int Moved = std::min(Need1 - W[1], W[2] - Need2);
        W[1] += Moved;
        W[2] -= Moved;
    } else if (Need2 > W[2] && Need1 < W[1]) {
        const int Moved = std::min(Need2 - W[2], W[1] - Need1);
        W[2] += Moved;
        W[1] -= Moved;
    }
    return W;
}

int StatusPanelsRoom(int WindowWidth) {
    // Panels as wide as the window would overlap by the bar's own margin and gaps, and a text that fills
    // its panel would run into the next one's.
    return std::max(WindowWidth - 2 - 6 * 2, 0);
}

// Below this many rows freed at once, what the allocator keeps is not worth a walk over the heap.
constexpr int64_t ReleaseAfterRows = 65536;

bool ContextTypeWraps(uint8_t ContextType) {
    return ContextType >= ctxLines;
}

void DropRows(const std::vector<TConcordItems*>& Lists, const std::vector<bool>& Drop) {
    if (Lists.empty()) return;
    // The sequence numbers of the lines that go, read from the first list, close up in every list.
    TGoneSequences Gone;
    const int32_t Rows = std::min<int32_t>(Lists.front()->Count(), int32_t(Drop.size()));
    for (int32_t R = 0; R < Rows; ++R)
        if (Drop[size_t(R)]) Gone.Add(Lists.front()->RowInfo(R).Sequence);
    int64_t Freed = 0;
    for (TConcordItems* List : Lists) {
        Freed += List->DeleteRows(Drop);
        List->CloseSequenceGaps(Gone);
    }
    // Millions of rows freed at once stay with the process otherwise, long after the delete.
    if (Freed >= ReleaseAfterRows) platform::ReleaseFreeMemory();
}

bool FilesExchangeCloses(const TConcordItems& List, const TFilePair& Pair) {
    const int32_t Lower = std::min(Pair.First, Pair.Second);
    for (int32_t R = 0; R < List.Count(); ++R)
        if (List.RowInfo(R).FileIndex >= Lower) return true;
    return false;
}

// ---- The window -----------------------------------------------------------------------------------------

namespace {

int LanguageCodePage(int Language) {
    const auto& Config = LanguageConfigs[size_t(Language)];
    return Config ? platform::AnsiCodePage(Config->LocaleId) : platform::SystemCodePage();
}

std::string LanguageName(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[size_t(Language)]) return "";
    return LanguageConfigs[size_t(Language)]->GetLanguageName();
}

// Text of a language (code-page bytes) as a QString.
QString LanguageText(int Language, const std::string& Text) {
    return QString::fromStdU16String(platform::CodePageToUtf16(LanguageCodePage(Language), Text));
}

// Sets Flag for the life of the object.
class TGuard {
public:
    explicit TGuard(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TGuard() { FFlag = false; }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;

private:
    bool& FFlag;
};

}  // namespace

TTessivorForm::TTessivorForm(QWidget* Parent) : TAppMessageForm(Parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    resize(532, 412);
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L) {
        Lists[size_t(L)] = std::make_unique<TConcordItems>(L);
        ChosenHotWords[size_t(L)] = std::make_unique<TFreqList>(L);
        HighlightCollocates[size_t(L)] = true;
        HotWordsOptions[size_t(L)] = LanguageHotWordsOptions(L);
    }
    WindowTranslationPasses = TranslationPasses;
    WindowHotWordsConfig = HotWordsConfig;
    InitSortColOptions(SortRecord);

    auto* Box = new QVBoxLayout(this);
    Box->setContentsMargins(0, 0, 0, 0);
    Box->setSpacing(0);
    FStatusBar = new QStatusBar(this);
    FStatusBar->setSizeGripEnabled(false);
    // Its panels are sized from the window's width on every resize; their sum must not become the
    // least width of the window, or the window could never be made narrower again.
    FStatusBar->setSizePolicy(QSizePolicy::Ignored, FStatusBar->sizePolicy().verticalPolicy());
    const Qt::Alignment Alignments[3] = {Qt::AlignCenter, Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter};
    for (size_t I = 0; I < FPanels.size(); ++I) {
        FPanels[I] = new TElidingLabel(FStatusBar);
        FPanels[I]->setAlignment(Alignments[I]);
        FPanels[I]->setFixedWidth(50);
        FStatusBar->addWidget(FPanels[I]);
    }
    Box->addStretch(1);
    Box->addWidget(FStatusBar);
    FDisplayMenu = new QMenu("&Display", this);
    FSortMenu = new QMenu("S&ort", this);
    FPopupMenu = new QMenu(this);
    BuildCommandMenus();
    LayoutStatusBar();
}

TTessivorForm::~TTessivorForm() {
    MarkClosing();
    // The larger-context windows hold items of the lists: they go before the lists do.
    CloseContextWindows(nullptr);
    DetachViews();
    delete FSplitter;
    FSplitter = nullptr;
    Views.fill(nullptr);
    PrimaryView = nullptr;
    if (Distribution) Distribution->deleteLater();
    Distribution = nullptr;
    int64_t Rows = 0;
    for (size_t L = 0; L < MaxLanguages; ++L) {
        if (Lists[L]) Rows += Lists[L]->Count();
        Adapters[L].reset();
        Lists[L].reset();
        if (ChosenHotWords[L]) ChosenHotWords[L]->Clear();
        ChosenHotWords[L].reset();
        HotWordLists[L].reset();
        TranslationLists[L].reset();
        Records[L].reset();
    }
    // The rows of a large search are gone: the memory goes back to the system, not just to the heap.
    if (Rows >= ReleaseAfterRows) platform::ReleaseFreeMemory();
    BroadcastToChildren(CM_CONCORDCLOSED, reinterpret_cast<intptr_t>(this), 0);
}

// A list grows by doubling: the blocks it left, as large as all its rows together, stay with the
// process as free heap (5 MB of a search of 262,519 lines in two languages, 20 bytes a line).
void TTessivorForm::ReleaseSearchSlack(int32_t RowsBefore) {
    if (Lists[size_t(PrimaryLanguage)]->Count() - RowsBefore >= ReleaseAfterRows)
        platform::ReleaseFreeMemory();
}

void TTessivorForm::DetachViews() {
    const TGuard ItemGuard(FItemChanging), SelectionGuard(FSelecting);
    for (TStringsView* V : Views) {
        if (!V) continue;
        V->OnEnter = nullptr;
        V->OnExit = nullptr;
        V->SetStrings(nullptr);
    }
}

TStringsView* TTessivorForm::CreatePane(int Language) {
    auto* V = new TStringsView;
    V->SetTag(Language);
    V->SetCodePage(LanguageCodePage(Language));
    V->SetEnableSelect(true);
    V->SetMultiSelect(true);
    V->SetExtendedSelect(true);
    V->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(V, &QWidget::customContextMenuRequested, this, [this, V](const QPoint& P) { PopupAt(V, P); });
    V->OnFormatItem = [this, Language](TStringsView&, int Row, std::string& Text, TSVFormatArray& Format,
                                       TSVLabelInfo& Label) {
        FormatLine(Language, Row, Text, Format, Label);
    };
    V->OnItemChanged = [this](TStringsView& View) { ItemChanged(View); };
    V->OnItemSelection = [this](TStringsView& View, bool Selected, int Row) {
        ItemSelection(View, Selected, Row);
    };
    V->OnEnter = [this](TStringsView& View) { FocusEntered(View); };
    V->OnExit = [](TStringsView&) { PostStatusText(""); };
    V->OnDblClick = [this](TStringsView& View) { OpenLargerContext(View.Tag(), View.ItemIndex()); };
    V->installEventFilter(this);
    Views[size_t(Language)] = V;
    return V;
}

void TTessivorForm::BuildPanels() {
    TConcordItems& Primary = *Lists[size_t(PrimaryLanguage)];
    if (CommonConfig) {
        Primary.Display.ContextType = CommonConfig->ContextType;
        Primary.Display.ContextSizes = CommonConfig->ContextSizes;
    }
    FSplitter = new QSplitter(Qt::Vertical, this);
    FSplitter->setHandleWidth(SplitterWidth);
    FSplitter->setChildrenCollapsible(false);
    FSecondaryPanel = new QSplitter(Qt::Vertical);
    FSecondaryPanel->setHandleWidth(SplitterWidth);
    FSecondaryPanel->setChildrenCollapsible(false);
    for (int L = 0; L < LanguageCount; ++L) {
        TStringsView* V = CreatePane(L);
        if (L == PrimaryLanguage) {
            Adapters[size_t(L)] = std::make_unique<TConcordStrings>(*Lists[size_t(L)]);
            V->SetAlignment(svaCenter);
            PrimaryView = V;
        } else {
            Adapters[size_t(L)] = std::make_unique<TTessivorordStrings>(*Lists[size_t(L)], L);
            FSecondaryPanel->addWidget(V);
        }
        V->SetStrings(Adapters[size_t(L)].get());
        ApplyFonts(L);
    }
    FSplitter->addWidget(PrimaryView);
    FSplitter->addWidget(FSecondaryPanel);
    FSecondaryPanel->setVisible(LanguageCount > 1);
    auto* Box = static_cast<QVBoxLayout*>(layout());
    delete Box->takeAt(0);  // the stretch that held the place
    Box->insertWidget(0, FSplitter, 1);
    LayoutPanes();
    PrimaryView->setFocus();
    SetDisplayMode(PrimaryLanguage);
    UpdateSortCaption();
}

void TTessivorForm::LayoutPanes() {
    if (!FSplitter || LanguageCount <= 0) return;
    // Both on building and on resizing every pane gets the same share.
    const int Client = std::max(height() - FStatusBar->sizeHint().height(), 0);
    const int H = PaneHeight(Client, LanguageCount);
    if (LanguageCount == 1) return;
    const int Rest = Client - H - SplitterWidth;
    FSplitter->setSizes({H, Rest});
    const int Secondary = PaneHeight(Rest, LanguageCount - 1);
    FSecondaryPanel->setSizes(QList<int>(LanguageCount - 1, Secondary));
}

void TTessivorForm::resizeEvent(QResizeEvent* Event) {
    TAppMessageForm::resizeEvent(Event);
    LayoutStatusBar();
    LayoutPanes();
}

bool TTessivorForm::eventFilter(QObject* Watched, QEvent* Event) {
    // Enter on a line does what a double click on it does.
    if (Event->type() == QEvent::KeyPress) {
        const auto* Key = static_cast<QKeyEvent*>(Event);
        const bool Enter = Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter;
        for (int L = 0; Enter && L < LanguageCount; ++L) {
            if (Views[size_t(L)] != Watched) continue;
            OpenLargerContext(L, Views[size_t(L)]->ItemIndex());
            return true;
        }
    }
    // A pane created narrow refused its label column; it takes it once it is wide enough.
    if (Event->type() == QEvent::Resize) {
        for (int L = 0; L < LanguageCount; ++L)
            if (Views[size_t(L)] == Watched) UpdateLabel(L);
    }
    return TAppMessageForm::eventFilter(Watched, Event);
}

void TTessivorForm::LayoutStatusBar() {
    const int Panel0 = std::max(QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(MatchPanelSample)),
                                FPanels[0]->FullTextWidth());
    const std::array<int, 3> W = FittedStatusPanelWidths(
        StatusPanelsRoom(width()), Panel0, FPanels[1]->FullTextWidth(), FPanels[2]->FullTextWidth());
    for (size_t I = 0; I < FPanels.size(); ++I) FPanels[I]->setFixedWidth(std::max(W[I], 0));
}

// ---- Texts ----------------------------------------------------------------------------------------------

std::string TTessivorForm::GetQueryText(int Language) const {
    if (Language < 0 || Language >= MaxLanguages || !Lists[size_t(Language)]) return "";
    const TConcordItems& List = *Lists[size_t(Language)];
    if (Language != PrimaryLanguage && !List.QueryHitsPresent) {
        bool OwnHits = false;
        for (int32_t R = 0; R < List.Count() && !OwnHits; ++R) OwnHits = List.RowInfo(R).HitState != 0;
        if (!OwnHits) return "N/A";
        std::string Words;
        const TFreqList* Chosen = ChosenHotWords[size_t(Language)].get();
        for (int32_t I = 0; Chosen && I < Chosen->Count(); ++I)
            Words += (I > 0 ? " / " : "") + Chosen->GetItem(I)->Word;
        return Words;
    }
    const auto& Record = Records[size_t(Language)];
    return Record && !Record->Names.empty() ? Record->Names.front() : "";
}

void TTessivorForm::UpdateCaption() {
    const auto Utf8 = [](int Language, const std::string& Text) {
        return LanguageText(Language, Text).toStdString();
    };
    TConcordanceCaptionInputs In;
    In.QueryText = Utf8(PrimaryLanguage, QueryText);
    if (const auto& Primary = Records[size_t(PrimaryLanguage)])
        In.Description = Utf8(PrimaryLanguage, QueryDescriptionShort(*Primary));
    for (int L = 0; ParallelQueries && L < LanguageCount; ++L) {
        const auto& Record = Records[size_t(L)];
        if (L == PrimaryLanguage || !Record || Record->Names.empty()) continue;
        In.Others.push_back({LanguageName(L), Utf8(L, Record->Names.front()),
                             Utf8(L, QueryDescriptionShort(*Record)), Record->Not});
    }
    In.EndText = SearchEndText(SearchEnd, SearchEndMaximum);
    SetLiteralWindowTitle(this, ConcordanceCaption(In));
}

void TTessivorForm::SizeForArea(const QMdiArea* Area) {
    if (!Area) return;
    // What the sub-window will add around the form: its title bar and frame.
    const QStyle* Style = Area->style();
    const int Frame = Style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, Area);
    const QSize Room =
        Area->viewport()->size() -
        QSize(2 * Frame, 2 * Frame + Style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, Area));
    // The widest sort caption a pane's language can give, and the query panel as it will read.
    int Sort = 0;
    for (int L = 0; L < LanguageCount; ++L)
        for (const char* Order : {"Original text order", "Search word, 2nd right", "Advanced sort"})
            Sort = std::max(Sort,
                            FPanels[1]->TextWidth(QString::fromStdString(LanguageName(L) + " - " + Order)));
    const int Query = FPanels[2]->TextWidth(LanguageText(PrimaryLanguage, QueryPanelText(QueryText)));
    const int Match = QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(MatchPanelSample));
    const int NeedWidth = width() - StatusPanelsRoom(width()) + Match + Sort + Query;
    // A few lines of each pane in its own font, the splitters between them, and the status bar.
    int NeedHeight = FStatusBar->sizeHint().height() + SplitterWidth * std::max(LanguageCount - 1, 0);
    for (int L = 0; L < LanguageCount; ++L)
        if (Views[size_t(L)]) NeedHeight += ReadableLines * Views[size_t(L)]->fontMetrics().lineSpacing() + 4;
    const std::array<int, 2> Size = ConcordanceWindowSize(Room.width(), Room.height(), NeedWidth, NeedHeight);
    resize(Size[0], Size[1]);
}

void TTessivorForm::UpdateMatchCount() {
    const TConcordItems* Primary = Lists[size_t(PrimaryLanguage)].get();
    FPanels[0]->SetFullText(
        QString::fromStdString(MatchCountText(Primary ? Primary->Count() : 0, SearchEnd)));
    // The short mark says that the list is partial; the tooltip says why, and what to do.
    FPanels[0]->setToolTip(QString::fromStdString(SearchEndText(SearchEnd, SearchEndMaximum)));
    // The sort menu shows only while there are lines to sort.
    UpdateCommands(CommandLanguage());
}

void TTessivorForm::UpdateSortCaption() {
    TSortCaptionInputs In;
    In.Undefined = SortUndefined;
    In.PrimaryCount = Lists[size_t(PrimaryLanguage)] ? Lists[size_t(PrimaryLanguage)]->Count() : 0;
    In.SortedLanguage = SortedLanguage;
    In.PrimaryLanguage = PrimaryLanguage;
    In.Advanced = AdvancedSort;
    In.Sort = SortRecord;
    FPanels[1]->SetFullText(QString::fromStdString(SortCaption(In, LanguageName)));
    LayoutStatusBar();
}

void TTessivorForm::UpdateQueryPanel() {
    FPanels[2]->SetFullText(LanguageText(PrimaryLanguage, QueryPanelText(QueryText)));
    LayoutStatusBar();
}

// ---- Panes ----------------------------------------------------------------------------------------------

int TTessivorForm::FocusedLanguage() const {
    auto* V = qobject_cast<TStringsView*>(QApplication::focusWidget());
    if (!V) return -1;
    for (int L = 0; L < LanguageCount; ++L)
        if (Views[size_t(L)] == V) return V->Tag();
    return -1;
}

void TTessivorForm::OpenLargerContext(int Language, int Row) {
    const TConcordItems& List = *Lists[size_t(Language)];
    if (Row < 0 || Row >= List.Count()) return;
    TSuppressFlags Flags;
    Flags.HideTags = List.Display.SuppressNormalTags;
    Flags.HidePOSTags = List.Display.SuppressPOSTags;
    Flags.HideWords = List.Display.SuppressWords;
    ShowLargerContext(List.GetItem(Row), this, PackSuppressFlags(Flags));
}

void TTessivorForm::ShowFocusedInfo() {
    if (const TConcordItem* Item = CommandItem(); Item && Item->IsFilled()) ShowMatchInfo(*Item);
}

TConcordItem* TTessivorForm::FocusedItem() const {
    const int L = FocusedLanguage();
    if (L < 0) return nullptr;
    const int Row = Views[size_t(L)]->ItemIndex();
    const TConcordItems& List = *Lists[size_t(L)];
    return Row >= 0 && Row < List.Count() ? List.GetItem(Row) : nullptr;
}

void TTessivorForm::Redraw(int Language) {
    if (Shows(Language)) Views[size_t(Language)]->UpdateView();
}

void TTessivorForm::SetDisplayMode(int Language) {
    if (!Shows(Language)) return;
    TStringsView* V = Views[size_t(Language)];
    if (ContextTypeWraps(Lists[size_t(Language)]->Display.ContextType)) {
        V->SetWordWrap(WordWrap[size_t(Language)]);
        V->SetAlignment(svaLeft);
    } else {
        V->SetWordWrap(false);
        V->SetAlignment(svaCenter);
    }
    Redraw(Language);
}

void TTessivorForm::ApplyFonts(int Language) {
    if (!Shows(Language) || !LanguageConfigs[size_t(Language)]) return;
    const auto& Fonts = LanguageConfigs[size_t(Language)]->Fonts;
    TStringsView* V = Views[size_t(Language)];
    // The collocate font is in the set too: collocate runs use it, and a larger one must not be clipped.
    V->SetFonts({FontSpecToQFont(Fonts[NormalFont]), FontSpecToQFont(Fonts[HiliteFont]),
                 FontSpecToQFont(Fonts[CollocatesFont]), FontSpecToQFont(Fonts[HotWordsFont])});
    V->setFont(FontSpecToQFont(Fonts[NormalFont]));
    QPalette P = V->palette();
    P.setColor(QPalette::Text, ColorRefToQColor(Fonts[NormalFont].Color));
    V->setPalette(P);
    TConcordItems& List = *Lists[size_t(Language)];
    List.HitColour = Fonts[HiliteFont].Color;
    List.CollocColour = Fonts[CollocatesFont].Color;
    Redraw(Language);
}

void TTessivorForm::FormatLine(int Language, int Row, std::string& Text, TSVFormatArray& Format,
                               TSVLabelInfo& Label) {
    TConcordItems& List = *Lists[size_t(Language)];
    if (Row < 0 || Row >= List.Count()) return;
    // The adapter builds the line and, for a row with a hit of its own, leaves its runs in the item.
    Text = Adapters[size_t(Language)]->Get(Row);
    // Read without making a passage row an item: every line drawn would otherwise become one.
    const TRowInfo Info = List.RowInfo(Row);
    if (Info.Filled) Format = List.FindItem(Row)->Runs();
    if (Info.Letter != NoLetter || ShowLineNumbers) {
        Label.Text = LineLabelText(Row, Info.Letter, ShowLineNumbers);
        Label.Font.Colour = LabelColour;
    }
}

void TTessivorForm::UpdateLabel(int Language) {
    if (!Shows(Language)) return;
    const TConcordItems& List = *Lists[size_t(Language)];
    bool Letters = false;
    for (int32_t R = 0; R < List.Count() && !Letters; ++R) Letters = List.RowInfo(R).Letter != NoLetter;
    TStringsView* V = Views[size_t(Language)];
    V->SetShowLabels(ShowLineNumbers || Letters);
    V->SetLabelWidth(LabelColumnChars(List.Count(), Letters) * V->CharWidth());
    V->UpdateView();
}

void TTessivorForm::UpdateLabels() {
    for (int L = 0; L < LanguageCount; ++L) UpdateLabel(L);
}

std::string TTessivorForm::FocusedStatusText(int Language) const {
    if (!Shows(Language)) return "";
    const TConcordItems& List = *Lists[size_t(Language)];
    const int Row = Views[size_t(Language)]->ItemIndex();
    return ItemStatusText(Language, Row >= 0 && Row < List.Count() ? List.GetItem(Row) : nullptr);
}

void TTessivorForm::PostFocusedStatus(int Language) {
    FHeldStatus.clear();
    if (Shows(Language)) PostStatusText(FocusedStatusText(Language));
}

void TTessivorForm::HoldStatus(const std::string& Text) {
    FHeldStatus = Text;
    PostStatusText(Text);
}

void TTessivorForm::ItemChanged(TStringsView& View) {
    if (FItemChanging) return;
    {
        const TGuard Guard(FItemChanging);
        // The selection reaches the other panes by its own events; here only the focus follows, so that
        // a pane moving its focus within a selection leaves the others' selections whole too.
        for (TStringsView* V : Views)
            if (V && V != &View) V->MoveFocus(View.ItemIndex());
    }
    PostFocusedStatus(View.Tag());
}

void TTessivorForm::ItemSelection(TStringsView& View, bool Selected, int Row) {
    if (FSelecting) return;
    const TGuard Guard(FSelecting);
    for (TStringsView* V : Views)
        if (V && V != &View) V->SetSelected(Row, Selected);
}

TTessivorForm::TLineMarks TTessivorForm::ReadLineMarks(int Language) const {
    TLineMarks Marks;
    const TConcordItems& List = *Lists[size_t(Language)];
    const TStringsView& View = *Views[size_t(Language)];
    // Sequence numbers are dense (0 .. Count - 1) and the same in every pane: they name the lines.
    Marks.Selected.assign(size_t(List.Count()), false);
    for (const int32_t Row : View.SelectedItems())
        if (Row >= 0 && Row < List.Count())
            if (const int32_t Sequence = List.RowInfo(Row).Sequence; Sequence >= 0 && Sequence < List.Count())
                Marks.Selected[size_t(Sequence)] = true;
    if (const int Row = View.ItemIndex(); Row >= 0 && Row < List.Count())
        Marks.Current = List.RowInfo(Row).Sequence;
    return Marks;
}

void TTessivorForm::PutLineMarks(const TLineMarks& Marks) {
    const TConcordItems& List = *Lists[size_t(PrimaryLanguage)];
    std::vector<int32_t> Selected;
    int32_t Current = -1;
    for (int32_t Row = 0; Row < List.Count(); ++Row) {
        const int32_t Sequence = List.RowInfo(Row).Sequence;
        if (Sequence >= 0 && size_t(Sequence) < Marks.Selected.size() && Marks.Selected[size_t(Sequence)])
            Selected.push_back(Row);
        if (Sequence == Marks.Current) Current = Row;
    }
    // Every pane is set alike here: the guards keep the panes from echoing it to each other.
    const TGuard ItemGuard(FItemChanging), SelectionGuard(FSelecting);
    for (TStringsView* V : Views) {
        if (!V) continue;
        V->ClearSelection();
        if (Current >= 0) V->MoveFocus(Current);
        for (const int32_t Row : Selected) V->SetSelected(Row, true);
    }
}

void TTessivorForm::FocusEntered(TStringsView& View) {
    FLastFocused = View.Tag();
    // The focus coming back (after a dialog, from another window) is no action of the user's: what the
    // last command said stays.
    if (!FHeldStatus.empty())
        PostStatusText(FHeldStatus);
    else
        PostFocusedStatus(View.Tag());
    UpdateCommands(View.Tag());
}

bool TTessivorForm::event(QEvent* Event) {
    const bool Handled = TAppMessageForm::event(Event);
    if (Event->type() == QEvent::WindowActivate) {
        const int L = FocusedLanguage();
        if (L >= 0) FocusEntered(*Views[size_t(L)]);
    }
    return Handled;
}

void TTessivorForm::closeEvent(QCloseEvent* Event) {
    // A search's callbacks, or a command pumping events, use this window's lists until they return. A
    // count of another window over its hits is cancelled, and the window closes once it has stopped.
    if (Busy()) {
        if (FCounting > 0 && !FSearching) {
            FCloseWhenIdle = true;
            if (ProgressForm) ProgressForm->Tag = 1;
        }
        Event->ignore();
        return;
    }
    TAppMessageForm::closeEvent(Event);
    PostStatusText("");
    DetachViews();
}

// ---- Lists ----------------------------------------------------------------------------------------------

void TTessivorForm::HighlightOff(int Language) {
    if (!Shows(Language)) return;
    HighlightCollocates[size_t(Language)] = false;
    TConcordItems& List = *Lists[size_t(Language)];
    List.SetHighlightCollocates(false);
    List.FreeCollocateLists();
    Redraw(Language);
    UpdateCommands(Language);
}

void TTessivorForm::ResetSort() {
    for (auto& List : Lists)
        if (List) List->ClearSortStrings();
    InitSortColOptions(SortRecord);
}

std::set<const TConcordItem*> TTessivorForm::ContextWindowItems() const {
    std::set<const TConcordItem*> Items;
    for (QWidget* W : QApplication::allWidgets())
        if (auto* Context = qobject_cast<TParaContextForm*>(W); Context && Context->Owner() == this)
            Items.insert(Context->Item());
    return Items;
}

void TTessivorForm::CloseContextWindowsWhere(const std::function<bool(const TConcordItem*)>& Matches) {
    // Freeing one window frees its own top-level children (menus) too: hold the others weakly. Not
    // through the MDI area's list: when this window goes with its sub-window, that sub-window is still
    // listed there half destroyed, no longer usable as a sub-window.
    std::vector<QPointer<TParaContextForm>> Windows;
    for (QWidget* W : QApplication::allWidgets())
        if (auto* Context = qobject_cast<TParaContextForm*>(W)) Windows.push_back(Context);
    for (const QPointer<TParaContextForm>& Context : Windows) {
        if (!Context || Context->Owner() != this || !Matches(Context->Item())) continue;
        if (auto* Sub = qobject_cast<QMdiSubWindow*>(Context->parentWidget()))
            delete Sub;
        else
            delete Context.data();
    }
}

void TTessivorForm::CloseContextWindows(const TConcordItem* Item) {
    CloseContextWindowsWhere([Item](const TConcordItem* Of) { return !Item || Of == Item; });
}

void TTessivorForm::RefreshDistribution() {
    if (!Distribution) return;
    Distribution->HandleAppMessage(CM_DISTRIBREFRESH, 0, 0);
    DescribeDistribution();
}

void TTessivorForm::DescribeDistribution() {
    if (auto* Chart = qobject_cast<TDistributionForm*>(Distribution.data()))
        Chart->SetPartialText(QString::fromStdString(SearchEndText(SearchEnd, SearchEndMaximum)));
}

void TTessivorForm::BroadcastCollocDataDropped(int Language) {
    const intptr_t Self = reinterpret_cast<intptr_t>(this);
    if (Language >= 0) {
        BroadcastToChildren(CM_COLLOCDATADROPPED, Self, Language);
        return;
    }
    for (int L = 0; L < LanguageCount; ++L) BroadcastToChildren(CM_COLLOCDATADROPPED, Self, L);
}

void TTessivorForm::DeleteRows(const std::vector<bool>& Drop, bool KeepCurrentLine) {
    std::vector<TConcordItems*> Shown{Lists[size_t(PrimaryLanguage)].get()};
    for (int L = 0; L < LanguageCount; ++L)
        if (L != PrimaryLanguage) Shown.push_back(Lists[size_t(L)].get());
    // The few items that larger-context windows show are looked for among the rows that go, rather than
    // every row that goes among them: a delete of millions of lines needs no memory of its own.
    std::set<const TConcordItem*> Going;
    const std::set<const TConcordItem*> InWindows = ContextWindowItems();
    if (!InWindows.empty())
        for (const TConcordItems* List : Shown)
            for (int32_t R = 0; R < List->Count() && size_t(R) < Drop.size(); ++R)
                if (const TConcordItem* Item = List->FindItem(R); Drop[size_t(R)] && InWindows.count(Item))
                    Going.insert(Item);
    if (!Going.empty()) CloseContextWindowsWhere([&](const TConcordItem* Of) { return Going.count(Of) > 0; });
    DropRows(Shown, Drop);
    for (int L = 0; L < LanguageCount; ++L)
        RecountCollocates(L, Lists[size_t(L)] && Lists[size_t(L)]->HighlightCollocates);
    {
        // Row numbers moved: the old selection would mark other lines, so it goes, in every pane alike.
        const TGuard ItemGuard(FItemChanging), SelectionGuard(FSelecting);
        for (int L = 0; L < LanguageCount; ++L) {
            TStringsView* V = Views[size_t(L)];
            if (!V) continue;
            V->ClearSelection();
            V->ItemsChanged();
            const int Count = Lists[size_t(L)]->Count();
            if (Count == 0 || !KeepCurrentLine)
                V->SetItemIndex(-1);
            else if (V->ItemIndex() >= Count)
                V->SetItemIndex(Count - 1);
            else if (V->ItemIndex() >= 0)
                V->SetSelected(V->ItemIndex(), true);
            V->UpdateView();
        }
    }
    UpdateMatchCount();
    PostFocusedStatus(FocusedLanguage());
}

void TTessivorForm::DropFile(int Language, int FileIndex) {
    const TWaitScope Wait;
    TConcordItems& List = *Lists[size_t(Language)];
    std::vector<bool> Drop(size_t(List.Count()));
    for (int32_t R = 0; R < List.Count(); ++R) Drop[size_t(R)] = List.RowInfo(R).FileIndex == FileIndex;
    DeleteRows(Drop);
    for (int32_t R = 0; R < List.Count(); ++R)
        if (const int32_t File = List.RowInfo(R).FileIndex; File > FileIndex) List.SetFileIndex(R, File - 1);
    const QPointer<TTessivorForm> Self(this);
    if (HotWordsShown[size_t(Language)]) DropChosenFile(Language, FileIndex);
    if (!Self) return;
    // Lines went from every pane, whatever the hot words did.
    RefreshDistribution();
    BroadcastCollocDataDropped(-1);
    Redraw(Language);
}

void TTessivorForm::CollocSettingsChanged(int Language, int Kind) {
    if (Kind == 2 || Kind == 4) {
        HighlightOff(Language);
        return;
    }
    if (Kind != 3 || !HighlightCollocates[size_t(Language)]) return;
    TConcordItems& List = *Lists[size_t(Language)];
    if (List.PosLo == NoCollocatePosition) return;
    // A cancelled build may have freed the lists: only those that exist get the new limit.
    bool Any = false;
    for (int P = List.PosLo; P <= List.PosHi; ++P)
        if (TFreqList* C = List.CollocList(P)) {
            C->SetTopLimit(FrequencyConfigs[size_t(Language)].CollocHighLightTop);
            Any = true;
        }
    if (!Any) return;
    List.RankAllCollocates();
    Redraw(Language);
}

void TTessivorForm::CloseWindow() {
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        Sub->close();
    else
        close();
}

std::vector<TAppMessageForm::TMergedMenu> TTessivorForm::MergedMenus() const {
    return {{4, FDisplayMenu}, {5, FSortMenu}};
}

intptr_t TTessivorForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    const int Language = int(WParam);
    switch (Msg) {
        case CM_DROPFILE:
            if (Shows(Language)) DropFile(Language, int(LParam));
            break;
        case CM_FILESEXCHANGED:
            if (Shows(Language) && LParam &&
                FilesExchangeCloses(*Lists[size_t(Language)], *reinterpret_cast<const TFilePair*>(LParam))) {
                if (Distribution) Distribution->deleteLater();
                Distribution = nullptr;
                CloseWindow();
            }
            break;
        case CM_FONTCHANGED:
            if (FontChangeApplies(int(LParam))) ApplyFonts(Language);
            break;
        case CM_FREQSETTINGSCHANGED:
            if (Shows(Language) && LParam == 1) {
                ClearHotWords(Language, false);
                HotWordLists[size_t(Language)].reset();
                TranslationLists[size_t(Language)].reset();
                HighlightOff(Language);
            }
            break;
        case CM_COLLOCSETTINGSCHANGED:
            if (Shows(Language)) CollocSettingsChanged(Language, int(LParam));
            break;
        case CM_CLEARHOTWORDS:
            if (Shows(Language) && !ChoosingHotWords) ClearHotWords(Language, false);
            break;
        case CM_DISTRIBCLOSED:
            if (Distribution && WParam == reinterpret_cast<intptr_t>(Distribution.data()))
                Distribution = nullptr;
            break;
        case CM_ALIGNMENTDROPPED:
        case CM_SEGMENTINDEXDROPPED:
            CloseWindow();
            break;
        case CM_TAGINDEXDROPPED:
            ResetSort();
            break;
        default:
            break;
    }
    return 0;
}
