#include "levels/levelsettings.h"

#include <QList>

#include <filesystem>

#include "util/fspath.h"
#include "util/readfile.h"
#include "util/textfile.h"

namespace velorixa::levels {

QString LevelSettings::DefaultPath() {
    QString config = util::PathFromBytes(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = util::PathFromBytes(qgetenv("HOME")) + QStringLiteral("/.config");
    return config + QStringLiteral("/velorixa/levels.conf");
}

LevelSettings LevelSettings::Load(const QString& path) {
    LevelSettings s;
    util::ReadOptions options;
    options.maxBytes = 64 * 1024;
    const util::FileRead read = util::ReadRegularFile(path, options);
    if (!read.ok()) return s;
    for (QByteArray line : read.data.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        if (line.left(eq).trimmed() == "even_out") s.evenOut = line.mid(eq + 1).trimmed() == "1";
    }
    return s;
}

bool MakeFolderFor(const QString& path) {
    std::error_code ec;
    const std::filesystem::path file(util::PathToBytes(path).toStdString());
    std::filesystem::create_directories(file.parent_path(), ec);
    return std::filesystem::is_directory(file.parent_path(), ec);
}

bool LevelSettings::save(const QString& path, QString* error) const {
    MakeFolderFor(path);
    return util::SaveWhole(path, evenOut ? "even_out=1\n" : "even_out=0\n", error);
}

}  // namespace velorixa::levels
