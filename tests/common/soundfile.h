#pragma once
// A recording read back: through libsndfile sample by sample, and through the command-line
// tools a user would play it with.
#include <cstdint>
#include <string>
#include <vector>

namespace testsound {

struct SoundFile {
    bool ok = false;
    int rateHz = 0;
    int channels = 0;
    std::vector<int32_t> samples;  // interleaved; 24-bit values in the high bits
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};
SoundFile ReadSoundFile(const std::string& path);
// Samples of the file that differ from the output samples played, as a 24-bit file stores them
// (round(x * (2^23 - 1)), halves away from zero); a difference in length counts as that many.
size_t Differing24(const SoundFile& file, const std::vector<float>& played);

// Frames ffmpeg decodes from the file with -xerror (any decoding error fails); -1 when it
// failed, with its messages in *log.
int64_t FfmpegFrames(const std::string& path, std::string* log = nullptr);
// True when `flac -t` passes the file.
bool FlacTestPasses(const std::string& path, std::string* log = nullptr);
// Frames sox reads from the file; -1 when it failed or sox is not installed.
int64_t SoxFrames(const std::string& path, std::string* log = nullptr);

}  // namespace testsound
