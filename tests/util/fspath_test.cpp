// File names as bytes through a QString and back.
#include "util/fspath.h"

#include <gtest/gtest.h>

namespace velorixa::util {
namespace {

TEST(FsPath, EveryByteStringComesBackAsTheSameBytes) {
    const QByteArray cases[] = {
        "/music/plain.mp3",
        "/music/K\xc3\xa4se.mp3",             // valid UTF-8
        "/music/K\xe4se.mp3",                 // Latin-1
        "/m/\xff\xfe\x80\xc3",                // lone bytes, a cut-off sequence at the end
        "/m/\xed\xa0\x80.mp3",                // an encoded surrogate is not valid UTF-8
        "/m/\xc0\xaf.mp3",                    // overlong "/"
        "/m/\xf4\x90\x80\x80",                // past U+10FFFF
        "/m/\xf0\x9f\x8e\xb5 \xe9t\xe9.mp3",  // a valid 4-byte character beside Latin-1
        "\xef\xbb\xbf/bom.mp3",               // a byte-order mark is part of the name
        "/m/\xe9\xef\xbb\xbf",                // also after a lone byte
        "",
    };
    for (const QByteArray& bytes : cases) {
        const QString path = PathFromBytes(bytes);
        EXPECT_EQ(PathToBytes(path), bytes) << bytes.toHex().constData();
        EXPECT_EQ(PathHasRawBytes(path), !bytes.isValidUtf8()) << bytes.toHex().constData();
    }
    // Every single byte alone, and every pair.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QByteArray bytes{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(PathToBytes(PathFromBytes(bytes)), bytes) << a << " " << b;
        }
    }
}

TEST(FsPath, ValidNamesDecodeAsTextAndRawBytesReadAsLatin1) {
    EXPECT_EQ(PathFromBytes("/m/K\xc3\xa4se.mp3"), QString::fromUtf8("/m/K\xc3\xa4se.mp3"));
    const QString latin = PathFromBytes("/m/K\xe4se.mp3");
    EXPECT_NE(latin, QString::fromUtf8("/m/K\xc3\xa4se.mp3"));
    EXPECT_EQ(PathForDisplay(latin), QString::fromUtf8("/m/K\xc3\xa4se.mp3"));
    EXPECT_EQ(PathToBytes(QString::fromUtf8("/m/K\xc3\xa4se.mp3")), "/m/K\xc3\xa4se.mp3");
}

}  // namespace
}  // namespace velorixa::util
