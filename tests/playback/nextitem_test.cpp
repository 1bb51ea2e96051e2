#include "playback/nextitem.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

using velorixa::playback::CursorMoveOrDefineNext;
using velorixa::playback::PlayOrder;
using velorixa::playback::PlayQueue;
using velorixa::playback::RandomSource;
using velorixa::playlist::PlaylistModel;

namespace {

// Replays the given values, then fails the test if asked for more.
RandomSource Sequence(std::initializer_list<double> values) {
    auto left = std::make_shared<std::deque<double>>(values);
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

PlaylistModel Lines(std::initializer_list<const char*> texts) {
    PlaylistModel m;
    for (const char* t : texts)
        m.append(t);
    return m;
}

std::vector<int> Selected(const PlaylistModel& m) {
    return m.selectedRows();
}

}  // namespace

TEST(DefineNext, EmptyListChangesNothing) {
    PlayQueue q(Sequence({}));
    q.NamePlay = "/a.mp3";
    q.PrevBuff = "/before.mp3";
    PlaylistModel empty;
    q.DefineNext(empty);
    EXPECT_EQ(q.NamePlay, "/a.mp3");
    EXPECT_EQ(q.PrevBuff, "/before.mp3");
}

TEST(DefineNext, OneLineIsAlwaysNextInEveryOrder) {
    for (PlayOrder order : {PlayOrder::Up, PlayOrder::Random, PlayOrder::Down}) {
        PlayQueue q(Sequence({}));
        q.ListTurn = order;
        q.NamePlay = "/gone.mp3";
        PlaylistModel list = Lines({"/only.mp3"});
        q.DefineNext(list);
        EXPECT_EQ(q.NamePlay, "/only.mp3");
        EXPECT_EQ(q.PrevBuff, "/gone.mp3");
        q.DefineNext(list);  // and again, with itself current and selected
        EXPECT_EQ(q.NamePlay, "/only.mp3");
    }
}

TEST(DefineNext, WrapsAroundInBothDirections) {
    PlayQueue q(Sequence({}));
    PlaylistModel list = Lines({"/0", "/1", "/2", "/3"});

    q.ListTurn = PlayOrder::Down;
    q.NamePlay = "/3";
    list.setSelected(3, true);
    q.DefineNext(list);
    EXPECT_EQ(q.NamePlay, "/0");
    EXPECT_EQ(Selected(list), std::vector<int>({0}));

    q.ListTurn = PlayOrder::Up;
    q.DefineNext(list);  // "/0" current and selected: up wraps to the last line
    EXPECT_EQ(q.NamePlay, "/3");
    EXPECT_EQ(Selected(list), std::vector<int>({3}));
}

TEST(DefineNext, WithoutSelectionStartsAtTheEndOfTheOrder) {
    PlayQueue q(Sequence({}));
    PlaylistModel list = Lines({"/0", "/1", "/2"});
    q.ListTurn = PlayOrder::Down;
    q.DefineNext(list);
    EXPECT_EQ(q.NamePlay, "/0");

    list.clearSelection();
    q.ListTurn = PlayOrder::Up;
    q.DefineNext(list);
    EXPECT_EQ(q.NamePlay, "/2");
}

TEST(DefineNext, SelectedLineWinsAndExtraSelectionsGo) {
    for (PlayOrder order : {PlayOrder::Up, PlayOrder::Random, PlayOrder::Down}) {
        PlayQueue q(Sequence({}));  // the selection wins: no draw at all
        q.ListTurn = order;
        q.NamePlay = "/0";
        PlaylistModel list = Lines({"/0", "/1", "/2", "/3", "/4"});
        list.setSelected(2, true);
        list.setSelected(4, true);
        q.DefineNext(list);
        EXPECT_EQ(q.NamePlay, "/2");
        EXPECT_EQ(Selected(list), std::vector<int>({2}));
    }
}

TEST(DefineNext, CurrentLineSelectedAmongDuplicatesUsesTheFirstSelected) {
    // Two lines with the current text; the second is selected: it is the current line, so the
    // order moves on from it.
    PlayQueue q(Sequence({}));
    q.ListTurn = PlayOrder::Down;
    q.NamePlay = "/same";
    PlaylistModel list = Lines({"/same", "/x", "/same", "/y"});
    list.setSelected(2, true);
    q.DefineNext(list);
    EXPECT_EQ(q.NamePlay, "/y");
    EXPECT_EQ(Selected(list), std::vector<int>({3}));
}

TEST(NextIndex, RandomRedrawsAvoidTheCurrentItemTwice) {
    PlaylistModel list = Lines({"/a", "/b", "/c", "/d"});
    {
        // First draw hits the current item, the second does not.
        PlayQueue q(Sequence({0.30, 0.80}));
        q.ListTurn = PlayOrder::Random;
        q.NamePlay = "/b";
        EXPECT_EQ(q.NextIndex(1, list), 3);
    }
    {
        // Three hits in a row: the third is taken.
        PlayQueue q(Sequence({0.25, 0.49, 0.26}));
        q.NamePlay = "/b";
        EXPECT_EQ(q.NextIndex(-1, list), 1);
    }
    {
        // A miss at once: one draw only (the sequence would fail on a second).
        PlayQueue q(Sequence({0.99}));
        q.NamePlay = "/b";
        EXPECT_EQ(q.NextIndex(1, list), 3);
    }
    {
        // The avoided item is the current text wherever it stands, including a duplicate line.
        PlaylistModel dup = Lines({"/a", "/a", "/c"});
        PlayQueue q(Sequence({0.0, 0.4, 0.9}));
        q.NamePlay = "/a";
        EXPECT_EQ(q.NextIndex(0, dup), 2);
    }
    {
        // A broken source (1.0, negative, NaN) still gives a line of the list.
        PlayQueue q(Sequence({1.0, -0.5, std::nan("")}));
        q.NamePlay = "/d";
        EXPECT_EQ(q.NextIndex(-1, list), 0);  // 1.0 -> last line = current, -0.5 -> 0
    }
    PlayQueue q(Sequence({}));
    EXPECT_EQ(q.NextIndex(-1, PlaylistModel()), -1);
}

TEST(TakePrev, SwapsAndSelectsTheFirstEqualLine) {
    PlayQueue q(Sequence({}));
    PlaylistModel list = Lines({"/x", "/dup", "/y", "/dup"});
    q.NamePlay = "/y";
    q.PrevBuff = "/dup";
    list.setSelected(2, true);
    list.setSelected(3, true);
    ASSERT_TRUE(q.CanTakePrev());
    q.TakePrev(list);
    EXPECT_EQ(q.NamePlay, "/dup");
    EXPECT_EQ(q.PrevBuff, "/y");
    EXPECT_EQ(Selected(list), std::vector<int>({1}));
    q.TakePrev(list);  // pressing again alternates
    EXPECT_EQ(q.NamePlay, "/y");

    // An item no longer in the list: nothing selected.
    q.PrevBuff = "/removed";
    q.TakePrev(list);
    EXPECT_EQ(q.NamePlay, "/removed");
    EXPECT_TRUE(Selected(list).empty());

    PlayQueue fresh(Sequence({}));
    EXPECT_FALSE(fresh.CanTakePrev());
}

TEST(CursorMoveOrDefineNext, DefinesNextOnlyWithoutSelection) {
    PlayQueue q(Sequence({}));
    q.ListTurn = PlayOrder::Down;
    PlaylistModel list = Lines({"/0", "/1", "/2"});
    CursorMoveOrDefineNext(list, 1, q);  // nothing selected: next by the order
    EXPECT_EQ(q.NamePlay, "/0");
    EXPECT_EQ(Selected(list), std::vector<int>({0}));
    CursorMoveOrDefineNext(list, 1, q);  // a selection: only the selection moves
    EXPECT_EQ(q.NamePlay, "/0");
    EXPECT_EQ(Selected(list), std::vector<int>({2}));
}
