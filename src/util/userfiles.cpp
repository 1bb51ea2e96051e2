#include "util/userfiles.h"

#include <QList>

#include "util/fspath.h"
#include "util/readfile.h"

namespace velorixa::util {

QString UserFolder(const char* xdgVar, const char* homeFallback) {
    QString base = PathFromBytes(qgetenv(xdgVar));
    if (!base.startsWith(u'/'))
        base = PathFromBytes(qgetenv("HOME")) + u'/' + QString::fromLatin1(homeFallback);
    while (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    return base + QStringLiteral("/velorixa");
}

QHash<QByteArray, QByteArray> ReadKeyValues(const QString& path) {
    QHash<QByteArray, QByteArray> out;
    ReadOptions options;
    options.maxBytes = 64 * 1024;
    const FileRead read = ReadRegularFile(path, options);
    if (!read.ok()) return out;
    QByteArray data = read.data;
    data.replace("\r\n", "\n").replace('\r', '\n');
    for (const QByteArray& line : data.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq).trimmed();
        if (!key.isEmpty()) out.insert(key, line.mid(eq + 1).trimmed());
    }
    return out;
}

}  // namespace velorixa::util
