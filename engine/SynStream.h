// Shared corpus file streams. Every corpus file has one stream; all readers of it, on any thread,
// share that stream and read through ReadAt, a positioned read taken under the stream's lock, so each
// reader keeps its own position and never sees another's. A stream holds its file's descriptor only
// while the process-wide TFileHandleCache keeps it open, so that a corpus may have more files than the
// process may hold descriptors.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConcErrors.h"

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

    // The content sum (ContentSum.h) of the bytes the stream reads, [0, GetSize ()): known once a corpus
    // pass has read them all, or when a workspace vouched for them; none otherwise. It stays with the
    // stream, so a file that gets a new stream starts without one. Main thread only.
    std::optional<uint64_t> ContentSum() const { return FContentSum; }
    void SetContentSum(std::optional<uint64_t> Sum) { FContentSum = Sum; }

    // Under the lock: seeks to Position, reads up to Count bytes into Buffer and adds the bytes read
    // to Position. Returns the bytes read; 0 at or beyond the end, Position then unchanged. A short
    // read is not an error. The lock is released also when the read throws.
    int32_t ReadAt(void* Buffer, int32_t Count, int32_t& Position);
    // Under the lock: Seek (Offset, Origin); the new position is both returned and stored in NewPosition.
    int32_t SeekLocked(int32_t Offset, int Origin, int32_t& NewPosition);

protected:
    // Innermost lock of the program: nothing that takes another lock or calls out runs under it.
    mutable std::recursive_mutex FLock;

private:
    std::optional<uint64_t> FContentSum;
};

// The largest corpus file: every offset of the program is 32-bit.
inline constexpr int64_t MaxCorpusFileSize = 2147483647;
// "Unable to open file: <name>." with the reason that the file exceeds MaxCorpusFileSize.
std::string CorpusFileTooLargeText(const std::string& FileName);
// Raises EConcError with CorpusFileTooLargeText when FileName is a regular file larger than
// MaxCorpusFileSize, so that nothing (a conversion, a copy) starts on it; anything else passes.
void CheckCorpusFileSize(const std::string& FileName);

// Raised by a read of a file stream whose file could not be opened again (see TFileSynchroStream): its
// text names the file and, when it was replaced, why.
class EFileOpenError : public EConcError {
public:
    using EConcError::EConcError;
};

// "Unable to open file: <name>." with the reason that the file is no longer the one that was opened
// (its size or time differ), so that what was computed from it would point at other bytes.
std::string CorpusFileChangedText(const std::string& FileName);

// The descriptors of the file streams. A corpus may come as tens of thousands of files, more than the
// process may hold descriptors, and a stream is read only now and then: so a stream keeps its file's
// name and size and opens the file again when it is read and its descriptor was closed meanwhile. The
// cache keeps open the descriptors of the streams read last, up to its capacity, and closes the one
// read longest ago to make room; a descriptor is never closed while a read is using it. Thread-safe:
// the streams of every thread share the one cache.
class TFileHandleCache {
public:
    // The process's cache; it lives until the process ends.
    static TFileHandleCache& Instance();

    // Half the process's soft limit of open files (RLIMIT_NOFILE), at least 16: the other half stays for
    // everything else the program opens. A search of more files than this opens each of them again.
    static size_t DefaultCapacity();

    // The most descriptors kept open when no read is using them.
    size_t Capacity() const;
    // At least 1. Lowering it closes at once the descriptors over it that no read is using.
    void SetCapacity(size_t Capacity);
    // Descriptors open now.
    size_t OpenCount() const;
    // How often a stream's file was opened again because its descriptor had been closed.
    uint64_t ReopenCount() const;
    // Closes every descriptor that no read is using (when the process has run out of descriptors).
    void CloseIdle();

private:
    friend class TFileSynchroStream;
    // Where a stream's descriptor stands in the cache. All of it is guarded by the cache's lock.
    struct TSlot {
        int Handle = -1;
        int Pins = 0;  // reads using Handle now
        TSlot* Newer = nullptr;
        TSlot* Older = nullptr;
    };

    // Slot's descriptor, kept open until Unpin, or -1 when it has none.
    int Pin(TSlot& Slot);
    void Unpin(TSlot& Slot);
    // Slot takes Handle, pinned when Pinned, and the descriptors over the capacity are closed; returns
    // Slot's descriptor (Handle is closed instead when Slot already has one).
    int Adopt(TSlot& Slot, int Handle, bool Pinned);
    // Slot's descriptor (or -1), which the caller now owns and closes.
    int Take(TSlot& Slot);
    TFileHandleCache();
    void Unlink(TSlot& Slot);
    void LinkNewest(TSlot& Slot);
    // Unlinks the idle descriptors, the oldest first, until at most Keep are open; returns them to be
    // closed after the lock is released.
    std::vector<int> TrimTo(size_t Keep);

    mutable std::mutex FLock;
    size_t FCapacity;
    size_t FOpen = 0;
    uint64_t FReopens = 0;
    TSlot FList;  // the sentinel: FList.Older is the newest slot, FList.Newer the oldest
};

// A stream over a file. The size is taken once at opening and kept, even when the file grows.
// Opening refuses, with "Unable to open file: <name>.", anything but a regular file (without waiting on a
// FIFO), and a file larger than MaxCorpusFileSize with the reason. Its descriptor lives in
// TFileHandleCache: a read after the cache closed it opens the file again, and raises EFileOpenError
// when that fails ("Unable to open file: <name>.") or finds another file (CorpusFileChangedText).
class TFileSynchroStream : public TSynchroStream {
public:
    // Opens FileName with Mode (fmOpenRead | fmShareDenyWrite for corpus files). Raises EConcError
    // "Unable to open file: <FileName>." when the file cannot be opened, and for a file of 2 GiB or
    // more, whose offsets do not fit the 32-bit positions of the indexes.
    TFileSynchroStream(const std::string& FileName, uint16_t Mode);
    ~TFileSynchroStream() override;

    int32_t GetSize() const override { return FSize; }
    // True: the stream can always try to read its file. Takes no lock.
    bool IsOpen() const override { return true; }
    // Raise EFileOpenError when the file has to be opened again and cannot be (see the class).
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int32_t Seek(int32_t Offset, int Origin) override;

    // Under the lock, moves the stream onto NewFileName (a copy of the same file): opens it with the
    // stored mode, closes the old file and keeps the current position; the size stays the one taken at
    // opening. Raises "Unable to open file: <NewFileName>." when it cannot be opened or its size is not
    // that size (a partial copy would silently cut every reader short), leaving the stream on its old
    // file and name.
    void Reopen(const std::string& NewFileName);

    // The path of the file. Takes no lock.
    std::string FileName() const { return *FFileName.load(); }
    bool ChangedSinceOpened() const override;
    // The file's modification time when it was opened (or last reopened), in nanoseconds since the
    // epoch: the time of the bytes every reader of the stream sees.
    int64_t ModifiedWhenOpened() const { return FModified; }
    uint16_t Mode() const { return FMode; }

private:
    class TLease;
    // Opens the file again for a read: raises when it cannot or when it is not the file opened.
    int OpenAgain();

    // Replaced whole by Reopen, so that FileName reads it without the stream's lock.
    std::atomic<std::shared_ptr<const std::string>> FFileName;
    uint16_t FMode;
    int32_t FSize = 0;
    int64_t FModified = 0;  // the file's modification time when opened, in nanoseconds
    TFileHandleCache::TSlot FSlot;
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
