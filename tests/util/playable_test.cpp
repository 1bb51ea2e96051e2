// The playable types reach the desktop: the desktop entry opens every one of them and the
// playlists the player reads.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include "util/playable.h"

namespace velorixa::util {
namespace {

QStringList desktopEntryMimeTypes() {
    QFile f(QStringLiteral(VELORIXA_SOURCE_DIR) + "/data/velorixa.desktop");
    if (!f.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            return QString::fromUtf8(line.mid(9)).split(';', Qt::SkipEmptyParts);
    return {};
}

TEST(PlayableTypes, TheDesktopEntryOpensEveryType) {
    const QStringList entry = desktopEntryMimeTypes();
    ASSERT_FALSE(entry.isEmpty()) << "no MimeType line in data/velorixa.desktop";
    for (const QString& type : OpenedMimeTypes() + AliasMimeTypes())
        EXPECT_TRUE(entry.contains(type)) << type.toStdString();
    // And names nothing the player does not open.
    for (const QString& type : entry)
        EXPECT_TRUE(OpenedMimeTypes().contains(type) || AliasMimeTypes().contains(type))
            << type.toStdString();
    QStringList once = entry;
    EXPECT_EQ(once.removeDuplicates(), 0);
}

TEST(PlayableTypes, EveryExtensionHasAMimeTypeAndIsListedOnce) {
    QStringList seen;
    for (const FileType& t : kPlayableTypes) {
        EXPECT_TRUE(QString::fromLatin1(t.mimeType).contains('/')) << t.extension;
        EXPECT_FALSE(seen.contains(t.extension)) << t.extension;
        EXPECT_EQ(QString::fromLatin1(t.extension), QString::fromLatin1(t.extension).toLower());
        seen << t.extension;
    }
    for (const FileType& t : kListTypes)
        EXPECT_FALSE(seen.contains(t.extension)) << t.extension;
}

}  // namespace
}  // namespace velorixa::util
