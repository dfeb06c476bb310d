#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>

#include "controls/ConcFormUtils.h"
#include "engine/ConcUtils.h"
#include "results/ConcHitInfo.h"
#include "results/ConcMatchInfo.h"
#include "results/ConcParaContext.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// Delivers broadcasts to the larger-context windows of one MDI area, as the main window does.
class TAreaMessenger : public TRecordingMessenger {
public:
    explicit TAreaMessenger(QMdiArea& Area) {
        OnBroadcast = [&Area](int Msg, intptr_t WParam, intptr_t LParam) {
            for (QMdiSubWindow* Sub : Area.subWindowList())
                if (auto* Form = qobject_cast<TParaContextForm*>(Sub->widget()))
                    Form->HandleAppMessage(Msg, WParam, LParam);
        };
    }
};

// The hit is shown, not selected: a selection would paint over its highlight font. The caret waits at
// its start.
void ExpectHitShown(TParaContextForm* Form, const QString& Hit) {
    const QTextCursor Caret = Form->ContextLines->textCursor();
    EXPECT_FALSE(Caret.hasSelection()) << Caret.selectedText().toStdString();
    EXPECT_EQ(Caret.position(), Form->HitStart());
    EXPECT_EQ(Form->ContextLines->toPlainText().mid(Form->HitStart(), Form->HitLength()), Hit);
}

class HitContextTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        BigContextSize = 10;
        Text = "First line.\nThe house by the river.\nLast line.\n";
        AddFile(0, "en.txt", Text);
        ASSERT_TRUE(ProcessCorpus());
        Item = std::make_unique<TConcordItem>(0);
        Item->FileIndex = 0;
        Item->HitStart = static_cast<int32_t>(Text.find("house"));
        Item->HitEnd = Item->HitStart + 5;
    }
    std::string Text;
    std::unique_ptr<TConcordItem> Item;
};

}  // namespace

TEST_F(HitContextTest, SuppressFlagsPackOneByteEach) {
    TSuppressFlags F;
    F.HidePOSTags = true;
    EXPECT_EQ(PackSuppressFlags(F), 0x100u);
    const TSuppressFlags Back = UnpackSuppressFlags(0x010001);
    EXPECT_TRUE(Back.HideTags && Back.HideWords && !Back.HidePOSTags);
}

TEST_F(HitContextTest, LinesWithoutTextToShowOpenNothing) {
    TConcordItem Missing(0);  // no file in its language
    EXPECT_FALSE(HitHasContext(Missing));
    TConcordItem Unaligned(0);
    Unaligned.FileIndex = 0;  // no hit and no aligned passage: "N/A"
    EXPECT_FALSE(HitHasContext(Unaligned));
    Unaligned.AlignedStart = 12;
    EXPECT_TRUE(HitHasContext(Unaligned));
    EXPECT_EQ(ContextHitSpan(Unaligned), std::make_pair(12, 12));
    QMdiArea Area;
    EXPECT_EQ(ShowLargerContext(&Missing, &Area, 0), nullptr);
}

TEST_F(HitContextTest, LargerContextHighlightsTheHitAndIsReusedAndResized) {
    QMdiArea Area;
    Area.resize(600, 400);
    Area.show();
    TAreaMessenger Messenger(Area);
    TParaContextForm* Form = ShowLargerContext(Item.get(), &Area, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->windowTitle(), "Larger Context");
    EXPECT_EQ(Form->ContextLines->toPlainText().toStdString(), Text);
    ExpectHitShown(Form, "house");
    EXPECT_TRUE(Form->SizeAction(10)->isChecked());

    // The same line again: the window is brought forward, not opened twice.
    EXPECT_EQ(ShowLargerContext(Item.get(), &Area, 0), Form);
    EXPECT_EQ(Area.subWindowList().size(), 1);

    TConcordItem Other(0);
    Other.FileIndex = 0;
    Other.HitStart = 0;
    Other.HitEnd = 5;
    TParaContextForm* Second = ShowLargerContext(&Other, &Area, 0);
    ASSERT_NE(Second, Form);
    // 20K chosen in one window re-reads and re-checks every one.
    Second->SizeAction(20)->trigger();
    EXPECT_EQ(BigContextSize, 20);
    EXPECT_TRUE(Form->SizeAction(20)->isChecked());
    ExpectHitShown(Form, "house");

    // Suppressing words leaves no text of them.
    Form->SuppressAction(1)->trigger();
    EXPECT_TRUE(Form->Suppress().HideWords);
    EXPECT_EQ(Form->ContextLines->toPlainText().indexOf("river"), -1);
}

TEST_F(HitContextTest, HitInformationFollowsThePageOptions) {
    CommonConfig->ShowPages = false;
    THitInfoTexts T = HitInfoTexts(*Item);
    EXPECT_EQ(T.AbsoluteLine, "2");
    EXPECT_EQ(T.Page, "N/A");
    EXPECT_EQ(T.Line, "N/A");
    EXPECT_EQ(T.File, LanguageConfigs[0]->Files[0].Name);

    WatchedTags.emplace_back("<chapter>", "", "");
    LanguageConfigs[0]->Fonts[HiliteFont].Color = 0x0000C0;
    TMatchInfoForm Form(*Item);
    EXPECT_EQ(Form.MatchLabel->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
    EXPECT_EQ(Form.windowTitle(), "Info");
    EXPECT_EQ(Form.AbsoluteLineValue->text(), "2");
    EXPECT_EQ(Form.TagsGroup->title(), " Normal Tags ");
    ASSERT_EQ(Form.TagsList->topLevelItemCount(), 1);
    EXPECT_EQ(Form.TagsList->topLevelItem(0)->text(0), "<chapter>");
}

TEST_F(HitContextTest, LargerContextOpensAsLargeAsTheConcordanceWindow) {
    QMdiArea Area;
    Area.resize(900, 700);
    Area.show();
    TParaContextForm* Form = ShowLargerContext(Item.get(), &Area, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->size(), QSize(532, 412));
}

// Long lines and many of them: the lines are wrapped, so the hit comes into the middle of the view with
// every line shown from its start (never scrolled sideways), and the window's activation as an MDI child
// (its text taking the focus) posts the line's status. Unwrapped, the hit is scrolled into sight.
TEST_F(HitContextTest, LargerContextCentresTheHitAndPostsItsStatusWhenActive) {
    std::string Long;
    for (int Line = 0; Line < 60; ++Line) {
        for (int Word = 0; Word < 40; ++Word) Long += Line == 30 && Word == 20 ? "house " : "word ";
        Long += "\n";
    }
    AddFile(0, "long.txt", Long);
    ASSERT_TRUE(ProcessCorpus());
    TConcordItem Hit(0);
    Hit.FileIndex = 1;
    Hit.HitStart = static_cast<int32_t>(Long.find("house"));
    Hit.HitEnd = Hit.HitStart + 5;

    QMdiArea Area;
    Area.resize(900, 700);
    Area.show();
    auto* Other = new QLineEdit;
    Area.addSubWindow(Other)->show();
    TRecordingMessenger Messenger;
    TParaContextForm* Form = ShowLargerContext(&Hit, &Area, 0);
    ASSERT_NE(Form, nullptr);
    QApplication::processEvents();
    QTextCursor AtHit = Form->ContextLines->textCursor();
    AtHit.setPosition(Form->HitStart());
    const QRect Place = Form->ContextLines->cursorRect(AtHit);
    const QRect View = Form->ContextLines->viewport()->rect();
    EXPECT_TRUE(Form->WordWrapAction()->isChecked());
    EXPECT_EQ(Form->ContextLines->horizontalScrollBar()->value(), 0);
    EXPECT_TRUE(View.contains(Place)) << Place.left() << " of " << View.width();
    EXPECT_GT(Place.top(), View.height() / 4) << Place.top() << " of " << View.height();
    EXPECT_LT(Place.top(), View.height() * 3 / 4);
    ExpectHitShown(Form, "house");
    Form->WordWrapAction()->trigger();
    QApplication::processEvents();
    const QRect Unwrapped = Form->ContextLines->cursorRect(AtHit);
    EXPECT_TRUE(View.contains(Unwrapped)) << Unwrapped.left() << " of " << View.width();
    Form->WordWrapAction()->trigger();

    // A hit in sight without scrolling leaves the text at its beginning.
    TConcordItem Early(0);
    Early.FileIndex = 1;
    Early.HitStart = 5;
    Early.HitEnd = 9;
    TParaContextForm* AtStart = ShowLargerContext(&Early, &Area, 0);
    ASSERT_NE(AtStart, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(AtStart->ContextLines->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(AtStart->ContextLines->verticalScrollBar()->value(), 0);
    ExpectHitShown(AtStart, "word");

    auto LastPost = [&Messenger] {
        for (auto It = Messenger.Entries.rbegin(); It != Messenger.Entries.rend(); ++It)
            if (It->Kind == TRecordingMessenger::rkPost) return It->Text;
        return std::string("(none)");
    };
    Area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Other->parentWidget()));
    QApplication::processEvents();
    EXPECT_EQ(LastPost(), "");
    Area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Form->parentWidget()));
    QApplication::processEvents();
    EXPECT_NE(LastPost().find("long.txt"), std::string::npos) << LastPost();
}
