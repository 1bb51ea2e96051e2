#include "levels/levelsettings.h"

#include <filesystem>

#include "util/fspath.h"
#include "util/textfile.h"
#include "util/userfiles.h"

namespace velorixa::levels {

QString LevelSettings::DefaultPath() {
    return util::UserFolder("XDG_CONFIG_HOME", ".config") + QStringLiteral("/levels.conf");
}

LevelSettings LevelSettings::Load(const QString& path) {
    LevelSettings s;
    s.evenOut = util::ReadKeyValues(path).value("even_out") == "1";
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
