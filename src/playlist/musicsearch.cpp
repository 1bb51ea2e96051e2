#include "playlist/musicsearch.h"

#include <atomic>
#include <mutex>

#include "playlist/browser.h"
#include "util/walkthread.h"

namespace velorixa::playlist {

namespace {

// A few looks per frame: the list grows smoothly and each look stays short.
constexpr int kPollMs = 25;

}  // namespace

// What the worker and the window share for one walk.
struct MusicSearch::Channel {
    std::mutex lock;
    QStringList found;                   // handed over, not yet in the list
    std::atomic<bool> cancelled{false};  // this walk alone ends: the list is full, or the
                                         // search goes away
};

MusicSearch::MusicSearch(PlaylistModel& list, std::shared_ptr<util::FindFlag> flag, QObject* parent)
    : QObject(parent), list_(list), flag_(std::move(flag)) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] { poll(); });
}

MusicSearch::~MusicSearch() {
    if (channel_) channel_->cancelled = true;
}

bool MusicSearch::walking() const {
    return walk_ && !walk_->finished();
}

void MusicSearch::StartFindMusic(const QString& root) {
    if (running_) StopFindMusic();
    const util::FindFlag::Token token = flag_->start();
    channel_ = std::make_shared<Channel>();
    running_ = true;
    // `FindMusicDir` is the walk; `AddMusicFiles` its visitor for one folder.
    auto job = [flag = flag_, token, channel = channel_, walkRules = rules(), root,
                hook = afterFile] {
        int handedOver = 0;
        const auto goesOn = [&] { return flag->goesOn(token) && !channel->cancelled; };
        const auto AddMusicFiles = [&](const QString& folder, const QStringList& files) {
            for (const QString& name : files) {
                if (!MatchesPattern(name, QStringLiteral("*.MP3"))) continue;
                {
                    std::lock_guard<std::mutex> hold(channel->lock);
                    if (!goesOn()) return false;
                    channel->found.append(folder + name);
                }
                if (hook) hook(++handedOver);
            }
            return true;
        };
        return util::WalkFolders(root, walkRules, goesOn, AddMusicFiles);
    };
    walk_ = std::make_unique<util::WalkThread>(std::move(job));
    poll_.start();
}

void MusicSearch::StopFindMusic() {
    if (!running_) return;
    flag_->clear();
    if (drain()) emit linesAdded();
    finish(false);
}

bool MusicSearch::drain() {
    QStringList found;
    {
        std::lock_guard<std::mutex> hold(channel_->lock);
        found.swap(channel_->found);
    }
    int added = 0;
    for (const QString& path : found) {
        if (!list_.append(path)) {
            channel_->cancelled = true;  // the rest of the walk could not be shown either
            break;
        }
        ++added;
    }
    return added > 0;
}

void MusicSearch::poll() {
    if (!running_) return;
    // Read before draining: what the worker handed over before it ended is then in the list.
    const bool ended = walk_->finished();
    if (drain()) emit linesAdded();
    if (ended) finish(walk_->end() == util::WalkEnd::Failed);
}

void MusicSearch::finish(bool failed) {
    poll_.stop();
    running_ = false;
    if (failed) flag_->clear();
    emit finished(failed);
}

}  // namespace velorixa::playlist
