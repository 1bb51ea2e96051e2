#pragma once
// The user's folders of the player beyond its own files (settings in $XDG_CONFIG_HOME/velorixa,
// caches in $XDG_CACHE_HOME/velorixa) and the small "key=value" settings files kept there.
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArray>
#include <QHash>
#include <QString>

namespace velorixa::util {

// $XDG_CONFIG_HOME/velorixa (or ~/.config/velorixa): xdgVar "XDG_CONFIG_HOME", fallback
// ".config"; $XDG_CACHE_HOME/velorixa: "XDG_CACHE_HOME", ".cache". A variable that is unset,
// empty or not an absolute path counts as unset. No trailing "/".
QString UserFolder(const char* xdgVar, const char* homeFallback);

// The "key=value" lines of a small settings file (CR LF, LF or CR alone; blanks around the key
// and the value trimmed; a later key replaces an earlier one); empty when it cannot be read.
QHash<QByteArray, QByteArray> ReadKeyValues(const QString& path);

// The user's folder of a kind ("MUSIC", "DOWNLOAD", ...) as named in
// $XDG_CONFIG_HOME/user-dirs.dirs (or ~/.config/user-dirs.dirs), the file xdg-user-dirs-update
// writes and `xdg-user-dir` reads: XDG_MUSIC_DIR="$HOME/Music", a path that starts with $HOME
// or "/", in double quotes with backslash escapes. Read directly, with no shell started: empty
// when the file or the line is missing or names something else.
QString XdgUserDir(const char* kind);

}  // namespace velorixa::util
