#include "app/tabmove.h"

#include <gtest/gtest.h>

using velorixa::app::TabMove;
using velorixa::app::TabPages;

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
    // After Ctrl, Tab goes on by the page left last: from 2 coming from 1, on to 3.
    TabPages pages;
    pages.Show(1);
    EXPECT_EQ(pages.Move(1), 2);
    EXPECT_EQ(pages.Move(0), 3);
}

TEST(TabMove, MouseChangesFeedThePreviousPageAndOddStatesStillMove) {
    TabPages pages;
    pages.Show(2);  // clicked from page 0
    EXPECT_EQ(pages.PrevTab(), 0);
    EXPECT_EQ(pages.Move(0), 3);
    pages.Show(3);  // showing the page in front changes nothing
    EXPECT_EQ(pages.PrevTab(), 2);
    pages.Show(7);  // no such page
    EXPECT_EQ(pages.Page(), 3);

    // Tab always changes the page, whatever PrevTab holds.
    for (int page = 0; page < 4; ++page)
        for (int prev = -1; prev < 5; ++prev)
            EXPECT_NE(TabMove(0, page, prev), page);
    EXPECT_EQ(TabMove(0, 9, 0), 0);
}
