// libFuzzer target: the response header collector and the icy-metaint parser.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzHeadersOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_headers: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
