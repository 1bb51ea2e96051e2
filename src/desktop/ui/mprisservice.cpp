#include "desktop/ui/mprisservice.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include "app/ui/velmix.h"
#include "audio/player.h"
#include "desktop/commandline.h"
#include "desktop/ui/openitems.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playback/ui/transportpanel.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

namespace velorixa::desktop {

namespace {
// A button drawn pressed for a media-control method springs back after this, as after a key.
constexpr int kFlashMs = 150;
}  // namespace

MprisService::MprisService(VelMix& window, QDBusConnection bus, QObject* parent)
    : QObject(parent), w_(window), bus_(std::move(bus)) {
    new MprisRootAdaptor(this, *this);
    new MprisPlayerAdaptor(this, *this);
    new VelorixaAdaptor(this, *this);
    state_.masterVolume(w_.transport().masterVolume());

    playback::TransportEvents& ev = w_.playControl().events();
    connect(&ev, &playback::TransportEvents::requestStarted, this, [this] {
        lastPositionUs_ = 0;
        publish(state_.requestStarted(w_.playQueue().NamePlay));
    });
    connect(&ev, &playback::TransportEvents::opened, this,
            [this] { publish(state_.opened(w_.player().GetFileLen())); });
    connect(&ev, &playback::TransportEvents::stopped, this, [this] { publish(state_.stopped()); });
    connect(&ev, &playback::TransportEvents::openFailed, this,
            [this] { publish(state_.stopped()); });
    connect(&ev, &playback::TransportEvents::pauseChanged, this,
            [this](bool on) { publish(state_.paused(on)); });
    // The station's title is read by the station panel at the position tick; it is taken from
    // there at the same tick.
    connect(&ev, &playback::TransportEvents::positionTick, this, [this] {
        positionUs();
        if (state_.kind() == playback::PlayKind::Stream)
            publish(state_.streamMeta(w_.playControl().LastMeta));
    });
    w_.transport().onMasterVolumeChanged(this, [this](int v) { publish(state_.masterVolume(v)); });
    w_.addShutdownStep([self = QPointer<MprisService>(this)] {
        if (self) self->stop();
    });
    lastFlags_ = canFlags();
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
    if (!registered_) return;
    registered_ = false;
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(kMprisPath);
}

bool MprisService::alive() const {
    return w_.unloadCount() == 0;
}

void MprisService::flash(int button) {
    const auto b = static_cast<TransportButton>(button);
    w_.transport().showPressed(b, true);
    QTimer::singleShot(kFlashMs, this, [this, b] {
        if (alive()) w_.transport().showPressed(b, false);
    });
}

void MprisService::call(MprisMethod method) {
    if (!alive()) return;
    PlayControl& play = w_.playControl();
    switch (CallFor(method, state_.status())) {
        case TransportCall::PlaySelected:
            flash(static_cast<int>(TransportButton::Play));
            play.PlaySelected();
            break;
        case TransportCall::TogglePause:
            positionUs();  // a paused file has no position of its own: keep the last one
            play.TogglePause();
            break;
        case TransportCall::StopPlayback:
            flash(static_cast<int>(TransportButton::Stop));
            play.StopPlayback();
            break;
        case TransportCall::PlayNext:
            flash(static_cast<int>(TransportButton::Next));
            play.PlayNext();
            break;
        case TransportCall::PlayPrev:
            flash(static_cast<int>(TransportButton::Prev));
            play.PlayPrev();
            break;
        case TransportCall::None:
            break;
    }
    // The list may have gained its first item from the operator meanwhile.
    publish({});
}

void MprisService::raise() {
    if (!alive()) return;
    w_.showNormal();
    w_.raise();
    w_.activateWindow();
}

void MprisService::quit() {
    if (!alive()) return;
    // After the reply has gone: the window unloads as when it is closed.
    QTimer::singleShot(0, &w_, [this] {
        if (alive()) w_.Unload();
    });
}

void MprisService::openUri(const QString& uri) {
    if (!alive()) return;
    // A playlist or folder is read on a worker: the window never waits on the file system.
    OpenArgumentsLater(w_, {uri}, QDir::currentPath());
}

void MprisService::openItems(const QStringList& items) {
    if (!alive() || items.isEmpty()) return;
    OpenItems(w_, items);
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
    // The bar's change sets the player's master volume and comes back here as a change.
    w_.transport().setMasterVolume(MasterVolumeFor(volume));
}

qlonglong MprisService::positionUs() const {
    if (!alive() || state_.kind() != playback::PlayKind::File ||
        state_.status() == PlaybackStatus::Stopped)
        return 0;
    // A paused file has no position of its own: the last one read stands.
    const float sec = w_.player().GetFilePos();
    if (sec >= 0) lastPositionUs_ = static_cast<qlonglong>(static_cast<double>(sec) * 1e6);
    return lastPositionUs_;
}

bool MprisService::canPlay() const {
    if (!alive()) return false;
    return !playback::NothingToPlay(w_.playQueue().NamePlay,
                                    w_.playListPage().PlayListView()->model().count());
}

bool MprisService::canGoPrevious() const {
    return alive() && canPlay() && w_.playQueue().CanTakePrev();
}

QVariantMap MprisService::canFlags() const {
    const bool play = canPlay();
    return {{QStringLiteral("CanPlay"), play},
            {QStringLiteral("CanGoNext"), play},
            {QStringLiteral("CanGoPrevious"), canGoPrevious()}};
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
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/x-mpegurl"),
            QStringLiteral("audio/x-scpls")};
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* object, MprisService& service)
    : QDBusAbstractAdaptor(object), s_(service) {}

}  // namespace velorixa::desktop
