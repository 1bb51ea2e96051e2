// libFuzzer target: every format's demuxing and decoding from memory, files and stations.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzDecodeOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_decode: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
