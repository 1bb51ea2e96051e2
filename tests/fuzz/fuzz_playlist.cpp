// libFuzzer target: the M3U/PLS reader (playlist arguments) and the station links' use of it.
#include "audio/decode/net/playlistlink.h"
#include "fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string broken = velorixa::fuzz::fuzzPlaylistOne(data, size);
    // A station's playlist body: the address taken is one of the body's own.
    const std::string body(reinterpret_cast<const char*>(data), size);
    if (const auto first = velorixa::net::FirstStreamInPlaylist(body, {})) {
        if (body.find(*first) == std::string::npos) broken = "link address not in the body";
        if (first->rfind("http://", 0) != 0 && first->rfind("https://", 0) != 0 &&
            first->rfind("ftp://", 0) != 0)
            broken = "link address of another scheme";
    }
    return velorixa::fuzz::report(broken, "fuzz_playlist");
}
