#include "util/fspath.h"

#include <QStringDecoder>

namespace velorixa::util {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) is U+DC00 + b

bool isEscaped(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

// An escaped byte at i: a low surrogate in the escape range that is not the second half of a
// pair (a character past U+FFFF may well end in U+DC80..U+DCFF).
bool escapedAt(QStringView s, qsizetype i) {
    return isEscaped(s[i].unicode()) && (i == 0 || !s[i - 1].isHighSurrogate());
}

// Length of the valid UTF-8 sequence starting at p (1..4), or 0 when the bytes there are not one
// (overlong forms, surrogates and code points past U+10FFFF are not valid).
int validSequence(const unsigned char* p, qsizetype left) {
    const unsigned char b = p[0];
    if (b < 0x80) return 1;
    int len = 0;
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (left < len) return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return 0;
    if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return 0;
    return len;
}

}  // namespace

QString PathFromBytes(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        // Runs of valid UTF-8 go through Qt's decoder whole.
        qsizetype j = i;
        int len = 0;
        while (j < n && (len = validSequence(p + j, n - j)) > 0)
            j += len;
        // A byte-order mark is part of a name like any other character: kept, not skipped.
        if (j > i) {
            QStringDecoder utf8(
                QStringConverter::Utf8,
                QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
            out += utf8.decode(QByteArrayView(bytes.constData() + i, j - i));
        }
        if (j < n) {
            out += QChar(static_cast<char16_t>(kEscapeBase + p[j]));
            ++j;
        }
        i = j;
    }
    return out;
}

QByteArray PathToBytes(const QString& path) {
    QByteArray out;
    out.reserve(path.size() * 2);
    qsizetype start = 0;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && !escapedAt(path, i)) continue;
        if (i > start) out += QStringView(path).mid(start, i - start).toUtf8();
        if (i < n) out += static_cast<char>(path.at(i).unicode() - kEscapeBase);
        start = i + 1;
    }
    return out;
}

QString PathForDisplay(const QString& path) {
    QString out = path;
    for (qsizetype i = 0; i < path.size(); ++i)
        if (escapedAt(path, i))
            out[i] = QChar(static_cast<char16_t>(path[i].unicode() - kEscapeBase));
    return out;
}

bool PathHasRawBytes(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i)
        if (escapedAt(path, i)) return true;
    return false;
}

}  // namespace velorixa::util
