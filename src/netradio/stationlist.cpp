#include "netradio/stationlist.h"

#include <sys/stat.h>

#include "netradio/starterlist.h"
#include "util/fspath.h"
#include "util/textfile.h"

namespace velorixa::netradio {

bool StationNameAccepted(const QString& text) {
    const bool scheme = text.startsWith(QLatin1String("http://")) ||
                        text.startsWith(QLatin1String("https://")) ||
                        text.startsWith(QLatin1String("ftp://"));
    return scheme && text.size() >= 8;
}

QString NetRadioPath(const QString& appPath) {
    return appPath + QStringLiteral("NetRadio.ini");
}

QByteArray StarterStationList() {
    return QByteArray(kStarterStationList, sizeof kStarterStationList - 1);
}

bool LoadNetRadio(const QString& path, playlist::PlaylistModel& stations,
                  playlist::ListFileRead* info) {
    playlist::ListFileRead read;
    playlist::LoadListFile(path, stations, &read);
    const bool opened = read.opened;
    if (info) *info = std::move(read);
    return opened;
}

StationListStart StartStationList(const QString& path, playlist::PlaylistModel& stations) {
    StationListStart out;
    playlist::ListFileRead info;
    if (LoadNetRadio(path, stations, &info)) {
        if (!info.truncated) return out;
        // The list holds at most kMaxLines stations, so a save shortens the file: the whole
        // original stays beside it.
        const QString intro = QStringLiteral(
                                  "\"NetRadio.ini\" holds more than %1 stations; only the first %1 "
                                  "were loaded. ")
                                  .arg(playlist::PlaylistModel::kMaxLines);
        QString error;
        out.keepFile = !playlist::CopyListFile(path, path + QStringLiteral(".bak"), &error);
        out.message =
            intro + (out.keepFile ? QStringLiteral("It could not be copied (%1), so the list "
                                                   "will not be saved over it at exit.")
                                        .arg(error)
                                  : QStringLiteral("The whole file is kept as "
                                                   "\"NetRadio.ini.bak\"."));
        return out;
    }
    struct stat st {};
    const bool present = ::lstat(util::PathToBytes(path).constData(), &st) == 0;
    if (!info.missing || present) {
        out.keepFile = true;
        out.message =
            QStringLiteral(
                "\"NetRadio.ini\" could not be read (%1). It is left as it "
                "is; the station list is empty.")
                .arg(info.reason.isEmpty() ? QStringLiteral("a link to nothing") : info.reason);
        return out;
    }
    const QByteArray starter = StarterStationList();
    playlist::ListFileRead lines = playlist::ParseListFile(starter);
    for (const QString& line : lines.lines)
        stations.append(line);
    QString error;
    out.starterWritten = util::SaveWhole(path, starter, &error);
    if (!out.starterWritten)
        out.message = QStringLiteral(
                          "There was no \"NetRadio.ini\"; the built-in station list "
                          "is shown, but it could not be written there (%1).")
                          .arg(error);
    return out;
}

bool SaveNetRadio(const QString& path, const playlist::PlaylistModel& stations, QString* error) {
    if (stations.isEmpty()) return true;
    return playlist::SaveListFile(path, stations, error);
}

}  // namespace velorixa::netradio
