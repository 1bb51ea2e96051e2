#pragma once
// The program's start-up routine and main loop.
//
// Thread contract: GUI thread only; Main returns when the window is gone.

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace velorixa {

class VelMix;

// What start-up needs from the outside world, replaceable in tests.
struct StartupEnv {
    std::function<uint32_t()> getVersion;
    std::function<int(int device, uint32_t freqHz, uint32_t flags, void* window)> init;
    std::function<void()> start;
    // Fills a record of 12 32-bit fields whose first field holds its size (48).
    std::function<int(uint32_t* info)> getInfo;
    std::function<void()> freeLibrary;
    // A critical message box with an OK button.
    std::function<void(QWidget* parent, const QString& text, const QString& title)> critical;
    QString appFolder;  // the program's folder
    // Loaders of the saved state, in order (station list, music list, settings).
    std::function<void(VelMix&)> loadState;
    // Called once the window exists, before the audio checks (tests use it to drive the window).
    std::function<void(VelMix&)> windowCreated;
    // Called once start-up is complete, before the main loop.
    std::function<void(VelMix&)> started;
    bool runLoop = true;  // false: return after start-up (tests)
};

// The environment of the real program: our audio layer, message boxes, the executable's folder.
StartupEnv DefaultStartupEnv();

// Start-up steps in order, then the main loop. Returns the process exit code: 0 for a normal end,
// 1 when a start-up check failed. A stop signal (app/stopsignals.h) ends the loop as closing the
// window does.
int Main(StartupEnv env);

}  // namespace velorixa
