// Decoding sources: lengths, byte/second conversions, positions, the formats MP3 comes in, the
// 16-bit PCM a caller pulls, and lengths that do not fit in 32 bits (seeking: formats_test).

#include <mpg123.h>

#include <cmath>
#include <cstring>
#include <random>

#include "audio/decode/decoder.h"
#include "audio/pcm16.h"
#include "audiotest.h"

using namespace audiotest;

TEST(AudioDecode, LengthIsExactAndConvertsToSeconds) {
    TempDir dir;
    // 30.5 s, 210.5 s would be slow to encode; the half second is what rounding cares about.
    auto pcm = testmedia::sine(440, 30.5, 44100, 2);
    auto path = writeMp3(dir, "half.mp3", pcm, {.bitrateKbps = 64, .quality = 9});
    OfflineSession session;
    DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(src, 0u);
    // The LAME tag carries encoder delay and padding, so the length is the PCM's, to the frame.
    EXPECT_EQ(BASS_StreamGetLength(src), pcm.frames() * 4);
    EXPECT_EQ(VX_StreamGetLength64(src), pcm.frames() * 4);
    EXPECT_FLOAT_EQ(BASS_ChannelBytes2Seconds(src, BASS_StreamGetLength(src)), 30.5f);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(src, 1.0f), 176400u);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(src, 0.6f / 44100), 4u) << "rounded to whole frames";
}

TEST(AudioDecode, WithoutLengthTagTheFileIsScanned) {
    TempDir dir;
    auto pcm = testmedia::sine(440, 3, 44100, 2);
    auto bytes = testmedia::encodeMp3(pcm, {.bitrateKbps = 128, .quality = 9});
    // Drop the leading Xing/LAME frame (417 or 418 bytes at 128 kb/s) so only a scan can tell.
    size_t second = 1;
    while (second + 1 < bytes.size() &&
           !(bytes[second] == 0xFF && (bytes[second + 1] & 0xE0) == 0xE0)) {
        ++second;
    }
    std::vector<uint8_t> bare(bytes.begin() + static_cast<long>(second), bytes.end());
    auto path = dir.file("bare.mp3");
    ASSERT_TRUE(testmedia::writeFile(path, bare));
    OfflineSession session;
    DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(src, 0u);
    // Without the tag the encoder delay and padding stay in: at most two frames more.
    int64_t frames = BASS_StreamGetLength(src) / 4;
    EXPECT_GE(frames, int64_t(pcm.frames()));
    EXPECT_LE(frames, int64_t(pcm.frames()) + 2 * 1152 + 576);
    EXPECT_EQ(frames % 1152, 0) << "whole MPEG frames when nothing says otherwise";
}

TEST(AudioDecode, FormatsMonoStereoRatesCbrVbr) {
    TempDir dir;
    OfflineSession session;
    // MPEG-2.5, -2 and -1, from both families of rates.
    const int rates[] = {8000, 11025, 22050, 48000};
    for (int rate : rates) {
        for (int channels : {1, 2}) {
            for (bool vbr : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << rate << " Hz, " << channels << " ch, " << (vbr ? "VBR" : "CBR"));
                auto pcm = testmedia::sine(440, 1.5, rate, channels);
                int kbps = rate <= 12000 ? 32 : rate <= 24000 ? 64 : 128;
                auto path =
                    writeMp3(dir, "f.mp3", pcm, {.bitrateKbps = kbps, .vbr = vbr, .quality = 9});
                Chain c = openChain(path);
                ASSERT_NE(c.channel, 0u);
                DWORD freq = 0;
                BASS_ChannelGetAttributes(c.source, &freq, nullptr, nullptr);
                EXPECT_EQ(freq, DWORD(rate));
                EXPECT_EQ((BASS_ChannelGetFlags(c.source) & VX_FLAG_MONO) != 0, channels == 1);
                EXPECT_EQ(BASS_StreamGetLength(c.source), pcm.frames() * channels * 2);
                auto out = render(16384);
                // Played at its own rate on the 44.1 kHz output: the same tone on both sides.
                EXPECT_NEAR(toneHz(side(out, 0, 4096), 440), 440, 1.5);
                EXPECT_NEAR(rmsOf(side(out, 1, 4096)), 0.5 / std::sqrt(2.0), 0.03);
                BASS_StreamFree(c.source);
            }
        }
    }
}

// What a caller pulls is the decoder's float output rounded sample by sample, whatever it asks
// for at a time: requests that are bigger than the ring, smaller than a decode chunk or not
// lined up with it make the ring wrap at every place and the caller wait for the decoder.
TEST(AudioDecode, PulledPcmIsTheDecodedFloatRoundedSampleBySample) {
    struct Case {
        int rateHz;
        int channels;
    };
    for (Case c : {Case{44100, 2}, Case{22050, 1}}) {
        SCOPED_TRACE(testing::Message() << c.rateHz << " Hz, " << c.channels << " ch");
        TempDir dir;
        auto pcm = testmedia::toneSteps({300, 2000, 700, 5000, 150, 900}, c.rateHz, c.channels);
        // With noise every frame is full of data: 96 KB, more than one block of the file reader.
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> noise(-3000, 3000);
        for (int16_t& x : pcm.samples)
            x = static_cast<int16_t>(x + noise(rng));
        auto path = writeMp3(dir, "t.mp3", pcm, {.bitrateKbps = 128, .quality = 9});

        // The same file through libmpg123 directly, set up as every source's handle.
        std::vector<int16_t> expected;
        {
            mpg123_handle* mh = velorixa::audio::newMpg123Handle();
            ASSERT_NE(mh, nullptr);
            ASSERT_EQ(mpg123_open(mh, path.c_str()), MPG123_OK);
            long rate = 0;
            int channels = 0, encoding = 0;
            ASSERT_EQ(mpg123_getformat(mh, &rate, &channels, &encoding), MPG123_OK);
            velorixa::audio::lockMpg123Format(mh, rate, channels);
            ASSERT_EQ(mpg123_seek(mh, 0, SEEK_SET), 0);
            std::vector<float> buf(4096);
            int rc = MPG123_OK;
            while (rc == MPG123_OK || rc == MPG123_NEW_FORMAT) {
                size_t done = 0;
                rc = mpg123_read(mh, buf.data(), buf.size() * sizeof(float), &done);
                for (size_t i = 0; i < done / sizeof(float); ++i)
                    expected.push_back(velorixa::audio::ToPcm16(buf[i]));
            }
            EXPECT_EQ(rc, MPG123_DONE);
            mpg123_close(mh);
            mpg123_delete(mh);
        }
        ASSERT_EQ(expected.size(), pcm.samples.size());

        OfflineSession session;
        const float bufferBefore = BASS_SetBufferLength(NAN);
        BASS_SetBufferLength(0.05f);  // the smallest ring: 8192 frames
        DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        BASS_SetBufferLength(bufferBefore);
        ASSERT_NE(src, 0u);
        std::vector<int16_t> pulled(expected.size() + 64);
        const size_t frameBytes = size_t(c.channels) * 2;
        const size_t requests[] = {20000, 1, 333, 2048, 7, 8191, 4097};
        size_t got = 0;  // samples
        for (size_t k = 0; got < expected.size(); ++k) {
            const size_t frames = std::min(requests[k % std::size(requests)],
                                           (pulled.size() - got) / size_t(c.channels));
            DWORD n = BASS_ChannelGetData(src, pulled.data() + got,
                                          static_cast<DWORD>(frames * frameBytes));
            ASSERT_NE(n, 0xFFFFFFFFu) << "ended early at sample " << got;
            ASSERT_EQ(n % frameBytes, 0u);
            got += n / 2;
        }
        EXPECT_EQ(BASS_ChannelGetData(src, pulled.data(), 400), 0xFFFFFFFFu) << "then the end";
        pulled.resize(got);
        EXPECT_TRUE(pulled == expected)
            << "first difference at sample "
            << std::mismatch(pulled.begin(), pulled.end(), expected.begin(), expected.end()).first -
                   pulled.begin();
    }
}

TEST(AudioDecode, LengthsBeyond32BitsSaturate) {
    // A Xing frame that announces a million frames: 48 kHz stereo makes that 4.6 GB of PCM.
    auto pcm = testmedia::sine(440, 1, 48000, 2);
    auto bytes = testmedia::encodeMp3(pcm, {.bitrateKbps = 128, .quality = 9});
    size_t at = 0;
    for (size_t i = 0; i + 8 < 200; ++i) {
        if (std::memcmp(&bytes[i], "Xing", 4) == 0 || std::memcmp(&bytes[i], "Info", 4) == 0) {
            at = i;
            break;
        }
    }
    ASSERT_NE(at, 0u);
    ASSERT_TRUE(bytes[at + 7] & 1) << "frame count present";
    const uint32_t frames = 1000000;
    bytes[at + 8] = frames >> 24;
    bytes[at + 9] = (frames >> 16) & 0xFF;
    bytes[at + 10] = (frames >> 8) & 0xFF;
    bytes[at + 11] = frames & 0xFF;
    TempDir dir;
    ASSERT_TRUE(testmedia::writeFile(dir.file("long.mp3"), bytes));
    OfflineSession session;
    DWORD src = BASS_StreamCreateFile(0, dir.file("long.mp3").c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(src, 0u);
    QWORD full = VX_StreamGetLength64(src);
    EXPECT_GT(full, QWORD(1) << 32);
    EXPECT_NEAR(double(full), 1e6 * 1152 * 4, 4 * 4000.0);
    EXPECT_EQ(BASS_StreamGetLength(src), VX_LENGTH_SATURATED) << "not the failure value";
    // Positions past 4 GB go through the 64-bit calls; the 32-bit one saturates likewise.
    ASSERT_TRUE(VX_ChannelSetPosition64(src, QWORD(4500000000)));
    EXPECT_EQ(VX_ChannelGetPosition64(src), QWORD(4500000000));
    EXPECT_EQ(BASS_ChannelGetPosition(src), VX_LENGTH_SATURATED);
}

TEST(AudioDecode, FreeFormatFilesPlayWithTheirToneAndLength) {
    TempDir dir;
    OfflineSession session;
    // Free-format bit rates that the table of standard ones lacks, in MPEG-1 and MPEG-2.
    const struct {
        int rateHz, channels, kbps;
    } cases[] = {{44100, 2, 200}, {48000, 2, 400}, {22050, 1, 52}};
    const std::vector<double> tones = {440, 660, 880};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rateHz << " Hz, " << c.channels << " ch, " << c.kbps
                                        << " kb/s free format");
        const auto pcm = testmedia::toneSteps(tones, c.rateHz, c.channels);
        const auto bytes =
            testmedia::encodeMp3(pcm, {.bitrateKbps = c.kbps, .quality = 9, .freeFormat = true});
        ASSERT_FALSE(bytes.empty());
        // The headers carry bit rate index 0: this is free format indeed.
        ASSERT_EQ(bytes[2] >> 4, 0) << "first frame";
        const std::string path = dir.file("free.mp3");
        testmedia::writeFile(path, bytes);
        DWORD probe = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        ASSERT_NE(probe, 0u) << VX_StreamGetError();
        BASS_StreamFree(probe);
        Chain ch = openChain(path);
        ASSERT_NE(ch.channel, 0u);
        EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch.source, BASS_StreamGetLength(ch.source)), 3.0,
                    0.06);
        auto out = render(3 * 44100);
        for (size_t s = 0; s < tones.size(); ++s) {
            std::vector<float> left = side(out, 0, s * 44100 + 4410);
            left.resize(44100 - 8820);
            EXPECT_NEAR(toneHz(left, tones[s]), tones[s], 2) << "second " << s;
        }
        EXPECT_NEAR(rmsOf(side(out, 1, 4410)), 0.5 / std::sqrt(2.0), 0.05);
        BASS_StreamFree(ch.source);
    }
}
