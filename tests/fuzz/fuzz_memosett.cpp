// libFuzzer target: MemoSett.ini: any line end alike, names written back byte for byte.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzMemoSettOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_memosett: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
