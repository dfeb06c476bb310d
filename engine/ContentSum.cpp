#include "engine/ContentSum.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t P1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t P2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t P3 = 0x165667B19E3779F9ULL;
constexpr uint64_t P4 = 0x85EBCA77C2B2AE63ULL;
constexpr uint64_t P5 = 0x27D4EB2F165667C5ULL;

constexpr uint64_t Rotl(uint64_t V, int Bits) {
    return (V << Bits) | (V >> (64 - Bits));
}

// Little-endian whatever the host, as the stored formats are; one load each on the usual hosts, since
// every byte of every corpus file passes through here.
uint64_t Read64(const unsigned char* P) {
    uint64_t V;
    std::memcpy(&V, P, sizeof V);
    if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap64(V);
    return V;
}

uint64_t Read32(const unsigned char* P) {
    uint32_t V;
    std::memcpy(&V, P, sizeof V);
    if constexpr (std::endian::native == std::endian::big) V = __builtin_bswap32(V);
    return V;
}

uint64_t Round(uint64_t Acc, uint64_t Input) {
    return Rotl(Acc + Input * P2, 31) * P1;
}

uint64_t Merge(uint64_t Acc, uint64_t Lane) {
    return (Acc ^ Round(0, Lane)) * P1 + P4;
}

void Stripe(uint64_t (&Lanes)[4], const unsigned char* P) {
    for (int I = 0; I < 4; ++I) Lanes[I] = Round(Lanes[I], Read64(P + 8 * I));
}

int64_t ModifiedNs(const struct stat& Info) {
    return int64_t(Info.st_mtim.tv_sec) * 1000000000 + Info.st_mtim.tv_nsec;
}

}  // namespace

void TContentSum::Add(const void* Data, size_t Size) {
    const auto* P = static_cast<const unsigned char*>(Data);
    FLength += static_cast<int64_t>(Size);
    if (FTailSize > 0) {
        const size_t Take = std::min(Size, sizeof FTail - FTailSize);
        std::memcpy(FTail + FTailSize, P, Take);
        FTailSize += Take;
        P += Take;
        Size -= Take;
        if (FTailSize < sizeof FTail) return;
        Stripe(FLanes, FTail);
        FTailSize = 0;
    }
    for (; Size >= 32; P += 32, Size -= 32) Stripe(FLanes, P);
    std::memcpy(FTail, P, Size);
    FTailSize = Size;
}

void TContentSum::AddAt(int64_t Offset, const void* Data, int64_t Count) {
    if (Count <= 0 || Offset > FLength || Offset + Count <= FLength) return;
    const int64_t Skip = FLength - Offset;
    Add(static_cast<const unsigned char*>(Data) + Skip, static_cast<size_t>(Count - Skip));
}

uint64_t TContentSum::Value() const {
    uint64_t H;
    if (FLength >= 32) {
        H = Rotl(FLanes[0], 1) + Rotl(FLanes[1], 7) + Rotl(FLanes[2], 12) + Rotl(FLanes[3], 18);
        for (const uint64_t Lane : FLanes) H = Merge(H, Lane);
    } else {
        H = P5;
    }
    H += static_cast<uint64_t>(FLength);
    const unsigned char* P = FTail;
    size_t Left = FTailSize;
    for (; Left >= 8; P += 8, Left -= 8) H = Rotl(H ^ Round(0, Read64(P)), 27) * P1 + P4;
    if (Left >= 4) {
        H = Rotl(H ^ Read32(P) * P1, 23) * P2 + P3;
        P += 4;
        Left -= 4;
    }
    for (; Left > 0; ++P, --Left) H = Rotl(H ^ *P * P5, 11) * P1;
    H ^= H >> 33;
    H *= P2;
    H ^= H >> 29;
    H *= P3;
    H ^= H >> 32;
    return H;
}

std::optional<uint64_t> FileContentSum(const std::string& Name, int64_t ExpectedSize, int64_t* Modified) {
    // Opened without waiting, so that a FIFO put in a file's place cannot block the program.
    const int Handle = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (Handle < 0) return std::nullopt;
    std::optional<uint64_t> Result;
    struct stat Before {
    }, After{};
    if (::fstat(Handle, &Before) == 0 && S_ISREG(Before.st_mode) &&
        (ExpectedSize < 0 || Before.st_size == ExpectedSize)) {
        TContentSum Sum;
        std::vector<unsigned char> Buffer(size_t(1) << 20);
        bool Failed = false;
        for (;;) {
            const ssize_t Got = ::read(Handle, Buffer.data(), Buffer.size());
            if (Got < 0 && errno == EINTR) continue;
            if (Got <= 0) {
                Failed = Got < 0;
                break;
            }
            Sum.Add(Buffer.data(), size_t(Got));
        }
        // A file written to while it was read holds neither text whole: its sum stands for nothing.
        if (!Failed && ::fstat(Handle, &After) == 0 && After.st_size == Before.st_size &&
            ModifiedNs(After) == ModifiedNs(Before) && Sum.Length() == Before.st_size) {
            Result = Sum.Value();
            if (Modified) *Modified = ModifiedNs(Before);
        }
    }
    ::close(Handle);
    return Result;
}
