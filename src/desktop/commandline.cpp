#include "desktop/commandline.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "playback/playrequest.h"
#include "util/folderwalk.h"
#include "util/fspath.h"
#include "util/playable.h"
#include "util/playlistfile.h"
#include "util/readfile.h"

namespace velorixa::desktop {

namespace {

bool isStreamAddress(const QString& s) {
    return playback::ClassifyName(s) == playback::PlayKind::Stream;
}

// A path or a file:// address as an absolute, clean path; empty for anything else.
QString localPath(const QString& entry, const QString& folder) {
    if (isStreamAddress(entry)) return {};
    return util::ResolvePlaylistEntry(entry, folder);
}

// Collects items up to kMaxOpenItems and counts what lies past them.
struct Collector {
    OpenRequest r;
    int leftOut = 0;
    bool full() const { return r.items.size() >= kMaxOpenItems; }
    void add(const QString& item) {
        if (full())
            ++leftOut;
        else
            r.items << item;
    }
};

void addFolder(Collector& c, const QString& arg, const QString& path,
               const std::function<bool()>& goesOn) {
    const qsizetype before = c.r.items.size();
    const int leftBefore = c.leftOut;
    util::WalkFolders(
        path, util::WalkRules::ForThisSystem(), [&] { return !goesOn || goesOn(); },
        [&](const QString& folder, const QStringList& files) {
            for (const QString& name : files) {
                if (!util::IsPlayableName(name)) continue;
                if (c.full()) {
                    ++c.leftOut;  // counted, not walked on for: the walk ends here
                    return false;
                }
                c.add(folder + name);
            }
            return !goesOn || goesOn();
        });
    if (c.r.items.size() == before && c.leftOut == leftBefore)
        c.r.problems << arg + QStringLiteral(": no music files in it");
}

void addPlaylist(Collector& c, const QString& arg, const QString& path, util::PlaylistFormat format,
                 const std::function<bool()>& goesOn) {
    util::ReadOptions options;
    options.maxBytes = util::kMaxPlaylistBytes;
    options.goesOn = goesOn;
    const util::FileRead file = util::ReadRegularFile(path, options);
    if (!file.ok()) {
        c.r.problems << arg + QStringLiteral(": ") + file.reason;
        return;
    }
    const QString folder = path.left(path.lastIndexOf(u'/'));
    const util::PlaylistRead read = util::ParsePlaylist(file.data, format);
    const QStringList entries = util::ResolvePlaylistEntries(read.entries, folder);
    if (read.tooLong > 0)
        c.r.problems << arg +
                            (read.tooLong == 1 ? QStringLiteral(": 1 entry")
                                               : QStringLiteral(": %1 entries").arg(read.tooLong)) +
                            QStringLiteral(" longer than %1 %2 left out")
                                .arg(util::SizeText(util::kMaxEntryBytes),
                                     read.tooLong == 1 ? QStringLiteral("was")
                                                       : QStringLiteral("were"));
    if (entries.isEmpty() && read.leftOut == 0) {
        if (read.tooLong == 0) c.r.problems << arg + QStringLiteral(": an empty playlist");
        return;
    }
    for (const QString& e : entries)
        c.add(e);
    c.leftOut += read.leftOut;
}

}  // namespace

OpenRequest OpenRequestFrom(const QStringList& arguments, const QString& currentFolder,
                            const std::function<bool()>& goesOn) {
    Collector c;
    for (const QString& arg : arguments) {
        if (goesOn && !goesOn()) break;
        if (arg.isEmpty()) continue;
        if (isStreamAddress(arg)) {
            c.add(arg);
            continue;
        }
        if (arg.startsWith(u'-')) {
            c.r.problems << arg + QStringLiteral(": unknown option");
            continue;
        }
        const QString path = localPath(arg, currentFolder);
        if (path.isEmpty()) {
            c.r.problems << arg + QStringLiteral(": not a file or a station address");
            continue;
        }
        struct stat st {};
        if (::stat(util::PathToBytes(path).constData(), &st) != 0) {
            c.r.problems << arg + QStringLiteral(": no such file or folder");
        } else if (S_ISDIR(st.st_mode)) {
            addFolder(c, arg, path, goesOn);
        } else if (const auto format = util::PlaylistFormatOfName(path)) {
            addPlaylist(c, arg, path, *format, goesOn);
        } else {
            c.add(path);
        }
    }
    if (c.leftOut > 0)
        c.r.problems << QStringLiteral("%1 items past %2 were left out (a list holds %2)")
                            .arg(c.leftOut)
                            .arg(kMaxOpenItems);
    // The problems name arguments as people read them.
    for (QString& p : c.r.problems)
        p = util::PathForDisplay(p);
    return std::move(c.r);
}

QString CurrentFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return QStringLiteral("/");
    const QString folder = util::PathFromBytes(QByteArray(cwd));
    ::free(cwd);
    return folder;
}

QStringList ArgumentsFrom(int argc, const char* const* argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << util::PathFromBytes(QByteArray(argv[i]));
    return args;
}

}  // namespace velorixa::desktop
