#pragma once
// Fuzz entry for the station list (NetRadio.ini); see fuzz_files.h.

#include "fuzz/fuzz_files.h"
#include "netradio/stationlist.h"
#include "playlist/listfile.h"

namespace velorixa::fuzz {

// Input: the station file. What a start loads is the file's lines; a file with more stations than a
// list takes is kept whole as NetRadio.ini.bak.
inline std::string fuzzStationListOne(const uint8_t* data, size_t size) {
    const QByteArray file = bytesOf(data, size);
    const QString folder = scratchFolder() + "/";
    const QString path = netradio::NetRadioPath(folder);
    QFile::remove(path + ".bak");
    if (!writeScratch(path, file)) return {};
    playlist::PlaylistModel stations;
    const netradio::StationListStart start = netradio::StartStationList(path, stations);
    const playlist::ListFileRead parsed = playlist::ParseListFile(file);
    if (stations.texts() != parsed.lines) return "stations differ from the file's lines";
    if (parsed.truncated != QFile::exists(path + ".bak")) return ".bak kept wrongly";
    if (parsed.truncated && readScratch(path + ".bak") != file) return ".bak differs";
    if (parsed.truncated == start.message.isEmpty()) return "message wrongly given";
    if (start.keepFile) return "a readable file kept";
    if (readScratch(path) != file) return "the file changed at load";
    return {};
}

}  // namespace velorixa::fuzz
