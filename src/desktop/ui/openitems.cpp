#include "desktop/ui/openitems.h"

#include "app/ui/velmix.h"
#include "netradio/ui/radiopanel.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

namespace velorixa::desktop {

int OpenItems(VelMix& window, const QStringList& items) {
    if (items.isEmpty() || window.unloadCount() > 0) return 0;
    PlayListPage& page = window.playListPage();
    if (!page.musicMode()) window.radioPanel().SwitchList();
    playlist::PlaylistModel& list = page.PlayListView()->model();
    list.clearSelection();
    const int first = list.count();
    int taken = 0;
    for (const QString& item : items) {
        if (!list.append(item)) break;
        ++taken;
    }
    if (taken == 0) {
        page.PlayListView()->refresh();
        return 0;
    }
    list.setSelected(first, true);
    list.setCurrentRow(first);
    page.PlayListView()->refresh();
    // The selected line becomes the current item and plays; when it already is the current
    // item it plays again from its start.
    PlayControl& play = window.playControl();
    if (list.text(first) == window.playQueue().NamePlay) {
        play.PlaySelected();
    } else {
        play.PlayNext();
    }
    return taken;
}

}  // namespace velorixa::desktop
