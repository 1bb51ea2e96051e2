#pragma once
// Where the player keeps its own files ("MemoList.ini", "MemoSett.ini", "NetRadio.ini", the
// sets). An installed player keeps them in the user's data folder ($XDG_DATA_HOME/velorixa, by
// default ~/.local/share/velorixa), made on first start, even where it could write beside itself
// (an install into ~/.local puts the program into the user's own ~/.local/bin, which is no place
// for its files). A portable copy keeps them beside the program: its folder holds the marker
// file "velorixa.portable", which the build also writes beside the program it makes, so a player
// run from the build tree keeps its files there. Either way the starter station list installed
// with the program is copied in when the folder has none; a folder that exists and a list the
// user already has are never replaced.
//
// Paths are the file system's bytes (util/fspath.h) from the environment to the folder made.
//
// Thread contract: plain functions; called once at start-up on the GUI thread.

#include <QString>
#include <QStringList>
#include <functional>

namespace velorixa::desktop {

// The marker that makes the program's folder a portable copy's (any content, even empty).
inline constexpr const char* kPortableMarker = "velorixa.portable";

// What the choice looks at, replaceable in tests.
struct AppFolderEnv {
    QString programFolder;  // the executable's folder
    QString xdgDataHome;    // $XDG_DATA_HOME, empty when unset
    QString home;           // $HOME
    // Starter station lists, the first that exists is copied; by default the one installed
    // under PREFIX/share/velorixa beside PREFIX/bin.
    QStringList starterLists;
    // True when the folder is a portable copy's (it holds kPortableMarker).
    std::function<bool(const QString& folder)> portable;
    // True when files can be made in the folder.
    std::function<bool(const QString& folder)> writable;
};

// The folder of the running executable, byte for byte (/proc/self/exe); fallback when it cannot
// be read.
QString ProgramFolder(const QString& fallback);

// The environment of the running program for its executable's folder.
AppFolderEnv SystemAppFolderEnv(const QString& programFolder);

// The folder holds the portable marker (a file, or a link to one).
bool PortableFolder(const QString& folder);

// True when a file can be made in folder: one is made and removed again. A permission check
// alone would call every folder writable for root and miss read-only mounts.
bool FolderWritable(const QString& folder);

struct AppFolder {
    QString path;           // the folder, without a trailing "/"
    bool userData = false;  // the user's data folder rather than the program's
    bool ready = false;     // the folder exists (it was made when it did not)
    bool starterCopied = false;
};

// Chooses the folder (the one place that decides it): the program's folder when it is a portable
// copy's and writable, else the user's data folder. Makes it when needed and copies the starter
// station list in when the folder has no "NetRadio.ini".
AppFolder ChooseAppFolder(const AppFolderEnv& env);

inline constexpr const char* kStationFile = "NetRadio.ini";

}  // namespace velorixa::desktop
