#include "results/ConcSearchRunner.h"

#include <utility>

#include "engine/ConcSearchItems.h"

TSearchRunner::TSearchRunner(TSearch& Search, int32_t MaxHits, std::function<void()> Wake)
    : FSearch(Search), FWake(std::move(Wake)) {
    FSearch.Reach = &Reach;
    try {
        FThread = std::thread([this, MaxHits] { Run(MaxHits); });
    } catch (...) {
        FSearch.Reach = nullptr;
        throw;
    }
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
    if (FThread.joinable()) FThread.join();
    FSearch.Reach = nullptr;
}
