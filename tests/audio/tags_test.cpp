// The tag reader on files of every format made at test time, on files without tags, on long,
// broken and hostile tags, and on things that are no audio file at all.
#include "audio/decode/tags.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <random>

#include <sys/stat.h>

#include "common/taggedmedia.h"
#include "fuzz/fuzz_tags.h"

namespace velorixa::audio {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class TagsTest : public ::testing::Test {
  protected:
    QString make(const QString& name, const QStringList& tags, double seconds = 2.0) {
        const QString path = dir_.filePath(name);
        const QString error = testmedia::makeTagged(path, seconds, tags);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return path;
    }
    QTemporaryDir dir_;
};

// Each container's own tag format: ID3v2 (MP3, AIFF), Vorbis comments (FLAC, Ogg Vorbis,
// Opus), MP4 atoms (M4A) and RIFF INFO (WAV); a file without tags has a length and no names.
TEST_F(TagsTest, EachFormatsTagsAndLength) {
    struct Case {
        const char* ext;
        bool tagged;
        bool gain;  // the format keeps free-form fields such as the ReplayGain gain
    };
    const Case cases[] = {
        {"mp3", true, true},    {"flac", true, true},  {"ogg", true, true},   {"opus", true, true},
        {"m4a", true, true},    {"wav", true, false},  {"aiff", true, false}, {"mp3", false, false},
        {"flac", false, false}, {"ogg", false, false}, {"m4a", false, false}, {"wav", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ext) + (c.tagged ? ", tagged" : ", no tags"));
        const QString title = c.tagged ? QString("Title of %1").arg(c.ext) : QString();
        const double seconds = c.tagged ? 2.0 : 1.0;
        const QString path = c.tagged ? make(QString("song.%1").arg(c.ext),
                                             {"title=" + title, "artist=Ärtist Name",
                                              "album=The Album", "REPLAYGAIN_TRACK_GAIN=-6.50 dB"})
                                      : make(QString("plain.%1").arg(c.ext), {}, seconds);
        const TrackTags t = ReadTags(path);
        EXPECT_TRUE(t.media);
        EXPECT_EQ(t.title, title);
        EXPECT_EQ(t.artist, QString(c.tagged ? "Ärtist Name" : ""));
        EXPECT_EQ(t.album, QString(c.tagged ? "The Album" : ""));
        EXPECT_NEAR(t.lengthSec, seconds, 0.1);
        if (c.gain) {
            ASSERT_TRUE(t.trackGainDb.has_value());
            EXPECT_DOUBLE_EQ(*t.trackGainDb, -6.5);
        } else if (!c.tagged) {
            EXPECT_FALSE(t.trackGainDb.has_value());
        }
        // The same bytes from memory give the same tags.
        const TrackTags m = ReadTagsFromMemory(readAll(path));
        EXPECT_EQ(m.title, t.title);
        EXPECT_EQ(m.artist, t.artist);
    }
}

TEST_F(TagsTest, ALongTitleIsCutWithAnEllipsis) {
    const QString longTitle = QString("Long ").repeated(2000);  // 10,000 characters
    const TrackTags t = ReadTags(make("long.flac", {"title=" + longTitle, "artist=A"}));
    ASSERT_EQ(t.title.size(), kMaxTagChars);
    EXPECT_TRUE(t.title.endsWith(QChar(0x2026)));
    EXPECT_TRUE(longTitle.startsWith(t.title.chopped(1)));
}

TEST_F(TagsTest, BrokenTextIsShownSafely) {
    // A Vorbis comment whose title bytes are not UTF-8 and hold control characters: the FLAC
    // file is patched in place (its metadata carries no checksum).
    const QString path = make("broken.flac", {"title=BRoKEN-TITLE-HERE", "artist=A"});
    QByteArray bytes = readAll(path);
    const qsizetype at = bytes.indexOf("BRoKEN-TITLE-HERE");
    ASSERT_GE(at, 0);
    bytes.replace(at, 17, QByteArray("B\xff\xfeK\x01N\nT\xe2\x80\xaeTLE\r\x1bH", 17));
    ASSERT_TRUE(writeAll(path, bytes));
    const TrackTags t = ReadTags(path);
    EXPECT_TRUE(t.media);
    EXPECT_EQ(t.title, QString::fromUtf8("B\xef\xbf\xbd\xef\xbf\xbdK N TTLE H"));
}

TEST_F(TagsTest, WhatIsNoAudioFileGivesNothingAndNeverWaits) {
    const QString empty = dir_.filePath("empty.mp3");
    ASSERT_TRUE(writeAll(empty, {}));
    const QString text = dir_.filePath("notes.flac");
    ASSERT_TRUE(writeAll(text, QByteArray("just some words, no audio at all\n").repeated(50)));
    const QString fifo = dir_.filePath("pipe.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString truncated = make("cut.m4a", {"title=T"});
    QByteArray head = readAll(truncated).left(40);
    ASSERT_TRUE(writeAll(truncated, head));
    for (const QString& path :
         {empty, text, fifo, dir_.path(), dir_.filePath("missing.ogg"), truncated}) {
        SCOPED_TRACE(path.toStdString());
        const TrackTags t = ReadTags(path);  // the FIFO has no writer: this must not wait
        EXPECT_FALSE(t.media);
        EXPECT_TRUE(t.title.isEmpty());
    }
}

TEST_F(TagsTest, AHugeOrLyingTagEndsWithinTheReadLimit) {
    // An ID3v2 header that claims 256 MB, a first frame that claims nearly as much, and little
    // behind them.
    QByteArray lying("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10);
    lying += QByteArray("TIT2\x0f\xff\xff\xf0\x00\x00\x00", 11) + QByteArray(1000, 'x');
    const QString liar = dir_.filePath("liar.mp3");
    ASSERT_TRUE(writeAll(liar, lying));
    EXPECT_TRUE(ReadTags(liar).title.size() <= kMaxTagChars);

    // A real MP3 behind 20 MB of ID3v2 padding: more than is ever read for tags.
    const QByteArray song = readAll(make("small.mp3", {}, 1.0));
    const int pad = 20 * 1024 * 1024;
    QByteArray big("ID3\x03\x00\x00", 6);
    const int size = pad;  // syncsafe: 7 bits a byte
    big.append(char((size >> 21) & 0x7f))
        .append(char((size >> 14) & 0x7f))
        .append(char((size >> 7) & 0x7f))
        .append(char(size & 0x7f));
    big.append(QByteArray(pad, '\0'));
    big.append(song);
    const QString padded = dir_.filePath("padded.mp3");
    ASSERT_TRUE(writeAll(padded, big));
    const TrackTags t = ReadTags(padded);
    EXPECT_TRUE(t.title.isEmpty());
    EXPECT_LT(static_cast<qint64>(t.lengthSec), 3600);
}

// What the fuzzer checks, on damaged copies of real files of every format: bytes flipped and
// runs zeroed or cut, seeded so a failure comes back.
TEST_F(TagsTest, DamagedFilesKeepEveryBound) {
    std::mt19937 rng(22);
    for (const char* ext : {"mp3", "flac", "ogg", "opus", "m4a", "wav", "aiff"}) {
        SCOPED_TRACE(ext);
        const QByteArray good = readAll(
            make(QString("d.%1").arg(ext), {"title=Title", "artist=Artist", "album=Album"}, 0.3));
        ASSERT_FALSE(good.isEmpty());
        for (int round = 0; round < 40; ++round) {
            QByteArray bad = good;
            std::uniform_int_distribution<qsizetype> at(0, bad.size() - 1);
            for (int i = 0; i < 1 + round % 8; ++i)
                bad[at(rng)] = static_cast<char>(rng());
            if (round % 5 == 0) bad.truncate(at(rng));
            if (round % 7 == 0) bad.replace(at(rng) / 2, 64, QByteArray(64, '\xff'));
            const std::string broken = fuzz::fuzzTagsOne(
                reinterpret_cast<const uint8_t*>(bad.constData()), static_cast<size_t>(bad.size()));
            EXPECT_EQ(broken, "") << "round " << round;
        }
    }
}

// ID3 tags as the test writes them, around an untagged MP3.
QByteArray be32(quint32 v, bool syncsafe) {
    const int shift = syncsafe ? 7 : 8;
    const quint32 mask = syncsafe ? 0x7f : 0xff;
    QByteArray b;
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (shift * i)) & mask));
    return b;
}

QByteArray id3Frame(int version, const char* id, const QByteArray& payload) {
    return QByteArray(id, 4) + be32(quint32(payload.size()), version == 4) + QByteArray(2, '\0') +
           payload;
}

QByteArray id3Tag(int version, const QByteArray& frames) {
    return QByteArray("ID3", 3) + char(version) + QByteArray(2, '\0') +
           be32(quint32(frames.size()), true) + frames;
}

// Text in an ID3v2 encoding: 0 Latin-1, 1 UTF-16 with a byte-order mark, 2 UTF-16BE, 3 UTF-8.
QByteArray id3Text(int encoding, const QString& text) {
    QByteArray b(1, char(encoding));
    if (encoding == 0) return b + text.toLatin1();
    if (encoding == 3) return b + text.toUtf8();
    if (encoding == 1) b.append("\xff\xfe", 2);  // little-endian
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (encoding == 1)
            b.append(char(u & 0xff)).append(char(u >> 8));
        else
            b.append(char(u >> 8)).append(char(u & 0xff));
    }
    return b;
}

// A TXXX frame's payload: description, its terminator, value.
QByteArray id3User(int encoding, const QString& name, const QString& value) {
    const QByteArray end =
        (encoding == 1 || encoding == 2) ? QByteArray(2, '\0') : QByteArray(1, '\0');
    return id3Text(encoding, name) + end + id3Text(encoding, value).mid(1);
}

QByteArray id3v1(const QByteArray& title, const QByteArray& artist, const QByteArray& album) {
    auto field = [](QByteArray f, int n) { return f.leftJustified(n, '\0', true); };
    return QByteArray("TAG") + field(title, 30) + field(artist, 30) + field(album, 30) +
           QByteArray(4, '\0') + QByteArray(30, '\0') + char(255);
}

TEST_F(TagsTest, Mp3TagsOfEveryKind) {
    QByteArray song = readAll(make("plain.mp3", {}, 1.0));
    ASSERT_GT(song.size(), 10);
    // ffmpeg's own (empty) ID3v2 tag goes: a later tag would stand for the file's.
    if (song.startsWith("ID3")) {
        qsizetype size = 10;
        for (int i = 6; i < 10; ++i)
            size += qsizetype(song[i] & 0x7f) << (7 * (9 - i));
        song.remove(0, size);
    }
    ASSERT_FALSE(song.startsWith("ID3"));
    const QString ae = QString::fromUtf8("\xc3\x84rger \xe2\x99\xaa");  // "Ärger ♪"
    const QString cafe = QString::fromUtf8("Caf\xc3\xa9");
    struct Case {
        const char* name;
        QByteArray front;  // before the audio
        QByteArray back;   // after it
        QString title, artist, album;
        std::optional<double> gain;
        std::optional<double> peak = {};
        bool media = true;
    };
    const Case cases[] = {
        {"v2.3 Latin-1",
         id3Tag(3, id3Frame(3, "TIT2", id3Text(0, cafe)) + id3Frame(3, "TPE1", id3Text(0, "Band")) +
                       id3Frame(3, "TALB", id3Text(0, "Disc"))),
         {},
         cafe,
         "Band",
         "Disc",
         {}},
        {"v2.3 UTF-16 and TXXX gain",
         id3Tag(3, id3Frame(3, "TIT2", id3Text(1, ae)) + id3Frame(3, "TPE1", id3Text(1, cafe)) +
                       id3Frame(3, "TXXX", id3User(1, "replaygain_track_gain", "+2.50 dB"))),
         {},
         ae,
         cafe,
         "",
         2.5},
        {"v2.4 UTF-8, UTF-16BE and TXXX gain in capitals",
         id3Tag(4, id3Frame(4, "TIT2", id3Text(3, ae)) + id3Frame(4, "TALB", id3Text(2, ae)) +
                       id3Frame(4, "TPE2", id3Text(3, "Album Band")) +
                       id3Frame(4, "TXXX", id3User(3, "REPLAYGAIN_TRACK_GAIN", "-7.25 dB")) +
                       id3Frame(4, "TXXX", id3User(3, "replaygain_track_peak", "0.988"))),
         {},
         ae,
         "Album Band",
         ae,
         -7.25,
         0.988},
        {"v1 only",
         {},
         id3v1("Old Title", "Old Artist", "Caf\xe9"),
         "Old Title",
         "Old Artist",
         cafe,
         {}},
        {"v2 title, v1 the rest",
         id3Tag(3, id3Frame(3, "TIT2", id3Text(0, "New"))),
         id3v1("Old Title", "Old Artist", "Old Album"),
         "New",
         "Old Artist",
         "Old Album",
         {}},
        {"gain out of range",
         id3Tag(3, id3Frame(3, "TXXX", id3User(0, "replaygain_track_gain", "-99 dB"))),
         {},
         "",
         "",
         "",
         {}},
        {"no tags", {}, {}, "", "", "", {}},
        {"a frame longer than its tag",
         id3Tag(3, id3Frame(3, "TIT2", id3Text(0, "Whole")) +
                       QByteArray("TPE1\x00\x00\x40\x00\x00\x00\x00Cut", 14)),
         {},
         "Whole",
         "",
         "",
         {}},
        {"file cut inside the tag",
         id3Tag(3, id3Frame(3, "TIT2", id3Text(0, "Gone"))).left(16),
         {},
         "",
         "",
         "",
         {},
         {},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.media ? c.front + song + c.back : c.front;
        const QString path = dir_.filePath("case.mp3");
        ASSERT_TRUE(writeAll(path, bytes));
        for (const TrackTags& t : {ReadTags(path), ReadTagsFromMemory(bytes)}) {
            EXPECT_EQ(t.media, c.media);
            EXPECT_EQ(t.title, c.title);
            EXPECT_EQ(t.artist, c.artist);
            EXPECT_EQ(t.album, c.album);
            EXPECT_EQ(t.trackGainDb, c.gain);
            EXPECT_EQ(t.trackPeak, c.peak);
            if (c.media) {
                EXPECT_NEAR(t.lengthSec, 1.0, 0.1);
            }
        }
    }
}

// Without the encoder's frame count the length is found by walking the frames.
TEST_F(TagsTest, Mp3WithoutFrameCountHasItsLength) {
    const QString path = dir_.filePath("noxing.mp3");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                            "sine=frequency=440:sample_rate=24000:duration=3", "-c:a", "libmp3lame",
                            "-b:a", "32k", "-write_xing", "0", path});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000));
    ASSERT_EQ(ffmpeg.exitCode(), 0);
    const QByteArray bytes = readAll(path);
    ASSERT_LT(bytes.indexOf("Xing"), 0);
    ASSERT_LT(bytes.indexOf("Info"), 0);
    EXPECT_NEAR(ReadTags(path).lengthSec, 3.0, 0.1);
}

TEST(TagText, CleansAndCuts) {
    struct Case {
        QByteArray in;
        qsizetype max;
        QString out;
    };
    const Case cases[] = {
        {"Plain", 10, "Plain"},
        {"  two   blanks\t\tand tabs  ", 40, "two blanks and tabs"},
        {"line\nbreak\r\nand\x0b vt", 40, "line break and vt"},
        {"\xc3\xa9t\xc3\xa9", 10, QString::fromUtf8("\xc3\xa9t\xc3\xa9")},
        {"bad\xc3(", 10, QString::fromUtf8("bad\xef\xbf\xbd(")},
        {"\xe2\x80\xae"
         "evil\xe2\x80\xac",
         10, "evil"},  // no bidi override survives
        {"abcdefghij", 5, QString("abcd") + QChar(0x2026)},
        {"abcdefghij", 10, "abcdefghij"},
        {"ab \xf0\x9f\x8e\xb5 cd", 5, QString("ab") + QChar(0x2026)},  // no half emoji
        {"", 10, ""},
        {"x", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(TagText(c.in, c.max), c.out);
    }
    // A megabyte of text is never decoded whole.
    const QString cut = TagText(QByteArray(1 << 20, 'a'));
    EXPECT_EQ(cut.size(), kMaxTagChars);
}

TEST(TagText, ReplayGainValues) {
    struct Case {
        const char* in;
        std::optional<double> db;
    };
    const Case cases[] = {
        {"-6.54 dB", -6.54}, {"+1.20 dB", 1.2}, {" 3 ", 3.0},  {"-7,5 dB", -7.5},
        {"dB", {}},          {"", {}},          {"99 dB", {}}, {"-61", {}},
        {"nan", {}},         {"+", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(ParseGainDb(QByteArrayView(c.in)), c.db);
    }
}

}  // namespace
}  // namespace velorixa::audio
