// Why an open failed, as the layer says it (VX_StreamGetError): for each thing a server or a
// file can do wrong, the words a listener reads, never a library's internal message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "audio/net/testserver.h"
#include "audiotest.h"

using namespace audiotest;

namespace velorixa {
namespace {

test::TestResponse answer(const std::string& status, std::vector<std::string> headers = {},
                          std::string body = {}) {
    test::TestResponse r;
    r.statusLine = status;
    r.headers = std::move(headers);
    r.body = std::move(body);
    return r;
}

}  // namespace

TEST(OpenReasons, EachServerFaultIsNamed) {
    OfflineSession session;
    test::TestServer server;
    const std::string page = "<html><body>" + std::string(20000, 'x') + "</body></html>";
    const std::string ogg = "OggS" + test::testAudio(30000, 7);
    const struct {
        const char* path;
        test::TestResponse response;
        const char* says;
    } cases[] = {
        // One header line of 10 MB (curl's own limit on a line) and 1 MB in many lines (ours).
        {"/hugeline", answer("HTTP/1.1 200 OK", {"X-Big: " + std::string(10 << 20, 'b')}),
         "response header too large"},
        {"/manylines",
         answer("HTTP/1.1 200 OK",
                std::vector<std::string>(1024, "X-Pad: " + std::string(1010, 'p'))),
         "response header too large"},
        {"/icy404", answer("ICY 404 Not Found"), "ICY 404 Not Found"},
        {"/icy401", answer("ICY 401 Service Unavailable"), "ICY 401 Service Unavailable"},
        {"/http404", answer("HTTP/1.1 404 Not Found", {"Content-Length: 0"}), "HTTP 404 Not Found"},
        {"/bare503", answer("HTTP/1.1 503", {"Content-Length: 0"}), "HTTP 503 Service Unavailable"},
        {"/page", answer("HTTP/1.1 200 OK", {"Content-Type: text/html; charset=utf-8"}, page),
         "not audio (text/html)"},
        {"/ogg", answer("ICY 200 OK", {"content-type: application/ogg"}, ogg),
         "not audio (no Ogg Vorbis or Opus stream)"},
        {"/vorbis", answer("HTTP/1.0 200 OK", {"Content-Type: audio/ogg"}, ogg),
         "not audio (no Ogg Vorbis or Opus stream)"},
        {"/foo", answer("ICY 200 OK", {"content-type: audio/x-foo"}, ogg),
         "unsupported audio type (audio/x-foo)"},
        {"/nostatus", answer("hello, this is not HTTP", {}, page),
         "the server answered without an HTTP status line"},
    };
    for (const auto& c : cases)
        server.setResponse(c.path, c.response);
    for (const auto& c : cases) {
        EXPECT_EQ(BASS_StreamCreateURL(server.url(c.path).c_str(), 0, BASS_STREAM_DECODE, nullptr),
                  0u)
            << c.path;
        EXPECT_EQ(std::string(VX_StreamGetError()), c.says) << c.path;
    }
    // Nothing listens on the port.
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(test::TestServer::unusedPort()) + "/";
    EXPECT_EQ(BASS_StreamCreateURL(refused.c_str(), 0, BASS_STREAM_DECODE, nullptr), 0u);
    EXPECT_EQ(std::string(VX_StreamGetError()), "connection refused");
}

TEST(OpenReasons, EachFileFaultIsNamed) {
    OfflineSession session;
    TempDir dir;
    testmedia::writeFile(dir.file("text.mp3"), std::string(5000, 't'));
    testmedia::writeFile(dir.file("secret.mp3"), std::string(5000, 's'));
    ::chmod(dir.file("secret.mp3").c_str(), 0);
    ::mkfifo(dir.file("fifo.mp3").c_str(), 0600);
    testmedia::writeFile(dir.file("plain"), std::string("x"));
    const bool root = ::geteuid() == 0;  // root reads any file: the permission case says so
    const struct {
        std::string path;
        std::string says;
    } cases[] = {
        {dir.file("missing.mp3"), "no such file"},
        {dir.file("plain") + "/below.mp3", "no such file (a part of the path is not a folder)"},
        {dir.file("text.mp3"), "not an audio file"},
        {dir.file("secret.mp3"), root ? "not an audio file" : "permission denied"},
        {dir.file("fifo.mp3"), "not a regular file"},
        {dir.file(""), "not a regular file"},  // the folder itself
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BASS_StreamCreateFile(0, c.path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << c.path;
        EXPECT_EQ(std::string(VX_StreamGetError()), c.says) << c.path;
    }
}

}  // namespace velorixa
