// Files are decoded by what their first bytes are: MP3 frames go to libmpg123 (faster than
// FFmpeg's decoder on the same files), the containers FFmpeg reads go to FFmpeg, and anything
// else is refused before any decoder sees it.

#include "audio/decode/byteinput.h"
#include "audio/decode/decoder.h"
#include "audio/decode/ffdecode.h"
#include "audio/decode/formatprobe.h"

namespace velorixa::audio {

namespace {

std::unique_ptr<Decoder> openBytes(std::unique_ptr<ByteInput> in, std::string* error) {
    uint8_t head[4096];
    size_t got = in->readAt(0, head, sizeof head);
    // A tag in front of the audio (FLAC and AAC files sometimes carry one) is looked past.
    const size_t tag = id3v2Size(head, got);
    if (tag > 0) got = in->readAt(tag, head, sizeof head);
    const Container c = sniffFileStart(head, got);
    if (c == Container::Unknown) return openMp3(std::move(in), error);
    return openFfmpegFile(std::move(in), c, error);
}

}  // namespace

std::unique_ptr<Decoder> openAudioFile(const std::string& path, uint64_t offset, uint64_t length,
                                       std::string* error) {
    auto in = openByteRange(path, offset, length, error);
    return in ? openBytes(std::move(in), error) : nullptr;
}

std::unique_ptr<Decoder> openAudioMemory(const void* data, uint64_t length, std::string* error) {
    auto in = copyBytes(data, length, error);
    return in ? openBytes(std::move(in), error) : nullptr;
}

}  // namespace velorixa::audio
