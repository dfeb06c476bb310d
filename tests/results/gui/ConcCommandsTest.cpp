// The commands of a concordance window as a user reaches them: its "&Display" and "S&ort" menus in the
// main window's menu bar, its popup (Shift+F10 on a line) and its keys, over a search of a small
// two-language corpus written here. Every choice is a click on the entry where the menu shows it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <set>

#include "engine/ConcFreqList.h"
#include "results/ConcAdvancedSort.h"
#include "results/ConcContextType.h"
#include "results/ConcDistrib.h"
#include "results/ConcHotChoose.h"
#include "results/ConcHotWordsOptions.h"
#include "results/ConcLineCommands.h"
#include "results/ConcMatchInfo.h"
#include "results/ConcParaContext.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcTessivor.h"
#include "tests/support/ConcordanceTestSupport.h"

namespace {

// Clicks, one after the other, the entries Path names in the menus that open, starting with the
// popup open now.
void ClickThrough(QStringList Path) {
    auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(Menu) << Path.join(" > ").toStdString();
    const QString Caption = Path.takeFirst();
    QAction* Entry = nullptr;
    for (QAction* A : Menu->actions())
        if (A->text() == Caption && A->isVisible()) Entry = A;
    ASSERT_TRUE(Entry) << Caption.toStdString();
    const QPoint At = Menu->actionGeometry(Entry).center();
    QTest::mouseMove(Menu, At);
    QTest::mouseClick(Menu, Qt::LeftButton, {}, At);
    if (Path.isEmpty()) return;
    QTRY_VERIFY(Entry->menu() && Entry->menu()->isVisible());
    ClickThrough(Path);
}

class CommandsTest : public TConcordanceWindowTest {
protected:
    void SetUp() override {
        TConcordanceWindowTest::SetUp();
        CommonConfig->TagSearchSeparator = '&';
        OpenConcordance({900, 700}, Languages());
        ASSERT_NE(Concordance, nullptr);
        // Wide enough that the sort captions the tests read show whole in their panel.
        Concordance->parentWidget()->resize(860, 500);
        // As the main window does: the active child's menus go into the menu bar.
        for (const auto& M : Concordance->MergedMenus()) Main.menuBar()->addMenu(M.Menu);
        QApplication::setActiveWindow(&Main);
        Click(0, 0);
    }

    virtual int Languages() const { return 2; }
    TStringsView& View(int L) { return *Concordance->Views[size_t(L)]; }
    // A click on a line; it activates the main window, as a click on it does under a window manager.
    void Click(int L, int Row, Qt::KeyboardModifiers Keys = {}) {
        QApplication::setActiveWindow(&Main);
        QTest::mouseClick(View(L).viewport(), Qt::LeftButton, Keys, View(L).ItemRect(Row).center());
    }
    // Opens Title in the menu bar and clicks through Path.
    void Menu(const QString& Title, const QStringList& Path) {
        QAction* Entry = nullptr;
        for (QAction* A : Main.menuBar()->actions())
            if (A->text() == Title) Entry = A;
        ASSERT_TRUE(Entry && Entry->isVisible()) << Title.toStdString();
        QTest::mouseClick(Main.menuBar(), Qt::LeftButton, {}, Main.menuBar()->actionGeometry(Entry).center());
        ClickThrough(Path);
    }
    // A right click on line Row of pane L through the main window, as the window system delivers it
    // (the press, then the popup it asks for), then Path in the popup.
    void RightClick(int L, int Row, const QStringList& Path) {
        QTimer::singleShot(0, [=] { ClickThrough(Path); });
        const QPoint At = View(L).viewport()->mapTo(&Main, View(L).ItemRect(Row).center());
        QTest::mouseClick(Main.windowHandle(), Qt::RightButton, {}, At);
    }
    // The status text posted last.
    std::string LastStatus() const {
        for (auto It = Messages.Entries.rbegin(); It != Messages.Entries.rend(); ++It)
            if (It->Kind == TRecordingMessenger::rkPost) return It->Text;
        return "(none)";
    }
    // Shift+F10 on pane L's current line, then Path; Look sees the popup before the click.
    void Popup(int L, const QStringList& Path, std::function<void(QMenu&)> Look = {}) {
        QTimer::singleShot(0, [=] {
            if (auto* M = qobject_cast<QMenu*>(QApplication::activePopupWidget()); M && Look) Look(*M);
            ClickThrough(Path);
        });
        QTest::keyClick(&View(L), Qt::Key_F10, Qt::ShiftModifier);
    }
    // Acts on the next modal dialog of type T once it shows.
    template <class T>
    static void Answer(std::function<void(T&)> Act) {
        QTimer::singleShot(0, [Act] {
            auto* Dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!Dialog) return Answer<T>(Act);
            Act(*Dialog);
        });
    }
    static void AnswerQuery(const QString& Pattern) {
        Answer<TSearchQueryForm>([Pattern](TSearchQueryForm& Dialog) {
            Dialog.PatternBox->setEditText(Pattern);
            QTest::mouseClick(Dialog.OkBtn, Qt::LeftButton);
        });
    }
    std::vector<int32_t> Sequences(int L) const {
        std::vector<int32_t> S;
        for (int32_t R = 0; R < Concordance->Lists[size_t(L)]->Count(); ++R)
            S.push_back(Concordance->Lists[size_t(L)]->GetItem(R)->Sequence);
        return S;
    }
    static QAction* Entry(QMenu& Menu, const QString& Caption) {
        for (QAction* A : Menu.actions())
            if (A->text() == Caption) return A;
        return nullptr;
    }

    TRecordingMessenger Messages;
};

}  // namespace

TEST_F(CommandsTest, SortingKeepsThePanesInStepAndSortsAgainOnlyForAnotherOrderOrPane) {
    ASSERT_EQ(Sequences(0).size(), 6u);
    // The other pane gets hits of its own to sort by: every word, the first shown.
    Click(1, 0);
    EXPECT_FALSE(Concordance->SortMenu()->menuAction()->isVisible());
    AnswerQuery("*");
    Popup(1, {"&Search Query"});
    ASSERT_TRUE(Concordance->Lists[1]->RowsFilled);
    Menu("S&ort", {"1st &Right", "2n&d Right"});
    const std::vector<int32_t> ByFrench{0, 2, 4, 1, 3, 5};
    EXPECT_EQ(Sequences(1), ByFrench);
    EXPECT_EQ(Sequences(0), ByFrench);
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "French - 1st right, 2nd right");
    // The same order again sorts nothing: rows moved by hand stay where they are.
    for (int L = 0; L < 2; ++L) Concordance->Lists[size_t(L)]->Exchange(0, 1);
    Menu("S&ort", {"1st &Right", "2n&d Right"});
    EXPECT_EQ(Sequences(1), (std::vector<int32_t>{2, 0, 4, 1, 3, 5}));
    // The same keys in the other pane sort by its words.
    Click(0, 0);
    Menu("S&ort", {"1st &Right", "2n&d Right"});
    EXPECT_EQ(Sequences(0), (std::vector<int32_t>{3, 2, 0, 1, 4, 5}));
    EXPECT_EQ(Sequences(1), Sequences(0));
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - 1st right, 2nd right");
    QTest::keyClick(&View(0), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - 1st right, 1st left");
    Menu("S&ort", {"&Original Order"});
    EXPECT_EQ(Sequences(1), (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    // KWIC shows eight words around the hit once it sorted.
    Concordance->Lists[0]->Display.ContextType = ctxSegment;
    Popup(0, {"&KWIC/Highlight"});
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - Search word, 1st right");
    EXPECT_EQ(Concordance->Lists[0]->Display.ContextType, ctxWords);
    EXPECT_EQ(Concordance->Lists[0]->Display.ContextSizes[ctxWords], 8);
    // A pane whose hits were cleared has nothing to sort by.
    EXPECT_TRUE(Concordance->SortMenu()->menuAction()->isVisible());
    Click(1, 0);
    Popup(1, {"&Clear Search Query"});
    EXPECT_FALSE(Concordance->Lists[1]->GetItem(0)->IsFilled());
    EXPECT_FALSE(Concordance->SortMenu()->menuAction()->isVisible());
    QTest::keyClick(&View(1), Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - Search word, 1st right");
}

TEST_F(CommandsTest, LettersGoToTheSelectedLinesAndThePopupChecksTheCurrentLinesLetter) {
    Click(0, 1);
    Click(0, 3, Qt::ControlModifier);
    Popup(0, {"&Assign Letter", "&c"});
    EXPECT_EQ(Concordance->Lists[0]->GetItem(1)->Letter, 'c');
    EXPECT_EQ(Concordance->Lists[0]->GetItem(3)->Letter, 'c');
    EXPECT_EQ(Concordance->Lists[0]->GetItem(2)->Letter, NoLetter);
    EXPECT_EQ(Concordance->Lists[1]->GetItem(1)->Letter, NoLetter);
    EXPECT_TRUE(View(0).ShowLabels());
    QStringList CheckedLetters;
    Popup(0, {"&Remove Letter"}, [&](QMenu&) {
        for (QAction* A : Concordance->AssignLetterMenu()->actions())
            if (A->isChecked()) CheckedLetters << A->text();
    });
    EXPECT_EQ(CheckedLetters, QStringList{"&c"});
    EXPECT_EQ(Concordance->Lists[0]->GetItem(3)->Letter, NoLetter);
    EXPECT_EQ(Concordance->Lists[0]->GetItem(1)->Letter, 'c');
    Popup(0, {"R&emove All Letters"});
    EXPECT_EQ(Concordance->Lists[0]->GetItem(1)->Letter, NoLetter);
    EXPECT_FALSE(View(0).ShowLabels());
}

TEST_F(CommandsTest, DeleteTakesTheSelectedLinesFromEveryPaneAndNothingWithoutASelection) {
    View(0).ClearSelection();
    Messages.Entries.clear();
    QTest::keyClick(&View(0), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Sequences(0).size(), 6u);
    EXPECT_TRUE(Messages.Messages().empty());
    // One selected line goes, not the line the focus moved on to.
    Click(0, 2);
    QTest::keyClick(&View(0), Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(&View(0), Qt::Key_Down, Qt::ControlModifier);
    ASSERT_EQ(View(0).ItemIndex(), 4);
    QTest::keyClick(&View(0), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Sequences(0), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Concordance->Lists[1]->GetItem(2)->AlignedStart,
              int32_t(FrenchLines[0].size() + FrenchLines[1].size() + 2 + FrenchLines[2].size() + 1));
    EXPECT_EQ(Concordance->StatusPanel(0)->text().toStdString(), "5 matches");
    // Several lines: their larger contexts close, no line stays current.
    QPointer<TParaContextForm> Context = ShowLargerContext(Concordance->Lists[1]->GetItem(1), Concordance, 0);
    ASSERT_TRUE(Context);
    Click(1, 0);
    Click(1, 1, Qt::ShiftModifier);
    Messages.Entries.clear();
    QTest::keyClick(&View(1), Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(Context);
    EXPECT_EQ(Sequences(1), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(Sequences(0), Sequences(1));
    EXPECT_EQ(View(0).ItemIndex(), -1);
    EXPECT_TRUE(View(1).SelectedItems().empty());
    EXPECT_EQ(Messages.Messages(), (std::vector<int>{CM_COLLOCDATADROPPED, CM_COLLOCDATADROPPED}));
}

// A sort moves the lines, and the selection and the current line go with them in every pane: Ctrl+D
// then deletes the lines the user chose, not those that came to their rows.
TEST_F(CommandsTest, TheSelectionFollowsItsLinesThroughSortsAndDeleteTakesThem) {
    auto Line = [this](int Row) { return Concordance->Adapters[0]->Get(Row); };
    auto SelectedLines = [&](int L) {
        std::set<std::string> Lines;
        for (const int32_t Row : View(L).SelectedItems()) Lines.insert(Line(Row));
        return Lines;
    };
    Click(0, 1);
    Click(0, 3, Qt::ControlModifier);
    const std::set<std::string> Chosen{Line(1), Line(3)};
    const std::string Current = Line(3);
    // By the first word on the right: "the bird flew" comes first, "the dog ran" fifth.
    Menu("S&ort", {"1st &Right", "&No Second Sort"});
    ASSERT_EQ(Sequences(0), (std::vector<int32_t>{3, 2, 0, 4, 1, 5}));
    for (int L = 0; L < 2; ++L) {
        EXPECT_EQ(SelectedLines(L), Chosen) << L;
        const std::vector<int32_t> Rows = View(L).SelectedItems();
        EXPECT_EQ(std::set<int32_t>(Rows.begin(), Rows.end()), (std::set<int32_t>{0, 4}));
    }
    EXPECT_EQ(Line(View(0).ItemIndex()), Current);
    // A range chosen now goes with its lines through the next sort too.
    Click(0, 4);
    Click(0, 5, Qt::ShiftModifier);
    const std::set<std::string> Range{Line(4), Line(5)};
    Menu("S&ort", {"&Original Order"});
    EXPECT_EQ(SelectedLines(0), Range);
    EXPECT_EQ(SelectedLines(1), Range);
    QTest::keyClick(&View(0), Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(Concordance->Lists[0]->Count(), 4);
    for (int32_t Row = 0; Row < 4; ++Row) EXPECT_EQ(Range.count(Line(Row)), 0u) << Line(Row);
    EXPECT_EQ(Concordance->Lists[1]->Count(), 4);
}

TEST_F(CommandsTest, DisplayEntriesChangeTheCommandPaneOrEveryPaneAndOpenTheirWindowsOnce) {
    Menu("&Display", {"&Suppress", "&Words"});
    EXPECT_TRUE(Concordance->Lists[0]->Display.SuppressWords);
    EXPECT_TRUE(Concordance->Lists[1]->Display.SuppressWords);
    Menu("&Display", {"&Suppress", "&Words"});
    EXPECT_FALSE(Concordance->Lists[1]->Display.SuppressWords);
    Menu("&Display", {"Show &Line Numbers"});
    EXPECT_TRUE(View(0).ShowLabels() && View(1).ShowLabels());
    Menu("&Display", {"Co&nceal Hits"});
    EXPECT_NE(Concordance->Lists[0]->GetLineText(0).find("--- cat sat"), std::string::npos)
        << Concordance->Lists[0]->GetLineText(0);
    EXPECT_TRUE(Concordance->Lists[1]->Display.ConcealHits);
    // Wrapping and shading belong to the pane the commands act on.
    Concordance->Lists[0]->Display.ContextType = ctxLines;
    Concordance->SetDisplayMode(0);
    Menu("&Display", {"Word &Wrap"});
    EXPECT_TRUE(View(0).WordWrap());
    EXPECT_FALSE(Concordance->WordWrap[1]);
    const bool Shaded = Concordance->HighlightCollocates[0];
    Menu("&Display", {"Highlight Co&llocates"});
    EXPECT_NE(Concordance->HighlightCollocates[0], Shaded);
    EXPECT_NE(Concordance->Lists[0]->HighlightCollocates, Shaded);
    EXPECT_EQ(Concordance->HighlightCollocates[1], true);
    Answer<TContextTypeForm>([](TContextTypeForm& Dialog) {
        Dialog.ContextTypeCombo->setCurrentIndex(ctxCharacters);
        QTest::mouseClick(Dialog.OkBtn, Qt::LeftButton);
    });
    Menu("&Display", {"Context &Type..."});
    EXPECT_EQ(Concordance->Lists[0]->Display.ContextType, ctxCharacters);
    EXPECT_EQ(View(0).Alignment(), svaCenter);
    // One distribution window, brought to the front each time.
    Menu("&Display", {"Distri&bution..."});
    Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
    Menu("&Display", {"Distri&bution..."});
    int Distributions = 0;
    for (QMdiSubWindow* Sub : Area->subWindowList())
        Distributions += bool(qobject_cast<TDistributionForm*>(Sub->widget()));
    EXPECT_EQ(Distributions, 1);
    ASSERT_TRUE(Area->activeSubWindow());
    EXPECT_EQ(Area->activeSubWindow()->widget(), Concordance->Distribution.data());
    // The hot-word font only for the other panes; a new font reaches the windows by message.
    Click(0, 0);
    SetFontDialog([](TFontSpec& Font) {
        Font.Size = 17;
        return true;
    });
    Messages.Entries.clear();
    Menu("&Display", {"Font", "Change &Font..."});
    EXPECT_EQ(LanguageConfigs[0]->Fonts[NormalFont].Size, 17);
    EXPECT_EQ(Messages.Messages(), std::vector<int>{CM_FONTCHANGED});
    SetFontDialog({});
    QMenu* Fonts = Entry(*Concordance->ParaDisplayMenu(), "Font")->menu();
    EXPECT_FALSE(Entry(*Fonts, "Change H&ot Words Font...")->isEnabled());
    Click(1, 0);
    EXPECT_TRUE(Entry(*Fonts, "Change H&ot Words Font...")->isEnabled());
}

TEST_F(CommandsTest, ApplyingHotWordsCanBeCancelledKeepsTheWindowOpenAndClearHotWordsTakesThemAway) {
    Click(1, 0);
    const std::unique_ptr<TFreqList> Words = BuildRowWordList(*Concordance->Lists[1], nullptr, nullptr);
    for (int32_t I = 0; I < Words->Count(); ++I) {
        const TFreqItem& Item = *Words->GetItem(I);
        if (Item.Word != "court" && Item.Word != "chien") continue;
        for (const TFreqItemPos& Pos : *Item.Positions)
            Concordance->ChosenHotWords[1]->AddWordWithPos(Item.Word, Pos);
    }
    ASSERT_EQ(PositionCount(*Concordance->ChosenHotWords[1]), 5);
    std::string Shown;
    int Steps = 0;
    Backend.OnProcessMessages = [&] {
        if (!ProgressForm) return;
        Shown = ProgressForm->Caption() + " / " + ProgressForm->Text();
        // Closing the window meanwhile is refused; its lists are in use.
        if (auto* Sub = qobject_cast<QMdiSubWindow*>(Concordance->parentWidget())) Sub->close();
        if (++Steps == 2) ProgressForm->Tag = 1;
    };
    EXPECT_TRUE(Concordance->ApplyHotWords(1));
    Backend.OnProcessMessages = nullptr;
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(Concordance);
    EXPECT_FALSE(Concordance->Busy());
    EXPECT_EQ(Shown, "Applying hot words / Applying hot words - French...");
    int Marks = 0;
    for (int32_t R = 0; R < 6; ++R) {
        const TConcordItem& Row = *Concordance->Lists[1]->GetItem(R);
        Marks += (Row.HitState == 2) + int(Row.SubItems().size());
    }
    EXPECT_EQ(Marks, 2);
    Concordance->HotWordsShown[1] = true;
    Popup(1, {"C&lear Hot Words"});
    for (int32_t R = 0; R < 6; ++R) EXPECT_FALSE(Concordance->Lists[1]->GetItem(R)->IsFilled());
    EXPECT_FALSE(Concordance->HotWordsShown[1]);
    EXPECT_EQ(Concordance->ChosenHotWords[1]->Count(), 0);
    EXPECT_FALSE(Concordance->Lists[1]->RowsFilled);
}

namespace {

// Selects exactly the entries of Words in the chooser, clicking them with Ctrl held, and confirms.
void ChooseWords(TChooseHotWordsForm& Chooser, const QStringList& Words) {
    QTreeWidget* List = Chooser.WordsList;
    for (int I = 0; I < List->topLevelItemCount(); ++I) {
        QTreeWidgetItem* Item = List->topLevelItem(I);
        if (Item->isSelected() == Words.contains(Item->text(2))) continue;
        QTest::mouseClick(List->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          List->visualItemRect(Item).center());
    }
    QTest::mouseClick(Chooser.OkBtn, Qt::LeftButton);
}

}  // namespace

TEST_F(CommandsTest, AHotWordChoiceReplacesTheMarksOfTheOldOneAndTranslationsCoverThePassages) {
    // The corpus list, in which the words of the lines are rare.
    LanguageConfigs[1]->FreqList = MakeOwned<TFreqList>(1);
    for (const std::string& Line : FrenchLines)
        for (size_t At = 0, End; At < Line.size(); At = End + 1) {
            End = std::min(Line.find(' ', At), Line.size());
            LanguageConfigs[1]->FreqList->AddWord(Line.substr(At, End - At));
        }
    for (int I = 0; I < 300; ++I) LanguageConfigs[1]->FreqList->AddWord("w" + std::to_string(I));
    Concordance->WindowHotWordsConfig = {1, 20};
    auto MarkedRows = [this](int State) {
        std::vector<int32_t> Rows;
        for (int32_t R = 0; R < 6; ++R)
            if (Concordance->Lists[1]->GetItem(R)->HitState == State) Rows.push_back(R);
        return Rows;
    };
    Click(1, 0);
    // The first choice; its application is cancelled after one word, which still shows.
    Backend.OnProcessMessages = [] {
        if (ProgressForm && ProgressForm->Caption() == "Applying hot words") ProgressForm->Tag = 1;
    };
    Answer<TChooseHotWordsForm>([](TChooseHotWordsForm& C) { ChooseWords(C, {"chien", "court"}); });
    Popup(1, {"&Hot Words..."});
    Backend.OnProcessMessages = nullptr;
    EXPECT_EQ(MarkedRows(2).size(), 1u);
    EXPECT_TRUE(Concordance->HotWordsShown[1]);
    bool Checked = false, ClearEnabled = false;
    Answer<TChooseHotWordsForm>([](TChooseHotWordsForm& C) { ChooseWords(C, {"chien"}); });
    Popup(1, {"&Hot Words..."}, [&](QMenu& M) {
        Checked = Entry(M, "&Hot Words...")->isChecked();
        ClearEnabled = Entry(M, "C&lear Hot Words")->isEnabled();
    });
    EXPECT_TRUE(Checked && ClearEnabled);
    // Only the words chosen now are marked.
    EXPECT_EQ(MarkedRows(2), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(Concordance->GetQueryText(1), "chien");
    EXPECT_TRUE(Concordance->SortMenu()->menuAction()->isVisible());
    // Choosing nothing takes every mark away.
    Answer<TChooseHotWordsForm>([](TChooseHotWordsForm& C) { ChooseWords(C, {}); });
    Popup(1, {"&Hot Words..."});
    EXPECT_TRUE(MarkedRows(2).empty());
    EXPECT_FALSE(Concordance->HotWordsShown[1]);
    EXPECT_FALSE(Concordance->Lists[1]->RowsFilled);
    // Translations: the passes' options first, then the words found.
    QStringList Offered;
    Answer<THotWordsOptionsForm>([&](THotWordsOptionsForm& O) {
        O.TranslationPassesEdit->setValue(2);
        QTest::mouseClick(O.OkBtn, Qt::LeftButton);
        Answer<TChooseHotWordsForm>([&](TChooseHotWordsForm& C) {
            for (int I = 0; I < C.WordsList->topLevelItemCount(); ++I)
                Offered << C.WordsList->topLevelItem(I)->text(2);
            ChooseWords(C, Offered);
        });
    });
    Popup(1, {"Translations"});
    EXPECT_EQ(TranslationPasses, 2);
    ASSERT_EQ(Offered.size(), 2);
    EXPECT_TRUE(Concordance->HotWordsShown[1]);
    // Two passes of a greedy cover: the second word comes from lines the first left.
    std::set<int32_t> First, Second;
    for (int32_t R = 0; R < 6; ++R) {
        const std::string Line = FrenchLines[size_t(Concordance->Lists[1]->GetItem(R)->Sequence)];
        if (Line.find(Offered[0].toStdString()) != std::string::npos) First.insert(R);
        if (Line.find(Offered[1].toStdString()) != std::string::npos) Second.insert(R);
    }
    EXPECT_FALSE(First.empty() || Second.empty());
    EXPECT_NE(First, Second);
    const std::vector<int32_t> Rows = MarkedRows(2);
    const std::set<int32_t> Marked(Rows.begin(), Rows.end());
    std::set<int32_t> Both(First);
    Both.insert(Second.begin(), Second.end());
    EXPECT_EQ(Marked, Both);
}

TEST_F(CommandsTest, AdvancedSortSortsByTheKeysChosenAndSaysSo) {
    Answer<TAdvancedSortColForm>([](TAdvancedSortColForm& Dialog) {
        Dialog.KeyCombos[0]->setCurrentIndex(SortKeyIndex(TSortKeyTable::Sort, sk1R));
        Dialog.KeyCombos[1]->setCurrentIndex(SortKeyIndex(TSortKeyTable::Sort, sk2R));
        Dialog.KeyCombos[2]->setCurrentIndex(SortKeyIndex(TSortKeyTable::Sort, skNone));
        QTest::mouseClick(Dialog.OkBtn, Qt::LeftButton);
    });
    Menu("S&ort", {"&Advanced Sort..."});
    EXPECT_EQ(Sequences(0), (std::vector<int32_t>{3, 2, 0, 1, 4, 5}));
    EXPECT_EQ(Sequences(1), Sequences(0));
    EXPECT_EQ(LanguageConfigs[0]->AdvancedSort.Keys[0].Key, sk1R);
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - Advanced sort");
}

// A right click acts on the line it was made on: the popup's information and letters reach that line, a
// line inside the selection keeps the selection for the letters, and every pane follows.
TEST_F(CommandsTest, ARightClickMakesTheClickedLineCurrentForThePopupsCommands) {
    IndexLines();
    QString Line;
    Answer<TMatchInfoForm>([&Line](TMatchInfoForm& Info) {
        Line = Info.AbsoluteLineValue->text();
        Info.reject();
    });
    RightClick(0, 3, {"&Display Info..."});
    EXPECT_EQ(Line, "4");
    EXPECT_EQ(View(0).ItemIndex(), 3);
    EXPECT_EQ(View(1).ItemIndex(), 3);
    EXPECT_EQ(View(0).SelectedItems(), std::vector<int32_t>{3});

    // Lines 2 and 3 selected; a right click on line 2 keeps both for the letter.
    Click(1, 1);
    Click(1, 2, Qt::ShiftModifier);
    RightClick(1, 1, {"&Assign Letter", "&b"});
    EXPECT_EQ(View(1).ItemIndex(), 1);
    EXPECT_EQ(Concordance->Lists[1]->GetItem(1)->Letter, 'b');
    EXPECT_EQ(Concordance->Lists[1]->GetItem(2)->Letter, 'b');
    // A line outside the selection becomes the selection.
    RightClick(1, 4, {"&Assign Letter", "&d"});
    EXPECT_EQ(View(1).SelectedItems(), std::vector<int32_t>{4});
    EXPECT_EQ(Concordance->Lists[1]->GetItem(4)->Letter, 'd');
    EXPECT_EQ(Concordance->Lists[1]->GetItem(2)->Letter, 'b');
    RightClick(1, 2, {"&Remove Letter"});
    EXPECT_EQ(Concordance->Lists[1]->GetItem(2)->Letter, NoLetter);
    EXPECT_EQ(Concordance->Lists[1]->GetItem(4)->Letter, 'd');
    // Info of the other pane's line names its own file's line.
    Answer<TMatchInfoForm>([&Line](TMatchInfoForm& Info) {
        Line = Info.FileValue->text();
        Info.reject();
    });
    Concordance->Lists[1]->GetItem(5)->HitStart = Concordance->Lists[1]->GetItem(5)->AlignedStart;
    Concordance->Lists[1]->GetItem(5)->HitEnd = Concordance->Lists[1]->GetItem(5)->AlignedStart + 2;
    Concordance->Lists[1]->GetItem(5)->Texts.Set(0, "un");
    RightClick(1, 5, {"&Display Info..."});
    EXPECT_TRUE(Line.endsWith("fr.txt")) << Line.toStdString();
}

// Sorting takes the current line with it to its new row, and the status keeps naming it; deleting
// leaves the highlight on its row while another line comes under it, and the status names that line. A
// search within a pane says how many of its lines matched.
TEST_F(CommandsTest, TheStatusNamesTheLineUnderTheHighlightAfterSortsDeletionsAndSearches) {
    IndexLines();
    Click(0, 1);
    EXPECT_EQ(LastStatus(), "English - en.txt, line: 2");
    // By the first word on the right, then on the left (a missing word last): line 2 goes to row 4.
    Menu("S&ort", {"1st &Right", "&1st Left"});
    ASSERT_EQ(Sequences(0), (std::vector<int32_t>{3, 2, 0, 4, 1, 5}));
    EXPECT_EQ(View(0).ItemIndex(), 4);
    EXPECT_EQ(LastStatus(), "English - en.txt, line: 2");
    // Shift+Ctrl+F1: by the first word on the left (none before the first line: last), then on the
    // right.
    QTest::keyClick(&View(0), Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Sequences(0), (std::vector<int32_t>{4, 3, 2, 1, 5, 0}));
    EXPECT_EQ(Concordance->StatusPanel(1)->text().toStdString(), "English - 1st left, 1st right");
    EXPECT_EQ(View(0).ItemIndex(), 3);
    EXPECT_EQ(LastStatus(), "English - en.txt, line: 2");
    Menu("S&ort", {"&Original Order"});
    EXPECT_EQ(View(0).ItemIndex(), 1);
    EXPECT_EQ(LastStatus(), "English - en.txt, line: 2");
    Menu("&Display", {"&Delete Item(s)"});
    ASSERT_EQ(View(0).ItemIndex(), 1);
    EXPECT_EQ(LastStatus(), "English - en.txt, line: 3");

    // "chien" is in one of the five French lines left, the current one.
    Click(1, 3);
    AnswerQuery("chien");
    Popup(1, {"&Search Query"});
    EXPECT_EQ(LastStatus(), "French - fr.txt, line: 5 (1 of 5 lines matched)");
    Click(1, 0);
    AnswerQuery("zebre");
    Popup(1, {"&Search Query"});
    EXPECT_EQ(LastStatus(), "French - fr.txt (0 of 5 lines matched)");
}

// Each display entry changes only what it names: the suppress checks follow their own flags, concealing
// collocates leaves the hits, the highlight font is the hilite font; the distribution of a corpus of one
// file per language opens on the whole corpus.
TEST_F(CommandsTest, DisplayEntriesCheckAndChangeOnlyWhatTheyName) {
    auto Checked = [this](const QString& Caption) {
        QMenu* Suppress = Entry(*Concordance->ParaDisplayMenu(), "&Suppress")->menu();
        Concordance->UpdateCommands(0);
        return Entry(*Suppress, Caption)->isChecked();
    };
    Menu("&Display", {"&Suppress", "&Special Tags"});
    EXPECT_TRUE(Concordance->Lists[1]->Display.SuppressPOSTags);
    EXPECT_FALSE(Concordance->Lists[1]->Display.SuppressWords);
    EXPECT_TRUE(Checked("&Special Tags"));
    EXPECT_FALSE(Checked("&Words"));
    EXPECT_FALSE(Checked("&Normal Tags"));
    Menu("&Display", {"&Suppress", "&Words"});
    EXPECT_TRUE(Checked("&Words"));
    Menu("&Display", {"&Suppress", "&Special Tags"});
    EXPECT_FALSE(Checked("&Special Tags"));
    EXPECT_TRUE(Checked("&Words"));

    Menu("&Display", {"C&onceal Collocates"});
    EXPECT_TRUE(Concordance->Lists[0]->Display.ConcealCollocates);
    EXPECT_TRUE(Concordance->Lists[1]->Display.ConcealCollocates);
    EXPECT_FALSE(Concordance->Lists[0]->Display.ConcealHits);
    Menu("&Display", {"Co&nceal Hits"});
    EXPECT_TRUE(Concordance->Lists[1]->Display.ConcealHits);
    EXPECT_TRUE(Concordance->Lists[1]->Display.ConcealCollocates);

    const TFontSpec Collocates = LanguageConfigs[0]->Fonts[CollocatesFont];
    SetFontDialog([](TFontSpec& Font) {
        Font.Size = 23;
        return true;
    });
    Menu("&Display", {"Font", "Change &Highlight Font.."});
    SetFontDialog({});
    EXPECT_EQ(LanguageConfigs[0]->Fonts[HiliteFont].Size, 23);
    EXPECT_EQ(LanguageConfigs[0]->Fonts[CollocatesFont].Size, Collocates.Size);

    Menu("&Display", {"Distri&bution..."});
    auto* Chart = qobject_cast<TDistributionForm*>(Concordance->Distribution.data());
    ASSERT_NE(Chart, nullptr);
    EXPECT_EQ(Chart->ScopeCombo->currentText(), "All");
}

// Hot words take the collocate font's colour; clearing them resets the sort (the rows' words changed),
// deleting a line takes them from the other panes, and clearing a search query leaves no mark of it.
TEST_F(CommandsTest, HotWordsColourTheRowsAndGoWithTheirSortAndTheDeletedLines) {
    LanguageConfigs[1]->Fonts[CollocatesFont].Color = 0x0000C0;
    auto Choose = [this] {
        const std::unique_ptr<TFreqList> Words = BuildRowWordList(*Concordance->Lists[1], nullptr, nullptr);
        for (int32_t I = 0; I < Words->Count(); ++I) {
            const TFreqItem& Item = *Words->GetItem(I);
            if (Item.Word != "chien") continue;
            for (const TFreqItemPos& Pos : *Item.Positions)
                Concordance->ChosenHotWords[1]->AddWordWithPos(Item.Word, Pos);
        }
        ASSERT_TRUE(Concordance->ApplyHotWords(1));
        Concordance->HotWordsShown[1] = true;
    };
    auto Marked = [this](int State) {
        int Rows = 0;
        for (int32_t R = 0; R < Concordance->Lists[1]->Count(); ++R) {
            const TConcordItem& Row = *Concordance->Lists[1]->GetItem(R);
            Rows += Row.HitState == State ||
                    std::any_of(Row.SubItems().begin(), Row.SubItems().end(),
                                [State](const TTessivorSubItem& S) { return S.Flag == (State == 2); });
        }
        return Rows;
    };
    Choose();
    EXPECT_EQ(Concordance->Lists[1]->CollocColour, 0x0000C0);
    EXPECT_EQ(Marked(2), 2);

    Click(0, 0);
    Menu("S&ort", {"1st &Right", "&1st Left"});
    const std::vector<int32_t> Sorted = Sequences(0);
    Click(1, 0);
    Popup(1, {"C&lear Hot Words"});
    EXPECT_EQ(Marked(2), 0);
    // Sorted again by the same keys: it sorts, rows moved by hand go back in order.
    for (int L = 0; L < 2; ++L) Concordance->Lists[size_t(L)]->Exchange(0, 1);
    Click(0, 0);
    Menu("S&ort", {"1st &Right", "&1st Left"});
    EXPECT_EQ(Sequences(0), Sorted);

    Choose();
    Click(0, 5);
    QTest::keyClick(&View(0), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Marked(2), 0);
    EXPECT_FALSE(Concordance->HotWordsShown[1]);
    EXPECT_EQ(Concordance->ChosenHotWords[1]->Count(), 0);

    Click(1, 0);
    AnswerQuery("le");
    Popup(1, {"&Search Query"});
    ASSERT_GT(Marked(1), 0);
    Popup(1, {"&Clear Search Query"});
    EXPECT_EQ(Marked(1), 0);
    for (int32_t R = 0; R < Concordance->Lists[1]->Count(); ++R)
        EXPECT_FALSE(Concordance->Lists[1]->GetItem(R)->IsFilled()) << R;
}

namespace {

class ThreeLanguageCommandsTest : public CommandsTest {
protected:
    int Languages() const override { return 3; }

    // A corpus list of Language in which the words of Lines are rare.
    static void RareWordsCorpusList(int Language, const std::vector<std::string>& Lines) {
        LanguageConfigs[size_t(Language)]->FreqList = MakeOwned<TFreqList>(Language);
        TFreqList& List = *LanguageConfigs[size_t(Language)]->FreqList;
        for (const std::string& Line : Lines)
            for (size_t At = 0, End; At < Line.size(); At = End + 1) {
                End = std::min(Line.find(' ', At), Line.size());
                List.AddWord(Line.substr(At, End - At));
            }
        for (int I = 0; I < 300; ++I) List.AddWord("w" + std::to_string(I));
    }

    // "Translations" in pane L's popup. The passes' options, when they are asked, are set to Passes; the
    // chooser is cancelled (ThroughChooser: after its "Options..." were asked for). Returns whether the
    // options were asked and how many candidates were offered last.
    std::pair<bool, int> Translations(int L, int Passes, bool ThroughChooser = false) {
        struct TSeen {
            bool Asked = false;
            int Offered = -1;
            bool Over = false;
            bool ThroughChooser;
        };
        const auto Seen = std::make_shared<TSeen>();
        Seen->ThroughChooser = ThroughChooser;
        // Looks for the next dialog until the command is over; the state outlives this call.
        const auto Handle = std::make_shared<std::function<void()>>();
        *Handle = [Seen, Passes, Weak = std::weak_ptr<std::function<void()>>(Handle)] {
            QTimer::singleShot(0, [Seen, Passes, Weak] {
                const auto Again = Weak.lock();
                if (!Again || Seen->Over) return;
                QWidget* Modal = QApplication::activeModalWidget();
                if (auto* Options = qobject_cast<THotWordsOptionsForm*>(Modal)) {
                    Seen->Asked = true;
                    Options->TranslationPassesEdit->setValue(Passes);
                    (*Again)();
                    QTest::mouseClick(Options->OkBtn, Qt::LeftButton);
                } else if (auto* Chooser = qobject_cast<TChooseHotWordsForm*>(Modal)) {
                    Seen->Offered = Chooser->WordsList->topLevelItemCount();
                    if (std::exchange(Seen->ThroughChooser, false)) {
                        (*Again)();
                        QTest::mouseClick(Chooser->OptionsBtn, Qt::LeftButton);
                        (*Again)();
                        return;
                    }
                    QTest::mouseClick(Chooser->CancelBtn, Qt::LeftButton);
                } else {
                    (*Again)();
                }
            });
        };
        (*Handle)();
        Click(L, 0);
        Popup(L, {"Translations"});
        QTest::qWait(20);
        Seen->Over = true;
        return {Seen->Asked, Seen->Offered};
    }
};

}  // namespace

// The candidates of translations are made with the window's number of passes: when another language's
// choice changes that number, every other language's candidates are made again, after their options.
TEST_F(ThreeLanguageCommandsTest, AChangeOfTranslationPassesDropsTheOtherLanguagesCandidates) {
    RareWordsCorpusList(1, FrenchLines);
    RareWordsCorpusList(2, GermanLines);
    Concordance->WindowHotWordsConfig = {1, 20};
    EXPECT_EQ(Translations(2, 1), std::make_pair(true, 1));
    // Kept while nothing changes.
    EXPECT_EQ(Translations(2, 1), std::make_pair(false, 1));
    EXPECT_EQ(Translations(1, 2), std::make_pair(true, 2));
    EXPECT_EQ(Translations(2, 2), std::make_pair(true, 2));
    // The same through the chooser's own options.
    EXPECT_EQ(Translations(1, 1, true), std::make_pair(true, 1));
    EXPECT_EQ(Translations(2, 1), std::make_pair(true, 1));
}

namespace {

class ShadingTest : public TConcordanceWindowTest {
protected:
    // The collocate runs pane L of Form draws on its lines: the runs that are not the hit's.
    static int CollocateRuns(TTessivorForm& Form, int L) {
        int Runs = 0;
        TStringsView& V = *Form.Views[size_t(L)];
        for (int Row = 0; Row < Form.Lists[size_t(L)]->Count(); ++Row) {
            std::string Text;
            TSVFormatArray Format;
            TSVLabelInfo Label;
            V.OnFormatItem(V, Row, Text, Format, Label);
            for (const TSVFormatInfo& Run : Format) Runs += Run.IsHit ? 0 : 1;
        }
        return Runs;
    }
    static std::unique_ptr<TConcSearchRec> Query(int32_t Language, const std::string& Word) {
        auto Q = std::make_unique<TConcSearchRec>();
        Q->Language = Language;
        Q->Names = Q->Patterns = {Word};
        return Q;
    }
};

}  // namespace

// Collocate shading follows "Highlight Collocates" whatever the number of hits: a single search and a
// parallel one of a few lines ("cat" and "dog" twice on the right of "the") are shaded as a long one is.
TEST_F(ShadingTest, CollocatesAreShadedAtAnyNumberOfHitsAsTheOptionSays) {
    for (TFrequencyConfig& F : FrequencyConfigs) {
        F.CollocateSpan = 2;
        F.CollocHighLightTop = 3;
    }
    OpenConcordance({900, 700});
    ASSERT_NE(Concordance, nullptr);
    ASSERT_EQ(Concordance->Lists[0]->Count(), 6);
    EXPECT_GT(CollocateRuns(*Concordance, 0), 0);

    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "the"));
    Records.push_back(Query(1, "le"));
    QPointer<TTessivorForm> Parallel = NewParallelConcordanceWindow(Area, Records);
    ASSERT_TRUE(Parallel);
    ASSERT_EQ(Parallel->Lists[0]->Count(), 4);
    EXPECT_TRUE(Parallel->Lists[0]->HighlightCollocates);
    // "cat" twice, "dog" twice at 1-Right, "sat" and "ran" twice at 2-Right.
    EXPECT_EQ(CollocateRuns(*Parallel, 0), 8);

    // The option turned off takes the shading away, and back on brings it back.
    Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Parallel->parentWidget()));
    QTest::mouseClick(Parallel->Views[0]->viewport(), Qt::LeftButton, {},
                      Parallel->Views[0]->ItemRect(0).center());
    QAction* Highlight = nullptr;
    for (QAction* A : Parallel->ParaDisplayMenu()->actions())
        if (A->text() == "Highlight Co&llocates") Highlight = A;
    ASSERT_TRUE(Highlight && Highlight->isChecked());
    Highlight->trigger();
    EXPECT_EQ(CollocateRuns(*Parallel, 0), 0);
    Highlight->trigger();
    EXPECT_EQ(CollocateRuns(*Parallel, 0), 8);
}

// A search stopped by Max Search Hits says so in its count, its caption and its distribution chart; a
// parallel search too; a search under a higher maximum is complete and says nothing more.
TEST_F(CommandsTest, ASearchStoppedAtTheMaximumSaysSoInItsCountCaptionAndChart) {
    EXPECT_EQ(Concordance->StatusPanel(0)->text().toStdString(), "6 matches");
    EXPECT_EQ(Concordance->windowTitle().toStdString(), "Parallel Concordance - [the]");
    CommonConfig->MaximumHits = 4;
    auto Record = std::make_unique<TConcSearchRec>();
    Record->Names = Record->Patterns = {"the"};
    QPointer<TTessivorForm> Capped = NewConcordanceWindow(Area, std::move(Record));
    ASSERT_TRUE(Capped);
    ASSERT_EQ(Capped->Lists[0]->Count(), 4);
    const std::string Why =
        "stopped at the maximum of 4 hits - raise Max Search Hits in Search > Search Options...";
    EXPECT_EQ(Capped->StatusPanel(0)->text().toStdString(), "4 matches (maximum)");
    EXPECT_EQ(Capped->StatusPanel(0)->toolTip().toStdString(), Why);
    EXPECT_EQ(Capped->windowTitle().toStdString(), "Parallel Concordance - [the] - " + Why);
    // Its chart, opened from its Display menu, says that the bars are of a partial list.
    Main.menuBar()->clear();
    for (const auto& M : Capped->MergedMenus()) Main.menuBar()->addMenu(M.Menu);
    Concordance = Capped;
    Click(0, 0);
    Menu("&Display", {"Distri&bution..."});
    auto* Chart = qobject_cast<TDistributionForm*>(Capped->Distribution.data());
    ASSERT_NE(Chart, nullptr);
    EXPECT_EQ(Chart->HitsValue->text().toStdString(), "4 (partial list)");
    EXPECT_TRUE(Chart->PartialLabel->isVisible());
    EXPECT_EQ(Chart->PartialLabel->text().toStdString(), "Partial list of hits: " + Why);
    EXPECT_EQ(Chart->Chart->title().toStdString(), "Partial list of hits: " + Why);

    std::vector<std::unique_ptr<TConcSearchRec>> Records(2);
    for (int L = 0; L < 2; ++L) {
        Records[size_t(L)] = std::make_unique<TConcSearchRec>();
        Records[size_t(L)]->Language = L;
        Records[size_t(L)]->Names = Records[size_t(L)]->Patterns = {L == 0 ? "the" : "le"};
    }
    CommonConfig->MaximumHits = 2;
    QPointer<TTessivorForm> Parallel = NewParallelConcordanceWindow(Area, Records);
    ASSERT_TRUE(Parallel);
    EXPECT_EQ(Parallel->StatusPanel(0)->text().toStdString(), "2 matches (maximum)");
    EXPECT_NE(Parallel->windowTitle().toStdString().find("stopped at the maximum of 2 hits"),
              std::string::npos);
    CommonConfig->MaximumHits = 5;
    QPointer<TTessivorForm> Whole = NewParallelConcordanceWindow(Area, Records);
    ASSERT_TRUE(Whole);
    EXPECT_EQ(Whole->StatusPanel(0)->text().toStdString(), "4 matches");
    EXPECT_EQ(Whole->windowTitle().toStdString().find("stopped"), std::string::npos);
}

// "Search Query" in a pane of another language says how many of its lines matched, and that stays while
// the focus leaves the window and comes back (the query dialog closing, another window), until the next
// action: a move to another line names that line.
TEST_F(CommandsTest, TheCountOfLinesMatchedStaysUntilTheNextAction) {
    IndexLines();
    Click(1, 3);
    AnswerQuery("chien");
    Popup(1, {"&Search Query"});
    const std::string Matched = "French - fr.txt (2 of 6 lines matched)";
    EXPECT_EQ(LastStatus(), Matched);
    // The window system gives the window its activation and the pane its focus back only after the
    // dialog has gone.
    QApplication::setActiveWindow(nullptr);
    QApplication::processEvents();
    QApplication::setActiveWindow(&Main);
    View(1).setFocus();
    QApplication::processEvents();
    EXPECT_EQ(LastStatus(), Matched);
    QTest::keyClick(&View(1), Qt::Key_Down);
    EXPECT_EQ(LastStatus(), "French - fr.txt, line: 5");
}
