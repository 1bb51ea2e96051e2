#pragma once
// Cuts a live byte stream (a station) into whole codec packets without ever waiting for bytes:
// push() what arrived, take packets with next() until it says more bytes are needed. A packet is
// only handed out once all of it is there, so the decoder behind never meets a short read.
//
// Kinds: ADTS frames (AAC, HE-AAC), MPEG audio frames, Ogg pages (Vorbis or Opus, chained
// streams included: each new logical stream brings its own headers and comments), and MPEG
// transport streams, whose first audio elementary stream (ADTS or MPEG audio) is cut in turn.
// Bytes that are not what the kind expects are skipped up to the next frame or page.
//
// Thread contract: one thread at a time (the decode thread after the open).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/formatprobe.h"

namespace velorixa::audio {

enum class StreamCodec { None, Aac, Mp3, Vorbis, Opus };

// What the decoder needs to know of the current logical stream.
struct StreamFormat {
    StreamCodec codec = StreamCodec::None;
    std::vector<uint8_t> extradata;  // Vorbis: the three headers, Xiph-laced; Opus: OpusHead
    uint32_t generation = 0;         // changes when a new logical stream begins
};

class StreamDemux {
  public:
    explicit StreamDemux(Container kind);
    ~StreamDemux();
    StreamDemux(const StreamDemux&) = delete;
    StreamDemux& operator=(const StreamDemux&) = delete;

    void push(const uint8_t* p, size_t n);
    // The next whole packet (valid until the next call of next or push), or false when more
    // bytes are needed.
    bool next(const uint8_t** data, size_t* size);
    const StreamFormat& format() const { return inner_ ? inner_->format_ : format_; }
    // A stream this player cannot decode (an Ogg stream of another codec): why, else empty.
    const std::string& refused() const { return refused_; }
    // The stream's own title ("ARTIST - TITLE" of its comments), empty when it names none.
    const std::string& title() const { return title_; }
    // Bytes and seconds of audio packets seen so far: the stream's measured bit rate.
    int measuredKbps() const;

  private:
    bool nextFrame(const uint8_t** data, size_t* size);
    bool nextOgg(const uint8_t** data, size_t* size);
    bool nextTs(const uint8_t** data, size_t* size);
    bool takeOggPage();
    void oggPacket(std::vector<uint8_t> packet);
    void tsPacket(const uint8_t* p);
    void compact();
    void countAudio(size_t bytes, double seconds);

    Container kind_;
    std::vector<uint8_t> buf_;
    size_t at_ = 0;  // first unread byte of buf_
    std::vector<uint8_t> packet_;
    StreamFormat format_;
    std::string refused_;
    std::string title_;
    uint64_t audioBytes_ = 0;
    double audioSeconds_ = 0;

    // Ogg: the logical stream followed, its packet being assembled, headers still to come.
    uint32_t serial_ = 0;
    bool haveSerial_ = false;
    std::vector<uint8_t> partial_;
    std::vector<std::vector<uint8_t>> headers_;
    size_t headersWanted_ = 0;
    std::vector<std::vector<uint8_t>> ready_;  // audio packets of the last page
    size_t readyAt_ = 0;
    int64_t lastGranule_ = -1;
    int oggRateHz_ = 0;
    size_t pageAudioBytes_ = 0;
    std::string unknownCodec_;  // a first stream of a codec not played here
    bool synced_ = false;       // frames: the last frame was followed by another header

    // Transport stream: the audio PID and the elementary stream cut by an inner demuxer.
    int pmtPid_ = -1;
    int audioPid_ = -1;
    std::unique_ptr<StreamDemux> inner_;
};

// "StreamTitle='Artist - Title';" from Vorbis comments (the packet body after its prefix);
// empty when they name neither.
std::string titleOfComments(const uint8_t* p, size_t n);

}  // namespace velorixa::audio
