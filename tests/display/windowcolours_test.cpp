// The window's colours: the contrast measure itself and every text and thumb of the scheme on
// its ground.
#include <gtest/gtest.h>

#include <iostream>

#include "display/windowcolours.h"

namespace velorixa::display {
namespace {

TEST(Contrast, KnownRatios) {
    struct Case {
        Rgb a, b;
        double ratio;
    } cases[] = {
        {{0, 0, 0}, {255, 255, 255}, 21.0},
        {{255, 255, 255}, {0, 0, 0}, 21.0},  // either order
        {{128, 128, 128}, {128, 128, 128}, 1.0},
        {{118, 118, 118}, {255, 255, 255}, 4.54},  // the lightest grey that passes on white
        {{119, 119, 119}, {255, 255, 255}, 4.48},
        {{255, 0, 0}, {255, 255, 255}, 4.00},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01);
}

TEST(Contrast, EveryPairOfTheWindowsSchemeIsReadable) {
    const auto pairs = ContrastPairs(WindowScheme());
    ASSERT_GE(pairs.size(), 12u);
    for (const ContrastPair& p : pairs) {
        const double r = ContrastRatio(p.fg, p.bg);
        std::cout << "contrast " << p.what << ": " << r << ":1\n";
        EXPECT_GE(r, p.minimum) << p.what;
    }
}

}  // namespace
}  // namespace velorixa::display
