// Segment index blocks ("HEADINGS", "PARAGRAPHS", "SENTENCES") read from arbitrary bytes, with the
// lookups the search runs over them checked against a scan of the whole index. An index is read back
// only with its starts in order; its ends may lie anywhere (the markup aligners store ends below starts).
#include <algorithm>
#include <climits>
#include <vector>

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

// The last segment starting at or before P (Strict: before P); -1 when none.
int32_t LastStartingBefore(const TAlignIndex& A, int32_t P, bool Strict) {
    int32_t Last = -1;
    for (int32_t I = 0; I < A.Count(); ++I)
        if (Strict ? A.GetItem(I).Start < P : A.GetItem(I).Start <= P) Last = I;
    return Last;
}

// SegmentOf: the segment of the last start at or before P when P lies before its end, else the next one;
// 0 before the first start.
int32_t ScannedSegmentOf(const TAlignIndex& A, int32_t P) {
    const int32_t K = LastStartingBefore(A, P, false);
    if (K < 0) return 0;
    return P < A.GetItem(K).End ? K : K + 1;
}

void CheckRange(const TAlignIndex& A, int32_t From, int32_t To) {
    const int32_t I = ScannedSegmentOf(A, From);
    const int32_t J = LastStartingBefore(A, To, true);
    const bool Inside = I >= 0 && I < A.Count() && J >= 0 && J < A.Count();
    int32_t Start = 0, End = 0, Length = 0;
    try {
        A.GetRange(From, To, Start, End, Length);
    } catch (const EConcError&) {
        if (Inside) __builtin_trap();
        return;
    }
    if (!Inside) __builtin_trap();
    int64_t Sum = 0;
    for (int32_t K = I; K <= J; ++K) Sum += A.GetItem(K).Length;
    Sum = std::clamp<int64_t>(Sum, INT32_MIN, INT32_MAX);
    if (Start != A.GetItem(I).Start || End != A.GetItem(J).End || Length != Sum) __builtin_trap();
}

void Probe(const TAlignIndex& A) {
    if (!A.IsOrdered()) __builtin_trap();
    std::vector<int32_t> Ends;
    for (int32_t I = 0; I < A.Count(); ++I) Ends.push_back(A.GetItem(I).End);
    std::vector<int32_t> Probes = ProbeValues(A.Values());
    for (const int32_t V : ProbeValues(Ends)) Probes.push_back(V);
    for (const int32_t P : Probes) {
        if (A.SegmentOf(P) != ScannedSegmentOf(A, P)) __builtin_trap();
        if (A.IndexBefore(P) != LastStartingBefore(A, P, true)) __builtin_trap();
    }
    for (size_t K = 0; K < Probes.size() && K < 64; ++K)
        CheckRange(A, Probes[K], Probes[(K * 7 + 3) % Probes.size()]);
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
