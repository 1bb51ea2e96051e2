// libFuzzer target: the set file reader (.PSF): any line end alike, written and read back.
#include "fuzz/fuzz_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return velorixa::fuzz::report(velorixa::fuzz::fuzzSetFileOne(data, size), "fuzz_setfile");
}
