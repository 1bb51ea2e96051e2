// The media controls against the transport alone: no window, a recording player under the
// transport, the MPRIS object on a private bus and a client doing what a desktop's sound menu
// does. Every method reaches the player through the transport's commands.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

#include "common/waitfor.h"
#include "desktop/privatebus.h"
#include "desktop/ui/mprisservice.h"
#include "playback/playback.h"
#include "playback/recordingplayer.h"
#include "playlist/tagcache.h"

namespace velorixa::desktop {
namespace {

using playback::PlayState;

class MprisPlaybackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
        list_.setTexts({"/m/a.mp3", "/m/b.mp3", "/m/bad.mp3", "/m/c.mp3"});
        pb_.queue().ListTurn = playback::PlayOrder::Down;
        player_.fail("/m/bad.mp3", "not MPEG audio layer III");
        QObject::connect(&pb_, &playback::Playback::failed,
                         [this](const playback::Failure& f) { failures_ << FailureText(f); });
        playerBus_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), "vx-transport"));
        service_ = std::make_unique<MprisService>(
            pb_, DesktopWindow{[this] { ++raised_; }, [this] { ++quit_; }, {}}, *playerBus_);
        ASSERT_TRUE(service_->start());
        client_ = std::make_unique<test::BusClient>(bus_.address(), kMprisService);
        ASSERT_TRUE(client_->listen());
    }
    void TearDown() override {
        client_.reset();
        service_.reset();
        playerBus_.reset();
        QDBusConnection::disconnectFromBus("vx-transport");
    }
    bool settledOn(const QString& item, PlayState state) {
        return test::waitFor(
            [&] { return !pb_.opening() && pb_.item() == item && pb_.state() == state; }, 3000);
    }

    test::PrivateBus bus_;
    test::RecordingPlayer player_;
    playlist::PlaylistModel list_;
    QTimer step_;
    playback::Playback pb_{player_, list_, step_, [] { return 0.0; }};
    std::unique_ptr<QDBusConnection> playerBus_;
    std::unique_ptr<MprisService> service_;
    std::unique_ptr<test::BusClient> client_;
    QStringList failures_;
    int raised_ = 0, quit_ = 0;
};

TEST_F(MprisPlaybackTest, EveryMethodGoesThroughTheTransport) {
    const struct {
        const char* method;
        QString item;  // the transport's item and state afterwards
        PlayState state;
        QStringList calls;  // what reached the player
        const char* status;
    } steps[] = {
        {"PlayPause",
         "/m/a.mp3",
         PlayState::Playing,
         {"stop", "open /m/a.mp3", "start 1"},
         "Playing"},
        {"Pause", "/m/a.mp3", PlayState::Paused, {"pause"}, "Paused"},
        {"Play", "/m/a.mp3", PlayState::Playing, {"resume"}, "Playing"},
        {"Next", "/m/b.mp3", PlayState::Playing, {"stop", "open /m/b.mp3", "start 2"}, "Playing"},
        {"Previous",
         "/m/a.mp3",
         PlayState::Playing,
         {"stop", "open /m/a.mp3", "start 3"},
         "Playing"},
        {"Stop", "/m/a.mp3", PlayState::Stopped, {"stop"}, "Stopped"},
        {"Pause", "/m/a.mp3", PlayState::Stopped, {}, "Stopped"},  // nothing to pause
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.method);
        player_.clear();
        client_->player(s.method);
        ASSERT_TRUE(settledOn(s.item, s.state));
        EXPECT_EQ(player_.calls(), s.calls);
        EXPECT_EQ(client_->playerProperty("PlaybackStatus").toString(), s.status);
    }
    EXPECT_TRUE(failures_.isEmpty());
}

// CanSeek follows what plays, goes out with PropertiesChanged, and the seeks reach the player
// only while it is true.
TEST_F(MprisPlaybackTest, CanSeekOnlyWhileAFilePlaysAndSeeksReachThePlayerThen) {
    list_.append("http://127.0.0.1:1/live Radio");
    const auto canSeekSignalled = [&](bool value) {
        return test::waitFor(
            [&] {
                for (const test::ChangedSignal& s : client_->signals_)
                    if (s.changed.contains("CanSeek") && s.changed.value("CanSeek") == value)
                        return true;
                return false;
            },
            2000);
    };
    const struct {
        const char* name;
        std::function<void()> step;
        bool canSeek;
    } steps[] = {
        {"stopped", [] {}, false},
        {"a file plays",
         [&] {
             client_->player("Play");
             ASSERT_TRUE(settledOn("/m/a.mp3", PlayState::Playing));
         },
         true},
        {"paused", [&] { client_->player("Pause"); }, false},
        {"playing again", [&] { client_->player("Play"); }, true},
        {"a station",
         [&] {
             list_.clearSelection();
             list_.setSelected(4, true);
             pb_.playSelected();
             ASSERT_TRUE(settledOn("http://127.0.0.1:1/live Radio", PlayState::Playing));
         },
         false},
        {"stopped again", [&] { client_->player("Stop"); }, false},
    };
    bool could = false;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        client_->signals_.clear();
        s.step();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(client_->playerProperty("CanSeek").toBool(), s.canSeek);
        if (s.canSeek != could) {
            EXPECT_TRUE(canSeekSignalled(s.canSeek)) << "a change goes out";
        }
        could = s.canSeek;
        player_.clear();
        player_.at(5);
        QDBusObjectPath track = test::toMap(client_->playerProperty("Metadata"))
                                    .value("mpris:trackid")
                                    .value<QDBusObjectPath>();
        if (track.path().isEmpty()) track = QDBusObjectPath("/");  // no item: no track
        client_->player("Seek", {qlonglong(2'000'000)});
        client_->player("SetPosition", {QVariant::fromValue(track), qlonglong(60'000'000)});
        EXPECT_EQ(player_.calls(), s.canSeek ? QStringList({"seek 7", "seek 60"}) : QStringList());
    }
}

// The desktop sees the tags of what plays; its Next is the player's own way through the list,
// where a bad item is skipped.
TEST_F(MprisPlaybackTest, TheDesktopSeesTheTagsOfTheFileThatPlaysAndNextSkipsABadItem) {
    playlist::TagCache tags([](const QString& path) {
        audio::TrackTags t;
        t.media = true;
        if (path == "/m/b.mp3") {
            t.title = "Tune";
            t.artist = "Band";
            t.album = "Record";
            t.lengthSec = 61;
        }
        return t;
    });
    service_->setTags(&tags);
    list_.clearSelection();
    list_.setSelected(1, true);
    client_->player("PlayPause");
    ASSERT_TRUE(settledOn("/m/b.mp3", PlayState::Playing));
    QVariantMap m;
    EXPECT_TRUE(test::waitFor(
        [&] {
            m = test::toMap(client_->playerProperty("Metadata"));
            return m.value("xesam:title").toString() == "Tune";
        },
        5000));
    EXPECT_EQ(m.value("xesam:artist").toStringList(), QStringList{"Band"});
    EXPECT_EQ(m.value("xesam:album").toString(), "Record");
    // A file without tags keeps its file name as its title.
    client_->player("Next");
    ASSERT_TRUE(settledOn("/m/c.mp3", PlayState::Playing));
    EXPECT_EQ(failures_, QStringList{"File Error: /m/bad.mp3 (not MPEG audio layer III)"});
    EXPECT_TRUE(test::waitFor([&] { return tags.find("/m/c.mp3") != nullptr; }, 5000));
    m = test::toMap(client_->playerProperty("Metadata"));
    EXPECT_EQ(m.value("xesam:title").toString(), "c");
    EXPECT_FALSE(m.contains("xesam:artist"));
}

TEST_F(MprisPlaybackTest, VolumeOpenUriRaiseAndQuit) {
    client_->setPlayerProperty("Volume", 0.25);
    EXPECT_EQ(pb_.masterVolume(), 25);
    EXPECT_EQ(player_.calls(), QStringList{"volume 25"});
    pb_.setMasterVolume(70);  // a key or the bar
    EXPECT_DOUBLE_EQ(client_->playerProperty("Volume").toDouble(), 0.7);

    QTemporaryDir dir;
    const QString file = dir.path() + "/new.mp3";  // the command line takes only what exists
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
    f.close();
    client_->player("OpenUri", {QUrl::fromLocalFile(file).toString()});
    ASSERT_TRUE(settledOn(file, PlayState::Playing));
    EXPECT_EQ(list_.count(), 5);

    client_->call("org.mpris.MediaPlayer2", "Raise");
    EXPECT_EQ(raised_, 1);
    client_->call("org.mpris.MediaPlayer2", "Quit");
    EXPECT_TRUE(test::waitFor([&] { return quit_ == 1; }, 2000));
    service_->stop();
    client_->player("Stop");
    EXPECT_EQ(pb_.state(), PlayState::Playing) << "a stopped service takes no more calls";
}

}  // namespace
}  // namespace velorixa::desktop
