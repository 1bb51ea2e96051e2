// bench_decode: what the audio layer costs against the reference decoder, and what it holds.
//
//   bench_decode [--seconds 180] [--dir /tmp] [--long-minutes 60] [--rounds 3] [--no-rss]
//                [--no-latency] [--no-formats]
//
// 1. Encodes an MP3 of --seconds (44.1 kHz stereo, 128 kb/s) from a tone sweep with noise.
// 2. CPU seconds to decode it through the layer alone (offline, decoded PCM pulled from a decoding
//    source), and through the whole playback chain (pitch channel at the source rate, volumes,
//    master) rendered offline; then `mpg123 -q -w /dev/null` on the same file; and the ratios.
//    Both sides give 16-bit PCM of the whole file: mpg123 synthesises it directly, the layer
//    decodes float (what its ring and the chain carry) and rounds it to 16 bits on the way out.
// 3. Every other format made from the same signal (FLAC, Ogg Vorbis, Opus, AAC in M4A and ADTS,
//    WAV, AIFF): CPU seconds through the layer against the format's own decoder program (flac
//    -d, oggdec, opusdec, ffmpeg -f null), and the ratios; and ffmpeg on the MP3, the measure
//    for keeping libmpg123.
// 4. Latency of a control change: offline (frames until a volume change is complete) and on the
//    no-sound device in real time (time until the meter shows silence, minus its 20 ms window).
// 5. Peak memory (max RSS) of a child process that decodes a 1-minute and a --long-minutes file
//    through the layer from start to end, and renders two minutes of each through the chain.

#include <lame/lame.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/audiolib.h"

namespace {

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double childrenCpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

// The benchmark's signal: a slow sweep with noise, 44.1 kHz stereo, made a block at a time.
struct Sweep {
    std::mt19937 rng{1};
    std::uniform_real_distribution<double> noise{-0.05, 0.05};
    double phase = 0;

    void fill(int64_t at, int n, short* stereo) {
        for (int i = 0; i < n; ++i) {
            double t = double(at + i) / 44100;
            double f = 200 + 1800 * (0.5 + 0.5 * std::sin(t * 0.3));
            phase += 2 * std::numbers::pi * f / 44100;
            double v = 0.4 * std::sin(phase) + noise(rng);
            stereo[2 * i] = static_cast<short>(v * 32767);
            stereo[2 * i + 1] = static_cast<short>(0.8 * v * 32767);
        }
    }
};

// The same signal as a 16-bit WAV file, the source of every other format's file.
bool writeWav(const std::string& path, double seconds) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const auto total = static_cast<int64_t>(seconds * 44100);
    const auto data = static_cast<uint32_t>(total * 4);
    unsigned char h[44] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                           'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                           2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                           0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    for (int i = 0; i < 4; ++i) {
        h[4 + i] = static_cast<unsigned char>((36 + data) >> (8 * i));
        h[40 + i] = static_cast<unsigned char>(data >> (8 * i));
    }
    std::fwrite(h, 1, sizeof h, out);
    Sweep sweep;
    std::vector<short> pcm(2 * 8192);
    for (int64_t at = 0; at < total; at += 8192) {
        int n = static_cast<int>(std::min<int64_t>(8192, total - at));
        sweep.fill(at, n, pcm.data());
        std::fwrite(pcm.data(), 4, static_cast<size_t>(n), out);
    }
    return std::fclose(out) == 0;
}

// Streams the sweep through lame chunk by chunk, so an hour never sits in memory.
bool encodeFile(const std::string& path, double seconds) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, 44100);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, 128);
    lame_set_quality(gf, 7);
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        std::fclose(out);
        lame_close(gf);
        return false;
    }
    const int chunk = 8192;
    std::vector<short> pcm(2 * chunk);
    std::vector<unsigned char> mp3(chunk * 2 + 7200);
    Sweep sweep;
    const auto total = static_cast<int64_t>(seconds * 44100);
    for (int64_t at = 0; at < total; at += chunk) {
        int n = static_cast<int>(std::min<int64_t>(chunk, total - at));
        sweep.fill(at, n, pcm.data());
        int got = lame_encode_buffer_interleaved(gf, pcm.data(), n, mp3.data(),
                                                 static_cast<int>(mp3.size()));
        if (got > 0) std::fwrite(mp3.data(), 1, static_cast<size_t>(got), out);
    }
    int got = lame_encode_flush(gf, mp3.data(), static_cast<int>(mp3.size()));
    if (got > 0) std::fwrite(mp3.data(), 1, static_cast<size_t>(got), out);
    // The Xing/LAME frame at the front gives the exact length.
    unsigned char tag[4096];
    size_t tagLen = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (tagLen > 0) {
        std::fseek(out, 0, SEEK_SET);
        std::fwrite(tag, 1, tagLen, out);
    }
    lame_close(gf);
    return std::fclose(out) == 0;
}

// Decodes a whole file through a decoding source; returns the frames decoded.
int64_t decodeThroughLayer(const std::string& path) {
    DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (!src) return -1;
    std::vector<int16_t> buf(2 * 16384);
    int64_t frames = 0;
    while (true) {
        DWORD got = BASS_ChannelGetData(src, buf.data(), static_cast<DWORD>(buf.size() * 2));
        if (got == 0xFFFFFFFF || got == 0) break;
        frames += got / 4;
    }
    BASS_StreamFree(src);
    return frames;
}

// Renders `seconds` (0 = the whole file) of a file through the playback chain offline.
int64_t renderThroughChain(const std::string& path, double seconds) {
    DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (!src) return -1;
    DWORD ch = BASS_FX_PitchCreate(src);
    BASS_ChannelSetAttributes(ch, -1, 80, 10);
    BASS_StreamPlay(ch, 0, 0);
    std::vector<float> out(2 * 4096);
    int64_t frames = 0;
    const int64_t limit = seconds > 0 ? static_cast<int64_t>(seconds * 44100) : INT64_MAX;
    while (frames < limit && BASS_ChannelIsActive(ch) != 0) {
        frames += VX_Render(out.data(), 4096);
    }
    BASS_StreamFree(src);
    return frames;
}

long maxRssKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// The --rss child: decode the whole file, then render two minutes through the chain.
int rssChild(const std::string& path) {
    if (!BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr)) return 1;
    BASS_SetBufferLength(0.5f);
    long before = maxRssKb();
    int64_t decoded = decodeThroughLayer(path);
    long afterDecode = maxRssKb();
    int64_t rendered = renderThroughChain(path, 120);
    long afterRender = maxRssKb();
    BASS_Free();
    std::printf(
        "  %-28s decoded %8.1f s   max RSS: at start %6ld KB, after decoding %6ld KB, "
        "after 2 min of playback %6ld KB\n",
        path.substr(path.rfind('/') + 1).c_str(), decoded / 44100.0, before, afterDecode,
        afterRender);
    return rendered > 0 ? 0 : 1;
}

int runChild(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void latency() {
    std::printf("\nLatency of a control change\n");
    // Offline: a volume change between renders is complete at the end of the next block.
    {
        BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr);
        std::string path = "/tmp/bench_decode_tone.mp3";
        encodeFile(path, 5);
        DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        DWORD ch = BASS_FX_PitchCreate(src);
        BASS_StreamPlay(ch, 0, 0);
        std::vector<float> out(2 * 44100);
        VX_Render(out.data(), 8192);
        BASS_ChannelSetAttributes(ch, -1, 0, -101);
        VX_Render(out.data(), 4096);
        int lastLoud = -1;
        for (int i = 0; i < 4096; ++i) {
            if (std::fabs(out[2 * i]) > 1e-6f) lastLoud = i;
        }
        std::printf(
            "  offline: last non-silent frame after volume 0: %d (block %d frames = %.1f ms)\n",
            lastLoud, 512, 512 * 1000.0 / 44100);
        BASS_Free();
        std::remove(path.c_str());
    }
    // Real time on the no-sound device: wall time until the meter's 20 ms window is silent.
    {
        BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr);
        std::string path = "/tmp/bench_decode_tone.mp3";
        encodeFile(path, 30);
        DWORD src = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
        DWORD ch = BASS_FX_PitchCreate(src);
        BASS_StreamPlay(ch, 0, 0);
        std::vector<double> ms;
        std::mt19937 rng(5);
        for (int round = 0; round < 20; ++round) {
            BASS_ChannelSetAttributes(ch, -1, 100, -101);
            std::this_thread::sleep_for(std::chrono::milliseconds(80 + rng() % 40));
            auto t0 = std::chrono::steady_clock::now();
            BASS_ChannelSetAttributes(ch, -1, 0, -101);
            while ((BASS_ChannelGetLevel(ch) & 0xFFFF) != 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                    .count() -
                20.0);
        }
        std::sort(ms.begin(), ms.end());
        BASS_INFO info{};
        info.size = sizeof info;
        BASS_GetInfo(&info);
        std::printf(
            "  no-sound device, 20 changes: applied after %.1f ms median, %.1f ms max "
            "(meter window subtracted; device period %u ms)\n",
            ms[ms.size() / 2], ms.back(), info.minbuf);
        BASS_Free();
        std::remove(path.c_str());
    }
}

int runQuiet(const std::string& command) {
    return runChild({"sh", "-c", command + " >/dev/null 2>&1"});
}

// Each format's file made from the same signal, decoded through the layer and by the format's
// own command-line decoder; CPU seconds, best of `rounds`.
void formats(const std::string& dir, double seconds, int rounds, const std::string& mp3) {
    const std::string wav = dir + "/bench_decode_src.wav";
    const std::string shortWav = dir + "/bench_decode_short.wav";
    if (!writeWav(wav, seconds) || !writeWav(shortWav, 1)) return;
    const std::string ff = "ffmpeg -nostdin -loglevel error -y -i " + wav + " ";
    const std::string ffNull = "ffmpeg -nostdin -loglevel error -i FILE -f null -";
    const struct {
        const char* name;
        std::string file;
        std::string make;       // "" when the file is already there
        std::string reference;  // FILE stands for the file
    } rows[] = {
        {"FLAC", dir + "/bench_decode.flac", "flac -s -f -o FILE " + wav,
         "flac -d -s -f -o /dev/null FILE"},
        {"Ogg Vorbis (q 5)", dir + "/bench_decode.ogg", "oggenc -Q -q 5 -o FILE " + wav,
         "oggdec -Q -o /dev/null FILE"},
        {"Opus (128 kb/s)", dir + "/bench_decode.opus",
         "opusenc --quiet --bitrate 128 " + wav + " FILE", "opusdec --quiet FILE /dev/null"},
        {"AAC in M4A (128 kb/s)", dir + "/bench_decode.m4a", ff + "-c:a aac -b:a 128k FILE",
         ffNull},
        {"AAC in ADTS (128 kb/s)", dir + "/bench_decode.aac", ff + "-c:a aac -b:a 128k FILE",
         ffNull},
        {"WAV 16-bit", wav, "", ffNull},
        {"WAV 24-bit", dir + "/bench_decode24.wav", ff + "-c:a pcm_s24le FILE", ffNull},
        {"AIFF", dir + "/bench_decode.aiff", ff + "FILE", ffNull},
        {"MP3 (FFmpeg program)", mp3, "", ffNull},
    };
    auto with = [](std::string text, const std::string& file) {
        for (size_t at; (at = text.find("FILE")) != std::string::npos;)
            text.replace(at, 4, file);
        return text;
    };
    std::printf(
        "\nFormats: CPU seconds for %.0f s of audio (best of %d), the layer's decoding "
        "source against the format's own decoder\n",
        seconds, rounds);
    std::printf("  %-24s %9s %9s %7s %10s %7s   reference\n", "format", "layer", "reference",
                "ratio", "w/o start", "ratio");
    if (!BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr)) return;
    BASS_SetBufferLength(0.5f);
    for (const auto& row : rows) {
        if (!row.make.empty() && runQuiet(with(row.make, row.file)) != 0) {
            std::printf("  %-24s could not be made (%s)\n", row.name, row.make.c_str());
            continue;
        }
        // The program's own start-up (loading its libraries) is measured on a 1 s file of the
        // same format and also shown taken off.
        const std::string shortFile = dir + "/short_" + row.file.substr(dir.size() + 1);
        std::string makeShort =
            with(row.make.empty() ? "cp " + wav + " FILE" : row.make, shortFile);
        for (size_t at; (at = makeShort.find(wav)) != std::string::npos;)
            makeShort.replace(at, wav.size(), shortWav);
        const bool haveShort = runQuiet(makeShort) == 0;
        double layer = 1e30, reference = 1e30, startup = 1e30;
        int64_t frames = 0;
        int rc = 0;
        for (int r = 0; r < rounds; ++r) {
            double c0 = processCpuSeconds();
            frames = decodeThroughLayer(row.file);
            layer = std::min(layer, processCpuSeconds() - c0);
            double m0 = childrenCpuSeconds();
            rc = runQuiet(with(row.reference, row.file));
            reference = std::min(reference, childrenCpuSeconds() - m0);
            m0 = childrenCpuSeconds();
            if (haveShort) runQuiet(with(row.reference, shortFile));
            startup = std::min(startup, childrenCpuSeconds() - m0);
        }
        std::remove(shortFile.c_str());
        // The 1 s file's time is start-up and one second of decoding: keep that second.
        const double perSecond = (reference - startup) / (seconds - 1);
        const double decodingOnly = haveShort ? reference - startup + perSecond : reference;
        const bool mp3Row = row.file == mp3;
        std::printf("  %-24s %8.3fs %8.3fs %7.2f %9.3fs %7.2f   %s%s\n", row.name, layer, reference,
                    layer / reference, decodingOnly, layer / decodingOnly,
                    with(row.reference, row.file.substr(dir.size() + 1)).c_str(),
                    frames <= 0 ? "  (the layer refused it)"
                    : rc != 0   ? "  (the reference failed)"
                    : mp3Row    ? "  (the layer decodes MP3 with libmpg123)"
                                : "");
        if (!row.make.empty()) std::remove(row.file.c_str());
    }
    BASS_Free();
    std::remove(wav.c_str());
    std::remove(shortWav.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 180;
    double longMinutes = 60;
    std::string dir = "/tmp";
    bool rss = true;
    bool latencies = true;
    bool formatRows = true;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rss-child" && i + 1 < argc) return rssChild(argv[i + 1]);
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--long-minutes" && i + 1 < argc)
            longMinutes = std::atof(argv[++i]);
        else if (a == "--no-rss")
            rss = false;
        else if (a == "--no-latency")
            latencies = false;
        else if (a == "--no-formats")
            formatRows = false;
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::clamp(std::atoi(argv[++i]), 1, 20);
        else {
            std::fprintf(stderr,
                         "usage: %s [--seconds S] [--dir D] [--long-minutes M] [--rounds N] "
                         "[--no-rss] [--no-latency] [--no-formats]\n",
                         argv[0]);
            return 2;
        }
    }

    const std::string file = dir + "/bench_decode_" + std::to_string(int(seconds)) + "s.mp3";
    std::printf("Encoding %.0f s of 44.1 kHz stereo at 128 kb/s to %s\n", seconds, file.c_str());
    if (!encodeFile(file, seconds)) return 1;

    if (!BASS_Init(VX_DEVICE_OFFLINE, 44100, 0, nullptr)) return 1;
    BASS_SetBufferLength(0.5f);
    // Each of the three measured `rounds` times in turn, the best kept: the machine is shared.
    double layerDecode = 1e30, layerChain = 1e30, reference = 1e30;
    int64_t decoded = 0, rendered = 0;
    int rc = 0;
    for (int r = 0; r < rounds; ++r) {
        double c0 = processCpuSeconds();
        decoded = decodeThroughLayer(file);
        layerDecode = std::min(layerDecode, processCpuSeconds() - c0);
        c0 = processCpuSeconds();
        rendered = renderThroughChain(file, 0);
        layerChain = std::min(layerChain, processCpuSeconds() - c0);
        double m0 = childrenCpuSeconds();
        rc = runChild({"mpg123", "-q", "-w", "/dev/null", file});
        reference = std::min(reference, childrenCpuSeconds() - m0);
    }
    BASS_Free();

    std::printf("\nCPU seconds for %.1f s of audio (best of %d)\n", decoded / 44100.0, rounds);
    std::printf("  layer, decoding source only:        %7.3f s  (%.0fx real time)\n", layerDecode,
                decoded / 44100.0 / layerDecode);
    std::printf(
        "  layer, full chain rendered offline: %7.3f s  (%.0fx real time, %.1f s rendered)\n",
        layerChain, rendered / 44100.0 / layerChain, rendered / 44100.0);
    if (rc == 0) {
        std::printf("  mpg123 -w /dev/null:                %7.3f s\n", reference);
        std::printf("  ratio layer decode / mpg123:        %7.2f\n", layerDecode / reference);
        std::printf(
            "    (both 16-bit PCM out: mpg123 synthesises 16 bits, the layer float rounded to "
            "16)\n");
        std::printf("  ratio full chain / mpg123:          %7.2f\n", layerChain / reference);
    } else {
        std::printf("  mpg123 not runnable (exit %d): install it (run.sh does)\n", rc);
    }

    if (formatRows) formats(dir, seconds, rounds, file);
    if (latencies) latency();

    if (rss) {
        std::printf("\nMemory (separate processes, offline)\n");
        const std::string shortFile = dir + "/bench_decode_1min.mp3";
        const std::string longFile =
            dir + "/bench_decode_" + std::to_string(int(longMinutes)) + "min.mp3";
        encodeFile(shortFile, 60);
        std::printf("  encoding %.0f minutes...\n", longMinutes);
        std::fflush(stdout);
        encodeFile(longFile, longMinutes * 60);
        runChild({"/proc/self/exe", "--rss-child", shortFile});
        runChild({"/proc/self/exe", "--rss-child", longFile});
        std::remove(shortFile.c_str());
        std::remove(longFile.c_str());
    }
    std::remove(file.c_str());
    return 0;
}
