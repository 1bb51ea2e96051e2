#pragma once
// The hardware controllers put together with the window: the doors a controller goes through
// (the same the keys and the controls use, with the origin "controller"), the MIDI inputs on the
// ALSA sequencer and on JACK, the hub with the bindings, and the controllers' part of the
// "Settings" page. Learn takes its target from the operator's own moves: a knob or bar moved on
// the "Effects" page, a key command pressed (which then does not act), or the target chosen in
// the controllers' window.
//
// Thread contract: GUI thread only (the inputs hand their events over queued).

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "controls/origin.h"
#include "midi/controllerhub.h"

namespace velorixa {

class VelMix;
namespace midi {
class MidiInput;
class ControllerPanel;
}  // namespace midi

class Controllers : public QObject, public midi::ControllerDoors {
    Q_OBJECT
  public:
    struct Options {
        QString folder;  // the mapping files; empty: $XDG_CONFIG_HOME/velorixa
        bool alsa = true, jack = true;
        int pollMs = 1000;
    };
    Controllers(VelMix& w, Options options, QObject* parent = nullptr);
    ~Controllers() override;

    midi::ControllerHub& hub() { return *hub_; }
    midi::ControllerPanel& panel() { return *panel_; }
    // Takes the events waiting in every input (what eventsReady runs).
    void drain();

    int value(const midi::Target& t) const override;
    void setValue(const midi::Target& t, int v) override;
    void press(const midi::Target& t) override;
    void release(const midi::Target& t) override;
    int keyState(int k) const override;

  private:
    void learnFromSound(const midi::Target& t, controls::Origin origin);

    VelMix& w_;
    std::unique_ptr<midi::ControllerHub> hub_;
    midi::ControllerPanel* panel_ = nullptr;
    std::vector<std::unique_ptr<midi::MidiInput>> inputs_;
    QTimer lights_;
};

}  // namespace velorixa
