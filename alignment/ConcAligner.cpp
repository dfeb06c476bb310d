#include "alignment/ConcAligner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"

namespace {

constexpr int32_t PenaltyInsertDelete = 450;  // 1-0 and 0-1
constexpr int32_t PenaltyContract = 230;      // 2-1 and 1-2
constexpr int32_t PenaltyMerge = 440;         // 2-2
constexpr int32_t CostNoProbability = 2500;

// The formula itself. P(z) is formed first and 1 - P(z) taken from it, so that the probability
// becomes exactly 0 for large z and the cost falls to 2500 there, as the aligner has always charged.
int32_t ComputeMatchCost(int32_t Len1, int32_t Len2) {
    if (Len1 == 0 && Len2 == 0) return 0;
    const double c = 1.0;
    const double s2 = 7.3;
    const double Mean = (Len1 + Len2 / c) / 2;
    double z = (c * Len1 - Len2) / std::sqrt(s2 * Mean);
    if (z < 0) z = -z;
    const double t = 1 / (1 + 0.2316419 * z);
    const double Pz =
        1 - 0.3989423 * std::exp(-z * z / 2) * t *
                (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429))));
    const double Pd = 2 * (1 - Pz);
    // nearbyint rounds half to even under the default rounding mode.
    if (Pd > 0) return static_cast<int32_t>(std::nearbyint(-100 * std::log(Pd)));
    return CostNoProbability;
}

// Costs of short lengths, computed once each: a sentence pair costs a square root, an exponential and
// a logarithm otherwise, six times per cell. An entry holds cost + 1, 0 meaning not computed yet; the
// entries are atomic so that aligners on several threads may share the table.
constexpr int32_t CachedLengths = 1024;
std::atomic<int16_t> MatchCostCache[CachedLengths * CachedLengths];

inline int32_t CachedMatchCost(int32_t Len1, int32_t Len2) {
    if (static_cast<uint32_t>(Len1) >= CachedLengths || static_cast<uint32_t>(Len2) >= CachedLengths)
        return ComputeMatchCost(Len1, Len2);
    std::atomic<int16_t>& Slot = MatchCostCache[Len1 * CachedLengths + Len2];
    const int16_t Known = Slot.load(std::memory_order_relaxed);
    if (Known != 0) return Known - 1;
    const int32_t Cost = ComputeMatchCost(Len1, Len2);
    Slot.store(static_cast<int16_t>(Cost + 1), std::memory_order_relaxed);
    return Cost;
}

inline int32_t FastBeadCost(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    if (X2 == 0 && Y2 == 0) {
        const int32_t Cost = CachedMatchCost(X1, Y1);
        return (X1 == 0 || Y1 == 0) ? Cost + PenaltyInsertDelete : Cost;
    }
    if (X2 == 0) return CachedMatchCost(X1, Y1 + Y2) + PenaltyContract;
    if (Y2 == 0) return CachedMatchCost(X1 + X2, Y1) + PenaltyContract;
    return CachedMatchCost(X1 + X2, Y1 + Y2) + PenaltyMerge;
}

// The moves of the programme, in the order in which equal costs are decided; mvNone only at (0, 0).
enum TMove : uint8_t { mvNone, mv11, mv10, mv01, mv21, mv12, mv22 };
constexpr int32_t MoveDI[] = {0, 1, 1, 0, 2, 1, 2};
constexpr int32_t MoveDJ[] = {0, 1, 0, 1, 1, 2, 2};

// The chosen move of every cell (i, j), at j * (M + 1) + i. Only the costs of the last three target
// columns are kept, since no move reaches further back; the costs add up in 64 bits so that no run,
// however long, wraps.
template <class TCost>
std::vector<uint8_t> RunProgramme(std::span<const int32_t> X, std::span<const int32_t> Y, TCost&& Cost) {
    const size_t M = X.size(), N = Y.size();
    const size_t Rows = M + 1;
    std::vector<uint8_t> Moves(Rows * (N + 1));
    std::vector<int64_t> Columns(3 * Rows);
    for (size_t j = 0; j <= N; ++j) {
        int64_t* D0 = &Columns[(j % 3) * Rows];
        const int64_t* D1 = &Columns[((j + 2) % 3) * Rows];  // column j - 1
        const int64_t* D2 = &Columns[((j + 1) % 3) * Rows];  // column j - 2
        uint8_t* Move = &Moves[j * Rows];
        // Lengths of the target units the moves into column j take (counted from 1 in the formulas).
        const int32_t yj = j >= 1 ? Y[j - 1] : 0;
        const int32_t yj1 = j >= 2 ? Y[j - 2] : 0;
        for (size_t i = 0; i <= M; ++i) {
            const int32_t xi = i >= 1 ? X[i - 1] : 0;
            const int32_t xi1 = i >= 2 ? X[i - 2] : 0;
            int64_t Best = std::numeric_limits<int64_t>::max();
            uint8_t Chosen = mvNone;
            auto Consider = [&](int64_t Candidate, TMove Kind) {
                if (Candidate < Best) {
                    Best = Candidate;
                    Chosen = Kind;
                }
            };
            if (i >= 1 && j >= 1) Consider(D1[i - 1] + Cost(xi, yj, 0, 0), mv11);
            if (i >= 1) Consider(D0[i - 1] + Cost(xi, 0, 0, 0), mv10);
            if (j >= 1) Consider(D1[i] + Cost(0, yj, 0, 0), mv01);
            if (i >= 2 && j >= 1) Consider(D1[i - 2] + Cost(xi1, yj, xi, 0), mv21);
            if (i >= 1 && j >= 2) Consider(D2[i - 1] + Cost(xi, yj1, 0, yj), mv12);
            if (i >= 2 && j >= 2) Consider(D2[i - 2] + Cost(xi1, yj1, xi, yj), mv22);
            D0[i] = Chosen == mvNone ? 0 : Best;
            Move[i] = Chosen;
        }
    }
    return Moves;
}

// Walks the moves back from (M, N), handing each move with the cell it leaves to Visit.
template <class TVisit>
void TraceBack(const std::vector<uint8_t>& Moves, size_t M, size_t N, TVisit&& Visit) {
    size_t i = M, j = N;
    while (i > 0 || j > 0) {
        const uint8_t Move = Moves[j * (M + 1) + i];
        if (Move == mvNone) throw EConcError(InvalidAlignmentText);
        Visit(Move, static_cast<int32_t>(i), static_cast<int32_t>(j));
        i -= static_cast<size_t>(MoveDI[Move]);
        j -= static_cast<size_t>(MoveDJ[Move]);
    }
}

}  // namespace

int32_t MatchCost(int32_t Len1, int32_t Len2) {
    return CachedMatchCost(Len1, Len2);
}

int32_t BeadCost(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    return FastBeadCost(X1, Y1, X2, Y2);
}

std::vector<TBead> ComputeBeads(std::span<const int32_t> Source, std::span<const int32_t> Target,
                                TBeadCostFunction Cost) {
    const std::vector<uint8_t> Moves = RunProgramme(Source, Target, Cost);
    std::vector<TBead> Beads;
    Beads.reserve(Source.size() + Target.size());
    TraceBack(Moves, Source.size(), Target.size(), [&](uint8_t Move, int32_t i, int32_t j) {
        switch (Move) {
            case mv11:
                Beads.push_back({i - 1, j - 1, -1, -1});
                break;
            case mv10:
                Beads.push_back({i - 1, -1, -1, -1});
                break;
            case mv01:
                Beads.push_back({-1, j - 1, -1, -1});
                break;
            case mv21:
                Beads.push_back({i - 2, j - 1, i - 1, -1});
                break;
            case mv12:
                Beads.push_back({i - 1, j - 2, -1, j - 1});
                break;
            default:
                Beads.push_back({i - 2, j - 2, i - 1, j - 1});
                break;
        }
    });
    return Beads;
}

TBeadCounts AlignLengths(std::span<const int32_t> Source, std::span<const int32_t> Target) {
    const std::vector<uint8_t> Moves = RunProgramme(Source, Target, FastBeadCost);
    TBeadCounts Counts;
    TraceBack(Moves, Source.size(), Target.size(), [&](uint8_t Move, int32_t, int32_t) {
        Counts.Source.push_back(MoveDI[Move]);
        Counts.Target.push_back(MoveDJ[Move]);
    });
    std::reverse(Counts.Source.begin(), Counts.Source.end());
    std::reverse(Counts.Target.begin(), Counts.Target.end());
    return Counts;
}

TBeadCounts AlignByLength(const TAlignIndex& Source, int32_t SourceFirst, int32_t M,
                          const TAlignIndex& Target, int32_t TargetFirst, int32_t N) {
    auto LengthsOf = [](const TAlignIndex& Index, int32_t First, int32_t Count) {
        std::vector<int32_t> Lengths(static_cast<size_t>(std::max(Count, 0)));
        for (int32_t k = 0; k < Count; ++k) Lengths[static_cast<size_t>(k)] = Index.GetItem(First + k).Length;
        return Lengths;
    };
    const std::vector<int32_t> X = LengthsOf(Source, SourceFirst, M);
    const std::vector<int32_t> Y = LengthsOf(Target, TargetFirst, N);
    return AlignLengths(X, Y);
}

namespace {
TAlignErrorFunc AlignErrorDialog;
}  // namespace

void SetAlignErrorDialog(TAlignErrorFunc Dialog) {
    AlignErrorDialog = std::move(Dialog);
}

int ShowAlignError(const std::string& FileName1, const std::string& FileName2, const std::string& Message,
                   const std::string& Caption2, const std::string& Caption1) {
    if (AlignErrorDialog) return AlignErrorDialog(FileName1, FileName2, Message, Caption2, Caption1);
    std::fprintf(stderr, "%s\n%s\n%s\n", FileName1.c_str(), FileName2.c_str(), Message.c_str());
    return 0;
}
