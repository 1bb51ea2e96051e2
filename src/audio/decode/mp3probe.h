#pragma once
// Recognises MPEG audio layer III data before the decoder sees it. libmpg123 resynchronises on
// anything that looks like a frame header, so random bytes, text or a WAV file would otherwise
// play as noise; we only accept data whose frame headers chain from one frame to the next.
//
// Thread contract: pure functions on caller-owned bytes; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velorixa::audio {

struct Mp3FrameHeader {
    int version = 0;  // 1 = MPEG 1, 2 = MPEG 2, 25 = MPEG 2.5
    int layer = 0;    // 1..3
    int bitrateKbps = 0;
    int rateHz = 0;
    int channels = 0;
    bool crc = false;
    bool padding = false;
    // Free format: the header names no bit rate; every frame has the stream's one size (plus the
    // padding byte), found only by looking for the next header. bitrateKbps and frameBytes are 0.
    bool freeFormat = false;
    int frameBytes = 0;
};

// Parses four header bytes; false for anything that is not a usable layer III header (reserved
// values are refused). A free-format header is accepted with freeFormat set.
bool parseMp3Header(const uint8_t* p, Mp3FrameHeader* out);

// Reads up to n bytes at absolute offset into dst; returns how many were read (0 at the end).
using ReadAt = std::function<size_t(uint64_t offset, uint8_t* dst, size_t n)>;

struct Mp3Probe {
    bool ok = false;
    uint64_t firstFrame = 0;  // offset of the first frame of the chain
    Mp3FrameHeader header;
    bool xingFrames = false;  // the first frame is a Xing/Info frame with a frame count
};

// Skips ID3v2 tags at the start, refuses RIFF containers, then looks for the first layer III
// frame within searchBytes whose header chains into at least three more frames of the same kind
// (or into the end of the data after at least two). totalBytes bounds the data. A free-format
// stream's frame size is the distance to the next header of the same kind; its frames then
// chain with that size as any others do.
Mp3Probe probeMp3(const ReadAt& read, uint64_t totalBytes, size_t searchBytes = 64 * 1024);

}  // namespace velorixa::audio
