#pragma once
// The one reading of a station's in-stream metadata (StreamTitle='...';StreamUrl='...';): the
// window's status line and the desktop's media controls show what this returns.
//
// Thread contract: pure functions; any thread.

#include <QString>

namespace velorixa::playback {

struct StreamMeta {
    QString title;  // what plays now, trimmed; empty when the station sent none
    QString url;    // the station's web address, trimmed; empty when none
    bool operator==(const StreamMeta&) const = default;
};

// Keys in any case. A value ends at its first "';"; a value the station cut off (no closing
// mark) is kept as far as it came, so a long title cut by the metadata block's size still
// shows.
StreamMeta ParseStreamMeta(const QString& meta);

}  // namespace velorixa::playback
