// The render tool: the player's whole chain rendered offline, compared with the bare chain.
#include "render/renderjob.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <thread>

#include "audio/audiolib.h"
#include "common/testmedia.h"

namespace velorixa::tools {
namespace {

class RenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        input_ = dir_->path() + "/music.mp3";
        // Tones that move every second, so every effect has something to act on.
        testmedia::Pcm pcm = testmedia::toneSteps({220, 330, 550}, 44100, 2, 0.4);
        testmedia::writeFile(input_.toStdString(), testmedia::encodeMp3(pcm));
    }
    static void TearDownTestSuite() { delete dir_; }

    static RenderOptions options() {
        RenderOptions o;
        o.input = input_;
        o.output = dir_->path() + "/out.wav";
        o.seconds = 2.5;
        return o;
    }

    // The same source through the rate change and volumes only: no equaliser, no effects.
    static std::vector<float> bareChain(double seconds) {
        EXPECT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr));
        QByteArray path = input_.toUtf8();
        DWORD src = BASS_StreamCreateFile(0, path.constData(), 0, 0, BASS_STREAM_DECODE);
        EXPECT_NE(src, 0u);
        BASS_FX_PitchCreate(src);
        DWORD ch = BASS_FX_PitchGetResampledHandle(src);
        BASS_SetGlobalVolumes(-1, -1, 100);
        BASS_SetVolume(100);
        BASS_ChannelSetAttributes(ch, -1, 100, 0);
        BASS_StreamPlay(ch, 0, 0);
        const size_t total = static_cast<size_t>(seconds * 44100);
        std::vector<float> out(2 * total);
        for (size_t done = 0; done < total;) {
            DWORD n = static_cast<DWORD>(std::min<size_t>(441, total - done));
            for (int i = 0; i < 500 && VX_ChannelBuffered(src) < 3 * n &&
                            BASS_ChannelIsActive(src) == BASS_ACTIVE_PLAYING;
                 ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            done += VX_Render(out.data() + 2 * done, n);
        }
        BASS_Free();
        return out;
    }

    static double rmsDiff(const std::vector<float>& a, const std::vector<float>& b) {
        size_t n = std::min(a.size(), b.size());
        double s = 0;
        for (size_t i = 0; i < n; ++i)
            s += double(a[i] - b[i]) * (a[i] - b[i]);
        return n ? std::sqrt(s / n) : 0;
    }

    static QTemporaryDir* dir_;
    static QString input_;
};

QTemporaryDir* RenderTest::dir_ = nullptr;
QString RenderTest::input_;

TEST_F(RenderTest, EffectsAtHundredSoundLikeTheBareChain) {
    RenderResult r = Render(options());
    ASSERT_TRUE(r.opened);
    std::vector<float> bare = bareChain(2.5);
    ASSERT_EQ(r.stereo.size(), bare.size());
    EXPECT_GT(testmedia::rms(bare.data(), bare.size()), 0.1);
    EXPECT_LT(rmsDiff(r.stereo, bare), 1e-4);
}

TEST_F(RenderTest, EachEffectIsStrongestAtZero) {
    std::vector<float> bare = bareChain(2.5);
    for (int fx = 1; fx <= 4; ++fx) {
        double previous = -1;
        for (int slider : {100, 50, 0}) {
            RenderOptions o = options();
            o.EffVal[fx] = static_cast<uint8_t>(slider);
            RenderResult r = Render(o);
            ASSERT_TRUE(r.opened);
            double d = rmsDiff(r.stereo, bare);
            if (slider == 100) {
                EXPECT_LT(d, 1e-4) << "effect " << fx;
            } else {
                EXPECT_GT(d, previous * 1.2 + 1e-3) << "effect " << fx << " slider " << slider;
            }
            previous = d;
        }
    }
}

TEST_F(RenderTest, ToolArgumentsAndExitStatus) {
    std::vector<QString> errors;
    auto err = [&](const QString& m) { errors.push_back(m); };
    const QString out = dir_->path() + "/tool.wav";
    EXPECT_EQ(RunRenderTool({input_, out, "--frq", "150", "--seconds", "0.5"}, err), 0);
    QFile wav(out);
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    QByteArray head = wav.read(44);
    EXPECT_TRUE(head.startsWith("RIFF"));
    EXPECT_EQ(head.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(wav.size(), 44 + 22050 * 4);
    EXPECT_TRUE(errors.empty());

    struct Bad {
        std::vector<QString> args;
        int status;
    } bad[] = {
        {{input_}, 2},
        {{input_, out, "--frq", "201"}, 2},
        {{input_, out, "--vol", "-1"}, 2},
        {{input_, out, "--pan", "abc"}, 2},
        {{input_, out, "--eq", "1,2"}, 2},
        {{input_, out, "--fx", "1,2,3,101"}, 2},
        {{input_, out, "--bogus", "1"}, 2},
        {{input_, out, "--seconds"}, 2},
        {{"http://127.0.0.1:9/x", out}, 2},  // a stream needs --seconds
        {{dir_->path() + "/missing.mp3", out}, 1},
        {{input_, dir_->path() + "/no/such/folder/x.wav", "--seconds", "0.1"}, 1},
    };
    for (const Bad& b : bad) {
        errors.clear();
        EXPECT_EQ(RunRenderTool(b.args, err), b.status) << b.args.size();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_FALSE(errors[0].contains('\n'));
    }
}

TEST_F(RenderTest, WholeFileEndsAtItsLength) {
    RenderOptions o = options();
    o.seconds = -1;
    RenderResult r = Render(o);
    ASSERT_TRUE(r.opened);
    double seconds = double(r.stereo.size()) / 2 / 44100;
    EXPECT_GT(seconds, 2.9);
    EXPECT_LT(seconds, 3.5);
}

}  // namespace
}  // namespace velorixa::tools
