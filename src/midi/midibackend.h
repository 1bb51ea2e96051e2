#pragma once
// The MIDI library behind the input (RtMidi, and through it the ALSA sequencer's and JACK's
// client libraries), kept in a module of the player's own that is loaded the first time a MIDI
// server is there to be asked. A player on a machine with neither never maps RtMidi, JACK or
// what they pull in (about 1 MB of resident memory).
//
// The module's objects report RtMidi's errors as std::runtime_error (RtMidi's own error type
// stays inside the module) and never print them.
//
// Thread contract: LoadMidiBackend may be called from any thread (the first call loads the
// module, once). A port object is used by one thread at a time; the callback of an input runs
// on the library's thread.

#include <string>
#include <vector>

namespace velorixa::midi {

using MidiCallback = void (*)(double stamp, std::vector<unsigned char>* bytes, void* user);

// One client of the server: lists the ports on the other side and opens one of them.
class MidiClient {
  public:
    virtual ~MidiClient() = default;
    virtual unsigned portCount() = 0;
    virtual std::string portName(unsigned index) = 0;
    virtual void openPort(unsigned index, const std::string& ownPortName) = 0;
    // False when the server refused the port without an error (a busy or restarting server).
    virtual bool isPortOpen() const = 0;
};

class MidiIn : public MidiClient {
  public:
    // SysEx passes, timing and active sensing are dropped; messages go to `callback`.
    virtual void listen(MidiCallback callback, void* user) = 0;
};

class MidiOut : public MidiClient {
  public:
    virtual void send(const std::vector<unsigned char>& bytes) = 0;
};

// kBackendVersion changes with any change of these classes: a module of another build is
// refused instead of called through a table that no longer matches.
inline constexpr int kBackendVersion = 1;

struct MidiBackend {
    int version = kBackendVersion;
    // api: 0 the ALSA sequencer, 1 JACK. Throws std::runtime_error when there is no server.
    MidiIn* (*newIn)(int api, const std::string& clientName);
    MidiOut* (*newOut)(int api, const std::string& clientName);
};

// The module, loaded on the first call; nullptr with `error` set when it cannot be (then the
// player runs without controllers).
const MidiBackend* LoadMidiBackend(std::string* error);

}  // namespace velorixa::midi

// The module's one entry point.
extern "C" const velorixa::midi::MidiBackend* velorixa_midi_backend();
