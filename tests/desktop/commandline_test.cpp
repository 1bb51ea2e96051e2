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
        QStringList items;    // "@" stands for the test's folder
        const char* problem;  // the argument a problem names
    };
    const Case cases[] = {
        {"several files, relative and absolute",
         {"a.mp3", "@/b song.MP3"},
         {"@/a.mp3", "@/b song.MP3"},
         nullptr},
        {"a missing file is left out and named", {"gone.mp3", "a.mp3"}, {"@/a.mp3"}, "gone.mp3"},
        {"a folder gives its MP3 files (any case), subfolders too, by path",
         {"album"},
         {"@/album/1 one.mp3", "@/album/2 two.mp3", "@/album/4 four.Mp3",
          "@/album/cd2/3 three.mp3"},
         nullptr},
        {"a folder without MP3 files", {"empty"}, {}, "empty"},
        {"a station address as it is",
         {"https://radio.example/live?x=1"},
         {"https://radio.example/live?x=1"},
         nullptr},
        {"a file address", {"file://@/b%20song.MP3"}, {"@/b song.MP3"}, nullptr},
        {"another scheme", {"smb://host/share/a.mp3"}, {}, "smb://host/share/a.mp3"},
        {"an option", {"--fullscreen"}, {}, "--fullscreen"},
        {"any other file is taken as it is", {"notes.txt"}, {"@/notes.txt"}, nullptr},
        {"an M3U list's entries",
         {"list.m3u"},
         {"@/a.mp3", "/abs/c.mp3", "http://radio.example/s", "/abs/d e.mp3"},
         nullptr},
        {"a PLS list's entries",
         {"list.pls"},
         {"http://radio.example/p", "@/album/1 one.mp3"},
         nullptr},
        {"an empty list", {"none.m3u"}, {}, "none.m3u"},
        {"nothing", {}, {}, nullptr},
    };
    for (const Case& c : cases) {
        QStringList args = c.args;
        args.replaceInStrings("@", d_);
        QStringList expected = c.items;
        expected.replaceInStrings("@", d_);
        const OpenRequest r = OpenRequestFrom(args, d_);
        EXPECT_EQ(r.items, expected) << c.what;
        EXPECT_EQ(r.problems.size(), c.problem ? 1 : 0)
            << c.what << ": " << r.problems.join("; ").toStdString();
        if (c.problem) {
            EXPECT_TRUE(r.problems.value(0).startsWith(QString(c.problem) + ": ")) << c.what;
        }
    }
}

}  // namespace
}  // namespace velorixa::desktop
