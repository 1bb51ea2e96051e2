#include "audio/decode/net/playlistlink.h"

#include <QByteArrayView>

#include <algorithm>
#include <cctype>

#include "util/fspath.h"
#include "util/lines.h"
#include "util/playlistfile.h"

namespace velorixa::net {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isAddress(const std::string& s) {
    return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0 || s.rfind("ftp://", 0) == 0;
}

bool playlistType(const std::vector<std::string>& headerLines) {
    for (const std::string& line : headerLines) {
        const std::string l = lower(line);
        if (l.rfind("content-type:", 0) != 0) continue;
        for (const char* type : {"audio/x-scpls", "audio/x-mpegurl", "audio/mpegurl",
                                 "application/vnd.apple.mpegurl", "application/x-mpegurl"})
            if (l.find(type) != std::string::npos) return true;
    }
    return false;
}

std::string bytesOf(const QString& entry) {
    const QByteArray b = util::PathToBytes(entry);
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

std::optional<std::string> FirstStreamInPlaylist(const std::string& body,
                                                 const std::vector<std::string>& headerLines) {
    const QByteArrayView text(body.data(), static_cast<qsizetype>(body.size()));
    util::LineSplitter lines(text);
    QByteArrayView first;
    while (lines.next(&first) && first.trimmed().isEmpty()) {
    }
    first = first.trimmed();
    if (first.isEmpty()) return std::nullopt;
    const util::PlaylistFormat format = util::PlaylistFormatOfText(text);
    // A body is a playlist by its type, its first line's mark, or a first line that is an
    // address: a page of HTML is not one because one of its lines starts like an address.
    const bool playlist =
        format == util::PlaylistFormat::Pls ||
        (first.size() >= 7 && first.first(7).compare("#extm3u", Qt::CaseInsensitive) == 0) ||
        isAddress(first.toByteArray().toStdString()) || playlistType(headerLines);
    if (!playlist) return std::nullopt;
    for (const QString& entry : util::ParsePlaylist(text, format).entries) {
        const std::string address = bytesOf(entry);
        if (isAddress(address)) return address;
    }
    return std::nullopt;
}

}  // namespace velorixa::net
