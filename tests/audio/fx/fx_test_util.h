#pragma once
// Signals, block drivers and measurements shared by the effect tests.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "audio/realtime/fx/effect.h"

namespace velorixa::fx::test {

inline constexpr double kRate = 44100.0;
inline constexpr double kTwoPi = 6.283185307179586;

using Buffer = std::vector<float>;  // interleaved stereo

inline Buffer sine(double freqHz, float amp, int frames, double rightPhase = 0.0) {
    Buffer b(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        b[2 * n] = amp * static_cast<float>(std::sin(kTwoPi * freqHz * n / kRate));
        b[2 * n + 1] = amp * static_cast<float>(std::sin(kTwoPi * freqHz * n / kRate + rightPhase));
    }
    return b;
}

inline Buffer noise(int frames, uint32_t seed, float amp = 0.5f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amp, amp);
    Buffer b(2 * static_cast<size_t>(frames));
    for (float& s : b)
        s = dist(rng);
    return b;
}

inline std::unique_ptr<Effect> makePrepared(int32_t type, int maxBlock = 4096) {
    auto fx = createEffect(type);
    if (fx) fx->prepare(kRate, maxBlock);
    return fx;
}

// Runs the whole buffer through the effect in blocks of blockFrames.
inline void runBlocks(Effect& fx, Buffer& b, int blockFrames) {
    const int frames = static_cast<int>(b.size() / 2);
    for (int pos = 0; pos < frames; pos += blockFrames)
        fx.process(b.data() + 2 * pos, std::min(blockFrames, frames - pos));
}

inline float channel(const Buffer& b, int frame, int ch) {
    return b[2 * static_cast<size_t>(frame) + ch];
}

// RMS of one channel over frames [from, to).
inline double rms(const Buffer& b, int ch, int from, int to) {
    double sum = 0.0;
    for (int n = from; n < to; ++n)
        sum += double(channel(b, n, ch)) * channel(b, n, ch);
    return std::sqrt(sum / (to - from));
}

inline bool allFinite(const Buffer& b) {
    for (float s : b)
        if (!std::isfinite(s)) return false;
    return true;
}

// Records are arrays of 32-bit words; these read and write one word as float or integer.
struct Record {
    uint32_t words[8] = {};
    void setFloat(int i, float v) { std::memcpy(&words[i], &v, 4); }
    void setInt(int i, int32_t v) { std::memcpy(&words[i], &v, 4); }
    float getFloat(int i) const {
        float v;
        std::memcpy(&v, &words[i], 4);
        return v;
    }
    int32_t getInt(int i) const {
        int32_t v;
        std::memcpy(&v, &words[i], 4);
        return v;
    }
};

struct Field {
    const char* name;
    int index;
    bool isInt;
    float lo, hi;
};

// The fields of each effect's record with their published ranges.
inline std::vector<Field> fieldsOf(int32_t type) {
    switch (type) {
        case kFxParamEq:
            return {{"centre", 0, false, 80, 16000},
                    {"bandwidth", 1, false, 1, 36},
                    {"gain", 2, false, -15, 15}};
        case kFxReverb:
            return {{"inGain", 0, false, -96, 0},
                    {"reverbMix", 1, false, -96, 0},
                    {"reverbTime", 2, false, 0.001f, 3000},
                    {"hfRatio", 3, false, 0.001f, 0.999f}};
        case kFxEcho:
            return {{"mix", 0, false, 0, 100},
                    {"feedback", 1, false, 0, 100},
                    {"leftDelay", 2, false, 1, 2000},
                    {"rightDelay", 3, false, 1, 2000},
                    {"panDelay", 4, true, 0, 1}};
        case kFxFlanger:
        case kFxChorus:
            return {{"mix", 0, false, 0, 100},
                    {"depth", 1, false, 0, 100},
                    {"feedback", 2, false, -99, 99},
                    {"frequency", 3, false, 0, 10},
                    {"waveform", 4, true, 0, 1},
                    {"delay", 5, false, 0, type == kFxFlanger ? 4.0f : 20.0f},
                    {"phase", 6, true, 0, 4}};
        default:
            return {};
    }
}

inline void setField(Record& r, const Field& f, float value) {
    if (f.isInt)
        r.setInt(f.index, static_cast<int32_t>(std::lround(value)));
    else
        r.setFloat(f.index, value);
}

// A record from the values of its fields, in record order.
inline Record recordOf(int32_t type, const std::vector<float>& values) {
    Record r;
    for (const Field& f : fieldsOf(type))
        setField(r, f, values.at(static_cast<size_t>(f.index)));
    return r;
}

// Records with every effect clearly audible.
inline Record audibleRecord(int32_t type) {
    switch (type) {
        case kFxParamEq:
            return recordOf(type, {1000, 12, 12});
        case kFxReverb:
            return recordOf(type, {0, -6, 1200, 0.5f});
        case kFxEcho:
            return recordOf(type, {50, 60, 120, 170, 1});
        default:  // flanger, chorus
            return recordOf(type, {50, 60, -60, 1.5f, 1, type == kFxFlanger ? 2.5f : 12.0f, 3});
    }
}

// A sine faded in over 50 ms, so that its own onset is no step.
inline Buffer fadedSine(double freqHz, int frames) {
    Buffer b = sine(freqHz, 0.5f, frames, 1.0);
    for (int n = 0; n < 2205 && n < frames; ++n) {
        const float g = 0.5f - 0.5f * static_cast<float>(std::cos(kTwoPi / 2 * n / 2205.0));
        b[2 * n] *= g;
        b[2 * n + 1] *= g;
    }
    return b;
}

inline constexpr int32_t kAllTypes[] = {kFxParamEq, kFxReverb, kFxEcho, kFxFlanger, kFxChorus};

inline const char* typeName(int32_t type) {
    return type == kFxParamEq   ? "eq"
           : type == kFxReverb  ? "reverb"
           : type == kFxEcho    ? "echo"
           : type == kFxFlanger ? "flanger"
                                : "chorus";
}

}  // namespace velorixa::fx::test
