#pragma once
// Station links that are playlists: many stations publish a ".pls" or ".m3u" file whose lines
// name the stream. When an address answers with such a body instead of audio, the stream is
// opened through the first address the playlist names. The body is read by the player's one
// M3U/PLS reader (util/playlistfile.h), the one its command line reads playlist files with.
//
// Thread contract: pure functions; any thread.

#include <optional>
#include <string>
#include <vector>

namespace velorixa::net {

// The first stream address (http://, https:// or ftp://) of a playlist body: "File1=" style
// (.pls) or one address per line with "#" comments (.m3u, .m3u8). Nothing when the body is not
// a playlist by its content type (audio/x-scpls, audio/x-mpegurl, audio/mpegurl,
// application/vnd.apple.mpegurl, application/x-mpegurl) or by its own first line
// ("[playlist]", "#EXTM3U", or an address).
std::optional<std::string> FirstStreamInPlaylist(const std::string& body,
                                                 const std::vector<std::string>& headerLines);

}  // namespace velorixa::net
