#pragma once
// The hand-over from the MIDI input threads to the window thread. A fast knob sends a thousand
// control changes a second; the window takes what came since it last looked, with the changes of
// one controller number coalesced into one event: its last value (an absolute knob goes where the
// hand left it) and the sum of its detents in both encoder forms (a relative encoder turns by all
// of them). Notes and program changes are kept in order, each one. The first event after a take
// tells the writer to wake the reader; further ones wait for that take.
//
// Thread contract: push from any thread, take from one reader. The lock is held only to append
// or to swap the pending list out, never while the window works on the events.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "midi/midimessage.h"

namespace velorixa::midi {

struct ControllerEvent {
    int port = 0;         // which input it came from
    MidiMessage message;  // a control change: its last value
    int twos = 0;         // a control change: its detents summed as a two's-complement encoder
    int offset = 0;       // ... and as an offset encoder
    int count = 1;        // messages coalesced into this event
    int first = 0;        // a control change: the value of the first of them
};

class EventMailbox {
  public:
    // Bound on events waiting (coalesced control changes never reach it; a flood of notes that
    // the window has not taken is cut, counted in dropped()).
    static constexpr std::size_t kMaxPending = 8192;

    // True when the mailbox was empty: the reader is to be woken.
    bool push(int port, const MidiMessage& m);
    std::vector<ControllerEvent> take();
    std::size_t dropped() const;

  private:
    mutable std::mutex mu_;
    std::vector<ControllerEvent> pending_;
    std::vector<ControllerEvent> spare_;
    std::unordered_map<std::uint32_t, std::size_t> ccIndex_;
    std::size_t dropped_ = 0;
};

}  // namespace velorixa::midi
