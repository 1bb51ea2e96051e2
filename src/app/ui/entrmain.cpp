#include "app/ui/entrmain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTime>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include <unistd.h>

#include "app/entr.h"
#include "app/stopsignals.h"
#include "app/ui/velmix.h"

namespace velorixa {

namespace {

// Asked on every pass of the main loop: the platform windows are a handful, where the list of
// top-level widgets is built by walking every widget of the program. A visible top-level widget
// always has a visible platform window.
bool anyWindowOpen() {
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (w->isVisible()) return true;
    }
    return false;
}

// A stop signal while a modal box runs its own event loop (the exit question, a message):
// the box is answered as by its Escape button, so control comes back to the main loop.
void closeModalBoxes() {
    for (int i = 0; i < 8; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        modal->close();
        if (QApplication::activeModalWidget() == modal) return;  // it refused to close
    }
}

int failStartup(VelMix& window, StartupEnv& env, const QString& text, const QString& title) {
    env.critical(&window, text, title);
    window.Unload();
    return 1;
}

}  // namespace

int Main(StartupEnv env) {
    // A stop signal that came while the start read its arguments: no window, nothing loaded,
    // nothing to save.
    if (app::StopRequested()) return 0;
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (app::StopSignalFd() >= 0) {
        stopNotifier =
            std::make_unique<QSocketNotifier>(app::StopSignalFd(), QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, [] {
            char drain[64];
            while (::read(app::StopSignalFd(), drain, sizeof drain) > 0) {
            }
            closeModalBoxes();
        });
    }

    // 1. The random play order and the styles seed their own generators (PlayQueue, styles).

    // 2. The window is visible from here on, before any audio check.
    QString appPath = AppPathFrom(env.appFolder);
    VelMix window(appPath);
    window.Show();
    if (env.windowCreated) env.windowCreated(window);

    // 3, 4. The program's folder is the current directory; its own files live under AppPath.
    QDir::setCurrent(env.appFolder);

    // 5. Version check.
    if (!BassVersionAccepted(env.getVersion())) {
        return failStartup(window, env, "BASS version 1.6 was not loaded", "BASS.Dll");
    }
    // 6. The default output device at 44100 Hz.
    if (env.init(-1, 44100, 0, reinterpret_cast<void*>(window.winId())) == 0) {
        return failStartup(window, env, "Error: Couldn't Initialize Digital Output",
                           "Digital output");
    }
    env.start();
    // 7. DirectSound version, the 11th field of the 48-byte information record.
    uint32_t info[12] = {48};
    env.getInfo(info);
    if (info[10] < 8) {
        env.freeLibrary();
        return failStartup(window, env, "DirectX version 8 is not Installed!!!", "DX8");
    }

    // 8. The saved state; only from here on may the unload steps write it back.
    if (env.loadState) env.loadState(window);
    window.setStateLoaded(true);

    // 9, 10.
    window.TimerBeg()->start();
    QElapsedTimer clock;  // monotonic milliseconds: never wraps
    clock.start();
    int64_t tickLast = clock.elapsed();
    if (env.started) env.started(window);
    if (!env.runLoop) return 0;

    // 11. Main loop: all pending events, then a wait for the next event or the wave tick,
    // whichever comes first, and the wave tick when it is due. Nothing wakes the loop while no
    // event comes and no tick is due.
    QTimer tickWake;  // its timeout only ends the wait; the tick itself is run below
    tickWake.setSingleShot(true);
    tickWake.setTimerType(Qt::PreciseTimer);
    int64_t armedFor = -1;  // the tick time tickWake runs for
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A stop signal ends the player as closing its window does.
        if (app::StopRequested()) window.Unload();
        if (!anyWindowOpen()) break;
        int64_t tickNow = clock.elapsed();
        if (const int64_t wait = PerforWaitMs(tickNow, tickLast, window.waveTickMs()); wait > 0) {
            const int64_t due = tickNow + wait;
            if (!tickWake.isActive() || armedFor != due) {
                tickWake.start(static_cast<int>(std::min<int64_t>(wait, 1 << 30)));
                armedFor = due;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            tickNow = clock.elapsed();
        }
        if (PerforDue(tickNow, tickLast, window.waveTickMs())) {
            window.PerforTimer();
            tickLast = tickNow;
        }
    }
    return 0;
}

}  // namespace velorixa
