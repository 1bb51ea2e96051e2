#include "playback/audioplayerport.h"

#include "audio/audiolib.h"
#include "audio/player.h"

namespace velorixa::playback {

AudioPlayerPort::AudioPlayerPort(PLAYER& player, std::function<controls::StartValues()> startValues)
    : player_(player), startValues_(std::move(startValues)) {}

OpenResult AudioPlayerPort::open(const QString& name, PlayKind kind) {
    OpenResult r;
    r.source = PLAYER::OpenSource(name, static_cast<int>(kind));
    // The reason is the calling thread's: read it here, on the worker that made the open.
    if (r.source == 0) r.reason = QString::fromUtf8(VX_StreamGetError());
    return r;
}

void AudioPlayerPort::discard(uint32_t source) {
    PLAYER::DiscardSource(source);
}

bool AudioPlayerPort::start(uint32_t source) {
    const controls::StartValues v = startValues_ ? startValues_() : controls::StartValues{};
    return player_.StartOpened(source, v.FRQ, v.VOL, v.PAN, v.EqlArr, v.EffArr);
}

void AudioPlayerPort::stop() {
    player_.StopPlay();
}
void AudioPlayerPort::pause() {
    player_.PausPlay();
}
void AudioPlayerPort::resume() {
    player_.ResuPlay();
}
void AudioPlayerPort::seek(double seconds) {
    player_.SetPPlay(static_cast<float>(seconds));
}
void AudioPlayerPort::setMasterVolume(int value) {
    player_.SetMasterVolume(value);
}
double AudioPlayerPort::position() {
    return player_.GetFilePos();
}
bool AudioPlayerPort::ended() {
    return player_.GetFileEnd();
}
bool AudioPlayerPort::stalled() {
    return player_.GetChannelStalled();
}
bool AudioPlayerPort::playing() {
    return player_.GetFilePlayPerf();
}
double AudioPlayerPort::length() {
    return player_.GetFileLen();
}
int AudioPlayerPort::rateHz() {
    return player_.GetFreqStr();
}

QString AudioPlayerPort::meta() {
    if (!player_.GetChannelActive()) return {};
    const char* address = nullptr;
    player_.GetMETA(address);
    return PLAYER::CStrToText(address);
}

}  // namespace velorixa::playback
