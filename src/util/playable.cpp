#include "util/playable.h"

namespace velorixa::util {

namespace {

template <size_t N>
bool endsWithExtension(const QString& name, const FileType (&types)[N]) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.indexOf(u'/', dot) >= 0) return false;
    const QStringView ext = QStringView(name).sliced(dot + 1);
    for (const FileType& t : types)
        if (ext.compare(QLatin1String(t.extension), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace

bool IsPlayableName(const QString& name) {
    return endsWithExtension(name, kPlayableTypes);
}

bool IsListName(const QString& name) {
    return endsWithExtension(name, kListTypes);
}

QStringList OpenedMimeTypes() {
    QStringList types;
    for (const FileType& t : kPlayableTypes)
        types << QLatin1String(t.mimeType);
    for (const FileType& t : kListTypes)
        if (QLatin1String(t.mimeType) != QLatin1String("text/plain"))
            types << QLatin1String(t.mimeType);
    types.removeDuplicates();
    return types;
}

QStringList AliasMimeTypes() {
    return {QStringLiteral("audio/x-mp3"),        QStringLiteral("audio/x-flac"),
            QStringLiteral("audio/x-vorbis+ogg"), QStringLiteral("audio/vorbis"),
            QStringLiteral("audio/x-m4a"),        QStringLiteral("audio/x-aac"),
            QStringLiteral("audio/wav"),          QStringLiteral("application/x-mpegurl")};
}

}  // namespace velorixa::util
