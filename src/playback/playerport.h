#pragma once
// What the transport needs of the audio player, as one small interface: the transport logic
// (Playback) runs against the real player through AudioPlayerPort and against a recording
// double in its tests.
//
// Thread contract: open and discard may run on any thread (a worker opening a station); every
// other call comes from the GUI thread.

#include <QString>
#include <cstdint>

#include "playback/playrequest.h"

namespace velorixa::playback {

// An open's result: the decoding source (0 when it failed) and why it failed, in the audio
// layer's words ("HTTP status 404", "not MPEG audio layer III", ...).
struct OpenResult {
    uint32_t source = 0;
    QString reason;
};

class PlayerPort {
  public:
    virtual ~PlayerPort() = default;
    // Any thread: opens name as a source; may wait on the network for seconds.
    virtual OpenResult open(const QString& name, PlayKind kind) = 0;
    // Any thread: frees a source that will never be started.
    virtual void discard(uint32_t source) = 0;
    // Plays an opened source with the sound's start values; takes it over. False when it could
    // not be started (the source is gone then too).
    virtual bool start(uint32_t source) = 0;
    virtual void stop() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void seek(double seconds) = 0;
    virtual void setMasterVolume(int value) = 0;
    // The position being heard in seconds; -1 unless the source plays.
    virtual double position() = 0;
    // The source has ended (its last sample was heard, or it was stopped).
    virtual bool ended() = 0;
    // A station delivers no sound: reconnecting is the cure.
    virtual bool stalled() = 0;
    // Sound comes out (not paused, not stopped, not ended).
    virtual bool playing() = 0;
    // The source's length in seconds and its sample rate.
    virtual double length() = 0;
    virtual int rateHz() = 0;
    // A stream's latest metadata string (StreamTitle='...';), empty when none.
    virtual QString meta() = 0;
};

}  // namespace velorixa::playback
