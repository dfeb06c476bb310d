// The parallel search without the window: one TParaSearchThread per language other than the primary
// searches, for each primary hit, the aligned unit of that hit in its own language, in lock-step with
// the main thread, which keeps the hit only when every such language's answer ("found a match" anywhere
// in the hit's aligned passage, whatever number of that language's units it covers) differs from its
// "Not" flag.
//
// The lock-step: the main thread writes the current hit into the shared slot, sets the Go of every
// thread and waits for each one's Done; a thread reads the hit only after Go, searches the one unit,
// resets Go and sets Done. The threads search their units at the same time (each its own language's
// files, reading the shared corpus state only), and none runs while the main thread touches its hit
// list or the hit. A thread leaves the lock-step only through Terminate; after its search ends for any
// other reason (out of files, a failure, a stop) it answers every step with no hits.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/ConcConfig.h"
#include "platform/Event.h"
#include "results/ConcSearchRows.h"

class TConcordItem;
class TSearch;

// The primary hit being handed to the threads: written by the main thread before it sets a thread's Go,
// read by that thread after its wait on Go. The item is borrowed.
struct TParaHitSlot {
    int32_t PrimaryLanguage = 0;
    const TConcordItem* Hit = nullptr;
};

// Asked now and then while the main thread waits for a thread; true asks the search to stop.
using TCancelPoll = std::function<bool()>;

class TParaSearchThread {
public:
    // Starts the thread at once. It prepares its own search over its own copy of Record (the thread's
    // language is the record's), with frequency of hits 1 and no maximum, and searches only the unit of
    // the hit in Slot (borrowed; it must outlive the thread). A query that does not compile counts as a
    // failure of the thread.
    TParaSearchThread(const TConcSearchRec& Record, const TParaHitSlot& Slot);
    // Terminates and joins the thread.
    ~TParaSearchThread();
    TParaSearchThread(const TParaSearchThread&) = delete;
    TParaSearchThread& operator=(const TParaSearchThread&) = delete;

    // Main thread: lets the thread search the unit of the slot's hit; FinishStep must follow before the
    // slot changes.
    void StartStep();
    // Main thread: waits until the thread has searched the unit. While waiting, Poll (may be empty) is
    // asked about every 50 ms; once it answers true the thread's search is asked to stop and the answer is
    // worthless. Returns whether Poll asked to stop. The hits found are in Hits until the next StartStep.
    bool FinishStep(const TCancelPoll& Poll);
    // Asks the thread's search to stop, from any thread: a regular expression gives up within about
    // 100 ms, and the steps from the next one on find nothing.
    void RequestStop();
    // Sets Terminate, stops the thread's search and joins the thread. Idempotent.
    void Terminate();
    // After Terminate: what the thread's search raised (also a query that did not compile, as
    // EConcError), or nullptr.
    std::exception_ptr Failure() const { return FFailure; }

    const int32_t Language;
    const bool Not;
    const uint8_t Syntax;  // of the thread's query
    // The hits of the last step, in file order; owned. Touched by the main thread only between FinishStep
    // and the next StartStep.
    std::vector<std::unique_ptr<TConcordItem>> Hits;

private:
    void Execute();
    int32_t NextRange(int32_t File);
    bool UnitsOfHit(const TConcordItem& Hit, int32_t File);
    void ReportPending();
    bool WaitGo();

    std::unique_ptr<TConcSearchRec> FRecord;
    const TParaHitSlot& FSlot;
    std::unique_ptr<TSearch> FSearch;
    TEventGroup FEvents;
    TEvent FGo{FEvents}, FDone{FEvents}, FTerminate{FEvents};
    bool FRangePending = false;  // thread side only
    // Thread side: the entries of the current hit's passage still to search.
    int32_t FNextEntry = 0, FLastEntry = -1;
    int32_t FPassageStart = 0, FPassageEnd = 0;
    std::exception_ptr FFailure;
    std::thread FThread;
};

// The threads of one parallel search: one per language of a window, other than the primary, that has
// a record.
class TParallelSearch {
public:
    // Starts the threads for the languages 0 .. LanguageCount - 1 other than Primary whose record is not
    // nullptr; each gets a copy of its record.
    TParallelSearch(int32_t Primary, int32_t LanguageCount,
                    const std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages>& Records);
    // Terminates and joins every thread.
    ~TParallelSearch();
    TParallelSearch(const TParallelSearch&) = delete;
    TParallelSearch& operator=(const TParallelSearch&) = delete;

    // Steps every thread for Hit (borrowed until the next Step), every one of them even when the hit is
    // already lost. Returns Keep: for every thread, whether it found a match differs from its "Not"
    // flag; false once Poll asked to stop (Cancelled is then set, and every thread asked to stop).
    // WhileWaiting (may be empty) runs once the threads have started, before waiting for them.
    bool Step(const TConcordItem& Hit, const TCancelPoll& Poll,
              const std::function<void()>& WhileWaiting = {});
    // The thread of Language, or nullptr.
    TParaSearchThread* Thread(int32_t Language) const {
        return FThreads[static_cast<size_t>(Language)].get();
    }
    // Terminates and joins every thread (the threads stay, for their Failure). Idempotent.
    void Terminate();
    // The first failure of a thread, in language order, after Terminate; nullptr when none failed. A
    // search stopped through a cancel is no failure.
    std::exception_ptr FirstFailure() const;

    const int32_t Primary;
    const int32_t LanguageCount;
    bool Cancelled = false;
    // The primary hits stepped so far, kept or not.
    int64_t Stepped = 0;

private:
    TParaHitSlot FSlot;
    std::array<std::unique_ptr<TParaSearchThread>, MaxLanguages> FThreads;
};

// The lines a parallel search keeps, of which every Every-th is shown ("Freq. of hits").
struct TKeptLines {
    int32_t Every = 1;
    int32_t Count = 0;  // lines kept so far, shown or not
};

// The main thread's side of one primary hit: steps the threads; a kept hit is counted in Kept, and when
// it is the Kept.Every-th kept line it is appended to the primary list and every other language of the
// window gets its aligned row with the hits its thread found; any other hit is freed. The threads' hit
// lists are empty afterwards. Lists must hold a list for every language of the window. RowsChanged (may
// be empty) is told, in language order, each language whose list grew. Returns whether the hit was
// shown. Raises what building the rows raises (the threads stay in step).
bool SyncParallelHit(TParallelSearch& Search, TItemLists& Lists, std::unique_ptr<TConcordItem> Hit,
                     const TCancelPoll& Poll, const std::function<void(int32_t Language)>& RowsChanged,
                     TKeptLines& Kept);

// The parallel search of a window's lists: runs Search (prepared with the primary record) with
// SyncParallelHit as its hit callback, IsThread and MaxHits going to TSearch::Execute. Every match of the
// primary query is stepped, and the query's frequency of hits counts the kept lines: every N-th kept
// line is shown. A hit that is not shown is rejected with the silent abort, so the maximum counts shown
// lines only. A cancel from Poll also stops Search. The threads are terminated and joined afterwards,
// also when the search raises (which passes on). Returns what Threads.FirstFailure returns.
std::exception_ptr RunParallelRows(TSearch& Search, TParallelSearch& Threads, TItemLists& Lists,
                                   bool IsThread, int32_t MaxHits, const TCancelPoll& Poll,
                                   const std::function<void(int32_t Language)>& RowsChanged);
