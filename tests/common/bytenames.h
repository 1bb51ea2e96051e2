#pragma once
// File names that are not valid UTF-8, as old collections and FAT sticks hold them, made with
// the system's own calls so that no name conversion of Qt touches them.
#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <string>

#include "util/fspath.h"

namespace velorixa::test {

struct ByteName {
    const char* what;
    QByteArray bytes;  // the name on disk
    QString shown;     // what util::PathForDisplay shows of it
};

// A Latin-1 name ("café olé"), bytes that are no UTF-8 at all, a cut-off UTF-8 sequence, and
// a valid UTF-8 name beside them.
inline const ByteName kByteNames[] = {
    {"Latin-1", QByteArray("caf\xe9 ol\xe9"), QString::fromUtf8("caf\xc3\xa9 ol\xc3\xa9")},
    {"invalid UTF-8", QByteArray("bad \xff\xfe name"),
     QString::fromUtf8("bad \xc3\xbf\xc3\xbe name")},
    {"cut-off UTF-8", QByteArray("cut \xc3"), QString::fromUtf8("cut \xc3\x83")},
    {"UTF-8", QByteArray("\xc3\xa9t\xc3\xa9"), QString::fromUtf8("\xc3\xa9t\xc3\xa9")},
};

inline bool makeRawFolder(const QByteArray& path) {
    return ::mkdir(path.constData(), 0755) == 0;
}

inline bool rawFileExists(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// A path of the temporary folder as bytes, joined with a raw name.
inline QByteArray rawPath(const QString& folder, const QByteArray& name) {
    return util::PathToBytes(folder) + '/' + name;
}

inline std::string rawString(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace velorixa::test
