#pragma once

// What the randomised comparisons share: a seeded generator, draws from it,
// a bit-for-bit equality, and how many fewer cases the sanitizer build runs.

#include <cmath>
#include <cstring>
#include <random>

#include "geometry/point3d.h"

// The sanitizers slow the literal measures most; they run an eighth of the
// cases there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSlowdown = 8;
#else
constexpr int kSlowdown = 1;
#endif
#else
constexpr int kSlowdown = 1;
#endif

using Rng = std::mt19937_64;

inline double uniform(Rng& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

inline double logUniform(Rng& rng, double lo, double hi) {
    return std::exp(uniform(rng, std::log(lo), std::log(hi)));
}

// Equal bits, so that -0 differs from 0 and a NaN equals the same NaN.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
