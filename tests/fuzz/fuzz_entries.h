#pragma once
// Entry functions shared by the libFuzzer targets and by the regular test run, which feeds them
// seeded random inputs. Each returns an empty string when every property held, else a short
// description of the first broken one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "audio/decode/net/httpheaders.h"
#include "audio/decode/net/icydemuxer.h"

namespace velorixa::fuzz {

// Straightforward reading of an ICY body, index by index, to compare the state machine with.
struct IcyReference {
    std::string audio;
    std::string latest;
    uint64_t count = 0;
};

inline IcyReference icyReference(const uint8_t* data, size_t n, size_t metaInt) {
    IcyReference r;
    if (metaInt == 0) {
        r.audio.assign(reinterpret_cast<const char*>(data), n);
        return r;
    }
    size_t i = 0;
    while (i < n) {
        const size_t run = std::min(metaInt, n - i);
        r.audio.append(reinterpret_cast<const char*>(data + i), run);
        i += run;
        if (i >= n) break;
        const size_t len = size_t{data[i]} * 16;
        ++i;
        if (len > n - i) break;  // cut off inside the block: the block is lost
        std::string text(reinterpret_cast<const char*>(data + i), len);
        text.resize(std::min(text.size(), text.find('\0')));
        if (!text.empty()) {
            r.latest = text;
            ++r.count;
        }
        i += len;
    }
    return r;
}

// Input layout: two bytes of metadata interval (0 = plain audio), one byte steering the piece
// sizes, then the body.
inline std::string fuzzIcyOne(const uint8_t* data, size_t size) {
    if (size < 3) return {};
    const size_t metaInt = (size_t{data[0]} << 8 | data[1]) % 700;
    const uint8_t split = data[2];
    const uint8_t* body = data + 3;
    const size_t n = size - 3;
    const IcyReference ref = icyReference(body, n, metaInt);

    // The whole body at once into a separate buffer, then in place in pieces whose sizes
    // follow the steering byte (byte by byte when it is 0).
    for (const bool whole : {true, false}) {
        net::IcyDemuxer d(metaInt);
        std::vector<uint8_t> copy(body, body + n), separate(n);
        std::string out;
        uint32_t state = split;
        for (size_t pos = 0; pos < n;) {
            state = state * 1103515245u + 12345u;
            const size_t piece = whole        ? n
                                 : split == 0 ? 1
                                              : std::min<size_t>(n - pos, 1 + (state >> 16) % 97);
            uint8_t* to = whole ? separate.data() : copy.data() + pos;
            const size_t got = d.feed(copy.data() + pos, piece, to);
            if (got > piece) return "more audio than input";
            out.append(reinterpret_cast<const char*>(to), got);
            pos += piece;
        }
        if (out != ref.audio) return whole ? "whole: audio differs" : "pieces: audio differs";
        if (d.metadataCount() != ref.count || d.latestMetadata() != ref.latest)
            return whole ? "whole: metadata differs" : "pieces: metadata differs";
        if (d.latestMetadata().find('\0') != std::string::npos) return "metadata holds a zero";
    }
    return {};
}

// Input: raw header text; the first byte picks the size limit.
inline std::string fuzzHeadersOne(const uint8_t* data, size_t size) {
    if (size < 1) return {};
    const size_t limit = data[0] == 0 ? SIZE_MAX : size_t{data[0]} * 4;
    const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);
    net::HeaderBlock block(limit);
    size_t total = 0;
    const std::vector<std::string_view> parts = net::splitRawLines(raw);
    for (std::string_view line : parts) {
        total += line.size();
        if (!block.addLine(line) && !block.overflowed()) return "refusal not reported";
        if (block.bytes() > limit) return "header bytes beyond the limit";
    }
    if (total != raw.size()) return "split lines lose bytes";
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        if (parts[i].empty() || parts[i].back() != '\n') return "inner line without LF";
    for (const std::string& l : block.lines()) {
        if (l.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
            return "stored line holds CR, LF or zero";
        if (l.empty()) return "empty stored line";
    }
    if (!block.sawStatusLine() && !block.lines().empty()) return "lines without a status line";

    const net::IcyMetaInt mi = net::parseIcyMetaInt(block.lines());
    if (mi.kind == net::IcyMetaInt::Kind::Valid) {
        if (mi.bytes == 0 || mi.bytes > net::maxIcyMetaInt) return "metaint out of range";
        const std::string_view v = net::headerValue(block.lines(), "ICY-METAINT");
        if (v != net::headerValue(block.lines(), "icy-metaint")) return "name case matters";
        if (std::to_string(mi.bytes) !=
            std::string(v).erase(0, std::min(v.find_first_not_of('0'), v.size() - 1)))
            return "metaint does not match its text";
    } else if (mi.bytes != 0) {
        return "bytes set without a valid metaint";
    }
    return {};
}

}  // namespace velorixa::fuzz
