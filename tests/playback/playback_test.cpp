// The transport without a window: its commands against a recording player and a list model, the
// station title pushed to listeners, the skipping of items that fail to open, and the reasons
// of real failed opens (the audio layer against a local server).
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>
#include <cmath>
#include <functional>

#include "audio/audiolib.h"
#include "audio/net/testserver.h"
#include "audio/player.h"
#include "common/waitfor.h"
#include "playback/audioplayerport.h"
#include "playback/playback.h"
#include "playback/recordingplayer.h"

namespace velorixa::playback {
namespace {

using test::RecordingPlayer;

class PlaybackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list_.setTexts({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        pb_.queue().ListTurn = PlayOrder::Down;
        QObject::connect(&pb_, &Playback::failed,
                         [this](const Failure& f) { failures_ << FailureText(f); });
    }
    bool settled() {
        return test::waitFor([&] { return pb_.state() != PlayState::Opening && !pb_.opening(); },
                             3000);
    }
    bool playingItem(const QString& item) {
        return test::waitFor(
            [&] { return pb_.state() == PlayState::Playing && pb_.item() == item; }, 3000);
    }

    RecordingPlayer player_;
    playlist::PlaylistModel list_;
    QTimer step_;
    Playback pb_{player_, list_, step_, [] { return 0.0; }};
    QStringList failures_;
};

// Each command from a playing first item: what reaches the player and what the transport says.
TEST_F(PlaybackTest, EveryCommandReachesThePlayerAndTheStatus) {
    struct Case {
        const char* name;
        std::function<void(Playback&, playlist::PlaylistModel&)> command;
        QStringList calls;  // the player's calls the command led to, in order
        PlayState state;
        QString item;
    };
    const Case cases[] = {
        {"play again",
         [](Playback& p, auto&) { p.play(); },
         {"stop", "open /m/a.mp3", "start 2"},
         PlayState::Playing,
         "/m/a.mp3"},
        {"next",
         [](Playback& p, auto&) { p.next(); },
         {"stop", "open /m/b.mp3", "start 2"},
         PlayState::Playing,
         "/m/b.mp3"},
        {"play selected",
         [](Playback& p, playlist::PlaylistModel& l) {
             l.clearSelection();
             l.setSelected(2, true);
             p.playSelected();
         },
         {"stop", "open /m/c.mp3", "start 2"},
         PlayState::Playing,
         "/m/c.mp3"},
        {"play selected: the current item goes on",
         [](Playback& p, auto&) { p.playSelected(); },
         {},
         PlayState::Playing,
         "/m/a.mp3"},
        {"stop", [](Playback& p, auto&) { p.stop(); }, {"stop"}, PlayState::Stopped, "/m/a.mp3"},
        {"pause",
         [](Playback& p, auto&) { p.setPaused(true); },
         {"pause"},
         PlayState::Paused,
         "/m/a.mp3"},
        {"pause and resume",
         [](Playback& p, auto&) {
             p.togglePause();
             p.togglePause();
         },
         {"pause", "resume"},
         PlayState::Playing,
         "/m/a.mp3"},
        {"seek",
         [](Playback& p, auto&) { p.seek(42); },
         {"seek 42"},
         PlayState::Playing,
         "/m/a.mp3"},
        {"master volume, clamped",
         [](Playback& p, auto&) { p.setMasterVolume(140); },
         {"volume 100"},
         PlayState::Playing,
         "/m/a.mp3"},
        {"open items",
         [](Playback& p, auto&) {
             EXPECT_EQ(p.openItems({"/n/x.mp3", "/n/y.mp3"}), 2);
         },
         {"stop", "open /n/x.mp3", "start 2"},
         PlayState::Playing,
         "/n/x.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlayer player;
        playlist::PlaylistModel list;
        list.setTexts({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        QTimer step;
        Playback pb(player, list, step, [] { return 0.0; });
        pb.queue().ListTurn = PlayOrder::Down;
        pb.play();
        ASSERT_TRUE(test::waitFor([&] { return pb.state() == PlayState::Playing; }, 3000));
        EXPECT_EQ(pb.item(), "/m/a.mp3") << "nothing selected: the first line down the list";
        player.clear();
        c.command(pb, list);
        test::waitFor([&] { return pb.state() != PlayState::Opening && !pb.opening(); }, 3000);
        EXPECT_EQ(player.calls(), c.calls);
        EXPECT_EQ(pb.state(), c.state);
        EXPECT_EQ(pb.item(), c.item);
        EXPECT_EQ(list.count(), c.item.startsWith("/n/") ? 5 : 3);
    }
}

TEST_F(PlaybackTest, PreviousRepeatAndTheEndOfAFile) {
    QSignalSpy repeat(&pb_, &Playback::repeatChanged);
    pb_.toggleRepeat();
    EXPECT_FALSE(pb_.repeat()) << "nothing to repeat yet";
    pb_.play();
    ASSERT_TRUE(playingItem("/m/a.mp3"));
    EXPECT_EQ(pb_.length(), 90) << "whole seconds";
    pb_.next();
    ASSERT_TRUE(playingItem("/m/b.mp3"));
    pb_.previous();
    ASSERT_TRUE(playingItem("/m/a.mp3"));
    // The end of a file: the next item, or the same one with Repeat down.
    player_.endFile();
    pb_.tick();
    ASSERT_TRUE(playingItem("/m/b.mp3"));
    pb_.toggleRepeat();
    EXPECT_TRUE(pb_.repeat());
    EXPECT_FALSE(repeat.isEmpty());
    player_.clear();
    player_.endFile();
    pb_.tick();
    ASSERT_TRUE(settled());
    EXPECT_EQ(player_.opens(), QStringList{"open /m/b.mp3"});
    // The operator holding the position bar keeps the tick off the end.
    player_.clear();
    pb_.setPositionHeld(true);
    player_.endFile();
    pb_.tick();
    EXPECT_TRUE(player_.opens().isEmpty());
    EXPECT_TRUE(failures_.isEmpty());
}

// Seeks by and to a place: only a file that plays moves, kept within its length (90.4 s), and
// the bar's position and seeked() follow at once.
TEST_F(PlaybackTest, SeeksMoveAPlayingFileWithinItsLengthAndNothingElse) {
    enum class Setup { File, PausedFile, Station, Stopped };
    const struct {
        const char* name;
        Setup setup;
        double at;  // where the player is heard
        std::function<bool(Playback&)> seek;
        QStringList calls;
        int position;  // the position the transport shows afterwards (-1: unchanged)
    } cases[] = {
        {"5 s on", Setup::File, 10.2, [](Playback& p) { return p.seekBy(5); }, {"seek 15.2"}, 15},
        {"30 s back past the start",
         Setup::File,
         10.2,
         [](Playback& p) { return p.seekBy(-30); },
         {"seek 0"},
         0},
        {"30 s on past the end",
         Setup::File,
         80,
         [](Playback& p) { return p.seekBy(30); },
         {"seek 90.4"},
         90},
        {"to a place",
         Setup::File,
         3,
         [](Playback& p) { return p.seekTo(42.5); },
         {"seek 42.5"},
         42},
        {"to no place", Setup::File, 3, [](Playback& p) { return p.seekTo(std::nan("")); }, {}, -1},
        {"paused", Setup::PausedFile, 10, [](Playback& p) { return p.seekBy(5); }, {}, -1},
        {"station", Setup::Station, 10, [](Playback& p) { return p.seekBy(5); }, {}, -1},
        {"station, the bar",
         Setup::Station,
         10,
         [](Playback& p) {
             p.seek(5);
             return false;
         },
         {},
         -1},
        {"stopped", Setup::Stopped, 10, [](Playback& p) { return p.seekTo(5); }, {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlayer player;
        playlist::PlaylistModel list;
        list.setTexts({"/m/a.mp3", "http://127.0.0.1:1/live Radio"});
        QTimer step;
        Playback pb(player, list, step, [] { return 0.0; });
        list.setSelected(c.setup == Setup::Station ? 1 : 0, true);
        pb.playSelected();
        ASSERT_TRUE(test::waitFor([&] { return pb.state() == PlayState::Playing; }, 3000));
        if (c.setup == Setup::PausedFile) pb.setPaused(true);
        if (c.setup == Setup::Stopped) pb.stop();
        player.at(c.at);
        pb.tick();
        const int shown = pb.position();
        QSignalSpy seeked(&pb, &Playback::seeked);
        player.clear();
        EXPECT_EQ(c.seek(pb), !c.calls.isEmpty());
        EXPECT_EQ(player.calls(), c.calls);
        EXPECT_EQ(pb.position(), c.position < 0 ? shown : c.position);
        ASSERT_EQ(seeked.count(), c.calls.isEmpty() ? 0 : 1);
        if (!c.calls.isEmpty()) {
            EXPECT_EQ(QStringLiteral("seek %1").arg(seeked[0][0].toDouble()), c.calls[0]);
        }
        EXPECT_EQ(pb.canSeek(), c.setup == Setup::File);
    }
}

TEST_F(PlaybackTest, TheStationTitleIsPushedOncePerChangeToEveryListener) {
    list_.setTexts({"http://127.0.0.1:9/live Radio"});
    QStringList first, second;
    QObject::connect(&pb_, &Playback::titleChanged, [&](const QString& t) { first << t; });
    QObject::connect(&pb_, &Playback::titleChanged, [&](const QString& t) { second << t; });
    player_.meta_ = "StreamTitle='One';StreamUrl='http://radio.example/';";
    pb_.play();
    ASSERT_TRUE(test::waitFor([&] { return pb_.state() == PlayState::Playing; }, 3000));
    const QString metas[] = {"StreamTitle='One';StreamUrl='http://radio.example/';",
                             "StreamTitle='Two';", "StreamTitle='Two';", "",
                             "StreamTitle='Three is cut off"};
    for (const QString& m : metas) {
        player_.meta_ = m;
        pb_.tick();
        pb_.tick();
    }
    const QStringList expected{"One", "Two", "", "Three is cut off"};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(second, expected);
    EXPECT_EQ(pb_.title(), "Three is cut off");
}

// Items the player reaches by itself that fail are skipped, once round the list at most, with
// one message; the operator's own start of a bad item stays stopped with its message.
TEST_F(PlaybackTest, FailedItemsAreSkippedOnTheWayButNotWhenTheOperatorStartsThem) {
    player_.fail("/m/b.mp3", "not MPEG audio layer III");
    pb_.play();
    ASSERT_TRUE(playingItem("/m/a.mp3"));
    player_.endFile();
    pb_.tick();
    ASSERT_TRUE(playingItem("/m/c.mp3")) << "the bad item was skipped";
    EXPECT_EQ(failures_, QStringList{"File Error: /m/b.mp3 (not MPEG audio layer III)"});

    // The operator starts the bad item: message, stopped, nothing else opened.
    failures_.clear();
    player_.clear();
    list_.clearSelection();
    list_.setSelected(1, true);
    pb_.playSelected();
    ASSERT_TRUE(test::waitFor([&] { return !failures_.isEmpty(); }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(pb_.state(), PlayState::Stopped);
    EXPECT_EQ(player_.opens(), QStringList{"open /m/b.mp3"});
    EXPECT_EQ(pb_.failureReason(), "not MPEG audio layer III");

    // Every item bad: once round the list, then silence with one message.
    pb_.next();
    ASSERT_TRUE(playingItem("/m/c.mp3"));
    for (const char* bad : {"/m/a.mp3", "/m/c.mp3"})
        player_.fail(bad, "no such file");
    failures_.clear();
    player_.clear();
    player_.endFile();
    pb_.tick();
    ASSERT_TRUE(test::waitFor([&] { return !failures_.isEmpty(); }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(pb_.state(), PlayState::Stopped);
    EXPECT_EQ(player_.opens(), (QStringList{"open /m/a.mp3", "open /m/b.mp3", "open /m/c.mp3"}));
    ASSERT_EQ(failures_.size(), 1);
    EXPECT_TRUE(failures_[0].startsWith("File Error: /m/a.mp3 (no such file)"))
        << failures_[0].toStdString();
    EXPECT_TRUE(failures_[0].contains("No item of the list could be played"));
}

TEST_F(PlaybackTest, AStationWhoseServerClosedIsConnectedAgainAfterTheWait) {
    list_.setTexts({"http://127.0.0.1:9/live Radio"});
    pb_.setTimeouts({.droppedStationWaitMs = 150});
    pb_.play();
    ASSERT_TRUE(test::waitFor([&] { return pb_.state() == PlayState::Playing; }, 3000));
    QSignalSpy stalled(&pb_.events(), &TransportEvents::stalled);
    player_.clear();
    player_.endFile();
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(test::waitFor(
        [&] {
            pb_.restartIfStalled();
            return !player_.opens().isEmpty();
        },
        3000));
    EXPECT_GE(waited.elapsed(), 150);
    EXPECT_EQ(stalled.size(), 1);
    ASSERT_TRUE(settled());
    EXPECT_EQ(pb_.state(), PlayState::Playing);
}

TEST(StreamMeta, OneReadingOfTheStationsMetadata) {
    const struct {
        QString meta, title, url;
    } cases[] = {
        {"StreamTitle='Artist - Song';StreamUrl='http://radio.example/x';", "Artist - Song",
         "http://radio.example/x"},
        {"streamtitle='Case';STREAMURL='u';", "Case", "u"},
        {"StreamTitle='Rock';n';Roll';", "Rock", ""},  // a title holding "';" ends there
        {"StreamTitle='Cut off by the blo", "Cut off by the blo", ""},
        {"StreamTitle='  padded  ';", "padded", ""},
        {"StreamTitle='';StreamUrl='http://x.example/';", "", "http://x.example/"},
        {"garbage", "", ""},
    };
    for (const auto& c : cases) {
        const StreamMeta m = ParseStreamMeta(c.meta);
        EXPECT_EQ(m.title, c.title) << c.meta.toStdString();
        EXPECT_EQ(m.url, c.url) << c.meta.toStdString();
    }
}

// The real audio layer's reasons reach the status: a station that answers 404, one that refuses
// the connection, one that answers with a web page.
TEST(PlaybackReasons, OfFailedStationOpensReachTheStatus) {
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
    {
        test::TestServer server;
        test::TestResponse page;
        page.statusLine = "HTTP/1.1 200 OK";
        page.headers = {"content-type: text/html"};
        page.body = std::string(20000, 'x').insert(0, "<html><body>");
        server.setResponse("/page", page);
        PLAYER player;
        AudioPlayerPort port(player, [] { return controls::StartValues{}; });
        const struct {
            std::string url;
            const char* mustSay;  // a word the reason holds
        } cases[] = {
            {server.url("/missing"), "404"},
            {"http://127.0.0.1:1/refused", ""},
            {server.url("/page"), ""},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.url);
            playlist::PlaylistModel list;
            list.setTexts({QString::fromStdString(c.url) + " Station"});
            QTimer step;
            Playback pb(port, list, step);
            QStringList told;
            QObject::connect(&pb, &Playback::failed,
                             [&](const Failure& f) { told << FailureText(f); });
            pb.play();
            ASSERT_TRUE(test::waitFor([&] { return !told.isEmpty(); }, 10000));
            EXPECT_EQ(pb.state(), PlayState::Stopped);
            EXPECT_FALSE(pb.failureReason().isEmpty());
            EXPECT_TRUE(pb.failureReason().contains(QLatin1String(c.mustSay)))
                << pb.failureReason().toStdString();
            EXPECT_TRUE(told[0].startsWith("Connection Failure: " + QString::fromStdString(c.url)))
                << told[0].toStdString();
            EXPECT_TRUE(told[0].contains(pb.failureReason()));
        }
        player.ExitForm();
    }
    BASS_Free();
}

}  // namespace
}  // namespace velorixa::playback
