// The benchmarks' generator of repeatable pseudo-random numbers: the same seed gives the same corpus on
// every run and machine, so figures of different runs compare.
#pragma once

#include <cstdint>

class TRandom {
public:
    explicit TRandom(uint64_t Seed) : FState(Seed) {}
    // A number in 0..Bound-1.
    uint32_t Next(uint32_t Bound) {
        FState = FState * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(FState >> 33) % Bound;
    }
    // A number in [0, 1).
    double Unit() { return Next(1u << 30) / double(1u << 30); }

private:
    uint64_t FState;
};
