#pragma once
// Test media made from known signals: tests never ship binary audio files.

#include <cstdint>
#include <string>
#include <vector>

namespace testmedia {

// Interleaved 16-bit PCM with its layout.
struct Pcm {
    int rateHz = 44100;
    int channels = 2;
    std::vector<int16_t> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

// A sine of freqHz at amplitude (0..1 of full scale) on every channel.
Pcm sine(double freqHz, double seconds, int rateHz = 44100, int channels = 2,
         double amplitude = 0.5);

// One second per entry of freqsHz: a tone whose frequency changes every second, so the
// position of any decoded stretch can be told from its frequency.
Pcm toneSteps(const std::vector<double>& freqsHz, int rateHz = 44100, int channels = 2,
              double amplitude = 0.5);

struct Mp3Options {
    int bitrateKbps = 128;  // CBR bit rate; ignored when vbr is set
    bool vbr = false;
    int quality = 5;                   // lame's encoder quality 0 (best) .. 9 (fastest)
    bool selfContainedFrames = false;  // no bit reservoir: any run of frames decodes alone
    // Free format: the frame headers name no bit rate (bitrateKbps may then be any value up to
    // 640, not only one of the table's).
    bool freeFormat = false;
};

// Encodes PCM to MP3 bytes with libmp3lame.
std::vector<uint8_t> encodeMp3(const Pcm& pcm, const Mp3Options& opt = {});

// 16-bit PCM WAV file bytes.
std::vector<uint8_t> wavBytes(const Pcm& pcm);

// Encodes PCM with the Debian command-line encoders, through files in `dir`: "flac", "ogg"
// (oggenc), "opus" (opusenc), "m4a", "mp4", "aac" (ADTS), "ts" (AAC in MPEG-TS), "wav24",
// "wav32", "wavf" (32-bit float), "aiff", "oggflac" (FLAC in Ogg) through ffmpeg. Ogg and Opus
// files carry the artist and title given. Empty on failure.
std::vector<uint8_t> encodeWithTool(const Pcm& pcm, const std::string& format,
                                    const std::string& dir, const std::string& artist = {},
                                    const std::string& title = {});

// Writes bytes to a file; returns false on failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const std::string& text);

// The dominant frequency of a mono stretch, found by a fine DFT search between loHz and hiHz.
double dominantFrequency(const float* mono, size_t n, int rateHz, double loHz = 20,
                         double hiHz = 20000);

// RMS and peak of a buffer.
double rms(const float* x, size_t n);
double peak(const float* x, size_t n);

// 20 log10 of a ratio, with a floor for silence.
double toDb(double ratio);

}  // namespace testmedia
