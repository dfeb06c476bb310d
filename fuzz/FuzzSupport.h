// What every block fuzzer shares: a silent message backend, and the drive that reads blocks from the
// input as a workspace does (one after another to the end), then checks that what was read saves and
// reads back unchanged.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ui/Msg.h"
#include "engine/ConcStreamUtils.h"

class TSilentMessages : public IMessageBackend {
public:
    TSilentMessages() { SetMessageBackend(this); }
    int Show(const TMessageRequest&) override { return mrOk; }
};

// Reads every block of type TList from Data; for each, Visit (List) may probe the loaded data, and a
// save and reload must give a list that Same (A, B) accepts. Traps on the first difference.
template <class TList, class TVisit, class TSame>
void DriveBlocks(const uint8_t* Data, size_t Size, TVisit Visit, TSame Same) {
    static TSilentMessages Silent;
    TMemoryStream Input(std::string_view(reinterpret_cast<const char*>(Data), Size));
    while (Input.Remaining() > 0) {
        TList List;
        List.LoadFromStream(Input);
        Visit(List);
        TMemoryStream Copy;
        List.SaveToStream(Copy);
        Copy.SetPosition(0);
        TList Again;
        if (!Again.LoadFromStream(Copy) || Copy.Remaining() != 0 || !Same(List, Again)) __builtin_trap();
    }
}

// Same slot by slot: both empty, or both present and Equal (A, B).
template <class TList, class TEqual>
bool SameSlots(const TList& A, const TList& B, TEqual Equal) {
    if (A.Count() != B.Count()) return false;
    for (int32_t I = 0; I < A.Count(); ++I) {
        const auto* X = A.GetItem(I);
        const auto* Y = B.GetItem(I);
        if ((X == nullptr) != (Y == nullptr)) return false;
        if (X && !Equal(*X, *Y)) return false;
    }
    return true;
}
