#include "audio/decode/net/icydemuxer.h"

#include <algorithm>
#include <cstring>

namespace velorixa::net {

IcyDemuxer::IcyDemuxer(size_t metaIntBytes) : metaInt_(metaIntBytes), audioLeft_(metaIntBytes) {
    // A metadata block is at most 255 * 16 bytes; reserving once keeps the feed path free of
    // reallocation.
    if (metaInt_ > 0) block_.reserve(255 * 16);
}

size_t IcyDemuxer::feed(const uint8_t* data, size_t n, uint8_t* audioOut) {
    if (metaInt_ == 0) {
        if (n > 0 && audioOut != data) std::memmove(audioOut, data, n);
        return n;
    }
    size_t in = 0;
    size_t out = 0;
    while (in < n) {
        switch (state_) {
            case State::Audio: {
                const size_t run = std::min(audioLeft_, n - in);
                // memmove: audioOut may alias data, with out <= in.
                if (out != in || audioOut != data) std::memmove(audioOut + out, data + in, run);
                in += run;
                out += run;
                audioLeft_ -= run;
                if (audioLeft_ == 0) state_ = State::Length;
                break;
            }
            case State::Length: {
                metaLeft_ = size_t{data[in]} * 16;
                ++in;
                block_.clear();
                if (metaLeft_ == 0) {
                    state_ = State::Audio;
                    audioLeft_ = metaInt_;
                } else {
                    state_ = State::Meta;
                }
                break;
            }
            case State::Meta: {
                const size_t run = std::min(metaLeft_, n - in);
                block_.append(reinterpret_cast<const char*>(data + in), run);
                in += run;
                metaLeft_ -= run;
                if (metaLeft_ == 0) {
                    finishBlock();
                    state_ = State::Audio;
                    audioLeft_ = metaInt_;
                }
                break;
            }
        }
    }
    return out;
}

void IcyDemuxer::finishBlock() {
    const size_t end = block_.find('\0');
    if (end != std::string::npos) block_.resize(end);
    if (block_.empty()) return;
    latest_ = block_;
    ++count_;
}

}  // namespace velorixa::net
