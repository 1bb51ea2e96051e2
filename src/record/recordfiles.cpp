#include "record/recordfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <filesystem>

#include "util/fspath.h"
#include "util/readfile.h"
#include "util/textfile.h"
#include "util/userfiles.h"

namespace velorixa::record {

bool MakeFolder(const QString& folder) {
    std::error_code ec;
    const std::filesystem::path p(util::PathToBytes(folder).toStdString());
    std::filesystem::create_directories(p, ec);
    return std::filesystem::is_directory(p, ec);
}

QString DefaultRecordFolder() {
    const QString home = util::PathFromBytes(qgetenv("HOME"));
    const QString folder = util::XdgUserDir("MUSIC");
    if (!folder.isEmpty() && QDir(folder) != QDir(home)) return folder;
    return home + QStringLiteral("/Music");
}

QString RecordingPath(const QString& folder, const QDateTime& when, audio::RecordFormat format,
                      int attempt) {
    QString name =
        QStringLiteral("Velorixa ") + when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    if (attempt > 1) name += QStringLiteral(" (%1)").arg(attempt);
    return folder + u'/' + name + u'.' + QString::fromLatin1(audio::RecordExtension(format));
}

QString RecordSettings::DefaultPath() {
    return util::UserFolder("XDG_CONFIG_HOME", ".config") + QStringLiteral("/recording.conf");
}

RecordSettings RecordSettings::Load(const QString& path) {
    RecordSettings s;
    util::ReadOptions options;
    options.maxBytes = 64 * 1024;
    const util::FileRead read = util::ReadRegularFile(path, options);
    if (!read.ok()) return s;
    const QByteArray& data = read.data;
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1);
        if (key == "format") {
            if (value.trimmed() == "wav") s.format = audio::RecordFormat::Wav24;
            if (value.trimmed() == "flac") s.format = audio::RecordFormat::Flac;
        } else if (key == "folder") {
            s.folder = util::PathFromBytes(value);
        }
    }
    return s;
}

bool RecordSettings::save(const QString& path, QString* error) const {
    QByteArray data = "format=";
    data += audio::RecordExtension(format);
    data += "\nfolder=" + util::PathToBytes(folder) + "\n";
    MakeFolder(QFileInfo(path).absolutePath());
    return util::SaveWhole(path, data, error);
}

QString RecordSettings::folderOrDefault() const {
    return folder.isEmpty() ? DefaultRecordFolder() : folder;
}

QString RecordDuration(uint64_t frames, int rateHz) {
    const uint64_t s = rateHz > 0 ? frames / static_cast<uint64_t>(rateHz) : 0;
    const auto two = [](uint64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0')); };
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(two(s / 60 % 60), two(s % 60));
    return QStringLiteral("%1:%2").arg(s / 60).arg(two(s % 60));
}

QString RecordStatusText(uint64_t frames, int rateHz, uint64_t bytes, uint64_t lostFrames) {
    QString text = QStringLiteral("REC %1  %2 MB")
                       .arg(RecordDuration(frames, rateHz))
                       .arg(double(bytes) / 1e6, 0, 'f', 1);
    if (lostFrames > 0 && rateHz > 0)
        text += QStringLiteral("  lost %1 s").arg(double(lostFrames) / rateHz, 0, 'f', 1);
    return text;
}

}  // namespace velorixa::record
