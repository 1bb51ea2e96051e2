// Anything that is not MPEG layer III audio is refused at creation; damaged MP3 plays what it
// can and ends. Nothing crashes or hangs.

#include <filesystem>
#include <random>

#include "audio/decode/mp3probe.h"
#include "audiotest.h"

using namespace audiotest;

namespace {

class BadInput : public testing::Test {
  protected:
    // Opened as the player opens files.
    DWORD openFile(const std::string& path) {
        return BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    }
    DWORD openBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(testmedia::writeFile(dir_.file(name), bytes));
        return openFile(dir_.file(name));
    }
    // Plays a decoding source to its end offline; false if it does not end in time.
    bool playsToTheEnd(DWORD source) {
        DWORD ch = BASS_FX_PitchCreate(source);
        if (!ch || !BASS_StreamPlay(ch, 0, 0)) return false;
        for (int i = 0; i < 400 && BASS_ChannelIsActive(ch) != 0; ++i)
            render(4410);
        return BASS_ChannelIsActive(source) == 0 && BASS_ChannelIsActive(ch) == 0;
    }

    static std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> out(n);
        for (auto& b : out)
            b = static_cast<uint8_t>(rng());
        return out;
    }
    static std::vector<uint8_t> mp3(double seconds) {
        return testmedia::encodeMp3(testmedia::sine(440, seconds, 44100, 2), {.quality = 9});
    }

    TempDir dir_;
    OfflineSession session_;
};

}  // namespace

TEST_F(BadInput, RefusesWhatIsNotAnMp3File) {
    std::filesystem::create_directory(dir_.file("folder.mp3"));
    for (const char* name : {"missing.mp3", "", "folder.mp3"})  // "": the folder itself
        EXPECT_EQ(openFile(dir_.file(name)), 0u) << name;

    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "Line " + std::to_string(i) + " of a text file\r\n";
    // A WAV file renamed, and its bare PCM without the RIFF header.
    auto pcm = testmedia::sine(1000, 2, 44100, 2, 0.9);
    const auto* pcmBytes = reinterpret_cast<const uint8_t*>(pcm.samples.data());
    std::vector<uint8_t> raw(pcmBytes, pcmBytes + pcm.samples.size() * 2);
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    wav.insert(wav.end(), raw.begin(), raw.end());
    // MPEG layer II frames (128 kb/s, 44.1 kHz: 417 bytes each): the player plays layer III only.
    std::vector<uint8_t> layer2;
    for (int f = 0; f < 60; ++f) {
        layer2.insert(layer2.end(), {0xFF, 0xFD, 0x80, 0x00});
        layer2.resize(layer2.size() + 413, 0);
    }
    const std::pair<const char*, std::vector<uint8_t>> files[] = {
        {"empty.mp3", {}},
        {"tiny.mp3", {0xFF, 0xFB, 0x90}},
        {"random.mp3", randomBytes(200 * 1024, 1)},
        {"text.mp3", std::vector<uint8_t>(text.begin(), text.end())},
        {"wave.mp3", wav},
        {"pcm.mp3", raw},
        {"layer2.mp3", layer2},
    };
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(openBytes(name, bytes), 0u) << name;
    velorixa::audio::Mp3FrameHeader h;
    EXPECT_FALSE(velorixa::audio::parseMp3Header(layer2.data(), &h));
}

TEST_F(BadInput, Id3Tags) {
    auto audio = mp3(2);
    auto tagged = [&](uint32_t tagBytes, size_t actualBytes) {
        std::vector<uint8_t> out = {'I', 'D', '3', 4, 0, 0};
        for (int shift : {21, 14, 7, 0})
            out.push_back((tagBytes >> shift) & 0x7F);
        out.resize(out.size() + actualBytes, 0);
        out.insert(out.end(), audio.begin(), audio.end());
        return out;
    };
    // A 5 MB tag (cover art) in front of the audio is skipped.
    DWORD big = openBytes("bigtag.mp3", tagged(5 << 20, 5 << 20));
    ASSERT_NE(big, 0u);
    EXPECT_EQ(BASS_StreamGetLength(big), 2u * 44100 * 4);
    EXPECT_TRUE(playsToTheEnd(big));
    // A tag that claims more bytes than the file has.
    EXPECT_EQ(openBytes("liar.mp3", tagged(200 << 20, 1000)), 0u);
    // A tag size that is not syncsafe.
    auto broken = tagged(1000, 1000);
    broken[6] = 0x80;
    EXPECT_EQ(openBytes("notsyncsafe.mp3", broken), 0u);
}

TEST_F(BadInput, DamagedMp3PlaysWhatItCan) {
    auto audio = mp3(3);
    // Cut in the middle of a frame: shorter, plays and ends.
    std::vector<uint8_t> cut(audio.begin(),
                             audio.begin() + static_cast<long>(audio.size() / 2 + 77));
    DWORD half = openBytes("cut.mp3", cut);
    ASSERT_NE(half, 0u);
    EXPECT_TRUE(playsToTheEnd(half));
    // Garbage in the middle: mpg123 resynchronises, the stream still ends.
    auto spliced = audio;
    auto noise = randomBytes(5000, 9);
    std::copy(noise.begin(), noise.end(), spliced.begin() + static_cast<long>(spliced.size() / 3));
    DWORD hurt = openBytes("spliced.mp3", spliced);
    ASSERT_NE(hurt, 0u);
    EXPECT_TRUE(playsToTheEnd(hurt));
    EXPECT_GT(BASS_ChannelGetPosition(hurt), BASS_StreamGetLength(hurt) / 10 * 8)
        << "goes on after the damage";
    // Only the first few bytes of a frame survive.
    std::vector<uint8_t> stub(audio.begin(), audio.begin() + 300);
    EXPECT_EQ(openBytes("stub.mp3", stub), 0u);
    // Random bytes after a real start: opened, and they end without a hang.
    std::vector<uint8_t> tail(audio.begin(), audio.begin() + 4000);
    auto junk = randomBytes(100000, 11);
    tail.insert(tail.end(), junk.begin(), junk.end());
    DWORD junked = openBytes("junk.mp3", tail);
    if (junked) {
        EXPECT_TRUE(playsToTheEnd(junked));
    }
}

TEST_F(BadInput, CallsOnBadHandlesFail) {
    for (DWORD h : {0u, 0xFFFFFFFFu, 0x10000u}) {
        EXPECT_EQ(BASS_ChannelIsActive(h), 0u);
        EXPECT_EQ(BASS_ChannelGetPosition(h), 0xFFFFFFFFu);
        EXPECT_FALSE(BASS_ChannelSetPosition(h, 0));
        EXPECT_EQ(BASS_StreamGetLength(h), 0xFFFFFFFFu);
        EXPECT_FALSE(BASS_StreamPlay(h, 0, 0));
        EXPECT_FALSE(BASS_ChannelSetAttributes(h, 44100, 50, 0));
        EXPECT_EQ(BASS_ChannelGetLevel(h), 0xFFFFFFFFu);
        EXPECT_EQ(BASS_FX_PitchCreate(h), 0u);
        EXPECT_EQ(BASS_StreamGetTags(h, BASS_TAG_META), nullptr);
        EXPECT_EQ(BASS_ChannelSetFX(h, BASS_FX_ECHO), 0u);
        EXPECT_FALSE(BASS_FXSetParameters(h, "x"));
        EXPECT_EQ(BASS_ChannelBytes2Seconds(h, 100), -1.f);
    }
    BASS_Free();
    EXPECT_EQ(BASS_StreamCreateFile(0, "/x.mp3", 0, 0, 0), 0u) << "not initialised";
    EXPECT_EQ(BASS_GetVolume(), 0xFFFFFFFFu);
    EXPECT_FALSE(BASS_Free());
    ASSERT_TRUE(BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr));  // for the session's Free
    EXPECT_FALSE(BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr)) << "second init";
}

// What the offline output plays of a file, to its end, through the pitch channel as the player
// plays it (at most maxSeconds).
static std::vector<float> playedToTheEnd(const std::string& path, double maxSeconds) {
    Chain c = openChain(path);
    std::vector<float> out;
    if (!c.channel) return out;
    const auto limit = static_cast<size_t>(maxSeconds * 44100);
    while (BASS_ChannelIsActive(c.channel) != 0 && out.size() / 2 < limit) {
        auto block = render(4410);
        out.insert(out.end(), block.begin(), block.end());
    }
    // The channel stops inside its last block: what follows in that block is silence.
    while (!out.empty() && out.back() == 0.f)
        out.pop_back();
    out.resize(out.size() / 2 * 2);
    BASS_StreamFree(c.source);
    return out;
}

TEST_F(BadInput, GarbageOfAnySizeInsideAFileIsPlayedPast) {
    // Ten seconds, one tone per second: where the sound after the damage comes from can be told
    // by its frequency.
    const std::vector<double> tones = {300, 350, 400, 450, 500, 550, 600, 650, 700, 750};
    const auto audio = testmedia::encodeMp3(testmedia::toneSteps(tones), {.quality = 9});
    // Random bytes hold, here and there, what looks like a frame of the same kind; mpg123 plays
    // those as short noise, as any player built on it does. Zeros hold nothing of the kind.
    const struct {
        const char* name;
        std::vector<uint8_t> garbage;
        bool looksLikeFrames;
    } cases[] = {
        {"100 KB of zeros", std::vector<uint8_t>(100 * 1024, 0), false},
        {"1 MB of zeros", std::vector<uint8_t>(1024 * 1024, 0), false},
        {"100 KB of random bytes", randomBytes(100 * 1024, 5), true},
        {"1 MB of random bytes", randomBytes(1024 * 1024, 6), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = audio;
        bytes.insert(bytes.begin() + static_cast<long>(bytes.size() / 2), c.garbage.begin(),
                     c.garbage.end());
        testmedia::writeFile(dir_.file("damaged.mp3"), bytes);
        auto out = playedToTheEnd(dir_.file("damaged.mp3"), 60);
        ListenOnFailure keep("damaged", out);
        const double seconds = out.size() / 2 / 44100.0;
        if (c.looksLikeFrames) {
            // At most what the junk could hold as frames of the file's 128 kb/s.
            EXPECT_GT(seconds, 9.85);
            EXPECT_LT(seconds, 10.0 + c.garbage.size() / 16000.0);
        } else {
            // Only the frame cut by the damage is lost.
            EXPECT_NEAR(seconds, 10.0, 0.06);
        }
        // The last seconds are the file's own, at their own place.
        for (int back : {1, 2}) {
            const size_t at = out.size() / 2 - static_cast<size_t>(back) * 44100 + 4410;
            std::vector<float> left = side(out, 0, at);
            left.resize(44100 - 8820);
            EXPECT_NEAR(toneHz(left, tones[tones.size() - back]), tones[tones.size() - back], 2)
                << back << " s before the end";
        }
    }
}
