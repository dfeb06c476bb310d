// The corpus viewers over real files: a view shows lines while they are still being counted, lets its
// file go at once when the file is dropped, and the parallel view keeps its columns in step.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <fstream>

#include "controls/StringsView.h"
#include "controls/zynWideList.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"
#include "shell/ConcParaView.h"
#include "shell/ConcParallelFiles.h"
#include "shell/ConcView.h"
#include "tests/support/DialogChecks.h"
#include "tests/support/TestSupport.h"

namespace {

void Settle() {
    for (int I = 0; I < 5; ++I) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// Lines "<Prefix> line N" with CR LF breaks.
std::string WriteLines(const TTempDir& Dir, const std::string& Name, const std::string& Prefix, int Lines) {
    const std::string Path = (Dir.Path() / Name).string();
    std::ofstream Out(Path, std::ios::binary);
    for (int I = 0; I < Lines; ++I) Out << Prefix << " line " << I << "\r\n";
    return Path;
}

class CorpusViewersTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        CommonConfig = std::make_unique<TCommonConcordConfig>();
        CommonConfig->TagStart = '<';
        CommonConfig->TagStop = '>';
    }
    void TearDown() override {
        Settle();
        ResetGlobalsForTest();
    }
    // Language L with the files of Paths, each opened as the corpus opens them.
    void AddLanguage(int L, const char* Name, const std::vector<std::string>& Paths) {
        LanguageConfigs[size_t(L)] = std::make_unique<TConcordConfig>(L);
        LanguageConfigs[size_t(L)]->SetLanguage(1033, Name);
        for (const std::string& Path : Paths)
            LanguageConfigs[size_t(L)]->AddFile(
                {Path, {}}, std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite),
                nullptr);
        LanguagesCount = std::max(LanguagesCount, L + 1);
    }
    static void WaitCounted(TCorpusFileText& Text) {
        for (int I = 0; I < 5000 && !Text.CountingDone(); ++I) QTest::qWait(2);
        ASSERT_TRUE(Text.CountingDone());
    }
    TTempDir Dir;
};

TEST_F(CorpusViewersTest, ACorpusViewShowsItsLinesFollowsTheCountAndItsMenus) {
    const std::string Big = WriteLines(Dir, "big.txt", "<b>English</b>", 200000);
    AddLanguage(0, "English", {Big});
    TCorpusViewForm* Form = ShowCorpusText(nullptr, Big, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->windowTitle(), "Corpus Text - big.txt");
    EXPECT_TRUE(IsCorpusViewOf(Form, 0, Big));
    EXPECT_FALSE(IsCorpusViewOf(Form, 1, Big));
    EXPECT_EQ(ShowCorpusText(nullptr, Big + "x", 0), nullptr);
    Form->resize(500, 300);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
    TStringsView* View = Form->TextWindow();
    for (int I = 0; I < 2000 && !View->ScreenFull(); ++I) QTest::qWait(1);
    EXPECT_TRUE(View->ScreenFull());
    WaitCounted(*Form->Text());
    Settle();
    EXPECT_EQ(View->Strings()->GetCount(), 200001);
    EXPECT_EQ(View->verticalScrollBar()->maximum() > 1000, true);
    EXPECT_EQ(View->Strings()->Get(7), "<b>English</b> line 7  ");

    // Tags hidden; hiding words too leaves nothing, so the last kind of text is refused.
    Form->SuppressAction(0)->trigger();
    EXPECT_TRUE(Form->SuppressAction(0)->isChecked());
    EXPECT_EQ(View->Strings()->Get(7), "English line 7  ");
    Form->SuppressAction(2)->trigger();
    Form->SuppressAction(1)->trigger();
    EXPECT_FALSE(Form->SuppressAction(1)->isChecked());
    EXPECT_FALSE(Form->Text()->Lines().Suppress.HideWords);
    Form->WordWrapAction()->trigger();
    EXPECT_TRUE(View->WordWrap());
    EXPECT_TRUE(Form->WordWrapAction()->isChecked());

    // Another file's drop, or another language's, leaves the view alone.
    Form->HandleAppMessage(CM_DROPFILE, 1, 0);
    EXPECT_NE(Form->Text(), nullptr);
    Form->close();
    EXPECT_EQ(Form->Text(), nullptr);
}

TEST_F(CorpusViewersTest, ADroppedFileIsLetGoBeforeItsStreamIsFreedEvenWhileCounting) {
    const std::string A = WriteLines(Dir, "a.txt", "alpha", 10), B = WriteLines(Dir, "b.txt", "beta", 300000);
    AddLanguage(0, "English", {A, B});
    for (int Round = 0; Round < 3; ++Round) {
        QPointer<TCorpusViewForm> Form = ShowCorpusText(nullptr, B, 0);
        Form->show();
        QTest::qWait(Round);
        const bool StillCounting = !Form->CountingFinished();
        // The sender frees the stream right after the broadcast.
        Form->HandleAppMessage(CM_DROPFILE, 0, 1);
        EXPECT_EQ(Form->Text(), nullptr) << "counting " << StillCounting;
        LanguageConfigs[0]->RemoveFile(1);
        Settle();
        EXPECT_TRUE(Form.isNull());
        LanguageConfigs[0]->AddFile(
            {B, {}}, std::make_unique<TFileSynchroStream>(B, fmOpenRead | fmShareDenyWrite), nullptr);
    }
}

TEST_F(CorpusViewersTest, TheParallelViewKeepsItsColumnsInStepAndFollowsItsFiles) {
    const std::string E = WriteLines(Dir, "e.txt", "english", 3000),
                      G = WriteLines(Dir, "g.txt", "german", 2000),
                      E2 = WriteLines(Dir, "e2.txt", "other", 5);
    AddLanguage(0, "English", {E2, E});
    AddLanguage(1, "German", {E2, G});
    TParallelViewForm* Form = ShowParallelView(nullptr, 1);
    Form->resize(603, 400);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
    WaitCounted(*Form->Text(0));
    WaitCounted(*Form->Text(1));
    Settle();
    EXPECT_EQ(Form->Header(1)->text().toStdString(), "German: " + G);
    EXPECT_EQ(Form->Splitter()->sizes(), (QList<int>{300, 300}));

    // The user pages down in the first column: the second follows.
    TStringsView* First = Form->View(0);
    TStringsView* Second = Form->View(1);
    dialogchecks::ClickThroughWindow(First->viewport());
    QTest::keyClick(First, Qt::Key_PageDown);
    QTest::keyClick(First, Qt::Key_PageDown);
    ASSERT_GT(First->TopIndex(), 0);
    EXPECT_EQ(Second->TopIndex(), First->TopIndex());
    // A column with fewer lines stops at its last.
    QTest::keyClick(First, Qt::Key_End);
    EXPECT_GE(First->TopIndex(), 2100);
    EXPECT_EQ(Second->TopIndex(), 2000);
    QTest::keyClick(First, Qt::Key_Home);
    EXPECT_EQ(Second->TopIndex(), 0);

    Form->SynchronizeAction()->trigger();
    EXPECT_FALSE(Form->Synchronize());
    QTest::keyClick(First, Qt::Key_PageDown);
    EXPECT_GT(First->TopIndex(), 0);
    EXPECT_EQ(Second->TopIndex(), 0);

    // Word wrap and suppress settings reach every column; the marks follow the first.
    Form->WordWrapAction()->trigger();
    EXPECT_TRUE(First->WordWrap() && Second->WordWrap());
    Form->SuppressAction(1)->trigger();
    EXPECT_TRUE(Form->Text(1)->Lines().Suppress.HideWords);
    EXPECT_TRUE(Form->SuppressAction(1)->isChecked());
    EXPECT_EQ(Form->FontMenu()->actions().size(), 2);

    Form->EqualWidthsAction()->trigger();
    Form->Splitter()->setSizes({100, 500});
    Form->EqualWidthsAction()->trigger();
    EXPECT_EQ(Form->Splitter()->sizes(), (QList<int>{300, 300}));

    // Files exchanged and an earlier file removed renumber the column; its own file closes it.
    TFilePair Pair{1, 0};
    Form->HandleAppMessage(CM_FILESEXCHANGED, 1, reinterpret_cast<intptr_t>(&Pair));
    EXPECT_EQ(Form->FileIndex(1), 0);
    EXPECT_EQ(Form->FileIndex(0), 1);
    Form->HandleAppMessage(CM_DROPFILE, 0, 0);
    EXPECT_EQ(Form->FileIndex(0), 0);
    QPointer<TParallelViewForm> Alive = Form;
    Form->HandleAppMessage(CM_DROPFILE, 1, 0);
    EXPECT_EQ(Form->Text(0), nullptr);
    Settle();
    EXPECT_TRUE(Alive.isNull());
}

TEST_F(CorpusViewersTest, TheChooserListsRowsSideBySideAndOpensTheParallelView) {
    std::vector<std::string> Three, Five;
    for (int I = 0; I < 5; ++I) {
        if (I < 3) Three.push_back(WriteLines(Dir, "e" + std::to_string(I) + ".txt", "e", 3));
        Five.push_back(WriteLines(Dir, "g" + std::to_string(I) + ".txt", "g", 3));
    }
    AddLanguage(0, "English", Three);
    AddLanguage(1, "German", Five);
    TParaFilesForm Form(nullptr);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    ASSERT_EQ(Form.Lists.size(), 2u);
    EXPECT_EQ(Form.Lists[0]->count(), 5);
    EXPECT_EQ(Form.Lists[0]->item(4)->text(), "N/A");
    EXPECT_EQ(Form.Lists[1]->item(4)->text(), "g4.txt");

    auto ClickRow = [&](int List, int Row) {
        QListWidget* Box = Form.Lists[size_t(List)];
        const QPoint At = Box->viewport()->mapTo(&Form, Box->visualItemRect(Box->item(Row)).center());
        QWidget* Hit = Form.childAt(At);
        ASSERT_TRUE(Hit == Box->viewport());
        QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(&Form, At));
    };
    ClickRow(1, 3);
    EXPECT_EQ(Form.Lists[0]->currentRow(), 3);
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_EQ(LanguageConfigs[0]->Files.size(), 3u);
    EXPECT_FALSE(Form.ShowButton->isEnabled());
    ClickRow(0, 1);
    EXPECT_EQ(Form.Lists[1]->currentRow(), 1);
    EXPECT_TRUE(Form.ShowButton->isEnabled());
    EXPECT_FALSE(Form.AlignmentButton->isEnabled());

    dialogchecks::ClickThroughWindow(Form.FullPathCheck);
    EXPECT_EQ(Form.Lists[1]->item(4)->text().toStdString(), Five[4]);
    EXPECT_EQ(Form.Lists[0]->currentRow(), 1);

    dialogchecks::ClickThroughWindow(Form.ShowButton);
    EXPECT_FALSE(Form.isVisible());
    TParallelViewForm* View = nullptr;
    for (QWidget* W : QApplication::topLevelWidgets())
        if (auto* P = qobject_cast<TParallelViewForm*>(W)) View = P;
    ASSERT_NE(View, nullptr);
    EXPECT_EQ(View->FileIndex(0), 1);
    View->close();
}

}  // namespace
