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

TEST(MoveSelect, DirectionsEdgesAndSelectionsThatCannotMove) {
    // Index 1 to the top, 2 to the bottom, 3 one up, 4 one down. Lines 2, 3 and 6 selected: 6 is
    // dropped from the block, which moves as one; the current line is the block's top after a
    // move up, its bottom after a move down.
    const char* middle = "l0 l1 *l2 *l3 l4 l5 *l6 l7";
    const int any = -2;  // the current line is not checked
    const struct Case {
        const char* start;
        std::vector<int> indexes;
        bool moved;
        const char* expected;
        int current;
    } cases[] = {
        {middle, {1}, true, "*l2 *l3 l0 l1 l4 l5 l6 l7", 0},
        {middle, {2}, true, "l0 l1 l4 l5 l6 l7 *l2 *l3", 7},
        {middle, {3}, true, "l0 *l2 *l3 l1 l4 l5 l6 l7", 1},
        {middle, {4}, true, "l0 l1 l4 *l2 *l3 l5 l6 l7", 4},
        // A block at an edge moves only away from it (and is still cut to one block).
        {"*a *b c d *e", {1, 3}, false, "*a *b c d e", 0},
        {"*a *b c d", {2}, true, "c d *a *b", any},
        {"a b *c *d", {2, 4}, false, "a b *c *d", 3},
        // Nothing happens without a movable selection or with an unknown index.
        {"a b c", {1, 2, 3, 4}, false, "a b c", any},
        {"*a *b *c", {1, 2, 3, 4}, false, "*a *b *c", any},
        {"a *b c", {0, 5}, false, "a *b c", any},
    };
    for (const Case& c : cases) {
        for (int index : c.indexes) {
            SCOPED_TRACE(std::string(c.start) + " index " + std::to_string(index));
            PlaylistModel m = Make(c.start);
            EXPECT_EQ(MoveSelect(m, index), c.moved);
            EXPECT_EQ(Show(m), c.expected);
            if (c.current != any) {
                EXPECT_EQ(m.currentRow(), c.current);
            }
        }
    }
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
