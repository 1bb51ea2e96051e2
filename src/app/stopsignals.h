#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) end the player the way
// closing its window does. The handler only records the signal and writes one byte to a pipe:
// the main loop sees the request and runs the unload steps, and the pipe's read end wakes any
// event loop that waits meanwhile (a modal question), so it can make way for the main loop.
// Before the main loop runs (the command line's files are read), the start asks StopRequested
// itself; the handler does not restart interrupted system calls, so a wait in one ends too.
//
// Thread contract: InstallStopSignals once, from the main thread, before other threads start;
// StopRequested and StopSignalFd from the main thread; the handler itself is async-signal-safe.

namespace velorixa::app {

// Installs the handlers (once; later calls do nothing). False when the pipe or a handler could
// not be set up.
bool InstallStopSignals();

// A stop signal arrived since the handlers were installed.
bool StopRequested();

// The pipe's read end (non-blocking), readable once a stop signal arrived; -1 before
// InstallStopSignals.
int StopSignalFd();

}  // namespace velorixa::app
