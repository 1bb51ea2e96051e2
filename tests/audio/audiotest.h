#pragma once
// Helpers for the audio layer's tests: MP3 files made from known signals in a private temporary
// folder, an offline session, and rendering a playable channel into memory.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audiolib.h"
#include "common/testmedia.h"

namespace audiotest {

class TempDir {
  public:
    std::string file(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }

  private:
    QTemporaryDir dir_;
};

inline std::string writeMp3(const TempDir& dir, const std::string& name, const testmedia::Pcm& pcm,
                            const testmedia::Mp3Options& opt = {}) {
    std::string path = dir.file(name);
    auto bytes = testmedia::encodeMp3(pcm, opt);
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(testmedia::writeFile(path, bytes));
    return path;
}

// BASS_Init on the offline device for the length of a test.
class OfflineSession {
  public:
    explicit OfflineSession(DWORD rateHz = 44100) {
        ok_ = BASS_Init(VX_DEVICE_OFFLINE, rateHz, 0, nullptr) != 0;
        EXPECT_TRUE(ok_);
    }
    ~OfflineSession() {
        if (ok_) BASS_Free();
    }

  private:
    bool ok_ = false;
};

// A decoding source with its pitch channel, started as the player starts one.
struct Chain {
    DWORD source = 0;
    DWORD channel = 0;
};

inline Chain openChain(const std::string& path) {
    Chain c;
    c.source = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    EXPECT_NE(c.source, 0u) << path;
    if (!c.source) return c;
    EXPECT_NE(BASS_FX_PitchCreate(c.source) & 0xFFFF, 0u);
    c.channel = BASS_FX_PitchGetResampledHandle(c.source);
    EXPECT_NE(c.channel, 0u);
    EXPECT_TRUE(BASS_StreamPlay(c.channel, 0, 0));
    return c;
}

// Renders frames of the whole output offline (VX_Render waits for file decoders itself).
inline std::vector<float> render(size_t frames) {
    std::vector<float> out(frames * 2);
    EXPECT_EQ(VX_Render(out.data(), static_cast<DWORD>(frames)), frames);
    return out;
}

// For whole-chain tests: if the test has failed by the time this goes, the audio it rendered is
// written to failed-audio/<suite>.<test>-<name>.wav in the working directory (beside the test
// output), 16-bit stereo, to be listened to.
class ListenOnFailure {
  public:
    ListenOnFailure(std::string name, const std::vector<float>& stereo, int rateHz = 44100)
        : name_(std::move(name)), stereo_(stereo), rateHz_(rateHz) {}
    ~ListenOnFailure() {
        if (!::testing::Test::HasFailure()) return;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::filesystem::create_directories("failed-audio");
        std::string path = "failed-audio/" + std::string(info->test_suite_name()) + "." +
                           info->name() + "-" + name_ + ".wav";
        std::string bytes = "RIFF0000WAVEfmt ";
        auto put = [&bytes](uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                bytes.push_back(static_cast<char>(v >> (8 * i)));
        };
        const auto data = static_cast<uint32_t>(stereo_.size() * 2);
        put(16, 4), put(1, 2), put(2, 2), put(rateHz_, 4), put(rateHz_ * 4, 4), put(4, 2);
        put(16, 2), bytes += "data", put(data, 4);
        for (float v : stereo_)
            put(static_cast<uint16_t>(std::lround(std::clamp(v, -1.f, 1.f) * 32767)), 2);
        for (int i = 0; i < 4; ++i)
            bytes[4 + i] = static_cast<char>((36 + data) >> (8 * i));
        testmedia::writeFile(path, bytes);
        std::printf("[ audio    ] %s\n", path.c_str());
    }

  private:
    std::string name_;
    const std::vector<float>& stereo_;
    int rateHz_;
};

// One side (0 left, 1 right) of interleaved stereo.
inline std::vector<float> side(const std::vector<float>& stereo, int which, size_t from = 0) {
    std::vector<float> out;
    for (size_t i = from * 2 + which; i < stereo.size(); i += 2)
        out.push_back(stereo[i]);
    return out;
}

inline double rmsOf(const std::vector<float>& x) {
    return testmedia::rms(x.data(), x.size());
}

inline double toneHz(const std::vector<float>& x, double expectHz, int rateHz = 44100) {
    return testmedia::dominantFrequency(x.data(), x.size(), rateHz, expectHz * 0.8,
                                        expectHz * 1.25);
}

// Pulls decoded 16-bit PCM from a decoding source that nothing plays, up to maxFrames.
inline std::vector<int16_t> decodeAll(DWORD source, size_t maxFrames, int channels) {
    std::vector<int16_t> out(maxFrames * channels);
    size_t got = 0;
    while (got < maxFrames) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(4096, maxFrames - got) * channels * 2);
        DWORD n = BASS_ChannelGetData(source, out.data() + got * channels, want);
        if (n == 0xFFFFFFFF || n == 0) break;
        got += n / (channels * 2);
    }
    out.resize(got * channels);
    return out;
}

inline double positionSeconds(DWORD handle) {
    return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle));
}

}  // namespace audiotest
