#pragma once
// Entry function shared by the HLS playlist fuzz target and the regular test run (seeded
// mutations of valid playlists). Returns an empty string when every property held, else a short
// description of the first broken one.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "audio/decode/net/hlsplaylist.h"

namespace velorixa::fuzz {

inline std::string fuzzHlsOne(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const net::HlsPlaylist p = net::ParseHlsPlaylist(body);
    using Kind = net::HlsPlaylist::Kind;
    if (net::LooksLikeHls(body) != (p.kind != Kind::NotHls)) return "kind and sniffing disagree";
    if (p.kind == Kind::NotHls && (!p.segments.empty() || !p.variants.empty()))
        return "entries in a body that is not HLS";
    if (p.kind == Kind::Master && !p.segments.empty()) return "segments in a master";
    if (p.segments.size() > net::kHlsMaxEntries || p.variants.size() > net::kHlsMaxEntries ||
        p.audioRenditions.size() > net::kHlsMaxEntries)
        return "more entries than the limit";
    if (!(p.targetDurationS >= 0 && p.targetDurationS <= 86400)) return "target out of range";
    for (size_t i = 0; i < p.segments.size(); ++i) {
        const net::HlsSegment& s = p.segments[i];
        if (s.sequence != p.mediaSequence + static_cast<int64_t>(i)) return "sequence not in order";
        if (!(s.durationS >= 0 && s.durationS <= 86400)) return "duration out of range";
        if (s.uri.empty() || s.uri[0] == '#') return "segment without an address";
        if (s.uri.find_first_of("\r\n") != std::string::npos) return "address holds a line end";
        if (s.rangeLength >= 0 && s.rangeOffset < 0) return "range without an offset";
    }
    if (!p.segments.empty() && net::HlsStartIndex(p) >= p.segments.size())
        return "start beyond the list";
    const std::string chosen = net::ChooseHlsVariant(p);
    bool named = chosen.empty();
    for (const net::HlsVariant& v : p.variants)
        named = named || v.uri == chosen;
    for (const net::HlsRendition& r : p.audioRenditions)
        named = named || r.uri == chosen;
    if (!named) return "chosen address not in the playlist";
    if (chosen.empty() && !p.variants.empty()) return "a master with variants chose none";
    // A tight limit keeps a prefix of the same entries.
    const net::HlsPlaylist few = net::ParseHlsPlaylist(body, 3);
    if (few.segments.size() > 3 || few.variants.size() > 3) return "limit ignored";
    for (size_t i = 0; i < few.segments.size(); ++i)
        if (few.segments[i].uri != p.segments[i].uri) return "limited parse differs";
    return {};
}

}  // namespace velorixa::fuzz
