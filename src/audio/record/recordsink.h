#pragma once
// Where a recording's samples go: a file written through libsndfile, or (in tests) a sink that
// wraps one and injects faults. Samples are 24-bit, held in the high 24 bits of an int32 (the
// low 8 bits zero), interleaved stereo.
//
// Thread contract: a sink is opened by the thread that starts the recording and then used by
// the writer thread alone, until it is closed there.

#include <cstdint>
#include <memory>
#include <string>

namespace velorixa::audio {

enum class RecordFormat { Flac, Wav24 };

// "flac" or "wav".
const char* RecordExtension(RecordFormat format);

// The 24-bit value of an output sample, in the high bits of an int32: round(x * (2^23 - 1)),
// clipped to 24 bits; NaN is silence.
inline int32_t ToPcm24High(float x) noexcept {
    if (!(x == x)) return 0;
    double v = double(x) * 8388607.0;  // exact in double
    v = v > 8388607.0 ? 8388607.0 : v;
    v = v < -8388608.0 ? -8388608.0 : v;
    const auto i = static_cast<int32_t>(v < 0 ? v - 0.5 : v + 0.5);  // halves away from zero
    return static_cast<int32_t>(static_cast<uint32_t>(i) << 8);
}

class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // Appends frames; false (with *error) when the file could not take them all (disk full,
    // size limit, I/O error): nothing more is written then.
    virtual bool write(const int32_t* stereo, size_t frames, std::string* error) = 0;
    // Makes everything written so far readable by players after a kill or a power cut: the
    // header states what is there, and the data is on the disk.
    virtual bool checkpoint(std::string* error) = 0;
    // Finishes the file. After a failed write the file is cut back to what was written whole,
    // with a header that says so, so that it stays valid.
    virtual void close(bool failed) = 0;
    // The file's size in bytes as it stands.
    virtual uint64_t bytes() const = 0;
};

// Creates the file at path, which must not exist yet (never overwrites), and opens it for
// writing at rateHz, stereo, 24-bit. Null (with *error) on failure.
std::unique_ptr<RecordSink> OpenSndfileSink(const std::string& path, RecordFormat format,
                                            int rateHz, std::string* error);

}  // namespace velorixa::audio
