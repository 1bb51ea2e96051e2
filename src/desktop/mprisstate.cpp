#include "desktop/mprisstate.h"

#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "util/fspath.h"

namespace velorixa::desktop {

using playback::PlayKind;

QString StatusText(PlaybackStatus status) {
    switch (status) {
        case PlaybackStatus::Playing:
            return QStringLiteral("Playing");
        case PlaybackStatus::Paused:
            return QStringLiteral("Paused");
        case PlaybackStatus::Stopped:
            break;
    }
    return QStringLiteral("Stopped");
}

TransportCall CallFor(MprisMethod method, PlaybackStatus status) {
    switch (method) {
        case MprisMethod::Play:
            if (status == PlaybackStatus::Paused) return TransportCall::TogglePause;
            return status == PlaybackStatus::Stopped ? TransportCall::PlaySelected
                                                     : TransportCall::None;
        case MprisMethod::Pause:
            return status == PlaybackStatus::Playing ? TransportCall::TogglePause
                                                     : TransportCall::None;
        case MprisMethod::PlayPause:
            return status == PlaybackStatus::Stopped ? TransportCall::PlaySelected
                                                     : TransportCall::TogglePause;
        case MprisMethod::Stop:
            return TransportCall::StopPlayback;
        case MprisMethod::Next:
            return TransportCall::PlayNext;
        case MprisMethod::Previous:
            return TransportCall::PlayPrev;
    }
    return TransportCall::None;
}

int MasterVolumeFor(double volume) {
    if (std::isnan(volume)) return 0;
    return static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100.0));
}

QString ItemTitle(const QString& item) {
    if (playback::ClassifyName(item) == PlayKind::Stream) {
        const qsizetype blank = item.indexOf(u' ');
        const QString name = blank < 0 ? QString() : item.mid(blank + 1).trimmed();
        return name.isEmpty() ? item.left(blank < 0 ? item.size() : blank) : name;
    }
    // A file name that is not UTF-8 on disk goes over the bus in its readable form.
    return QFileInfo(util::PathForDisplay(item)).completeBaseName();
}

PlaybackStatus MprisState::status() const {
    if (!active_) return PlaybackStatus::Stopped;
    return paused_ ? PlaybackStatus::Paused : PlaybackStatus::Playing;
}

QString MprisState::trackId() const {
    return item_.isEmpty() ? QString() : QStringLiteral("/velorixa/track/%1").arg(track_);
}

QVariantMap MprisState::metadata() const {
    QVariantMap m;
    if (item_.isEmpty()) return m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())));
    QString title = streamTitle_.isEmpty() ? ItemTitle(item_) : streamTitle_;
    if (kind_ == PlayKind::File && !tags_.title.isEmpty()) title = tags_.title;
    m.insert(QStringLiteral("xesam:title"), title);
    if (kind_ == PlayKind::File && !tags_.artist.isEmpty())
        m.insert(QStringLiteral("xesam:artist"), QStringList{tags_.artist});
    if (kind_ == PlayKind::File && !tags_.album.isEmpty())
        m.insert(QStringLiteral("xesam:album"), tags_.album);
    m.insert(QStringLiteral("xesam:url"),
             kind_ == PlayKind::File ? QString::fromUtf8(QUrl::fromLocalFile(playName_).toEncoded())
                                     : playName_);
    // The source's own length once it is open; the tags' before.
    const qint64 lengthUs =
        lengthUs_ > 0 ? lengthUs_ : static_cast<qint64>(std::llround(tags_.lengthSec * 1e6));
    if (kind_ == PlayKind::File && lengthUs > 0)
        m.insert(QStringLiteral("mpris:length"), QVariant::fromValue<qint64>(lengthUs));
    return m;
}

QVariantMap MprisState::changedSince(PlaybackStatus status, const QVariantMap& metadata) const {
    QVariantMap changed;
    if (status != this->status())
        changed.insert(QStringLiteral("PlaybackStatus"), StatusText(this->status()));
    const QVariantMap now = this->metadata();
    if (now != metadata) changed.insert(QStringLiteral("Metadata"), now);
    return changed;
}

QVariantMap MprisState::requestStarted(const QString& item) {
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    const playback::PlayRequest req = playback::PlanRequest(item);
    item_ = item;
    playName_ = req.playName;
    kind_ = req.kind;
    streamTitle_.clear();
    lengthUs_ = 0;
    tags_ = {};
    ++track_;
    paused_ = false;  // a new request releases the pause
    return changedSince(s, m);
}

QVariantMap MprisState::opened(double lengthSec) {
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    active_ = true;
    paused_ = false;
    lengthUs_ = kind_ == PlayKind::File && lengthSec > 0
                    ? static_cast<qint64>(std::llround(lengthSec * 1e6))
                    : 0;
    return changedSince(s, m);
}

QVariantMap MprisState::stopped() {
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    active_ = false;
    paused_ = false;
    return changedSince(s, m);
}

QVariantMap MprisState::paused(bool on) {
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    paused_ = on;
    return changedSince(s, m);
}

QVariantMap MprisState::streamTitle(const QString& title) {
    if (kind_ != PlayKind::Stream) return {};
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    // A station that sends an empty title keeps the last one shown.
    if (!title.isEmpty()) streamTitle_ = title;
    return changedSince(s, m);
}

QVariantMap MprisState::tagsRead(const QString& item, const audio::TrackTags& tags) {
    if (item != item_ || kind_ != PlayKind::File) return {};
    const PlaybackStatus s = status();
    const QVariantMap m = metadata();
    tags_ = tags;
    return changedSince(s, m);
}

QVariantMap MprisState::masterVolume(int value) {
    if (value == master_) return {};
    master_ = value;
    return {{QStringLiteral("Volume"), volume()}};
}

}  // namespace velorixa::desktop
