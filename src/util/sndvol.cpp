#include "util/sndvol.h"

#include <QFile>
#include <QProcess>

#include <unistd.h>

#include "util/walkthread.h"

namespace velorixa::util {

namespace {

// The searches look at the worker's results a few times per frame of a 30 Hz screen.
constexpr int kPollMs = 25;

}  // namespace

MixerLauncher::MixerLauncher(std::shared_ptr<FindFlag> flag, QObject* parent)
    : QObject(parent), flag_(std::move(flag)) {
    startProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] { poll(); });
}

MixerLauncher::~MixerLauncher() {
    abandonSearch();
}

void MixerLauncher::RunSndVol() {
    if (searching()) return;
    for (const QString& place : places.fixed) {
        if (TrySndVol(place)) return;
    }
    FindSndVol();
}

bool MixerLauncher::TrySndVol(const QString& path) {
    return !path.isEmpty() && startProgram(path);
}

void MixerLauncher::FindSndVol() {
    const FindFlag::Token token = flag_->start();
    sndVolPath_.clear();
    found_ = std::make_shared<QString>();
    walk_ = std::make_unique<WalkThread>([flag = flag_, token, found = found_, walkRules = rules(),
                                          root = places.searchRoot, name = places.fileName] {
        const auto goesOn = [&] { return flag->goesOn(token); };
        return WalkFolders(root, walkRules, goesOn,
                           [&](const QString& folder, const QStringList& files) {
                               if (!files.contains(name)) return true;
                               const QString path = folder + name;
                               if (access(QFile::encodeName(path).constData(), X_OK) != 0)
                                   return true;
                               if (!goesOn()) return false;
                               *found = path;
                               flag->clear();  // the whole walk ends at its next look at the flag
                               return false;
                           });
    });
    poll_.start();
}

void MixerLauncher::poll() {
    if (!walk_ || !walk_->finished()) return;
    poll_.stop();
    const bool failed = walk_->end() == WalkEnd::Failed;
    walk_.reset();
    flag_->clear();  // also ends a music search running now
    sndVolPath_ = *found_;
    if (failed) emit listingFailed();
    emit searchEnded(TrySndVol(sndVolPath_));
}

void MixerLauncher::abandonSearch() {
    if (!walk_) return;
    poll_.stop();
    flag_->clear();
    walk_.reset();
}

}  // namespace velorixa::util
