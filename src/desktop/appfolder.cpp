#include "desktop/appfolder.h"

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "util/fspath.h"

namespace velorixa::desktop {

using util::PathFromBytes;
using util::PathToBytes;

namespace {

// The starter list is a few kilobytes; anything far larger is not one.
constexpr qsizetype kStarterLimit = 16 * 1024 * 1024;

bool IsFolder(const QString& path) {
    struct stat st {};
    return ::stat(PathToBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const QString& path) {
    struct stat st {};
    return ::stat(PathToBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Something is there, a dangling link included.
bool Present(const QString& path) {
    struct stat st {};
    return ::lstat(PathToBytes(path).constData(), &st) == 0;
}

// The folder and every missing one above it, as the user's own (0700, as desktops make their
// data folders); one that exists is left as it is.
bool MakeFolders(const QString& path) {
    const QByteArray p = PathToBytes(path);
    for (qsizetype i = 1; i <= p.size(); ++i) {
        if (i < p.size() && p[i] != '/') continue;
        if (::mkdir(p.left(i).constData(), 0700) != 0 && errno != EEXIST) return false;
    }
    return IsFolder(path);
}

bool WriteAll(int fd, const QByteArray& data) {
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

QByteArray ReadSmallFile(const QString& path, bool* ok) {
    *ok = false;
    const int fd = ::open(PathToBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || data.size() + n > kStarterLimit) break;
        if (n == 0) {
            *ok = true;
            break;
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

// Copies from into the new file to: written whole under a temporary name, then linked in under
// its name, which fails when something appeared there meanwhile, so nothing is ever replaced and
// no half-written list is ever seen. The copy is the user's to change (0666 less the umask).
bool CopyIntoNew(const QString& from, const QString& to) {
    bool read = false;
    const QByteArray data = ReadSmallFile(from, &read);
    if (!read) return false;
    QByteArray temp = PathToBytes(to) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    const QByteArray target = PathToBytes(to);
    if (ok && ::link(temp.constData(), target.constData()) != 0) {
        // File systems without links (a FAT stick holding a portable copy): a rename, after one
        // more look that nothing is there.
        const bool noLinks = errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS;
        ok = noLinks && !Present(to) && ::rename(temp.constData(), target.constData()) == 0;
    }
    ::unlink(temp.constData());
    return ok;
}

QString UserDataFolder(const AppFolderEnv& env) {
    // A relative $XDG_DATA_HOME is invalid and ignored, as desktops treat it.
    QString base = env.xdgDataHome;
    if (base.isEmpty() || !base.startsWith(u'/')) base = env.home + "/.local/share";
    return QDir::cleanPath(base + "/velorixa");
}

}  // namespace

QString ProgramFolder(const QString& fallback) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", target, sizeof target);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof target)) return fallback;
    const QByteArray exe(target, n);
    const qsizetype slash = exe.lastIndexOf('/');
    if (slash < 0) return fallback;
    return slash == 0 ? QStringLiteral("/") : PathFromBytes(exe.left(slash));
}

AppFolderEnv SystemAppFolderEnv(const QString& programFolder) {
    AppFolderEnv env;
    env.programFolder = programFolder;
    env.xdgDataHome = PathFromBytes(qgetenv("XDG_DATA_HOME"));
    env.home = PathFromBytes(qgetenv("HOME"));
    if (env.home.isEmpty()) env.home = QDir::homePath();
    env.starterLists << QDir::cleanPath(programFolder + "/../share/velorixa/" + kStationFile);
    env.portable = PortableFolder;
    env.writable = FolderWritable;
    return env;
}

bool PortableFolder(const QString& folder) {
    return IsFile(folder + u'/' + QLatin1String(kPortableMarker));
}

bool FolderWritable(const QString& folder) {
    if (!IsFolder(folder)) return false;
    QByteArray probe = PathToBytes(folder) + "/.velorixa-write-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

AppFolder ChooseAppFolder(const AppFolderEnv& env) {
    AppFolder f;
    const QString program = QDir::cleanPath(env.programFolder);
    if (env.portable && env.portable(program) && env.writable && env.writable(program)) {
        f.path = program;
    } else {
        f.path = UserDataFolder(env);
        f.userData = true;
    }
    f.ready = MakeFolders(f.path);
    const QString stations = f.path + u'/' + QLatin1String(kStationFile);
    // A dangling link counts as the user's own file too: nothing is written through it.
    if (f.ready && !Present(stations)) {
        for (const QString& starter : env.starterLists) {
            if (!IsFile(starter)) continue;
            f.starterCopied = CopyIntoNew(starter, stations);
            break;
        }
    }
    return f;
}

}  // namespace velorixa::desktop
