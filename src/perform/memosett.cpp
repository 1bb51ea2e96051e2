#include "perform/memosett.h"

#include "util/textfile.h"

#include <QByteArray>
#include <QList>

#include "perform/setfile.h"

namespace velorixa::perform {

QString MemoSettPath(const QString& appPath) {
    return appPath + QStringLiteral("MemoSett.ini");
}

std::array<QString, kSetSlots> ReadMemoSett(const QString& path) {
    std::array<QString, kSetSlots> names;
    QByteArray data;
    if (textfile::ReadWholeFile(path, kMemoSettMaxBytes, &data) != textfile::Raw::Ok) return names;
    const QList<QByteArray> lines = textfile::SplitLines(data, kSetSlots);
    for (qsizetype i = 0; i < lines.size(); ++i)
        names[i] = util::DecodeTextLine(lines[i]);
    return names;
}

bool WriteMemoSett(const QString& path, const std::array<QString, kSetSlots>& names,
                   QString* error) {
    QByteArray data;
    for (const QString& name : names) {
        if (!name.contains(QChar(u'\r')) && !name.contains(QChar(u'\n')))
            data.append(name.toUtf8());
        data.append("\r\n");
    }
    return util::SaveWhole(path, data, error);
}

}  // namespace velorixa::perform
