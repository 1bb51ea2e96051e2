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

namespace velorixa::fx::test {
namespace {

// Back from "off" (mix 0), the echo starts from silence: nothing that went into the lines before
// comes back, whether it returns with the delays it had or with new ones (the cross-fade reads
// both the old and the new positions), and however often the mix swings through 0.
TEST(Echo, BackFromOffNothingOfBeforeReturns) {
    const DX8Echo on{50.0f, 60.0f, 500.0f, 450.0f, 0};
    const DX8Echo off{0.0f, 60.0f, 500.0f, 450.0f, 0};
    const DX8Echo onMoved{50.0f, 60.0f, 300.0f, 700.0f, 1};
    for (const DX8Echo& back : {on, onMoved}) {
        auto fx = makePrepared(kFxEcho);
        fx->setParameters(&on);
        fx->reset();
        // 0.3 s of loud noise, then silence: its echoes sound from 0.45 s on, and the lines
        // still hold them when the mix has glided down to 0 (idle, about 0.25 s later).
        Buffer b(2 * 88200, 0.0f);
        uint32_t seed = 1;
        for (size_t i = 0; i < 2 * 13230; ++i) {
            seed = seed * 1664525u + 1013904223u;
            b[i] = static_cast<float>(seed >> 8) / float(1 << 24) - 0.5f;
        }
        const int offAt = 13230, backAt = 39690;  // 0.3 s, 0.9 s
        auto run = [&fx](float* p, int frames) {
            for (int done = 0; done < frames; done += 256)
                fx->process(p + 2 * done, std::min(256, frames - done));
        };
        for (int swing = 0; swing < 3; ++swing) {
            run(b.data(), offAt);
            fx->setParameters(&off);
            run(b.data() + 2 * offAt, backAt - offAt);
            fx->setParameters(&back);
            Buffer rest(b.begin() + 2 * backAt, b.end());
            runBlocks(*fx, rest, 256);
            for (size_t i = 0; i < rest.size(); ++i)
                ASSERT_EQ(rest[i], 0.0f) << "swing " << swing << ", frame " << backAt + i / 2;
            fx->setParameters(&on);
        }
    }
}

}  // namespace
}  // namespace velorixa::fx::test
