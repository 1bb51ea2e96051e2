// The pure pieces of the network stream: metadata splitter, header collector, byte ring, and
// the fuzz entry functions run over seeded random inputs.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/icydemuxer.h"
#include "audio/decode/net/spscring.h"
#include "audio/net/testserver.h"
#include "fuzz/fuzz_entries.h"

namespace velorixa::net {
namespace {

using test::icyBody;
using test::icyMetaBlock;
using test::testAudio;

const uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(IcyDemuxer, CutsMetadataWhateverThePieceSizes) {
    const std::string audio = testAudio(10'000, 1);
    // A new title every third block, "no new metadata" in between.
    auto meta = [](size_t i) {
        return i % 3 == 0 ? "StreamTitle='Song " + std::to_string(i) + "';" : std::string();
    };
    const struct {
        size_t metaInt;
        std::string body, audio;
        uint64_t count;
        std::string latest;
        bool inside;
    } cases[] = {
        {333, icyBody(audio, 333, meta), audio, 10, "StreamTitle='Song 27';", false},
        // A block only of padding and a zero length byte are "no new metadata".
        {100,
         audio.substr(0, 100) + icyMetaBlock("StreamTitle='A';") + audio.substr(100, 100) + '\2' +
             std::string(32, '\0') + audio.substr(200, 100) + icyMetaBlock(""),
         audio.substr(0, 300), 1, "StreamTitle='A';", false},
        // Text after the first zero byte is padding, even if it is not zero.
        {4, std::string("abcd\1T='B';") + '\0' + "junk_junk", "abcd", 1, "T='B';", false},
        // A block that runs past the end of the data: the audio before it stays, the partial
        // text is neither audio nor metadata.
        {100, audio.substr(0, 100) + "\x0aStreamTitle='cu", audio.substr(0, 100), 0, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.latest);
        // The fuzzers' plain reading of the body gives what is expected...
        const fuzz::IcyReference ref = fuzz::icyReference(bytes(c.body), c.body.size(), c.metaInt);
        EXPECT_EQ(ref.audio, c.audio);
        EXPECT_EQ(ref.count, c.count);
        EXPECT_EQ(ref.latest, c.latest);
        // ...and the demuxer agrees with it whole, and in place in pieces (byte by byte, and of
        // sizes the steering byte picks).
        for (char split : {'\0', '\1', '\x80'}) {
            const std::string in =
                std::string{char(c.metaInt >> 8), char(c.metaInt), split} + c.body;
            EXPECT_EQ(fuzz::fuzzIcyOne(bytes(in), in.size()), "") << int(split);
        }
        IcyDemuxer d(c.metaInt);
        std::string out(c.body.size(), '\0');
        d.feed(bytes(c.body), c.body.size(), reinterpret_cast<uint8_t*>(out.data()));
        EXPECT_EQ(d.insideMetadata(), c.inside);
    }
}

TEST(HeaderBlock, KeepsFinalResponseLinesWithoutStatusOrLineEnds) {
    HeaderBlock h;
    // An FTP greeting before any response is not a header.
    for (const char* l :
         {"220 welcome\r\n", "HTTP/1.1 302 Found\r\n", "Location: /x\r\n", "\r\n",
          "HTTP/1.1 100 Continue\r\n", "\r\n", "ICY 200 OK\r\n", "icy-name:Test Radio\r\n",
          "icy-br: 128\n", "content-type:audio/mpeg", "\r\n", "X-Trailer: after the header\r\n"})
        EXPECT_TRUE(h.addLine(l));
    EXPECT_EQ(h.statusCode(), 200);
    EXPECT_TRUE(h.complete());
    EXPECT_EQ(h.lines(), (std::vector<std::string>{"icy-name:Test Radio", "icy-br: 128",
                                                   "content-type:audio/mpeg"}));
    // Zero bytes would split a zero-terminated tag block: they are dropped.
    HeaderBlock z;
    z.addLine("HTTP/1.0 200 OK\r\n");
    z.addLine(std::string_view("icy-name:a\0b\r\n", 14));
    EXPECT_EQ(z.lines(), std::vector<std::string>{"icy-name:ab"});
}

TEST(HeaderBlock, RefusesHeadersBeyondTheLimitPerResponse) {
    HeaderBlock h(64);
    EXPECT_TRUE(h.addLine("HTTP/1.1 301 Moved\r\n"));             // 20 bytes
    EXPECT_TRUE(h.addLine("Location: /a-fairly-long-path\r\n"));  // 31 bytes
    EXPECT_FALSE(h.addLine("Server: too-much-for-the-limit\r\n"));
    EXPECT_FALSE(h.addLine("\r\n"));  // stays refused
    EXPECT_TRUE(h.overflowed());
    // The limit counts per response: a new status line starts again.
    EXPECT_TRUE(h.addLine("ICY 200 OK\r\n"));
    EXPECT_TRUE(h.addLine("icy-metaint:8192\r\n"));
    EXPECT_FALSE(h.overflowed());
    EXPECT_EQ(h.lines(), std::vector<std::string>{"icy-metaint:8192"});
}

TEST(HeaderBlock, IcyMetaIntParsing) {
    auto parse = [](const std::string& line) { return parseIcyMetaInt({"icy-br:128", line}); };
    using K = IcyMetaInt::Kind;
    EXPECT_EQ(parse("icy-metaint:8192").kind, K::Valid);
    EXPECT_EQ(parse("ICY-MetaInt:  16000 ").bytes, 16000u);
    EXPECT_EQ(parse("icy-metaint:0").kind, K::Absent);
    EXPECT_EQ(parse("icy-metaint-x:5").kind, K::Absent);
    EXPECT_EQ(parse("x-icy-metaint:5").kind, K::Absent);
    for (const char* bad : {"icy-metaint:", "icy-metaint:-5", "icy-metaint:12abc",
                            "icy-metaint:16777217", "icy-metaint:99999999999999999999999"})
        EXPECT_EQ(parse(bad).kind, K::Invalid) << bad;
    EXPECT_EQ(parse("icy-metaint:16777216").bytes, maxIcyMetaInt);
    EXPECT_EQ(headerValue({"Content-Type:  audio/mpeg\t"}, "content-type"), "audio/mpeg");
}

TEST(SpscRing, WrapsAroundAndRefusesWhenFull) {
    SpscRing ring(10);
    const std::string a = "0123456789";
    uint8_t out[16];
    EXPECT_EQ(ring.write(reinterpret_cast<const uint8_t*>(a.data()), 7), 7u);
    EXPECT_EQ(ring.read(out, 5), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), "01234");
    // 2 left; 8 more fit, across the end of the storage.
    EXPECT_EQ(ring.write(reinterpret_cast<const uint8_t*>(a.data()), 10), 8u);
    EXPECT_EQ(ring.freeSpace(), 0u);
    EXPECT_EQ(ring.write(reinterpret_cast<const uint8_t*>(a.data()), 1), 0u);
    EXPECT_EQ(ring.read(out, 16), 10u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 10), "5601234567");
    EXPECT_EQ(ring.read(out, 16), 0u);
}

TEST(SpscRing, TwoThreadsPassEveryByteInOrder) {
    SpscRing ring(777);
    const std::string data = testAudio(300'000, 4);
    std::thread producer([&] {
        size_t pos = 0;
        std::mt19937 rng(5);
        while (pos < data.size()) {
            const size_t n = std::min<size_t>(data.size() - pos, 1 + rng() % 500);
            pos += ring.write(reinterpret_cast<const uint8_t*>(data.data() + pos), n);
            if (ring.freeSpace() == 0) std::this_thread::yield();
        }
    });
    std::string got;
    std::mt19937 rng(6);
    uint8_t buf[600];
    while (got.size() < data.size()) {
        const size_t n = ring.read(buf, 1 + rng() % 600);
        got.append(reinterpret_cast<char*>(buf), n);
        if (n == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(got, data);
}

TEST(FuzzRegression, FixedInputsFromFuzzing) {
    // Inputs the fuzzers once flagged (a refused line followed by a new status line).
    const std::vector<std::string> headerInputs = {
        std::string("\x10ICY 200 OK\r\nP/1.1 2\nicy-metaint: 8192\r\nicy-br:128(CY-MetaIn"
                    "\x12"
                    "0 ftp\r\nHTTP/n: /x\n\nHTTP/1t:007\r\n\r\n"),
        std::string("\0HTTP/1.1 200 OK\r\n\0\r\nicy-metaint:\0\r\n\r\n", 38),
    };
    for (const std::string& in : headerInputs)
        EXPECT_EQ(fuzz::fuzzHeadersOne(reinterpret_cast<const uint8_t*>(in.data()), in.size()), "");
}

}  // namespace
}  // namespace velorixa::net
