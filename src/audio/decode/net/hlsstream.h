#pragma once
// An HTTP Live Streaming station as one byte stream: a network thread of its own fetches the
// playlist (picking one variant of a master playlist), then the segments in the order of their
// sequence numbers, and hands their bytes on through the same ring as a plain stream, so the
// decoder reads segment after segment as if it were one long stream.
//
// Live playlists are followed as they grow: playback starts three target durations behind the
// live edge, the playlist is loaded again one target duration after it last brought new
// segments, half of that after a load that brought none. A segment that cannot be fetched
// (404, a refused connection) is skipped; a playlist that brings no new segment keeps being
// reloaded until the stall limit (NetOptions::stallTimeoutMs without new audio) ends the
// stream. An ended playlist (#EXT-X-ENDLIST) plays to its last segment, then the stream ends.
//
// Bounds against hostile servers: a playlist is at most kMaxPlaylistBytes, a master leads to
// at most kMaxMasterHops further masters, the parser keeps a bounded number of entries, and a
// segment that is itself a playlist ends the stream. The open keeps the caller's one deadline.
//
// Thread contract: open() blocks the caller until the first audio is buffered or the deadline;
// read() belongs to one consumer thread at a time and never blocks; the other queries are for
// any thread. All curl calls happen on the stream's network thread; the destructor stops it
// and returns within about one poll interval.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/net/hlsplaylist.h"
#include "audio/decode/net/ringstream.h"

namespace velorixa::net {

// An address relative to the playlist it appears in, made absolute ("seg1.mp3" in
// "http://h/live/index.m3u8" is "http://h/live/seg1.mp3"); empty when it cannot be resolved.
std::string ResolveHlsAddress(const std::string& base, const std::string& reference);

class HlsNetStream final : public RingNetStream {
  public:
    static constexpr size_t kMaxPlaylistBytes = 1 << 20;
    static constexpr int kMaxMasterHops = 3;

    // Starts the network thread with the playlist at url and waits until minStartBytes of
    // segment audio are buffered (or an ended playlist's audio is all there), at most until
    // deadline. nullptr with *error on failure ("encrypted segments (AES-128) are not
    // supported", "HTTP 404 Not Found", "too little audio within 6 s", ...).
    static std::unique_ptr<HlsNetStream> open(const std::string& url, const NetOptions& options,
                                              std::chrono::steady_clock::time_point deadline,
                                              std::string* error = nullptr);
    ~HlsNetStream() override;
    HlsNetStream(const HlsNetStream&) = delete;
    HlsNetStream& operator=(const HlsNetStream&) = delete;

    // headerLines() are the first segment's response headers (its content type names the
    // codec); metadata() is "StreamTitle='...';" from the title of the segment now fetched,
    // where the playlist gives one; failure() is empty after an ended playlist's last segment.
    uint64_t segmentsFetched() const { return fetched_.load(std::memory_order_acquire); }
    uint64_t segmentsSkipped() const { return skipped_.load(std::memory_order_acquire); }
    uint64_t playlistLoads() const { return loads_.load(std::memory_order_acquire); }

  private:
    struct Transfer;
    HlsNetStream(const std::string& url, const NetOptions& options);
    void run() override;
    // Network thread: the media playlist to follow (masters resolved), or a failure.
    bool loadMedia(std::string* mediaUrl, HlsPlaylist* media, std::string* failure);
    // Network thread: one playlist body; false with *failure when it could not be fetched.
    bool fetchPlaylist(const std::string& url, HlsPlaylist* playlist, std::string* finalUrl,
                       std::string* failure);
    // Network thread: one segment into the ring; false with *failure when it failed.
    bool fetchSegment(const std::string& url, const HlsSegment& segment, std::string* failure);
    // Network thread: runs one transfer to its end, a failure or the stop request.
    bool perform(Transfer& t, std::string* failure);
    void publishTitle(const std::string& title);
    // Network thread: sleeps until `until` or the stop request; false when stopped.
    bool sleepUntil(std::chrono::steady_clock::time_point until);

    const std::string url_;
    std::atomic<uint64_t> fetched_{0};
    std::atomic<uint64_t> skipped_{0};
    std::atomic<uint64_t> loads_{0};

    // Network-thread state.
    std::chrono::steady_clock::time_point lastData_{};
    std::string lastTitle_;
    bool headersPublished_ = false;
};

}  // namespace velorixa::net
