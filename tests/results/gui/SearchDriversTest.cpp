// The searches that fill a concordance window, end to end on a tiny two-language corpus: a new window's
// lines in both panes, an appended search, a search within the lines of the second pane, the parallel
// search with and without "Not", and a query that fails.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTimer>
#include <array>

#include "engine/ConcErrors.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearch.h"
#include "results/ConcSearchRows.h"
#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "ui/ConcDblProgress.h"

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
            for (const TTessivorSubItem& Sub : Item.SubItems()) Line.push_back(Sub.HitStart);
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

// A search over many files changed since they were processed (a checkout touched them) leaves them out
// and says so in one box, not one box a file.
TEST_F(SearchDriversTest, FilesChangedSinceProcessingAreNamedInOneWarning) {
    ResetGlobalsForTest();
    TCorpusTest::SetUp();
    CommonConfig->FrequencyOfHits = 1;
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    std::vector<std::string> Paths;
    for (int F = 0; F < 9; ++F) {
        AddFile(0, "en" + std::to_string(F) + ".txt", "the cat\n");
        AddFile(1, "fr" + std::to_string(F) + ".txt", "le chat\n");
        Paths.push_back(LanguageConfigs[0]->Files[size_t(F)].Name);
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        Pair->Side1.Add(0, 8, 8);
        Pair->Side2.Add(0, 8, 8);
        Align12->Add(std::move(Pair));
    }
    // Seven of the nine change on disk after they were opened.
    for (int F = 1; F < 8; ++F) std::ofstream(Paths[size_t(F)], std::ios::app) << "the dog\n";
    Backend.Messages.clear();
    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "the"));
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->Lists[0]->Count(), 2) << "the two files left unchanged";
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_EQ(Backend.Messages[0].Type, mtWarning);
    EXPECT_EQ(Backend.Messages[0].Text,
              "7 files have changed since they were processed and are left out of this "
              "search: \"" +
                  Paths[1] + "\", \"" + Paths[2] + "\", \"" + Paths[3] + "\", \"" + Paths[4] + "\", \"" +
                  Paths[5] + "\" and 2 more. File > \"Scan Corpus\" processes them again.");
    // A search within the lines of the other pane says it once too (its files are unchanged: nothing).
    Backend.Messages.clear();
    Form->SearchWithinLines(1, Query(1, "chat"));
    EXPECT_TRUE(Backend.Messages.empty());
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

// A single search runs beside the window: while a slow one runs, the event loop turns (a timer of the
// test fires), the window refuses to close, the main caption says it searches, and after a moment the
// window and its progress window show, naming the file searched; Cancel then stops the search before the
// next file, and the lines found so far stay, in step.
TEST_F(SearchDriversTest, ASlowSearchShowsItsProgressAnswersAndStopsOnCancel) {
    ResetGlobalsForTest();
    TCorpusTest::SetUp();
    CommonConfig->FrequencyOfHits = 1;
    // A match is XYYXq: the first unit has one; the long one is searched to its end, slowly, and has none.
    const std::string Slow = "aaaaq\n" + std::string(8000, 'a') + "bq\n";
    const std::string Later = "aaaaq\n";
    const std::string Other = "x\n";
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    for (const std::string* Text : {&Slow, &Later}) {
        AddFile(0, Text == &Slow ? "slow.txt" : "later.txt", *Text);
        AddFile(1, Text == &Slow ? "o1.txt" : "o2.txt", Other);
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        int32_t Start = 0;
        for (size_t End = Text->find('\n'); End != std::string::npos; End = Text->find('\n', End + 1)) {
            Pair->Side1.Add(Start, int32_t(End + 1), int32_t(End + 1) - Start);
            Start = int32_t(End + 1);
        }
        Pair->Side2.Add(0, 2, 2);
        Align12->Add(std::move(Pair));
    }
    TCancellingBackend Script;
    int Turns = 0;
    bool CloseRefused = false;
    QString Caption;
    std::string Scanning;
    QTimer Timer;
    QObject::connect(&Timer, &QTimer::timeout, [&] {
        ++Turns;
        QMdiSubWindow* Sub = Area->subWindowList().value(0);
        if (!Script.Window || !Sub) return;
        CloseRefused = !Sub->widget()->close();
        Caption = Main.windowTitle();
        Scanning = Script.Window->Label(dlSubProgress);
        if (Scanning.empty()) return;
        Script.Window->Tag = 1;
        Timer.stop();
    });
    Timer.start(5);
    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "(.+)(.+)\\2\\1q", 0, false, 1));
    Timer.stop();
    ASSERT_NE(Form, nullptr);
    EXPECT_GT(Turns, 1);
    EXPECT_TRUE(CloseRefused);
    EXPECT_EQ(Caption, QApplication::applicationName() + " - Searching");
    EXPECT_EQ(Scanning, "Scanning slow.txt...");
    EXPECT_EQ(Lines(*Form, 0), (Rows{{0, 0}})) << "the first unit's line, none of the next file's";
    // The lines found stay, and the window says that they are not every hit.
    EXPECT_EQ(Form->StatusPanel(0)->text().toStdString(), "1 match (cancelled)");
    EXPECT_NE(Form->windowTitle().toStdString().find(" - search cancelled - not every hit is listed"),
              std::string::npos)
        << Form->windowTitle().toStdString();
    EXPECT_EQ(Form->Lists[1]->Count(), 1);
    EXPECT_TRUE(Script.Messages.empty()) << "a cancel is no failure";
    EXPECT_EQ(Main.windowTitle(), "Tessivor - Work");
    EXPECT_EQ(Area->subWindowList().size(), 1);
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
    // What each pane draws is what it draws once laid out afresh: the lines it laid out while the
    // search ran are the lines, and the shading, that the search ended with.
    auto ExpectDrawnAsLaidOutAfresh = [](TTessivorForm& Form) {
        for (int L = 0; L < Form.LanguageCount; ++L) {
            TStringsView& View = *Form.Views[size_t(L)];
            const QImage Drawn = View.grab().toImage();
            View.UpdateView();
            EXPECT_EQ(View.grab().toImage(), Drawn) << "pane " << L;
        }
    };

    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "cat"));
    ExpectUpToDate(*Form, Lines - (Lines + 2) / 3);
    ExpectDrawnAsLaidOutAfresh(*Form);
    // An appended search shades the collocates of the lines in yellow while it runs, and in their own
    // colour again once it has ended.
    ASSERT_EQ(NewConcordanceWindow(Area, Query(0, "dog", sfAppend)), Form);
    EXPECT_EQ(Form->Lists[0]->CollocColour, LanguageConfigs[0]->Fonts[CollocatesFont].Color);
    ExpectDrawnAsLaidOutAfresh(*Form);
    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "cat"));
    Records.push_back(Query(1, "chat"));
    Form = NewParallelConcordanceWindow(Area, Records);
    int Kept = 0;
    for (int I = 0; I < Lines; ++I) Kept += I % 3 != 0 && I % 2 == 0;
    ExpectUpToDate(*Form, Kept);
}

// A corpus of many small files in two languages: when the window's search ends, its panes, match count
// and collocate lists are those of the engine's own hits put into lists one after the other, the
// primary list's shading switched on at its hundredth row as the window does it. Whatever the window
// does once per file while it searches, it neither loses nor adds a line, a word or a count.
TEST_F(SearchDriversTest, ManyFilesEndAsTheEngineHitsPutIntoLists) {
    ResetGlobalsForTest();
    TCorpusTest::SetUp();
    CommonConfig->FrequencyOfHits = 1;
    FrequencyConfigs[0].CollocateSpan = 2;
    FrequencyConfigs[0].CollocHighLightTop = 3;
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    const std::vector<std::string> Before = {"a", "the", "one", "my", "every"};
    const std::vector<std::string> After = {"sat", "ran", "ate", "slept", "sat down", "ran off"};
    std::mt19937 Random(59);
    const int Files = 160;
    for (int F = 0; F < Files; ++F) {
        std::string English, French;
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        const int Lines = 1 + int(Random() % 4);
        for (int I = 0; I < Lines; ++I) {
            const std::string E = Before[Random() % Before.size()] + (Random() % 3 == 0 ? " dog " : " cat ") +
                                  After[Random() % After.size()] + "\n";
            const std::string Fr = Random() % 2 == 0 ? "le chat\n" : "un chien noir\n";
            Pair->Side1.Add(int32_t(English.size()), int32_t(English.size() + E.size()), int32_t(E.size()));
            Pair->Side2.Add(int32_t(French.size()), int32_t(French.size() + Fr.size()), int32_t(Fr.size()));
            English += E;
            French += Fr;
        }
        AddFile(0, "en" + std::to_string(F) + ".txt", English);
        AddFile(1, "fr" + std::to_string(F) + ".txt", French);
        Align12->Add(std::move(Pair));
    }

    // The engine alone, its hits put into lists of both languages one by one.
    TItemLists Replay;
    for (int L = 0; L < 2; ++L) Replay[size_t(L)] = std::make_unique<TConcordItems>(L);
    {
        TSearch Search;
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(*Query(0, "cat"), Stage, Error);
        ASSERT_EQ(Stage, 0) << Error;
        Search.Execute(
            true, 0,
            [&](std::unique_ptr<TConcordItem> Hit) {
                AddSearchHit(Replay, 2, 0, std::move(Hit));
                if (Replay[0]->Count() == 100) Replay[0]->SetHighlightCollocates(true);
            },
            {}, 0);
    }
    const int32_t Hits = Replay[0]->Count();
    ASSERT_GT(Hits, 150);

    TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "cat"));
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->StatusPanel(0)->text(), QString::number(Hits) + " matches");
    // The lines as the window's display record shows them (its primary list takes the options' context).
    for (int L = 0; L < 2; ++L) Replay[size_t(L)]->Display = Form->Lists[size_t(L)]->Display;
    const TConcordStrings ReplayLines0(*Replay[0]);
    const TTessivorordStrings ReplayLines1(*Replay[1], 1);
    const std::array<const TConcordStrings*, 2> ReplayLines = {&ReplayLines0, &ReplayLines1};
    for (int L = 0; L < 2; ++L) {
        const TConcordItems& Shown = *Form->Lists[size_t(L)];
        const TConcordItems& Expected = *Replay[size_t(L)];
        ASSERT_EQ(Shown.Count(), Hits) << "language " << L;
        for (int32_t I = 0; I < Hits; ++I) {
            const TConcordItem& A = *Shown.GetItem(I);
            const TConcordItem& B = *Expected.GetItem(I);
            ASSERT_EQ(
                std::tie(A.FileIndex, A.HitStart, A.HitEnd, A.AlignedStart, A.AlignedEnd, A.CollocRanks),
                std::tie(B.FileIndex, B.HitStart, B.HitEnd, B.AlignedStart, B.AlignedEnd, B.CollocRanks))
                << "language " << L << ", row " << I;
            for (int Slot = 0; Slot < 9; ++Slot)
                ASSERT_EQ(A.Texts.Has(Slot) ? std::string(A.Texts[Slot]) : "-",
                          B.Texts.Has(Slot) ? std::string(B.Texts[Slot]) : "-");
            ASSERT_EQ(Form->Adapters[size_t(L)]->Get(I), ReplayLines[size_t(L)]->Get(I)) << "row " << I;
        }
    }
    // The collocate lists count the same words as often.
    const TConcordItems& Primary = *Form->Lists[0];
    ASSERT_TRUE(Primary.HighlightCollocates);
    ASSERT_EQ(std::tie(Primary.PosLo, Primary.PosHi), std::tie(Replay[0]->PosLo, Replay[0]->PosHi));
    auto Counts = [](const TFreqList& List) {
        std::map<std::string, int32_t> Words;
        for (int32_t I = 0; I < List.Count(); ++I) Words[List.GetItem(I)->Word] = List.GetItem(I)->Frequency;
        return Words;
    };
    for (int P = Primary.PosLo; P <= Primary.PosHi; ++P) {
        ASSERT_NE(Primary.CollocList(P), nullptr);
        EXPECT_EQ(Counts(*Primary.CollocList(P)), Counts(*Replay[0]->CollocList(P))) << "position " << P;
    }
    // The panes show every line: told again that their lines changed, nothing moves.
    for (int L = 0; L < 2; ++L) {
        TStringsView& View = *Form->Views[size_t(L)];
        const std::array<int, 2> AtEnd = {View.verticalScrollBar()->maximum(), View.BottomIndex()};
        View.ItemsChanged();
        EXPECT_EQ((std::array<int, 2>{View.verticalScrollBar()->maximum(), View.BottomIndex()}), AtEnd);
        EXPECT_GT(AtEnd[0], 0) << "more lines than the pane holds";
    }
}

}  // namespace
