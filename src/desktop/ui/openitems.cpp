#include "desktop/ui/openitems.h"

#include "app/ui/velmix.h"
#include "playback/playback.h"

namespace velorixa::desktop {

int OpenItems(VelMix& window, const QStringList& items) {
    if (items.isEmpty() || window.unloadCount() > 0) return 0;
    return window.playback().openItems(items);
}

}  // namespace velorixa::desktop
