#pragma once
// The window's controls have fixed places, given in twips at 15 twips per pixel.

namespace velorixa {

constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}

// Twips per screen pixel for a logical DPI (1440 twips to the inch): 15 at 96 DPI.
constexpr double twipsPerPixel(double logicalDpi) {
    return logicalDpi > 0 ? 1440.0 / logicalDpi : 15.0;
}

}  // namespace velorixa
