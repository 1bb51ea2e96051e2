#include "app/entr.h"

#include <gtest/gtest.h>

namespace velorixa {
namespace {

uint32_t version(uint32_t major, uint32_t minor) {
    return major | (minor << 16);
}

TEST(BassVersion, OnlyExactlyOneSixIsAccepted) {
    EXPECT_TRUE(BassVersionAccepted(version(1, 6)));
    EXPECT_FALSE(BassVersionAccepted(version(1, 7)));
    EXPECT_FALSE(BassVersionAccepted(version(2, 0)));
    EXPECT_FALSE(BassVersionAccepted(version(6, 1)));  // the words the other way round
    EXPECT_FALSE(BassVersionAccepted(version(1, 60)));
    EXPECT_FALSE(BassVersionAccepted(0));
}

TEST(AppPath, GetsExactlyOneTrailingSlash) {
    EXPECT_EQ(AppPathFrom("/opt/velorixa"), "/opt/velorixa/");
    EXPECT_EQ(AppPathFrom("/opt/velorixa/"), "/opt/velorixa/");
    EXPECT_EQ(AppPathFrom("/"), "/");
}

TEST(MainLoop, WaveTickFiresOnlyStrictlyPastTheInterval) {
    // With TimePerf 101 the tick is due from 102 ms after the last firing on.
    EXPECT_FALSE(PerforDue(1000 + 100, 1000, 101));
    EXPECT_FALSE(PerforDue(1000 + 101, 1000, 101));
    EXPECT_TRUE(PerforDue(1000 + 102, 1000, 101));
    // A shorter interval set in between applies at the very next comparison.
    EXPECT_TRUE(PerforDue(1000 + 52, 1000, 51));
}

TEST(MainLoop, SimulatedPassesFireAtTheRightTicks) {
    // Passes every 6 ms (the sleep at 101) starting at tick 0: firings at the first pass whose
    // tick exceeds the previous firing by more than 101.
    int64_t last = 0;
    std::vector<int64_t> fired;
    int timePerf = 101;
    for (int64_t now = 0; now <= 700; now += LoopSleepMs(timePerf)) {
        if (PerforDue(now, last, timePerf)) {
            fired.push_back(now);
            last = now;
        }
        if (now == 300) timePerf = 51;  // the rotation speed changed
    }
    ASSERT_GE(fired.size(), 3u);
    EXPECT_EQ(fired[0], 102);
    EXPECT_EQ(fired[1], 204);
    // After the change the firings come at least 52 ms apart and at most 52 + one pass.
    for (size_t i = 3; i < fired.size(); ++i) {
        EXPECT_GT(fired[i] - fired[i - 1], 51);
        EXPECT_LE(fired[i] - fired[i - 1], 52 + LoopSleepMs(51));
    }
}

}  // namespace
}  // namespace velorixa
