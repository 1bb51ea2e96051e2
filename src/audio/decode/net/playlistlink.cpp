#include "audio/decode/net/playlistlink.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace velorixa::net {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
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

}  // namespace

std::optional<std::string> FirstStreamInPlaylist(const std::string& body,
                                                 const std::vector<std::string>& headerLines) {
    std::istringstream in(body);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line) && lines.size() < 1000;) {
        line = trim(line);
        if (!line.empty()) lines.push_back(line);
    }
    if (lines.empty()) return std::nullopt;
    const std::string first = lower(lines.front());
    const bool pls = first == "[playlist]";
    if (!pls && first.rfind("#extm3u", 0) != 0 && !isAddress(lines.front()) &&
        !playlistType(headerLines))
        return std::nullopt;
    for (const std::string& line : lines) {
        std::string address = line;
        if (pls || lower(line).rfind("file", 0) == 0) {
            const auto eq = line.find('=');
            if (lower(line).rfind("file", 0) != 0 || eq == std::string::npos) continue;
            address = trim(line.substr(eq + 1));
        } else if (line[0] == '#') {
            continue;
        }
        if (isAddress(address)) return address;
    }
    return std::nullopt;
}

}  // namespace velorixa::net
