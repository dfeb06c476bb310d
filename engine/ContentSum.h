// A 64-bit sum of a file's bytes, so that a file whose time changed (a project copied without keeping
// file times, an archive unpacked) can be told from one whose text changed. Every byte moves the sum
// through multiplications and rotations (the xxHash64 scheme), so an edit of any size, a swap of two
// stretches or a changed byte leaves a different sum but for chance (2^-64). Qt-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class TContentSum {
public:
    // Adds Size bytes at Data after those added so far.
    void Add(const void* Data, size_t Size);
    // Adds the bytes [Offset, Offset + Count) of the text, as a reader got them: the part that follows
    // what was added so far is added; a read wholly before it adds nothing, and one that starts after it
    // adds nothing either (the sum then never covers the text, see Length).
    void AddAt(int64_t Offset, const void* Data, int64_t Count);
    // How many bytes the sum covers: the first Length bytes of the text.
    int64_t Length() const { return FLength; }
    // The sum of the bytes added so far.
    uint64_t Value() const;

private:
    // The four lanes start from the seed 0.
    uint64_t FLanes[4] = {0x9E3779B185EBCA87ULL + 0xC2B2AE3D27D4EB4FULL, 0xC2B2AE3D27D4EB4FULL, 0,
                          0 - 0x9E3779B185EBCA87ULL};
    unsigned char FTail[32] = {};  // bytes that do not yet fill a stripe of 32
    size_t FTailSize = 0;
    int64_t FLength = 0;
};

// The sum of the whole regular file Name, read now; none when it cannot be read, is not a regular file,
// is not ExpectedSize bytes long (when ExpectedSize >= 0), or changed (its size or time) while it was
// read. Modified, when given, receives the file's modification time in nanoseconds, as it stood
// throughout the read.
std::optional<uint64_t> FileContentSum(const std::string& Name, int64_t ExpectedSize,
                                       int64_t* Modified = nullptr);
