// A concordance window's search run on a thread of its own, so that the window's own work for each hit
// (its rows in every language, collocates, panes) and the event loop go on beside the scan instead of
// between its steps. Qt-free: the window says how it wants to be woken.
//
// Threads: the search runs as a search thread runs it (no window, no message, no cursor; it reads the
// corpus through its own readers and the shared locked streams) and tells its progress through the
// search's Reach. Everything else of TSearchRunner is called on the thread that made it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ConcSearch.h"

class TConcordItem;

// A thread for one search to come, made ahead (while its query is asked for) with its heap grown and
// mapped: a runner given it starts its search without waiting for a thread to start, its heap to grow
// and the heap's first pages to be mapped as the search writes them. Dropped unused, it ends.
class TSearchThread {
public:
    // Raises std::system_error when no thread can be started.
    TSearchThread();
    ~TSearchThread();
    TSearchThread(const TSearchThread&) = delete;
    TSearchThread& operator=(const TSearchThread&) = delete;

private:
    friend class TSearchRunner;
    // A thread made as its search starts: the search would wait for the mapping of pages it may not need.
    struct TNow {};
    explicit TSearchThread(TNow);
    void Start(bool MapPages);
    // Runs Job on the thread, which then ends; once.
    void Run(std::function<void()> Job);
    // Waits for the thread to end.
    void Join();

    std::mutex FMutex;
    std::condition_variable FGiven;
    std::function<void()> FJob;  // under FMutex
    bool FDropped = false;       // under FMutex
    std::thread FThread;
};

class TSearchRunner {
public:
    // How many hits wait before the taker is woken; fewer are taken when the search ends or at the
    // taker's own pace.
    static constexpr size_t WakeHits = 128;

    // A taker woken this long ago that has not taken is held up: the search then gives its processor up
    // (Yield), at most YieldsAtMost times a search and once in this long. The system may have put on the
    // search's processor the very thread the taker waits for (the display server answering the window,
    // or the program's own reader of the display's events), which would otherwise wait for the next
    // turn of the system's clock: milliseconds with the window stalled. Where nothing else waits for the
    // processor, giving it up costs a system call; the limit bounds what it can cost the search on a busy
    // machine.
    static constexpr std::chrono::microseconds LateAfter{250};
    static constexpr int YieldsAtMost = 16;

    // Starts Search (prepared, borrowed until Wait returns) on a new thread: Execute(true, MaxHits, ...,
    // no range callback) with Search.Reach set to this runner's Reach. Wake is called on the search's
    // thread when WakeHits hits wait and the taker was not woken since it last took, and once when the
    // search has ended; it must only ask the taker's thread to call Take. Runs on Thread when given (made
    // ahead; taken over). Yield (called on the search's thread) gives the processor up; empty: the
    // system's sched_yield. Raises std::system_error when no thread can be started (nothing runs then).
    TSearchRunner(TSearch& Search, int32_t MaxHits, std::function<void()> Wake,
                  std::unique_ptr<TSearchThread> Thread = nullptr, std::function<void()> Yield = {});
    // Stops the search and waits for it.
    ~TSearchRunner();
    TSearchRunner(const TSearchRunner&) = delete;
    TSearchRunner& operator=(const TSearchRunner&) = delete;

    // Appends the hits found since the last call to Hits, in the order found; true once the search has
    // ended and every hit has been taken.
    bool Take(std::vector<std::unique_ptr<TConcordItem>>& Hits);
    // Asks the search to stop; it ends within moments (a regular expression within about 100 ms).
    void Stop();
    // Waits for the search's thread to end. Afterwards Failure holds what the search raised (nullptr
    // when it ended normally or was stopped), and the search's counts and ChangedFiles may be read.
    void Wait();
    std::exception_ptr Failure() const { return FFailure; }

    TSearchReach Reach;

private:
    void Run(int32_t MaxHits);
    void Queue(std::unique_ptr<TConcordItem> Hit);

    // On the search's thread: gives the processor up when the taker is held up (LateAfter).
    void YieldIfLate();

    TSearch& FSearch;
    std::function<void()> FWake;
    std::function<void()> FYield;
    std::mutex FMutex;
    std::vector<std::unique_ptr<TConcordItem>> FHits;  // under FMutex
    bool FWoken = false;                               // under FMutex
    bool FEnded = false;                               // under FMutex
    // The search's thread's own: when it last woke the taker and gave its processor up, and how often.
    std::chrono::steady_clock::time_point FWokenAt, FYieldedAt;
    int FYields = 0;
    uint32_t FHitsWhileWoken = 0;
    std::exception_ptr FFailure;  // the search's thread until Wait, then the taker's
    std::unique_ptr<TSearchThread> FThread;
};
