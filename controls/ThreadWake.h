// A call that any thread asks the thread of the object's maker to run. The wake is a signal without
// arguments that Qt queues, so the asking thread builds nothing that the maker's thread then reads: what
// the call needs reaches it through the caller's own locks and atomics. A queued functor would be built
// by the asking thread and read and freed by the other, handed over under Qt's locks, which the thread
// sanitizer cannot see.
#pragma once

#include <QObject>

#include <functional>

class TThreadWake : public QObject {
    Q_OBJECT
public:
    // OnWake runs on the thread that makes the object, once for every wake that reaches it.
    explicit TThreadWake(std::function<void()> OnWake, QObject* Parent = nullptr);

    // Any thread: queues one run of OnWake on the maker's thread. Dropped when the object is destroyed
    // first; the object must outlive this call itself.
    void Wake() { emit Woken(); }

signals:
    void Woken();

private:
    std::function<void()> FOnWake;
};
