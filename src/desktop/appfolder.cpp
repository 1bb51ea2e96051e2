#include "desktop/appfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace velorixa::desktop {

AppFolderEnv SystemAppFolderEnv(const QString& programFolder) {
    AppFolderEnv env;
    env.programFolder = programFolder;
    env.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    env.home = QDir::homePath();
    env.starterLists << QDir::cleanPath(programFolder + "/../share/velorixa/" + kStationFile);
    env.writable = FolderWritable;
    return env;
}

bool FolderWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    QTemporaryFile probe(folder + "/.velorixa-write-XXXXXX");
    return probe.open();
}

namespace {

QString userDataFolder(const AppFolderEnv& env) {
    // A relative $XDG_DATA_HOME is invalid and ignored, as desktops treat it.
    QString base = env.xdgDataHome;
    if (base.isEmpty() || QDir::isRelativePath(base)) base = env.home + "/.local/share";
    return QDir::cleanPath(base + "/velorixa");
}

}  // namespace

AppFolder ChooseAppFolder(const AppFolderEnv& env) {
    AppFolder f;
    const QString program = QDir::cleanPath(env.programFolder);
    if (env.writable && env.writable(program)) {
        f.path = program;
    } else {
        f.path = userDataFolder(env);
        f.userData = true;
    }
    f.ready = QDir().mkpath(f.path);
    const QString stations = f.path + "/" + kStationFile;
    // A dangling link counts as the user's own file too: nothing is written through it.
    if (f.ready && !QFileInfo(stations).exists() && !QFileInfo(stations).isSymLink()) {
        for (const QString& starter : env.starterLists) {
            if (!QFileInfo(starter).isFile()) continue;
            f.starterCopied = QFile::copy(starter, stations);
            // The copy of a read-only installed file is the user's own to change.
            if (f.starterCopied)
                QFile::setPermissions(
                    stations, QFile::permissions(stations) | QFile::WriteOwner | QFile::ReadOwner);
            break;
        }
    }
    return f;
}

}  // namespace velorixa::desktop
