#include <gtest/gtest.h>

#include <QTemporaryDir>

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
