#pragma once
// Start-up rules of the program that do not need a window: the audio library version text, the
// program folder, and the main loop's timing of the knob wave tick.

#include <QString>
#include <cstdint>

namespace velorixa {

// The version as "major.minor": low 16 bits, ".", high 16 bits ("1.6" for 1 | 6 << 16).
QString BassVersionText(uint32_t version);

// Only this exact version of the audio layer is accepted; 1.7 or 2.0 are refused like a missing
// one.
inline bool BassVersionAccepted(uint32_t version) {
    return BassVersionText(version) == "1.6";
}

// The program folder with exactly one trailing "/".
QString AppPathFrom(const QString& folder);

// The wave tick fires when the tick count is strictly past the last firing plus the interval.
// Ticks come from a monotonic 64-bit millisecond clock, so they never wrap.
inline bool PerforDue(int64_t tickNowMs, int64_t tickLastMs, int timePerfMs) {
    return tickNowMs > tickLastMs + timePerfMs;
}

// How long the main loop may wait for events before the wave tick falls due: the first
// millisecond at which PerforDue holds, counted from now (0 when it already does).
inline int64_t PerforWaitMs(int64_t tickNowMs, int64_t tickLastMs, int timePerfMs) {
    const int64_t due = tickLastMs + timePerfMs + 1;
    return due > tickNowMs ? due - tickNowMs : 0;
}

}  // namespace velorixa
