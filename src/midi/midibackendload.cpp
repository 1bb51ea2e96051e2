#include <unistd.h>

#include <string>
#include <vector>

#include "midi/midibackend.h"
#include "util/dynlib.h"

#ifndef VELORIXA_MIDI_MODULE_FROM_BIN
#define VELORIXA_MIDI_MODULE_FROM_BIN "../lib/velorixa"
#endif

namespace velorixa::midi {
namespace {

constexpr const char* kModuleName = "libvelorixa_rtmidi.so";

#define VX_MIDI_MODULE_FUNCTIONS(X) X(0, velorixa_midi_backend)
VX_DYNLIB_TABLE(MidiModuleApi, VX_MIDI_MODULE_FUNCTIONS)

// Beside the program first (a build tree, or a portable copy), then where the installation puts
// it relative to the program (bin/../lib/velorixa for any prefix).
std::vector<std::string> Candidates() {
    std::vector<std::string> paths;
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n <= 0) return paths;
    exe.resize(static_cast<size_t>(n));
    const std::string dir = exe.substr(0, exe.rfind('/') + 1);
    paths.push_back(dir + kModuleName);
    paths.push_back(dir + VELORIXA_MIDI_MODULE_FROM_BIN + "/" + kModuleName);
    return paths;
}

struct Loaded {
    const MidiBackend* backend = nullptr;
    std::string error;
};

Loaded LoadOnce() {
    Loaded result;
    for (const std::string& path : Candidates()) {
        if (::access(path.c_str(), F_OK) != 0) continue;
        const util::Loaded<MidiModuleApi> module =
            util::Load<MidiModuleApi>("MIDI support", {path.c_str()});
        if (!module.ok()) {
            result.error = module.error;
            continue;
        }
        const MidiBackend* backend = module.api.velorixa_midi_backend();
        if (!backend || backend->version != kBackendVersion) {
            result.error = "cannot load MIDI support: " + path + " is of another build";
            continue;
        }
        result.backend = backend;
        result.error.clear();
        return result;
    }
    if (result.error.empty())
        result.error = std::string("cannot load MIDI support: ") + kModuleName + " not found";
    return result;
}

}  // namespace

const MidiBackend* LoadMidiBackend(std::string* error) {
    static const Loaded loaded = LoadOnce();
    if (!loaded.backend && error) *error = loaded.error;
    return loaded.backend;
}

}  // namespace velorixa::midi
