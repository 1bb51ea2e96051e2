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

}  // namespace
}  // namespace velorixa::desktop
