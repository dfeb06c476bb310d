#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

int64_t ResidentBytes() {
    std::FILE* Statm = std::fopen("/proc/self/statm", "r");
    if (!Statm) return -1;
    long long Size = 0, Resident = 0;
    const bool Read = std::fscanf(Statm, "%lld %lld", &Size, &Resident) == 2;
    std::fclose(Statm);
    return Read ? Resident * static_cast<int64_t>(sysconf(_SC_PAGESIZE)) : -1;
}

}  // namespace

// A large delete frees millions of small blocks between blocks that stay: the allocator keeps those
// pages for the process until it is told to give them back.
TEST(MemoryTest, FreedSmallBlocksBetweenLiveOnesGoBackToTheSystem) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator keeps its own memory";
#endif
    constexpr size_t Blocks = 256 * 1024;
    constexpr size_t BlockBytes = 256;
    std::vector<std::unique_ptr<char[]>> Heap(Blocks);
    for (auto& Block : Heap) {
        Block.reset(new char[BlockBytes]);
        for (size_t I = 0; I < BlockBytes; I += 64) Block[I] = 1;
    }
    // Every 64th block stays, so that no freed stretch reaches the top of the heap, where freeing alone
    // would give it back.
    for (size_t I = 0; I < Blocks; ++I)
        if (I % 64 != 63) Heap[I].reset();
    const int64_t Before = ResidentBytes();
    ASSERT_GT(Before, 0);
    platform::ReleaseFreeMemory();
    const int64_t After = ResidentBytes();
    // About 63 MB were freed; whole pages of them go back.
    EXPECT_LT(After, Before - 32 * 1024 * 1024) << "before " << Before << ", after " << After;
}
