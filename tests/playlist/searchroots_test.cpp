// Where the music search looks: the drive list with the home and music folders first, the
// music folder as xdg-user-dir names it (or home's "Music"), and the temporary and system
// folders a search leaves out.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/scopedenv.h"
#include "playlist/browser.h"
#include "playlist/musicsearch.h"

using namespace velorixa::playlist;

namespace {

using testmedia::ScopedEnv;

TEST(SearchRoots, HomeAndMusicComeBeforeTheMountedFileSystemsEachOnce) {
    const struct {
        QString home, music;
        QStringList drives, roots;
    } cases[] = {
        {"/home/ann",
         "/home/ann/Music",
         {"/", "/media/usb"},
         {"/home/ann", "/home/ann/Music", "/", "/media/usb"}},
        {"/home/ann", "", {"/", "/data"}, {"/home/ann", "/", "/data"}},
        {"/data/ann",
         "/data/ann/Tunes",
         {"/", "/data"},
         {"/data/ann", "/data/ann/Tunes", "/", "/data"}},
        {"/home", "/home/Music", {"/", "/home"}, {"/home", "/home/Music", "/"}},
        {"", "", {"/"}, {"/"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SearchRoots(c.home, c.music, c.drives), c.roots) << c.home.toStdString();
    }
    // The browser's folder names the closest root: inside the music folder, the music folder.
    const QStringList roots{"/home/ann", "/home/ann/Music", "/", "/media/usb"};
    EXPECT_EQ(DriveOf("/home/ann/Music/Live/x", roots), "/home/ann/Music");
    EXPECT_EQ(DriveOf("/home/ann/Musical", roots), "/home/ann");
    EXPECT_EQ(DriveOf("/media/usb", roots), "/media/usb");
    EXPECT_EQ(DriveOf("/etc", roots), "/");
}

TEST(UserMusicFolder, TheFolderXdgNamesElseHomesMusicElseNone) {
    const struct {
        const char* name;
        const char* userDirs;  // user-dirs.dirs, nullptr: none
        bool tunes, music;     // folders made in home: Tunes, Music
        const char* tool;
        const char* found;  // below home; nullptr: none
    } cases[] = {
        {"named and there", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", true, true, "xdg-user-dir", "Tunes"},
        {"named, missing", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", false, true, "xdg-user-dir", "Music"},
        {"not named: the tool answers home", nullptr, true, true, "xdg-user-dir", "Music"},
        {"named as home", "XDG_MUSIC_DIR=\"$HOME/\"\n", false, false, "xdg-user-dir", nullptr},
        {"no tool", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", true, true, "velorixa-no-such-tool",
         "Music"},
        {"no tool, no Music", nullptr, true, false, "velorixa-no-such-tool", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString home = dir.path() + "/home", config = dir.path() + "/config";
        ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(config));
        for (const auto& [made, name] :
             {std::pair{c.tunes, "/Tunes"}, std::pair{c.music, "/Music"}}) {
            if (made) {
                ASSERT_TRUE(QDir().mkpath(home + name));
            }
        }
        if (c.userDirs) {
            QFile f(config + "/user-dirs.dirs");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.userDirs);
        }
        ScopedEnv h("HOME", home.toUtf8()), x("XDG_CONFIG_HOME", config.toUtf8());
        EXPECT_EQ(HomeFolder(), home);
        EXPECT_EQ(UserMusicFolder(home, c.tool), c.found ? home + "/" + c.found : QString());
    }
    ScopedEnv none("HOME", QByteArray());
    EXPECT_EQ(HomeFolder(), QString());
    EXPECT_EQ(UserMusicFolder(QString()), QString());
}

TEST(LeftOutSystemFolders, AllButTheOneTheSearchStartsIn) {
    const QStringList all{"/tmp", "/var", "/usr", "/proc", "/sys", "/run"};
    const struct {
        const char* root;
        const char* walked;  // the one not left out; nullptr: none
    } cases[] = {
        {"/", nullptr},
        {"/home/ann/Music/", nullptr},
        {"/tmp/", "/tmp"},
        {"/tmp/party/music/", "/tmp"},
        {"/var", "/var"},
        {"/var/lib/mpd/music/", "/var"},
        {"/usr/share/sounds/", "/usr"},
        {"/tmpfiles/", nullptr},  // a name that only begins like one
        {"/media/usb/", nullptr},
    };
    for (const auto& c : cases) {
        QStringList expected = all;
        if (c.walked) expected.removeAll(c.walked);
        EXPECT_EQ(LeftOutSystemFolders(c.root), expected) << c.root;
    }
}

}  // namespace
