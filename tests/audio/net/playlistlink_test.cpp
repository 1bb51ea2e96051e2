#include "audio/decode/net/playlistlink.h"

#include <gtest/gtest.h>

namespace velorixa::net {
namespace {

TEST(PlaylistLink, FirstStreamAddressOfPlsAndM3uBodies) {
    const std::vector<std::string> none;
    const std::vector<std::string> m3uType{"Content-Type: audio/x-mpegurl"};
    const struct {
        std::string body;
        std::vector<std::string> headers;
        std::optional<std::string> first;
    } cases[] = {
        {"[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.example:8000/live\r\nTitle1=A\r\n"
         "File2=http://b.example/x\r\n",
         none, "http://a.example:8000/live"},
        {"[Playlist]\nfile1= https://a.example/s \n", none, "https://a.example/s"},
        {"#EXTM3U\n#EXTINF:-1,Station\nhttp://a.example/stream\nhttp://b.example/\n", none,
         "http://a.example/stream"},
        {"http://a.example/one\r\n", none, "http://a.example/one"},
        {"\n# comment\nftp://a.example/f.mp3\n", m3uType, "ftp://a.example/f.mp3"},
        {"[playlist]\nFile1=relative/path.mp3\n", none, std::nullopt},
        {"<html><body>http://a.example/</body></html>", none, std::nullopt},
        {"ID3\x03\x00 binary audio", none, std::nullopt},
        {"", m3uType, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstStreamInPlaylist(c.body, c.headers), c.first) << c.body;
}

}  // namespace
}  // namespace velorixa::net
