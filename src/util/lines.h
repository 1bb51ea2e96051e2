#pragma once
// The one line splitter for every file the player reads: CR LF, LF and CR alone (old Macintosh
// files) each end a line, mixed in one file too; a last line without a line end still counts;
// a leading UTF-8 byte-order mark is skipped. An empty line between two line ends is a line of
// its own.
//
// Thread contract: plain values without shared state; any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <limits>

namespace velorixa::util {

// The lines of data one at a time, as views into it (data must outlive the splitter).
class LineSplitter {
  public:
    explicit LineSplitter(QByteArrayView data);
    // The next line without its line end; false when none is left.
    bool next(QByteArrayView* line);
    // Only line ends (or nothing) are left.
    bool onlyLineEndsLeft() const;

  private:
    QByteArrayView data_;
    qsizetype at_ = 0;
};

struct Lines {
    QList<QByteArray> lines;
    bool more = false;  // stopped at maxLines: the data holds more than line ends after them
    int cut = 0;        // lines longer than maxLineBytes, cut there (the rest of each skipped)
};

// At most maxLines lines, each at most maxLineBytes long.
Lines SplitLines(QByteArrayView data, int maxLines = std::numeric_limits<int>::max(),
                 qsizetype maxLineBytes = std::numeric_limits<qsizetype>::max());

}  // namespace velorixa::util
