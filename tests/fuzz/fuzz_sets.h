#pragma once
// Fuzz entries for the set files (.PSF) and MemoSett.ini; see fuzz_files.h.

#include "fuzz/fuzz_files.h"
#include "perform/memosett.h"
#include "perform/setfile.h"

namespace velorixa::fuzz {

// Input: a set file. Read from disk; any line end reads alike; a set read whole is written and
// read back the same.
inline std::string fuzzSetFileOne(const uint8_t* data, size_t size) {
    const QByteArray file = bytesOf(data, size);
    const QString path = scratchFolder() + "/fuzz.PSF";
    if (!writeScratch(path, file)) return {};
    const perform::SetFileRead read = perform::LoadSetFile(path);
    if (read.status == perform::SetFileStatus::NotFound) return "a file not found";
    const perform::SetFileRead bytes = perform::ReadSetFile(file);
    if (bytes.status != read.status || !(bytes.set == read.set)) return "file and bytes differ";
    for (const char* end : {"\n", "\r", "\r\n"}) {
        const perform::SetFileRead other = perform::ReadSetFile(rejoined(file, end));
        if (other.status != read.status || other.errorLine != read.errorLine ||
            !(other.set == read.set))
            return "line ends change the set";
    }
    if (read.status != perform::SetFileStatus::Ok) return {};
    const perform::SetFileRead back = perform::ReadSetFile(perform::WriteSetFile(read.set));
    if (back.status != perform::SetFileStatus::Ok) return "written set does not read";
    if (perform::WriteSetFile(back.set) != perform::WriteSetFile(read.set))
        return "written set reads back different";
    return {};
}

// Input: a settings file. Its names are written back and read again unchanged.
inline std::string fuzzMemoSettOne(const uint8_t* data, size_t size) {
    const QByteArray file = bytesOf(data, size);
    const QString path = perform::MemoSettPath(scratchFolder() + "/");
    if (!writeScratch(path, file)) return {};
    const auto names = perform::ReadMemoSett(path);
    if (names != perform::ParseMemoSett(file)) return "file and bytes differ";
    for (const char* end : {"\n", "\r", "\r\n"})
        if (perform::ParseMemoSett(rejoined(file, end)) != names) return "line ends change names";
    if (!perform::WriteMemoSett(path, names)) return "not written";
    if (perform::ReadMemoSett(path) != names) return "names read back different";
    return {};
}

}  // namespace velorixa::fuzz
