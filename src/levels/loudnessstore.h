#pragma once
// The measured loudness of files, kept between runs so that a list is measured once: one line
// per file in $XDG_CACHE_HOME/velorixa/loudness.cache, keyed by the path's bytes, the file's
// size and its modification time (a file changed in place is measured again).
//
// Thread contract: a plain value; StampOf, load and save touch the disk, so its owner keeps it
// off the window's thread.

#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

#include "levels/loudness.h"

namespace velorixa::levels {

struct FileStamp {
    int64_t sizeBytes = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The size and modification time of the regular file at path; nothing for anything else.
std::optional<FileStamp> StampOf(const QString& path);

class LoudnessStore {
  public:
    static QString DefaultPath();
    // Replaces what is held by the file's lines; lines that do not parse are skipped.
    void load(const QString& file);
    // Writes everything held, atomically.
    bool save(const QString& file, QString* error) const;
    // The result kept for path, when its stamp is the one given.
    const Loudness* find(const QString& path, const FileStamp& stamp) const;
    void put(const QString& path, const FileStamp& stamp, const Loudness& loudness);
    int size() const { return static_cast<int>(entries_.size()); }

  private:
    struct Entry {
        FileStamp stamp;
        Loudness loudness;
    };
    QHash<QString, Entry> entries_;
};

}  // namespace velorixa::levels
