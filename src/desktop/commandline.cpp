#include "desktop/commandline.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

#include "playback/playrequest.h"

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

// A path or a file:// address as an absolute, clean path; empty for anything else.
QString localPath(const QString& entry, const QString& folder) {
    if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(entry);
        return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
    }
    if (hasScheme(entry)) return {};
    return QDir::cleanPath(QDir(folder).absoluteFilePath(entry));
}

bool isPlaylistFile(const QString& path, bool* pls) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    *pls = suffix == QLatin1String("pls");
    return *pls || suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8");
}

QStringList mp3FilesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.mp3")}, QDir::Files | QDir::Readable,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext())
        files << it.next();
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return files;
}

}  // namespace

QStringList PlaylistEntries(const QString& text, bool pls, const QString& folder) {
    static const QRegularExpression fileKey(QStringLiteral("^File\\d+\\s*=\\s*(.*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList entries;
    for (QString line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
        line = line.trimmed();
        if (pls) {
            const QRegularExpressionMatch m = fileKey.match(line);
            if (!m.hasMatch()) continue;
            line = m.captured(1).trimmed();
        } else if (line.startsWith(u'#')) {
            continue;
        }
        if (line.isEmpty()) continue;
        if (isStreamAddress(line)) {
            entries << line;
        } else if (const QString path = localPath(line, folder); !path.isEmpty()) {
            entries << path;
        }
    }
    return entries;
}

OpenRequest OpenRequestFrom(const QStringList& arguments, const QString& currentFolder) {
    OpenRequest r;
    for (const QString& arg : arguments) {
        if (arg.isEmpty()) continue;
        if (isStreamAddress(arg)) {
            r.items << arg;
            continue;
        }
        if (arg.startsWith(u'-')) {
            r.problems << arg + QStringLiteral(": unknown option");
            continue;
        }
        const QString path = localPath(arg, currentFolder);
        if (path.isEmpty()) {
            r.problems << arg + QStringLiteral(": not a file or a station address");
            continue;
        }
        const QFileInfo info(path);
        if (!info.exists()) {
            r.problems << arg + QStringLiteral(": no such file or folder");
        } else if (info.isDir()) {
            const QStringList files = mp3FilesUnder(path);
            if (files.isEmpty()) r.problems << arg + QStringLiteral(": no MP3 files in it");
            r.items << files;
        } else if (bool pls = false; isPlaylistFile(path, &pls)) {
            QFile f(path);
            QStringList entries;
            if (f.open(QIODevice::ReadOnly))
                entries = PlaylistEntries(QString::fromUtf8(f.readAll()), pls, info.absolutePath());
            if (entries.isEmpty()) r.problems << arg + QStringLiteral(": an empty playlist");
            r.items << entries;
        } else {
            r.items << path;
        }
    }
    return r;
}

}  // namespace velorixa::desktop
