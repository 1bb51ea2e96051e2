#include <QApplication>

#include <SDL.h>

#include "app/stopsignals.h"
#include "app/ui/entrmain.h"

int main(int argc, char** argv) {
    // SDL would catch SIGINT and SIGTERM itself and only queue a quit event that nothing reads;
    // the player's own handlers end it as closing its window does.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    velorixa::app::InstallStopSignals();
    QApplication app(argc, argv);
    // The main loop is our own; the application only delivers events.
    return velorixa::Main(velorixa::DefaultStartupEnv());
}
