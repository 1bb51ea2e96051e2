#pragma once
// "MemoSett.ini" in the program's folder: which set was current and which sets the keys F1..F8
// load. Nine lines, each ended by CR LF: the current set, then F1..F8; one file name (with its
// extension, no folder) per line, as the name's bytes (util::PathToBytes: UTF-8 for names that
// are) without quotes, an empty line for an empty slot. No header.
// Reading takes each line whole, without trimming, so a name that starts with a blank or holds
// a comma comes back unchanged; lines end with CR LF, LF or CR alone (util::SplitLines). A
// missing file (or a folder in its place) gives nine empty names, a short file leaves the rest
// empty, lines after the ninth are ignored. A file that cannot be read (util::ReadRegularFile),
// or is larger than kMemoSettMaxBytes, counts as missing. A line that is not valid UTF-8 is a
// name in bytes (util::PathFromBytes) and is written back byte for byte.
// A name holding CR or LF cannot be stored on one line; that slot is written empty. The file
// is replaced only once it is completely written (QSaveFile).
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArrayView>
#include <QString>

#include <array>

namespace velorixa::perform {

inline constexpr int kSetSlots = 9;  // SetFile(0..8)
inline constexpr qsizetype kMemoSettMaxBytes = 1024 * 1024;

// "MemoSett.ini" in appPath (the program's folder with its trailing "/").
QString MemoSettPath(const QString& appPath);

std::array<QString, kSetSlots> ReadMemoSett(const QString& path);
// The names held in a settings file's bytes.
std::array<QString, kSetSlots> ParseMemoSett(QByteArrayView data);

// False with a reason in *error when the file could not be written; the old one is then kept.
bool WriteMemoSett(const QString& path, const std::array<QString, kSetSlots>& names,
                   QString* error = nullptr);

}  // namespace velorixa::perform
