// libFuzzer target: the set file reader (.PSF): any line end alike, written and read back.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzSetFileOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_setfile: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
