#pragma once
// The geometry of the level meters and of the loudness circle, and the display timer's pause
// after a seek: the arithmetic behind `TimerTik`, free of any window.
//
// Pure functions; any thread.

#include <cstdint>

#include "util/rounding.h"

namespace velorixa::display {

// The display timer's step 1: at 11 ms or more the interval comes down by 10 ms and the tick
// does nothing else, so after a seek (50 ms) the display rests for four ticks.
struct TikStep {
    bool run = true;     // draw this tick
    int intervalMs = 0;  // the interval from now on
};
constexpr TikStep TimerTikStep(int intervalMs) {
    if (intervalMs >= 11) return {false, intervalMs - 10};
    return {true, intervalMs};
}

// Level meters: a 64-pixel range; the top of the bar in pixels from the top of its box. The
// right level is taken to a whole number first (it travels as a byte, halves to even); the left
// one keeps its half, which lights the pixel it falls in.
constexpr int kLevelRangePx = 64;
inline int LevelTopLeftPx(float levL) {
    int top = static_cast<int>(static_cast<float>(kLevelRangePx) - levL);
    return top < 0 ? 0 : (top > kLevelRangePx ? kLevelRangePx : top);
}
inline int LevelTopRightPx(float levR) {
    return kLevelRangePx - util::RoundHalfEvenClamped(levR, 0, kLevelRangePx);
}

// The circle for a loudness (in twips, 0 or 101..600): an odd number of pixels across so it
// stays centred, placed inside a picture of pictureWidthPx with a 2-pixel border.
struct Circle {
    int diameterPx = 1;
    int offsetPx = 0;  // left and top inside the picture's client area
};
inline Circle CircleFor(int loud, double twipX, int pictureWidthPx) {
    const int twip = util::RoundHalfEvenClamped(twipX, 1, 1 << 20);
    Circle c;
    c.diameterPx = 2 * ((loud > 0 ? loud / twip : 0) / 2) + 1;
    c.offsetPx = (pictureWidthPx - c.diameterPx) / 2 - 2;
    return c;
}

}  // namespace velorixa::display
