// The command line of "Open with": files, folders, playlist files and addresses into items.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "desktop/commandline.h"

namespace velorixa::desktop {
namespace {

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        d_ = dir_.path();
        for (const char* f :
             {"a.mp3", "b song.MP3", "notes.txt", "album/2 two.mp3", "album/1 one.mp3",
              "album/4 four.Mp3", "album/cd2/3 three.mp3", "empty/readme.txt"})
            touch(f, "x");
        touch("list.m3u",
              "#EXTM3U\r\n#EXTINF:1,a\r\na.mp3\r\n\r\n/abs/c.mp3\r\nhttp://radio.example/s\r\n"
              "file:///abs/d%20e.mp3\r\n");
        touch("list.pls",
              "[playlist]\nNumberOfEntries=2\nFile1=http://radio.example/p\nTitle1=P\n"
              "file2 = album/1 one.mp3\nLength1=-1\n");
        touch("none.m3u", "#EXTM3U\n");
    }
    void touch(const QString& rel, const QByteArray& bytes) {
        const QString p = d_ + "/" + rel;
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir_;
    QString d_;
};

TEST_F(CommandLineTest, ArgumentsBecomeItemsOrProblems) {
    struct Case {
        const char* what;
        QStringList args;
        QStringList items;  // "@" stands for the test's folder
        int problems;
    };
    const Case cases[] = {
        {"several files, relative and absolute",
         {"a.mp3", "@/b song.MP3"},
         {"@/a.mp3", "@/b song.MP3"},
         0},
        {"a missing file is left out and named", {"gone.mp3", "a.mp3"}, {"@/a.mp3"}, 1},
        {"a folder gives its MP3 files (any case), subfolders too, by path",
         {"album"},
         {"@/album/1 one.mp3", "@/album/2 two.mp3", "@/album/4 four.Mp3",
          "@/album/cd2/3 three.mp3"},
         0},
        {"a folder without MP3 files", {"empty"}, {}, 1},
        {"a station address as it is",
         {"https://radio.example/live?x=1"},
         {"https://radio.example/live?x=1"},
         0},
        {"a file address", {"file://@/b%20song.MP3"}, {"@/b song.MP3"}, 0},
        {"another scheme", {"smb://host/share/a.mp3"}, {}, 1},
        {"an option", {"--fullscreen"}, {}, 1},
        {"any other file is taken as it is", {"notes.txt"}, {"@/notes.txt"}, 0},
        {"an M3U list's entries",
         {"list.m3u"},
         {"@/a.mp3", "/abs/c.mp3", "http://radio.example/s", "/abs/d e.mp3"},
         0},
        {"a PLS list's entries", {"list.pls"}, {"http://radio.example/p", "@/album/1 one.mp3"}, 0},
        {"an empty list", {"none.m3u"}, {}, 1},
        {"nothing", {}, {}, 0},
    };
    for (const Case& c : cases) {
        QStringList args = c.args;
        args.replaceInStrings("@", d_);
        QStringList expected = c.items;
        expected.replaceInStrings("@", d_);
        const OpenRequest r = OpenRequestFrom(args, d_);
        EXPECT_EQ(r.items, expected) << c.what;
        EXPECT_EQ(r.problems.size(), c.problems)
            << c.what << ": " << r.problems.join("; ").toStdString();
    }
}

TEST_F(CommandLineTest, ProblemsNameTheirArgument) {
    const OpenRequest r = OpenRequestFrom({"gone.mp3", "empty"}, d_);
    ASSERT_EQ(r.problems.size(), 2);
    EXPECT_TRUE(r.problems[0].startsWith("gone.mp3: ")) << r.problems[0].toStdString();
    EXPECT_TRUE(r.problems[1].startsWith("empty: ")) << r.problems[1].toStdString();
}

}  // namespace
}  // namespace velorixa::desktop
