#pragma once
// What the transport tells the rest of the player: a play request started, the display is to be
// cleared, a source opened or failed to, the position tick, playback stopped, a station stalled.
// Any number of subsystems (display, stream titles, styles, desktop controls) connect to these;
// none of them needs a window.
//
// Thread contract: emitted and received on the GUI thread.

#include <QObject>

#include "playback/playrequest.h"

namespace velorixa::playback {

class TransportEvents : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  signals:
    // Step 1 of a play request, before the old sound stops.
    void requestStarted(velorixa::playback::PlayKind kind);
    // The spectrum, strip and level bars are to be cleared (a request, a stop, a failed open).
    void displayCleared();
    // The new source plays (its rate, length and headers can be read now).
    void opened(velorixa::playback::PlayKind kind);
    void openFailed(velorixa::playback::PlayKind kind);
    // The position tick (every 100 ms while nothing waits): seconds heard, -1 when not playing.
    void positionTick(int seconds);
    void stopped();
    // The pause toggle went down (true) or up (false).
    void pauseChanged(bool paused);
    // The station delivers no sound; a reconnection follows.
    void stalled();
};

}  // namespace velorixa::playback
