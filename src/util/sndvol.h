#pragma once
// The mixer launcher behind `CmdSndVolExe`: starts the desktop's volume mixer, trying a few fixed
// places first, then searching the whole file tree for it. The search is a folder walk on a
// worker thread (util/folderwalk.h) sharing `FlagFind` with the music search, so the end of
// either ends the other.
//
// Thread contract: window thread only; the walk itself runs on its worker.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include "util/folderwalk.h"

namespace velorixa::util {

class WalkThread;

inline constexpr const char* kSndVolNotFoundText = "File pavucontrol not found";

// Where the mixer is looked for.
struct SndVolPlaces {
    QStringList fixed = {QStringLiteral("/usr/bin/pavucontrol"),
                         QStringLiteral("/usr/local/bin/pavucontrol"),
                         QStringLiteral("/usr/bin/pwvucontrol")};
    QString searchRoot = QStringLiteral("/");
    QString fileName = QStringLiteral("pavucontrol");
};

class MixerLauncher : public QObject {
    Q_OBJECT
  public:
    explicit MixerLauncher(std::shared_ptr<FindFlag> flag, QObject* parent = nullptr);
    ~MixerLauncher() override;

    // `RunSndVol`: the fixed places in order, the first start that succeeds ends it; then the
    // search, which ends in searchEnded(). A click while the search runs does nothing.
    void RunSndVol();
    // `TrySndVol`: starts the program at path, detached; false when it could not be started
    // (a missing file, an empty path included).
    bool TrySndVol(const QString& path);
    // `FindSndVol`: `FlagFind` raised, `SndVolPath` emptied, the walk from the search root
    // started; the first executable file of the mixer's name in walk order wins.
    void FindSndVol();
    // Ends a running search without starting or reporting anything (the window is closing).
    void abandonSearch();
    bool searching() const { return walk_ != nullptr; }
    // `SndVolPath`: what the last search found, empty when nothing.
    const QString& SndVolPath() const { return sndVolPath_; }

    SndVolPlaces places;
    // Starts a program detached; tests replace it.
    std::function<bool(const QString& program)> startProgram;
    // The file-system side of the walk; tests give their own.
    std::function<WalkRules()> rules = &WalkRules::ForThisSystem;

  signals:
    // The search ended: started tells whether the found mixer was started. When it was not,
    // "File pavucontrol not found" is to be shown; listingFailed() came first when a folder
    // could not be listed.
    void searchEnded(bool started);
    void listingFailed();

  private:
    void poll();

    std::shared_ptr<FindFlag> flag_;
    std::shared_ptr<QString> found_;  // written by the worker, read after it finished
    std::unique_ptr<WalkThread> walk_;
    QString sndVolPath_;
    QTimer poll_;
};

}  // namespace velorixa::util
