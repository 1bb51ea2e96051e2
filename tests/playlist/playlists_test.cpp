#include "playlist/playlists.h"

#include <gtest/gtest.h>

namespace velorixa::playlist {
namespace {

TEST(PlayLists, SwitchCarriesEachListWithItsSelectionBothWays) {
    PlayLists lists;
    lists.PlayList.setTexts({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    lists.PlayList.setSelected(1, true);
    lists.PlayListNET.setTexts({"http://127.0.0.1/x Station X", "ftp://127.0.0.1/y"});
    lists.PlayListNET.setSelected(0, true);

    lists.SwitchList();
    EXPECT_EQ(lists.PlayList.texts(), lists.PlayListNET.texts());
    EXPECT_TRUE(lists.PlayList.isSelected(0));
    EXPECT_EQ(&lists.musicList(), &lists.PlayListMP3);

    // Edits made to the stations while they are shown go back with them.
    lists.PlayList.append("http://127.0.0.1/z");
    lists.PlayList.setSelected(0, false);
    lists.PlayList.setSelected(2, true);
    lists.SwitchList();
    EXPECT_EQ(lists.PlayList.texts(), (QStringList{"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}));
    EXPECT_EQ(lists.PlayList.selectedRows(), std::vector<int>{1});
    EXPECT_EQ(lists.PlayListNET.count(), 3);
    EXPECT_EQ(lists.PlayListNET.selectedRows(), std::vector<int>{2});
}

}  // namespace
}  // namespace velorixa::playlist
