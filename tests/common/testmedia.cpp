#include "common/testmedia.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>

namespace testmedia {

Pcm sine(double freqHz, double seconds, int rateHz, int channels, double amplitude) {
    auto whole = static_cast<size_t>(std::ceil(seconds));
    Pcm p = toneSteps(std::vector<double>(whole, freqHz), rateHz, channels, amplitude);
    p.samples.resize(static_cast<size_t>(seconds * rateHz) * channels);
    return p;
}

Pcm toneSteps(const std::vector<double>& freqsHz, int rateHz, int channels, double amplitude) {
    Pcm p{rateHz, channels, {}};
    p.samples.reserve(freqsHz.size() * rateHz * channels);
    double phase = 0;  // continuous phase across steps: no clicks at the joins
    for (double f : freqsHz) {
        for (int i = 0; i < rateHz; ++i) {
            auto v = static_cast<int16_t>(std::lround(32767.0 * amplitude * std::sin(phase)));
            for (int c = 0; c < channels; ++c)
                p.samples.push_back(v);
            phase += 2 * std::numbers::pi * f / rateHz;
            if (phase > 2 * std::numbers::pi) phase -= 2 * std::numbers::pi;
        }
    }
    return p;
}

std::vector<uint8_t> encodeMp3(const Pcm& pcm, const Mp3Options& opt) {
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, pcm.rateHz);
    lame_set_out_samplerate(gf, pcm.rateHz);
    lame_set_num_channels(gf, pcm.channels);
    lame_set_mode(gf, pcm.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(gf, opt.quality);
    if (opt.vbr) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_quality(gf, 4);
    } else {
        lame_set_brate(gf, opt.bitrateKbps);
    }
    lame_set_bWriteVbrTag(gf, 1);
    if (opt.selfContainedFrames) lame_set_disable_reservoir(gf, 1);
    if (opt.freeFormat) lame_set_free_format(gf, 1);
    std::vector<uint8_t> out;
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return out;
    }
    const int chunk = 8192;
    std::vector<uint8_t> buf(static_cast<size_t>(1.25 * chunk + 7200));
    size_t frames = pcm.frames();
    std::vector<int16_t> mono;
    for (size_t at = 0; at < frames; at += chunk) {
        int n = static_cast<int>(std::min<size_t>(chunk, frames - at));
        int got;
        if (pcm.channels == 1) {
            got = lame_encode_buffer(gf, pcm.samples.data() + at, pcm.samples.data() + at, n,
                                     buf.data(), static_cast<int>(buf.size()));
        } else {
            got =
                lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.samples.data() + at * 2),
                                               n, buf.data(), static_cast<int>(buf.size()));
        }
        if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    int got = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
    if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
    // The Xing/LAME header frame at the start carries the exact length (encoder delay and
    // padding), so decoders can report the true sample count.
    std::vector<uint8_t> tag(4096);
    size_t tagLen = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagLen > 0 && tagLen <= out.size()) std::copy_n(tag.begin(), tagLen, out.begin());
    lame_close(gf);
    return out;
}

std::vector<uint8_t> wavBytes(const Pcm& pcm) {
    std::vector<uint8_t> b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const auto data = static_cast<uint32_t>(pcm.samples.size() * 2);
    const auto rate = static_cast<uint32_t>(pcm.rateHz);
    const auto ch = static_cast<uint32_t>(pcm.channels);
    b.insert(b.end(), {'R', 'I', 'F', 'F'}), put(36 + data, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}), put(16, 4), put(1, 2);
    put(ch, 2), put(rate, 4), put(rate * ch * 2, 4), put(ch * 2, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'}), put(data, 4);
    for (int16_t v : pcm.samples)
        put(static_cast<uint16_t>(v), 2);
    return b;
}

std::vector<uint8_t> encodeWithTool(const Pcm& pcm, const std::string& format,
                                    const std::string& dir, const std::string& artist,
                                    const std::string& title) {
    const std::string in = dir + "/encode-in.wav";
    const std::string ext = format == "wav24" || format == "wav32" || format == "wavf" ? "wav"
                            : format == "oggflac"                                      ? "oga"
                                                                                       : format;
    const std::string out = dir + "/encode-out." + ext;
    if (!writeFile(in, wavBytes(pcm))) return {};
    std::remove(out.c_str());
    const std::string q = "'", io = q + in + q + " ";
    const std::string ff = "ffmpeg -nostdin -loglevel error -y -i " + io;
    std::string cmd;
    // flac takes more than two channels only in WAVE_FORMAT_EXTENSIBLE files: ffmpeg then.
    if (format == "flac") {
        cmd = pcm.channels > 2 ? ff + "-c:a flac " : "flac -s -f -o '" + out + "' " + io;
    }
    if (format == "ogg") {
        cmd = "oggenc -Q -q 2 -o '" + out + "' " + io;
        if (!artist.empty()) cmd += "-a '" + artist + "' ";
        if (!title.empty()) cmd += "-t '" + title + "' ";
    }
    if (format == "opus") {
        cmd = "opusenc --quiet ";
        if (!artist.empty()) cmd += "--artist '" + artist + "' ";
        if (!title.empty()) cmd += "--title '" + title + "' ";
        cmd += io + "'" + out + "'";
    }
    if (format == "m4a" || format == "mp4" || format == "aac") cmd = ff + "-c:a aac -b:a 128k ";
    if (format == "ts") cmd = ff + "-c:a aac -b:a 96k -f mpegts ";
    if (format == "wav24") cmd = ff + "-c:a pcm_s24le ";
    if (format == "wav32") cmd = ff + "-c:a pcm_s32le ";
    if (format == "wavf") cmd = ff + "-c:a pcm_f32le ";
    if (format == "aiff") cmd = ff;
    if (format == "oggflac") cmd = ff + "-c:a flac -f ogg ";
    if (cmd.empty()) return {};
    if (cmd.rfind("ffmpeg", 0) == 0) cmd += "'" + out + "'";
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0) return {};
    std::ifstream f(out, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

bool writeFile(const std::string& path, const std::string& text) {
    return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

double dominantFrequency(const float* x, size_t n, int rateHz, double loHz, double hiHz) {
    auto power = [&](double f) {
        double re = 0, im = 0, w = 2 * std::numbers::pi * f / rateHz;
        for (size_t i = 0; i < n; ++i) {
            re += x[i] * std::cos(w * i);
            im += x[i] * std::sin(w * i);
        }
        return re * re + im * im;
    };
    // Coarse search on a grid, then refine around the best point.
    double best = loHz, bestP = -1;
    double step = std::max(1.0, (hiHz - loHz) / 2000);
    for (double f = loHz; f <= hiHz; f += step) {
        double p = power(f);
        if (p > bestP) bestP = p, best = f;
    }
    for (double span = step; span > 0.01; span /= 4) {
        for (double f = best - span; f <= best + span; f += span / 4) {
            double p = power(f);
            if (p > bestP) bestP = p, best = f;
        }
    }
    return best;
}

double rms(const float* x, size_t n) {
    double s = 0;
    for (size_t i = 0; i < n; ++i)
        s += double(x[i]) * x[i];
    return n ? std::sqrt(s / n) : 0;
}

double peak(const float* x, size_t n) {
    double p = 0;
    for (size_t i = 0; i < n; ++i)
        p = std::max(p, std::fabs(double(x[i])));
    return p;
}

double toDb(double ratio) {
    return 20 * std::log10(std::max(ratio, 1e-12));
}

}  // namespace testmedia
