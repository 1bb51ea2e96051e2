#include "audio/decode/byteinput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velorixa::audio {

ByteInput::~ByteInput() {
    if (fd >= 0) ::close(fd);
}

size_t ByteInput::readAt(uint64_t offset, uint8_t* dst, size_t n) {
    if (offset >= size) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size - offset));
    if (fd < 0) {
        std::memcpy(dst, mem.data() + offset, n);
        return n;
    }
    if (n >= kReadAhead) return readFile(offset, dst, n);
    if (offset < aheadAt || offset + n > aheadAt + aheadLen) {
        ahead.resize(kReadAhead);
        aheadAt = offset;
        aheadLen = readFile(offset, ahead.data(),
                            static_cast<size_t>(std::min<uint64_t>(kReadAhead, size - offset)));
        n = std::min(n, aheadLen);
    }
    std::memcpy(dst, ahead.data() + (offset - aheadAt), n);
    return n;
}

size_t ByteInput::readFile(uint64_t offset, uint8_t* dst, size_t n) const {
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(begin + offset + done));
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

std::unique_ptr<ByteInput> openByteRange(const std::string& path, uint64_t offset, uint64_t length,
                                         std::string* error) {
    auto in = std::make_unique<ByteInput>();
    // O_NONBLOCK: opening a FIFO with no writer (or a device) must not wait. What is opened is
    // then checked through the same descriptor, so nothing can swap the path in between.
    in->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (in->fd < 0) {
        if (error) {
            const int why = errno;
            *error = why == ENOENT    ? "no such file"
                     : why == EACCES  ? "permission denied"
                     : why == ENOTDIR ? "no such file (a part of the path is not a folder)"
                                      : std::string("cannot open: ") + std::strerror(why);
        }
        return nullptr;
    }
    if (::fstat(in->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "not a regular file";
        return nullptr;
    }
    uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (fileSize == 0) {
        if (error) *error = "empty file";
        return nullptr;
    }
    if (offset >= fileSize) {
        if (error) *error = "offset beyond the file";
        return nullptr;
    }
    in->begin = offset;
    in->size = length == 0 ? fileSize - offset : std::min(length, fileSize - offset);
    return in;
}

std::unique_ptr<ByteInput> copyBytes(const void* data, uint64_t length, std::string* error) {
    if (!data || length == 0) {
        if (error) *error = "empty memory block";
        return nullptr;
    }
    auto in = std::make_unique<ByteInput>();
    const auto* p = static_cast<const uint8_t*>(data);
    in->mem.assign(p, p + length);
    in->size = length;
    return in;
}

}  // namespace velorixa::audio
