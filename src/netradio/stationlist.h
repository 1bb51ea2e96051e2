#pragma once
// The station list's own rules: which typed address may be added, and the station file
// "NetRadio.ini" (one station line per line, like the playlist files: an address, optionally a
// blank and the station's name).
//
// Thread contract: free functions without shared state; any thread.

#include <QString>

#include "playlist/playlistmodel.h"

namespace velorixa::netradio {

// `CmdRadioAdd`'s check: the text starts with "http://", "https://" or "ftp://" (letter for
// letter: upper-case schemes are refused) and is at least 8 characters long.
bool StationNameAccepted(const QString& text);

// "NetRadio.ini" in appPath (the program's folder with its trailing "/").
QString NetRadioPath(const QString& appPath);

// `LoadNetRadio`'s reading: appends every line of the file to stations, empty lines included.
// False when there is no such file (or it cannot be opened); the lines read before a read error
// are kept.
bool LoadNetRadio(const QString& path, playlist::PlaylistModel& stations);

// `SaveNetRadio`: writes every station line. An empty list writes nothing and leaves an existing
// file as it is (true). False with *error when the file could not be written; the old file is
// then untouched.
bool SaveNetRadio(const QString& path, const playlist::PlaylistModel& stations,
                  QString* error = nullptr);

}  // namespace velorixa::netradio
