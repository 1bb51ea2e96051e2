// Where the music search looks: the drive list with the home and music folders first, the
// music folder as xdg-user-dir names it (or home's "Music"), and the temporary and system
// folders a search leaves out.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/scopedenv.h"
#include "playlist/browser.h"
#include "playlist/musicsearch.h"
#include "util/fspath.h"

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
    // user-dirs.dirs as xdg-user-dirs-update writes it (and as hands edit it).
    const struct {
        const char* name;
        const char* userDirs;  // user-dirs.dirs, nullptr: none
        const char* made;      // folders made in home, "|" between them
        const char* found;     // below home; nullptr: none
    } cases[] = {
        {"named and there", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", "Tunes|Music", "Tunes"},
        {"named, missing", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n", "Music", "Music"},
        {"not named", nullptr, "Tunes|Music", "Music"},
        {"named as home", "XDG_MUSIC_DIR=\"$HOME/\"\n", "", nullptr},
        {"no file, no Music", nullptr, "Tunes", nullptr},
        {"blanks and escapes in the name",
         "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_MUSIC_DIR=\"$HOME/My \\\"Live\\\" "
         "\\$et\"\n",
         "My \"Live\" $et|Music", "My \"Live\" $et"},
        {"the last line counts", "XDG_MUSIC_DIR=\"$HOME/A\"\nXDG_MUSIC_DIR=\"$HOME/B\"\n", "A|B",
         "B"},
        {"a value the file never holds", "XDG_MUSIC_DIR=Tunes\n", "Tunes|Music", "Music"},
        {"Latin-1 bytes", "XDG_MUSIC_DIR=\"$HOME/M\xfcsik\"\n", "M\xfcsik", "M\xfcsik"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString home = dir.path() + "/home", config = dir.path() + "/config";
        ASSERT_TRUE(QDir().mkpath(home) && QDir().mkpath(config));
        for (const QByteArray& made : QByteArray(c.made).split('|')) {
            if (!made.isEmpty()) {
                ASSERT_EQ(
                    ::mkdir((velorixa::util::PathToBytes(home) + "/" + made).constData(), 0755), 0);
            }
        }
        if (c.userDirs) {
            QFile f(config + "/user-dirs.dirs");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.userDirs);
        }
        ScopedEnv h("HOME", home.toUtf8()), x("XDG_CONFIG_HOME", config.toUtf8());
        EXPECT_EQ(HomeFolder(), home);
        EXPECT_EQ(UserMusicFolder(home),
                  c.found ? home + "/" + velorixa::util::PathFromBytes(c.found) : QString());
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
