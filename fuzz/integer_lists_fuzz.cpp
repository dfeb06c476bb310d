// Line-start and page-start blocks ("LINES", "PAGES") read from arbitrary bytes, with every lookup over
// what was read checked against a scan of the whole list (a list is read back only when ordered).
#include <climits>
#include <vector>

#include "engine/ConcIndex.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Find: the first entry equal to V, else the first above it (Count when none).
void CheckFind(const TIntegerList& L, int32_t V) {
    int32_t First = 0;
    while (First < L.Count() && L[First] < V) ++First;
    int32_t Index = -7;
    const bool Found = L.Find(V, Index);
    if (Index != First || Found != (First < L.Count() && L[First] == V)) __builtin_trap();
}

// IndexOfFloor: the last entry at or below V, -1 when none.
void CheckFloor(const TIntegerList& L, int32_t V) {
    int32_t Last = -1;
    for (int32_t I = 0; I < L.Count(); ++I)
        if (L[I] <= V) Last = I;
    if (L.IndexOfFloor(V) != Last) __builtin_trap();
}

void Probe(const TIntegerList& L) {
    if (!L.IsOrdered()) __builtin_trap();
    for (const int32_t V : ProbeValues(L.Values())) {
        CheckFind(L, V);
        CheckFloor(L, V);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TIntegerLists>(
        Data, Size,
        [](const TIntegerLists& Lists) {
            for (int32_t I = 0; I < Lists.Count(); ++I)
                if (const TIntegerList* L = Lists.GetItem(I)) Probe(*L);
        },
        [](const TIntegerLists& A, const TIntegerLists& B) {
            return SameSlots(
                A, B, [](const TIntegerList& X, const TIntegerList& Y) { return X.Values() == Y.Values(); });
        });
    return 0;
}
