// libFuzzer target: the list file reader (MemoList.ini, .PLF): read from disk, written and read
#include "fuzz/fuzz_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return velorixa::fuzz::report(velorixa::fuzz::fuzzListFileOne(data, size), "fuzz_listfile");
}
