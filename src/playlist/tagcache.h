#pragma once
// The tags of the music list's files, read on a worker thread and kept per path, and the name
// the window shows for an item. An item stays its text (the path) everywhere: in the lists,
// the list files, the play order and the transport; the tags only change what is shown:
// "Artist - Title" (or the title alone) for a file whose tags name a title, else the file's
// name without folder and extension; a station line as it is.
//
// want() only queues and returns at once, so a folder of thousands of files never holds the
// window up; the worker reads them in the order asked (the item that plays first, wantFirst)
// and hands the results back in batches, announced by tagsRead(). A path known already is
// queued for a check instead: the worker compares the file's size and modification time with
// those seen when it was read, and reads it again only when they differ, so a file retagged
// while the player runs shows its new tags the next time it is asked for.
//
// The cache holds at most maxEntries paths and drops the one asked for least recently beyond
// that. The default, 20000, covers the biggest lists kept in one piece (about two months of
// music) at a few hundred bytes a path; a list larger than the bound still shows every line,
// by file name where the tags were dropped, and reads them again when asked.
//
// Thread contract: every public function on the thread that owns the object (the window's);
// the worker is internal and only calls the reader.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "audio/decode/tags.h"

namespace velorixa::playlist {

// "Artist - Title", the title alone, or (no title) the file name of path without its folder and
// extension, readable (util::PathForDisplay).
QString ShownName(const audio::TrackTags& tags, const QString& path);
// The file name of path without folder and extension, readable.
QString FileStem(const QString& path);
// An item of a list that names a file (a full path), which tags are read for.
bool IsFileItem(const QString& item);

class TagCache : public QObject {
    Q_OBJECT
  public:
    using Reader = std::function<audio::TrackTags(const QString& path)>;
    static constexpr int kDefaultMaxEntries = 20000;
    explicit TagCache(Reader reader = &audio::ReadTags, QObject* parent = nullptr,
                      int maxEntries = kDefaultMaxEntries);
    ~TagCache() override;

    // The files among items are queued, in order: those not known to be read, those known to
    // be checked for a change (unless a check is queued already).
    void want(const QStringList& items);
    // item is read (or checked) before everything queued (the item that plays).
    void wantFirst(const QString& item);
    // The tags read for item; nullptr while not read (or for an item that is no file).
    const audio::TrackTags* find(const QString& item) const;
    // What the window shows for item (see above).
    QString shownName(const QString& item) const;
    // Files queued and not read or checked yet.
    int waiting() const;
    // Paths held (at most maxEntries).
    int size() const { return static_cast<int>(entries_.size()); }

  signals:
    // The tags of these paths were read (one signal per batch).
    void tagsRead(const QStringList& paths);

  private:
    // What tells a file's version: its size (-1 when it cannot be seen) and modification time.
    struct FileStamp {
        int64_t bytes = -1;
        int64_t mtimeNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp stampOf(const QString& path);
    struct Job {
        QString path;
        std::optional<FileStamp> known;  // a check: read only when the stamp differs
    };
    struct Result {
        QString path;
        FileStamp stamp;
        std::optional<audio::TrackTags> tags;  // nothing: unchanged since it was read
    };
    struct Entry {
        audio::TrackTags tags;
        QString shown;
        FileStamp stamp;
        bool read = false;
        bool queued = false;
        std::list<QString>::iterator recent;  // its place in recent_
    };
    // The entry of item, made (and the oldest dropped beyond the bound) when there is none;
    // either way the most recent one.
    Entry& touch(const QString& item);
    void work();
    void collect();

    Reader reader_;
    const int maxEntries_;
    // Window thread only.
    QHash<QString, Entry> entries_;
    std::list<QString> recent_;  // paths, most recently asked for first

    // Shared with the worker.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::vector<Result> done_;
    bool collectPosted_ = false;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace velorixa::playlist
