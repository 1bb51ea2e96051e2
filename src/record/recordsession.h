#pragma once
// The record toggle's logic, without the window: starts a recording of the output as heard into
// a new file named with the date and time in the chosen folder, stops it, and watches it while
// it runs (elapsed time, size, frames that could not be kept, a disk that filled up or a folder
// that went away). Nothing here stops the music: a failed recording ends with a message and
// the file kept valid.
//
// Thread contract: GUI thread only (the writer thread is the recorder's own).

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "audio/record/recorder.h"
#include "record/recordfiles.h"

namespace velorixa::record {

class RecordSession : public QObject {
    Q_OBJECT
  public:
    explicit RecordSession(RecordSettings settings, audio::Recorder::Options options = {},
                           QObject* parent = nullptr);
    ~RecordSession() override;

    RecordSettings& settings() { return settings_; }
    // The clock that names the files; the current time unless a test sets it.
    std::function<QDateTime()> now;

    // Starts or stops a recording (the button and the key).
    void toggle();
    bool start();
    void stop();
    bool recording() const { return recorder_.started(); }
    // Checks a running recording: called by the window's timer. A failed one is stopped here,
    // with its message.
    void tick();

    // "REC 1:02  3.4 MB" while recording, empty otherwise.
    QString statusText() const;
    audio::RecordStatus status() const { return recorder_.status(); }
    // The file of the recording running or made last (after a rate change, the take's newest).
    const QString& path() const { return path_; }

  signals:
    void recordingChanged(bool recording);
    // For the message line: why a recording could not start or stopped by itself, and where a
    // finished one went.
    void message(const QString& text);

  private:
    void finish(const audio::RecordStatus& final, const QString& why);

    RecordSettings settings_;
    audio::Recorder recorder_;
    QString path_;
    int part_ = 1;  // the recorder's file of the take that path_ names
};

}  // namespace velorixa::record
