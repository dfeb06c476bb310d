#include "platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// Closes a descriptor when the reading ends, however it ends.
class TFd {
public:
    explicit TFd(int Fd) : FFd(Fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// Reads to the end of Fd, stopping as soon as more than MaxSize bytes have come.
TWholeFileStatus ReadAll(int Fd, uint64_t Expected, uint64_t MaxSize, std::string& Data) {
    Data.reserve(static_cast<size_t>(Expected));
    char Buffer[65536];
    for (;;) {
        const ssize_t N = ::read(Fd, Buffer, sizeof Buffer);
        if (N < 0) {
            if (errno == EINTR) continue;
            return TWholeFileStatus::Unreadable;
        }
        if (N == 0) return TWholeFileStatus::Ok;
        if (Data.size() + static_cast<size_t>(N) > MaxSize) return TWholeFileStatus::TooLarge;
        Data.append(Buffer, static_cast<size_t>(N));
    }
}

}  // namespace

bool IsRegularFile(const std::string& FileName) {
    struct stat Info {};
    return !FileName.empty() && ::stat(FileName.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

int OpenRegularFileForReading(const std::string& FileName) {
    // Opening a FIFO for reading waits for a writer unless O_NONBLOCK is given.
    const int Fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) return -1;
    struct stat Info {};
    if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        ::close(Fd);
        errno = EINVAL;
        return -1;
    }
    const int Flags = ::fcntl(Fd, F_GETFL);
    if (Flags >= 0) ::fcntl(Fd, F_SETFL, Flags & ~O_NONBLOCK);
    return Fd;
}

TWholeFileStatus ReadRegularFile(const std::string& FileName, std::string& Data, uint64_t MaxSize) {
    Data.clear();
    struct stat Info {};
    // Looking before opening keeps even the open away from devices, whose open alone may act.
    if (FileName.empty()) return TWholeFileStatus::Missing;
    if (::stat(FileName.c_str(), &Info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TWholeFileStatus::Missing : TWholeFileStatus::Unreadable;
    if (!S_ISREG(Info.st_mode)) return TWholeFileStatus::NotRegular;
    if (static_cast<uint64_t>(Info.st_size) > MaxSize) return TWholeFileStatus::TooLarge;
    // The name may have been replaced by something else since it was examined.
    TFd File(OpenRegularFileForReading(FileName));
    if (File.Get() < 0) return errno == EINVAL ? TWholeFileStatus::NotRegular : TWholeFileStatus::Unreadable;
    const TWholeFileStatus Status = ReadAll(File.Get(), static_cast<uint64_t>(Info.st_size), MaxSize, Data);
    if (Status != TWholeFileStatus::Ok) {
        Data.clear();
        Data.shrink_to_fit();
    }
    return Status;
}

std::string WholeFileStatusText(TWholeFileStatus Status, const std::string& FileName) {
    switch (Status) {
        case TWholeFileStatus::Ok:
            return {};
        case TWholeFileStatus::Missing:
            return FileName + " does not exist.";
        case TWholeFileStatus::NotRegular:
            return FileName + " is not a regular file.";
        case TWholeFileStatus::TooLarge:
            return FileName + " is too large.";
        case TWholeFileStatus::Unreadable:
            break;
    }
    return FileName + " cannot be read.";
}

}  // namespace platform
