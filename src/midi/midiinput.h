#pragma once
// The MIDI inputs of every controller present, through RtMidi on the ALSA sequencer or JACK
// (in the player's MIDI module, loaded once a server is there: midi/midibackend.h).
// A thread of its own looks at the list of ports at a modest rate (pollMs), opens each new
// controller's port (and its output, for the lights, where it has one) and closes the ports of
// controllers unplugged. Messages arrive on RtMidi's threads, are parsed per port and go into
// the mailbox; the first one after the window's last take emits eventsReady, which reaches the
// window thread queued. The player's own ports (its client name) are never opened.
//
// Thread contract: construct, start, take and send on the GUI thread; the signals are emitted
// from the input's threads and reach receivers on theirs queued. The destructor stops the
// thread and closes every port before it returns.

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "midi/mailbox.h"

namespace velorixa::midi {

enum class MidiApi { Alsa, Jack };

class MidiInput : public QObject {
    Q_OBJECT
  public:
    struct Options {
        MidiApi api = MidiApi::Alsa;
        int pollMs = 1000;
        QString clientName = QStringLiteral("Velorixa");
    };
    explicit MidiInput(Options options, QObject* parent = nullptr);
    ~MidiInput() override;

    void start();
    void stop();

    // The events that came since the last take, and the controller an event's port belongs to.
    std::vector<ControllerEvent> take() { return mailbox_.take(); }
    QString controllerOf(int port) const;
    // Queued to the controller's output, if it has one; sent on the input thread.
    void send(const QString& controller, const MidiMessage& m);

    // The controller name of a port name: an ALSA name without its "client:port" numbers.
    static QString ControllerName(const QString& portName);

  signals:
    void eventsReady();
    void controllerAdded(const QString& name);
    void controllerRemoved(const QString& name);

  private:
    struct Port;
    void run();
    void poll();
    void closeAll();
    void flushOutput();
    static void onMessage(double, std::vector<unsigned char>* bytes, void* user);

    Options options_;
    EventMailbox mailbox_;
    std::thread thread_;
    std::mutex wakeMu_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // Owned and touched by the input thread only.
    std::vector<std::unique_ptr<Port>> ports_;
    struct Probe;
    std::unique_ptr<Probe> probe_;
    int nextPortId_ = 1;
    bool backendReported_ = false;  // a missing MIDI module is said once
    // Port ids to names, read by the window thread.
    mutable std::mutex namesMu_;
    std::vector<std::pair<int, QString>> names_;
    // Messages waiting for the lights.
    std::mutex outMu_;
    std::vector<std::pair<QString, std::vector<std::uint8_t>>> out_;
};

}  // namespace velorixa::midi
