// libFuzzer target: the ICY metadata splitter against a plain reference, whole and in pieces.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzIcyOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_icy: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
