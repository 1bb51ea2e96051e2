// The one file reader, the one line splitter and the one M3U/PLS reader.
#include <gtest/gtest.h>

#include <QFile>

#include <chrono>
#include <future>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "common/tempfolder.h"
#include "fuzz/fuzz_files.h"
#include "util/fspath.h"
#include "util/lines.h"
#include "util/playlistfile.h"
#include "util/readfile.h"

namespace velorixa::util {
namespace {

using ReadFileTest = testmedia::TempFolderTest;

// Reads on another thread so that a read that waits fails the test instead of hanging it.
FileRead readSoon(const QString& path, const ReadOptions& options) {
    auto read = std::async(std::launch::async, [&] { return ReadRegularFile(path, options); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        QFile writer(path);  // let a FIFO's open go, then fail
        writer.open(QIODevice::WriteOnly);
        ADD_FAILURE() << "the read waited: " << path.toStdString();
    }
    return read.get();
}

TEST_F(ReadFileTest, OnlyRegularFilesAreReadAndEveryRefusalSaysWhy) {
    writeBytes("list.m3u", "/a.mp3\n");
    writeBytes("big.pls", QByteArray(2048, 'x'));
    ASSERT_EQ(::mkfifo(PathToBytes(path("x.m3u")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", PathToBytes(path("z.m3u")).constData()), 0);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.m3u"));
    const QByteArray latin1Name = PathToBytes(dir_.path()) + "/caf\xe9.m3u";
    {
        FILE* f = std::fopen(latin1Name.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("latin", f);
        std::fclose(f);
    }
    const struct {
        QString path;
        ReadStatus status;
        const char* reason;
        QByteArray data;
    } cases[] = {
        {path("list.m3u"), ReadStatus::Ok, "", "/a.mp3\n"},
        {PathFromBytes(latin1Name), ReadStatus::Ok, "", "latin"},
        {path("none.m3u"), ReadStatus::Missing, "no such file", {}},
        {path("x.m3u"), ReadStatus::NotRegular, "a FIFO, not a file", {}},
        {path("z.m3u"), ReadStatus::NotRegular, "a device, not a file", {}},
        {path("folder.m3u"), ReadStatus::Folder, "a folder", {}},
        {path("big.pls"), ReadStatus::TooLarge, "larger than 1 KB", {}},
    };
    for (const auto& c : cases) {
        ReadOptions options;
        options.maxBytes = 1024;
        const FileRead r = readSoon(c.path, options);
        EXPECT_EQ(r.status, c.status) << c.path.toStdString();
        EXPECT_EQ(r.reason, c.reason) << c.path.toStdString();
        EXPECT_EQ(r.data, c.data) << c.path.toStdString();
    }
}

TEST_F(ReadFileTest, APrefixReadStopsAtTheLimitAndAStopEndsTheRead) {
    writeBytes("long.ini", QByteArray(5000, 'a'));
    ReadOptions options;
    options.maxBytes = 1000;
    options.oversize = Oversize::Prefix;
    FileRead r = ReadRegularFile(path("long.ini"), options);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.data.size(), 1000);
    EXPECT_TRUE(r.cut);
    options.maxBytes = 5000;
    r = ReadRegularFile(path("long.ini"), options);
    EXPECT_FALSE(r.cut) << "exactly at the limit";

    options.goesOn = [] { return false; };
    r = ReadRegularFile(path("long.ini"), options);
    EXPECT_EQ(r.status, ReadStatus::Stopped);
    EXPECT_TRUE(r.data.isEmpty());
}

TEST(SplitLines, EveryLineEndAlikeWithLimits) {
    const struct {
        QByteArray data;
        int maxLines;
        qsizetype maxBytes;
        QList<QByteArray> lines;
        bool more;
        int cut;
    } cases[] = {
        {"a\nb\r\nc\rd", 99, 99, {"a", "b", "c", "d"}, false, 0},
        {"a\r\rb\r\n\nc\r", 99, 99, {"a", "", "b", "", "c"}, false, 0},
        {"\xEF\xBB\xBF"
         "a\r",
         99,
         99,
         {"a"},
         false,
         0},
        {"", 99, 99, {}, false, 0},
        {"\r\n", 99, 99, {""}, false, 0},
        {"a\rb\rc\r", 2, 99, {"a", "b"}, true, 0},
        {"a\rb\r\r\n\n", 2, 99, {"a", "b"}, false, 0},  // only line ends are left
        {"abcdef\rxy", 99, 3, {"abc", "xy"}, false, 1},
    };
    for (const auto& c : cases) {
        const Lines l = SplitLines(c.data, c.maxLines, c.maxBytes);
        EXPECT_EQ(l.lines, c.lines) << c.data.toStdString();
        EXPECT_EQ(l.more, c.more) << c.data.toStdString();
        EXPECT_EQ(l.cut, c.cut) << c.data.toStdString();
    }
}

TEST(ParsePlaylist, EntriesOfBothFormatsKeepTheirBytesAndStopAtTheLimits) {
    const QByteArray longEntry(kMaxEntryBytes + 1, 'y');
    const struct {
        const char* what;
        QByteArray text;
        PlaylistFormat format;
        int maxEntries;
        QList<QByteArray> entries;  // as bytes
        int leftOut, tooLong;
    } cases[] = {
        {"m3u with comments, blanks and every line end",
         "#EXTM3U\r#EXTINF:1,a\r\n  a.mp3 \n\n/abs/c.mp3\rhttp://h/s",
         PlaylistFormat::M3u,
         99,
         {"a.mp3", "/abs/c.mp3", "http://h/s"},
         0,
         0},
        {"pls keys in any case, other keys left out",
         "[playlist]\nNumberOfEntries=2\nFile1=http://h/p\nTitle1=P\nfile2 = b.mp3\nFileX=no\n",
         PlaylistFormat::Pls,
         99,
         {"http://h/p", "b.mp3"},
         0,
         0},
        {"Latin-1 and broken UTF-8 names as their bytes",
         "/m/caf\xe9.mp3\n/m/\xc3(.mp3\n",
         PlaylistFormat::M3u,
         99,
         {"/m/caf\xe9.mp3", "/m/\xc3(.mp3"},
         0,
         0},
        {"past the entry limit", "1\n2\n3\n4\n", PlaylistFormat::M3u, 2, {"1", "2"}, 2, 0},
        {"an entry of one long line",
         "a\n" + longEntry + "\nb\n",
         PlaylistFormat::M3u,
         99,
         {"a", "b"},
         0,
         1},
    };
    for (const auto& c : cases) {
        const PlaylistRead r = ParsePlaylist(c.text, c.format, c.maxEntries);
        QList<QByteArray> bytes;
        for (const QString& e : r.entries)
            bytes << PathToBytes(e);
        EXPECT_EQ(bytes, c.entries) << c.what;
        EXPECT_EQ(r.leftOut, c.leftOut) << c.what;
        EXPECT_EQ(r.tooLong, c.tooLong) << c.what;
    }
    EXPECT_EQ(PlaylistFormatOfName("/a/b.PLS"), PlaylistFormat::Pls);
    EXPECT_EQ(PlaylistFormatOfName("b.m3u8"), PlaylistFormat::M3u);
    EXPECT_EQ(PlaylistFormatOfName("/a.pls/b"), std::nullopt);
    EXPECT_EQ(PlaylistFormatOfText("\r\n [Playlist] \nFile1=x"), PlaylistFormat::Pls);
    EXPECT_EQ(PlaylistFormatOfText("#EXTM3U\n[playlist]"), PlaylistFormat::M3u);
}

// The fuzzer's properties over seeded random inputs built from playlist pieces.
TEST(ParsePlaylist, FuzzEntryHoldsOverRandomInputs) {
    std::mt19937 rng(28);
    const std::string_view pieces[] = {
        "[playlist]", "File1=",       "file22 =", "#EXTM3U", "#",  " ",
        "\t",         "\r",           "\n",       "\r\n",    "/a", "caf\xe9",
        "http://h/",  "\xEF\xBB\xBF", {"\0", 1},  "x"};
    for (int i = 0; i < 3000; ++i) {
        std::string in(1, static_cast<char>(rng() & 0xff));
        const int n = static_cast<int>(rng() % 40);
        for (int k = 0; k < n; ++k)
            in += pieces[rng() % std::size(pieces)];
        EXPECT_EQ(fuzz::fuzzPlaylistOne(reinterpret_cast<const uint8_t*>(in.data()), in.size()), "")
            << QByteArray::fromStdString(in).toHex().constData();
    }
}

}  // namespace
}  // namespace velorixa::util
