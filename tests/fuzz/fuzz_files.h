#pragma once
// Entry functions for the readers of the player's own files and of playlist arguments, shared
// by the libFuzzer targets and by the regular test run (seeded random inputs). Each returns an
// empty string when every property held, else a short description of the first broken one.
// Readers that take a path get the input through a file in a temporary folder, so the real
// reading path (util::ReadRegularFile) is what is fuzzed.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "util/fspath.h"
#include "util/lines.h"
#include "util/playlistfile.h"

namespace velorixa::fuzz {

// A target's verdict on one input: a broken property ends the run with its description.
inline int report(const std::string& broken, const char* target) {
    if (broken.empty()) return 0;
    std::fprintf(stderr, "%s: %s\n", target, broken.c_str());
    std::abort();
}

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// One temporary folder for a whole fuzzing run, in memory where the machine has such a folder
// (each input is written and read back: on a disk that is most of a run's time).
inline const QString& scratchFolder() {
    static QTemporaryDir dir(QDir("/dev/shm").exists()
                                 ? QStringLiteral("/dev/shm/velorixa-fuzz-XXXXXX")
                                 : QDir::tempPath() + "/velorixa-fuzz-XXXXXX");
    static const QString path = dir.path();
    return path;
}

inline bool writeScratch(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readScratch(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The same lines with every line end written as end.
inline QByteArray rejoined(const QByteArray& data, const char* end) {
    const util::Lines lines = util::SplitLines(data);
    QByteArray out = data.startsWith("\xEF\xBB\xBF") ? "\xEF\xBB\xBF" : "";
    for (const QByteArray& l : lines.lines)
        out.append(l).append(end);
    return out;
}

// Input: one byte picking the format and a small entry limit, then the playlist text.
inline std::string fuzzPlaylistOne(const uint8_t* data, size_t size) {
    if (size < 1) return {};
    const auto format = data[0] & 1 ? util::PlaylistFormat::Pls : util::PlaylistFormat::M3u;
    const int maxEntries = data[0] >> 1;  // 0..127: the limit is reached often
    const QByteArray text = bytesOf(data + 1, size - 1);
    const util::PlaylistRead read = util::ParsePlaylist(text, format, maxEntries);
    if (read.entries.size() > maxEntries) return "more entries than the limit";
    if (read.leftOut > 0 && read.entries.size() != maxEntries) return "left out below the limit";
    for (const QString& e : read.entries) {
        const QByteArray b = util::PathToBytes(e);
        if (b.isEmpty()) return "empty entry";
        if (b.size() > util::kMaxEntryBytes) return "entry longer than the limit";
        if (b.contains('\r') || b.contains('\n')) return "entry holds a line end";
        if (b.front() == ' ' || b.front() == '\t' || b.back() == ' ' || b.back() == '\t')
            return "entry not trimmed";
        if (util::PathFromBytes(b) != e) return "entry bytes do not come back";
        if (!text.contains(b)) return "entry not in the text";
    }
    // Line ends of any kind read alike.
    for (const char* end : {"\n", "\r", "\r\n"}) {
        const util::PlaylistRead again =
            util::ParsePlaylist(rejoined(text, end), format, maxEntries);
        if (again.entries != read.entries || again.leftOut != read.leftOut ||
            again.tooLong != read.tooLong)
            return "line ends change the entries";
    }
    return {};
}

}  // namespace velorixa::fuzz
