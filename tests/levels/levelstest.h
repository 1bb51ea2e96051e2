#pragma once
// Shared by the levels tests: tone files of known loudness, the EBU R128 loudness of rendered
// output, and an offline player session.

#include <gtest/gtest.h>

#include <ebur128.h>

#include <QString>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "audio/audiolib.h"
#include "audio/player.h"
#include "common/testmedia.h"

namespace levelstest {

// A 997 Hz stereo sine of amplitude (1 = full scale) as a 16-bit WAV file: its loudness is
// 20 log10(amplitude) LUFS (the same sine in one channel alone would be 3.01 dB less).
inline QString writeTone(const QTemporaryDir& dir, const QString& name, double amplitude,
                         double seconds = 6) {
    const QString path = dir.filePath(name);
    const testmedia::Pcm pcm = testmedia::sine(997, seconds, 44100, 2, amplitude);
    EXPECT_TRUE(testmedia::writeFile(path.toStdString(), testmedia::wavBytes(pcm)));
    return path;
}

inline double toneLufs(double amplitude) {
    return 20 * std::log10(amplitude);
}

// Integrated loudness of interleaved stereo at 44.1 kHz.
inline double loudnessOf(const std::vector<float>& stereo) {
    ebur128_state* st = ebur128_init(2, 44100, EBUR128_MODE_I);
    ebur128_add_frames_float(st, stereo.data(), stereo.size() / 2);
    double lufs = 0;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    return lufs;
}

inline float peakOf(const std::vector<float>& x, size_t from = 0) {
    float p = 0;
    for (size_t i = from; i < x.size(); ++i)
        p = std::max(p, std::abs(x[i]));
    return p;
}

// The player on the offline device at full channel, stream and master volume, flat sound.
class OfflinePlayer {
  public:
    OfflinePlayer() {
        ok_ = BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr) != 0;
        EXPECT_TRUE(ok_);
        player.SetMasterVolume(100);
        player.SetGlobalVolume(100);
    }
    ~OfflinePlayer() {
        if (ok_) player.ExitForm();
    }
    bool start(const QString& path) {
        return player.StartPlay(path, 2, 100, 100, 0, {0, 50, 50, 50}, {0, 100, 100, 100, 100});
    }
    std::vector<float> render(size_t frames) {
        std::vector<float> out(frames * 2);
        EXPECT_EQ(VX_Render(out.data(), static_cast<DWORD>(frames)), frames);
        return out;
    }

    velorixa::PLAYER player;

  private:
    bool ok_ = false;
};

}  // namespace levelstest
