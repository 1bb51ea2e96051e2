#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "common/tempfolder.h"
#include "fuzz/fuzz_stations.h"
#include "util/fspath.h"

#include "netradio/stationlist.h"
#include "netradio/streammeta.h"

namespace velorixa::netradio {
namespace {

TEST(StationNameAccepted, SchemesAndLengthAtTheirBorders) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"http://", false},          {"http://x", true},     {"ftp://x", false},
        {"ftp://xy", true},          {"HTTP://host", false}, {"https://x", true},
        {"https:/x.example", false}, {" http://x", false},   {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StationNameAccepted(c.text), c.ok) << c.text;
}

// Loading and saving through the window: the radio and music list tests.
TEST(NetRadioFile, AnEmptyListLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    const QString path = NetRadioPath(dir.path() + "/");
    playlist::PlaylistModel stations;
    EXPECT_FALSE(LoadNetRadio(path, stations)) << "no file";
    stations.setTexts({"http://127.0.0.1/a A", "", "ftp://127.0.0.1/b"});
    ASSERT_TRUE(SaveNetRadio(path, stations));
    EXPECT_TRUE(SaveNetRadio(path, playlist::PlaylistModel()));
    playlist::PlaylistModel back;
    ASSERT_TRUE(LoadNetRadio(path, back));
    EXPECT_EQ(back.texts(), stations.texts());
}

using StationStart = testmedia::TempFolderTest;

TEST_F(StationStart, WhatAStartLoadsAndSays) {
    QByteArray forty;
    for (int i = 0; i < 40000; ++i)
        forty += "http://127.0.0.1/" + QByteArray::number(i) + " Station\r\n";
    const struct {
        const char* what;
        QByteArray file;  // empty: no file; "fifo" / "folder": such a thing instead
        int stations;
        const char* message;  // the start of the message, nullptr for none
        bool keep;
    } cases[] = {
        {"CR LF", "http://h/a A\r\nhttp://h/b B\r\n", 2, nullptr, false},
        {"CR alone", "http://h/a A\rhttp://h/b B\rhttp://h/c", 3, nullptr, false},
        {"40,000 stations", forty, playlist::PlaylistModel::kMaxLines,
         "\"NetRadio.ini\" holds more than 32767 stations; only the first 32767 were loaded. "
         "The whole file is kept as \"NetRadio.ini.bak\".",
         false},
        {"a FIFO", "fifo", 0, "\"NetRadio.ini\" could not be read (a FIFO, not a file).", true},
        {"a folder", "folder", 0, "\"NetRadio.ini\" could not be read (a folder).", true},
        {"none: the starter list", {}, -1, nullptr, false},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = NetRadioPath(dir.path() + "/");
        const QByteArray native = util::PathToBytes(path);
        if (c.file == "fifo") {
            ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
        } else if (c.file == "folder") {
            ASSERT_TRUE(QDir().mkdir(path));
        } else if (!c.file.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.file);
        }
        playlist::PlaylistModel stations;
        const StationListStart start = StartStationList(path, stations);
        const int expected = c.stations >= 0
                                 ? c.stations
                                 : playlist::ParseListFile(StarterStationList()).lines.size();
        EXPECT_EQ(stations.count(), expected) << c.what;
        if (c.message)
            EXPECT_TRUE(start.message.startsWith(c.message))
                << c.what << ": " << start.message.toStdString();
        else
            EXPECT_EQ(start.message, "") << c.what;
        EXPECT_FALSE(start.message.contains("not found")) << c.what;
        EXPECT_EQ(start.keepFile, c.keep) << c.what;
        const bool bak = QFile::exists(path + ".bak");
        EXPECT_EQ(bak, c.file == forty) << c.what;
        if (bak) {
            QFile f(path + ".bak");
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), forty) << "the whole file is kept";
        }
        if (c.stations < 0) {
            EXPECT_TRUE(start.starterWritten);
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), StarterStationList());
            EXPECT_GT(expected, 0);
        }
    }
}

TEST(StationStartFails, WithoutAWritableFolderTheBuiltInListIsShownAndSaid) {
    playlist::PlaylistModel stations;
    const StationListStart start = StartStationList("/nonexistent/folder/NetRadio.ini", stations);
    EXPECT_FALSE(start.starterWritten);
    EXPECT_GT(stations.count(), 0);
    EXPECT_TRUE(start.message.contains("could not be written")) << start.message.toStdString();
}

// The fuzzer's properties over seeded random inputs.
TEST(StationStartFuzz, FuzzEntryHoldsOverRandomInputs) {
    std::mt19937 rng(40000);
    const std::string_view pieces[] = {"\r",   "\n",           "\r\n",    "http://h/", "caf\xe9",
                                       "\xc3", "\xEF\xBB\xBF", {"\0", 1}, " ",         "x"};
    for (int i = 0; i < 500; ++i) {
        std::string in;
        const int n = static_cast<int>(rng() % 30);
        for (int k = 0; k < n; ++k)
            in += pieces[rng() % std::size(pieces)];
        EXPECT_EQ(fuzz::fuzzStationListOne(reinterpret_cast<const uint8_t*>(in.data()), in.size()),
                  "")
            << QByteArray::fromStdString(in).toHex().constData();
    }
}

TEST(BitRateText, FirstLineWithTheKeyBlanksLeftOut) {
    const char block[] = "ICY 200 OK\0icy-name:Test\0icy-br: 64\0icy-br:128\0\0";
    const QStringList lines = HeaderLines(block);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(BitRateText(lines), QString("bitrate 64"));
    EXPECT_EQ(BitRateText({"ICY-BR:128", "content-type: audio/mpeg"}), std::nullopt);
    EXPECT_TRUE(HeaderLines(nullptr).isEmpty());
}

TEST(NetMetaText, TitleAndAddressAsTheStationSendsThem) {
    const QString longTitle(4000, QChar(u'x'));
    const struct {
        QString meta, shown;
    } cases[] = {
        {"StreamTitle='Artist - Song';StreamUrl='http://radio.example/now/playing';",
         "Artist - Song   http://radio.example"},
        {"StreamTitle='Only a title';", "Only a title   "},
        {"StreamTITLE='Case';streamurl='https://host.example';", "Case   https://host.example"},
        {"StreamTitle='Rock';n';Roll';", "Rock   "},  // a title holding "';" is cut there
        {"StreamTitle='Cut off", "Cut off   "},       // a title cut by the block is kept
        {"StreamTitle='';StreamUrl='';", "no meta data"},
        {"StreamUrl='http://radio.example/x';", "no meta data"},  // the address needs a title
        {"garbage", "no meta data"},
        {"StreamTitle='" + longTitle + "';", longTitle + "   "},
        {"StreamTitle='T';StreamUrl='ab';x';", "T   ab"},
        {"StreamTitle='  Padded  ';", "Padded   "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NetMetaText(c.meta), c.shown) << c.meta.left(60).toStdString();
}

}  // namespace
}  // namespace velorixa::netradio
