#include <QCoreApplication>
#include <QMessageBox>

#include "app/ui/entrmain.h"
#include "audio/audiolib.h"

namespace velorixa {

StartupEnv DefaultStartupEnv() {
    StartupEnv env;
    env.getVersion = [] { return static_cast<uint32_t>(BASS_GetVersion()); };
    env.init = [](int device, uint32_t freq, uint32_t flags, void* win) {
        return static_cast<int>(BASS_Init(device, freq, flags, win));
    };
    env.start = [] { BASS_Start(); };
    env.getInfo = [](uint32_t* info) {
        return static_cast<int>(BASS_GetInfo(reinterpret_cast<BASS_INFO*>(info)));
    };
    env.freeLibrary = [] { BASS_Free(); };
    env.critical = [](QWidget* parent, const QString& text, const QString& title) {
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    };
    env.appFolder = QCoreApplication::applicationDirPath();
    return env;
}

}  // namespace velorixa
