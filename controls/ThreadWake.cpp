#include "controls/ThreadWake.h"

#include <utility>

TThreadWake::TThreadWake(std::function<void()> OnWake, QObject* Parent)
    : QObject(Parent), FOnWake(std::move(OnWake)) {
    connect(
        this, &TThreadWake::Woken, this, [this] { FOnWake(); }, Qt::QueuedConnection);
}
