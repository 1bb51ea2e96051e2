#pragma once
// The player on the desktop's media controls: the MPRIS interfaces org.mpris.MediaPlayer2 and
// org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2 under the bus name
// org.mpris.MediaPlayer2.velorixa. The methods go through the transport (playback::Playback)
// the keys use, so play order, repeat, the step timer and the display behave as from the
// keyboard; the properties follow the transport's signals, and their changes go out as
// PropertiesChanged. Without a bus nothing is registered and nothing is said: the player runs as
// it always does. Of the window it knows only how to raise and to close it.
//
// Thread contract: GUI thread only; the bus delivers its calls on that thread.

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

#include <functional>

#include "desktop/mprisstate.h"

namespace velorixa::playback {
class Playback;
}
namespace velorixa::playlist {
class TagCache;
}

namespace velorixa::desktop {

inline constexpr const char* kMprisService = "org.mpris.MediaPlayer2.velorixa";
inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisRoot = "org.mpris.MediaPlayer2";
inline constexpr const char* kMprisPlayer = "org.mpris.MediaPlayer2.Player";
// The player's own interface beside MPRIS on the same object: a second `velorixa FILE...`
// hands its items to the running player through it.
inline constexpr const char* kVelorixaInterface = "org.velorixa.Player";

// What the desktop may do with the window: bring it to the front, close it (the player ends).
struct DesktopWindow {
    std::function<void()> raise;
    std::function<void()> quit;
    // A message for the operator that never blocks the window.
    std::function<void(const QString&)> tell;
};
// A top-level widget: shown normal, raised and activated; closed (its close event unloads).
DesktopWindow DesktopWindowOf(QWidget& window);

class MprisPlayerAdaptor;

class MprisService : public QObject {
    Q_OBJECT
  public:
    MprisService(playback::Playback& playback, DesktopWindow window, QDBusConnection bus,
                 QObject* parent = nullptr);
    ~MprisService() override;

    // Registers the object and the bus name (with ".instance" and the process id when another
    // player holds the plain name); false, silently, when there is no bus.
    bool start();
    // Leaves the bus and takes no more calls (the window unloads).
    void stop();
    // The metadata of a file take its title, artist, album and length from tags (which must
    // outlive the service) as soon as they are read.
    void setTags(playlist::TagCache* tags);
    const QString& serviceName() const { return serviceName_; }
    const MprisState& state() const { return state_; }

    // What the interfaces call.
    void call(MprisMethod method);
    void raise();
    void quit();
    void openUri(const QString& uri);
    // Items of a command line: appended to the music list, the first played, the window raised.
    void openItems(const QStringList& items);
    double volume() const { return state_.volume(); }
    void setVolume(double volume);
    qlonglong positionUs() const;
    // Seek: by offsetUs from the position now (clamped to the file; past its end the next item
    // comes as at any end). SetPosition: to positionUs, only when trackId names the item playing
    // and the position lies within it. Files only, while they play; Seeked goes out after each
    // seek, whoever made it (the bar and the keys too).
    void seek(qlonglong offsetUs);
    void setPosition(const QString& trackId, qlonglong positionUs);
    bool canSeek() const;
    bool canPlay() const;
    bool canGoPrevious() const;

  private:
    bool alive() const { return !stopped_; }
    void publish(QVariantMap changed);
    QVariantMap canFlags() const;

    playback::Playback& playback_;
    DesktopWindow window_;
    bool stopped_ = false;
    QDBusConnection bus_;
    MprisState state_;
    playlist::TagCache* tags_ = nullptr;
    QString serviceName_;
    bool registered_ = false;
    QVariantMap lastFlags_;
    mutable qlonglong lastPositionUs_ = 0;
    MprisPlayerAdaptor* playerAdaptor_ = nullptr;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
  public:
    MprisRootAdaptor(QObject* object, MprisService& service);
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Velorixa"); }
    QString desktopEntry() const { return QStringLiteral("velorixa"); }
    QStringList supportedUriSchemes() const;
    QStringList supportedMimeTypes() const;

  public slots:
    void Raise() { s_.raise(); }
    void Quit() { s_.quit(); }

  private:
    MprisService& s_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canPlay)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canControl)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
  public:
    MprisPlayerAdaptor(QObject* object, MprisService& service);
    QString playbackStatus() const { return StatusText(s_.state().status()); }
    // The pitch knob is the operator's, not the desktop's: the rate stays 1.
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return s_.state().metadata(); }
    double volume() const { return s_.volume(); }
    void setVolume(double v) { s_.setVolume(v); }
    qlonglong position() const { return s_.positionUs(); }
    bool canPlay() const { return s_.canPlay(); }
    bool canGoPrevious() const { return s_.canGoPrevious(); }
    bool canSeek() const { return s_.canSeek(); }
    bool canControl() const { return true; }

  public slots:
    void Play() { s_.call(MprisMethod::Play); }
    void Pause() { s_.call(MprisMethod::Pause); }
    void PlayPause() { s_.call(MprisMethod::PlayPause); }
    void Stop() { s_.call(MprisMethod::Stop); }
    void Next() { s_.call(MprisMethod::Next); }
    void Previous() { s_.call(MprisMethod::Previous); }
    void Seek(qlonglong offsetUs) { s_.seek(offsetUs); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
        s_.setPosition(trackId.path(), positionUs);
    }
    void OpenUri(const QString& uri) { s_.openUri(uri); }

  signals:
    void Seeked(qlonglong positionUs);

  private:
    MprisService& s_;
};

// Hands a command line's items to a player already on bus; true when it took them.
bool HandToRunningPlayer(QDBusConnection bus, const QStringList& items);

// org.velorixa.Player
class VelorixaAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velorixa.Player")

  public:
    VelorixaAdaptor(QObject* object, MprisService& service)
        : QDBusAbstractAdaptor(object), s_(service) {}

  public slots:
    void Open(const QStringList& items) { s_.openItems(items); }

  private:
    MprisService& s_;
};

}  // namespace velorixa::desktop
