#include "perform/memosett.h"

#include <QByteArray>

#include "util/fspath.h"
#include "util/lines.h"
#include "util/readfile.h"
#include "util/textfile.h"

namespace velorixa::perform {

QString MemoSettPath(const QString& appPath) {
    return appPath + QStringLiteral("MemoSett.ini");
}

std::array<QString, kSetSlots> ReadMemoSett(const QString& path) {
    std::array<QString, kSetSlots> names;
    util::ReadOptions options;
    options.maxBytes = kMemoSettMaxBytes;
    const util::FileRead file = util::ReadRegularFile(path, options);
    return file.ok() ? ParseMemoSett(file.data) : names;
}

std::array<QString, kSetSlots> ParseMemoSett(QByteArrayView data) {
    std::array<QString, kSetSlots> names;
    const util::Lines lines = util::SplitLines(data, kSetSlots);
    for (qsizetype i = 0; i < lines.lines.size(); ++i)
        names[i] = util::PathFromBytes(lines.lines[i]);
    return names;
}

bool WriteMemoSett(const QString& path, const std::array<QString, kSetSlots>& names,
                   QString* error) {
    QByteArray data;
    // Reading skips one byte-order mark: a first name that starts with one keeps it.
    if (names[0].startsWith(QChar(0xFEFF))) data.append("\xEF\xBB\xBF");
    for (const QString& name : names) {
        if (!name.contains(QChar(u'\r')) && !name.contains(QChar(u'\n')))
            data.append(util::PathToBytes(name));
        data.append("\r\n");
    }
    return util::SaveWhole(path, data, error);
}

}  // namespace velorixa::perform
