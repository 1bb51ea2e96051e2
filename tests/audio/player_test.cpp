// The player object against real decoded audio, rendered offline.
#include "audio/player.h"

#include <sys/stat.h>

#include <chrono>

#include "audio/realtime/fx/effect.h"
#include "audiotest.h"

namespace velorixa {
namespace {

using namespace audiotest;

class PlayerTest : public ::testing::Test {
  protected:
    void TearDown() override { player_.ExitForm(); }

    std::string mp3(const testmedia::Pcm& pcm, const char* name = "t.mp3") {
        return writeMp3(dir_, name, pcm, {.quality = 9});
    }
    bool start(const std::string& path, double frq = 100, double vol = 100, double pan = 0) {
        return player_.StartPlay(QString::fromStdString(path), 2, frq, vol, pan, {0, 50, 50, 50},
                                 {0, 100, 100, 100, 100});
    }

    TempDir dir_;
    OfflineSession session_;
    PLAYER player_;
};

TEST_F(PlayerTest, LengthRoundsHalvesToEven) {
    // 8 kHz mono keeps the files small; the LAME header gives the exact sample count.
    for (auto [seconds, expected] : {std::pair{2.5, 2}, {3.5, 4}, {0.4, 0}}) {
        ASSERT_TRUE(start(mp3(testmedia::sine(440, seconds, 8000, 1)))) << seconds;
        EXPECT_EQ(player_.GetFileLen(), expected) << seconds;
    }
}

TEST_F(PlayerTest, SpeedKnobChangesTheHeardFrequency) {
    auto path = mp3(testmedia::sine(500, 3, 44100, 2));
    for (auto [frq, factor] : {std::pair{150.0, 2.0}, {99.0, 0.995}, {50.0, 0.75}}) {
        ASSERT_TRUE(start(path, frq));
        auto out = render(35280);
        ListenOnFailure keep("frq" + std::to_string(int(frq)), out);
        // Skip the first 200 ms (rate glide, codec delay).
        EXPECT_NEAR(toneHz(side(out, 0, 8820), 500 * factor) / 500, factor, 0.002) << frq;
    }
}

TEST_F(PlayerTest, ChanAttrKeepsWhatMinusOneLeaves) {
    ASSERT_TRUE(start(mp3(testmedia::sine(440, 1, 22050, 2)), 100, 80, -30));
    auto attrs = [&] {
        DWORD freq = 0, vol = 0;
        int pan = 0;
        BASS_ChannelGetAttributes(player_.ChanPIT, &freq, &vol, &pan);
        return std::tuple{freq, vol, pan};
    };
    EXPECT_EQ(attrs(), std::tuple(22050u, 80u, -30));
    player_.SetChanAttr(-1, -1, -101);
    EXPECT_EQ(attrs(), std::tuple(22050u, 80u, -30));
    player_.SetChanAttr(-1, 40, 20);  // rate untouched, volume and balance set
    EXPECT_EQ(attrs(), std::tuple(22050u, 40u, 20));
    player_.SetChanAttr(150, -1, -101);
    EXPECT_EQ(attrs(), std::tuple(44100u, 40u, 20));
}

TEST_F(PlayerTest, SlidersReachTheEffectRecords) {
    ASSERT_TRUE(start(mp3(testmedia::sine(440, 1, 22050, 1))));
    // Read back one field of the record behind EqlArrFx[band] (kind 0) or EffArrFx[index].
    auto field = [&](int kind, int index, int word) {
        float rec[8] = {};
        BASS_FXGetParameters(kind == 0 ? player_.EqlArrFx[index] : player_.EffArrFx[index], rec);
        return rec[word];
    };
    // Started with every effect slider at 100: silent.
    EXPECT_EQ(field(1, 1, 1), -96.f);
    EXPECT_EQ(field(1, 2, 0), 0.f);
    struct Case {
        int kind, index, slider, word;
        float expected;
    } cases[] = {
        {0, 1, 0, 2, 10},    {0, 2, 4, 2, 10},  {0, 3, 5, 2, 9},     {0, 1, 50, 2, 0},
        {0, 2, 100, 2, -10}, {1, 1, 0, 1, 0},   {1, 1, 50, 1, -12},  {1, 2, 0, 0, 100},
        {1, 2, 0, 1, 60},    {1, 3, 0, 0, 100}, {1, 4, 0, 2, -95},   {1, 4, 55, 2, -89.5f},
        {1, 4, 55, 0, 45},   {1, 2, 255, 0, 0}, {0, 1, 255, 2, -15},
    };
    for (const Case& c : cases) {
        if (c.kind == 0) player_.UpdateEQL(static_cast<int16_t>(c.index), c.slider);
        if (c.kind == 1) player_.UpdateEFF(static_cast<int16_t>(c.index), c.slider);
        EXPECT_NEAR(field(c.kind, c.index, c.word), c.expected, 1e-4)
            << "kind " << c.kind << " index " << c.index << " slider " << c.slider;
    }
    const float before = field(1, 2, 0);
    player_.UpdateEFF(5, 0);  // no such effect: nothing changes
    EXPECT_EQ(field(1, 2, 0), before);
}

TEST_F(PlayerTest, PositionOnlyWhilePlayingAndSeekOnlyThen) {
    // One second each of 300, 600, 900 and 1200 Hz.
    ASSERT_TRUE(start(mp3(testmedia::toneSteps({300, 600, 900, 1200}, 44100, 2))));
    render(13230);
    EXPECT_GE(player_.GetFilePos(), 0.0f);
    EXPECT_TRUE(player_.GetChannelActive());
    player_.PausPlay();
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
    EXPECT_FALSE(player_.SetPPlay(2.5f));
    EXPECT_FALSE(player_.GetFileEnd());
    player_.ResuPlay();
    ASSERT_TRUE(player_.SetPPlay(2.2f));
    auto out = render(22050);
    EXPECT_NEAR(toneHz(side(out, 0, 4410), 900), 900, 5);
    // What is heard: 2.2 s plus the half second just rendered, not the decoder's lead.
    EXPECT_NEAR(player_.GetFilePos(), 2.7f, 0.05f);
    ASSERT_TRUE(player_.SetPPlay(0.2f));  // and back
    EXPECT_NEAR(toneHz(side(render(22050), 0, 4410), 300), 300, 5);
}

TEST_F(PlayerTest, EndOfFileAndStopStates) {
    auto path = mp3(testmedia::sine(440, 0.5, 44100, 2));
    ASSERT_TRUE(start(path));
    EXPECT_FALSE(player_.GetFileEnd());
    render(66150);
    EXPECT_TRUE(player_.GetFileEnd());
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
    ASSERT_TRUE(start(path));
    player_.StopPlay();
    EXPECT_FALSE(player_.GetFilePlayPerf());
    EXPECT_EQ(player_.GetFilePos(), -1.0f);
}

TEST_F(PlayerTest, BadSourcesFailAtOnceAndLeaveNothingPlaying) {
    auto good = mp3(testmedia::sine(440, 1, 22050, 2));
    ASSERT_TRUE(start(good));
    std::string text = dir_.file("notes.mp3"), fifo = dir_.file("fifo.mp3");
    testmedia::writeFile(text, std::string("these are not the sounds you are looking for\n"));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Bad {
        std::string path, why;
    } bad[] = {{text, "not an audio file"},
               {dir_.file("missing.mp3"), "no such file"},
               {fifo, "not a regular file"}};  // nobody writes to it: an open would wait
    for (const Bad& b : bad) {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(start(b.path)) << b.path;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1)) << b.path;
        EXPECT_NE(std::string(VX_StreamGetError()).find(b.why), std::string::npos)
            << b.path << ": " << VX_StreamGetError();
        EXPECT_EQ(player_.ChanEQL, 0u);
        EXPECT_FALSE(player_.GetFilePlayPerf());
    }
}

TEST(PlayerText, CStrToTextTakesUtf8ElseLatin1) {
    EXPECT_EQ(PLAYER::CStrToText(nullptr), "");
    EXPECT_EQ(PLAYER::CStrToText("StreamTitle='Caf\xc3\xa9';"),
              QString::fromUtf8("StreamTitle='Café';"));
    EXPECT_EQ(PLAYER::CStrToText("StreamTitle='Caf\xe9';"),
              QString::fromUtf8("StreamTitle='Café';"));
    const char two[] = "first\0second";
    EXPECT_EQ(PLAYER::CStrToText(two), "first");
}

}  // namespace
}  // namespace velorixa
