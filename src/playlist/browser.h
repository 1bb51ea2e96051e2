#pragma once
// What the add/save panel's file browser shows and adds, without its controls: the drive list
// (mounted file-system roots, "/" first), the folder list, the file list for a pattern, the paths
// made from the browser's folder, and adding the browser's selection to the play list.
//
// Names match patterns such as "*.MP3" and "*.PLF" without regard to letter case. Hidden entries
// (names beginning with ".") are not listed. Listings are sorted by name ignoring case (ties by
// exact text), so the order never depends on the file system.
//
// Thread contract: free functions without shared state; the listing functions touch the file
// system and may be slow on network mounts. Models belong to the window thread.

#include <QString>
#include <QStringList>

#include "playlist/playlistmodel.h"

namespace velorixa::playlist {

// The browser's two file types (`OptMusic`, `OptLists`).
enum class BrowserPattern { Music, Lists };

// "*.MP3" or "*.PLF".
QString PatternText(BrowserPattern pattern);

// Wildcard match ("*" any run, "?" one character) of a file name against a pattern, ignoring
// letter case.
bool MatchesPattern(const QString& fileName, const QString& pattern);

// The drive list: the roots of the mounted, ready file systems, "/" first, then the others by
// name; pseudo file systems (proc, sysfs, cgroup, ...) are left out.
QStringList ListDrives();

// The root of the mounted file system that holds path (what the drive list shows for it); "/"
// when it cannot be told.
QString DriveOf(const QString& path);

// The folder list: names of the sub-folders of folder, sorted. Empty when it cannot be read.
QStringList ListFolders(const QString& folder);

// The file list (`FileTop`): names (without folder) of the files in folder that match pattern,
// sorted. Empty when the folder cannot be read.
QStringList ListFiles(const QString& folder, const QString& pattern);

// folder with a "/" appended unless it already ends in one (a root such as "/" gets no second).
QString FolderWithSlash(const QString& folder);

// The "Save List as ..." target: folder + "/" + name + ".PLF", the name taken as typed (".PLF"
// is appended even to a name that already ends in it).
QString PlaylistFilePath(const QString& folder, const QString& name);

// Add selected browser files (`CmdAddSel`, `FileTop` double-click): for each selected line of
// fileTop from the top, Music appends folder + name to list; Lists appends the lines of that
// playlist file (`LoadListFile`). Returns the number of lines appended; stops when list is full.
int AddBrowserSelection(PlaylistModel& list, const QString& folder, const PlaylistModel& fileTop,
                        BrowserPattern pattern);

}  // namespace velorixa::playlist
