#include <gtest/gtest.h>

#include "audio/realtime/fx/effect.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

constexpr int kStart = 100;  // frame of the input impulse
constexpr int kLeft = 441;   // 10 ms
constexpr int kRight = 882;  // 20 ms

Buffer echoOfImpulse(const DX8Echo& rec, int impulseChannel, int frames) {
    auto fx = makePrepared(kFxEcho);
    fx->setParameters(&rec);
    fx->reset();
    Buffer b(2 * static_cast<size_t>(frames), 0.0f);
    b[2 * kStart + impulseChannel] = 1.0f;
    runBlocks(*fx, b, 300);
    return b;
}

// Every non-zero output sample, as (frame, channel) -> value, must be one of the expected
// taps; expected taps must all be present.
void expectTaps(const Buffer& out, const std::vector<std::tuple<int, int, float>>& taps) {
    Buffer expected(out.size(), 0.0f);
    for (auto [frame, ch, value] : taps)
        expected[2 * static_cast<size_t>(frame) + ch] = value;
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], expected[i], 1e-6) << "frame " << i / 2 << " channel " << i % 2;
}

using Taps = std::vector<std::tuple<int, int, float>>;

// `count` returns of an impulse on `side`, halving each time; with pan delay each repeat
// crosses to the other side's line.
Taps repeats(int side, int count, bool pan) {
    Taps taps;
    int frame = kStart;
    float value = 1.0f;
    for (int k = 0; k < count; ++k, value /= 2, side ^= pan) {
        frame += side == 0 ? kLeft : kRight;
        taps.emplace_back(frame, side, value);
    }
    return taps;
}

TEST(Echo, ImpulseReturnsAtTheDelaysScaledByFeedbackAndMix) {
    const struct {
        const char* what;
        DX8Echo rec;
        int impulseChannel;
        Taps taps;
    } cases[] = {
        {"each side its own delay", {100, 50, 10, 20, 0}, 0, repeats(0, 4, false)},
        {"each side its own delay", {100, 50, 10, 20, 0}, 1, repeats(1, 2, false)},
        {"mix blends dry and echo",
         {25, 0, 10, 20, 0},
         0,
         {{kStart, 0, 0.75f}, {kStart + kLeft, 0, 0.25f}}},
        {"pan delay", {100, 50, 10, 20, 1}, 0, repeats(0, 6, true)},
        {"pan delay", {100, 50, 10, 20, 1}, 1, repeats(1, 6, true)},
        // The longest delay, and 1 ms = 44.1 frames.
        {"longest delay", {100, 0, 2000, 1, 0}, 0, {{kStart + 88200, 0, 1}}},
        {"shortest delay", {100, 0, 2000, 1, 0}, 1, {{kStart + 44, 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", impulse on side " << c.impulseChannel);
        const int frames = std::max(2000, std::get<0>(c.taps.back()) + 10);
        expectTaps(echoOfImpulse(c.rec, c.impulseChannel, frames), c.taps);
    }
}

}  // namespace
}  // namespace velorixa::fx::test
