#include "netradio/stationlist.h"

#include "playlist/listfile.h"

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

bool LoadNetRadio(const QString& path, playlist::PlaylistModel& stations) {
    playlist::ListFileRead info;
    playlist::LoadListFile(path, stations, &info);
    return info.opened;
}

bool SaveNetRadio(const QString& path, const playlist::PlaylistModel& stations, QString* error) {
    if (stations.isEmpty()) return true;
    return playlist::SaveListFile(path, stations, error);
}

}  // namespace velorixa::netradio
