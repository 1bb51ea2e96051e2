#include "desktop/commandline.h"

#include <QDir>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "playback/playrequest.h"
#include "util/folderwalk.h"
#include "util/fspath.h"
#include "util/playlistfile.h"
#include "util/readfile.h"

namespace velorixa::desktop {

namespace {

bool isStreamAddress(const QString& s) {
    return playback::ClassifyName(s) == playback::PlayKind::Stream;
}

// "scheme:" with a scheme of letters, digits, "+", "-", "." (and at least two characters, so
// nothing is mistaken for a path).
bool hasScheme(const QString& s) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return re.match(s).hasMatch();
}

// The path of a file:// address, its %-escapes taken as bytes; empty for another host.
QString fileUrlPath(const QString& entry) {
    QString rest = entry.mid(5);  // after "file:"
    if (rest.startsWith(QLatin1String("//"))) {
        const qsizetype slash = rest.indexOf(u'/', 2);
        const QString host = rest.mid(2, slash < 0 ? -1 : slash - 2);
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
            return {};
        rest = slash < 0 ? QString() : rest.mid(slash);
    }
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0) rest.truncate(end);
    if (!rest.startsWith(u'/')) return {};
    return util::PathFromBytes(QByteArray::fromPercentEncoding(util::PathToBytes(rest)));
}

// A path or a file:// address as an absolute, clean path; empty for anything else.
QString localPath(const QString& entry, const QString& folder) {
    if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QString path = fileUrlPath(entry);
        return path.isEmpty() ? QString() : QDir::cleanPath(path);
    }
    if (hasScheme(entry)) return {};
    if (entry.startsWith(u'/')) return QDir::cleanPath(entry);
    return QDir::cleanPath(folder + u'/' + entry);
}

// A playlist's entries as items: addresses as they are, paths absolute; anything else left out.
QStringList resolved(const QStringList& entries, const QString& folder) {
    QStringList items;
    for (const QString& entry : entries) {
        if (isStreamAddress(entry)) {
            items << entry;
        } else if (const QString path = localPath(entry, folder); !path.isEmpty()) {
            items << path;
        }
    }
    return items;
}

bool isMp3Name(const QString& name) {
    return name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive);
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
                if (!isMp3Name(name)) continue;
                if (c.full()) {
                    ++c.leftOut;  // counted, not walked on for: the walk ends here
                    return false;
                }
                c.add(folder + name);
            }
            return !goesOn || goesOn();
        });
    if (c.r.items.size() == before && c.leftOut == leftBefore)
        c.r.problems << arg + QStringLiteral(": no MP3 files in it");
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
    const QStringList entries = resolved(read.entries, folder);
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
