#include "audio/decode/net/hlsplaylist.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace velorixa::net {

namespace {

// Durations beyond a day are nonsense; they are clamped so that sums stay finite.
constexpr double kMaxDurationS = 86400;
// Sequence numbers and byte counts beyond this are refused as values (sums stay in range).
constexpr int64_t kMaxNumber = int64_t{1} << 53;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// A decimal whole number (digits only, in range); -1 when the text is not one.
int64_t wholeNumber(std::string_view s) {
    s = trim(s);
    if (s.empty() || s.size() > 18) return -1;
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < 0 || v > kMaxNumber) return -1;
    return v;
}

double duration(std::string_view s) {
    s = trim(s);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || !std::isfinite(v) || v < 0) return 0;
    return std::min(v, kMaxDurationS);
}

// The value of one attribute of an attribute list (KEY=value,KEY="quoted, value"), quotes
// removed; empty when absent.
std::string attribute(std::string_view list, std::string_view key) {
    size_t i = 0;
    while (i < list.size()) {
        const size_t eq = list.find('=', i);
        if (eq == std::string_view::npos) return {};
        const std::string_view name = trim(list.substr(i, eq - i));
        size_t end;
        std::string_view value;
        if (eq + 1 < list.size() && list[eq + 1] == '"') {
            const size_t close = list.find('"', eq + 2);
            if (close == std::string_view::npos) return {};
            value = list.substr(eq + 2, close - eq - 2);
            end = list.find(',', close);
        } else {
            end = list.find(',', eq);
            value = trim(list.substr(eq + 1, end == std::string_view::npos ? end : end - eq - 1));
        }
        if (name == key) return std::string(value);
        if (end == std::string_view::npos) return {};
        i = end + 1;
    }
    return {};
}

bool isAudioCodec(std::string_view c) {
    c = trim(c);
    for (std::string_view audio : {"mp4a", "mp3", ".mp3", "ac-3", "ec-3", "opus", "flac", "alac"})
        if (startsWith(c, audio)) return true;
    return false;
}

enum class CodecKind { AudioOnly, Unknown, Video };

CodecKind codecKind(std::string_view codecs) {
    if (trim(codecs).empty()) return CodecKind::Unknown;
    while (!codecs.empty()) {
        const size_t comma = codecs.find(',');
        if (!isAudioCodec(codecs.substr(0, comma))) return CodecKind::Video;
        if (comma == std::string_view::npos) break;
        codecs.remove_prefix(comma + 1);
    }
    return CodecKind::AudioOnly;
}

}  // namespace

bool LooksLikeHls(std::string_view body) {
    if (startsWith(body, "\xEF\xBB\xBF")) body.remove_prefix(3);
    body = body.substr(body.find_first_not_of(" \t\r\n") == std::string_view::npos
                           ? body.size()
                           : body.find_first_not_of(" \t\r\n"));
    if (!startsWith(body, "#EXTM3U")) return false;
    for (std::string_view tag :
         {"#EXT-X-TARGETDURATION", "#EXT-X-STREAM-INF", "#EXT-X-MEDIA-SEQUENCE"})
        if (body.find(tag) != std::string_view::npos) return true;
    return false;
}

HlsPlaylist ParseHlsPlaylist(std::string_view body, size_t maxEntries) {
    HlsPlaylist p;
    if (!LooksLikeHls(body)) return p;
    bool master = false;
    // What the tags before a URI line said about it.
    bool pendingVariant = false, pendingSegment = false;
    HlsVariant variant;
    HlsSegment segment;
    int64_t rangeLength = -1, rangeOffset = -1, lastRangeEnd = 0;
    std::string keyMethod;
    int64_t index = 0;
    auto keep = [&](size_t count) {
        if (count < maxEntries) return true;
        p.truncated = true;
        return false;
    };

    size_t pos = 0;
    while (pos < body.size()) {
        size_t eol = body.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) eol = body.size();
        const std::string_view line = trim(body.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty()) continue;
        if (line[0] != '#') {
            if (pendingVariant) {
                variant.uri = std::string(line);
                if (keep(p.variants.size())) p.variants.push_back(std::move(variant));
                variant = {};
                pendingVariant = false;
            } else if (pendingSegment) {
                segment.uri = std::string(line);
                segment.sequence = index++;  // made absolute below
                if (rangeLength >= 0) {
                    segment.rangeLength = rangeLength;
                    segment.rangeOffset = rangeOffset >= 0 ? rangeOffset : lastRangeEnd;
                    lastRangeEnd = std::min(segment.rangeOffset + rangeLength, kMaxNumber);
                }
                if (!keyMethod.empty() && keyMethod != "NONE" && p.unsupported.empty())
                    p.unsupported = "encrypted segments (" + keyMethod.substr(0, 20) + ")";
                if (keep(p.segments.size())) p.segments.push_back(std::move(segment));
                segment = {};
                pendingSegment = false;
                rangeLength = rangeOffset = -1;
            }
            continue;
        }
        const size_t colon = line.find(':');
        const std::string_view tag = line.substr(0, colon);
        const std::string_view value =
            colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
        if (tag == "#EXT-X-STREAM-INF") {
            master = true;
            pendingVariant = true;
            variant = {};
            variant.bandwidth = std::max<int64_t>(wholeNumber(attribute(value, "BANDWIDTH")), 0);
            variant.codecs = attribute(value, "CODECS");
            variant.audioGroup = attribute(value, "AUDIO");
        } else if (tag == "#EXT-X-MEDIA") {
            master = true;
            std::string uri = attribute(value, "URI");
            if (attribute(value, "TYPE") == "AUDIO" && !uri.empty() &&
                keep(p.audioRenditions.size()))
                p.audioRenditions.push_back({attribute(value, "GROUP-ID"), std::move(uri),
                                             attribute(value, "DEFAULT") == "YES"});
        } else if (tag == "#EXT-X-TARGETDURATION") {
            const int64_t t = wholeNumber(value);
            p.targetDurationS = t < 0 ? 0 : std::min(double(t), kMaxDurationS);
        } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
            p.mediaSequence = std::max<int64_t>(wholeNumber(value), 0);
        } else if (tag == "#EXTINF") {
            pendingSegment = true;
            const size_t comma = value.find(',');
            segment.durationS = duration(value.substr(0, comma));
            if (comma != std::string_view::npos)
                segment.title = std::string(trim(value.substr(comma + 1)).substr(0, 256));
        } else if (tag == "#EXT-X-BYTERANGE") {
            const size_t at = value.find('@');
            rangeLength = wholeNumber(value.substr(0, at));
            rangeOffset = at == std::string_view::npos ? -1 : wholeNumber(value.substr(at + 1));
        } else if (tag == "#EXT-X-ENDLIST") {
            p.endList = true;
        } else if (tag == "#EXT-X-KEY") {
            keyMethod = attribute(value, "METHOD");
        } else if (tag == "#EXT-X-MAP") {
            if (p.unsupported.empty()) p.unsupported = "fragmented MP4 segments";
        }
    }
    // A list with variants or renditions is a master even if it also carries media tags: its
    // segments, if any, are not played. Anything else sniffed as HLS is a media playlist, even
    // when its tags are broken (it then lists nothing to play and says so).
    p.kind = master ? HlsPlaylist::Kind::Master : HlsPlaylist::Kind::Media;
    if (master) p.segments.clear();
    for (HlsSegment& s : p.segments)
        s.sequence += p.mediaSequence;
    return p;
}

std::string ChooseHlsVariant(const HlsPlaylist& master) {
    const HlsVariant* best[3] = {nullptr, nullptr, nullptr};
    for (const HlsVariant& v : master.variants) {
        const CodecKind kind = codecKind(v.codecs);
        const HlsVariant*& b = best[static_cast<int>(kind)];
        const bool better = b == nullptr || (kind == CodecKind::Video ? v.bandwidth < b->bandwidth
                                                                      : v.bandwidth > b->bandwidth);
        if (better) b = &v;
    }
    const HlsVariant* chosen = nullptr;
    for (const HlsVariant* b : best)
        if (chosen == nullptr) chosen = b;
    if (chosen == nullptr) {
        // Audio renditions alone, without variants, still name something to play.
        return master.audioRenditions.empty() ? std::string() : master.audioRenditions[0].uri;
    }
    if (!chosen->audioGroup.empty()) {
        const HlsRendition* rendition = nullptr;
        for (const HlsRendition& r : master.audioRenditions) {
            if (r.groupId != chosen->audioGroup) continue;
            if (rendition == nullptr || (r.isDefault && !rendition->isDefault)) rendition = &r;
        }
        if (rendition != nullptr) return rendition->uri;
    }
    return chosen->uri;
}

size_t HlsStartIndex(const HlsPlaylist& media) {
    if (media.endList || media.segments.empty()) return 0;
    const double behind = 3 * media.targetDurationS;
    double sum = 0;
    for (size_t i = media.segments.size(); i-- > 0;) {
        sum += media.segments[i].durationS;
        if (sum >= behind) return i;
    }
    return 0;
}

}  // namespace velorixa::net
