#include "app/entr.h"

#include <gtest/gtest.h>

namespace velorixa {
namespace {

uint32_t version(uint32_t major, uint32_t minor) {
    return major | (minor << 16);
}

TEST(BassVersion, OnlyExactlyOneSixIsAccepted) {
    // 6.1: the words the other way round.
    for (auto [major, minor] : {std::pair{1u, 7u}, {2u, 0u}, {6u, 1u}, {1u, 60u}, {0u, 0u}})
        EXPECT_FALSE(BassVersionAccepted(version(major, minor))) << major << "." << minor;
    EXPECT_TRUE(BassVersionAccepted(version(1, 6)));
}

TEST(AppPath, GetsExactlyOneTrailingSlash) {
    EXPECT_EQ(AppPathFrom("/opt/velorixa"), "/opt/velorixa/");
    EXPECT_EQ(AppPathFrom("/opt/velorixa/"), "/opt/velorixa/");
    EXPECT_EQ(AppPathFrom("/"), "/");
}

TEST(MainLoop, WaitsEndAtTheFirstDueMillisecondOrAtAnEvent) {
    // Each pass waits for the next event or for the tick, whichever comes first. With events
    // every 7 ms the tick still fires at the first millisecond past the interval; without events
    // the loop wakes only for the ticks.
    for (int64_t eventEvery : {int64_t{7}, int64_t{0}}) {
        int64_t now = 0, last = 0, nextEvent = eventEvery;
        int timePerf = 101;
        int passes = 0;
        std::vector<int64_t> fired;
        while (now <= 700) {
            ++passes;
            if (const int64_t wait = PerforWaitMs(now, last, timePerf); wait > 0) {
                now += wait;
                if (eventEvery > 0 && nextEvent < now) now = nextEvent;
                if (now == nextEvent) nextEvent += eventEvery;
            }
            if (PerforDue(now, last, timePerf)) {
                fired.push_back(now);
                last = now;
            }
            if (fired.size() == 3) timePerf = 51;  // the rotation speed changed
        }
        ASSERT_GE(fired.size(), 6u);
        EXPECT_EQ(fired[0], 102);
        EXPECT_EQ(fired[1], 204);
        EXPECT_EQ(fired[2], 306);
        for (size_t i = 3; i < fired.size(); ++i)
            EXPECT_EQ(fired[i] - fired[i - 1], 52);
        if (eventEvery == 0) {
            EXPECT_EQ(passes, static_cast<int>(fired.size()));
        }
    }
    EXPECT_EQ(PerforWaitMs(1000 + 102, 1000, 101), 0);
    EXPECT_EQ(PerforWaitMs(1000 + 500, 1000, 101), 0);
}

}  // namespace
}  // namespace velorixa
