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

TEST(Echo, ImpulseReturnsAfterEachSidesDelayScaledByFeedback) {
    const DX8Echo rec{100.0f, 50.0f, 10.0f, 20.0f, 0};
    const int frames = kStart + 5 * kRight + 10;
    std::vector<std::tuple<int, int, float>> left, right;
    for (int k = 1; kStart + k * kLeft < frames; ++k)
        left.emplace_back(kStart + k * kLeft, 0, std::pow(0.5f, k - 1));
    for (int k = 1; kStart + k * kRight < frames; ++k)
        right.emplace_back(kStart + k * kRight, 1, std::pow(0.5f, k - 1));
    expectTaps(echoOfImpulse(rec, 0, frames), left);
    expectTaps(echoOfImpulse(rec, 1, frames), right);
}

TEST(Echo, MixBlendsDryAndEcho) {
    const DX8Echo rec{25.0f, 0.0f, 10.0f, 20.0f, 0};
    expectTaps(echoOfImpulse(rec, 0, 2000), {{kStart, 0, 0.75f}, {kStart + kLeft, 0, 0.25f}});
}

TEST(Echo, PanDelaySwapsSidesOnEachRepeat) {
    // Left impulse: first repeat on the left after the left delay, then the right line after
    // its delay, then left again, each repeat scaled by the feedback.
    const DX8Echo rec{100.0f, 50.0f, 10.0f, 20.0f, 1};
    const int frames = kStart + 3 * (kLeft + kRight) + 10;
    expectTaps(echoOfImpulse(rec, 0, frames), {{kStart + kLeft, 0, 1.0f},
                                               {kStart + kLeft + kRight, 1, 0.5f},
                                               {kStart + 2 * kLeft + kRight, 0, 0.25f},
                                               {kStart + 2 * kLeft + 2 * kRight, 1, 0.125f},
                                               {kStart + 3 * kLeft + 2 * kRight, 0, 0.0625f},
                                               {kStart + 3 * kLeft + 3 * kRight, 1, 0.03125f}});
    expectTaps(echoOfImpulse(rec, 1, frames), {{kStart + kRight, 1, 1.0f},
                                               {kStart + kRight + kLeft, 0, 0.5f},
                                               {kStart + 2 * kRight + kLeft, 1, 0.25f},
                                               {kStart + 2 * kRight + 2 * kLeft, 0, 0.125f},
                                               {kStart + 3 * kRight + 2 * kLeft, 1, 0.0625f},
                                               {kStart + 3 * kRight + 3 * kLeft, 0, 0.03125f}});
}

TEST(Echo, LongestDelayIsHonoured) {
    const DX8Echo rec{100.0f, 0.0f, 2000.0f, 1.0f, 0};
    const int frames = kStart + 88200 + 10;
    expectTaps(echoOfImpulse(rec, 0, frames), {{kStart + 88200, 0, 1.0f}});
    expectTaps(echoOfImpulse(rec, 1, frames), {{kStart + 44, 1, 1.0f}});  // 1 ms = 44.1 frames
}

}  // namespace
}  // namespace velorixa::fx::test
