#include "util/lines.h"

namespace velorixa::util {

LineSplitter::LineSplitter(QByteArrayView data) : data_(data) {
    if (data_.startsWith("\xEF\xBB\xBF")) at_ = 3;
}

bool LineSplitter::next(QByteArrayView* line) {
    const char* p = data_.data();
    const qsizetype n = data_.size();
    if (at_ >= n) return false;
    qsizetype end = at_;
    while (end < n && p[end] != '\r' && p[end] != '\n')
        ++end;
    *line = data_.sliced(at_, end - at_);
    if (end < n && p[end] == '\r' && end + 1 < n && p[end + 1] == '\n') ++end;
    at_ = end + 1;
    return true;
}

bool LineSplitter::onlyLineEndsLeft() const {
    for (qsizetype i = at_; i < data_.size(); ++i)
        if (data_[i] != '\r' && data_[i] != '\n') return false;
    return true;
}

Lines SplitLines(QByteArrayView data, int maxLines, qsizetype maxLineBytes) {
    Lines out;
    LineSplitter split(data);
    QByteArrayView line;
    while (out.lines.size() < maxLines && split.next(&line)) {
        if (line.size() > maxLineBytes) {
            line = line.first(maxLineBytes);
            ++out.cut;
        }
        out.lines.append(line.toByteArray());
    }
    out.more = !split.onlyLineEndsLeft();
    return out;
}

}  // namespace velorixa::util
