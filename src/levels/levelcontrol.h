#pragma once
// Evening out levels: the option itself, and the gain each item plays with while it is on.
// A file item takes its ReplayGain track gain (and peak) from its tags when it has one, else its
// loudness as LoudnessScanner measures it; a station is left alone; nothing is known yet, or
// the file cannot be measured: as recorded. With the option off every item plays as recorded
// and nothing is measured (the files without a tag gain are remembered and measured once the
// option is turned on).
//
// The gain of the playing item goes out through playingLevelChanged whenever it changes (a new
// item, the option toggled, a measurement or the tags come in); the player applies it.
//
// Thread contract: GUI thread only (the scanner's worker reports through queued signals).

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include "audio/decode/tags.h"
#include "levels/levelgain.h"
#include "levels/levelsettings.h"

namespace velorixa::levels {

class LoudnessScanner;

class LevelControl : public QObject {
    Q_OBJECT
  public:
    // The tags read for an item so far; nullptr while not read (the window's tag cache).
    using TagLookup = std::function<const audio::TrackTags*(const QString& item)>;
    // settingsPath: where the option is kept (empty: not kept).
    LevelControl(LoudnessScanner& scanner, TagLookup tags, LevelSettings settings,
                 QString settingsPath, QObject* parent = nullptr);

    bool evenOut() const { return settings_.evenOut; }
    // Turns the option on or off and keeps it in the settings file. False (with the reason)
    // when the file could not be written; the option is changed all the same.
    bool setEvenOut(bool on, QString* error = nullptr);

    // The item that plays now (its text: a path or a station line).
    void setPlaying(const QString& item);
    const QString& playing() const { return playing_; }
    // The level an item plays at, as things stand.
    Level levelFor(const QString& item) const;
    Level playingLevel() const { return levelFor(playing_); }

    // The tags of these paths were read: their gain is known from the tag, or they are measured.
    void tagsRead(const QStringList& paths);

  signals:
    void evenOutChanged(bool on);
    // The level of the playing item changed (or a new item plays).
    void playingLevelChanged(const velorixa::levels::Level& level);

  private:
    void measure(const QString& path, bool first);
    void announce();

    LoudnessScanner& scanner_;
    TagLookup tags_;
    LevelSettings settings_;
    QString settingsPath_;
    QString playing_;
    QSet<QString> untagged_;  // files whose tags name no gain: measured while the option is on
    Level announced_;
    bool announcedOnce_ = false;
};

}  // namespace velorixa::levels
