// A network source through underruns: it starts at once, waits for the preroll after running
// dry, and reports a stall only when no audio arrived for the stall time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/decode/decoder.h"
#include "audio/decode/source.h"

namespace velorixa::audio {
namespace {

constexpr int kRate = 1000;  // frames per second: seconds read as thousands of frames

// A station whose data the test lets in: `allowed` frames in all, Starved beyond them.
class TrickleDecoder final : public Decoder {
  public:
    explicit TrickleDecoder(std::atomic<int>& allowed) : allowed_(allowed) {}
    int read(float* dst, int maxFrames, Status* status) override {
        const int n = std::min(maxFrames, allowed_.load() - given_);
        if (n <= 0) {
            *status = Status::Starved;
            return 0;
        }
        std::fill(dst, dst + n, 0.5f);
        given_ += n;
        *status = Status::Ok;
        return n;
    }
    int64_t seek(int64_t) override { return -1; }
    int rateHz() const override { return kRate; }
    int channels() const override { return 1; }
    int64_t lengthFrames() const override { return -1; }
    bool isNetwork() const override { return true; }

  private:
    std::atomic<int>& allowed_;
    int given_ = 0;
};

bool waitBuffered(const Source& s, size_t frames) {
    for (int i = 0; i < 500 && s.bufferedFrames() < frames; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return s.bufferedFrames() >= frames;
}

TEST(NetBuffer, PlaysThroughBurstsAndReportsOnlyALongSilenceAsStall) {
    std::atomic<int> allowed{300};
    Source s(std::make_unique<TrickleDecoder>(allowed), 0.5);
    ASSERT_GE(s.ringCapacityFrames(), size_t(Source::kNetBufferSeconds * kRate));
    std::vector<float> buf(5000);
    ASSERT_TRUE(waitBuffered(s, 300));
    EXPECT_EQ(s.pull(buf.data(), 200), 200u) << "the first audio plays at once";
    // The consumer asks for more than a block needs: a short pull is no underrun by itself.
    EXPECT_EQ(s.pull(buf.data(), 200), 100u);
    allowed += 50;
    ASSERT_TRUE(waitBuffered(s, 50));
    EXPECT_EQ(s.pull(buf.data(), 200), 50u) << "what arrives plays on";
    s.reportBlock(true, 200, kRate);  // a block went short: an underrun

    // Data comes back, but less than the preroll: still nothing to play.
    const int preroll = int(Source::kNetPrerollSeconds * kRate);
    allowed += preroll - 10;
    ASSERT_TRUE(waitBuffered(s, size_t(preroll - 10)));
    EXPECT_EQ(s.pull(buf.data(), 100), 0u);
    allowed += 10;
    ASSERT_TRUE(waitBuffered(s, size_t(preroll)));
    EXPECT_EQ(s.pull(buf.data(), 100), 100u) << "the preroll is there: the sound resumes";

    // Starved output blocks: no stall while audio keeps arriving, a stall after kStallSeconds
    // of output without any.
    const int block = 100;  // output frames at kRate
    const int stallBlocks = int(Source::kStallSeconds * kRate) / block;
    for (int i = 0; i < 3 * stallBlocks; ++i) {
        if (i % (stallBlocks / 2) == 0) {
            allowed += 1;
            waitBuffered(s, s.bufferedFrames() + 1);
        }
        s.reportBlock(true, block, kRate);
        ASSERT_FALSE(s.stalled()) << "block " << i << ": audio still trickles in";
    }
    allowed += 1;  // the last audio that arrives
    waitBuffered(s, s.bufferedFrames() + 1);
    s.reportBlock(true, block, kRate);  // the block that saw it
    for (int i = 1; i <= stallBlocks; ++i) {
        s.reportBlock(true, block, kRate);
        EXPECT_EQ(s.stalled(), i == stallBlocks) << "block " << i;
    }
    EXPECT_TRUE(s.starved());
    s.reportBlock(false, block, kRate);
    EXPECT_FALSE(s.stalled()) << "sound again ends the stall";
    EXPECT_FALSE(s.starved());
}

}  // namespace
}  // namespace velorixa::audio
