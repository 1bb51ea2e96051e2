#pragma once
// Fuzz entry for the list files (saved list, .PLF); see fuzz_files.h.

#include "fuzz/fuzz_files.h"
#include "playlist/listfile.h"

namespace velorixa::fuzz {

// Input: two bytes of line limit (0 = a full list's), then the file. The file is read from
// disk, written back and read again: the same lines, the second file byte for byte the first.
inline std::string fuzzListFileOne(const uint8_t* data, size_t size) {
    if (size < 2) return {};
    const int limit = (data[0] << 8 | data[1]) % 300;
    const int maxLines = limit == 0 ? playlist::PlaylistModel::kMaxLines : limit;
    const QByteArray file = bytesOf(data + 2, size - 2);
    const QString path = scratchFolder() + "/fuzz.PLF";
    if (!writeScratch(path, file)) return {};
    const playlist::ListFileRead read = playlist::ReadListFile(path, maxLines);
    if (!read.opened) return "a regular file did not open";
    if (read.lines.size() > maxLines) return "more lines than the limit";
    if (read.truncated && read.lines.size() != maxLines) return "truncated below the limit";
    const playlist::ListFileRead parsed = playlist::ParseListFile(file, maxLines);
    if (parsed.lines != read.lines || parsed.truncated != read.truncated)
        return "file and bytes differ";
    for (const QString& l : read.lines) {
        if (l.contains(QChar(u'\0')) || l.contains(QChar(u'\r')) || l.contains(QChar(u'\n')))
            return "line holds NUL, CR or LF";
        if (util::PathToBytes(l).size() > playlist::kMaxLineBytes) return "line past the limit";
    }
    const QString copy = scratchFolder() + "/fuzz-copy.PLF";
    if (!playlist::WriteListFile(copy, read.lines)) return "list not written";
    const playlist::ListFileRead back = playlist::ReadListFile(copy, maxLines);
    // An empty list is written as one empty line.
    const QStringList expected = read.lines.isEmpty() ? QStringList{QString()} : read.lines;
    if (back.lines != expected) return "written list reads back different";
    QByteArray again = expected.front().startsWith(QChar(0xFEFF)) ? "\xEF\xBB\xBF" : "";
    for (const QString& l : expected)
        again.append(util::PathToBytes(l)).append("\r\n");
    if (readScratch(copy) != again) return "written bytes are not the lines' bytes";
    return {};
}

}  // namespace velorixa::fuzz
