// The commands of a concordance window: its "&Display" and "S&ort" menus, which the main window shows
// while the window is active, and its popup menu. What they do to the lines is ConcLineCommands'.
#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTimer>

#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "results/ConcAdvancedSort.h"
#include "results/ConcContextType.h"
#include "results/ConcDistrib.h"
#include "results/ConcHotChoose.h"
#include "results/ConcHotWordsOptions.h"
#include "results/ConcLineCommands.h"
#include "results/ConcParaContext.h"
#include "results/ConcTessivor.h"
#include "ui/ConcProgress.h"

namespace {

constexpr TColor Yellow = 0x00FFFF;

std::string NameOf(int Language) {
    const auto& Config = LanguageConfigs[size_t(Language)];
    return Config ? Config->GetLanguageName() : std::string();
}

}  // namespace

// The lists and readers a command or another window's loop uses live in the window: it stays open and
// its commands wait until the scope ends.
TTessivorForm::TCommandScope::TCommandScope(TTessivorForm& Form, bool Count)
    : FForm(&Form), FWasRunning(Form.FCommandRunning), FCount(Count) {
    Form.FCommandRunning = true;
    if (Count) ++Form.FCounting;
    Enable(false);
}

TTessivorForm::TCommandScope::~TCommandScope() {
    if (!FForm) return;
    if (FWasRunning) {
        if (FCount) --FForm->FCounting;
        Enable(false);
        return;
    }
    // The window system queues what the user typed while the count ran between two pumps; handed over
    // after the scope, a Ctrl+D pressed during the count would delete the lines once it was done.
    if (FCount) QCoreApplication::processEvents();
    if (!FForm) return;
    if (FCount) --FForm->FCounting;
    FForm->FCommandRunning = false;
    Enable(true);
    if (FForm->FCloseWhenIdle) {
        FForm->FCloseWhenIdle = false;
        // Once the caller, which may still read the window's lists, has returned.
        QTimer::singleShot(0, FForm.data(), [Form = FForm] {
            if (Form) Form->CloseWindow();
        });
    }
}

void TTessivorForm::TCommandScope::Enable(bool On) {
    for (QMenu* Menu : {FForm->FDisplayMenu, FForm->FSortMenu, FForm->FPopupMenu}) Menu->setEnabled(On);
}

bool TTessivorForm::CommandsRefused() const {
    return Busy() || LongOperationRunning();
}

// ---- The menus -------------------------------------------------------------------------------------------

void TTessivorForm::BuildCommandMenus() {
    FActions = std::make_unique<TCommandActions>();
    BuildDisplayMenu();
    BuildSortMenu();
    BuildPopupMenu();
    for (QMenu* Menu : {FDisplayMenu, FSortMenu, FPopupMenu})
        connect(Menu, &QMenu::aboutToShow, this, [this] { UpdateCommands(CommandLanguage()); });
}

namespace {

// Adds an entry to Menu whose command runs unless its window is busy. With a shortcut the entry also
// belongs to the window, so that the keys work while one of its panes has the focus, not while another
// window's has.
template <class F>
QAction* AddCommand(TTessivorForm* Form, QMenu* Menu, const char* Caption, F Command,
                    const QKeySequence& Shortcut = {}) {
    QAction* Action = Menu->addAction(QString::fromLatin1(Caption));
    QObject::connect(Action, &QAction::triggered, Form, [Form, Command] {
        if (Form->CommandsRefused())
            PostStatusText(WindowBusyText);
        else
            Command();
    });
    if (!Shortcut.isEmpty()) {
        Action->setShortcut(Shortcut);
        Action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        Form->addAction(Action);
    }
    return Action;
}

template <class F>
QAction* AddCheck(TTessivorForm* Form, QMenu* Menu, const char* Caption, F Command) {
    QAction* Action = AddCommand(Form, Menu, Caption, Command);
    Action->setCheckable(true);
    return Action;
}

}  // namespace

void TTessivorForm::BuildDisplayMenu() {
    TCommandActions& A = *FActions;
    QMenu* Fonts = FDisplayMenu->addMenu("Font");
    AddCommand(this, Fonts, "Change &Font...", [this] { ChooseFont(NormalFont); });
    AddCommand(this, Fonts, "Change &Highlight Font..", [this] { ChooseFont(HiliteFont); });
    AddCommand(this, Fonts, "Change Co&llocate Font ..", [this] { ChooseFont(CollocatesFont); });
    A.HotWordsFont =
        AddCommand(this, Fonts, "Change H&ot Words Font...", [this] { ChooseFont(HotWordsFont); });
    A.ContextType = AddCommand(this, FDisplayMenu, "Context &Type...", [this] { ChooseContextType(); });
    QMenu* Suppress = FDisplayMenu->addMenu("&Suppress");
    A.Suppress[soTags] = AddCheck(this, Suppress, "&Normal Tags", [this] { ToggleSuppress(soTags); });
    A.Suppress[soPOSTags] = AddCheck(this, Suppress, "&Special Tags", [this] { ToggleSuppress(soPOSTags); });
    A.Suppress[soWords] = AddCheck(this, Suppress, "&Words", [this] { ToggleSuppress(soWords); });
    FDisplayMenu->addSeparator();
    A.Highlight = AddCheck(this, FDisplayMenu, "Highlight Co&llocates", [this] { ToggleHighlight(); });
    A.WordWrap = AddCheck(this, FDisplayMenu, "Word &Wrap", [this] { ToggleWordWrap(); });
    A.LineNumbers = AddCheck(this, FDisplayMenu, "Show &Line Numbers", [this] { ToggleLineNumbers(); });
    A.ConcealHits = AddCheck(this, FDisplayMenu, "Co&nceal Hits", [this] { ToggleConceal(); });
    A.ConcealCollocates = AddCheck(this, FDisplayMenu, "C&onceal Collocates", [this] { ToggleConceal(); });
    FDisplayMenu->addSeparator();
    AddCommand(this, FDisplayMenu, "Distri&bution...", [this] { OpenDistribution(); });
    FDisplayMenu->addSeparator();
    AddCommand(
        this, FDisplayMenu, "&Delete Item(s)", [this] { DeleteLines(); }, QKeySequence("Ctrl+D"));
}

void TTessivorForm::BuildSortMenu() {
    for (const TSortMenuKey& First : SortMenuKeys) {
        QMenu* Sub = FSortMenu->addMenu(QString::fromLatin1(First.FirstCaption));
        AddCommand(this, Sub, "&No Second Sort", [this, K = First.Key] { SortBy(K, skNone); });
        for (const TSortMenuKey& Second : SortMenuKeys) {
            if (Second.Key == First.Key) continue;
            AddCommand(this, Sub, Second.SecondCaption,
                       [this, K1 = First.Key, K2 = Second.Key] { SortBy(K1, K2); });
        }
    }
    FSortMenu->addSeparator();
    const auto ByRightThenLeft = [this] { SortBy(sk1R, sk1L); };
    const auto ByLeftThenRight = [this] { SortBy(sk1L, sk1R); };
    FActions->SortKeys = {
        AddCommand(this, FSortMenu, "&1st Right, 1st Left", ByRightThenLeft, QKeySequence("Ctrl+F1")),
        AddCommand(this, FSortMenu, "1s&t Left, 1st Right", ByLeftThenRight, QKeySequence("Shift+Ctrl+F1"))};
    AddCommand(this, FSortMenu, "&Original Order", [this] { SortBy(skOriginalOrder, skNone); });
    FSortMenu->addSeparator();
    AddCommand(this, FSortMenu, "&Advanced Sort...", [this] { AdvancedSortLines(); });
}

void TTessivorForm::BuildPopupMenu() {
    TCommandActions& A = *FActions;
    // "&Search Query" runs a search, which keeps the window busy on its own.
    QAction* Search = FPopupMenu->addAction("&Search Query", this, [this] {
        if (!CommandsRefused()) SearchWithinResults();
    });
    A.ClearSearchQuery = AddCommand(this, FPopupMenu, "&Clear Search Query", [this] { ClearSearchQuery(); });
    A.Secondary = {Search, A.ClearSearchQuery, FPopupMenu->addSeparator()};
    A.HotWords = AddCheck(this, FPopupMenu, "&Hot Words...", [this] { ChooseHotWordsOf(CommandLanguage()); });
    QAction* Translations =
        AddCommand(this, FPopupMenu, "Translations", [this] { ChooseTranslationsOf(CommandLanguage()); });
    A.ClearHotWords =
        AddCommand(this, FPopupMenu, "C&lear Hot Words", [this] { ClearHotWords(CommandLanguage(), true); });
    A.Secondary.insert(A.Secondary.end(),
                       {A.HotWords, Translations, A.ClearHotWords, FPopupMenu->addSeparator()});
    A.LetterMenu = FPopupMenu->addMenu("&Assign Letter");
    for (size_t I = 0; I < A.Letters.size(); ++I) {
        const char Letter = char('a' + I);
        const std::string Caption = std::string("&") + Letter;
        A.Letters[size_t(I)] =
            AddCheck(this, A.LetterMenu, Caption.c_str(), [this, Letter] { AssignLetter(Letter); });
        A.Letters[size_t(I)]->setData(int(Letter));
    }
    AddCommand(this, FPopupMenu, "&Remove Letter", [this] { RemoveLetter(); });
    AddCommand(this, FPopupMenu, "R&emove All Letters", [this] { RemoveAllLetters(); });
    FPopupMenu->addSeparator();
    A.Kwic = AddCommand(this, FPopupMenu, "&KWIC Sort", [this] { KwicSort(); });
    FPopupMenu->addSeparator();
    A.DisplayInfo = AddCommand(this, FPopupMenu, "&Display Info...", [this] { ShowFocusedInfo(); });
}

QMenu* TTessivorForm::AssignLetterMenu() const {
    return FActions->LetterMenu;
}

void TTessivorForm::PopupAt(TStringsView* View, const QPoint& At) {
    if (CommandsRefused()) return;
    // The popup's commands act on the pane it was opened over.
    FLastFocused = View->Tag();
    FPopupMenu->exec(View->viewport()->mapToGlobal(At));
}

// ---- State of the commands -------------------------------------------------------------------------------

int TTessivorForm::CommandLanguage() const {
    const int Focused = FocusedLanguage();
    if (Focused >= 0) return Focused;
    return Shows(FLastFocused) ? FLastFocused : PrimaryLanguage;
}

TConcordItem* TTessivorForm::CommandItem() const {
    const int L = CommandLanguage();
    if (!Shows(L)) return nullptr;
    const int Row = Views[size_t(L)]->ItemIndex();
    const TConcordItems& List = *Lists[size_t(L)];
    return Row >= 0 && Row < List.Count() ? List.GetItem(Row) : nullptr;
}

void TTessivorForm::UpdateCommands(int Language) {
    if (!FActions || Language < 0 || Language >= MaxLanguages || !Lists[size_t(Language)]) return;
    const TConcordItems& List = *Lists[size_t(Language)];
    const TConcordItems* Primary = Lists[size_t(PrimaryLanguage)].get();
    TCommandInputs In;
    In.Primary = Language == PrimaryLanguage;
    In.PrimaryCount = Primary ? Primary->Count() : 0;
    In.RowsFilled = List.RowsFilled;
    In.QueryHitsPresent = List.QueryHitsPresent;
    In.HotWordsShown = HotWordsShown[size_t(Language)];
    In.WordWrap = WordWrap[size_t(Language)];
    In.HighlightCollocates = HighlightCollocates[size_t(Language)];
    In.ListHighlighting = List.HighlightCollocates;
    In.Display = List.Display;
    In.ShowLineNumbers = ShowLineNumbers;
    if (Language == CommandLanguage()) {
        if (const TConcordItem* Item = CommandItem()) {
            In.ItemFilled = Item->IsFilled();
            In.Letter = Item->Letter;
        }
    }
    const TCommandStates S = ComputeCommandStates(In);
    TCommandActions& A = *FActions;
    A.HotWordsFont->setEnabled(S.HotWordsFontEnabled);
    A.ContextType->setEnabled(S.ContextTypeEnabled);
    A.Kwic->setEnabled(S.KwicEnabled);
    A.Kwic->setText(QString::fromLatin1(S.KwicCaption.c_str()));
    FSortMenu->menuAction()->setVisible(S.SortMenuVisible);
    // Their keys do nothing while the menu is hidden.
    for (QAction* Key : A.SortKeys) Key->setEnabled(S.SortMenuVisible);
    A.WordWrap->setChecked(S.WordWrapChecked);
    A.Highlight->setChecked(S.HighlightChecked);
    for (size_t I = 0; I < A.Suppress.size(); ++I) A.Suppress[I]->setChecked(S.SuppressChecked[I]);
    A.LineNumbers->setChecked(S.LineNumbersChecked);
    A.HotWords->setChecked(S.HotWordsChecked);
    for (QAction* Entry : A.Secondary) Entry->setVisible(S.SecondaryEntriesVisible);
    A.ClearSearchQuery->setEnabled(S.ClearQueryEnabled);
    A.ClearHotWords->setEnabled(S.ClearHotWordsEnabled);
    A.DisplayInfo->setEnabled(S.DisplayInfoEnabled);
    for (QAction* Letter : A.Letters) Letter->setChecked(Letter->data().toInt() == S.CheckedLetter);
}

// ---- Display ---------------------------------------------------------------------------------------------

void TTessivorForm::ChooseFont(int Kind) {
    // The window takes the new font from CM_FONTCHANGED, as every other window does.
    ChooseConfigFont(Kind, CommandLanguage());
}

void TTessivorForm::ChooseContextType() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    TConcordDisplay& Display = Lists[size_t(L)]->Display;
    TContextSettings Settings{Display.ContextType, Display.ContextSizes, Display.ConcealHits,
                              Display.ConcealCollocates};
    {
        const TCommandScope Scope(*this);
        if (!ShowContextOptions(L, Settings)) return;
    }
    Display.ContextType = Settings.ContextType;
    Display.ContextSizes = Settings.ContextSizes;
    SetDisplayMode(L);
}

void TTessivorForm::ToggleSuppress(int Option) {
    for (int L = 0; L < LanguageCount; ++L) {
        TConcordDisplay& D = Lists[size_t(L)]->Display;
        TSuppressFlags Flags{D.SuppressNormalTags, D.SuppressPOSTags, D.SuppressWords};
        if (!ToggleSuppressOption(Flags, Option)) continue;
        D.SuppressNormalTags = Flags.HideTags;
        D.SuppressPOSTags = Flags.HidePOSTags;
        D.SuppressWords = Flags.HideWords;
        Redraw(L);
    }
    UpdateCommands(CommandLanguage());
}

void TTessivorForm::ToggleHighlight() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    const bool On = !HighlightCollocates[size_t(L)];
    HighlightCollocates[size_t(L)] = On;
    Lists[size_t(L)]->SetHighlightCollocates(On);
    Redraw(L);
    UpdateCommands(L);
}

void TTessivorForm::ToggleWordWrap() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    WordWrap[size_t(L)] = !WordWrap[size_t(L)];
    if (ContextTypeWraps(Lists[size_t(L)]->Display.ContextType)) {
        Views[size_t(L)]->SetWordWrap(WordWrap[size_t(L)]);
        Redraw(L);
    }
    UpdateCommands(L);
}

void TTessivorForm::ToggleLineNumbers() {
    ShowLineNumbers = !ShowLineNumbers;
    UpdateLabels();
    UpdateCommands(CommandLanguage());
}

void TTessivorForm::ToggleConceal() {
    const bool Hits = FActions->ConcealHits->isChecked();
    const bool Collocates = FActions->ConcealCollocates->isChecked();
    for (auto& List : Lists) {
        if (!List) continue;
        List->Display.ConcealHits = Hits;
        List->Display.ConcealCollocates = Collocates;
    }
    for (int L = 0; L < LanguageCount; ++L) Redraw(L);
}

void TTessivorForm::OpenDistribution() {
    if (!Distribution) {
        TDistribHitLists Hits{};
        TDistribQueries Queries{};
        for (size_t L = 0; L < MaxLanguages; ++L) {
            Hits[L] = Lists[L].get();
            Queries[L] = Records[L].get();
        }
        Distribution = ShowDistribution(MdiAreaOf(this), PrimaryLanguage, Hits, Queries);
        DescribeDistribution();
    }
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(Distribution->parentWidget())) {
        Sub->showNormal();
        if (QMdiArea* Area = Sub->mdiArea()) Area->setActiveSubWindow(Sub);
    } else {
        Distribution->showNormal();
        Distribution->raise();
        Distribution->activateWindow();
    }
}

// ---- Sorting ---------------------------------------------------------------------------------------------

bool TTessivorForm::SortBy(uint8_t First, uint8_t Second) {
    return SortLines(TwoKeySort(First, Second), nullptr);
}

bool TTessivorForm::SortLines(const TAdvancedSortColOptions& Record, const TAdvancedSortColItems* Keys) {
    const int L = CommandLanguage();
    if (!Shows(L)) return false;
    const bool Advanced = Keys && !Keys->empty();
    if (!SortNeeded(L, Record, Advanced, SortedLanguage, SortRecord)) return false;
    const TWaitScope Wait;
    SortedLanguage = L;
    SortUndefined = false;
    const TLineMarks Marks = ReadLineMarks(L);
    SortInStep(Lists, LanguageCount, L, Record, Keys);
    // The rows moved: the selection and the current line go with their lines, so that a delete takes
    // the lines the user chose and not those that came to their rows.
    PutLineMarks(Marks);
    SortRecord = Record;
    AdvancedSort = Advanced;
    for (int Shown = 0; Shown < LanguageCount; ++Shown) Redraw(Shown);
    UpdateSortCaption();
    PostFocusedStatus(L);
    return true;
}

void TTessivorForm::AdvancedSortLines() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    TAdvancedSortColItems Keys;
    TAdvancedSortColOptions& Record = LanguageConfigs[size_t(L)]->AdvancedSort;
    {
        const TCommandScope Scope(*this);
        if (!ExecuteAdvancedSort(L, false, Record, Keys)) return;
    }
    SortLines(Record, &Keys);
}

void TTessivorForm::KwicSort() {
    if (!SortBy(skSearchTerm, sk1R)) return;
    TConcordDisplay& Display = Lists[size_t(SortedLanguage)]->Display;
    Display.ContextType = ctxWords;
    Display.ContextSizes[ctxWords] = 8;
    SetDisplayMode(SortedLanguage);
}

// ---- Letters ---------------------------------------------------------------------------------------------

void TTessivorForm::AssignLetter(uint8_t Letter) {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    TConcordItems& List = *Lists[size_t(L)];
    for (const int32_t Row : Views[size_t(L)]->SelectedItems())
        if (Row >= 0 && Row < List.Count()) List.SetLetter(Row, Letter);
    UpdateLabels();
}

void TTessivorForm::RemoveLetter() {
    if (TConcordItem* Item = CommandItem(); Item && Item->Letter != NoLetter) Item->Letter = NoLetter;
    UpdateLabels();
}

void TTessivorForm::RemoveAllLetters() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    TConcordItems& List = *Lists[size_t(L)];
    for (int32_t R = 0; R < List.Count(); ++R) List.SetLetter(R, NoLetter);
    UpdateLabels();
}

// ---- Deleting lines --------------------------------------------------------------------------------------

void TTessivorForm::DeleteLines() {
    const int L = CommandLanguage();
    if (!Shows(L)) return;
    const TStringsView& View = *Views[size_t(L)];
    const int Selected = View.SelCount();
    if (Selected == 0) return;
    // Until the end: the collocation windows that close on the broadcast pump events as they empty.
    const TCommandScope Scope(*this);
    // Read row by row rather than as a list of the selected rows: a bit per line where millions go.
    std::vector<bool> Drop(size_t(Lists[size_t(L)]->Count()));
    for (size_t Row = 0; Row < Drop.size(); ++Row) Drop[Row] = View.IsSelected(int(Row));
    // After several lines went no line is current; after one its place is.
    DeleteRows(Drop, Selected == 1);
    RefreshDistribution();
    BroadcastCollocDataDropped(-1);
    // The hot words were counted in lines that are gone.
    for (int Other = 0; Other < LanguageCount; ++Other) {
        if (Other == PrimaryLanguage) continue;
        ClearHotWords(Other, false);
        HotWordLists[size_t(Other)].reset();
        TranslationLists[size_t(Other)].reset();
    }
}

// ---- Marks -----------------------------------------------------------------------------------------------

void TTessivorForm::ClearMarks(int Origin, int Language) {
    if (!Shows(Language) || (Origin != moQuery && Origin != moHotWords)) return;
    TReaderList Readers = OpenReaders(Language);
    // What stays in a row is of the other origin: read it as that origin's search read it.
    const TConcSearchRec* Query = Records[size_t(Language)].get();
    const uint8_t Syntax = Origin == moHotWords && Query ? Query->Syntax : 0;
    TConcordItems& List = *Lists[size_t(Language)];
    ::ClearMarks(List, TMarkOrigin(Origin), Readers, Syntax);
    List.RowsFilled = RowsHoldHits(List);
    RecountCollocates(Language, HighlightCollocates[size_t(Language)] && List.HighlightCollocates);
}

void TTessivorForm::RecountCollocates(int Language, bool Shade) {
    if (!Lists[size_t(Language)]) return;
    TConcordItems& List = *Lists[size_t(Language)];
    // The rows' words changed: the counts are made again, not only the ranks. Lists nobody shades are
    // only dropped: the collocation window that shows them next counts them over the lines then shown.
    List.FreeCollocateLists();
    List.SetHighlightCollocates(false);
    if (Shade) List.SetHighlightCollocates(true);
}

void TTessivorForm::DropQueryHits(int Language, bool Update) {
    if (!Shows(Language)) return;
    ClearMarks(moQuery, Language);
    TConcordItems& List = *Lists[size_t(Language)];
    Redraw(Language);
    List.QueryHitsPresent = false;
    if (Update) UpdateCommands(Language);
    BroadcastCollocDataDropped(Language);
}

void TTessivorForm::ClearSearchQuery() {
    DropQueryHits(CommandLanguage(), true);
    RefreshDistribution();
}

void TTessivorForm::ClearHotWords(int Language, bool Force) {
    if (!Shows(Language)) return;
    TConcordItems& List = *Lists[size_t(Language)];
    List.SetHighlightCollocates(false);
    List.FreeCollocateLists();
    List.CollocColour = Yellow;
    ClearMarks(moHotWords, Language);
    if (Force || HotWordsShown[size_t(Language)]) {
        ChosenHotWords[size_t(Language)]->Clear();
        HotWordsShown[size_t(Language)] = false;
        UpdateCommands(Language);
        RefreshDistribution();
        ResetSort();
    }
    Redraw(Language);
}

bool TTessivorForm::ApplyHotWords(int Language) {
    if (!Shows(Language)) return true;
    const QPointer<TTessivorForm> Self(this);
    const TCommandScope Scope(*this);
    TReaderList Readers = OpenReaders(Language);
    TConcordItems& List = *Lists[size_t(Language)];
    {
        const TWaitScope Wait;
        const std::unique_ptr<TProgressForm> Progress =
            ShowProgressForm(0, "Applying hot words", "Applying hot words - " + NameOf(Language) + "...",
                             PositionCount(*ChosenHotWords[size_t(Language)]), 0, "");
        ShowUnlessMinimized(Progress.get());
        int32_t Done = 0;
        ApplyHotWordPositions(List, *ChosenHotWords[size_t(Language)], Readers, [&] {
            Progress->SetProgress(++Done);
            ProcessMessages();
            return Self && Progress->Tag == 0;
        });
        if (!Self) return false;
    }
    // Cancelled or not, what was marked is shown, so that it can be cleared.
    List.CollocColour = LanguageConfigs[size_t(Language)]->Fonts[CollocatesFont].Color;
    RecountCollocates(Language, HighlightCollocates[size_t(Language)]);
    Redraw(Language);
    BroadcastCollocDataDropped(Language);
    return true;
}

void TTessivorForm::DropChosenFile(int Language, int FileIndex) {
    if (::DropChosenFile(*ChosenHotWords[size_t(Language)], FileIndex))
        ApplyHotWords(Language);
    else
        ClearHotWords(Language, false);
}

// ---- Hot words and translations ------------------------------------------------------------------------

bool TTessivorForm::CorpusListReady(int Language) {
    // The list is wanted only for its words: it keeps the order it has.
    const TFreqList* List = LanguageConfigs[size_t(Language)]->FreqList.get();
    return GetCorpusFreqList(Language, List && List->SortedAlphabetically()) &&
           LanguageConfigs[size_t(Language)]->FreqList;
}

std::unique_ptr<TFreqList> TTessivorForm::BuildRowWords(int Language) {
    const TWaitScope Wait;
    SearchLanguage = Language;
    // Counted without a progress window: the rows are the hits of one search.
    TProgressForm Unshown;
    return BuildRowWordList(*Lists[size_t(Language)], nullptr, &Unshown);
}

std::unique_ptr<TFreqList> TTessivorForm::BuildTranslations(int Language) {
    SearchLanguage = Language;
    const TConcordItems& List = *Lists[size_t(Language)];
    const std::unique_ptr<TProgressForm> Progress =
        ShowProgressForm(0, "Translations", "", std::max(List.Count(), 1), 0, "");
    ShowUnlessMinimized(Progress.get());
    return BuildTranslationList(List, *LanguageConfigs[size_t(Language)]->FreqList,
                                HotWordsOptions[size_t(Language)], WindowTranslationPasses, *Progress);
}

void TTessivorForm::FreeOtherTranslations(int Language) {
    for (size_t L = 0; L < MaxLanguages; ++L)
        if (int(L) != Language) TranslationLists[L].reset();
}

void TTessivorForm::ChooseHotWordsOf(int Language) {
    if (!Shows(Language) || Language == PrimaryLanguage) return;
    const TCommandScope Scope(*this);
    if (!CorpusListReady(Language)) return;
    bool Confirmed = false;
    {
        // Another window's "Set as default" must not clear what the chooser works on.
        const QScopedValueRollback<bool> Choosing(ChoosingHotWords, true);
        bool TranslationOptionsChanged = false;
        Confirmed =
            ChooseHotWords(Language, Lists[size_t(PrimaryLanguage)]->Count(), HotWordLists[size_t(Language)],
                           TranslationOptionsChanged, hcHotWords, WindowTranslationPasses,
                           HotWordsOptions[size_t(Language)], WindowHotWordsConfig,
                           *ChosenHotWords[size_t(Language)], [this](int L) { return BuildRowWords(L); });
    }
    if (Confirmed) ShowChosenWords(Language, true);
}

void TTessivorForm::ChooseTranslationsOf(int Language) {
    if (!Shows(Language) || Language == PrimaryLanguage) return;
    const TCommandScope Scope(*this);
    if (!CorpusListReady(Language)) return;
    if (!TranslationLists[size_t(Language)]) {
        if (!ShowHotWordsOptions(Language, WindowHotWordsConfig, HotWordsOptions[size_t(Language)],
                                 hoTranslationsOnly, WindowTranslationPasses))
            return;
        // Other languages' candidates were made with the passes of before.
        if (TranslationPasses != WindowTranslationPasses) FreeOtherTranslations(Language);
        TranslationPasses = WindowTranslationPasses;
    }
    bool Confirmed = false;
    bool OptionsChanged = false;
    {
        // Another window's "Set as default" must not clear what the chooser works on.
        const QScopedValueRollback<bool> Choosing(ChoosingHotWords, true);
        Confirmed =
            ChooseHotWords(Language, 0, TranslationLists[size_t(Language)], OptionsChanged, hcTranslations,
                           WindowTranslationPasses, HotWordsOptions[size_t(Language)], WindowHotWordsConfig,
                           *ChosenHotWords[size_t(Language)], [this](int L) { return BuildTranslations(L); });
    }
    if (OptionsChanged) FreeOtherTranslations(Language);
    if (Confirmed) ShowChosenWords(Language, false);
}

void TTessivorForm::ShowChosenWords(int Language, bool HotWords) {
    const bool Has = ChosenHotWords[size_t(Language)]->Count() > 0;
    const bool Changed = Has != HotWordsShown[size_t(Language)] || !Lists[size_t(Language)]->QueryHitsPresent;
    // The old choice's marks go first: words no longer chosen must not stay marked.
    ClearMarks(moHotWords, Language);
    // A cancelled application still shows what it marked, so that it can be cleared.
    if (Has && !ApplyHotWords(Language)) return;
    if (!HotWords || Changed) {
        HotWordsShown[size_t(Language)] = Has;
        UpdateCommands(Language);
    }
    if (HotWords && Changed) ResetSort();
    RefreshDistribution();
    Redraw(Language);
}
