#pragma once
// The player's two lists and which of them is shown. The visible list `PlayList` is the one the
// operator edits and plays from; the other mode's list waits in `PlayListMP3` (music, while the
// stations are shown) or `PlayListNET` (stations, while the music is shown). The list boxes are
// views of these models; the mode is held here, never read back from a caption.
//
// Thread contract: GUI thread only; a plain object with no locking.

#include "playlist/playlistmodel.h"

namespace velorixa::playlist {

enum class ListMode { Music, Radio };

class PlayLists {
  public:
    PlaylistModel PlayList;     // the list shown
    PlaylistModel PlayListMP3;  // the music list while the stations are shown
    PlaylistModel PlayListNET;  // the station list while the music is shown

    ListMode mode() const { return mode_; }
    bool musicMode() const { return mode_ == ListMode::Music; }

    // `SwitchList`'s exchange of lines: the shown list goes to its hidden home and the other
    // mode's list is shown, each line with the selection it had when its list was left.
    void SwitchList();

    // The music list and the station list wherever they are at the moment.
    const PlaylistModel& musicList() const { return musicMode() ? PlayList : PlayListMP3; }
    PlaylistModel& musicList() { return musicMode() ? PlayList : PlayListMP3; }
    const PlaylistModel& stationList() const { return musicMode() ? PlayListNET : PlayList; }
    PlaylistModel& stationList() { return musicMode() ? PlayListNET : PlayList; }

  private:
    ListMode mode_ = ListMode::Music;
};

}  // namespace velorixa::playlist
