#pragma once
// MIDI bytes to the channel messages a controller sends: control change, note on/off and program
// change. The parser takes the bytes as they come, in pieces of any size, and keeps the state of
// the wire between pieces: running status (data bytes after a first message repeat its status),
// SysEx of any length (skipped to its end), real-time bytes in the middle of a message (ignored),
// system common messages (they end the running status) and messages cut short (a new status byte
// drops the unfinished message; data bytes without a status are dropped).
//
// Thread contract: a plain value; one parser per input, used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velorixa::midi {

enum class MidiKind : std::uint8_t { ControlChange, NoteOn, NoteOff, ProgramChange };

struct MidiMessage {
    MidiKind kind = MidiKind::ControlChange;
    std::uint8_t channel = 1;  // 1..16
    std::uint8_t number = 0;   // controller, note or program 0..127
    std::uint8_t value = 0;    // controller value or velocity 0..127; 0 for a program change
    friend bool operator==(const MidiMessage&, const MidiMessage&) = default;
};

class MidiParser {
  public:
    // Appends the complete messages found in bytes to out. A note-on with velocity 0 is a
    // note-off, as every keyboard sends it. Pitch bend, aftertouch and the rest are read past.
    void feed(const std::uint8_t* bytes, std::size_t n, std::vector<MidiMessage>& out);
    // Forgets a message under way (the input was closed in mid-message).
    void reset();

  private:
    std::uint8_t status_ = 0;  // running status; 0 = none
    std::uint8_t data_[2] = {0, 0};
    int have_ = 0;
    bool sysex_ = false;
};

// The bytes of one message, for the lights of a controller.
std::vector<std::uint8_t> MidiBytes(const MidiMessage& m);

}  // namespace velorixa::midi
