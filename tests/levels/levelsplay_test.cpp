// Evening out levels through the paths a user takes: files added to the list get their tags
// read and their loudness measured in the background, the option is toggled with the mouse on
// its check box, and the player renders offline what would be heard.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <cmath>
#include <memory>

#include "common/taggedmedia.h"
#include "common/waitfor.h"
#include "levels/levelcontrol.h"
#include "levels/loudnessscanner.h"
#include "levels/ui/levelspanel.h"
#include "levelstest.h"
#include "playlist/tagcache.h"

using namespace velorixa;
using namespace velorixa::levels;
using levelstest::OfflinePlayer;
using velorixa::test::waitFor;

namespace {

constexpr int kWaitMs = 60000;  // sanitizer builds on two shared cores

// The window's wiring, without the window: tags read on the tag cache's worker, loudness on the
// scanner's, the option on the Settings page's check box, the playing item's gain to the player.
struct LevelRig {
    explicit LevelRig(const QString& cacheFile, velorixa::PLAYER* player = nullptr,
                      LoudnessScanner::Measurer measurer = &MeasureLoudness)
        : tags(&audio::ReadTags),
          scanner(cacheFile, std::move(measurer)),
          control(
              scanner, [this](const QString& item) { return tags.find(item); }, {},
              settingsDir.filePath("levels.conf")) {
        page.resize(457, 425);
        panel = std::make_unique<LevelsPanel>(page, control);
        page.show();
        QObject::connect(&tags, &playlist::TagCache::tagsRead, &control, &LevelControl::tagsRead);
        if (player)
            QObject::connect(
                &control, &LevelControl::playingLevelChanged, &control,
                [player](const Level& l) { player->SetLevelDb(static_cast<float>(l.gainDb)); });
    }
    // Adds files to the list, as the list view asks for their tags.
    void add(const QStringList& paths) { tags.want(paths); }
    void clickOption() {
        QCheckBox* box = panel->ChkLevels;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    bool known(const QString& path) {
        return waitFor([&] { return control.levelFor(path).source != LevelSource::Measuring; },
                       kWaitMs);
    }

    QTemporaryDir settingsDir;
    playlist::TagCache tags;
    LoudnessScanner scanner;
    LevelControl control;
    QWidget page;
    std::unique_ptr<LevelsPanel> panel;
};

std::vector<float> playFor(OfflinePlayer& p, const QString& path, double seconds) {
    EXPECT_TRUE(p.start(path)) << path.toStdString();
    return p.render(static_cast<size_t>(seconds * 44100));
}

TEST(LevelsMeasure, AToneMeasuresAsR128Says) {
    QTemporaryDir dir;
    const QString path = levelstest::writeTone(dir, "tone.wav", 0.1);
    const Loudness l = MeasureLoudness(path);
    ASSERT_TRUE(l.ok);
    EXPECT_NEAR(l.lufs, levelstest::toneLufs(0.1), 0.1);
    EXPECT_NEAR(l.peak, 0.1, 0.001);
    EXPECT_NEAR(l.seconds, 6, 0.01);
    // A mono file is heard on both sides: as loud as the same tone in stereo.
    const QString mono = dir.filePath("mono.wav");
    testmedia::writeFile(mono.toStdString(),
                         testmedia::wavBytes(testmedia::sine(997, 6, 44100, 1, 0.1)));
    EXPECT_NEAR(MeasureLoudness(mono).lufs, l.lufs, 0.1);
}

TEST(LevelsPlay, TwoFilesTwelveDbApartPlayWithinOneLuWithTheOptionOn) {
    QTemporaryDir dir;
    const QString loud = levelstest::writeTone(dir, "loud.wav", 0.5);
    const QString quiet = levelstest::writeTone(dir, "quiet.wav", 0.5 / std::pow(10, 12 / 20.0));
    OfflinePlayer p;
    LevelRig rig(dir.filePath("loudness.cache"), &p.player);
    rig.add({loud, quiet});
    rig.clickOption();
    ASSERT_TRUE(rig.control.evenOut());
    double lufs[2] = {};
    const QString files[2] = {loud, quiet};
    for (int i = 0; i < 2; ++i) {
        rig.control.setPlaying(files[i]);
        ASSERT_TRUE(rig.known(files[i]));
        EXPECT_EQ(rig.control.playingLevel().source, LevelSource::Measured);
        EXPECT_EQ(rig.panel->LblLevel->text(), LevelText(rig.control.playingLevel()));
        const std::vector<float> out = playFor(p, files[i], 4);
        lufs[i] = levelstest::loudnessOf(out);
    }
    EXPECT_NEAR(lufs[0], lufs[1], 1.0);
    EXPECT_NEAR(lufs[0], kTargetLufs, 1.0);
    EXPECT_TRUE(rig.panel->LblLevel->text().endsWith("(measured)"));

    // Off again (the same box): as recorded, 12 dB apart.
    rig.clickOption();
    ASSERT_FALSE(rig.control.evenOut());
    EXPECT_EQ(rig.panel->LblLevel->text(), QString());
    for (int i = 0; i < 2; ++i) {
        rig.control.setPlaying(files[i]);
        lufs[i] = levelstest::loudnessOf(playFor(p, files[i], 4));
    }
    EXPECT_NEAR(lufs[0] - lufs[1], 12.0, 0.2);
    EXPECT_NEAR(lufs[0], levelstest::toneLufs(0.5), 0.2);
}

// The output with the option off is the output without the level stage, sample for sample:
// never turned on, and turned off in mid-play once its glide is over.
TEST(LevelsPlay, OffSoundsExactlyAsWithoutTheOptionAndTogglesWithoutAClick) {
    QTemporaryDir dir;
    const QString loud = levelstest::writeTone(dir, "loud.wav", 0.5);
    std::vector<float> plain;
    {
        OfflinePlayer p;  // no levels at all
        plain = playFor(p, loud, 3);
    }
    std::vector<float> off;
    {
        OfflinePlayer p;
        LevelRig rig(dir.filePath("loudness.cache"), &p.player);
        rig.add({loud});
        rig.control.setPlaying(loud);
        off = playFor(p, loud, 3);
    }
    ASSERT_EQ(off.size(), plain.size());
    EXPECT_TRUE(off == plain) << "the option off changed the sound";

    std::vector<float> toggled;
    {
        OfflinePlayer p;
        LevelRig rig(dir.filePath("loudness.cache"), &p.player);
        rig.add({loud});
        rig.control.setPlaying(loud);
        EXPECT_TRUE(p.start(loud));
        toggled = p.render(44100);
        // On in mid-play: the measured gain glides in (about -9 dB for this tone)...
        rig.clickOption();
        ASSERT_TRUE(rig.known(loud));
        std::vector<float> more = p.render(44100);
        toggled.insert(toggled.end(), more.begin(), more.end());
        // ...and off again.
        rig.clickOption();
        more = p.render(44100);
        toggled.insert(toggled.end(), more.begin(), more.end());
    }
    ASSERT_EQ(toggled.size(), plain.size());
    // The middle second was turned down.
    const size_t mid = 2 * (44100 + 22050);
    EXPECT_LT(std::abs(toggled[mid]) + 1e-9, std::abs(plain[mid]) * 0.5 + 0.01);
    EXPECT_LT(levelstest::peakOf({toggled.begin() + 2 * 60000, toggled.begin() + 2 * 88200}),
              0.25f);
    // The last half second, long after the glide back, is bit for bit the plain one.
    const size_t tail = 2 * (3 * 44100 - 22050);
    EXPECT_TRUE(std::equal(toggled.begin() + tail, toggled.end(), plain.begin() + tail));
    // No click: no step from one sample to the next beyond the tone's own steepest.
    const double ownStep = 0.5 * 2 * M_PI * 997 / 44100;
    double worst = 0;
    for (size_t i = 2; i < toggled.size(); i += 2)
        worst = std::max(worst, static_cast<double>(std::abs(toggled[i] - toggled[i - 2])));
    EXPECT_LE(worst, ownStep * 1.05);
}

TEST(LevelsPlay, ATaggedFileUsesItsTagAndIsNotMeasured) {
    QTemporaryDir dir;
    const QString tagged = dir.filePath("tagged.flac");
    ASSERT_EQ(testmedia::makeTagged(tagged, 3,
                                    {"title=Tagged", "REPLAYGAIN_TRACK_GAIN=-3.50 dB",
                                     "REPLAYGAIN_TRACK_PEAK=0.125"}),
              QString());
    const QString untagged = levelstest::writeTone(dir, "untagged.wav", 0.25);
    OfflinePlayer p;
    LevelRig rig(dir.filePath("loudness.cache"), &p.player);
    rig.clickOption();
    rig.add({tagged, untagged});
    ASSERT_TRUE(rig.known(tagged));
    ASSERT_TRUE(rig.known(untagged));
    const Level t = rig.control.levelFor(tagged);
    EXPECT_EQ(t.source, LevelSource::Tag);
    EXPECT_NEAR(t.gainDb, -3.5, 1e-9);
    EXPECT_EQ(rig.control.levelFor(untagged).source, LevelSource::Measured);
    EXPECT_EQ(rig.scanner.find(tagged), nullptr);
    EXPECT_EQ(rig.scanner.measuredCount(), 1);
    rig.control.setPlaying(tagged);
    EXPECT_EQ(rig.panel->LblLevel->text(), QStringLiteral("Level -3.5 dB (tag)"));
    // The tag's gain is what plays: 3.5 dB below the file as recorded.
    const double as = levelstest::loudnessOf(playFor(p, tagged, 2.5));
    rig.clickOption();
    const double recorded = levelstest::loudnessOf(playFor(p, tagged, 2.5));
    EXPECT_NEAR(recorded - as, 3.5, 0.2);
}

// A loud file whose gain would lift it past full scale is held at its peak, whether the gain
// came from a tag or from the measurement.
TEST(LevelsPlay, NothingClipsALoudPeakLimitsTheGain) {
    QTemporaryDir dir;
    // Quiet music with sharp loud clicks: -29 LUFS, peak 0.98.
    testmedia::Pcm clicks = testmedia::sine(997, 6, 44100, 2, 0.05);
    for (size_t f = 4410; f < clicks.frames(); f += 22050)
        clicks.samples[2 * f] = clicks.samples[2 * f + 1] = static_cast<int16_t>(0.98 * 32767);
    const QString measured = dir.filePath("clicks.wav");
    ASSERT_TRUE(testmedia::writeFile(measured.toStdString(), testmedia::wavBytes(clicks)));
    // A full-scale tone whose tag asks for +10 dB.
    const QString wav = levelstest::writeTone(dir, "hot.wav", 0.99);
    const QString tagged = dir.filePath("hot.flac");
    QProcess ff;
    ff.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-i", wav, "-metadata",
                        "REPLAYGAIN_TRACK_GAIN=+10.00 dB", "-metadata",
                        "REPLAYGAIN_TRACK_PEAK=0.990000", tagged});
    ASSERT_TRUE(ff.waitForFinished(60000));
    ASSERT_EQ(ff.exitCode(), 0) << ff.readAllStandardError().toStdString();

    OfflinePlayer p;
    LevelRig rig(dir.filePath("loudness.cache"), &p.player);
    rig.clickOption();
    rig.add({measured, tagged});
    const struct {
        QString path;
        LevelSource source;
        double peak;  // the file's loudest sample
    } cases[] = {{measured, LevelSource::Measured, 0.98}, {tagged, LevelSource::Tag, 0.99}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        ASSERT_TRUE(rig.known(c.path));
        rig.control.setPlaying(c.path);
        const Level l = rig.control.playingLevel();
        EXPECT_EQ(l.source, c.source);
        // Far below the +10 or +11 dB asked for: the file's peak reaches full scale, no further.
        EXPECT_LE(l.gainDb, -20 * std::log10(c.peak) + 0.01);  // 16-bit steps
        const std::vector<float> on = playFor(p, c.path, 3);
        rig.clickOption();
        const std::vector<float> off = playFor(p, c.path, 3);
        rig.clickOption();
        // The output clips at full scale whatever comes: so the proof is that what played is the
        // file lifted by the limited gain, not a clipped +10 dB.
        const double rmsOn = testmedia::rms(on.data(), on.size());
        const double rmsOff = testmedia::rms(off.data(), off.size());
        EXPECT_NEAR(20 * std::log10(rmsOn / rmsOff), l.gainDb, 0.05);
        EXPECT_LE(levelstest::peakOf(on), 1.0f);
    }
}

TEST(LevelsCache, ASecondAddDoesNotMeasureAgainInThisRunOrTheNext) {
    QTemporaryDir dir;
    const QString a = levelstest::writeTone(dir, "a.wav", 0.3, 2);
    const QString b = levelstest::writeTone(dir, "b.wav", 0.1, 2);
    const QString cache = dir.filePath("cache/velorixa/loudness.cache");
    std::atomic<int> decoded{0};
    const auto counting = [&decoded](const QString& path, const std::atomic<bool>* stop) {
        decoded.fetch_add(1);
        return MeasureLoudness(path, stop);
    };
    double first = 0;
    {
        LoudnessScanner scanner(cache, counting);
        scanner.want(a);
        scanner.want(b);
        ASSERT_TRUE(waitFor([&] { return scanner.find(a) && scanner.find(b); }, kWaitMs));
        first = scanner.find(a)->lufs;
        scanner.want(a);  // added again: known
        scanner.wantFirst(b);
        QTest::qWait(50);
        EXPECT_EQ(scanner.measuredCount(), 2);
    }
    EXPECT_EQ(decoded.load(), 2);
    {
        // The next run reads the cache file: nothing decoded again.
        LoudnessScanner scanner(cache, counting);
        scanner.want(a);
        scanner.want(b);
        ASSERT_TRUE(waitFor([&] { return scanner.find(a) && scanner.find(b); }, kWaitMs));
        EXPECT_EQ(scanner.find(a)->lufs, first);
        EXPECT_EQ(scanner.measuredCount(), 0);
    }
    EXPECT_EQ(decoded.load(), 2);
    // A file changed in place is measured again.
    levelstest::writeTone(dir, "a.wav", 0.05, 3);
    {
        LoudnessScanner scanner(cache, counting);
        scanner.want(a);
        ASSERT_TRUE(waitFor([&] { return scanner.find(a) != nullptr; }, kWaitMs));
        EXPECT_NEAR(scanner.find(a)->lufs, levelstest::toneLufs(0.05), 0.1);
        EXPECT_EQ(scanner.measuredCount(), 1);
    }
}

TEST(LevelsPlay, ACorruptFileGetsNoGainAndStopsNothing) {
    QTemporaryDir dir;
    const QString corrupt = dir.filePath("corrupt.mp3");
    QByteArray junk(64 * 1024, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 7919) ^ (i >> 3));
    ASSERT_TRUE(testmedia::writeFile(corrupt.toStdString(), junk.toStdString()));
    const QString good = levelstest::writeTone(dir, "good.wav", 0.5);
    OfflinePlayer p;
    LevelRig rig(dir.filePath("loudness.cache"), &p.player);
    rig.clickOption();
    // The corrupt file comes first in the list and plays first.
    rig.add({corrupt, good});
    rig.control.setPlaying(corrupt);
    ASSERT_TRUE(rig.known(corrupt));
    EXPECT_EQ(rig.control.playingLevel(), (Level{0, LevelSource::Unmeasurable}));
    EXPECT_EQ(rig.panel->LblLevel->text(), QStringLiteral("Level 0.0 dB (not measurable)"));
    EXPECT_FALSE(p.start(corrupt));
    // The file after it is measured and plays at the target.
    ASSERT_TRUE(rig.known(good));
    rig.control.setPlaying(good);
    EXPECT_EQ(rig.control.playingLevel().source, LevelSource::Measured);
    EXPECT_NEAR(levelstest::loudnessOf(playFor(p, good, 3)), kTargetLufs, 1.0);
}

TEST(LevelsOption, KeptInItsSettingsFileAndStationsAreLeftAlone) {
    QTemporaryDir dir;
    LevelRig rig(dir.filePath("loudness.cache"));
    const QString conf = rig.settingsDir.filePath("levels.conf");
    EXPECT_FALSE(rig.panel->ChkLevels->isChecked());
    rig.clickOption();
    EXPECT_TRUE(rig.panel->ChkLevels->isChecked());
    EXPECT_TRUE(LevelSettings::Load(conf).evenOut);
    rig.control.setPlaying("http://127.0.0.1:1/stream Some Station");
    EXPECT_EQ(rig.control.playingLevel(), (Level{0, LevelSource::Station}));
    EXPECT_EQ(rig.panel->LblLevel->text(), QStringLiteral("Level 0.0 dB (station)"));
    // Changed elsewhere (a second way in): the box follows.
    rig.control.setEvenOut(false);
    EXPECT_FALSE(rig.panel->ChkLevels->isChecked());
    EXPECT_FALSE(LevelSettings::Load(conf).evenOut);
    // The box takes no keyboard focus: the window's keys stay with the tabs.
    EXPECT_EQ(rig.panel->ChkLevels->focusPolicy(), Qt::NoFocus);
}

}  // namespace
