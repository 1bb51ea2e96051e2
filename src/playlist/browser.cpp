#include "playlist/browser.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

#include "playlist/listfile.h"
#include "util/folderwalk.h"

namespace velorixa::playlist {

using util::SortNames;

namespace {

bool IsPseudoFileSystem(const QByteArray& type) {
    static const char* const kPseudo[] = {
        "proc",      "sysfs",  "devtmpfs",    "devpts",   "cgroup",     "cgroup2", "securityfs",
        "pstore",    "bpf",    "debugfs",     "tracefs",  "configfs",   "fusectl", "mqueue",
        "hugetlbfs", "autofs", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",    "ramfs"};
    for (const char* p : kPseudo)
        if (type == p) return true;
    return false;
}

}  // namespace

QString PatternText(BrowserPattern pattern) {
    return pattern == BrowserPattern::Music ? QStringLiteral("*.MP3") : QStringLiteral("*.PLF");
}

bool MatchesPattern(const QString& fileName, const QString& pattern) {
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

QStringList ListDrives() {
    QStringList roots;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady()) continue;
        const QString root = s.rootPath();
        if (root == QLatin1String("/") || IsPseudoFileSystem(s.fileSystemType())) continue;
        if (!roots.contains(root)) roots.append(root);
    }
    SortNames(roots);
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString DriveOf(const QString& path) {
    const QStorageInfo s(path);
    return s.isValid() && !s.rootPath().isEmpty() ? s.rootPath() : QStringLiteral("/");
}

QStringList ListFolders(const QString& folder) {
    QDir dir(folder);
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    SortNames(names);
    return names;
}

QStringList ListFiles(const QString& folder, const QString& pattern) {
    QDir dir(folder);
    const QStringList all = dir.entryList(QDir::Files, QDir::NoSort);
    QStringList names;
    for (const QString& n : all)
        if (MatchesPattern(n, pattern)) names.append(n);
    SortNames(names);
    return names;
}

QString FolderWithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString PlaylistFilePath(const QString& folder, const QString& name) {
    return FolderWithSlash(folder) + name + QStringLiteral(".PLF");
}

int AddBrowserSelection(PlaylistModel& list, const QString& folder, const PlaylistModel& fileTop,
                        BrowserPattern pattern) {
    const QString base = FolderWithSlash(folder);
    int added = 0;
    for (int i = 0; i < fileTop.count(); ++i) {
        if (!fileTop.isSelected(i)) continue;
        if (list.isFull()) break;
        if (pattern == BrowserPattern::Music) {
            if (list.append(base + fileTop.text(i))) ++added;
        } else {
            added += LoadListFile(base + fileTop.text(i), list);
        }
    }
    return added;
}

}  // namespace velorixa::playlist
