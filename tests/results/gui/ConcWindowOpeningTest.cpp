// A new concordance window as the user first sees it: its caption (the query as typed, and what tells it
// from another search for the same words), and a size at which its panes and status panels can be read,
// on a small and a large screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWindow>

#include "controls/ConcFormUtils.h"
#include "results/ConcTessivor.h"
#include "tests/support/ConcordanceTestSupport.h"

namespace {

class ConcWindowOpeningTest : public TConcordanceWindowTest {
protected:
    // A further window of Query (as typed) over the corpus already written, with Flags.
    TTessivorForm* Search(const std::string& Query, uint8_t Flags = 0, uint8_t Syntax = 0) {
        auto Record = std::make_unique<TConcSearchRec>();
        Record->Names = Record->Patterns = {Query};
        Record->Flags = Flags;
        Record->Syntax = Syntax;
        Record->FrequencyOfHits = 1;
        return NewConcordanceWindow(Area, std::move(Record));
    }
    static QMdiSubWindow* SubOf(QWidget* Form) { return qobject_cast<QMdiSubWindow*>(Form->parentWidget()); }
};

}  // namespace

// A query holding the toolkit's modified mark "[*]" (a lone "*" in the caption's brackets, or typed as
// it is) shows in the caption, in the title the window system gets, and in the status panel as typed;
// so does markup.
TEST_F(ConcWindowOpeningTest, CaptionsShowTheQueryAsTyped) {
    OpenConcordance({1024, 768}, 2, "*");
    ASSERT_NE(Concordance, nullptr);
    EXPECT_EQ(ShownWindowTitle(Concordance).toStdString(), "Parallel Concordance - [*]");
    EXPECT_EQ(ShownWindowTitle(SubOf(Concordance)).toStdString(), "Parallel Concordance - [*]");
    EXPECT_EQ(Concordance->StatusPanel(2)->text().toStdString(), " Strings matching: *");
    // The title as the toolkit hands it to the window system, for a window of its own.
    for (const char* Query : {"*", "[*]", "*]", "<b>x&y"}) {
        auto Record = std::make_unique<TConcSearchRec>();
        Record->Names = Record->Patterns = {Query};
        TTessivorForm* Own = NewConcordanceWindow(nullptr, std::move(Record));
        ASSERT_NE(Own, nullptr) << Query;
        QApplication::processEvents();
        ASSERT_NE(Own->windowHandle(), nullptr);
        const std::string Expected = std::string("Parallel Concordance - [") + Query + "]";
        EXPECT_EQ(Own->windowHandle()->title().toStdString(), Expected);
        EXPECT_EQ(ShownWindowTitle(Own).toStdString(), Expected);
        EXPECT_EQ(Own->StatusPanel(2)->text().toStdString(), std::string(" Strings matching: ") + Query);
        delete Own;
    }
}

// Searches for the same words with other conditions have captions of their own.
TEST_F(ConcWindowOpeningTest, CaptionsTellSearchesForTheSameWordsApart) {
    OpenConcordance({1280, 1024}, 2, "the");
    ASSERT_NE(Concordance, nullptr);
    std::vector<std::string> Captions = {ShownWindowTitle(Concordance).toStdString()};
    EXPECT_EQ(Captions[0], "Parallel Concordance - [the]");
    TTessivorForm* Case = Search("the", sfMatchCase | sfSentenceMode);
    ASSERT_NE(Case, nullptr);
    Captions.push_back(ShownWindowTitle(Case).toStdString());
    EXPECT_EQ(Captions.back(), "Parallel Concordance - [the] (Match case, Sent. mode)");
    TTessivorForm* Regex = Search("the", 0, 1);
    ASSERT_NE(Regex, nullptr);
    Captions.push_back(ShownWindowTitle(Regex).toStdString());
    EXPECT_EQ(Captions.back(), "Parallel Concordance - [the] (Regex)");
    // Parallel searches: the other language's query, and whether its passage must not match.
    for (bool Not : {false, true}) {
        std::vector<std::unique_ptr<TConcSearchRec>> Records;
        for (int L = 0; L < 2; ++L) {
            Records.push_back(std::make_unique<TConcSearchRec>());
            Records.back()->Language = L;
            Records.back()->Names = Records.back()->Patterns = {L == 0 ? "the" : "chat"};
            Records.back()->FrequencyOfHits = 1;
        }
        Records[1]->Not = Not;
        TTessivorForm* Parallel = NewParallelConcordanceWindow(Area, Records);
        ASSERT_NE(Parallel, nullptr);
        Captions.push_back(ShownWindowTitle(Parallel).toStdString());
    }
    EXPECT_EQ(Captions[3], "Parallel Concordance - [the] + French: [chat]");
    EXPECT_EQ(Captions[4], "Parallel Concordance - [the] + NOT French: [chat]");
}

namespace {

class ConcWindowSizeTest : public ConcWindowOpeningTest,
                           public ::testing::WithParamInterface<std::tuple<QSize, int>> {};

}  // namespace

// On a screen of 1024 x 768 as of 1280 x 1024, windows of two and four languages open inside the area
// with every status panel's text whole (also after a sort by two keys, with long language names) and
// several lines in sight in every pane.
TEST_P(ConcWindowSizeTest, ANewWindowShowsItsPanesAndStatusReadable) {
    const auto [Screen, Languages] = GetParam();
    const char* Names[4] = {"English (United States)", "French (Standard)", "German (Standard)",
                            "Spanish (Traditional Sort)"};
    OpenConcordance(Screen, Languages, "the");
    ASSERT_NE(Concordance, nullptr);
    for (int L = 0; L < Languages; ++L) Lang(L).LanguageName = Names[L];
    TTessivorForm* Form = Search("the");
    ASSERT_NE(Form, nullptr);
    QApplication::processEvents();
    const QRect Frame = SubOf(Form)->geometry();
    EXPECT_TRUE(QRect(QPoint(0, 0), Area->viewport()->size()).contains(Frame))
        << Frame.width() << "x" << Frame.height();
    Form->Views[0]->setFocus();
    Form->SortBy(skSearchTerm, sk1R);
    QApplication::processEvents();
    EXPECT_EQ(Form->StatusPanel(1)->FullText().toStdString(),
              "English (United States) - Search word, 1st right");
    for (int P = 0; P < 3; ++P)
        EXPECT_EQ(Form->StatusPanel(P)->text().toStdString(), Form->StatusPanel(P)->FullText().toStdString())
            << P;
    for (int L = 0; L < Languages; ++L) {
        TStringsView* View = Form->Views[size_t(L)];
        EXPECT_GE(View->viewport()->height() / View->fontMetrics().lineSpacing(), 6) << L;
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ConcWindowSizeTest,
                         ::testing::Combine(::testing::Values(QSize(1280, 1024), QSize(1024, 768)),
                                            ::testing::Values(2, 4)));
