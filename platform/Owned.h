// TOwned<T>: the sole owner of one T, or empty.
//
// Unlike std::unique_ptr<T>, it can be destroyed, moved and reset where T is only declared: the
// deleter is captured where the object is handed over, which is always code that knows the complete
// type. Containers of the corpus model use it for per-file slots whose element types live in other units.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

template <class T>
class TOwned {
public:
    TOwned() noexcept = default;
    TOwned(std::nullptr_t) noexcept {}
    // Takes over P. U is T or a class derived from it and must be complete here.
    template <class U>
    TOwned(std::unique_ptr<U> P) noexcept : FPtr(P.release()), FDelete(&DeleteAs<U>) {}

    TOwned(TOwned&& Other) noexcept
        : FPtr(std::exchange(Other.FPtr, nullptr)), FDelete(std::exchange(Other.FDelete, nullptr)) {}
    TOwned& operator=(TOwned&& Other) noexcept {
        if (this != &Other) {
            reset();
            FPtr = std::exchange(Other.FPtr, nullptr);
            FDelete = std::exchange(Other.FDelete, nullptr);
        }
        return *this;
    }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;
    ~TOwned() { reset(); }

    // Frees the object; the slot is empty afterwards.
    void reset() noexcept {
        if (FPtr) FDelete(std::exchange(FPtr, nullptr));
        FDelete = nullptr;
    }

    T* get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    T& operator*() const noexcept { return *FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }

private:
    template <class U>
    static void DeleteAs(T* P) noexcept {
        delete static_cast<U*>(P);
    }

    T* FPtr = nullptr;
    void (*FDelete)(T*) noexcept = nullptr;
};

// A new T built from Args, owned by the result.
template <class T, class... A>
TOwned<T> MakeOwned(A&&... Args) {
    return TOwned<T>(std::make_unique<T>(std::forward<A>(Args)...));
}
