// Where the player keeps its files: beside a portable copy (a marker file, or the build tree,
// which the build marks), else in the user's data folder, with the starter station list copied in
// once and a user's own list left alone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "common/bytenames.h"
#include "common/waitfor.h"
#include "desktop/appfolder.h"
#include "util/fspath.h"

namespace velorixa::desktop {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class AppFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // An installed layout: PREFIX/bin/velorixa and PREFIX/share/velorixa/NetRadio.ini.
        bin_ = root_.path() + "/prefix/bin";
        QDir().mkpath(bin_);
        starter_ = root_.path() + "/prefix/share/velorixa/NetRadio.ini";
        write(starter_, "http://starter.example/a Starter\r\n");
        home_ = root_.path() + "/home";
        QDir().mkpath(home_);
    }
    AppFolderEnv env(bool writable, const QString& xdg = {}) {
        AppFolderEnv e = SystemAppFolderEnv(bin_);
        e.home = home_;
        e.xdgDataHome = xdg;
        e.writable = [writable](const QString&) { return writable; };
        return e;
    }

    QTemporaryDir root_;
    QString bin_, starter_, home_;
};

TEST_F(AppFolderTest, ThePortableMarkerAloneKeepsTheFilesBesideTheProgram) {
    struct Case {
        const char* what;
        bool marker;
        bool writable;
        QString xdg;  // relative to the test's root; empty: unset
        QString expected;
        bool userData;
    };
    const Case cases[] = {
        {"portable copy", true, true, "xdg", "/prefix/bin", false},
        {"installed, writable program folder (~/.local/bin)", false, true, "xdg", "/xdg/velorixa",
         true},
        {"installed, XDG_DATA_HOME unset", false, false, "", "/home/.local/share/velorixa", true},
        {"installed, XDG_DATA_HOME relative (ignored)", false, true, "rel",
         "/home/.local/share/velorixa", true},
        {"portable copy on a read-only medium", true, false, "xdg", "/xdg/velorixa", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(bin_ + "/velorixa.portable");
        if (c.marker) write(bin_ + "/velorixa.portable", "");
        QString xdg = c.xdg.isEmpty() ? QString() : root_.path() + "/" + c.xdg;
        if (c.xdg == "rel") xdg = "relative/data";
        const AppFolder f = ChooseAppFolder(env(c.writable, xdg));
        EXPECT_EQ(f.path, root_.path() + c.expected);
        EXPECT_EQ(f.userData, c.userData);
        EXPECT_TRUE(f.ready);
        EXPECT_TRUE(QFileInfo(f.path).isDir()) << "the folder is made";
    }
}

TEST_F(AppFolderTest, TheMarkerIsAFileBesideTheProgram) {
    EXPECT_FALSE(PortableFolder(bin_));
    QDir().mkpath(bin_ + "/velorixa.portable");
    EXPECT_FALSE(PortableFolder(bin_)) << "a folder of that name is no marker";
    QDir(bin_ + "/velorixa.portable").removeRecursively();
    write(bin_ + "/velorixa.portable", "");
    EXPECT_TRUE(PortableFolder(bin_));
    EXPECT_TRUE(PortableFolder(QFileInfo(VELORIXA_PLAYER_BIN).path()))
        << "the build marks its own program folder";
}

TEST_F(AppFolderTest, DataFolderMadeWithTheStarterStationList) {
    const AppFolder f = ChooseAppFolder(env(false));
    ASSERT_TRUE(f.userData);
    EXPECT_TRUE(f.starterCopied);
    EXPECT_EQ(readAll(f.path + "/NetRadio.ini"), "http://starter.example/a Starter\r\n");
    EXPECT_TRUE(QFileInfo(f.path + "/NetRadio.ini").isWritable()) << "the copy is the user's";
}

TEST_F(AppFolderTest, UsersOwnStationListNeverOverwritten) {
    const QString data = home_ + "/.local/share/velorixa";
    write(data + "/NetRadio.ini", "http://mine.example/ My own\r\n");
    for (int start = 0; start < 2; ++start) {
        const AppFolder f = ChooseAppFolder(env(false));
        EXPECT_FALSE(f.starterCopied);
        EXPECT_EQ(readAll(data + "/NetRadio.ini"), "http://mine.example/ My own\r\n");
    }
    // An emptied list is the user's choice too.
    write(data + "/NetRadio.ini", "");
    ChooseAppFolder(env(false));
    EXPECT_EQ(readAll(data + "/NetRadio.ini"), "");
}

TEST_F(AppFolderTest, BuildFolderWithoutAnInstalledStarterStaysAsItWas) {
    QDir(root_.path() + "/prefix/share").removeRecursively();
    write(bin_ + "/velorixa.portable", "");
    const AppFolder f = ChooseAppFolder(env(true));
    EXPECT_EQ(f.path, bin_);
    EXPECT_FALSE(f.starterCopied);
    EXPECT_EQ(QDir(bin_).entryList(QDir::Files | QDir::Hidden), QStringList{"velorixa.portable"})
        << "nothing is written beside the program";
}

TEST_F(AppFolderTest, AnExistingDataFolderIsUsedAsItIs) {
    const QString data = root_.path() + "/xdg/velorixa";
    write(data + "/MemoList.ini", "/m/a.mp3\r\n");
    write(data + "/Mine.PSF", "set");
    QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup);
    const AppFolder f = ChooseAppFolder(env(true, root_.path() + "/xdg"));
    EXPECT_EQ(f.path, data);
    EXPECT_TRUE(f.starterCopied) << "the station list it lacked";
    EXPECT_EQ(readAll(data + "/MemoList.ini"), "/m/a.mp3\r\n");
    EXPECT_EQ(readAll(data + "/Mine.PSF"), "set");
    EXPECT_EQ(QFileInfo(data).permissions() & QFile::ReadGroup, QFile::ReadGroup)
        << "the folder itself is not made again";
    EXPECT_EQ(QDir(data).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no leftovers";
}

TEST_F(AppFolderTest, PathsThatAreNotUtf8AreKept) {
    const QString home =
        util::PathFromBytes(test::rawPath(root_.path(), test::kByteNames[0].bytes));
    AppFolderEnv e = env(false);
    e.home = home;
    const AppFolder f = ChooseAppFolder(e);
    EXPECT_EQ(util::PathToBytes(f.path),
              test::rawPath(root_.path(), test::kByteNames[0].bytes) + "/.local/share/velorixa");
    EXPECT_TRUE(f.ready);
    EXPECT_TRUE(f.starterCopied);
    EXPECT_TRUE(test::rawFileExists(util::PathToBytes(f.path) + "/NetRadio.ini"));
}

// The real program, installed as `velorixa.sh install ~/.local` lays it out (a program folder the
// user may write, no marker): its files go to $XDG_DATA_HOME/velorixa, none into the program's
// folder.
TEST_F(AppFolderTest, TheInstalledProgramKeepsItsFilesInTheDataFolder) {
    const QString program = bin_ + "/velorixa";
    ASSERT_TRUE(QFile::copy(VELORIXA_PLAYER_BIN, program));
    QProcess player;
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    pe.insert("QT_QPA_PLATFORM", "offscreen");
    pe.insert("SDL_AUDIODRIVER", "dummy");
    pe.insert("HOME", home_);
    pe.insert("XDG_DATA_HOME", root_.path() + "/xdg");
    pe.remove("DBUS_SESSION_BUS_ADDRESS");
    player.setProcessEnvironment(pe);
    player.setWorkingDirectory(root_.path());
    player.start(program, {});
    ASSERT_TRUE(player.waitForStarted(5000));
    const QString data = root_.path() + "/xdg/velorixa";
    EXPECT_TRUE(test::waitFor([&] { return QFileInfo::exists(data + "/NetRadio.ini"); }, 8000));
    ::kill(static_cast<pid_t>(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(5000));
    EXPECT_EQ(readAll(data + "/NetRadio.ini"), "http://starter.example/a Starter\r\n");
    EXPECT_EQ(QDir(bin_).entryList(QDir::Files | QDir::Hidden), QStringList{"velorixa"});
}

}  // namespace
}  // namespace velorixa::desktop
