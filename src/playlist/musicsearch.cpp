#include "playlist/musicsearch.h"

#include <atomic>
#include <mutex>

#include "playlist/browser.h"
#include "util/playable.h"
#include "util/walkthread.h"

namespace velorixa::playlist {

namespace {

// A few looks per frame: the list grows smoothly and each look stays short.
constexpr int kPollMs = 25;

}  // namespace

QString ListNote(int skippedNames, bool listFull, bool failed) {
    QStringList parts;
    if (failed) parts << QStringLiteral("Wrong system DLL libraries");
    if (listFull)
        parts << QStringLiteral("Search stopped: the list is full (%1 lines).")
                     .arg(PlaylistModel::kMaxLines);
    if (skippedNames == 1)
        parts << QStringLiteral("1 name with a line break skipped: a list line cannot hold it.");
    else if (skippedNames > 1)
        parts << QStringLiteral("%1 names with a line break skipped: a list line cannot hold them.")
                     .arg(skippedNames);
    return parts.join(u'\n');
}

QStringList LeftOutSystemFolders(const QString& root) {
    static const char* const kFolders[] = {"/tmp", "/var", "/usr", "/proc", "/sys", "/run"};
    QStringList out;
    for (const char* f : kFolders) {
        const QString folder = QLatin1String(f);
        if (root == folder || root.startsWith(folder + u'/')) continue;
        out.append(folder);
    }
    return out;
}

// What the worker and the window share for one walk.
struct MusicSearch::Channel {
    std::mutex lock;
    QStringList found;                   // handed over, not yet in the list
    int skipped = 0;                     // music files whose path breaks a list line
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
    skipped_ = 0;
    listFull_ = false;
    // `FindMusicDir` is the walk; `AddMusicFiles` its visitor for one folder.
    util::WalkRules walkRules = rules();
    walkRules.leftOut += LeftOutSystemFolders(root);
    auto job = [flag = flag_, token, channel = channel_, walkRules = std::move(walkRules), root,
                hook = afterFile] {
        int handedOver = 0;
        const auto goesOn = [&] { return flag->goesOn(token) && !channel->cancelled; };
        const auto AddMusicFiles = [&](const QString& folder, const QStringList& files) {
            for (const QString& name : files) {
                if (!util::IsPlayableName(name)) continue;
                const QString path = folder + name;
                {
                    std::lock_guard<std::mutex> hold(channel->lock);
                    if (!goesOn()) return false;
                    // A line of the list cannot hold such a path: it would come back as two.
                    if (BreaksListLine(path)) {
                        ++channel->skipped;
                        continue;
                    }
                    channel->found.append(path);
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
        skipped_ = channel_->skipped;
    }
    int added = 0;
    for (const QString& path : found) {
        if (!list_.append(path)) {
            listFull_ = true;
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
