#include "audio/record/recorder.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "audio/realtime/engine.h"

namespace velorixa::audio {

namespace {

constexpr size_t kChunkFrames = 4096;

int64_t threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

Recorder::Recorder() : Recorder(Options{}) {}

Recorder::Recorder(Options options) : options_(std::move(options)) {
    if (!options_.openSink) options_.openSink = &OpenSndfileSink;
}

Recorder::~Recorder() {
    stop();
}

bool Recorder::start(const std::string& path, RecordFormat format, std::string* error) {
    if (started_) {
        if (error) *error = "a recording runs already";
        return false;
    }
    // The rate comes from the output itself: whatever it runs at, the file has.
    int rateHz = outputRateHz();
    if (rateHz <= 0) {
        if (error) *error = "the sound output is not open";
        return false;
    }
    const auto capacity =
        static_cast<size_t>(std::ceil(std::max(options_.ringSeconds, 0.1) * rateHz));
    auto tap = std::make_shared<RecordTap>(capacity);
    std::string why;
    sink_ = options_.openSink(path, format, rateHz, &why);
    if (!sink_) {
        if (error) *error = why;
        return false;
    }
    if (!attachRecordTap(tap, &rateHz)) {
        sink_->close(true);
        sink_.reset();
        ::unlink(path.c_str());
        if (error) *error = "the sound output is not open";
        return false;
    }
    tap_ = std::move(tap);
    path_ = path;
    // The file as made, known before the writer starts: a folder removed at once is noticed.
    struct stat st {};
    inode_ = ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    rateHz_ = rateHz;
    quit_ = false;
    failed_ = false;
    written_ = 0;
    bytes_ = sink_->bytes();
    cpuNs_ = 0;
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        error_.clear();
    }
    running_ = true;
    started_ = true;
    writer_ = std::thread([this] { writerLoop(); });
    return true;
}

void Recorder::writerLoop() {
    const int64_t cpu0 = threadCpuNs();
    std::vector<int32_t> buf(kChunkFrames * 2);
    const auto period = std::chrono::milliseconds(std::max(options_.checkpointMs, 1));
    auto nextCheckpoint = std::chrono::steady_clock::now() + period;
    bool failed = false;
    std::string why;
    for (;;) {
        size_t at = 0;
        const size_t got = tap_->readWith(kChunkFrames, [&](const float* src, size_t n) {
            for (size_t i = 0; i < 2 * n; ++i)
                buf[at + i] = ToPcm24High(src[i]);
            at += 2 * n;
        });
        if (got > 0) {
            if (!sink_->write(buf.data(), got, &why)) {
                failed = true;
                break;
            }
            written_.fetch_add(got, std::memory_order_release);
            bytes_.store(sink_->bytes(), std::memory_order_relaxed);
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextCheckpoint) {
            nextCheckpoint = now + period;
            if (!sink_->checkpoint(&why)) {
                failed = true;
                break;
            }
            // Writing on into a file whose folder was removed (or whose stick was pulled) would
            // lose everything from here on: stop and say so.
            struct stat st {};
            if (::stat(path_.c_str(), &st) != 0 || st.st_ino != inode_) {
                why = "the file or its folder is gone";
                failed = true;
                break;
            }
            bytes_.store(sink_->bytes(), std::memory_order_relaxed);
            cpuNs_.store(threadCpuNs() - cpu0, std::memory_order_relaxed);
        }
        if (got == kChunkFrames) continue;  // more is waiting
        std::unique_lock<std::mutex> lock(wakeMutex_);
        if (quit_) {
            if (tap_->available() == 0) break;
            continue;
        }
        // The audio thread makes no system call, so it cannot wake the writer: the writer looks
        // every 10 ms, a small part of what the ring holds.
        wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return quit_; });
    }
    sink_->close(failed);
    bytes_.store(sink_->bytes(), std::memory_order_relaxed);
    if (failed) {
        std::lock_guard<std::mutex> lock(errorMutex_);
        error_ = why.empty() ? std::string("the file could not be written") : why;
        failed_.store(true, std::memory_order_release);
    }
    cpuNs_.store(threadCpuNs() - cpu0, std::memory_order_relaxed);
    running_.store(false, std::memory_order_release);
}

RecordStatus Recorder::stop() {
    if (!started_) return final_;
    // No block reaches the ring after this: what it holds is the end of the recording.
    detachRecordTap(tap_.get());
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        quit_ = true;
    }
    wake_.notify_all();
    writer_.join();
    final_ = status();
    started_ = false;
    sink_.reset();
    tap_.reset();
    return final_;
}

RecordStatus Recorder::status() const {
    if (!started_) return final_;
    RecordStatus s;
    s.active = running_.load(std::memory_order_acquire);
    s.failed = failed_.load(std::memory_order_acquire);
    if (s.failed) {
        std::lock_guard<std::mutex> lock(errorMutex_);
        s.error = error_;
    }
    s.path = path_;
    s.rateHz = rateHz_;
    s.framesLost = tap_->lostFrames();
    s.framesOffered = tap_->offeredFrames();
    s.framesWritten = written_.load(std::memory_order_acquire);
    s.bytes = bytes_.load(std::memory_order_relaxed);
    s.writerCpuSeconds = cpuNs_.load(std::memory_order_relaxed) / 1e9;
    s.longestHandOverNs = tap_->longestPushNs();
    s.meanHandOverNs = tap_->meanPushNs();
    return s;
}

}  // namespace velorixa::audio
