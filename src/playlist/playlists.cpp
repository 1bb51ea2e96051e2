#include "playlist/playlists.h"

namespace velorixa::playlist {

void PlayLists::SwitchList() {
    if (mode_ == ListMode::Radio) {
        CopyList(PlayList, PlayListNET);
        CopyList(PlayListMP3, PlayList);
        mode_ = ListMode::Music;
    } else {
        CopyList(PlayList, PlayListMP3);
        CopyList(PlayListNET, PlayList);
        mode_ = ListMode::Radio;
    }
}

}  // namespace velorixa::playlist
