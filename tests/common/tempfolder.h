#pragma once
// A test with a temporary folder of its own and byte-exact file helpers in it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace testmedia {

class TempFolderTest : public ::testing::Test {
  protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    void writeBytes(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray readBytes(const QString& name) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QTemporaryDir dir_;
};

}  // namespace testmedia
