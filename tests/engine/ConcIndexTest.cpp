#include <gtest/gtest.h>

#include <functional>

#include "controls/ScriptedBackend.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"

namespace {

TIntegerList ListOf(std::initializer_list<int32_t> Values) {
    TIntegerList L;
    for (int32_t V : Values) L.Add(V);
    return L;
}

// Segments given as {start, end, length} triples, added in order.
TAlignIndex SegmentsOf(std::initializer_list<TSegment> Segs) {
    TAlignIndex A;
    for (const TSegment& S : Segs) A.Add(S.Start, S.End, S.Length);
    return A;
}

std::vector<TSegment> AllSegments(const TAlignIndex& A) {
    std::vector<TSegment> Out;
    for (int32_t I = 0; I < A.Count(); ++I) Out.push_back(A.GetItem(I));
    return Out;
}

void ExpectOutOfBounds(const std::function<void()>& F) {
    try {
        F();
        ADD_FAILURE() << "no exception";
    } catch (const EConcError& E) {
        EXPECT_STREQ(E.what(), "Index is out of bounds.");
    }
}

// Pair k covers source [10k, 10k+10) and target [100k, 100k+50).
TDoubleAlignIndex PairsOf(int SourceCount, int TargetCount) {
    TDoubleAlignIndex D;
    for (int K = 0; K < SourceCount; ++K) D.Side1.Add(10 * K, 10 * K + 10, 10);
    for (int K = 0; K < TargetCount; ++K) D.Side2.Add(100 * K, 100 * K + 50, 50);
    return D;
}

}  // namespace

TEST(IntegerList, AddKeepsOrderAndGoesAfterEqualEntries) {
    TIntegerList L = ListOf({1, 5, 5, 9});
    EXPECT_EQ(L.Add(5), 3);
    EXPECT_EQ(L.Values(), (std::vector<int32_t>{1, 5, 5, 5, 9}));
    EXPECT_EQ(L.Add(0), 0);
    EXPECT_EQ(L.Add(9), 6);
    EXPECT_EQ(L.Add(10), 7);
    EXPECT_EQ(L.Values(), (std::vector<int32_t>{0, 1, 5, 5, 5, 9, 9, 10}));
}

TEST(IntegerList, FindAndFloorLookups) {
    const TIntegerList L = ListOf({1, 5});
    EXPECT_EQ(L.IndexOfFloor(0), -1);
    EXPECT_EQ(L.IndexOfFloor(7), 1);
    EXPECT_EQ(L.IndexOfFloor(5), 1);
    EXPECT_EQ(L.IndexOfFloor(1), 0);
    EXPECT_EQ(ListOf({0, 0, 4}).IndexOfFloor(0), 1);  // the last of equal entries
    EXPECT_EQ(ListOf({0, 0, 4}).IndexOfFloor(1), 1);
    EXPECT_EQ(TIntegerList().IndexOfFloor(3), -1);

    int32_t I = -7;
    EXPECT_TRUE(L.Find(5, I));
    EXPECT_EQ(I, 1);
    EXPECT_FALSE(L.Find(3, I));
    EXPECT_EQ(I, 1);
    EXPECT_FALSE(L.Find(9, I));
    EXPECT_EQ(I, 2);
    EXPECT_FALSE(TIntegerList().Find(0, I));
    EXPECT_EQ(I, 0);
}

TEST(IntegerList, InsertAtAndDeleteByIndex) {
    TIntegerList L = ListOf({10, 20, 30});
    EXPECT_EQ(L.InsertAt(99, 1), 1);   // placed by index, whatever the order
    EXPECT_EQ(L.InsertAt(35, 17), 4);  // beyond the end: an ordinary Add
    EXPECT_EQ(L.Values(), (std::vector<int32_t>{10, 99, 20, 30, 35}));
    EXPECT_THROW(L.InsertAt(1, -1), std::out_of_range);
    L.Delete(1);
    L.Delete(-1);
    L.Delete(L.Count());
    EXPECT_EQ(L.Values(), (std::vector<int32_t>{10, 20, 30, 35}));
}

TEST(IntegerList, StorageGrowsInWholeBlocks) {
    TIntegerList L;
    for (int32_t V = 0; V < 20000; ++V) L.Add(V);
    EXPECT_EQ(L.Count(), 20000);
    EXPECT_EQ(L.Capacity() % TIntegerList::BlockEntries, 0);
    EXPECT_GE(L.Capacity(), 20000);
    L.Grow(50000);
    EXPECT_EQ(L.Capacity() % TIntegerList::BlockEntries, 0);
    EXPECT_GE(L.Capacity(), 50000);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}

TEST(IntegerList, StreamRoundTripAndHostileCounts) {
    TIntegerList L = ListOf({0, 4, 4, 1000000});
    TMemoryStream S;
    L.SaveToStream(S);
    TIntegerList().SaveToStream(S);
    EXPECT_EQ(S.GetSize(), 4 + 16 + 4);
    S.SetPosition(0);
    TIntegerList Back = ListOf({7});
    Back.LoadFromStream(S);
    EXPECT_EQ(Back.Values(), L.Values());
    Back.LoadFromStream(S);
    EXPECT_EQ(Back.Count(), 0);

    TMemoryStream Negative;
    WriteStreamInteger(Negative, -3);
    Negative.SetPosition(0);
    Back.LoadFromStream(Negative);
    EXPECT_EQ(Back.Count(), 0);

    TMemoryStream Short;
    WriteStreamInteger(Short, 1 << 30);
    WriteStreamInteger(Short, 11);
    WriteStreamInteger(Short, 12);
    Short.Write("\x01", 1);  // a stray byte is no value
    Short.SetPosition(0);
    Back.LoadFromStream(Short);
    EXPECT_EQ(Back.Values(), (std::vector<int32_t>{11, 12}));
}

TEST(AlignIndex, AddKeepsRecordsWithTheirStarts) {
    TAlignIndex A = SegmentsOf({{20, 30, 7}, {0, 10, 5}});
    EXPECT_EQ(A.Add(20, 20, 0), 2);  // after the equal start
    EXPECT_EQ(A.Add(10, 15, 3), 1);
    EXPECT_EQ(AllSegments(A), (std::vector<TSegment>{{0, 10, 5}, {10, 15, 3}, {20, 30, 7}, {20, 20, 0}}));
    EXPECT_EQ(A.Insert(0, 99, 98, 1), 0);  // the editor's insert keeps no order
    A.Delete(2);
    EXPECT_EQ(AllSegments(A), (std::vector<TSegment>{{99, 98, 1}, {0, 10, 5}, {20, 30, 7}, {20, 20, 0}}));
    A.Delete(0);  // the record goes with its entry
    EXPECT_EQ(AllSegments(A), (std::vector<TSegment>{{0, 10, 5}, {20, 30, 7}, {20, 20, 0}}));
}

TEST(AlignIndex, AccessorsRaiseOutsideTheList) {
    TAlignIndex A = SegmentsOf({{0, 10, 5}});
    int32_t S, E, L;
    ExpectOutOfBounds([&] { A.GetItem(1, S, E, L); });
    ExpectOutOfBounds([&] { A.GetItem(-1, S, E, L); });
    ExpectOutOfBounds([&] { A.GetFlag(1); });
    ExpectOutOfBounds([&] { A.SetFlag(-1, true); });
}

TEST(AlignIndex, FlagsAreSetClearedAndNeverSaved) {
    TAlignIndex A = SegmentsOf({{0, 10, 5}, {10, 20, 6}, {20, 25, 2}});
    A.SetFlag(0, true);
    A.SetFlag(2, true);
    EXPECT_TRUE(A.GetFlag(0));
    EXPECT_FALSE(A.GetFlag(1));
    TMemoryStream S;
    A.SaveToStream(S);
    EXPECT_EQ(S.GetSize(), 4 + 3 * 12);
    S.SetPosition(0);
    TAlignIndex Back;
    Back.LoadFromStream(S);
    EXPECT_EQ(AllSegments(Back), AllSegments(A));
    for (int32_t I = 0; I < Back.Count(); ++I) EXPECT_FALSE(Back.GetFlag(I));
    A.ClearFlags();
    EXPECT_FALSE(A.GetFlag(0));
    EXPECT_FALSE(A.GetFlag(2));
}

TEST(AlignIndex, SegmentOfIndexBeforeAndGetRange) {
    const TAlignIndex A = SegmentsOf({{0, 10, 4}, {20, 30, 6}});
    EXPECT_EQ(A.SegmentOf(15), 1);
    EXPECT_EQ(A.SegmentOf(25), 1);
    EXPECT_EQ(A.SegmentOf(35), 2);
    EXPECT_EQ(A.SegmentOf(-5), 0);
    EXPECT_EQ(A.SegmentOf(9), 0);
    EXPECT_EQ(A.SegmentOf(10), 1);
    EXPECT_EQ(A.IndexBefore(20), 0);
    EXPECT_EQ(A.IndexBefore(21), 1);
    EXPECT_EQ(A.IndexBefore(0), -1);

    int32_t S, E, L;
    A.GetRange(3, 25, S, E, L);
    EXPECT_EQ(S, 0);
    EXPECT_EQ(E, 30);
    EXPECT_EQ(L, 10);
    A.GetRange(12, 19, S, E, L);  // inside the gap: from the next segment back to the previous one
    EXPECT_EQ(S, 20);
    EXPECT_EQ(E, 10);
    EXPECT_EQ(L, 0);
    ExpectOutOfBounds([&] { A.GetRange(35, 40, S, E, L); });
    ExpectOutOfBounds([&] { A.GetRange(0, 0, S, E, L); });
}

TEST(AlignIndex, RepeatedStartsResolveToTheLastAndEndsBelowStartsAreKept) {
    // An empty bead {20, 20, 0} in front of the sentence that starts at 20, and a filler past the end.
    const TAlignIndex A = SegmentsOf({{0, 20, 9}, {20, 20, 0}, {20, 40, 8}, {40, 39, 0}});
    EXPECT_EQ(A.SegmentOf(20), 2);
    EXPECT_EQ(A.IndexOfFloor(20), 2);
    EXPECT_EQ(A.GetItem(3).End, 39);
    EXPECT_EQ(A.SegmentOf(40), 4);
}

TEST(DoubleAlignIndex, MapsRangesPairByPair) {
    const TDoubleAlignIndex D = PairsOf(8, 8);
    int32_t S, E;
    D.MapToTarget(32, 37, S, E);  // inside source pair 3
    EXPECT_EQ(S, 300);
    EXPECT_EQ(E, 350);
    D.MapToTarget(35, 51, S, E);  // pairs 3 to 5
    EXPECT_EQ(S, 300);
    EXPECT_EQ(E, 550);
    D.MapToTarget(35, 50, S, E);  // ends exactly where pair 5 starts: pairs 3 to 4
    EXPECT_EQ(E, 450);
    D.MapToSource(310, 320, S, E);
    EXPECT_EQ(S, 30);
    EXPECT_EQ(E, 40);
    ExpectOutOfBounds([&] { D.MapToTarget(-1, 5, S, E); });
}

TEST(DoubleAlignIndex, UnequalSidesAndEmptySides) {
    const TDoubleAlignIndex D = PairsOf(6, 3);
    int32_t S, E;
    D.MapToTarget(45, 55, S, E);  // source pairs 4-5 have no target: the end of the last target entry
    EXPECT_EQ(S, 250);
    EXPECT_EQ(E, 250);
    D.MapToTarget(15, 55, S, E);
    EXPECT_EQ(S, 100);
    EXPECT_EQ(E, 250);
    ExpectOutOfBounds([&] { PairsOf(3, 0).MapToTarget(5, 6, S, E); });
    ExpectOutOfBounds([&] { PairsOf(0, 3).MapToTarget(5, 6, S, E); });
}

TEST(SlotLists, OwnSlotsAndHandBackReplacedElements) {
    TAlignIndexes Lists;
    Lists.Add(std::make_unique<TAlignIndex>(SegmentsOf({{0, 1, 1}})));
    Lists.Add(nullptr);
    Lists.Add(std::make_unique<TAlignIndex>(SegmentsOf({{5, 6, 1}, {6, 7, 1}})));
    auto Old = Lists.SetItem(1, std::make_unique<TAlignIndex>());
    EXPECT_EQ(Old, nullptr);
    Old = Lists.SetItem(0, nullptr);
    ASSERT_NE(Old, nullptr);
    EXPECT_EQ(Old->Count(), 1);
    Lists.Delete(1);
    ASSERT_EQ(Lists.Count(), 2);
    EXPECT_EQ(Lists.GetItem(1)->Count(), 2);
    Lists.Exchange(0, 1);
    EXPECT_EQ(Lists.GetItem(1), nullptr);
    EXPECT_THROW(Lists.GetItem(2), std::out_of_range);
    EXPECT_THROW(Lists.Delete(-1), std::out_of_range);
    EXPECT_THROW(Lists.SetItem(5, nullptr), std::out_of_range);
    Lists.Clear();
    EXPECT_EQ(Lists.Count(), 0);
}

TEST(SlotLists, SegmentListsRoundTripWithEmptySlotsAndEmptyElements) {
    TAlignIndexes Lists;
    Lists.Add(std::make_unique<TAlignIndex>(SegmentsOf({{0, 10, 5}, {10, 9, 0}})));
    Lists.Add(nullptr);
    Lists.Add(std::make_unique<TAlignIndex>());
    TMemoryStream S;
    Lists.SaveToStream(S);
    S.SetPosition(0);
    TAlignIndexes Back;
    EXPECT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 3);
    EXPECT_EQ(AllSegments(*Back.GetItem(0)), AllSegments(*Lists.GetItem(0)));
    EXPECT_EQ(Back.GetItem(1), nullptr);
    ASSERT_NE(Back.GetItem(2), nullptr);
    EXPECT_EQ(Back.GetItem(2)->Count(), 0);
    EXPECT_EQ(S.GetPosition(), S.GetSize());
}

TEST(SlotLists, PairSlotsAreTwoHalvesAndAPairMissingAHalfIsDropped) {
    TDoubleAlignIndexes Pairs;
    Pairs.Add(std::make_unique<TDoubleAlignIndex>(PairsOf(2, 2)));
    Pairs.Add(nullptr);
    Pairs.Add(std::make_unique<TDoubleAlignIndex>());
    TMemoryStream S;
    Pairs.SaveToStream(S);
    S.SetPosition(0);
    TDoubleAlignIndexes Back;
    EXPECT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 3);
    EXPECT_EQ(AllSegments(Back.GetItem(0)->Side2), AllSegments(Pairs.GetItem(0)->Side2));
    EXPECT_EQ(Back.GetItem(1), nullptr);
    ASSERT_NE(Back.GetItem(2), nullptr);
    EXPECT_EQ(Back.GetItem(2)->Side1.Count(), 0);

    // Hand-made: slot 0 has a source half only, slot 1 is whole; slot 1 must still be read as slot 1.
    TMemoryStream H;
    const int64_t Start = BeginBlock(H);
    WriteStreamInteger(H, 2);
    SegmentsOf({{0, 5, 5}}).SaveToStream(H);
    WriteStreamInteger(H, NoElement);
    SegmentsOf({{1, 2, 1}}).SaveToStream(H);
    SegmentsOf({{3, 4, 1}}).SaveToStream(H);
    EndBlock(H, Start);
    H.SetPosition(0);
    EXPECT_TRUE(Back.LoadFromStream(H));
    ASSERT_EQ(Back.Count(), 2);
    EXPECT_EQ(Back.GetItem(0), nullptr);
    ASSERT_NE(Back.GetItem(1), nullptr);
    EXPECT_EQ(Back.GetItem(1)->Side1.GetItem(0).Start, 1);
    EXPECT_EQ(Back.GetItem(1)->Side2.GetItem(0).Start, 3);
}

TEST(SlotLists, UnknownVersionOfPairsIsSkippedAndTheNextBlockReads) {
    TScriptedBackend Script;
    TDoubleAlignIndexes Pairs;
    Pairs.Add(std::make_unique<TDoubleAlignIndex>(PairsOf(3, 3)));
    TMemoryStream S;
    Pairs.SaveToStream(S);
    Pairs.SaveToStream(S);
    S.SetPosition(4);
    WriteStreamInteger(S, 0x00010001);
    S.SetPosition(0);
    TDoubleAlignIndexes Back;
    EXPECT_FALSE(Back.LoadFromStream(S));
    EXPECT_EQ(Back.Count(), 0);
    EXPECT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 1);
    EXPECT_EQ(Back.GetItem(0)->Side1.Count(), 3);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Unknown index version."});
}
