#include "audio/decode/formatprobe.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace velorixa::audio {

namespace {

bool startsWith(const uint8_t* p, size_t n, const char* magic, size_t at = 0) {
    const size_t len = std::strlen(magic);
    return n >= at + len && std::memcmp(p + at, magic, len) == 0;
}

// An ADTS header's frame length, or 0 when the 7 bytes at p are no usable header.
size_t adtsFrameBytes(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return 0;  // sync, layer 0
    const int profileRate = (p[2] >> 2) & 0x0F;
    if (profileRate > 12) return 0;  // reserved sampling frequency index
    const size_t len = ((p[3] & 0x03u) << 11) | (size_t{p[4]} << 3) | (p[5] >> 5);
    const size_t header = (p[1] & 0x01) ? 7 : 9;
    return len > header ? len : 0;
}

}  // namespace

const char* containerName(Container c) {
    switch (c) {
        case Container::Mp3:
            return "MP3";
        case Container::Flac:
            return "FLAC";
        case Container::Ogg:
            return "Ogg";
        case Container::Mp4:
            return "MP4";
        case Container::Adts:
            return "AAC";
        case Container::Wav:
            return "WAV";
        case Container::Aiff:
            return "AIFF";
        case Container::MpegTs:
            return "MPEG-TS";
        case Container::Unknown:
            break;
    }
    return "unknown";
}

size_t id3v2Size(const uint8_t* p, size_t n) {
    if (n < 10 || !startsWith(p, n, "ID3") || p[3] == 0xFF || p[4] == 0xFF) return 0;
    if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
    const size_t body = (size_t{p[6]} << 21) | (size_t{p[7]} << 14) | (size_t{p[8]} << 7) | p[9];
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

long findAdts(const uint8_t* p, size_t n, int frames) {
    for (size_t i = 0; i + 7 <= n; ++i) {
        size_t len = adtsFrameBytes(p + i);
        if (len == 0) continue;
        size_t at = i + len;
        int chained = 0;
        while (chained < frames && at + 7 <= n) {
            const size_t next = adtsFrameBytes(p + at);
            // The next header repeats the fixed fields of the first: version, profile, rate,
            // channel layout.
            if (next == 0 || p[at + 1] != p[i + 1] || (p[at + 2] & 0xFD) != (p[i + 2] & 0xFD) ||
                (p[at + 3] & 0xC0) != (p[i + 3] & 0xC0)) {
                break;
            }
            ++chained;
            at += next;
        }
        if (chained >= frames || (chained >= 1 && at + 7 > n)) return static_cast<long>(i);
    }
    return -1;
}

long findOggPage(const uint8_t* p, size_t n) {
    for (size_t i = 0; i + 27 <= n; ++i) {
        if (p[i] == 'O' && startsWith(p + i, n - i, "OggS") && p[i + 4] == 0)
            return static_cast<long>(i);
    }
    return -1;
}

long findTsSync(const uint8_t* p, size_t n, int packets) {
    for (size_t i = 0; i < 188 && i < n; ++i) {
        int run = 0;
        while (run < packets && i + run * size_t{188} < n && p[i + run * size_t{188}] == 0x47)
            ++run;
        if (run >= packets) return static_cast<long>(i);
    }
    return -1;
}

Container sniffFileStart(const uint8_t* p, size_t n) {
    if (startsWith(p, n, "fLaC")) return Container::Flac;
    if (startsWith(p, n, "OggS") && n > 4 && p[4] == 0) return Container::Ogg;
    if ((startsWith(p, n, "RIFF") || startsWith(p, n, "RF64")) && startsWith(p, n, "WAVE", 8))
        return Container::Wav;
    if (startsWith(p, n, "FORM") && (startsWith(p, n, "AIFF", 8) || startsWith(p, n, "AIFC", 8)))
        return Container::Aiff;
    if (startsWith(p, n, "ftyp", 4)) return Container::Mp4;
    if (n >= 188 && findTsSync(p, n, std::min<int>(4, static_cast<int>(n / 188))) == 0)
        return Container::MpegTs;
    if (n >= 7 && findAdts(p, std::min<size_t>(n, 64 * 1024), 2) == 0) return Container::Adts;
    return Container::Unknown;
}

Container containerOfType(std::string_view contentType) {
    std::string t(contentType.substr(0, contentType.find(';')));
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    std::transform(t.begin(), t.end(), t.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (t == "audio/mpeg" || t == "audio/mp3" || t == "audio/mpeg3" || t == "audio/x-mpeg")
        return Container::Mp3;
    if (t == "audio/aac" || t == "audio/aacp" || t == "audio/x-aac" || t == "audio/x-aacp")
        return Container::Adts;
    if (t == "application/ogg" || t == "audio/ogg" || t == "audio/x-ogg" || t == "audio/opus" ||
        t == "audio/vorbis" || t == "audio/x-vorbis+ogg")
        return Container::Ogg;
    if (t == "video/mp2t" || t == "video/mpeg-ts") return Container::MpegTs;
    return Container::Unknown;
}

}  // namespace velorixa::audio
