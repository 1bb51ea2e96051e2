#include "audio/decode/streamdemux.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "audio/decode/mp3probe.h"

namespace velorixa::audio {

namespace {

constexpr int kAdtsRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                              22050, 16000, 12000, 11025, 8000,  7350};
// Bytes buffered but never a whole packet: junk, or a frame that claims to be huge.
constexpr size_t kMaxBuffered = 1 << 20;

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

const std::array<uint32_t, 256>& oggCrcTable() {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int b = 0; b < 8; ++b)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return table;
}

uint32_t oggCrc(const uint8_t* p, size_t n) {
    const auto& t = oggCrcTable();
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t byte = (i >= 22 && i < 26) ? 0 : p[i];  // the CRC field counts as zeros
        crc = (crc << 8) ^ t[((crc >> 24) ^ byte) & 0xFF];
    }
    return crc;
}

// ADTS header: the frame length and its samples at its rate, or false.
bool adtsFrame(const uint8_t* p, size_t* bytes, double* seconds) {
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return false;
    const int rateIndex = (p[2] >> 2) & 0x0F;
    if (rateIndex > 12) return false;
    const size_t len = ((p[3] & 0x03u) << 11) | (size_t{p[4]} << 3) | (p[5] >> 5);
    if (len <= ((p[1] & 0x01) ? 7u : 9u)) return false;
    *bytes = len;
    *seconds = 1024.0 * ((p[6] & 0x03) + 1) / kAdtsRates[rateIndex];
    return true;
}

bool mpegFrame(const uint8_t* p, size_t* bytes, double* seconds) {
    Mp3FrameHeader h;
    if (!parseMp3Header(p, &h) || h.freeFormat || h.frameBytes <= 4) return false;
    *bytes = static_cast<size_t>(h.frameBytes);
    *seconds = (h.version == 1 ? 1152.0 : 576.0) / h.rateHz;
    return true;
}

}  // namespace

std::string titleOfComments(const uint8_t* p, size_t n) {
    std::string artist, title;
    size_t at = 0;
    auto take32 = [&](uint32_t* v) {
        if (n - at < 4) return false;
        *v = le32(p + at);
        at += 4;
        return true;
    };
    uint32_t len = 0, count = 0;
    if (!take32(&len) || len > n - at) return {};
    at += len;  // vendor string
    if (!take32(&count)) return {};
    for (uint32_t i = 0; i < count && take32(&len) && len <= n - at; ++i) {
        std::string field(reinterpret_cast<const char*>(p + at), len);
        at += len;
        const size_t eq = field.find('=');
        if (eq == std::string::npos) continue;
        std::string key = field.substr(0, eq);
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (key == "ARTIST" && artist.empty()) artist = field.substr(eq + 1);
        if (key == "TITLE" && title.empty()) title = field.substr(eq + 1);
    }
    // A broken or hostile comment never makes a title longer than a line can show.
    std::string text = artist.empty() ? title : title.empty() ? artist : artist + " - " + title;
    if (text.size() > 1024) text.resize(1024);
    return text.empty() ? std::string() : "StreamTitle='" + text + "';";
}

StreamDemux::StreamDemux(Container kind) : kind_(kind) {
    if (kind == Container::Adts) format_.codec = StreamCodec::Aac;
    if (kind == Container::Mp3) format_.codec = StreamCodec::Mp3;
    if (kind != Container::Ogg) format_.generation = 1;
}

StreamDemux::~StreamDemux() = default;

void StreamDemux::push(const uint8_t* p, size_t n) {
    compact();
    buf_.insert(buf_.end(), p, p + n);
    // Never a whole packet in a megabyte: whatever it is, it is not played; keep the tail only.
    if (buf_.size() - at_ > kMaxBuffered) {
        at_ = buf_.size() - 64 * 1024;
        synced_ = false;
        compact();
    }
}

void StreamDemux::compact() {
    if (at_ == 0) return;
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(at_));
    at_ = 0;
}

void StreamDemux::countAudio(size_t bytes, double seconds) {
    audioBytes_ += bytes;
    audioSeconds_ += seconds;
}

int StreamDemux::measuredKbps() const {
    if (inner_) return inner_->measuredKbps();
    if (audioSeconds_ <= 0) return 0;
    return static_cast<int>(double(audioBytes_) * 8 / audioSeconds_ / 1000 + 0.5);
}

bool StreamDemux::next(const uint8_t** data, size_t* size) {
    if (at_ > 64 * 1024 && at_ * 2 > buf_.size()) compact();
    switch (kind_) {
        case Container::Adts:
        case Container::Mp3:
            return nextFrame(data, size);
        case Container::Ogg:
            return nextOgg(data, size);
        case Container::MpegTs:
            return nextTs(data, size);
        default:
            return false;
    }
}

bool StreamDemux::nextFrame(const uint8_t** data, size_t* size) {
    const bool adts = kind_ == Container::Adts;
    const size_t headerBytes = adts ? 7 : 4;
    while (buf_.size() - at_ >= headerBytes) {
        const uint8_t* p = buf_.data() + at_;
        const size_t avail = buf_.size() - at_;
        size_t len = 0;
        double seconds = 0;
        if (p[0] != 0xFF || !(adts ? adtsFrame(p, &len, &seconds) : mpegFrame(p, &len, &seconds))) {
            synced_ = false;
            const void* ff = std::memchr(p + 1, 0xFF, avail - 1);
            at_ = ff ? static_cast<size_t>(static_cast<const uint8_t*>(ff) - buf_.data())
                     : buf_.size();
            continue;
        }
        // After a loss of sync a header counts only when the next frame's header follows it.
        if (avail < len + (synced_ ? 0 : headerBytes)) return false;
        if (!synced_) {
            size_t nextLen = 0;
            double nextSeconds = 0;
            if (!(adts ? adtsFrame(p + len, &nextLen, &nextSeconds)
                       : mpegFrame(p + len, &nextLen, &nextSeconds))) {
                ++at_;
                continue;
            }
            synced_ = true;
        }
        *data = p;
        *size = len;
        at_ += len;
        countAudio(len, seconds);
        return true;
    }
    return false;
}

bool StreamDemux::nextOgg(const uint8_t** data, size_t* size) {
    while (true) {
        if (readyAt_ < ready_.size()) {
            packet_ = std::move(ready_[readyAt_++]);
            *data = packet_.data();
            *size = packet_.size();
            return true;
        }
        ready_.clear();
        readyAt_ = 0;
        if (!takeOggPage()) return false;
    }
}

bool StreamDemux::takeOggPage() {
    while (true) {
        const size_t avail = buf_.size() - at_;
        const uint8_t* p = buf_.data() + at_;
        const long found = findOggPage(p, avail);
        if (found < 0) {
            at_ = buf_.size() - std::min<size_t>(avail, 26);  // a capture pattern may be cut
            return false;
        }
        at_ += static_cast<size_t>(found);
        p = buf_.data() + at_;
        const size_t rest = buf_.size() - at_;
        if (rest < 27 || rest < 27u + p[26]) return false;
        const int segments = p[26];
        size_t body = 0;
        for (int i = 0; i < segments; ++i)
            body += p[27 + i];
        const size_t total = 27 + segments + body;
        if (rest < total) return false;
        if (oggCrc(p, total) != le32(p + 22)) {
            ++at_;  // not a page after all: look for the next
            continue;
        }
        const uint8_t flags = p[5];
        int64_t granule = 0;
        for (int i = 7; i >= 0; --i)
            granule = granule << 8 | p[6 + i];
        const uint32_t serial = le32(p + 14);
        const uint8_t* seg = p + 27 + segments;
        at_ += total;

        if (flags & 0x02) {  // the first page of a logical stream: its identification header
            const bool vorbis = body >= 30 && std::memcmp(seg, "\x01vorbis", 7) == 0;
            const bool opus = body >= 19 && std::memcmp(seg, "OpusHead", 8) == 0;
            if (vorbis || opus) {
                serial_ = serial;
                haveSerial_ = true;
                partial_.clear();
                headers_.clear();
                headersWanted_ = vorbis ? 3 : 2;
                format_ = StreamFormat{StreamCodec::None, {}, format_.generation};
                oggRateHz_ = vorbis ? static_cast<int>(le32(seg + 12)) : 48000;
                lastGranule_ = -1;
                pageAudioBytes_ = 0;
                unknownCodec_.clear();
                refused_.clear();
            } else if (!haveSerial_) {
                const uint8_t* name = seg + (body > 0 && !std::isalnum(seg[0]) ? 1 : 0);
                size_t len = 0;
                while (len < 8 && name + len < seg + body && std::isalnum(name[len]))
                    ++len;
                unknownCodec_.assign(reinterpret_cast<const char*>(name), len);
                if (unknownCodec_.empty()) unknownCodec_ = "unknown";
                std::transform(unknownCodec_.begin(), unknownCodec_.end(), unknownCodec_.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            }
        } else if (!haveSerial_ && !unknownCodec_.empty()) {
            refused_ = "unsupported codec (" + unknownCodec_ + ")";
        }
        if (!haveSerial_ || serial != serial_) continue;

        // A page that continues a packet whose start was never seen (joined mid-stream).
        bool dropFirst = (flags & 0x01) && partial_.empty();
        if (!(flags & 0x01)) partial_.clear();
        const uint8_t* at = seg;
        for (int i = 0; i < segments; ++i) {
            const uint8_t lace = p[27 + i];
            if (!dropFirst) partial_.insert(partial_.end(), at, at + lace);
            at += lace;
            if (lace < 255) {
                if (!dropFirst) oggPacket(std::move(partial_));
                partial_.clear();
                dropFirst = false;
            }
        }
        if (granule >= 0 && format_.codec != StreamCodec::None) {
            if (lastGranule_ >= 0 && granule > lastGranule_ && oggRateHz_ > 0) {
                countAudio(pageAudioBytes_, double(granule - lastGranule_) / oggRateHz_);
            }
            lastGranule_ = granule;
            pageAudioBytes_ = 0;
        }
        if (!ready_.empty()) return true;
    }
}

void StreamDemux::oggPacket(std::vector<uint8_t> packet) {
    if (headers_.size() < headersWanted_) {
        if (headers_.size() == 1) {  // the comment header
            const bool vorbis = headersWanted_ == 3;
            const size_t prefix = vorbis ? 7 : 8;
            if (packet.size() >= prefix) {
                title_ = titleOfComments(packet.data() + prefix, packet.size() - prefix);
            }
        }
        headers_.push_back(std::move(packet));
        if (headers_.size() < headersWanted_) return;
        StreamFormat f;
        f.generation = format_.generation + 1;
        if (headersWanted_ == 2) {
            f.codec = StreamCodec::Opus;
            f.extradata = headers_[0];
        } else {
            // Xiph lacing: the count less one, the sizes of all but the last, then the three.
            f.codec = StreamCodec::Vorbis;
            f.extradata.push_back(2);
            for (int i = 0; i < 2; ++i) {
                size_t n = headers_[i].size();
                for (; n >= 255; n -= 255)
                    f.extradata.push_back(255);
                f.extradata.push_back(static_cast<uint8_t>(n));
            }
            for (const auto& h : headers_)
                f.extradata.insert(f.extradata.end(), h.begin(), h.end());
        }
        format_ = std::move(f);
        return;
    }
    if (packet.empty()) return;
    pageAudioBytes_ += packet.size();
    ready_.push_back(std::move(packet));
}

bool StreamDemux::nextTs(const uint8_t** data, size_t* size) {
    while (true) {
        if (inner_ && inner_->next(data, size)) return true;
        if (buf_.size() - at_ < 188) return false;
        const uint8_t* p = buf_.data() + at_;
        if (p[0] != 0x47) {
            const long sync = findTsSync(p, buf_.size() - at_, 2);
            at_ += sync > 0 ? static_cast<size_t>(sync) : 1;
            continue;
        }
        tsPacket(p);
        at_ += 188;
    }
}

void StreamDemux::tsPacket(const uint8_t* p) {
    const int pid = (p[1] & 0x1F) << 8 | p[2];
    const bool start = p[1] & 0x40;
    const int control = (p[3] >> 4) & 3;
    size_t off = 4;
    if (control & 2) off += 1 + size_t{p[4]};
    if (!(control & 1) || off >= 188) return;
    if ((pid == 0 || pid == pmtPid_) && start) {
        off += 1 + size_t{p[off]};  // pointer field
        if (off + 12 > 188) return;
        const size_t sectionEnd =
            std::min<size_t>(188, off + 3 + ((p[off + 1] & 0x0F) << 8 | p[off + 2])) - 4;  // CRC
        if (pid == 0 && p[off] == 0x00) {
            for (size_t at = off + 8; at + 4 <= sectionEnd; at += 4) {
                const int program = p[at] << 8 | p[at + 1];
                if (program != 0) {
                    pmtPid_ = (p[at + 2] & 0x1F) << 8 | p[at + 3];
                    break;
                }
            }
        } else if (pid == pmtPid_ && p[off] == 0x02 && audioPid_ < 0) {
            size_t at = off + 12 + ((p[off + 10] & 0x0F) << 8 | p[off + 11]);
            int otherType = -1;
            for (; at + 5 <= sectionEnd; at += 5 + ((p[at + 3] & 0x0F) << 8 | p[at + 4])) {
                const int type = p[at];
                const int esPid = (p[at + 1] & 0x1F) << 8 | p[at + 2];
                if (type == 0x0F || type == 0x03 || type == 0x04) {
                    audioPid_ = esPid;
                    inner_ = std::make_unique<StreamDemux>(type == 0x0F ? Container::Adts
                                                                        : Container::Mp3);
                    return;
                }
                if (otherType < 0 && type != 0x1B && type != 0x02 && type != 0x24) otherType = type;
            }
            if (otherType >= 0) {
                char why[48];
                std::snprintf(why, sizeof why, "unsupported codec (stream type 0x%02x)", otherType);
                refused_ = why;
            }
        }
        return;
    }
    if (pid != audioPid_ || !inner_) return;
    if (start) {
        if (off + 9 > 188 || p[off] != 0 || p[off + 1] != 0 || p[off + 2] != 1) return;
        off += 9 + size_t{p[off + 8]};
        if (off > 188) return;
    }
    inner_->push(p + off, 188 - off);
}

}  // namespace velorixa::audio
