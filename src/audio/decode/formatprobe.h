#pragma once
// Tells the container of audio data by its content: files and streams are decoded by what they
// hold, whatever their name or the server's content type says.
//
// Thread contract: pure functions on caller-owned bytes; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velorixa::audio {

enum class Container {
    Unknown,
    Mp3,     // MPEG layer III frames (told by probeMp3, not here)
    Flac,    // native FLAC
    Ogg,     // Ogg pages (Vorbis, Opus, ...)
    Mp4,     // ISO media (.m4a, .mp4)
    Adts,    // AAC in ADTS frames (.aac, AAC stations)
    Wav,     // RIFF/WAVE, RF64
    Aiff,    // AIFF, AIFF-C
    MpegTs,  // MPEG transport stream (HLS segments)
};

const char* containerName(Container c);

// Looks at the start of a file (after any ID3v2 tags, which the caller skips: see id3v2Size).
Container sniffFileStart(const uint8_t* p, size_t n);
// Bytes of the ID3v2 tag at p (header, body, footer), or 0 when there is none.
size_t id3v2Size(const uint8_t* p, size_t n);

// The offset of the first ADTS frame whose header chains into `frames` more, or -1. The last
// header may lie beyond the data when the data ends first.
long findAdts(const uint8_t* p, size_t n, int frames = 3);
// The offset of the first Ogg page header (capture pattern and version 0), or -1.
long findOggPage(const uint8_t* p, size_t n);
// The offset of the first of `packets` transport packets in a row (sync byte every 188 bytes).
long findTsSync(const uint8_t* p, size_t n, int packets = 4);

// What a station's content type promises ("audio/aacp; charset=x" counts as "audio/aacp"):
// Mp3, Adts, Ogg or MpegTs, else Unknown.
Container containerOfType(std::string_view contentType);

}  // namespace velorixa::audio
