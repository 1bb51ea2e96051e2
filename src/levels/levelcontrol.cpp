#include "levels/levelcontrol.h"

#include "levels/loudnessscanner.h"

namespace velorixa::levels {

namespace {
bool isFileItem(const QString& item) {
    return item.startsWith(u'/');
}
}  // namespace

LevelControl::LevelControl(LoudnessScanner& scanner, TagLookup tags, LevelSettings settings,
                           QString settingsPath, QObject* parent)
    : QObject(parent),
      scanner_(scanner),
      tags_(std::move(tags)),
      settings_(settings),
      settingsPath_(std::move(settingsPath)) {
    connect(&scanner_, &LoudnessScanner::measured, this, [this](const QStringList& paths) {
        if (paths.contains(playing_)) announce();
    });
}

bool LevelControl::setEvenOut(bool on, QString* error) {
    if (on == settings_.evenOut) return true;
    settings_.evenOut = on;
    bool saved = true;
    if (!settingsPath_.isEmpty()) saved = settings_.save(settingsPath_, error);
    if (on) {
        // The playing item first, then every file that waited for the option.
        if (untagged_.contains(playing_)) measure(playing_, true);
        for (const QString& path : std::as_const(untagged_))
            measure(path, false);
    }
    emit evenOutChanged(on);
    announce();
    return saved;
}

void LevelControl::setPlaying(const QString& item) {
    if (item == playing_ && announcedOnce_) return;
    playing_ = item;
    if (settings_.evenOut && untagged_.contains(item)) measure(item, true);
    announce();
}

Level LevelControl::levelFor(const QString& item) const {
    if (!settings_.evenOut) return {0, LevelSource::Off};
    if (!isFileItem(item)) return {0, LevelSource::Station};
    const audio::TrackTags* tags = tags_ ? tags_(item) : nullptr;
    if (tags && tags->trackGainDb) return LevelFromTag(*tags->trackGainDb, tags->trackPeak);
    // Only a file whose tags are known to name no gain is measured: a tagged file's gain never
    // comes from a measurement that raced its tags.
    if (tags)
        if (const Loudness* l = scanner_.find(item)) return LevelFromLoudness(*l);
    return {0, LevelSource::Measuring};
}

void LevelControl::tagsRead(const QStringList& paths) {
    bool playingRead = false;
    for (const QString& path : paths) {
        if (!isFileItem(path)) continue;
        playingRead = playingRead || path == playing_;
        const audio::TrackTags* tags = tags_ ? tags_(path) : nullptr;
        if (tags && tags->trackGainDb) continue;
        untagged_.insert(path);
        if (settings_.evenOut) measure(path, path == playing_);
    }
    if (playingRead) announce();
}

void LevelControl::measure(const QString& path, bool first) {
    if (first)
        scanner_.wantFirst(path);
    else
        scanner_.want(path);
}

void LevelControl::announce() {
    const Level now = playingLevel();
    if (announcedOnce_ && now == announced_) return;
    announced_ = now;
    announcedOnce_ = true;
    emit playingLevelChanged(now);
}

}  // namespace velorixa::levels
