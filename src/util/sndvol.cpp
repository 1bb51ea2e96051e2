#include "util/sndvol.h"

#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

#include "util/fspath.h"

namespace velorixa::util {

namespace {

bool Executable(const QString& path) {
    const QByteArray bytes = PathToBytes(path);
    struct stat st {};
    return ::stat(bytes.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(bytes.constData(), X_OK) == 0;
}

}  // namespace

QString FindSndVol(const SndVolPlaces& places, const QByteArray& pathVar) {
    const QList<QByteArray> folders = pathVar.split(':');
    for (const QString& name : places.names) {
        for (const QByteArray& folder : folders) {
            // An empty or relative entry would name a program of whatever folder is current.
            if (!folder.startsWith('/')) continue;
            QString path = PathFromBytes(folder);
            if (!path.endsWith(u'/')) path += u'/';
            path += name;
            if (Executable(path)) return path;
        }
    }
    for (const QString& place : places.fixed)
        if (Executable(place)) return place;
    return {};
}

QString SndVolNotFoundText(const SndVolPlaces& places) {
    return QString::fromLatin1(kSndVolNotFoundText) +
           QStringLiteral(
               "\n\nThe mixer button starts %1, looked for on PATH and at %2.\n"
               "Install %1: sudo apt install %3")
               .arg(places.names.join(QStringLiteral(" or ")),
                    places.fixed.join(QStringLiteral(", ")),
                    places.names.value(0, QStringLiteral("pavucontrol")));
}

MixerLauncher::MixerLauncher() {
    pathVar = [] { return qgetenv("PATH"); };
    startProgram = [](const QString& program, QString* error) {
        QProcess process;
        process.setProgram(program);
        if (process.startDetached()) return true;
        *error = process.errorString();
        return false;
    };
}

MixerLauncher::Outcome MixerLauncher::RunSndVol() const {
    Outcome out;
    out.path = FindSndVol(places, pathVar());
    if (out.path.isEmpty()) {
        out.message = SndVolNotFoundText(places);
        return out;
    }
    QString error;
    out.started = TrySndVol(out.path, &error);
    if (!out.started)
        out.message = QStringLiteral("The mixer %1 could not be started: %2")
                          .arg(PathForDisplay(out.path), error);
    return out;
}

bool MixerLauncher::TrySndVol(const QString& path, QString* error) const {
    if (path.isEmpty()) {
        *error = QStringLiteral("no program");
        return false;
    }
    return startProgram(path, error);
}

}  // namespace velorixa::util
