#include "levels/loudnessscanner.h"

#include <QMetaObject>

namespace velorixa::levels {

LoudnessScanner::LoudnessScanner(QString cacheFile, Measurer measurer, QObject* parent)
    : QObject(parent),
      cacheFile_(std::move(cacheFile)),
      measurer_(std::move(measurer)),
      worker_([this] { work(); }) {}

LoudnessScanner::~LoudnessScanner() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

void LoudnessScanner::want(const QString& path) {
    if (!path.startsWith(u'/') || asked_.contains(path)) return;
    asked_.insert(path, true);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(path);
    }
    wake_.notify_one();
}

void LoudnessScanner::wantFirst(const QString& path) {
    if (!path.startsWith(u'/') || results_.contains(path)) return;
    asked_.insert(path, true);
    {
        std::lock_guard lock(mutex_);
        std::erase(queue_, path);
        queue_.push_front(path);
    }
    wake_.notify_one();
}

const Loudness* LoudnessScanner::find(const QString& path) const {
    const auto it = results_.constFind(path);
    return it != results_.constEnd() ? &*it : nullptr;
}

void LoudnessScanner::work() {
    if (!cacheFile_.isEmpty()) store_.load(cacheFile_);
    bool dirty = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty() && dirty && !cacheFile_.isEmpty()) {
            // Out of work: keep what was measured, so a restart does not measure it again.
            lock.unlock();
            QString error;
            store_.save(cacheFile_, &error);
            dirty = false;
            lock.lock();
            continue;
        }
        wake_.wait(lock, [this] { return stop_.load() || !queue_.empty(); });
        if (stop_.load()) break;
        const QString path = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        Loudness result;
        const std::optional<FileStamp> stamp = StampOf(path);
        if (const Loudness* known = stamp ? store_.find(path, *stamp) : nullptr) {
            result = *known;
        } else {
            result = measurer_(path, &stop_);
            if (stop_.load()) {
                lock.lock();
                break;  // cut short: not a result
            }
            measuredCount_.fetch_add(1, std::memory_order_relaxed);
            if (stamp) {
                store_.put(path, *stamp, result);
                dirty = true;
            }
        }
        lock.lock();
        done_.emplace_back(path, result);
        // One queued call collects every result that came in meanwhile.
        if (!collectPosted_) {
            collectPosted_ = true;
            QMetaObject::invokeMethod(this, &LoudnessScanner::collect, Qt::QueuedConnection);
        }
    }
    // Leaving: what was measured is kept all the same.
    lock.unlock();
    if (dirty && !cacheFile_.isEmpty()) {
        QString error;
        store_.save(cacheFile_, &error);
    }
}

void LoudnessScanner::collect() {
    std::vector<std::pair<QString, Loudness>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(done_);
        collectPosted_ = false;
    }
    QStringList paths;
    for (auto& [path, loudness] : batch) {
        results_.insert(path, loudness);
        paths.append(path);
    }
    if (!paths.isEmpty()) emit measured(paths);
}

}  // namespace velorixa::levels
