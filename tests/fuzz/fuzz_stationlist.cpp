// libFuzzer target: the station list's start (NetRadio.ini).
#include "fuzz/fuzz_stations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return velorixa::fuzz::report(velorixa::fuzz::fuzzStationListOne(data, size),
                                  "fuzz_stationlist");
}
