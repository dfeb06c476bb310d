#include "results/ConcHotWordsRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class HotWordsRulesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0);
    }

    // A list of language 0 counted from (word, count) pairs, in that order.
    static std::unique_ptr<TFreqList> List(std::initializer_list<std::pair<const char*, int>> Words) {
        auto Result = std::make_unique<TFreqList>(0);
        for (const auto& [Word, Count] : Words) Result->AddWord(Word, Count);
        return Result;
    }

    static std::vector<std::string> Words(const THotWordCandidates& Items) {
        std::vector<std::string> Result;
        for (const auto& Item : Items) Result.push_back(Item->Word);
        return Result;
    }

    TRecordingMessenger Messenger;
};

TEST_F(HotWordsRulesTest, LogLikelihoodMatchesHandComputedValues) {
    // 2 (a ln(a/E1) + b ln(b/E2)), E1 = (a+b) c / (c+d), E2 = (a+b) d / (c+d), worked out by hand.
    EXPECT_NEAR(double(LogLikelihoodScore(2, 4, 3, 10)), 0.2997686236161847, 1e-13);
    EXPECT_NEAR(double(LogLikelihoodScore(2, 5, 2, 7)), 0.11268350786678494, 1e-13);
    EXPECT_NEAR(double(LogLikelihoodScore(5, 5, 7, 7)), 0.0, 1e-15);
    // A count of 0 adds its limit 0 instead of 0 * ln 0.
    EXPECT_NEAR(double(LogLikelihoodScore(5, 10, 0, 20)), 10.986122886681098, 1e-12);
}

TEST_F(HotWordsRulesTest, RankingOnATinyCorpus) {
    // d = 7 distinct reference words, c = 5 distinct local words.
    auto Reference =
        List({{"the", 10}, {"cat", 2}, {"dog", 2}, {"sat", 1}, {"mat", 1}, {"ran", 4}, {"fox", 7}});
    auto Local = List({{"the", 3}, {"cat", 2}, {"sat", 1}, {"zebra", 1}, {"fox", 5}});
    Local->SortAlphabetically();
    THotWordsOptions Options;
    THotWordCandidates Candidates;
    RankKeywordCandidates(0, *Reference, *Local, Options, Candidates);
    // "the" is rarer here than in the corpus, "zebra" is not in it, and "fox" sits exactly at the corpus
    // rate (5/5 = 7/7), which a threshold of 0 must not let through.
    ASSERT_EQ(Words(Candidates), (std::vector<std::string>{"cat", "sat"}));
    EXPECT_NEAR(Candidates[0]->Score, 0.11268350786678494, 1e-13);
    EXPECT_NEAR(Candidates[1]->Score, 0.05634175393339247, 1e-13);
    EXPECT_EQ(Candidates[1]->OwnScore, Candidates[1]->Score);
    EXPECT_FALSE(Candidates[0]->ParadigmLinked);

    // A score equal to the threshold stays, one just above it goes.
    const double SatScore = Candidates[1]->Score;
    for (const auto& [Threshold, Expected] :
         {std::pair{SatScore, 2u}, std::pair{std::nextafter(SatScore, 1.0), 1u}}) {
        THotWordCandidates Kept;
        Options.RankFunctionThreshold = Threshold;
        RankKeywordCandidates(0, *Reference, *Local, Options, Kept);
        EXPECT_EQ(Kept.size(), Expected);
    }

    // The corpus item must pass the frequency limits and the stop list.
    Options.RankFunctionThreshold = 0;
    FrequencyConfigs[0].MinimumFrequency = 2;
    Lang(0).StopList.SetWords({"cat"});
    Lang(0).StopList.SetActive(true);
    THotWordCandidates Filtered;
    RankKeywordCandidates(0, *Reference, *Local, Options, Filtered);
    EXPECT_TRUE(Filtered.empty());
}

TEST_F(HotWordsRulesTest, LocalWordsAreLookedUpUnderTheCorpusCaseRule) {
    FrequencyConfigs[0].IgnoreCase = true;
    auto Reference = List({{"Cat", 2}, {"dog", 9}});  // folded: "cat"
    FrequencyConfigs[0].IgnoreCase = false;
    auto Local = List({{"CAT", 2}});
    THotWordCandidates Candidates;
    RankKeywordCandidates(0, *Reference, *Local, {}, Candidates);
    ASSERT_EQ(Words(Candidates), std::vector<std::string>{"CAT"});
}

TEST_F(HotWordsRulesTest, ParadigmSimilarityCountsAlignedPairs) {
    // Position 0, then the pairs wa al lk; at 4 "walk" has a lone "k" against the pair "ks".
    EXPECT_DOUBLE_EQ(ParadigmSimilarity("walk", "walks"), 8.0 / 13);
    // "wa"/"ta" differ; al, lk and the lone last "k" match.
    EXPECT_DOUBLE_EQ(ParadigmSimilarity("walk", "talk"), 8.0 / 12);
    EXPECT_DOUBLE_EQ(ParadigmSimilarity("walks", "talk"), 6.0 / 13);
    EXPECT_DOUBLE_EQ(ParadigmSimilarity("ab", "ba"), 2.0 / 8);
    for (const std::string Word : {"a", "word", "paradigms"}) {
        const double N = double(Word.size());
        EXPECT_DOUBLE_EQ(ParadigmSimilarity(Word, Word), (N + 1) / (N + 2));
        EXPECT_FALSE(ParadigmSimilar(0, Word, Word, 1.0));  // a threshold of 1 links nothing
    }
    EXPECT_TRUE(ParadigmSimilar(0, "Walk", "WALK", 0.8));  // compared in lower case
}

// The ranking with paradigm grouping as a plain reading of its rules gives it: every pair compared,
// the link sums made over a full matrix.
THotWordCandidates OracleRanking(const TFreqList& Reference, const TFreqList& Local,
                                 const THotWordsOptions& O) {
    const double C = Local.Count(), D = Reference.Count();
    THotWordCandidates Kept;
    for (int32_t I = 0; I < Local.Count(); ++I) {
        const TFreqItem& Item = *Local.GetItem(I);
        const TFreqItem* Known = Reference.FindWord(Item.Word);
        if (!Known || Item.Frequency / C <= Known->Frequency / D) continue;
        const double G2 = double(LogLikelihoodScore(Item.Frequency, C, Known->Frequency, D));
        if (G2 < (O.ParadigmOption ? O.ParadigmRankThreshold : O.RankFunctionThreshold)) continue;
        Kept.push_back(std::make_unique<TFreqItem>(Item.Word, Item.Frequency));
        Kept.back()->Score = Kept.back()->OwnScore = G2;
    }
    const size_t N = Kept.size();
    std::vector<bool> Linked(N * N);
    for (size_t I = 0; I < N; ++I)
        for (size_t J = I + 1; J < N; ++J)
            Linked[I * N + J] = Linked[J * N + I] =
                ParadigmSimilarity(Kept[I]->Word, Kept[J]->Word) >= O.ParadigmThreshold;
    for (size_t I = 0; I < N; ++I)
        for (size_t J = 0; J < N; ++J)
            if (Linked[I * N + J]) {
                Kept[I]->Score += Kept[J]->OwnScore;
                Kept[I]->ParadigmLinked = true;
            }
    std::erase_if(Kept, [&](const auto& Item) { return Item->Score < O.RankFunctionThreshold; });
    return Kept;
}

TEST_F(HotWordsRulesTest, ParadigmGroupingAgreesWithComparingEveryPair) {
    std::mt19937 Random(4131);
    const auto RandomWord = [&](int Letters) {
        std::string Word(1 + Random() % 8, 'a');
        for (char& Ch : Word) Ch = char('a' + Random() % Letters);
        return Word;
    };
    for (int Round = 0; Round < 60; ++Round) {
        SCOPED_TRACE(Round);
        TFreqList Reference(0), Local(0);
        const int Letters = 2 + Round % 3;
        for (int I = 0; I < 400; ++I) Reference.AddWord(RandomWord(Letters), 1 + int(Random() % 40));
        for (int I = 0; I < 120; ++I) Local.AddWord(RandomWord(Letters), 1 + int(Random() % 6));
        THotWordsOptions Options;
        Options.ParadigmOption = true;
        Options.ParadigmRankThreshold = (Random() % 100) / 50.0;
        Options.RankFunctionThreshold = (Random() % 100) / 10.0;
        Options.ParadigmThreshold = Round % 10 == 0 ? 0.0 : 0.2 + (Random() % 70) / 100.0;
        THotWordCandidates Actual;
        RankKeywordCandidates(0, Reference, Local, Options, Actual);
        const THotWordCandidates Expected = OracleRanking(Reference, Local, Options);
        ASSERT_EQ(Words(Actual), Words(Expected));
        for (size_t I = 0; I < Actual.size(); ++I) {
            EXPECT_NEAR(Actual[I]->Score, Expected[I]->Score, 1e-9 * (1 + Expected[I]->Score));
            EXPECT_EQ(Actual[I]->OwnScore, Expected[I]->OwnScore);
            EXPECT_EQ(Actual[I]->ParadigmLinked, Expected[I]->ParadigmLinked);
        }
    }
}

// ---- The chooser's model ----------------------------------------------------------------------------

class HotChooseModelTest : public HotWordsRulesTest {
protected:
    void SetUp() override {
        HotWordsRulesTest::SetUp();
        Lang(0).FreqList = List({{"the", 50}, {"cat", 2}, {"cats", 2}, {"dog", 3}, {"mat", 1}, {"sat", 9}});
        Chosen = std::make_unique<TFreqList>(0);
        Config = {3, 2};
    }

    THotChooseModel Model(int Mode, int32_t Hits = 10) {
        return THotChooseModel(0, Mode, Hits, Cached, OptionsChanged, Passes, Options, Config, *Chosen,
                               [this](int Language) {
                                   ++Builds;
                                   EXPECT_EQ(Language, 0);
                                   return Builder ? Builder() : nullptr;
                               });
    }

    std::unique_ptr<TFreqList> Cached;
    bool OptionsChanged = false;
    int32_t Passes = 4;
    THotWordsOptions Options;
    THotWordsConfig Config;
    std::unique_ptr<TFreqList> Chosen;
    std::function<std::unique_ptr<TFreqList>()> Builder;
    int Builds = 0;
};

TEST_F(HotChooseModelTest, HotWordsAreRankedOnceAndCutToTheShownCount) {
    Builder = [] {
        auto Found = List({{"the", 1}, {"cat", 2}, {"dog", 3}, {"mat", 1}, {"cats", 2}});
        Found->SortAlphabetically();
        return Found;
    };
    THotChooseModel First = Model(hcHotWords);
    ASSERT_TRUE(First.Load());
    // Scores grow with the count here (every word has a / b = 1): dog, then cat and cats tied in the
    // list's order, then mat.
    EXPECT_EQ(Words(First.Entries()), (std::vector<std::string>{"dog", "cat"}));
    EXPECT_EQ(Builds, 1);
    ASSERT_TRUE(Cached);

    // The cached list is ranked again; the paradigm option shows twice as many. cat is linked to cats
    // (6/11) and mat (6/10), which are not linked to each other (4/11).
    Options.ParadigmOption = true;
    Options.ParadigmThreshold = 0.5;
    THotChooseModel Second = Model(hcHotWords);
    ASSERT_TRUE(Second.Load());
    EXPECT_EQ(Builds, 1);
    ASSERT_EQ(Second.Entries().size(), 4u);
    const auto& E = Second.Entries();
    EXPECT_EQ(Words(E)[0], "cat");
    EXPECT_EQ(Words(E)[1], "cats");
    EXPECT_NEAR(E[0]->Score, E[0]->OwnScore * 5 / 2, 1e-12);
    EXPECT_NEAR(E[1]->Score, E[1]->OwnScore * 4 / 2, 1e-12);
    for (const auto& Item : E) EXPECT_EQ(Item->ParadigmLinked, Item->Word != "dog");
    EXPECT_TRUE(Backend.Messages.empty());
}

TEST_F(HotChooseModelTest, HotWordsWarnAndOpenEmptyOrDoNotOpen) {
    Builder = [] { return List({{"the", 1}}); };
    THotChooseModel TooFew = Model(hcHotWords, 2);
    EXPECT_TRUE(TooFew.Load());
    EXPECT_EQ(Builds, 0);
    THotChooseModel NoCandidate = Model(hcHotWords, 3);
    EXPECT_TRUE(NoCandidate.Load());
    EXPECT_TRUE(NoCandidate.Entries().empty());
    EXPECT_TRUE(Cached);  // kept for the next ranking
    EXPECT_EQ(Backend.Texts(), (std::vector<std::string>{NotEnoughMatchesText, NoCandidatesText}));

    Cached.reset();
    Builder = nullptr;
    EXPECT_FALSE(Model(hcHotWords).Load());
    Builder = []() -> std::unique_ptr<TFreqList> { throw std::runtime_error("build failed"); };
    EXPECT_THROW(Model(hcHotWords).Load(), std::runtime_error);
    EXPECT_FALSE(Cached);
    EXPECT_EQ(WaitCount, 0);
}

TEST_F(HotChooseModelTest, TranslationsKeepTheBestScoresAndRebuildAfterOptions) {
    Builder = [] {
        auto Found = List({{"eins", 1}, {"zwei", 1}, {"drei", 1}, {"vier", 1}});
        for (const auto& [Word, Score] :
             {std::pair{"eins", 1.5}, {"zwei", 9.0}, {"drei", 0.5}, {"vier", 4.0}})
            Found->FindWord(Word)->Score = Score;
        return Found;
    };
    THotChooseModel Chooser = Model(hcTranslations);
    ASSERT_TRUE(Chooser.Load());
    EXPECT_EQ(Words(Chooser.Entries()), (std::vector<std::string>{"zwei", "vier"}));
    Chooser.OptionsAccepted();
    EXPECT_TRUE(OptionsChanged);
    EXPECT_EQ(Builds, 2);
    EXPECT_EQ(Chooser.Entries().size(), 2u);

    Cached.reset();
    Builder = [] { return List({}); };
    EXPECT_FALSE(Model(hcTranslations).Load());
}

TEST_F(HotChooseModelTest, ConfirmTellsWhetherTheChoiceChanged) {
    Chosen->AddWord("DOG");
    FrequencyConfigs[0].IgnoreCase = true;
    Builder = [] {
        auto Found = List({{"Dog", 3}, {"cat", 2}});
        Found->FindWord("dog")->Positions =
            std::make_unique<TFreqItemPositions>(3, TFreqItemPos{1, 2, 3, 4, 5, 6});
        return Found;
    };
    THotChooseModel Chooser = Model(hcHotWords);
    ASSERT_TRUE(Chooser.Load());
    ASSERT_EQ(Words(Chooser.Entries()), (std::vector<std::string>{"dog", "cat"}));
    EXPECT_TRUE(Chooser.Entries()[0]->Chosen);  // "DOG" is chosen, without regard to case
    EXPECT_FALSE(Chooser.Entries()[1]->Chosen);

    // The same selection still changes the choice: no selected entry is "DOG" exactly.
    EXPECT_TRUE(Chooser.Confirm({true, false}));
    ASSERT_EQ(Chosen->Count(), 1);
    const TFreqItem& Kept = *Chosen->GetItem(0);
    EXPECT_EQ(Kept.Word, "dog");
    EXPECT_TRUE(Kept.Chosen);
    ASSERT_TRUE(Kept.Positions);
    EXPECT_EQ(Kept.Positions->size(), 3u);
    // Now it is the same choice, rebuilt the same; any other selection is a change.
    EXPECT_FALSE(Chooser.Confirm({true, false}));
    EXPECT_EQ(Chosen->Count(), 1);
    EXPECT_TRUE(Chooser.Confirm({true, true}));
    EXPECT_TRUE(Chooser.Confirm({false, false}));
    EXPECT_EQ(Chosen->Count(), 0);
}

TEST_F(HotWordsRulesTest, CopiesIntoAListKeepPositionsAndScores) {
    FrequencyConfigs[0].IgnoreCase = true;
    TFreqList Target(0);
    TFreqItem Item("Dog", 2);
    Item.Positions = std::make_unique<TFreqItemPositions>(2, TFreqItemPos{1, 0, 9, 9, 2, 5});
    Item.Score = 7.5;
    AddFreqItemCopy(Target, Item);
    Item.Word = "DOG";
    (*Item.Positions)[0].File = 2;
    TFreqItem* Merged = AddFreqItemCopy(Target, Item);  // folds to the same word
    EXPECT_EQ(Target.Count(), 1);
    EXPECT_EQ(Merged->Frequency, 4);
    ASSERT_EQ(Merged->Positions->size(), 4u);
    EXPECT_EQ((*Merged->Positions)[2].File, 2);
    EXPECT_EQ(Merged->Score, 7.5);
}

// ---- The options dialog's rules -----------------------------------------------------------------------

TEST_F(HotWordsRulesTest, OptionChangesAndDefaults) {
    const THotWordsOptions Saved{0.001, true, 0.6, 0.0001};
    const auto With = [&](auto Change) {
        THotWordsOptions O = Saved;
        Change(O);
        return HotWordsOptionsChanged(Saved, O);
    };
    EXPECT_FALSE(With([](THotWordsOptions& O) { O.RankFunctionThreshold += 5e-7; }));
    EXPECT_TRUE(With([](THotWordsOptions& O) { O.RankFunctionThreshold += 2e-6; }));
    EXPECT_TRUE(With([](THotWordsOptions& O) { O.ParadigmThreshold = 0.7; }));
    EXPECT_TRUE(With([](THotWordsOptions& O) { O.ParadigmOption = false; }));
    // The paradigm thresholds do not count while the option is off.
    EXPECT_FALSE(HotWordsOptionsChanged({0.001, false, 0.6, 0.0001}, {0.001, false, 0.9, 0.5}));
    EXPECT_TRUE(HotWordsGlobalsChanged(hoHotWords, {{5, 11}, 4}, {{5, 10}, 4}));
    EXPECT_FALSE(HotWordsGlobalsChanged(hoHotWords, {{5, 10}, 9}, {{5, 10}, 4}));
    EXPECT_TRUE(HotWordsGlobalsChanged(hoTranslationsOnly, {{5, 10}, 9}, {{5, 10}, 4}));

    Lang(2);
    ApplyHotWordsDefaults(1, hoHotWords, {{7, 12}, 30}, {0.5, true, 0.7, 0.01}, true);
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 7);
    EXPECT_EQ(HotWordsConfig.MaxHotWordsCandidates, 12);
    EXPECT_NE(TranslationPasses, 30);
    EXPECT_EQ(LanguageHotWordsOptions(1), (THotWordsOptions{0.5, true, 0.7, 0.01}));
    ApplyHotWordsDefaults(2, hoHotWords, {{7, 12}, 30}, Saved, false);
    ApplyHotWordsDefaults(0, hoTranslations, {{1, 1}, 30}, Saved, true);
    EXPECT_EQ(TranslationPasses, 30);
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 7);
    std::vector<intptr_t> Cleared;
    for (const auto& Entry : Messenger.Entries) {
        EXPECT_EQ(Entry.Msg, CM_CLEARHOTWORDS);
        Cleared.push_back(Entry.WParam);
    }
    // Changed counts clear every language; otherwise only the language whose defaults changed.
    EXPECT_EQ(Cleared, (std::vector<intptr_t>{0, 1, 2, 2}));
}

}  // namespace
