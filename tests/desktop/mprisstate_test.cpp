// What the desktop's media controls see, and which transport procedure their methods call.
#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <cmath>
#include <limits>

#include "desktop/mprisstate.h"

namespace velorixa::desktop {
namespace {

using S = PlaybackStatus;
using T = TransportCall;

TEST(MprisMethods, CallTheKeysProceduresForTheStatus) {
    struct Case {
        MprisMethod method;
        S status;
        T call;
    };
    const Case cases[] = {
        {MprisMethod::Play, S::Stopped, T::PlaySelected},
        {MprisMethod::Play, S::Paused, T::TogglePause},
        {MprisMethod::Play, S::Playing, T::None},
        {MprisMethod::Pause, S::Playing, T::TogglePause},
        {MprisMethod::Pause, S::Paused, T::None},
        {MprisMethod::Pause, S::Stopped, T::None},
        {MprisMethod::PlayPause, S::Stopped, T::PlaySelected},
        {MprisMethod::PlayPause, S::Playing, T::TogglePause},
        {MprisMethod::PlayPause, S::Paused, T::TogglePause},
        {MprisMethod::Stop, S::Playing, T::StopPlayback},
        {MprisMethod::Next, S::Stopped, T::PlayNext},
        {MprisMethod::Previous, S::Paused, T::PlayPrev},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CallFor(c.method, c.status), c.call)
            << static_cast<int>(c.method) << " in " << StatusText(c.status).toStdString();
}

TEST(MprisVolume, MapsOntoTheMasterVolumeBar) {
    struct Case {
        double volume;
        int master;
    };
    const Case cases[] = {{0.0, 0},   {0.5, 50},  {1.0, 100},
                          {0.004, 0}, {0.005, 1}, {0.994, 99},
                          {1.7, 100}, {-0.3, 0},  {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const Case& c : cases)
        EXPECT_EQ(MasterVolumeFor(c.volume), c.master) << c.volume;
    for (int m = 0; m <= 100; ++m)
        EXPECT_EQ(MasterVolumeFor(VolumeFor(m)), m) << "round trip";
}

TEST(MprisTitles, OfListItemsAndStreamMetadata) {
    struct Case {
        QString item;
        QString title;
    };
    const Case cases[] = {
        {"/music/Artist - Song.mp3", "Artist - Song"},
        {"/music/dotted.name.v2.mp3", "dotted.name.v2"},
        {"/music/no extension", "no extension"},
        {"http://radio.example/live Groove Salad", "Groove Salad"},
        {"http://radio.example/live", "http://radio.example/live"},
        {"https://radio.example/live   ", "https://radio.example/live"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ItemTitle(c.item), c.title) << c.item.toStdString();

    EXPECT_EQ(StreamTitle("StreamTitle='Band - Tune';StreamUrl='http://x.example/';"),
              "Band - Tune");
    EXPECT_EQ(StreamTitle("streamtitle='It''s ok';"), "It''s ok");
    EXPECT_EQ(StreamTitle("StreamTitle='';"), "");
    EXPECT_EQ(StreamTitle("StreamUrl='http://x.example/';"), "");
    EXPECT_EQ(StreamTitle("StreamTitle='cut off"), "cut off");
}

QString trackId(const QVariantMap& m) {
    return m.value("mpris:trackid").value<QDBusObjectPath>().path();
}

TEST(MprisState, FileRequestOpenPauseStopAndTheirChanges) {
    MprisState s;
    EXPECT_EQ(s.status(), S::Stopped);
    EXPECT_TRUE(s.metadata().isEmpty());

    QVariantMap c = s.requestStarted("/music/a b.mp3");
    EXPECT_EQ(c.keys(), QStringList{"Metadata"}) << "the title shows before the sound";
    const QVariantMap m = c.value("Metadata").toMap();
    EXPECT_EQ(m.value("xesam:title").toString(), "a b");
    EXPECT_EQ(m.value("xesam:url").toString(), "file:///music/a%20b.mp3");
    EXPECT_FALSE(trackId(m).isEmpty());
    EXPECT_FALSE(m.contains("mpris:length"));

    c = s.opened(61.5);
    EXPECT_EQ(c.value("PlaybackStatus").toString(), "Playing");
    EXPECT_EQ(c.value("Metadata").toMap().value("mpris:length").toLongLong(), 61500000);

    c = s.paused(true);
    EXPECT_EQ(c, (QVariantMap{{"PlaybackStatus", "Paused"}}));
    EXPECT_TRUE(s.paused(true).isEmpty()) << "no change, no signal";
    c = s.paused(false);
    EXPECT_EQ(c.value("PlaybackStatus").toString(), "Playing");

    c = s.stopped();
    EXPECT_EQ(c, (QVariantMap{{"PlaybackStatus", "Stopped"}})) << "the item stays shown";
    EXPECT_TRUE(s.paused(true).isEmpty()) << "the pause key while stopped does not pause";
    EXPECT_EQ(s.status(), S::Stopped);
}

TEST(MprisState, StationTitleReplacesTheNameOnceOneArrives) {
    MprisState s;
    s.requestStarted("http://radio.example/live Groove Salad");
    s.opened(0);
    QVariantMap m = s.metadata();
    EXPECT_EQ(m.value("xesam:title").toString(), "Groove Salad");
    EXPECT_EQ(m.value("xesam:url").toString(), "http://radio.example/live");
    EXPECT_FALSE(m.contains("mpris:length")) << "a stream has no length";

    EXPECT_TRUE(s.streamMeta("").isEmpty());
    QVariantMap c = s.streamMeta("StreamTitle='Band - Tune';");
    EXPECT_EQ(c.value("Metadata").toMap().value("xesam:title").toString(), "Band - Tune");
    EXPECT_TRUE(s.streamMeta("StreamTitle='Band - Tune';").isEmpty()) << "same title, no signal";
    EXPECT_TRUE(s.streamMeta("StreamTitle='';").isEmpty()) << "an empty title keeps the last";

    // A file that follows is named by its file again.
    s.requestStarted("/music/x.mp3");
    EXPECT_EQ(s.metadata().value("xesam:title").toString(), "x");
    EXPECT_TRUE(s.streamMeta("StreamTitle='late';").isEmpty()) << "a file takes no stream title";
}

}  // namespace
}  // namespace velorixa::desktop
