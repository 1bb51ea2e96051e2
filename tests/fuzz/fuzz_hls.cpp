// libFuzzer target: the HLS playlist parser, the variant choice and the live start.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_hls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzHlsOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_hls: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
