#pragma once
// Entry function for the decoding of every format from memory, shared by the libFuzzer target
// and the regular test run. Input layout: one byte choosing the path, then the bytes.
//   even: a file from memory (the content sniffed, FFmpeg or libmpg123 behind), decoded a
//         little, seeked into its middle, decoded again;
//   odd:  a station's bytes cut by StreamDemux (ADTS, MPEG audio, Ogg or MPEG-TS by the byte's
//         next bits) in pieces of the sizes the byte steers, each packet decoded.
// Returns an empty string when every property held, else a short description of the first
// broken one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/decode/decoder.h"
#include "audio/decode/ffdecode.h"
#include "audio/decode/streamdemux.h"

namespace velorixa::fuzz {

inline std::string fuzzDecodeOne(const uint8_t* data, size_t size) {
    using audio::Decoder;
    if (size < 1) return {};
    const uint8_t mode = data[0];
    ++data, --size;
    if (mode % 2 == 0) {
        std::string why;
        auto dec = audio::openAudioMemory(data, size, &why);
        if (!dec) return why.empty() ? "refused without a reason" : std::string();
        if (dec->rateHz() <= 0 || dec->channels() < 1 || dec->channels() > 2) return "bad format";
        std::vector<float> buf(2048 * 2);
        auto readSome = [&](int calls) -> std::string {
            for (int i = 0; i < calls; ++i) {
                Decoder::Status st = Decoder::Status::Ok;
                const int n = dec->read(buf.data(), 2048, &st);
                if (n < 0 || n > 2048) return "read out of range";
                if (st == Decoder::Status::Starved) return "a file starved";
                if (st == Decoder::Status::End) break;
            }
            return {};
        };
        if (auto broken = readSome(64); !broken.empty()) return broken;
        if (dec->lengthFrames() > 0) dec->seek(dec->lengthFrames() / 2);
        return readSome(16);
    }
    static const audio::Container kinds[] = {audio::Container::Adts, audio::Container::Mp3,
                                             audio::Container::Ogg, audio::Container::MpegTs};
    audio::StreamDemux demux(kinds[(mode >> 1) & 3]);
    audio::PacketDecoder decoder;
    uint32_t generation = 0;
    bool open = false;
    std::vector<float> out;
    const size_t piece = 1 + (mode >> 3) * 37;
    for (size_t at = 0; at < size; at += piece) {
        demux.push(data + at, std::min(piece, size - at));
        const uint8_t* p = nullptr;
        size_t n = 0;
        while (demux.next(&p, &n)) {
            if (n == 0) return "an empty packet";
            if (demux.format().generation != generation) {
                generation = demux.format().generation;
                open = decoder.open(demux.format(), nullptr);
            }
            out.clear();
            if (open) decoder.decode(p, n, &out);
            if (decoder.channels() > 2) return "more than two channels out";
        }
    }
    return {};
}

}  // namespace velorixa::fuzz
