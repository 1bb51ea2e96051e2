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

QString NetMetaText(const QString& meta) {
    QString title, addr;
    const qsizetype t = meta.indexOf(QLatin1String("tle='"), 0, Qt::CaseInsensitive);
    if (t >= 0) {
        const qsizetype ts = t + 5;
        const qsizetype te = meta.indexOf(QLatin1String("';"), ts);
        if (te >= 0) {
            title = meta.mid(ts, te - ts);
            const qsizetype u = meta.indexOf(QLatin1String("url='"), te, Qt::CaseInsensitive);
            if (u >= 0) {
                const qsizetype us = u + 5;
                // The closing mark is looked for past the address's first five characters, so
                // an address always keeps at least those.
                const qsizetype ue = meta.indexOf(QLatin1String("';"), us + 5);
                if (ue >= 0) {
                    addr = meta.mid(us, ue - us);
                    const qsizetype slashes = addr.indexOf(QLatin1String("//"));
                    if (slashes >= 0) {
                        const qsizetype path = addr.indexOf(QLatin1Char('/'), slashes + 2);
                        if (path >= 0) addr.truncate(path);
                    }
                }
            }
        }
    }
    if (title.isEmpty() && addr.isEmpty()) return QString::fromLatin1(kNoMetaText);
    return title + QStringLiteral("   ") + addr;
}

}  // namespace velorixa::netradio
