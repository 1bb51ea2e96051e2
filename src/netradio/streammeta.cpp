#include "netradio/streammeta.h"

#include <cstring>

#include "audio/player.h"

namespace velorixa::netradio {

QStringList HeaderLines(const char* block) {
    QStringList lines;
    if (!block) return lines;
    for (const char* p = block; *p; p += std::strlen(p) + 1)
        lines << PLAYER::CStrToText(p);
    return lines;
}

std::optional<QString> BitRateText(const QStringList& headerLines) {
    for (const QString& line : headerLines) {
        if (!line.contains(QLatin1String("icy-br:"))) continue;
        QString value = line.mid(7);
        value.remove(QLatin1Char(' '));
        return QStringLiteral("bitrate ") + value;
    }
    return std::nullopt;
}

QString NetMetaText(const playback::StreamMeta& meta) {
    if (meta.title.isEmpty()) return QString::fromLatin1(kNoMetaText);
    QString addr = meta.url;
    const qsizetype slashes = addr.indexOf(QLatin1String("//"));
    if (slashes >= 0) {
        const qsizetype path = addr.indexOf(QLatin1Char('/'), slashes + 2);
        if (path >= 0) addr.truncate(path);
    }
    return meta.title + QStringLiteral("   ") + addr;
}

}  // namespace velorixa::netradio
