// The titles the desktop's media controls show for list items and stations (the bus tests cover
// the methods, the status and the volume).
#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <cmath>
#include <limits>

#include "desktop/mprisstate.h"
#include "util/fspath.h"

namespace velorixa::desktop {
namespace {

TEST(MprisTitles, OfListItems) {
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
        // A Latin-1 file name ("café.mp3" as its bytes) is titled readably.
        {util::PathFromBytes("/music/caf\xe9.mp3"), QString::fromUtf8("caf\xc3\xa9")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ItemTitle(c.item), c.title) << c.item.toStdString();
}

TEST(MprisState, StationTitleReplacesTheNameOnceOneArrives) {
    MprisState s;
    s.requestStarted("http://radio.example/live Groove Salad");
    s.opened(0);
    QVariantMap m = s.metadata();
    EXPECT_EQ(m.value("xesam:title").toString(), "Groove Salad");
    EXPECT_EQ(m.value("xesam:url").toString(), "http://radio.example/live");
    EXPECT_FALSE(m.contains("mpris:length")) << "a stream has no length";

    EXPECT_TRUE(s.streamTitle("").isEmpty());
    QVariantMap c = s.streamTitle("Band - Tune");
    EXPECT_EQ(c.value("Metadata").toMap().value("xesam:title").toString(), "Band - Tune");
    EXPECT_TRUE(s.streamTitle("Band - Tune").isEmpty()) << "same title, no signal";
    EXPECT_TRUE(s.streamTitle("").isEmpty()) << "an empty title keeps the last";

    // A file that follows is named by its file again.
    s.requestStarted("/music/x.mp3");
    EXPECT_EQ(s.metadata().value("xesam:title").toString(), "x");
    EXPECT_TRUE(s.streamTitle("late").isEmpty()) << "a file takes no stream title";
}

TEST(MprisState, AFilesTagsNameItOnTheDesktop) {
    audio::TrackTags tags;
    tags.media = true;
    tags.title = "Tune";
    tags.artist = "Band";
    tags.album = "Record";
    tags.lengthSec = 183.5;
    struct Case {
        QString item;        // the item played
        QString taggedItem;  // the item the tags are of
        bool openedFirst;    // the source told its own length (200 s) first
        QString title, artist, album;
        qint64 lengthUs;  // 0: none
    };
    const Case cases[] = {
        {"/m/x.mp3", "/m/x.mp3", false, "Tune", "Band", "Record", 183500000},
        {"/m/x.mp3", "/m/x.mp3", true, "Tune", "Band", "Record", 200000000},
        {"/m/x.mp3", "/m/other.mp3", false, "x", "", "", 0},  // late tags of another item
        {"http://radio.example/live Groove", "http://radio.example/live Groove", false, "Groove",
         "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.toStdString() + " " + c.taggedItem.toStdString());
        MprisState s;
        s.requestStarted(c.item);
        if (c.openedFirst) s.opened(200);
        const QVariantMap changed = s.tagsRead(c.taggedItem, tags);
        const QVariantMap m = s.metadata();
        EXPECT_EQ(changed.isEmpty(), c.artist.isEmpty()) << "a signal only when something changed";
        EXPECT_EQ(m.value("xesam:title").toString(), c.title);
        EXPECT_EQ(m.value("xesam:artist").toStringList(),
                  c.artist.isEmpty() ? QStringList() : QStringList{c.artist});
        EXPECT_EQ(m.value("xesam:album").toString(), c.album);
        EXPECT_EQ(m.value("mpris:length").toLongLong(), c.lengthUs);
    }
    // The next item starts without the last one's tags.
    MprisState s;
    s.requestStarted("/m/x.mp3");
    s.tagsRead("/m/x.mp3", tags);
    s.requestStarted("/m/y.mp3");
    EXPECT_EQ(s.metadata().value("xesam:title").toString(), "y");
    EXPECT_FALSE(s.metadata().contains("xesam:artist"));
}

}  // namespace
}  // namespace velorixa::desktop
