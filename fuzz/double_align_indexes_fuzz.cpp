// Alignment blocks ("ALIGN12" and its kin) read from arbitrary bytes, with the range mapping that the
// search and the parallel views run over them checked against a scan of both sides. A pair is read
// back only with the starts of each side in order; its sides may differ in length.
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
        if (!(X.GetItem(I) == Y.GetItem(I))) return false;
    return true;
}

// The pair holding P on one side: the last segment starting at or before P; -1 when none.
int32_t Holding(const TAlignIndex& Side, int32_t P) {
    int32_t Last = -1;
    for (int32_t I = 0; I < Side.Count(); ++I)
        if (Side.GetItem(I).Start <= P) Last = I;
    return Last;
}

// From the start of the pair holding From to the end of the pair holding To - 1 (the pair of From when
// that one comes later); a pair beyond the shorter side maps to the end of the other side's last
// segment. Refused when From lies before the first segment or the other side is empty.
void CheckMapping(const TDoubleAlignIndex& D, bool ToTarget, int32_t From, int32_t To) {
    const TAlignIndex& Side = ToTarget ? D.Side1 : D.Side2;
    const TAlignIndex& Other = ToTarget ? D.Side2 : D.Side1;
    const int32_t I = Holding(Side, From);
    const int32_t J = Holding(Side, To == INT32_MIN ? To : To - 1);
    const int32_t N = Other.Count();
    int32_t Start = 0, End = 0;
    try {
        if (ToTarget)
            D.MapToTarget(From, To, Start, End);
        else
            D.MapToSource(From, To, Start, End);
    } catch (const EConcError&) {
        if (I >= 0 && N > 0) __builtin_trap();
        return;
    }
    if (I < 0 || N == 0) __builtin_trap();
    const int32_t ExpectedStart = I < N ? Other.GetItem(I).Start : Other.GetItem(N - 1).End;
    const int32_t ExpectedEnd = Other.GetItem(std::min(std::max(I, J), N - 1)).End;
    if (Start != ExpectedStart || End != ExpectedEnd) __builtin_trap();
}

std::vector<int32_t> Probes(const TAlignIndex& Side) {
    std::vector<int32_t> Ends;
    for (int32_t I = 0; I < Side.Count(); ++I) Ends.push_back(Side.GetItem(I).End);
    std::vector<int32_t> Values = ProbeValues(Side.Values());
    for (const int32_t V : ProbeValues(Ends)) Values.push_back(V);
    return Values;
}

void Probe(const TDoubleAlignIndex& D) {
    if (!D.Side1.IsOrdered() || !D.Side2.IsOrdered()) __builtin_trap();
    for (const bool ToTarget : {true, false}) {
        const std::vector<int32_t> Values = Probes(ToTarget ? D.Side1 : D.Side2);
        for (size_t K = 0; K < Values.size(); ++K)
            CheckMapping(D, ToTarget, Values[K], Values[(K * 7 + 3) % Values.size()]);
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
