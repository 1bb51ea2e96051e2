#pragma once
// Offline rendering of a file or a stream through the player's whole chain (pitch, equaliser,
// effects, volume and balance), as fast as the machine allows: how a person, a test or a
// benchmark hears exactly what the player does.
//
// Thread contract: one job at a time per process (the audio layer is a process-wide device).

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace velorixa::tools {

struct RenderOptions {
    QString input;                                 // a file path or an http, https or ftp address
    QString output;                                // the WAV file to write
    int FRQ = 100;                                 // speed 0..200, 100 = the source's own
    int VOL = 100;                                 // channel volume 0..100
    int PAN = 0;                                   // balance -100..100
    std::array<uint8_t, 4> EqlVal{0, 50, 50, 50};  // equaliser sliders 1..3, 0..100
    std::array<uint8_t, 5> EffVal{0, 100, 100, 100, 100};  // reverb, echo, flanger, chorus
    double seconds = -1;  // how much to render; < 0: to the end of a file
    bool isStream() const;
};

// Reads the command line (argv[1..]); on bad arguments returns nothing and sets *error to a
// one-line message.
std::optional<RenderOptions> ParseRenderArgs(const std::vector<QString>& args, QString* error);

struct RenderResult {
    bool opened = false;
    int rateHz = 44100;
    std::vector<float> stereo;  // interleaved output
};

// Renders through a freshly initialised offline device. perBlock, when given, is called after
// every block of output with the frames done (the benchmark reads levels and spectrum there).
RenderResult Render(const RenderOptions& options,
                    const std::function<void(uint32_t chanPIT, size_t frames)>& perBlock = {});

// Writes 16-bit stereo PCM; false when the file cannot be written.
bool WriteWav16(const QString& path, const std::vector<float>& stereo, int rateHz);

// The tool's whole run: exit status 0 done, 1 the input cannot be opened or the output written,
// 2 bad arguments. Messages go to err.
int RunRenderTool(const std::vector<QString>& args, const std::function<void(const QString&)>& err);

}  // namespace velorixa::tools
