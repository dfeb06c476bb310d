#include "results/ConcParaContext.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "controls/LangText.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "results/ConcHitInfo.h"

namespace {

constexpr int Sizes[3] = {10, 20, 30};
constexpr const char* SizeCaptions[3] = {"&10K", "&20K", "&30K"};
// The suppress entries in menu order with the option each toggles.
constexpr std::pair<const char*, int> SuppressEntries[3] = {
    {"&Normal Tags", 0}, {"&Special Tags", 2}, {"&Words", 1}};

bool FlagOf(const TSuppressFlags& Flags, int Option) {
    return Option == 0 ? Flags.HideTags : Option == 1 ? Flags.HideWords : Flags.HidePOSTags;
}

}  // namespace

TParaContextForm::TParaContextForm(TConcordItem* Item, QWidget* Owner, uint32_t SuppressFlags,
                                   QWidget* Parent)
    : TAppMessageForm(Parent), FItem(Item), FOwner(Owner), FSuppress(UnpackSuppressFlags(SuppressFlags)) {
    setWindowTitle("Larger Context");
    // As large as the concordance window it comes from: its rich text needs room more than the lines do.
    resize(532, 412);
    ContextLines = new QTextEdit(this);
    ContextLines->setReadOnly(true);
    // Wrapped from the start: a corpus paragraph is often one long line, and a view of unwrapped lines
    // scrolled to the hit would cut the start of every line.
    ContextLines->setLineWrapMode(QTextEdit::WidgetWidth);
    ContextLines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ContextLines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(ContextLines);
    ContextLines->installEventFilter(this);

    FDisplayMenu = new QMenu("&Display", this);
    FDisplayMenu->addAction("Change &Font...", this,
                            [this] { ChooseConfigFont(ContextFont, FItem->Language); });
    FDisplayMenu->addAction("Change &Highlight Font....", this,
                            [this] { ChooseConfigFont(ContextHiliteFont, FItem->Language); });
    QMenu* SizeMenu = FDisplayMenu->addMenu("Co&ntext Window Size");
    auto* SizeGroup = new QActionGroup(this);
    for (int I = 0; I < 3; ++I) {
        QAction* A = SizeMenu->addAction(SizeCaptions[I], this, [I] { SetBigContextSize(Sizes[I]); });
        A->setCheckable(true);
        SizeGroup->addAction(A);
        FSizeActions.push_back(A);
    }
    QMenu* SuppressMenu = FDisplayMenu->addMenu("&Suppress");
    for (const auto& [Caption, Option] : SuppressEntries) {
        QAction* A = SuppressMenu->addAction(Caption, this, [this, Option = Option] {
            if (ToggleSuppressOption(FSuppress, Option)) Fill();
            UpdateChecks();
        });
        A->setCheckable(true);
        FSuppressActions.push_back(A);
    }
    FWordWrap = FDisplayMenu->addAction("&Word Wrap", this, [this] {
        ContextLines->setLineWrapMode(FWordWrap->isChecked() ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        SelectHit();
    });
    FWordWrap->setCheckable(true);
    FWordWrap->setChecked(true);
    FDisplayMenu->addAction("&Copy to Clipboard", QKeySequence(Qt::CTRL | Qt::Key_C), ContextLines,
                            &QTextEdit::copy);
    UpdateChecks();
}

QAction* TParaContextForm::SizeAction(int Size) const {
    for (int I = 0; I < 3; ++I)
        if (Sizes[I] == Size) return FSizeActions[size_t(I)];
    return nullptr;
}

QAction* TParaContextForm::SuppressAction(int Option) const {
    for (size_t I = 0; I < 3; ++I)
        if (SuppressEntries[I].second == Option) return FSuppressActions[I];
    return nullptr;
}

void TParaContextForm::UpdateChecks() {
    for (int I = 0; I < 3; ++I) FSizeActions[size_t(I)]->setChecked(Sizes[I] == BigContextSize);
    for (size_t I = 0; I < 3; ++I)
        FSuppressActions[I]->setChecked(FlagOf(FSuppress, SuppressEntries[I].second));
}

std::vector<TAppMessageForm::TMergedMenu> TParaContextForm::MergedMenus() const {
    return {{4, FDisplayMenu}};
}

int TParaContextForm::AppendText(const std::string& Text, int FontIndex) {
    QTextCursor Cursor(ContextLines->document());
    Cursor.movePosition(QTextCursor::End);
    QTextCharFormat Format;
    const QFont Font = LanguageFont(FItem->Language, FontIndex);
    Format.setFont(Font);
    const TConcordConfig* Config = LanguageConfigs[size_t(FItem->Language)].get();
    if (Config) Format.setForeground(ColorRefToQColor(Config->Fonts[size_t(FontIndex)].Color));
    Cursor.insertText(LangToQString(Text, FItem->Language), Format);
    return Cursor.position();
}

void TParaContextForm::Fill() {
    ContextLines->setUpdatesEnabled(false);
    ContextLines->clear();
    FHitStart = FHitLength = -1;
    if (HitHasContext(*FItem)) {
        const auto [Start, End] = ContextHitSpan(*FItem);
        TBufStream& Reader = FileReader(FItem->Language, FItem->FileIndex);
        ConfigureBufStream(Reader);
        TSVFormatArray Runs;
        const TCharTypes Visible =
            VisibleCharTypes(FSuppress.HideTags, FSuppress.HidePOSTags, FSuppress.HideWords);
        const std::string Text = ReadContextWindow(FItem->Language, Reader, Start, Visible, End, Runs);
        if (Runs.empty()) {
            AppendText(Text, ContextFont);
        } else {
            const size_t From = size_t(std::clamp<int32_t>(Runs[0].Start - 1, 0, int32_t(Text.size())));
            const size_t Length = std::min(size_t(std::max(Runs[0].Length, 0)), Text.size() - From);
            FHitStart = AppendText(Text.substr(0, From), ContextFont);
            FHitLength =
                Length >= 1 ? AppendText(Text.substr(From, Length), ContextHiliteFont) - FHitStart : 0;
            AppendText(Text.substr(From + Length), ContextFont);
        }
    }
    SelectHit();
    ContextLines->setUpdatesEnabled(true);
}

void TParaContextForm::SelectHit() {
    if (FHitLength < 0) return;
    QScrollBar* H = ContextLines->horizontalScrollBar();
    QScrollBar* V = ContextLines->verticalScrollBar();
    H->setValue(0);
    V->setValue(0);
    QTextCursor Cursor(ContextLines->document());
    Cursor.setPosition(FHitStart);
    const QRect Start = ContextLines->cursorRect(Cursor);
    Cursor.setPosition(FHitStart + FHitLength);
    const QRect End = ContextLines->cursorRect(Cursor);
    // The text is shown from its beginning when the hit is well in sight there. Otherwise the hit comes
    // into the middle: scrolled only far enough to show it, it would sit on the view's edge with nothing
    // of the text around it in sight on that side.
    const QRect Viewport = ContextLines->viewport()->rect();
    if (End.right() > Viewport.width() * 3 / 4 && Start.top() == End.top())
        H->setValue((Start.left() + End.right()) / 2 - Viewport.center().x());
    if (End.bottom() > Viewport.height() * 3 / 4) V->setValue(Start.center().y() - Viewport.center().y());
    // The caret goes to the hit without selecting it: a selection would paint over the highlight font
    // that marks the hit, and the keys then move on from the hit.
    Cursor.setPosition(FHitStart);
    ContextLines->setTextCursor(Cursor);
}

intptr_t TParaContextForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    if (Msg == CM_FONTCHANGED && WParam == FItem->Language &&
        (LParam == ContextFont || LParam == ContextHiliteFont)) {
        Fill();
    } else if (Msg == CM_CONTEXTSIZECHANGED) {
        UpdateChecks();
        Fill();
    }
    return 0;
}

// An MDI child's activation is no activation of a top-level window: the focus of its only control is
// what follows it.
bool TParaContextForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == ContextLines && (Event->type() == QEvent::FocusIn || Event->type() == QEvent::FocusOut) &&
        static_cast<QFocusEvent*>(Event)->reason() != Qt::PopupFocusReason) {
        if (Event->type() == QEvent::FocusIn)
            PostItemStatusText(FItem->Language, FItem);
        else
            PostStatusText("");
    }
    return TAppMessageForm::eventFilter(Watched, Event);
}

QMdiArea* MdiAreaOf(QWidget* Widget) {
    for (QWidget* W = Widget; W; W = W->parentWidget())
        if (auto* Area = qobject_cast<QMdiArea*>(W)) return Area;
    return nullptr;
}

TParaContextForm* ShowLargerContext(TConcordItem* Item, QWidget* Owner, uint32_t SuppressFlags) {
    if (!Item || !HitHasContext(*Item)) return nullptr;
    QMdiArea* Area = MdiAreaOf(Owner);
    if (Area) {
        for (QMdiSubWindow* Sub : Area->subWindowList()) {
            auto* Form = qobject_cast<TParaContextForm*>(Sub->widget());
            if (Form && Form->Item() == Item) {
                Sub->showNormal();
                Area->setActiveSubWindow(Sub);
                return Form;
            }
        }
    }
    if (!Area) {
        for (QWidget* W : QApplication::topLevelWidgets()) {
            auto* Form = qobject_cast<TParaContextForm*>(W);
            if (Form && Form->Item() == Item && Form->isVisible()) {
                Form->showNormal();
                Form->activateWindow();
                return Form;
            }
        }
    }
    auto* Form = new TParaContextForm(Item, Owner, SuppressFlags);
    ShowMdiChild(Area, Form);
    Form->Fill();
    return Form;
}

void SetBigContextSize(int Size) {
    if (Size == BigContextSize) return;
    BigContextSize = Size;
    BroadcastToChildren(CM_CONTEXTSIZECHANGED, 0, 0);
}
