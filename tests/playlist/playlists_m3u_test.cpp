// M3U and PLS playlists read into the list and written from it, the save target of a typed
// name, and the browser's file types.
#include <gtest/gtest.h>

#include <QDir>

#include "common/tempfolder.h"
#include "playlist/browser.h"
#include "playlist/listfile.h"
#include "util/fspath.h"
#include "util/playable.h"
#include "util/playlistfile.h"

namespace velorixa::playlist {
namespace {

class PlaylistFilesTest : public testmedia::TempFolderTest {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid() && QDir().mkpath(lists_)); }
    const QString lists_ = path("lists");
};

TEST_F(PlaylistFilesTest, EntriesBecomeItemsResolvedAgainstTheListsFolder) {
    struct Case {
        const char* name;
        QByteArray text;
        QStringList items;  // with @ for the lists' folder, ^ for its parent
    };
    const Case cases[] = {
        {"plain.m3u",
         "#EXTM3U\n#EXTINF:12,Band - Song\nsong.mp3\n\n  sub/other.flac  \n../up.ogg\n",
         {"@/song.mp3", "@/sub/other.flac", "^/up.ogg"}},
        {"urls.m3u8",
         "file:///abs/a%20b.mp3\r\nfile://localhost/abs/c.opus\r\nfile://elsewhere/x.mp3\r\n"
         "http://radio.example/live\r\nhttps://radio.example/aac\r\nmailto:x@y\r\n/abs/d.wav\r\n",
         {"/abs/a b.mp3", "/abs/c.opus", "http://radio.example/live", "https://radio.example/aac",
          "/abs/d.wav"}},
        {"stations.pls",
         "[playlist]\nNumberOfEntries=3\nFile1=http://a.example:8000/\nTitle1=A\n"
         "file2 = rel/two.m4a\nFile3=/abs/./three.aiff\nLength1=-1\nVersion=2\n",
         {"http://a.example:8000/", "@/rel/two.m4a", "/abs/three.aiff"}},
        {"empty.m3u", "#EXTM3U\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(QString("lists/") + c.name, c.text);
        PlaylistModel list;
        list.append("/already/there.mp3");
        PlaylistLoad load;
        const int added = LoadAnyListFile(lists_ + "/" + c.name, list, &load);
        QStringList expected{"/already/there.mp3"};
        for (QString item : c.items)
            expected << item.replace("@", lists_).replace("^", dir_.path());
        EXPECT_EQ(list.texts(), expected);
        EXPECT_EQ(added, c.items.size());
        EXPECT_TRUE(load.opened);
        EXPECT_FALSE(load.hls);
    }
}

TEST_F(PlaylistFilesTest, AnHlsPlaylistIsAStreamNotAListOfFiles) {
    writeBytes("lists/live.m3u8",
               "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:6\n"
               "#EXT-X-MEDIA-SEQUENCE:7\n#EXTINF:6.0,\nseg7.aac\n");
    PlaylistModel list;
    PlaylistLoad load;
    EXPECT_EQ(LoadAnyListFile(lists_ + "/live.m3u8", list, &load), 0);
    EXPECT_TRUE(load.hls);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(util::IsHlsPlaylist("#EXTM3U\r\n  #EXT-X-STREAM-INF:BANDWIDTH=1\r\nv.m3u8"));
    EXPECT_FALSE(util::IsHlsPlaylist("#EXTM3U\n#EXTINF:1,#EXT-X- in a title\nsong.mp3\n"));
}

TEST_F(PlaylistFilesTest, ThePlayersOwnListFileStillReadsLineForLine) {
    writeBytes("Mix.PLF", "/a/one.mp3\r\nrelative stays as it is.mp3\r\n\r\n");
    PlaylistModel list;
    EXPECT_EQ(LoadAnyListFile(path("Mix.PLF"), list), 3);
    EXPECT_EQ(list.texts(), (QStringList{"/a/one.mp3", "relative stays as it is.mp3", ""}));
}

TEST_F(PlaylistFilesTest, TheTypedNamePicksTheFormat) {
    struct Case {
        const char* name;
        const char* path;
        bool m3u;
    };
    const Case cases[] = {
        {"Mix", "/f/Mix.PLF", false},         {"Mix.PLF", "/f/Mix.PLF.PLF", false},
        {"Mix.m3u", "/f/Mix.m3u", true},      {"Mix.M3U", "/f/Mix.M3U", true},
        {"Mix.m3u8", "/f/Mix.m3u8", true},    {"Mix.m3u.txt", "/f/Mix.m3u.txt.PLF", false},
        {"Mix.pls", "/f/Mix.pls.PLF", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SaveTarget t = ListSaveTarget("/f", c.name);
        EXPECT_EQ(t.path, c.path);
        EXPECT_EQ(t.m3u, c.m3u);
    }
}

TEST_F(PlaylistFilesTest, AnM3uWrittenReadsBackAsTheSameItems) {
    const QString odd = util::PathFromBytes("/m/caf\xe9.mp3");  // Latin-1 byte
    const QStringList items{"/m/one.flac", "", "http://radio.example/live Radio One", odd,
                            "/m/line\nbreak.mp3"};
    const QString out = lists_ + "/out.m3u";
    const auto info = [](const QString& item) {
        M3uInfo i;
        if (item == "/m/one.flac") i = {183, "Band - Song"};
        return i;
    };
    QString error;
    ASSERT_TRUE(WriteM3uFile(out, items, info, &error)) << error.toStdString();
    EXPECT_EQ(readBytes("lists/out.m3u"),
              QByteArray("#EXTM3U\n#EXTINF:183,Band - Song\n/m/one.flac\n"
                         "#EXTINF:-1,Radio One\nhttp://radio.example/live\n"
                         "/m/caf\xe9.mp3\n/m/line break.mp3\n"));
    PlaylistModel list;
    EXPECT_EQ(LoadAnyListFile(out, list), 4);
    EXPECT_EQ(list.texts(),
              (QStringList{"/m/one.flac", "http://radio.example/live", odd, "/m/line break.mp3"}));
    // Nothing is written into a folder that does not exist; no old file is touched.
    EXPECT_FALSE(WriteM3uFile(lists_ + "/none/out.m3u", items, {}, &error));
}

TEST(PlayableTypes, OneListForEveryPlace) {
    struct Case {
        const char* name;
        bool playable;
        bool list;
    };
    const Case cases[] = {
        {"a.mp3", true, false},  {"a.MP2", true, false},       {"a.mp1", true, false},
        {"a.Flac", true, false}, {"a.ogg", true, false},       {"a.oga", true, false},
        {"a.opus", true, false}, {"a.m4a", true, false},       {"a.mp4", true, false},
        {"a.aac", true, false},  {"a.wav", true, false},       {"a.AIFF", true, false},
        {"a.aif", true, false},  {"a.PLF", false, true},       {"a.m3u", false, true},
        {"a.m3u8", false, true}, {"a.pls", false, true},       {"a.txt", false, false},
        {"mp3", false, false},   {"a.mp3.part", false, false}, {"/x.mp3/y", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(util::IsPlayableName(c.name), c.playable);
        EXPECT_EQ(util::IsListName(c.name), c.list);
        // The browser's two types say the same.
        EXPECT_EQ(MatchesPattern(c.name, PatternText(BrowserPattern::Music)),
                  c.playable && !QString(c.name).contains('/'));
        EXPECT_EQ(MatchesPattern(c.name, PatternText(BrowserPattern::Lists)), c.list);
    }
}

}  // namespace
}  // namespace velorixa::playlist
