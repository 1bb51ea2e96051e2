#pragma once
// The tags of the music list's files, read on a worker thread and kept per path, and the name
// the window shows for an item. An item stays its text (the path) everywhere: in the lists,
// the list files, the play order and the transport; the tags only change what is shown:
// "Artist - Title" (or the title alone) for a file whose tags name a title, else the file's
// name without folder and extension; a station line as it is.
//
// want() only queues what is not known yet and returns at once, so a folder of thousands of
// files never holds the window up; the worker reads them in the order asked (the item that
// plays first, wantFirst) and hands the results back in batches, announced by tagsRead().
// A path read once keeps its tags for the rest of the run.
//
// Thread contract: every public function on the thread that owns the object (the window's);
// the worker is internal and only calls the reader.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
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
    explicit TagCache(Reader reader = &audio::ReadTags, QObject* parent = nullptr);
    ~TagCache() override;

    // The files among items whose tags are not known or queued yet are queued, in order.
    void want(const QStringList& items);
    // item is read before everything queued (the item that plays).
    void wantFirst(const QString& item);
    // The tags read for item; nullptr while not read (or for an item that is no file).
    const audio::TrackTags* find(const QString& item) const;
    // What the window shows for item (see above).
    QString shownName(const QString& item) const;
    // Files queued and not read yet.
    int waiting() const;

  signals:
    // The tags of these paths were read (one signal per batch).
    void tagsRead(const QStringList& paths);

  private:
    struct Entry {
        audio::TrackTags tags;
        QString shown;
        bool read = false;
    };
    void work();
    void collect();

    Reader reader_;
    QHash<QString, Entry> entries_;  // window thread only

    // Shared with the worker.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QString> queue_;
    std::vector<std::pair<QString, audio::TrackTags>> done_;
    bool collectPosted_ = false;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace velorixa::playlist
