#pragma once
// The program's arguments as a file manager's "Open with" or a browser passes them: files,
// folders, playlist files (.m3u, .m3u8, .pls), file:// addresses and station addresses. Each
// becomes items of the music list as the list holds them: an absolute path or a stream address.
// Paths are the file system's bytes carried by util::PathFromBytes; nothing here waits on
// something that is not a file (a FIFO or device named like a playlist is refused at once) or
// reads more than a bounded amount.
//
// Thread contract: plain functions; any thread (they read the file system). goesOn is asked on
// the calling thread.

#include <QString>
#include <QStringList>

#include <functional>

namespace velorixa::desktop {

// As many items as the music list holds.
inline constexpr int kMaxOpenItems = 32767;

struct OpenRequest {
    QStringList items;     // in argument order; the first is played
    QStringList problems;  // one line per argument that gave nothing or was cut, for people
};

// currentFolder resolves relative paths. A folder gives the music files under it (util/playable.h)
// (subfolders too, by the one folder walker: no links to folders followed), in walk order; a
// playlist file gives its entries (relative ones against its own folder), read by
// util::ReadRegularFile and util::ParsePlaylist; any other existing file is taken as it is; a
// missing one, an unknown option or an address of another scheme is a problem. At most
// kMaxOpenItems items in all: what lies past them is left out with a problem saying so. goesOn,
// when given, is asked while folders are walked and files read; when it says no, what was found so
// far is returned.
OpenRequest OpenRequestFrom(const QStringList& arguments, const QString& currentFolder,
                            const std::function<bool()>& goesOn = {});

// The program's arguments (argv[1..]) as text that keeps their bytes (util::PathFromBytes).
QStringList ArgumentsFrom(int argc, const char* const* argv);

// The working folder as text that keeps its bytes.
QString CurrentFolder();

}  // namespace velorixa::desktop
