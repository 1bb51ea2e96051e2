#pragma once
// Splits an ICY body into audio bytes and metadata strings.
//
// A server that answers "icy-metaint: N" sends N audio bytes, then one length byte L, then L * 16
// bytes of metadata text padded with zero bytes, and so on. The demuxer is a pure state machine:
// the body may arrive in pieces of any size (one byte at a time included) and the result is the
// same as for the whole body at once. A body that ends inside a metadata block loses only that
// incomplete block.
//
// Thread contract: not thread-safe; one instance belongs to the thread that feeds it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velorixa::net {

class IcyDemuxer {
  public:
    // metaIntBytes: audio bytes between metadata blocks; 0 means the body is plain audio.
    explicit IcyDemuxer(size_t metaIntBytes = 0);

    // Consumes n body bytes and writes the audio among them to audioOut, which must hold n bytes
    // and may be the same buffer as data (the output never overtakes the input). Returns the
    // number of audio bytes written.
    size_t feed(const uint8_t* data, size_t n, uint8_t* audioOut);

    size_t metaIntBytes() const { return metaInt_; }
    // The latest metadata text (up to its first zero byte); empty before the first one.
    const std::string& latestMetadata() const { return latest_; }
    // Non-empty metadata strings completed so far. A block of zero length or only padding does
    // not count: the server says "no new metadata" that way.
    uint64_t metadataCount() const { return count_; }
    // True while the demuxer is inside a length byte's metadata block (useful to tell a body cut
    // off in the middle of metadata).
    bool insideMetadata() const { return state_ == State::Meta; }

  private:
    enum class State { Audio, Length, Meta };
    void finishBlock();

    size_t metaInt_;
    State state_ = State::Audio;
    size_t audioLeft_;     // audio bytes until the next length byte
    size_t metaLeft_ = 0;  // metadata bytes still to come in the current block
    std::string block_;    // the current metadata block so far
    std::string latest_;
    uint64_t count_ = 0;
};

}  // namespace velorixa::net
