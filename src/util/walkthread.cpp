#include "util/walkthread.h"

namespace velorixa::util {

WalkThread::WalkThread(std::function<WalkEnd()> job) : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, job = std::move(job)] {
        state->end = job();
        state->finished.store(true, std::memory_order_release);
    });
}

WalkThread::~WalkThread() {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (!finished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (finished()) {
        thread_.join();
    } else {
        thread_.detach();  // it holds its own state; the process may end without it
    }
}

}  // namespace velorixa::util
