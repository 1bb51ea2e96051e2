// The player's MIDI module: RtMidi behind the classes of midi/midibackend.h. Built as a shared
// module of its own so that RtMidi and the libraries it needs are loaded only where a MIDI
// server runs.

#include <rtmidi/RtMidi.h>

#include <memory>
#include <stdexcept>

#include "midi/midibackend.h"

namespace velorixa::midi {
namespace {

void quiet(RtMidiError::Type, const std::string&, void*) {}

RtMidi::Api rtApi(int api) {
    return api == 1 ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
}

// Runs f, with RtMidi's error as the standard library's.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const RtMidiError& e) {
        throw std::runtime_error(e.getMessage());
    }
}

template <class Base, class Rt>
class Client : public Base {
  public:
    Client(int api, const std::string& clientName)
        : rt_(guarded([&] { return std::make_unique<Rt>(rtApi(api), clientName); })) {
        rt_->setErrorCallback(&quiet, nullptr);
    }
    unsigned portCount() override {
        return guarded([&] { return rt_->getPortCount(); });
    }
    std::string portName(unsigned index) override {
        return guarded([&] { return rt_->getPortName(index); });
    }
    void openPort(unsigned index, const std::string& ownPortName) override {
        guarded([&] { rt_->openPort(index, ownPortName); });
    }
    bool isPortOpen() const override { return rt_->isPortOpen(); }

  protected:
    std::unique_ptr<Rt> rt_;
};

class In final : public Client<MidiIn, RtMidiIn> {
  public:
    using Client::Client;
    void listen(MidiCallback callback, void* user) override {
        guarded([&] {
            rt_->ignoreTypes(false, true, true);
            rt_->setCallback(callback, user);
        });
    }
};

class Out final : public Client<MidiOut, RtMidiOut> {
  public:
    using Client::Client;
    void send(const std::vector<unsigned char>& bytes) override {
        guarded([&] { rt_->sendMessage(&bytes); });
    }
};

const MidiBackend kBackend{
    kBackendVersion,
    [](int api, const std::string& name) -> MidiIn* { return new In(api, name); },
    [](int api, const std::string& name) -> MidiOut* { return new Out(api, name); },
};

}  // namespace
}  // namespace velorixa::midi

extern "C" __attribute__((visibility("default"))) const velorixa::midi::MidiBackend*
velorixa_midi_backend() {
    return &velorixa::midi::kBackend;
}
