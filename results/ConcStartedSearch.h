// A single search already running on a thread of its own, its hits waiting for the concordance window
// that is to show them (see TTessivorForm::RunSearch).
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "controls/ThreadWake.h"
#include "engine/ConcSearch.h"
#include "engine/ConcUtils.h"
#include "results/ConcSearchRunner.h"
#include "results/ConcTessivor.h"

struct TTessivorForm::TStartedSearch {
    // The corpus commands are off from the search's start (it may start while its query dialog closes,
    // with the event loop turning) until the window's own wait takes over.
    std::optional<TWaitScope> Wait;
    TSearch Search;
    std::chrono::steady_clock::time_point Started;
    // The window's look at the search once it follows it; a wake before then leaves the hits waiting.
    std::function<void()> OnWake;
    // Woken by the search's thread; wakes still queued die with it.
    TThreadWake Waker{[this] {
        if (OnWake) OnWake();
    }};
    // Stopped and joined before what it borrows goes.
    std::optional<TSearchRunner> Runner;
};
