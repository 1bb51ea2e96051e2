#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QPointer>
#include <QTextStream>

#include "app/stopsignals.h"
#include "app/ui/entrmain.h"
#include "app/ui/velmix.h"
#include "desktop/commandline.h"
#include "desktop/ui/mprisservice.h"
#include "desktop/ui/openitems.h"
#include "playback/playback.h"

int main(int argc, char** argv) {
    velorixa::app::InstallStopSignals();
    // On X11 the display page repaints a few small rectangles 50 times a second. Qt's
    // shared-memory transfer waits for the X server after every repaint; sending those few
    // kilobytes through the connection costs both the player and the server less (measured with
    // tools/bench_player/cpu.sh). A user's own setting of the variable is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    // The window belongs to the menu entry velorixa.desktop (its icon on the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("velorixa"));

    // velorixa FILE... / velorixa URL: what a file manager's "Open with" passes (QApplication
    // took its own options out of argv). A stop signal ends the reading, and the program with
    // it: nothing was loaded yet, so nothing is to be saved.
    const velorixa::desktop::OpenRequest open = velorixa::desktop::OpenRequestFrom(
        velorixa::desktop::ArgumentsFrom(argc, argv), velorixa::desktop::CurrentFolder(),
        [] { return !velorixa::app::StopRequested(); });
    if (velorixa::app::StopRequested()) return 0;
    QTextStream err(stderr);
    for (const QString& problem : open.problems)
        err << "velorixa: " << problem << Qt::endl;

    // A player already running takes the items (one window, as "Open with" expects).
    if (!open.items.isEmpty() &&
        velorixa::desktop::HandToRunningPlayer(QDBusConnection::sessionBus(), open.items)) {
        return 0;
    }

    velorixa::StartupEnv env = velorixa::DefaultStartupEnv();
    env.started = [&open](velorixa::VelMix& window) {
        auto* mpris = new velorixa::desktop::MprisService(
            window.playback(), velorixa::desktop::DesktopWindowOf(window),
            QDBusConnection::sessionBus(), &window);
        mpris->setTags(&window.tags());
        mpris->start();
        // The name leaves the bus with the window.
        window.addShutdownStep([mpris = QPointer(mpris)] {
            if (mpris) mpris->stop();
        });
        if (open.items.isEmpty()) return;
        // After the deferred start, which finishes the window, the items join the loaded list.
        QObject::connect(
            &window, &velorixa::VelMix::formStarted, &window,
            [&window, items = open.items] {
                if (window.unloadCount() == 0) window.playback().openItems(items);
            },
            Qt::SingleShotConnection);
    };
    // The main loop is our own; the application only delivers events.
    return velorixa::Main(std::move(env));
}
