// The float to 16-bit conversion of decoding sources against the library rounding it replaces.

#include "audio/pcm16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace velorixa::audio {
namespace {

int16_t reference(float x) {
    if (std::isnan(x)) return 0;
    return static_cast<int16_t>(std::lround(std::clamp(x, -1.f, 1.f) * 32767.f));
}

// Random samples over the range and past it, the exact halves between two steps (where the
// rounding direction shows), the steps themselves, and the edges.
std::vector<float> samples() {
    std::vector<float> v;
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> d(-1.2f, 1.2f);
    for (int i = 0; i < 100000; ++i)
        v.push_back(d(rng));
    for (int k = -32767; k <= 32767; k += 7) {
        v.push_back((static_cast<float>(k) + 0.5f) / 32767.f);
        v.push_back(static_cast<float>(k) / 32767.f);
        v.push_back(std::nextafter(static_cast<float>(k) / 32767.f, 2.f));
    }
    for (float x :
         {0.f, -0.f, 1.f, -1.f, 1.0001f, -1.0001f, 1e-30f, -1e-30f, 0.5f / 32767.f, -0.5f / 32767.f,
          std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
          std::numeric_limits<float>::quiet_NaN()})
        v.push_back(x);
    return v;
}

TEST(Pcm16, EqualsLroundInOneBlockSampleBySampleAndUnevenBlocks) {
    const std::vector<float> in = samples();
    std::vector<int16_t> expected(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        expected[i] = reference(in[i]);

    std::vector<int16_t> whole(in.size());
    ToPcm16(in.data(), whole.data(), in.size());
    EXPECT_EQ(whole, expected);

    std::vector<int16_t> single(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        single[i] = ToPcm16(in[i]);
    EXPECT_EQ(single, expected);

    std::vector<int16_t> uneven(in.size());
    std::mt19937 rng(4);
    std::uniform_int_distribution<size_t> size(0, 37);
    for (size_t at = 0; at < in.size();) {
        const size_t n = std::min(size(rng), in.size() - at);
        ToPcm16(in.data() + at, uneven.data() + at, n);
        at += n;
    }
    EXPECT_EQ(uneven, expected);
}

}  // namespace
}  // namespace velorixa::audio
