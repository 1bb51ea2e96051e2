#include <QCoreApplication>
#include <QMessageBox>

#include <cstring>

#include "app/outputsettings.h"
#include "app/ui/entrmain.h"
#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "desktop/appfolder.h"

namespace velorixa {

StartupEnv DefaultStartupEnv() {
    StartupEnv env;
    env.getVersion = [] { return static_cast<uint32_t>(BASS_GetVersion()); };
    env.init = [](int device, uint32_t freq, uint32_t flags, void* win) {
        // The output chosen last time, opened at its own rate (a missing one gives the default).
        OutputSettings::Load(OutputSettings::DefaultPath()).apply();
        return static_cast<int>(BASS_Init(device, freq, flags, win));
    };
    env.start = [] { BASS_Start(); };
    env.getInfo = [](uint32_t* info) {
        static_assert(sizeof(BASS_INFO) == 12 * sizeof(uint32_t));
        BASS_INFO record;
        std::memcpy(&record, info, sizeof record);
        int ok = static_cast<int>(BASS_GetInfo(&record));
        std::memcpy(info, &record, sizeof record);
        return ok;
    };
    env.freeLibrary = [] { BASS_Free(); };
    env.critical = [](QWidget* parent, const QString& text, const QString& title) {
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    };
    // Beside a portable copy of the program, else the user's data folder.
    env.appFolder = desktop::ChooseAppFolder(desktop::SystemAppFolderEnv(desktop::ProgramFolder(
                                                 QCoreApplication::applicationDirPath())))
                        .path;
    // The station list and the settings join the music list as their parts of the window land.
    env.loadState = [](VelMix& window) { window.LoadSavedState(); };
    return env;
}

}  // namespace velorixa
