#include "app/tabmove.h"

#include <gtest/gtest.h>

using velorixa::app::TabMove;

TEST(TabMove, TabSweepsBackAndForthFromEveryStart) {
    // The sweep through the window's real keys is in the transport tests; these are the states
    // it does not pass through.
    EXPECT_EQ(TabMove(0, 1, 3), 0);
    EXPECT_EQ(TabMove(0, 2, 0), 3);
    for (int prev : {0, 1, 2})
        EXPECT_EQ(TabMove(0, 3, prev), 2);  // from 3 always to 2
}

TEST(TabMove, CtrlAlternatesBetweenThePerformancePages) {
    for (int prev = 0; prev < 4; ++prev) {
        EXPECT_EQ(TabMove(1, 0, prev), 1);
        EXPECT_EQ(TabMove(1, 1, prev), 2);
        EXPECT_EQ(TabMove(1, 2, prev), 1);
        EXPECT_EQ(TabMove(1, 3, prev), 2);
    }
}

TEST(TabMove, OddStatesStillMove) {
    // Tab always changes the page, whatever PrevTab holds.
    for (int page = 0; page < 4; ++page)
        for (int prev = -1; prev < 5; ++prev)
            EXPECT_NE(TabMove(0, page, prev), page);
    EXPECT_EQ(TabMove(0, 9, 0), 0);
}
