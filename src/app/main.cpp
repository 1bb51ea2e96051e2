#include <QApplication>

#include "app/ui/entrmain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The main loop is our own; the application only delivers events.
    return velorixa::Main(velorixa::DefaultStartupEnv());
}
