#pragma once
// What the desktop's media controls (MPRIS) see of the player, without a window or a bus: the
// playback status, the metadata of the current item, the volume, which transport procedure a
// media-control method leads to, and which properties a transport event changes (for the
// PropertiesChanged signal).
//
// Thread contract: a plain object owned by the desktop binding; GUI thread only.

#include <QString>
#include <QVariantMap>

#include "audio/decode/tags.h"
#include "playback/playrequest.h"

namespace velorixa::desktop {

enum class PlaybackStatus { Stopped, Playing, Paused };
QString StatusText(PlaybackStatus status);

// The media-control methods that move the transport.
enum class MprisMethod { Play, Pause, PlayPause, Stop, Next, Previous };
// The transport procedure the numeric-block key of the same meaning calls.
enum class TransportCall { None, PlaySelected, TogglePause, StopPlayback, PlayNext, PlayPrev };
TransportCall CallFor(MprisMethod method, PlaybackStatus status);

// Volume 0.0..1.0 onto the master volume bar 0..100 (rounded, clamped; NaN gives 0) and back.
int MasterVolumeFor(double volume);
inline double VolumeFor(int masterVolume) {
    return masterVolume / 100.0;
}

// The title of a list item before the stream sends one: a file's name without its folder and
// extension; a station line's name after its address, else the address.
QString ItemTitle(const QString& item);

class MprisState {
  public:
    // Each event returns the Player properties it changed, by name (empty when none).
    // A play request for item (the list's line) began.
    QVariantMap requestStarted(const QString& item);
    // The source plays; lengthSec is a file's length (ignored for a stream).
    QVariantMap opened(double lengthSec);
    QVariantMap stopped();
    QVariantMap paused(bool on);
    // The station's title changed (the transport reads it from the stream's metadata).
    QVariantMap streamTitle(const QString& title);
    // The tags of item were read: while item is the current file, its title, artist, album
    // and (until the source tells it) length come from them.
    QVariantMap tagsRead(const QString& item, const audio::TrackTags& tags);
    QVariantMap masterVolume(int value);

    PlaybackStatus status() const;
    // mpris:trackid, xesam:title, xesam:url, and for a file mpris:length and, from its tags,
    // xesam:artist and xesam:album; empty with no item.
    QVariantMap metadata() const;
    // mpris:trackid of the current item (a new one for each play request); empty with no item.
    QString trackId() const;
    // The file's length in microseconds once it opened; 0 otherwise.
    qint64 lengthUs() const { return lengthUs_; }
    double volume() const { return VolumeFor(master_); }
    playback::PlayKind kind() const { return kind_; }

  private:
    QVariantMap changedSince(PlaybackStatus status, const QVariantMap& metadata) const;

    QString item_;
    QString playName_;
    playback::PlayKind kind_ = playback::PlayKind::Invalid;
    QString streamTitle_;
    qint64 lengthUs_ = 0;
    audio::TrackTags tags_;  // of the current file, once read
    int track_ = 0;          // counts the play requests: each one is a new track for the desktop
    bool active_ = false;
    bool paused_ = false;
    int master_ = 100;
};

}  // namespace velorixa::desktop
