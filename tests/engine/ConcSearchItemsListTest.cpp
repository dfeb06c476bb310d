// Concordance item lists: sorting with the other languages kept in step, collocate counts and ranks,
// display lines, and the string adapters.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/ConcErrors.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class ItemListTest : public TCorpusTest {
protected:
    // An item whose slots hold the given words ("" stays missing; "~" is an empty word).
    static std::unique_ptr<TConcordItem> Make(int32_t Sequence, std::vector<std::string> Words) {
        auto Item = std::make_unique<TConcordItem>(0);
        Item->Sequence = Sequence;
        for (size_t S = 0; S < Words.size(); ++S) {
            if (Words[S].empty()) continue;
            Item->Texts.Set(static_cast<int>(S), Words[S] == "~" ? "" : Words[S]);
        }
        return Item;
    }

    // A list of items with word Words[i] in Slot.
    static void Fill(TConcordItems& List, int Slot, const std::vector<std::string>& Words) {
        for (size_t I = 0; I < Words.size(); ++I) {
            std::vector<std::string> Slots(ItemSlotCount);
            Slots[static_cast<size_t>(Slot)] = Words[I];
            List.Add(Make(static_cast<int32_t>(I), Slots));
        }
    }

    static std::vector<int32_t> Sequences(const TConcordItems& List) {
        std::vector<int32_t> Result;
        for (int32_t I = 0; I < List.Count(); ++I) Result.push_back(List.GetItem(I)->Sequence);
        return Result;
    }

    static TAdvancedSortColOptions Keys(std::vector<TAdvancedSortColItem> Three) {
        TAdvancedSortColOptions Spec;
        InitSortColOptions(Spec);
        for (size_t K = 0; K < Three.size(); ++K) Spec.Keys[K] = Three[K];
        return Spec;
    }

    static std::vector<int32_t> SortedBy(TConcordItems& List, std::vector<TAdvancedSortColItem> Three) {
        List.SortBy(Keys(std::move(Three)), nullptr, nullptr);
        return Sequences(List);
    }
};

using Order = std::vector<int32_t>;

TEST_F(ItemListTest, KeysCompareAsWrittenOut) {
    TConcordItems Words(0);
    Fill(Words, 5, {"walked", "talked", "", "ked", "Talked"});
    // Missing words last; bytes unsigned, so upper case first while case counts.
    EXPECT_EQ(SortedBy(Words, {{5, false}}), (Order{4, 3, 1, 0, 2}));
    // Reverse compares from the last letter: a word that ends the other comes first.
    EXPECT_EQ(SortedBy(Words, {{5, true}}), (Order{3, 4, 1, 0, 2}));
    CommonConfig->IgnoreCase = true;
    EXPECT_EQ(SortedBy(Words, {{5, false}, {9, false}}), (Order{3, 1, 4, 0, 2}));
    EXPECT_EQ(SortedBy(Words, {{5, true}, {9, true}}), (Order{3, 1, 4, 0, 2}));

    // Skipping characters are left out only while the options use them.
    TConcordItems Skipped(0);
    Fill(Skipped, 0, {"cop", "co-op", "coop", "coo"});
    EXPECT_EQ(SortedBy(Skipped, {{0, false}, {9, false}}), (Order{1, 3, 2, 0}));
    CommonConfig->UseSkipEqualChars = true;
    EXPECT_EQ(SortedBy(Skipped, {{0, false}, {9, false}}), (Order{3, 1, 2, 0}));
    EXPECT_EQ(SortedBy(Skipped, {{0, true}, {9, false}}), (Order{3, 0, 1, 2}));
    LanguageConfigs[0]->SkippingChars.clear();
    EXPECT_EQ(SortedBy(Skipped, {{0, false}, {9, false}}), (Order{1, 3, 2, 0}));

    // Letters unsigned (none last), tracked-tag values with a missing one first; neither reverses.
    TConcordItems Other(0);
    Fill(Other, 0, {"a", "b", "c", "d"});
    const uint8_t Letters[] = {NoLetter, 3, 200, 3};
    const char* Tags[] = {"x", nullptr, "A", "b"};
    for (int I = 0; I < 4; ++I) {
        Other.GetItem(I)->Letter = Letters[I];
        if (Tags[I]) Other.GetItem(I)->SetSortString(Tags[I]);
    }
    EXPECT_EQ(SortedBy(Other, {{11, true}, {9, false}}), (Order{1, 3, 2, 0}));
    EXPECT_EQ(SortedBy(Other, {{12, true}}), (Order{1, 2, 3, 0}));
    EXPECT_EQ(SortedBy(Other, {{9, true}}), (Order{0, 1, 2, 3}));

    // An advanced key list replaces the three keys.
    const TAdvancedSortColItems Advanced{{11, false}, {0, true}};
    Other.SortBy(Keys({{9, false}}), &Advanced, nullptr);
    EXPECT_EQ(Sequences(Other), (Order{1, 3, 2, 0}));
    EXPECT_EQ(Other.AdvancedKeys, Advanced);
}

TEST_F(ItemListTest, TiesFollowTheQuicksortAndEveryExchangeIsReported) {
    TConcordItems List(0);
    Fill(List, 0, {"b", "a", "b"});
    std::vector<std::pair<int32_t, int32_t>> Swaps;
    List.SortBy(Keys({{0, false}}), nullptr, [&](int32_t I, int32_t J) { Swaps.emplace_back(I, J); });
    EXPECT_EQ(Sequences(List), (Order{1, 2, 0}));
    EXPECT_EQ(Swaps, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 2}}));

    // Keys 5, 10, 10: only the first right word decides, whatever the hits are.
    TConcordItems Right(0), Other(0);
    for (int I = 0; I < 6; ++I) {
        Right.Add(Make(I, {std::string(1, static_cast<char>('f' - I)), "", "", "", "", I % 2 ? "x" : "y"}));
        Other.Add(Make(I, {"same", "", "", "", "", I % 2 ? "x" : "y"}));
    }
    const auto Spec = Keys({{5, false}, {skNone, false}, {skNone, false}});
    Right.SortBy(Spec, nullptr, nullptr);
    Other.SortBy(Spec, nullptr, nullptr);
    EXPECT_EQ(Sequences(Right), Sequences(Other));

    // A list of one row is not sorted and keeps its keys.
    TConcordItems One(0);
    Fill(One, 0, {"a"});
    One.SortBy(Keys({{3, true}}), nullptr,
               [&](int32_t, int32_t) { ADD_FAILURE() << "exchange in a list of one"; });
    EXPECT_EQ(One.SortKeys[0].Key, skNone);
}

// The rule of each key written independently: stripped and folded copies compared with LangStrComp,
// reversed copies for Reverse.
int OracleCompare(const TConcordItem& A, const TConcordItem& B, const TAdvancedSortColItem& Key) {
    const bool Fold = CommonConfig->IgnoreCase;
    auto Prepare = [&](std::string_view W, bool Strip) {
        std::string S(W);
        if (Strip && CommonConfig->UseSkipEqualChars)
            S = RemoveCharsInSet(S, CharSetOf(LanguageConfigs[0]->SkippingChars));
        if (Fold) S = LangLowerCase(S, 0);
        if (Key.Reverse && Strip) std::reverse(S.begin(), S.end());
        return S;
    };
    auto Sign = [](int V) { return (V > 0) - (V < 0); };
    if (Key.Key == 9) return Sign(A.Sequence - B.Sequence);
    if (Key.Key == 11) return Sign(int(A.Letter) - int(B.Letter));
    if (Key.Key == 12) {
        if (!A.SortString() || !B.SortString()) return int(bool(A.SortString())) - int(bool(B.SortString()));
        return Sign(LangStrComp(Prepare(*A.SortString(), false), Prepare(*B.SortString(), false), false, 0));
    }
    if (!A.Texts.Has(Key.Key) || !B.Texts.Has(Key.Key))
        return int(B.Texts.Has(Key.Key)) - int(A.Texts.Has(Key.Key));
    return Sign(LangStrComp(Prepare(A.Texts[Key.Key], true), Prepare(B.Texts[Key.Key], true), false, 0));
}

TEST_F(ItemListTest, SortsAgreeWithTheKeyRulesAndKeepOtherListsInStep) {
    std::mt19937 Random(11);
    // Words that agree in their first or last eight letters, or only once case or skipping characters
    // are left aside.
    const std::vector<std::string> Vocabulary{"talked",
                                              "walked",
                                              "ked",
                                              "Ked",
                                              "co-op",
                                              "coop",
                                              "a",
                                              "A",
                                              "~",
                                              "",
                                              "zeta",
                                              "\xE9t\xE9",
                                              "understanding",
                                              "understandable",
                                              "Understanding",
                                              "under-standing",
                                              "misunderstanding",
                                              "overstanding"};
    const uint8_t Codes[] = {0, 1, 4, 5, 8, 9, 11, 12};
    for (int Round = 0; Round < 300; ++Round) {
        CommonConfig->IgnoreCase = Random() % 2;
        CommonConfig->UseSkipEqualChars = Random() % 2;
        const int N = 1 + static_cast<int>(Random() % 60);
        TConcordItems List(0), Shadow1(0), Shadow2(0);
        for (int I = 0; I < N; ++I) {
            std::vector<std::string> Slots(ItemSlotCount);
            for (auto& S : Slots) S = Vocabulary[Random() % Vocabulary.size()];
            auto Item = Make(I, Slots);
            Item->Letter = static_cast<uint8_t>(Random() % 3 == 0 ? NoLetter : Random() % 4);
            if (Random() % 3) Item->SetSortString(Vocabulary[Random() % 4]);
            List.Add(std::move(Item));
            Shadow1.Add(Make(I, {}));
            Shadow2.Add(Make(I, {}));
        }
        TAdvancedSortColItems Used, Advanced;
        for (int K = 0; K < 3; ++K) Used.push_back({Codes[Random() % 8], Random() % 2 == 0});
        TAdvancedSortColOptions Spec = Keys({});
        if (Random() % 2) {
            Advanced = Used;
        } else {
            for (int K = 0; K < 3; ++K) Spec.Keys[K] = Used[K];
            if (Random() % 2) Spec.Keys[1].Key = skNone;
            Used.clear();
            for (const auto& Key : Spec.Keys)
                if (Key.Key != skNone) Used.push_back(Key);
        }
        List.SortBy(Spec, &Advanced, [&](int32_t I, int32_t J) {
            Shadow1.Exchange(I, J);
            Shadow2.Exchange(I, J);
        });
        const Order Sorted = Sequences(List);
        ASSERT_EQ(Sequences(Shadow1), Sorted) << Round;
        ASSERT_EQ(Sequences(Shadow2), Sorted) << Round;
        for (int I = 0; I + 1 < N; ++I) {
            int Result = 0;
            for (const auto& Key : Used)
                if ((Result = OracleCompare(*List.GetItem(I), *List.GetItem(I + 1), Key)) != 0) break;
            ASSERT_LE(Result, 0) << "round " << Round << " row " << I;
        }
    }
}

TEST_F(ItemListTest, TrackedTagValuesAreCachedForTheirKey) {
    const std::string Text = "<doc n=b> one <doc n=a> two <doc n=c> three";
    AddFile(0, "a.txt", Text);
    ASSERT_TRUE(ProcessCorpus());
    WatchedTags = {TWatchedTag("<doc>", "", "")};
    TConcordItems List(0);
    for (const char* Word : {"one", "two", "three"}) {
        auto Item = Make(List.Count(), {Word});
        Item->FileIndex = 0;
        Item->HitStart = static_cast<int32_t>(Text.find(Word));
        List.Add(std::move(Item));
    }
    auto Spec = Keys({{12, false}});
    Spec.TrackedTag = "<doc>";
    List.SortBy(Spec, nullptr, nullptr);
    EXPECT_EQ(Sequences(List), (Order{1, 0, 2}));
    EXPECT_EQ(List.TrackedTagIndex, 0);
    ASSERT_TRUE(List.GetItem(0)->SortString());
    EXPECT_EQ(*List.GetItem(0)->SortString(), "<doc n=a>");
    // A name no tracked tag has drops the values of the former tag instead of sorting on them.
    Spec.TrackedTag = "<gone>";
    Spec.Keys[1] = {9, false};
    List.SortBy(Spec, nullptr, nullptr);
    EXPECT_EQ(List.TrackedTagIndex, -1);
    EXPECT_FALSE(List.GetItem(0)->SortString());
    EXPECT_EQ(Sequences(List), (Order{0, 1, 2}));
}

TEST_F(ItemListTest, CollocatesAreCountedAndRankedByPosition) {
    FrequencyConfigs[0].CollocateSpan = 2;
    FrequencyConfigs[0].CollocHighLightTop = 3;
    FrequencyConfigs[0].IgnoreCase = true;
    LanguageConfigs[0]->StopList.SetWords({"the"});
    LanguageConfigs[0]->StopList.SetActive(true);
    std::mt19937 Random(5);
    const std::vector<std::string> Vocabulary{"the", "The", "cat", "Cat", "dog", "sun", "moon", "x", "y", ""};
    TConcordItems List(0);
    auto RandomItem = [&](int32_t Sequence) {
        std::vector<std::string> Slots(ItemSlotCount);
        for (auto& S : Slots) S = Vocabulary[Random() % Vocabulary.size()];
        return Make(Sequence, Slots);
    };
    for (int I = 0; I < 200; ++I) List.Add(RandomItem(I));
    List.SetHighlightCollocates(true);
    ASSERT_EQ(List.PosLo, 3);
    ASSERT_EQ(List.PosHi, 6);
    EXPECT_FALSE(List.CollocList(2));
    EXPECT_FALSE(List.CollocList(7));

    auto Check = [&](int32_t Rows) {
        for (int P = 3; P <= 6; ++P) {
            std::map<std::string, int32_t> Counts;
            for (int32_t I = 0; I < List.Count(); ++I) {
                const TConcordItem& Item = *List.GetItem(I);
                if (!Item.Texts.Has(P)) continue;
                const std::string Word = LangLowerCase(Item.Texts[P], 0);
                if (Word != "the") ++Counts[Word];
            }
            const TFreqList& Found = *List.CollocList(P);
            ASSERT_EQ(Found.Count(), static_cast<int32_t>(Counts.size()));
            std::vector<int32_t> Frequencies;
            for (const auto& [Word, Count] : Counts) {
                ASSERT_TRUE(Found.FindWord(Word)) << Word;
                EXPECT_EQ(Found.FindWord(Word)->Frequency, Count) << Word;
                if (std::find(Frequencies.begin(), Frequencies.end(), Count) == Frequencies.end())
                    Frequencies.push_back(Count);
            }
            std::sort(Frequencies.rbegin(), Frequencies.rend());
            for (int32_t I = 0; I < Rows; ++I) {
                const TConcordItem& Item = *List.GetItem(I);
                if (!Item.Texts.Has(P)) continue;
                const std::string Word = LangLowerCase(Item.Texts[P], 0);
                const int32_t Frequency = Counts.count(Word) ? Counts[Word] : 0;
                const auto Place =
                    std::find(Frequencies.begin(), Frequencies.end(), Frequency) - Frequencies.begin();
                const uint8_t Expected = Frequency > 1 && Place < 3 ? static_cast<uint8_t>(Place) : Unranked;
                EXPECT_EQ(Item.CollocRanks[P], Expected) << "row " << I << " position " << P << " " << Word;
            }
        }
    };
    Check(List.Count());
    // An added row is counted and ranked at once; the earlier rows keep their ranks.
    const auto Before = List.GetItem(0)->CollocRanks;
    for (int I = 0; I < 50; ++I) List.Add(RandomItem(200 + I));
    EXPECT_EQ(List.GetItem(0)->CollocRanks, Before);
    Check(0);
    List.RankAllCollocates();
    Check(List.Count());

    // Switching off keeps lists and ranks; switching on again only re-ranks.
    TFreqList* Kept = List.CollocList(3);
    List.SetHighlightCollocates(false);
    List.SetHighlightCollocates(true);
    EXPECT_EQ(List.CollocList(3), Kept);
}

TEST_F(ItemListTest, LinesConcealAndNeverFail) {
    const std::string Text = "We saw a large house. The house was old.";
    AddFile(0, "a.txt", Text);
    TConcordItems List(0);
    List.HitColour = 0x0000FF;
    auto Hit = [&](const std::string& Word, size_t From) {
        auto Item = Make(List.Count(), {Word});
        Item->FileIndex = 0;
        Item->HitStart = static_cast<int32_t>(Text.find(Word, From));
        Item->HitEnd = Item->HitStart + static_cast<int32_t>(Word.size());
        Item->Texts.Set(4, "large");
        Item->WordStarts[4] = static_cast<int32_t>(Text.find("large"));
        Item->WordEnds[4] = Item->WordStarts[4] + 5;
        return Item;
    };
    List.Add(Hit("house", 0));
    List.Add(Hit("house", 20));
    List.Display.ContextType = ctxWords;
    List.Display.ContextSizes[ctxWords] = 0;
    List.Display.ConcealHits = true;
    EXPECT_EQ(List.GetLineText(0), "-----");
    EXPECT_EQ(List.GetItem(0)->Runs().size(), 1u);

    // Concealed collocates, the sub-hit left visible.
    List.Display.ConcealHits = false;
    List.Display.ConcealCollocates = true;
    List.Display.ContextSizes[ctxWords] = 2;
    List.GetItem(0)->EditSubItems() = {
        {static_cast<int32_t>(Text.find("The")), static_cast<int32_t>(Text.find("The")) + 3}};
    FrequencyConfigs[0].CollocateSpan = 1;
    FrequencyConfigs[0].CollocHighLightTop = 2;
    List.SetHighlightCollocates(true);
    EXPECT_EQ(List.GetItem(0)->CollocRanks[4], 0);
    EXPECT_EQ(List.GetLineText(0), "... a ----- house. The house  ...");

    // A cancelled build leaves no lists; lines still build, unshaded.
    auto Form = ShowProgressForm(0, "Collocates", "", 10, 0, "");
    Form->SetProgress(4);
    Backend.OnProcessMessages = [&] { Form->Tag = 1; };
    List.BuildCollocateLists(4, 5, Form.get());
    EXPECT_FALSE(List.CollocList(4));
    EXPECT_TRUE(List.HighlightCollocates);
    EXPECT_EQ(List.GetLineText(0), "... a large house. The house  ...");
    EXPECT_TRUE(Backend.Messages.empty());

    // Finished builds move the gauge from where it stood.
    Backend.OnProcessMessages = nullptr;
    Form->Tag = 0;
    List.BuildCollocateLists(4, 5, Form.get());
    EXPECT_TRUE(List.CollocateListsReady(4, 5));
    EXPECT_EQ(Form->Progress(), 4 + List.Count() - 1);

    // A line that cannot be read shows the fallback text.
    List.GetItem(1)->FileIndex = 7;
    EXPECT_EQ(List.GetLineText(1), LineFailedText);
}

TEST_F(ItemListTest, StringAdaptersShowHitsPassagesOrNotAvailable) {
    AddFile(0, "a.txt", "The house.");
    const std::string Target = "La\r\nmaison\n\nest\tvieille. Autre.";
    AddFile(1, "b.txt", Target);
    TConcordItems Primary(0), Secondary(1);
    auto Filled = Make(0, {"house"});
    Filled->FileIndex = 0;
    Filled->HitStart = 4;
    Filled->HitEnd = 9;
    Primary.Add(std::move(Filled));
    Primary.Display.ContextType = ctxCharacters;
    Primary.Display.ContextSizes[ctxCharacters] = 4;

    auto Passage = std::make_unique<TConcordItem>(1);
    Passage->FileIndex = 0;
    Passage->AlignedStart = 0;
    Passage->AlignedEnd = static_cast<int32_t>(Target.find(" Autre"));
    Passage->EditRuns() = {TSVFormatInfo{3, 2, 0, 1, {}}};
    Secondary.Add(std::move(Passage));
    auto Unaligned = std::make_unique<TConcordItem>(1);
    Unaligned->FileIndex = 0;
    Secondary.Add(std::move(Unaligned));
    auto Own = std::make_unique<TConcordItem>(1);
    Own->FileIndex = 0;
    Own->Texts.Set(0, "maison");
    Own->HitStart = static_cast<int32_t>(Target.find("maison"));
    Own->HitEnd = Own->HitStart + 6;
    Secondary.Add(std::move(Own));
    auto Broken = std::make_unique<TConcordItem>(1);
    Broken->FileIndex = 9;
    Broken->AlignedStart = 0;
    Broken->AlignedEnd = 2;
    Secondary.Add(std::move(Broken));
    Secondary.Display.ContextType = ctxWords;
    Secondary.Display.ContextSizes[ctxWords] = 1;

    TConcordStrings First(Primary);
    TTessivorordStrings Other(Secondary, 1);
    EXPECT_EQ(First.GetCount(), 1);
    EXPECT_EQ(First.Get(0), "... The house. ...");
    EXPECT_EQ(Other.Get(0), "La maison est vieille.");
    EXPECT_EQ(Secondary.GetItem(0)->Runs().size(), 1u);
    EXPECT_EQ(Other.Get(1), "N/A");
    EXPECT_EQ(Other.Get(2), "... La maison est  ...");
    EXPECT_EQ(Other.Get(3), LineFailedText);

    for (TConcordStrings* Strings :
         {static_cast<TConcordStrings*>(&First), static_cast<TConcordStrings*>(&Other)}) {
        const int Rows = Strings->GetCount();
        try {
            Strings->Clear();
            ADD_FAILURE();
        } catch (const EConcError& E) {
            EXPECT_STREQ(E.what(), "\"Clear\" is unsupported method for TConcordStrings");
        }
        try {
            Strings->Insert(0, "x");
            ADD_FAILURE();
        } catch (const EConcError& E) {
            EXPECT_STREQ(E.what(), "\"Insert\" is unsupported method for TConcordStrings");
        }
        EXPECT_EQ(Strings->GetCount(), Rows);
    }
    Other.Delete(1);
    EXPECT_EQ(Secondary.Count(), 3);
    EXPECT_EQ(Other.Get(1), "... La maison est  ...");
}

}  // namespace

// A row added while highlighting is on is counted and ranked in one overlapped pass, on the list's own
// thread or, deferred, when the caller asks; its ranks and the lists' counts must be those of counting the
// row and then ranking it at once, with stop words, case variants, missing and empty slots, long words that
// share their beginnings, and words that are new to a list; however seldom the rows are read.
TEST_F(ItemListTest, AnAddedRowIsCountedThenRankedAsTheTwoStepsWould) {
    FrequencyConfigs[0].CollocateSpan = 3;
    FrequencyConfigs[0].CollocHighLightTop = 4;
    LanguageConfigs[0]->StopList.SetWords({"the"});
    LanguageConfigs[0]->StopList.SetActive(true);
    for (const bool Fold : {true, false}) {
        FrequencyConfigs[0].IgnoreCase = Fold;
        std::mt19937 Random(Fold ? 11 : 12);
        std::vector<std::string> Vocabulary{"the", "The", "cat", "Cat", "dog", "", "~"};
        for (int W = 0; W < 300; ++W)
            Vocabulary.push_back((W % 2 ? "Collocation" : "w") + std::to_string(Random() % 400));
        TConcordItems Added(0), Deferred(0), Stepped(0);
        Added.SetHighlightCollocates(true);
        Deferred.SetHighlightCollocates(true);
        Deferred.SetDeferCollocates(true);
        Stepped.SetHighlightCollocates(true);
        std::vector<std::array<uint8_t, ItemSlotCount>> Ranks;
        for (int I = 0; I < 10000; ++I) {
            std::vector<std::string> Slots(ItemSlotCount);
            for (auto& S : Slots) S = Vocabulary[Random() % (I % 3 == 0 ? 7 : Vocabulary.size())];
            Added.Add(Make(I, Slots));
            Deferred.Add(Make(I, Slots));
            // Rows 2000 to 6000 are left waiting: more of them than may wait at once.
            if (Random() % 7 == 0 && (I < 2000 || I >= 6000)) Deferred.CountDeferredCollocates();
            Stepped.HighlightCollocates = false;
            Stepped.Add(Make(I, Slots));
            Stepped.HighlightCollocates = true;
            TConcordItem& Row = *Stepped.GetItem(I);
            Stepped.CountItemCollocates(Row);
            Stepped.RankItemCollocates(Row);
            Ranks.push_back(Row.CollocRanks);
            // Read after every row, then not for longer than the queue of uncounted rows may grow, then now
            // and then.
            if (I >= 200 && (I < 9000 || Random() % 300 != 0)) continue;
            for (int R = 0; R <= I; ++R) {
                ASSERT_EQ(Added.GetItem(R)->CollocRanks, Ranks[size_t(R)]) << "row " << R << " fold " << Fold;
                ASSERT_EQ(Deferred.GetItem(R)->CollocRanks, Ranks[size_t(R)])
                    << "row " << R << " fold " << Fold;
            }
        }
        for (int R = 0; R < Added.Count(); ++R) {
            ASSERT_EQ(Added.GetItem(R)->CollocRanks, Ranks[size_t(R)]) << "row " << R << " fold " << Fold;
            ASSERT_EQ(Deferred.GetItem(R)->CollocRanks, Ranks[size_t(R)]) << "row " << R << " fold " << Fold;
        }
        Deferred.SetDeferCollocates(false);
        for (int P = Added.PosLo; P <= Added.PosHi; ++P) {
            ASSERT_EQ(Deferred.CollocList(P)->Count(), Added.CollocList(P)->Count());
            const TFreqList& A = *Added.CollocList(P);
            const TFreqList& S = *Stepped.CollocList(P);
            ASSERT_EQ(A.Count(), S.Count());
            for (int32_t I = 0; I < S.Count(); ++I) {
                const TFreqItem& Item = *S.GetItem(I);
                ASSERT_TRUE(A.FindWord(Item.Word)) << Item.Word;
                EXPECT_EQ(A.FindWord(Item.Word)->Frequency, Item.Frequency) << Item.Word;
            }
        }
    }
}
