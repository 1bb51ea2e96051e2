// The analyser against hand-computed pictures, loudness, colours and palettes.
#include "display/sfft.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "display/monitor.h"

namespace velorixa::display {
namespace {

using Mags = std::array<float, SFFT::kMagnitudes>;

uint8_t barPixel(const SFFT& s, int row, int column) {
    return s.BarBits()[static_cast<size_t>(row) * SFFT::kWidth1 + column];
}
uint8_t flowPixel(const SFFT& s, int row, int column) {
    return s.FlowBits()[static_cast<size_t>(row) * SFFT::kWidth2 + column];
}

// A started display: grey scheme (from a dark title), buffers allocated.
SFFT started() {
    SFFT s;
    s.SampleFftBase(ColourValue(0, 0, 64));
    s.InitFft();
    s.AllocFft();
    return s;
}

TEST(Sfft, AQuietTickScrollsTheStripAndClearsTheBeat) {
    SFFT s = started();
    Mags loud{};
    loud.fill(0.5f);
    s.Analyse(loud.data(), 0);
    const Mags quiet{};
    s.Analyse(quiet.data(), 0);
    EXPECT_EQ(flowPixel(s, 2, 255), 0);
    EXPECT_EQ(flowPixel(s, 2, 254), 64) << "the loud column moved one to the left";
    EXPECT_EQ(s.GetBeatLevel(), 0.0f);
}

TEST(Sfft, KnownMagnitudesGiveTheirBarsAndStripColumn) {
    SFFT s = started();
    Mags m{};
    m[0] = 2.4f / 127;
    // Halves go to the even neighbour: 190.5 -> 190 and -63.5 -> -64, together 126 (rounding
    // halves up would give 127, the clip).
    m[1] = 1.5f;
    m[2] = -0.5f;
    for (int k = 7; k <= 14; ++k)
        m[k] = 1.0f / 127;  // 8 bins of 1
    m[15] = 0.3f;           // 38.1 -> 38
    m[3] = 0.5f;            // band 3 summed: 64 + 64 + 64, clipped
    m[4] = 0.5f;
    m[5] = 0.5f;
    m[200] = 0.004f;  // 0.508 -> 1 in band 8
    s.Analyse(m.data(), 0);
    const int expected[9] = {0, 2, 126, 127, 8, 38, 0, 0, 1};
    for (int b = 1; b <= 8; ++b)
        EXPECT_EQ(s.Bands()[b], expected[b]) << "band " << b;
    EXPECT_EQ(s.GetBeatLevel(), 2 + 126 + 127 + 8 + 38 + 1);
    for (int b = 1; b <= 8; ++b) {
        const int v = expected[b];
        const int first = 16 * (b - 1);
        for (int c : {first, first + 12}) {
            EXPECT_EQ(barPixel(s, 0, c), 1) << "band " << b;
            EXPECT_EQ(barPixel(s, v, c), v + 1) << "band " << b << " top";
            if (v < 127) {
                EXPECT_EQ(barPixel(s, v + 1, c), 0) << "band " << b << " above";
            }
        }
        // The strip: a background row, 13 rows of v, two background rows.
        const int r = 16 * (b - 1);
        EXPECT_EQ(flowPixel(s, r + 1, 255), 0) << "band " << b;
        for (int row = r + 2; row <= r + 14; ++row)
            EXPECT_EQ(flowPixel(s, row, 255), v) << "band " << b << " row " << row;
    }
    // The clipped bar fills all 127 painted rows with the rising ramp.
    for (int row = 0; row < SFFT::kTopRow; ++row)
        EXPECT_EQ(barPixel(s, row, 40), row + 1);
}

TEST(Sfft, LoudnessOnlyEverySecondTickWithTheSquareRootLaw) {
    // Band sums per tick, and the loudness each tick reports.
    struct Case {
        const char* what;
        std::vector<int> band1PerTick;  // all energy in band 1 (one bin: v = 127 m)
        std::vector<int> loud;
    };
    const Case cases[] = {
        {"every second tick", {127, 127, 127, 127, 127, 127}, {-1, 305, -1, 352, -1, 352}},
        {"the smallest loudness", {3, 0}, {-1, 122}},
        {"below one on average", {2, 0}, {-1, 0}},
    };
    for (const Case& c : cases) {
        SFFT s = started();
        for (size_t i = 0; i < c.band1PerTick.size(); ++i) {
            Mags m{};
            m[0] = static_cast<float>(c.band1PerTick[i]) / 127.0f;
            EXPECT_EQ(s.Analyse(m.data(), 0).Loud, c.loud[i]) << c.what << ", tick " << i + 1;
        }
    }
    // Full scale in every band: 1016 a tick, far over the limit of 500.
    SFFT s = started();
    Mags full{};
    full.fill(1.0f);
    s.Analyse(full.data(), 0);
    EXPECT_EQ(s.Analyse(full.data(), 0).Loud, 600);
}

TEST(Sfft, TheColourFollowsTheMeanBand) {
    struct Case {
        int bin;  // the one bin that carries the energy
        int entry;
    };
    // Band 1 only: mean band 1, entry 15; band 8 only: entry 127; band 4: 63; silence: 0.
    const Case cases[] = {{0, 15}, {200, 127}, {10, 63}, {-1, 0}};
    for (const Case& c : cases) {
        SFFT s = started();
        Mags m{};
        if (c.bin >= 0) m[static_cast<size_t>(c.bin)] = 0.5f;
        s.Analyse(m.data(), 0);
        FftTick t = s.Analyse(m.data(), 0);
        const int grey = 192 - c.entry;
        EXPECT_EQ(t.Colour, ColourValue(grey, grey, grey)) << "bin " << c.bin;
        EXPECT_EQ(t.Dark, 7 * ColourValue(grey / 8, grey / 8, grey / 8)) << "bin " << c.bin;
    }
}

TEST(Sfft, LevelsAreHalvedAndAFailedQueryGivesZero) {
    struct Case {
        uint32_t word;
        float left, right;
    };
    const Case cases[] = {{0xFFFFFFFFu, 0, 0}, {21u | (100u << 16), 10.5f, 50}};
    for (const Case& c : cases) {
        SFFT s = started();
        Mags m{};
        FftTick t = s.Analyse(m.data(), c.word);
        EXPECT_EQ(t.LevL, c.left) << std::hex << c.word;
        EXPECT_EQ(t.LevR, c.right) << std::hex << c.word;
    }
}

TEST(Sfft, SchemeOneTakesTheTitleColourOrFallsBackToGrey) {
    struct Case {
        int r, g, b;     // the title colour
        int r0, g0, b0;  // entry 0 of the palette
    };
    const Case cases[] = {
        {200, 100, 250, 192, 192, 192},  // green below 127
        {200, 180, 150, 200, 180, 150},
        {127, 127, 127, 127, 127, 127},
    };
    for (const Case& c : cases) {
        SFFT s;
        s.SampleFftBase(ColourValue(c.r, c.g, c.b));
        s.InitFft();
        EXPECT_EQ(s.FftScheme(), 1);
        const RgbQuad& e0 = s.BarPalette()[0];
        EXPECT_EQ(e0, (RgbQuad{static_cast<uint8_t>(c.b0), static_cast<uint8_t>(c.g0),
                               static_cast<uint8_t>(c.r0), 0}))
            << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(s.BarPalette()[128], RgbQuad{}) << "entries above 127 stay black";
    }
}

TEST(Sfft, SwitchSchemeGoesToTheLightRampAndTwoCallsRestoreThePalette) {
    SFFT s = started();
    const Palette first = s.BarPalette();
    s.SwitchScheme();
    EXPECT_EQ(s.FftScheme(), 2);
    EXPECT_EQ(s.BarPalette()[64], (RgbQuad{127, 63, 255, 0})) << "pink";
    EXPECT_EQ(s.FlowPalette(), s.BarPalette());
    s.SwitchScheme();
    EXPECT_EQ(s.BarPalette(), first);
    EXPECT_EQ(s.FlowPalette(), first);
}

TEST(Sfft, PaintingWaitsForAllocatedBuffersAndARunningStream) {
    SFFT s;
    s.InitFft();
    EXPECT_EQ(s.BarBits().size(), SFFT::kPlaceholder);
    s.SetFftReady(true);
    EXPECT_FALSE(s.CanPaint()) << "placeholder buffers";
    s.AllocFft();
    EXPECT_FALSE(s.CanPaint()) << "a new request waits for its stream";
    s.SetFftReady(true);
    EXPECT_TRUE(s.CanPaint());
    // A tick on placeholder buffers (no request came first) still draws a whole picture.
    SFFT raw;
    raw.InitFft();
    Mags m{};
    m[0] = 1;
    raw.Analyse(m.data(), 0);
    EXPECT_EQ(raw.BarBits().size(), BarBitsSize());
    EXPECT_EQ(raw.FlowBits()[2 * SFFT::kWidth2 + 255], 127);
}

TEST(Monitor, CircleIsOddAndCentredLevelsRoundAsTheyTravel) {
    struct Case {
        int loud;
        double twipX;
        int diameter, offset;
    };
    const Case cases[] = {
        // (Loud and silent sound through the window: the display tests.)
        {122, 15, 9, 22},  // 8 pixels -> 9
        {600, 12, 51, 1},  // a 120 DPI screen
    };
    for (const Case& c : cases) {
        Circle r = CircleFor(c.loud, c.twipX, 57);
        EXPECT_EQ(r.diameterPx, c.diameter) << c.loud << " at " << c.twipX;
        EXPECT_EQ(r.offsetPx, c.offset) << c.loud << " at " << c.twipX;
    }
    struct Level {
        float level;
        int left, right;
    };
    const Level levels[] = {{10.5f, 53, 54}, {11.5f, 52, 52}, {64, 0, 0}, {0, 64, 64}};
    for (const Level& l : levels) {
        EXPECT_EQ(LevelTopLeftPx(l.level), l.left) << l.level;
        EXPECT_EQ(LevelTopRightPx(l.level), l.right) << l.level;
    }
}

}  // namespace
}  // namespace velorixa::display
