#pragma once
// The loudness of a music file as EBU R128 measures it (integrated loudness in LUFS, through
// libebur128) and its loudest sample, found by decoding the whole file through the player's own
// decoders, so what is measured is what plays.
//
// Thread contract: free functions without shared state; any thread but the window's and the
// audio thread (a file takes a second or so of decoding per few minutes of audio).

#include <QString>

#include <atomic>

namespace velorixa::levels {

struct Loudness {
    bool ok = false;     // the file decoded (a file that does not is given no gain)
    double lufs = 0;     // integrated loudness; -inf for a file that is silence throughout
    double peak = 0;     // loudest sample, 1 = full scale
    double seconds = 0;  // audio decoded
};

// Decodes path (the file system's bytes, util::PathFromBytes) and measures it. stop, when set
// meanwhile, ends the work early with ok == false.
Loudness MeasureLoudness(const QString& path, const std::atomic<bool>* stop = nullptr);

}  // namespace velorixa::levels
