#include "util/folderwalk.h"

#include <QFile>

#include "util/fspath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

namespace velorixa::util {

namespace {

// Folders of the kernel that look like files but are not, wherever they are mounted from.
const char* const kSkippedFolders[] = {"/proc", "/sys", "/dev", "/run"};

// A mount point as /proc/self/mountinfo writes it: blanks, tabs, newlines and backslashes as
// three octal digits after a backslash.
QByteArray Unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '7') {
            out.append(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

// Access and absence end nothing: such a folder is simply not listed.
bool UnreadableFolder(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case EIO:
        case ENXIO:
        case ENODEV:
        case ESTALE:
        case ENOMEDIUM:
        case ETIMEDOUT:
            return true;
        default:
            return false;
    }
}

struct DevIno {
    dev_t dev;
    ino_t ino;
    bool operator==(const DevIno&) const = default;
};
struct DevInoHash {
    size_t operator()(const DevIno& d) const {
        return std::hash<unsigned long long>()(static_cast<unsigned long long>(d.ino) * 1000003u ^
                                               static_cast<unsigned long long>(d.dev));
    }
};

class Walker {
  public:
    Walker(const WalkRules& rules, const std::function<bool()>& goesOn, const FolderVisitor& visit)
        : rules_(rules), goesOn_(goesOn), visit_(visit) {}

    // False when the whole walk ends (end_ tells why).
    bool walk(const QString& folder, bool root) {
        if (!goesOn_()) return stop(WalkEnd::Stopped);
        const QByteArray path = PathToBytes(folder);
        const int fd = rules_.openFolder(path, root);
        if (fd < 0) return UnreadableFolder(errno) || stop(WalkEnd::Failed);
        struct stat st {};
        if (fstat(fd, &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second) {
            close(fd);
            return true;
        }
        DIR* dir = fdopendir(fd);
        if (!dir) {
            const int error = errno;
            close(fd);
            return UnreadableFolder(error) || stop(WalkEnd::Failed);
        }
        QStringList subfolders, files;
        list(dir, subfolders, files);
        closedir(dir);  // one listing open at a time: closed before the walk goes down
        SortNames(subfolders);
        SortNames(files);
        if (!visit_(folder, files)) return stop(WalkEnd::Stopped);
        for (const QString& name : subfolders) {
            const QString sub = folder + name;
            if (rules_.skips(sub)) continue;
            if (!walk(sub + u'/', false)) return false;
        }
        return true;
    }

    WalkEnd end() const { return end_; }

  private:
    bool stop(WalkEnd end) {
        end_ = end;
        return false;
    }

    // A read error part way keeps what was read: the folder is as readable as it was.
    static void list(DIR* dir, QStringList& subfolders, QStringList& files) {
        const int fd = dirfd(dir);
        while (const dirent* e = readdir(dir)) {
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            unsigned char type = e->d_type;
            struct stat st {};
            if (type == DT_UNKNOWN) {
                if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(st.st_mode)   ? DT_DIR
                       : S_ISREG(st.st_mode) ? DT_REG
                       : S_ISLNK(st.st_mode) ? DT_LNK
                                             : DT_UNKNOWN;
            }
            if (type == DT_LNK) {
                // A link counts as a file when it names a regular file; a link to a folder is
                // never followed.
                if (fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
                type = DT_REG;
            }
            if (type == DT_DIR && name[0] != '.') {
                subfolders.append(PathFromBytes(QByteArray(name)));
            } else if (type == DT_REG) {
                files.append(PathFromBytes(QByteArray(name)));
            }
        }
    }

    const WalkRules& rules_;
    const std::function<bool()>& goesOn_;
    const FolderVisitor& visit_;
    std::unordered_set<DevIno, DevInoHash> visited_;
    WalkEnd end_ = WalkEnd::Done;
};

}  // namespace

WalkRules WalkRules::ForThisSystem() {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    // Read whole at once: the kernel makes the text as it is read.
    return FromMountInfo(table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray());
}

WalkRules WalkRules::FromMountInfo(const QByteArray& table) {
    WalkRules rules;
    // "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw": the fifth field is the
    // mount point, the first after " - " the file-system type.
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size()) continue;
        rules.mounts.insert(PathFromBytes(Unescape(fields[4])), fields[dash + 1]);
    }
    return rules;
}

bool WalkRules::LeftOutType(const QByteArray& type) {
    static const char* const kTypes[] = {
        // the kernel's own
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "pstore", "bpf",
        "debugfs", "tracefs", "configfs", "fusectl", "mqueue", "hugetlbfs", "binfmt_misc",
        "efivarfs", "rpc_pipefs", "nsfs", "selinuxfs", "autofs",
        // over the network: a server that went away hangs every listing
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs", "9p", "davfs",
        "coda", "lustre", "sshfs", "fuse"};
    if (type.startsWith("fuse.")) return true;  // sshfs, rclone, gvfs, ...: may hang or be remote
    for (const char* t : kTypes)
        if (type == t) return true;
    return false;
}

bool WalkRules::skips(const QString& path) const {
    for (const char* s : kSkippedFolders)
        if (path == QLatin1String(s)) return true;
    if (leftOut.contains(path)) return true;
    const auto it = mounts.constFind(path);
    return it != mounts.constEnd() && LeftOutType(*it);
}

int WalkRules::OpenFolder(const QByteArray& path, bool root) {
    // O_NOFOLLOW: a folder swapped for a link between listing and opening is not followed.
    return open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (root ? 0 : O_NOFOLLOW));
}

WalkEnd WalkFolders(const QString& root, const WalkRules& rules,
                    const std::function<bool()>& goesOn, const FolderVisitor& visit) {
    Walker walker(rules, goesOn, visit);
    walker.walk(root.endsWith(u'/') ? root : root + u'/', true);
    return walker.end();
}

void SortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

}  // namespace velorixa::util
