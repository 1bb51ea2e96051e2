#pragma once
// Offline rendering of a file or a stream through the player's whole chain (pitch, equaliser,
// effects, volume and balance), as fast as the machine allows: how a person, a test or a
// benchmark hears exactly what the player does. The tool writes the WAV as it renders, in
// constant memory, so a capture may be as long as a WAV file can be.
//
// Thread contract: one job at a time per process (the audio layer is a process-wide device).

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "controls/soundsetting.h"

namespace velorixa::tools {

struct RenderOptions {
    QString input;   // a file path or an http, https or ftp address
    QString output;  // the WAV file to write
    // The player's sound setting as the window keeps it (knob values, channel volume); the
    // tool's channel volume starts at 100 rather than the window's 50.
    controls::SoundSetting sound = fullVolume();
    // The global stream volume 0..100 (--global); 100 here, 50 in the window at start.
    int globalVolumePct = 100;
    double seconds = -1;  // how much to render; < 0: to the end of a file
    // A stream is rendered as fast as the station delivers, never faster: its gaps are waited
    // for, not rendered as silence. A station that sends no audio for this long fails the render
    // (Stalled); one that trickles is ended by the audio layer's own delivery rule (less than a
    // quarter of real time over 15 s) and fails as EndedEarly.
    double stallSeconds = 10;
    bool isStream() const;
    static controls::SoundSetting fullVolume() {
        controls::SoundSetting s;
        s.volumePct = 100;
        return s;
    }
};

// The longest output a WAV file can describe (its sizes are 32-bit), in seconds of the tool's
// 44.1 kHz 16-bit stereo: about 6 h 45 min.
double MaxWavSeconds();

// Reads the command line (argv[1..]); "--" ends the options. On bad arguments returns nothing
// and sets *error to a one-line message.
std::optional<RenderOptions> ParseRenderArgs(const std::vector<QString>& args, QString* error);

struct RenderOutcome {
    enum Kind { Done, NotOpened, EndedEarly, Stalled, SinkRefused } kind = NotOpened;
    // For NotOpened: the layer's reason ("HTTP 404 Not Found", ...); for Stalled: how long
    // nothing came.
    QString why;
    size_t frames = 0;  // rendered and given to the sink
    int rateHz = 44100;
};

// Renders through a freshly initialised offline device, handing each block to sink (interleaved
// stereo; returning false stops the job). perBlock, when given, is called after every block
// with the frames done (the benchmark reads levels and spectrum there). An input that ends
// before options.seconds stops the job at once (EndedEarly); a stream that delivers nothing for
// options.stallSeconds stops it too (Stalled).
RenderOutcome RenderTo(const RenderOptions& options,
                       const std::function<bool(const float* stereo, size_t frames)>& sink,
                       const std::function<void(uint32_t chanPIT, size_t frames)>& perBlock = {});

struct RenderResult {
    bool opened = false;
    int rateHz = 44100;
    std::vector<float> stereo;  // interleaved output
};

// RenderTo into memory, for tests and benchmarks of short renders.
RenderResult Render(const RenderOptions& options,
                    const std::function<void(uint32_t chanPIT, size_t frames)>& perBlock = {});

// Writes 16-bit stereo PCM as it comes. A new or regular output file is written beside itself
// under a temporary name and renamed over the old one at finish(), so a failed run leaves the
// old file; an existing path that is not a regular file (a device, a FIFO) is written directly.
// The sizes in the header are patched at finish() where the output can seek; a FIFO gets the
// sizes announced at open (or "unknown" when none were given).
class WavWriter {
  public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // expectedFrames: announced in the header of an output that cannot seek; 0 = unknown.
    bool open(const QString& path, int rateHz, uint64_t expectedFrames, QString* error);
    bool write(const float* stereo, size_t frames, QString* error);
    bool finish(QString* error);
    uint64_t frames() const { return frames_; }

  private:
    bool flush(QString* error);
    bool fail(QString* error, const QString& what);

    QString path_;
    QString tempPath_;
    int fd_ = -1;
    int rateHz_ = 44100;
    uint64_t frames_ = 0;
    std::vector<int16_t> pending_;
};

// The tool's whole run: exit status 0 done, 1 the input cannot be opened, ended before
// --seconds, a stream stopped delivering (nothing for 10 s) or the output cannot be written,
// 2 bad arguments. Messages go to err, one line each.
int RunRenderTool(const std::vector<QString>& args, const std::function<void(const QString&)>& err);

}  // namespace velorixa::tools
