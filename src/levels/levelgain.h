#pragma once
// The gain that brings an item to the common loudness, and how the window says it.
//
// The target is -18 LUFS, ReplayGain 2.0's reference level: a track gain tag written by any
// ReplayGain 2.0 scanner (foobar2000, rsgain, loudgain, beets) then means the same as our own
// measurement, and -18 LUFS leaves about 8 dB of headroom above typical pop masters (-10 to
// -8 LUFS) for the gain to turn down rather than up, so it rarely meets the peak limit.
//
// Thread contract: pure functions, any thread.

#include <QString>

#include <optional>

#include "levels/loudness.h"

namespace velorixa::levels {

inline constexpr double kTargetLufs = -18.0;

enum class LevelSource {
    Off,           // the option is off: as recorded
    Station,       // a station: left as it comes
    Tag,           // the file's ReplayGain track gain
    Measured,      // our own measurement
    Measuring,     // not known yet: as recorded meanwhile
    Unmeasurable,  // the file did not decode, or is silence: as recorded
};

struct Level {
    double gainDb = 0;
    LevelSource source = LevelSource::Off;
    bool operator==(const Level&) const = default;
};

// gainDb lowered, where needed, so that a sample of peak (1 = full scale) stays at or below full
// scale; a peak that is not known (0 or less) limits nothing.
double LimitByPeak(double gainDb, double peak);
// From a ReplayGain track gain and, when the file names it, its peak.
Level LevelFromTag(double trackGainDb, std::optional<double> trackPeak);
// From our own measurement.
Level LevelFromLoudness(const Loudness& loudness);
// "Level -4.2 dB (tag)", "Level +1.0 dB (measured)", "Level 0.0 dB (measuring...)"; empty when
// the option is off.
QString LevelText(const Level& level);

}  // namespace velorixa::levels
