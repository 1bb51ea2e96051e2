// The user's folders from the environment, and small key=value settings files.
#include "util/userfiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "common/scopedenv.h"

namespace {

using velorixa::util::ReadKeyValues;
using velorixa::util::UserFolder;

TEST(UserFiles, FolderFromTheEnvironmentOrHome) {
    const struct {
        const char* xdg;  // null: unset
        const char* expect;
    } cases[] = {
        {"/x/conf", "/x/conf/velorixa"},
        {"/x/conf//", "/x/conf/velorixa"},
        {nullptr, "/home/me/.config/velorixa"},
        {"", "/home/me/.config/velorixa"},
        {"relative/conf", "/home/me/.config/velorixa"},  // not absolute: ignored
    };
    testmedia::ScopedEnv home("HOME", "/home/me");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        testmedia::ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg ? QByteArray(c.xdg) : QByteArray());
        EXPECT_EQ(UserFolder("XDG_CONFIG_HOME", ".config"), QString::fromUtf8(c.expect));
    }
}

TEST(UserFiles, KeyValuesWithAnyLineEnd) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.conf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a=1\r\n b = two words \rno equals\n=nokey\nc=\na=3");
    f.close();
    const auto kv = ReadKeyValues(path);
    EXPECT_EQ(kv.size(), 3);
    EXPECT_EQ(kv.value("a"), "3");  // the later one
    EXPECT_EQ(kv.value("b"), "two words");
    EXPECT_TRUE(kv.contains("c"));
    EXPECT_TRUE(ReadKeyValues(dir.filePath("missing.conf")).isEmpty());
}

}  // namespace
