#pragma once
// Where the player keeps its own files ("MemoList.ini", "MemoSett.ini", "NetRadio.ini", the
// sets). A player run from its build folder or a portable folder keeps them beside the program;
// an installed one, whose folder it cannot write, keeps them in the user's data folder
// ($XDG_DATA_HOME/velorixa, by default ~/.local/share/velorixa), made on first start. Either way
// the starter station list installed with the program is copied in when the folder has none, and
// a list the user already has is never replaced.
//
// Thread contract: plain functions; called once at start-up on the GUI thread.

#include <QString>
#include <QStringList>
#include <functional>

namespace velorixa::desktop {

// What the choice looks at, replaceable in tests.
struct AppFolderEnv {
    QString programFolder;  // the executable's folder
    QString xdgDataHome;    // $XDG_DATA_HOME, empty when unset
    QString home;           // $HOME
    // Starter station lists, the first that exists is copied; by default the one installed
    // under PREFIX/share/velorixa beside PREFIX/bin.
    QStringList starterLists;
    // True when files can be made in the folder.
    std::function<bool(const QString& folder)> writable;
};

// The environment of the running program for its executable's folder.
AppFolderEnv SystemAppFolderEnv(const QString& programFolder);

// True when a file can be made in folder: one is made and removed again. A permission check
// alone would call every folder writable for root and miss read-only mounts.
bool FolderWritable(const QString& folder);

struct AppFolder {
    QString path;           // the folder, without a trailing "/"
    bool userData = false;  // the user's data folder rather than the program's
    bool ready = false;     // the folder exists (it was made when it did not)
    bool starterCopied = false;
};

// Chooses the folder (the one place that decides it), makes it when needed and copies the starter
// station list in when the folder has no "NetRadio.ini".
AppFolder ChooseAppFolder(const AppFolderEnv& env);

inline constexpr const char* kStationFile = "NetRadio.ini";

}  // namespace velorixa::desktop
