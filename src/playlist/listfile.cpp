#include "playlist/listfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace velorixa::playlist {

QString DecodeListLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    text.remove(QChar(u'\0'));
    return text;
}

namespace {

// Collects one line's bytes, keeping at most kMaxLineBytes of them.
struct LineBuilder {
    QByteArray bytes;
    bool cut = false;

    void add(const char* data, qsizetype len) {
        const qsizetype room = kMaxLineBytes - bytes.size();
        if (len > room) {
            cut = true;
            len = room;
        }
        if (len > 0) bytes.append(data, len);
    }
};

}  // namespace

ListFileRead ReadListFile(const QString& path, int maxLines) {
    ListFileRead out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return out;
    out.opened = true;
    if (maxLines <= 0) {
        out.truncated = file.size() > 0;
        return out;
    }

    LineBuilder line;
    bool startOfFile = true;
    bool pending = false;  // bytes seen since the last line end
    auto finishLine = [&]() {
        if (line.bytes.endsWith('\r')) line.bytes.chop(1);
        out.lines.append(DecodeListLine(line.bytes));
        if (line.cut) ++out.cutLines;
        line.bytes.clear();
        line.cut = false;
        pending = false;
    };

    QByteArray chunk;
    while (true) {
        chunk = file.read(64 * 1024);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) out.readError = true;
            break;
        }
        qsizetype from = 0;
        if (startOfFile) {
            startOfFile = false;
            if (chunk.startsWith("\xEF\xBB\xBF")) from = 3;
        }
        while (from < chunk.size()) {
            const qsizetype lf = chunk.indexOf('\n', from);
            const qsizetype end = lf < 0 ? chunk.size() : lf;
            // The CR of a CR LF is left out here so it never counts towards a cut; one that
            // ended the previous chunk is chopped by finishLine.
            const qsizetype contentEnd = (lf > from && chunk.at(lf - 1) == '\r') ? lf - 1 : end;
            line.add(chunk.constData() + from, contentEnd - from);
            if (end > from) pending = true;
            if (lf < 0) break;
            pending = true;
            finishLine();
            if (out.lines.size() >= maxLines) {
                // Anything left (other than line ends) means the file holds more lines.
                const QByteArray rest = chunk.mid(lf + 1) + file.read(16);
                for (char c : rest)
                    if (c != '\r' && c != '\n') out.truncated = true;
                return out;
            }
            from = lf + 1;
        }
    }
    if (pending) finishLine();  // the last line, written without a line end
    return out;
}

bool WriteListFile(const QString& path, const QStringList& lines, QString* error) {
    QByteArray data;
    qsizetype size = 2;
    for (const QString& l : lines)
        size += l.size() + 2;
    data.reserve(size);
    for (const QString& l : lines) {
        QString text = l;
        text.replace(QChar(u'\r'), QChar(u' ')).replace(QChar(u'\n'), QChar(u' '));
        data.append(text.toUtf8());
        data.append("\r\n", 2);
    }
    if (lines.isEmpty()) data.append("\r\n", 2);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

int LoadListFile(const QString& path, PlaylistModel& list, ListFileRead* info) {
    ListFileRead read = ReadListFile(path, PlaylistModel::kMaxLines - list.count());
    int added = 0;
    for (const QString& l : read.lines)
        if (list.append(l)) ++added;
    if (info) *info = std::move(read);
    return added;
}

bool SaveListFile(const QString& path, const PlaylistModel& list, QString* error) {
    return WriteListFile(path, list.texts(), error);
}

QString MemoListPath(const QString& appPath) {
    return appPath + QStringLiteral("MemoList.ini");
}

bool LoadMemoList(const QString& path, PlaylistModel& list, ListFileRead* info) {
    if (!QFile::exists(path)) return false;
    ListFileRead read;
    const int before = list.count();
    LoadListFile(path, list, &read);
    // An empty list is saved as one empty line.
    if (before == 0 && list.count() == 1 && list.text(0).isEmpty()) list.clear();
    const bool opened = read.opened;
    if (info) *info = std::move(read);
    return opened;
}

bool SaveMemoList(const QString& path, const PlaylistModel& musicList, QString* error) {
    return WriteListFile(path, musicList.texts(), error);
}

}  // namespace velorixa::playlist
