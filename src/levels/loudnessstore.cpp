#include "levels/loudnessstore.h"

#include <sys/stat.h>

#include <QList>

#include <cmath>
#include <limits>

#include "levels/levelsettings.h"
#include "util/fspath.h"
#include "util/readfile.h"
#include "util/textfile.h"
#include "util/userfiles.h"

namespace velorixa::levels {

namespace {

constexpr char kHeader[] = "velorixa-loudness 1";

QByteArray numberText(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    return QByteArray::number(v, 'g', 17);  // a double back as it was
}

std::optional<double> numberOf(const QByteArray& t) {
    if (t == "-inf") return -std::numeric_limits<double>::infinity();
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

std::optional<FileStamp> StampOf(const QString& path) {
    struct stat st {};
    if (::stat(util::PathToBytes(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<int64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

QString LoudnessStore::DefaultPath() {
    return util::UserFolder("XDG_CACHE_HOME", ".cache") + QStringLiteral("/loudness.cache");
}

void LoudnessStore::load(const QString& file) {
    entries_.clear();
    util::ReadOptions options;
    options.maxBytes = 64 * 1024 * 1024;
    const util::FileRead read = util::ReadRegularFile(file, options);
    if (!read.ok()) return;
    const QList<QByteArray> lines = read.data.split('\n');
    if (lines.isEmpty() || lines.front() != kHeader) return;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // ok size mtime lufs peak seconds path (the path percent-encoded, so any byte fits)
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() != 7) continue;
        bool okSize = false, okTime = false;
        Entry e;
        e.stamp.sizeBytes = f[1].toLongLong(&okSize);
        e.stamp.mtimeNs = f[2].toLongLong(&okTime);
        const auto lufs = numberOf(f[3]), peak = numberOf(f[4]), secs = numberOf(f[5]);
        if (!okSize || !okTime || !lufs || !peak || !secs || (f[0] != "1" && f[0] != "0")) continue;
        e.loudness = {f[0] == "1", *lufs, *peak, *secs};
        const QByteArray path = QByteArray::fromPercentEncoding(f[6]);
        if (!path.startsWith('/')) continue;
        entries_.insert(util::PathFromBytes(path), e);
    }
}

bool LoudnessStore::save(const QString& file, QString* error) const {
    QByteArray data = kHeader;
    data += '\n';
    for (auto it = entries_.constBegin(); it != entries_.constEnd(); ++it) {
        const Entry& e = it.value();
        data += (e.loudness.ok ? "1 " : "0 ") + QByteArray::number(e.stamp.sizeBytes) + ' ' +
                QByteArray::number(e.stamp.mtimeNs) + ' ' + numberText(e.loudness.lufs) + ' ' +
                numberText(e.loudness.peak) + ' ' + numberText(e.loudness.seconds) + ' ' +
                util::PathToBytes(it.key()).toPercentEncoding("/") + '\n';
    }
    MakeFolderFor(file);
    return util::SaveWhole(file, data, error);
}

const Loudness* LoudnessStore::find(const QString& path, const FileStamp& stamp) const {
    const auto it = entries_.constFind(path);
    return it != entries_.constEnd() && it->stamp == stamp ? &it->loudness : nullptr;
}

void LoudnessStore::put(const QString& path, const FileStamp& stamp, const Loudness& loudness) {
    entries_.insert(path, Entry{stamp, loudness});
}

}  // namespace velorixa::levels
