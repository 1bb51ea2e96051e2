#pragma once
// The file types the player plays, in one place: the browser's file filter, the music search,
// the command line and "Open with", the desktop entry's and the media controls' MIME types all
// take them from here. Playlist files (the player's own .PLF, M3U and PLS) are listed beside
// them: they are not played but read for their entries.
//
// Thread contract: constants and free functions without shared state; any thread.

#include <QString>
#include <QStringList>

namespace velorixa::util {

struct FileType {
    const char* extension;  // lower case, without the dot
    const char* mimeType;   // as the desktop names it
};

// Audio files, by extension, with the MIME type a file manager gives them.
inline constexpr FileType kPlayableTypes[] = {
    {"mp3", "audio/mpeg"},        {"mp2", "audio/mpeg"},  {"mp1", "audio/mpeg"},
    {"flac", "audio/flac"},       {"ogg", "audio/ogg"},   {"oga", "audio/ogg"},
    {"opus", "audio/x-opus+ogg"}, {"m4a", "audio/mp4"},   {"mp4", "video/mp4"},
    {"aac", "audio/aac"},         {"wav", "audio/x-wav"}, {"aiff", "audio/x-aiff"},
    {"aif", "audio/x-aiff"},
};

// Lists of items the player reads: its own list files and M3U / PLS playlists.
inline constexpr FileType kListTypes[] = {
    {"plf", "text/plain"},
    {"m3u", "audio/x-mpegurl"},
    {"m3u8", "application/vnd.apple.mpegurl"},
    {"pls", "audio/x-scpls"},
};

// name ends in "." and a playable extension, in any letter case.
bool IsPlayableName(const QString& name);
// name ends in "." and a list extension, in any letter case.
bool IsListName(const QString& name);
// Every MIME type the player opens (playable files and playlists), each once, in table order.
QStringList OpenedMimeTypes();
// Extra MIME types a desktop gives the same files (older or alternative names), opened too.
QStringList AliasMimeTypes();

}  // namespace velorixa::util
