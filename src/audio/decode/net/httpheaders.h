#pragma once
// Collects the header lines of an HTTP or ICY response as they arrive, one raw line at a time.
//
// A status line ("HTTP/1.1 200 OK", "ICY 200 OK") starts a new response and drops the lines of
// the previous one, so after redirects and "100 Continue" answers only the final response's
// headers remain. Lines received before any status line (the replies of an FTP server) are not
// headers and are ignored. Stored lines have no CR, LF or zero bytes, so they can be handed on
// as zero-terminated strings.
//
// Thread contract: not thread-safe; one instance belongs to the thread that feeds it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velorixa::net {

class HeaderBlock {
  public:
    // maxBytes: the largest accepted response header (status line and line ends counted).
    explicit HeaderBlock(size_t maxBytes = SIZE_MAX) : maxBytes_(maxBytes) {}

    // Adds one raw line as received, with or without its line end. Returns false once the
    // current response's header has grown beyond maxBytes (the line is then not stored).
    bool addLine(std::string_view raw);

    // Header lines of the latest response, status line excluded, in order.
    const std::vector<std::string>& lines() const { return lines_; }
    // Status code of the latest response; 0 while none was seen or it did not parse.
    int statusCode() const { return status_; }
    // The empty line that ends the latest response's header has arrived.
    bool complete() const { return complete_; }
    bool sawStatusLine() const { return sawStatus_; }
    // The latest response's status line, without its line end; empty while none was seen.
    const std::string& statusLine() const { return statusLine_; }
    // The latest response's header outgrew maxBytes.
    bool overflowed() const { return overflow_; }
    // Bytes of the latest response's header so far (never more than maxBytes).
    size_t bytes() const { return bytes_; }

  private:
    size_t maxBytes_;
    std::vector<std::string> lines_;
    size_t bytes_ = 0;
    int status_ = 0;
    std::string statusLine_;
    bool sawStatus_ = false;
    bool complete_ = false;
    bool overflow_ = false;
};

// A failed response as a message says it: "HTTP 404 Not Found" for "HTTP/1.1 404 Not Found",
// "ICY 401 Service Unavailable" for a station's own status line. Where the line is not at hand
// or has no reason phrase, the usual phrase of the code is used ("HTTP 503 Service
// Unavailable"), or the bare code when the code is an unusual one.
std::string describeStatus(int code, std::string_view statusLine = {});

// Splits raw header text into lines, each keeping its line end (LF, CR LF or a lone CR at the
// very end); a last line without a line end is returned too.
std::vector<std::string_view> splitRawLines(std::string_view raw);

// The value of the first header line whose name matches (letter case ignored), with surrounding
// blanks removed; empty when there is none.
std::string_view headerValue(const std::vector<std::string>& lines, std::string_view name);
bool hasHeader(const std::vector<std::string>& lines, std::string_view name);

// The icy-metaint header: absent (or 0) means plain audio; Invalid marks a value that is not a
// whole number from 1 to maxIcyMetaInt (text, a sign, an overflow).
struct IcyMetaInt {
    enum class Kind { Absent, Valid, Invalid };
    Kind kind = Kind::Absent;
    size_t bytes = 0;  // set when kind is Valid
};
inline constexpr size_t maxIcyMetaInt = size_t{1} << 24;  // real servers use 8 KiB to 64 KiB
IcyMetaInt parseIcyMetaInt(const std::vector<std::string>& lines);

}  // namespace velorixa::net
