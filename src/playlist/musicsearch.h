#pragma once
// The music search: walks a whole folder tree and appends every music file (each playable type
// of util/playable.h, any letter case) to the play list as a full path, in the order found: a
// folder's own files before its subfolders, subfolders depth first in name order
// (util/folderwalk.h has the walk's rules). Folders it cannot read (other users' private
// folders) are passed over without a word, and the temporary and system folders are left out
// (LeftOutSystemFolders).
// Paths are the file system's bytes (util/fspath.h); a path that a list line cannot hold (it
// contains a line break) is skipped and counted, and a search that fills the list stops there
// and says so, so the window can tell the operator what the list does not hold.
//
// The folders are listed on a worker thread, which hands the paths over through a locked queue;
// the list is only touched on the window's thread, a few times per frame, by appending at its
// end, so the operator's own edits of the list during a search are left alone. A stop takes
// exactly the files found before it: the worker checks the flag under the queue's lock before
// it hands over a file, and the stop empties the queue after clearing the flag.
//
// Thread contract: window thread only (the worker is internal).

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include "playlist/playlistmodel.h"
#include "util/folderwalk.h"

namespace velorixa::util {
class WalkThread;
}

namespace velorixa::playlist {

// What the window says after a search or an addition from the browser about what the list does
// not hold: names skipped for a line break, a list that became full, a folder that could not be
// listed. Empty when everything found went in.
QString ListNote(int skippedNames, bool listFull, bool failed);

// The machine's temporary and system folders (/tmp, /var, /usr, /proc, /sys, /run) that a
// search from root leaves out: all of them, except the one root lies in (a search started inside
// one walks what is below its root). Music is not kept there, and other users' temporary files
// are not the operator's music.
QStringList LeftOutSystemFolders(const QString& root);

class MusicSearch : public QObject {
    Q_OBJECT
  public:
    // list: the list the files are appended to; flag: `FlagFind`, which ends the walk.
    MusicSearch(PlaylistModel& list, std::shared_ptr<util::FindFlag> flag,
                QObject* parent = nullptr);
    ~MusicSearch() override;

    // `StartFindMusic`: `FlagFind` raised and the walk of root started (a search still running
    // is stopped first). Returns at once; the walk ends in finished().
    void StartFindMusic(const QString& root);
    // `StopFindMusic`: `FlagFind` cleared, which ends the walk; the
    // files found before the stop are in the list when this returns, and no later ones. Does
    // nothing when no search runs.
    void StopFindMusic();
    // From `StartFindMusic` until finished() (the window's view of the search).
    bool running() const { return running_; }
    // The worker has not returned yet (it ends within one file or folder of a stop).
    bool walking() const;
    // Of the search running or last ended: music files skipped because their path holds a line
    // break, and whether it stopped because the list was full (kMaxLines).
    int skippedNames() const { return skipped_; }
    bool stoppedFull() const { return listFull_; }

    const std::shared_ptr<util::FindFlag>& flag() const { return flag_; }
    // The file-system side of the walk, taken at each start; tests give their own.
    std::function<util::WalkRules()> rules = &util::WalkRules::ForThisSystem;
    // Called on the worker after the n-th file was handed over (n from 1); tests hold the walk
    // there to put a stop between two files.
    std::function<void(int n)> afterFile;

  signals:
    // Lines were appended at the end of the list.
    void linesAdded();
    // The search ended (walked through, stopped, or the list became full: stoppedFull());
    // failed: a folder could not be listed ("Wrong system DLL libraries").
    void finished(bool failed);

  private:
    struct Channel;
    void poll();
    bool drain();
    void finish(bool failed);

    PlaylistModel& list_;
    std::shared_ptr<util::FindFlag> flag_;
    std::shared_ptr<Channel> channel_;
    std::unique_ptr<util::WalkThread> walk_;
    QTimer poll_;
    bool running_ = false;
    int skipped_ = 0;
    bool listFull_ = false;
};

}  // namespace velorixa::playlist
