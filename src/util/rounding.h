#pragma once
// Whole numbers from fractional ones, the one way the whole player rounds: to the nearest
// whole number, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
//
// Written out instead of std::nearbyint so the result never depends on the floating-point
// rounding mode some library may have changed. Pure functions; any thread.

#include <cmath>
#include <cstdint>
#include <limits>

namespace velorixa::util {

// Nearest whole number, halves to even. NaN gives 0; infinities stay infinite.
inline double RoundHalfEven(double x) {
    if (std::isnan(x)) return 0.0;
    if (std::isinf(x)) return x;
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5) return lower;
    if (diff > 0.5) return lower + 1.0;
    // An exact half: the even one of the two neighbours.
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

// RoundHalfEven, then clamped to lo..hi, so callers that store 16- or 32-bit values never
// overflow on a huge or broken input. NaN gives the value nearest to 0 inside lo..hi.
inline int RoundHalfEvenClamped(double x, int lo, int hi) {
    if (lo > hi) return lo;
    double r = std::isnan(x) ? 0.0 : RoundHalfEven(x);
    if (r < static_cast<double>(lo)) return lo;
    if (r > static_cast<double>(hi)) return hi;
    return static_cast<int>(r);
}

}  // namespace velorixa::util
