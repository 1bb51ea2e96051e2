#pragma once
// The bytes a file decoder reads: a byte range of a file, read a block at a time, or a private
// copy of a memory block. Both look alike to the decoders behind it.
//
// Thread contract: opened on the caller's thread, then used by the one decode thread that owns
// its decoder.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velorixa::audio {

struct ByteInput {
    // Decoders ask for a frame header and then the frame, a few hundred bytes: a file is read a
    // block at a time rather than with a system call for each.
    static constexpr size_t kReadAhead = 64 * 1024;

    int fd = -1;
    std::vector<uint8_t> mem;
    uint64_t begin = 0;  // absolute offset of byte 0 of the range
    uint64_t size = 0;
    uint64_t pos = 0;  // the decoder's read position, relative to decodeFrom
    uint64_t decodeFrom = 0;
    std::vector<uint8_t> ahead;  // bytes aheadAt .. aheadAt + aheadLen of the range
    uint64_t aheadAt = 0;
    size_t aheadLen = 0;

    ByteInput() = default;
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;
    ~ByteInput();

    // Reads up to n bytes at offset (relative to the range); returns how many.
    size_t readAt(uint64_t offset, uint8_t* dst, size_t n);
    size_t readFile(uint64_t offset, uint8_t* dst, size_t n) const;
};

// Opens a byte range of a file (length 0: to the end). nullptr with a listener's reason ("no such
// file", "not a regular file", ...) when it cannot be read.
std::unique_ptr<ByteInput> openByteRange(const std::string& path, uint64_t offset, uint64_t length,
                                         std::string* error);
// A private copy of a memory block; nullptr for an empty one.
std::unique_ptr<ByteInput> copyBytes(const void* data, uint64_t length, std::string* error);

}  // namespace velorixa::audio
