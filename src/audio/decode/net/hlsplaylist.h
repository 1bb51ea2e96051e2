#pragma once
// HTTP Live Streaming playlists (".m3u8" with #EXT-X- tags): a master playlist lists variants of
// one station (bit rates, codecs); a media playlist lists the station's segments, short files
// played one after the other, and grows while the station is live.
//
// The parser is bounded by its input: it keeps at most maxEntries segments or variants and
// reads every line once, so a huge or hostile body costs time and memory in proportion to
// its size and no more.
//
// Thread contract: pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velorixa::net {

struct HlsVariant {
    std::string uri;
    int64_t bandwidth = 0;   // bits per second; 0 when not given
    std::string codecs;      // the CODECS attribute as given ("mp4a.40.2,avc1.4d401f")
    std::string audioGroup;  // the AUDIO attribute: a group of alternative audio renditions
};

// An #EXT-X-MEDIA audio rendition that has a playlist of its own.
struct HlsRendition {
    std::string groupId;
    std::string uri;
    bool isDefault = false;
};

struct HlsSegment {
    std::string uri;
    double durationS = 0;
    int64_t sequence = 0;  // media sequence number
    std::string title;     // the text after #EXTINF's comma
    // A sub-range of the resource (#EXT-X-BYTERANGE); length < 0: the whole resource.
    int64_t rangeOffset = 0;
    int64_t rangeLength = -1;
};

struct HlsPlaylist {
    enum class Kind { NotHls, Master, Media };
    Kind kind = Kind::NotHls;
    // Master playlists.
    std::vector<HlsVariant> variants;
    std::vector<HlsRendition> audioRenditions;
    // Media playlists.
    double targetDurationS = 0;
    int64_t mediaSequence = 0;
    bool endList = false;
    std::vector<HlsSegment> segments;
    // Why the playlist cannot be played although it is HLS: encrypted or fragmented-MP4
    // segments ("encrypted segments (AES-128)"); empty when it can.
    std::string unsupported;
    // More entries than the parser keeps: the rest were dropped.
    bool truncated = false;
};

inline constexpr size_t kHlsMaxEntries = 20000;

// The body starts with #EXTM3U and carries a tag only HLS playlists have (a target duration, a
// variant stream, a media sequence); an ordinary .m3u list of stations does not.
bool LooksLikeHls(std::string_view body);

HlsPlaylist ParseHlsPlaylist(std::string_view body, size_t maxEntries = kHlsMaxEntries);

// The playlist to play from a master: the highest bandwidth among variants whose CODECS are all
// audio codecs; else, among variants that name no codecs, the highest bandwidth; else (every
// variant carries video) the lowest bandwidth, as the audio is the same and less is fetched.
// Ties go to the first listed. A variant whose audio comes from a rendition group with its own
// playlist gives that playlist (the group's DEFAULT=YES one, else its first). Empty when the
// master lists nothing playable.
std::string ChooseHlsVariant(const HlsPlaylist& master);

// The index of the segment to start a media playlist at: the first of an ended playlist;
// for a live one the last segment that starts at least three target durations before the
// playlist's end (the first when the whole list is shorter), so that playback stays that far
// behind the live edge and the next segments are listed before they are needed.
size_t HlsStartIndex(const HlsPlaylist& media);

}  // namespace velorixa::net
