// A search run on a thread of its own: its hits reach the taker whole and in the order found, whatever
// the taker's pace, against a brute-force reading of random corpora and against the same search run
// here; the maximum of hits, a stop, and a failure of the search pass to the taker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <random>
#include <thread>

#include "engine/ConcErrors.h"
#include "engine/ConcSearch.h"
#include "engine/ConcSearchItems.h"
#include "results/ConcSearchRunner.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

struct THit {
    int32_t File, Start, End;
    std::string Text;
    bool operator==(const THit&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const THit& H) {
    return Out << "{" << H.File << ", " << H.Start << ", " << H.End << ", " << H.Text << "}";
}

THit HitOf(const TConcordItem& Item) {
    std::string Text;
    for (int Slot = 0; Slot < 9; ++Slot)
        Text += (Item.Texts.Has(Slot) ? std::string(Item.Texts[Slot]) : "-") + "|";
    return {Item.FileIndex, Item.HitStart, Item.HitEnd, Text};
}

class SearchRunnerTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        CommonConfig->FrequencyOfHits = 1;
        CommonConfig->TagSearchSeparator = '&';
    }

    // Files of one line per unit, each unit 0 to 6 words of a small vocabulary, aligned one to one with
    // a second language of the same text. Returns where "ab" stands, file by file, in corpus order.
    std::vector<std::pair<int32_t, int32_t>> Generate(std::mt19937& Random, int Files, int MaxUnits) {
        const std::vector<std::string> Words = {"ab", "cd", "abc", "x"};
        std::vector<std::pair<int32_t, int32_t>> Occurrences;
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        Total = 0;
        for (int F = 0; F < Files; ++F) {
            std::string Text;
            auto Pair = std::make_unique<TDoubleAlignIndex>();
            const int Units = 1 + int(Random() % unsigned(MaxUnits));
            for (int U = 0; U < Units; ++U) {
                const auto Start = int32_t(Text.size());
                const int Count = int(Random() % 7);
                for (int W = 0; W < Count; ++W) {
                    if (W > 0) Text += ' ';
                    const std::string& Word = Words[Random() % Words.size()];
                    if (Word == "ab") Occurrences.push_back({F, int32_t(Text.size())});
                    Text += Word;
                }
                Text += "\n";
                const auto End = int32_t(Text.size());
                Pair->Side1.Add(Start, End, End - Start);
                Pair->Side2.Add(Start, End, End - Start);
            }
            AddFile(0, "a" + std::to_string(F) + ".txt", Text);
            AddFile(1, "b" + std::to_string(F) + ".txt", Text);
            Align12->Add(std::move(Pair));
            Total += int64_t(Text.size());
        }
        return Occurrences;
    }

    static std::unique_ptr<TConcSearchRec> Query(const std::string& Pattern, uint8_t Syntax = 0) {
        auto Q = std::make_unique<TConcSearchRec>();
        Q->Language = 0;
        Q->Syntax = Syntax;
        Q->Names = Q->Patterns = {Pattern};
        return Q;
    }

    static void Prepare(TSearch& Search, const TConcSearchRec& Query) {
        uint8_t Stage = 0;
        std::string Error;
        Search.Prepare(Query, Stage, Error);
        ASSERT_EQ(Stage, 0) << Error;
    }

    // The same search run on this thread.
    static std::vector<THit> Here(const TConcSearchRec& Query, int32_t MaxHits) {
        TSearch Search;
        Prepare(Search, Query);
        std::vector<THit> Hits;
        Search.Execute(
            true, MaxHits, [&](std::unique_ptr<TConcordItem> Item) { Hits.push_back(HitOf(*Item)); }, {}, 0);
        return Hits;
    }

    // The search run beside this thread (on Thread when given), whose hits are taken at a random pace;
    // OnWake (when given) is told each time the taker is woken, on the search's thread. Wakes counts the
    // wakes. With FirstTakeAfterAWake the taker takes nothing before it is first woken, so that a wake
    // comes when a batch is ready however fast the taker is against the search.
    std::vector<THit> Beside(TSearch& Search, int32_t MaxHits, std::mt19937& Random, int& Wakes,
                             const std::function<void(TSearchRunner&)>& OnWake = {},
                             bool FirstTakeAfterAWake = false,
                             std::unique_ptr<TSearchThread> Thread = nullptr) {
        std::mutex Mutex;
        std::condition_variable Woken;
        Wakes = 0;
        TSearchRunner* Running = nullptr;
        std::vector<THit> Hits;
        {
            TSearchRunner Runner(
                Search, MaxHits,
                [&] {
                    TSearchRunner* Runner = nullptr;
                    {
                        std::unique_lock Lock(Mutex);
                        Woken.wait(Lock, [&] { return Running != nullptr; });
                        Runner = Running;
                        ++Wakes;
                    }
                    if (OnWake) OnWake(*Runner);
                    Woken.notify_all();
                },
                std::move(Thread));
            {
                const std::lock_guard Lock(Mutex);
                Running = &Runner;
            }
            Woken.notify_all();
            std::vector<std::unique_ptr<TConcordItem>> Taken;
            for (bool Ended = false; !Ended;) {
                {
                    std::unique_lock Lock(Mutex);
                    if (FirstTakeAfterAWake && Wakes == 0)
                        Woken.wait(Lock, [&] { return Wakes > 0; });
                    else
                        Woken.wait_for(Lock, std::chrono::microseconds(Random() % 300));
                }
                // Some of what was taken is left in the vector for the next take to append to.
                Ended = Runner.Take(Taken);
                const size_t Keep = Ended ? 0 : Random() % 3;
                while (Taken.size() > Keep) {
                    Hits.push_back(HitOf(*Taken.front()));
                    Taken.erase(Taken.begin());
                }
            }
            Runner.Wait();
            if (Runner.Failure()) std::rethrow_exception(Runner.Failure());
            if (!Search.Cancelled) {
                EXPECT_EQ(Runner.Reach.File.load(), int32_t(LangConfig(0).Files.size()) - 1);
                EXPECT_EQ(Runner.Reach.Overall.load(), Total);
            }
        }
        EXPECT_EQ(Search.Reach, nullptr) << "the runner lets go of the search";
        return Hits;
    }

    static TConcordConfig& LangConfig(int L) { return *LanguageConfigs[size_t(L)]; }

    int64_t Total = 0;
};

TEST_F(SearchRunnerTest, HitsComeInTheOrderFoundWhateverThePaceOfTheTaker) {
    for (unsigned Seed = 1; Seed <= 6; ++Seed) {
        SCOPED_TRACE("seed " + std::to_string(Seed));
        ResetGlobalsForTest();
        SetUp();
        std::mt19937 Random(Seed);
        const auto Occurrences = Generate(Random, 60 + int(Seed) * 20, Seed % 2 ? 3 : 40);
        ASSERT_GT(Occurrences.size(), TSearchRunner::WakeHits);
        const auto Q = Query("ab");
        const std::vector<THit> Expected = Here(*Q, 0);
        ASSERT_EQ(Expected.size(), Occurrences.size());
        for (size_t I = 0; I < Expected.size(); ++I)
            ASSERT_EQ(std::make_pair(Expected[I].File, Expected[I].Start), Occurrences[I]) << "hit " << I;

        // A thread made ahead of the search and one made for it; one made ahead and dropped unused ends.
        { const TSearchThread Unused; }
        for (const int32_t MaxHits : {0, int32_t(Occurrences.size() / 3)}) {
            for (const bool Ahead : {false, true}) {
                TSearch Search;
                Prepare(Search, *Q);
                int Wakes = 0;
                const std::vector<THit> Hits = Beside(Search, MaxHits, Random, Wakes, {}, false,
                                                      Ahead ? std::make_unique<TSearchThread>() : nullptr);
                const std::vector<THit> Wanted(Expected.begin(),
                                               MaxHits ? Expected.begin() + MaxHits : Expected.end());
                EXPECT_EQ(Hits, Wanted) << "maximum " << MaxHits << (Ahead ? ", thread made ahead" : "");
                EXPECT_GE(Wakes, 1) << "the end wakes the taker";
                EXPECT_LE(size_t(Wakes), Wanted.size() / TSearchRunner::WakeHits + 1) << "a wake per batch";
            }
        }
    }
}

TEST_F(SearchRunnerTest, AStopEndsTheSearchAndAFailurePassesToTheTaker) {
    std::mt19937 Random(7);
    const auto Occurrences = Generate(Random, 300, 40);
    const auto Q = Query("ab");
    const std::vector<THit> Expected = Here(*Q, 0);
    ASSERT_GT(Expected.size(), 4 * TSearchRunner::WakeHits);
    {
        // Stopped when the first batch is ready: what came is the start of what the search finds.
        TSearch Search;
        Prepare(Search, *Q);
        int Wakes = 0;
        const std::vector<THit> Hits = Beside(
            Search, 0, Random, Wakes, [](TSearchRunner& R) { R.Stop(); }, true);
        ASSERT_GE(Hits.size(), TSearchRunner::WakeHits);
        EXPECT_LT(Hits.size(), Expected.size());
        EXPECT_EQ(Hits, std::vector<THit>(Expected.begin(), Expected.begin() + std::ptrdiff_t(Hits.size())));
        EXPECT_TRUE(Search.Cancelled);
    }
    {
        // A meta tag gone after the search was prepared: the search's message reaches the taker.
        ResetGlobalsForTest();
        SetUp();
        AddFile(0, "t.txt", "ab_NN\nab_NN\n");
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (int32_t U = 0; U < 2; ++U) Pair->Side1.Add(U * 6, U * 6 + 6, 6);
        Align12->Add(std::move(Pair));
        Total = 12;
        CommonConfig->WordTag = 1;
        CommonConfig->wTagDelimiter = '_';
        CommonConfig->MetaTags.push_back({"NOUN", {"NN"}});
        TSearch Search;
        Prepare(Search, *Query("&noun", 2));
        CommonConfig->MetaTags.clear();
        int Wakes = 0;
        try {
            Beside(Search, 0, Random, Wakes);
            ADD_FAILURE() << "no failure came";
        } catch (const EConcError& E) {
            EXPECT_STREQ(E.what(), "Unknown meta tag: noun");
        }
        EXPECT_EQ(Wakes, 1);
    }
}

TEST_F(SearchRunnerTest, ASearchGivesItsProcessorUpOnlyWhileItsTakerIsHeldUpAndOnlySoOften) {
    // A taker that takes nothing until the search has ended is held up from the first wake on.
    std::mt19937 Random(11);
    Generate(Random, 400, 40);
    const auto Q = Query("ab");
    const std::vector<THit> Expected = Here(*Q, 0);
    ASSERT_GT(Expected.size(), 16 * TSearchRunner::WakeHits);
    for (const bool HeldUp : {true, false}) {
        SCOPED_TRACE(HeldUp ? "held up" : "never woken");
        TSearch Search;
        Prepare(Search, *Q);
        // Without being held up: fewer hits than wake the taker, but enough for the clock to be read.
        const int32_t MaxHits = HeldUp ? 0 : int32_t(TSearchRunner::WakeHits) - 1;
        std::atomic<int> Yields = 0;
        std::vector<std::unique_ptr<TConcordItem>> Taken;
        // However fast the search, the taker is late at the next look after each wake and each yield.
        const auto Late = [] { std::this_thread::sleep_for(TSearchRunner::LateAfter); };
        TSearchRunner Runner(Search, MaxHits, Late, nullptr, [&] {
            ++Yields;
            Late();
        });
        Runner.Wait();
        ASSERT_TRUE(Runner.Take(Taken));
        std::vector<THit> Hits;
        for (const auto& Hit : Taken) Hits.push_back(HitOf(*Hit));
        if (HeldUp) {
            EXPECT_EQ(Hits, Expected);
            EXPECT_EQ(Yields.load(), TSearchRunner::YieldsAtMost);
        } else {
            EXPECT_EQ(Hits, std::vector<THit>(Expected.begin(), Expected.begin() + MaxHits));
            EXPECT_EQ(Yields.load(), 0) << "a taker never woken is not waited for";
        }
    }
}

}  // namespace
