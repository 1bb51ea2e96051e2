#include "app/tabmove.h"

#include <gtest/gtest.h>

#include <vector>

using velorixa::app::TabMove;
using velorixa::app::TabPages;

TEST(TabMove, TabSweepsBackAndForthFromEveryStart) {
    // From page 0 the Tab key sweeps 0 1 2 3 2 1 0 1 2 ...
    TabPages pages;
    std::vector<int> seen{pages.Page()};
    for (int i = 0; i < 12; ++i)
        seen.push_back(pages.Move(0));
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0}));

    // Every reachable (page, previous page) state continues the sweep in its direction.
    EXPECT_EQ(TabMove(0, 0, 1), 1);
    EXPECT_EQ(TabMove(0, 1, 0), 2);
    EXPECT_EQ(TabMove(0, 1, 2), 0);
    EXPECT_EQ(TabMove(0, 1, 3), 0);
    EXPECT_EQ(TabMove(0, 2, 0), 3);
    EXPECT_EQ(TabMove(0, 2, 1), 3);
    EXPECT_EQ(TabMove(0, 2, 3), 1);
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
    TabPages pages;
    pages.Show(3);
    EXPECT_EQ(pages.Move(1), 2);
    EXPECT_EQ(pages.Move(1), 1);
    EXPECT_EQ(pages.Move(1), 2);
    // After Ctrl, Tab goes on by the page left last: from 2 coming from 1, on to 3.
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
