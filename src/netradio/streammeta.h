#pragma once
// What the window shows of a playing station: the bit rate from the server's ICY header lines
// and the title with the station's web address from the metadata sent inside the stream.
//
// Thread contract: pure functions; any thread.

#include <QString>
#include <QStringList>
#include <optional>

#include "playback/streamtitle.h"

namespace velorixa::netradio {

// The header lines of a zero-terminated block as the player hands it over (kind 4: strings end
// to end, ended by an empty one); a null block gives none. Each line is read as UTF-8 when valid,
// else Latin-1.
QStringList HeaderLines(const char* block);

// `ShowBitRate`: "bitrate " and the value of the first line holding "icy-br:" (exact case,
// anywhere in the line), from the line's 8th character on with every blank left out; nothing
// when no line holds it.
std::optional<QString> BitRateText(const QStringList& headerLines);

// `ShowNetMeta`'s text for a station's metadata (read by playback::ParseStreamMeta): the title,
// three blanks and the address cut after its host; "no meta data" without a title (an address
// alone says nothing of what plays).
QString NetMetaText(const playback::StreamMeta& meta);
inline QString NetMetaText(const QString& meta) {
    return NetMetaText(playback::ParseStreamMeta(meta));
}

inline constexpr const char* kNoMetaText = "no meta data";

}  // namespace velorixa::netradio
