#pragma once
// The transport's player port onto the real player (PLAYER): each call is the player's own,
// the open carries the audio layer's reason for a failure from the worker thread that met it.
//
// Thread contract: as PlayerPort; the PLAYER outlives the port.

#include <functional>

#include "controls/soundsetting.h"
#include "playback/playerport.h"

namespace velorixa {
class PLAYER;
}

namespace velorixa::playback {

class AudioPlayerPort final : public PlayerPort {
  public:
    // startValues: the sound a new source starts with (speed, volume, balance, bands, effects).
    AudioPlayerPort(PLAYER& player, std::function<controls::StartValues()> startValues);

    OpenResult open(const QString& name, PlayKind kind) override;
    void discard(uint32_t source) override;
    bool start(uint32_t source) override;
    void stop() override;
    void pause() override;
    void resume() override;
    void seek(double seconds) override;
    void setMasterVolume(int value) override;
    double position() override;
    bool ended() override;
    bool stalled() override;
    bool playing() override;
    double length() override;
    int rateHz() override;
    QString meta() override;

  private:
    PLAYER& player_;
    std::function<controls::StartValues()> startValues_;
};

}  // namespace velorixa::playback
