#include "playback/playback.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

#include "util/rounding.h"

namespace velorixa::playback {

QString FailureText(const Failure& f) {
    QString text = f.kind == PlayKind::Invalid ? QString::fromLatin1(kInvalidNameText)
                                               : OpenFailureText(f.kind);
    if (!f.item.isEmpty()) text += QStringLiteral(": ") + f.item;
    if (!f.reason.isEmpty()) text += QStringLiteral(" (") + f.reason + u')';
    if (f.roundDone) {
        text += QStringLiteral(". No item of the list could be played");
    } else if (f.skipped > 1) {
        text += QStringLiteral(". %1 items skipped").arg(f.skipped);
    }
    return text;
}

Playback::Playback(PlayerPort& player, playlist::PlaylistModel& list, QTimer& stepTimer,
                   RandomSource random, QObject* parent)
    : QObject(parent),
      player_(player),
      list_(list),
      stepTimer_(stepTimer),
      queue_(std::move(random)),
      opener_([&player](const QString& name,
                        int kind) { return player.open(name, static_cast<PlayKind>(kind)); },
              [&player](uint32_t source) { player.discard(source); }) {
    connect(&opener_, &SourceOpener::finished, this,
            [this](uint32_t source, const QString& reason) { openDone(source, reason); });
    connect(&stepTimer_, &QTimer::timeout, this, [this] {
        if (stepTimer_.interval() != 0) openStep2();
    });
}

Playback::~Playback() {
    opener_.cancel();
}

bool Playback::nothingToPlay() const {
    return NothingToPlay(queue_.NamePlay, list_.count());
}

bool Playback::canPlay() const {
    return !nothingToPlay();
}

void Playback::setState(PlayState s) {
    if (s == state_) return;
    state_ = s;
    emit stateChanged(s);
}

void Playback::defineNext() {
    queue_.DefineNext(list_);
    emit selectionChanged();
    emit itemChanged(queue_.NamePlay);
}

void Playback::play(Origin origin) {
    if (nothingToPlay()) return;
    origin_ = origin;
    if (origin == Origin::Operator) endSkipRun(false);
    // A second request while the first waits for its step timer opens at once.
    if (stepTimer_.interval() == 0) {
        requestStep1();
    } else {
        openStep2();
    }
}

void Playback::requestStep1() {
    held_ = false;
    if (queue_.NamePlay.isEmpty()) defineNext();
    const PlayRequest req = PlanRequest(queue_.NamePlay);
    if (req.kind == PlayKind::Invalid) {
        if (origin_ == Origin::Automatic) {
            // The player's own way through the list moves past the line.
            kind_ = PlayKind::Invalid;
            playName_ = req.playName;
            openFailed(QString(), true);
        } else {
            // The operator is told; whatever plays goes on.
            emit failed({PlayKind::Invalid, queue_.NamePlay, QString()});
        }
        return;
    }
    playName_ = req.playName;
    kind_ = req.kind;
    opener_.cancel();  // a newer request wins over an open under way
    restarting_ = false;
    failureReason_.clear();
    position_ = -1;
    paused_ = false;
    repeatEnabled_ = req.repeatEnabled;
    emit events_.requestStarted(req.kind);
    player_.stop();
    emit events_.displayCleared();
    if (!(meta_ == StreamMeta{})) {
        meta_ = {};
        emit titleChanged(QString());
    }
    setState(PlayState::Opening);
    emit repeatChanged(repeat_, repeatEnabled_);
    stepTimer_.setInterval(req.stepIntervalMs);
    stepTimer_.start();
}

void Playback::openStep2() {
    held_ = false;
    stepTimer_.stop();
    stepTimer_.setInterval(0);
    startOpen();
}

void Playback::startOpen() {
    opener_.start(playName_, static_cast<int>(kind_));
}

void Playback::openDone(uint32_t source, const QString& reason) {
    const bool ok = source != 0 && player_.start(source);
    if (restarting_) {
        restarting_ = false;
        // A file that cannot come back ends quietly; a station that cannot is reported.
        if (!ok)
            openFailed(reason, /*report=*/kind_ == PlayKind::Stream);
        else
            setState(PlayState::Playing);
        return;
    }
    if (!ok) {
        openFailed(
            source != 0 && reason.isEmpty() ? QStringLiteral("could not be started") : reason,
            /*report=*/true);
        return;
    }
    failureReason_.clear();
    position_ = 0;
    rateHz_ = player_.rateHz();
    playLen_ = kind_ == PlayKind::File ? PositionBarFor(player_.length()).PlayLen : 0;
    setState(PlayState::Playing);
    emit lengthChanged(playLen_);
    emit events_.opened(kind_);
    if (kind_ == PlayKind::Stream) pollTitle();
    if (origin_ == Origin::Automatic) endSkipRun(false);
}

void Playback::openFailed(const QString& reason, bool report) {
    failureReason_ = reason;
    const Failure f{kind_, queue_.NamePlay, reason};
    stop();
    emit events_.openFailed(kind_);
    if (!report) return;
    if (origin_ == Origin::Operator) {
        emit failed(f);
        return;
    }
    // Reached by the player itself: the show goes on with the next item.
    if (skipCount_ == 0) {
        skipFirst_ = f;
        skipLeft_ = list_.count() - 1;
    }
    ++skipCount_;
    if (skipLeft_ <= 0) {
        endSkipRun(true);
        return;
    }
    --skipLeft_;
    // After the failure has been handled: the next request starts from a clean stack.
    QTimer::singleShot(0, this, [this] {
        if (skipCount_ > 0 && state_ == PlayState::Stopped) next(Origin::Automatic);
    });
}

void Playback::endSkipRun(bool roundDone) {
    if (skipCount_ == 0) return;
    Failure f = skipFirst_;
    f.skipped = skipCount_;
    f.roundDone = roundDone;
    skipCount_ = 0;
    skipLeft_ = 0;
    emit failed(f);
}

void Playback::playSelected() {
    if (nothingToPlay()) return;
    const int row = list_.firstSelected();
    if (row >= 0 && list_.text(row) == queue_.NamePlay) return;  // the current item goes on
    defineNext();
    play(Origin::Operator);
}

void Playback::next(Origin origin) {
    if (nothingToPlay()) return;
    defineNext();
    play(origin);
}

void Playback::previous() {
    if (nothingToPlay() || !queue_.CanTakePrev()) return;
    queue_.TakePrev(list_);
    emit selectionChanged();
    emit itemChanged(queue_.NamePlay);
    play(Origin::Operator);
}

void Playback::stop() {
    if (queue_.NamePlay.isEmpty()) return;
    opener_.cancel();
    stepTimer_.stop();
    stepTimer_.setInterval(0);
    player_.stop();
    paused_ = false;
    position_ = -1;
    emit events_.displayCleared();
    setState(PlayState::Stopped);
    emit events_.stopped();
}

void Playback::restart() {
    if (opener_.busy()) return;
    player_.stop();
    restarting_ = true;
    startOpen();
}

void Playback::cancelOpen() {
    opener_.cancel();
}

void Playback::setPaused(bool on) {
    if (queue_.NamePlay.isEmpty()) on = false;
    if (on == paused_) {
        emit events_.pauseChanged(paused_);  // a toggle drawn down is drawn up again
        return;
    }
    paused_ = on;
    if (on) {
        player_.pause();
    } else {
        player_.resume();
    }
    if (state_ == PlayState::Playing || state_ == PlayState::Paused)
        setState(on ? PlayState::Paused : PlayState::Playing);
    emit events_.pauseChanged(on);
}

void Playback::setRepeat(bool on) {
    if (queue_.NamePlay.isEmpty()) on = false;
    repeat_ = on;
    emit repeatChanged(repeat_, repeatEnabled_);
}

void Playback::toggleRepeat() {
    if (repeatEnabled_) setRepeat(!repeat_);
}

void Playback::seek(int seconds) {
    seekTo(seconds);
}

bool Playback::canSeek() const {
    return kind_ == PlayKind::File && state_ == PlayState::Playing && !paused_ && !opener_.busy() &&
           stepTimer_.interval() == 0;
}

bool Playback::seekTo(double seconds) {
    if (!canSeek() || !std::isfinite(seconds)) return false;
    // The length is whole seconds; past it the source simply ends and the tick moves on as at
    // any end.
    const double target = std::clamp(seconds, 0.0, std::max(0.0, player_.length()));
    player_.seek(target);
    position_ = util::RoundHalfEvenClamped(target, 0, 1 << 30);
    emit positionChanged(position_);
    emit seeked(target);
    return true;
}

bool Playback::seekBy(double deltaSec) {
    if (!canSeek()) return false;
    const double now = player_.position();
    // A file between two reads of its position (-1): counted from the last tick's second.
    return seekTo((now >= 0 ? now : std::max(position_, 0)) + deltaSec);
}

void Playback::setMasterVolume(int value) {
    value = std::clamp(value, 0, 100);
    player_.setMasterVolume(value);
    if (value == masterVolume_) return;
    masterVolume_ = value;
    emit masterVolumeChanged(value);
}

int Playback::openItems(const QStringList& items) {
    if (items.isEmpty()) return 0;
    emit musicListNeeded();
    list_.clearSelection();
    const int first = list_.count();
    int taken = 0;
    for (const QString& item : items) {
        if (!list_.append(item)) break;
        ++taken;
    }
    if (taken == 0) {
        emit selectionChanged();
        return 0;
    }
    list_.setSelected(first, true);
    list_.setCurrentRow(first);
    emit selectionChanged();
    // The selected line becomes the current item and plays; when it already is the current item
    // it plays again from its start.
    if (list_.text(first) == queue_.NamePlay) {
        play(Origin::Operator);
    } else {
        next(Origin::Operator);
    }
    return taken;
}

void Playback::pollTitle() {
    const StreamMeta m = ParseStreamMeta(player_.meta());
    if (m == meta_) return;
    meta_ = m;
    emit titleChanged(meta_.title);
}

void Playback::tick() {
    if (opener_.busy() || stepTimer_.interval() != 0 || held_) return;
    if (state_ == PlayState::Stopped || state_ == PlayState::Opening) return;
    const double p = player_.position();
    const int t = util::RoundHalfEvenClamped(p, -1, 1 << 30);
    if (kind_ == PlayKind::File && p == -1.0 && player_.ended()) {
        if (AtFileEnd(repeat_) == FileEndAction::Repeat) {
            play(Origin::Automatic);
        } else {
            next(Origin::Automatic);
        }
        return;
    }
    position_ = t;
    emit positionChanged(t);
    emit events_.positionTick(t);
    if (kind_ != PlayKind::Stream) return;
    pollTitle();
    if (t > timeouts_.streamRenewSec) restart();
}

void Playback::restartIfStalled() {
    if (kind_ != PlayKind::Stream || opener_.busy() || state_ != PlayState::Playing) {
        droppedFor_.invalidate();  // the wait counts only while a station plays
        return;
    }
    // A station whose server closed the connection has ended; it is connected again once it
    // has been silent as long as a stalled one (the server may be back by then).
    const bool dropped = !held_ && player_.ended();
    if (!dropped) {
        droppedFor_.invalidate();
    } else if (!droppedFor_.isValid()) {
        droppedFor_.start();
    }
    const bool longDropped = dropped && droppedFor_.elapsed() >= timeouts_.droppedStationWaitMs;
    if (!longDropped && !player_.stalled()) return;
    droppedFor_.invalidate();
    emit events_.stalled();
    restart();
}

}  // namespace velorixa::playback
