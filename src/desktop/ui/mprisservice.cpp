#include "desktop/ui/mprisservice.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include "desktop/commandline.h"
#include "desktop/ui/openitems.h"
#include "playback/playback.h"
#include "playlist/tagcache.h"
#include "util/playable.h"
#include "util/ui/notice.h"

namespace velorixa::desktop {

using playback::Origin;
using playback::Playback;

DesktopWindow DesktopWindowOf(QWidget& window) {
    QPointer<QWidget> w(&window);
    return {[w] {
                if (!w) return;
                w->showNormal();
                w->raise();
                w->activateWindow();
            },
            [w] {
                if (w) w->close();
            },
            [w](const QString& text) {
                if (w) util::ShowNotice(w, QStringLiteral("Open"), text);
            }};
}

MprisService::MprisService(Playback& playback, DesktopWindow window, QDBusConnection bus,
                           QObject* parent)
    : QObject(parent), playback_(playback), window_(std::move(window)), bus_(std::move(bus)) {
    new MprisRootAdaptor(this, *this);
    playerAdaptor_ = new MprisPlayerAdaptor(this, *this);
    new VelorixaAdaptor(this, *this);
    state_.masterVolume(playback_.masterVolume());

    playback::TransportEvents& ev = playback_.events();
    connect(&ev, &playback::TransportEvents::requestStarted, this, [this] {
        lastPositionUs_ = 0;
        QVariantMap changed = state_.requestStarted(playback_.item());
        if (const audio::TrackTags* t = tags_ ? tags_->find(playback_.item()) : nullptr)
            changed.insert(state_.tagsRead(playback_.item(), *t));
        else if (tags_)
            tags_->wantFirst(playback_.item());
        publish(std::move(changed));
    });
    connect(&ev, &playback::TransportEvents::opened, this,
            [this] { publish(state_.opened(playback_.length())); });
    connect(&ev, &playback::TransportEvents::stopped, this, [this] { publish(state_.stopped()); });
    connect(&ev, &playback::TransportEvents::openFailed, this,
            [this] { publish(state_.stopped()); });
    connect(&ev, &playback::TransportEvents::pauseChanged, this,
            [this](bool on) { publish(state_.paused(on)); });
    connect(&ev, &playback::TransportEvents::positionTick, this, [this] { positionUs(); });
    connect(&playback_, &Playback::seeked, this, [this](double seconds) {
        lastPositionUs_ = static_cast<qlonglong>(seconds * 1e6);
        if (registered_) emit playerAdaptor_->Seeked(lastPositionUs_);
    });
    connect(&playback_, &Playback::titleChanged, this,
            [this](const QString& title) { publish(state_.streamTitle(title)); });
    connect(&playback_, &Playback::masterVolumeChanged, this,
            [this](int v) { publish(state_.masterVolume(v)); });
    lastFlags_ = canFlags();
}

void MprisService::setTags(playlist::TagCache* tags) {
    if (tags_) disconnect(tags_, nullptr, this, nullptr);
    tags_ = tags;
    if (!tags_) return;
    connect(tags_, &playlist::TagCache::tagsRead, this, [this](const QStringList& paths) {
        const QString& item = playback_.item();
        if (!paths.contains(item)) return;
        if (const audio::TrackTags* t = tags_->find(item)) publish(state_.tagsRead(item, *t));
    });
}

MprisService::~MprisService() {
    stop();
}

bool MprisService::start() {
    if (registered_ || !bus_.isConnected()) return false;
    if (!bus_.registerObject(kMprisPath, this, QDBusConnection::ExportAdaptors)) return false;
    serviceName_ = kMprisService;
    if (!bus_.registerService(serviceName_)) {
        serviceName_ += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus_.registerService(serviceName_)) {
            bus_.unregisterObject(kMprisPath);
            serviceName_.clear();
            return false;
        }
    }
    registered_ = true;
    return true;
}

void MprisService::stop() {
    stopped_ = true;
    if (!registered_) return;
    registered_ = false;
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(kMprisPath);
}

void MprisService::call(MprisMethod method) {
    if (!alive()) return;
    switch (CallFor(method, state_.status())) {
        case TransportCall::PlaySelected:
            playback_.play();
            break;
        case TransportCall::TogglePause:
            positionUs();  // a paused file has no position of its own: keep the last one
            playback_.togglePause();
            break;
        case TransportCall::StopPlayback:
            playback_.stop();
            break;
        case TransportCall::PlayNext:
            // The desktop's Next walks the list as the end of an item does: a bad item is
            // skipped, not a reason for silence.
            playback_.next(Origin::Automatic);
            break;
        case TransportCall::PlayPrev:
            playback_.previous();
            break;
        case TransportCall::None:
            break;
    }
    // The list may have gained its first item from the operator meanwhile.
    publish({});
}

void MprisService::raise() {
    if (alive() && window_.raise) window_.raise();
}

void MprisService::quit() {
    if (!alive()) return;
    // After the reply has gone: the window unloads as when it is closed.
    QTimer::singleShot(0, this, [this] {
        if (alive() && window_.quit) window_.quit();
    });
}

void MprisService::openUri(const QString& uri) {
    if (!alive()) return;
    // A playlist or folder is read on a worker: the window never waits on the file system.
    OpenArgumentsLater(playback_, {uri}, QDir::currentPath(), window_.tell);
}

void MprisService::openItems(const QStringList& items) {
    if (!alive() || items.isEmpty()) return;
    playback_.openItems(items);
    raise();
}

bool HandToRunningPlayer(QDBusConnection bus, const QStringList& items) {
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString::fromLatin1(kMprisService)))
        return false;
    QDBusMessage m = QDBusMessage::createMethodCall(
        QString::fromLatin1(kMprisService), QString::fromLatin1(kMprisPath),
        QString::fromLatin1(kVelorixaInterface), "Open");
    m << items;
    return bus.call(m, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

void MprisService::setVolume(double volume) {
    if (!alive()) return;
    // The change comes back here as a change of the transport's master volume.
    playback_.setMasterVolume(MasterVolumeFor(volume));
}

qlonglong MprisService::positionUs() const {
    if (!alive() || state_.kind() != playback::PlayKind::File ||
        state_.status() == PlaybackStatus::Stopped)
        return 0;
    // A paused file has no position of its own: the last one read stands.
    const double sec = playback_.positionNow();
    if (sec >= 0) lastPositionUs_ = static_cast<qlonglong>(sec * 1e6);
    return lastPositionUs_;
}

void MprisService::seek(qlonglong offsetUs) {
    if (!alive()) return;
    playback_.seekBy(static_cast<double>(offsetUs) / 1e6);
}

void MprisService::setPosition(const QString& trackId, qlonglong positionUs) {
    if (!alive() || trackId.isEmpty() || trackId != state_.trackId()) return;
    // A position outside the file is not one of its places: the call is ignored.
    if (positionUs < 0 || positionUs > state_.lengthUs()) return;
    playback_.seekTo(static_cast<double>(positionUs) / 1e6);
}

bool MprisService::canSeek() const {
    return alive() && state_.kind() == playback::PlayKind::File && playback_.canSeek();
}

bool MprisService::canPlay() const {
    return alive() && playback_.canPlay();
}

bool MprisService::canGoPrevious() const {
    return alive() && playback_.canGoPrevious();
}

QVariantMap MprisService::canFlags() const {
    const bool play = canPlay();
    return {{QStringLiteral("CanPlay"), play},
            {QStringLiteral("CanGoNext"), play},
            {QStringLiteral("CanGoPrevious"), canGoPrevious()},
            {QStringLiteral("CanSeek"), canSeek()}};
}

void MprisService::publish(QVariantMap changed) {
    const QVariantMap flags = canFlags();
    for (auto it = flags.cbegin(); it != flags.cend(); ++it) {
        if (lastFlags_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    lastFlags_ = flags;
    if (changed.isEmpty() || !registered_) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kMprisPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kMprisPlayer) << changed << QStringList();
    bus_.send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), s_(service) {}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"),
            QStringLiteral("ftp")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    QStringList types = util::OpenedMimeTypes() + util::AliasMimeTypes();
    types.removeDuplicates();
    return types;
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), s_(service) {}

}  // namespace velorixa::desktop
