#pragma once
// PLAYER: the one object that owns what is playing. It opens a file or an internet stream as a
// decoding source, plays it through the pitch channel with the equaliser and the effects hung on
// that channel, and answers questions about position, length, rate, tags and state. Every other
// part of the program reaches the audio stream only through it.
//
// Thread contract: GUI thread only, except OpenSource and DiscardSource, which touch no PLAYER
// state and may run on any thread (a worker opening a station). The audio layer it calls is safe
// against its own threads and never makes the GUI thread wait on the network while another
// thread opens a stream.
//
// Results that carry nothing: SetEFF, GetMETA, GetICY, StopPlay, PausPlay, ResuPlay,
// GetChanAttr, SetChanAttr, SetMasterVolume, SetGlobalVolume, GetChannelVolume,
// GetMasterVolume, GetGlobalVolume and ExitForm always return false; UpdateEQL and UpdateEFF
// always return 0. SetPitch and SyncChan do nothing at all (the rate goes through SetChanAttr).
// The real answers are the plain results of the questions below and the out arguments.

#include <QString>
#include <array>
#include <cstdint>

namespace velorixa {

class PLAYER {
  public:
    // Public handles: the decoding source and the playable pitch channel made from it.
    uint32_t ChanEQL = 0;
    uint32_t ChanPIT = 0;

    // Opens Name (KeyLoad 1 = URL, 2 = file, its bytes as util::PathFromBytes carries them)
    // and plays it with the given speed (FRQ 0..200,
    // 100 = the source's own rate), volume (0..100), balance (-100..100) and the slider values
    // of the three equaliser bands and four effects (0..100, indices 1..3 and 1..4; index 0 is
    // unused). True when the new stream plays.
    bool StartPlay(const QString& Name, int KeyLoad, double FRQ, double VOL, double PAN,
                   const std::array<uint8_t, 4>& EqlArr, const std::array<uint8_t, 5>& EffArr);

    // StartPlay in two halves, so that the wait for a station never falls on the window's
    // thread. OpenSource opens Name as a decoding source and may wait on the network for
    // seconds (6 at most); it touches no PLAYER state and may run on any thread while the
    // window's thread goes on calling the player (0 on failure; VX_StreamGetError, on the same
    // thread, tells why).
    // StartOpened then frees the old chain and plays that source as StartPlay does; it takes
    // the source over (0 fails at once). A source that will never be started goes back
    // through DiscardSource.
    static uint32_t OpenSource(const QString& Name, int KeyLoad);
    static void DiscardSource(uint32_t source);
    bool StartOpened(uint32_t source, double FRQ, double VOL, double PAN,
                     const std::array<uint8_t, 4>& EqlArr, const std::array<uint8_t, 5>& EffArr);
    // Does nothing: the playback rate is set through SetChanAttr.
    void SetPitch(double PitchValue);
    // Creates the seven effects on ChanPIT and applies the slider values. Always false.
    bool SetEFF(const std::array<uint8_t, 4>& EqlArr, const std::array<uint8_t, 5>& EffArr);
    // Does nothing.
    void SyncChan();
    // Length of the source in whole seconds, halves to the even neighbour.
    int32_t GetFileLen();
    int32_t GetFreqStr() const { return SrcFreq; }
    // The stream's metadata text (kind 5) and HTTP/ICY header texts (kind 4); null when none.
    // Always false.
    bool GetMETA(const char*& address);
    bool GetICY(const char*& address);
    uint32_t Get16BitStereo();
    // The position being heard (not the decoder's, which runs ahead by the buffer), in seconds;
    // -1 unless the source plays.
    float GetFilePos();
    // True once the source has ended: its last sample has been heard (or it was stopped).
    bool GetFileEnd();
    bool GetFilePlayPerf();
    bool GetChannelActive();
    bool GetChannelStalled();
    // Transport; always false.
    bool StopPlay();
    bool PausPlay();
    bool ResuPlay();
    // Jumps to POS seconds; only while the source plays.
    bool SetPPlay(float POS);
    // Attributes and volumes: the getters answer through their out arguments; all of these
    // always return false.
    bool GetChanAttr(double& FRQ, double& VOL, double& PAN);
    bool SetChanAttr(double FRQ, double VOL, double PAN);
    bool SetMasterVolume(int32_t volume);
    bool SetGlobalVolume(int32_t volume);
    bool GetChannelVolume(double ignored, int32_t& volume);
    bool GetMasterVolume(int32_t& volume);
    bool GetGlobalVolume(int32_t& volume);
    // Stops output and frees the stream, the pitch channel, the effects and the audio library.
    // No library call may follow. Always false.
    bool ExitForm();
    // The level gain in dB (0 = as recorded) of the playing stream and of every stream started
    // after it, until set again: a stage beside the volume, which stays as the knob has it. A
    // change while playing glides (no click).
    void SetLevelDb(float gainDb);
    float LevelDb = 0;

    // Slider 0..100 of equaliser band 1..3 / effect 1..4 to its record; always 0.
    uint8_t UpdateEQL(int16_t Index, uint8_t ValScr);
    uint8_t UpdateEFF(int16_t Index, uint8_t ValScr);

    // The first zero-terminated string at address; UTF-8 when it is valid UTF-8, else Latin-1
    // (stations send both). Null or empty gives empty text.
    static QString CStrToText(const char* address);

    // The playback rate in Hz for an FRQ value and a source rate (FRQ 100 = the source rate).
    static uint32_t PitchRateHz(double FRQ, int32_t srcFreqHz);

    // What a control value becomes in the effects' records, the one place of these mappings
    // (the window's read-outs show them too). FRQ 50..150 is the pitch knob; ValScr 0..100 an
    // equaliser or effect slider, 100 = the effect silent.
    static double PitchPercent(double FRQ);      // speed in percent of the source's own
    static float EqGainDb(int ValScr);           // band gain: +10 dB at 0, -10 dB at 100
    static float ReverbMixDb(int ValScr);        // reverb mix: 0 dB at 0, -96 dB (silent) at 100
    static float EffectMixPct(int ValScr);       // wet/dry mix of echo, flanger and chorus
    static float EchoFeedbackPct(int ValScr);    // 60 at 0, 40 at 100
    static float ChorusFeedbackPct(int ValScr);  // -95 at 0, -85 at 100

    int64_t LenBytes = 0;
    int32_t LenSecs = 0;
    int32_t SrcFreq = 0;
    std::array<uint32_t, 4> EqlArrFx{};  // equaliser band effect handles, 1..3
    std::array<uint32_t, 5> EffArrFx{};  // reverb, echo, flanger, chorus handles, 1..4
    float BufLen = 0.5f;

  private:
    float BytesToSecs(uint32_t channel, int64_t bytes);
    void SetBytePos(uint32_t channel, int64_t bytes);
    void freeChain();
};

}  // namespace velorixa
