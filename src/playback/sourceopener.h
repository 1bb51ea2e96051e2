#pragma once
// Opens a source for the player off the window's thread: a station may take seconds to answer,
// and meanwhile the knobs, the display and the keys must go on. start() returns at once; the
// result arrives as finished() on the opener's thread. A newer start() or cancel() makes the
// open under way stale: its source, when it comes, is handed back to discard and never reported.
//
// Thread contract: start, cancel and busy on the owner's (GUI) thread; the open function runs
// on a worker thread and must be safe there (PLAYER::OpenSource is).

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <cstdint>
#include <functional>

#include "playback/playerport.h"

namespace velorixa::playback {

class SourceOpener : public QObject {
    Q_OBJECT
  public:
    // Returns the source (0 on failure) with the reason of a failure, read on the worker thread
    // that made the open (the audio layer keeps it per thread).
    using OpenFn = std::function<OpenResult(const QString& name, int kind)>;
    using DiscardFn = std::function<void(uint32_t source)>;

    SourceOpener(OpenFn open, DiscardFn discard, QObject* parent = nullptr);
    // Waits for an open under way to give up (the audio layer bounds every open).
    ~SourceOpener() override;

    void start(const QString& name, int kind);
    void cancel();
    // An open was started and its result has not been reported yet.
    bool busy() const { return busy_; }

  signals:
    // The latest open ended: its source, 0 when it failed, and then why.
    void finished(uint32_t source, const QString& reason);

  private:
    void deliver(uint64_t generation, const OpenResult& result);

    OpenFn open_;
    DiscardFn discard_;
    QThreadPool pool_;
    uint64_t generation_ = 0;
    bool busy_ = false;
};

}  // namespace velorixa::playback
