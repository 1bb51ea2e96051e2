#pragma once
// The engine behind the flat audio API: the output (the sound server's stream, an SDL2 device
// with SDL loaded when that output is chosen, no-sound timer thread or offline rendering), the
// table of handles, and the mix of playing channels that the audio thread renders.
//
// Thread contract: every member except render(), renderOffline(), enterBlock() and leaveBlock()
// is called with apiMutex() held, from whatever thread calls the API; none of them waits longer
// than the audio thread's current block. The audio thread (SDL callback, no-sound timer thread,
// or VX_Render's caller between its blocks) only calls render() between enterBlock() and
// leaveBlock(); it reads the mix through an atomic pointer and never takes a lock, and it makes
// no API call (asserted in debug builds). A new mix is handed over whole by publishMix(), which
// frees the old one once the audio thread has let go of it. What a free removes is handed back
// to the caller, who destroys it (joining decode threads) after letting go of the lock.

#include <atomic>
#include <cassert>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audio/decode/source.h"
#include "audio/realtime/channel.h"
#include "audio/realtime/fx/effect.h"
#include "audio/realtime/pulseoutput.h"
#include "audio/realtime/recordtap.h"

namespace velorixa::audio {

struct MixEntry {
    std::shared_ptr<Channel> channel;
    std::vector<fx::Effect*> effects;  // owned by the channel's HandleEntry
};

struct MixState {
    std::vector<MixEntry> entries;
};

// What a handle stands for. A decoding source has `source`; a playable channel has `channel`
// (and `source` of its stream); a non-decoding stream has both under one handle; an effect has
// `effect` and its owner channel.
struct HandleEntry {
    std::shared_ptr<Source> source;
    std::shared_ptr<Channel> channel;
    uint32_t flags = 0;
    uint32_t channelHandle = 0;  // source: its playable channel (0 = none)
    uint32_t sourceHandle = 0;   // channel: its source
    std::vector<std::pair<uint32_t, std::unique_ptr<fx::Effect>>> effects;  // channel: in order
    fx::Effect* effect = nullptr;                                           // effect handle
    uint32_t effectOwner = 0;
    std::string tagHttp, tagMeta;  // what BASS_StreamGetTags last returned for this handle
    int volume = 100, pan = 0;     // attributes stored on a decoding source (no sound of its own)
};

class Engine {
  public:
    static constexpr int kMaxBlockFrames = Channel::kMaxBlockFrames;
    static constexpr int kDeviceOffline = -2;

    Engine(int device, int rateHz);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Opens and starts the output; false (with a reason) when it cannot be opened.
    bool open(std::string* error);
    bool start();
    bool stop();
    bool running() const { return running_.load(std::memory_order_acquire); }
    int device() const { return device_; }
    int rateHz() const { return rateHz_; }
    // The sound server's output, when the default device went through one (else null).
    PulseOutput* pulse() { return pulse_.get(); }
    int periodFrames() const { return periodFrames_; }
    int latencyMs() const;
    // Frames between a block rendered and its sound heard: the device's queue (two periods on
    // SDL, one on the no-sound timer); none offline, where the caller has the output at once.
    int heardDelayFrames() const;
    float cpuPercent() const { return cpu_.load(std::memory_order_relaxed); }

    // Offline rendering on the caller's thread, without apiMutex(): the caller holds
    // deviceMutex() and has seen the output stopped. Before each block it waits (up to 2 s) for
    // the decode threads of file sources to be far enough ahead, outside any block, so that the
    // result is what real-time playback without underruns sounds like.
    void renderOffline(float* stereo, int frames);
    // Offline, under the same conditions: every playing channel's source, network streams
    // included, has decoded enough for the next `frames` (or is at its end). Does not wait.
    bool offlineReady(int frames);

    // --- handles ---
    uint32_t add(HandleEntry entry);
    HandleEntry* find(uint32_t handle);
    void erase(uint32_t handle) { handles_.erase(handle); }
    // What a free took out of the table, for the caller to destroy once the lock is let go.
    using Graveyard = std::vector<HandleEntry>;
    // Frees a playable channel and its effects (the source stays).
    bool freeChannel(uint32_t channelHandle, Graveyard& gone);
    // Frees a decoding source or non-decoding stream, with its playable channel.
    bool freeStream(uint32_t handle, Graveyard& gone);
    void freeAll();
    // Builds the mix from the current channels and effects and hands it to the audio thread.
    void rebuildMix();
    // Hands every block of the output, as delivered (after the master volume and the clip to
    // full scale), to tap from the next block on; null detaches. Returns once the audio thread
    // has let go of the tap it held before.
    void setRecordTap(std::shared_ptr<RecordTap> tap);
    const RecordTap* recordTap() const { return tapOwner_.get(); }

    std::atomic<int> masterVolume{100};  // 0..100
    std::atomic<int> streamVolume{100};  // 0..100
    int musicVolume = 100;
    int sampleVolume = 100;

    // --- audio thread ---
    void enterBlock() noexcept {
        inBlock_.store(true, std::memory_order_seq_cst);
        audioThreadInBlock() = true;
    }
    void leaveBlock() noexcept {
        audioThreadInBlock() = false;
        blocks_.fetch_add(1, std::memory_order_seq_cst);
        inBlock_.store(false, std::memory_order_seq_cst);
    }
    // Only between enterBlock() and leaveBlock() (asserted in debug builds).
    void render(float* stereo, int frames, bool offline) noexcept;

    // True on a thread that is inside a render block: it must not call the API.
    static bool& audioThreadInBlock() noexcept;

  private:
    void publishMix(std::unique_ptr<MixState> next);
    // Waits until a block that may have read a pointer exchanged before this call has ended.
    void waitForBlockEnd();
    void timerLoop();
    void closeOutput();

    const int device_;
    int rateHz_;  // set before the engine is published: the output's own rate on a server
    int periodFrames_ = kMaxBlockFrames;
    uint32_t sdlDevice_ = 0;
    std::unique_ptr<PulseOutput> pulse_;
    bool sdlInited_ = false;
    std::thread timer_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> running_{false};

    std::atomic<MixState*> mix_{nullptr};
    std::atomic<RecordTap*> tap_{nullptr};
    std::shared_ptr<RecordTap> tapOwner_;  // keeps tap_ alive; API side only
    std::atomic<bool> inBlock_{false};
    std::atomic<uint64_t> blocks_{0};
    std::atomic<float> cpu_{0.f};
    float masterGain_ = -1.f;  // audio thread: the master gain reached by the last block

    std::unordered_map<uint32_t, HandleEntry> handles_;
};

// Wraps an opened decoder in a source with its decode thread and gives it a handle (with its
// own playable channel unless flags hold the decoding-only flag); 0 when not initialised.
// Opening a decoder may take a while (a file scan, a connection): do it before, without the lock.
uint32_t registerSource(std::unique_ptr<Decoder> decoder, uint32_t flags);

// Why the calling thread's last stream open failed (VX_StreamGetError).
void setStreamError(std::string why);

// The one engine behind the flat API (the API itself is global by nature) and its lock. The
// audio thread never takes it (asserted in debug builds).
std::mutex& apiMutex();
// Serialises the device's life (BASS_Init, BASS_Free, BASS_Start) with offline rendering, which
// runs without apiMutex(). Taken before apiMutex(), never after it.
std::mutex& deviceMutex();
std::unique_ptr<Engine>& engineSlot();

// What the next BASS_Init with the default device opens through a sound server: the output's
// name (empty: the server's default) and the frames per write (the buffer is twice that).
// Any thread; kept until changed.
void setOutputPreference(const std::string& name, int bufferFrames);

// The output as heard, for a recording: attaches tap to the engine's output and gives its rate
// in Hz (whatever rate the output runs at); false when the audio layer is not initialised or a
// tap is attached already. Detaching a tap that is no longer attached (the layer was freed and
// initialised again meanwhile) does nothing. Both return once the audio thread has let go of
// the tap it held before; never from inside a block.
bool attachRecordTap(std::shared_ptr<RecordTap> tap, int* rateHz);
int outputRateHz();  // 0 when the audio layer is not initialised
void detachRecordTap(const RecordTap* tap);

}  // namespace velorixa::audio
