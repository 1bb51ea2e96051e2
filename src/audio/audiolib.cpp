// The flat audio API over the engine: argument checks, handle look-ups and unit conversions.
// Every call holds the API lock only for table look-ups and atomic stores: waiting (for a
// decoder, a connection, a thread to end) happens after the lock is let go.

#include "audio/audiolib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/analysis/spectrum.h"
#include "audio/realtime/engine.h"

using velorixa::audio::apiMutex;
using velorixa::audio::Channel;
using velorixa::audio::Engine;
using velorixa::audio::engineSlot;
using velorixa::audio::HandleEntry;
using velorixa::audio::Source;

namespace {

constexpr DWORD kFail = 0xFFFFFFFFu;
float g_bufferSeconds = 0.5f;  // guarded by apiMutex()

struct Locked {
    std::unique_lock<std::mutex> lock;
    Engine* engine;
};

Locked lockEngine() {
    std::unique_lock<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    return {std::move(lock), engine};
}

HandleEntry* findEntry(Engine* engine, DWORD handle) {
    return engine ? engine->find(handle) : nullptr;
}

// The channel that plays a handle: its own, or a decoding source's pitch channel.
Channel* playableOf(Engine* engine, DWORD handle) {
    HandleEntry* e = findEntry(engine, handle);
    return e && e->channel ? e->channel.get() : nullptr;
}

Channel* pitchChannelOf(Engine* engine, DWORD source) {
    HandleEntry* e = findEntry(engine, source);
    if (!e || !e->source || e->channel || e->channelHandle == 0) return nullptr;
    return playableOf(engine, e->channelHandle);
}

int64_t frameBytes(const Source& s) {
    return int64_t(s.channels()) * 2;
}

DWORD saturate32(int64_t value) {
    if (value < 0) return kFail;
    return value > int64_t(VX_LENGTH_SATURATED) ? VX_LENGTH_SATURATED : static_cast<DWORD>(value);
}

int sourceActivity(const Source& s) {
    int st = s.userState.load();
    if (st == Source::kStopped || s.ended()) return BASS_ACTIVE_STOPPED;
    if (st == Source::kPaused) return BASS_ACTIVE_PAUSED;
    if (s.isNetwork() && s.stalled()) return BASS_ACTIVE_STALLED;
    return BASS_ACTIVE_PLAYING;
}

bool seekTo(Engine* engine, HandleEntry* e, int64_t bytes) {
    if (!e->source || e->source->isNetwork() || bytes < 0) return false;
    Source& s = *e->source;
    int64_t frame = bytes / frameBytes(s);
    if (frame > s.lengthFrames()) return false;
    s.requestSeek(frame);
    DWORD playable = e->channel ? 0 : e->channelHandle;
    if (Channel* ch = e->channel ? e->channel.get() : playableOf(engine, playable)) {
        ch->reviveIfEnded(false);
    }
    return true;
}

thread_local std::string t_streamError;

// PCM for a decoding source that nothing plays: the caller is its consumer. Runs without the
// API lock (it may wait for the decoder); the caller holds the source's consumer flag.
DWORD decodeInto(Source& s, void* buffer, DWORD length) {
    const size_t want = length / frameBytes(s);
    auto* out = static_cast<int16_t*>(buffer);
    size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got < want && std::chrono::steady_clock::now() < deadline) {
        s.applyDiscard();
        size_t n = s.consumerSeekPending() ? 0 : s.pull(out + got * s.channels(), want - got);
        got += n;
        if (n == 0) {
            if (s.exhausted()) break;
            if (s.isNetwork() && got > 0) break;
            s.waitDecoded(want - got, deadline);
        }
    }
    s.publishPosition(s.pulledFrames(), 0);
    if (got == 0 && s.exhausted()) return kFail;
    return static_cast<DWORD>(got * frameBytes(s));
}

}  // namespace

namespace velorixa::audio {

void setStreamError(std::string why) {
    t_streamError = std::move(why);
}

}  // namespace velorixa::audio

const char* VX_StreamGetError() {
    return t_streamError.c_str();
}

DWORD BASS_GetVersion() {
    return 1u | (6u << 16);
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win) {
    (void)flags;
    (void)win;
    std::lock_guard<std::mutex> device_lock(velorixa::audio::deviceMutex());
    {
        std::lock_guard<std::mutex> lock(apiMutex());
        if (engineSlot()) return 0;
    }
    if (freq == 0) freq = 44100;
    if (freq < 8000 || freq > 192000 || device < VX_DEVICE_OFFLINE) return 0;
    // Opening a sound server may take a while: done before the engine is published.
    auto engine = std::make_unique<Engine>(device, static_cast<int>(freq));
    std::string error;
    if (!engine->open(&error)) {
        std::fprintf(stderr, "velorixa: sound output: %s\n", error.c_str());
        return 0;
    }
    std::lock_guard<std::mutex> lock(apiMutex());
    engineSlot() = std::move(engine);
    return 1;
}

BOOL BASS_Start() {
    std::lock_guard<std::mutex> device_lock(velorixa::audio::deviceMutex());
    auto [lock, engine] = lockEngine();
    return engine && engine->start();
}

BOOL BASS_Stop() {
    auto [lock, engine] = lockEngine();
    return engine && engine->stop();
}

BOOL BASS_Free() {
    std::lock_guard<std::mutex> device_lock(velorixa::audio::deviceMutex());
    std::unique_ptr<Engine> gone;
    {
        std::lock_guard<std::mutex> lock(apiMutex());
        gone = std::move(engineSlot());
    }
    return gone != nullptr;  // the output closes and decode threads end here, without the lock
}

BOOL BASS_GetInfo(BASS_INFO* info) {
    auto [lock, engine] = lockEngine();
    if (!engine || !info || info->size < sizeof(BASS_INFO)) return 0;
    DWORD size = info->size;
    *info = BASS_INFO{};
    info->size = size;
    info->minrate = info->maxrate = static_cast<DWORD>(engine->rateHz());
    info->minbuf = static_cast<DWORD>(engine->periodFrames() * 1000 / engine->rateHz());
    info->dsver = 8;
    info->latency = static_cast<DWORD>(engine->latencyMs());
    return 1;
}

float BASS_SetBufferLength(float seconds) {
    std::lock_guard<std::mutex> lock(apiMutex());
    if (std::isfinite(seconds)) g_bufferSeconds = std::clamp(seconds, 0.05f, 10.f);
    return g_bufferSeconds;
}

float BASS_GetCPU() {
    auto [lock, engine] = lockEngine();
    return engine ? engine->cpuPercent() : 0.f;
}

BOOL BASS_SetVolume(DWORD volume) {
    auto [lock, engine] = lockEngine();
    if (!engine || volume > 100) return 0;
    engine->masterVolume.store(static_cast<int>(volume));
    return 1;
}

DWORD BASS_GetVolume() {
    auto [lock, engine] = lockEngine();
    return engine ? static_cast<DWORD>(engine->masterVolume.load()) : kFail;
}

BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol) {
    auto [lock, engine] = lockEngine();
    auto valid = [](int v) { return v >= -1 && v <= 100; };
    if (!engine || !valid(musvol) || !valid(samvol) || !valid(strvol)) return 0;
    if (musvol >= 0) engine->musicVolume = musvol;
    if (samvol >= 0) engine->sampleVolume = samvol;
    if (strvol >= 0) engine->streamVolume.store(strvol);
    return 1;
}

BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol) {
    auto [lock, engine] = lockEngine();
    if (!engine) return 0;
    if (musvol) *musvol = static_cast<DWORD>(engine->musicVolume);
    if (samvol) *samvol = static_cast<DWORD>(engine->sampleVolume);
    if (strvol) *strvol = static_cast<DWORD>(engine->streamVolume.load());
    return 1;
}

namespace velorixa::audio {

uint32_t registerSource(std::unique_ptr<Decoder> decoder, uint32_t flags) {
    if (!decoder) return 0;
    float seconds;
    {
        std::lock_guard<std::mutex> lock(apiMutex());
        seconds = g_bufferSeconds;
    }
    auto source = std::make_shared<Source>(std::move(decoder), seconds);
    auto [lock, engine] = lockEngine();
    if (!engine) {
        setStreamError("not initialised");
        return 0;
    }
    HandleEntry e;
    e.source = source;
    e.flags = (flags & (BASS_STREAM_DECODE | BASS_STREAM_META)) |
              (source->channels() == 1 ? VX_FLAG_MONO : 0);
    if (!(flags & BASS_STREAM_DECODE)) {
        e.channel = std::make_shared<Channel>(source, engine->rateHz());
        if (!e.channel->ok()) return 0;
        e.channel->setHeardDelay(engine->heardDelayFrames());
    }
    bool playable = e.channel != nullptr;
    DWORD h = engine->add(std::move(e));
    if (playable) {
        engine->find(h)->channelHandle = h;
        engine->rebuildMix();
    }
    return h;
}

bool attachRecordTap(std::shared_ptr<RecordTap> tap, int* rateHz) {
    auto [lock, engine] = lockEngine();
    if (!engine || !tap || engine->recordTap()) return false;
    if (rateHz) *rateHz = engine->rateHz();
    engine->setRecordTap(std::move(tap));
    return true;
}

int outputRateHz() {
    auto [lock, engine] = lockEngine();
    return engine ? engine->rateHz() : 0;
}

void detachRecordTap(const RecordTap* tap) {
    auto [lock, engine] = lockEngine();
    if (engine && tap && engine->recordTap() == tap) engine->setRecordTap(nullptr);
}

}  // namespace velorixa::audio

DWORD BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    t_streamError.clear();
    {
        auto [lock, engine] = lockEngine();
        if (!engine || !file) {
            t_streamError = engine ? "no file" : "not initialised";
            return 0;
        }
    }
    std::unique_ptr<velorixa::audio::Decoder> decoder;
    if (mem) {
        decoder = velorixa::audio::openAudioMemory(static_cast<const uint8_t*>(file) + offset,
                                                   length, &t_streamError);
    } else {
        decoder = velorixa::audio::openAudioFile(static_cast<const char*>(file), offset, length,
                                                 &t_streamError);
    }
    return velorixa::audio::registerSource(std::move(decoder), flags);
}

DWORD BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, const char* save) {
    // Starting part-way and saving a copy are not offered: the player never asks for them.
    t_streamError.clear();
    if (!url || offset != 0 || save) {
        t_streamError = "bad arguments";
        return 0;
    }
    {
        auto [lock, engine] = lockEngine();
        if (!engine) {
            t_streamError = "not initialised";
            return 0;
        }
    }
    // Connecting and waiting for audio run without the lock: other calls go on meanwhile.
    auto decoder = velorixa::audio::openNetStream(url, &t_streamError);
    if (!decoder) return 0;
    return velorixa::audio::registerSource(std::move(decoder), flags);
}

BOOL BASS_StreamFree(DWORD handle) {
    Engine::Graveyard gone;
    auto [lock, engine] = lockEngine();
    bool freed = engine && engine->freeStream(handle, gone);
    lock.unlock();
    return freed;  // `gone` goes after the lock: its decode thread is joined without it
}

BOOL BASS_StreamPlay(DWORD handle, BOOL flush, DWORD flags) {
    (void)flags;
    auto [lock, engine] = lockEngine();
    Channel* ch = playableOf(engine, handle);
    if (!ch) return 0;
    if (flush) ch->requestFlush();
    ch->reviveIfEnded(true);
    ch->source().userState.store(Source::kPlaying);
    ch->state.store(Channel::kPlaying);
    return 1;
}

QWORD VX_StreamGetLength64(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source || e->source->lengthFrames() < 0) return ~QWORD{0};
    return static_cast<QWORD>(e->source->lengthFrames() * frameBytes(*e->source));
}

DWORD BASS_StreamGetLength(DWORD handle) {
    QWORD len = VX_StreamGetLength64(handle);
    return len == ~QWORD{0} ? kFail : saturate32(static_cast<int64_t>(len));
}

const char* BASS_StreamGetTags(DWORD handle, DWORD kind) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return nullptr;
    const auto& decoder = e->source->decoder();
    if (kind == BASS_TAG_HTTP) {
        auto lines = decoder.headerLines();
        if (lines.empty()) return nullptr;
        e->tagHttp.clear();
        for (const auto& line : lines) {
            e->tagHttp += line;
            e->tagHttp.push_back('\0');
        }
        e->tagHttp.push_back('\0');
        return e->tagHttp.data();
    }
    if (kind == BASS_TAG_META) {
        std::string meta = decoder.metadata();
        if (meta.empty()) return nullptr;
        e->tagMeta = std::move(meta);
        return e->tagMeta.c_str();
    }
    return nullptr;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e) return BASS_ACTIVE_STOPPED;
    if (e->channel) return static_cast<DWORD>(e->channel->activity());
    return e->source ? static_cast<DWORD>(sourceActivity(*e->source)) : BASS_ACTIVE_STOPPED;
}

QWORD VX_ChannelGetPosition64(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return ~QWORD{0};
    return static_cast<QWORD>(e->source->positionFrames() * frameBytes(*e->source));
}

DWORD BASS_ChannelGetPosition(DWORD handle) {
    QWORD pos = VX_ChannelGetPosition64(handle);
    return pos == ~QWORD{0} ? kFail : saturate32(static_cast<int64_t>(pos));
}

BOOL VX_ChannelSetPosition64(DWORD handle, QWORD bytes) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || bytes > QWORD(INT64_MAX)) return 0;
    return seekTo(engine, e, static_cast<int64_t>(bytes));
}

BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes) {
    return VX_ChannelSetPosition64(handle, bytes);
}

float BASS_ChannelBytes2Seconds(DWORD handle, DWORD bytes) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return -1.f;
    const Source& s = *e->source;
    return static_cast<float>(double(bytes) / double(frameBytes(s)) / s.rateHz());
}

DWORD BASS_ChannelSeconds2Bytes(DWORD handle, float seconds) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source || !std::isfinite(seconds) || seconds < 0) return kFail;
    const Source& s = *e->source;
    return saturate32(std::llround(double(seconds) * s.rateHz()) * frameBytes(s));
}

BOOL BASS_ChannelStop(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e) return 0;
    if (e->channel) {
        e->channel->state.store(Channel::kStopped);
    } else if (e->source) {
        e->source->userState.store(Source::kStopped);
    } else {
        return 0;
    }
    return 1;
}

BOOL BASS_ChannelPause(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e) return 0;
    if (e->channel) {
        if (e->channel->ended()) return 0;
        int playing = Channel::kPlaying;
        return e->channel->state.compare_exchange_strong(playing, Channel::kPaused);
    }
    if (!e->source || e->source->ended()) return 0;
    int playing = Source::kPlaying;
    return e->source->userState.compare_exchange_strong(playing, Source::kPaused);
}

BOOL BASS_ChannelResume(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e) return 0;
    if (e->channel) {
        int paused = Channel::kPaused;
        return e->channel->state.compare_exchange_strong(paused, Channel::kPlaying);
    }
    if (!e->source) return 0;
    int paused = Source::kPaused;
    return e->source->userState.compare_exchange_strong(paused, Source::kPlaying);
}

BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return 0;
    if (e->channel) {
        if (freq) *freq = static_cast<DWORD>(e->channel->rateHz());
        if (volume) *volume = static_cast<DWORD>(e->channel->volume.load());
        if (pan) *pan = e->channel->pan.load();
    } else {
        if (freq) *freq = static_cast<DWORD>(e->source->rateHz());
        if (volume) *volume = static_cast<DWORD>(e->volume);
        if (pan) *pan = e->pan;
    }
    return 1;
}

BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return 0;
    if (volume != -1) volume = std::clamp(volume, 0, 100);
    if (pan != -101) pan = std::clamp(pan, -100, 100);
    if (e->channel) {
        if (freq != -1) e->channel->setRateHz(freq);
        if (volume != -1) e->channel->volume.store(volume);
        if (pan != -101) e->channel->pan.store(pan);
    } else {
        // A decoding source makes no sound of its own: its values are only kept.
        if (volume != -1) e->volume = volume;
        if (pan != -101) e->pan = pan;
    }
    return 1;
}

DWORD BASS_ChannelGetFlags(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    return e && e->source ? e->flags : kFail;
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    std::shared_ptr<Channel> channel;
    std::shared_ptr<Source> source;
    {
        auto [lock, engine] = lockEngine();
        HandleEntry* e = findEntry(engine, handle);
        if (!e || !buffer) return kFail;
        if (length & BASS_DATA_FFT512) {
            if (length != BASS_DATA_FFT512 || !e->channel) return kFail;
            channel = e->channel;
        } else {
            if (!e->source || e->channel || e->channelHandle != 0) return kFail;
            bool idle = false;
            if (!e->source->pulledByCaller.compare_exchange_strong(idle, true)) return kFail;
            source = e->source;
        }
    }
    // The channel or source is kept alive by its shared pointer even if freed meanwhile.
    if (channel) {
        // The window spans the same time at every output rate, so the bins keep their Hz.
        using velorixa::audio::Spectrum512;
        thread_local Spectrum512 spectrum;
        const int rateHz = channel->outputRateHz();
        float mono[Spectrum512::kMaxWindow];
        channel->lastMono(mono, Spectrum512::WindowFrames(rateHz));
        return spectrum.compute(mono, rateHz, static_cast<float*>(buffer)) ? 1024 : kFail;
    }
    DWORD got = decodeInto(*source, buffer, length);
    source->pulledByCaller.store(false);
    return got;
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
    auto [lock, engine] = lockEngine();
    Channel* ch = playableOf(engine, handle);
    return ch ? ch->level() : kFail;
}

DWORD BASS_FX_PitchCreate(DWORD source) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, source);
    if (!e || !e->source || e->channel || e->source->pulledByCaller.load()) return 0;
    if (e->channelHandle) return e->channelHandle;
    auto channel = std::make_shared<Channel>(e->source, engine->rateHz());
    if (!channel->ok()) return 0;
    channel->setHeardDelay(engine->heardDelayFrames());
    HandleEntry c;
    c.channel = channel;
    c.source = e->source;
    c.sourceHandle = source;
    c.flags = e->flags & ~DWORD(BASS_STREAM_DECODE);
    DWORD h = engine->add(std::move(c));
    engine->find(source)->channelHandle = h;
    engine->rebuildMix();
    return h;
}

DWORD BASS_FX_PitchGetResampledHandle(DWORD source) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, source);
    return e && e->source && !e->channel ? e->channelHandle : 0;
}

BOOL BASS_FX_PitchSet(DWORD source, DWORD rateHz) {
    auto [lock, engine] = lockEngine();
    Channel* ch = pitchChannelOf(engine, source);
    if (!ch) return 0;
    ch->setRateHz(static_cast<int>(std::min<DWORD>(rateHz, 1000000)));
    return 1;
}

BOOL BASS_FX_PitchStopAndFlush(DWORD source) {
    auto [lock, engine] = lockEngine();
    Channel* ch = pitchChannelOf(engine, source);
    if (!ch) return 0;
    ch->state.store(Channel::kStopped);
    ch->requestFlush();
    return 1;
}

BOOL BASS_FX_PitchFree(DWORD source) {
    Engine::Graveyard gone;
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, source);
    if (!e || !e->source || e->channel || e->channelHandle == 0) return 0;
    bool freed = engine->freeChannel(e->channelHandle, gone);
    lock.unlock();
    return freed;
}

DWORD VX_Render(float* stereoOut, DWORD frames) {
    if (!stereoOut || frames > (1u << 28)) return 0;
    // The device lock keeps the engine alive and the output stopped while this renders; the
    // API lock is not held, so other threads' calls go on while the decoders are waited for.
    std::lock_guard<std::mutex> device_lock(velorixa::audio::deviceMutex());
    Engine* engine = nullptr;
    {
        auto [lock, e] = lockEngine();
        if (!e || e->running()) return 0;
        engine = e;
    }
    engine->renderOffline(stereoOut, static_cast<int>(frames));
    return frames;
}

BOOL VX_RenderReady(DWORD frames) {
    std::lock_guard<std::mutex> device_lock(velorixa::audio::deviceMutex());
    Engine* engine = nullptr;
    {
        auto [lock, e] = lockEngine();
        if (!e || e->running()) return 0;
        engine = e;
    }
    return engine->offlineReady(static_cast<int>(std::min<DWORD>(frames, 1u << 20))) ? 1 : 0;
}

BOOL VX_ChannelSetLevelDb(DWORD handle, float gainDb) {
    if (!std::isfinite(gainDb)) return 0;
    gainDb = std::clamp(gainDb, -60.f, 24.f);
    auto [lock, engine] = lockEngine();
    Channel* ch = playableOf(engine, handle);
    if (!ch) ch = pitchChannelOf(engine, handle);
    if (!ch) return 0;
    ch->levelGain.store(gainDb == 0.f ? 1.f : std::pow(10.f, gainDb / 20.f),
                        std::memory_order_relaxed);
    return 1;
}

DWORD VX_ChannelBuffered(DWORD handle) {
    auto [lock, engine] = lockEngine();
    HandleEntry* e = findEntry(engine, handle);
    if (!e || !e->source) return kFail;
    return static_cast<DWORD>(e->source->bufferedFrames());
}
