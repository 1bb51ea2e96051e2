// libFuzzer target: the station list's start (NetRadio.ini).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_stations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzStationListOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_stationlist: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
