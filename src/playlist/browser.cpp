#include "playlist/browser.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "playlist/listfile.h"
#include "util/folderwalk.h"
#include "util/fspath.h"
#include "util/playable.h"
#include "util/userfiles.h"

namespace velorixa::playlist {

using util::PathFromBytes;
using util::PathToBytes;
using util::SortNames;

namespace {

bool IsPseudoFileSystem(const QByteArray& type) {
    static const char* const kPseudo[] = {
        "proc",       "sysfs",  "devtmpfs",  "devpts",  "cgroup",      "cgroup2",
        "securityfs", "pstore", "bpf",       "debugfs", "tracefs",     "configfs",
        "fusectl",    "mqueue", "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs",
        "rpc_pipefs", "nsfs",   "ramfs",     "rootfs"};
    for (const char* p : kPseudo)
        if (type == p) return true;
    return false;
}

// The visible entries of folder read with readdir, so every name comes as the file system's
// bytes (a name that is not UTF-8 is listed like any other). Links count as what they name;
// entries whose name begins with "." are left out.
void ListEntries(const QString& folder, QStringList* folders, QStringList* files) {
    const QByteArray path = PathToBytes(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.constData()), closedir);
    if (!dir) return;
    const int fd = dirfd(dir.get());
    while (const dirent* e = readdir(dir.get())) {
        if (e->d_name[0] == '.') continue;
        unsigned char type = e->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st {};
            if (fstatat(fd, e->d_name, &st, 0) != 0) continue;  // a dangling link names nothing
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR && folders) folders->append(PathFromBytes(QByteArray(e->d_name)));
        if (type == DT_REG && files) files->append(PathFromBytes(QByteArray(e->d_name)));
    }
}

// Mounts of the system's own below these folders (/dev/shm, /run/user/..., /sys/fs/cgroup) are
// no drives to browse.
bool SystemMount(const QString& root) {
    for (const char* top : {"/dev", "/proc", "/sys", "/run", "/var/run", "/var/lock"})
        if (root == QLatin1String(top) || root.startsWith(QLatin1String(top) + u'/')) return true;
    return false;
}

// path lies in the file system mounted at root.
bool UnderRoot(const QString& path, const QString& root) {
    if (root == QLatin1String("/")) return path.startsWith(u'/');
    return path.startsWith(root) && (path.size() == root.size() || path.at(root.size()) == u'/');
}

}  // namespace

QString PatternText(BrowserPattern pattern) {
    QStringList patterns;
    if (pattern == BrowserPattern::Music) {
        for (const util::FileType& t : util::kPlayableTypes)
            patterns << QStringLiteral("*.") + QLatin1String(t.extension);
    } else {
        for (const util::FileType& t : util::kListTypes)
            patterns << QStringLiteral("*.") + QLatin1String(t.extension);
    }
    return patterns.join(u';');
}

namespace {

bool matchesOne(QStringView fileName, QStringView pattern) {
    // Classic wildcard walk with one back-track point: linear for the one-star patterns used
    // here, and no regular expression to build for every name of a large folder.
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    auto same = [](QChar a, QChar b) { return a == b || a.toCaseFolded() == b.toCaseFolded(); };
    while (n < fileName.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], fileName[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchesPattern(const QString& fileName, const QString& pattern) {
    for (const QStringView one : QStringView(pattern).tokenize(u';'))
        if (matchesOne(fileName, one)) return true;
    return false;
}

QStringList ListDrives() {
    // The mount table as the folder walk reads it: mount points as the file system's bytes.
    const util::WalkRules table = util::WalkRules::ForThisSystem();
    QStringList roots;
    for (auto it = table.mounts.constBegin(); it != table.mounts.constEnd(); ++it) {
        const QString& root = it.key();
        if (root.isEmpty() || root == QLatin1String("/") || IsPseudoFileSystem(it.value()) ||
            SystemMount(root))
            continue;
        // Not ready (statvfs fails), holding nothing (a size of 0 is a pseudo file system), or a
        // single file mounted over another (a container's /etc/hosts).
        const QByteArray path = PathToBytes(root);
        struct statvfs fs {};
        struct stat st {};
        if (statvfs(path.constData(), &fs) != 0 || fs.f_blocks == 0 ||
            stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        roots.append(root);
    }
    SortNames(roots);
    roots.removeDuplicates();
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString DriveOf(const QString& path) {
    QString best = QStringLiteral("/");
    for (const QString& root : ListDrives())
        if (root.size() > best.size() && UnderRoot(path, root)) best = root;
    return best;
}

QString DriveOf(const QString& path, const QStringList& roots) {
    QString best = QStringLiteral("/");
    for (const QString& root : roots) {
        const QString r = root.size() > 1 && root.endsWith(u'/') ? root.chopped(1) : root;
        if (r.size() > best.size() && UnderRoot(path, r)) best = root;
    }
    return best;
}

namespace {

bool IsFolder(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && stat(PathToBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// path without a trailing "/" (a root stays "/").
QString WithoutSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

}  // namespace

QString HomeFolder() {
    const QString home = WithoutSlash(PathFromBytes(qgetenv("HOME")));
    return home.startsWith(u'/') && IsFolder(home) ? home : QString();
}

QString UserMusicFolder(const QString& home) {
    if (home.isEmpty()) return {};
    const QString named = WithoutSlash(util::XdgUserDir("MUSIC"));
    if (named.startsWith(u'/') && named != home && IsFolder(named)) return named;
    const QString fallback = home + QStringLiteral("/Music");
    return IsFolder(fallback) ? fallback : QString();
}

QStringList SearchRoots(const QString& home, const QString& music, const QStringList& drives) {
    QStringList roots;
    for (const QString& r : {home, music})
        if (!r.isEmpty()) roots.append(r);
    for (const QString& d : drives)
        roots.append(d);
    roots.removeDuplicates();
    return roots;
}

QStringList ListFolders(const QString& folder) {
    QStringList names;
    ListEntries(folder, &names, nullptr);
    SortNames(names);
    return names;
}

QStringList ListFiles(const QString& folder, const QString& pattern) {
    QStringList all, names;
    ListEntries(folder, nullptr, &all);
    for (const QString& n : all)
        if (MatchesPattern(n, pattern)) names.append(n);
    SortNames(names);
    return names;
}

bool CanBrowse(const QString& folder) {
    const QByteArray path = PathToBytes(folder);
    struct stat st {};
    return stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(path.constData(), R_OK | X_OK) == 0;
}

QString AbsoluteFolder(const QString& folder) {
    if (folder.startsWith(u'/')) return QDir::cleanPath(folder);
    return QDir::cleanPath(FolderWithSlash(CurrentFolder()) + folder);
}

QString ParentFolder(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    const qsizetype slash = clean.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : clean.left(slash);
}

QString CurrentFolder() {
    // getcwd rather than QDir::currentPath, which would replace bytes that are not UTF-8.
    std::unique_ptr<char, void (*)(void*)> cwd(getcwd(nullptr, 0), std::free);
    return cwd ? PathFromBytes(QByteArray(cwd.get())) : QStringLiteral("/");
}

bool BreaksListLine(const QString& path) {
    return path.contains(u'\n') || path.contains(u'\r');
}

QString FolderWithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

SaveTarget ListSaveTarget(const QString& folder, const QString& name) {
    if (name.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive) ||
        name.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
        return {FolderWithSlash(folder) + name, true};
    // The name as typed: ".PLF" is appended even to a name that already ends in it.
    return {FolderWithSlash(folder) + name + QStringLiteral(".PLF"), false};
}

int AddBrowserSelection(PlaylistModel& list, const QString& folder, const PlaylistModel& fileTop,
                        BrowserPattern pattern, int* skipped, int* hlsLists) {
    const QString base = FolderWithSlash(folder);
    int added = 0;
    for (int i = 0; i < fileTop.count(); ++i) {
        if (!fileTop.isSelected(i)) continue;
        if (list.isFull()) break;
        const QString path = base + fileTop.text(i);
        if (pattern == BrowserPattern::Music) {
            if (BreaksListLine(path)) {
                if (skipped) ++*skipped;
            } else if (list.append(path)) {
                ++added;
            }
        } else {
            PlaylistLoad load;
            added += LoadAnyListFile(path, list, &load);
            if (load.hls && hlsLists) ++*hlsLists;
            if (skipped) *skipped += load.leftOut;
        }
    }
    return added;
}

}  // namespace velorixa::playlist
