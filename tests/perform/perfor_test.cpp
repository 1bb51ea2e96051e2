// The wave every rotating knob follows.
#include "perform/perfor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velorixa::perform {
namespace {

TEST(PERFOR, ShapesAndDirections) {
    PERFOR p;
    struct Case {
        double sinVal;
        int typ, dir;
        float expected;
    } cases[] = {
        {-0.0625, 2, 1, -0.5f},    // "Jump" flattens towards a square
        {0.5, 3, 1, 0.0625f},      // "Beat" sharpens into peaks
        {0.5, 3, 2, -0.0625f},     // against the wave
        {-0.0625, 1, 2, 0.0625f},  // plain slow sine, negated
        {0.0, 2, 1, 0.0f},         // zero keeps its place
    };
    for (const Case& c : cases) {
        p.SinVal = c.sinVal;
        p.SinNeg = static_cast<float>(-c.sinVal);
        float v = 7.0f;
        p.GetNext(c.typ, c.dir, v);
        EXPECT_NEAR(v, c.expected, 1e-6) << c.sinVal << " type " << c.typ << " dir " << c.dir;
    }
    // Type 0 reads the fast cosine; an unknown direction leaves the value alone.
    p.InitPerfor();
    float v = 0.3f;
    p.GetNext(0, 1, v);
    EXPECT_FLOAT_EQ(v, 1.0f);
    p.GetNext(0, 2, v);
    EXPECT_FLOAT_EQ(v, -1.0f);
    p.GetNext(1, 3, v);
    EXPECT_FLOAT_EQ(v, -1.0f);
}

// The number of ticks after which a wave repeats exactly (the first repeat of tick 1's values).
TEST(PERFOR, SlowPeriodIs64TicksAndFastIs32) {
    PERFOR p;
    p.InitPerfor();
    std::vector<double> sinv, cosv;
    for (int t = 0; t < 64 * 3; ++t) {
        p.MovNext();
        sinv.push_back(p.SinVal);
        cosv.push_back(p.CosVal);
    }
    auto period = [](const std::vector<double>& v) {
        for (size_t n = 1; n < v.size() / 2; ++n) {
            bool same = true;
            for (size_t i = 0; i + n < v.size() && same; ++i)
                same = v[i] == v[i + n];
            if (same) return static_cast<int>(n);
        }
        return -1;
    };
    EXPECT_EQ(period(sinv), 64);
    EXPECT_EQ(period(cosv), 32);
    // One full turn: the slow sine changes sign twice per period.
    int crossings = 0;
    for (int i = 1; i <= 64; ++i)
        crossings += (sinv[i] > 0) != (sinv[i - 1] > 0);
    EXPECT_EQ(crossings, 2);
    // A reset starts both waves again from phase 0.
    p.InitPerfor();
    EXPECT_EQ(p.Wave1, 0.0f);
    EXPECT_EQ(p.SinVal, 0.0);
    EXPECT_EQ(p.CosVal, 1.0);
}

}  // namespace
}  // namespace velorixa::perform
