// The searches that fill a concordance window, end to end on a tiny two-language corpus: a new window's
// lines in both panes, an appended search, a search within the lines of the second pane, the parallel
// search with and without "Not", and a query that fails.
#include <gtest/gtest.h>

#include <set>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <array>

#include "ui/ConcDblProgress.h"
#include "engine/ConcErrors.h"
#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

const std::string Text0 = "the cat sat\nthe dog ran\na cat ran\n";
const std::string Text1 = "le chat\nle chien\nun chat court chat\n";

class SearchDriversTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        CommonConfig->FrequencyOfHits = 1;
        CommonConfig->TagSearchSeparator = '&';
        AddFile(0, "en.txt", Text0);
        AddFile(1, "fr.txt", Text1);
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (const auto& [Start, End] : std::vector<std::pair<int32_t, int32_t>>{{0, 12}, {12, 24}, {24, 34}})
            Pair->Side1.Add(Start, End, End - Start);
        for (const auto& [Start, End] : std::vector<std::pair<int32_t, int32_t>>{{0, 8}, {8, 17}, {17, 36}})
            Pair->Side2.Add(Start, End, End - Start);
        Align12->Add(std::move(Pair));
        Main.setCentralWidget(Area);
        Main.setWindowTitle("Tessivor - Work");
        Main.resize(800, 600);
        Main.show();
    }

    void TearDown() override {
        Area->closeAllSubWindows();
        for (QMdiSubWindow* Sub : Area->subWindowList()) delete Sub;
        TCorpusTest::TearDown();
    }

    static std::unique_ptr<TConcSearchRec> Query(int32_t Language, const std::string& Word, uint8_t Flags = 0,
                                                 bool Not = false, uint8_t Syntax = 0) {
        auto Q = std::make_unique<TConcSearchRec>();
        Q->Language = Language;
        Q->Syntax = Syntax;
        Q->Flags = Flags;
        Q->Names = {Word};
        Q->Patterns = {Word};
        Q->Not = Not;
        return Q;
    }

    // Per line of Language: where its passage starts, and the starts of its hit and sub-items.
    static std::vector<std::vector<int32_t>> Lines(const TTessivorForm& Form, int Language) {
        std::vector<std::vector<int32_t>> Result;
        const TConcordItems& List = *Form.Lists[size_t(Language)];
        for (int32_t I = 0; I < List.Count(); ++I) {
            const TConcordItem& Item = *List.GetItem(I);
            std::vector<int32_t> Line{Item.AlignedStart};
            if (Item.IsFilled()) Line.push_back(Item.HitStart);
            for (const TTessivorSubItem& Sub : Item.SubItems) Line.push_back(Sub.HitStart);
            Result.push_back(Line);
        }
        return Result;
    }

    QMainWindow Main;
    QMdiArea* Area = new QMdiArea;
};

using Rows = std::vector<std::vector<int32_t>>;

TEST_F(SearchDriversTest, ASearchAnAppendedOneAndOneWithinTheLines) {
    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "cat"));
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Area->subWindowList().size(), 1);
    EXPECT_EQ(Lines(*Form, 0), (Rows{{0, 4}, {24, 26}}));
    EXPECT_EQ(Lines(*Form, 1), (Rows{{0}, {17}})) << "the aligned passages of the hits";
    EXPECT_EQ(Form->StatusPanel(0)->text(), "2 matches");
    EXPECT_EQ(Form->Adapters[1]->Get(1), "un chat court chat ");
    EXPECT_EQ(Form->QueryText, "cat");
    EXPECT_EQ(Main.windowTitle(), "Tessivor - Work") << "the caption comes back after the search";

    // Appended to the active window of the same language; a sorted window becomes "Undefined".
    Form->SortedLanguage = 0;
    EXPECT_EQ(NewConcordanceWindow(Area, Query(0, "dog", sfAppend)), Form);
    EXPECT_EQ(Area->subWindowList().size(), 1);
    EXPECT_EQ(Form->Records[0]->Names[0], "cat / dog");
    EXPECT_EQ(Lines(*Form, 0), (Rows{{0, 4}, {24, 26}, {12, 16}}));
    EXPECT_EQ(Lines(*Form, 1), (Rows{{0}, {17}, {8}}));
    EXPECT_EQ(Form->StatusPanel(0)->text(), "3 matches");
    EXPECT_EQ(Form->StatusPanel(1)->text(), "Undefined");
    EXPECT_EQ(Form->SortedLanguage, -1);

    // Within the lines of the second pane: each match goes to the line whose passage holds it.
    Form->SearchWithinLines(1, Query(1, "chat"));
    EXPECT_EQ(Lines(*Form, 1), (Rows{{0, 3}, {17, 20, 31}, {8}}));
    EXPECT_TRUE(Form->Lists[1]->QueryHitsPresent);
    EXPECT_EQ(Form->Lists[1]->GetItem(1)->Texts[0], "chat");
    EXPECT_TRUE(Form->Readers.empty()) << "the readers live only during the search";
    EXPECT_EQ(Form->SearchLanguage, 1);

    // Another language's query opens a window of its own.
    TTessivorForm* Other = NewConcordanceWindow(Area, Query(1, "le", sfAppend));
    EXPECT_NE(Other, Form);
    EXPECT_EQ(Area->subWindowList().size(), 2);
    EXPECT_EQ(Lines(*Other, 1), (Rows{{0, 0}, {8, 8}}));
    EXPECT_EQ(Lines(*Other, 0), (Rows{{0}, {12}}));
}

TEST_F(SearchDriversTest, ParallelSearchWithAndWithoutNot) {
    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "ran"));
    Records.push_back(Query(1, "chat"));
    TTessivorForm* Form = NewParallelConcordanceWindow(Area, Records);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Lines(*Form, 0), (Rows{{24, 30}}));
    EXPECT_EQ(Lines(*Form, 1), (Rows{{17, 20, 31}}));
    EXPECT_EQ(Form->StatusPanel(0)->text(), "1 match");
    EXPECT_NE(Form->Records[1].get(), Records[1].get()) << "the window keeps copies";

    Records[1]->Not = true;
    Form = NewParallelConcordanceWindow(Area, Records);
    EXPECT_EQ(Lines(*Form, 0), (Rows{{12, 20}}));
    EXPECT_EQ(Lines(*Form, 1), (Rows{{8}}));
    EXPECT_EQ(Main.windowTitle(), "Tessivor - Work");

    // A secondary query that does not compile: that language never matches, and the user hears why.
    Records[1] = Query(1, "(", 0, true, 1);
    Form = NewParallelConcordanceWindow(Area, Records);
    EXPECT_EQ(Lines(*Form, 0), (Rows{{12, 20}, {24, 30}}));
    ASSERT_FALSE(Backend.Messages.empty());
    EXPECT_EQ(Backend.Messages.back().Type, mtError);
}

TEST_F(SearchDriversTest, AWindowWhoseSearchFailsIsFreed) {
    EXPECT_THROW(NewConcordanceWindow(Area, Query(0, "(", 0, false, 1)), EConcError);
    QApplication::processEvents();
    EXPECT_TRUE(Area->subWindowList().empty());
    EXPECT_EQ(Main.windowTitle(), "Tessivor - Work");
}

// Records the double progress window a search opens, so that a test can press its Cancel.
class TCancellingBackend : public TScriptedBackend {
public:
    std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) override {
        Window = &Form;
        return TScriptedBackend::CreateDoubleView(Form);
    }
    TDoubleProgressForm* Window = nullptr;
};

// While a thread searches a long passage with a hard pattern, the window pumps messages: it refuses to
// close, the main caption says it searches, and the progress window's Cancel ends the search at once.
TEST_F(SearchDriversTest, CancelAndCloseWhileAThreadSearches) {
    ResetGlobalsForTest();
    TCorpusTest::SetUp();
    AddFile(0, "p.txt", "ab\n");
    // The q at its end keeps the search from ruling the passage out at once (every match ends with q).
    const std::string Long = std::string(8000, 'a') + "bq\n";
    AddFile(1, "s.txt", Long);
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    Pair->Side1.Add(0, 3, 3);
    Pair->Side2.Add(0, int32_t(Long.size()), int32_t(Long.size()));
    Align12->Add(std::move(Pair));

    TCancellingBackend Script;
    bool CloseRefused = false;
    QString Caption;
    Script.OnProcessMessages = [&] {
        QMdiSubWindow* Sub = Area->subWindowList().value(0);
        if (!Sub || !Script.Window) return;
        CloseRefused = !Sub->widget()->close();
        Caption = Main.windowTitle();
        // The first call comes with the primary search; the later ones from the wait for the thread.
        if (Script.ProcessMessagesCalls >= 3) Script.Window->Tag = 1;
    };
    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "ab"));
    // Searched to its end, the passage would have no match, and "Not" would keep the hit.
    Records.push_back(Query(1, "(.+)(.+)\\2\\1q", 0, true, 1));
    TTessivorForm* Form = NewParallelConcordanceWindow(Area, Records);
    Script.OnProcessMessages = nullptr;
    EXPECT_GE(Script.ProcessMessagesCalls, 3);
    EXPECT_TRUE(CloseRefused);
    EXPECT_EQ(Caption, QApplication::applicationName() + " - Searching");
    EXPECT_EQ(Form->Lists[0]->Count(), 0) << "the hit whose answer was cut short is dropped";
    EXPECT_TRUE(Script.Messages.empty()) << "a cancel is no failure";
    EXPECT_EQ(Main.windowTitle(), "Tessivor - Work");
    EXPECT_TRUE(Form->close());
}

// Hits come much faster than the panes follow them: when the search ends, every pane and the match count
// show what a pane told of each hit would show, for a single and for a parallel search.
TEST_F(SearchDriversTest, PanesAndCountShowEveryLineWhenTheSearchEnds) {
    ResetGlobalsForTest();
    TCorpusTest::SetUp();
    CommonConfig->FrequencyOfHits = 1;
    FrequencyConfigs[0].CollocateSpan = 2;
    FrequencyConfigs[0].CollocHighLightTop = 3;
    const int Lines = 700;
    std::string English, French;
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    for (int I = 0; I < Lines; ++I) {
        // Collocates of unequal frequencies, so that the lines are shaded differently.
        const std::string E = I % 3 == 0   ? "a dog ran\n"
                              : I % 5 == 0 ? "the cat ate\n"
                              : I % 7 == 0 ? "one cat sat\n"
                                           : "the cat sat\n";
        const std::string F = I % 2 == 0 ? "le chat\n" : "un chien\n";
        Pair->Side1.Add(int32_t(English.size()), int32_t(English.size() + E.size()), int32_t(E.size()));
        Pair->Side2.Add(int32_t(French.size()), int32_t(French.size() + F.size()), int32_t(F.size()));
        English += E;
        French += F;
    }
    AddFile(0, "en.txt", English);
    AddFile(1, "fr.txt", French);
    Align12->Add(std::move(Pair));

    // What the panes show, then what they show once told again that their lines changed.
    auto Shown = [](TTessivorForm& Form) {
        std::vector<std::array<int, 3>> State;
        for (int L = 0; L < Form.LanguageCount; ++L) {
            TStringsView& View = *Form.Views[size_t(L)];
            State.push_back({View.verticalScrollBar()->maximum(), View.BottomIndex(), View.TopIndex()});
        }
        return State;
    };
    // The collocate ranks of the primary rows: the first hundred ranked once the lists hold them all,
    // every later row counted and ranked as it came, whichever thread counted it during the search.
    auto ExpectRanksAsCounted = [](const TConcordItems& Shown) {
        constexpr int32_t StartCount = 100;
        ASSERT_GT(Shown.Count(), StartCount);
        TConcordItems Replay(Shown.Language);
        for (int32_t I = 0; I < Shown.Count(); ++I) {
            auto Row = std::make_unique<TConcordItem>(Shown.Language);
            Row->Texts = Shown.GetItem(I)->Texts;
            Replay.HighlightCollocates = false;
            Replay.Add(std::move(Row));
            if (I + 1 == StartCount) {
                Replay.SetHighlightCollocates(true);
            } else if (I + 1 > StartCount) {
                Replay.HighlightCollocates = true;
                Replay.CountItemCollocates(*Replay.GetItem(I));
                Replay.RankItemCollocates(*Replay.GetItem(I));
            }
        }
        std::set<uint8_t> Seen;
        for (int32_t I = 0; I < Shown.Count(); ++I) {
            ASSERT_EQ(Shown.GetItem(I)->CollocRanks, Replay.GetItem(I)->CollocRanks) << "row " << I;
            Seen.insert(Shown.GetItem(I)->CollocRanks.begin(), Shown.GetItem(I)->CollocRanks.end());
        }
        EXPECT_GE(Seen.size(), 3u) << "ranked and unranked words";
    };
    auto ExpectUpToDate = [&](TTessivorForm& Form, int Hits) {
        ExpectRanksAsCounted(*Form.Lists[0]);
        EXPECT_EQ(Form.Lists[0]->Count(), Hits);
        EXPECT_EQ(Form.Lists[1]->Count(), Hits);
        EXPECT_EQ(Form.StatusPanel(0)->text(), QString::number(Hits) + " matches");
        const auto AtEnd = Shown(Form);
        for (int L = 0; L < Form.LanguageCount; ++L) Form.Views[size_t(L)]->ItemsChanged();
        EXPECT_EQ(Shown(Form), AtEnd);
        EXPECT_GT(AtEnd[0][0], 0) << "more lines than the pane holds";
    };

    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "cat"));
    ExpectUpToDate(*Form, Lines - (Lines + 2) / 3);
    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "cat"));
    Records.push_back(Query(1, "chat"));
    Form = NewParallelConcordanceWindow(Area, Records);
    int Kept = 0;
    for (int I = 0; I < Lines; ++I) Kept += I % 3 != 0 && I % 2 == 0;
    ExpectUpToDate(*Form, Kept);
}

}  // namespace
