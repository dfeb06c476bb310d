#include "results/ConcSearchRunner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include "engine/ConcSearchItems.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

// The heap of a thread of its own grows one page at a time, each page asked of the system anew, while a
// heap that grew once keeps its pages' permission after it shrinks. Grown once by a few megabytes, in
// pieces the heap itself serves (below the size it leaves to mmap), it spares a search with many hits
// a system call every dozen hits.
// The pages given back stay the heap's room, unmapped: the search's first write to each then costs it a
// fault, a tenth of a search that keeps its hits (7,830 hits, 0.8 ms). With MapPages the first 2 MB
// (the rows of some ten thousand hits) are mapped here at once, more would stay with the process unused
// after most searches; only a thread made ahead of its search does it, the search not waiting for it.
void GrowThreadHeap(bool MapPages) {
    constexpr size_t Piece = 120 * 1024;
    std::array<void*, 32> Pieces{};
    for (void*& P : Pieces) P = std::malloc(Piece);
    uintptr_t Low = UINTPTR_MAX, High = 0;
    for (void* P : Pieces) {
        if (!P) continue;
        Low = std::min(Low, uintptr_t(P));
        High = std::max(High, uintptr_t(P) + Piece);
    }
    for (void* P : Pieces) std::free(P);
#ifdef MADV_POPULATE_WRITE
    // Pieces that did not come one after the other leave the room alone. Mapping a page changes none of
    // its bytes; a system without the advice refuses it, and the search then maps its pages itself.
    const auto PageSize = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t First = (Low + PageSize - 1) & ~(PageSize - 1);
    const uintptr_t Last = High & ~(PageSize - 1);
    constexpr uintptr_t Mapped = 2 * 1024 * 1024;
    if (MapPages && Last > First && Last - First <= 2 * Pieces.size() * Piece)
        madvise(reinterpret_cast<void*>(First), std::min(Last - First, Mapped), MADV_POPULATE_WRITE);
#else
    (void)MapPages;
#endif
}

// A new thread starts with its maker's vector registers. When the maker had last left the upper halves
// of the wide ones in use, every narrower vector instruction of the scan (the library's string and
// memory functions among them) paid for merging them, and nothing the scan runs clears them: a search
// whose thread was made as the query dialog closed took a fifth longer. The thread clears them first.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void ClearUpperVectorHalvesAvx() {
    _mm256_zeroupper();
}
void ClearUpperVectorHalves() {
    if (__builtin_cpu_supports("avx")) ClearUpperVectorHalvesAvx();
}
#else
void ClearUpperVectorHalves() {}
#endif

}  // namespace

TSearchThread::TSearchThread() {
    Start(true);
}

TSearchThread::TSearchThread(TNow) {
    Start(false);
}

void TSearchThread::Start(bool MapPages) {
    FThread = std::thread([this, MapPages] {
        ClearUpperVectorHalves();
        GrowThreadHeap(MapPages);
        std::function<void()> Job;
        {
            std::unique_lock Lock(FMutex);
            FGiven.wait(Lock, [this] { return FJob || FDropped; });
            Job = std::move(FJob);
        }
        if (Job) Job();
    });
}

TSearchThread::~TSearchThread() {
    {
        const std::lock_guard Lock(FMutex);
        FDropped = true;
    }
    FGiven.notify_one();
    Join();
}

void TSearchThread::Run(std::function<void()> Job) {
    {
        const std::lock_guard Lock(FMutex);
        FJob = std::move(Job);
    }
    FGiven.notify_one();
}

void TSearchThread::Join() {
    if (FThread.joinable()) FThread.join();
}

TSearchRunner::TSearchRunner(TSearch& Search, int32_t MaxHits, std::function<void()> Wake,
                             std::unique_ptr<TSearchThread> Thread, std::function<void()> Yield)
    : FSearch(Search), FWake(std::move(Wake)), FYield(std::move(Yield)), FThread(std::move(Thread)) {
    if (!FYield) FYield = [] { sched_yield(); };
    FSearch.Reach = &Reach;
    try {
        if (!FThread) FThread.reset(new TSearchThread(TSearchThread::TNow{}));
    } catch (...) {
        FSearch.Reach = nullptr;
        throw;
    }
    FThread->Run([this, MaxHits] { Run(MaxHits); });
}

TSearchRunner::~TSearchRunner() {
    Stop();
    Wait();
}

void TSearchRunner::Run(int32_t MaxHits) {
    try {
        FSearch.Execute(
            true, MaxHits, [this](std::unique_ptr<TConcordItem> Hit) { Queue(std::move(Hit)); }, {}, 0);
    } catch (...) {
        FFailure = std::current_exception();
    }
    {
        const std::lock_guard Lock(FMutex);
        FEnded = true;
    }
    FWake();
}

// Waking the taker costs a system call or two: it is woken once for a batch of hits, not for each.
void TSearchRunner::Queue(std::unique_ptr<TConcordItem> Hit) {
    bool Wake = false;
    bool Waited = false;
    {
        const std::lock_guard Lock(FMutex);
        FHits.push_back(std::move(Hit));
        if (!FWoken && FHits.size() >= WakeHits) {
            Wake = FWoken = true;
        } else if (FWoken) {
            // The clock is read every sixteenth hit the taker has not come for.
            Waited = (++FHitsWhileWoken & 15) == 0;
        }
    }
    if (Wake) {
        FWokenAt = std::chrono::steady_clock::now();
        FWake();
    } else if (Waited) {
        YieldIfLate();
    }
}

void TSearchRunner::YieldIfLate() {
    if (FYields >= YieldsAtMost) return;
    const auto Now = std::chrono::steady_clock::now();
    if (Now - FWokenAt < LateAfter || Now - FYieldedAt < LateAfter) return;
    ++FYields;
    FYieldedAt = Now;
    FYield();
}

bool TSearchRunner::Take(std::vector<std::unique_ptr<TConcordItem>>& Hits) {
    const std::lock_guard Lock(FMutex);
    FWoken = false;
    if (Hits.empty()) {
        std::swap(Hits, FHits);
    } else {
        for (auto& Hit : FHits) Hits.push_back(std::move(Hit));
        FHits.clear();
    }
    return FEnded;
}

void TSearchRunner::Stop() {
    FSearch.StopRequested.store(true, std::memory_order_relaxed);
}

void TSearchRunner::Wait() {
    if (FThread) FThread->Join();
    FSearch.Reach = nullptr;
}
