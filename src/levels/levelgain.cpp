#include "levels/levelgain.h"

#include <algorithm>
#include <cmath>

namespace velorixa::levels {

double LimitByPeak(double gainDb, double peak) {
    if (!(peak > 0) || !std::isfinite(peak)) return gainDb;
    return std::min(gainDb, -20.0 * std::log10(peak));
}

Level LevelFromTag(double trackGainDb, std::optional<double> trackPeak) {
    return {LimitByPeak(trackGainDb, trackPeak.value_or(0)), LevelSource::Tag};
}

Level LevelFromLoudness(const Loudness& loudness) {
    if (!loudness.ok || !std::isfinite(loudness.lufs)) return {0, LevelSource::Unmeasurable};
    // Within what the gain stage takes; a file quieter than -78 LUFS is noise, not music.
    const double gain = std::clamp(kTargetLufs - loudness.lufs, -60.0, 24.0);
    return {LimitByPeak(gain, loudness.peak), LevelSource::Measured};
}

QString LevelText(const Level& level) {
    const char* why = "";
    switch (level.source) {
        case LevelSource::Off:
            return {};
        case LevelSource::Station:
            why = "station";
            break;
        case LevelSource::Tag:
            why = "tag";
            break;
        case LevelSource::Measured:
            why = "measured";
            break;
        case LevelSource::Measuring:
            why = "measuring...";
            break;
        case LevelSource::Unmeasurable:
            why = "not measurable";
            break;
    }
    // One decimal; a gain that rounds to nothing is 0.0, never -0.0.
    double shown = std::round(level.gainDb * 10) / 10;
    if (shown == 0) shown = 0;
    const QString number = shown > 0 ? QStringLiteral("+%1").arg(shown, 0, 'f', 1)
                                     : QStringLiteral("%1").arg(shown, 0, 'f', 1);
    return QStringLiteral("Level %1 dB (%2)").arg(number, QString::fromLatin1(why));
}

}  // namespace velorixa::levels
