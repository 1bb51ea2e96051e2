#pragma once
// Measures the loudness of music files in the background, one at a time on a worker thread of
// its own (never the window's, never the audio thread), and keeps every result in a cache file
// (LoudnessStore), so that a file measured once, in this run or an earlier one, is not decoded
// again while its size and time stay the same. The cache file is written, atomically, whenever
// the worker runs out of work.
//
// want() and wantFirst() return at once; results come back in batches, announced by
// measured(). A file that does not decode gets a result too (ok == false), and is not tried
// again.
//
// Thread contract: every public function on the thread that owns the object (the window's);
// the worker is internal and only calls the measurer, the file's stamp and the store.

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "levels/loudness.h"
#include "levels/loudnessstore.h"

namespace velorixa::levels {

class LoudnessScanner : public QObject {
    Q_OBJECT
  public:
    using Measurer = std::function<Loudness(const QString& path, const std::atomic<bool>* stop)>;
    // cacheFile: where results are kept between runs (empty: this run only).
    explicit LoudnessScanner(QString cacheFile, Measurer measurer = &MeasureLoudness,
                             QObject* parent = nullptr);
    ~LoudnessScanner() override;

    // Queues path unless it is known or queued already.
    void want(const QString& path);
    // Measures path before everything queued (the item that plays).
    void wantFirst(const QString& path);
    // The result for path; nullptr while not known.
    const Loudness* find(const QString& path) const;
    // Queued or being measured.
    bool pending(const QString& path) const { return asked_.contains(path) && !find(path); }
    // Files measured (decoded) by this object so far, cache hits not counted.
    int measuredCount() const { return measuredCount_.load(std::memory_order_relaxed); }

  signals:
    // Results for these paths came in (one signal per batch).
    void measured(const QStringList& paths);

  private:
    void work();
    void collect();

    QString cacheFile_;
    Measurer measurer_;
    QHash<QString, Loudness> results_;  // window thread only
    QHash<QString, bool> asked_;        // window thread only
    std::atomic<int> measuredCount_{0};

    // Shared with the worker.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QString> queue_;
    std::vector<std::pair<QString, Loudness>> done_;
    bool collectPosted_ = false;
    std::atomic<bool> stop_{false};
    LoudnessStore store_;  // worker only
    std::thread worker_;
};

}  // namespace velorixa::levels
