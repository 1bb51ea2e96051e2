#pragma once
// Performance set files (*.PSF): the 12 styles and the 26 key records as text, one value per
// line, every line ended by CR LF. In order:
//   the header "Velorix v.0.5 RedozadE" (quoted);
//   per style s = 1..12: Title, Content (quoted), StyleSpare 1..32 (numbers), Note (quoted);
//   per key k = 1..26: Slot 0..199 (integers), Spare 1..32 (numbers), Names 1..12 (quoted).
// That is 1 + 12 x 35 + 26 x 244 = 6765 lines.
//
// Writing:
//  - numbers in decimal with "." whatever the locale, 0 as "0", a negative one with "-"; a
//    double in the shortest form that reads back to the very same double ("0.1", "1e-300");
//    the program never holds an infinite or NaN spare, and one would be written as 0;
//  - a string between double quotes, as UTF-8. There is no escaping, so a double quote, CR or
//    LF inside a string would make the file unreadable: those characters are dropped.
// Reading is lenient where an old or hand-made file may differ:
//  - lines end with CR LF, LF or CR alone (util::SplitLines); a last line without a line end
//    counts; a leading UTF-8 byte-order mark is skipped; lines after the last field are ignored;
//  - a string that starts with a double quote runs to the next one (or the end of the line);
//    one without quotes is taken as it stands. So is the header: quoted or not, it must then
//    equal kSetFileHeader exactly;
//  - a line that is valid UTF-8 is taken as UTF-8, any other byte for byte as Latin-1 (files
//    from an 8-bit code page);
//  - numbers: blanks around them are ignored; a double in C notation ("-0.5", ".5", "1E-3");
//    a slot a whole number in the 16-bit range. An empty line, "x", "1.5" in a slot, 40000,
//    an infinite or out-of-range double, or a file that ends early are all Malformed.
// A read fills a separate value; the caller decides whether to take it over.
// A file is replaced only once it is completely written (QSaveFile): a failed save leaves the
// previous file as it was.
//
// Thread contract: free functions without shared state; any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "perform/keytable.h"

namespace velorixa::perform {

inline constexpr char kSetFileHeader[] = "Velorix v.0.5 RedozadE";
inline constexpr int kSetFileLines =
    1 + kStyleCount * (3 + kSpareCount) + kKeyCount * (kSlotCount + kSpareCount + kNameCount);
// Larger files are not read at all (a set file is some 20 KB).
inline constexpr qsizetype kSetFileMaxBytes = 16 * 1024 * 1024;

enum class SetFileStatus {
    Ok,
    NotFound,     // no file at the path, or a folder there (LoadSetFile only)
    WrongHeader,  // the first line is missing or not the header
    Malformed,    // ends early, a number is not one, or the file exists but cannot be read
};

struct SetFileRead {
    SetFileStatus status = SetFileStatus::Malformed;
    // Ok: the whole file. Malformed: the base passed in with the fields read before the error
    // (what a load that stops at the error leaves behind). Otherwise the base unchanged.
    PerformanceSet set;
    int errorLine = 0;  // WrongHeader / Malformed: the 1-based line at fault
    QString reason;     // the file could not be read: why, in words
};

// The file's lines for set.
QByteArray WriteSetFile(const PerformanceSet& set);

// Reads data over a copy of base (see SetFileRead::set).
SetFileRead ReadSetFile(const QByteArray& data, const PerformanceSet& base = {});

// Reads the file at path (util::ReadRegularFile). NotFound when nothing (or a folder) is there;
// Malformed, with the reason, when it exists but cannot be read: no permission, not a regular
// file (a FIFO or device is never waited on), a read error, or larger than kSetFileMaxBytes.
SetFileRead LoadSetFile(const QString& path, const PerformanceSet& base = {});

// Writes set to path. False with a reason in *error when it could not be written; the old
// file, if any, is then untouched.
bool SaveSetFile(const QString& path, const PerformanceSet& set, QString* error = nullptr);

// The names (no folder) of the "*.PSF" files in folder, the ending matched in any letter case,
// sorted by name without regard to case. Hidden files and folders are left out. Names are the
// file system's bytes (util::PathFromBytes).
QStringList SetFilesIn(const QString& folder);

}  // namespace velorixa::perform
