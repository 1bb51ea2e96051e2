#pragma once
// The spectrum analyser `SFFT`: turns the 256 FFT magnitudes of the playing channel into the two
// 8-bit palette pictures (eight bars, and a strip that scrolls one column per tick), a loudness
// and a colour for the circle, the two level values for the meters and the running `BeatLevel`.
// The pictures are plain byte buffers laid out as bottom-up 8-bit bitmaps (row 0 at the bottom,
// one byte per pixel, the value an index into the picture's palette); a window paints them.
//
// Thread contract: GUI thread only (it runs on the display timer). `DrawFft` asks the audio
// layer for the channel's latest output, which the audio thread publishes without waiting for
// anyone; the audio thread never sees this object.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velorixa::display {

// What the style sequencer reads: the sum of the eight band values of the latest tick (0..1016).
class BeatSource {
  public:
    virtual ~BeatSource() = default;
    virtual float BeatLevel() const = 0;
};

// One palette entry in the order a bitmap stores it.
struct RgbQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const RgbQuad&) const = default;
};
using Palette = std::array<RgbQuad, 256>;

// Colours as the window's colour values: red + 256 x green + 65536 x blue.
constexpr uint32_t ColourValue(int red, int green, int blue) {
    return static_cast<uint32_t>(red) + 256u * static_cast<uint32_t>(green) +
           65536u * static_cast<uint32_t>(blue);
}

// The outputs of one `DrawFft` tick.
struct FftTick {
    float LevL = 0;  // 0..64, halves kept
    float LevR = 0;
    int Loud = -1;        // -1: no new loudness this tick; else 0 or 101..600
    uint32_t Colour = 0;  // circle fill and border, set only when Loud is not -1
    uint32_t Dark = 0;
};

class SFFT : public BeatSource {
  public:
    static constexpr int kWidth1 = 128;      // bars picture
    static constexpr int kWidth2 = 256;      // strip picture
    static constexpr int kTopRow = 127;      // scan lines of both pictures, and the bar limit
    static constexpr int kLastColumn = 255;  // the strip's column that receives new data
    static constexpr int kBands = 8;
    static constexpr int kMagnitudes = 1025;  // the buffer the FFT request fills (256 used)
    static constexpr std::size_t kPlaceholder = 2;

    // `InitFft`: scheme 1 first, both buffers back to their placeholder size.
    void InitFft();
    // `SampleFftBase`: the title picture's colour (a colour value), base of scheme 1.
    void SampleFftBase(uint32_t colour) { FftBase_ = colour; }
    // `AllocFft`: both pictures to full size, all background; painting waits for a new stream.
    void AllocFft();
    // The play request's "the new stream runs": painting may go on.
    void SetFftReady(bool ready) { FftReady_ = ready; }
    bool FftReady() const { return FftReady_; }
    // What `PaintFft` checks before it paints: allocated buffers and a running stream.
    bool CanPaint() const { return BarBits_.size() > kPlaceholder && FftReady_; }

    // `DrawFft` on the playable channel: asks the audio layer for the spectrum and the levels.
    FftTick DrawFft(uint32_t chan);
    // The same from given magnitudes (m[0..255] are used) and a level word (left in the low
    // 16 bits, right in the high 16 bits, 0..128 each; 0xFFFFFFFF for a failed query).
    FftTick Analyse(const float* m, uint32_t levelWord);

    // `SwitchScheme`: through black to the other scheme.
    void SwitchScheme();
    void PaletteBase();
    void PaletteLight();
    int FftScheme() const { return FftScheme_; }

    float GetBeatLevel() const { return BeatLevel_; }
    float BeatLevel() const override { return BeatLevel_; }

    // The bitmaps: (127 + 1) rows of 128 or 256 bytes plus one, row 0 at the bottom.
    const std::vector<uint8_t>& BarBits() const { return BarBits_; }
    const std::vector<uint8_t>& FlowBits() const { return FlowBits_; }
    const Palette& BarPalette() const { return Palette1_; }
    const Palette& FlowPalette() const { return Palette2_; }
    // The band values v(1..8) of the latest tick (index 0 unused).
    const std::array<int, kBands + 1>& Bands() const { return v_; }

  private:
    void setEntry(int i, int red, int green, int blue);

    std::vector<uint8_t> BarBits_ = std::vector<uint8_t>(kPlaceholder);
    std::vector<uint8_t> FlowBits_ = std::vector<uint8_t>(kPlaceholder);
    Palette Palette1_{};
    Palette Palette2_{};
    std::array<float, kMagnitudes> m_{};
    std::array<int, kBands + 1> v_{};
    int FftScheme_ = 1;
    uint32_t FftBase_ = 0;
    bool FftReady_ = false;
    float BeatLevel_ = 0;
    int FrameCnt_ = 0;
    std::array<int, 3> SumHist_{};
    std::array<int32_t, 3> MomHist_{};
};

// Sizes of the two bitmaps' byte buffers.
constexpr std::size_t BarBitsSize() {
    return (SFFT::kTopRow + 1) * SFFT::kWidth1 + 1;
}
constexpr std::size_t FlowBitsSize() {
    return (SFFT::kTopRow + 1) * SFFT::kWidth2 + 1;
}

}  // namespace velorixa::display
