#include "display/windowcolours.h"

#include <algorithm>
#include <cmath>

namespace velorixa::display {

namespace {
double linear(int channel) {
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
}  // namespace

double RelativeLuminance(Rgb c) {
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double ContrastRatio(Rgb a, Rgb b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const WindowColours& WindowScheme() {
    static const WindowColours scheme;
    return scheme;
}

std::vector<ContrastPair> ContrastPairs(const WindowColours& c) {
    constexpr double kText = 4.5, kPart = 3.0;
    return {
        {"window text on window", c.windowText, c.window, kText},
        {"button text on button", c.buttonText, c.button, kText},
        {"text on base", c.text, c.base, kText},
        {"text on alternate base", c.text, c.alternateBase, kText},
        {"selected text on highlight", c.highlightedText, c.highlight, kText},
        {"tool tip text", c.toolTipText, c.toolTipBase, kText},
        {"placeholder text on base", c.placeholderText, c.base, kText},
        {"link on window", c.link, c.window, kText},
        {"stale set name (dark) on base", c.dark, c.base, kText},
        {"disabled text on window", c.disabledText, c.window, kText},
        {"disabled text on button", c.disabledText, c.button, kText},
        {"disabled text on base", c.disabledText, c.base, kText},
        {"thumb on trough", c.thumb, c.trough, kPart},
        {"pressed thumb on trough", c.thumbPressed, c.trough, kPart},
        {"thumb on window", c.thumb, c.window, kPart},
    };
}

}  // namespace velorixa::display
