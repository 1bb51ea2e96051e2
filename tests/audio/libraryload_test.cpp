// Libraries loaded at their first use. SDL2 comes into a process only with its output: a player
// that plays through the sound server, the no-sound output or offline never maps it, and an SDL
// output without the library fails with a message that names it while the sound server still
// plays. Without libcurl, the first stream opened ends the program with a message that names it,
// as a missing library of a direct link did at the start.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "audio/realtime/engine.h"
#include "audiotest.h"
#include "common/pulseserver.h"
#include "common/waitfor.h"
#include "util/dynlib.h"

namespace {

constexpr const char* kSdl = "libSDL2-2.0.so.0";

bool sdlLoaded() {
    void* h = ::dlopen(kSdl, RTLD_LAZY | RTLD_NOLOAD);
    if (h) ::dlclose(h);
    return h != nullptr;
}

enum class Output { Offline, NoSound, Dummy, Pulse };

struct Case {
    const char* name;
    Output output;
    bool sdlMissing;  // the library pointed at a soname that does not exist
    int exitCode;     // 0: played, 10 + n: see the codes below
    const char* message;
};

// Plays half a second of a tone; 0 when it was heard, else what went wrong.
int playsAndLeavesSdl(const Case& c) {
    audiotest::TempDir dir;
    const std::string wav = dir.file("tone.wav");
    if (!testmedia::writeFile(wav, testmedia::wavBytes(testmedia::sine(440, 2.0)))) return 1;
    std::unique_ptr<testmedia::PulseServer> server;
    if (c.output == Output::Pulse) {
        server = std::make_unique<testmedia::PulseServer>();
        if (!server->start()) return 2;
        ::setenv("PULSE_SERVER", server->address().constData(), 1);
        ::unsetenv("SDL_AUDIODRIVER");
    } else {
        // No sound server: the default output falls back to SDL's dummy driver.
        ::setenv("PULSE_SERVER", "unix:/nonexistent/velorixa-test-no-server", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    if (c.sdlMissing) velorixa::util::RedirectLibraryForTest(kSdl, "libvelorixa-no-sdl.so.0");
    const int device = c.output == Output::Offline   ? VX_DEVICE_OFFLINE
                       : c.output == Output::NoSound ? 0
                                                     : VX_DEVICE_DEFAULT;
    if (!BASS_Init(device, 44100, 0, nullptr)) return 3;
    if (c.output == Output::Pulse && !velorixa::audio::engineSlot()->pulse()) return 4;
    const audiotest::Chain chain = audiotest::openChain(wav);
    if (!chain.channel) return 5;
    if (c.output == Output::Offline) {
        audiotest::render(4096);
    } else if (!velorixa::test::waitFor(
                   [&] { return BASS_ChannelGetPosition(chain.source) >= 4 * 4096; }, 10000)) {
        return 6;
    }
    const bool loaded = sdlLoaded();
    BASS_Free();
    if (loaded != (c.output == Output::Dummy)) return loaded ? 7 : 8;
    return 0;
}

TEST(LibraryLoad, SdlLoadedOnlyByItsOwnOutputAndItsAbsenceNamed) {
    const Case cases[] = {
        {"offline", Output::Offline, false, 0, ""},
        {"no sound", Output::NoSound, false, 0, ""},
        {"dummy driver", Output::Dummy, false, 0, ""},
        {"pulse", Output::Pulse, false, 0, ""},
        {"pulse without SDL", Output::Pulse, true, 0, ""},
        {"dummy driver without SDL", Output::Dummy, true, 3,
         "velorixa: sound output: cannot load SDL2: libvelorixa-no-sdl.so.0: cannot open"},
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const bool havePulse = testmedia::PulseServer::unavailable().isEmpty();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.output == Output::Pulse && !havePulse) continue;
        // In a process of its own: another test in this one may have loaded SDL already.
        EXPECT_EXIT(std::exit(playsAndLeavesSdl(c)), testing::ExitedWithCode(c.exitCode), c.message)
            << "1: no file, 2: no server, 3: no output, 4: not through the server, 5: no "
               "channel, 6: not played, 7: SDL loaded, 8: SDL not loaded by its output";
    }
}

TEST(LibraryLoad, AStreamWithoutLibcurlEndsTheProgramWithItsName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            velorixa::util::RedirectLibraryForTest("libcurl.so.4", "libvelorixa-no-curl.so.4");
            audiotest::OfflineSession session;
            // Nothing listens there: the library is loaded before any connection is tried.
            BASS_StreamCreateURL("http://127.0.0.1:9/stream", 0, BASS_STREAM_DECODE, nullptr);
        },
        "velorixa: cannot load libcurl: libvelorixa-no-curl.so.4: cannot open");
}

}  // namespace
