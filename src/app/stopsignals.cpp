#include "app/stopsignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace velorixa::app {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;
int g_pipe[2] = {-1, -1};

void onStopSignal(int) {
    const int savedErrno = errno;
    g_stopRequested = 1;
    const char byte = 1;
    // A full pipe already wakes its reader; the result does not matter.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

bool InstallStopSignals() {
    if (g_pipe[0] >= 0) return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a system call that waits (a read at start, before the event loop) returns
    // with EINTR, so the code waiting can see the request and give up.
    sa.sa_flags = 0;
    bool ok = true;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ok = ::sigaction(sig, &sa, nullptr) == 0 && ok;
    return ok;
}

bool StopRequested() {
    return g_stopRequested != 0;
}

int StopSignalFd() {
    return g_pipe[0];
}

}  // namespace velorixa::app
