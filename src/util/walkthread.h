#pragma once
// One folder walk on a worker thread of its own, so the window's thread never waits on the
// disk: the window asks finished() (on a timer) and then reads what the walk left behind.
//
// Thread contract: create, ask and destroy on one thread (the window's). The job runs on the
// worker and must own, by value or shared pointer, everything it touches, because a worker
// that does not end in time after its flag was cleared is let go rather than waited for.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "util/folderwalk.h"

namespace velorixa::util {

class WalkThread {
  public:
    explicit WalkThread(std::function<WalkEnd()> job);
    // Waits up to `grace` for the job to return (the caller cleared its flag before), then
    // joins it, or lets it go when it still hangs in the file system.
    ~WalkThread();
    WalkThread(const WalkThread&) = delete;
    WalkThread& operator=(const WalkThread&) = delete;

    bool finished() const { return state_->finished.load(std::memory_order_acquire); }
    // How the job ended; valid once finished().
    WalkEnd end() const { return state_->end; }

    static constexpr std::chrono::milliseconds grace{1000};

  private:
    struct State {
        std::atomic<bool> finished{false};
        WalkEnd end = WalkEnd::Done;
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace velorixa::util
