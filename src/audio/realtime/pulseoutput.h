#pragma once
// The output through a PulseAudio server (or PipeWire's Pulse server): one playback stream named
// "Velorixa" with the media role "music", on the output the user chose or the server's default.
// It follows the server: an output that goes away moves the sound to the default one and back
// when it returns; a server that ends is connected to again; with no output at all nothing is
// rendered, so the channels keep their positions until one comes back.
//
// Thread contract: the stream's write callback runs on the Pulse mainloop's thread, which calls
// the render function inside its block and only writes into a buffer allocated at the start.
// A watcher thread of its own makes every change (connect, open, move, reconnect) under the
// mainloop's lock, polling every 20 ms; the window never takes that lock. The public members
// are for any thread: they read or post through a small mutex (`state_`) that no thread holds
// while it renders or waits.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_operation;

namespace velorixa::audio {

struct OutputDevice {
    std::string name;         // the server's own name of the sink (what is kept)
    std::string description;  // what the server shows for it
    int rateHz = 0;           // its own rate
};

class PulseOutput {
  public:
    // Renders `frames` (<= kMaxFrames) interleaved stereo floats; called on the mainloop thread.
    using Render = std::function<void(float* stereo, int frames)>;
    static constexpr int kMaxFrames = 512;

    PulseOutput(Render render, int bufferFrames);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Connects and opens the stream on `chosen` (empty: the default) at that output's own rate,
    // waiting up to 2 s. False with a reason when no server answers: the caller uses another
    // output then. A chosen output that is missing gives the default and a message.
    bool open(const std::string& chosen, std::string* error);
    int rateHz() const { return rateHz_; }

    // The outputs the server offers, its default first.
    std::vector<OutputDevice> devices() const;
    // Moves the sound to `name` (empty: the default) with a short fade; kept as the choice for
    // when that output comes back.
    void choose(const std::string& name);
    std::string chosen() const;
    // The output the stream plays on now (empty while none).
    std::string current() const;
    // Frames per write the stream asks for (its buffer is twice that).
    void setBufferFrames(int frames);
    int bufferFrames() const { return bufferFrames_.load(); }
    // The stream's latency as the server measures it, in ms; -1 while unknown.
    int latencyMs() const { return latencyUs_.load() < 0 ? -1 : int(latencyUs_.load() / 1000); }
    // Messages for the listener (an output went away, came back, none left), oldest first.
    std::vector<std::string> takeMessages();

  private:
    enum class Fade : int { kNone, kOut, kHeld, kReady, kSettle, kIn };

    void watch();
    void step();  // one pass of the watcher, mainloop lock held
    bool connectContext();
    // Runs op to its end, letting go of the mainloop's lock while it waits (at most 2 s).
    bool finish(pa_operation* op);
    void dropContext();
    void openStream(const std::string& sink);
    void dropStream();
    void refreshDevices();
    void say(std::string text);
    void announce(const std::string& chosen);
    void write(size_t bytes);

    static void onContextState(pa_context* c, void* self);
    static void onSubscribe(pa_context* c, int type, uint32_t index, void* self);
    static void onWrite(pa_stream* s, size_t bytes, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onMoved(pa_stream* s, void* self);

    Render render_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    int rateHz_ = 44100;
    std::vector<float> buffer_;  // one callback's frames; sized at the start
    std::atomic<int> bufferFrames_;
    std::atomic<bool> bufferChanged_{false};
    std::atomic<int64_t> latencyUs_{-1};
    // The fade of a move: the callback ramps out, holds silence without rendering (so nothing
    // is skipped) until the queue holds no music, the move happens, more silence lets the new
    // output settle (a move rewinds what the stream had queued), then it ramps in.
    std::atomic<Fade> fade_{Fade::kNone};
    float fadeGain_ = 1.f;   // mainloop thread
    int64_t heldBytes_ = 0;  // mainloop thread: silence written while held
    std::atomic<bool> devicesDirty_{true};
    bool subscribed_ = false;            // watcher, lock held
    std::vector<OutputDevice> listing_;  // filled by the server's answers, lock held
    std::string listingDefault_;
    std::chrono::steady_clock::time_point nextConnect_{};
    std::atomic<bool> quit_{false};
    std::thread watcher_;

    // Shared with the public members.
    mutable std::mutex state_;
    std::vector<OutputDevice> devices_;
    std::string defaultName_;
    std::string chosen_;
    std::string current_;
    std::string announced_;  // the output the last message named
    bool serverLost_ = false;
    bool noneMessage_ = false;
    std::vector<std::string> messages_;
};

}  // namespace velorixa::audio
