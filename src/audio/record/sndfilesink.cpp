// A recording written through libsndfile: FLAC (24-bit, lossless) or WAV (24-bit PCM).
//
// Kill safety: libFLAC writes each encoded frame as soon as it is full (4096 samples), with a
// STREAMINFO that says "length unknown" until the file is closed; ffmpeg, sox and flac -t read
// such a file to its last whole frame. A WAV file gets its header rewritten at every checkpoint
// (once a second), so it states what lies before it. Each checkpoint also syncs the file to the
// disk.
//
// A failed write (disk full, size limit) leaves a half frame at the end. close(true) cuts the
// file back to the size it had after the last whole write and makes the header agree: a FLAC
// STREAMINFO then says "length unknown" with no MD5 (the encoder's sum covers samples that never
// reached the disk), a WAV header gets the data size of the frames kept.

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "audio/record/recordsink.h"

namespace velorixa::audio {

const char* RecordExtension(RecordFormat format) {
    return format == RecordFormat::Flac ? "flac" : "wav";
}

namespace {

uint32_t readLe32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void putLe32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool readAt(int fd, void* buf, size_t n, off_t at) {
    return ::pread(fd, buf, n, at) == static_cast<ssize_t>(n);
}
bool writeAt(int fd, const void* buf, size_t n, off_t at) {
    return ::pwrite(fd, buf, n, at) == static_cast<ssize_t>(n);
}

// A FLAC file cut back after a failed write: its STREAMINFO (the first metadata block, right
// after "fLaC") gets total samples 0 ("unknown") and an MD5 of zeros ("not set").
void markFlacLengthUnknown(int fd) {
    unsigned char head[42];
    if (!readAt(fd, head, sizeof head, 0) || std::memcmp(head, "fLaC", 4) != 0) return;
    if ((head[4] & 0x7F) != 0) return;  // the first block is not STREAMINFO
    // STREAMINFO starts at 8: 2+2 block sizes, 3+3 frame sizes, then 20 bits rate, 3 channels,
    // 5 bits per sample and 36 bits of total samples ending at byte 26, then 16 bytes of MD5.
    head[21] &= 0xF0;
    std::memset(head + 22, 0, 4);
    std::memset(head + 26, 0, 16);
    writeAt(fd, head + 21, 21, 21);
}

// A WAV file cut back to `size` bytes: the RIFF size and the data chunk's size say what is left
// (whole frames of frameBytes).
void fitWavHeader(int fd, uint64_t size, int frameBytes) {
    unsigned char riff[12];
    if (!readAt(fd, riff, sizeof riff, 0) || std::memcmp(riff, "RIFF", 4) != 0) return;
    uint64_t at = 12;
    while (at + 8 <= size) {
        unsigned char chunk[8];
        if (!readAt(fd, chunk, sizeof chunk, static_cast<off_t>(at))) return;
        const uint32_t len = readLe32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            uint64_t data = size - (at + 8);
            data -= data % static_cast<uint64_t>(frameBytes);
            putLe32(chunk + 4, static_cast<uint32_t>(data));
            writeAt(fd, chunk + 4, 4, static_cast<off_t>(at + 4));
            unsigned char total[4];
            putLe32(total, static_cast<uint32_t>(at + 8 + data - 8));
            writeAt(fd, total, 4, 4);
            if (::ftruncate(fd, static_cast<off_t>(at + 8 + data)) != 0) return;
            return;
        }
        at += 8 + len + (len & 1);
    }
}

class SndfileSink : public RecordSink {
  public:
    static constexpr uint64_t kWavLimitBytes = 0xFFFFFFFFull - 65536;

    SndfileSink(int fd, SNDFILE* file, RecordFormat format)
        : fd_(fd), file_(file), format_(format) {
        goodSize_ = sizeNow();
    }
    ~SndfileSink() override { close(false); }

    bool write(const int32_t* stereo, size_t frames, std::string* error) override {
        if (!file_ || failed_) return false;
        // RIFF sizes are 32-bit: a WAV take ends whole before it would outgrow them.
        if (format_ == RecordFormat::Wav24 && goodSize_ + frames * 6 > kWavLimitBytes) {
            failed_ = true;
            if (error) *error = "a WAV file holds at most 4 GB (FLAC has no such limit)";
            return false;
        }
        const sf_count_t n = sf_writef_int(file_, stereo, static_cast<sf_count_t>(frames));
        if (n != static_cast<sf_count_t>(frames) || sf_error(file_) != SF_ERR_NO_ERROR) {
            failed_ = true;
            if (error) *error = describe();
            return false;
        }
        goodSize_ = sizeNow();
        return true;
    }

    bool checkpoint(std::string* error) override {
        if (!file_ || failed_) return false;
        if (format_ == RecordFormat::Wav24) sf_command(file_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        sf_write_sync(file_);  // fsync: a power cut keeps what the header states
        if (sf_error(file_) != SF_ERR_NO_ERROR) {
            failed_ = true;
            if (error) *error = describe();
            return false;
        }
        return true;
    }

    void close(bool failed) override {
        if (!file_) return;
        failed = failed || failed_;
        // sf_close finishes the encoder and writes the final header; after a failure that may
        // add a half frame, which is cut off below. The descriptor stays ours until then.
        sf_close(file_);
        file_ = nullptr;
        if (failed) {
            if (::ftruncate(fd_, static_cast<off_t>(goodSize_)) == 0) {
                if (format_ == RecordFormat::Flac)
                    markFlacLengthUnknown(fd_);
                else
                    fitWavHeader(fd_, goodSize_, 6);
            }
        }
        ::fsync(fd_);
        ::close(fd_);
        fd_ = -1;
    }

    uint64_t bytes() const override { return fd_ >= 0 ? sizeNow() : goodSize_; }

  private:
    uint64_t sizeNow() const {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    }
    std::string describe() const {
        // libsndfile reports system errors as "System error : <strerror>"; errno holds the
        // cause (ENOSPC, EFBIG, EIO) right after the failed call.
        const int err = errno;
        if (err == ENOSPC || err == EFBIG || err == EDQUOT) return "the disk is full";
        if (err != 0) return std::strerror(err);
        return sf_strerror(file_);
    }

    int fd_;
    SNDFILE* file_;
    RecordFormat format_;
    bool failed_ = false;
    uint64_t goodSize_ = 0;
};

}  // namespace

std::unique_ptr<RecordSink> OpenSndfileSink(const std::string& path, RecordFormat format,
                                            int rateHz, std::string* error) {
    // O_EXCL: an existing file is never overwritten, not even one made a moment ago.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = rateHz;
    info.channels = 2;
    info.format = format == RecordFormat::Flac ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_24)
                                               : (SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file) {
        if (error) *error = sf_strerror(nullptr);
        ::close(fd);
        ::unlink(path.c_str());
        return nullptr;
    }
    return std::make_unique<SndfileSink>(fd, file, format);
}

}  // namespace velorixa::audio
