#pragma once
// A session bus of the test's own (dbus-daemon started for the test and ended with it), and a
// client connection to it that calls the player's media-control interfaces and records their
// PropertiesChanged signals. Nothing here touches the user's session bus.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTest>

#include <QVariantMap>
#include <vector>
#include "common/waitfor.h"

namespace velorixa::test {

class PrivateBus {
  public:
    // Empty address when dbus-daemon could not be started.
    PrivateBus() {
        daemon_.start("dbus-daemon", {"--session", "--print-address", "--nofork", "--nopidfile"});
        if (!daemon_.waitForStarted(5000)) return;
        QElapsedTimer t;
        t.start();
        while (!daemon_.canReadLine() && t.elapsed() < 5000)
            daemon_.waitForReadyRead(100);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(2000)) daemon_.kill();
        daemon_.waitForFinished(2000);
    }
    const QString& address() const { return address_; }

  private:
    QProcess daemon_;
    QString address_;
};

// One PropertiesChanged signal as the client saw it.
struct ChangedSignal {
    QString interface;
    QVariantMap changed;
};

inline QVariantMap toMap(const QVariant& v) {
    if (v.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    return v.toMap();
}

class BusClient : public QObject {
    Q_OBJECT
  public:
    BusClient(const QString& address, const QString& service)
        : bus_(QDBusConnection::connectToBus(address, "vx-test-client")), service_(service) {}
    ~BusClient() override { QDBusConnection::disconnectFromBus("vx-test-client"); }

    QDBusConnection& bus() { return bus_; }
    bool listen() {
        return bus_.connect(service_, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                            "PropertiesChanged", this,
                            SLOT(onChanged(QString, QVariantMap, QStringList))) &&
               bus_.connect(service_, "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player",
                            "Seeked", this, SLOT(onSeeked(qlonglong)));
    }

    // A call on the bus, waited for with the event loop running (the player answers from this
    // thread); the reply, or an error message when none came.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage m =
            QDBusMessage::createMethodCall(service_, "/org/mpris/MediaPlayer2", interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = bus_.asyncCall(m, 5000);
        QElapsedTimer t;
        t.start();
        while (!pending.isFinished() && t.elapsed() < 6000)
            QTest::qWait(2);
        return pending.reply();
    }
    QDBusMessage player(const QString& method, const QVariantList& args = {}) {
        return call("org.mpris.MediaPlayer2.Player", method, args);
    }
    QVariant get(const QString& interface, const QString& property) {
        const QDBusMessage r =
            call("org.freedesktop.DBus.Properties", "Get", {interface, property});
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
        return r.arguments().at(0).value<QDBusVariant>().variant();
    }
    QVariant playerProperty(const QString& property) {
        return get("org.mpris.MediaPlayer2.Player", property);
    }
    QDBusMessage setPlayerProperty(const QString& property, const QVariant& value) {
        return call(
            "org.freedesktop.DBus.Properties", "Set",
            {"org.mpris.MediaPlayer2.Player", property, QVariant::fromValue(QDBusVariant(value))});
    }

    std::vector<ChangedSignal> signals_;
    std::vector<qlonglong> seeked_;  // the Seeked signals' positions in microseconds

  private slots:
    void onSeeked(qlonglong positionUs) { seeked_.push_back(positionUs); }
    void onChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        signals_.push_back({interface, changed});
    }

  private:
    QDBusConnection bus_;
    QString service_;
};

}  // namespace velorixa::test
