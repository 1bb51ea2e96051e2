#pragma once
// Items from the command line or a desktop's "open" request into the player: appended to the
// music list (the music list is shown first when the stations were), the first one selected
// and played as a double-click on it would.
//
// Thread contract: GUI thread only. OpenArgumentsLater reads on a worker thread of its own and
// finishes on the GUI thread through a queued signal.

#include <QString>
#include <QStringList>

namespace velorixa {
class VelMix;
}

namespace velorixa::desktop {

// Returns how many items the list took (it holds at most 32767 lines).
int OpenItems(VelMix& window, const QStringList& items);

// Arguments as the command line takes them (a file:// address from the bus, a playlist file, a
// folder) turned into items on a worker thread, so the window never waits on the disk or on a
// file that is not one; then, on the window's thread, opened as OpenItems does. What could not
// be opened is shown in a message that does not block the window. Nothing happens when the
// window is gone by then.
void OpenArgumentsLater(VelMix& window, const QStringList& arguments, const QString& folder);

}  // namespace velorixa::desktop
