#pragma once
// Where recordings go and what they are called: the user's music folder (or one chosen in the
// settings), a name with the date and time, never the name of a file that exists; and the
// recording settings kept in the user's configuration folder.
//
// Thread contract: free functions and a plain value type; any thread.

#include <QDateTime>
#include <QString>

#include "audio/record/recordsink.h"

namespace velorixa::record {

// The music folder user-dirs.dirs names (util::XdgUserDir) when it is another than the home
// folder, else $HOME/Music.
QString DefaultRecordFolder();

// Makes folder and the folders above it as needed (the path's own bytes); true when it is a
// folder afterwards.
bool MakeFolder(const QString& folder);

// "<folder>/Velorixa 2026-12-07 21-05-09.flac"; attempt 1 is that name, attempt n > 1 adds
// " (n)" before the extension (the caller tries the next one when a file of that name exists).
QString RecordingPath(const QString& folder, const QDateTime& when, audio::RecordFormat format,
                      int attempt = 1);

struct RecordSettings {
    audio::RecordFormat format = audio::RecordFormat::Flac;
    QString folder;  // empty: DefaultRecordFolder()

    // $XDG_CONFIG_HOME/velorixa/recording.conf (~/.config when unset).
    static QString DefaultPath();
    // Lines "format=flac|wav" and "folder=<path bytes>"; anything else is ignored, and a missing
    // or unreadable file gives the defaults.
    static RecordSettings Load(const QString& path);
    // Written whole (util::SaveWhole); false with a reason when it failed.
    bool save(const QString& path, QString* error) const;
    QString folderOrDefault() const;
};

// The status shown while recording: "REC 1:02:03  12.3 MB", with "  lost 0.4 s" once frames
// could not be kept.
QString RecordStatusText(uint64_t frames, int rateHz, uint64_t bytes, uint64_t lostFrames);
// h:mm:ss from one hour on, m:ss below.
QString RecordDuration(uint64_t frames, int rateHz);

}  // namespace velorixa::record
