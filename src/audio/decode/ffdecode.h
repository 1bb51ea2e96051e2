#pragma once
// Decoding through FFmpeg's libavformat/libavcodec: every file format but MP3 (FLAC, Ogg Vorbis
// and Opus, AAC in MP4 or ADTS, WAV, AIFF), and the packets a station's StreamDemux cuts. Output
// is interleaved float at the stream's own rate, mono or stereo (more channels are mixed down).
// FFmpeg's types stay inside ffdecode.cpp: nothing else compiles against its headers.
//
// Thread contract: as Decoder: opened on the caller's thread, then used by one decode thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/byteinput.h"
#include "audio/decode/decoder.h"
#include "audio/decode/formatprobe.h"
#include "audio/decode/streamdemux.h"

namespace velorixa::audio {

// Opens a file of the container sniffed from its start. nullptr with a listener's reason ("not
// an audio file", "unsupported codec (ac3)", "no audio in the file", ...) on failure.
std::unique_ptr<Decoder> openFfmpegFile(std::unique_ptr<ByteInput> in, Container container,
                                        std::string* error);

// Decodes a station's packets. The output layout is locked by the first decoded audio: a later
// stream of another rate or layout (a chained Ogg stream) is converted to it.
class PacketDecoder {
  public:
    PacketDecoder();
    ~PacketDecoder();
    PacketDecoder(const PacketDecoder&) = delete;
    PacketDecoder& operator=(const PacketDecoder&) = delete;

    // (Re)opens the codec for a stream format; false with a reason when it cannot be decoded.
    bool open(const StreamFormat& format, std::string* error);
    // Decodes one whole packet and appends its frames to out; false when the packet was broken
    // (it is then skipped: the next one decodes again).
    bool decode(const uint8_t* data, size_t size, std::vector<float>* out);
    int rateHz() const;
    int channels() const;  // 0 until the first audio was decoded

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velorixa::audio
