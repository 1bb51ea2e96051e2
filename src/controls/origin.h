#pragma once
// Who set a sound value. Every change of the sound setting carries its origin, so a listener
// tells the operator's own move from one the program makes (a recalled key, a style, the wave)
// without a shared "the program is changing it" flag.
//
// Thread contract: a plain value; any thread.

namespace velorixa::controls {

enum class Origin {
    Operator,    // a hand on the window's controls
    KeyRecall,   // a performance key the operator fired recalls its stored setting
    Style,       // a key the running style fired recalls its setting
    Wave,        // the wave tick moves the rotating knobs
    Remote,      // the desktop's media controls or another remote
    Controller,  // an external control surface
    Program,     // start-up and the initial sound
};

// A user's own hand (at the window, on a controller or a remote) takes the sound over: a running
// style stops and the performance keys come up. What the program does on its own does not.
constexpr bool TakesOver(Origin o) {
    return o == Origin::Operator || o == Origin::Remote || o == Origin::Controller;
}

}  // namespace velorixa::controls
