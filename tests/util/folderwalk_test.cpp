// The folder walk of the music and mixer searches on trees built under a temporary folder.
#include "util/folderwalk.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>
#include <cerrno>

namespace velorixa::util {
namespace {

// "dir/" makes a folder, "name -> target" a symbolic link, anything else an empty file.
void Build(const QString& root, const QStringList& entries) {
    for (const QString& e : entries) {
        if (e.contains(" -> ")) {
            const QStringList parts = e.split(" -> ");
            ASSERT_EQ(symlink(QFile::encodeName(parts[1]).constData(),
                              QFile::encodeName(root + "/" + parts[0]).constData()),
                      0)
                << qPrintable(e);
        } else if (e.endsWith('/')) {
            ASSERT_TRUE(QDir().mkpath(root + "/" + e));
        } else {
            QDir().mkpath(QFileInfo(root + "/" + e).path());
            QFile f(root + "/" + e);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
}

// The walk as "folder:file,file" lines, folders relative to the root ("" for the root).
QStringList Walk(const QString& root, const WalkRules& rules, WalkEnd* end,
                 int stopAfterFolders = -1) {
    QStringList seen;
    int folders = 0;
    *end = WalkFolders(
        root, rules, [&] { return stopAfterFolders < 0 || folders < stopAfterFolders; },
        [&](const QString& folder, const QStringList& files) {
            ++folders;
            seen << folder.mid(root.size() + 1) + ":" + files.join(',');
            return true;
        });
    return seen;
}

// A folder opener that fails with error for paths ending in "/bad/", as the real one otherwise.
WalkRules FailingAt(int error) {
    WalkRules rules;
    rules.openFolder = [error](const QByteArray& path, bool root) {
        if (path.endsWith("/bad/")) {
            errno = error;
            return -1;
        }
        return WalkRules::OpenFolder(path, root);
    };
    return rules;
}

TEST(FolderWalk, OrderAndWhatIsLeftOut) {
    const QStringList tree = {"b.mp3",           "A.Mp3",      "Zeta/z.mp3",
                              "beta/deep/d.mp3", "beta/c.mp3", "Alpha/a.mp3",
                              ".hidden/h.mp3",   "bad/x.mp3",  "proc/p.mp3"};
    // Files first, then each subfolder's whole subtree in name order; dot folders skipped.
    const QStringList all = {":A.Mp3,b.mp3",     "Alpha/:a.mp3", "bad/:x.mp3", "beta/:c.mp3",
                             "beta/deep/:d.mp3", "proc/:p.mp3",  "Zeta/:z.mp3"};
    QStringList linked = all, withoutBad = all;
    linked[1] = "Alpha/:a.mp3,link.mp3";
    withoutBad.removeAt(2);
    const struct Case {
        const char* name;
        QStringList extra;  // more entries on top of tree
        WalkRules rules;
        WalkEnd end;
        QStringList seen;
    } cases[] = {
        {"the plain tree", {}, {}, WalkEnd::Done, all},
        {"links to folders are not followed, a link to a file is a file",
         {"beta/up -> ..", "beta/deep/loop -> ../../beta", "Alpha/link.mp3 -> ../b.mp3",
          "Alpha/gone.mp3 -> nowhere"},
         {},
         WalkEnd::Done,
         linked},
        {"an unreadable folder is skipped silently",
         {},
         FailingAt(EACCES),
         WalkEnd::Done,
         withoutBad},
        {"any other listing failure ends the walk there",
         {},
         FailingAt(EMFILE),
         WalkEnd::Failed,
         all.mid(0, 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Build(dir.path(), tree + c.extra);
        WalkEnd end{};
        EXPECT_EQ(Walk(dir.path(), c.rules, &end), c.seen);
        EXPECT_EQ(end, c.end);
    }
}

TEST(FolderWalk, VirtualAndNetworkMountsAreNotEnteredButLocalDisksAre) {
    QTemporaryDir dir;
    Build(dir.path(), {"a.mp3", "proc/p.mp3", "my share/n.mp3", "sshfs/s.mp3", "usb/u.mp3"});
    // Mount points with blanks are written with octal escapes in the kernel's table.
    const QString root = dir.path();
    QByteArray table;
    const char* const mounts[][2] = {
        {"/proc", "proc"}, {"/my share", "nfs4"}, {"/sshfs", "fuse.sshfs"}, {"/usb", "fuseblk"}};
    for (const auto& m : mounts) {
        QByteArray point = QFile::encodeName(root + m[0]);
        table += "40 1 0:50 / " + point.replace(" ", "\\040") + " rw,relatime shared:1 - " + m[1] +
                 " src rw\n";
    }
    WalkEnd end{};
    EXPECT_EQ(Walk(root, WalkRules::FromMountInfo(table), &end),
              (QStringList{":a.mp3", "usb/:u.mp3"}));
}

TEST(FolderWalk, ClearingTheFlagEndsRunningWalksButNotLaterOnes) {
    QTemporaryDir dir;
    Build(dir.path(), {"one/a.mp3", "two/b.mp3", "three/c.mp3"});
    WalkEnd end{};
    EXPECT_EQ(Walk(dir.path(), {}, &end, 2).size(), 2);
    EXPECT_EQ(end, WalkEnd::Stopped);

    FindFlag flag;
    const FindFlag::Token music = flag.start();
    const FindFlag::Token mixer = flag.start();
    flag.clear();  // the mixer search ended: the music search ends with it
    EXPECT_FALSE(flag.goesOn(music));
    EXPECT_FALSE(flag.goesOn(mixer));
    const FindFlag::Token next = flag.start();
    EXPECT_TRUE(flag.goesOn(next));
    EXPECT_FALSE(flag.goesOn(music));
}

}  // namespace
}  // namespace velorixa::util
