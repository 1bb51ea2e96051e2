#pragma once
// The sound setting of the player as a plain value: what the "Effects" page shows, what a
// performance key stores and what every new stream starts with. Bar values are kept as the
// operator sets them; the player's units come from them in one place (SoundControl).
//
// Thread contract: a plain value; any thread, no sharing.

#include <array>
#include <cstdint>

namespace velorixa::controls {

// Knob numbers, shared by the knobs, the key table and the wave.
inline constexpr int kKnobBalance = 1;  // 0..200, 100 = centre, 0 = full left
inline constexpr int kKnobPitch =
    2;  // 50..150 percent of the source rate, before the player maps it
inline constexpr int kKnobEqFirst =
    3;  // 3..5: equaliser bands 1..3, 0..100, 0 = most boost, 50 flat
inline constexpr int kKnobFxFirst = 6;  // 6..9: reverb, echo, flanger, chorus, 0..100, 100 = off
inline constexpr int kKnobCount = 9;

struct KnobRange {
    int min, max, rest;  // rest: where the knob stands still when nobody touched it
};
// Range of knob 1..9 (knob 0 and others: an empty range at 0).
KnobRange KnobRangeOf(int knob);

struct KnobSetting {
    int value = 0;          // the knob's bar value, in its range
    bool rotating = false;  // the rotate button is down: the knob swings on the shared wave
    int memRot = 0;         // where the knob's last swing started from (`MemRot`)
    friend bool operator==(const KnobSetting&, const KnobSetting&) = default;
};

struct SoundSetting {
    int volumePct = 50;      // `ScrVOL` 0..100: channel volume in percent
    int rotationSpeed = 50;  // `ScrROT` 0..100: the wave tick comes every 201 - 2 x speed ms
    // knobs[1..9], each at its rest value; knobs[0] is unused.
    std::array<KnobSetting, kKnobCount + 1> knobs = restKnobs();
    bool jump = false;            // "Jump": the balance knob swings as a nearly square wave
    bool beat = false;            // "Beat": the balance knob swings as a peaked wave
    int pitchRangeLowPct = 50;    // `ScrFRQ1` 50..150: one bound of the pitch swing
    int pitchRangeHighPct = 150;  // `ScrFRQ2` 50..150: the other bound (either order)

    static std::array<KnobSetting, kKnobCount + 1> restKnobs();
    friend bool operator==(const SoundSetting&, const SoundSetting&) = default;
};

// The player's arguments for a new stream, in its own units.
struct StartValues {
    double FRQ = 100;                              // pitch bar value, 100 = the source's own rate
    double VOL = 50;                               // channel volume 0..100
    double PAN = 0;                                // balance -100..100
    std::array<uint8_t, 4> EqlArr{0, 50, 50, 50};  // bands 1..3
    std::array<uint8_t, 5> EffArr{0, 100, 100, 100, 100};  // effects 1..4
};
StartValues StartValuesOf(const SoundSetting& s);

// The global stream volume that goes with the chorus knob's value: 50 with the effect off (100),
// 100 at full effect (0).
int GlobalVolumeForChorus(int chorusValue);

// The wave tick period in ms for a rotation speed (201 at 0, 101 at 50, 1 at 100).
int WaveTickMs(int rotationSpeed);

}  // namespace velorixa::controls
