#include "playback/nextitem.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "playlist/listhelpers.h"

using velorixa::playback::CursorMoveOrDefineNext;
using velorixa::playback::PlayOrder;
using velorixa::playback::PlayQueue;
using velorixa::playback::RandomSource;
using velorixa::playlist::PlaylistModel;

namespace {

// Replays the given values, then fails the test if asked for more.
RandomSource Sequence(std::vector<double> values) {
    auto left = std::make_shared<std::deque<double>>(values.begin(), values.end());
    return [left]() {
        if (left->empty()) {
            ADD_FAILURE() << "more random draws than expected";
            return 0.0;
        }
        const double v = left->front();
        left->pop_front();
        return v;
    };
}

using listtest::Make;
using listtest::Show;

}  // namespace

TEST(DefineNext, SelectionCurrentLineAndOrderDecide) {
    const std::vector<PlayOrder> all = {PlayOrder::Up, PlayOrder::Random, PlayOrder::Down};
    const struct Case {
        const char* what;
        std::vector<PlayOrder> orders;
        const char* current;
        const char* list;  // "*" marks a selected line
        const char* next;
        const char* after;
    } cases[] = {
        {"an empty list changes nothing", all, "/a.mp3", "", "/a.mp3", ""},
        {"one line is always next", all, "/gone.mp3", "/only.mp3", "/only.mp3", "*/only.mp3"},
        {"one line, itself current and selected", all, "/only.mp3", "*/only.mp3", "/only.mp3",
         "*/only.mp3"},
        {"down wraps to the top", {PlayOrder::Down}, "/3", "/0 /1 /2 */3", "/0", "*/0 /1 /2 /3"},
        {"up wraps to the bottom", {PlayOrder::Up}, "/0", "*/0 /1 /2 /3", "/3", "/0 /1 /2 */3"},
        {"no selection, down: the top", {PlayOrder::Down}, "", "/0 /1 /2", "/0", "*/0 /1 /2"},
        {"no selection, up: the bottom", {PlayOrder::Up}, "/0", "/0 /1 /2", "/2", "/0 /1 */2"},
        // The selection wins without a random draw; the extra selections go.
        {"a selected line wins", all, "/0", "/0 /1 */2 /3 */4", "/2", "/0 /1 */2 /3 /4"},
        // The second of two lines with the current text is selected: the order moves on from it.
        {"current among duplicates",
         {PlayOrder::Down},
         "/same",
         "/same /x */same /y",
         "/y",
         "/same /x /same */y"},
    };
    for (const Case& c : cases) {
        for (PlayOrder order : c.orders) {
            SCOPED_TRACE(std::string(c.what) + ", order " + std::to_string(int(order)));
            PlayQueue q(Sequence({}));
            q.ListTurn = order;
            q.NamePlay = c.current;
            q.PrevBuff = "/before.mp3";
            PlaylistModel list = Make(c.list);
            q.DefineNext(list);
            EXPECT_EQ(q.NamePlay, c.next);
            EXPECT_EQ(Show(list), c.after);
            EXPECT_EQ(q.PrevBuff, list.isEmpty() ? "/before.mp3" : c.current);
        }
    }
}

TEST(NextIndex, RandomRedrawsAvoidTheCurrentItemTwice) {
    const struct Case {
        const char* what;
        std::vector<double> draws;  // a draw more than these fails the test
        const char* list;
        const char* current;
        int from, expected;
    } cases[] = {
        {"the first draw hits the current item", {0.30, 0.80}, "/a /b /c /d", "/b", 1, 3},
        {"three hits: the third is taken", {0.25, 0.49, 0.26}, "/a /b /c /d", "/b", -1, 1},
        {"a miss at once: one draw", {0.99}, "/a /b /c /d", "/b", 1, 3},
        {"the current text on a duplicate line", {0.0, 0.4, 0.9}, "/a /a /c", "/a", 0, 2},
        // 1.0 gives the last line, the current one; -0.5 gives line 0.
        {"a broken source", {1.0, -0.5, std::nan("")}, "/a /b /c /d", "/d", -1, 0},
        {"an empty list", {}, "", "/a", -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayQueue q(Sequence(c.draws));
        q.ListTurn = PlayOrder::Random;
        q.NamePlay = c.current;
        EXPECT_EQ(q.NextIndex(c.from, Make(c.list)), c.expected);
    }
}

TEST(TakePrev, SwapsAndSelectsTheFirstEqualLine) {
    PlayQueue q(Sequence({}));
    EXPECT_FALSE(q.CanTakePrev());
    PlaylistModel list = Make("/x /dup */y */dup");
    q.NamePlay = "/y";
    q.PrevBuff = "/dup";
    ASSERT_TRUE(q.CanTakePrev());
    q.TakePrev(list);
    EXPECT_EQ(q.NamePlay, "/dup");
    EXPECT_EQ(q.PrevBuff, "/y");
    EXPECT_EQ(Show(list), "/x */dup /y /dup");
    q.TakePrev(list);  // pressing again alternates
    EXPECT_EQ(q.NamePlay, "/y");
    // An item no longer in the list: nothing selected.
    q.PrevBuff = "/removed";
    q.TakePrev(list);
    EXPECT_EQ(q.NamePlay, "/removed");
    EXPECT_EQ(Show(list), "/x /dup /y /dup");
}

TEST(CursorMoveOrDefineNext, DefinesNextOnlyWithoutSelection) {
    PlayQueue q(Sequence({}));
    q.ListTurn = PlayOrder::Down;
    PlaylistModel list = Make("/0 /1 /2");
    CursorMoveOrDefineNext(list, 1, q);  // nothing selected: next by the order
    EXPECT_EQ(q.NamePlay, "/0");
    EXPECT_EQ(Show(list), "*/0 /1 /2");
    CursorMoveOrDefineNext(list, 1, q);  // a selection: only the selection moves
    EXPECT_EQ(q.NamePlay, "/0");
    EXPECT_EQ(Show(list), "/0 /1 */2");
}
