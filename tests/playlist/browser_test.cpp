#include "playlist/browser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/bytenames.h"
#include "common/testmedia.h"
#include "listhelpers.h"
#include "playlist/listfile.h"
#include "util/fspath.h"

using namespace velorixa::playlist;

namespace {

void Touch(const QString& path, const QByteArray& bytes = {}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

}  // namespace

TEST(Browser, PatternsIgnoreLetterCase) {
    for (const char* name : {"song.mp3", "SONG.MP3", "Song.Mp3", ".mp3", "a.b.mp3"})
        EXPECT_TRUE(MatchesPattern(name, "*.MP3")) << name;
    for (const char* name : {"song.mp3.txt", "song.mp", "songmp3", "song.mp33", "list.PLF", ""})
        EXPECT_FALSE(MatchesPattern(name, "*.MP3")) << name;
    EXPECT_TRUE(MatchesPattern("Mix.plf", PatternText(BrowserPattern::Lists)));
    EXPECT_TRUE(MatchesPattern("x.MP3", PatternText(BrowserPattern::Music)));
    EXPECT_TRUE(MatchesPattern("ÄRGER.MP3", "ärger.*"));
}

TEST(Browser, FolderAndFileListsAreSortedFilteredAndWithoutHiddenEntries) {
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* n : {"b.mp3", "A.MP3", "c.Mp3", "notes.txt", ".hidden.mp3", "list.plf"})
        Touch(d + "/" + n);
    ASSERT_TRUE(QDir(d).mkdir("Zeta"));
    ASSERT_TRUE(QDir(d).mkdir("alpha"));
    ASSERT_TRUE(QDir(d).mkdir(".git"));
    ASSERT_TRUE(QDir(d).mkdir("folder.mp3"));  // a folder is never a file entry

    EXPECT_EQ(ListFiles(d, "*.MP3"), QStringList({"A.MP3", "b.mp3", "c.Mp3"}));
    EXPECT_EQ(ListFiles(d, "*.PLF"), QStringList({"list.plf"}));
    EXPECT_EQ(ListFolders(d), QStringList({"alpha", "folder.mp3", "Zeta"}));
    EXPECT_TRUE(ListFiles(d + "/does-not-exist", "*.MP3").isEmpty());
    EXPECT_TRUE(ListFolders(d + "/does-not-exist").isEmpty());
}

TEST(Browser, DrivesStartWithRootAndHoldNoDuplicates) {
    const QStringList drives = ListDrives();
    ASSERT_FALSE(drives.isEmpty());
    EXPECT_EQ(drives.first(), "/");
    for (const QString& d : drives) {
        EXPECT_EQ(drives.count(d), 1) << d.toStdString();
        EXPECT_FALSE(d.startsWith(QLatin1String("/proc"))) << d.toStdString();
        EXPECT_TRUE(QFileInfo(d).isDir()) << d.toStdString() << ": a file mounted alone is none";
    }
    QTemporaryDir dir;
    EXPECT_TRUE(drives.contains(DriveOf(dir.path()))) << DriveOf(dir.path()).toStdString();
}

TEST(Browser, AddSelectionAppendsFilesOrListContents) {
    QTemporaryDir dir;
    const QString d = dir.path();
    Touch(d + "/one.PLF", "/x/1.mp3\r\n/x/2.mp3\r\n");
    Touch(d + "/two.plf", "/y/3.mp3\n");

    PlaylistModel fileTop = listtest::Make("*a.mp3 b.mp3 *c.mp3");
    PlaylistModel list = listtest::Make("/old.mp3");
    EXPECT_EQ(AddBrowserSelection(list, d, fileTop, BrowserPattern::Music), 2);
    EXPECT_EQ(list.texts(), QStringList({"/old.mp3", d + "/a.mp3", d + "/c.mp3"}));
    EXPECT_EQ(listtest::Show(fileTop), "*a.mp3 b.mp3 *c.mp3");  // browser selection left as it was

    PlaylistModel root;
    AddBrowserSelection(root, "/", listtest::Make("*x.mp3"), BrowserPattern::Music);
    EXPECT_EQ(root.text(0), "/x.mp3");  // no second "/" after a root

    // List files add their lines after what the list holds, in the order of the files.
    PlaylistModel lists = listtest::Make("/old.mp3");
    EXPECT_EQ(AddBrowserSelection(lists, d + "/", listtest::Make("*one.PLF *two.plf missing.PLF"),
                                  BrowserPattern::Lists),
              3);
    EXPECT_EQ(lists.texts(), QStringList({"/old.mp3", "/x/1.mp3", "/x/2.mp3", "/y/3.mp3"}));

    PlaylistModel none;
    EXPECT_EQ(AddBrowserSelection(none, d, PlaylistModel(), BrowserPattern::Music), 0);
}

// A name that is not UTF-8 is the file system's bytes: listed, added and found again on disk
// byte for byte, beside a folder of such a name.
TEST(Browser, NamesThatAreNotUtf8AreListedAndAddedByteForByte) {
    using velorixa::test::kByteNames;
    using velorixa::util::PathToBytes;
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const auto& n : kByteNames) {
        ASSERT_TRUE(velorixa::test::makeRawFolder(velorixa::test::rawPath(d, n.bytes))) << n.what;
        ASSERT_TRUE(testmedia::writeFile(
            velorixa::test::rawString(velorixa::test::rawPath(d, n.bytes + ".mp3")),
            std::string("x")))
            << n.what;
    }
    const QStringList files = ListFiles(d, "*.MP3");
    const QStringList folders = ListFolders(d);
    ASSERT_EQ(files.size(), std::size(kByteNames));
    ASSERT_EQ(folders.size(), std::size(kByteNames));
    PlaylistModel fileTop;
    fileTop.setTexts(files);
    fileTop.selectAll();
    PlaylistModel list;
    ASSERT_EQ(AddBrowserSelection(list, d, fileTop, BrowserPattern::Music),
              int(std::size(kByteNames)));
    const QStringList lines = list.texts();
    for (const auto& n : kByteNames) {
        SCOPED_TRACE(n.what);
        EXPECT_TRUE(std::any_of(folders.begin(), folders.end(),
                                [&](const QString& f) { return PathToBytes(f) == n.bytes; }));
        EXPECT_TRUE(files.contains(velorixa::util::PathFromBytes(n.bytes + ".mp3")));
        const auto added = std::find_if(lines.begin(), lines.end(), [&](const QString& p) {
            return PathToBytes(p).endsWith("/" + n.bytes + ".mp3");
        });
        ASSERT_NE(added, lines.end());
        EXPECT_EQ(PathToBytes(*added), velorixa::test::rawPath(d, n.bytes + ".mp3"));
        EXPECT_TRUE(velorixa::test::rawFileExists(PathToBytes(*added)));
        EXPECT_TRUE(CanBrowse(velorixa::util::PathFromBytes(velorixa::test::rawPath(d, n.bytes))));
        EXPECT_EQ(velorixa::util::PathForDisplay(velorixa::util::PathFromBytes(n.bytes)), n.shown);
    }
}

TEST(Browser, MusicFilesWithALineBreakInTheirPathAreNotAddedButCounted) {
    PlaylistModel fileTop = listtest::Make("*a.mp3 *b.mp3");
    fileTop.append("two\nlines.mp3", true);
    fileTop.append("carriage\rreturn.mp3", true);
    PlaylistModel list;
    int skipped = 0;
    EXPECT_EQ(AddBrowserSelection(list, "/m", fileTop, BrowserPattern::Music, &skipped), 2);
    EXPECT_EQ(list.texts(), QStringList({"/m/a.mp3", "/m/b.mp3"}));
    EXPECT_EQ(skipped, 2);
    // A folder with a line break makes every name in it unfit for a line.
    skipped = 0;
    EXPECT_EQ(AddBrowserSelection(list, "/x\ny", listtest::Make("*c.mp3"), BrowserPattern::Music,
                                  &skipped),
              0);
    EXPECT_EQ(skipped, 1);
}

TEST(Browser, FolderPathsAreWorkedOutByName) {
    const struct {
        QString folder, parent;
    } cases[] = {{"/", "/"}, {"/a", "/"}, {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a/./b/../c", "/a"}};
    for (const auto& c : cases)
        EXPECT_EQ(ParentFolder(c.folder), c.parent) << c.folder.toStdString();
    QTemporaryDir dir;
    Touch(dir.path() + "/file.mp3");
    EXPECT_TRUE(CanBrowse(dir.path()));
    EXPECT_FALSE(CanBrowse(dir.path() + "/file.mp3")) << "a file is no folder";
    EXPECT_FALSE(CanBrowse(dir.path() + "/missing"));
    EXPECT_EQ(AbsoluteFolder("/a/../b/"), "/b");
    EXPECT_EQ(AbsoluteFolder("sub"), FolderWithSlash(CurrentFolder()) + "sub");
}
