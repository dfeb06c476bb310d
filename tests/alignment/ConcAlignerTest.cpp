#include "alignment/ConcAligner.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"

namespace {

// ---- The programme as written down, step by step, with nothing cached: the oracle ----

int PlainMatchCost(int len1, int len2) {
    if (len1 == 0 && len2 == 0) return 0;
    const double c = 1.0, s2 = 7.3;
    const double mean = (len1 + len2 / c) / 2;
    double z = (c * len1 - len2) / std::sqrt(s2 * mean);
    if (z < 0) z = -z;
    const double t = 1 / (1 + 0.2316419 * z);
    const double pz =
        1 - 0.3989423 * std::exp(-z * z / 2) * t *
                (0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429))));
    const double pd = 2 * (1 - pz);
    if (pd > 0) return static_cast<int>(std::nearbyint(-100 * std::log(pd)));
    return 2500;
}

int PlainBeadCost(int x1, int y1, int x2, int y2) {
    if (x2 == 0 && y2 == 0) return PlainMatchCost(x1, y1) + ((x1 == 0 || y1 == 0) ? 450 : 0);
    if (x2 == 0) return PlainMatchCost(x1, y1 + y2) + 230;
    if (y2 == 0) return PlainMatchCost(x1 + x2, y1) + 230;
    return PlainMatchCost(x1 + x2, y1 + y2) + 440;
}

// Three (M+1) x (N+1) tables of 32-bit integers, six candidates per cell, infinity for a candidate
// whose units do not exist, strict comparison; the back-trace then the shapes turned into counts.
std::vector<std::pair<int, int>> PlainAlign(const std::vector<int>& x, const std::vector<int>& y) {
    const int M = int(x.size()), N = int(y.size());
    const int32_t Inf = 2147483647;
    std::vector<int32_t> D((M + 1) * (N + 1)), PI((M + 1) * (N + 1), -1), PJ((M + 1) * (N + 1), -1);
    auto at = [&](int i, int j) { return j * (M + 1) + i; };
    for (int j = 0; j <= N; ++j) {
        for (int i = 0; i <= M; ++i) {
            int32_t best = Inf;
            int bi = -1, bj = -1;
            auto take = [&](bool ok, int pi, int pj, int a, int b, int c, int d) {
                const int32_t cand = ok ? D[at(pi, pj)] + PlainBeadCost(a, b, c, d) : Inf;
                if (cand < best) best = cand, bi = pi, bj = pj;
            };
            take(i >= 1 && j >= 1, i - 1, j - 1, i >= 1 ? x[i - 1] : 0, j >= 1 ? y[j - 1] : 0, 0, 0);
            take(i >= 1, i - 1, j, i >= 1 ? x[i - 1] : 0, 0, 0, 0);
            take(j >= 1, i, j - 1, 0, j >= 1 ? y[j - 1] : 0, 0, 0);
            take(i >= 2 && j >= 1, i - 2, j - 1, i >= 2 ? x[i - 2] : 0, j >= 1 ? y[j - 1] : 0,
                 i >= 2 ? x[i - 1] : 0, 0);
            take(i >= 1 && j >= 2, i - 1, j - 2, i >= 1 ? x[i - 1] : 0, j >= 2 ? y[j - 2] : 0, 0,
                 j >= 2 ? y[j - 1] : 0);
            take(i >= 2 && j >= 2, i - 2, j - 2, i >= 2 ? x[i - 2] : 0, j >= 2 ? y[j - 2] : 0,
                 i >= 2 ? x[i - 1] : 0, j >= 2 ? y[j - 1] : 0);
            if (best == Inf) {
                D[at(i, j)] = 0;
            } else {
                D[at(i, j)] = best;
                PI[at(i, j)] = bi;
                PJ[at(i, j)] = bj;
            }
        }
    }
    std::vector<TBead> beads;
    for (int i = M, j = N; i > 0 || j > 0;) {
        const int pi = PI[at(i, j)], pj = PJ[at(i, j)];
        const int di = i - pi, dj = j - pj;
        if (di == 1 && dj == 1) beads.push_back({i - 1, j - 1, -1, -1});
        if (di == 1 && dj == 0) beads.push_back({i - 1, -1, -1, -1});
        if (di == 0 && dj == 1) beads.push_back({-1, j - 1, -1, -1});
        if (di == 2 && dj == 1) beads.push_back({i - 2, j - 1, i - 1, -1});
        if (di == 1 && dj == 2) beads.push_back({i - 1, j - 2, -1, j - 1});
        if (di == 2 && dj == 2) beads.push_back({i - 2, j - 2, i - 1, j - 1});
        i = pi, j = pj;
    }
    std::vector<std::pair<int, int>> counts;
    for (auto b = beads.rbegin(); b != beads.rend(); ++b)
        counts.push_back({(b->X1 >= 0) + (b->X2 >= 0), (b->Y1 >= 0) + (b->Y2 >= 0)});
    return counts;
}

std::vector<std::pair<int, int>> Pairs(const TBeadCounts& c) {
    std::vector<std::pair<int, int>> r;
    for (int32_t k = 0; k < c.Count(); ++k) r.push_back({c.Source[size_t(k)], c.Target[size_t(k)]});
    return r;
}

std::vector<std::pair<int, int>> Align(const std::vector<int32_t>& x, const std::vector<int32_t>& y) {
    return Pairs(AlignLengths(x, y));
}

using P = std::pair<int, int>;

}  // namespace

TEST(MatchCost, FiguresOfTheFormula) {
    EXPECT_EQ(MatchCost(100, 100), 0);
    EXPECT_EQ(MatchCost(50, 100), 342);
    EXPECT_EQ(MatchCost(0, 0), 0);
    // The probability underflows to 0 far out, where the cost drops to the flat 2500.
    EXPECT_EQ(MatchCost(0, 200), 2964);
    EXPECT_EQ(MatchCost(0, 300), 2500);
    EXPECT_EQ(BeadCost(50, 0, 0, 0), 845 + 450);
    EXPECT_EQ(BeadCost(0, 0, 0, 0), 450);  // two empty units matched still cost a deletion
    EXPECT_EQ(BeadCost(30, 30, 0, 0), 0);
    EXPECT_EQ(BeadCost(30, 60, 0, 0), MatchCost(30, 60));
    EXPECT_EQ(BeadCost(30, 30, 0, 30), MatchCost(30, 60) + 230);
    EXPECT_EQ(BeadCost(30, 30, 30, 0), MatchCost(60, 30) + 230);
    EXPECT_EQ(BeadCost(30, 30, 30, 30), MatchCost(60, 60) + 440);
}

TEST(MatchCost, EqualsTheFormulaOverAGridAcrossTheCacheLimit) {
    for (int a = 0; a < 1300; a += 3)
        for (int b = 0; b < 1300; b += (a % 7) + 1)
            ASSERT_EQ(MatchCost(a, b), PlainMatchCost(a, b)) << a << "," << b;
    for (int a : {0, 1, 1023, 1024, 5000, 100000})
        for (int b : {0, 1, 1023, 1024, 4000, 100000}) ASSERT_EQ(MatchCost(a, b), PlainMatchCost(a, b));
}

TEST(AlignLengths, FiguresAndTies) {
    EXPECT_EQ(Align({50, 50}, {100}), (std::vector<P>{{2, 1}}));
    EXPECT_EQ(Align({10, 10, 10}, {30}), (std::vector<P>{{2, 1}, {1, 0}}));
    EXPECT_EQ(Align({100}, {50, 50}), (std::vector<P>{{1, 2}}));
    EXPECT_EQ(Align({20, 80, 40}, {100, 40}), (std::vector<P>{{2, 1}, {1, 1}}));
    EXPECT_EQ(Align({60}, {62}), (std::vector<P>{{1, 1}}));
    // The kind of a bead follows from its lengths: two empty pairs cost one 2-2 bead of 450, less than
    // two 1-1 beads of 450 each.
    EXPECT_EQ(Align({0, 0}, {0, 0}), (std::vector<P>{{2, 2}}));
    EXPECT_EQ(Align({0}, {50}), (std::vector<P>{{1, 1}}));
    EXPECT_EQ(Align({}, {}), (std::vector<P>{}));
    EXPECT_EQ(Align({40, 70}, {}), (std::vector<P>{{1, 0}, {1, 0}}));
    EXPECT_EQ(Align({}, {40}), (std::vector<P>{{0, 1}}));
    const std::vector<int32_t> Same(40, 77);
    EXPECT_EQ(Align(Same, Same), std::vector<P>(40, P{1, 1}));
}

TEST(AlignLengths, BeadForBeadAsThePlainProgrammeOnRandomRuns) {
    std::mt19937 Rng(20261207);
    for (int Trial = 0; Trial < 3000; ++Trial) {
        const int M = int(Rng() % 14), N = int(Rng() % 14);
        const int Spread = Trial % 3 == 0 ? 8 : Trial % 3 == 1 ? 200 : 1500;
        std::vector<int32_t> x(static_cast<size_t>(M)), y(static_cast<size_t>(N));
        // Small spreads make many equal costs, so the tie order is exercised; large ones cross the cache.
        for (auto& v : x) v = int32_t(Rng() % uint32_t(Spread));
        for (auto& v : y) v = int32_t(Rng() % uint32_t(Spread));
        std::vector<int> xi(x.begin(), x.end()), yi(y.begin(), y.end());
        const std::vector<P> Got = Align(x, y);
        ASSERT_EQ(Got, PlainAlign(xi, yi)) << "trial " << Trial;
        int SumX = 0, SumY = 0;
        for (const P& b : Got) SumX += b.first, SumY += b.second;
        ASSERT_EQ(SumX, M);
        ASSERT_EQ(SumY, N);
    }
}

TEST(ComputeBeads, ComesOutFromTheEndWithTheCostFunctionGiven) {
    const std::vector<int32_t> x{10, 10, 10}, y{30};
    EXPECT_EQ(ComputeBeads(x, y, BeadCost), (std::vector<TBead>{{2, -1, -1, -1}, {0, 0, 1, -1}}));
    // Another cost function steers the same programme: with every bead free, ties keep 1-1 first.
    const std::vector<int32_t> a{5, 9}, b{7, 3};
    EXPECT_EQ(ComputeBeads(a, b, [](int32_t, int32_t, int32_t, int32_t) { return int32_t(0); }),
              (std::vector<TBead>{{1, 1, -1, -1}, {0, 0, -1, -1}}));
}

TEST(AlignByLength, ReadsTheLengthsOfARunOfEntries) {
    TAlignIndex Src, Tgt;
    for (int32_t L : {999, 50, 50, 999}) Src.Add(Src.Count() * 1000, Src.Count() * 1000 + L, L);
    for (int32_t L : {100, 7}) Tgt.Add(Tgt.Count() * 1000, Tgt.Count() * 1000 + L, L);
    EXPECT_EQ(Pairs(AlignByLength(Src, 1, 2, Tgt, 0, 1)), (std::vector<P>{{2, 1}}));
    EXPECT_THROW(AlignByLength(Src, 3, 2, Tgt, 0, 1), EConcError);
}
