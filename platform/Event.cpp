#include "platform/Event.h"

#include <stdexcept>
#include <thread>

namespace {

// A wait first looks at the flags this many times, yielding in between, before it sleeps: in a lock-step
// the answer usually comes within microseconds, far sooner than a sleep and a wake-up take.
constexpr int SpinChecks = 64;

}  // namespace

void TEvent::SetEvent() {
    {
        const std::lock_guard<std::mutex> lock(FGroup.FMutex);
        FSet = true;
    }
    FGroup.FChanged.notify_all();
}

void TEvent::ResetEvent() {
    const std::lock_guard<std::mutex> lock(FGroup.FMutex);
    FSet = false;
}

bool TEvent::IsSet() const {
    const std::lock_guard<std::mutex> lock(FGroup.FMutex);
    return FSet;
}

void TEvent::WaitFor() const {
    WaitForAny({this});
}

bool TEvent::WaitFor(std::chrono::milliseconds Timeout) const {
    return WaitForAny({this}, Timeout) == 0;
}

int WaitForAny(std::initializer_list<const TEvent*> Events, std::chrono::milliseconds Timeout) {
    if (Events.size() == 0) throw std::invalid_argument("WaitForAny needs at least one event.");
    TEventGroup& group = (*Events.begin())->FGroup;
    for (const TEvent* event : Events) {
        if (&event->FGroup != &group) throw std::invalid_argument("WaitForAny over events of two groups.");
    }
    auto signalled = [&] {
        int index = 0;
        for (const TEvent* event : Events) {
            if (event->FSet.load(std::memory_order_acquire)) return index;
            ++index;
        }
        return -1;
    };
    for (int spin = 0; spin < SpinChecks && signalled() < 0; ++spin) std::this_thread::yield();
    std::unique_lock<std::mutex> lock(group.FMutex);
    if (Timeout == Infinite) {
        group.FChanged.wait(lock, [&] { return signalled() >= 0; });
    } else {
        group.FChanged.wait_for(lock, Timeout, [&] { return signalled() >= 0; });
    }
    return signalled();
}
