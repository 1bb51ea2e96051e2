#pragma once
// Arguments from the command line or a desktop's "open" request turned into items of the music
// list, read on a worker thread so that the window never waits on the disk or on a file that is
// not one (a FIFO, a device), then handed to the transport, which appends them and plays the
// first.
//
// Thread contract: called on the GUI thread; the reading runs on a worker thread of its own and
// finishes on the GUI thread through a queued signal.

#include <QString>
#include <QStringList>
#include <functional>

namespace velorixa::playback {
class Playback;
}

namespace velorixa::desktop {

// What could not be opened, for the operator; never a modal box.
using ProblemSink = std::function<void(const QString& text)>;

// Nothing happens when the transport is gone by the time the reading ends.
void OpenArgumentsLater(playback::Playback& playback, const QStringList& arguments,
                        const QString& folder, ProblemSink tell);

}  // namespace velorixa::desktop
