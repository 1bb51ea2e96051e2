// libFuzzer target: the tag reader on any bytes (libavformat itself is not instrumented; the
// reader's own code and its bounds are).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzTagsOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_tags: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
