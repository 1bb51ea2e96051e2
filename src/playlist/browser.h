#pragma once
// What the add/save panel's file browser shows and adds, without its controls: the drive list
// (mounted file-system roots, "/" first), the folder list, the file list for a pattern, the paths
// made from the browser's folder, and adding the browser's selection to the play list.
//
// Names match patterns such as "*.mp3;*.flac" and "*.PLF" without regard to letter case. Hidden
// entries (names beginning with ".") are not listed. Listings are sorted by name ignoring case
// (ties by exact text), so the order never depends on the file system. Folders and names are the
// file system's bytes as util::PathFromBytes carries them: a name that is not UTF-8 (an old Latin-1
// collection) is listed, added and played like any other; util::PathForDisplay shows it.
//
// Thread contract: free functions without shared state; the listing functions touch the file
// system and may be slow on network mounts. Models belong to the window thread.

#include <QString>
#include <QStringList>

#include "playlist/playlistmodel.h"

namespace velorixa::playlist {

// The browser's two file types (`OptMusic`, `OptLists`).
enum class BrowserPattern { Music, Lists };

// The browser's patterns, ";" between them: every playable type (util/playable.h), or the
// list files (.PLF, .m3u, .m3u8, .pls).
QString PatternText(BrowserPattern pattern);

// Wildcard match ("*" any run, "?" one character) of a file name against a pattern, ignoring
// letter case; a pattern of several parts joined by ";" matches when one of them does.
bool MatchesPattern(const QString& fileName, const QString& pattern);

// The drive list: the roots of the mounted, ready file systems, "/" first, then the others by
// name; pseudo file systems (proc, sysfs, cgroup, ...) and the system's own mounts under /dev,
// /proc, /sys and /run are left out.
QStringList ListDrives();

// The drive of the drive list that holds path (the longest root it lies under); "/" when no
// other does.
QString DriveOf(const QString& path);
// The same among roots (the search roots below).
QString DriveOf(const QString& path, const QStringList& roots);

// The user's home folder ($HOME, as the file system's bytes); empty when it is not set or not a
// folder.
QString HomeFolder();
// The user's music folder: the one $XDG_CONFIG_HOME/user-dirs.dirs names (util::XdgUserDir)
// when that is a folder other than home; otherwise home's "Music" when that is a folder (the
// file or its folder is missing, or it names no music folder or home); otherwise empty.
QString UserMusicFolder(const QString& home);
// The roots the drive list offers, where the music is first: home, then the music folder (when
// there is one), then the mounted file systems (drives), each root once.
QStringList SearchRoots(const QString& home, const QString& music, const QStringList& drives);

// The folder list: names of the sub-folders of folder, sorted. Empty when it cannot be read.
QStringList ListFolders(const QString& folder);

// The file list (`FileTop`): names (without folder) of the files in folder that match pattern,
// sorted. Empty when the folder cannot be read.
QStringList ListFiles(const QString& folder, const QString& pattern);

// The browser can show folder: it is a folder (or a link to one) that may be listed and entered.
bool CanBrowse(const QString& folder);
// folder made absolute against the current folder, "." and ".." resolved by name.
QString AbsoluteFolder(const QString& folder);
// The folder above folder; "/" for "/" and for folders right below it.
QString ParentFolder(const QString& folder);
// The process's current folder, byte for byte; "/" when it cannot be told.
QString CurrentFolder();

// A list line cannot hold path: it contains a line break (CR or LF), which every list file
// reads as the end of a line.
bool BreaksListLine(const QString& path);

// folder with a "/" appended unless it already ends in one (a root such as "/" gets no second).
QString FolderWithSlash(const QString& folder);

// Where "Save List as ..." writes for the typed name: a name that ends in ".m3u" or ".m3u8"
// (any letter case) is an M3U playlist written under that very name; any other name gets
// ".PLF" appended and is written as the player's own list file.
struct SaveTarget {
    QString path;
    bool m3u = false;
};
SaveTarget ListSaveTarget(const QString& folder, const QString& name);

// Add selected browser files (`CmdAddSel`, `FileTop` double-click): for each selected line of
// fileTop from the top, Music appends folder + name to list; Lists appends the items of that
// list file: a .PLF's lines (`LoadListFile`), an M3U's or PLS's entries (LoadPlaylistFile).
// Returns the number of lines appended; stops when list is full. Music files whose path breaks
// a list line and playlist entries that name no item are not added: *skipped (when given) grows
// by their number; *hlsLists by the HLS playlists met, which are streams and add nothing.
int AddBrowserSelection(PlaylistModel& list, const QString& folder, const PlaylistModel& fileTop,
                        BrowserPattern pattern, int* skipped = nullptr, int* hlsLists = nullptr);

}  // namespace velorixa::playlist
