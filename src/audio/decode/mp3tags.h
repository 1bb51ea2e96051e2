#pragma once
// An MP3 file's tags and length read by libmpg123, the library that decodes it, so that adding
// and playing MP3 files never brings FFmpeg into the process. ID3v2 (2.2 to 2.4, in any of its
// text encodings: mpg123 hands out UTF-8) names the title, artist and album; ID3v1 at the end of
// the file fills what ID3v2 leaves empty (its bytes taken as Latin-1); a TXXX frame named
// "replaygain_track_gain" gives the track gain. The length comes from the Xing/LAME frame count
// or, without one, from a walk over the frame headers (no decoding).
//
// The bounds of tags.h hold: at most kMaxTagReadBytes are read (a longer file without a frame
// count has its length estimated from its bit rate instead of walked), an ID3v2 tag claiming
// more than kMaxId3Bytes or more than the file holds is skipped unread, and every text goes
// through TagText.
//
// Thread contract: a free function without shared state; any thread.

#include <cstdint>

#include "audio/decode/mp3probe.h"
#include "audio/decode/tags.h"

namespace velorixa::audio {

// Largest ID3v2 tag read for its texts (cover pictures make most of a big one).
inline constexpr uint64_t kMaxId3Bytes = 8 * 1024 * 1024;

// The tags of size bytes read through read. Data that is not MPEG layer III audio (probeMp3
// refuses it, or mpg123 finds no layer III format in it) gives media == false and no texts.
TrackTags ReadMp3Tags(const ReadAt& read, uint64_t size);

}  // namespace velorixa::audio
