#pragma once
// The station list's own rules: which typed address may be added, and the station file
// "NetRadio.ini" (one station line per line, like the playlist files: an address, optionally a
// blank and the station's name).
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArray>
#include <QString>

#include "playlist/listfile.h"
#include "playlist/playlistmodel.h"

namespace velorixa::netradio {

// `CmdRadioAdd`'s check: the text starts with "http://", "https://" or "ftp://" (letter for
// letter: upper-case schemes are refused) and is at least 8 characters long.
bool StationNameAccepted(const QString& text);

// "NetRadio.ini" in appPath (the program's folder with its trailing "/").
QString NetRadioPath(const QString& appPath);

// The starter station list built into the program (the bytes of data/NetRadio.ini).
QByteArray StarterStationList();

// `LoadNetRadio`'s reading: appends every line of the file to stations, empty lines included.
// False when there is no such file (or it cannot be opened); the lines read before a read error
// are kept. *info (when given) tells why and whether the file held more than the list takes.
bool LoadNetRadio(const QString& path, playlist::PlaylistModel& stations,
                  playlist::ListFileRead* info = nullptr);

// The station list at start: what was loaded and what the operator must be told.
struct StationListStart {
    QString message;        // empty when all went well
    bool keepFile = false;  // the file was not read whole: never written over at exit
    bool starterWritten = false;
};

// Fills stations (expected empty) from the file at path, by these rules:
//  - no file there: the starter list is written there (atomically) and loaded; when it cannot
//    be written the built-in list is loaded all the same and the message says why;
//  - a file that cannot be read (not a file, no permission, ...): the message names the reason
//    and the file is kept;
//  - more stations than a list takes: the whole file is copied to "NetRadio.ini.bak" before
//    anything could write over it, and the message says so (when the copy fails the file is
//    kept instead).
StationListStart StartStationList(const QString& path, playlist::PlaylistModel& stations);

// `SaveNetRadio`: writes every station line. An empty list writes nothing and leaves an existing
// file as it is (true). False with *error when the file could not be written; the old file is
// then untouched.
bool SaveNetRadio(const QString& path, const playlist::PlaylistModel& stations,
                  QString* error = nullptr);

}  // namespace velorixa::netradio
