#include "util/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/fspath.h"

namespace velorixa::util {

namespace {

QString errorText(int error) {
    char buf[256];
    // GNU strerror_r: the text may be buf or a static string.
    const char* text = ::strerror_r(error, buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}

FileRead failure(ReadStatus status, const QString& reason) {
    FileRead r;
    r.status = status;
    r.reason = reason;
    return r;
}

QString kindText(mode_t mode) {
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device, not a file");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket, not a file");
    return QStringLiteral("not a regular file");
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

QString SizeText(qsizetype bytes) {
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0) return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

FileRead ReadRegularFile(const QString& path, const ReadOptions& options) {
    const QByteArray native = PathToBytes(path);
    Fd file;
    // Without O_NONBLOCK, opening a FIFO waits for a writer and a device may wait too.
    do {
        file.fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (file.fd < 0 && errno == EINTR && (!options.goesOn || options.goesOn()));
    if (file.fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return failure(ReadStatus::Missing, QStringLiteral("no such file"));
        if (error == ENXIO) return failure(ReadStatus::NotRegular, kindText(S_IFSOCK));
        if (error == EINTR) return failure(ReadStatus::Stopped, QStringLiteral("stopped"));
        return failure(ReadStatus::Failed, errorText(error));
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return failure(ReadStatus::Failed, errorText(errno));
    if (S_ISDIR(st.st_mode)) return failure(ReadStatus::Folder, QStringLiteral("a folder"));
    if (!S_ISREG(st.st_mode)) return failure(ReadStatus::NotRegular, kindText(st.st_mode));
    const qsizetype maxBytes = std::max<qsizetype>(0, options.maxBytes);
    const bool prefix = options.oversize == Oversize::Prefix;
    if (!prefix && st.st_size > maxBytes)
        return failure(ReadStatus::TooLarge,
                       QStringLiteral("larger than %1").arg(SizeText(maxBytes)));
    ::fcntl(file.fd, F_SETFL, ::fcntl(file.fd, F_GETFL) & ~O_NONBLOCK);

    FileRead r;
    r.data.reserve(std::min<qsizetype>(st.st_size, maxBytes));
    // One byte past the limit tells a file that is (or grew) larger.
    const qsizetype want = maxBytes + 1;
    QByteArray buf(std::min<qsizetype>(want, 256 * 1024), Qt::Uninitialized);
    while (r.data.size() < want) {
        if (options.goesOn && !options.goesOn())
            return failure(ReadStatus::Stopped, QStringLiteral("stopped"));
        const qsizetype room = std::min<qsizetype>(buf.size(), want - r.data.size());
        const ssize_t n = ::read(file.fd, buf.data(), static_cast<size_t>(room));
        if (n < 0) {
            if (errno == EINTR) continue;  // goesOn is asked again above
            return failure(ReadStatus::Failed, errorText(errno));
        }
        if (n == 0) break;
        r.data.append(buf.constData(), n);
    }
    if (r.data.size() > maxBytes) {
        if (!prefix)
            return failure(ReadStatus::TooLarge,
                           QStringLiteral("larger than %1").arg(SizeText(maxBytes)));
        r.data.truncate(maxBytes);
        r.cut = true;
    }
    r.status = ReadStatus::Ok;
    return r;
}

}  // namespace velorixa::util
