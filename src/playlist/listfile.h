#pragma once
// Playlist files (*.PLF), the saved music list ("MemoList.ini") and the station list: one item
// per line, nothing else. Lines are written with CR LF; CR LF, LF and CR alone (old Macintosh
// files) are read alike, and a file that ends without a line end still yields its last line
// (util::SplitLines). Files are read by util::ReadRegularFile: a folder, FIFO, device or socket
// is refused without ever waiting on it, and at most kMaxListFileBytes are read. Reading is
// lenient so that any file, even one that is not a list at all, loads without harm:
//  - a leading UTF-8 byte-order mark is skipped;
//  - a line's bytes are its text by util::PathFromBytes: valid UTF-8 as UTF-8, any other byte
//    kept as itself, so a file name that is not UTF-8 (an old 8-bit list, a FAT stick) names
//    the same file and is written back byte for byte;
//  - NUL characters are dropped (no path or address holds one);
//  - a line longer than kMaxLineBytes is cut there and the rest of it skipped;
//  - reading stops when the list is full (PlaylistModel::kMaxLines), or at kMaxListFileBytes.
// A file is replaced only once it is completely written (QSaveFile): a failed save leaves the
// previous file as it was.
//
// Thread contract: free functions without shared state; callable from any thread, though the
// models they fill belong to the window thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

#include "playlist/playlistmodel.h"

namespace velorixa::playlist {

// Longest line kept, in bytes. No path (4096 bytes at most here) or station address comes near.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;
// Larger files are read only this far (a full list of long paths is some 10 MB).
inline constexpr qsizetype kMaxListFileBytes = 64 * 1024 * 1024;

struct ListFileRead {
    QStringList lines;
    bool opened = false;      // false: the file could not be read (missing, unreadable)
    bool missing = false;     // nothing at the path
    bool notRegular = false;  // refused: a folder, FIFO, device or socket, not a file
    bool truncated = false;   // stopped at the line limit; the file holds more lines
    int cutLines = 0;         // lines cut at kMaxLineBytes
    bool readError = false;   // the file could not be read whole
    QString reason;           // not opened: why, in words
};

// Reads at most maxLines lines of the file at path.
ListFileRead ReadListFile(const QString& path, int maxLines = PlaylistModel::kMaxLines);

// The lines of a list file's bytes (opened is left false: nothing was opened).
ListFileRead ParseListFile(QByteArrayView data, int maxLines = PlaylistModel::kMaxLines);

// One line's bytes (without its line end) as text, by the rules above.
QString DecodeListLine(const QByteArray& bytes);

// Writes lines, each followed by CR LF and each as its bytes (util::PathToBytes); an empty list
// is written as one empty line. CR or LF inside an item would split it into two on reading, so
// each is written as a blank.
// Returns false with a reason in *error when the file could not be written; the old file, if
// any, is then left untouched.
bool WriteListFile(const QString& path, const QStringList& lines, QString* error = nullptr);

// `LoadListFile`: appends the file's lines to list (an empty line is an empty item). Returns
// the number of lines appended; 0 when the file cannot be opened (the caller says nothing).
int LoadListFile(const QString& path, PlaylistModel& list, ListFileRead* info = nullptr);

// What reading an M3U or PLS playlist gave beside its entries.
struct PlaylistLoad {
    bool opened = false;  // false: missing, unreadable, not a regular file
    bool hls = false;     // an HLS stream's playlist (#EXT-X- lines): nothing added
    int leftOut = 0;      // entries that name no item, are too long or hold a line break
    bool full = false;    // the list filled up before the playlist's end
};

// Appends the entries of the M3U (.m3u, .m3u8) or PLS (.pls) playlist at path to list: station
// addresses as they are, paths and file:// addresses as absolute paths, relative ones resolved
// against the playlist's folder (util::ResolvePlaylistEntry). An HLS playlist adds nothing.
// Returns the number of lines appended.
int LoadPlaylistFile(const QString& path, PlaylistModel& list, PlaylistLoad* info = nullptr);

// Any list file the browser lists: .PLF (LoadListFile) or an M3U / PLS playlist
// (LoadPlaylistFile), told by the name's ending.
int LoadAnyListFile(const QString& path, PlaylistModel& list, PlaylistLoad* info = nullptr);

// One line's extra for an M3U file: its length in whole seconds (-1 unknown) and its title.
struct M3uInfo {
    int lengthSec = -1;
    QString title;
};
// Writes lines as an extended M3U playlist: "#EXTM3U", then for each item an "#EXTINF" line
// when info gives a title (a station's description counts) and the item's path or address,
// each line ended by LF and written as its bytes (util::PathToBytes). Empty items are left
// out (no M3U reader keeps them).
bool WriteM3uFile(const QString& path, const QStringList& lines,
                  const std::function<M3uInfo(const QString&)>& info = {},
                  QString* error = nullptr);

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
