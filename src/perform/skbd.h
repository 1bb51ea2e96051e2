#pragma once
// SKBD: the performance keyboard's key table. Each of the 26 letter keys stores a complete
// sound setting of the "Effects" page (volume, rotation speed, the nine knobs with their
// rotation, "Jump"/"Beat", the pitch knob's swing range), taken from the sound setting, and
// recalls it through the page's own procedures, so a recall moves the sound setting (and with it
// the page) step by step as the operator would, with the recall's origin. The table and the
// twelve styles form one PerformanceSet, which the set files read and write whole.
//
// Thread contract: GUI thread only.

#include "controls/origin.h"
#include "perform/keytable.h"

namespace velorixa::controls {
class EffectControls;
}

namespace velorixa::perform {

class SKBD {
  public:
    explicit SKBD(controls::EffectControls& controls) : controls_(controls) { InitSkbd(); }

    // Empty table and styles (at load).
    void InitSkbd() { ClearSkbd(); }
    // Every style title and content empty; every key's Slot and Spare 0 (Names, StyleSpare and
    // StyleNote stay: only a set file ever fills them).
    void ClearSkbd();

    // Key k (1..26) takes the current sound setting, or becomes empty when the setting is the
    // initial sound (CheckDefaults).
    void StoreKeySetting(int k);
    // Moves the sound setting to key k's setting, every change with origin (a key the operator
    // fired or one of a style); an empty key changes nothing.
    void ApplyKeySetting(int k, controls::Origin origin);
    // `HasSettings`: 1 when the setting differs from the initial sound in a knob's value, a
    // pressed rotate button or the volume. The rotation speed, "Jump"/"Beat" and the pitch range
    // are not looked at.
    int CheckDefaults();
    int HasSettings = 0;

    const KeyRecord& key(int k) const { return set_.KeySet[static_cast<size_t>(k)]; }
    bool holdsSetting(int k) const { return valid(k) && key(k).holdsSetting(); }
    StyleRecord& style(int s) { return set_.Styles[static_cast<size_t>(s)]; }
    const StyleRecord& style(int s) const { return set_.Styles[static_cast<size_t>(s)]; }

    // The whole performance state, for the set files: read one aside, take it over in one go.
    const PerformanceSet& set() const { return set_; }
    void takeSet(PerformanceSet set) { set_ = std::move(set); }

    static bool valid(int k) { return k >= 1 && k <= kKeyCount; }

  private:
    controls::EffectControls& controls_;
    PerformanceSet set_;
};

}  // namespace velorixa::perform
