// The gain an item plays at, how it is shown, and how the option and the cache are kept.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <optional>

#include "audio/decode/tags.h"
#include "levels/levelgain.h"
#include "levels/levelsettings.h"
#include "levels/loudnessstore.h"
#include "util/fspath.h"

using namespace velorixa::levels;

namespace {

struct GainCase {
    const char* name;
    std::optional<double> tagGain, tagPeak;
    Loudness measured;
    double expectDb;
    LevelSource expectSource;
};

Level levelOf(const GainCase& c) {
    return c.tagGain ? LevelFromTag(*c.tagGain, c.tagPeak) : LevelFromLoudness(c.measured);
}

TEST(LevelGain, TagOrMeasurementToTheTargetNeverPastFullScale) {
    const double inf = std::numeric_limits<double>::infinity();
    const GainCase cases[] = {
        {"tag as it is", -4.2, std::nullopt, {}, -4.2, LevelSource::Tag},
        {"tag with a low peak", 6.0, 0.25, {}, 6.0, LevelSource::Tag},
        {"tag limited by its peak", 6.0, 0.9, {}, -20 * std::log10(0.9), LevelSource::Tag},
        {"tag with a peak over full scale", 0.0, 1.2, {}, -20 * std::log10(1.2), LevelSource::Tag},
        {"loud file turned down",
         std::nullopt,
         std::nullopt,
         {true, -8, 1.0, 60},
         -10,
         LevelSource::Measured},
        {"quiet file turned up",
         std::nullopt,
         std::nullopt,
         {true, -30, 0.1, 60},
         12,
         LevelSource::Measured},
        {"quiet file with a high peak",
         std::nullopt,
         std::nullopt,
         {true, -30, 0.5, 60},
         -20 * std::log10(0.5),
         LevelSource::Measured},
        {"silence", std::nullopt, std::nullopt, {true, -inf, 0, 60}, 0, LevelSource::Unmeasurable},
        {"did not decode",
         std::nullopt,
         std::nullopt,
         {false, 0, 0, 0},
         0,
         LevelSource::Unmeasurable},
        {"noise far below music",
         std::nullopt,
         std::nullopt,
         {true, -100, 0.0001, 60},
         24,
         LevelSource::Measured},
    };
    for (const GainCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Level l = levelOf(c);
        EXPECT_NEAR(l.gainDb, c.expectDb, 1e-9);
        EXPECT_EQ(l.source, c.expectSource);
    }
}

TEST(LevelGain, TextSaysTheGainAndWhereItCameFrom) {
    const struct {
        Level level;
        const char* text;
    } cases[] = {
        {{-4.24, LevelSource::Tag}, "Level -4.2 dB (tag)"},
        {{1.0, LevelSource::Measured}, "Level +1.0 dB (measured)"},
        {{0, LevelSource::Measuring}, "Level 0.0 dB (measuring...)"},
        {{-0.01, LevelSource::Measured}, "Level 0.0 dB (measured)"},
        {{0, LevelSource::Station}, "Level 0.0 dB (station)"},
        {{0, LevelSource::Unmeasurable}, "Level 0.0 dB (not measurable)"},
        {{-3, LevelSource::Off}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LevelText(c.level), QString::fromUtf8(c.text));
}

TEST(LevelGain, ReplayGainPeakParsesAsTaggersWriteIt) {
    const struct {
        const char* text;
        std::optional<double> peak;
    } cases[] = {{"0.988553", 0.988553}, {" 1.000000", 1.0},     {"1,25", 1.25},
                 {"0", std::nullopt},    {"-0.5", std::nullopt}, {"peak", std::nullopt},
                 {"1000", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(velorixa::audio::ParsePeak(c.text), c.peak);
    }
}

TEST(LevelSettingsFile, KeptAcrossRunsAndDefaultsOff) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/velorixa/levels.conf");
    EXPECT_FALSE(LevelSettings::Load(path).evenOut);  // no file yet
    QString error;
    ASSERT_TRUE(LevelSettings{true}.save(path, &error)) << error.toStdString();
    EXPECT_TRUE(LevelSettings::Load(path).evenOut);
    ASSERT_TRUE(LevelSettings{false}.save(path, &error));
    EXPECT_FALSE(LevelSettings::Load(path).evenOut);
}

TEST(LoudnessStoreFile, RoundTripsAnyPathAndForgetsAChangedFile) {
    QTemporaryDir dir;
    // A Latin-1 byte in the name: it must come back as the same byte.
    const QString odd = velorixa::util::PathFromBytes(dir.path().toUtf8() + "/caf\xe9 song.wav");
    const QString plain = dir.filePath("two words.flac");
    const double inf = std::numeric_limits<double>::infinity();
    LoudnessStore store;
    store.put(odd, {1234, 99}, {true, -14.25, 0.98, 180});
    store.put(plain, {10, 20}, {false, 0, 0, 0});
    const QString silent = dir.filePath("silent.wav");
    store.put(silent, {5, 6}, {true, -inf, 0, 3});
    const QString cache = dir.filePath("cache/velorixa/loudness.cache");
    QString error;
    ASSERT_TRUE(store.save(cache, &error)) << error.toStdString();

    LoudnessStore back;
    back.load(cache);
    EXPECT_EQ(back.size(), 3);
    const Loudness* l = back.find(odd, {1234, 99});
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->ok);
    EXPECT_DOUBLE_EQ(l->lufs, -14.25);
    EXPECT_DOUBLE_EQ(l->peak, 0.98);
    ASSERT_NE(back.find(plain, {10, 20}), nullptr);
    EXPECT_FALSE(back.find(plain, {10, 20})->ok);
    ASSERT_NE(back.find(silent, {5, 6}), nullptr);
    EXPECT_TRUE(std::isinf(back.find(silent, {5, 6})->lufs));
    // Same name, other size or time: a changed file, measured again.
    EXPECT_EQ(back.find(odd, {1235, 99}), nullptr);
    EXPECT_EQ(back.find(odd, {1234, 100}), nullptr);
}

TEST(LoudnessStoreFile, BrokenLinesAreSkippedNotFatal) {
    QTemporaryDir dir;
    const QString cache = dir.filePath("loudness.cache");
    QFile f(cache);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "velorixa-loudness 1\n"
        "1 10 20 -12.5 0.5 60 /good.wav\n"
        "1 ten 20 -12.5 0.5 60 /bad-size.wav\n"
        "1 10 20 loud 0.5 60 /bad-number.wav\n"
        "1 10 20 -12.5 0.5 60 relative.wav\n"
        "garbage\n");
    f.close();
    LoudnessStore store;
    store.load(cache);
    EXPECT_EQ(store.size(), 1);
    EXPECT_NE(store.find("/good.wav", {10, 20}), nullptr);

    // A file of another kind altogether is not taken for a cache.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("1 10 20 -12.5 0.5 60 /good.wav\n");
    f.close();
    store.load(cache);
    EXPECT_EQ(store.size(), 0);
}

}  // namespace
