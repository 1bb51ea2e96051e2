#include "playlist/playlistmodel.h"

#include <gtest/gtest.h>

#include "listhelpers.h"

using listtest::Make;
using listtest::Show;
using velorixa::playlist::CopyList;
using velorixa::playlist::CursorMove;
using velorixa::playlist::MoveSelect;
using velorixa::playlist::PlaylistModel;
using velorixa::playlist::RemoveSelected;

TEST(PlaylistModel, SelectionFollowsInsertAndRemoveAndLimitHolds) {
    PlaylistModel m = Make("a *b c");
    EXPECT_TRUE(m.insert(0, "z"));
    EXPECT_EQ(Show(m), "z a *b c");
    m.removeAt(1);
    EXPECT_EQ(Show(m), "z *b c");
    EXPECT_EQ(m.firstSelected(), 1);
    EXPECT_FALSE(m.insert(5, "out of range"));
    m.setSelected(-1, true);  // ignored, no crash
    m.setSelected(3, true);
    EXPECT_EQ(m.selectedCount(), 1);

    PlaylistModel big;
    for (int i = 0; i < PlaylistModel::kMaxLines; ++i)
        ASSERT_TRUE(big.append(QString::number(i)));
    EXPECT_TRUE(big.isFull());
    EXPECT_FALSE(big.append("one too many"));
    EXPECT_FALSE(big.insert(0, "one too many"));
    EXPECT_EQ(big.count(), PlaylistModel::kMaxLines);
}

TEST(PlaylistModel, CopyListKeepsLinesAndSelection) {
    PlaylistModel src = Make("*l0 l1 l2 l3 *l4");
    PlaylistModel dst = Make("old *stuff");
    CopyList(src, dst);
    EXPECT_EQ(Show(dst), "*l0 l1 l2 l3 *l4");
    CopyList(PlaylistModel(), dst);
    EXPECT_TRUE(dst.isEmpty());
    CopyList(src, src);  // copying onto itself leaves it whole
    EXPECT_EQ(Show(src), "*l0 l1 l2 l3 *l4");
}

TEST(RemoveSelected, KeepsUnselectedInOrderAndRefusesToEmpty) {
    PlaylistModel m = Make("a *b c *d e");
    m.setCurrentRow(3);
    EXPECT_TRUE(RemoveSelected(m));
    EXPECT_EQ(Show(m), "a c e");
    EXPECT_EQ(m.currentRow(), -1);  // shown from the top

    PlaylistModel all = Make("*a *b");
    EXPECT_FALSE(RemoveSelected(all));
    EXPECT_EQ(Show(all), "*a *b");

    PlaylistModel none = Make("a b");
    none.setCurrentRow(1);
    EXPECT_TRUE(RemoveSelected(none));  // rebuilt unchanged, from the top
    EXPECT_EQ(Show(none), "a b");
    EXPECT_EQ(none.currentRow(), -1);

    // Duplicate texts are separate lines: only the selected one goes.
    PlaylistModel dup = Make("x *x x");
    RemoveSelected(dup);
    EXPECT_EQ(Show(dup), "x x");
}

TEST(MoveSelect, EachDirectionFromTheMiddle) {
    // Lines 2, 3 and 6 selected: 6 is dropped from the block, which moves as one; the current
    // line is the block's top after a move up, its bottom after a move down.
    const QString start = "l0 l1 *l2 *l3 l4 l5 *l6 l7";
    struct Case {
        int index;
        const char* expected;
        int current;
    } cases[] = {
        {1, "*l2 *l3 l0 l1 l4 l5 l6 l7", 0},
        {2, "l0 l1 l4 l5 l6 l7 *l2 *l3", 7},
        {3, "l0 *l2 *l3 l1 l4 l5 l6 l7", 1},
        {4, "l0 l1 l4 *l2 *l3 l5 l6 l7", 4},
    };
    for (const Case& c : cases) {
        PlaylistModel m = Make(start);
        EXPECT_TRUE(MoveSelect(m, c.index)) << c.index;
        EXPECT_EQ(Show(m), c.expected) << c.index;
        EXPECT_EQ(m.currentRow(), c.current) << c.index;
    }
}

TEST(MoveSelect, BlockAtAnEdgeMovesOnlyAwayFromIt) {
    for (int index : {1, 3}) {
        PlaylistModel top = Make("*a *b c d *e");
        EXPECT_FALSE(MoveSelect(top, index));
        EXPECT_EQ(Show(top), "*a *b c d e");  // still cut to one block
        EXPECT_EQ(top.currentRow(), 0);
    }
    PlaylistModel top = Make("*a *b c d");
    EXPECT_TRUE(MoveSelect(top, 2));
    EXPECT_EQ(Show(top), "c d *a *b");
    for (int index : {2, 4}) {
        PlaylistModel bottom = Make("a b *c *d");
        EXPECT_FALSE(MoveSelect(bottom, index));
        EXPECT_EQ(Show(bottom), "a b *c *d");
        EXPECT_EQ(bottom.currentRow(), 3);
    }
}

TEST(MoveSelect, NothingHappensWithoutAMovableSelection) {
    for (int index = 1; index <= 4; ++index) {
        PlaylistModel none = Make("a b c");
        EXPECT_FALSE(MoveSelect(none, index));
        EXPECT_EQ(Show(none), "a b c");
        PlaylistModel all = Make("*a *b *c");
        EXPECT_FALSE(MoveSelect(all, index));
        EXPECT_EQ(Show(all), "*a *b *c");
    }
    PlaylistModel m = Make("a *b c");
    EXPECT_FALSE(MoveSelect(m, 0));
    EXPECT_FALSE(MoveSelect(m, 5));
    EXPECT_EQ(Show(m), "a *b c");
}

TEST(MoveSelect, RepeatedMovesWalkTheBlockThroughAFullList) {
    PlaylistModel m;
    for (int i = 0; i < PlaylistModel::kMaxLines; ++i)
        m.append(QString::number(i));
    m.setSelected(100, true);
    m.setSelected(101, true);
    EXPECT_TRUE(MoveSelect(m, 2));
    EXPECT_EQ(m.count(), PlaylistModel::kMaxLines);
    EXPECT_EQ(m.text(PlaylistModel::kMaxLines - 2), "100");
    EXPECT_EQ(m.text(PlaylistModel::kMaxLines - 1), "101");
    EXPECT_TRUE(MoveSelect(m, 1));
    EXPECT_EQ(m.text(0), "100");
    EXPECT_EQ(m.text(2), "0");
}

TEST(CursorMove, WrapsBothWaysAndKeepsOneLine) {
    PlaylistModel m = Make("*a b c d e");
    EXPECT_TRUE(CursorMove(m, 1));
    EXPECT_EQ(Show(m), "a b c d *e");
    EXPECT_EQ(m.currentRow(), 4);
    EXPECT_TRUE(CursorMove(m, 2));
    EXPECT_EQ(Show(m), "*a b c d e");

    PlaylistModel two = Make("a *b c *d e");
    EXPECT_TRUE(CursorMove(two, 2));
    EXPECT_EQ(Show(two), "a b *c d e");

    PlaylistModel one = Make("*a");
    EXPECT_TRUE(CursorMove(one, 1));
    EXPECT_EQ(Show(one), "*a");

    PlaylistModel none = Make("a b");
    EXPECT_FALSE(CursorMove(none, 2));  // the caller chooses by play order instead
    EXPECT_EQ(Show(none), "a b");
}
