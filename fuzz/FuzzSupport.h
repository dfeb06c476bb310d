// What every block fuzzer shares: a silent message backend, and the drive that reads blocks from the
// input as a workspace does (one after another to the end), then checks that what was read saves and
// reads back unchanged.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <vector>

#include "engine/ConcStreamUtils.h"
#include "ui/Msg.h"

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

// The values a lookup over an ordered list is asked about: the ends of the number range, and each of up
// to 48 entries spread over the list with its neighbours, where a search by halves goes wrong by one.
inline std::vector<int32_t> ProbeValues(const std::vector<int32_t>& Values) {
    constexpr int32_t Min = std::numeric_limits<int32_t>::min(), Max = std::numeric_limits<int32_t>::max();
    std::vector<int32_t> Probes{Min, Max, -1, 0};
    const size_t Step = Values.size() / 48 + 1;
    for (size_t I = 0; I < Values.size(); I += Step) {
        const int32_t V = Values[I];
        Probes.push_back(V);
        if (V > Min) Probes.push_back(V - 1);
        if (V < Max) Probes.push_back(V + 1);
    }
    if (!Values.empty()) Probes.push_back(Values.back());
    return Probes;
}
