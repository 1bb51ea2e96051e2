// The media controls end to end: the real window on the no-sound device, its MPRIS object on a
// session bus the test starts, and a client on that bus doing what playerctl or a desktop's
// sound menu does.
#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "app/windowfixture.h"
#include "desktop/privatebus.h"
#include "desktop/ui/mprisservice.h"
#include "playback/playback.h"
#include "playback/ui/transportpanel.h"

namespace velorixa {
namespace {

using desktop::MprisService;
using test::BusClient;
using test::PrivateBus;

class MprisTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
        WindowFixture::SetUp();
        setTwoTones();
        playerBus_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), "vx-player"));
        mpris_ =
            new MprisService(w_->playback(), desktop::DesktopWindowOf(*w_), *playerBus_, w_.get());
        w_->addShutdownStep([m = QPointer(mpris_)] {
            if (m) m->stop();
        });
        ASSERT_TRUE(mpris_->start());
        client_ = std::make_unique<BusClient>(bus_.address(), desktop::kMprisService);
        ASSERT_TRUE(client_->listen());
    }
    void TearDown() override {
        client_.reset();
        WindowFixture::TearDown();  // the window takes the service with it
        playerBus_.reset();
        QDBusConnection::disconnectFromBus("vx-player");
    }

    bool playing() { return player().GetFilePlayPerf(); }
    // The request went through its step timer and the item plays.
    bool settled() { return !w_->TimerNet()->isActive() && !play().Opening() && playing(); }
    QString status() { return client_->playerProperty("PlaybackStatus").toString(); }
    QVariantMap metadata() { return test::toMap(client_->playerProperty("Metadata")); }
    // Waits for a PropertiesChanged signal of the player holding property with value (for
    // "xesam:title", the title in the metadata).
    bool signalled(const QString& property, const QVariant& value) {
        return waitFor(
            [&] {
                for (const test::ChangedSignal& s : client_->signals_)
                    if (s.interface == desktop::kMprisPlayer &&
                        (property == "xesam:title"
                             ? test::toMap(s.changed.value("Metadata")).value(property)
                             : s.changed.value(property)) == value)
                        return true;
                return false;
            },
            2000);
    }

    PrivateBus bus_;
    std::unique_ptr<QDBusConnection> playerBus_;
    MprisService* mpris_ = nullptr;
    std::unique_ptr<BusClient> client_;
};

TEST_F(MprisTest, PlayPauseStartsTheSelectedItemThenPausesAndResumesAndStopStops) {
    EXPECT_EQ(status(), "Stopped");
    clickRow(1);
    client_->player("PlayPause");
    ASSERT_TRUE(waitFor([&] { return playing(); }, 2000));
    EXPECT_EQ(namePlay(), toneB_);
    EXPECT_TRUE(signalled("PlaybackStatus", "Playing"));
    EXPECT_TRUE(signalled("xesam:title", "b tone, 880"));
    EXPECT_EQ(status(), "Playing");
    const QVariantMap m = metadata();
    EXPECT_EQ(m.value("xesam:title").toString(), "b tone, 880");
    EXPECT_EQ(m.value("xesam:url").toString(),
              QString::fromUtf8(QUrl::fromLocalFile(toneB_).toEncoded()));
    EXPECT_NEAR(m.value("mpris:length").toLongLong() / 1e6, 2.0, 0.5)
        << "the player's length in whole seconds";
    EXPECT_FALSE(m.value("mpris:trackid").value<QDBusObjectPath>().path().isEmpty());

    ASSERT_TRUE(waitFor([&] { return player().GetFilePos() > 0.2f; }, 2000));
    client_->player("PlayPause");
    EXPECT_TRUE(signalled("PlaybackStatus", "Paused"));
    EXPECT_EQ(status(), "Paused");
    EXPECT_FALSE(playing());
    const qlonglong at = client_->playerProperty("Position").toLongLong();
    EXPECT_GT(at, 0) << "a paused file keeps its position";

    client_->player("Play");
    ASSERT_TRUE(waitFor([&] { return playing(); }, 1000));
    EXPECT_EQ(status(), "Playing");
    EXPECT_EQ(namePlay(), toneB_) << "resumed, not started again";
    EXPECT_GE(client_->playerProperty("Position").toLongLong(), at);

    client_->signals_.clear();
    client_->player("Stop");
    EXPECT_TRUE(signalled("PlaybackStatus", "Stopped"));
    EXPECT_FALSE(playing());
    EXPECT_EQ(client_->playerProperty("Position").toLongLong(), 0);
    client_->player("Pause");
    EXPECT_EQ(status(), "Stopped") << "Pause does nothing while stopped";
}

TEST_F(MprisTest, NextFollowsThePlayOrderAndPreviousGoesBack) {
    client_->player("Play");
    ASSERT_TRUE(waitFor([&] { return settled(); }, 2000));
    EXPECT_EQ(namePlay(), toneA_) << "nothing selected: the first line down the list";
    client_->player("Next");
    ASSERT_TRUE(signalled("xesam:title", "b tone, 880"));
    ASSERT_TRUE(waitFor([&] { return settled(); }, 2000));
    EXPECT_EQ(namePlay(), toneB_);
    EXPECT_EQ(client_->playerProperty("CanGoPrevious").toBool(), true);
    client_->player("Next");
    ASSERT_TRUE(waitFor([&] { return namePlay() == toneA_ && settled(); }, 2000))
        << "round to the top";
    EXPECT_EQ(metadata().value("xesam:title").toString(), "a tone, 440");
    client_->player("Previous");
    ASSERT_TRUE(waitFor([&] { return namePlay() == toneB_ && settled(); }, 2000));
    EXPECT_EQ(metadata().value("xesam:title").toString(), "b tone, 880");
}

TEST_F(MprisTest, VolumeRoundTripThroughTheMasterVolumeBar) {
    const QDBusMessage r = client_->setPlayerProperty("Volume", 0.25);
    EXPECT_NE(r.type(), QDBusMessage::ErrorMessage) << r.errorMessage().toStdString();
    EXPECT_EQ(w_->transport().masterVolume(), 25);
    int32_t master = -1;
    player().GetMasterVolume(master);
    EXPECT_EQ(master, 25) << "the bar set the player's master volume";
    EXPECT_DOUBLE_EQ(client_->playerProperty("Volume").toDouble(), 0.25);
    EXPECT_TRUE(signalled("Volume", 0.25));

    w_->transport().setMasterVolume(70);  // the operator moves the bar (or presses a key)
    EXPECT_TRUE(signalled("Volume", 0.7));
    EXPECT_DOUBLE_EQ(client_->playerProperty("Volume").toDouble(), 0.7);
    client_->setPlayerProperty("Volume", 3.0);
    EXPECT_EQ(w_->transport().masterVolume(), 100) << "clamped";
}

TEST_F(MprisTest, EmptyListCannotPlayAndTheFlagsFollowTheList) {
    setList({});
    EXPECT_FALSE(client_->playerProperty("CanPlay").toBool());
    client_->player("PlayPause");
    EXPECT_EQ(status(), "Stopped");
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
    setList({toneA_});
    EXPECT_TRUE(client_->playerProperty("CanPlay").toBool());
    EXPECT_TRUE(client_->playerProperty("CanGoNext").toBool());
}

TEST_F(MprisTest, RootInterfaceNamesThePlayerAndQuitUnloadsIt) {
    const QDBusMessage all =
        client_->call("org.freedesktop.DBus.Properties", "GetAll", {"org.mpris.MediaPlayer2"});
    ASSERT_EQ(all.type(), QDBusMessage::ReplyMessage) << all.errorMessage().toStdString();
    const QVariantMap root = test::toMap(all.arguments().value(0));
    EXPECT_EQ(root.value("Identity").toString(), "Velorixa");
    EXPECT_EQ(root.value("DesktopEntry").toString(), "velorixa") << "velorixa.desktop";
    EXPECT_TRUE(root.value("SupportedMimeTypes").toStringList().contains("audio/mpeg"));

    client_->call("org.mpris.MediaPlayer2", "Quit");
    ASSERT_TRUE(waitFor([&] { return w_->unloadCount() == 1; }, 2000));
    EXPECT_FALSE(w_->isVisible());
    EXPECT_TRUE(waitFor(
        [&] { return !client_->bus().interface()->isServiceRegistered(desktop::kMprisService); },
        2000))
        << "the name leaves the bus with the window";
}

TEST_F(MprisTest, OpenUriAppendsAndPlays) {
    client_->player("OpenUri", {QUrl::fromLocalFile(toneB_).toString()});
    ASSERT_TRUE(waitFor([&] { return playing(); }, 2000));
    EXPECT_EQ(list().PlayListView()->model().texts(), (QStringList{toneA_, toneB_, toneB_}));
    EXPECT_EQ(namePlay(), toneB_);
    EXPECT_EQ(list().PlayListView()->model().firstSelected(), 2);
}

// A FIFO, a link to /dev/zero and a 50 MB line over OpenUri: read off the window's thread,
// refused with a message that names them and does not block, the window answering throughout.
TEST_F(MprisTest, OpenUriOfHostilePlaylistsNeverStopsTheWindow) {
    const QString d = appDir_.path();
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + "/x.m3u").constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(d + "/z.m3u").constData()), 0);
    {
        QFile big(d + "/big.m3u");
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        const QByteArray mb(1024 * 1024, 'y');
        for (int i = 0; i < 50; ++i)
            big.write(mb);
    }
    const QStringList before = list().PlayListView()->model().texts();
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"x.m3u", "a FIFO, not a file"},
                 {"z.m3u", "a device, not a file"},
                 {"big.m3u", "larger than 32 MB"}};
    for (const auto& c : cases) {
        // The window's own timer keeps firing while the request is read.
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(5);
        const QString uri = QUrl::fromLocalFile(d + "/" + c.file).toString();
        const QDBusMessage reply = client_->player("OpenUri", {uri});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << c.file;
        QMessageBox* notice = nullptr;
        ASSERT_TRUE(waitFor(
            [&] {
                notice = w_->findChild<QMessageBox*>("Notice");
                return notice != nullptr;
            },
            10000))
            << c.file;
        EXPECT_TRUE(notice->text().contains(QString(c.file) + ": " + c.reason))
            << notice->text().toStdString();
        EXPECT_FALSE(notice->isModal());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(waitFor([&] { return ticks >= 3; }, 2000)) << "the window answers";
        delete notice;
    }
    EXPECT_EQ(list().PlayListView()->model().texts(), before);
}

TEST_F(MprisTest, WithoutABusThePlayerRunsAsBefore) {
    QDBusConnection none = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "vx-none");
    auto* silent = new MprisService(w_->playback(), desktop::DesktopWindowOf(*w_), none, w_.get());
    EXPECT_FALSE(silent->start());
    // The keys' procedures and the bar go on; the service only watches.
    w_->playback().play();
    ASSERT_TRUE(waitFor([&] { return playing(); }, 2000));
    w_->transport().setMasterVolume(40);
    EXPECT_DOUBLE_EQ(silent->volume(), 0.4);
    w_->playback().stop();
    EXPECT_FALSE(playing());
    delete silent;
    QDBusConnection::disconnectFromBus("vx-none");
}

}  // namespace
}  // namespace velorixa
