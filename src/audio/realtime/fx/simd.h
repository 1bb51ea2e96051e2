#pragma once
// The vector types of the audio layer's hand-vectorised loops (the resampler's taps, the
// reverb's lines, the equaliser's two sides, the 16-bit conversion): the generic vectors of
// GCC and Clang, so no intrinsics and no instruction the x86-64 baseline lacks (SSE2); on a
// target without vectors the compiler emits scalar code. Element-wise arithmetic on them does
// in each lane exactly what the scalar code does to one value. Loads and stores go through
// memcpy: the audio buffers are not aligned to 16 bytes.
//
// Thread contract: types only.

#include <cstdint>

namespace velorixa::simd {

using F4 = float __attribute__((vector_size(16)));    // four floats
using F2 = float __attribute__((vector_size(8)));     // two floats (a stereo frame)
using I4 = int32_t __attribute__((vector_size(16)));  // four 32-bit integers
using S8 = int16_t __attribute__((vector_size(16)));  // eight 16-bit samples

}  // namespace velorixa::simd
