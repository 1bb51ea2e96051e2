#pragma once
// The controllers' side of the player without a window: each controller's bindings (read from
// and written to its mapping file), what an incoming event does through the doors the keyboard
// and the controls use, soft take-over of absolute knobs, the learn step and the lights of the
// pads.
//
// Soft take-over: a hardware knob bound absolutely does not move its value until it reaches it.
// It takes over when its value comes within a small distance of the value shown, or when one move
// passes over it; until then the knob "waits" and takeoverChanged tells where the hardware and
// the value stand. A value moved by anything else afterwards (a key recall, the wave, the mouse)
// is taken over anew in the same way.
//
// Learn: startLearn, then the operator names a target (learnTarget: a knob moved, a key pressed,
// a target chosen), then the first controller event binds its source to it and learn ends. A
// control change bound to a value is absolute, unless its first three values are one and the
// same small step up or down (1..3 or 125..127: a two's-complement encoder; 61..63 or 65..67: an
// offset encoder), as relative encoders send and absolute knobs never do.
//
// Thread contract: GUI thread only.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "midi/mailbox.h"
#include "midi/mapping.h"

namespace velorixa::midi {

// The doors a controller goes through: the same the keys and the controls use, with the origin
// "controller".
class ControllerDoors {
  public:
    virtual ~ControllerDoors() = default;
    // A value target's value now.
    virtual int value(const Target& t) const = 0;
    virtual void setValue(const Target& t, int v) = 0;
    // A button target went down / came up (a pad, a foot switch, a program change).
    virtual void press(const Target& t) = 0;
    virtual void release(const Target& t) = 0;
    // Performance key k 1..26: 0 holds no setting, 1 holds one, 2 holds one and is down.
    virtual int keyState(int k) const = 0;
};

class ControllerHub : public QObject {
    Q_OBJECT
  public:
    // folder: where the mapping files are (made when the first binding is written).
    ControllerHub(ControllerDoors& doors, QString folder, QObject* parent = nullptr);

    // A controller was plugged in (or found at start): its mapping file is read.
    void controllerAdded(const QString& name);
    // Unplugged: its pads held down come up.
    void controllerRemoved(const QString& name);
    QStringList controllers() const { return present_; }

    void handle(const QString& controller, const ControllerEvent& e);
    // Events handled so far (bound or not).
    long handled() const { return handled_; }

    void startLearn();
    void cancelLearn();
    bool learning() const { return learn_ != Learn::Off; }
    // While learning: the target the next controller event binds.
    void learnTarget(const Target& t);
    std::optional<Target> pendingTarget() const { return target_; }

    const Mapping& mapping(const QString& controller) const;
    void removeBinding(const QString& controller, int index);
    QString mappingPath(const QString& controller) const;

    // Lights of the pads bound to the performance keys: sends what changed since last time.
    void refreshLights();
    // Sends one message to a controller's output (the window binds the MIDI output here).
    std::function<void(const QString& controller, const MidiMessage& m)> sendToController;

  signals:
    // A mapping file could not be read, or lines of it were left out; a binding was made.
    void message(const QString& text);
    void mappingChanged(const QString& controller);
    void learnChanged(bool learning, const QString& prompt);
    // Empty when no knob waits.
    void takeoverChanged(const QString& text);

  private:
    enum class Learn { Off, WantTarget, WantSource };
    struct Take {
        int lastHw = -1;    // the hardware's last value, in the target's units
        int lastSent = -1;  // what it set last
        bool caught = false;
    };
    struct Refine {
        QString controller;
        Source source;
        int values[3] = {0, 0, 0};
        int seen = 0;
    };
    using Key = std::tuple<QString, int, int, int>;
    static Key keyOf(const QString& c, const Source& s) {
        return {c, static_cast<int>(s.kind), s.channel, s.number};
    }

    void apply(const QString& controller, const Binding& b, const ControllerEvent& e);
    // first: where the hardware was at the first of the coalesced values (-1: one value).
    void applyAbsolute(const QString& controller, const Binding& b, int hw, int first);
    void learnFrom(const QString& controller, const Source& s, const ControllerEvent& e);
    void refine(const QString& controller, const Source& s, int value);
    void save(const QString& controller);

    ControllerDoors& doors_;
    QString folder_;
    QStringList present_;
    QHash<QString, Mapping> mappings_;
    QSet<QString> broken_;  // their file could not be read: it is kept aside on the next save
    std::map<Key, Take> takes_;
    std::map<Key, bool> down_;                             // button sources held down
    std::map<std::tuple<QString, int, int>, int> lights_;  // (controller, channel, note) -> sent
    Learn learn_ = Learn::Off;
    std::optional<Target> target_;
    std::optional<Refine> refine_;
    QString waiting_;  // the take-over text shown
    long handled_ = 0;
};

Source SourceOf(const MidiMessage& m);

}  // namespace velorixa::midi
