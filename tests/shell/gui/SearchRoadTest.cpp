#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "engine/UTF8_to_ASCII.h"
#include "results/ConcParaContext.h"
#include "results/ConcParaSearch.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcTessivor.h"
#include "shell/ConcMain.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// Two aligned languages, processed and aligned, and the real main window over them.
class SearchRoadTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        // The window reads the preferences when it is made; the corpus comes after that.
        Main = std::make_unique<TConcMainForm>();
        CommonConfig->FrequencyOfHits = 1;
        CommonConfig->MaximumHits = 500;
        CommonConfig->ContextType = 4;
        const std::string En = Dir.Write("en.txt", "The house is old. A dog sleeps.\n\nThe house stands.\n");
        const std::string De = Dir.Write("de.txt",
                                         "Das Haus ist alt. Ein Hund schl\xE4"
                                         "ft.\n\nDas Haus steht.\n");
        Lang(1);
        LoadLanguageFiles(0, false, false, "English (United States)", 1033, {{En}}, false);
        LoadLanguageFiles(1, false, false, "German (Germany)", 1031, {{De}}, false);
        // The first activation processes and aligns the corpus.
        Main->show();
        for (int I = 0; I < 5 && !Main->Activated(); ++I) QTest::qWait(20);
        ASSERT_TRUE(CorpusAligned());
    }
    void TearDown() override {
        Main.reset();
        TCorpusTest::TearDown();
    }

    TTessivorForm* ActiveConcordance() {
        QMdiSubWindow* Sub = Main->MdiArea()->activeSubWindow();
        return Sub ? qobject_cast<TTessivorForm*>(Sub->widget()) : nullptr;
    }

    std::unique_ptr<TConcMainForm> Main;
};

}  // namespace

TEST_F(SearchRoadTest, ASearchFromTheMenuShowsEveryHitBesideItsTranslationAndItsLargerContext) {
    QTimer::singleShot(0, [] {
        auto* Query = qobject_cast<TSearchQueryForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Query, nullptr);
        EXPECT_EQ(Query->windowTitle(), "Text Search");
        Query->PatternBox->setEditText("house");
        Query->OkBtn->click();
    });
    Main->UpdateActions();
    ASSERT_TRUE(Main->SearchAction->isEnabled());
    Main->SearchAction->trigger();
    TTessivorForm* Window = ActiveConcordance();
    ASSERT_NE(Window, nullptr);
    ASSERT_EQ(Window->Lists[0]->Count(), 2);
    ASSERT_EQ(Window->Lists[1]->Count(), 2);
    EXPECT_NE(Window->Adapters[0]->Get(0).find("house"), std::string::npos);
    EXPECT_NE(Window->Adapters[1]->Get(0).find("Das Haus ist alt."), std::string::npos);
    EXPECT_NE(Window->Adapters[1]->Get(1).find("Das Haus steht."), std::string::npos);
    EXPECT_EQ(Window->Adapters[1]->Get(1).find("Hund"), std::string::npos);

    Window->OpenLargerContext(0, 1);
    TParaContextForm* Context = nullptr;
    for (QMdiSubWindow* Sub : Main->MdiArea()->subWindowList())
        if (auto* F = qobject_cast<TParaContextForm*>(Sub->widget())) Context = F;
    ASSERT_NE(Context, nullptr);
    // The hit is shown in its highlight font, not selected: the caret waits at its start.
    EXPECT_FALSE(Context->ContextLines->textCursor().hasSelection());
    EXPECT_EQ(Context->ContextLines->toPlainText().mid(Context->HitStart(), Context->HitLength()), "house");
    EXPECT_EQ(Context->ContextLines->textCursor().position(),
              Context->ContextLines->toPlainText().lastIndexOf("house"));
}

// The search starts as its dialog accepts the query, before the dialog has closed and the window is
// made: from then on nothing may free the corpus under it, and once the window has its lines the
// commands are back.
TEST_F(SearchRoadTest, TheCorpusCommandsAreOffFromTheQuerysAcceptanceUntilTheWindowHasItsLines) {
    bool OffWhileClosing = false;
    QTimer::singleShot(0, [this, &OffWhileClosing] {
        auto* Query = qobject_cast<TSearchQueryForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Query, nullptr);
        Query->PatternBox->setEditText("house");
        QTest::keyClick(Query->PatternBox, Qt::Key_Return);
        OffWhileClosing = !Main->UnloadCorpusAction->isEnabled() &&
                          !Main->LoadCorpusFileAction->isEnabled() && !Main->SearchAction->isEnabled();
    });
    Main->UpdateActions();
    ASSERT_TRUE(Main->UnloadCorpusAction->isEnabled());
    Main->SearchAction->trigger();
    EXPECT_TRUE(OffWhileClosing);
    TTessivorForm* Window = ActiveConcordance();
    ASSERT_NE(Window, nullptr);
    EXPECT_EQ(Window->Lists[0]->Count(), 2);
    EXPECT_EQ(Window->Lists[1]->Count(), 2);
    Main->UpdateActions();
    EXPECT_TRUE(Main->UnloadCorpusAction->isEnabled());
    EXPECT_TRUE(Main->SearchAction->isEnabled());
}

TEST_F(SearchRoadTest, AParallelSearchWithNotKeepsTheHitsWhosePassageLacksTheWord) {
    QTimer::singleShot(0, [] {
        auto* Dialog = qobject_cast<TParaSearchForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Dialog, nullptr);
        Dialog->Row(0).Query->Names = Dialog->Row(0).Query->Patterns = {"house"};
        Dialog->Row(1).Query->Names = Dialog->Row(1).Query->Patterns = {"alt"};
        Dialog->Row(1).NotCheck->setChecked(true);
        Dialog->OkBtn->click();
    });
    Main->UpdateActions();
    ASSERT_TRUE(Main->ParallelSearchAction->isEnabled());
    Main->ParallelSearchAction->trigger();
    TTessivorForm* Window = ActiveConcordance();
    ASSERT_NE(Window, nullptr);
    ASSERT_EQ(Window->Lists[0]->Count(), 1);  // the second house: its passage has no "alt"
    EXPECT_NE(Window->Adapters[1]->Get(0).find("steht"), std::string::npos);
}
