// Line-start and page-start blocks ("LINES", "PAGES") read from arbitrary bytes.
#include "engine/ConcIndex.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TIntegerLists>(
        Data, Size,
        [](const TIntegerLists& Lists) {
            for (int32_t I = 0; I < Lists.Count(); ++I)
                if (const TIntegerList* L = Lists.GetItem(I); L && L->Count() > 0) {
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
