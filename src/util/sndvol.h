#pragma once
// The mixer launcher behind `CmdSndVolExe`: starts the desktop's volume mixer, "pavucontrol" or
// "pwvucontrol" (PulseAudio and PipeWire desktops), looked up in the folders of PATH first and
// then at a few fixed places, the way a shell finds a program; the disk is never searched. Every
// click ends in the mixer started or in a message that says why not: which mixers it looks for
// and how to install one, or why the one found did not start.
//
// Thread contract: window thread only; a lookup is a few stat calls.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace velorixa::util {

inline constexpr const char* kSndVolNotFoundText = "File pavucontrol not found";

// Where the mixer is looked for.
struct SndVolPlaces {
    // Looked up by name in each folder of PATH, in this order.
    QStringList names = {QStringLiteral("pavucontrol"), QStringLiteral("pwvucontrol")};
    QStringList fixed = {QStringLiteral("/usr/bin/pavucontrol"),
                         QStringLiteral("/usr/local/bin/pavucontrol"),
                         QStringLiteral("/usr/bin/pwvucontrol")};
};

// The mixer to start: each name in each absolute folder of pathVar (a PATH value: folders
// separated by ":", the file system's bytes), then the fixed places; the first executable
// regular file wins. Empty when there is none.
QString FindSndVol(const SndVolPlaces& places, const QByteArray& pathVar);

// What the operator reads when no mixer was found: "File pavucontrol not found", the mixers and
// places looked at, and how to install one.
QString SndVolNotFoundText(const SndVolPlaces& places);

class MixerLauncher {
  public:
    MixerLauncher();

    struct Outcome {
        QString path;  // the mixer found, empty when none
        bool started = false;
        QString message;  // for the operator when not started; empty when started
    };
    // `RunSndVol`: FindSndVol over this process's PATH, then `TrySndVol` on what it found.
    Outcome RunSndVol() const;
    // `TrySndVol`: starts the program at path, detached; false (and why in *error) when it
    // could not be started (an empty path included).
    bool TrySndVol(const QString& path, QString* error) const;

    SndVolPlaces places;
    // The PATH value looked at; tests give their own.
    std::function<QByteArray()> pathVar;
    // Starts a program detached; false and why in *error when it did not start. Tests replace
    // it.
    std::function<bool(const QString& program, QString* error)> startProgram;
};

}  // namespace velorixa::util
