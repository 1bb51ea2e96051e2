#pragma once
// Float samples (-1..1) to 16-bit PCM as decoding sources hand them to a caller: clipped at full
// scale, times 32767, rounded half away from zero (what std::lround does), NaN as 0.
//
// Pure functions; any thread.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "audio/realtime/fx/simd.h"

namespace velorixa::audio {

inline int16_t ToPcm16(float x) {
    // Written as selects, not branches. In double, x * 32767 and the added half are exact (a
    // float has 24 bits), so truncating rounds exactly as std::lround does, without the library
    // call.
    x = x == x ? x : 0.f;
    x = x > 1.f ? 1.f : x;
    x = x < -1.f ? -1.f : x;
    const double v = static_cast<double>(x * 32767.f);
    return static_cast<int16_t>(static_cast<int>(v + std::copysign(0.5, v)));
}

namespace pcm16_detail {

// Four floats or four ints in one SSE2 register (see simd.h).
using velorixa::simd::F4;
using velorixa::simd::I4;
using velorixa::simd::S8;

// The scalar rounding above, four at a time and in float only: |f| <= 32767, so the truncated
// t and the fraction f - t are exact in float, and a fraction of at least one half moves t one
// step away from zero. A comparison yields -1 where it holds, hence the signs.
inline I4 Round4(const float* in) {
    const F4 one{1.f, 1.f, 1.f, 1.f};
    const F4 half{.5f, .5f, .5f, .5f};
    const F4 scale{32767.f, 32767.f, 32767.f, 32767.f};
    F4 x;
    std::memcpy(&x, in, sizeof x);
    x = x == x ? x : F4{};
    x = x > one ? one : x;
    x = x < -one ? -one : x;
    const F4 f = x * scale;
    const I4 t = __builtin_convertvector(f, I4);
    const F4 frac = f - __builtin_convertvector(t, F4);
    return t - (frac >= half) + (frac <= -half);
}

}  // namespace pcm16_detail

// The same for a whole buffer, eight samples a step; equal to the scalar form for every float
// (checked over all 2^32 bit patterns when this was written).
inline void ToPcm16(const float* in, int16_t* out, size_t count) {
    using namespace pcm16_detail;
    const size_t whole = count - count % 8;
    for (size_t i = 0; i < whole; i += 8) {
        const I4 lo = Round4(in + i);
        const I4 hi = Round4(in + i + 4);
        // Every value fits 16 bits: keep the low half of each.
        const S8 packed = __builtin_shufflevector(std::bit_cast<S8>(lo), std::bit_cast<S8>(hi), 0,
                                                  2, 4, 6, 8, 10, 12, 14);
        std::memcpy(out + i, &packed, sizeof packed);
    }
    for (size_t i = whole; i < count; ++i)
        out[i] = ToPcm16(in[i]);
}

}  // namespace velorixa::audio
