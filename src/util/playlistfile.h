#pragma once
// The one reader of M3U and PLS playlists, for the command line's playlist arguments and for
// stations whose address answers with a playlist. Lines are cut by SplitLines.
//  - M3U (.m3u, .m3u8): every line that is not empty and does not start with "#" is an entry;
//  - PLS (.pls): the value of every "FileN=" line (any letter case, blanks around "=").
// Entries keep the file's order, blanks around them trimmed. An entry's bytes are its text by
// PathFromBytes: valid UTF-8 as usual, any other byte kept as itself, so a file name written
// in Latin-1 names the very same file. What an entry means (a path, a file:// address, a
// station) is the caller's to decide.
// An entry longer than kMaxEntryBytes (no path or address comes near; a list view must never
// lay one out) is left out, and so is every entry past maxEntries; both are counted.
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace velorixa::util {

enum class PlaylistFormat { M3u, Pls };

// As many items as a list holds.
inline constexpr int kMaxPlaylistEntries = 32767;
// As long as a line of a saved list may be.
inline constexpr qsizetype kMaxEntryBytes = 64 * 1024;
// Playlist files larger than this are not read (100,000 entries of a long path fit).
inline constexpr qsizetype kMaxPlaylistBytes = 32 * 1024 * 1024;

struct PlaylistRead {
    QStringList entries;
    int leftOut = 0;  // entries past maxEntries
    int tooLong = 0;  // entries longer than kMaxEntryBytes
};

PlaylistRead ParsePlaylist(QByteArrayView text, PlaylistFormat format,
                           int maxEntries = kMaxPlaylistEntries);

// The format a file name's ending says (.pls; .m3u, .m3u8; any letter case), if any.
std::optional<PlaylistFormat> PlaylistFormatOfName(const QString& name);

// An M3U text that is an HLS media or master playlist (a line starting with "#EXT-X-"): a
// stream's segments or variants, not a list of files to add.
bool IsHlsPlaylist(QByteArrayView text);

// What an entry of a playlist in folder stands for as a list item: a station address
// ("http://", "https://", "ftp://") as it is; a path or a "file://" address (its %-escapes
// taken as bytes; another host than localhost gives nothing) as an absolute, clean path,
// relative paths taken against folder; empty for anything else.
QString ResolvePlaylistEntry(const QString& entry, const QString& folder);
// The entries that stand for an item, resolved; the others left out.
QStringList ResolvePlaylistEntries(const QStringList& entries, const QString& folder);

// The format the text itself says: PLS when its first line that is not empty is "[playlist]"
// (any letter case), M3U otherwise.
PlaylistFormat PlaylistFormatOfText(QByteArrayView text);

}  // namespace velorixa::util
