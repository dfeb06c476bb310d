// TEvent: a manual-reset event, and the wait for the first of several events.
//
// Events that one thread waits on together share a TEventGroup (one mutex and one condition variable),
// so a single wait sees any of them being set. A group must outlive its events.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>

class TEvent;
// No time-out for WaitForAny.
inline constexpr std::chrono::milliseconds Infinite = std::chrono::milliseconds::max();
int WaitForAny(std::initializer_list<const TEvent*> Events, std::chrono::milliseconds Timeout);

class TEventGroup {
public:
    TEventGroup() = default;
    TEventGroup(const TEventGroup&) = delete;
    TEventGroup& operator=(const TEventGroup&) = delete;

private:
    friend class TEvent;
    friend int WaitForAny(std::initializer_list<const TEvent*> Events, std::chrono::milliseconds Timeout);
    std::mutex FMutex;
    std::condition_variable FChanged;
};

// Manual reset: once set, every wait passes until ResetEvent. Initially clear. All calls are safe from
// any thread.
class TEvent {
public:
    // An event of Group (borrowed).
    explicit TEvent(TEventGroup& Group) : FGroup(Group) {}
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    // Blocks until the event is set.
    void WaitFor() const;
    // Blocks until the event is set or Timeout has passed; returns whether it is set.
    bool WaitFor(std::chrono::milliseconds Timeout) const;

private:
    friend int WaitForAny(std::initializer_list<const TEvent*> Events, std::chrono::milliseconds Timeout);
    TEventGroup& FGroup;
    // Written under the group's mutex; read without it only by the short spin of a wait.
    std::atomic<bool> FSet{false};
};

// Blocks until at least one of Events is set (none is reset) and returns the index of the lowest one
// that is set; -1 when Timeout passed first. Every event must belong to the same group; raises
// std::invalid_argument otherwise, or for an empty list.
int WaitForAny(std::initializer_list<const TEvent*> Events, std::chrono::milliseconds Timeout = Infinite);
