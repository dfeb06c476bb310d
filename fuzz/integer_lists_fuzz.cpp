// Line-start and page-start blocks ("LINES", "PAGES") read from arbitrary bytes.
#include "engine/ConcIndex.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TIntegerLists>(
        Data, Size,
        [](const TIntegerLists& Lists) {
            for (const auto& Slot : Lists)
                if (const TIntegerList* L = Slot.get(); L && L->Count() > 0) {
                    int32_t Index = 0;
                    L->Find((*L)[0], Index);
                    L->IndexOfFloor((*L)[L->Count() - 1]);
                }
        },
        [](const TIntegerLists& A, const TIntegerLists& B) {
            return SameSlots(
                A, B, [](const TIntegerList& X, const TIntegerList& Y) { return X.Values() == Y.Values(); });
        });
    return 0;
}
