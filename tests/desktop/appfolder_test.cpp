// Where the player keeps its files: beside a writable program, else in the user's data folder,
// with the starter station list copied in once and a user's own list left alone.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "desktop/appfolder.h"

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

TEST_F(AppFolderTest, FolderChosenByTheProgramFoldersWritability) {
    struct Case {
        const char* what;
        bool writable;
        QString xdg;  // relative to the test's root; empty: unset
        QString expected;
        bool userData;
    };
    const Case cases[] = {
        {"writable program folder", true, "xdg", "/prefix/bin", false},
        {"read-only, XDG_DATA_HOME unset", false, "", "/home/.local/share/velorixa", true},
        {"read-only, XDG_DATA_HOME set", false, "xdg", "/xdg/velorixa", true},
        {"read-only, XDG_DATA_HOME relative (ignored)", false, "rel", "/home/.local/share/velorixa",
         true},
    };
    for (const Case& c : cases) {
        QString xdg = c.xdg.isEmpty() ? QString() : root_.path() + "/" + c.xdg;
        if (c.xdg == "rel") xdg = "relative/data";
        const AppFolder f = ChooseAppFolder(env(c.writable, xdg));
        EXPECT_EQ(f.path, root_.path() + c.expected) << c.what;
        EXPECT_EQ(f.userData, c.userData) << c.what;
        EXPECT_TRUE(f.ready) << c.what;
        EXPECT_TRUE(QFileInfo(f.path).isDir()) << c.what << ": the folder is made";
    }
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
    const AppFolder f = ChooseAppFolder(env(true));
    EXPECT_EQ(f.path, bin_);
    EXPECT_FALSE(f.starterCopied);
    EXPECT_EQ(QDir(bin_).entryList(QDir::Files | QDir::Hidden), QStringList())
        << "nothing is written beside the program";
}

}  // namespace
}  // namespace velorixa::desktop
