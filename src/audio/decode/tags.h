#pragma once
// What a music file says about itself: title, artist, album, length and the ReplayGain track
// gain, from whatever tags the file carries: ID3v2 and ID3v1 of MP3 read by libmpg123
// (mp3tags.h), and by libavformat Vorbis comments in FLAC, Ogg Vorbis and Opus, MP4 atoms in
// M4A/MP4, the INFO and ID3 chunks of WAV and AIFF. A file is told by its first bytes as the
// player's decoders are chosen, so a list of MP3 files never loads FFmpeg.
//
// Reading is bounded whatever the file holds: at most kMaxTagReadBytes of it are read (a tag
// that claims more simply ends there), the stream analysis for a length is limited, and each
// text is cut to kMaxTagChars characters. Text that is not valid UTF-8 is shown with the
// replacement character where it breaks, control characters become blanks and runs of blanks
// one; nothing in a tag can break a line of the window.
//
// Thread contract: free functions without shared state; any thread (the player reads tags on a
// worker, never on the window's thread).

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velorixa::audio {

// Longest title, artist or album kept, in characters (an ellipsis ends a cut one).
inline constexpr qsizetype kMaxTagChars = 200;
// At most this much of a file is read for its tags and length.
inline constexpr qint64 kMaxTagReadBytes = 16 * 1024 * 1024;

struct TrackTags {
    bool media = false;  // the file is audio the player can open
    QString title;
    QString artist;
    QString album;
    double lengthSec = 0;               // 0 when unknown
    std::optional<double> trackGainDb;  // REPLAYGAIN_TRACK_GAIN, within -60 .. +60 dB
    // REPLAYGAIN_TRACK_PEAK beside a track gain: the loudest sample, 1 = full scale.
    std::optional<double> trackPeak;
    bool hasName() const { return !title.isEmpty(); }
};

// The tags of the file at path (the file system's bytes, util::PathFromBytes). A file that is
// missing, unreadable or not audio gives media == false and no texts.
TrackTags ReadTags(const QString& path);
// The same from bytes in memory (the fuzzer's and tests' way in).
TrackTags ReadTagsFromMemory(QByteArrayView data);

// A tag value's bytes as text by the rules above: invalid UTF-8 replaced, control characters
// blanked, blanks collapsed and trimmed, cut to maxChars (with "…") without splitting a
// character.
QString TagText(QByteArrayView bytes, qsizetype maxChars = kMaxTagChars);

// A ReplayGain value such as "-6.54 dB" or "+1.2": the gain in dB, nothing when it is not a
// number or lies outside -60 .. +60.
std::optional<double> ParseGainDb(QByteArrayView text);
// A ReplayGain peak such as "0.988553": the peak as a share of full scale, nothing when it is no
// number or lies outside 0 (excluded) .. 100.
std::optional<double> ParsePeak(QByteArrayView text);

}  // namespace velorixa::audio
