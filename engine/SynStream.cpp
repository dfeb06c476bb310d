#include "engine/SynStream.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "engine/ConcErrors.h"

namespace {

[[noreturn]] void RaiseOpenError(const std::string& FileName) {
    throw EConcError("Unable to open file: " + FileName + ".");
}

[[noreturn]] void RaiseTooLarge(const std::string& FileName) {
    throw EConcError(CorpusFileTooLargeText(FileName));
}

int AccessFlags(uint16_t Mode) {
    switch (Mode & 0x0003) {
        case fmOpenWrite:
            return O_WRONLY;
        case fmOpenReadWrite:
            return O_RDWR;
        default:
            return O_RDONLY;
    }
}

// A file's modification time in nanoseconds.
int64_t ModifiedNs(const struct stat& Info) {
    return int64_t(Info.st_mtim.tv_sec) * 1000000000 + Info.st_mtim.tv_nsec;
}

// open(2) of FileName without waiting on a FIFO; -1 with errno on failure. When the process has run out
// of descriptors, the idle ones of the file streams are closed and the open is tried once more.
int OpenHandle(const std::string& FileName, uint16_t Mode) {
    const int Flags = AccessFlags(Mode) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    for (bool Retried = false;;) {
        const int Handle = ::open(FileName.c_str(), Flags);
        if (Handle >= 0) return Handle;
        if (errno == EINTR) continue;
        if ((errno != EMFILE && errno != ENFILE) || Retried) return -1;
        TFileHandleCache::Instance().CloseIdle();
        Retried = true;
    }
}

// Opens FileName and measures it; raises the open error when that fails, when the name is not a regular
// file (opened without waiting, so that a FIFO cannot block the program) or when the file is too large
// for 32-bit offsets. Sharing bits have no POSIX counterpart and are not enforced. With Blocking the
// descriptor reads as an ordinary blocking one once the file is known to be regular.
int OpenMeasured(const std::string& FileName, uint16_t Mode, int32_t* Size, int64_t* Modified = nullptr,
                 bool Blocking = true) {
    const int handle = OpenHandle(FileName, Mode);
    if (handle < 0) RaiseOpenError(FileName);
    struct stat info {};
    const bool regular = ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || info.st_size > MaxCorpusFileSize) {
        ::close(handle);
        if (regular) RaiseTooLarge(FileName);
        RaiseOpenError(FileName);
    }
    if (Blocking) {
        const int flags = ::fcntl(handle, F_GETFL);
        if (flags >= 0) ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (Size) *Size = static_cast<int32_t>(info.st_size);
    if (Modified) *Modified = ModifiedNs(info);
    return handle;
}

void CloseAll(const std::vector<int>& Handles) {
    for (const int Handle : Handles) ::close(Handle);
}

int32_t NewPosition(int32_t Offset, int Origin, int32_t Current, int32_t Size) {
    int64_t base = 0;
    if (Origin == soFromCurrent) base = Current;
    if (Origin == soFromEnd) base = Size;
    int64_t target = base + Offset;
    return static_cast<int32_t>(std::clamp<int64_t>(target, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::string CorpusFileTooLargeText(const std::string& FileName) {
    return "Unable to open file: " + FileName +
           ". The file is too large: a corpus file may hold at most 2,147,483,647 bytes.";
}

void CheckCorpusFileSize(const std::string& FileName) {
    struct stat info {};
    if (::stat(FileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > MaxCorpusFileSize)
        RaiseTooLarge(FileName);
}

std::string CorpusFileChangedText(const std::string& FileName) {
    return "Unable to open file: " + FileName +
           ". The file has changed since it was opened: File > \"Scan Corpus\" processes it again.";
}

int32_t TSynchroStream::ReadAt(void* Buffer, int32_t Count, int32_t& Position) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (Position < 0 || Count <= 0) return 0;
    Seek(Position, soFromBeginning);
    int32_t done = Read(Buffer, Count);
    if (done > 0) Position += done;
    return std::max(done, 0);
}

int32_t TSynchroStream::SeekLocked(int32_t Offset, int Origin, int32_t& NewPosition) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    NewPosition = Seek(Offset, Origin);
    return NewPosition;
}

// ---- The descriptor cache -----------------------------------------------------------------------------

TFileHandleCache& TFileHandleCache::Instance() {
    // Never destroyed: streams of global configurations are freed after every function-local static.
    static TFileHandleCache* const Cache = new TFileHandleCache;
    return *Cache;
}

size_t TFileHandleCache::DefaultCapacity() {
    struct rlimit Limit {};
    if (::getrlimit(RLIMIT_NOFILE, &Limit) != 0) return 512;
    if (Limit.rlim_cur == RLIM_INFINITY) return size_t(1) << 20;
    return std::max<size_t>(static_cast<size_t>(Limit.rlim_cur / 2), 16);
}

TFileHandleCache::TFileHandleCache() : FCapacity(DefaultCapacity()) {
    FList.Newer = FList.Older = &FList;
}

size_t TFileHandleCache::Capacity() const {
    const std::lock_guard guard(FLock);
    return FCapacity;
}

void TFileHandleCache::SetCapacity(size_t Capacity) {
    std::vector<int> closing;
    {
        const std::lock_guard guard(FLock);
        FCapacity = std::max<size_t>(Capacity, 1);
        closing = TrimTo(FCapacity);
    }
    CloseAll(closing);
}

size_t TFileHandleCache::OpenCount() const {
    const std::lock_guard guard(FLock);
    return FOpen;
}

uint64_t TFileHandleCache::ReopenCount() const {
    const std::lock_guard guard(FLock);
    return FReopens;
}

void TFileHandleCache::Unlink(TSlot& Slot) {
    Slot.Newer->Older = Slot.Older;
    Slot.Older->Newer = Slot.Newer;
    Slot.Newer = Slot.Older = nullptr;
}

// From the sentinel, Older runs from the newest slot to the oldest and Newer the other way.
void TFileHandleCache::LinkNewest(TSlot& Slot) {
    Slot.Newer = &FList;
    Slot.Older = FList.Older;
    FList.Older->Newer = &Slot;
    FList.Older = &Slot;
}

std::vector<int> TFileHandleCache::TrimTo(size_t Keep) {
    std::vector<int> closing;
    for (TSlot* Slot = FList.Newer; Slot != &FList && FOpen > Keep;) {
        TSlot* const Newer = Slot->Newer;
        if (Slot->Pins == 0) {
            closing.push_back(Slot->Handle);
            Slot->Handle = -1;
            Unlink(*Slot);
            --FOpen;
        }
        Slot = Newer;
    }
    return closing;
}

int TFileHandleCache::Pin(TSlot& Slot) {
    const std::lock_guard guard(FLock);
    if (Slot.Handle < 0) return -1;
    ++Slot.Pins;
    if (FList.Older != &Slot) {
        Unlink(Slot);
        LinkNewest(Slot);
    }
    return Slot.Handle;
}

void TFileHandleCache::Unpin(TSlot& Slot) {
    std::vector<int> closing;
    {
        const std::lock_guard guard(FLock);
        --Slot.Pins;
        // Reads that held descriptors over the capacity give them back as they end.
        if (FOpen > FCapacity) closing = TrimTo(FCapacity);
    }
    CloseAll(closing);
}

int TFileHandleCache::Adopt(TSlot& Slot, int Handle, bool Pinned) {
    std::vector<int> closing;
    int kept = Handle;
    {
        const std::lock_guard guard(FLock);
        if (Slot.Handle >= 0) {
            // Another read of the stream opened it meanwhile: one descriptor is enough.
            closing.push_back(Handle);
            kept = Slot.Handle;
        } else {
            Slot.Handle = Handle;
            LinkNewest(Slot);
            ++FOpen;
            if (Pinned) ++FReopens;
        }
        Slot.Pins += Pinned ? 1 : 0;
        const std::vector<int> over = TrimTo(FCapacity);
        closing.insert(closing.end(), over.begin(), over.end());
    }
    CloseAll(closing);
    return kept;
}

int TFileHandleCache::Take(TSlot& Slot) {
    const std::lock_guard guard(FLock);
    const int Handle = Slot.Handle;
    if (Handle < 0) return -1;
    Slot.Handle = -1;
    Unlink(Slot);
    --FOpen;
    return Handle;
}

void TFileHandleCache::CloseIdle() {
    std::vector<int> closing;
    {
        const std::lock_guard guard(FLock);
        closing = TrimTo(0);
    }
    CloseAll(closing);
}

// ---- File streams -------------------------------------------------------------------------------------

// A read's hold on the stream's descriptor: opens the file again when the cache has closed it, and keeps
// the descriptor from being closed until the read is over.
class TFileSynchroStream::TLease {
public:
    explicit TLease(TFileSynchroStream& Stream) : FSlot(Stream.FSlot) {
        FHandle = TFileHandleCache::Instance().Pin(FSlot);
        if (FHandle >= 0) return;
        FHandle = TFileHandleCache::Instance().Adopt(FSlot, Stream.OpenAgain(), true);
    }
    ~TLease() { TFileHandleCache::Instance().Unpin(FSlot); }
    TLease(const TLease&) = delete;
    TLease& operator=(const TLease&) = delete;
    int Handle() const { return FHandle; }

private:
    TFileHandleCache::TSlot& FSlot;
    int FHandle;
};

TFileSynchroStream::TFileSynchroStream(const std::string& FileName, uint16_t Mode)
    : FFileName(std::make_shared<const std::string>(FileName)), FMode(Mode) {
    const int handle = OpenMeasured(FileName, Mode, &FSize, &FModified);
    TFileHandleCache::Instance().Adopt(FSlot, handle, false);
}

int TFileSynchroStream::OpenAgain() {
    const std::string name = FileName();
    int32_t size = 0;
    int64_t modified = 0;
    int handle = -1;
    try {
        // A search of more files than the cache holds opens each again: the two calls that would only
        // clear O_NONBLOCK, which regular files ignore, are left out.
        handle = OpenMeasured(name, FMode, &size, &modified, false);
    } catch (const EConcError& E) {
        throw EFileOpenError(E.what());
    }
    // The indexes were computed from the bytes first opened; a stream that writes changes them itself.
    if ((FMode & 0x0003) == fmOpenRead && (size != FSize || modified != FModified)) {
        ::close(handle);
        throw EFileOpenError(CorpusFileChangedText(name));
    }
    return handle;
}

bool TFileSynchroStream::ChangedSinceOpened() const {
    struct stat info {};
    if (::stat(FileName().c_str(), &info) != 0) return true;
    return info.st_size != FSize || ModifiedNs(info) != FModified;
}

TFileSynchroStream::~TFileSynchroStream() {
    const int handle = TFileHandleCache::Instance().Take(FSlot);
    if (handle >= 0) ::close(handle);
}

int32_t TFileSynchroStream::Read(void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    const TLease lease(*this);
    // A file that grew past 2 GiB after opening must not push the position past Int32.
    Count = std::min(Count, std::numeric_limits<int32_t>::max() - FPosition);
    auto* out = static_cast<char*>(Buffer);
    int32_t done = 0;
    // pread may return less than asked before the end (signals, pipes); only 0 means the end.
    while (done < Count) {
        ssize_t n = ::pread(lease.Handle(), out + done, static_cast<size_t>(Count - done),
                            static_cast<off_t>(FPosition) + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
    }
    FPosition += done;
    return done;
}

int32_t TFileSynchroStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0 || FPosition < 0) return 0;
    const TLease lease(*this);
    Count = std::min(Count, std::numeric_limits<int32_t>::max() - FPosition);
    const auto* in = static_cast<const char*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
        ssize_t n = ::pwrite(lease.Handle(), in + done, static_cast<size_t>(Count - done),
                             static_cast<off_t>(FPosition) + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
    }
    FPosition += done;
    return done;
}

int32_t TFileSynchroStream::Seek(int32_t Offset, int Origin) {
    FPosition = NewPosition(Offset, Origin, FPosition, FSize);
    return FPosition;
}

void TFileSynchroStream::Reopen(const std::string& NewFileName) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    int32_t size = 0;
    int64_t modified = 0;
    const int handle = OpenMeasured(NewFileName, FMode, &size, &modified);
    if (size != FSize) {
        ::close(handle);
        RaiseOpenError(NewFileName);
    }
    const int old = TFileHandleCache::Instance().Take(FSlot);
    if (old >= 0) ::close(old);
    FModified = modified;
    FFileName.store(std::make_shared<const std::string>(NewFileName));
    TFileHandleCache::Instance().Adopt(FSlot, handle, false);
}

TMemorySynchroStream::TMemorySynchroStream(std::string Bytes) : FBytes(std::move(Bytes)) {}

int32_t TMemorySynchroStream::Read(void* Buffer, int32_t Count) {
    ++FReadCount;
    if (Count <= 0 || FPosition >= GetSize()) return 0;
    int32_t n = std::min(Count, GetSize() - FPosition);
    std::memcpy(Buffer, FBytes.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int32_t TMemorySynchroStream::Write(const void* Buffer, int32_t Count) {
    if (Count <= 0) return 0;
    size_t end = static_cast<size_t>(FPosition) + static_cast<size_t>(Count);
    if (end > FBytes.size()) FBytes.resize(end);
    std::memcpy(FBytes.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition += Count;
    return Count;
}

int32_t TMemorySynchroStream::Seek(int32_t Offset, int Origin) {
    FPosition = NewPosition(Offset, Origin, FPosition, GetSize());
    return FPosition;
}
