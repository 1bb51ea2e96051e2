#include "perform/setfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include <dirent.h>
#include <sys/stat.h>

#include "util/fspath.h"
#include "util/lines.h"
#include "util/readfile.h"
#include "util/textfile.h"

namespace velorixa::perform {

namespace {

constexpr char kLineEnd[] = "\r\n";

void PutString(QByteArray& out, const QString& text) {
    QString safe = text;
    safe.remove(QChar(u'"')).remove(QChar(u'\r')).remove(QChar(u'\n'));
    out.append('"').append(safe.toUtf8()).append('"').append(kLineEnd);
}

void PutInt(QByteArray& out, int value) {
    out.append(QByteArray::number(value)).append(kLineEnd);
}

void PutDouble(QByteArray& out, double value) {
    if (!std::isfinite(value) || value == 0) value = 0;  // no "-0" either
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc{} ? end - buf : 0).append(kLineEnd);
}

// A number's text: blanks around it ignored, one leading "+" allowed.
bool NumberText(const QByteArray& line, QByteArray* text) {
    *text = line.trimmed();
    if (text->startsWith('+')) {
        text->remove(0, 1);
        if (text->startsWith('-') || text->startsWith('+')) return false;
    }
    return !text->isEmpty();
}

// Takes the file's lines in order; the first failure sticks, and a field is only written
// when its line was read.
class LineReader {
  public:
    explicit LineReader(const QByteArray& data)
        : lines_(util::SplitLines(data, kSetFileLines).lines) {}

    int line() const { return next_; }  // 1-based number of the last line taken

    bool string(QString* value) {
        const QByteArray* l = take();
        if (!l) return false;
        QByteArray bytes = *l;
        if (bytes.startsWith('"')) {
            const qsizetype close = bytes.indexOf('"', 1);
            bytes = bytes.mid(1, close < 0 ? -1 : close - 1);
        }
        *value = util::DecodeTextLine(bytes);
        return true;
    }

    bool integer(int16_t* value) {
        const QByteArray* l = take();
        QByteArray t;
        if (!l || !NumberText(*l, &t)) return fail();
        const char* last = t.constData() + t.size();
        int16_t v = 0;
        const auto [end, ec] = std::from_chars(t.constData(), last, v);
        if (ec != std::errc{} || end != last) return fail();
        *value = v;
        return true;
    }

    bool number(double* value) {
        const QByteArray* l = take();
        QByteArray t;
        if (!l || !NumberText(*l, &t)) return fail();
        const char* last = t.constData() + t.size();
        double v = 0;
        const auto [end, ec] = std::from_chars(t.constData(), last, v, std::chars_format::general);
        if (ec != std::errc{} || end != last || !std::isfinite(v)) return fail();
        *value = v;
        return true;
    }

  private:
    const QByteArray* take() {
        if (failed_) return nullptr;
        if (next_ >= lines_.size()) {
            ++next_;
            fail();
            return nullptr;
        }
        return &lines_[next_++];
    }
    bool fail() {
        failed_ = true;
        return false;
    }

    QList<QByteArray> lines_;
    int next_ = 0;
    bool failed_ = false;
};

bool ReadStyle(LineReader& in, StyleRecord& style) {
    if (!in.string(&style.Title) || !in.string(&style.Content)) return false;
    for (int i = 1; i <= kSpareCount; ++i)
        if (!in.number(&style.Spare[i])) return false;
    return in.string(&style.Note);
}

bool ReadKey(LineReader& in, KeyRecord& key) {
    for (int16_t& v : key.Slot)
        if (!in.integer(&v)) return false;
    for (int i = 1; i <= kSpareCount; ++i)
        if (!in.number(&key.Spare[i])) return false;
    for (int i = 1; i <= kNameCount; ++i)
        if (!in.string(&key.Names[i])) return false;
    return true;
}

}  // namespace

QByteArray WriteSetFile(const PerformanceSet& set) {
    QByteArray out;
    out.reserve(kSetFileLines * 6);
    PutString(out, QString::fromLatin1(kSetFileHeader));
    for (int s = 1; s <= kStyleCount; ++s) {
        const StyleRecord& style = set.Styles[s];
        PutString(out, style.Title);
        PutString(out, style.Content);
        for (int i = 1; i <= kSpareCount; ++i)
            PutDouble(out, style.Spare[i]);
        PutString(out, style.Note);
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        const KeyRecord& key = set.KeySet[k];
        for (int16_t v : key.Slot)
            PutInt(out, v);
        for (int i = 1; i <= kSpareCount; ++i)
            PutDouble(out, key.Spare[i]);
        for (int i = 1; i <= kNameCount; ++i)
            PutString(out, key.Names[i]);
    }
    return out;
}

SetFileRead ReadSetFile(const QByteArray& data, const PerformanceSet& base) {
    SetFileRead result;
    result.set = base;
    LineReader in(data);
    QString header;
    if (!in.string(&header) || header != QLatin1String(kSetFileHeader)) {
        result.status = SetFileStatus::WrongHeader;
        result.errorLine = 1;
        return result;
    }
    bool ok = true;
    for (int s = 1; s <= kStyleCount && ok; ++s)
        ok = ReadStyle(in, result.set.Styles[s]);
    for (int k = 1; k <= kKeyCount && ok; ++k)
        ok = ReadKey(in, result.set.KeySet[k]);
    result.status = ok ? SetFileStatus::Ok : SetFileStatus::Malformed;
    if (!ok) result.errorLine = in.line();
    return result;
}

SetFileRead LoadSetFile(const QString& path, const PerformanceSet& base) {
    util::ReadOptions options;
    options.maxBytes = kSetFileMaxBytes;
    const util::FileRead file = util::ReadRegularFile(path, options);
    if (file.ok()) return ReadSetFile(file.data, base);
    SetFileRead r;
    r.status = file.status == util::ReadStatus::Missing || file.status == util::ReadStatus::Folder
                   ? SetFileStatus::NotFound
                   : SetFileStatus::Malformed;
    r.set = base;
    r.reason = file.reason;
    return r;
}

bool SaveSetFile(const QString& path, const PerformanceSet& set, QString* error) {
    return util::SaveWhole(path, WriteSetFile(set), error);
}

QStringList SetFilesIn(const QString& folder) {
    QStringList names;
    // Listed as the file system's bytes: a name that is not UTF-8 still loads.
    DIR* dir = ::opendir(util::PathToBytes(folder).constData());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const QString name = util::PathFromBytes(QByteArray(e->d_name));
        if (name.startsWith(u'.') || !name.endsWith(QLatin1String(".PSF"), Qt::CaseInsensitive))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

}  // namespace velorixa::perform
