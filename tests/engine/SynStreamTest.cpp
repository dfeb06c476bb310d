#include "engine/SynStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConcErrors.h"
#include "engine/ConcTextProcess.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Pattern(size_t Size) {
    std::string bytes(Size, 0);
    for (size_t i = 0; i < Size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return bytes;
}

std::string ExpectOpenError(const std::string& Path) {
    try {
        TFileSynchroStream stream(Path, fmOpenRead | fmShareDenyWrite);
    } catch (const EConcError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(FileSynchroStream, ReadAtAdvancesByWhatWasReadAndStopsAtTheEnd) {
    TTempDir dir;
    const std::string bytes = Pattern(1000);
    TFileSynchroStream stream(dir.Write("a.txt", bytes), fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(stream.GetSize(), 1000);
    EXPECT_TRUE(stream.IsOpen());

    char buffer[64];
    int32_t position = 500;
    EXPECT_EQ(stream.ReadAt(buffer, 10, position), 10);
    EXPECT_EQ(position, 510);
    EXPECT_EQ(std::string(buffer, 10), bytes.substr(500, 10));

    position = 990;  // a short read is not an error
    EXPECT_EQ(stream.ReadAt(buffer, 64, position), 10);
    EXPECT_EQ(position, 1000);
    EXPECT_EQ(std::string(buffer, 10), bytes.substr(990));

    EXPECT_EQ(stream.ReadAt(buffer, 64, position), 0);
    EXPECT_EQ(position, 1000);
    position = 5000;
    EXPECT_EQ(stream.ReadAt(buffer, 64, position), 0);
    EXPECT_EQ(position, 5000);
    position = -4;
    EXPECT_EQ(stream.ReadAt(buffer, 64, position), 0);
    EXPECT_EQ(position, -4);
}

TEST(FileSynchroStream, SizeIsTakenOnceAtOpening) {
    TTempDir dir;
    const std::string path = dir.Write("grow.txt", "12345");
    TFileSynchroStream stream(path, fmOpenRead | fmShareDenyWrite);
    std::ofstream(path, std::ios::app | std::ios::binary) << "6789";
    EXPECT_EQ(stream.GetSize(), 5);
    int32_t position = 0;
    EXPECT_EQ(stream.SeekLocked(-2, soFromEnd, position), 3);
    EXPECT_EQ(position, 3);
}

TEST(FileSynchroStream, OpenFailuresNameThePath) {
    TTempDir dir;
    const std::string missing = dir.File("missing.txt");
    EXPECT_EQ(ExpectOpenError(missing), "Unable to open file: " + missing + ".");
    EXPECT_EQ(ExpectOpenError(dir.Path().string()), "Unable to open file: " + dir.Path().string() + ".");
}

TEST(FileSynchroStream, FilesOf2GiBOrMoreAreRefused) {
    TTempDir dir;
    const std::string path = dir.File("huge.txt");
    const int handle = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(handle, 0);
    // Sparse: no disk space is used.
    ASSERT_EQ(::ftruncate(handle, 0x80000000LL), 0);
    ::close(handle);
    // The message says why: the name alone sent the user looking for a missing or locked file.
    EXPECT_EQ(ExpectOpenError(path), CorpusFileTooLargeText(path));
    EXPECT_NE(CorpusFileTooLargeText(path).find("too large"), std::string::npos);
    EXPECT_THROW(CheckCorpusFileSize(path), EConcError);
    ASSERT_EQ(::truncate(path.c_str(), 0x7FFFFFFFLL), 0);
    EXPECT_NO_THROW(CheckCorpusFileSize(path));
    TFileSynchroStream largest(path, fmOpenRead);
    EXPECT_EQ(largest.GetSize(), 0x7FFFFFFF);
}

// Opening a FIFO for reading waits for a writer: the program hung at OK of the loading dialog.
TEST(FileSynchroStream, AFifoIsRefusedAtOnceAndIsNoTextFile) {
    ::alarm(30);  // a hang fails the test instead of the whole run
    TTempDir dir;
    const std::string fifo = dir.File("pipe.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ExpectOpenError(fifo), "Unable to open file: " + fifo + ".");
    EXPECT_FALSE(IsTextFile(fifo));
    EXPECT_TRUE(IsTextFile(dir.File("missing.txt")));  // its open says why later
    EXPECT_TRUE(IsTextFile(dir.Write("plain.txt", "Some words.\r\n")));
    ::alarm(0);
}

TEST(FileSynchroStream, ReopenMovesOntoTheCopyAndAFailureKeepsTheOldFile) {
    TTempDir dir;
    const std::string original = dir.Write("orig.txt", "original text");
    const std::string copy = dir.Write("copy.txt", "copied text!!");
    TFileSynchroStream stream(original, fmOpenRead | fmShareDenyWrite);
    stream.Seek(4, soFromBeginning);

    stream.Reopen(copy);
    EXPECT_EQ(stream.FileName(), copy);
    EXPECT_EQ(stream.GetSize(), 13);  // not measured again
    char buffer[4];
    EXPECT_EQ(stream.Read(buffer, 4), 4);  // the position was kept
    EXPECT_EQ(std::string(buffer, 4), "ed t");

    const std::string missing = dir.File("gone.txt");
    try {
        stream.Reopen(missing);
        FAIL() << "Reopen on a missing file must raise";
    } catch (const EConcError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to open file: " + missing + ".");
    }
    EXPECT_EQ(stream.FileName(), copy);
    int32_t position = 0;
    EXPECT_EQ(stream.ReadAt(buffer, 4, position), 4);
    EXPECT_EQ(std::string(buffer, 4), "copi");
}

// A partial copy would cut every reader of the stream short without a word.
TEST(FileSynchroStream, ReopenRefusesACopyOfAnotherSize) {
    TTempDir dir;
    const std::string original = dir.Write("orig.txt", std::string(10000, 'x'));
    TFileSynchroStream stream(original, fmOpenRead | fmShareDenyWrite);
    for (const size_t size : {1500u, 10001u}) {
        const std::string partial = dir.Write("partial.txt", std::string(size, 'y'));
        try {
            stream.Reopen(partial);
            FAIL() << "a copy of " << size << " bytes must be refused";
        } catch (const EConcError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to open file: " + partial + ".");
        }
        EXPECT_EQ(stream.FileName(), original);
        char c = 0;
        int32_t position = 9999;
        EXPECT_EQ(stream.ReadAt(&c, 1, position), 1);
        EXPECT_EQ(c, 'x');
    }
}

// Every call works under the stream's own lock, from the thread that holds it.
TEST(FileSynchroStream, CallsUnderTheLockDoNotWaitForIt) {
    TTempDir dir;
    const std::string original = dir.Write("orig.txt", "0123456789");
    const std::string copy = dir.Write("copy.txt", "abcdefghij");
    TFileSynchroStream stream(original, fmOpenRead | fmShareDenyWrite);
    stream.Lock();
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.FileName(), original);
    char buffer[3];
    int32_t position = 2;
    EXPECT_EQ(stream.ReadAt(buffer, 3, position), 3);
    int32_t newPosition = 0;
    EXPECT_EQ(stream.SeekLocked(4, soFromBeginning, newPosition), 4);
    stream.Reopen(copy);
    stream.Unlock();
    EXPECT_EQ(std::string(buffer, 3), "234");
    EXPECT_EQ(stream.FileName(), copy);
}

TEST(FileSynchroStream, ThreadsReadingOneStreamEachGetTheirOwnBytes) {
    TTempDir dir;
    const std::string bytes = Pattern(256 * 1024);
    TFileSynchroStream stream(dir.Write("shared.txt", bytes), fmOpenRead | fmShareDenyWrite);
    auto reader = [&](int32_t Step, int32_t FirstStart, int* Mismatches) {
        std::vector<char> block(static_cast<size_t>(Step));
        for (int round = 0; round < 20; ++round) {
            int32_t position = (FirstStart + round * 7919) % stream.GetSize();
            while (true) {
                const int32_t at = position;
                const int32_t got = stream.ReadAt(block.data(), Step, position);
                if (got == 0) break;
                if (position != at + got || std::memcmp(block.data(), bytes.data() + at, got) != 0) {
                    ++*Mismatches;
                }
            }
        }
    };
    int first = 0, second = 0;
    std::thread a(reader, 4096, 0, &first);
    std::thread b(reader, 1000, 100000, &second);
    a.join();
    b.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
}

TEST(MemorySynchroStream, CountsReadsAndSeeksFromEachOrigin) {
    TMemorySynchroStream stream("0123456789");
    int32_t position = 0;
    EXPECT_EQ(stream.SeekLocked(3, soFromBeginning, position), 3);
    EXPECT_EQ(stream.SeekLocked(2, soFromCurrent, position), 5);
    EXPECT_EQ(stream.SeekLocked(-1, soFromEnd, position), 9);
    char buffer[4];
    position = 8;
    EXPECT_EQ(stream.ReadAt(buffer, 4, position), 2);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(stream.ReadCount(), 1);
}

namespace {

// The descriptors the process holds now.
int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count - 1;  // the iterator's own
}

std::string ReadFailure(TFileSynchroStream& Stream) {
    char c;
    int32_t position = 0;
    try {
        Stream.ReadAt(&c, 1, position);
    } catch (const EFileOpenError& e) {
        return e.what();
    }
    return "no error";
}

// In a child process: lowers the limit of open files to 64, opens a stream on every name and reads each
// whole twice. 0 when every file read as Texts says; the cache keeps its large budget, so only the limit
// stops it.
int ReadEveryFileUnderALimitOf64(const std::vector<std::string>& Names,
                                 const std::vector<std::string>& Texts) {
    TFileHandleCache::Instance().SetCapacity(4096);
    const rlimit low{64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) return 3;
    std::vector<std::unique_ptr<TFileSynchroStream>> streams;
    try {
        for (const std::string& name : Names)
            streams.push_back(std::make_unique<TFileSynchroStream>(name, fmOpenRead | fmShareDenyWrite));
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t f = 0; f < streams.size(); ++f) {
                std::string bytes(Texts[f].size(), 0);
                int32_t position = 0;
                const int32_t got =
                    streams[f]->ReadAt(bytes.data(), static_cast<int32_t>(bytes.size()), position);
                if (got != static_cast<int32_t>(bytes.size()) || bytes != Texts[f]) return 2;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace

// Many more files than descriptors kept open, read at random places by several threads at once: every
// read gets its own file's bytes, a descriptor in use is never closed under a read, and the process holds
// no more than the budget plus one descriptor per reading thread.
TEST(FileHandleCache, ThreadsReadManyFilesThroughASmallBudget) {
    TTempDir dir;
    const int baseline = OpenDescriptors();
    const TDescriptorBudget budget(3);
    std::vector<std::string> texts;
    std::vector<std::unique_ptr<TFileSynchroStream>> streams;
    for (int f = 0; f < 48; ++f) {
        std::string text = Pattern(static_cast<size_t>(500 + f * 97));
        text[0] = static_cast<char>('A' + f % 26);
        texts.push_back(text);
        streams.push_back(std::make_unique<TFileSynchroStream>(
            dir.Write("f" + std::to_string(f) + ".txt", text), fmOpenRead | fmShareDenyWrite));
    }
    EXPECT_LE(TFileHandleCache::Instance().OpenCount(), 3u);
    constexpr int Threads = 4;
    const uint64_t reopensBefore = TFileHandleCache::Instance().ReopenCount();
    std::atomic<int> mismatches{0}, running{Threads};
    auto reader = [&](unsigned seed) {
        std::mt19937 random(seed);
        std::vector<char> block(600);
        for (int round = 0; round < 3000; ++round) {
            const size_t f = random() % streams.size();
            const std::string& text = texts[f];
            int32_t position = static_cast<int32_t>(random() % text.size());
            const int32_t at = position;
            const int32_t want = std::min<int32_t>(static_cast<int32_t>(random() % 600) + 1,
                                                   static_cast<int32_t>(text.size()) - at);
            const int32_t got = streams[f]->ReadAt(block.data(), 600, position);
            if (got < want || std::memcmp(block.data(), text.data() + at, static_cast<size_t>(want)) != 0)
                ++mismatches;
        }
        --running;
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < Threads; ++t) threads.emplace_back(reader, 17 + t);
    int most = 0;
    while (running.load() > 0) most = std::max(most, OpenDescriptors() - baseline);
    for (auto& t : threads) t.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_LE(most, 3 + Threads);
    EXPECT_LE(OpenDescriptors() - baseline, 3);
    EXPECT_GT(TFileHandleCache::Instance().ReopenCount(), reopensBefore + 1000);

    // The streams' descriptors go with them.
    streams.clear();
    EXPECT_EQ(OpenDescriptors(), baseline);
}

// A process whose limit of open files is far below the corpus's count of files (as a limit of 20,000 is
// below a corpus of 50,000): every file is opened, measured and read, through the cache's usual budget,
// which the limit makes too large.
TEST(FileHandleCache, MoreFilesThanTheProcessMayHoldOpen) {
    TTempDir dir;
    std::vector<std::string> names, texts;
    for (int f = 0; f < 150; ++f) {
        texts.push_back(Pattern(static_cast<size_t>(100 + f)));
        names.push_back(dir.Write("f" + std::to_string(f) + ".txt", texts.back()));
    }
    // The child starts afresh: the reading threads of other tests must not be half-copied into it.
    const std::string style = ::testing::FLAGS_gtest_death_test_style;
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(std::_Exit(ReadEveryFileUnderALimitOf64(names, texts)), ::testing::ExitedWithCode(0), "");
    ::testing::FLAGS_gtest_death_test_style = style;
}

// A file removed or replaced after its descriptor was closed: the read that needs it raises with its
// name (and, when replaced, why) instead of reading nothing or other bytes; once the file is back as it
// was, it reads again. A stream moved onto a copy opens the copy from then on.
TEST(FileHandleCache, AFileGoneOrReplacedIsNamedWhenItMustBeOpenedAgain) {
    TTempDir dir;
    const TDescriptorBudget budget(1);
    const std::string path = dir.Write("kept.txt", "the kept text");
    const std::string other = dir.Write("other.txt", "other");
    TFileSynchroStream stream(path, fmOpenRead | fmShareDenyWrite);
    TFileSynchroStream pushing(other, fmOpenRead | fmShareDenyWrite);  // closes the first descriptor

    const std::string away = dir.File("away.txt");
    std::filesystem::rename(path, away);
    EXPECT_EQ(ReadFailure(stream), "Unable to open file: " + path + ".");
    EXPECT_TRUE(stream.ChangedSinceOpened());
    std::filesystem::rename(away, path);
    char buffer[8];
    int32_t position = 4;
    EXPECT_EQ(stream.ReadAt(buffer, 4, position), 4);
    EXPECT_EQ(std::string(buffer, 4), "kept");

    // Replaced by a file of the same size: only its time tells.
    EXPECT_EQ(ReadFailure(pushing), "no error");
    const std::string replacement = dir.Write("new.txt", "THE KEPT TEXT");
    std::filesystem::rename(replacement, path);
    ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
    EXPECT_EQ(ReadFailure(stream), CorpusFileChangedText(path));
    EXPECT_NE(CorpusFileChangedText(path).find("has changed"), std::string::npos);

    const std::string copy = dir.Write("copy.txt", "the kept text");
    stream.Reopen(copy);
    EXPECT_EQ(ReadFailure(pushing), "no error");
    position = 0;
    EXPECT_EQ(stream.ReadAt(buffer, 3, position), 3);
    EXPECT_EQ(std::string(buffer, 3), "the");
    EXPECT_LE(TFileHandleCache::Instance().OpenCount(), 1u);
}
