#pragma once
// The levels option as kept between runs: one small text file in the user's configuration
// folder ($XDG_CONFIG_HOME/velorixa/levels.conf, "even_out=1"), written whole and atomically.
//
// Thread contract: plain value; Load and save on any one thread at a time.

#include <QString>

namespace velorixa::levels {

struct LevelSettings {
    bool evenOut = false;

    static QString DefaultPath();
    // A missing or unreadable file gives the defaults.
    static LevelSettings Load(const QString& path);
    bool save(const QString& path, QString* error) const;
};

// Makes the folder a file at path goes into (with the folders above it); true when it exists.
bool MakeFolderFor(const QString& path);

}  // namespace velorixa::levels
