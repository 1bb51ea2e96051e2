// The MIDI library (the player's RtMidi module) is loaded only once a MIDI server is there to be
// asked, and a controller that appears with the server is found through it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <mutex>
#include <thread>

#include "common/waitfor.h"
#include "jackserver.h"
#include "midi/midibackend.h"
#include "midi/midiinput.h"
#include "util/dynlib.h"

namespace velorixa {
namespace {

// Whether this process has mapped the module that sits beside the test program.
bool ModuleMapped() {
    char exe[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    std::string path(exe, static_cast<size_t>(n));
    path = path.substr(0, path.rfind('/') + 1) + "libvelorixa_rtmidi.so";
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) ::dlclose(h);
    return h != nullptr;
}

TEST(MidiModule, LoadedOnlyOnceAServerIsThereAndThenFindsTheController) {
    // No JACK server of this name, no PipeWire socket in the runtime folder: nothing to ask.
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("JACK_DEFAULT_SERVER", test::JackServerName().toUtf8());
    qputenv("JACK_NO_AUDIO_RESERVATION", "1");

    std::mutex mu;
    QStringList added;
    midi::MidiInput input({midi::MidiApi::Jack, 20, QStringLiteral("VelorixaModuleTest")});
    QObject::connect(
        &input, &midi::MidiInput::controllerAdded, &input,
        [&](const QString& name) {
            std::lock_guard lock(mu);
            added << name;
        },
        Qt::DirectConnection);
    input.start();
    // A dozen polls with no server.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_FALSE(ModuleMapped()) << "the MIDI module was loaded with no server to ask";

    if (!test::JackServer::get().running())
        GTEST_SKIP() << "no JACK server: " << test::JackServer::get().why().toStdString();
    RtMidiOut pad(RtMidi::UNIX_JACK, "vxpad");
    pad.openVirtualPort("out");
    EXPECT_TRUE(test::waitFor(
        [&] {
            std::lock_guard lock(mu);
            return added.contains(QStringLiteral("vxpad:out"));
        },
        10000))
        << "the controller that came with the server was not found";
    EXPECT_TRUE(ModuleMapped());
    input.stop();
}

TEST(MidiModule, TheModuleBesideTheProgramIsOfThisBuildAndAMissingOneIsNamed) {
    // A player whose module is gone runs on without controllers and says why (in a child, before
    // this process loads the module: a loaded module stays loaded).
    char exe[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string path(exe, static_cast<size_t>(n));
    path = path.substr(0, path.rfind('/') + 1) + "libvelorixa_rtmidi.so";
    EXPECT_EXIT(
        {
            util::RedirectLibraryForTest(path, "/nonexistent/libvelorixa_rtmidi.so");
            std::string why;
            const bool loaded = midi::LoadMidiBackend(&why) != nullptr;
            std::fprintf(stderr, "%s\n", why.c_str());
            std::exit(loaded ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "cannot load MIDI support: .*libvelorixa_rtmidi.so");
    std::string error;
    const midi::MidiBackend* backend = midi::LoadMidiBackend(&error);
    ASSERT_NE(backend, nullptr) << error;
    EXPECT_EQ(backend->version, midi::kBackendVersion);
}

}  // namespace
}  // namespace velorixa
