// Recordings at the output's rate: a take's file has the rate the output runs at, and when the
// output comes back at another rate during a take, the file ends there and the take goes on in
// a new file at the new rate, every frame played in one of the two, none under a wrong header.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "audio/audiolib.h"
#include "audio/realtime/recordtap.h"
#include "audio/record/recorder.h"
#include "common/soundfile.h"
#include "common/testmedia.h"
#include "record/recordsession.h"

namespace velorixa::record {
namespace {

// Polls cond every 5 ms until it holds or ms have passed (the writer is a thread of its own).
template <class F>
bool waitFor(F cond, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The offline output at rateHz playing a 440 Hz file; render() appends what it played.
class OfflineAt {
  public:
    OfflineAt(const QTemporaryDir& dir, int rateHz) {
        const std::string path = dir.filePath("tone.wav").toStdString();
        if (!QFileInfo::exists(QString::fromStdString(path)))
            testmedia::writeFile(path, testmedia::wavBytes(testmedia::sine(440, 8, 44100, 2)));
        ok = BASS_Init(VX_DEVICE_OFFLINE, static_cast<DWORD>(rateHz), 0, nullptr) != 0;
        const DWORD stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        ok = ok && stream != 0 && BASS_StreamPlay(stream, 0, 0);
    }
    ~OfflineAt() { BASS_Free(); }
    void render(int frames, std::vector<float>* played) {
        std::vector<float> block(2 * 512);
        for (int done = 0; done < frames; done += 512) {
            const int n = std::min(512, frames - done);
            ASSERT_EQ(VX_Render(block.data(), static_cast<DWORD>(n)), static_cast<DWORD>(n));
            played->insert(played->end(), block.begin(), block.begin() + 2 * n);
        }
    }
    bool ok = false;
};

class RecordRate : public ::testing::TestWithParam<int> {
  protected:
    RecordSettings settings() const {
        RecordSettings s;
        s.folder = dir.filePath("takes");
        return s;
    }
    QTemporaryDir dir;
};

INSTANTIATE_TEST_SUITE_P(Rates, RecordRate, ::testing::Values(44100, 48000, 96000),
                         [](const auto& info) { return std::to_string(info.param) + "Hz"; });

TEST_P(RecordRate, TakeIsWrittenAtTheOutputsRate) {
    OfflineAt output(dir, GetParam());
    ASSERT_TRUE(output.ok);
    RecordSession session(settings());
    ASSERT_TRUE(session.start());
    std::vector<float> played;
    output.render(GetParam(), &played);
    session.stop();
    const testsound::SoundFile f = testsound::ReadSoundFile(session.path().toStdString());
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.rateHz, GetParam());
    EXPECT_EQ(testsound::Differing24(f, played), 0u);
    EXPECT_GT(testmedia::rms(played.data(), played.size()), 0.1);
    // One second of output: the status counts it as one second, whatever the rate.
    EXPECT_EQ(RecordDuration(session.status().framesWritten, session.status().rateHz), "0:01");
}

// The output opened again at 48 kHz in the middle of a take (a new sound card): the first file
// keeps the 44.1 kHz part, the take goes on in "<name> part 2" at 48 kHz, and the window is told.
TEST(RecordRateChange, TakeGoesOnInANewFileAtTheNewRate) {
    QTemporaryDir dir;
    RecordSettings s;
    s.folder = dir.filePath("takes");
    RecordSession session(s);
    QStringList messages;
    QObject::connect(&session, &RecordSession::message, [&](const QString& m) { messages << m; });
    std::vector<float> before, after;
    QString firstPath;
    {
        OfflineAt output(dir, 44100);
        ASSERT_TRUE(output.ok);
        ASSERT_TRUE(session.start());
        firstPath = session.path();
        output.render(22050, &before);
    }
    OfflineAt output(dir, 48000);
    ASSERT_TRUE(output.ok);
    ASSERT_TRUE(waitFor(
        [&] {
            session.tick();
            return session.status().part == 2;
        },
        5000));
    output.render(24000, &after);
    // Both files' second, once the writer has the last of it.
    EXPECT_TRUE(waitFor([&] { return session.statusText().startsWith("REC 0:01"); }, 5000))
        << session.statusText().toStdString();
    session.stop();

    ASSERT_TRUE(session.recording() == false);
    ASSERT_EQ(messages.size(), 2) << messages.join(" | ").toStdString();
    EXPECT_TRUE(messages[0].contains("48000 Hz")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("part 2")) << messages[0].toStdString();
    EXPECT_TRUE(session.path().endsWith(" part 2.flac")) << session.path().toStdString();
    EXPECT_EQ(QFileInfo(session.path()).completeBaseName(),
              QFileInfo(firstPath).completeBaseName() + " part 2");

    const testsound::SoundFile first = testsound::ReadSoundFile(firstPath.toStdString());
    const testsound::SoundFile second = testsound::ReadSoundFile(session.path().toStdString());
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.rateHz, 44100);
    EXPECT_EQ(second.rateHz, 48000);
    EXPECT_EQ(testsound::Differing24(first, before), 0u);
    EXPECT_EQ(testsound::Differing24(second, after), 0u);
}

// The engine's own mark of a rate change: the writer reads up to it and no further until it
// has taken it; marks beyond what the ring keeps track of are refused, never lost silently.
TEST(RecordRateChange, TapMarksWhereTheNewRateBegins) {
    audio::RecordTap tap(1000);
    std::vector<float> block(2 * 100, 0.25f);
    tap.push(block.data(), 100);
    ASSERT_TRUE(tap.markRate(48000));
    tap.push(block.data(), 50);
    audio::RecordTap::RateMark mark;
    ASSERT_TRUE(tap.pendingRate(&mark));
    EXPECT_EQ(mark.from, 100u);
    EXPECT_EQ(mark.rateHz, 48000);
    size_t got = tap.readUntil(1000, mark.from, [](const float*, size_t) {});
    EXPECT_EQ(got, 100u);
    EXPECT_EQ(tap.readUntil(1000, mark.from, [](const float*, size_t) {}), 0u);
    tap.takeRate();
    EXPECT_FALSE(tap.pendingRate(&mark));
    EXPECT_EQ(tap.readUntil(1000, UINT64_MAX, [](const float*, size_t) {}), 50u);
    for (int i = 0; i < audio::RecordTap::kMaxRateMarks; ++i)
        EXPECT_TRUE(tap.markRate(44100 + i));
    EXPECT_FALSE(tap.markRate(96000));
}

}  // namespace
}  // namespace velorixa::record
