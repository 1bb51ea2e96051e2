#include "record/recordsession.h"

#include <QFileInfo>
#include <cmath>

#include "util/fspath.h"

namespace velorixa::record {

RecordSession::RecordSession(RecordSettings settings, audio::Recorder::Options options,
                             QObject* parent)
    : QObject(parent), settings_(std::move(settings)), recorder_(std::move(options)) {
    now = [] { return QDateTime::currentDateTime(); };
}

RecordSession::~RecordSession() {
    // A recording running when the window goes is finished, not cut off.
    recorder_.stop();
}

void RecordSession::toggle() {
    if (recording())
        stop();
    else
        start();
}

bool RecordSession::start() {
    if (recording()) return true;
    const QString folder = settings_.folderOrDefault();
    if (!MakeFolder(folder)) {
        emit message(QStringLiteral("Recording: the folder %1 cannot be made")
                         .arg(util::PathForDisplay(folder)));
        return false;
    }
    const QDateTime when = now();
    std::string why;
    // A file of the same name (a second recording in the same second, or one copied there) is
    // never overwritten: the next name is tried.
    for (int attempt = 1; attempt <= 50; ++attempt) {
        const QString path = RecordingPath(folder, when, settings_.format, attempt);
        why.clear();
        if (recorder_.start(util::PathToBytes(path).toStdString(), settings_.format, &why)) {
            path_ = path;
            part_ = 1;
            emit recordingChanged(true);
            return true;
        }
        if (QFileInfo::exists(path)) continue;
        break;
    }
    emit message(QStringLiteral("Recording could not start: %1").arg(QString::fromStdString(why)));
    return false;
}

void RecordSession::stop() {
    if (!recording()) return;
    finish(recorder_.stop(), QString());
}

void RecordSession::tick() {
    if (!recording()) return;
    const audio::RecordStatus s = recorder_.status();
    if (s.failed) {
        finish(recorder_.stop(), QString::fromStdString(s.error));
        return;
    }
    if (s.part != part_) {
        // The output's rate changed: the take goes on in a file of the new rate.
        part_ = s.part;
        path_ = util::PathFromBytes(QByteArray::fromStdString(s.path));
        emit message(QStringLiteral("The output now runs at %1 Hz: recording goes on in \"%2\"")
                         .arg(s.rateHz)
                         .arg(util::PathForDisplay(QFileInfo(path_).fileName())));
    }
}

void RecordSession::finish(const audio::RecordStatus& final, const QString& why) {
    if (final.part != part_) {
        part_ = final.part;
        path_ = util::PathFromBytes(QByteArray::fromStdString(final.path));
    }
    const QString name = util::PathForDisplay(QFileInfo(path_).fileName());
    const QString length = RecordDuration(final.framesWritten, final.rateHz);
    QString text;
    if (!why.isEmpty() || final.failed) {
        text = QStringLiteral("Recording stopped: %1. \"%2\" keeps %3.")
                   .arg(why.isEmpty() ? QString::fromStdString(final.error) : why, name, length);
    } else {
        text = QStringLiteral("Recorded %1 to \"%2\"").arg(length, name);
    }
    if (final.framesLost > 0 && !final.failed) {
        text += QStringLiteral(" (%1 frames, %2 s, could not be kept: the disk was too slow)")
                    .arg(final.framesLost)
                    .arg(double(final.framesLost) / std::max(final.rateHz, 1), 0, 'f', 1);
    }
    emit recordingChanged(false);
    emit message(text);
}

QString RecordSession::statusText() const {
    if (!recording()) return {};
    const audio::RecordStatus s = recorder_.status();
    // A take that went on in a new file after a rate change counts its earlier files too.
    const auto earlier = static_cast<uint64_t>(std::llround(s.earlierSeconds * s.rateHz));
    return RecordStatusText(earlier + s.framesWritten, s.rateHz, s.earlierBytes + s.bytes,
                            s.framesLost);
}

}  // namespace velorixa::record
