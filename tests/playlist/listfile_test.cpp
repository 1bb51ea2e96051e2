#include "playlist/listfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/halfwrite.h"
#include "common/tempfolder.h"
#include "fuzz/fuzz_lists.h"
#include "util/fspath.h"

#include <chrono>
#include <future>
#include <random>

#include <sys/stat.h>

using namespace velorixa::playlist;

namespace {

using ListFileTest = testmedia::TempFolderTest;

}  // namespace

TEST_F(ListFileTest, EmptyListIsOneEmptyLineAndReadsBackEmpty) {
    // (Its bytes are checked through the window's save at exit.)
    ASSERT_TRUE(SaveMemoList(path("MemoList.ini"), PlaylistModel()));
    PlaylistModel back;
    EXPECT_TRUE(LoadMemoList(path("MemoList.ini"), back));
    EXPECT_TRUE(back.isEmpty());
    // A playlist file of one empty line is one empty item (the line-end table): the empty-list
    // rule is the saved list's.
}

TEST_F(ListFileTest, LineEndsOfEveryKindAndNoFinalLineEnd) {
    struct Case {
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"a\nb\nc\n", {"a", "b", "c"}},
        {"a\r\nb\r\nc", {"a", "b", "c"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"\xEF\xBB\xBF/bom.mp3\r\n", {"/bom.mp3"}},
        {"", {}},
        {"\n", {""}},
        // CR alone ends a line too (old Macintosh files), mixed with the others.
        {"a\r\rb\r\nc\nd\r", {"a", "", "b", "c", "d"}},
        // A CR LF split between two reads of the file is still one line end.
        {QByteArray(64 * 1024 - 1, 'x') + "\r\ny", {QString(64 * 1024 - 1, u'x'), "y"}},
    };
    int i = 0;
    for (const Case& c : cases) {
        const QString name = QString("case%1.PLF").arg(i++);
        writeBytes(name, c.bytes);
        PlaylistModel list;
        LoadListFile(path(name), list);
        EXPECT_EQ(list.texts(), c.lines) << c.bytes.toStdString();
    }
}

TEST_F(ListFileTest, OtherEncodingsAndGarbageReadWithoutLoss) {
    // A Latin-1 line (from an old 8-bit list) keeps its bytes and shows its letters; a UTF-8
    // line beside it stays UTF-8; NULs vanish.
    const QByteArray latin1 = "/m\xfcsik/caf\xe9.mp3";
    writeBytes("mixed.PLF", latin1 + "\r\n" + QStringLiteral("/müsik/ok.mp3").toUtf8() + "\r\n" +
                                QByteArray("/nul\0inside.mp3\r\n", 17));
    PlaylistModel list;
    ASSERT_EQ(LoadListFile(path("mixed.PLF"), list), 3);
    EXPECT_EQ(velorixa::util::PathToBytes(list.text(0)), latin1);
    EXPECT_EQ(velorixa::util::PathForDisplay(list.text(0)), QStringLiteral("/müsik/café.mp3"));
    EXPECT_EQ(list.text(1), QStringLiteral("/müsik/ok.mp3"));
    EXPECT_EQ(list.text(2), QStringLiteral("/nulinside.mp3"));

    // Random bytes: never a crash, and no line holds a NUL or a line end.
    std::mt19937 rng(1234);
    QByteArray garbage(200000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng() & 0xff);
    writeBytes("garbage.PLF", garbage);
    PlaylistModel g;
    EXPECT_GT(LoadListFile(path("garbage.PLF"), g), 100);
    for (int i = 0; i < g.count(); ++i) {
        EXPECT_FALSE(g.text(i).contains(QChar(u'\0')));
        EXPECT_FALSE(g.text(i).contains(QChar(u'\n')));
    }
}

TEST_F(ListFileTest, VeryLongLineIsCutButFollowingLinesSurvive) {
    QByteArray bytes = "/first.mp3\r\n";
    bytes += QByteArray(kMaxLineBytes * 3 + 17, 'x');
    bytes += "\r\n/after.mp3\r\n";
    bytes += QByteArray(kMaxLineBytes, 'y');  // exactly at the limit: not cut
    bytes += "\r\n";
    writeBytes("long.PLF", bytes);
    PlaylistModel list;
    ListFileRead info;
    EXPECT_EQ(LoadListFile(path("long.PLF"), list, &info), 4);
    EXPECT_EQ(list.text(0), "/first.mp3");
    EXPECT_EQ(list.text(1), QString(kMaxLineBytes, u'x'));
    EXPECT_EQ(list.text(2), "/after.mp3");
    EXPECT_EQ(list.text(3).size(), kMaxLineBytes);
    EXPECT_EQ(info.cutLines, 1);
}

TEST_F(ListFileTest, LineLimitAtAndPastTheMaximum) {
    for (int n : {PlaylistModel::kMaxLines, PlaylistModel::kMaxLines + 1000}) {
        QByteArray bytes;
        for (int i = 0; i < n; ++i)
            bytes += "/m/" + QByteArray::number(i) + ".mp3\r\n";
        writeBytes("big.ini", bytes);
        PlaylistModel list;
        ListFileRead info;
        ASSERT_TRUE(LoadMemoList(path("big.ini"), list, &info));
        EXPECT_EQ(list.count(), PlaylistModel::kMaxLines) << n;
        EXPECT_EQ(list.text(PlaylistModel::kMaxLines - 1), "/m/32766.mp3");
        EXPECT_EQ(info.truncated, n > PlaylistModel::kMaxLines) << n;
    }
    // A list with room for 2 more takes 2 lines of a file.
    PlaylistModel almost;
    for (int i = 0; i < PlaylistModel::kMaxLines - 2; ++i)
        almost.append("x");
    writeBytes("five.PLF", "1\n2\n3\n4\n5\n");
    ListFileRead info;
    EXPECT_EQ(LoadListFile(path("five.PLF"), almost, &info), 2);
    EXPECT_TRUE(info.truncated);
    EXPECT_EQ(LoadListFile(path("five.PLF"), almost), 0) << "a full list takes nothing";
}

TEST_F(ListFileTest, LineBreaksInsideAnItemCannotSplitIt) {
    PlaylistModel list;
    list.append("/odd\nname.mp3");
    list.append("/odd\rname2.mp3");
    ASSERT_TRUE(SaveListFile(path("odd.PLF"), list));
    PlaylistModel back;
    EXPECT_EQ(LoadListFile(path("odd.PLF"), back), 2);
    EXPECT_EQ(back.text(0), "/odd name.mp3");
    EXPECT_EQ(back.text(1), "/odd name2.mp3");
}

TEST_F(ListFileTest, FailedSaveKeepsThePreviousFile) {
    PlaylistModel first;
    first.append("/kept.mp3");
    ASSERT_TRUE(SaveListFile(path("keep.PLF"), first));
    const QByteArray before = readBytes("keep.PLF");
    QString error;

    // A write that fails half way (a file size limit, which stops root too): the old file
    // stays as it was and no temporary file is left.
    PlaylistModel second;
    for (int i = 0; i < 500; ++i)
        second.append(QStringLiteral("/music/a long enough name %1.mp3").arg(i));
    const bool saved = testmedia::SaveFailingHalfWay(
        [&] { return SaveListFile(path("keep.PLF"), second, &error); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes("keep.PLF"), before);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"keep.PLF"}));
}

TEST_F(ListFileTest, SpecialFilesAreRefusedAtOnceAndNeverSavedOver) {
    // A FIFO without a writer would block a plain open for ever; a folder cannot be read.
    ASSERT_EQ(::mkfifo(path("fifo.PLF").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.PLF"));
    for (const char* name : {"fifo.PLF", "folder.PLF"}) {
        auto read = std::async(std::launch::async, [&] { return ReadListFile(path(name)); });
        if (read.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            // Let a blocked open go (a writer arrives), then fail.
            QFile writer(path(name));
            writer.open(QIODevice::WriteOnly);
            FAIL() << name << " blocked the read";
        }
        const ListFileRead info = read.get();
        EXPECT_FALSE(info.opened) << name;
        EXPECT_TRUE(info.notRegular) << name;
        EXPECT_TRUE(MemoListUnreadable(path(name), info)) << name;
        EXPECT_FALSE(CopyListFile(path(name), path("copy"))) << name;
    }
    // A missing saved list reads as nothing and may be written; one read whole may be written
    // over.
    PlaylistModel list;
    ListFileRead info;
    EXPECT_FALSE(LoadMemoList(path("MemoList.ini"), list, &info));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(MemoListUnreadable(path("MemoList.ini"), info));
    writeBytes("MemoList.ini", "/a.mp3\r\n");
    LoadMemoList(path("MemoList.ini"), list, &info);
    EXPECT_FALSE(MemoListUnreadable(path("MemoList.ini"), info));
}

// Names that are not UTF-8 (an old collection, a FAT stick) are the file system's bytes: a list
// that holds them is written back byte for byte, whether it was read or made in the program.
TEST_F(ListFileTest, ByteNamesRoundTripByteForByte) {
    const QByteArray names[] = {
        "/music/caf\xe9.mp3",                // Latin-1
        "/music/\xff\xfe\x80.mp3",           // no encoding at all
        "/music/K\xc3\xa4se \xe9t\xe9.mp3",  // valid UTF-8 beside Latin-1 in one name
        "/music/\xed\xa0\x80.mp3",           // an encoded surrogate
        "/music/cut\xc3",                    // a sequence cut off at the end
    };
    QByteArray file;
    for (const QByteArray& n : names)
        file += n + "\r\n";
    writeBytes("MemoList.ini", file);
    PlaylistModel read;
    ASSERT_TRUE(LoadMemoList(path("MemoList.ini"), read));
    ASSERT_EQ(read.count(), 5);
    ASSERT_TRUE(SaveMemoList(path("MemoList.ini"), read));
    EXPECT_EQ(readBytes("MemoList.ini"), file) << "saved as read";

    PlaylistModel made;
    for (const QByteArray& n : names)
        made.append(velorixa::util::PathFromBytes(n));
    ASSERT_TRUE(SaveListFile(path("made.PLF"), made));
    EXPECT_EQ(readBytes("made.PLF"), file);
    PlaylistModel back;
    LoadListFile(path("made.PLF"), back);
    EXPECT_EQ(back.texts(), made.texts());
}

// The fuzzer's properties over seeded random inputs built from list pieces.
TEST_F(ListFileTest, FuzzEntryHoldsOverRandomInputs) {
    std::mt19937 rng(21);
    const std::string_view pieces[] = {"\r",   "\n",           "\r\n",    "/a", "caf\xe9", "\xc3",
                                       "\xa9", "\xEF\xBB\xBF", {"\0", 1}, " ",  "x"};
    for (int i = 0; i < 1500; ++i) {
        std::string in;
        in += static_cast<char>(rng() & 0xff);
        in += static_cast<char>(rng() & 0xff);
        const int n = static_cast<int>(rng() % 30);
        for (int k = 0; k < n; ++k)
            in += pieces[rng() % std::size(pieces)];
        EXPECT_EQ(
            velorixa::fuzz::fuzzListFileOne(reinterpret_cast<const uint8_t*>(in.data()), in.size()),
            "")
            << QByteArray::fromStdString(in).toHex().constData();
    }
}
