#pragma once
// What a source's decode thread pulls PCM from: a file or memory block (MP3 through libmpg123,
// every other format through FFmpeg), or a network stream.
//
// Thread contract: a decoder is created and probed on the caller's thread, then handed to one
// decode thread that alone calls read() and seek(); headerLines() and metadata() may be called
// from any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct mpg123_handle_struct;

namespace velorixa::audio {

class Decoder {
  public:
    enum class Status {
        Ok,       // frames were decoded (or may be on the next call)
        End,      // no more audio will come
        Starved,  // a network source has no bytes buffered right now
    };

    virtual ~Decoder() = default;
    // Decodes up to maxFrames interleaved float frames into dst; returns the frame count.
    virtual int read(float* dst, int maxFrames, Status* status) = 0;
    // Moves to frame (sample-accurate); returns the frame reached, or -1 when not seekable.
    virtual int64_t seek(int64_t frame) = 0;

    virtual int rateHz() const = 0;
    virtual int channels() const = 0;
    virtual int64_t lengthFrames() const = 0;  // -1 when unknown (network)
    virtual bool isNetwork() const { return false; }
    virtual std::vector<std::string> headerLines() const { return {}; }
    virtual std::string metadata() const { return {}; }
};

// Opens audio from a file (offset/length select a range; length 0 = to the end) or from a copy
// of a memory block, decoded by what its bytes are, whatever its name: MP3, FLAC, Ogg Vorbis or
// Opus, AAC (MP4/M4A or ADTS), WAV or AIFF. Returns nullptr, with a reason ("not an audio file",
// "unsupported codec (ac3)", ...), for anything else.
std::unique_ptr<Decoder> openAudioFile(const std::string& path, uint64_t offset, uint64_t length,
                                       std::string* error);
std::unique_ptr<Decoder> openAudioMemory(const void* data, uint64_t length, std::string* error);
struct ByteInput;
// MPEG layer III audio alone.
std::unique_ptr<Decoder> openMp3(std::unique_ptr<ByteInput> in, std::string* error);
// Connects to an http, https or ftp stream (following a playlist the address answers with, or
// playing the segments of an HLS playlist) and waits until it is playable, for at most the
// open's one deadline (6 s). Returns nullptr, with a reason, on any failure.
std::unique_ptr<Decoder> openNetStream(const std::string& url, std::string* error);

// mpg123 handles set up alike for every source: quiet, gapless, 32-bit float output at any rate.
mpg123_handle_struct* newMpg123Handle();
// Restricts output to the stream's first format; later frames are converted to it.
void lockMpg123Format(mpg123_handle_struct* mh, long rateHz, int channels);

}  // namespace velorixa::audio
