#pragma once
// Float samples (-1..1) to 16-bit PCM as decoding sources hand them to a caller: clipped at full
// scale, times 32767, rounded half away from zero (what std::lround does), NaN as 0.
//
// Pure functions; any thread.

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace velorixa::audio {

inline int16_t ToPcm16(float x) {
    // Written as selects, not branches, so that the loop below vectorises (SSE2: compares and
    // masks). In double, x * 32767 and the added half are exact (a float has 24 bits), so
    // truncating rounds exactly as std::lround does, without the library call.
    x = x == x ? x : 0.f;
    x = x > 1.f ? 1.f : x;
    x = x < -1.f ? -1.f : x;
    const double v = static_cast<double>(x * 32767.f);
    return static_cast<int16_t>(static_cast<int>(v + std::copysign(0.5, v)));
}

// The same for a whole buffer; a plain loop over arrays that the compiler vectorises.
inline void ToPcm16(const float* in, int16_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = ToPcm16(in[i]);
}

}  // namespace velorixa::audio
