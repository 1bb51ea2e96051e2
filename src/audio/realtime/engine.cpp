#include "audio/realtime/engine.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "util/dynlib.h"

namespace velorixa::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Handles keep counting across BASS_Free/BASS_Init, so a handle of an earlier session is never
// mistaken for a new one.
uint32_t g_lastHandle = 0;

// SDL2 is loaded the first time its output is chosen (SDL_AUDIODRIVER names one of its own
// drivers, or no sound server answers), not linked: a player that plays through the sound server
// never maps it nor what it pulls in. The functions are typed by SDL's own header.
#define VX_SDL_FUNCTIONS(X)      \
    X(0, SDL_CloseAudioDevice)   \
    X(0, SDL_GetAudioDeviceName) \
    X(0, SDL_GetError)           \
    X(0, SDL_InitSubSystem)      \
    X(0, SDL_OpenAudioDevice)    \
    X(0, SDL_PauseAudioDevice)   \
    X(0, SDL_QuitSubSystem)      \
    X(0, SDL_SetHint)

VX_DYNLIB_TABLE(SdlApi, VX_SDL_FUNCTIONS)

util::Loaded<SdlApi> loadSdl() {
    util::Loaded<SdlApi> sdl = util::Load<SdlApi>("SDL2", {"libSDL2-2.0.so.0"});
    if (sdl.ok()) {
        // Before its audio subsystem starts, which reads them. SDL would catch SIGINT and
        // SIGTERM itself and only queue a quit event that nothing reads; the player's own
        // handlers end it as closing its window does.
        sdl.api.SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The name desktop mixers show for the output stream.
        sdl.api.SDL_SetHint(SDL_HINT_APP_NAME, "Velorixa");
        sdl.api.SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Velorixa");
    }
    return sdl;
}

// Loaded once, by the first thread that opens the SDL output (a function-local static).
const util::Loaded<SdlApi>& sdlLibrary() {
    static const util::Loaded<SdlApi> sdl = loadSdl();
    return sdl;
}

// Only called while the SDL output is open, so after a load that succeeded.
const SdlApi& sdl() {
    return sdlLibrary().api;
}

void sdlCallback(void* userdata, Uint8* stream, int len) {
    auto* engine = static_cast<Engine*>(userdata);
    engine->enterBlock();
    engine->render(reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float)),
                   false);
    engine->leaveBlock();
}

struct OutputPreference {
    std::mutex mutex;
    std::string name;
    int bufferFrames = Engine::kMaxBlockFrames;
};

OutputPreference& outputPreference() {
    static OutputPreference p;
    return p;
}

}  // namespace

void setOutputPreference(const std::string& name, int bufferFrames) {
    OutputPreference& p = outputPreference();
    std::lock_guard<std::mutex> g(p.mutex);
    p.name = name;
    p.bufferFrames = bufferFrames;
}

std::mutex& apiMutex() {
    assert(!Engine::audioThreadInBlock() && "no API call from the audio thread");
    static std::mutex m;
    return m;
}

std::mutex& deviceMutex() {
    assert(!Engine::audioThreadInBlock() && "no API call from the audio thread");
    static std::mutex m;
    return m;
}

bool& Engine::audioThreadInBlock() noexcept {
    thread_local bool inBlock = false;
    return inBlock;
}

std::unique_ptr<Engine>& engineSlot() {
    static std::unique_ptr<Engine> engine;
    return engine;
}

Engine::Engine(int device, int rateHz) : device_(device), rateHz_(rateHz) {
    mix_.store(new MixState, std::memory_order_release);
}

Engine::~Engine() {
    closeOutput();
    tap_.store(nullptr);
    freeAll();
    delete mix_.exchange(nullptr);
}

bool Engine::open(std::string* error) {
    if (device_ == kDeviceOffline) return true;
    if (device_ == 0) {
        running_.store(true);
        timer_ = std::thread([this] { timerLoop(); });
        return true;
    }
    // Through the sound server unless SDL's own driver is asked for by name (a test's disk
    // output, a system without a server): it follows outputs that come and go, names the
    // stream and runs at the output's own rate.
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (device_ == -1 && (!driver || !*driver || std::strcmp(driver, "pulseaudio") == 0 ||
                          std::strcmp(driver, "pulse") == 0)) {
        std::string name;
        int bufferFrames;
        {
            OutputPreference& p = outputPreference();
            std::lock_guard<std::mutex> g(p.mutex);
            name = p.name;
            bufferFrames = p.bufferFrames;
        }
        auto pulse = std::make_unique<PulseOutput>(
            [this](float* stereo, int frames) {
                enterBlock();
                if (running_.load(std::memory_order_seq_cst))
                    render(stereo, frames, false);
                else
                    std::fill(stereo, stereo + 2 * frames, 0.f);
                leaveBlock();
            },
            bufferFrames);
        std::string why;
        // The stream writes silence until running_ is set below, after the rate is known.
        if (pulse->open(name, &why)) {
            rateHz_ = pulse->rateHz();
            periodFrames_ = bufferFrames;
            pulse_ = std::move(pulse);
            running_.store(true);
            return true;
        }
        pulse.reset();
    }
    // Without the library, as without a device: the output fails with the reason (naming the
    // library), and no call goes through a function that was not found.
    if (!sdlLibrary().ok()) {
        if (error) *error = sdlLibrary().error;
        return false;
    }
    if (sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = sdl().SDL_GetError();
        return false;
    }
    sdlInited_ = true;
    SDL_AudioSpec want{}, have{};
    want.freq = rateHz_;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kMaxBlockFrames;  // 11.6 ms at 44.1 kHz: controls are heard this soon
    want.callback = &sdlCallback;
    want.userdata = this;
    const char* name = device_ >= 1 ? sdl().SDL_GetAudioDeviceName(device_ - 1, 0) : nullptr;
    if (device_ >= 1 && !name) {
        if (error) *error = "no such device";
        return false;
    }
    sdlDevice_ = sdl().SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (sdlDevice_ == 0) {
        if (error) *error = sdl().SDL_GetError();
        return false;
    }
    periodFrames_ = have.samples;
    running_.store(true);
    sdl().SDL_PauseAudioDevice(sdlDevice_, 0);
    return true;
}

void Engine::closeOutput() {
    quit_.store(true);
    if (timer_.joinable()) timer_.join();
    if (sdlDevice_) sdl().SDL_CloseAudioDevice(sdlDevice_);
    sdlDevice_ = 0;
    pulse_.reset();
    if (sdlInited_) sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlInited_ = false;
    running_.store(false);
}

bool Engine::start() {
    if (device_ == kDeviceOffline) return false;
    running_.store(true, std::memory_order_seq_cst);
    if (sdlDevice_) sdl().SDL_PauseAudioDevice(sdlDevice_, 0);
    return true;
}

bool Engine::stop() {
    if (device_ == kDeviceOffline) return true;
    running_.store(false, std::memory_order_seq_cst);
    if (sdlDevice_) {
        sdl().SDL_PauseAudioDevice(sdlDevice_, 1);  // returns after a running callback finished
    } else {
        // The timer thread enters a block before it looks at running_, so once it is seen
        // outside one, it will not render again until start().
        while (inBlock_.load(std::memory_order_seq_cst)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}

int Engine::latencyMs() const {
    if (pulse_ && pulse_->latencyMs() >= 0) return pulse_->latencyMs();
    int periodMs = (periodFrames_ * 1000 + rateHz_ - 1) / rateHz_;
    return sdlDevice_ || pulse_ ? 2 * periodMs : periodMs;
}

int Engine::heardDelayFrames() const {
    if (device_ == kDeviceOffline) return 0;
    if (pulse_) {
        const int ms = pulse_->latencyMs();
        return ms >= 0 ? ms * rateHz_ / 1000 : 2 * pulse_->bufferFrames();
    }
    return sdlDevice_ ? 2 * periodFrames_ : periodFrames_;
}

void Engine::timerLoop() {
    std::vector<float> scratch(static_cast<size_t>(periodFrames_) * 2);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(periodFrames_) / rateHz_));
    auto next = Clock::now();
    while (!quit_.load(std::memory_order_acquire)) {
        enterBlock();
        bool run = running_.load(std::memory_order_seq_cst);
        if (run) render(scratch.data(), periodFrames_, false);
        leaveBlock();
        if (!run) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            next = Clock::now();
            continue;
        }
        next += period;
        auto now = Clock::now();
        // After a long hold-up (debugger, overload) go on from now rather than race to catch up.
        if (now - next > std::chrono::milliseconds(200)) next = now;
        std::this_thread::sleep_until(next);
    }
}

void Engine::renderOffline(float* stereo, int frames) {
    for (int done = 0; done < frames;) {
        const int n = std::min(kMaxBlockFrames, frames - done);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (true) {
            // The readiness check runs inside a block so the mix it reads stays alive; the wait
            // runs outside, so a caller publishing a new mix is never held up by it. The source
            // waited for is held meanwhile.
            enterBlock();
            const MixState* mix = mix_.load(std::memory_order_seq_cst);
            std::shared_ptr<Source> behind;
            for (const MixEntry& e : mix->entries) {
                if (!e.channel->readyToRender(n)) {
                    behind = e.channel->sourcePtr();
                    break;
                }
            }
            if (!behind || Clock::now() >= deadline) {
                render(stereo + static_cast<size_t>(done) * 2, n, true);
                leaveBlock();
                break;
            }
            leaveBlock();
            // Asleep until the decoder has filled its ring (or ended, or the deadline passed):
            // the blocks that follow then render without a wait each, and the two threads
            // take turns once per ring rather than once per block.
            behind->waitDecoded(SIZE_MAX, deadline);
        }
        done += n;
    }
}

bool Engine::offlineReady(int frames) {
    bool ready = true;
    enterBlock();  // keeps the mix alive while it is read
    const MixState* mix = mix_.load(std::memory_order_seq_cst);
    for (const MixEntry& e : mix->entries)
        ready = ready && e.channel->readyToRender(std::min(frames, kMaxBlockFrames), true);
    leaveBlock();
    return ready;
}

namespace {
// The output holds -1..1. Louder sound (a full chorus comb on loud music adds up to +26 dB)
// clips here, flat at full scale, rather than wrapping or overflowing in whatever converts the
// floats further; a NaN that got this far is silence.
inline float clipToFullScale(float x) {
    x = x > 1.f ? 1.f : x;
    x = x < -1.f ? -1.f : x;
    return x == x ? x : 0.f;
}
}  // namespace

void Engine::render(float* stereo, int frames, bool offline) noexcept {
    assert(inBlock_.load(std::memory_order_relaxed) && "render only inside a block");
    const auto t0 = Clock::now();
    const MixState* mix = mix_.load(std::memory_order_seq_cst);
    for (int done = 0; done < frames;) {
        const int n = std::min(kMaxBlockFrames, frames - done);
        float* out = stereo + static_cast<size_t>(done) * 2;
        std::fill(out, out + 2 * n, 0.f);
        const float streamGain =
            std::clamp(streamVolume.load(std::memory_order_relaxed), 0, 100) / 100.f;
        for (const MixEntry& e : mix->entries)
            e.channel->render(out, n, e.effects.data(), e.effects.size(), streamGain);
        const float master =
            std::clamp(masterVolume.load(std::memory_order_relaxed), 0, 100) / 100.f;
        if (masterGain_ < 0) masterGain_ = master;
        const float from = masterGain_;
        if (from == master) {
            for (int i = 0; i < 2 * n; ++i)
                out[i] = clipToFullScale(out[i] * master);
        } else {
            for (int i = 0; i < n; ++i) {
                float g = from + (master - from) * float(i + 1) / float(n);
                out[2 * i] = clipToFullScale(out[2 * i] * g);
                out[2 * i + 1] = clipToFullScale(out[2 * i + 1] * g);
            }
        }
        masterGain_ = master;
        done += n;
    }
    // What the output delivers, to a recording: the same samples, after every gain stage.
    if (RecordTap* tap = tap_.load(std::memory_order_acquire))
        tap->push(stereo, static_cast<size_t>(frames));
    if (!offline && frames > 0) {
        double spent = std::chrono::duration<double>(Clock::now() - t0).count();
        double percent = 100.0 * spent * rateHz_ / frames;
        float smoothed = cpu_.load(std::memory_order_relaxed);
        cpu_.store(static_cast<float>(smoothed * 0.95 + percent * 0.05), std::memory_order_relaxed);
    }
}

void Engine::waitForBlockEnd() {
    // A block that started before the caller's exchange may still read the old pointer; wait
    // for it to end. A block that starts later reads the new one. When no block runs nothing
    // waits.
    uint64_t seen = blocks_.load(std::memory_order_seq_cst);
    while (inBlock_.load(std::memory_order_seq_cst) &&
           blocks_.load(std::memory_order_seq_cst) == seen) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void Engine::publishMix(std::unique_ptr<MixState> next) {
    MixState* old = mix_.exchange(next.release(), std::memory_order_seq_cst);
    waitForBlockEnd();
    delete old;
}

void Engine::setRecordTap(std::shared_ptr<RecordTap> tap) {
    tap_.store(tap.get(), std::memory_order_seq_cst);
    waitForBlockEnd();
    tapOwner_ = std::move(tap);  // the old tap may go now: no block holds it
}

void Engine::rebuildMix() {
    auto next = std::make_unique<MixState>();
    for (auto& [handle, entry] : handles_) {
        if (!entry.channel) continue;
        MixEntry m{entry.channel, {}};
        for (auto& [fxHandle, effect] : entry.effects)
            m.effects.push_back(effect.get());
        next->entries.push_back(std::move(m));
    }
    publishMix(std::move(next));
}

uint32_t Engine::add(HandleEntry entry) {
    uint32_t h = g_lastHandle;
    do {
        ++h;
    } while ((h & 0xFFFF) == 0 || handles_.count(h));
    g_lastHandle = h;
    handles_.emplace(h, std::move(entry));
    return h;
}

HandleEntry* Engine::find(uint32_t handle) {
    if (handle == 0) return nullptr;
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : &it->second;
}

bool Engine::freeChannel(uint32_t channelHandle, Graveyard& gone) {
    HandleEntry* e = find(channelHandle);
    if (!e || !e->channel || e->sourceHandle == 0) return false;
    gone.push_back(std::move(*e));
    handles_.erase(channelHandle);
    for (auto& [fxHandle, effect] : gone.back().effects)
        handles_.erase(fxHandle);
    if (HandleEntry* src = find(gone.back().sourceHandle)) src->channelHandle = 0;
    rebuildMix();  // from here the audio thread no longer sees the channel or its effects
    return true;
}

bool Engine::freeStream(uint32_t handle, Graveyard& gone) {
    HandleEntry* e = find(handle);
    if (!e || !e->source || e->sourceHandle != 0) return false;
    if (e->channelHandle != 0 && e->channelHandle != handle) freeChannel(e->channelHandle, gone);
    e = find(handle);
    gone.push_back(std::move(*e));
    handles_.erase(handle);
    for (auto& [fxHandle, effect] : gone.back().effects)
        handles_.erase(fxHandle);
    if (gone.back().channel) rebuildMix();
    return true;  // the source's decode thread is joined when the caller drops `gone`
}

void Engine::freeAll() {
    publishMix(std::make_unique<MixState>());
    handles_.clear();
}

}  // namespace velorixa::audio
