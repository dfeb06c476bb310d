#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "results/ConcParaContext.h"
#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// A corpus of Languages languages, each with two files of ten lines "w<i> hit<i> x<i>"; a window over
// Rows hits, row r being hit r of every language (the first half in file 0, the rest in file 1).
class TessivorFormTest : public TCorpusTest {
protected:
    void Build(int Languages, int Rows = 10) {
        for (int L = 0; L < Languages; ++L) {
            Lang(L).LanguageName = L == 0 ? "English" : "Language " + std::to_string(L);
            for (int F = 0; F < 2; ++F)
                AddFile(L, "l" + std::to_string(L) + "f" + std::to_string(F), FileText(F));
        }
        CommonConfig->ContextType = ctxWords;
        Form = new TTessivorForm;
        Form->LanguageCount = Languages;
        Form->PrimaryLanguage = 0;
        Form->QueryText = "hit*";
        for (int L = 0; L < Languages; ++L) {
            Form->Lists[size_t(L)]->Display.ContextType = ctxWords;
            for (int R = 0; R < Rows; ++R) Form->Lists[size_t(L)]->Add(MakeItem(L, R));
        }
        Form->BuildPanels();
        Form->resize(600, 500);
        Form->show();
        Form->UpdateCaption();
        Form->UpdateMatchCount();
        Form->UpdateQueryPanel();
        QApplication::processEvents();
    }

    void TearDown() override {
        delete Form.data();
        TCorpusTest::TearDown();
    }

    static std::string FileText(int F) {
        std::string Text;
        for (int I = 0; I < 10; ++I)
            Text += "w" + std::to_string(F * 10 + I) + " hit" + std::to_string(F * 10 + I) + " x\n";
        return Text;
    }

    static std::unique_ptr<TConcordItem> MakeItem(int L, int R) {
        auto Item = std::make_unique<TConcordItem>(L);
        const int F = R < 5 ? 0 : 1;
        const int N = F * 10 + R;  // the hit's number in its file
        const std::string Text = FileText(F), Hit = "hit" + std::to_string(N);
        Item->FileIndex = F;
        Item->HitStart = int32_t(Text.find(Hit + " "));
        Item->HitEnd = Item->HitStart + int32_t(Hit.size());
        Item->Texts.Set(0, Hit);
        Item->HitState = 1;
        Item->Sequence = R;
        return Item;
    }

    // The text and label pane L shows for Row.
    std::pair<std::string, std::string> Shown(int L, int Row) {
        std::string Text;
        TSVFormatArray Format;
        TSVLabelInfo Label;
        TStringsView& V = *Form->Views[size_t(L)];
        V.OnFormatItem(V, Row, Text, Format, Label);
        return {Text, Label.Text};
    }

    QPoint RowPoint(int L, int Row) const { return Form->Views[size_t(L)]->ItemRect(Row).center(); }

    TRecordingMessenger Messages;
    QPointer<TTessivorForm> Form;
};

}  // namespace

TEST_F(TessivorFormTest, PanesStackThePrimaryAboveTheOthersWithEqualHeights) {
    for (int Languages : {2, 3, 4}) {
        Build(Languages);
        ASSERT_TRUE(Form->PrimaryView);
        EXPECT_EQ(Form->PaneSplitter()->widget(0), Form->PrimaryView);
        EXPECT_EQ(Form->PrimaryView->Alignment(), svaCenter);
        EXPECT_EQ(Form->PrimaryView->Strings(), Form->Adapters[0].get());
        const int Client = Form->height() - Form->StatusBar()->height();
        const int H = PaneHeight(Client, Languages);
        for (int L = 0; L < Languages; ++L) {
            EXPECT_NEAR(Form->Views[size_t(L)]->height(), H, 2) << Languages << " languages, pane " << L;
            EXPECT_EQ(Form->Views[size_t(L)]->Tag(), L);
            // Every pane shows its own language's line of the same hit.
            EXPECT_NE(Shown(L, 3).first.find("hit3"), std::string::npos) << Shown(L, 3).first;
        }
        // The secondary panes are stacked in language order under the primary one.
        auto* Panel = qobject_cast<QSplitter*>(Form->PaneSplitter()->widget(1));
        ASSERT_TRUE(Panel);
        for (int L = 1; L < Languages; ++L) EXPECT_EQ(Panel->widget(L - 1), Form->Views[size_t(L)]);
        delete Form.data();
        ResetGlobalsForTest();
        TCorpusTest::SetUp();
    }
}

TEST_F(TessivorFormTest, CurrentLineAndSelectionStayInStepAcrossPanes) {
    Build(3);
    TStringsView* Second = Form->Views[1];
    Messages.Entries.clear();
    QTest::mouseClick(Second->viewport(), Qt::LeftButton, {}, RowPoint(1, 3));
    for (TStringsView* V : {Form->Views[0], Form->Views[1], Form->Views[2]}) {
        EXPECT_EQ(V->ItemIndex(), 3);
        EXPECT_EQ(V->SelectedItems(), (std::vector<int32_t>{3}));
    }
    // Shift held: the other panes extend from their own anchors, so all select the same lines.
    QTest::keyClick(Second, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(Second, Qt::Key_Down, Qt::ShiftModifier);
    for (TStringsView* V : {Form->Views[0], Form->Views[2]}) {
        EXPECT_EQ(V->ItemIndex(), 5);
        auto S = V->SelectedItems();
        std::sort(S.begin(), S.end());
        EXPECT_EQ(S, (std::vector<int32_t>{3, 4, 5}));
    }
    QTest::mouseClick(Second->viewport(), Qt::LeftButton, Qt::ControlModifier, RowPoint(1, 4));
    EXPECT_FALSE(Form->Views[0]->IsSelected(4));
    EXPECT_FALSE(Form->Views[2]->IsSelected(4));
    EXPECT_EQ(Form->FocusedLanguage(), 1);
    ASSERT_TRUE(Form->FocusedItem());
    EXPECT_EQ(Form->FocusedItem()->Sequence, 4);
    // The focused pane's line goes to the status bar.
    bool Posted = false;
    for (const auto& E : Messages.Entries)
        Posted |= E.Kind == TRecordingMessenger::rkPost && E.Text.find("Language 1") == 0;
    EXPECT_TRUE(Posted);
}

TEST_F(TessivorFormTest, StatusPanelsAndCaption) {
    Build(2);
    EXPECT_EQ(Form->windowTitle(), "Parallel Concordance - [hit*]");
    EXPECT_EQ(Form->StatusPanel(0)->text(), "10 matches");
    EXPECT_EQ(Form->StatusPanel(1)->text(), "English - Original text order");
    EXPECT_EQ(Form->StatusPanel(2)->text(), " Strings matching: hit*");
    const int Panel0 = QFontMetrics(Form->font()).horizontalAdvance("W WWWWWWW matches W");
    EXPECT_EQ(Form->StatusPanel(0)->width(), Panel0);
    EXPECT_EQ(Form->StatusPanel(1)->width(),
              FittedStatusPanelWidths(StatusPanelsRoom(Form->width()), Panel0,
                                      Form->StatusPanel(1)->FullTextWidth(),
                                      Form->StatusPanel(2)->FullTextWidth())[1]);
    EXPECT_EQ(Form->MergedMenus().size(), 2u);
    EXPECT_EQ(Form->MergedMenus()[0].Menu->title(), "&Display");
    EXPECT_EQ(Form->MergedMenus()[1].GroupIndex, 5);
}

// The status panels follow the window's width; they must not hold the window at the width it had (the
// user could not make it narrower, and tiling the windows stretched the main window instead).
TEST_F(TessivorFormTest, TheWindowCanBeMadeNarrowerThanItsStatusPanelsWere) {
    Build(2);
    Form->resize(900, 500);
    QApplication::processEvents();
    EXPECT_LT(Form->minimumSizeHint().width(), 300);
    Form->resize(300, 400);
    QApplication::processEvents();
    EXPECT_EQ(Form->width(), 300);
    const int Panel0 = QFontMetrics(Form->font()).horizontalAdvance("W WWWWWWW matches W");
    EXPECT_EQ(Form->StatusPanel(1)->width(),
              FittedStatusPanelWidths(StatusPanelsRoom(300), Panel0, Form->StatusPanel(1)->FullTextWidth(),
                                      Form->StatusPanel(2)->FullTextWidth())[1]);
}

// A sort caption longer than half of what panel 0 leaves takes the room the query panel does not need;
// where the window is too narrow for it, it is cut with an ellipsis and shows whole in its tooltip.
TEST_F(TessivorFormTest, StatusPanelsShowTheirTextsWholeOrElidedWithATooltip) {
    Build(2);
    Lang(0).LanguageName = "English (United States)";
    Form->UpdateSortCaption();
    // Panels lie apart inside the status bar, so that no text runs into the next panel's.
    const auto PanelsApart = [this] {
        for (int I = 0; I < 2; ++I)
            if (Form->StatusPanel(I)->geometry().right() >= Form->StatusPanel(I + 1)->x()) return false;
        return Form->StatusPanel(2)->geometry().right() < Form->StatusPanel(2)->parentWidget()->width();
    };
    Form->resize(700, 412);
    QApplication::processEvents();
    EXPECT_TRUE(PanelsApart());
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(Form->StatusPanel(I)->text(), Form->StatusPanel(I)->FullText()) << I;
        EXPECT_GE(Form->StatusPanel(I)->width(), Form->StatusPanel(I)->FullTextWidth()) << I;
        EXPECT_TRUE(Form->StatusPanel(I)->toolTip().isEmpty()) << I;
    }
    EXPECT_EQ(Form->StatusPanel(1)->text(), "English (United States) - Original text order");
    Form->resize(300, 412);
    QApplication::processEvents();
    EXPECT_TRUE(PanelsApart());
    TElidingLabel* Sort = Form->StatusPanel(1);
    EXPECT_NE(Sort->text(), Sort->FullText());
    EXPECT_TRUE(Sort->text().endsWith(QChar(0x2026))) << Sort->text().toStdString();
    EXPECT_LE(Sort->fontMetrics().horizontalAdvance(Sort->text()), Sort->contentsRect().width());
    EXPECT_EQ(Sort->toolTip(), Sort->FullText());
}

TEST_F(TessivorFormTest, AnEmptyResultSaysNoMatchesWithoutASortCaption) {
    Build(2, 0);
    EXPECT_EQ(Form->StatusPanel(0)->text(), "No matches");
    EXPECT_EQ(Form->StatusPanel(1)->text(), "");
    EXPECT_EQ(Form->PrimaryView->ItemIndex(), -1);
}

TEST_F(TessivorFormTest, LabelsAppearOnlyInPanesThatNeedThem) {
    Build(3);
    Form->UpdateLabels();
    for (TStringsView* V : {Form->Views[0], Form->Views[1], Form->Views[2]}) EXPECT_FALSE(V->ShowLabels());
    EXPECT_EQ(Shown(1, 0).second, "");
    Form->Lists[1]->GetItem(2)->Letter = 'c';
    Form->UpdateLabels();
    EXPECT_FALSE(Form->Views[0]->ShowLabels());
    EXPECT_TRUE(Form->Views[1]->ShowLabels());
    EXPECT_EQ(Form->Views[1]->LabelWidth(), LabelColumnChars(10, true) * Form->Views[1]->CharWidth());
    EXPECT_EQ(Shown(1, 2).second, "c ");
    Form->ShowLineNumbers = true;
    Form->UpdateLabels();
    EXPECT_TRUE(Form->Views[0]->ShowLabels());
    EXPECT_EQ(Shown(0, 9).second, "10   ");
    EXPECT_EQ(Shown(1, 2).second, "3 c ");
}

TEST_F(TessivorFormTest, DisplayModeFollowsTheContextType) {
    Build(2);
    EXPECT_FALSE(Form->PrimaryView->WordWrap());
    Form->Lists[0]->Display.ContextType = ctxLines;
    Form->WordWrap[0] = true;
    Form->SetDisplayMode(0);
    EXPECT_TRUE(Form->PrimaryView->WordWrap());
    EXPECT_EQ(Form->PrimaryView->Alignment(), svaLeft);
    // Secondary panes stay left-aligned and unwrapped from building on.
    EXPECT_EQ(Form->Views[1]->Alignment(), svaLeft);
    EXPECT_FALSE(Form->Views[1]->WordWrap());
}

TEST_F(TessivorFormTest, ADroppedFileTakesItsLinesFromEveryPaneAndRenumbersTheLaterFile) {
    Build(3);
    // Larger contexts of a line in the dropped file and of one in the other file.
    QPointer<TParaContextForm> Dropped = ShowLargerContext(Form->Lists[1]->GetItem(2), Form, 0);
    QPointer<TParaContextForm> Kept = ShowLargerContext(Form->Lists[0]->GetItem(7), Form, 0);
    ASSERT_TRUE(Dropped && Kept);
    Messages.Entries.clear();
    Form->HandleAppMessage(CM_DROPFILE, 0, 0);
    EXPECT_FALSE(Dropped);
    ASSERT_TRUE(Kept);
    EXPECT_EQ(Kept->Item(), Form->Lists[0]->GetItem(2));
    for (int L = 0; L < 3; ++L) {
        const TConcordItems& List = *Form->Lists[size_t(L)];
        ASSERT_EQ(List.Count(), 5);
        EXPECT_EQ(Form->Views[size_t(L)]->BottomIndex(), 4);
        for (int R = 0; R < 5; ++R) EXPECT_EQ(List.GetItem(R)->Sequence, R);
    }
    // Language 0's rows now name the former file 1 as 0; the others' rows keep theirs.
    EXPECT_EQ(Form->Lists[0]->GetItem(0)->FileIndex, 0);
    EXPECT_EQ(Form->Lists[1]->GetItem(0)->FileIndex, 1);
    EXPECT_EQ(Form->StatusPanel(0)->text(), "5 matches");
    EXPECT_EQ(Messages.Messages(),
              (std::vector<int>{CM_COLLOCDATADROPPED, CM_COLLOCDATADROPPED, CM_COLLOCDATADROPPED}));
    for (const auto& E : Messages.Entries)
        if (E.Kind == TRecordingMessenger::rkBroadcast) {
            EXPECT_EQ(E.WParam, reinterpret_cast<intptr_t>(Form.data()));
        }
    // The window's remaining larger contexts go with it.
    delete Form.data();
    EXPECT_FALSE(Kept);
}

TEST_F(TessivorFormTest, MessagesThatCloseTheWindowOrChangeItsSettings) {
    Build(2);
    // Fonts: only the kinds the window shows.
    LanguageConfigs[1]->Fonts[HiliteFont].Color = 0x00FF00;
    Form->HandleAppMessage(CM_FONTCHANGED, 1, ContextFont);
    EXPECT_NE(Form->Lists[1]->HitColour, 0x00FF00);
    Form->HandleAppMessage(CM_FONTCHANGED, 1, HiliteFont);
    EXPECT_EQ(Form->Lists[1]->HitColour, 0x00FF00);
    // Collocate settings: span and case changes switch highlighting off.
    EXPECT_TRUE(Form->HighlightCollocates[1]);
    Form->HandleAppMessage(CM_COLLOCSETTINGSCHANGED, 1, 1);
    EXPECT_TRUE(Form->HighlightCollocates[1]);
    Form->HandleAppMessage(CM_COLLOCSETTINGSCHANGED, 1, 2);
    EXPECT_FALSE(Form->HighlightCollocates[1]);
    // A dropped tag index resets the sort record.
    Form->SortRecord.Keys[0].Key = sk1L;
    Form->HandleAppMessage(CM_TAGINDEXDROPPED, 0, 0);
    EXPECT_EQ(Form->SortRecord.Keys[0].Key, skNone);
    // Exchanging files after every row's file leaves the window; one before them closes it.
    TFilePair Later{3, 2};
    Form->HandleAppMessage(CM_FILESEXCHANGED, 0, reinterpret_cast<intptr_t>(&Later));
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(Form);
    TFilePair Earlier{1, 0};
    Form->HandleAppMessage(CM_FILESEXCHANGED, 0, reinterpret_cast<intptr_t>(&Earlier));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Form);
    // The closed window told the others it is gone.
    EXPECT_EQ(Messages.Messages().back(), CM_CONCORDCLOSED);
}

TEST_F(TessivorFormTest, ADroppedAlignmentClosesTheWindow) {
    Build(2);
    Form->HandleAppMessage(CM_ALIGNMENTDROPPED, -1, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Form);
}

TEST_F(TessivorFormTest, ADoubleClickOpensTheLargerContextOfTheLineOnce) {
    Build(2);
    TStringsView& View = *Form->Views[1];
    View.setFocus();
    View.SetItemIndex(2);
    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, RowPoint(1, 2));
    QTest::mouseDClick(View.viewport(), Qt::LeftButton, {}, RowPoint(1, 2));
    std::vector<TParaContextForm*> Opened;
    for (QWidget* W : QApplication::topLevelWidgets())
        if (auto* F = qobject_cast<TParaContextForm*>(W); F && F->isVisible()) Opened.push_back(F);
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0]->Item(), Form->Lists[1]->GetItem(2));
    EXPECT_FALSE(Opened[0]->ContextLines->textCursor().hasSelection());
    EXPECT_EQ(Opened[0]->ContextLines->toPlainText().mid(Opened[0]->HitStart(), Opened[0]->HitLength()),
              "hit2");
    // Deleting the window closes its larger contexts first.
    QPointer<TParaContextForm> Context = Opened[0];
    delete Form.data();
    QApplication::processEvents();
    EXPECT_TRUE(!Context || !Context->isVisible());
}

// The keyboard reaches what the mouse does: Enter on a line opens its larger context as a double click
// does, and Shift+F10 opens the popup just below the current line with "Display Info..." enabled for it.
TEST_F(TessivorFormTest, EnterOpensTheLargerContextAndShiftF10ThePopupAtTheLine) {
    Build(2);
    QApplication::setActiveWindow(Form);
    TStringsView& View = *Form->Views[1];
    View.setFocus();
    QTest::keyClick(&View, Qt::Key_Down);
    QTest::keyClick(&View, Qt::Key_Down);
    ASSERT_EQ(View.ItemIndex(), 2);
    QTest::keyClick(&View, Qt::Key_Return);
    std::vector<TParaContextForm*> Opened;
    for (QWidget* W : QApplication::topLevelWidgets())
        if (auto* F = qobject_cast<TParaContextForm*>(W); F && F->isVisible()) Opened.push_back(F);
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0]->Item(), Form->Lists[1]->GetItem(2));
    Opened[0]->close();

    QApplication::setActiveWindow(Form);
    View.setFocus();
    QRect PopupAt;
    bool InfoEnabled = false;
    QTimer::singleShot(0, [&] {
        if (auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            PopupAt = Menu->geometry();
            for (QAction* A : Menu->actions())
                if (A->text() == "&Display Info...") InfoEnabled = A->isEnabled();
            Menu->close();
        }
    });
    QTest::keyClick(&View, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_FALSE(PopupAt.isNull());
    const QRect Line(View.viewport()->mapToGlobal(View.ItemRect(2).topLeft()), View.ItemRect(2).size());
    EXPECT_EQ(PopupAt.top(), Line.top() + View.LineHeight());
    EXPECT_TRUE(InfoEnabled);
}
