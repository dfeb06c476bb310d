// Segment index blocks ("HEADINGS", "PARAGRAPHS", "SENTENCES") read from arbitrary bytes, with the
// lookups the search runs over them: loaded starts need not be sorted nor ends above starts.
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool SameSegments(const TAlignIndex& X, const TAlignIndex& Y) {
    if (X.Count() != Y.Count()) return false;
    for (int32_t I = 0; I < X.Count(); ++I)
        if (!(X.GetItem(I) == Y.GetItem(I)) || Y.GetFlag(I)) return false;
    return true;
}

void Probe(const TAlignIndex& A) {
    for (int32_t I = 0; I < A.Count() && I < 64; ++I) {
        const TSegment S = A.GetItem(I);
        A.SegmentOf(S.Start);
        A.IndexBefore(S.End);
        try {
            int32_t Start, End, Length;
            A.GetRange(S.Start, S.End, Start, End, Length);
        } catch (const EConcError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TAlignIndexes>(
        Data, Size,
        [](const TAlignIndexes& Lists) {
            for (int32_t I = 0; I < Lists.Count(); ++I)
                if (const TAlignIndex* A = Lists.GetItem(I)) Probe(*A);
        },
        [](const TAlignIndexes& A, const TAlignIndexes& B) { return SameSlots(A, B, SameSegments); });
    return 0;
}
