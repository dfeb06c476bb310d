// The parallel search and the row logic of the searches, without a window, over small aligned corpora of
// three and four languages written here: kept hits and their rows against a brute-force answer (with
// and without "Not", a language lacking a file, a language without a query, a primary language other
// than the source), failing and cancelled threads, appended searches and searches within the current
// lines keeping the lists in step, and many searches with random cancels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "engine/ConcErrors.h"
#include "engine/ConcSearch.h"
#include "engine/ConcSearchItems.h"
#include "engine/SynStream.h"
#include "results/ConcParaSearchThread.h"
#include "results/ConcSearchRows.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

const std::vector<std::string> Vocabulary = {"ab", "cd", "ef"};

struct TWord {
    int32_t Start, End;
    std::string Text;
};
struct TUnit {
    int32_t Start, End;
    std::vector<TWord> Words;
};
using TFileModel = std::vector<TUnit>;

// What a row of one language should hold.
struct TRowModel {
    int32_t File = -1;
    int32_t AlignedStart = -1, AlignedEnd = -1;
    std::vector<int32_t> HitStarts;  // the row's hit first, then its sub-items
    bool operator==(const TRowModel&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TRowModel& R) {
    Out << "{file " << R.File << ", [" << R.AlignedStart << ", " << R.AlignedEnd << "), hits";
    for (int32_t S : R.HitStarts) Out << " " << S;
    return Out << "}";
}

class ParaSearchTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        TCommonConcordConfig& C = *CommonConfig;
        C.TagSearchSeparator = '&';
        C.MatchWordsLo = 2;
        C.MatchWordsHi = 5;
        C.FrequencyOfHits = 1;
        C.wTagDelimiter = '_';
    }

    // Languages random texts of Files files each (language Lacking, when not -1, has one file less;
    // language Unpaired has file 1 but no alignment of it),
    // each file cut into units of 0 to 4 words, one line each, aligned one to one with language 0.
    void Generate(std::mt19937& Random, int Languages, int Files, int Lacking = -1, int Unpaired = -1) {
        this->Unpaired = Unpaired;
        Model.assign(static_cast<size_t>(Languages), {});
        std::array<std::unique_ptr<TDoubleAlignIndexes>*, 3> Pairs = {&Align12, &Align13, &Align14};
        for (int K = 1; K < Languages; ++K) *Pairs[size_t(K - 1)] = std::make_unique<TDoubleAlignIndexes>();
        for (int F = 0; F < Files; ++F) {
            const int Units = std::uniform_int_distribution<int>(1, 7)(Random);
            for (int L = 0; L < Languages; ++L) {
                if (L == Lacking && F == Files - 1) continue;
                std::string Text;
                TFileModel File;
                for (int U = 0; U < Units; ++U) {
                    TUnit Unit{static_cast<int32_t>(Text.size()), 0, {}};
                    const int Words = std::uniform_int_distribution<int>(0, 4)(Random);
                    for (int W = 0; W < Words; ++W) {
                        if (W > 0) Text += ' ';
                        const std::string& Word = Vocabulary[Random() % Vocabulary.size()];
                        Unit.Words.push_back({static_cast<int32_t>(Text.size()),
                                              static_cast<int32_t>(Text.size() + Word.size()), Word});
                        Text += Word;
                    }
                    Text += "\n";
                    Unit.End = static_cast<int32_t>(Text.size());
                    File.push_back(Unit);
                }
                AddFile(L, "l" + std::to_string(L) + "f" + std::to_string(F) + ".txt", Text);
                Model[size_t(L)].push_back(File);
            }
            for (int K = 1; K < Languages; ++K) {
                if ((K == Lacking && F == Files - 1) || (K == Unpaired && F == 1)) continue;
                auto Pair = std::make_unique<TDoubleAlignIndex>();
                for (const TUnit& U : Model[0][size_t(F)]) Pair->Side1.Add(U.Start, U.End, U.End - U.Start);
                for (const TUnit& U : Model[size_t(K)][size_t(F)])
                    Pair->Side2.Add(U.Start, U.End, U.End - U.Start);
                TDoubleAlignIndexes& List = **Pairs[size_t(K - 1)];
                while (List.Count() <= F) List.Add(nullptr);
                List.SetItem(F, std::move(Pair));
            }
        }
    }

    static std::unique_ptr<TConcSearchRec> Query(int32_t Language, const std::string& Word, bool Not = false,
                                                 uint8_t Syntax = 0) {
        auto Q = std::make_unique<TConcSearchRec>();
        Q->Language = Language;
        Q->Syntax = Syntax;
        Q->Names = {Word};
        Q->Patterns = {Word};
        Q->Not = Not;
        return Q;
    }

    static std::vector<int32_t> Occurrences(const TUnit& Unit, const std::string& Word) {
        std::vector<int32_t> Starts;
        for (const TWord& W : Unit.Words) {
            if (W.Text == Word) Starts.push_back(W.Start);
        }
        return Starts;
    }

    // The rows a parallel search should give, language by language, by looking at the texts: the
    // occurrences of the primary word kept because each language with a query finds (or, with Not, does
    // not find) its word in the hit's unit; of those, every Frequency-th.
    std::vector<std::vector<TRowModel>> Expected(
        int32_t Primary, int Languages, const std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages>& Q,
        int Frequency = 1) const {
        std::vector<std::vector<TRowModel>> Rows(static_cast<size_t>(Languages));
        int KeptLines = 0;
        Tried = 0;
        const auto& Files = Model[size_t(Primary)];
        for (size_t F = 0; F < Files.size(); ++F) {
            for (size_t U = 0; U < Files[F].size(); ++U) {
                for (int32_t Start : Occurrences(Files[F][U], Q[size_t(Primary)]->Names[0])) {
                    std::vector<TRowModel> Hit(static_cast<size_t>(Languages));
                    ++Tried;
                    bool Keep = true;
                    for (int L = 0; L < Languages; ++L) {
                        TRowModel& Row = Hit[size_t(L)];
                        if (L == Primary) {
                            Row = {int32_t(F), Files[F][U].Start, Files[F][U].End, {Start}};
                            continue;
                        }
                        if (L == Unpaired && F == 1) {
                            Row = {int32_t(F), -1, -1, {}};
                        } else if (F < Model[size_t(L)].size()) {
                            const TUnit& Unit = Model[size_t(L)][F][U];
                            Row = {int32_t(F), Unit.Start, Unit.End, {}};
                            if (Q[size_t(L)]) Row.HitStarts = Occurrences(Unit, Q[size_t(L)]->Names[0]);
                        }
                        if (Q[size_t(L)]) Keep = Keep && (!Row.HitStarts.empty() != Q[size_t(L)]->Not);
                    }
                    if (!Keep || ++KeptLines % Frequency != 0) continue;
                    for (int L = 0; L < Languages; ++L) Rows[size_t(L)].push_back(Hit[size_t(L)]);
                }
            }
        }
        return Rows;
    }

    static std::vector<TRowModel> RowsOf(const TConcordItems& List) {
        std::vector<TRowModel> Rows;
        for (int32_t I = 0; I < List.Count(); ++I) {
            const TConcordItem& Item = *List.GetItem(I);
            TRowModel Row{Item.FileIndex, Item.AlignedStart, Item.AlignedEnd, {}};
            if (Item.IsFilled()) Row.HitStarts.push_back(Item.HitStart);
            for (const TTessivorSubItem& Sub : Item.SubItems()) Row.HitStarts.push_back(Sub.HitStart);
            Rows.push_back(Row);
        }
        return Rows;
    }

    const TUnit& UnitAt(int L, int32_t File, int32_t Start) const {
        const TFileModel& Units = Model[size_t(L)][size_t(File)];
        return *std::find_if(Units.begin(), Units.end(), [&](const TUnit& U) { return U.Start == Start; });
    }

    void NewLists(int Languages) {
        for (auto& List : Lists) List.reset();
        for (int L = 0; L < Languages; ++L) Lists[size_t(L)] = std::make_unique<TConcordItems>(L);
    }

    // A whole parallel search into fresh lists; returns the first failure of a thread.
    std::exception_ptr RunParallel(int32_t Primary, int Languages, int32_t MaxHits = 0,
                                   const TCancelPoll& Poll = {},
                                   const std::function<void(int32_t)>& RowsChanged = {}) {
        NewLists(Languages);
        TParallelSearch Threads(Primary, Languages, Records);
        TSearch Search;
        uint8_t Stage = 9;
        std::string Error;
        Search.Prepare(*Records[size_t(Primary)], Stage, Error);
        EXPECT_EQ(Stage, 0) << Error;
        std::exception_ptr Failure =
            RunParallelRows(Search, Threads, Lists, true, MaxHits, Poll, RowsChanged);
        Stepped = Threads.Stepped;
        return Failure;
    }

    void ExpectRows(const std::vector<std::vector<TRowModel>>& Want, int Languages,
                    const std::string& Trace) {
        for (int L = 0; L < Languages; ++L) {
            EXPECT_EQ(RowsOf(*Lists[size_t(L)]), Want[size_t(L)]) << Trace << ", language " << L;
        }
    }

    std::vector<std::vector<TFileModel>> Model;  // [language][file]
    mutable int64_t Tried = 0;                   // the primary hits Expected saw, kept or not
    int64_t Stepped = -1;                        // the primary hits the last RunParallel stepped
    int Unpaired = -1;
    std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages> Records;
    TItemLists Lists;
};

// Random corpora of three and four languages, random queries with and without "Not", primary language
// 0 or another, a language lacking its last file or the alignment of a file (which its thread's search
// then passes), a language without a query, the frequency of hits counting kept lines: the kept rows of
// every language against the brute-force answer, and the number of primary hits tried.
TEST_F(ParaSearchTest, KeptHitsAndTheirRowsAgainstABruteForceAnswer) {
    std::mt19937 Random(27);
    int WithNot = 0, Kept = 0;
    for (int Round = 0; Round < 40; ++Round) {
        ResetGlobalsForTest();
        SetUp();
        const int Languages = Round % 2 == 0 ? 3 : 4;
        const int Lacking = Round % 3 == 0 ? 2 : -1;
        Generate(Random, Languages, 3, Lacking, Round % 3 == 1 ? 2 : -1);
        const int32_t Primary = Round % 4 == 1 ? 1 : 0;
        const int Frequency = Round % 5 == 4 ? 2 + Round % 2 : 1;
        CommonConfig->FrequencyOfHits = Frequency;
        for (auto& R : Records) R.reset();
        for (int L = 0; L < Languages; ++L) {
            if (L == 3 && Round % 4 == 3) continue;  // a shown language without a query
            const bool Not = L != Primary && Random() % 3 == 0;
            WithNot += Not;
            Records[size_t(L)] = Query(L, Vocabulary[Random() % Vocabulary.size()], Not);
        }
        const auto Want = Expected(Primary, Languages, Records, Frequency);
        Kept += static_cast<int>(Want[0].size());
        EXPECT_EQ(RunParallel(Primary, Languages), nullptr);
        ExpectRows(Want, Languages, "round " + std::to_string(Round));
        EXPECT_EQ(Stepped, Tried) << "every primary hit is tried, kept or not";
        for (int L = 0; L < Languages; ++L) {
            for (int32_t I = 0; I < Lists[size_t(L)]->Count(); ++I) {
                const TConcordItem& Item = *Lists[size_t(L)]->GetItem(I);
                EXPECT_EQ(Item.Sequence, I);
                if (L != Primary && Item.IsFilled()) {
                    EXPECT_EQ(Item.HitState, 1);
                    EXPECT_EQ(Item.Texts[0], Records[size_t(L)]->Names[0]);
                    EXPECT_TRUE(Lists[size_t(L)]->RowsFilled && Lists[size_t(L)]->QueryHitsPresent);
                }
            }
        }
    }
    EXPECT_GT(WithNot, 10);
    EXPECT_GT(Kept, 40);
}

// A query that does not compile, and a meta tag that disappears while a thread searches: the thread's
// language answers "no match" from then on (so "Not" keeps the hit), the search ends, the failure is
// reported after it.
TEST_F(ParaSearchTest, AFailingThreadAnswersNoMatchUntilTerminated) {
    std::mt19937 Random(5);
    Generate(Random, 3, 2);
    Records[0] = Query(0, "ab");
    Records[1] = Query(1, "zz", true);  // as a failed language answers: never a match
    Records[2] = Query(2, "cd", true);
    const auto Want = Expected(0, 3, Records);
    ASSERT_FALSE(Want[0].empty());
    Records[1] = Query(1, "(", true, 1);
    std::exception_ptr Failure = RunParallel(0, 3);
    ASSERT_NE(Failure, nullptr);
    EXPECT_THROW(std::rethrow_exception(Failure), EConcError);
    ExpectRows(Want, 3, "query that does not compile");
    EXPECT_FALSE(Lists[1]->RowsFilled);

    // A meta tag that goes away after the first hit: the second step of the thread raises in mid-search.
    ResetGlobalsForTest();
    SetUp();
    CommonConfig->WordTag = 1;
    CommonConfig->MetaTags.push_back({"NOUN", {"NN"}});
    const std::string Text = "ab_NN\nab_NN\nab_NN\n";
    for (int L = 0; L < 2; ++L) AddFile(L, "t" + std::to_string(L), Text);
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    for (int32_t U = 0; U < 3; ++U) {
        Pair->Side1.Add(U * 6, U * 6 + 6, 6);
        Pair->Side2.Add(U * 6, U * 6 + 6, 6);
    }
    Align12->Add(std::move(Pair));
    for (auto& R : Records) R.reset();
    Records[0] = Query(0, "ab", false, 2);
    Records[1] = Query(1, "&noun", false, 2);
    int Hits = 0;
    Failure = RunParallel(0, 2, 0, {}, [&](int32_t Language) {
        if (Language == 0 && ++Hits == 1) CommonConfig->MetaTags.clear();
    });
    ASSERT_NE(Failure, nullptr);
    try {
        std::rethrow_exception(Failure);
    } catch (const EConcError& E) {
        EXPECT_STREQ(E.what(), "Unknown meta tag: noun");
    }
    EXPECT_EQ(Lists[0]->Count(), 1) << "the hits after the failure have no match";
}

// Cancels at every stage: threads terminated while they prepare, the primary search stopped after each
// number of kept hits (the lines so far stay, in step), and a cancel while a thread searches a long
// unit with a slow regular expression (its search gives up; the hit is not kept).
TEST_F(ParaSearchTest, CancelAtEachStage) {
    std::mt19937 Random(8);
    Generate(Random, 4, 3);
    Records[0] = Query(0, "ab");
    Records[1] = Query(1, "zz", true);
    Records[2] = Query(2, "ef", true);
    const auto Want = Expected(0, 4, Records);
    ASSERT_GT(Want[0].size(), 2u);
    { TParallelSearch Unused(0, 4, Records); }

    for (size_t Stop = 1; Stop <= Want[0].size(); ++Stop) {
        TSearch* Running = nullptr;
        NewLists(4);
        TParallelSearch Threads(0, 4, Records);
        TSearch Search;
        Running = &Search;
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(*Records[0], Stage, Error);
        RunParallelRows(Search, Threads, Lists, true, 0, {}, [&](int32_t Language) {
            if (Language == 3 && size_t(Lists[0]->Count()) == Stop) Running->Cancelled = true;
        });
        for (int L = 0; L < 4; ++L) {
            auto Rows = RowsOf(*Lists[size_t(L)]);
            EXPECT_EQ(Rows,
                      std::vector<TRowModel>(Want[size_t(L)].begin(), Want[size_t(L)].begin() + long(Stop)));
        }
    }

    // One long unit in language 1 and a pattern that backtracks over all of it for seconds.
    ResetGlobalsForTest();
    SetUp();
    // The q at its end keeps the search from ruling the passage out at once (every match ends with q).
    const std::string Long = std::string(8000, 'a') + "bq\n";
    AddFile(0, "p", "ab\n");
    AddFile(1, "s", Long);
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    Pair->Side1.Add(0, 3, 3);
    Pair->Side2.Add(0, int32_t(Long.size()), int32_t(Long.size()));
    Align12->Add(std::move(Pair));
    for (auto& R : Records) R.reset();
    Records[0] = Query(0, "ab");
    Records[1] = Query(1, "(.+)(.+)\\2\\1q", false, 1);
    int Polls = 0;
    const std::exception_ptr Failure = RunParallel(0, 2, 0, [&] { return ++Polls >= 2; });
    EXPECT_EQ(Failure, nullptr) << "a cancel is no failure";
    EXPECT_GE(Polls, 2);
    EXPECT_EQ(Lists[0]->Count(), 0);
    EXPECT_EQ(Lists[1]->Count(), 0);
}

// Many parallel searches over one corpus with random queries, random maxima and random cancels: every
// one ends, and what it kept is the start of the brute-force answer.
TEST_F(ParaSearchTest, StressRandomCancels) {
    std::mt19937 Random(99);
    Generate(Random, 4, 4, 3);
    for (int Run = 0; Run < 300; ++Run) {
        for (int L = 0; L < 4; ++L)
            Records[size_t(L)] = Query(L, Vocabulary[Random() % 3], L > 0 && Random() % 2);
        const auto Want = Expected(0, 4, Records);
        const size_t Stop = Random() % (Want[0].size() + 2);
        NewLists(4);
        auto Threads = std::make_unique<TParallelSearch>(0, 4, Records);
        if (Run % 7 == 0) {
            Threads.reset();  // cancelled before the search began
            continue;
        }
        TSearch Search;
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(*Records[0], Stage, Error);
        RunParallelRows(Search, *Threads, Lists, true, 0, {}, [&](int32_t Language) {
            if (Language == 3 && size_t(Lists[0]->Count()) == Stop) Search.Cancelled = true;
        });
        const size_t Got = std::min(Stop == 0 ? Want[0].size() : Stop, Want[0].size());
        for (int L = 0; L < 4; ++L) {
            ASSERT_EQ(RowsOf(*Lists[size_t(L)]),
                      std::vector<TRowModel>(Want[size_t(L)].begin(), Want[size_t(L)].begin() + long(Got)))
                << "run " << Run << ", language " << L;
        }
    }
}

// A single search and an appended one fill every language in step; the lines are then reordered as a sort
// would and some rows excluded; two searches within the current lines of language 1 put every
// occurrence of their words in each row's passage into that row, the earliest shown (taking the place
// of a later hit, whose sub-item keeps whether it came from hot words), the others as sub-items in file
// order. With distinct units the range callback names each unit of a file once.
TEST_F(ParaSearchTest, AppendAndSearchWithinTheLinesKeepThePanesInStep) {
    std::mt19937 Random(4);
    Generate(Random, 3, 3);
    NewLists(3);
    auto Single = [&](const TConcSearchRec& Q) {
        TSearch Search;
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(Q, Stage, Error);
        Search.Execute(
            true, 0, [&](std::unique_ptr<TConcordItem> Hit) { AddSearchHit(Lists, 3, 0, std::move(Hit)); },
            {}, 0);
    };
    auto First = Query(0, "ab");
    Single(*First);
    auto Second = Query(0, "cd");
    JoinAppendedQuery(*Second, *First);
    EXPECT_EQ(Second->Names[0], "ab / cd");
    Single(*Second);

    // What every row should show: the units of the hits of "ab", then those of "cd".
    std::vector<std::vector<TRowModel>> Want(3);
    for (const char* Word : {"ab", "cd"}) {
        for (size_t F = 0; F < 3; ++F) {
            for (size_t U = 0; U < Model[0][F].size(); ++U) {
                for (int32_t Start : Occurrences(Model[0][F][U], Word)) {
                    Want[0].push_back({int32_t(F), Model[0][F][U].Start, Model[0][F][U].End, {Start}});
                    for (size_t L = 1; L < 3; ++L) {
                        Want[L].push_back({int32_t(F), Model[L][F][U].Start, Model[L][F][U].End, {}});
                    }
                }
            }
        }
    }
    ASSERT_GT(Want[0].size(), 6u);
    ExpectRows(Want, 3, "after the appended search");

    // Reordered as a sort does it, in every list alike; every third row excluded; some rows marked as
    // holding a hit of hot words, placed at the end of their passage.
    const int32_t Count = Lists[0]->Count();
    for (int32_t I = Count - 1; I > 0; --I) {
        const int32_t J = static_cast<int32_t>(Random() % (I + 1));
        for (size_t L = 0; L < 3; ++L) {
            Lists[L]->Exchange(I, J);
            std::swap(Want[L][size_t(I)], Want[L][size_t(J)]);
        }
    }
    TRowExclusions Excluded;
    std::vector<bool> Marked(size_t(Count), false);
    for (int32_t I = 0; I < Count; ++I) {
        TConcordItem& Row = *Lists[1]->GetItem(I);
        if (I % 3 == 2) {
            Excluded.insert(&Row);
        } else if (I % 4 == 1 && Row.AlignedEnd > Row.AlignedStart + 1) {
            Row.Texts.Set(0, "x");
            Row.HitStart = Row.AlignedEnd - 1;
            Row.HitEnd = Row.AlignedEnd;
            Row.HitState = 2;
            Marked[size_t(I)] = true;
            Want[1][size_t(I)].HitStarts = {Row.HitStart};
        }
    }
    TReaderList Readers = OpenReaders(1);
    for (const char* Word : {"ef", "ab"}) {
        TSearch Search;
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(*Query(1, Word), Stage, Error);
        SearchWithinRows(Search, *Lists[1], &Excluded, Readers, true, 0);
        for (int32_t I = 0; I < Count; ++I) {
            if (I % 3 == 2) continue;
            const TRowModel& Row = Want[1][size_t(I)];
            const TUnit& Unit = UnitAt(1, Row.File, Row.AlignedStart);
            std::vector<int32_t>& Hits = Want[1][size_t(I)].HitStarts;
            for (int32_t Start : Occurrences(Unit, Word)) Hits.push_back(Start);
            std::sort(Hits.begin(), Hits.end());
        }
    }
    ExpectRows(Want, 3, "after the searches within the lines");
    int Swapped = 0, WithSubItems = 0;
    for (int32_t I = 0; I < Count; ++I) {
        const TConcordItem& Row = *Lists[1]->GetItem(I);
        if (!Row.IsFilled()) continue;
        const size_t Hits = 1 + Row.SubItems().size();
        if (Marked[size_t(I)] && Hits > 1) {
            EXPECT_EQ(Row.HitState, 1);
            EXPECT_EQ(Row.SubItems().back().HitEnd, Row.AlignedEnd);
            EXPECT_TRUE(Row.SubItems().back().Flag) << "the hot-word hit keeps its origin";
            ++Swapped;
        }
        WithSubItems += Hits > 1;
        const TUnit& Unit = UnitAt(1, Row.FileIndex, Row.AlignedStart);
        const auto Word = std::find_if(Unit.Words.begin(), Unit.Words.end(),
                                       [&](const TWord& W) { return W.Start == Row.HitStart; });
        EXPECT_EQ(Row.Texts[0], Word == Unit.Words.end() ? "x" : Word->Text) << "the words of the shown hit";
    }
    EXPECT_GT(Swapped, 0);
    EXPECT_GT(WithSubItems, 2);
    EXPECT_TRUE(Lists[1]->QueryHitsPresent);
    for (int32_t L : {0, 2}) EXPECT_EQ(Lists[size_t(L)]->Count(), Count);

    // Distinct units: one entry per unit of each file, in row order, however many rows share it.
    TRowRangeCursor Cursor(*Lists[1], 1, &Excluded);
    for (int32_t F = 0; F < 3; ++F) {
        GetAlignIndex(1, F)->ClearFlags();
        std::vector<int32_t> Named, Expect;
        int32_t Row = 0;
        for (int32_t Entry = Cursor.NextRowRange(F, Row, true); Entry >= 0;
             Entry = Cursor.NextRowRange(F, Row, true)) {
            EXPECT_EQ(Lists[1]->GetItem(Row)->FileIndex, F);
            Named.push_back(Entry);
        }
        for (int32_t I = 0; I < Count; ++I) {
            const TConcordItem& Item = *Lists[1]->GetItem(I);
            if (Item.FileIndex != F || Excluded.count(&Item)) continue;
            const int32_t Entry = GetAlignIndex(1, F)->SegmentOf(Item.AlignedStart);
            if (std::find(Expect.begin(), Expect.end(), Entry) == Expect.end()) Expect.push_back(Entry);
        }
        EXPECT_EQ(Named, Expect) << "file " << F;
    }
}

// Hits whose passage cannot be mapped (an empty side of a pair, a hit that is not aligned) get rows
// without a passage instead of ending the search, and their language counts as "no match".
TEST_F(ParaSearchTest, HitsWithoutAPassageInALanguage) {
    std::mt19937 Random(3);
    Generate(Random, 3, 1);
    Align13->SetItem(0, std::make_unique<TDoubleAlignIndex>());
    for (const TUnit& U : Model[0][0]) Align13->GetItem(0)->Side1.Add(U.Start, U.End, U.End - U.Start);
    Records[0] = Query(0, "ab");
    Records[1] = Query(1, "zz", true);
    Records[2] = Query(2, "*", true);
    EXPECT_EQ(RunParallel(0, 3), nullptr);
    const int32_t Hits = Lists[0]->Count();
    ASSERT_GT(Hits, 0);
    for (int32_t I = 0; I < Hits; ++I) {
        const TConcordItem& Row = *Lists[2]->GetItem(I);
        EXPECT_EQ(std::vector<int32_t>({Row.FileIndex, Row.AlignedStart, Row.AlignedEnd, Row.AlignedLength}),
                  std::vector<int32_t>({0, -1, -1, 0}));
        EXPECT_FALSE(Row.IsFilled());
    }
    Records[2]->Not = false;
    EXPECT_EQ(RunParallel(0, 3), nullptr);
    EXPECT_EQ(Lists[0]->Count(), 0);

    TConcordItem Unaligned(0);
    Unaligned.FileIndex = 0;
    Unaligned.AlignedStart = Unaligned.AlignedEnd = -1;
    const TConcordItem& Row = AddAlignedRow(*Lists[1], 0, Unaligned);
    EXPECT_EQ(std::vector<int32_t>({Row.FileIndex, Row.AlignedStart, Row.AlignedEnd, Row.Sequence}),
              std::vector<int32_t>({0, -1, -1, 0}));
}

}  // namespace

// Languages 1 to 3 each aligned with language 0 on their own, grouping language 0's lines differently,
// so that a hit's passage in another language covers one or several of that language's units. A
// model maps every passage through language 0 and looks for the words in the whole passage; the
// maximum and the frequency of hits count kept lines only. The search within the lines of a language
// without a query then finds every occurrence in each row's passage.
TEST_F(ParaSearchTest, PassagesOfSeveralUnitsAndCountsOfKeptLines) {
    struct TText {
        std::string Text;
        std::vector<TWord> Words;
        std::vector<std::pair<int32_t, int32_t>> Units;
    };
    using TGroups = std::vector<std::pair<int, int>>;  // first and last line of language 0
    std::mt19937 Random(37);
    auto pick = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
    auto Lines = [&](int Count) {
        TText T;
        for (int U = 0; U < Count; ++U) {
            const auto Start = static_cast<int32_t>(T.Text.size());
            for (int W = pick(4); W > 0; --W) {
                const std::string& Word = Vocabulary[static_cast<size_t>(pick(3))];
                T.Words.push_back({static_cast<int32_t>(T.Text.size()),
                                   static_cast<int32_t>(T.Text.size() + Word.size()), Word});
                T.Text += Word + (W > 1 ? " " : "");
            }
            T.Text += "\n";
            T.Units.push_back({Start, static_cast<int32_t>(T.Text.size())});
        }
        return T;
    };
    auto WordsIn = [](const TText& T, int32_t From, int32_t To, const std::string& Word) {
        std::vector<int32_t> Starts;
        for (const TWord& W : T.Words) {
            if (W.Start >= From && W.End <= To && W.Text == Word) Starts.push_back(W.Start);
        }
        return Starts;
    };
    int Kept = 0, Several = 0;
    for (int Round = 0; Round < 30; ++Round) {
        ResetGlobalsForTest();
        SetUp();
        const int Languages = 3 + Round % 2;
        const int Files = 2;
        std::vector<std::vector<TText>> Texts(static_cast<size_t>(Languages));  // [language][file]
        std::vector<std::vector<TGroups>> Groups(static_cast<size_t>(Languages));
        std::array<std::unique_ptr<TDoubleAlignIndexes>*, 3> Pairs = {&Align12, &Align13, &Align14};
        for (int K = 1; K < Languages; ++K) *Pairs[size_t(K - 1)] = std::make_unique<TDoubleAlignIndexes>();
        for (int F = 0; F < Files; ++F) {
            const TText Zero = Lines(2 + pick(6));
            Texts[0].push_back(Zero);
            AddFile(0, "l0f" + std::to_string(F) + ".txt", Zero.Text);
            for (int K = 1; K < Languages; ++K) {
                TGroups G;
                for (int First = 0; First < static_cast<int>(Zero.Units.size());) {
                    const int Last = std::min(First + pick(3), static_cast<int>(Zero.Units.size()) - 1);
                    G.push_back({First, Last});
                    First = Last + 1;
                }
                const TText Own = Lines(static_cast<int>(G.size()));
                auto Pair = std::make_unique<TDoubleAlignIndex>();
                for (size_t I = 0; I < G.size(); ++I) {
                    const int32_t S = Zero.Units[size_t(G[I].first)].first,
                                  E = Zero.Units[size_t(G[I].second)].second;
                    Pair->Side1.Add(S, E, E - S);
                    Pair->Side2.Add(Own.Units[I].first, Own.Units[I].second,
                                    Own.Units[I].second - Own.Units[I].first);
                }
                (*Pairs[size_t(K - 1)])->Add(std::move(Pair));
                Texts[size_t(K)].push_back(Own);
                Groups[size_t(K)].push_back(G);
                AddFile(K, "l" + std::to_string(K) + "f" + std::to_string(F) + ".txt", Own.Text);
            }
        }
        // A range of language From in file F as a range of language To, through language 0.
        auto Map = [&](int From, int To, int F, std::pair<int32_t, int32_t> R) {
            const TText& Zero = Texts[0][size_t(F)];
            if (From != 0) {
                const auto& G = Groups[size_t(From)][size_t(F)];
                const auto& Units = Texts[size_t(From)][size_t(F)].Units;
                const auto I = static_cast<size_t>(std::find(Units.begin(), Units.end(), R) - Units.begin());
                R = {Zero.Units[size_t(G[I].first)].first, Zero.Units[size_t(G[I].second)].second};
            }
            if (To == 0) return R;
            const auto& G = Groups[size_t(To)][size_t(F)];
            const auto& Units = Texts[size_t(To)][size_t(F)].Units;
            std::pair<int32_t, int32_t> Out{-1, -1};
            for (size_t I = 0; I < G.size(); ++I) {
                if (Zero.Units[size_t(G[I].first)].first >= R.second ||
                    Zero.Units[size_t(G[I].second)].second <= R.first)
                    continue;
                if (Out.first < 0) Out.first = Units[I].first;
                Out.second = Units[I].second;
            }
            return Out;
        };

        const int32_t Primary = Round % 3;
        const int Frequency = Round % 4 == 3 ? 2 + Round % 3 : 1;
        const int32_t MaxHits = Round % 5 == 2 ? 1 + pick(3) : 0;
        CommonConfig->FrequencyOfHits = Frequency;
        const int Silent = Round % 2 == 0 ? (Primary == 1 ? 2 : 1) : -1;  // a language without a query
        for (auto& R : Records) R.reset();
        for (int L = 0; L < Languages; ++L) {
            if (L == Silent) continue;
            Records[size_t(L)] = Query(L, Vocabulary[size_t(pick(3))], L != Primary && pick(3) == 0);
        }

        std::vector<std::vector<TRowModel>> Want(static_cast<size_t>(Languages));
        int KeptLines = 0, Reported = 0;
        for (int F = 0; F < Files && (MaxHits == 0 || Reported < MaxHits); ++F) {
            // Language 0 is searched in the units of its pair with language 1.
            std::vector<std::pair<int32_t, int32_t>> Units = Texts[size_t(Primary)][size_t(F)].Units;
            if (Primary == 0) {
                Units.clear();
                for (const auto& G : Groups[1][size_t(F)])
                    Units.push_back({Texts[0][size_t(F)].Units[size_t(G.first)].first,
                                     Texts[0][size_t(F)].Units[size_t(G.second)].second});
            }
            for (const auto& Unit : Units) {
                const auto Hits = WordsIn(Texts[size_t(Primary)][size_t(F)], Unit.first, Unit.second,
                                          Records[size_t(Primary)]->Names[0]);
                for (int32_t Start : Hits) {
                    if (MaxHits != 0 && Reported == MaxHits) break;
                    std::vector<TRowModel> Row(static_cast<size_t>(Languages));
                    bool Keep = true;
                    for (int L = 0; L < Languages; ++L) {
                        if (L == Primary) {
                            Row[size_t(L)] = {F, Unit.first, Unit.second, {Start}};
                            continue;
                        }
                        const auto Passage = Map(Primary, L, F, Unit);
                        Row[size_t(L)] = {F, Passage.first, Passage.second, {}};
                        const auto& Own = Texts[size_t(L)][size_t(F)].Units;
                        Several += std::count_if(Own.begin(), Own.end(), [&](const auto& U) {
                                       return U.first >= Passage.first && U.second <= Passage.second;
                                   }) > 1;
                        if (!Records[size_t(L)]) continue;
                        Row[size_t(L)].HitStarts = WordsIn(Texts[size_t(L)][size_t(F)], Passage.first,
                                                           Passage.second, Records[size_t(L)]->Names[0]);
                        Keep = Keep && (!Row[size_t(L)].HitStarts.empty() != Records[size_t(L)]->Not);
                    }
                    if (!Keep || ++KeptLines % Frequency != 0) continue;
                    ++Reported;
                    for (int L = 0; L < Languages; ++L) Want[size_t(L)].push_back(Row[size_t(L)]);
                }
            }
        }
        Kept += static_cast<int>(Want[0].size());
        EXPECT_EQ(RunParallel(Primary, Languages, MaxHits), nullptr);
        ExpectRows(Want, Languages, "round " + std::to_string(Round));

        if (Silent < 0) continue;
        const std::string Word = Vocabulary[size_t(pick(3))];
        TSearch Search;
        uint8_t Stage = 9;
        std::string Error;
        Search.Prepare(*Query(Silent, Word), Stage, Error);
        TReaderList Readers = OpenReaders(Silent);
        SearchWithinRows(Search, *Lists[size_t(Silent)], nullptr, Readers, true, 0);
        const TConcordItems& List = *Lists[size_t(Silent)];
        ASSERT_EQ(List.Count(), static_cast<int32_t>(Want[size_t(Silent)].size()));
        for (int32_t I = 0; I < List.Count(); ++I) {
            TRowModel Row = Want[size_t(Silent)][size_t(I)];
            Row.HitStarts =
                WordsIn(Texts[size_t(Silent)][size_t(Row.File)], Row.AlignedStart, Row.AlignedEnd, Word);
            EXPECT_EQ(RowsOf(List)[size_t(I)], Row) << "round " << Round << ", row " << I;
        }
    }
    EXPECT_GT(Kept, 30);
    EXPECT_GT(Several, 30);
}

// A corpus of many more files than the file streams may keep open (the budget stands for the process's
// limit against tens of thousands of files): the parallel search, whose threads read the files of the
// other languages while the main thread reads language 0, keeps the rows of the brute-force answer, and
// the panes read every row's text from files opened again. A file removed afterwards is named in the
// rows that need it, while the other rows still read; a search then leaves it out and keeps the rest.
TEST_F(ParaSearchTest, ManyMoreFilesThanDescriptorsKeptOpen) {
    const TDescriptorBudget Budget(4);
    std::mt19937 Random(59);
    constexpr int Languages = 3, Files = 40;
    Generate(Random, Languages, Files);
    EXPECT_LE(TFileHandleCache::Instance().OpenCount(), 4u);
    Records[0] = Query(0, "ab");
    Records[1] = Query(1, "cd");
    Records[2] = Query(2, "ef", true);
    auto Want = Expected(0, Languages, Records);
    ASSERT_GT(Want[0].size(), 10u);
    const uint64_t ReopensBefore = TFileHandleCache::Instance().ReopenCount();
    EXPECT_EQ(RunParallel(0, Languages), nullptr);
    ExpectRows(Want, Languages, "many files");
    EXPECT_GT(TFileHandleCache::Instance().ReopenCount(), ReopensBefore + Files);

    // Row R of language L as the pane shows it, and the words of its unit.
    auto Shown = [&](int L, int32_t R) {
        TTessivorordStrings Pane(*Lists[size_t(L)], L);
        return L == 0 ? TConcordStrings(*Lists[0]).Get(R) : Pane.Get(R);
    };
    auto UnitWords = [&](int L, int32_t R) {
        const TRowModel& Row = Want[size_t(L)][size_t(R)];
        std::string Words;
        for (const TWord& W : UnitAt(L, Row.File, Row.AlignedStart).Words)
            Words += (Words.empty() ? "" : " ") + W.Text;
        return Words;
    };
    const int32_t Rows = Lists[0]->Count();
    for (int32_t R = 0; R < Rows; ++R) {
        for (int L = 0; L < Languages; ++L)
            EXPECT_NE(Shown(L, R).find(UnitWords(L, R)), std::string::npos)
                << "row " << R << " of language " << L << ": " << Shown(L, R);
    }

    // A file of language 1 (rows with hits) and one of language 2 (rows of passages) are removed.
    const std::array<int32_t, 3> Gone = {-1, Want[1].front().File, Want[2].back().File};
    for (int L = 1; L < Languages; ++L) {
        std::filesystem::remove(
            Dir.File("l" + std::to_string(L) + "f" + std::to_string(Gone[size_t(L)]) + ".txt"));
        // These files fit in a reader's window, which would show the rows from the bytes it holds: the
        // readers start afresh, as they must for any row of a larger file outside their window.
        for (auto& Reader : LanguageConfigs[size_t(L)]->Readers) Reader.reset();
    }
    for (int32_t R = 0; R < Rows; ++R) {
        for (int L = 1; L < Languages; ++L) {
            const int32_t File = Want[size_t(L)][size_t(R)].File;
            const std::string Text = Shown(L, R);
            if (File == Gone[size_t(L)])
                EXPECT_EQ(Text, "Unable to open file: " +
                                    Dir.File("l" + std::to_string(L) + "f" + std::to_string(File) + ".txt") +
                                    ".")
                    << "row " << R << " of language " << L;
            else
                EXPECT_NE(Text.find(UnitWords(L, R)), std::string::npos) << "row " << R << ": " << Text;
        }
    }

    // The threads pass the removed files: no "cd" is found there, nor "ef", which keeps those hits.
    for (int L = 1; L < Languages; ++L)
        for (TUnit& Unit : Model[size_t(L)][size_t(Gone[size_t(L)])]) Unit.Words.clear();
    Want = Expected(0, Languages, Records);
    EXPECT_EQ(RunParallel(0, Languages), nullptr);
    ExpectRows(Want, Languages, "a file removed");
}
