#include "engine/FileStrings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <random>
#include <thread>

#include "BStreamTestSupport.h"
#include "engine/SynStream.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

constexpr int32_t Block = TFileStrings::BlockSize;

// The line starts by the reading rule, one byte at a time: a line feed ends a line; a carriage return
// alone ends one only when no line feed follows it in its block; a line feed opening a block right
// after a carriage return belongs to that one line end. A non-empty text always has a last line.
std::vector<int32_t> BruteLineStarts(const std::string& T) {
    const auto N = int32_t(T.size());
    std::vector<int32_t> NextLineFeed(size_t(N) + 1, N);
    for (int32_t P = N - 1; P >= 0; --P)
        NextLineFeed[size_t(P)] = T[size_t(P)] == '\n' ? P : NextLineFeed[size_t(P) + 1];
    std::vector<int32_t> Starts;
    int32_t LineStart = 0;
    for (int32_t P = 0; P < N; ++P) {
        const int32_t BlockEnd = std::min(N, (P / Block + 1) * Block);
        if (T[size_t(P)] == '\n' && P % Block == 0 && P > 0 && T[size_t(P) - 1] == '\r') {
            LineStart = P + 1;
        } else if (T[size_t(P)] == '\n' ||
                   (T[size_t(P)] == '\r' && NextLineFeed[size_t(P) + 1] >= BlockEnd)) {
            Starts.push_back(LineStart);
            LineStart = P + 1;
        }
    }
    if (N > 0) Starts.push_back(LineStart);
    return Starts;
}

void WaitDone(const TFileStrings& Lines) {
    while (!Lines.Done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::vector<int32_t> ScannedStarts(const std::string& Text) {
    TTextReader R(Text);
    TFileStrings Lines(R.Stream, R.Reader);
    WaitDone(Lines);
    std::vector<int32_t> Starts;
    for (int I = 0; I < Lines.GetCount(); ++I) Starts.push_back(Lines.OffsetOf(I));
    EXPECT_EQ(Lines.OffsetOf(Lines.GetCount()), -1);
    return Starts;
}

// Random text of words and every kind of line break, with breaks planted across each block edge.
std::string RandomText(std::mt19937& Rng, int32_t Size) {
    static const char* const Pieces[] = {"\n", "\r", "\r\n", "\r\n\r\n", "\n\r", "word ", "ab", "x"};
    std::string T;
    while (int32_t(T.size()) < Size) T += Pieces[Rng() % 8];
    T.resize(size_t(Size));
    for (int32_t Edge = Block; Edge < Size; Edge += Block) {
        const char* Around[] = {"\r\n", "\n\n", "\r\r", "\n\r", "ab"};
        const std::string Pair = Around[Rng() % 5];
        T[size_t(Edge) - 1] = Pair[0];
        T[size_t(Edge)] = Pair[1];
    }
    return T;
}

}  // namespace

TEST(FileStringsTest, LineStartsMatchAByteByByteScan) {
    EXPECT_EQ(ScannedStarts("a\r\nb\r\nc"), (std::vector<int32_t>{0, 3, 6}));
    EXPECT_EQ(ScannedStarts("a\nb\nc"), (std::vector<int32_t>{0, 2, 4}));
    EXPECT_EQ(ScannedStarts("a\nb\n"), (std::vector<int32_t>{0, 2, 4}));
    EXPECT_EQ(ScannedStarts(""), (std::vector<int32_t>{}));
    // A pair cut by the block edge ends one line, not two.
    std::string Split(size_t(Block) - 1, 'a');
    Split += "\r\nb";
    EXPECT_EQ(ScannedStarts(Split), (std::vector<int32_t>{0, Block + 1}));
    // A file of whole blocks without a final break keeps its last line.
    for (const int32_t Size : {Block, 2 * Block}) {
        std::string Whole(size_t(Size), 'w');
        Whole[100] = '\n';
        EXPECT_EQ(ScannedStarts(Whole), (std::vector<int32_t>{0, 101})) << Size;
    }
    std::mt19937 Rng(44);
    for (int Round = 0; Round < 12; ++Round) {
        const int32_t Size = Round < 4 ? (Round + 1) * Block : int32_t(Rng() % (3 * Block)) + 1;
        const std::string T = RandomText(Rng, Size);
        ASSERT_EQ(ScannedStarts(T), BruteLineStarts(T)) << "round " << Round << ", size " << Size;
    }
    // Carriage returns only: every one ends a line.
    std::string CROnly;
    for (int I = 0; I < 50000; ++I) CROnly += "ab\r";
    EXPECT_EQ(ScannedStarts(CROnly), BruteLineStarts(CROnly));
}

TEST(FileStringsTest, LinesReadWhileTheScanIsHeldAtTheIndexFileBoundary) {
    // 6000 lines "lineNNNNN\r\n": the first 4096 starts go to the index file, the rest wait in memory.
    std::string Text;
    for (int I = 0; I < 6000; ++I) {
        char Line[16];
        std::snprintf(Line, sizeof Line, "line%05d\r\n", I);
        Text += Line;
    }
    TTextReader R(Text);
    std::mutex M;
    std::condition_variable Cv;
    bool Held = false, Release = false;
    auto OnLine = [&, Seen = 0]() mutable {
        if (++Seen != 4098) return;
        std::unique_lock L(M);
        Held = true;
        Cv.notify_all();
        Cv.wait(L, [&] { return Release; });
    };
    std::atomic<bool> DoneCalled{false};
    TFileStrings Lines(R.Stream, R.Reader, OnLine, [&] { DoneCalled = true; });
    {
        std::unique_lock L(M);
        Cv.wait(L, [&] { return Held; });
    }
    ASSERT_EQ(Lines.GetCount(), 4098);
    EXPECT_FALSE(Lines.Done());
    EXPECT_EQ(Lines.OffsetOf(4095), 4095 * 11);
    EXPECT_EQ(Lines.OffsetOf(4096), 4096 * 11);
    EXPECT_EQ(Lines.OffsetOf(4098), -1);
    // The last line of the file takes its end from the first start still in memory.
    EXPECT_EQ(Lines.Get(4095), "line04095  ");
    EXPECT_EQ(Lines.Get(4096), "line04096  ");
    // The last line found has no end yet: at least its first byte.
    EXPECT_EQ(Lines.Get(4097).substr(0, 1), "l");
    EXPECT_THROW(Lines.Get(4098), std::out_of_range);
    {
        std::lock_guard L(M);
        Release = true;
    }
    Cv.notify_all();
    WaitDone(Lines);
    EXPECT_EQ(Lines.GetCount(), 6001);
    EXPECT_EQ(Lines.Get(5999), "line05999  ");
    EXPECT_EQ(Lines.Get(6000), "");
    EXPECT_EQ(Lines.Get(4097), "line04097  ");
    Lines.Suppress.HideWords = true;
    EXPECT_EQ(Lines.Get(1).find("line"), std::string::npos);
    // OnDone follows Done on the scan thread.
    for (int I = 0; I < 5000 && !DoneCalled; ++I) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(DoneCalled);
}

TEST(FileStringsTest, DestroyedMidScanLeavesNoThreadNoIndexFileAndNoLateCallbacks) {
    std::string Text;
    for (int I = 0; I < 400000; ++I) Text += "a few words\n";
    for (int Round = 0; Round < 5; ++Round) {
        TTextReader R(Text);
        std::atomic<int> Calls{0};
        std::atomic<bool> Gone{false}, LateCall{false};
        std::string IndexName;
        {
            TFileStrings Lines(
                R.Stream, R.Reader,
                [&] {
                    if (Gone) LateCall = true;
                    ++Calls;
                },
                [&] {
                    if (Gone) LateCall = true;
                });
            IndexName = Lines.IndexFileName();
            EXPECT_TRUE(std::filesystem::exists(IndexName));
            std::this_thread::sleep_for(std::chrono::microseconds(200 * Round));
            if (Lines.GetCount() > 0) {
                EXPECT_EQ(Lines.OffsetOf(0), 0);
            }
        }
        Gone = true;
        EXPECT_FALSE(std::filesystem::exists(IndexName));
        EXPECT_FALSE(LateCall);
        EXPECT_LE(Calls.load(), 400001);  // a quick scan may finish before the list is freed
    }
}

TEST(FileStringsTest, TheListRefusesChanges) {
    TTextReader R("a\nb");
    TFileStrings Lines(R.Stream, R.Reader);
    const auto Message = [&](const std::function<void()>& Change) {
        try {
            Change();
        } catch (const EStringListError& E) {
            return std::string(E.what());
        }
        return std::string("nothing raised");
    };
    EXPECT_EQ(Message([&] { Lines.Clear(); }), "\"Clear\" method is invalid for TFileStrings.");
    EXPECT_EQ(Message([&] { Lines.Delete(0); }), "\"Delete\" method is invalid for TFileStrings.");
    EXPECT_EQ(Message([&] { Lines.Insert(0, "x"); }), "\"Insert\" method is invalid for TFileStrings.");
    WaitDone(Lines);
    EXPECT_EQ(Lines.GetCount(), 2);
}

// A view opened on a file removed after its descriptor was closed for other files: the counting thread
// stops at the failed read (the program goes on, the view shows no lines), and reading the file names it.
TEST(FileStringsTest, AFileRemovedBeforeTheCountStopsItWithoutEndingTheProgram) {
    TTempDir Dir;
    const TDescriptorBudget Budget(1);
    const std::string Path = Dir.Write("viewed.txt", "one\ntwo\n");
    TFileSynchroStream Stream(Path, fmOpenRead | fmShareDenyWrite);
    TBufStream Reader(Stream, 0, NonWordCharSet(kDelimiters, kWildCards));
    const TFileSynchroStream Other(Dir.Write("other.txt", "x"), fmOpenRead | fmShareDenyWrite);
    std::filesystem::remove(Path);
    TFileStrings Lines(Stream, Reader);
    WaitDone(Lines);
    EXPECT_EQ(Lines.GetCount(), 0);
    char Byte;
    int32_t Position = 0;
    try {
        Stream.ReadAt(&Byte, 1, Position);
        ADD_FAILURE() << "the removed file was read";
    } catch (const EFileOpenError& E) {
        EXPECT_EQ(std::string(E.what()), "Unable to open file: " + Path + ".");
    }
}
