#include "results/ConcSearchRunner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

#include "engine/ConcSearchItems.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

constexpr size_t HeapPiece = 120 * 1024;  // below the size the heap leaves to mmap
using THeapPieces = std::array<void*, 32>;

THeapPieces TakeHeapPieces() {
    THeapPieces Pieces{};
    for (void*& P : Pieces) P = std::malloc(HeapPiece);
    return Pieces;
}

// Maps up to Limit bytes of the room the pieces took, from its start. Pieces that did not come one
// after the other leave the room alone. Mapping a page changes none of its bytes; a system without
// the advice refuses it, and the pages are then mapped as they are first written.
void MapHeapRoom(const THeapPieces& Pieces, uintptr_t Limit) {
    uintptr_t Low = UINTPTR_MAX, High = 0;
    for (void* P : Pieces) {
        if (!P) continue;
        Low = std::min(Low, uintptr_t(P));
        High = std::max(High, uintptr_t(P) + HeapPiece);
    }
#ifdef MADV_POPULATE_WRITE
    const auto PageSize = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t First = (Low + PageSize - 1) & ~(PageSize - 1);
    const uintptr_t Last = High & ~(PageSize - 1);
    if (Last > First && Last - First <= 2 * Pieces.size() * HeapPiece)
        madvise(reinterpret_cast<void*>(First), std::min(Last - First, Limit), MADV_POPULATE_WRITE);
#else
    (void)Low;
    (void)High;
    (void)Limit;
#endif
}

// The heap of a thread of its own grows one page at a time, each page asked of the system anew, while a
// heap that grew once keeps its pages' permission after it shrinks. Grown once by a few megabytes, in
// pieces the heap itself serves, it spares a search with many hits a system call every dozen hits.
// The pages given back stay the heap's room, unmapped: the search's first write to each then costs it a
// fault, a tenth of a search that keeps its hits (7,830 hits, 0.8 ms). With MapPages the first 2 MB
// (the rows of some ten thousand hits) are mapped here at once, more would stay with the process unused
// after most searches; only a thread made ahead of its search does it, the search not waiting for it.
void GrowThreadHeap(bool MapPages) {
    const THeapPieces Pieces = TakeHeapPieces();
    for (void* P : Pieces) std::free(P);
    if (MapPages) MapHeapRoom(Pieces, 2 * 1024 * 1024);
}

// The window's rows of the hits come from the heap of the thread that takes them, which made the
// search's thread. That heap gives its free end back to the system (after a search with many hits or a
// corpus load, at once), and the rows then map each page as they first write it: some 600 faults for
// 8,000 hits over two languages, a millisecond of the window's thread while it keeps pace with the
// search. Room is mapped there ahead, while the query is asked for. The heap gives back only free room
// at its end: the highest piece stays taken until the search is over, and the room below it stays
// mapped, one free block for the rows. Returns that piece.
void* MapCallerRoom() {
    THeapPieces Pieces = TakeHeapPieces();
    void** Cap = nullptr;
    for (void*& P : Pieces)
        if (P && (!Cap || uintptr_t(P) > uintptr_t(*Cap))) Cap = &P;
    if (!Cap) return nullptr;
    MapHeapRoom(Pieces, 4 * 1024 * 1024);
    void* Kept = *Cap;
    *Cap = nullptr;
    for (void* P : Pieces) std::free(P);
    return Kept;
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

TSearchThread::TSearchThread() : FCallerRoom(MapCallerRoom()) {
    try {
        Start(true);
    } catch (...) {
        std::free(FCallerRoom);
        throw;
    }
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
    std::free(FCallerRoom);
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
                             std::unique_ptr<TSearchThread> Thread)
    : FSearch(Search), FWake(std::move(Wake)), FThread(std::move(Thread)) {
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
    {
        const std::lock_guard Lock(FMutex);
        FHits.push_back(std::move(Hit));
        if (!FWoken && FHits.size() >= WakeHits) Wake = FWoken = true;
    }
    if (Wake) FWake();
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
