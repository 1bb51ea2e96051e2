// The command line of "Open with": files, folders, playlist files and addresses into items.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>

#include <chrono>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

#include "desktop/commandline.h"
#include "util/fspath.h"

namespace velorixa::desktop {
namespace {

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        d_ = dir_.path();
        for (const char* f :
             {"a.mp3", "b song.MP3", "notes.txt", "album/2 two.mp3", "album/1 one.mp3",
              "album/4 four.Mp3", "album/cd2/3 three.mp3", "empty/readme.txt", "mixed/a.flac",
              "mixed/b.OPUS", "mixed/c.m4a", "mixed/d.wav", "mixed/e.aif", "mixed/f.txt"})
            touch(f, "x");
        touch("list.m3u",
              "#EXTM3U\r\n#EXTINF:1,a\r\na.mp3\r\n\r\n/abs/c.mp3\r\nhttp://radio.example/s\r\n"
              "file:///abs/d%20e.mp3\r\n");
        touch("list.pls",
              "[playlist]\nNumberOfEntries=2\nFile1=http://radio.example/p\nTitle1=P\n"
              "file2 = album/1 one.mp3\nLength1=-1\n");
        touch("none.m3u", "#EXTM3U\n");
        // What a hostile start is given: a FIFO no one writes, a link to an endless device and
        // a file of one endless line, each named like a playlist.
        ASSERT_EQ(::mkfifo(QFile::encodeName(d_ + "/x.m3u").constData(), 0600), 0);
        ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(d_ + "/z.m3u").constData()), 0);
        touch("line.pls", "[playlist]\nFile1=" + QByteArray(1024 * 1024, 'y') + "\nFile2=a.mp3\n");
        QByteArray many;
        for (int i = 0; i < 40000; ++i)
            many += "/m/" + QByteArray::number(i) + ".mp3\n";
        touch("many.m3u", many);
        // Names that are not UTF-8: a Latin-1 file, and a list naming it.
        latin1_ = velorixa::util::PathToBytes(d_) + "/caf\xe9.mp3";
        FILE* f = std::fopen(latin1_.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        touch("latin.m3u",
              "caf\xe9.mp3\r\nfile://" + velorixa::util::PathToBytes(d_) + "/caf%E9.mp3\r\n");
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
    QByteArray latin1_;
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
        {"a folder without music files", {"empty"}, {}, "empty"},
        {"a folder gives every playable type",
         {"mixed"},
         {"@/mixed/a.flac", "@/mixed/b.OPUS", "@/mixed/c.m4a", "@/mixed/d.wav", "@/mixed/e.aif"},
         nullptr},
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
        {"a FIFO named like a playlist",
         {"x.m3u", "a.mp3"},
         {"@/a.mp3"},
         "x.m3u: a FIFO, not a file"},
        {"a link to /dev/zero", {"z.m3u"}, {}, "z.m3u: a device, not a file"},
        {"an entry of one endless line is left out",
         {"line.pls"},
         {"@/a.mp3"},
         "line.pls: 1 entry longer than 64 KB was left out"},
    };
    for (const Case& c : cases) {
        QStringList args = c.args;
        args.replaceInStrings("@", d_);
        QStringList expected = c.items;
        expected.replaceInStrings("@", d_);
        // A read that waited (a FIFO opened the usual way) fails here instead of hanging.
        auto pending = std::async(std::launch::async, [&] { return OpenRequestFrom(args, d_); });
        ASSERT_EQ(pending.wait_for(std::chrono::seconds(20)), std::future_status::ready) << c.what;
        const OpenRequest r = pending.get();
        EXPECT_EQ(r.items, expected) << c.what;
        EXPECT_EQ(r.problems.size(), c.problem ? 1 : 0)
            << c.what << ": " << r.problems.join("; ").toStdString();
        if (c.problem) {
            EXPECT_TRUE(
                r.problems.value(0).startsWith(QString(c.problem).section(": ", 0, 0) + ": "))
                << c.what;
            if (QString(c.problem).contains(": ")) {
                EXPECT_EQ(r.problems.value(0), c.problem);
            }
        }
    }
}

TEST_F(CommandLineTest, ListsStopAtAFullListAndSaySo) {
    const OpenRequest r = OpenRequestFrom({"many.m3u", "a.mp3"}, d_);
    ASSERT_EQ(r.items.size(), kMaxOpenItems);
    EXPECT_EQ(r.items.last(), "/m/32766.mp3");
    EXPECT_EQ(r.problems, QStringList{"7234 items past 32767 were left out (a list holds 32767)"});
}

TEST_F(CommandLineTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const QString name = velorixa::util::PathFromBytes(latin1_);
    const OpenRequest r = OpenRequestFrom(
        ArgumentsFrom(
            3, std::array<const char*, 3>{"velorixa", latin1_.constData(), "latin.m3u"}.data()),
        d_);
    EXPECT_EQ(r.items, (QStringList{name, name, name}));
    EXPECT_TRUE(r.problems.isEmpty()) << r.problems.join("; ").toStdString();
}

TEST_F(CommandLineTest, AStopEndsTheReadingWithWhatWasFound) {
    const OpenRequest r = OpenRequestFrom({"a.mp3", "album", "list.m3u"}, d_, [] { return false; });
    EXPECT_TRUE(r.items.isEmpty());
}

}  // namespace
}  // namespace velorixa::desktop
