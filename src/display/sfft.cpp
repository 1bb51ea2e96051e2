#include "display/sfft.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "audio/audiolib.h"
#include "util/rounding.h"

namespace velorixa::display {

void SFFT::InitFft() {
    FftScheme_ = 1;
    Palette1_ = {};
    Palette2_ = {};
    PaletteBase();
    BarBits_.assign(kPlaceholder, 0);
    FlowBits_.assign(kPlaceholder, 0);
}

void SFFT::AllocFft() {
    FftReady_ = false;
    BarBits_.assign(BarBitsSize(), 0);
    FlowBits_.assign(FlowBitsSize(), 0);
}

FftTick SFFT::DrawFft(uint32_t chan) {
    // A failed request leaves the buffer zero: it analyses as silence.
    m_.fill(0.0f);
    BASS_ChannelGetData(chan, m_.data(), BASS_DATA_FFT512);
    return Analyse(m_.data(), BASS_ChannelGetLevel(chan));
}

FftTick SFFT::Analyse(const float* m, uint32_t levelWord) {
    // The bands double in width: bins 0, 1-2, 3-6, ... 127-254.
    BeatLevel_ = 0;
    int w = 1, k = 0;
    for (int b = 1; b <= kBands; ++b) {
        int64_t s = 0;
        for (int i = 0; i < w; ++i, ++k)
            s += util::RoundHalfEvenClamped(static_cast<double>(m[k]) * 127.0, INT_MIN, INT_MAX);
        v_[b] = static_cast<int>(std::clamp<int64_t>(s, 0, kTopRow));
        w *= 2;
        BeatLevel_ += static_cast<float>(v_[b]);
    }

    // Bars: 13 columns per band and a 3-column gap; the colour index grows with the height. A
    // full bar reaches row 127, the spare row above the 127 that are painted.
    if (BarBits_.size() != BarBitsSize()) BarBits_.resize(BarBitsSize());
    std::fill(BarBits_.begin(), BarBits_.end(), uint8_t{0});
    for (int b = 1, c = 0; b <= kBands; ++b, c += 16) {
        for (int y = 0; y <= v_[b]; ++y) {
            std::memset(&BarBits_[static_cast<size_t>(y) * kWidth1 + c], y + 1, 13);
        }
    }

    // Strip: one move scrolls the whole picture a pixel to the left (row r's first byte becomes
    // row r - 1's last, which the new column overwrites), then the new column at the right.
    if (FlowBits_.size() != FlowBitsSize()) FlowBits_.assign(FlowBitsSize(), 0);
    std::memmove(FlowBits_.data(), FlowBits_.data() + 1, static_cast<size_t>(kTopRow) * kWidth2);
    for (int b = 1, r = 0; b <= kBands; ++b, r += 16) {
        SumHist_[0] += v_[b];
        MomHist_[0] += b * v_[b];
        FlowBits_[static_cast<size_t>(r + 1) * kWidth2 + kLastColumn] = 0;
        for (int row = r + 2; row <= r + 14; ++row)
            FlowBits_[static_cast<size_t>(row) * kWidth2 + kLastColumn] =
                static_cast<uint8_t>(v_[b]);
    }

    FftTick out;
    // Loudness and colour every second tick, from the last three ticks' band sums.
    if (++FrameCnt_ == 2) {
        const int T = SumHist_[0] + SumHist_[1] + SumHist_[2];
        const int64_t C = int64_t{MomHist_[0]} + MomHist_[1] + MomHist_[2];
        int loud = T / 3;
        if (loud > 0) {
            loud = std::min(loud, 500);
            loud = static_cast<int>(util::RoundHalfEven(std::sqrt(loud / 500.0) * 500.0 + 100.0));
        }
        out.Loud = loud;
        // C / T is the mean band number (1..8): the brighter the sound, the higher the entry.
        int Y = T > 0 ? static_cast<int>(std::clamp<int64_t>(C * 16 / T - 1, 0, kTopRow)) : 0;
        const RgbQuad& q = Palette1_[static_cast<size_t>(Y)];
        out.Colour = ColourValue(q.red, q.green, q.blue);
        out.Dark = 7 * ColourValue(q.red / 8, q.green / 8, q.blue / 8);
        FrameCnt_ = 0;
    }
    SumHist_ = {0, SumHist_[0], SumHist_[1]};
    MomHist_ = {0, MomHist_[0], MomHist_[1]};

    if (levelWord != 0xFFFFFFFFu) {
        out.LevL = static_cast<float>(levelWord & 0xFFFF) / 2.0f;
        out.LevR = static_cast<float>(levelWord >> 16) / 2.0f;
    }
    return out;
}

void SFFT::setEntry(int i, int red, int green, int blue) {
    Palette1_[static_cast<size_t>(i)] = RgbQuad{
        static_cast<uint8_t>(blue), static_cast<uint8_t>(green), static_cast<uint8_t>(red), 0};
}

void SFFT::PaletteBase() {
    FftScheme_ = 1;
    int B = static_cast<int>(FftBase_ / 65536);
    int G = static_cast<int>((FftBase_ - 65536u * static_cast<uint32_t>(B)) / 256);
    int R = static_cast<int>(FftBase_ % 256);
    // A dark or strongly coloured title gives a grey scheme: the ramp below needs room to darken.
    if (R < 127 || G < 127 || B < 127) R = G = B = 192;
    for (int i = 0; i <= 127; ++i)
        setEntry(i, R - i, G - i, B - i);
    std::copy_n(Palette1_.begin(), 128, Palette2_.begin());
}

void SFFT::PaletteLight() {
    FftScheme_ = 2;
    for (int i = 0; i <= 63; ++i) {
        setEntry(i, 3 * i + 63, i, 190 - i);
        setEntry(i + 64, 255, 3 * i + 63, 127 - i);
    }
    setEntry(0, 159, 199, 255);
    std::copy_n(Palette1_.begin(), 128, Palette2_.begin());
}

void SFFT::SwitchScheme() {
    std::fill_n(Palette1_.begin(), 128, RgbQuad{});
    std::fill_n(Palette2_.begin(), 128, RgbQuad{});
    if (FftScheme_ == 1) {
        PaletteLight();
    } else {
        PaletteBase();
    }
}

}  // namespace velorixa::display
