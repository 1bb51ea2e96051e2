#pragma once
// Runs a save under a file size limit of 4 KiB, so that its write fails half way even for root
// (whom file permissions do not stop); returns what the save returned.
#include <sys/resource.h>

#include <csignal>

namespace testmedia {

template <class Save>
bool SaveFailingHalfWay(Save save) {
    rlimit was{};
    if (::getrlimit(RLIMIT_FSIZE, &was) != 0) return true;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = was;
    small.rlim_cur = 4096;
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return true;
    const bool saved = save();
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldHandler);
    return saved;
}

}  // namespace testmedia
