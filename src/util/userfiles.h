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

}  // namespace velorixa::util
