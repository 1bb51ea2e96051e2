#pragma once
// The program's arguments as a file manager's "Open with" or a browser passes them: files,
// folders, playlist files (.m3u, .m3u8, .pls), file:// addresses and station addresses. Each
// becomes items of the music list as the list holds them: an absolute path or a stream address.
//
// Thread contract: plain functions; any thread (they read the file system).

#include <QString>
#include <QStringList>

namespace velorixa::desktop {

struct OpenRequest {
    QStringList items;     // in argument order; the first is played
    QStringList problems;  // one line per argument that gave nothing, for the terminal
};

// currentFolder resolves relative paths. A folder gives the MP3 files under it (subfolders too),
// sorted by path; a playlist file gives its entries (relative ones against its own folder);
// any other existing file is taken as it is; a missing one, an unknown option or an address of
// another scheme is a problem.
OpenRequest OpenRequestFrom(const QStringList& arguments, const QString& currentFolder);

// The entries of an M3U or PLS playlist's text: paths and addresses in order, comments and
// other keys left out, relative paths joined to folder.
QStringList PlaylistEntries(const QString& text, bool pls, const QString& folder);

}  // namespace velorixa::desktop
