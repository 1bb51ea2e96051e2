#pragma once
// The window's own colours. The player does not take its colours from the desktop: on a dark
// desktop theme the desktop's palette would give grey text on grey controls and thumbs that
// vanish in their troughs. These colours are the same on every desktop and in both display
// schemes (the scheme switch recolours only the spectrum pictures and the circle's ground), and
// every text colour is chosen against its ground for a contrast of at least 4.5:1.
//
// Thread contract: pure functions and constants; any thread.

#include <vector>

namespace velorixa::display {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Relative luminance of an sRGB colour, 0 (black) .. 1 (white), as the WCAG contrast measure
// defines it.
double RelativeLuminance(Rgb c);
// Contrast ratio of two colours, 1 (equal) .. 21 (black on white), in either order.
double ContrastRatio(Rgb a, Rgb b);

struct WindowColours {
    Rgb window{230, 230, 230};
    Rgb windowText{0, 0, 0};
    Rgb base{255, 255, 255};
    Rgb alternateBase{242, 242, 242};
    Rgb text{0, 0, 0};
    Rgb button{224, 224, 224};
    Rgb buttonText{0, 0, 0};
    Rgb highlight{30, 90, 168};
    Rgb highlightedText{255, 255, 255};
    Rgb toolTipBase{255, 255, 220};
    Rgb toolTipText{0, 0, 0};
    Rgb placeholderText{96, 96, 96};
    Rgb link{20, 60, 160};
    Rgb light{255, 255, 255};
    Rgb midlight{240, 240, 240};
    Rgb mid{160, 160, 160};
    // Also the text of a set file's name that no longer matches what plays (on base).
    Rgb dark{110, 110, 110};
    Rgb shadow{80, 80, 80};
    // Text of a control that is off (an empty performance key): lighter than live text, still
    // readable on every ground.
    Rgb disabledText{90, 90, 90};
    // Scroll bars: the thumb stands out of its trough.
    Rgb thumb{63, 95, 143};
    Rgb thumbPressed{35, 60, 100};
    Rgb thumbEdge{25, 40, 70};
    Rgb trough{212, 212, 212};
};

const WindowColours& WindowScheme();

// A colour on a ground that must be told apart from it by at least minimum:1.
struct ContrastPair {
    const char* what;
    Rgb fg, bg;
    double minimum;
};
// Every text colour of the scheme on each ground it is drawn on (minimum 4.5), and the scroll
// bars' thumbs on their troughs and on the window (minimum 3, as for the parts of a control).
std::vector<ContrastPair> ContrastPairs(const WindowColours& c);

}  // namespace velorixa::display
