#pragma once
// The sound output the user chose and its buffer, kept in $XDG_CONFIG_HOME/velorixa/output.conf
// (~/.config when unset) for the next start.
//
// Thread contract: plain values and file functions; any thread.

#include <QString>

namespace velorixa {

struct OutputSettings {
    QString output;          // the server's name of the output; empty: the server's default
    int bufferFrames = 512;  // frames per write of the output (one of audio::kOutputBufferChoices)

    static QString DefaultPath();
    // Lines "output=<name>" and "buffer=<frames>"; anything else, a buffer that is not one of
    // the choices, or a missing or unreadable file gives the defaults for what it lacks.
    static OutputSettings Load(const QString& path);
    // Written whole (util::SaveWhole); false with a reason when it failed.
    bool save(const QString& path, QString* error) const;
    // Hands both to the audio layer: the next BASS_Init opens that output with that buffer.
    void apply() const;
};

}  // namespace velorixa
