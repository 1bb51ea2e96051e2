// Files of every format the player takes, made at test time with the Debian encoders: each plays
// its tone at its rate and length through the whole chain, ends once, seeks to the sample (or
// within a codec frame), and bad files are refused with their reason.

#include <cmath>
#include <numbers>

#include "audiotest.h"

using namespace audiotest;

namespace {

// Two tones of incommensurate periods: no shift of a few hundred samples looks alike.
testmedia::Pcm twoTones(double seconds, int rateHz, int channels) {
    testmedia::Pcm p{rateHz, channels, {}};
    const auto frames = static_cast<size_t>(seconds * rateHz);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rateHz;
        const double v = 0.3 * std::sin(2 * std::numbers::pi * 440 * t) +
                         0.2 * std::sin(2 * std::numbers::pi * 613.7 * t);
        for (int c = 0; c < channels; ++c)
            p.samples.push_back(static_cast<int16_t>(std::lround(v * 32767)));
    }
    return p;
}

std::string writeFormat(const TempDir& dir, const std::string& name, const testmedia::Pcm& pcm,
                        const std::string& format) {
    auto bytes = testmedia::encodeWithTool(pcm, format, dir.file(""));
    EXPECT_FALSE(bytes.empty()) << format;
    const std::string path = dir.file(name);
    EXPECT_TRUE(testmedia::writeFile(path, bytes));
    return path;
}

}  // namespace

TEST(Formats, EachPlaysItsToneAtItsRateAndLengthAndEndsOnce) {
    const struct {
        const char* format;
        const char* name;  // the extension says nothing: the content decides
        int rateHz;
        int channels;
        double toneHz;
        int outRateHz;    // the decoder's rate (Opus always decodes at 48 kHz)
        int outChannels;  // more than two are mixed down to stereo
        int lengthSlack;  // frames the length may be off (ADTS names no encoder delay)
    } cases[] = {
        {"flac", "a.flac", 44100, 2, 440, 44100, 2, 0},
        {"flac", "b.flac", 96000, 1, 1000, 96000, 1, 0},
        {"flac", "surround.flac", 48000, 6, 550, 48000, 2, 0},
        {"ogg", "c.ogg", 44100, 2, 660, 44100, 2, 0},
        {"ogg", "d.oga", 22050, 1, 330, 22050, 1, 0},
        {"opus", "e.opus", 48000, 2, 770, 48000, 2, 0},
        {"opus", "f.opus", 44100, 1, 500, 48000, 1, 960},
        {"m4a", "g.m4a", 44100, 2, 880, 44100, 2, 0},
        {"mp4", "h.mp4", 48000, 1, 440, 48000, 1, 0},
        {"aac", "i.aac", 32000, 2, 600, 32000, 2, 3 * 1024},
        {"wav24", "j.wav", 44100, 2, 440, 44100, 2, 0},
        {"wav32", "k.wav", 48000, 2, 720, 48000, 2, 0},
        {"wavf", "l.wav", 96000, 2, 1000, 96000, 2, 0},
        {"aiff", "m.aiff", 8000, 1, 300, 8000, 1, 0},
        {"flac", "renamed.mp3", 44100, 2, 440, 44100, 2, 0},
        {"oggflac", "n.oga", 44100, 2, 500, 44100, 2, 0},
    };
    TempDir dir;
    OfflineSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.rateHz << " Hz " << c.channels);
        const double seconds = 2.5;
        auto pcm = testmedia::sine(c.toneHz, seconds, c.rateHz, c.channels);
        const std::string path = writeFormat(dir, c.name, pcm, c.format);
        Chain chain = openChain(path);
        ASSERT_NE(chain.channel, 0u) << VX_StreamGetError();
        DWORD freq = 0;
        BASS_ChannelGetAttributes(chain.source, &freq, nullptr, nullptr);
        EXPECT_EQ(freq, DWORD(c.outRateHz));
        EXPECT_EQ((BASS_ChannelGetFlags(chain.source) & VX_FLAG_MONO) != 0, c.outChannels == 1);
        const auto expectFrames = static_cast<int64_t>(std::llround(seconds * c.outRateHz));
        const auto length =
            static_cast<int64_t>(VX_StreamGetLength64(chain.source)) / (2 * c.outChannels);
        EXPECT_GE(length, expectFrames - 1);
        EXPECT_LE(length, expectFrames + 1 + c.lengthSlack);

        // Played on the 44.1 kHz output: the tone, on both sides, at its level; then the end,
        // reached once, with nothing after it.
        std::vector<float> out;
        int ends = 0;
        bool active = true;
        for (int block = 0; block < 200 && (active || block < 150); ++block) {
            auto part = render(1024);
            out.insert(out.end(), part.begin(), part.end());
            const bool now = BASS_ChannelIsActive(chain.channel) != BASS_ACTIVE_STOPPED;
            if (active && !now) ++ends;
            EXPECT_FALSE(!active && now) << "playing again after its end";
            active = now;
        }
        ListenOnFailure listen(c.name, out);
        EXPECT_EQ(ends, 1);
        const size_t mid = 44100;
        std::vector<float> stretch(out.begin() + mid * 2, out.begin() + (mid + 8192) * 2);
        EXPECT_NEAR(toneHz(side(stretch, 0), c.toneHz), c.toneHz, 2);
        EXPECT_NEAR(rmsOf(side(stretch, 1)), 0.5 / std::sqrt(2.0), 0.05);
        // Silent after the end: 2.5 s of audio and at most a frame's slack.
        const size_t endFrame = static_cast<size_t>(seconds * 44100) + 2 * 44100 * 0.05;
        ASSERT_LT(endFrame * 2, out.size());
        std::vector<float> after(out.begin() + endFrame * 2, out.end());
        EXPECT_LT(testmedia::peak(after.data(), after.size()), 1e-4);
        BASS_StreamFree(chain.source);
    }
}

TEST(Formats, SeeksLandOnTheSampleOrWithinOneCodecFrame) {
    const struct {
        const char* format;
        int rateHz;
        int worst;  // largest 16-bit difference to the audio decoded straight through
    } cases[] = {
        {"mp3", 44100, 1},  // VBR, its length from the encoder's tag
        {"flac", 44100, 0},
        {"wav24", 48000, 0},
        {"aiff", 44100, 0},
        {"ogg", 44100, 40},
        {"opus", 48000, 60},
        {"m4a", 44100, 40},
        // ADTS names no encoder delay: the decoder's first frame after a flush differs a little.
        {"aac", 44100, 250},
    };
    TempDir dir;
    OfflineSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        auto pcm = twoTones(4, c.rateHz, 2);
        const std::string name = std::string("s.") + c.format;
        const std::string path = name == "s.mp3"
                                     ? writeMp3(dir, name, pcm, {.vbr = true, .quality = 9})
                                     : writeFormat(dir, name, pcm, c.format);
        DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(src, 0u) << VX_StreamGetError();
        const size_t length = VX_StreamGetLength64(src) / 4;
        if (name == "s.mp3") {
            EXPECT_EQ(length, pcm.frames()) << "the length the encoder's tag names, to the frame";
        }
        auto all = decodeAll(src, length + 10000, 2);
        EXPECT_EQ(all.size(), length * 2) << "decoded to its length";
        EXPECT_EQ(BASS_ChannelGetPosition(src), length * 4);
        EXPECT_EQ(BASS_ChannelIsActive(src), 0u) << "fully decoded";
        for (size_t frame : {size_t(0), size_t(1151), size_t(44100 + 577), size_t(130000)}) {
            ASSERT_TRUE(BASS_ChannelSetPosition(src, static_cast<DWORD>(frame * 4)));
            EXPECT_EQ(BASS_ChannelGetPosition(src), frame * 4) << "reported at once";
            EXPECT_EQ(BASS_ChannelIsActive(src), 1u);
            auto part = decodeAll(src, 3000, 2);
            ASSERT_EQ(part.size(), 6000u);
            int worst = 0;
            for (size_t i = 0; i < part.size(); ++i)
                worst = std::max(worst, std::abs(part[i] - all[frame * 2 + i]));
            EXPECT_LE(worst, c.worst) << "seek to frame " << frame;
        }
        EXPECT_FALSE(BASS_ChannelSetPosition(src, static_cast<DWORD>(length * 4 + 4)))
            << "beyond the end";
        BASS_StreamFree(src);
    }
}

TEST(Formats, BadFilesAreRefusedWithTheirReason) {
    TempDir dir;
    OfflineSession session;
    auto tone = testmedia::sine(440, 1, 44100, 2);
    auto flac = testmedia::encodeWithTool(tone, "flac", dir.file(""));
    auto m4a = testmedia::encodeWithTool(tone, "m4a", dir.file(""));
    ASSERT_GT(flac.size(), 2000u);
    ASSERT_GT(m4a.size(), 2000u);
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "Line " + std::to_string(i) + " of a text file\n";
    // A WAV file of a codec nobody knows (format tag 0x9999).
    auto odd = testmedia::wavBytes(tone);
    odd[20] = 0x99, odd[21] = 0x99;
    // FFmpeg writes the index of an M4A after its audio: cut in half, nothing says what it holds.
    std::vector<uint8_t> halfM4a(m4a.begin(), m4a.begin() + static_cast<long>(m4a.size() / 2));
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* says;
    } cases[] = {
        {"empty.flac", {}, "empty file"},
        {"text.flac", {text.begin(), text.end()}, "not an audio file"},
        {"text.ogg", {text.begin(), text.end()}, "not an audio file"},
        {"head.flac", {flac.begin(), flac.begin() + 20}, "not an audio file"},
        {"half.m4a", halfM4a, "not an audio file"},
        {"odd.wav", odd, "unsupported codec (tag 0x9999)"},
        {"fake.m4a", {0, 0, 0, 20, 'f', 't', 'y', 'p', 'M', '4', 'A', ' '}, "not an audio file"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(testmedia::writeFile(path, c.bytes));
        EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << c.name;
        EXPECT_EQ(std::string(VX_StreamGetError()), c.says) << c.name;
        // The same bytes from memory.
        if (!c.bytes.empty()) {
            EXPECT_EQ(BASS_StreamCreateFile(1, c.bytes.data(), 0,
                                            static_cast<DWORD>(c.bytes.size()), BASS_STREAM_DECODE),
                      0u)
                << c.name;
        }
    }
    // A FLAC file cut short plays what it has and ends.
    std::vector<uint8_t> cut(flac.begin(), flac.begin() + static_cast<long>(flac.size() / 2));
    DWORD src =
        BASS_StreamCreateFile(1, cut.data(), 0, static_cast<DWORD>(cut.size()), BASS_STREAM_DECODE);
    ASSERT_NE(src, 0u) << VX_StreamGetError();
    auto got = decodeAll(src, 44100, 2);
    EXPECT_GT(got.size(), 2u * 4096);
    EXPECT_LT(got.size(), 2u * 44100);
    EXPECT_EQ(BASS_ChannelIsActive(src), BASS_ACTIVE_STOPPED);
}
