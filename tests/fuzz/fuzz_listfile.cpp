// libFuzzer target: the list file reader (MemoList.ini, .PLF): read from disk, written and read
// back.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = velorixa::fuzz::fuzzListFileOne(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_listfile: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
