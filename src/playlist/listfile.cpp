#include "playlist/listfile.h"

#include <algorithm>

#include <sys/stat.h>

#include "util/fspath.h"
#include "util/lines.h"
#include "util/playlistfile.h"
#include "util/readfile.h"
#include "util/textfile.h"

namespace velorixa::playlist {

QString DecodeListLine(const QByteArray& bytes) {
    // NULs go before the bytes are read, so what is left reads back the same once written.
    if (!bytes.contains('\0')) return util::PathFromBytes(bytes);
    QByteArray clean = bytes;
    clean.removeIf([](char c) { return c == '\0'; });
    return util::PathFromBytes(clean);
}

ListFileRead ParseListFile(QByteArrayView data, int maxLines) {
    ListFileRead out;
    const util::Lines lines = util::SplitLines(data, std::max(maxLines, 0), kMaxLineBytes);
    out.lines.reserve(lines.lines.size());
    for (const QByteArray& line : lines.lines)
        out.lines.append(DecodeListLine(line));
    out.truncated = lines.more;
    out.cutLines = lines.cut;
    return out;
}

ListFileRead ReadListFile(const QString& path, int maxLines) {
    util::ReadOptions options;
    options.maxBytes = kMaxListFileBytes;
    options.oversize = util::Oversize::Prefix;
    util::FileRead file = util::ReadRegularFile(path, options);
    if (!file.ok()) {
        ListFileRead out;
        out.notRegular =
            file.status == util::ReadStatus::NotRegular || file.status == util::ReadStatus::Folder;
        out.readError = file.status == util::ReadStatus::Failed ||
                        file.status == util::ReadStatus::TooLarge ||
                        file.status == util::ReadStatus::Stopped;
        out.missing = file.status == util::ReadStatus::Missing;
        out.reason = file.reason;
        return out;
    }
    if (file.cut) {
        // The part read ends inside a line: that line is not taken.
        const qsizetype lastEnd =
            std::max(file.data.lastIndexOf('\n'), file.data.lastIndexOf('\r'));
        file.data.truncate(lastEnd + 1);
    }
    ListFileRead out = ParseListFile(file.data, maxLines);
    out.opened = true;
    if (file.cut) out.truncated = true;
    return out;
}

bool WriteListFile(const QString& path, const QStringList& lines, QString* error) {
    QByteArray data;
    qsizetype size = 2;
    for (const QString& l : lines)
        size += l.size() + 2;
    data.reserve(size);
    // Reading skips one byte-order mark: a first item that starts with one keeps it.
    if (!lines.isEmpty() && lines.front().startsWith(QChar(0xFEFF))) data.append("\xEF\xBB\xBF");
    for (const QString& l : lines) {
        QString text = l;
        text.replace(QChar(u'\r'), QChar(u' ')).replace(QChar(u'\n'), QChar(u' '));
        data.append(util::PathToBytes(text));
        data.append("\r\n", 2);
    }
    if (lines.isEmpty()) data.append("\r\n", 2);

    return util::SaveWhole(path, data, error);
}

int LoadListFile(const QString& path, PlaylistModel& list, ListFileRead* info) {
    ListFileRead read = ReadListFile(path, PlaylistModel::kMaxLines - list.count());
    int added = 0;
    for (const QString& l : read.lines)
        if (list.append(l)) ++added;
    if (info) *info = std::move(read);
    return added;
}

int LoadPlaylistFile(const QString& path, PlaylistModel& list, PlaylistLoad* info) {
    PlaylistLoad load;
    util::ReadOptions options;
    options.maxBytes = util::kMaxPlaylistBytes;
    const util::FileRead file = util::ReadRegularFile(path, options);
    int added = 0;
    if (file.ok()) {
        load.opened = true;
        const util::PlaylistFormat format =
            util::PlaylistFormatOfName(path).value_or(util::PlaylistFormatOfText(file.data));
        if (format == util::PlaylistFormat::M3u && util::IsHlsPlaylist(file.data)) {
            load.hls = true;
        } else {
            const util::PlaylistRead read =
                util::ParsePlaylist(file.data, format, PlaylistModel::kMaxLines);
            load.leftOut = read.tooLong + read.leftOut;
            const QString folder = path.left(std::max<qsizetype>(path.lastIndexOf(u'/'), 1));
            for (const QString& entry : read.entries) {
                const QString item = util::ResolvePlaylistEntry(entry, folder);
                if (item.isEmpty() || item.contains(u'\n') || item.contains(u'\r')) {
                    ++load.leftOut;
                } else if (!list.append(item)) {
                    load.full = true;
                    break;
                } else {
                    ++added;
                }
            }
        }
    }
    if (info) *info = load;
    return added;
}

int LoadAnyListFile(const QString& path, PlaylistModel& list, PlaylistLoad* info) {
    if (util::PlaylistFormatOfName(path)) return LoadPlaylistFile(path, list, info);
    ListFileRead read;
    const int added = LoadListFile(path, list, &read);
    if (info) {
        *info = {};
        info->opened = read.opened;
        info->full = read.truncated && list.isFull();
    }
    return added;
}

bool WriteM3uFile(const QString& path, const QStringList& lines,
                  const std::function<M3uInfo(const QString&)>& info, QString* error) {
    QByteArray data("#EXTM3U\n");
    auto oneLine = [](QString text) {
        return text.replace(QChar(u'\r'), QChar(u' ')).replace(QChar(u'\n'), QChar(u' '));
    };
    for (const QString& l : lines) {
        if (l.isEmpty()) continue;
        QString entry = l;
        M3uInfo extra = info ? info(l) : M3uInfo{};
        // A station line: its address is the entry, its description the title.
        if (!l.startsWith(u'/')) {
            const qsizetype blank = l.indexOf(u' ');
            if (blank > 0) {
                entry = l.left(blank);
                if (extra.title.isEmpty()) extra.title = l.mid(blank + 1).trimmed();
            }
        }
        if (!extra.title.isEmpty()) {
            data.append("#EXTINF:");
            data.append(QByteArray::number(extra.lengthSec < 0 ? -1 : extra.lengthSec));
            data.append(',');
            data.append(oneLine(extra.title).toUtf8());
            data.append('\n');
        }
        data.append(util::PathToBytes(oneLine(entry)));
        data.append('\n');
    }
    return util::SaveWhole(path, data, error);
}

bool SaveListFile(const QString& path, const PlaylistModel& list, QString* error) {
    return WriteListFile(path, list.texts(), error);
}

QString MemoListPath(const QString& appPath) {
    return appPath + QStringLiteral("MemoList.ini");
}

bool LoadMemoList(const QString& path, PlaylistModel& list, ListFileRead* info) {
    ListFileRead read;
    const int before = list.count();
    LoadListFile(path, list, &read);
    // An empty list is saved as one empty line.
    if (before == 0 && list.count() == 1 && list.text(0).isEmpty()) list.clear();
    const bool opened = read.opened;
    if (info) *info = std::move(read);
    return opened;
}

bool MemoListUnreadable(const QString& path, const ListFileRead& info) {
    if (info.notRegular || info.readError) return true;
    if (info.opened) return false;
    // A file that exists (a dangling link counts) but did not open.
    struct stat st {};
    return !info.missing || ::lstat(util::PathToBytes(path).constData(), &st) == 0;
}

bool CopyListFile(const QString& path, const QString& backupPath, QString* error) {
    util::ReadOptions options;
    options.maxBytes = kMaxListFileBytes;
    const util::FileRead file = util::ReadRegularFile(path, options);
    if (!file.ok()) {
        if (error) *error = file.reason;
        return false;
    }
    return util::SaveWhole(backupPath, file.data, error);
}

bool SaveMemoList(const QString& path, const PlaylistModel& musicList, QString* error) {
    return WriteListFile(path, musicList.texts(), error);
}

}  // namespace velorixa::playlist
