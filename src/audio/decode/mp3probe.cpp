#include "audio/decode/mp3probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velorixa::audio {

namespace {

constexpr int kBitrateV1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitrateV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRateV1[3] = {44100, 48000, 32000};

bool sameKind(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rateHz == b.rateHz &&
           a.channels == b.channels && a.freeFormat == b.freeFormat;
}

// The largest free-format frame looked for: 640 kb/s (the most decoders take) at the lowest
// rate of each version, rounded up. A frame can never be smaller than its header and side
// information.
constexpr int kMaxFreeFrameBytes = 6144;
constexpr int kMinFrameBytes = 24;

// A free-format frame's size without its padding byte: the distance from the header at `at` to
// the next header of the same kind; 0 when none follows within kMaxFreeFrameBytes.
int freeFrameBytes(const ReadAt& read, uint64_t at, const Mp3FrameHeader& first) {
    std::vector<uint8_t> buf(kMaxFreeFrameBytes + 8);
    const size_t got = read(at, buf.data(), buf.size());
    for (size_t j = kMinFrameBytes; j + 4 <= got; ++j) {
        Mp3FrameHeader h;
        if (buf[j] == 0xFF && parseMp3Header(&buf[j], &h) && sameKind(h, first)) {
            return static_cast<int>(j) - (first.padding ? 1 : 0);
        }
    }
    return 0;
}

// An ID3v1, APE or appended ID3v2 tag: the audio ends here.
bool isTrailer(const uint8_t* p, size_t n) {
    if (n >= 3 && (std::memcmp(p, "TAG", 3) == 0 || std::memcmp(p, "ID3", 3) == 0)) return true;
    if (n >= 8 && std::memcmp(p, "APETAGEX", 8) == 0) return true;
    if (n >= 6 && std::memcmp(p, "LYRICS", 6) == 0) return true;
    return false;
}

}  // namespace

bool parseMp3Header(const uint8_t* p, Mp3FrameHeader* out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int versionBits = (p[1] >> 3) & 3;
    int layerBits = (p[1] >> 1) & 3;
    if (versionBits == 1 || layerBits != 1) return false;  // reserved version; layer III only
    int bitrateIdx = p[2] >> 4;
    int rateIdx = (p[2] >> 2) & 3;
    if (bitrateIdx == 15 || rateIdx == 3) return false;
    if ((p[3] & 3) == 2) return false;  // reserved emphasis
    Mp3FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 3;
    h.bitrateKbps = h.version == 1 ? kBitrateV1[bitrateIdx] : kBitrateV2[bitrateIdx];
    h.rateHz = kRateV1[rateIdx] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.crc = (p[1] & 1) == 0;
    h.padding = ((p[2] >> 1) & 1) != 0;
    h.freeFormat = bitrateIdx == 0;
    int slot = h.version == 1 ? 144 : 72;
    h.frameBytes = h.freeFormat ? 0 : slot * h.bitrateKbps * 1000 / h.rateHz + h.padding;
    *out = h;
    return true;
}

Mp3Probe probeMp3(const ReadAt& read, uint64_t totalBytes, size_t searchBytes) {
    Mp3Probe result;
    uint8_t head[10];
    uint64_t start = 0;
    // ID3v2 tags (several may follow each other); a tag larger than the data is refused.
    for (int tags = 0; tags < 16; ++tags) {
        if (read(start, head, 10) < 10) return result;
        if (std::memcmp(head, "RIFF", 4) == 0) return result;  // a WAV/RIFF container
        if (std::memcmp(head, "ID3", 3) != 0) break;
        if ((head[6] | head[7] | head[8] | head[9]) & 0x80) return result;  // not syncsafe
        uint64_t size = (uint64_t(head[6]) << 21) | (uint64_t(head[7]) << 14) |
                        (uint64_t(head[8]) << 7) | uint64_t(head[9]);
        size += 10 + ((head[5] & 0x10) ? 10 : 0);
        if (start + size >= totalBytes) return result;
        start += size;
    }

    size_t window = static_cast<size_t>(std::min<uint64_t>(searchBytes + 4, totalBytes - start));
    std::vector<uint8_t> buf(window);
    window = read(start, buf.data(), window);
    uint8_t next[8];
    for (size_t i = 0; i + 4 <= window; ++i) {
        Mp3FrameHeader first;
        if (buf[i] != 0xFF || !parseMp3Header(&buf[i], &first)) continue;
        // Free format: every frame is this size plus its own padding byte.
        const int freeBytes = first.freeFormat ? freeFrameBytes(read, start + i, first) : 0;
        if (first.freeFormat && freeBytes == 0) continue;
        auto sizeOf = [freeBytes](const Mp3FrameHeader& h) {
            return static_cast<uint64_t>(h.freeFormat ? freeBytes + (h.padding ? 1 : 0)
                                                      : h.frameBytes);
        };
        uint64_t at = start + i + sizeOf(first);
        int chained = 1;
        bool accepted = false;
        while (true) {
            if (chained >= 4) {
                accepted = true;
                break;
            }
            size_t got = at < totalBytes ? read(at, next, sizeof next) : 0;
            if (got < 4) {  // the data ends (a truncated last frame counts as an end)
                accepted = chained >= 2;
                break;
            }
            Mp3FrameHeader h;
            if (parseMp3Header(next, &h) && sameKind(h, first)) {
                ++chained;
                at += sizeOf(h);
                continue;
            }
            accepted = chained >= 2 && isTrailer(next, got);
            break;
        }
        if (!accepted) continue;
        result.ok = true;
        result.firstFrame = start + i;
        result.header = first;
        // The Xing/Info tag sits right after the side information of the first frame.
        int side =
            first.version == 1 ? (first.channels == 1 ? 17 : 32) : (first.channels == 1 ? 9 : 17);
        uint64_t tagAt = result.firstFrame + 4 + (first.crc ? 2 : 0) + side;
        uint8_t tag[8];
        if (read(tagAt, tag, 8) == 8 &&
            (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
            result.xingFrames = (tag[7] & 1) != 0;
        }
        return result;
    }
    return result;
}

}  // namespace velorixa::audio
