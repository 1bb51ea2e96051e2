#include "playlist/tagcache.h"

#include <QMetaObject>

#include <sys/stat.h>

#include <algorithm>

#include "util/fspath.h"

namespace velorixa::playlist {

QString FileStem(const QString& path) {
    const QString shown = util::PathForDisplay(path);
    const QString name = shown.mid(shown.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    // A name that is all extension (".mp3") keeps it.
    return dot > 0 ? name.left(dot) : name;
}

QString ShownName(const audio::TrackTags& tags, const QString& path) {
    if (tags.title.isEmpty()) return FileStem(path);
    if (tags.artist.isEmpty()) return tags.title;
    return tags.artist + QStringLiteral(" - ") + tags.title;
}

bool IsFileItem(const QString& item) {
    return item.startsWith(u'/');
}

TagCache::TagCache(Reader reader, QObject* parent, int maxEntries)
    : QObject(parent),
      reader_(std::move(reader)),
      maxEntries_(std::max(maxEntries, 1)),
      worker_([this] { work(); }) {}

TagCache::~TagCache() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

TagCache::FileStamp TagCache::stampOf(const QString& path) {
    struct stat st {};
    if (::stat(util::PathToBytes(path).constData(), &st) != 0) return {};
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

TagCache::Entry& TagCache::touch(const QString& item) {
    auto it = entries_.find(item);
    if (it != entries_.end()) {
        recent_.splice(recent_.begin(), recent_, it->recent);
        return *it;
    }
    // Room first: a removal may move the hash's other entries. A dropped path's queued job
    // still runs; its result finds no entry and is let go.
    while (entries_.size() >= maxEntries_) {
        entries_.remove(recent_.back());
        recent_.pop_back();
    }
    recent_.push_front(item);
    Entry fresh;
    fresh.shown = FileStem(item);
    fresh.recent = recent_.begin();
    return *entries_.insert(item, std::move(fresh));
}

void TagCache::want(const QStringList& items) {
    std::vector<Job> jobs;
    for (const QString& item : items) {
        if (!IsFileItem(item)) continue;
        Entry& e = touch(item);
        if (e.queued) continue;
        e.queued = true;
        jobs.push_back({item, e.read ? std::optional(e.stamp) : std::nullopt});
    }
    if (jobs.empty()) return;
    {
        std::lock_guard lock(mutex_);
        for (Job& j : jobs)
            queue_.push_back(std::move(j));
    }
    wake_.notify_one();
}

void TagCache::wantFirst(const QString& item) {
    if (!IsFileItem(item)) return;
    Entry& e = touch(item);
    e.queued = true;
    Job job{item, e.read ? std::optional(e.stamp) : std::nullopt};
    {
        std::lock_guard lock(mutex_);
        // Queued already further back: see to it now, and not twice.
        std::erase_if(queue_, [&item](const Job& j) { return j.path == item; });
        queue_.push_front(std::move(job));
    }
    wake_.notify_one();
}

const audio::TrackTags* TagCache::find(const QString& item) const {
    const auto it = entries_.constFind(item);
    return it != entries_.constEnd() && it->read ? &it->tags : nullptr;
}

QString TagCache::shownName(const QString& item) const {
    if (!IsFileItem(item)) return util::PathForDisplay(item);
    const auto it = entries_.constFind(item);
    return it != entries_.constEnd() ? it->shown : FileStem(item);
}

int TagCache::waiting() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size());
}

void TagCache::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        // The stamp is taken before the read: a change made during it shows at the next check.
        Result r{std::move(job.path), {}, std::nullopt};
        r.stamp = stampOf(r.path);
        if (job.known != r.stamp) r.tags = reader_(r.path);
        lock.lock();
        done_.push_back(std::move(r));
        // One queued call collects every result that came in meanwhile.
        if (!collectPosted_ && !stop_) {
            collectPosted_ = true;
            QMetaObject::invokeMethod(this, &TagCache::collect, Qt::QueuedConnection);
        }
    }
}

void TagCache::collect() {
    std::vector<Result> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(done_);
        collectPosted_ = false;
    }
    QStringList paths;
    for (Result& r : batch) {
        const auto it = entries_.find(r.path);
        if (it == entries_.end()) continue;  // dropped meanwhile
        it->queued = false;
        it->stamp = r.stamp;
        if (!r.tags) continue;
        it->shown = ShownName(*r.tags, r.path);
        it->tags = std::move(*r.tags);
        it->read = true;
        paths.append(r.path);
    }
    if (!paths.isEmpty()) emit tagsRead(paths);
}

}  // namespace velorixa::playlist
