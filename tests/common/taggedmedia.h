#pragma once
// Short tagged audio files of every format the player reads, made at test time by the ffmpeg
// command-line tool (installed with the test packages): a 440 Hz tone at 24 kHz, mono.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testmedia {

// The encoder arguments of ffmpeg for a file type (by extension).
inline QStringList encoderArgs(const QString& ext) {
    if (ext == "mp3") return {"-c:a", "libmp3lame", "-b:a", "32k", "-id3v2_version", "3"};
    if (ext == "flac") return {"-c:a", "flac"};
    if (ext == "ogg") return {"-c:a", "libvorbis"};
    if (ext == "opus") return {"-c:a", "libopus", "-b:a", "16k"};
    // Free-form keys (the ReplayGain gain) need the muxer's metadata-keys atoms.
    if (ext == "m4a") return {"-c:a", "aac", "-b:a", "32k", "-movflags", "use_metadata_tags"};
    if (ext == "wav") return {"-c:a", "pcm_s16le"};
    if (ext == "aiff") return {"-c:a", "pcm_s16be", "-write_id3v2", "1"};
    return {};
}

// Makes path (its extension picks the format) of seconds of tone with tags ("key=value" each;
// none: the file carries no tags at all). Returns ffmpeg's complaint, empty on success.
inline QString makeTagged(const QString& path, double seconds, const QStringList& tags) {
    const QString ext = path.mid(path.lastIndexOf('.') + 1);
    QStringList args{
        "-v",       "error",
        "-nostdin", "-y",
        "-f",       "lavfi",
        "-i",       QString("sine=frequency=440:sample_rate=24000:duration=%1").arg(seconds)};
    args << encoderArgs(ext);
    // Without tags: not even the encoder's name.
    if (tags.isEmpty())
        args << "-map_metadata"
             << "-1"
             << "-fflags"
             << "+bitexact";
    for (const QString& t : tags)
        args << "-metadata" << t;
    args << path;
    QProcess p;
    p.start("ffmpeg", args);
    if (!p.waitForFinished(60000)) return "ffmpeg did not finish: " + p.errorString();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "ffmpeg failed: " + QString::fromLocal8Bit(p.readAllStandardError());
    return {};
}

}  // namespace testmedia
