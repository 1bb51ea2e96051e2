#include "playlist/tagcache.h"

#include <QMetaObject>

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

TagCache::TagCache(Reader reader, QObject* parent)
    : QObject(parent), reader_(std::move(reader)), worker_([this] { work(); }) {}

TagCache::~TagCache() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void TagCache::want(const QStringList& items) {
    std::vector<QString> fresh;
    for (const QString& item : items) {
        if (!IsFileItem(item) || entries_.contains(item)) continue;
        entries_.insert(item, Entry{{}, FileStem(item), false});
        fresh.push_back(item);
    }
    if (fresh.empty()) return;
    {
        std::lock_guard lock(mutex_);
        for (QString& p : fresh)
            queue_.push_back(std::move(p));
    }
    wake_.notify_one();
}

void TagCache::wantFirst(const QString& item) {
    if (!IsFileItem(item)) return;
    auto it = entries_.find(item);
    if (it != entries_.end() && it->read) return;
    if (it == entries_.end()) entries_.insert(item, Entry{{}, FileStem(item), false});
    {
        std::lock_guard lock(mutex_);
        // Queued already further back: read it now, and not twice.
        std::erase(queue_, item);
        queue_.push_front(item);
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
        const QString path = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        audio::TrackTags tags = reader_(path);
        lock.lock();
        done_.emplace_back(path, std::move(tags));
        // One queued call collects every result that came in meanwhile.
        if (!collectPosted_ && !stop_) {
            collectPosted_ = true;
            QMetaObject::invokeMethod(this, &TagCache::collect, Qt::QueuedConnection);
        }
    }
}

void TagCache::collect() {
    std::vector<std::pair<QString, audio::TrackTags>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(done_);
        collectPosted_ = false;
    }
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(batch.size()));
    for (auto& [path, tags] : batch) {
        Entry& e = entries_[path];
        e.shown = ShownName(tags, path);
        e.tags = std::move(tags);
        e.read = true;
        paths.append(path);
    }
    if (!paths.isEmpty()) emit tagsRead(paths);
}

}  // namespace velorixa::playlist
