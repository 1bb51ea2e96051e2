#include "audio/decode/net/httpheaders.h"

#include <algorithm>
#include <charconv>

namespace velorixa::net {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lower(s[i]) != lower(prefix[i])) return false;
    return true;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

int parseStatus(std::string_view line) {
    // "HTTP/1.1 200 OK", "HTTP/2 200", "ICY 200 OK": the code follows the first blank.
    const size_t sp = line.find(' ');
    if (sp == std::string_view::npos) return 0;
    std::string_view rest = trimBlanks(line.substr(sp + 1));
    int code = 0;
    const auto [ptr, ec] =
        std::from_chars(rest.data(), rest.data() + std::min<size_t>(3, rest.size()), code);
    if (ec != std::errc() || ptr != rest.data() + 3 || code < 100) return 0;
    return code;
}

const char* usualReason(int code) {
    switch (code) {
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 407:
            return "Proxy Authentication Required";
        case 408:
            return "Request Timeout";
        case 410:
            return "Gone";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return "";
    }
}

}  // namespace

std::string describeStatus(int code, std::string_view statusLine) {
    std::string_view reason;
    const bool icy = startsWithNoCase(statusLine, "ICY ");
    if (!statusLine.empty() && parseStatus(statusLine) == code) {
        // The phrase follows the code: "HTTP/1.1 404 Not Found".
        const size_t at = statusLine.find(std::to_string(code));
        reason = trimBlanks(statusLine.substr(at + 3));
    }
    std::string text = (icy ? "ICY " : "HTTP ") + std::to_string(code);
    if (reason.empty()) reason = usualReason(code);
    // A phrase is shown as it came, but only as printable text of a sensible length.
    std::string phrase;
    for (char c : reason.substr(0, std::min<size_t>(reason.size(), 80)))
        phrase.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c);
    if (!phrase.empty()) text += " " + phrase;
    return text;
}

bool HeaderBlock::addLine(std::string_view raw) {
    std::string_view line = raw;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);

    const bool isStatus = startsWithNoCase(line, "HTTP/") || startsWithNoCase(line, "ICY ");
    if (isStatus) {
        lines_.clear();
        bytes_ = 0;
        complete_ = false;
        overflow_ = false;
        sawStatus_ = true;
        status_ = parseStatus(line);
        statusLine_.assign(line.substr(0, std::min<size_t>(line.size(), 200)));
    } else if (!sawStatus_ || complete_) {
        // FTP replies before any response, or trailers after the header: not header lines.
        return true;
    }

    if (overflow_ || raw.size() > maxBytes_ - bytes_) {
        overflow_ = true;
        return false;
    }
    bytes_ += raw.size();
    if (isStatus) return true;
    if (line.empty()) {
        complete_ = true;
        return true;
    }
    std::string stored;
    stored.reserve(line.size());
    for (char c : line)
        if (c != '\0' && c != '\r' && c != '\n') stored.push_back(c);
    // A line of nothing but zero bytes carries nothing to pass on.
    if (!stored.empty()) lines_.push_back(std::move(stored));
    return true;
}

std::vector<std::string_view> splitRawLines(std::string_view raw) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start < raw.size()) {
        const size_t lf = raw.find('\n', start);
        const size_t end = lf == std::string_view::npos ? raw.size() : lf + 1;
        out.push_back(raw.substr(start, end - start));
        start = end;
    }
    return out;
}

std::string_view headerValue(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& l : lines) {
        std::string_view s(l);
        if (s.size() > name.size() && s[name.size()] == ':' && startsWithNoCase(s, name))
            return trimBlanks(s.substr(name.size() + 1));
    }
    return {};
}

bool hasHeader(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& l : lines) {
        std::string_view s(l);
        if (s.size() > name.size() && s[name.size()] == ':' && startsWithNoCase(s, name))
            return true;
    }
    return false;
}

IcyMetaInt parseIcyMetaInt(const std::vector<std::string>& lines) {
    IcyMetaInt r;
    if (!hasHeader(lines, "icy-metaint")) return r;
    const std::string_view v = headerValue(lines, "icy-metaint");
    uint64_t n = 0;
    const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (v.empty() || ec != std::errc() || ptr != v.data() + v.size() || n > maxIcyMetaInt) {
        r.kind = IcyMetaInt::Kind::Invalid;
        return r;
    }
    if (n == 0) return r;  // "0" is the documented way to say "no metadata"
    r.kind = IcyMetaInt::Kind::Valid;
    r.bytes = static_cast<size_t>(n);
    return r;
}

}  // namespace velorixa::net
