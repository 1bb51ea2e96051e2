#pragma once
// The performance state as plain data: the 26 key records (what a letter key recalls) and the
// 12 styles (which keys a style fires). The key table, the set files and the style sequencer
// all work on this one value, so a whole set can be read aside and taken over in one
// assignment.
//
// Thread contract: a plain value; any thread, no sharing.

#include <QString>
#include <array>
#include <cstdint>

namespace velorixa::perform {

inline constexpr int kKeyCount = 26;     // A..Z
inline constexpr int kSlotCount = 200;   // Slot(0..199)
inline constexpr int kSpareCount = 32;   // Spare(1..32), StyleSpare(s, 1..32)
inline constexpr int kNameCount = 12;    // Names(1..12)
inline constexpr int kStyleCount = 12;   // styles 1..12
inline constexpr int kStyleTextMax = 7;  // a title or a content holds at most 7 characters

// Where a key record keeps what, in Slot(0..199). Knob i (1..9) has its block at 10 x i.
namespace slot {
inline constexpr int kHolds = 0;       // 1: the key holds a setting
inline constexpr int kVolume = 1;      // `ScrVOL`
inline constexpr int kRotSpeed = 5;    // `ScrROT`
inline constexpr int kJump = 18;       // `ChkRot1`, only with knob 1 rotating
inline constexpr int kBeat = 19;       // `ChkRot2`, only with knob 1 rotating
inline constexpr int kPitchLow = 23;   // `ScrFRQ1`, only with knob 2 rotating
inline constexpr int kPitchHigh = 24;  // `ScrFRQ2`, only with knob 2 rotating
constexpr int rotating(int knob) {
    return 10 * knob + 1;
}  // 1: the knob was rotating
constexpr int value(int knob) {
    return 10 * knob + 2;
}  // static knob: its bar value
constexpr int memRot(int knob) {
    return 10 * knob + 5;
}  // rotating knob: its `MemRot`
}  // namespace slot

struct KeyRecord {
    std::array<int16_t, kSlotCount> Slot{};
    // Spare(1..32) and Names(1..12); index 0 unused. Carried through set files unchanged.
    std::array<double, kSpareCount + 1> Spare{};
    std::array<QString, kNameCount + 1> Names;

    bool holdsSetting() const { return Slot[slot::kHolds] != 0; }
    friend bool operator==(const KeyRecord&, const KeyRecord&) = default;
};

struct StyleRecord {
    QString Title;    // at most 7 characters once normalised
    QString Content;  // letters A..Z, at most 7; empty = all 26 keys
    // StyleSpare(s, 1..32), index 0 unused, and StyleNote(s): carried through set files.
    std::array<double, kSpareCount + 1> Spare{};
    QString Note;
    friend bool operator==(const StyleRecord&, const StyleRecord&) = default;
};

struct PerformanceSet {
    std::array<KeyRecord, kKeyCount + 1> KeySet;      // 1..26 = A..Z; 0 unused
    std::array<StyleRecord, kStyleCount + 1> Styles;  // 1..12; 0 unused
    friend bool operator==(const PerformanceSet&, const PerformanceSet&) = default;
};

}  // namespace velorixa::perform
