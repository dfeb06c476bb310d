#include "results/ConcCollocation.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <memory>

#include "controls/LangText.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearchItems.h"
#include "results/ConcTessivor.h"
#include "results/ConcWordList.h"
#include "ui/ConcProgress.h"

// ---------------------------------------------------------------------------------------------------
// Rules

TCollocateRange CollocateRange(int Span) {
    Span = std::clamp(Span, 1, 4);
    return {5 - Span, 4 + Span};
}

std::vector<TCollocateRow> CollocateRows(const std::vector<const TFreqList*>& Lists, int32_t MaxLines,
                                         const std::function<bool(const TFreqItem&)>& Passes) {
    std::vector<int32_t> Next(Lists.size(), 0);
    // The next passing entry of position I, moving its read index past the ones that fail; nullptr when
    // the position has none left.
    auto NextPassing = [&](size_t I) -> const TFreqItem* {
        const TFreqList* List = Lists[I];
        if (!List) return nullptr;
        while (Next[I] < List->Count()) {
            const TFreqItem* Item = List->GetItem(Next[I]);
            if (Passes(*Item)) return Item;
            ++Next[I];
        }
        return nullptr;
    };
    std::vector<TCollocateRow> Rows;
    while (MaxLines <= 0 || int32_t(Rows.size()) < MaxLines) {
        TCollocateRow Row(Lists.size());
        bool Any = false;
        for (size_t I = 0; I < Lists.size(); ++I) {
            const TFreqItem* Item = NextPassing(I);
            if (!Item) continue;
            Row[I] = {std::to_string(Item->Frequency), Item->Word};
            ++Next[I];
            Any = true;
        }
        if (!Any) break;
        Rows.push_back(std::move(Row));
    }
    return Rows;
}

bool CollocationStacked(const std::vector<int>& Spans) {
    int Sum = 0;
    for (int S : Spans) Sum += 2 * S;
    return Sum > 12;
}

std::vector<int> ScaleSizes(const std::vector<int>& Sizes, int Available) {
    int64_t Sum = 0;
    for (int S : Sizes) Sum += S;
    if (Sum == 0) return Sizes;
    const double Factor = double(Available) / double(Sum);
    std::vector<int> Scaled;
    Scaled.reserve(Sizes.size());
    for (int S : Sizes) Scaled.push_back(int(std::nearbyint(S * Factor)));
    return Scaled;
}

std::string CollocationLabelText(const std::string& LanguageName, const std::string& QueryText) {
    return LanguageName + " - [" + QueryText + "]";
}

std::string CollocationCaption(const std::string& Scope) {
    return std::string("Frequency Statistics") + " - " + Scope;
}

bool CollocSettingsCloses(intptr_t Kind) {
    return Kind == 0 || Kind == 2 || Kind == 4;
}

// ---------------------------------------------------------------------------------------------------
// The window

namespace {

constexpr int PositionWidth = 120;  // the count and word columns of one position, as first laid out
constexpr int StackedRows = 8;      // the rows each stacked list asks room for, below its header
constexpr int RowsPerPump = 256;
constexpr int RowsMeasured = 40;  // the rows whose words the window opens wide enough for

int ScrollBarWidth(const QWidget* W) {
    return W->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, W);
}

int SpanOf(int Language) {
    return std::clamp(FrequencyConfigs[size_t(Language)].CollocateSpan, 1, 4);
}

}  // namespace

TCollocationForm::TCollocationForm(TTessivorForm* Owner, int Language, QWidget* Parent)
    : TAppMessageForm(Parent), FLanguage(Language), FOwner(Owner), FOwnerForm(Owner) {
    setWindowTitle(Language < 0 ? "Filling lists..." : "Filling list...");
    FDisplayMenu = new QMenu("&Display", this);
    FChangeFontAction = FDisplayMenu->addAction("Change &Font...");
    connect(FChangeFontAction, &QAction::triggered, this, &TCollocationForm::ChangeFont);
    CreateLists();
}

std::vector<int> TCollocationForm::ShownLanguages() const {
    std::vector<int> Languages;
    if (!FOwner) return Languages;
    const int First = FLanguage < 0 ? 0 : FLanguage;
    const int Last = FLanguage < 0 ? FOwnerForm->LanguageCount - 1 : FLanguage;
    for (int L = First; L <= Last; ++L)
        if (L >= 0 && L < MaxLanguages && L < LanguagesCount && FOwnerForm->Lists[size_t(L)])
            Languages.push_back(L);
    return Languages;
}

QTreeWidget* TCollocationForm::List(int Language) const {
    return Language >= 0 && Language < MaxLanguages ? FLists[size_t(Language)] : nullptr;
}

QLabel* TCollocationForm::Label(int Language) const {
    return Language >= 0 && Language < MaxLanguages ? FLabels[size_t(Language)] : nullptr;
}

// Per position a column the user never sees (kept so that a copied row has the layout other programs
// have read from these lists), the count and the word captioned with the position's name.
QTreeWidget* TCollocationForm::NewList(int Language) {
    auto* List = new QTreeWidget(this);
    const TCollocateRange Range = CollocateRange(SpanOf(Language));
    List->setColumnCount(3 * Range.Count());
    QStringList Captions;
    for (int P = Range.Lo; P <= Range.Hi; ++P)
        Captions << QString() << QString() << CollocatePositionTitles[P - 1];
    List->setHeaderLabels(Captions);
    for (int I = 0; I < Range.Count(); ++I) {
        List->setColumnHidden(3 * I, true);
        List->setColumnWidth(3 * I + 1, 40);
        List->setColumnWidth(3 * I + 2, 80);
        List->headerItem()->setTextAlignment(3 * I + 1, Qt::AlignRight | Qt::AlignVCenter);
    }
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSortingEnabled(false);
    List->header()->setSectionsClickable(false);
    List->header()->setStretchLastSection(false);
    List->setProperty("language", Language);
    List->installEventFilter(this);
    FLists[size_t(Language)] = List;
    return List;
}

void TCollocationForm::CreateLists() {
    const std::vector<int> Languages = ShownLanguages();
    if (Languages.empty()) return;
    const int ScrollBar = ScrollBarWidth(this);
    auto WidthOf = [ScrollBar](int L) { return 2 * SpanOf(L) * PositionWidth + ScrollBar + 5; };
    const int TextHeight = QFontMetrics(font()).height();
    if (FLanguage >= 0) {
        QTreeWidget* List = NewList(FLanguage);
        setFocusProxy(List);
        FListSizes[size_t(FLanguage)] = WidthOf(FLanguage);
        resize(WidthOf(FLanguage), 320);
        return;
    }
    std::vector<int> Spans;
    for (int L : Languages) Spans.push_back(SpanOf(L));
    FStacked = CollocationStacked(Spans);
    int Width = 0, Height = 0;
    if (!FStacked) {
        FPanels[0] = new QWidget(this);
        FPanels[0]->setFixedHeight(TextHeight + 10);
    }
    for (int L : Languages) {
        QWidget* Panel = FStacked ? (FPanels[size_t(L)] = new QWidget(this)) : FPanels[0];
        if (FStacked) Panel->setFixedHeight(TextHeight + 6);
        FLabels[size_t(L)] = new QLabel(Panel);
        FLabels[size_t(L)]->setTextFormat(Qt::PlainText);
        FLabels[size_t(L)]->move(5, 3);
        NewList(L);
        if (FStacked) {
            // Room for a header and a few rows in the list's own font: a fixed block showed three rows.
            const int Row = QFontMetrics(LanguageFont(L, FrequencyFont)).height() + 4;
            FListSizes[size_t(L)] = Row * (StackedRows + 1) + 4;
            Width = std::max(Width, WidthOf(L));
            Height += Panel->height() + FListSizes[size_t(L)];
        } else {
            FListSizes[size_t(L)] = WidthOf(L);
            Width += WidthOf(L);
        }
    }
    setFocusProxy(FLists[size_t(Languages.front())]);
    resize(Width, FStacked ? Height : 320);
}

void TCollocationForm::ApplyFonts() {
    for (int L : ShownLanguages()) {
        const QFont Font = LanguageFont(L, FrequencyFont);
        const QColor Color = ColorRefToQColor(LanguageConfigs[size_t(L)]->Fonts[FrequencyFont].Color);
        if (QTreeWidget* List = this->List(L)) {
            List->setFont(Font);
            QPalette Colors = List->palette();
            Colors.setColor(QPalette::Text, Color);
            List->setPalette(Colors);
        }
        if (QLabel* Label = this->Label(L)) {
            Label->setFont(Font);
            QPalette Colors = Label->palette();
            Colors.setColor(QPalette::WindowText, Color);
            Label->setPalette(Colors);
            Label->adjustSize();
        }
    }
}

bool TCollocationForm::Build() {
    const QPointer<TCollocationForm> Alive(this);
    if (!FOwner) return false;
    // The pumps below must not let the owner delete lines or drop its collocate lists while they are
    // counted and read.
    const TTessivorForm::TCommandScope OwnerBusy(*FOwnerForm, true);
    FBusy = true;
    ProcessMessages();
    if (!Alive || !FOwner) return false;
    ApplyFonts();
    const std::vector<int> Languages = ShownLanguages();
    std::vector<std::string> Labels(MaxLanguages, std::string());
    for (int L : Languages) {
        Labels[size_t(L)] = CollocationLabelText(LanguageConfigs[size_t(L)]->GetLanguageName(),
                                                 LangToQString(FOwnerForm->GetQueryText(L), L).toStdString());
        if (QLabel* Label = this->Label(L)) {
            Label->setText(QString::fromStdString(Labels[size_t(L)]));
            Label->adjustSize();
        }
    }
    SetLiteralWindowTitle(this, CollocationCaption(FLanguage < 0 ? std::string("All")
                                                                 : Labels[size_t(std::max(FLanguage, 0))]));
    if (!BuildMissingCollocates()) return false;
    for (int L : Languages)
        if (!Alive || !FOwner || !FillList(L)) return false;
    FBusy = false;
    LayoutLists();
    FitToWords();
    return true;
}

double TCollocationForm::WordsGrowth(const QTreeWidget* Tree) const {
    // A word of this length would take the screen: it is cut rather than let widen the window.
    const QFontMetrics Metrics(Tree->font());
    const int Most = 30 * Metrics.horizontalAdvance('0');
    // A cell keeps a margin on both sides of its text.
    const int Padding = 2 * (Tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Tree) + 1) + 2;
    const int Rows = std::min(Tree->topLevelItemCount(), RowsMeasured);
    double Growth = 1;
    for (int C = 0; C < Tree->columnCount(); ++C) {
        if (Tree->isColumnHidden(C) || Tree->columnWidth(C) <= 0) continue;
        int Wanted = 0;
        for (int R = 0; R < Rows; ++R)
            Wanted = std::max(Wanted, Metrics.horizontalAdvance(Tree->topLevelItem(R)->text(C)) + Padding);
        Growth = std::max(Growth, double(std::min(Wanted, Most)) / Tree->columnWidth(C));
    }
    return Growth;
}

void TCollocationForm::FitToWords() {
    auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!Sub) return;
    const std::vector<int> Languages = ShownLanguages();
    double Growth = 1;
    for (int L : Languages) Growth = std::max(Growth, WordsGrowth(FLists[size_t(L)]));
    // The columns grow alike, as the layout rescales them, until the widest word in sight shows whole.
    int Wanted = 0;
    for (int L : Languages) {
        QTreeWidget* Tree = FLists[size_t(L)];
        const int Margin = ScrollBarWidth(Tree) + 8;
        const int Target = int(std::ceil((Tree->width() - Margin) * Growth)) + Margin;
        if (FLanguage < 0 && !FStacked) {
            FListSizes[size_t(L)] = Target;
            Wanted += Target;
        } else {
            Wanted = std::max(Wanted, Target);
        }
    }
    if (FLanguage < 0 && !FStacked) Wanted += 2;
    WidenMdiChild(Sub, std::max(Wanted + Sub->width() - width(), MdiCaptionWidth(Sub)));
    LayoutLists();
}

// The owner's collocate lists are built once per span and kept, so reopening a window is cheap.
bool TCollocationForm::BuildMissingCollocates() {
    const QPointer<TCollocationForm> Alive(this);
    std::vector<int> Missing;
    int Total = 0;
    for (int L : ShownLanguages()) {
        const TCollocateRange Range = CollocateRange(SpanOf(L));
        const TConcordItems& Items = *FOwnerForm->Lists[size_t(L)];
        if (Items.CollocateListsReady(uint8_t(Range.Lo), uint8_t(Range.Hi))) continue;
        Missing.push_back(L);
        Total += Items.Count();
    }
    if (Missing.empty()) return true;
    const std::unique_ptr<TProgressForm> Progress =
        ShowProgressForm(0, "Creating list...", ShownWindowTitle(this).toStdString(), Total, 0, "");
    if (Total > 512) ShowUnlessMinimized(Progress.get());
    const TWaitScope Wait;
    for (int L : Missing) {
        const TCollocateRange Range = CollocateRange(SpanOf(L));
        TConcordItems& Items = *FOwnerForm->Lists[size_t(L)];
        Items.BuildCollocateLists(uint8_t(Range.Lo), uint8_t(Range.Hi), Progress.get());
        // A cancelled build has freed the lists and returned as if nothing happened: stop here, before
        // anything reads them.
        if (!Alive || !FOwner || Progress->Tag != 0 ||
            !FOwnerForm->Lists[size_t(L)]->CollocateListsReady(uint8_t(Range.Lo), uint8_t(Range.Hi)))
            return false;
    }
    return true;
}

std::string TCollocationForm::ListText(int Language) const {
    const std::string Caption = ShownWindowTitle(this).toStdString();
    const QLabel* Label = this->Label(Language);
    return FLanguage < 0 && Label ? Caption + " - " + Label->text().toStdString() : Caption;
}

bool TCollocationForm::FillList(int Language) {
    const QPointer<TCollocationForm> Alive(this);
    QTreeWidget* Tree = List(Language);
    ClearListWithProgress(ListText(Language), Tree);
    if (!Alive || !FOwner) return false;
    const TCollocateRange Range = CollocateRange(SpanOf(Language));
    const TConcordItems& Items = *FOwnerForm->Lists[size_t(Language)];
    std::vector<const TFreqList*> Lists;
    for (int P = Range.Lo; P <= Range.Hi; ++P) {
        TFreqList* Positional = Items.CollocList(P);
        if (Positional) Positional->SortByFrequency();
        Lists.push_back(Positional);
    }
    // The rows are copies: the pump below may let the owner drop its lists.
    const std::vector<TCollocateRow> Rows =
        CollocateRows(Lists, FrequencyConfigs[size_t(Language)].MaximumLines,
                      [Language](const TFreqItem& Item) { return FreqItemPasses(Language, Item); });
    const TWaitScope Wait;
    const std::unique_ptr<TProgressForm> Progress =
        ShowProgressForm(0, "Filling list...", ListText(Language), int(Rows.size()), 0, "");
    if (Rows.size() > RowsPerPump) ShowUnlessMinimized(Progress.get());
    Tree->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> Batch;
    for (size_t R = 0; R < Rows.size(); ++R) {
        auto* Item = new QTreeWidgetItem();
        for (int I = 0; I < Range.Count(); ++I) {
            Item->setText(3 * I + 1, QString::fromLatin1(Rows[R][size_t(I)].Count));
            Item->setTextAlignment(3 * I + 1, Qt::AlignRight | Qt::AlignVCenter);
            Item->setText(3 * I + 2, LangToQString(Rows[R][size_t(I)].Word, Language));
        }
        Batch.push_back(Item);
        if ((R + 1) % RowsPerPump == 0) {
            Tree->addTopLevelItems(Batch);
            Batch.clear();
            Progress->SetProgress(int(R + 1));
            ProcessMessages();
            if (!Alive || !FOwner || Progress->Tag == 1) return false;
        }
    }
    Tree->addTopLevelItems(Batch);
    Tree->setUpdatesEnabled(true);
    return true;
}

void TCollocationForm::RescaleColumns(QTreeWidget* Tree) {
    std::vector<int> Widths;
    for (int C = 0; C < Tree->columnCount(); ++C)
        if (!Tree->isColumnHidden(C)) Widths.push_back(Tree->columnWidth(C));
    const int Available = Tree->width() - ScrollBarWidth(Tree) - 8;
    // A list not laid out yet is a few pixels wide: the header would raise every column to its least
    // section size, and the counts would keep the words' width from then on.
    if (Available < int(Widths.size()) * Tree->header()->minimumSectionSize()) return;
    const std::vector<int> Scaled = ScaleSizes(Widths, Available);
    size_t I = 0;
    for (int C = 0; C < Tree->columnCount(); ++C)
        if (!Tree->isColumnHidden(C)) Tree->setColumnWidth(C, std::max(Scaled[I++], 1));
}

void TCollocationForm::LayoutLists() {
    if (FBusy) return;
    const std::vector<int> Languages = ShownLanguages();
    if (Languages.empty()) return;
    if (FLanguage >= 0) {
        if (QTreeWidget* Tree = List(FLanguage)) {
            Tree->setGeometry(rect());
            RescaleColumns(Tree);
        }
        return;
    }
    std::vector<int> Sizes;
    int Panels = 0;
    for (int L : Languages) {
        Sizes.push_back(FListSizes[size_t(L)]);
        if (FStacked) Panels += FPanels[size_t(L)]->height();
    }
    if (!FStacked) {
        const int Top = FPanels[0]->height();
        FPanels[0]->setGeometry(0, 0, width(), Top);
        Sizes = ScaleSizes(Sizes, width() - 2);
        int X = 0;
        for (size_t I = 0; I < Languages.size(); ++I) {
            const int L = Languages[I];
            FListSizes[size_t(L)] = std::max(Sizes[I], 1);
            FLists[size_t(L)]->setGeometry(X, Top, FListSizes[size_t(L)], height() - Top);
            FLabels[size_t(L)]->move(X + 5, 3);
            X += FListSizes[size_t(L)];
        }
    } else {
        Sizes = ScaleSizes(Sizes, height() - Panels - 2);
        int Y = 0;
        for (size_t I = 0; I < Languages.size(); ++I) {
            const int L = Languages[I];
            QWidget* Panel = FPanels[size_t(L)];
            Panel->setGeometry(0, Y, width(), Panel->height());
            Y += Panel->height();
            FListSizes[size_t(L)] = std::max(Sizes[I], 1);
            FLists[size_t(L)]->setGeometry(0, Y, width(), FListSizes[size_t(L)]);
            Y += FListSizes[size_t(L)];
        }
    }
    for (int L : Languages) RescaleColumns(FLists[size_t(L)]);
}

void TCollocationForm::resizeEvent(QResizeEvent* Event) {
    TAppMessageForm::resizeEvent(Event);
    LayoutLists();
}

// Emptying the lists under the progress window keeps a long list's close from looking like a hang.
void TCollocationForm::closeEvent(QCloseEvent* Event) {
    if (!FCleared) {
        FCleared = true;
        const QPointer<TCollocationForm> Alive(this);
        // The lists alone: the owner may be halfway through its destruction when it closes this window.
        for (int L = 0; L < MaxLanguages; ++L) {
            if (!FLists[size_t(L)]) continue;
            ClearListWithProgress(ListText(L), FLists[size_t(L)]);
            if (!Alive) return;
        }
    }
    TAppMessageForm::closeEvent(Event);
}

bool TCollocationForm::event(QEvent* Event) {
    if (Event->type() == QEvent::WindowActivate) PostStatusText(std::string());
    return TAppMessageForm::event(Event);
}

bool TCollocationForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::FocusIn && qobject_cast<QTreeWidget*>(Watched))
        PostStatusText(std::string());
    return TAppMessageForm::eventFilter(Watched, Event);
}

void TCollocationForm::CopyToClipboard() {
    QTreeWidget* First = nullptr;
    for (QTreeWidget* Tree : FLists) {
        if (!Tree) continue;
        if (focusWidget() == Tree) {
            CopyListToClipboard(Tree);
            return;
        }
        if (!First) First = Tree;
    }
    // The command names no list: the first one shown is what the user sees first.
    if (First) CopyListToClipboard(First);
}

void TCollocationForm::ChangeFont() {
    for (QTreeWidget* Tree : FLists)
        if (Tree && focusWidget() == Tree) {
            ChooseConfigFont(FrequencyFont, Tree->property("language").toInt());
            return;
        }
}

std::vector<TAppMessageForm::TMergedMenu> TCollocationForm::MergedMenus() const {
    return {{4, FDisplayMenu}};
}

void TCollocationForm::CloseWindow() {
    if (IsClosing()) return;
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        Sub->close();
    else
        close();
}

intptr_t TCollocationForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    const bool FromOwner = FOwner && WParam == reinterpret_cast<intptr_t>(FOwner.data());
    switch (Msg) {
        case CM_FONTCHANGED:
            ApplyFonts();
            LayoutLists();
            break;
        case CM_CONCORDCLOSED:
            if (FromOwner) CloseWindow();
            break;
        case CM_COLLOCDATADROPPED:
            if (FromOwner && Concerns(int(LParam))) CloseWindow();
            break;
        case CM_COLLOCSETTINGSCHANGED:
            if (Concerns(int(WParam)) && CollocSettingsCloses(LParam)) CloseWindow();
            break;
        default:
            break;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------------

TCollocationForm* ShowCollocation(QMdiArea* Area, int Language) {
    if (!Area) return nullptr;
    QMdiSubWindow* Active = Area->activeSubWindow();
    auto* Owner = Active ? qobject_cast<TTessivorForm*>(Active->widget()) : nullptr;
    if (!Owner || Owner->Busy()) return nullptr;
    if (Language >= Owner->LanguageCount) return nullptr;
    if (QWidget* Open = RaiseMdiChild(Area, [Language, Owner](QWidget* Form) {
            auto* Collocation = qobject_cast<TCollocationForm*>(Form);
            return Collocation && Collocation->Language() == Language && Collocation->Owner() == Owner;
        }))
        return static_cast<TCollocationForm*>(Open);
    auto* Form = new TCollocationForm(Owner, Language);
    QMdiSubWindow* Sub = ShowMdiChild(Area, Form);
    const QPointer<TCollocationForm> Alive(Form);
    const QPointer<QMdiSubWindow> SubAlive(Sub);
    if (Sub) Sub->setUpdatesEnabled(false);
    const bool Built = Form->Build();
    if (SubAlive) SubAlive->setUpdatesEnabled(true);
    if (!Alive) return nullptr;
    if (!Built) {
        Form->CloseWindow();
        return nullptr;
    }
    // The user may have worked in another window while the lists were made: the list asked for comes to
    // the front.
    if (SubAlive) {
        Area->setActiveSubWindow(SubAlive);
        SubAlive->raise();
    }
    return Form;
}
