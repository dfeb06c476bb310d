#include <gtest/gtest.h>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

#include "controls/ScriptedBackend.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcStreamUtils.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Int32Bytes(int32_t V) {
    TMemoryStream S;
    WriteStreamInteger(S, V);
    return S.Bytes();
}

// A slot list of two integer lists (one empty slot between), used as "some valid block".
void WriteSampleLists(TStream& S) {
    TIntegerLists Lists;
    auto A = std::make_unique<TIntegerList>();
    A->Add(3);
    A->Add(7);
    Lists.Add(std::move(A));
    Lists.Add(nullptr);
    Lists.SaveToStream(S);
}

void ExpectSampleLists(const TIntegerLists& Lists) {
    ASSERT_EQ(Lists.Count(), 2);
    ASSERT_NE(Lists.GetItem(0), nullptr);
    EXPECT_EQ(Lists.GetItem(0)->Values(), (std::vector<int32_t>{3, 7}));
    EXPECT_EQ(Lists.GetItem(1), nullptr);
}

}  // namespace

TEST(StreamPrimitives, AreLittleEndianWithCountedStrings) {
    EXPECT_EQ(Int32Bytes(0x01020304), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(Int32Bytes(-1), std::string("\xFF\xFF\xFF\xFF", 4));
    TMemoryStream S;
    WriteStreamBoolean(S, true);
    WriteStreamBoolean(S, false);
    WriteStreamString(S, "");
    WriteStreamString(S, "ab\0c");
    WriteStreamString(S, std::string("x\0y", 3));
    EXPECT_EQ(S.Bytes(), std::string("\x01\0\0\0"
                                     "\0\0\0\0"
                                     "\0\0\0\0"
                                     "\x02\0\0\0ab"
                                     "\x03\0\0\0x\0y",
                                     4 + 4 + 4 + 6 + 7));
    S.SetPosition(0);
    EXPECT_TRUE(ReadStreamBoolean(S));
    EXPECT_FALSE(ReadStreamBoolean(S));
    EXPECT_EQ(ReadStreamString(S), "");
    EXPECT_EQ(ReadStreamString(S), "ab");
    EXPECT_EQ(ReadStreamString(S), std::string("x\0y", 3));
    EXPECT_EQ(S.Remaining(), 0);
}

TEST(StreamPrimitives, ShortAndHostileReadsNeverOverreach) {
    TMemoryStream Two(std::string("\x34\x12", 2));
    EXPECT_EQ(ReadStreamInteger(Two), 0x1234);  // a partial tail gives the partial value
    EXPECT_EQ(ReadStreamInteger(Two), 0);       // at the end

    TMemoryStream AnyNonZero(Int32Bytes(2));
    EXPECT_TRUE(ReadStreamBoolean(AnyNonZero));

    TMemoryStream Huge(Int32Bytes(std::numeric_limits<int32_t>::max()) + "abc");
    EXPECT_EQ(ReadStreamString(Huge), "abc");

    TMemoryStream Negative(Int32Bytes(-5) + "abc");
    EXPECT_EQ(ReadStreamString(Negative), "");
    EXPECT_EQ(Negative.GetPosition(), 4);

    EXPECT_EQ(ClampCount(-1, 100, 4), 0);
    EXPECT_EQ(ClampCount(1000, 10, 4), 2);
    EXPECT_EQ(ClampCount(3, 100, 4), 3);
    EXPECT_EQ(ClampCount(3, -8, 4), 0);
}

TEST(StreamPrimitives, BulkIntegersMatchSingleWritesAcrossChunks) {
    std::vector<int32_t> Values(10000);
    for (size_t I = 0; I < Values.size(); ++I) Values[I] = static_cast<int32_t>(I * 2654435761u);
    TMemoryStream Bulk, Single;
    WriteStreamIntegers(Bulk, Values.data(), Values.size());
    for (int32_t V : Values) WriteStreamInteger(Single, V);
    EXPECT_EQ(Bulk.Data(), Single.Data());

    Bulk.SetPosition(0);
    std::vector<int32_t> Back(Values.size() + 5);
    EXPECT_EQ(ReadStreamIntegers(Bulk, Back.data(), Back.size()), Values.size());
    Back.resize(Values.size());
    EXPECT_EQ(Back, Values);
}

TEST(MemoryStream, SeeksClampAtStartAndWritesPastTheEndExtend) {
    TMemoryStream S;
    EXPECT_EQ(S.Seek(-10, soBeginning), 0);
    S.SetPosition(6);
    S.Write("z", 1);
    EXPECT_EQ(S.GetSize(), 7);
    EXPECT_EQ(S.Bytes(), std::string("\0\0\0\0\0\0z", 7));
    EXPECT_EQ(S.Seek(-2, soEnd), 5);
    char Buf[8];
    EXPECT_EQ(S.Read(Buf, 8), 2);
    EXPECT_EQ(S.Read(Buf, 8), 0);
    S.SetPosition(100);
    EXPECT_EQ(S.Remaining(), 0);
    EXPECT_EQ(S.Read(Buf, 8), 0);
}

TEST(ContainerBlock, EmptyBlockIsTwelveBytesWithAnAbsoluteEndOffset) {
    TMemoryStream S;
    WriteStreamString(S, "LINES");  // the block need not start at 0
    const int64_t Start = S.GetPosition();
    TIntegerLists Empty;
    Empty.SaveToStream(S);
    EXPECT_EQ(S.GetSize(), Start + 12);
    EXPECT_EQ(S.GetPosition(), Start + 12);
    S.SetPosition(Start);
    EXPECT_EQ(ReadStreamInteger(S), Start + 12);
    EXPECT_EQ(ReadStreamInteger(S), IndexBlockVersion);
    EXPECT_EQ(ReadStreamInteger(S), 0);
}

TEST(ContainerBlock, AllEmptySlotsAreMinusOnesAndComeBackEmpty) {
    TIntegerLists Lists;
    for (int I = 0; I < 3; ++I) Lists.Add(nullptr);
    TMemoryStream S;
    Lists.SaveToStream(S);
    EXPECT_EQ(S.Bytes().substr(12), Int32Bytes(-1) + Int32Bytes(-1) + Int32Bytes(-1));
    S.SetPosition(0);
    TIntegerLists Back;
    Back.Add(std::make_unique<TIntegerList>());  // replaced, not appended to
    EXPECT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 3);
    for (int I = 0; I < 3; ++I) EXPECT_EQ(Back.GetItem(I), nullptr);
}

TEST(ContainerBlock, UnknownVersionIsReportedOnceAndSkipped) {
    TScriptedBackend Script;
    TMemoryStream S;
    WriteSampleLists(S);
    const int64_t Second = S.GetPosition();
    WriteSampleLists(S);
    S.SetPosition(4);
    WriteStreamInteger(S, 0x00010001);
    S.SetPosition(0);

    TIntegerLists Lists;
    EXPECT_FALSE(Lists.LoadFromStream(S));
    EXPECT_EQ(Lists.Count(), 0);
    EXPECT_EQ(S.GetPosition(), Second);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Unknown index version."});
    EXPECT_EQ(Script.Messages[0].Type, mtError);

    EXPECT_TRUE(Lists.LoadFromStream(S));
    ExpectSampleLists(Lists);
    EXPECT_EQ(Script.Messages.size(), 1u);
}

// Five blocks in a row, one of them damaged: a bad end offset alone loses nothing; a bad end offset
// with a bad version loses that block only. Either way the file is reported once.
TEST(ContainerBlock, ADamagedBlockIsReportedOnceAndTheBlocksAfterItAreFound) {
    for (const bool BadVersionToo : {false, true}) {
        for (int32_t BadEnd : {0, 7, 1 << 30, -12}) {
            TScriptedBackend Script;
            TMemoryStream S;
            for (int I = 0; I < 5; ++I) WriteSampleLists(S);
            S.SetPosition(0);
            WriteStreamInteger(S, BadEnd);
            if (BadVersionToo) WriteStreamInteger(S, 0x00020000);
            S.SetPosition(0);
            int Read = 0;
            for (int I = 0; I < 5; ++I) {
                TIntegerLists Lists;
                if (Lists.LoadFromStream(S)) {
                    ExpectSampleLists(Lists);
                    ++Read;
                }
            }
            EXPECT_EQ(Read, BadVersionToo ? 4 : 5) << BadEnd;
            EXPECT_EQ(S.GetPosition(), S.GetSize());
            EXPECT_EQ(Script.Texts(), std::vector<std::string>{DamagedIndexDataText}) << BadEnd;

            TIntegerLists Past;  // a file that ends early is the same damage: no second message
            EXPECT_FALSE(Past.LoadFromStream(S));
            EXPECT_EQ(Script.Messages.size(), 1u);
        }
    }
}

// Elements are read within their block: one that claims more than its block holds leaves its slot
// empty and cannot eat the next block.
TEST(ContainerBlock, AnElementThatOverrunsItsBlockLeavesItsSlotEmpty) {
    TScriptedBackend Script;
    TMemoryStream S;
    WriteSampleLists(S);
    WriteSampleLists(S);
    S.SetPosition(12);
    WriteStreamInteger(S, 1000);  // the first list's count
    S.SetPosition(0);
    TIntegerLists Lists;
    EXPECT_TRUE(Lists.LoadFromStream(S));
    ASSERT_EQ(Lists.Count(), 1);
    EXPECT_EQ(Lists.GetItem(0), nullptr);
    EXPECT_TRUE(Lists.LoadFromStream(S));
    ExpectSampleLists(Lists);
    EXPECT_TRUE(Script.Messages.empty());
}

// Lookups and Add search by halves, so a list read back out of order would answer wrongly.
TEST(ContainerBlock, ListsReadBackOutOfOrderLeaveTheirSlotsEmpty) {
    TMemoryStream S;
    TIntegerLists Lists;
    for (const std::vector<int32_t>& Values :
         std::vector<std::vector<int32_t>>{{50, 10, 90, 5}, {1, 5, 5, 9}}) {
        auto L = std::make_unique<TIntegerList>();
        L->Add(Values.back());
        for (size_t I = Values.size() - 1; I-- > 0;) L->InsertAt(Values[I], 0);
        Lists.Add(std::move(L));
    }
    TAlignIndexes Segments;
    auto Unordered = std::make_unique<TAlignIndex>();
    Unordered->Add(10, 20, 10);
    Unordered->Insert(0, 30, 40, 10);
    Segments.Add(std::move(Unordered));
    auto EndsBelowStarts = std::make_unique<TAlignIndex>();  // what the markup aligners may store
    EndsBelowStarts->Add(10, 5, 0);
    EndsBelowStarts->Add(20, 15, 0);
    Segments.Add(std::move(EndsBelowStarts));
    Lists.SaveToStream(S);
    Segments.SaveToStream(S);
    S.SetPosition(0);

    TIntegerLists ListsBack;
    TAlignIndexes SegmentsBack;
    EXPECT_TRUE(ListsBack.LoadFromStream(S));
    EXPECT_TRUE(SegmentsBack.LoadFromStream(S));
    ASSERT_EQ(ListsBack.Count(), 2);
    EXPECT_EQ(ListsBack.GetItem(0), nullptr);
    ASSERT_NE(ListsBack.GetItem(1), nullptr);
    EXPECT_EQ(ListsBack.GetItem(1)->Values(), (std::vector<int32_t>{1, 5, 5, 9}));
    ASSERT_EQ(SegmentsBack.Count(), 2);
    EXPECT_EQ(SegmentsBack.GetItem(0), nullptr);
    ASSERT_NE(SegmentsBack.GetItem(1), nullptr);
    EXPECT_EQ(SegmentsBack.GetItem(1)->GetItem(1), (TSegment{20, 15, 0}));
}

TEST(ContainerBlock, LyingCountsYieldWhatIsReadableAndReadingGoesOnAtTheEnd) {
    TScriptedBackend Script;
    TMemoryStream S;
    WriteSampleLists(S);
    const int64_t Second = S.GetPosition();
    WriteSampleLists(S);
    // Slot count far beyond the block, and the first list's value count far beyond the stream.
    S.SetPosition(8);
    WriteStreamInteger(S, std::numeric_limits<int32_t>::max());
    S.SetPosition(12);
    WriteStreamInteger(S, 1 << 28);
    S.SetPosition(0);

    TIntegerLists Lists;
    EXPECT_TRUE(Lists.LoadFromStream(S));
    ASSERT_EQ(Lists.Count(), 1);  // the runaway list ran into the block's end; no slot starts past it
    EXPECT_EQ(Lists.GetItem(0), nullptr);
    EXPECT_EQ(S.GetPosition(), Second);
    EXPECT_TRUE(Lists.LoadFromStream(S));
    ExpectSampleLists(Lists);
    EXPECT_TRUE(Script.Messages.empty());
}

TEST(ContainerBlock, EndOffsetThatDoesNotFitItsFieldRaisesInsteadOfLying) {
    TMemoryStream S;
    const int64_t Start = BeginBlock(S);
    S.SetPosition(int64_t{1} << 31);  // nothing written out there, so nothing allocated
    EXPECT_THROW(EndBlock(S, Start), EConcError);
}

TEST(FileStream, BlocksRoundTripThroughAFile) {
    TTempDir Dir;
    const std::string Name = Dir.File("w.bin");
    {
        TFileStream Out(Name, fmCreate);
        WriteStreamString(Out, "CONCORDS");
        WriteSampleLists(Out);
        WriteStreamInteger(Out, 42);
        EXPECT_TRUE(Out.Flush());
    }
    TFileStream In(Name, fmOpenRead);
    EXPECT_EQ(In.GetSize(), static_cast<int64_t>(ReadWholeFile(Name).size()));
    EXPECT_EQ(ReadStreamString(In), "CONCORDS");
    TIntegerLists Lists;
    EXPECT_TRUE(In.GetPosition() == 12 && Lists.LoadFromStream(In));
    ExpectSampleLists(Lists);
    EXPECT_EQ(ReadStreamInteger(In), 42);
    EXPECT_EQ(ReadStreamInteger(In), 0);
}

TEST(FileStream, ReadsAndWritesInterleaveOnOneFile) {
    TTempDir Dir;
    const std::string Name = Dir.Write("rw.bin", "abcdefgh");
    TFileStream F(Name, fmOpenReadWrite);
    char Buf[4] = {};
    EXPECT_EQ(F.Read(Buf, 2), 2);
    F.Write("XY", 2);  // at offset 2, right after the read
    EXPECT_EQ(F.Read(Buf, 2), 2);
    EXPECT_EQ(std::string(Buf, 2), "ef");
    F.Seek(0, soEnd);
    F.Write("!", 1);
    EXPECT_EQ(F.GetSize(), 9);
    EXPECT_TRUE(F.Flush());
    EXPECT_EQ(ReadWholeFile(Name), "abXYefgh!");
}

TEST(FileStream, MissingFilesAndFoldersRaiseWithTheirName) {
    TTempDir Dir;
    const std::string Name = Dir.File("absent.bin");
    try {
        TFileStream F(Name, fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EConcError& E) {
        EXPECT_NE(std::string(E.what()).find(Name), std::string::npos);
    }
    EXPECT_THROW(TFileStream(Dir.Path().string(), fmOpenRead), EConcError);  // a folder is no file
    TFileStream ReadOnly(Dir.Write("ro.bin", "x"), fmOpenRead);
    EXPECT_EQ(ReadOnly.Write("y", 1), 0);
    EXPECT_FALSE(ReadOnly.Flush());
}

TEST(FileStream, FifosAndDevicesAreRefusedWithoutWaitingForAWriter) {
    TTempDir Dir;
    const std::string Fifo = Dir.File("fifo");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    ::alarm(20);  // a blocking open would hang the test run instead of failing it
    for (const TFileMode Mode : {TFileMode(fmOpenRead), TFileMode(fmOpenReadWrite), fmCreate})
        for (const std::string& Name : {Fifo, std::string("/dev/zero")}) {
            try {
                TFileStream F(Name, Mode);
                ADD_FAILURE() << "opened " << Name << " in mode " << Mode;
            } catch (const EConcError& E) {
                EXPECT_NE(std::string(E.what()).find(Name), std::string::npos);
            }
        }
    ::alarm(0);
    struct stat Info {};
    ASSERT_EQ(::stat(Fifo.c_str(), &Info), 0);
    EXPECT_TRUE(S_ISFIFO(Info.st_mode));
}
