#include "engine/FileStrings.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "engine/BStream.h"
#include "engine/SynStream.h"
#include "platform/Paths.h"

namespace {

// Linux nice values belong to each thread, so this slows the scan only, never the window's thread.
// Best effort: a refusal leaves the scan at normal priority.
void LowerCurrentThreadPriority() {
    const auto Tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, Tid, 5);
}

bool WriteAll(int Handle, const unsigned char* Bytes, size_t Count, off_t Offset) {
    while (Count > 0) {
        const ssize_t Done = ::pwrite(Handle, Bytes, Count, Offset);
        if (Done < 0 && errno == EINTR) continue;
        if (Done <= 0) return false;
        Bytes += Done;
        Count -= size_t(Done);
        Offset += Done;
    }
    return true;
}

}  // namespace

TFileStrings::TFileStrings(TSynchroStream& Source, TBufStream& Reader, std::function<void()> OnLine,
                           std::function<void()> OnDone)
    : FSource(Source),
      FReader(Reader),
      FSize(Source.GetSize()),
      FOnLine(std::move(OnLine)),
      FOnDone(std::move(OnDone)) {
    FIndexFileName = MakeTempFileName("FST");
    if (!FIndexFileName.empty()) FIndexFile = ::open(FIndexFileName.c_str(), O_RDWR | O_CLOEXEC);
    if (FIndexFile < 0) {
        if (!FIndexFileName.empty()) ::unlink(FIndexFileName.c_str());
        throw EConcError("Unable to create a temporary file in " + platform::TempDir() + ".");
    }
    FThread = std::thread([this] { Scan(); });
}

TFileStrings::~TFileStrings() {
    FDetached.store(true);
    FStop.store(true);
    // Taking the lock once makes sure the scan is not half-way through a write when it sees the flag.
    { std::lock_guard Guard(FLock); }
    if (FThread.joinable()) FThread.join();
    ::close(FIndexFile);
    ::unlink(FIndexFileName.c_str());
}

void TFileStrings::Clear() {
    throw EStringListError("\"Clear\" method is invalid for TFileStrings.");
}

void TFileStrings::Delete(int) {
    throw EStringListError("\"Delete\" method is invalid for TFileStrings.");
}

void TFileStrings::Insert(int, const std::string&) {
    throw EStringListError("\"Insert\" method is invalid for TFileStrings.");
}

// ---- The scan ----------------------------------------------------------------------------------------

void TFileStrings::Scan() {
    LowerCurrentThreadPriority();
    auto Buffer = std::make_unique<char[]>(BlockSize);
    bool TailAdded = false;
    while (!FStop.load(std::memory_order_relaxed)) {
        const int32_t Base = FReadPosition;
        int32_t Got;
        try {
            std::lock_guard Guard(FLock);
            Got = FSource.ReadAt(Buffer.get(), BlockSize, FReadPosition);
        } catch (const std::exception&) {
            // The file could not be opened again (it was removed or replaced): the lines counted so far
            // stay, and reading one of them tells the view why the rest is missing.
            Got = 0;
        }
        if (Got <= 0) break;
        // A short read is no end: only the file's size says which block is the last.
        const bool Last = FReadPosition >= FSize;
        ScanBlock(Buffer.get(), Got, Base, Last);
        TailAdded = Last;
        if (Last) break;
    }
    // A file that shrank below its opening size still shows the text it had up to its new end.
    if (!TailAdded && !FStop.load() && FReadPosition > 0) AddLine(FLineStart);
    {
        std::lock_guard Guard(FLock);
        FlushPending();
    }
    FDone.store(true, std::memory_order_release);
    if (!FDetached.load() && FOnDone) FOnDone();
}

// A line feed ends a line (with the carriage return before it); a carriage return alone ends one only
// where no line feed follows in the rest of the block. Once the rest holds no line feed it is not
// searched for again, so that a file of carriage returns costs one pass per block.
void TFileStrings::ScanBlock(const char* Block, int32_t Length, int32_t Base, bool Last) {
    int32_t Pos = 0;
    // The line feed of a pair cut by the block edge: the line already ended at its carriage return, and
    // a second, empty line here would shift every later line against the corpus's line numbers.
    if (FBlockEndedInCR && Block[0] == '\n') {
        FLineStart = Base + 1;
        Pos = 1;
    }
    bool NoLineFeed = false;
    while (Pos < Length && !FStop.load(std::memory_order_relaxed)) {
        const void* End = nullptr;
        if (!NoLineFeed) {
            End = std::memchr(Block + Pos, '\n', size_t(Length - Pos));
            NoLineFeed = End == nullptr;
        }
        if (!End) End = std::memchr(Block + Pos, '\r', size_t(Length - Pos));
        if (!End) break;
        const auto EndPos = int32_t(static_cast<const char*>(End) - Block);
        AddLine(FLineStart);
        FLineStart = Base + EndPos + 1;
        Pos = EndPos + 1;
    }
    FBlockEndedInCR = Block[Length - 1] == '\r';
    if (Last) AddLine(FLineStart);
}

void TFileStrings::AddLine(int32_t Offset) {
    {
        std::lock_guard Guard(FLock);
        if (FPendingCount == PendingCapacity) return;
        FPending[size_t(FPendingCount++)] = Offset;
        if (FPendingCount == PendingCapacity) FlushPending();
    }
    FCount.fetch_add(1, std::memory_order_release);
    if (FOnLine && !FDetached.load(std::memory_order_relaxed)) FOnLine();
}

// Under the lock. The offsets go out little-endian whatever the machine, so the file reads the same
// everywhere. A write that fails (a full disk) keeps them in memory, where Get still finds them, and ends
// the scan: the view then shows the lines found so far.
void TFileStrings::FlushPending() {
    if (FPendingCount == 0) return;
    std::array<unsigned char, size_t(PendingCapacity) * 4> Bytes;
    for (int32_t I = 0; I < FPendingCount; ++I) {
        const auto V = uint32_t(FPending[size_t(I)]);
        for (int B = 0; B < 4; ++B)
            Bytes[size_t(I) * 4 + size_t(B)] = static_cast<unsigned char>(V >> (8 * B));
    }
    if (!WriteAll(FIndexFile, Bytes.data(), size_t(FPendingCount) * 4, off_t(FWritten) * 4)) {
        FStop.store(true);
        return;
    }
    FWritten += FPendingCount;
    FPendingCount = 0;
}

// ---- Reading -----------------------------------------------------------------------------------------

int32_t TFileStrings::OffsetOf(int Index) const {
    if (Index < 0) return -1;
    std::lock_guard Guard(FLock);
    if (Index < FWritten) {
        unsigned char Bytes[4];
        ssize_t Got;
        do Got = ::pread(FIndexFile, Bytes, 4, off_t(Index) * 4);
        while (Got < 0 && errno == EINTR);
        if (Got != 4) throw std::runtime_error("Unable to read the line index " + FIndexFileName + ".");
        return int32_t(uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 |
                       uint32_t(Bytes[3]) << 24);
    }
    const int32_t K = Index - FWritten;
    return K < FPendingCount ? FPending[size_t(K)] : -1;
}

std::string TFileStrings::Get(int Index) const {
    if (Index < 0 || Index >= GetCount())
        throw std::out_of_range("Line " + std::to_string(Index) + " of " + std::to_string(GetCount()));
    // Done is read before the next start: a scan that ends in between only makes the end found.
    const bool Finished = Done();
    const int32_t Start = OffsetOf(Index);
    int32_t End = OffsetOf(Index + 1);
    if (End < 0) End = Finished ? FSize : Start + 1;
    std::string Text;
    ReadVisibleText(FReader, Start, End, Text, Suppress);
    return Text;
}
