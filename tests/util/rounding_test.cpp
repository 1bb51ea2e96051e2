#include "util/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using velorixa::util::RoundHalfEven;
using velorixa::util::RoundHalfEvenClamped;

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    const struct {
        double in, out;
    } cases[] = {{0.5, 0},   {1.5, 2},  {2.5, 2},  {3.5, 4},   {-0.5, 0}, {-1.5, -2},
                 {-2.5, -2}, {2.49, 2}, {2.51, 3}, {12.5, 12}, {0.0, 0},  {1e15 + 0.5, 1e15}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0.0);
    EXPECT_EQ(RoundHalfEvenClamped(1e12, 1, 32767), 32767);
    EXPECT_EQ(RoundHalfEvenClamped(-7.5, 1, 32767), 1);
    EXPECT_EQ(RoundHalfEvenClamped(std::numeric_limits<double>::infinity(), 0, 9), 9);
    EXPECT_EQ(RoundHalfEvenClamped(std::nan(""), 3, 9), 3);
}
