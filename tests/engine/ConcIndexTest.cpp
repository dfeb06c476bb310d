#include <gtest/gtest.h>

#include <type_traits>

#include <functional>

#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "tests/engine/StreamTestSupport.h"

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

// Assigning through a base reference would replace a segment list's starts and leave its records stale.
TEST(IntegerList, IsNotAssignableThroughTheBase) {
    EXPECT_FALSE((std::is_assignable_v<TIntegerList&, const TIntegerList&>));
    EXPECT_FALSE((std::is_assignable_v<TIntegerList&, TIntegerList&&>));
    EXPECT_TRUE((std::is_assignable_v<TAlignIndex&, const TAlignIndex&>));
    EXPECT_TRUE(std::is_copy_constructible_v<TIntegerList>);
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

TEST(SlotLists, SegmentListsRoundTripWithEmptySlotsAndEmptyElements) {
    TAlignIndexes Lists;
    Lists.Add(std::make_unique<TAlignIndex>(SegmentsOf({{0, 10, 5}, {10, 9, 0}})));
    Lists.Add(nullptr);
    Lists.Add(std::make_unique<TAlignIndex>());
    TMemoryStream S;
    TAlignIndexes Back;
    EXPECT_TRUE(SaveAndReadBack(Lists, S, Back));
    ASSERT_EQ(Back.Count(), 3);
    EXPECT_EQ(AllSegments(*Back.GetItem(0)), AllSegments(*Lists.GetItem(0)));
    EXPECT_EQ(Back.GetItem(1), nullptr);
    ASSERT_NE(Back.GetItem(2), nullptr);
    EXPECT_EQ(Back.GetItem(2)->Count(), 0);
    EXPECT_EQ(S.GetPosition(), S.GetSize());
}

// A workspace of many one-entry lists must cost about what its file holds, while lists that grow by
// Add afterwards still grow in whole blocks.
TEST(SlotLists, LoadingManySmallListsReservesWhatIsRead) {
    constexpr int32_t Files = 20000;
    TAlignIndexes Segments;
    TIntegerLists Lines;
    for (int32_t I = 0; I < Files; ++I) {
        Segments.Add(std::make_unique<TAlignIndex>(SegmentsOf({{I, I + 1, 1}})));
        Lines.Add(std::make_unique<TIntegerList>(ListOf({I})));
    }
    TMemoryStream S;
    Segments.SaveToStream(S);
    Lines.SaveToStream(S);
    S.SetPosition(0);
    TAlignIndexes SegmentsBack;
    TIntegerLists LinesBack;
    ASSERT_TRUE(SegmentsBack.LoadFromStream(S));
    ASSERT_TRUE(LinesBack.LoadFromStream(S));
    ASSERT_EQ(SegmentsBack.Count(), Files);
    ASSERT_EQ(LinesBack.Count(), Files);

    int64_t ReservedBytes = 0;
    for (int32_t I = 0; I < Files; ++I) {
        const TAlignIndex& A = *SegmentsBack.GetItem(I);
        ReservedBytes += int64_t{A.Capacity()} * 4 + int64_t{A.RecordCapacity()} * 12;
        ReservedBytes += int64_t{LinesBack.GetItem(I)->Capacity()} * 4;
    }
    EXPECT_LE(ReservedBytes, 2 * S.GetSize());
    EXPECT_EQ(SegmentsBack.GetItem(7)->GetItem(0), (TSegment{7, 8, 1}));
    EXPECT_EQ((*LinesBack.GetItem(7))[0], 7);

    TAlignIndex& Grown = *SegmentsBack.GetItem(0);
    Grown.Add(5, 6, 1);
    EXPECT_EQ(Grown.Capacity() % TIntegerList::BlockEntries, 0);
    EXPECT_GE(Grown.RecordCapacity(), Grown.Capacity());
    EXPECT_EQ(AllSegments(Grown), (std::vector<TSegment>{{0, 1, 1}, {5, 6, 1}}));
}

TEST(SlotLists, PairSlotsAreTwoHalvesAndAPairMissingAHalfIsDropped) {
    TDoubleAlignIndexes Pairs;
    Pairs.Add(std::make_unique<TDoubleAlignIndex>(PairsOf(2, 2)));
    Pairs.Add(nullptr);
    Pairs.Add(std::make_unique<TDoubleAlignIndex>());
    TMemoryStream S;
    TDoubleAlignIndexes Back;
    EXPECT_TRUE(SaveAndReadBack(Pairs, S, Back));
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

namespace {

// A reader over Text with tags <...>; WordTagMode 1 uses "_" as the word-tag separator.
struct TReaderOver {
    explicit TReaderOver(const std::string& Text, uint8_t WordTagMode = 0)
        : Source(Text), Reader(Source, 0, NonWordCharSet(std::string(DefaultNonWordChars), "*%?@")) {
        TBufStreamTags Tags;
        Tags.TagStart = '<';
        Tags.TagStop = '>';
        Tags.WordTagMode = WordTagMode;
        Tags.POSSeparator = '_';
        Reader.Configure(Tags);
    }
    int32_t Measure(int32_t Start, int32_t End, int32_t& TextBytes) {
        return MeasureSegment(Reader, Start, End, ctNone, TextBytes);
    }
    TMemorySynchroStream Source;
    TBufStream Reader;
};

}  // namespace

TEST(SegmentLength, SkipsTagsWordTagsAndTheLineFeedOfCrLf) {
    int32_t TextBytes = -1;
    const std::string Text = "ab <p>cd\r\nef.\t\ng";
    TReaderOver R(Text);
    // a b blank [tag] c d CR [LF] e f . tab LF g: every byte but the tag and the LF of CR LF.
    EXPECT_EQ(R.Measure(0, static_cast<int32_t>(Text.size()), TextBytes), 12);
    EXPECT_EQ(TextBytes, 9);                    // a b c d e f . tab g
    EXPECT_EQ(R.Measure(6, 10, TextBytes), 3);  // c d CR [LF]
    EXPECT_EQ(TextBytes, 2);
    EXPECT_EQ(R.Measure(8, 10, TextBytes), 1);  // CR alone: a line break, no text
    EXPECT_EQ(TextBytes, 0);
    EXPECT_EQ(R.Measure(5, 5, TextBytes), 0);
    EXPECT_EQ(R.Measure(9, 4, TextBytes), 0);      // ends below starts measure nothing
    EXPECT_EQ(R.Measure(10, 1000, TextBytes), 6);  // stops at the end of the text
    EXPECT_EQ(TextBytes, 5);

    TReaderOver Tagged("cat_NN dog", 1);
    EXPECT_EQ(Tagged.Measure(0, 10, TextBytes), 7);
    EXPECT_EQ(TextBytes, 6);
}

TEST(SegmentLength, StartsOutsideAnyTagAndRestoresTheReader) {
    TReaderOver R("<p>one two<q>three");
    TCharType T = ctNone;
    R.Reader.SetPosition(11);  // inside <q>
    R.Reader.SetTagState(ctTag);
    int32_t TextBytes = 0;
    // From inside the first tag, with the tag state cleared, "p>" counts as text.
    EXPECT_EQ(MeasureSegment(R.Reader, 1, 10, ctTag, TextBytes), 9);
    EXPECT_EQ(R.Reader.GetPosition(), 11);
    EXPECT_TRUE(R.Reader.InTag());
    EXPECT_EQ(R.Reader.NextChar(T), 'q');
    EXPECT_EQ(T, ctTag);
    EXPECT_EQ(R.Reader.NextChar(T), '>');
    EXPECT_EQ(T, ctTag);
    EXPECT_EQ(R.Reader.NextChar(T), 't');
    EXPECT_EQ(T, ctWord);
}

// The aligners measure with readers that a view or a search left classified or limited to a range.
TEST(SegmentLength, IsTheSameWhateverTheReadersStateAndLeavesItAsItWas) {
    const std::string Text = "one <b>two</b> three four\r\nfive six";
    TReaderOver Fresh(Text);
    int32_t Expected = 0;
    const int32_t ExpectedLength = Fresh.Measure(10, 33, Expected);
    EXPECT_EQ(ExpectedLength, 18);

    TReaderOver R(Text);
    R.Reader.ValidateBuffer(0, 5);
    R.Reader.SetPosition(3);
    int32_t TextBytes = 0;
    EXPECT_EQ(R.Measure(10, 33, TextBytes), ExpectedLength);
    EXPECT_EQ(TextBytes, Expected);
    EXPECT_TRUE(R.Reader.Classified());
    EXPECT_EQ(R.Reader.GetPosition(), 3);
    EXPECT_EQ(R.Reader.RangeEnd(), 5);

    R.Reader.SetRange(0, 12);
    R.Reader.SetPosition(4);
    EXPECT_EQ(R.Measure(10, 33, TextBytes), ExpectedLength);
    EXPECT_EQ(R.Reader.RangeEnd(), 12);
    TCharType T = ctNone;
    EXPECT_EQ(R.Reader.NextChar(T), '<');
    EXPECT_EQ(T, ctTag);
}

class AlignmentLookup : public testing::Test {
protected:
    void TearDown() override {
        Align12.reset();
        Align13.reset();
        Align14.reset();
    }
    // Language k's pair list: file 0 aligned as PairsOf scaled by k in the target, file 1 empty.
    static std::unique_ptr<TDoubleAlignIndexes> ListFor(int32_t K) {
        auto List = std::make_unique<TDoubleAlignIndexes>();
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (int32_t I = 0; I < 8; ++I) {
            Pair->Side1.Add(10 * I, 10 * I + 10, 10);
            Pair->Side2.Add(1000 * K + 100 * I, 1000 * K + 100 * I + 50, 50);
        }
        List->Add(std::move(Pair));
        List->Add(nullptr);
        return List;
    }
};

TEST_F(AlignmentLookup, NothingBeforeAnyAlignment) {
    for (int32_t L = 0; L < 4; ++L) EXPECT_EQ(GetAlignIndex(L, 0), nullptr);
    EXPECT_FALSE(MapAlignedRange(0, 1, 0, 5, 6));
    EXPECT_FALSE(MapAlignedRange(2, 3, 0, 5, 6));
}

TEST_F(AlignmentLookup, AlignIndexOfEachLanguage) {
    Align13 = ListFor(2);
    EXPECT_EQ(GetAlignIndex(0, 0), nullptr);  // the source side is taken from Align12 only
    ASSERT_NE(GetAlignIndex(2, 0), nullptr);
    EXPECT_EQ(GetAlignIndex(2, 0)->GetItem(0).Start, 2000);
    Align12 = ListFor(1);
    EXPECT_EQ(GetAlignIndex(0, 0), &Align12->GetItem(0)->Side1);
    EXPECT_EQ(GetAlignIndex(1, 0), &Align12->GetItem(0)->Side2);
    EXPECT_EQ(GetAlignIndex(3, 0), nullptr);
    EXPECT_EQ(GetAlignIndex(1, 1), nullptr);  // an empty slot
    EXPECT_EQ(GetAlignIndex(1, 2), nullptr);  // beyond the list
    EXPECT_EQ(GetAlignIndex(1, -1), nullptr);
    EXPECT_EQ(GetAlignIndex(4, 0), nullptr);
    EXPECT_EQ(GetAlignIndex(-1, 0), nullptr);
}

TEST_F(AlignmentLookup, MapsBetweenLanguagesThroughTheSource) {
    Align12 = ListFor(1);
    Align13 = ListFor(2);
    Align14 = ListFor(3);
    auto R = MapAlignedRange(0, 2, 0, 35, 51);  // source pairs 3 to 5
    ASSERT_TRUE(R);
    EXPECT_EQ(R->Start, 2300);
    EXPECT_EQ(R->End, 2550);
    R = MapAlignedRange(1, 0, 0, 1310, 1320);
    ASSERT_TRUE(R);
    EXPECT_EQ(R->Start, 30);
    EXPECT_EQ(R->End, 40);
    R = MapAlignedRange(2, 3, 0, 2310, 2520);  // language 2 pairs 3-5, through the source, to language 3
    ASSERT_TRUE(R);
    EXPECT_EQ(R->Start, 3300);
    EXPECT_EQ(R->End, 3550);
    EXPECT_FALSE(MapAlignedRange(0, 0, 0, 5, 6));
    EXPECT_FALSE(MapAlignedRange(0, 4, 0, 5, 6));
    EXPECT_FALSE(MapAlignedRange(-1, 1, 0, 5, 6));
    EXPECT_THROW(MapAlignedRange(0, 1, 0, -5, 6), EConcError);  // before the first source segment
}

TEST_F(AlignmentLookup, AMissingPairGivesNoRangeRatherThanFailing) {
    Align12 = ListFor(1);
    EXPECT_FALSE(MapAlignedRange(0, 1, 1, 5, 6));  // empty slot
    EXPECT_FALSE(MapAlignedRange(0, 1, 7, 5, 6));  // no such file
    EXPECT_FALSE(MapAlignedRange(0, 3, 0, 5, 6));  // no Align14
    // Even a range the first pair could not map: the missing second pair answers first.
    EXPECT_FALSE(MapAlignedRange(1, 2, 0, -100, -50));
}
