#include "audio/realtime/pulseoutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace velorixa::audio {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrameBytes = 2 * sizeof(float);

class Locked {
  public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    pa_threaded_mainloop* loop_;
};

bool contextGone(pa_context* c) {
    return !c || !PA_CONTEXT_IS_GOOD(pa_context_get_state(c));
}

// Writes of `frames` each, two of them queued: the server's latency follows from it.
pa_buffer_attr bufferAttr(int frames) {
    const uint32_t period = static_cast<uint32_t>(frames) * kFrameBytes;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 2 * period;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = period;
    attr.fragsize = static_cast<uint32_t>(-1);
    return attr;
}

}  // namespace

PulseOutput::PulseOutput(Render render, int bufferFrames)
    : render_(std::move(render)), bufferFrames_(std::clamp(bufferFrames, 64, 8192)) {
    loop_ = pa_threaded_mainloop_new();
    buffer_.resize(static_cast<size_t>(kMaxFrames) * 2);
}

PulseOutput::~PulseOutput() {
    quit_.store(true);
    if (watcher_.joinable()) watcher_.join();
    if (!loop_) return;
    {
        Locked lock(loop_);
        dropStream();
        dropContext();
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

bool PulseOutput::finish(pa_operation* op) {
    if (!op) return false;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && Clock::now() < deadline &&
           !contextGone(context_)) {
        pa_threaded_mainloop_unlock(loop_);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pa_threaded_mainloop_lock(loop_);
    }
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    if (!done) pa_operation_cancel(op);
    pa_operation_unref(op);
    return done;
}

bool PulseOutput::open(const std::string& chosen, std::string* error) {
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        if (error) *error = "no Pulse mainloop";
        return false;
    }
    {
        std::lock_guard<std::mutex> g(state_);
        chosen_ = chosen;
    }
    Locked lock(loop_);
    if (!connectContext()) {
        if (error) *error = "no sound server";
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        if (contextGone(context_) || Clock::now() > deadline) {
            if (error)
                *error = std::string("sound server: ") + pa_strerror(pa_context_errno(context_));
            dropContext();
            return false;
        }
        pa_threaded_mainloop_unlock(loop_);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pa_threaded_mainloop_lock(loop_);
    }
    // The first pass opens the stream at the rate of the output it lands on.
    refreshDevices();
    std::string sink;
    {
        std::lock_guard<std::mutex> g(state_);
        sink = defaultName_;
        for (const OutputDevice& d : devices_)
            if (!chosen_.empty() && d.name == chosen_) sink = d.name;
        for (const OutputDevice& d : devices_)
            if (d.name == sink) rateHz_ = d.rateHz;
    }
    if (rateHz_ < 8000 || rateHz_ > 192000) rateHz_ = 48000;
    step();
    watcher_ = std::thread([this] { watch(); });
    return true;
}

bool PulseOutput::connectContext() {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Velorixa");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "velorixa");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "velorixa");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Velorixa", props);
    pa_proplist_free(props);
    if (!context_) return false;
    subscribed_ = false;
    pa_context_set_state_callback(context_, &PulseOutput::onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext();
        return false;
    }
    return true;
}

void PulseOutput::dropContext() {
    if (!context_) return;
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseOutput::onContextState(pa_context*, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    out->devicesDirty_.store(true);
}

void PulseOutput::onSubscribe(pa_context*, int, uint32_t, void* self) {
    static_cast<PulseOutput*>(self)->devicesDirty_.store(true);
}

void PulseOutput::refreshDevices() {
    devicesDirty_.store(false);
    listing_.clear();
    listingDefault_.clear();
    auto onServer = [](pa_context*, const pa_server_info* info, void* self) {
        if (info && info->default_sink_name)
            static_cast<PulseOutput*>(self)->listingDefault_ = info->default_sink_name;
    };
    auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* self) {
        if (eol || !info) return;
        static_cast<PulseOutput*>(self)->listing_.push_back(
            {info->name ? info->name : "", info->description ? info->description : "",
             static_cast<int>(info->sample_spec.rate)});
    };
    const bool ok = finish(pa_context_get_server_info(context_, onServer, this)) &&
                    finish(pa_context_get_sink_info_list(context_, onSink, this));
    if (!ok) {
        devicesDirty_.store(true);
        return;
    }
    // The default first, the others in the server's order.
    std::stable_partition(listing_.begin(), listing_.end(),
                          [this](const OutputDevice& d) { return d.name == listingDefault_; });
    std::lock_guard<std::mutex> g(state_);
    devices_ = listing_;
    defaultName_ = listingDefault_;
}

void PulseOutput::openStream(const std::string& sink) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = static_cast<uint32_t>(rateHz_);
    spec.channels = 2;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "Velorixa");
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Velorixa");
    stream_ = pa_stream_new_with_proplist(context_, "Velorixa", &spec, nullptr, props);
    pa_proplist_free(props);
    if (!stream_) return;
    pa_stream_set_write_callback(stream_, &PulseOutput::onWrite, this);
    pa_stream_set_state_callback(stream_, &PulseOutput::onStreamState, this);
    pa_stream_set_moved_callback(stream_, &PulseOutput::onMoved, this);
    const pa_buffer_attr attr = bufferAttr(bufferFrames_.load());
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
    fade_.store(Fade::kNone);
    fadeGain_ = 1.f;
    if (pa_stream_connect_playback(stream_, sink.empty() ? nullptr : sink.c_str(), &attr, flags,
                                   nullptr, nullptr) < 0) {
        dropStream();
        return;
    }
    std::lock_guard<std::mutex> g(state_);
    current_ = sink;
}

void PulseOutput::dropStream() {
    if (!stream_) return;
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    latencyUs_.store(-1);
    std::lock_guard<std::mutex> g(state_);
    current_.clear();
}

void PulseOutput::onStreamState(pa_stream*, void* self) {
    static_cast<PulseOutput*>(self)->devicesDirty_.store(true);
}

void PulseOutput::onMoved(pa_stream* s, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    const char* name = pa_stream_get_device_name(s);
    std::lock_guard<std::mutex> g(out->state_);
    out->current_ = name ? name : "";
}

void PulseOutput::onWrite(pa_stream* s, size_t bytes, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    if (s == out->stream_) out->write(bytes);
}

void PulseOutput::write(size_t bytes) {
    const int fadeFrames = std::max(1, rateHz_ / 100);  // 10 ms
    const float stepGain = 1.f / float(fadeFrames);
    // How much silence must be queued before a move: the stream's queue, at most 60 ms.
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_);
    const int64_t holdBytes =
        std::min<int64_t>(attr ? attr->tlength : 0, int64_t(rateHz_) * 60 / 1000 * kFrameBytes);
    size_t left = bytes / kFrameBytes;
    while (left > 0) {
        const int n = static_cast<int>(std::min<size_t>(left, kMaxFrames));
        float* out = buffer_.data();
        Fade fade = fade_.load(std::memory_order_acquire);
        if (fade == Fade::kHeld || fade == Fade::kReady || fade == Fade::kSettle) {
            std::fill(out, out + 2 * n, 0.f);
            heldBytes_ += int64_t(n) * kFrameBytes;
            if (fade == Fade::kHeld && heldBytes_ >= holdBytes)
                fade_.store(Fade::kReady, std::memory_order_release);
            if (fade == Fade::kSettle && heldBytes_ >= holdBytes)
                fade_.store(Fade::kIn, std::memory_order_release);
        } else {
            render_(out, n);
            if (fade == Fade::kOut || fade == Fade::kIn) {
                const float dir = fade == Fade::kOut ? -stepGain : stepGain;
                for (int i = 0; i < n; ++i) {
                    fadeGain_ = std::clamp(fadeGain_ + dir, 0.f, 1.f);
                    out[2 * i] *= fadeGain_;
                    out[2 * i + 1] *= fadeGain_;
                }
                if (fade == Fade::kOut && fadeGain_ <= 0.f) {
                    heldBytes_ = 0;
                    fade_.store(Fade::kHeld, std::memory_order_release);
                } else if (fade == Fade::kIn && fadeGain_ >= 1.f) {
                    fade_.store(Fade::kNone, std::memory_order_release);
                }
            }
        }
        pa_stream_write(stream_, out, static_cast<size_t>(n) * kFrameBytes, nullptr, 0,
                        PA_SEEK_RELATIVE);
        left -= static_cast<size_t>(n);
    }
}

void PulseOutput::say(std::string text) {
    std::lock_guard<std::mutex> g(state_);
    messages_.push_back(std::move(text));
}

void PulseOutput::watch() {
    while (!quit_.load()) {
        {
            Locked lock(loop_);
            step();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void PulseOutput::step() {
    if (contextGone(context_)) {
        // The server ended (or never answered): the sound waits, unrendered, for its return.
        if (context_ || stream_) {
            dropStream();
            dropContext();
            std::lock_guard<std::mutex> g(state_);
            if (!serverLost_) messages_.push_back("Sound server lost: waiting for it");
            serverLost_ = true;
            devices_.clear();
        }
        if (Clock::now() >= nextConnect_) {
            nextConnect_ = Clock::now() + std::chrono::milliseconds(250);
            connectContext();
        }
        return;
    }
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) return;
    if (!subscribed_) {
        pa_context_set_subscribe_callback(
            context_,
            [](pa_context* c, pa_subscription_event_type_t t, uint32_t i, void* self) {
                onSubscribe(c, static_cast<int>(t), i, self);
            },
            this);
        pa_operation* op =
            pa_context_subscribe(context_,
                                 static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                                     PA_SUBSCRIPTION_MASK_SERVER),
                                 nullptr, nullptr);
        if (op) pa_operation_unref(op);
        subscribed_ = true;
        devicesDirty_.store(true);
    }
    if (devicesDirty_.load()) refreshDevices();
    if (contextGone(context_)) return;

    std::string chosen, want, current;
    bool known = false;
    {
        std::lock_guard<std::mutex> g(state_);
        chosen = chosen_;
        for (const OutputDevice& d : devices_)
            known = known || (!chosen.empty() && d.name == chosen);
        want = known ? chosen : defaultName_;
        if (want.empty() && !devices_.empty()) want = devices_.front().name;
        current = current_;
    }
    if (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        say("Output lost: " + (current.empty() ? std::string("?") : current));
        dropStream();
        current.clear();
    }
    if (!stream_) {
        if (want.empty()) {
            std::lock_guard<std::mutex> g(state_);
            if (!noneMessage_) messages_.push_back("No sound output: the music waits for one");
            noneMessage_ = true;
            return;
        }
        openStream(want);
        std::lock_guard<std::mutex> g(state_);
        if (serverLost_ || noneMessage_) messages_.push_back("Sound output back");
        serverLost_ = noneMessage_ = false;
        return;
    }
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    if (bufferChanged_.exchange(false)) {
        const pa_buffer_attr attr = bufferAttr(bufferFrames_.load());
        pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr);
        if (op) pa_operation_unref(op);
    }
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) == 0)
        latencyUs_.store(negative ? 0 : static_cast<int64_t>(usec));

    if (want != current && !want.empty()) {
        // A move: fade out, hold silence until the queue holds no music, move, fade in.
        const Fade fade = fade_.load();
        if (fade == Fade::kNone || fade == Fade::kIn || fade == Fade::kSettle) {
            if (fadeGain_ <= 0.f) heldBytes_ = 0;
            fade_.store(fadeGain_ > 0.f ? Fade::kOut : Fade::kHeld);
        } else if (fade == Fade::kReady) {
            const bool moved = finish(pa_context_move_sink_input_by_name(
                context_, pa_stream_get_index(stream_), want.c_str(), nullptr, nullptr));
            if (moved) {
                std::lock_guard<std::mutex> g(state_);
                current_ = want;
            }
            heldBytes_ = 0;  // the callback does not run meanwhile: the lock is held
            fade_.store(Fade::kSettle);
        }
    } else if (fade_.load() == Fade::kReady) {
        fade_.store(Fade::kIn);
    }
    announce(chosen);
}

void PulseOutput::announce(const std::string& chosen) {
    // Says where the sound goes whenever that changes from what was said last: away from the
    // chosen output (moved by the server or by us) or back to it.
    std::lock_guard<std::mutex> g(state_);
    if (current_.empty() || current_ == announced_) return;
    if (!chosen.empty() && current_ != chosen)
        messages_.push_back("Output " + chosen + " is not there: playing through " + current_);
    else if (!chosen.empty() && !announced_.empty())
        messages_.push_back("Output " + chosen + " back");
    announced_ = current_;
}

std::vector<OutputDevice> PulseOutput::devices() const {
    std::lock_guard<std::mutex> g(state_);
    return devices_;
}

void PulseOutput::choose(const std::string& name) {
    std::lock_guard<std::mutex> g(state_);
    chosen_ = name;
}

std::string PulseOutput::chosen() const {
    std::lock_guard<std::mutex> g(state_);
    return chosen_;
}

std::string PulseOutput::current() const {
    std::lock_guard<std::mutex> g(state_);
    return current_;
}

void PulseOutput::setBufferFrames(int frames) {
    bufferFrames_.store(std::clamp(frames, 64, 8192));
    bufferChanged_.store(true);
}

std::vector<std::string> PulseOutput::takeMessages() {
    std::lock_guard<std::mutex> g(state_);
    return std::exchange(messages_, {});
}

}  // namespace velorixa::audio
