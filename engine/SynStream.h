// Shared corpus file streams. Every corpus file is opened once; all readers of it, on any thread,
// share that one stream and read through ReadAt, a positioned read taken under the stream's lock,
// so each reader keeps its own position and never sees another's.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Open modes of a file stream: access in the low bits, sharing above. Corpus files are opened with
// fmOpenRead | fmShareDenyWrite.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareDenyWrite = 0x0020;

// Origins of Seek and SeekLocked.
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

// A lock plus five stream operations. The unlocked operations (Read, Write, Seek) are meant to be
// called under the lock or while no other reader can exist; readers use ReadAt.
class TSynchroStream {
public:
    TSynchroStream() = default;
    virtual ~TSynchroStream() = default;
    TSynchroStream(const TSynchroStream&) = delete;
    TSynchroStream& operator=(const TSynchroStream&) = delete;

    // The stream's length in bytes.
    virtual int32_t GetSize() const = 0;
    // True while the stream has something open to read from.
    virtual bool IsOpen() const = 0;
    // Reads up to Count bytes at the stream's own position into Buffer, advancing it; returns the bytes
    // read (0 at the end or on a failed read).
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    // Writes Count bytes at the stream's own position, advancing it; returns the bytes written.
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    // Moves the stream's own position (Origin: soFromBeginning, soFromCurrent, soFromEnd) and returns it.
    virtual int32_t Seek(int32_t Offset, int Origin) = 0;

    // The lock may be taken again by the thread that holds it (every locked call works under Lock ());
    // each Lock needs its Unlock.
    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }

    // Whether what the stream reads changed on disk since it was opened (its size or time differ, or it
    // is gone): indexes computed from it no longer fit it. Streams not over a file never change.
    virtual bool ChangedSinceOpened() const { return false; }

    // Under the lock: seeks to Position, reads up to Count bytes into Buffer and adds the bytes read
    // to Position. Returns the bytes read; 0 at or beyond the end, Position then unchanged. A short
    // read is not an error. The lock is released also when the read throws.
    int32_t ReadAt(void* Buffer, int32_t Count, int32_t& Position);
    // Under the lock: Seek (Offset, Origin); the new position is both returned and stored in NewPosition.
    int32_t SeekLocked(int32_t Offset, int Origin, int32_t& NewPosition);

protected:
    // Innermost lock of the program: nothing that takes another lock or calls out runs under it.
    mutable std::recursive_mutex FLock;
};

// The largest corpus file: every offset of the program is 32-bit.
inline constexpr int64_t MaxCorpusFileSize = 2147483647;
// "Unable to open file: <name>." with the reason that the file exceeds MaxCorpusFileSize.
std::string CorpusFileTooLargeText(const std::string& FileName);
// Raises EConcError with CorpusFileTooLargeText when FileName is a regular file larger than
// MaxCorpusFileSize, so that nothing (a conversion, a copy) starts on it; anything else passes.
void CheckCorpusFileSize(const std::string& FileName);

// A stream over an open file. The size is taken once at opening and kept, even when the file grows.
// Opening refuses, with "Unable to open file: <name>.", anything but a regular file (without waiting on a
// FIFO), and a file larger than MaxCorpusFileSize with the reason.
class TFileSynchroStream : public TSynchroStream {
public:
    // Opens FileName with Mode (fmOpenRead | fmShareDenyWrite for corpus files). Raises EConcError
    // "Unable to open file: <FileName>." when the file cannot be opened, and for a file of 2 GiB or
    // more, whose offsets do not fit the 32-bit positions of the indexes.
    TFileSynchroStream(const std::string& FileName, uint16_t Mode);
    ~TFileSynchroStream() override;

    int32_t GetSize() const override { return FSize; }
    // Takes no lock.
    bool IsOpen() const override { return FHandle.load() >= 0; }
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Seek(int32_t Offset, int Origin) override;

    // Under the lock, moves the stream onto NewFileName (a copy of the same file): opens it with the
    // stored mode, closes the old file and keeps the current position; the size stays the one taken at
    // opening. Raises "Unable to open file: <NewFileName>." when it cannot be opened or its size is not
    // that size (a partial copy would silently cut every reader short), leaving the stream on its old
    // file and name.
    void Reopen(const std::string& NewFileName);

    // The path of the open file. Takes no lock.
    std::string FileName() const { return *FFileName.load(); }
    bool ChangedSinceOpened() const override;
    uint16_t Mode() const { return FMode; }

private:
    // Replaced whole by Reopen, so that FileName reads it without the stream's lock.
    std::atomic<std::shared_ptr<const std::string>> FFileName;
    uint16_t FMode;
    int32_t FSize = 0;
    int64_t FModified = 0;  // the file's modification time when opened, in nanoseconds
    std::atomic<int> FHandle{-1};
    // The stream's own position; reads are positioned, so the descriptor's offset is never used.
    int32_t FPosition = 0;
};

// A stream over bytes held in memory, for tests and tools. Counts its reads, so a test can tell
// whether a reader reloaded its window.
class TMemorySynchroStream : public TSynchroStream {
public:
    explicit TMemorySynchroStream(std::string Bytes);

    int32_t GetSize() const override { return static_cast<int32_t>(FBytes.size()); }
    bool IsOpen() const override { return true; }
    int32_t Read(void* Buffer, int32_t Count) override;
    // Overwrites and extends the bytes at the position.
    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Seek(int32_t Offset, int Origin) override;

    // How many Read calls have been made so far.
    int ReadCount() const { return FReadCount.load(); }
    const std::string& Bytes() const { return FBytes; }

private:
    std::string FBytes;
    int32_t FPosition = 0;
    std::atomic<int> FReadCount{0};
};
