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

QString XdgUserDir(const char* kind) {
    const QByteArray home = qgetenv("HOME");
    QByteArray config = qgetenv("XDG_CONFIG_HOME");
    if (!config.startsWith('/')) config = home + "/.config";
    ReadOptions options;
    options.maxBytes = 64 * 1024;
    const FileRead read = ReadRegularFile(PathFromBytes(config + "/user-dirs.dirs"), options);
    if (!read.ok()) return {};
    const QByteArray key = QByteArray("XDG_") + kind + "_DIR=";
    QByteArray found;
    for (QByteArray line : read.data.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith(key)) continue;  // comments and other kinds
        QByteArray value = line.mid(key.size());
        if (value.size() < 2 || !value.startsWith('"') || !value.endsWith('"')) continue;
        value = value.mid(1, value.size() - 2);
        QByteArray path;
        if (value.startsWith("$HOME")) {
            path = home;
            value = value.mid(5);
        } else if (!value.startsWith('/')) {
            continue;  // neither $HOME nor absolute: not a value this file holds
        }
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            path += value[i];
        }
        found = path;  // as the shell would, the last line of the kind counts
    }
    return PathFromBytes(found);
}

}  // namespace velorixa::util
