#include "audio/player.h"

#include <QByteArray>
#include <QStringDecoder>
#include <cmath>
#include <cstring>

#include "audio/audiolib.h"
#include "audio/realtime/fx/effect.h"
#include "util/fspath.h"
#include "util/rounding.h"

namespace velorixa {

namespace {

constexpr DWORD kFlagsFile = 0x200000;  // decoding source
constexpr DWORD kFlagsURL = 0x600000;   // decoding source with stream metadata

// The records each effect starts from with every new stream.
constexpr fx::DX8ParamEq kEqBand[4] = {{}, {100, 18, 0}, {700, 18, 0}, {8000, 18, 0}};
constexpr fx::DX8Reverb kReverb{0, 0, 1000, 0.001f};
constexpr fx::DX8Echo kEcho{0, 40, 332, 333, 0};
constexpr fx::DX8Flanger kFlanger{0, 100, -75, 0, 0, 4, 2};
constexpr fx::DX8Chorus kChorus{0, 100, -85, 0, 0, 0, 2};

int roundWhole(double v) {
    return util::RoundHalfEvenClamped(v, -2147483647, 2147483647);
}

}  // namespace

float PLAYER::BytesToSecs(uint32_t channel, int64_t bytes) {
    if (bytes < 0) return -1;
    if (bytes <= 0xFFFFFFFFll) return BASS_ChannelBytes2Seconds(channel, static_cast<DWORD>(bytes));
    // Past 32 bits: scale from a second's worth of bytes rather than wrap.
    DWORD perSecond = BASS_ChannelSeconds2Bytes(channel, 1.0f);
    return perSecond > 0 && perSecond != 0xFFFFFFFFu
               ? static_cast<float>(static_cast<double>(bytes) / perSecond)
               : -1.0f;
}

void PLAYER::SetBytePos(uint32_t channel, int64_t bytes) {
    VX_ChannelSetPosition64(channel, static_cast<QWORD>(std::max<int64_t>(bytes, 0)));
}

void PLAYER::freeChain() {
    BASS_StreamFree(ChanEQL);
    BASS_FX_PitchFree(ChanEQL);
    EqlArrFx.fill(0);
    EffArrFx.fill(0);
}

bool PLAYER::StartPlay(const QString& Name, int KeyLoad, double FRQ, double VOL, double PAN,
                       const std::array<uint8_t, 4>& EqlArr, const std::array<uint8_t, 5>& EffArr) {
    // The old chain goes before the new source opens, so two streams never compete.
    BufLen = 0.5f;
    BASS_SetBufferLength(BufLen);
    freeChain();
    ChanEQL = 0;
    ChanPIT = 0;
    return StartOpened(OpenSource(Name, KeyLoad), FRQ, VOL, PAN, EqlArr, EffArr);
}

uint32_t PLAYER::OpenSource(const QString& Name, int KeyLoad) {
    if (KeyLoad == 1) return BASS_StreamCreateURL(Name.toUtf8().constData(), 0, kFlagsURL, nullptr);
    // A file name goes to the layer as the file system's bytes, also where they are not UTF-8.
    if (KeyLoad == 2)
        return BASS_StreamCreateFile(0, util::PathToBytes(Name).constData(), 0, 0, kFlagsFile);
    return 0;
}

void PLAYER::DiscardSource(uint32_t source) {
    if (source != 0) BASS_StreamFree(source);
}

bool PLAYER::StartOpened(uint32_t source, double FRQ, double VOL, double PAN,
                         const std::array<uint8_t, 4>& EqlArr,
                         const std::array<uint8_t, 5>& EffArr) {
    BufLen = 0.5f;
    BASS_SetBufferLength(BufLen);
    freeChain();
    ChanPIT = 0;
    ChanEQL = source;
    if (ChanEQL == 0) return false;
    if ((BASS_FX_PitchCreate(ChanEQL) & 0xFFFF) == 0) {
        BASS_StreamFree(ChanEQL);
        ChanEQL = 0;
        return false;
    }
    ChanPIT = BASS_FX_PitchGetResampledHandle(ChanEQL);
    DWORD freq = 0, vol = 0;
    int pan = 0;
    BASS_ChannelGetAttributes(ChanEQL, &freq, &vol, &pan);
    SrcFreq = static_cast<int32_t>(freq);
    SetEFF(EqlArr, EffArr);
    SetChanAttr(FRQ, VOL, PAN);
    // The level is in place before the first sample sounds.
    if (LevelDb != 0) VX_ChannelSetLevelDb(ChanPIT, LevelDb);
    BASS_StreamPlay(ChanPIT, 0, 0);
    return true;
}

void PLAYER::SetLevelDb(float gainDb) {
    LevelDb = gainDb;
    if (ChanPIT != 0) VX_ChannelSetLevelDb(ChanPIT, gainDb);
}

void PLAYER::SetPitch(double) {}

bool PLAYER::SetEFF(const std::array<uint8_t, 4>& EqlArr, const std::array<uint8_t, 5>& EffArr) {
    for (int i = 1; i <= 3; ++i)
        EqlArrFx[i] = BASS_ChannelSetFX(ChanPIT, fx::kFxParamEq);
    EffArrFx[1] = BASS_ChannelSetFX(ChanPIT, fx::kFxReverb);
    EffArrFx[2] = BASS_ChannelSetFX(ChanPIT, fx::kFxEcho);
    EffArrFx[3] = BASS_ChannelSetFX(ChanPIT, fx::kFxFlanger);
    EffArrFx[4] = BASS_ChannelSetFX(ChanPIT, fx::kFxChorus);
    for (int i = 1; i <= 3; ++i)
        BASS_FXSetParameters(EqlArrFx[i], &kEqBand[i]);
    BASS_FXSetParameters(EffArrFx[1], &kReverb);
    BASS_FXSetParameters(EffArrFx[2], &kEcho);
    BASS_FXSetParameters(EffArrFx[3], &kFlanger);
    BASS_FXSetParameters(EffArrFx[4], &kChorus);
    for (int i = 1; i <= 3; ++i)
        UpdateEQL(static_cast<int16_t>(i), EqlArr[i]);
    for (int i = 1; i <= 4; ++i)
        UpdateEFF(static_cast<int16_t>(i), EffArr[i]);
    return false;
}

void PLAYER::SyncChan() {}

int32_t PLAYER::GetFileLen() {
    QWORD len = VX_StreamGetLength64(ChanEQL);
    LenBytes = len == static_cast<QWORD>(-1) ? 0 : static_cast<int64_t>(len);
    LenSecs = util::RoundHalfEvenClamped(BytesToSecs(ChanEQL, LenBytes), 0, 2147483647);
    return LenSecs;
}

bool PLAYER::GetMETA(const char*& address) {
    address = BASS_StreamGetTags(ChanEQL, 5);
    return false;
}

bool PLAYER::GetICY(const char*& address) {
    address = BASS_StreamGetTags(ChanEQL, 4);
    return false;
}

uint32_t PLAYER::Get16BitStereo() {
    return BASS_ChannelGetFlags(ChanEQL);
}

float PLAYER::GetFilePos() {
    if (BASS_ChannelIsActive(ChanEQL) != BASS_ACTIVE_PLAYING) return -1;
    QWORD pos = VX_ChannelGetPosition64(ChanEQL);
    if (pos == static_cast<QWORD>(-1)) return -1;
    return BytesToSecs(ChanEQL, static_cast<int64_t>(pos));
}

bool PLAYER::GetFileEnd() {
    return BASS_ChannelIsActive(ChanEQL) == BASS_ACTIVE_STOPPED;
}
bool PLAYER::GetFilePlayPerf() {
    return BASS_ChannelIsActive(ChanPIT) == BASS_ACTIVE_PLAYING;
}
bool PLAYER::GetChannelActive() {
    return BASS_ChannelIsActive(ChanEQL) == BASS_ACTIVE_PLAYING;
}
bool PLAYER::GetChannelStalled() {
    return BASS_ChannelIsActive(ChanEQL) == BASS_ACTIVE_STALLED;
}

bool PLAYER::StopPlay() {
    BASS_ChannelStop(ChanPIT);
    BASS_ChannelStop(ChanEQL);
    return false;
}

bool PLAYER::PausPlay() {
    BASS_ChannelPause(ChanEQL);
    BASS_ChannelPause(ChanPIT);
    return false;
}

bool PLAYER::ResuPlay() {
    BASS_ChannelResume(ChanEQL);
    BASS_ChannelResume(ChanPIT);
    return false;
}

bool PLAYER::SetPPlay(float POS) {
    if (BASS_ChannelIsActive(ChanEQL) != BASS_ACTIVE_PLAYING) return false;
    BASS_FX_PitchStopAndFlush(ChanEQL);
    DWORD bytes = BASS_ChannelSeconds2Bytes(ChanEQL, POS);
    SetBytePos(ChanEQL, bytes);
    BASS_StreamPlay(ChanPIT, 0, 0);
    return true;
}

bool PLAYER::GetChanAttr(double& FRQ, double& VOL, double& PAN) {
    DWORD freq = 0, vol = 0;
    int pan = 0;
    BASS_ChannelGetAttributes(ChanEQL, &freq, &vol, &pan);
    FRQ = freq;
    VOL = vol;
    PAN = pan;
    return false;
}

double PLAYER::PitchPercent(double FRQ) {
    if (FRQ < 100) return 75 + (FRQ - 50) / 2;
    if (FRQ > 100) return 100 + (FRQ - 100) * 2;
    return FRQ;
}

uint32_t PLAYER::PitchRateHz(double FRQ, int32_t srcFreqHz) {
    double rate = PitchPercent(FRQ) / 100 * srcFreqHz;
    return static_cast<uint32_t>(util::RoundHalfEvenClamped(rate, 0, 2147483647));
}

// The sliders act in steps of five units: q = ValScr / 5 runs 0..20.
float PLAYER::EqGainDb(int ValScr) {
    return static_cast<float>(10 - ValScr / 5);  // beyond +-15 dB the effect clamps
}

float PLAYER::ReverbMixDb(int ValScr) {
    const int q = ValScr / 5;
    return static_cast<float>(-0.012 * q * q * q);
}

float PLAYER::EffectMixPct(int ValScr) {
    return static_cast<float>((20 - ValScr / 5) * 5);
}

float PLAYER::EchoFeedbackPct(int ValScr) {
    return static_cast<float>((20 - ValScr / 5) + 40);
}

float PLAYER::ChorusFeedbackPct(int ValScr) {
    return static_cast<float>(-85 - (20 - ValScr / 5) / 2.0);
}

bool PLAYER::SetChanAttr(double FRQ, double VOL, double PAN) {
    if (FRQ > -1) BASS_FX_PitchSet(ChanEQL, PitchRateHz(FRQ, SrcFreq));
    BASS_ChannelSetAttributes(ChanPIT, -1, roundWhole(VOL), roundWhole(PAN));
    return false;
}

bool PLAYER::SetMasterVolume(int32_t volume) {
    BASS_SetVolume(static_cast<DWORD>(std::max(volume, 0)));
    return false;
}

bool PLAYER::SetGlobalVolume(int32_t volume) {
    BASS_SetGlobalVolumes(-1, -1, volume);
    return false;
}

bool PLAYER::GetChannelVolume(double, int32_t& volume) {
    DWORD vol = 0;
    BASS_ChannelGetAttributes(ChanEQL, nullptr, &vol, nullptr);
    volume = static_cast<int32_t>(vol);
    return false;
}

bool PLAYER::GetMasterVolume(int32_t& volume) {
    volume = static_cast<int32_t>(BASS_GetVolume());
    return false;
}

bool PLAYER::GetGlobalVolume(int32_t& volume) {
    DWORD str = 0;
    BASS_GetGlobalVolumes(nullptr, nullptr, &str);
    volume = static_cast<int32_t>(str);
    return false;
}

bool PLAYER::ExitForm() {
    BASS_Stop();
    BASS_StreamFree(ChanEQL);
    BASS_FX_PitchFree(ChanEQL);
    BASS_Free();
    ChanEQL = ChanPIT = 0;
    return false;
}

uint8_t PLAYER::UpdateEQL(int16_t Index, uint8_t ValScr) {
    if (Index < 1 || Index > 3) return 0;
    fx::DX8ParamEq p{};
    if (!BASS_FXGetParameters(EqlArrFx[Index], &p)) return 0;
    p.fGain = EqGainDb(ValScr);
    BASS_FXSetParameters(EqlArrFx[Index], &p);
    return 0;
}

uint8_t PLAYER::UpdateEFF(int16_t Index, uint8_t ValScr) {
    if (Index < 1 || Index > 4) return 0;
    const uint32_t fxHandle = EffArrFx[Index];
    switch (Index) {
        case 1: {
            fx::DX8Reverb p{};
            if (!BASS_FXGetParameters(fxHandle, &p)) return 0;
            p.fReverbMix = ReverbMixDb(ValScr);
            BASS_FXSetParameters(fxHandle, &p);
            break;
        }
        case 2: {
            fx::DX8Echo p{};
            if (!BASS_FXGetParameters(fxHandle, &p)) return 0;
            p.fWetDryMix = EffectMixPct(ValScr);
            p.fFeedback = EchoFeedbackPct(ValScr);
            BASS_FXSetParameters(fxHandle, &p);
            break;
        }
        case 3: {
            fx::DX8Flanger p{};
            if (!BASS_FXGetParameters(fxHandle, &p)) return 0;
            p.fWetDryMix = EffectMixPct(ValScr);
            BASS_FXSetParameters(fxHandle, &p);
            break;
        }
        case 4: {
            fx::DX8Chorus p{};
            if (!BASS_FXGetParameters(fxHandle, &p)) return 0;
            p.fWetDryMix = EffectMixPct(ValScr);
            p.fFeedback = ChorusFeedbackPct(ValScr);
            BASS_FXSetParameters(fxHandle, &p);
            break;
        }
    }
    return 0;
}

QString PLAYER::CStrToText(const char* address) {
    if (address == nullptr) return {};
    const size_t len = std::strlen(address);
    if (len == 0) return {};
    QByteArray bytes(address, static_cast<qsizetype>(len));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

}  // namespace velorixa
