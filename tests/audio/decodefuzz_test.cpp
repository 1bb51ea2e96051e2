// The decoding fuzzer's properties in the regular run: small files of every format, cut short,
// with bytes flipped, and fed to both paths (a file from memory, a station's demuxer), never
// crash, hang or break a property.

#include <algorithm>
#include <random>

#include "audiotest.h"
#include "fuzz/fuzz_decode.h"

using namespace audiotest;

TEST(DecodeFuzz, DamagedFilesOfEveryFormatKeepTheProperties) {
    TempDir dir;
    std::mt19937 rng(22);
    const auto tone = testmedia::sine(440, 0.3, 8000, 1);
    for (const char* format : {"flac", "ogg", "opus", "m4a", "aac", "ts", "wav24", "aiff"}) {
        SCOPED_TRACE(format);
        auto clean = testmedia::encodeWithTool(tone, format, dir.file(""));
        ASSERT_FALSE(clean.empty());
        for (int round = 0; round < 40; ++round) {
            std::vector<uint8_t> in(clean.size() + 1);
            in[0] = static_cast<uint8_t>(rng());  // the path taken
            std::copy(clean.begin(), clean.end(), in.begin() + 1);
            if (round % 4 == 1) in.resize(1 + rng() % clean.size());  // cut short
            const int flips = round % 4 == 2 ? 1 + int(rng() % 8) : round % 4 == 3 ? 64 : 0;
            for (int i = 0; i < flips; ++i)
                in[1 + rng() % (in.size() - 1)] ^= static_cast<uint8_t>(1u << (rng() % 8));
            EXPECT_EQ(velorixa::fuzz::fuzzDecodeOne(in.data(), in.size()), "") << round;
        }
    }
}
