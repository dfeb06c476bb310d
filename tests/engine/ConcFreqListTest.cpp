#include "engine/ConcFreqList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"
#include "tests/support/TestSupport.h"

namespace {

class FreqListTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigUnit();
        LanguageConfigs[0]->SetLanguage(1033, "English");
    }
    void TearDown() override { ResetGlobalsForTest(); }

    static std::vector<std::pair<std::string, int32_t>> Entries(const TFreqList& List) {
        std::vector<std::pair<std::string, int32_t>> Result;
        for (int32_t I = 0; I < List.Count(); ++I)
            Result.emplace_back(List.GetItem(I)->Word, List.GetItem(I)->Frequency);
        return Result;
    }

    static void Add(TFreqList& List, const std::string& Word, int Times) {
        for (int I = 0; I < Times; ++I) List.AddWord(Word);
    }

    // Words that share one bucket, found by trying w0, w1, ...
    static std::vector<std::string> CollidingWords(size_t Count) {
        std::map<int32_t, std::vector<std::string>> ByBucket;
        for (int I = 0;; ++I) {
            const std::string Word = "w" + std::to_string(I);
            auto& Words = ByBucket[HashWord(Word)];
            Words.push_back(Word);
            if (Words.size() == Count) return Words;
        }
    }

    TScriptedBackend Script;
};

using TPairs = std::vector<std::pair<std::string, int32_t>>;

}  // namespace

TEST_F(FreqListTest, HashWordGivesTheOneAtATimeBucket) {
    EXPECT_EQ(HashWord(""), 0);
    EXPECT_EQ(HashWord("a"), 5186);
    EXPECT_EQ(HashWord("the"), 7104);
    // Bytes above 127 are added as unsigned values.
    EXPECT_EQ(HashWord("\xE9t\xE9"), 9355);
}

TEST_F(FreqListTest, FoldingListCountsEveryCaseAsOneStoredWord) {
    FrequencyConfigs[0].IgnoreCase = true;
    TFreqList Folding(0);
    FrequencyConfigs[0].IgnoreCase = false;  // the list keeps the rule it was made with
    for (const char* Word : {"The", "THE", "the", "\xC9t\xC9"}) Folding.AddWord(Word);
    EXPECT_EQ(Entries(Folding), (TPairs{{"the", 3}, {"\xE9t\xE9", 1}}));
    EXPECT_EQ(Folding.FindWord("the")->Frequency, 3);

    TFreqList Exact(0);
    for (const char* Word : {"The", "THE", "the"}) Exact.AddWord(Word);
    EXPECT_EQ(Exact.Count(), 3);
    EXPECT_EQ(Exact.FindWord("the")->Frequency, 1);
    EXPECT_EQ(Exact.FindWord("tHe"), nullptr);
}

TEST_F(FreqListTest, SortsByFrequencyOrByWordThroughTheCaseMap) {
    FrequencyConfigs[0].IgnoreCase = true;
    TFreqList List(0);
    EXPECT_EQ(List.SortState(), TFreqSort::None);
    Add(List, "b", 5);
    Add(List, "a", 5);
    Add(List, "c", 7);
    Add(List, "\xC9", 1);  // folds to E9, which sorts after z as a byte
    Add(List, "z", 1);
    List.SortByFrequency();
    EXPECT_EQ(List.SortState(), TFreqSort::ByFrequency);
    EXPECT_EQ(Entries(List), (TPairs{{"c", 7}, {"a", 5}, {"b", 5}, {"z", 1}, {"\xE9", 1}}));
    List.SortAlphabetically();
    EXPECT_TRUE(List.SortedAlphabetically());
    EXPECT_EQ(Entries(List), (TPairs{{"a", 5}, {"b", 5}, {"c", 7}, {"z", 1}, {"\xE9", 1}}));
    // A count after a sort may break the order, so the list no longer claims one.
    List.AddWord("a");
    EXPECT_EQ(List.SortState(), TFreqSort::None);
}

// Both orders against a plain sort by the word comparison itself, over words that share long beginnings
// and differ in case and in bytes above 127, so that every part of the comparison decides some pairs.
TEST_F(FreqListTest, SortsAgreeWithAPlainSortOverLongSharedBeginnings) {
    std::mt19937 Random(110);
    const std::string Letters = "abAB\xC9\xE9z";
    for (const bool Fold : {false, true}) {
        FrequencyConfigs[0].IgnoreCase = Fold;
        for (int Round = 0; Round < 20; ++Round) {
            TFreqList List(0);
            for (int W = 0; W < 400; ++W) {
                std::string Word = Random() % 2 ? "prefixprefix" : "";
                for (size_t N = 1 + Random() % 12; N > 0; --N) Word += Letters[Random() % Letters.size()];
                List.AddWord(Word, 1 + int(Random() % 4));
            }
            auto Expected = Entries(List);
            for (const bool Alphabetical : {true, false}) {
                std::sort(Expected.begin(), Expected.end(), [&](const auto& A, const auto& B) {
                    const int Words = LangStrComp(A.first, B.first, Fold, 0);
                    if (Alphabetical && Words != 0) return Words < 0;
                    if (A.second != B.second) return A.second > B.second;
                    return Words < 0;
                });
                if (Alphabetical)
                    List.SortAlphabetically();
                else
                    List.SortByFrequency();
                ASSERT_EQ(Entries(List), Expected) << Fold << Alphabetical << Round;
            }
        }
    }
}

// The display order before any sort is the ascending order of references, however many words arrive
// between two reads of it; after a sort each new word is placed by one ordered insert.
TEST_F(FreqListTest, DisplayOrderFollowsOrderedInsertsOfNewReferences) {
    std::mt19937 Random(7);
    TFreqList List(0);
    std::vector<int32_t> Model;
    std::map<int32_t, int32_t> SlotsUsed;
    auto ModelInsert = [&](int32_t Reference) {
        auto Place = Model.end();
        if (!Model.empty() && Reference < Model.back())
            Place = std::upper_bound(Model.begin(), Model.end(), Reference);
        Model.insert(Place, Reference);
    };
    for (int Step = 0; Step < 6000; ++Step) {
        const std::string Word = "v" + std::to_string(Random() % 3000);
        const int32_t Before = List.Count();
        List.AddWord(Word);
        if (List.Count() != Before) {
            const int32_t Bucket = HashWord(Word);
            ModelInsert((SlotsUsed[Bucket]++ << TFreqList::SlotShift) | Bucket);
        }
        if (Random() % 500 == 0) {
            ASSERT_EQ(List.Order(), Model) << "step " << Step;
        }
        if (Step == 3000) {
            List.SortAlphabetically();
            Model = List.Order();
        }
    }
    EXPECT_EQ(List.Order(), Model);
}

// Counting many at once is counting one by one; the stamp tells a keeper of item pointers when they
// may have been freed.
TEST_F(FreqListTest, CountsOfManyAndStampsOfItemLifetimes) {
    TFreqList A(0), B(0);
    A.SetTopLimit(3);
    EXPECT_NE(A.Stamp(), B.Stamp());
    TFreqItem* Cat = A.AddWord("cat", 4);
    A.AddWord("dog");
    A.AddWord("cat");
    A.CountItem(*Cat, 2);
    EXPECT_EQ(Cat->Frequency, 7);
    EXPECT_EQ(A.Top(0), (TTopEntry{7, 1}));
    EXPECT_EQ(A.Top(1), (TTopEntry{1, 1}));
    const uint64_t Before = A.Stamp();
    A.AddWord("emu");
    EXPECT_EQ(A.Stamp(), Before);
    A.DeleteItem(0);
    EXPECT_NE(A.Stamp(), Before);
    const uint64_t AfterDelete = A.Stamp();
    A.Clear();
    EXPECT_NE(A.Stamp(), AfterDelete);
}

TEST_F(FreqListTest, DeletingAnItemKeepsTheRestOfItsBucketReachable) {
    const std::vector<std::string> Words = CollidingWords(4);
    TFreqList List(0);
    Add(List, Words[0], 1);
    Add(List, Words[1], 2);
    Add(List, Words[2], 3);
    Add(List, "other", 4);
    List.SortByFrequency();  // other, w2, w1, w0
    List.DeleteItem(3);      // w0, the first slot of the bucket
    EXPECT_EQ(Entries(List), (TPairs{{"other", 4}, {Words[2], 3}, {Words[1], 2}}));
    EXPECT_EQ(List.FindWord(Words[1])->Frequency, 2);
    EXPECT_EQ(List.FindWord(Words[0]), nullptr);

    List.AddWord(Words[3]);
    const std::vector<int32_t>& Order = List.Order();
    EXPECT_EQ(std::set<int32_t>(Order.begin(), Order.end()).size(), Order.size());
    for (const int32_t Reference : Order) EXPECT_NE(List.ItemOfReference(Reference), nullptr);
    EXPECT_EQ(List.FindWord(Words[3])->Frequency, 1);
    EXPECT_THROW(List.DeleteItem(4), std::out_of_range);
}

TEST_F(FreqListTest, TopTableOfTheDocumentedExample) {
    TFreqList List(0);
    List.SetTopLimit(2);
    Add(List, "a", 7);
    Add(List, "b", 5);
    Add(List, "c", 5);
    Add(List, "d", 3);
    ASSERT_EQ(List.TopCount(), 2);
    EXPECT_EQ(List.Top(0), (TTopEntry{7, 1}));
    EXPECT_EQ(List.Top(1), (TTopEntry{5, 2}));
    EXPECT_EQ(List.TopIndexOf(5), 1);
    EXPECT_EQ(List.TopIndexOf(3), -1);
}

// The table must always be the TopLimit highest distinct frequencies with their word counts, whatever
// the order of counts, deletes, clears and limit changes.
TEST_F(FreqListTest, TopTableAgreesWithABruteForceCount) {
    std::mt19937 Random(11);
    for (int Round = 0; Round < 40; ++Round) {
        TFreqList List(0);
        List.SetTopLimit(1 + static_cast<int32_t>(Random() % 5));
        const int Vocabulary = 5 + static_cast<int>(Random() % 40);
        for (int Step = 0; Step < 600; ++Step) {
            const unsigned Action = Random() % 100;
            if (Action < 2 && List.Count() > 0) {
                List.DeleteItem(static_cast<int32_t>(Random() % static_cast<unsigned>(List.Count())));
            } else if (Action < 3) {
                List.SetTopLimit(static_cast<int32_t>(Random() % 8));
            } else if (Action == 3 && Round % 4 == 0) {
                List.Clear();
            } else {
                // Skewed choice, so frequencies spread and overtake one another.
                const unsigned A = Random() % static_cast<unsigned>(Vocabulary);
                const unsigned B = Random() % static_cast<unsigned>(Vocabulary);
                List.AddWord("t" + std::to_string(std::min(A, B)));
            }
            std::map<int32_t, int32_t, std::greater<>> Oracle;
            for (int32_t I = 0; I < List.Count(); ++I) ++Oracle[List.GetItem(I)->Frequency];
            std::vector<TTopEntry> Expected;
            for (const auto& [Frequency, Words] : Oracle)
                if (static_cast<int32_t>(Expected.size()) < List.TopLimit())
                    Expected.push_back({Frequency, Words});
            ASSERT_EQ(List.TopCount(), static_cast<int32_t>(Expected.size()))
                << "round " << Round << " step " << Step;
            for (size_t I = 0; I < Expected.size(); ++I)
                ASSERT_EQ(List.Top(static_cast<int32_t>(I)), Expected[I]);
            int32_t Index = 0;
            for (const auto& [Frequency, Words] : Oracle) {
                ASSERT_EQ(List.TopIndexOf(Frequency), Index < List.TopLimit() ? Index : -1);
                ++Index;
            }
        }
    }
}

// Counts of several occurrences at once jump over other frequencies, and a count can reach a
// frequency that no word has yet: the table must still hold every frequency in order, and frequencies
// that no word has must have no index.
TEST_F(FreqListTest, TopTableFollowsCountsOfAnySize) {
    std::mt19937 Random(23);
    for (int Round = 0; Round < 30; ++Round) {
        TFreqList List(0);
        List.SetTopLimit(1 + static_cast<int32_t>(Random() % TFreqList::MaxTopLimit));
        std::vector<TFreqItem*> Handed;
        for (int Step = 0; Step < 400; ++Step) {
            const unsigned Action = Random() % 100;
            const auto Count = static_cast<int32_t>(1 + Random() % (Action % 3 == 0 ? 40 : 3));
            if (Action < 3 && List.Count() > 0) {
                List.DeleteItem(static_cast<int32_t>(Random() % static_cast<unsigned>(List.Count())));
                Handed.clear();
            } else if (Action < 5) {
                List.SetTopLimit(static_cast<int32_t>(Random() % (TFreqList::MaxTopLimit + 3)));
            } else if (Action < 40 && !Handed.empty()) {
                List.CountItem(*Handed[Random() % Handed.size()], Count);
            } else {
                Handed.push_back(List.AddWord("w" + std::to_string(Random() % 60), Count));
            }
            std::map<int32_t, int32_t, std::greater<>> Oracle;
            for (int32_t I = 0; I < List.Count(); ++I) ++Oracle[List.GetItem(I)->Frequency];
            std::vector<int32_t> Ranked;
            for (const auto& [Frequency, Words] : Oracle) Ranked.push_back(Frequency);
            const auto Shown = std::min<size_t>(Ranked.size(), static_cast<size_t>(List.TopLimit()));
            ASSERT_EQ(List.TopCount(), static_cast<int32_t>(Shown)) << "round " << Round << " step " << Step;
            for (size_t I = 0; I < Shown; ++I)
                ASSERT_EQ(List.Top(static_cast<int32_t>(I)), (TTopEntry{Ranked[I], Oracle[Ranked[I]]}));
            const int32_t Highest = Ranked.empty() ? 0 : Ranked.front();
            for (int32_t Frequency = 0; Frequency <= Highest + 1; ++Frequency) {
                const auto At = std::find(Ranked.begin(), Ranked.end(), Frequency) - Ranked.begin();
                const bool Kept = At < static_cast<ptrdiff_t>(Shown);
                ASSERT_EQ(List.TopIndexOf(Frequency), Kept ? static_cast<int32_t>(At) : -1)
                    << "frequency " << Frequency << " round " << Round << " step " << Step;
            }
        }
    }
}

TEST_F(FreqListTest, CopiesKeepNoMorePositionsThanOccurrences) {
    TFreqItem Source("word", 2);
    Source.Score = 1.5;
    Source.Chosen = true;
    Source.Positions = std::make_unique<TFreqItemPositions>(
        TFreqItemPositions{{0, 1, 2, 3, 4, 5}, {1, 2, 3, 4, 5, 6}, {9, 9, 9, 9, 9, 9}});
    auto Copy = TFreqItem::CreateCopy(Source);
    EXPECT_EQ(Copy->Word, "word");
    EXPECT_EQ(Copy->Score, 1.5);
    EXPECT_TRUE(Copy->Chosen);
    ASSERT_EQ(Copy->Positions->size(), 2u);
    EXPECT_EQ((*Copy->Positions)[1], (TFreqItemPos{1, 2, 3, 4, 5, 6}));
    Source.Frequency = 5;
    EXPECT_EQ(TFreqItem::CreateCopy(Source)->Positions->size(), 3u);
}

// ---- Stream form -------------------------------------------------------------------------------------

namespace {

constexpr int32_t Sentinel = 0x5A5A1234;

// A list saved with a block after it, so a test sees whether reading stays in step.
std::string SavedList(const TFreqList& List) {
    TMemoryStream Stream;
    List.SaveToStream(Stream);
    WriteStreamInteger(Stream, Sentinel);
    return Stream.Bytes();
}

void PatchInteger(std::string& Bytes, size_t Offset, int32_t Value) {
    for (int I = 0; I < 4; ++I)
        Bytes[Offset + static_cast<size_t>(I)] = static_cast<char>((Value >> (8 * I)) & 0xFF);
}

int32_t IntegerAt(const std::string& Bytes, size_t Offset) {
    TMemoryStream Stream(Bytes);
    Stream.SetPosition(static_cast<int64_t>(Offset));
    return ReadStreamInteger(Stream);
}

}  // namespace

TEST_F(FreqListTest, BlockLayoutIsBucketByBucket) {
    TFreqList List(0);
    Add(List, "a", 2);
    const std::string Bytes = SavedList(List);
    const size_t BucketCounts = 12;
    const size_t ItemAt = BucketCounts + 4 * (5186 + 1);
    ASSERT_EQ(Bytes.size(), BucketCounts + 4 * 16384 + 9 + 8 + 4);
    EXPECT_EQ(IntegerAt(Bytes, 0), static_cast<int32_t>(Bytes.size() - 4));
    EXPECT_EQ(IntegerAt(Bytes, 4), 0x00010000);
    EXPECT_EQ(IntegerAt(Bytes, 8), 16384);
    EXPECT_EQ(IntegerAt(Bytes, BucketCounts + 4 * 5186), 1);
    EXPECT_EQ(IntegerAt(Bytes, ItemAt), 1);
    EXPECT_EQ(Bytes[ItemAt + 4], 'a');
    EXPECT_EQ(IntegerAt(Bytes, ItemAt + 5), 2);
    EXPECT_EQ(IntegerAt(Bytes, Bytes.size() - 12), 1);    // Order count
    EXPECT_EQ(IntegerAt(Bytes, Bytes.size() - 8), 5186);  // its reference
}

TEST_F(FreqListTest, SavedListLoadsWithWordsFrequenciesAndOrder) {
    TFreqList List(0);
    const std::vector<std::string> Words = CollidingWords(3);
    Add(List, Words[0], 3);
    Add(List, Words[1], 1);
    Add(List, Words[2], 2);
    Add(List, "", 1);
    Add(List, "alpha", 5);
    List.SortByFrequency();
    TMemoryStream Stream(SavedList(List));
    TFreqList Loaded(0);
    Loaded.SetTopLimit(1);
    ASSERT_TRUE(Loaded.LoadFromStream(Stream));
    EXPECT_EQ(Entries(Loaded), Entries(List));
    EXPECT_EQ(Loaded.SortState(), TFreqSort::None);
    EXPECT_EQ(Loaded.Top(0), (TTopEntry{5, 1}));
    EXPECT_EQ(ReadStreamInteger(Stream), Sentinel);
    // Counting goes on in the loaded list without making a second item.
    Loaded.AddWord(Words[1]);
    EXPECT_EQ(Loaded.FindWord(Words[1])->Frequency, 2);
    EXPECT_EQ(Loaded.Count(), List.Count());
    EXPECT_TRUE(Script.Messages.empty());
}

TEST_F(FreqListTest, ForeignBlocksAreSkippedWithTheirMessage) {
    TFreqList List(0);
    Add(List, "word", 2);
    const std::string Good = SavedList(List);
    struct TCase {
        size_t Offset;
        int32_t Value;
        const char* Text;
    };
    for (const TCase& Case : {TCase{4, 0x00010001, "Unknown frequency list version."},
                              TCase{8, 8192, "Different hash table size in frequency list."},
                              TCase{0, static_cast<int32_t>(Good.size() + 100), DamagedIndexDataText}}) {
        std::string Bytes = Good;
        PatchInteger(Bytes, Case.Offset, Case.Value);
        TMemoryStream Stream(Bytes);
        TFreqList Loaded(0);
        Script.Messages.clear();
        EXPECT_FALSE(Loaded.LoadFromStream(Stream));
        EXPECT_EQ(Script.Texts(), std::vector<std::string>{Case.Text});
        EXPECT_EQ(Loaded.Count(), 0);
        if (Case.Offset != 0) {
            EXPECT_EQ(ReadStreamInteger(Stream), Sentinel);
        }
    }
}

// A damaged end offset loses that list only: the block after it is found and read.
TEST_F(FreqListTest, TheListAfterADamagedBlockIsStillRead) {
    TFreqList First(0), Second(0);
    Add(First, "word", 2);
    Add(Second, "other", 3);
    TMemoryStream Stream;
    First.SaveToStream(Stream);
    Second.SaveToStream(Stream);
    Stream.SetPosition(0);
    WriteStreamInteger(Stream, 3);
    Stream.SetPosition(0);
    TFreqList A(0), B(0);
    EXPECT_FALSE(A.LoadFromStream(Stream));
    EXPECT_TRUE(B.LoadFromStream(Stream));
    ASSERT_NE(B.FindWord("other"), nullptr);
    EXPECT_EQ(B.FindWord("other")->Frequency, 3);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{DamagedIndexDataText});
}

// Damage inside a block must never leave a list whose order names a missing or shared item.
TEST_F(FreqListTest, DamagedBlocksAreRejectedAndSkipped) {
    TFreqList List(0);
    Add(List, "a", 2);
    Add(List, "z", 1);  // in a later bucket, so the item of "a" comes first
    const std::string Good = SavedList(List);
    const size_t OrderAt = Good.size() - 4 - 8;
    const size_t BucketOfA = 12 + 4 * 5186;
    std::vector<std::pair<size_t, int32_t>> Patches = {
        {OrderAt, (5 << 14) | 5186},              // a slot the bucket does not have
        {OrderAt, -1},                            // a negative reference
        {OrderAt + 4, IntegerAt(Good, OrderAt)},  // one item named twice
        {OrderAt - 4, 3},                         // an order longer than the items
        {BucketOfA, 0x7FFFFFFF},                  // more items than the block could hold
        {BucketOfA, -3},                          // a negative item count
        {BucketOfA + 8, 'c'},                     // the word no longer hashes to its bucket
        {BucketOfA + 9, 0},                       // a word counted zero times
    };
    for (const auto& [Offset, Value] : Patches) {
        std::string Bytes = Good;
        if (Offset == BucketOfA + 8)
            Bytes[Offset] = static_cast<char>(Value);
        else
            PatchInteger(Bytes, Offset, Value);
        TMemoryStream Stream(Bytes);
        TFreqList Loaded(0);
        EXPECT_FALSE(Loaded.LoadFromStream(Stream)) << "patch at " << Offset;
        EXPECT_EQ(Loaded.Count(), 0);
        EXPECT_EQ(ReadStreamInteger(Stream), Sentinel);
    }
    EXPECT_TRUE(Script.Messages.empty());
}

// ---- Result word lists -------------------------------------------------------------------------------

namespace {

// Language 0 with corpus files on disk, each with a source-side segment index in Align12.
class BuildFreqListTest : public FreqListTest {
protected:
    void AddFile(const std::string& Text, const std::vector<TSegment>& Segments) {
        TConcordConfig& Config = *LanguageConfigs[0];
        const std::string Path = Dir.Write("file" + std::to_string(Config.Files.size()) + ".txt", Text);
        Config.Files.push_back({Path, TCorpusFileRecord{}});
        Config.Streams.push_back(std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite));
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (const TSegment& S : Segments) Pair->Side1.Add(S.Start, S.End, S.Length);
        if (!Align12) Align12 = std::make_unique<TDoubleAlignIndexes>();
        Align12->Add(std::move(Pair));
    }

    TAlignIndex& Segments(int32_t File) { return Align12->GetItem(File)->Side1; }

    // Hands out the given segment indexes of each file in turn and flags them, as the concordance
    // window's range callback does.
    TNextSegmentFunc Ask(std::vector<std::vector<int32_t>> PerFile) {
        return [this, PerFile, Next = std::make_shared<std::vector<size_t>>(PerFile.size())](
                   int32_t File, int32_t& Position, bool Distinct) -> int32_t {
            EXPECT_TRUE(Distinct);
            size_t& I = (*Next)[static_cast<size_t>(File)];
            if (I >= PerFile[static_cast<size_t>(File)].size()) return -1;
            const int32_t Index = PerFile[static_cast<size_t>(File)][I++];
            Segments(File).SetFlag(Index, true);
            Position = static_cast<int32_t>(I);
            return Index;
        };
    }

    static TPairs Sorted(TPairs Pairs) {
        std::sort(Pairs.begin(), Pairs.end());
        return Pairs;
    }

    TTempDir Dir;
};

}  // namespace

TEST_F(BuildFreqListTest, CountsEachAskedSegmentOnceWithThePositionsOfItsWords) {
    AddFile("one two. two three", {{0, 8, 8}, {9, 18, 9}});
    AddFile("three four", {{0, 10, 10}});
    // File 0 ends on segment 0 and file 1 starts on its segment 0: that one is still counted.
    auto List = BuildFreqList(0, true, true, nullptr, 3, Ask({{1, 1, 0}, {0}}));
    ASSERT_NE(List, nullptr);
    EXPECT_EQ(Entries(*List), (TPairs{{"four", 1}, {"one", 1}, {"three", 2}, {"two", 2}}));
    EXPECT_EQ(*List->FindWord("three")->Positions,
              (TFreqItemPositions{{0, 9, 18, 9, 13, 18}, {1, 0, 10, 10, 0, 5}}));
    EXPECT_FALSE(Segments(0).GetFlag(1));
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(ProgressForm, nullptr);
}

TEST_F(BuildFreqListTest, LongSegmentsAndWordsAreCountedWhole) {
    const std::string Long(300, 'x');
    std::string Text;
    while (Text.size() < 20000) Text += "filler ";
    Text += Long + " last";
    AddFile(Text, {{0, static_cast<int32_t>(Text.size()), 0}});
    auto List = BuildFreqList(0, false, true, nullptr, 0, Ask({{0}}));
    ASSERT_NE(List, nullptr);
    EXPECT_EQ(List->FindWord("last")->Frequency, 1);
    const TFreqItem* Word = List->FindWord(Long.substr(0, 255));
    ASSERT_NE(Word, nullptr);
    const TFreqItemPos& At = Word->Positions->front();
    EXPECT_EQ(At.WordEnd - At.WordStart, 300);
}

TEST_F(BuildFreqListTest, TagCharactersCountOnlyWhenTagsAreNotSkipped) {
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    AddFile("<b>bold</b>", {{0, 11, 4}});
    EXPECT_EQ(Sorted(Entries(*BuildFreqList(0, true, false, nullptr, 1, Ask({{0}})))),
              (TPairs{{"b", 2}, {"bold", 1}}));
    FrequencyConfigs[0].SkipTags = true;
    EXPECT_EQ(Entries(*BuildFreqList(0, true, false, nullptr, 1, Ask({{0}}))), (TPairs{{"bold", 1}}));
}

TEST_F(BuildFreqListTest, CancelOrFailureLeavesNoListAndNoFlags) {
    AddFile("a b c", {{0, 1, 1}, {2, 5, 3}});
    AddFile("d", {{0, 1, 1}});
    Script.OnProcessMessages = [] {
        if (ProgressForm) ProgressForm->Tag = 1;
    };
    EXPECT_EQ(BuildFreqList(0, false, false, nullptr, 2, Ask({{0, 1}, {0}})), nullptr);
    EXPECT_FALSE(Segments(0).GetFlag(0));
    EXPECT_FALSE(Segments(0).GetFlag(1));
    Script.OnProcessMessages = nullptr;

    auto Failing = [this](int32_t File, int32_t&, bool) -> int32_t {
        Segments(File).SetFlag(0, true);
        throw EConcError("read failed");
    };
    EXPECT_THROW(BuildFreqList(0, false, false, nullptr, 2, Failing), EConcError);
    EXPECT_FALSE(Segments(0).GetFlag(0));
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(ProgressForm, nullptr);
}

TEST_F(BuildFreqListTest, UsesTheCallersProgressFormOrItsOwn) {
    AddFile("a", {{0, 1, 1}});
    std::vector<std::string> Seen;
    Script.OnProcessMessages = [&] {
        Seen.push_back(ProgressForm->Caption() + " | " + ProgressForm->Text());
    };
    BuildFreqList(0, false, false, nullptr, 0, Ask({{0}}));
    EXPECT_EQ(Seen, std::vector<std::string>{"Counting words in result - English | Scanning file0.txt..."});

    auto Caller = ShowProgressForm(1, "Mine", "", 10, 0, "");
    Caller->SetProgress(7);
    BuildFreqList(0, false, false, Caller.get(), 40, Ask({{0}}));
    EXPECT_EQ(Caller->Max(), 40);
    EXPECT_EQ(Caller->Progress(), 1);
    EXPECT_EQ(Seen.back(), "Mine | Scanning file0.txt...");
}

// The word index grows as words come: every word stays findable with its count through each growth,
// and a word counted again never becomes a second item.
TEST_F(FreqListTest, EveryWordKeepsOneItemAndItsCountAsTheIndexGrows) {
    std::mt19937 Random(36);
    TFreqList List(0);
    std::map<std::string, int32_t> Model;
    // Words of up to eight bytes are told apart by the index alone, longer ones also by their items:
    // both kinds, and long words that share their first eight bytes.
    auto WordOf = [&](uint32_t N) {
        switch (N % 4) {
            case 0:
                return "w" + std::to_string(N);
            case 1:
                return "collocation" + std::to_string(N);
            case 2:
                return std::string("abcdefg") + static_cast<char>('a' + N % 26) + std::to_string(N % 7);
            default:
                return std::string("abcdefgh").substr(0, 1 + N % 8);
        }
    };
    for (int Step = 0; Step < 20000; ++Step) {
        // The later words pass the first few thousand items, where items are kept in blocks of one size.
        const std::string Word = WordOf(Random() % (Step < 10000 ? 5000 : 16000));
        List.AddWord(Word);
        ++Model[Word];
        if (Step % 997 != 0 && Step != 19999) continue;
        ASSERT_EQ(List.Count(), static_cast<int32_t>(Model.size())) << "step " << Step;
        for (const auto& [Known, Count] : Model) {
            const TFreqItem* Item = List.FindWord(Known);
            ASSERT_NE(Item, nullptr) << Known << " at step " << Step;
            ASSERT_EQ(Item->Word, Known) << " at step " << Step;
            ASSERT_EQ(Item->Frequency, Count) << Known << " at step " << Step;
        }
        const std::vector<int32_t>& Order = List.Order();
        ASSERT_EQ(std::set<int32_t>(Order.begin(), Order.end()).size(), Model.size()) << "step " << Step;
        for (int32_t I = 0; I < List.Count(); ++I) {
            const TFreqItem& Item = *List.GetItem(I);
            ASSERT_EQ(Model.count(Item.Word), 1u) << Item.Word << " at step " << Step;
            ASSERT_EQ(Item.Frequency, Model[Item.Word]) << Item.Word << " at step " << Step;
        }
        // Deleting renumbers the later words of a bucket while new words wait to be placed in theirs.
        const auto Gone = static_cast<int32_t>(Random() % static_cast<uint32_t>(List.Count()));
        const std::string GoneWord = List.GetItem(Gone)->Word;
        List.DeleteItem(Gone);
        Model.erase(GoneWord);
        ASSERT_EQ(List.FindWord(GoneWord), nullptr) << GoneWord;
    }
    TMemoryStream Stream(SavedList(List));
    TFreqList Loaded(0);
    ASSERT_TRUE(Loaded.LoadFromStream(Stream));
    ASSERT_EQ(Loaded.Count(), static_cast<int32_t>(Model.size()));
    for (int32_t I = 0; I < Loaded.Count(); ++I) {
        const TFreqItem& Item = *Loaded.GetItem(I);
        ASSERT_EQ(Model[Item.Word], Item.Frequency) << Item.Word;
        ASSERT_EQ(List.GetItem(I)->Word, Item.Word) << "row " << I;
    }
}

// The index tells words apart by a 32-bit hash, their length and their first eight bytes: among 200,000
// words of one length and one beginning some hashes meet, and the rest of the word must decide.
TEST_F(FreqListTest, LongWordsOfOneBeginningAndLengthStayApart) {
    TFreqList List(0);
    constexpr int Words = 200000;
    auto WordOf = [](int N) {
        std::string Digits = std::to_string(1000000 + N);
        return "collocation" + Digits;
    };
    for (int N = 0; N < Words; ++N) List.AddWord(WordOf(N), 1 + N % 3);
    ASSERT_EQ(List.Count(), Words);
    for (int N = 0; N < Words; ++N) {
        const TFreqItem* Item = List.FindWord(WordOf(N));
        ASSERT_NE(Item, nullptr) << N;
        ASSERT_EQ(Item->Word, WordOf(N));
        ASSERT_EQ(Item->Frequency, 1 + N % 3) << N;
    }
}

// The collocate lists of a concordance are cleared and counted again whenever their span changes: a
// cleared list must not keep the room of the words it held.
TEST_F(FreqListTest, AClearedListGivesItsRoomBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator counts its own way";
#endif
    constexpr int Words = 300000;
    TFreqList List(0);
    const int64_t Before = HeapBytesInUse();
    for (int N = 0; N < Words; ++N) List.AddWord("w" + std::to_string(N));
    ASSERT_EQ(List.Order().size(), size_t(Words));
    EXPECT_GT(HeapBytesInUse() - Before, int64_t(Words) * 64);
    List.Clear();
    EXPECT_EQ(List.Count(), 0);
    EXPECT_LT(HeapBytesInUse() - Before, int64_t(Words)) << "the list kept its room";
}
