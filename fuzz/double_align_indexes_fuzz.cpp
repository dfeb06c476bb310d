// Alignment blocks ("ALIGN12" and its kin) read from arbitrary bytes, with the range mapping that the
// search and the parallel views run over them.
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool SameSegments(const TAlignIndex& X, const TAlignIndex& Y) {
    if (X.Count() != Y.Count()) return false;
    for (int32_t I = 0; I < X.Count(); ++I)
        if (!(X.GetItem(I) == Y.GetItem(I))) return false;
    return true;
}

void Probe(const TDoubleAlignIndex& D) {
    for (int32_t I = 0; I < D.Side1.Count() && I < 64; ++I) {
        const TSegment S = D.Side1.GetItem(I);
        try {
            int32_t Start, End;
            D.MapToTarget(S.Start, S.End, Start, End);
            D.MapToSource(Start, End, Start, End);
        } catch (const EConcError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TDoubleAlignIndexes>(
        Data, Size,
        [](const TDoubleAlignIndexes& Pairs) {
            for (int32_t I = 0; I < Pairs.Count(); ++I)
                if (const TDoubleAlignIndex* D = Pairs.GetItem(I)) Probe(*D);
        },
        [](const TDoubleAlignIndexes& A, const TDoubleAlignIndexes& B) {
            return SameSlots(A, B, [](const TDoubleAlignIndex& X, const TDoubleAlignIndex& Y) {
                return SameSegments(X.Side1, Y.Side1) && SameSegments(X.Side2, Y.Side2);
            });
        });
    return 0;
}
