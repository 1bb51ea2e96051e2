#include "playback/streamtitle.h"

namespace velorixa::playback {

namespace {

QString valueOf(const QString& meta, QLatin1String key) {
    const qsizetype at = meta.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0) return {};
    const qsizetype from = at + key.size();
    const qsizetype end = meta.indexOf(QLatin1String("';"), from);
    return meta.mid(from, end < 0 ? -1 : end - from).trimmed();
}

}  // namespace

StreamMeta ParseStreamMeta(const QString& meta) {
    return {valueOf(meta, QLatin1String("StreamTitle='")),
            valueOf(meta, QLatin1String("StreamUrl='"))};
}

}  // namespace velorixa::playback
