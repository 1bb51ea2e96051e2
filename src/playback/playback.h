#pragma once
// The transport without a window: the one door through which the keys, the transport panel, the
// desktop's media controls, the command line, the station list and the performance layer play.
// It owns the play queue, the source opener, what plays (item, kind, length), pause and repeat,
// the station's title and why the last open failed, and tells all of it through typed signals.
//
// The two-step request: step 1 stops the old sound and says what comes (requestStarted), the
// step timer gives the window time to paint, step 2 opens the source off the GUI thread and the
// result starts it. An item reached by the player itself (the end of the one before, the
// desktop's Next) that fails to open is skipped for the next one by the play order, at most once
// round the list; one message tells what failed. An item the operator starts that fails is
// reported and the transport stays stopped.
//
// Thread contract: GUI thread only (the opener's worker only calls PlayerPort::open).

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include "playback/nextitem.h"
#include "playback/playerport.h"
#include "playback/playrequest.h"
#include "playback/sourceopener.h"
#include "playback/streamtitle.h"
#include "playback/transportevents.h"

class QTimer;

namespace velorixa::playback {

enum class PlayState : std::uint8_t { Stopped, Opening, Playing, Paused };

// Who asked for a request: the operator (a key, a button, a click, the desktop's Play) or the
// player on its own way through the list (an item's end, the desktop's Next).
enum class Origin : std::uint8_t { Operator, Automatic };

// What the operator is told about a failed open. skipped > 1 when the player skipped several
// items in a row; roundDone when none of the list could be played.
struct Failure {
    PlayKind kind = PlayKind::Invalid;
    QString item;
    QString reason;
    int skipped = 0;
    bool roundDone = false;
};
// "File Error" / "Connection Failure" / "Invalid Name" first, then the item and the reason.
QString FailureText(const Failure& f);

// How long the transport waits before it connects again to a station whose server closed the
// stream, and after how many seconds a station is connected afresh anyway. Tests shorten them.
struct Timeouts {
    int droppedStationWaitMs = 5000;
    int streamRenewSec = 1800;
};

class Playback : public QObject {
    Q_OBJECT
  public:
    // list: the list shown (its selection is the operator's choice); stepTimer: the request's
    // step timer (interval 0 while no request waits).
    Playback(PlayerPort& player, playlist::PlaylistModel& list, QTimer& stepTimer,
             RandomSource random = ClockSeededRandom(), QObject* parent = nullptr);
    ~Playback() override;

    // Commands.
    // The current item (the play order chooses one when there is none) from its start.
    void play(Origin origin = Origin::Operator);
    // The selected line (a double-click): the current item is not restarted.
    void playSelected();
    void next(Origin origin = Origin::Operator);
    void previous();
    void stop();
    void setPaused(bool on);
    void togglePause() { setPaused(!paused_); }
    // Repeat acts only while a file is the current item's kind.
    void setRepeat(bool on);
    void toggleRepeat();
    // The position bar's seek to whole seconds (a file only).
    void seek(int seconds);
    // A file that plays (not paused) moves to seconds, kept within 0..its length; the bar
    // follows at once and seeked() tells where it went. Anything else (a station, nothing
    // playing, a pause, an open under way) is left as it is: false.
    bool seekTo(double seconds);
    // The same, by delta seconds from the position heard now (the seek keys, the desktop's
    // relative seek).
    bool seekBy(double deltaSec);
    // A seek can be made now: a file plays and is not paused.
    bool canSeek() const;
    // 0..100, clamped.
    void setMasterVolume(int value);
    // Appended to the list; the first is selected and played. Returns how many the list took.
    int openItems(const QStringList& items);
    // The position tick (every 100 ms): follows the position, the end of a file, the title.
    void tick();
    // The stall check (every 100 ms): a silent station, or one whose server closed the stream
    // and has stayed closed for the dropped-station wait, is connected again.
    void restartIfStalled();
    // The operator holds the position bar: the tick keeps off it and no end is seen.
    void setPositionHeld(bool held) { held_ = held; }
    // Forgets an open under way (the window is closing).
    void cancelOpen();
    void setTimeouts(const Timeouts& t) { timeouts_ = t; }

    // Status.
    PlayState state() const { return state_; }
    const QString& item() const { return queue_.NamePlay; }
    PlayKind kind() const { return kind_; }
    const QString& playName() const { return playName_; }
    int length() const { return playLen_; }
    // The source's sample rate once it opened.
    int rateHz() const { return rateHz_; }
    // Whole seconds heard at the last tick (-1 when nothing plays), and the player's exact
    // position now.
    int position() const { return position_; }
    double positionNow() { return player_.position(); }
    bool paused() const { return paused_; }
    bool repeat() const { return repeat_; }
    bool repeatEnabled() const { return repeatEnabled_; }
    const QString& title() const { return meta_.title; }
    const StreamMeta& streamMeta() const { return meta_; }
    const QString& failureReason() const { return failureReason_; }
    int masterVolume() const { return masterVolume_; }
    bool opening() const { return opener_.busy(); }
    bool canPlay() const;
    bool canGoPrevious() const { return canPlay() && queue_.CanTakePrev(); }

    PlayQueue& queue() { return queue_; }
    playlist::PlaylistModel& list() { return list_; }
    TransportEvents& events() { return events_; }

  signals:
    void stateChanged(velorixa::playback::PlayState state);
    void itemChanged(const QString& item);
    // Once per change of the station's title or address; empty when a new request starts.
    void titleChanged(const QString& title);
    void positionChanged(int seconds);
    // A seek moved the file to seconds (the bar, the keys, the desktop).
    void seeked(double seconds);
    // A source opened: its length in whole seconds (a file) or 0 (a stream).
    void lengthChanged(int seconds);
    void repeatChanged(bool on, bool enabled);
    void masterVolumeChanged(int value);
    // An open failed (or a name was no playable name), to be told to the operator.
    void failed(const velorixa::playback::Failure& failure);
    // The list's selection changed through the queue: a view redraws it.
    void selectionChanged();
    // Items are to be opened: the music list must be the list shown (a direct connection).
    void musicListNeeded();

  private:
    void requestStep1();
    void openStep2();
    void startOpen();
    void openDone(uint32_t source, const QString& reason);
    void openFailed(const QString& reason, bool report);
    void restart();
    void defineNext();
    void setState(PlayState s);
    void pollTitle();
    bool nothingToPlay() const;
    // Ends a run of skipped items: its one message goes out.
    void endSkipRun(bool roundDone);

    PlayerPort& player_;
    playlist::PlaylistModel& list_;
    QTimer& stepTimer_;
    PlayQueue queue_;
    TransportEvents events_;
    SourceOpener opener_;
    Timeouts timeouts_;

    PlayState state_ = PlayState::Stopped;
    Origin origin_ = Origin::Operator;
    QString playName_;
    PlayKind kind_ = PlayKind::Invalid;
    int playLen_ = 1;
    int rateHz_ = 0;
    int position_ = -1;
    bool paused_ = false;
    bool repeat_ = false;
    bool repeatEnabled_ = false;
    bool held_ = false;
    bool restarting_ = false;  // the open under way brings back the same item
    int masterVolume_ = 100;
    StreamMeta meta_;
    QString failureReason_;
    // Since when the station's stream has ended by itself (its server closed it).
    QElapsedTimer droppedFor_;
    // A run of items skipped because they failed to open: the first failure, how many, and how
    // many more the run may try before it has been once round the list.
    Failure skipFirst_;
    int skipCount_ = 0;
    int skipLeft_ = 0;
};

}  // namespace velorixa::playback
