#include "perform/skbd.h"

#include "controls/effectcontrols.h"

namespace velorixa::perform {

using controls::kKnobBalance;
using controls::kKnobCount;
using controls::kKnobPitch;

namespace {
constexpr int kInitialVolume = 50;
constexpr int kPitchRangeLow = 50;
constexpr int kPitchRangeHigh = 150;
}  // namespace

void SKBD::ClearSkbd() {
    for (int s = 1; s <= kStyleCount; ++s) {
        style(s).Title.clear();
        style(s).Content.clear();
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        KeyRecord& r = set_.KeySet[static_cast<size_t>(k)];
        r.Slot.fill(0);
        r.Spare.fill(0.0);
    }
}

int SKBD::CheckDefaults() {
    HasSettings = 1;
    const controls::SoundSetting& now = controls_.setting();
    for (int i = 1; i <= kKnobCount; ++i)
        if (now.knobs[static_cast<size_t>(i)].value != controls_.zeroOf(i)) return HasSettings;
    for (int i = 1; i <= kKnobCount; ++i)
        if (now.knobs[static_cast<size_t>(i)].rotating) return HasSettings;
    if (now.volumePct != kInitialVolume) return HasSettings;
    HasSettings = 0;
    return HasSettings;
}

void SKBD::StoreKeySetting(int k) {
    if (!valid(k)) return;
    KeyRecord& r = set_.KeySet[static_cast<size_t>(k)];
    r.Slot.fill(0);
    r.Spare.fill(0.0);
    if (CheckDefaults() == 0) return;
    const controls::SoundSetting& now = controls_.setting();
    r.Slot[slot::kHolds] = 1;
    r.Slot[slot::kVolume] = static_cast<int16_t>(now.volumePct);
    r.Slot[slot::kRotSpeed] = static_cast<int16_t>(now.rotationSpeed);
    for (int i = 1; i <= kKnobCount; ++i) {
        const controls::KnobSetting& knob = now.knobs[static_cast<size_t>(i)];
        if (knob.rotating) {
            r.Slot[slot::rotating(i)] = 1;
            r.Slot[slot::memRot(i)] = static_cast<int16_t>(knob.memRot);
        } else {
            r.Slot[slot::value(i)] = static_cast<int16_t>(knob.value);
        }
    }
    if (now.knobs[kKnobBalance].rotating) {
        r.Slot[slot::kJump] = now.jump ? 1 : 0;
        r.Slot[slot::kBeat] = now.beat ? 1 : 0;
    }
    if (now.knobs[kKnobPitch].rotating) {
        r.Slot[slot::kPitchLow] = static_cast<int16_t>(now.pitchRangeLowPct);
        r.Slot[slot::kPitchHigh] = static_cast<int16_t>(now.pitchRangeHighPct);
    }
}

void SKBD::ApplyKeySetting(int k, controls::Origin origin) {
    if (!holdsSetting(k)) return;
    // A copy: listeners of the sound setting may reach the table while the recall runs.
    const KeyRecord r = key(k);
    controls_.PutValVOL(r.Slot[slot::kVolume], origin);
    controls_.PutValROT(r.Slot[slot::kRotSpeed], origin);
    const bool balanceRotates = r.Slot[slot::rotating(kKnobBalance)] == 1;
    controls_.SetChkRot1(balanceRotates && r.Slot[slot::kJump] != 0, origin);
    controls_.SetChkRot2(balanceRotates && r.Slot[slot::kBeat] != 0, origin);
    // The range is kept for the swing that follows; it does not restart the pitch knob now.
    if (r.Slot[slot::rotating(kKnobPitch)] == 1) {
        controls_.PutRangeFRQ(r.Slot[slot::kPitchLow], r.Slot[slot::kPitchHigh], origin);
    } else {
        controls_.PutRangeFRQ(kPitchRangeLow, kPitchRangeHigh, origin);
    }
    for (int i = 1; i <= kKnobCount; ++i) {
        if (r.Slot[slot::rotating(i)] == 1) {
            // A knob that rotates already starts again from the stored start.
            controls_.SetRotScr(i, r.Slot[slot::memRot(i)], origin);
            controls_.PressRotBut(i, origin);
        } else {
            controls_.SetRotZer(i, r.Slot[slot::value(i)], origin);
            controls_.ReleaseRotBut(i, origin);
        }
    }
}

}  // namespace velorixa::perform
