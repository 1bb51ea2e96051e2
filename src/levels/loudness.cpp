#include "levels/loudness.h"

#include <ebur128.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "audio/decode/decoder.h"
#include "util/fspath.h"

namespace velorixa::levels {

Loudness MeasureLoudness(const QString& path, const std::atomic<bool>* stop) {
    Loudness out;
    std::string why;
    const std::unique_ptr<audio::Decoder> dec =
        audio::openAudioFile(util::PathToBytes(path).toStdString(), 0, 0, &why);
    if (!dec) return out;
    const int channels = dec->channels();
    const int rate = dec->rateHz();
    if (channels < 1 || channels > 8 || rate < 8000 || rate > 384000) return out;
    const auto closer = [](ebur128_state* s) { ebur128_destroy(&s); };
    std::unique_ptr<ebur128_state, decltype(closer)> st(
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                     EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK),
        closer);
    if (!st) return out;
    // A mono file plays on both sides: it is heard as loud as the same signal in stereo.
    if (channels == 1) ebur128_set_channel(st.get(), 0, EBUR128_DUAL_MONO);
    constexpr int kFrames = 4096;
    std::vector<float> buf(static_cast<size_t>(kFrames) * channels);
    int64_t frames = 0;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) return out;
        audio::Decoder::Status status = audio::Decoder::Status::Ok;
        const int n = dec->read(buf.data(), kFrames, &status);
        if (n > 0) {
            if (ebur128_add_frames_float(st.get(), buf.data(), static_cast<size_t>(n)) !=
                EBUR128_SUCCESS)
                return out;
            frames += n;
        }
        if (status != audio::Decoder::Status::Ok) break;
        if (n <= 0) break;
    }
    if (frames == 0) return out;
    double lufs = 0;
    if (ebur128_loudness_global(st.get(), &lufs) != EBUR128_SUCCESS) return out;
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double p = 0;
        if (ebur128_sample_peak(st.get(), static_cast<unsigned>(c), &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    out.ok = true;
    out.lufs = lufs;
    out.peak = peak;
    out.seconds = static_cast<double>(frames) / rate;
    return out;
}

}  // namespace velorixa::levels
