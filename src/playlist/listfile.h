#pragma once
// Playlist files (*.PLF) and the saved music list ("MemoList.ini"): one item per line, nothing
// else. Lines are written as UTF-8 with CR LF; CR LF, LF and CR alone (old Macintosh files) are
// read alike, and a file that ends without a line end still yields its last line. Only regular
// files are read: a folder, FIFO, device or socket is refused without being opened for reading,
// so nothing ever waits on one. Reading is lenient so that any file, even one that is not a list
// at all, loads without harm:
//  - a leading UTF-8 byte-order mark is skipped;
//  - a line that is valid UTF-8 is taken as UTF-8; any other line is taken byte for byte as
//    Latin-1, so lists written in an old 8-bit code page still show readable names instead of
//    replacement marks;
//  - NUL characters are dropped (no path or address holds one);
//  - a line longer than kMaxLineBytes is cut there and the rest of it skipped unread;
//  - reading stops when the list is full (PlaylistModel::kMaxLines).
// A file is replaced only once it is completely written (QSaveFile): a failed save leaves the
// previous file as it was.
//
// Thread contract: free functions without shared state; callable from any thread, though the
// models they fill belong to the window thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "playlist/playlistmodel.h"

namespace velorixa::playlist {

// Longest line kept, in bytes. No path (4096 bytes at most here) or station address comes near.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;

struct ListFileRead {
    QStringList lines;
    bool opened = false;      // false: the file could not be opened (missing, unreadable)
    bool notRegular = false;  // refused: a folder, FIFO, device or socket, not a file
    bool truncated = false;   // stopped at the line limit; the file holds more lines
    int cutLines = 0;         // lines cut at kMaxLineBytes
    bool readError = false;   // a read failed part way; lines holds what was read before
};

// Reads at most maxLines lines of the file at path.
ListFileRead ReadListFile(const QString& path, int maxLines = PlaylistModel::kMaxLines);

// One line's bytes (without its line end) as text, by the rules above.
QString DecodeListLine(const QByteArray& bytes);

// Writes lines, each followed by CR LF; an empty list is written as one empty line. CR or LF
// inside an item would split it into two on reading, so each is written as a blank.
// Returns false with a reason in *error when the file could not be written; the old file, if
// any, is then left untouched.
bool WriteListFile(const QString& path, const QStringList& lines, QString* error = nullptr);

// `LoadListFile`: appends the file's lines to list (an empty line is an empty item). Returns
// the number of lines appended; 0 when the file cannot be opened (the caller says nothing).
int LoadListFile(const QString& path, PlaylistModel& list, ListFileRead* info = nullptr);

// `SaveListFile`: writes every line of list. False with *error when writing failed.
bool SaveListFile(const QString& path, const PlaylistModel& list, QString* error = nullptr);

// "MemoList.ini" in appPath (the program's folder with its trailing "/").
QString MemoListPath(const QString& appPath);

// `LoadMemoList`: fills list (expected empty) from the saved list at path. A missing file leaves
// it empty; a file of one empty line is an empty list. Returns false when the file was missing
// or could not be opened.
bool LoadMemoList(const QString& path, PlaylistModel& list, ListFileRead* info = nullptr);

// Whether the saved list at path must be kept as it is rather than written over at exit: it
// exists (or is not a regular file) but could not be read whole, so the list shown lacks some
// of its lines.
bool MemoListUnreadable(const QString& path, const ListFileRead& info);

// Copies the file at path to backupPath (replaced as a whole, like every file written here).
bool CopyListFile(const QString& path, const QString& backupPath, QString* error = nullptr);

// `SaveMemoList`: writes the music list (the caller passes `PlayListMP3` in radio mode and
// `PlayList` in music mode). False with *error when writing failed.
bool SaveMemoList(const QString& path, const PlaylistModel& musicList, QString* error = nullptr);

}  // namespace velorixa::playlist
