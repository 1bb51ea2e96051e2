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
    firstPath_ = path_ = path;
    format_ = format;
    // The file as made, known before the writer starts: a folder removed at once is noticed.
    struct stat st {};
    inode_ = ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    rateHz_ = rateHz;
    part_ = 1;
    earlierSeconds_ = 0;
    earlierBytes_ = 0;
    quit_ = false;
    stopping_ = false;
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
    RecordTap::RateMark found{};  // a change noticed here rather than marked by the engine
    for (;;) {
        RecordTap::RateMark mark = found;
        const bool engineMark = found.rateHz == 0 && tap_->pendingRate(&mark);
        const bool marked = engineMark || found.rateHz != 0;
        size_t at = 0;
        const size_t got = tap_->readUntil(kChunkFrames, marked ? mark.from : UINT64_MAX,
                                           [&](const float* src, size_t n) {
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
        if (marked && tap_->readIndex() >= mark.from) {
            // Everything at the old rate is in the file: the next frame starts the next one.
            if (engineMark)
                tap_->takeRate();
            else
                found = {};
            if (mark.rateHz != rateHz_ && !nextFile(mark.rateHz, &why)) {
                failed = true;
                break;
            }
            continue;
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
        if (!marked && outputChanged(&found)) continue;
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

bool Recorder::outputChanged(RecordTap::RateMark* mark) {
    const uint64_t before = tap_->pushedIndex();
    int rateHz = 0;
    {
        // The output was opened again and took no tap with it: the tap goes on at the new one.
        // Nothing pushed since `before` (the tap belonged to no output), so that is where the
        // new rate begins. Never once stop() has begun: it detaches the tap for good.
        std::lock_guard<std::mutex> lock(wakeMutex_);
        if (!stopping_ && attachRecordTap(tap_, &rateHz)) {
            *mark = {before, rateHz};
            return true;
        }
    }
    rateHz = outputRateHz();
    if (rateHz <= 0 || rateHz == rateHz_) return false;
    // The rate changed in place with no mark from the engine: the file ends with what has
    // arrived so far.
    *mark = {tap_->pushedIndex(), rateHz};
    return true;
}

bool Recorder::nextFile(int rateHz, std::string* why) {
    sink_->close(false);
    const uint64_t bytesDone = sink_->bytes();
    const double secondsDone = double(written_.load(std::memory_order_relaxed)) / rateHz_;
    std::unique_ptr<RecordSink> next;
    std::string path;
    int part = part_;
    for (int attempt = 0; !next && attempt < 50; ++attempt) {
        path = PartPath(firstPath_, ++part);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) continue;  // never over a file that exists
        next = options_.openSink(path, format_, rateHz, why);
        if (!next) return false;
    }
    if (!next) {
        *why = "no free name for the next part";
        return false;
    }
    struct stat st {};
    inode_ = ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    sink_ = std::move(next);
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        path_ = path;
        rateHz_ = rateHz;
        part_ = part;
        earlierSeconds_ += secondsDone;
        earlierBytes_ += bytesDone;
        written_.store(0, std::memory_order_release);
        bytes_.store(sink_->bytes(), std::memory_order_relaxed);
    }
    return true;
}

std::string Recorder::PartPath(const std::string& first, int part) {
    const size_t slash = first.rfind('/');
    size_t dot = first.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = first.size();
    return first.substr(0, dot) + " part " + std::to_string(part) + first.substr(dot);
}

RecordStatus Recorder::stop() {
    if (!started_) return final_;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopping_ = true;
    }
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
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        if (s.failed) s.error = error_;
        s.path = path_;
        s.rateHz = rateHz_;
        s.part = part_;
        s.earlierSeconds = earlierSeconds_;
        s.earlierBytes = earlierBytes_;
        s.framesWritten = written_.load(std::memory_order_acquire);
        s.bytes = bytes_.load(std::memory_order_relaxed);
    }
    s.framesLost = tap_->lostFrames();
    s.framesOffered = tap_->offeredFrames();
    s.writerCpuSeconds = cpuNs_.load(std::memory_order_relaxed) / 1e9;
    s.longestHandOverNs = tap_->longestPushNs();
    s.meanHandOverNs = tap_->meanPushNs();
    return s;
}

}  // namespace velorixa::audio
