#pragma once
// Helpers for the audio layer's tests: MP3 files made from known signals in a private temporary
// folder, an offline session, and rendering a playable channel into memory.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
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

inline double positionSeconds(DWORD handle) {
    return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle));
}

}  // namespace audiotest
