#pragma once
// The one way the player reads a file of its own or one named to it (saved lists, playlist
// files, station list, set files, settings, playlist arguments): the whole of a regular file, at
// most a size the caller gives, with the reason in words when it could not be read.
//
// Nothing here ever waits on something that is not a file: the path is opened without blocking
// (a FIFO without a writer, a device or a socket named like a list returns at once) and only a
// regular file is read. Reading stops at the caller's size, so a link to /dev/zero or a file
// that grows while it is read never fills the memory. The path goes to the file system as its
// bytes (PathToBytes).
//
// Thread contract: free functions without shared state; any thread. goesOn is called on the
// reading thread.

#include <QByteArray>
#include <QString>

#include <functional>

namespace velorixa::util {

enum class ReadStatus {
    Ok,
    Missing,     // nothing at the path (or a folder on the way is missing)
    Folder,      // a folder at the path
    NotRegular,  // a FIFO, device or socket
    TooLarge,    // larger than the caller's size (Oversize::Refuse)
    Failed,      // no permission, an I/O error, ...
    Stopped,     // goesOn said no while the read was under way
};

// What to do with a file larger than maxBytes.
enum class Oversize {
    Refuse,  // read nothing: TooLarge
    Prefix,  // read its first maxBytes; FileRead::cut tells
};

struct ReadOptions {
    qsizetype maxBytes = 16 * 1024 * 1024;
    Oversize oversize = Oversize::Refuse;
    // Asked between reads and when a read was interrupted by a signal; false gives up.
    std::function<bool()> goesOn;
};

struct FileRead {
    ReadStatus status = ReadStatus::Failed;
    QByteArray data;   // Ok: the file's bytes
    bool cut = false;  // Ok with Oversize::Prefix: the file holds more than data
    QString reason;    // not Ok: why, in words ("a FIFO, not a file", "larger than 32 MB")

    bool ok() const { return status == ReadStatus::Ok; }
};

FileRead ReadRegularFile(const QString& path, const ReadOptions& options);

// A size in words for messages: "512 bytes", "64 KB", "32 MB".
QString SizeText(qsizetype bytes);

}  // namespace velorixa::util
