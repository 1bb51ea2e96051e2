#include "util/playlistfile.h"

#include <QDir>
#include <QRegularExpression>

#include "util/fspath.h"
#include "util/lines.h"

namespace velorixa::util {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView s) {
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a "FileN=" line, or nothing.
std::optional<QByteArrayView> plsFileValue(QByteArrayView line) {
    if (line.size() < 5 || QByteArrayView(line.first(4)).compare("file", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    qsizetype i = 4;
    if (!isDigit(line[i])) return std::nullopt;
    while (i < line.size() && isDigit(line[i]))
        ++i;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i >= line.size() || line[i] != '=') return std::nullopt;
    return trimmed(line.sliced(i + 1));
}

}  // namespace

PlaylistRead ParsePlaylist(QByteArrayView text, PlaylistFormat format, int maxEntries) {
    PlaylistRead out;
    LineSplitter lines(text);
    QByteArrayView line;
    while (lines.next(&line)) {
        QByteArrayView entry = trimmed(line);
        if (format == PlaylistFormat::Pls) {
            const auto value = plsFileValue(entry);
            if (!value) continue;
            entry = *value;
        } else if (entry.startsWith('#')) {
            continue;
        }
        if (entry.isEmpty()) continue;
        if (entry.size() > kMaxEntryBytes) {
            ++out.tooLong;
        } else if (out.entries.size() >= maxEntries) {
            ++out.leftOut;
        } else {
            out.entries.append(PathFromBytes(entry.toByteArray()));
        }
    }
    return out;
}

std::optional<PlaylistFormat> PlaylistFormatOfName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.indexOf(u'/', dot) >= 0) return std::nullopt;
    const QStringView suffix = QStringView(name).sliced(dot + 1);
    if (suffix.compare(u"pls", Qt::CaseInsensitive) == 0) return PlaylistFormat::Pls;
    if (suffix.compare(u"m3u", Qt::CaseInsensitive) == 0 ||
        suffix.compare(u"m3u8", Qt::CaseInsensitive) == 0)
        return PlaylistFormat::M3u;
    return std::nullopt;
}

bool IsHlsPlaylist(QByteArrayView text) {
    LineSplitter lines(text);
    QByteArrayView line;
    while (lines.next(&line))
        if (trimmed(line).startsWith("#EXT-X-")) return true;
    return false;
}

namespace {

bool isStationAddress(const QString& s) {
    return s.startsWith(QLatin1String("http://")) || s.startsWith(QLatin1String("https://")) ||
           s.startsWith(QLatin1String("ftp://"));
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
    return PathFromBytes(QByteArray::fromPercentEncoding(PathToBytes(rest)));
}

}  // namespace

QString ResolvePlaylistEntry(const QString& entry, const QString& folder) {
    if (isStationAddress(entry)) return entry;
    if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QString path = fileUrlPath(entry);
        return path.isEmpty() ? QString() : QDir::cleanPath(path);
    }
    if (hasScheme(entry)) return {};
    if (entry.startsWith(u'/')) return QDir::cleanPath(entry);
    return QDir::cleanPath(folder + u'/' + entry);
}

QStringList ResolvePlaylistEntries(const QStringList& entries, const QString& folder) {
    QStringList items;
    for (const QString& entry : entries)
        if (QString item = ResolvePlaylistEntry(entry, folder); !item.isEmpty())
            items << std::move(item);
    return items;
}

PlaylistFormat PlaylistFormatOfText(QByteArrayView text) {
    LineSplitter lines(text);
    QByteArrayView line;
    while (lines.next(&line)) {
        const QByteArrayView t = trimmed(line);
        if (t.isEmpty()) continue;
        return t.compare("[playlist]", Qt::CaseInsensitive) == 0 ? PlaylistFormat::Pls
                                                                 : PlaylistFormat::M3u;
    }
    return PlaylistFormat::M3u;
}

}  // namespace velorixa::util
