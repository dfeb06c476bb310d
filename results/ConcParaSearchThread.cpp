#include "results/ConcParaSearchThread.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcSearch.h"
#include "engine/ConcSearchItems.h"

namespace {

constexpr std::chrono::milliseconds PollInterval{50};
constexpr int GoSignalled = 0;

}  // namespace

// ---- TParaSearchThread --------------------------------------------------------------------------------

TParaSearchThread::TParaSearchThread(const TConcSearchRec& Record, const TParaHitSlot& Slot)
    : Language(Record.Language),
      Not(Record.Not),
      Syntax(Record.Syntax),
      FRecord(TConcSearchRec::CreateCopy(Record)),
      FSlot(Slot),
      FSearch(std::make_unique<TSearch>()) {
    FThread = std::thread([this] { Execute(); });
}

TParaSearchThread::~TParaSearchThread() {
    Terminate();
}

void TParaSearchThread::Terminate() {
    if (!FThread.joinable()) return;
    FTerminate.SetEvent();
    RequestStop();
    FThread.join();
}

void TParaSearchThread::StartStep() {
    if (FThread.joinable()) FGo.SetEvent();
}

bool TParaSearchThread::FinishStep(const TCancelPoll& Poll) {
    bool Stopped = false;
    if (!FThread.joinable()) {
        Hits.clear();
        return Stopped;
    }
    while (!FDone.WaitFor(PollInterval)) {
        if (!Stopped && Poll && Poll()) {
            Stopped = true;
            RequestStop();
        }
    }
    FDone.ResetEvent();
    return Stopped;
}

void TParaSearchThread::RequestStop() {
    FSearch->StopRequested = true;
}

// The previous range has been searched: its hits are in Hits. Go is reset before Done is set, so that
// the main thread's next Go is never lost.
void TParaSearchThread::ReportPending() {
    if (!FRangePending) return;
    FRangePending = false;
    FGo.ResetEvent();
    FDone.SetEvent();
}

bool TParaSearchThread::WaitGo() {
    return WaitForAny({&FGo, &FTerminate}) == GoSignalled;
}

void TParaSearchThread::Execute() {
    try {
        uint8_t Stage = 0;
        std::string ErrorText;
        FSearch->Prepare(*FRecord, Stage, ErrorText);
        if (Stage != 0) throw EConcError(ErrorText);
        // Whether a passage has a match must not depend on the matches of earlier passages.
        FSearch->Query->FrequencyOfHits = 1;
        FSearch->Execute(
            true, std::numeric_limits<int32_t>::max(),
            [this](std::unique_ptr<TConcordItem> Item) { Hits.push_back(std::move(Item)); },
            [this](int32_t File, int32_t&, bool) { return NextRange(File); }, 0);
    } catch (...) {
        FFailure = std::current_exception();
    }
    // Out of files, failed or terminated: every further hit has no match here, until Terminate.
    for (;;) {
        Hits.clear();
        ReportPending();
        if (!WaitGo()) return;
        FRangePending = true;
    }
}

int32_t TParaSearchThread::NextRange(int32_t File) {
    for (;;) {
        // The rest of the passage belongs to the same step.
        if (FNextEntry <= FLastEntry) {
            FSearch->ClipStart = FPassageStart;
            FSearch->ClipEnd = FPassageEnd;
            return FNextEntry++;
        }
        ReportPending();
        if (!WaitGo()) {
            FSearch->Cancelled = true;
            return -1;
        }
        const TConcordItem& Hit = *FSlot.Hit;
        // Go stays set: the search moves on to the hit's file and asks again.
        if (Hit.FileIndex > File) return -1;
        FRangePending = true;
        // A file this language lacks, or one the search has passed, answers the hit with no match.
        if (Hit.FileIndex < File) continue;
        UnitsOfHit(Hit, File);
    }
}

// The passage of the hit in this language may cover several of its units (each target language is
// aligned with language 0 on its own): every one of them is searched.
bool TParaSearchThread::UnitsOfHit(const TConcordItem& Hit, int32_t File) {
    FNextEntry = 0;
    FLastEntry = -1;
    if (Hit.AlignedStart < 0) return false;
    try {
        const std::optional<TAlignedRange> Range =
            MapAlignedRange(FSlot.PrimaryLanguage, Language, File, Hit.AlignedStart, Hit.AlignedEnd);
        const TAlignIndex* Units = GetAlignIndex(Language, File);
        if (!Range || !Units || Range->Start < 0 || Range->Start > Range->End) return false;
        const int32_t First = Units->SegmentOf(Range->Start);
        if (First >= Units->Count()) return false;
        FNextEntry = First;
        FLastEntry = std::max(First, std::min(Units->IndexBefore(Range->End), Units->Count() - 1));
        // Language 0's units are those of its pair with language 1: a passage mapped through another
        // pair may cover only part of one.
        FPassageStart = Range->Start;
        FPassageEnd = Range->End;
        return true;
    } catch (const EConcError&) {
        return false;
    }
}

// ---- TParallelSearch ----------------------------------------------------------------------------------

TParallelSearch::TParallelSearch(int32_t Primary, int32_t LanguageCount,
                                 const std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages>& Records)
    : Primary(Primary), LanguageCount(LanguageCount) {
    FSlot.PrimaryLanguage = Primary;
    for (int32_t L = 0; L < LanguageCount && L < MaxLanguages; ++L) {
        const auto& Record = Records[static_cast<size_t>(L)];
        if (L == Primary || !Record) continue;
        TConcSearchRec Own;
        Own.Assign(*Record);
        Own.Language = L;
        FThreads[static_cast<size_t>(L)] = std::make_unique<TParaSearchThread>(Own, FSlot);
    }
}

TParallelSearch::~TParallelSearch() {
    Terminate();
}

void TParallelSearch::Terminate() {
    for (auto& Thread : FThreads) {
        if (Thread) Thread->Terminate();
    }
}

namespace {

bool IsCancel(const std::exception_ptr& Failure) {
    try {
        std::rethrow_exception(Failure);
    } catch (const EAbort&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

std::exception_ptr TParallelSearch::FirstFailure() const {
    for (const auto& Thread : FThreads) {
        if (Thread && Thread->Failure() && !IsCancel(Thread->Failure())) return Thread->Failure();
    }
    return nullptr;
}

bool TParallelSearch::Step(const TConcordItem& Hit, const TCancelPoll& Poll,
                           const std::function<void()>& WhileWaiting) {
    ++Stepped;
    FSlot.Hit = &Hit;
    for (auto& Thread : FThreads) {
        if (Thread) Thread->StartStep();
    }
    if (WhileWaiting) WhileWaiting();
    bool Keep = true;
    for (auto& Thread : FThreads) {
        if (!Thread) continue;
        if (Thread->FinishStep(Cancelled ? TCancelPoll() : Poll)) {
            Cancelled = true;
            for (auto& Other : FThreads) {
                if (Other) Other->RequestStop();
            }
        }
        Keep = Keep && (!Thread->Hits.empty() != Thread->Not);
    }
    return Keep && !Cancelled;
}

bool SyncParallelHit(TParallelSearch& Search, TItemLists& Lists, std::unique_ptr<TConcordItem> Hit,
                     const TCancelPoll& Poll, const std::function<void(int32_t Language)>& RowsChanged,
                     TKeptLines& Kept) {
    struct TClearHits {
        TParallelSearch& Search;
        ~TClearHits() {
            for (int32_t L = 0; L < MaxLanguages; ++L) {
                if (TParaSearchThread* Thread = Search.Thread(L)) Thread->Hits.clear();
            }
        }
    } ClearHits{Search};
    // The rows kept so far have their collocates counted while the threads search this hit's passage.
    TConcordItems& Primary = *Lists[static_cast<size_t>(Search.Primary)];
    if (!Search.Step(*Hit, Poll, [&Primary] { Primary.CountDeferredCollocates(); })) return false;
    if (++Kept.Count % std::max(1, Kept.Every) != 0) return false;
    AddRowsInStep(Lists, Search.LanguageCount, Search.Primary, std::move(Hit),
                  [&](int32_t L, TConcordItem& Row) {
                      TParaSearchThread* Thread = Search.Thread(L);
                      if (!Thread) return;
                      for (auto& Found : Thread->Hits)
                          AddSecondaryHit(*Lists[static_cast<size_t>(L)], std::move(Found), Row, nullptr,
                                          Thread->Syntax);
                  });
    if (RowsChanged)
        for (int32_t L = 0; L < Search.LanguageCount; ++L) RowsChanged(L);
    return true;
}

std::exception_ptr RunParallelRows(TSearch& Search, TParallelSearch& Threads, TItemLists& Lists,
                                   bool IsThread, int32_t MaxHits, const TCancelPoll& Poll,
                                   const std::function<void(int32_t Language)>& RowsChanged) {
    struct TTerminate {
        TParallelSearch& Threads;
        ~TTerminate() { Threads.Terminate(); }
    } Terminate{Threads};
    // The main thread mostly waits for the other languages' threads: it counts the collocates itself
    // then, rather than a thread of the list competing with them for the processors.
    struct TDeferCollocates {
        TConcordItems& List;
        explicit TDeferCollocates(TConcordItems& List) : List(List) { List.SetDeferCollocates(true); }
        ~TDeferCollocates() { List.SetDeferCollocates(false); }
    } Defer{*Lists[static_cast<size_t>(Threads.Primary)]};
    // The other languages decide which lines are kept, so the frequency of hits is applied here, to
    // the kept lines, and the search hands on every match.
    TKeptLines Kept{Search.Query ? Search.Query->FrequencyOfHits : 1, 0};
    Search.FrequencyByCaller = true;
    Search.Execute(
        IsThread, MaxHits,
        [&](std::unique_ptr<TConcordItem> Hit) {
            const bool Shown = SyncParallelHit(Threads, Lists, std::move(Hit), Poll, RowsChanged, Kept);
            if (Threads.Cancelled) {
                Search.Cancelled = true;
                return;
            }
            // A line not shown does not count for the maximum.
            if (!Shown) throw EAbort();
        },
        {}, 0);
    Threads.Terminate();
    return Threads.FirstFailure();
}
