#include "playlist/listfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/textfile.h"

namespace velorixa::playlist {

QString DecodeListLine(const QByteArray& bytes) {
    QString text = util::DecodeTextLine(bytes);
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

// Opens path for reading without ever blocking: a FIFO or a device opened blocking could wait
// for a writer for ever. Only a regular file is opened; *notRegular tells the other kinds apart
// from files that do not exist or may not be read.
bool OpenRegularFile(const QString& path, QFile& file, bool* notRegular) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *notRegular = true;
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace

ListFileRead ReadListFile(const QString& path, int maxLines) {
    ListFileRead out;
    QFile file;
    if (!OpenRegularFile(path, file, &out.notRegular)) return out;
    out.opened = true;
    if (maxLines <= 0) {
        out.truncated = file.size() > 0;
        return out;
    }

    LineBuilder line;
    bool startOfFile = true;
    bool pending = false;  // bytes seen since the last line end
    bool afterCR = false;  // the last line ended with CR: an LF right after it belongs to it
    auto finishLine = [&]() {
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
        const char* data = chunk.constData();
        const qsizetype size = chunk.size();
        while (from < size) {
            if (afterCR) {
                afterCR = false;
                if (data[from] == '\n') {
                    ++from;
                    continue;
                }
            }
            // CR, LF and CR LF each end a line.
            qsizetype end = from;
            while (end < size && data[end] != '\r' && data[end] != '\n')
                ++end;
            line.add(data + from, end - from);
            if (end > from) pending = true;
            if (end == size) break;
            afterCR = data[end] == '\r';
            finishLine();
            if (out.lines.size() >= maxLines) {
                // Anything left (other than line ends) means the file holds more lines.
                const QByteArray rest = chunk.mid(end + 1) + file.read(16);
                for (char c : rest)
                    if (c != '\r' && c != '\n') out.truncated = true;
                return out;
            }
            from = end + 1;
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

bool MemoListUnreadable(const QString& path, const ListFileRead& info) {
    if (info.notRegular || info.readError) return true;
    // A file that exists (a dangling link counts) but did not open.
    return !info.opened && (QFileInfo::exists(path) || QFileInfo(path).isSymLink());
}

bool CopyListFile(const QString& path, const QString& backupPath, QString* error) {
    QFile in;
    bool notRegular = false;
    QSaveFile out(backupPath);
    if (!OpenRegularFile(path, in, &notRegular)) {
        if (error) *error = notRegular ? QStringLiteral("not a regular file") : in.errorString();
        return false;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        if (error) *error = out.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(256 * 1024);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            if (error) *error = chunk.isEmpty() ? in.errorString() : out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit()) {
        if (error) *error = out.errorString();
        return false;
    }
    return true;
}

bool SaveMemoList(const QString& path, const PlaylistModel& musicList, QString* error) {
    return WriteListFile(path, musicList.texts(), error);
}

}  // namespace velorixa::playlist
