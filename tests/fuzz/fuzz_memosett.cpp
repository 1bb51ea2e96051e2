// libFuzzer target: MemoSett.ini: any line end alike, names written back byte for byte.
#include "fuzz/fuzz_sets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return velorixa::fuzz::report(velorixa::fuzz::fuzzMemoSettOne(data, size), "fuzz_memosett");
}
