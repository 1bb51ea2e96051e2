// Effects on playable channels through the effect library (audio/fx). A new effect is prepared
// here, on the caller's thread, and reaches the audio thread inside a new mix; a removed one is
// destroyed only after the audio thread has let go of the mix that held it.

#include "audio/audiolib.h"
#include "audio/realtime/engine.h"
#include "audio/realtime/fx/effect.h"

using velorixa::audio::apiMutex;
using velorixa::audio::Engine;
using velorixa::audio::engineSlot;
using velorixa::audio::HandleEntry;

DWORD BASS_ChannelSetFX(DWORD channel, DWORD type) {
    std::lock_guard<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    HandleEntry* owner = engine ? engine->find(channel) : nullptr;
    if (!owner || !owner->channel || type > 0xFF) return 0;
    auto effect = velorixa::fx::createEffect(static_cast<int32_t>(type));
    if (!effect) return 0;
    effect->prepare(engine->rateHz(), Engine::kMaxBlockFrames);
    HandleEntry fxEntry;
    fxEntry.effect = effect.get();
    fxEntry.effectOwner = channel;
    DWORD h = engine->add(std::move(fxEntry));
    engine->find(channel)->effects.emplace_back(h, std::move(effect));
    engine->rebuildMix();
    return h;
}

BOOL BASS_ChannelRemoveFX(DWORD channel, DWORD fx) {
    std::lock_guard<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    HandleEntry* owner = engine ? engine->find(channel) : nullptr;
    if (!owner) return 0;
    auto& list = owner->effects;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->first != fx) continue;
        std::unique_ptr<velorixa::fx::Effect> gone = std::move(it->second);
        list.erase(it);
        engine->rebuildMix();
        // The audio thread no longer sees the effect: the handle may go, and `gone` with it.
        engine->erase(fx);
        return 1;
    }
    return 0;
}

BOOL BASS_FXSetParameters(DWORD fx, const void* record) {
    std::lock_guard<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    HandleEntry* e = engine ? engine->find(fx) : nullptr;
    if (!e || !e->effect || !record) return 0;
    e->effect->setParameters(record);
    return 1;
}

BOOL BASS_FXGetParameters(DWORD fx, void* record) {
    std::lock_guard<std::mutex> lock(apiMutex());
    Engine* engine = engineSlot().get();
    HandleEntry* e = engine ? engine->find(fx) : nullptr;
    if (!e || !e->effect || !record) return 0;
    e->effect->getParameters(record);
    return 1;
}
