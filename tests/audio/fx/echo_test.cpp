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

TEST(Echo, ImpulseReturnsAtTheDelaysScaledByFeedbackAndMix) {
    constexpr int L = kStart + kLeft, R = kStart + kRight;  // the first return on each side
    const struct {
        const char* what;
        DX8Echo rec;
        int impulseChannel, frames;
        std::vector<std::tuple<int, int, float>> taps;
    } cases[] = {
        {"each side its own delay",
         {100, 50, 10, 20, 0},
         0,
         kStart + 4 * kLeft + 10,
         {{L, 0, 1}, {L + kLeft, 0, 0.5f}, {L + 2 * kLeft, 0, 0.25f}, {L + 3 * kLeft, 0, 0.125f}}},
        {"each side its own delay",
         {100, 50, 10, 20, 0},
         1,
         kStart + 2 * kRight + 10,
         {{R, 1, 1}, {R + kRight, 1, 0.5f}}},
        {"mix blends dry and echo",
         {25, 0, 10, 20, 0},
         0,
         2000,
         {{kStart, 0, 0.75f}, {L, 0, 0.25f}}},
        // Pan delay: each repeat crosses to the other side's line.
        {"pan delay",
         {100, 50, 10, 20, 1},
         0,
         kStart + 3 * (kLeft + kRight) + 10,
         {{L, 0, 1},
          {L + kRight, 1, 0.5f},
          {L + kRight + kLeft, 0, 0.25f},
          {L + 2 * kRight + kLeft, 1, 0.125f},
          {L + 2 * kRight + 2 * kLeft, 0, 0.0625f},
          {L + 3 * kRight + 2 * kLeft, 1, 0.03125f}}},
        {"pan delay",
         {100, 50, 10, 20, 1},
         1,
         kStart + 3 * (kLeft + kRight) + 10,
         {{R, 1, 1},
          {R + kLeft, 0, 0.5f},
          {R + kLeft + kRight, 1, 0.25f},
          {R + 2 * kLeft + kRight, 0, 0.125f},
          {R + 2 * kLeft + 2 * kRight, 1, 0.0625f},
          {R + 3 * kLeft + 2 * kRight, 0, 0.03125f}}},
        // The longest delay, and 1 ms = 44.1 frames.
        {"longest delay", {100, 0, 2000, 1, 0}, 0, kStart + 88210, {{kStart + 88200, 0, 1}}},
        {"shortest delay", {100, 0, 2000, 1, 0}, 1, kStart + 88210, {{kStart + 44, 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", impulse on side " << c.impulseChannel);
        expectTaps(echoOfImpulse(c.rec, c.impulseChannel, c.frames), c.taps);
    }
}

}  // namespace
}  // namespace velorixa::fx::test
