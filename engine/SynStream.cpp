#include "engine/SynStream.h"

#include <fcntl.h>
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

// Opens FileName and measures it; raises the open error when that fails, when the name is not a regular
// file (opened without waiting, so that a FIFO cannot block the program) or when the file is too large
// for 32-bit offsets. Sharing bits have no POSIX counterpart and are not enforced.
int OpenMeasured(const std::string& FileName, uint16_t Mode, int32_t* Size, int64_t* Modified = nullptr) {
    int handle;
    do {
        handle = ::open(FileName.c_str(), AccessFlags(Mode) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) RaiseOpenError(FileName);
    struct stat info {};
    const bool regular = ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || info.st_size > MaxCorpusFileSize) {
        ::close(handle);
        if (regular) RaiseTooLarge(FileName);
        RaiseOpenError(FileName);
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags >= 0) ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK);
    if (Size) *Size = static_cast<int32_t>(info.st_size);
    if (Modified) *Modified = ModifiedNs(info);
    return handle;
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

TFileSynchroStream::TFileSynchroStream(const std::string& FileName, uint16_t Mode)
    : FFileName(std::make_shared<const std::string>(FileName)), FMode(Mode) {
    FHandle = OpenMeasured(FileName, Mode, &FSize, &FModified);
}

bool TFileSynchroStream::ChangedSinceOpened() const {
    struct stat info {};
    if (::stat(FileName().c_str(), &info) != 0) return true;
    return info.st_size != FSize || ModifiedNs(info) != FModified;
}

TFileSynchroStream::~TFileSynchroStream() {
    if (FHandle >= 0) ::close(FHandle);
}

int32_t TFileSynchroStream::Read(void* Buffer, int32_t Count) {
    if (FHandle < 0 || Count <= 0 || FPosition < 0) return 0;
    // A file that grew past 2 GiB after opening must not push the position past Int32.
    Count = std::min(Count, std::numeric_limits<int32_t>::max() - FPosition);
    auto* out = static_cast<char*>(Buffer);
    int32_t done = 0;
    // pread may return less than asked before the end (signals, pipes); only 0 means the end.
    while (done < Count) {
        ssize_t n = ::pread(FHandle, out + done, static_cast<size_t>(Count - done),
                            static_cast<off_t>(FPosition) + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
    }
    FPosition += done;
    return done;
}

int32_t TFileSynchroStream::Write(const void* Buffer, int32_t Count) {
    if (FHandle < 0 || Count <= 0 || FPosition < 0) return 0;
    Count = std::min(Count, std::numeric_limits<int32_t>::max() - FPosition);
    const auto* in = static_cast<const char*>(Buffer);
    int32_t done = 0;
    while (done < Count) {
        ssize_t n = ::pwrite(FHandle, in + done, static_cast<size_t>(Count - done),
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
    const int old = FHandle.exchange(handle);
    if (old >= 0) ::close(old);
    FModified = modified;
    FFileName.store(std::make_shared<const std::string>(NewFileName));
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
