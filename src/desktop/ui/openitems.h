#pragma once
// Items from the command line or a desktop's "open" request into the player: appended to the
// music list (the music list is shown first when the stations were), the first one selected
// and played as a double-click on it would.
//
// Thread contract: GUI thread only.

#include <QStringList>

namespace velorixa {
class VelMix;
}

namespace velorixa::desktop {

// Returns how many items the list took (it holds at most 32767 lines).
int OpenItems(VelMix& window, const QStringList& items);

}  // namespace velorixa::desktop
