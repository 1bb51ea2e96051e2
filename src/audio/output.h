#pragma once
// The sound output's choice, for the window: the outputs the sound server offers, the one in
// use, moving to another while music plays, the buffer and its measured latency, and what
// happened to the output meanwhile. Without a sound server (no-sound, offline or SDL's own
// driver) the list is empty and a choice is only kept for the next start.
//
// Thread contract: any thread except the audio thread; every call answers at once (it reads
// what the output's own watcher thread found; the moves themselves happen there).

#include <string>
#include <vector>

#include "audio/realtime/pulseoutput.h"

namespace velorixa::audio {

// Frames per write a buffer setting may take; the default is the first block size.
inline constexpr int kOutputBufferChoices[] = {256, 512, 1024, 2048, 4096};
inline constexpr int kDefaultOutputBuffer = 512;

// The server's outputs, its default first; empty without a server.
std::vector<OutputDevice> outputDevices();
// The output playing now (empty: none, or no server).
std::string outputInUse();
// Moves the sound to `name` (empty: the server's default) with a short fade, and keeps it as
// the choice of the next BASS_Init. False when no server output runs (kept all the same).
bool chooseOutput(const std::string& name);
// Frames per write; heard at once on a server's output, kept for the next BASS_Init.
bool setOutputBuffer(int frames);
// The output's latency as the server measures it, in ms; -1 while unknown or without server.
int outputLatencyMs();
// What happened to the output since the last call, oldest first, for the message line.
std::vector<std::string> takeOutputMessages();

}  // namespace velorixa::audio
