#include "audio/output.h"

#include <mutex>

#include "audio/realtime/engine.h"

namespace velorixa::audio {

namespace {

// The choice as last set here, so that a buffer change keeps the output and the other way.
struct Chosen {
    std::mutex mutex;
    std::string name;
    int bufferFrames = kDefaultOutputBuffer;
};

Chosen& chosen() {
    static Chosen c;
    return c;
}

template <typename F>
auto withPulse(F f) {
    std::lock_guard<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    return f(engine ? engine->pulse() : nullptr);
}

}  // namespace

std::vector<OutputDevice> outputDevices() {
    return withPulse([](PulseOutput* p) { return p ? p->devices() : std::vector<OutputDevice>{}; });
}

std::string outputInUse() {
    return withPulse([](PulseOutput* p) { return p ? p->current() : std::string(); });
}

bool chooseOutput(const std::string& name) {
    int frames;
    {
        std::lock_guard<std::mutex> g(chosen().mutex);
        chosen().name = name;
        frames = chosen().bufferFrames;
    }
    setOutputPreference(name, frames);
    return withPulse([&](PulseOutput* p) {
        if (p) p->choose(name);
        return p != nullptr;
    });
}

bool setOutputBuffer(int frames) {
    std::string name;
    {
        std::lock_guard<std::mutex> g(chosen().mutex);
        chosen().bufferFrames = frames;
        name = chosen().name;
    }
    setOutputPreference(name, frames);
    return withPulse([&](PulseOutput* p) {
        if (p) p->setBufferFrames(frames);
        return p != nullptr;
    });
}

int outputLatencyMs() {
    return withPulse([](PulseOutput* p) { return p ? p->latencyMs() : -1; });
}

std::vector<std::string> takeOutputMessages() {
    return withPulse(
        [](PulseOutput* p) { return p ? p->takeMessages() : std::vector<std::string>{}; });
}

}  // namespace velorixa::audio
