// Chain benchmark: the CPU a whole 180 s MP3 costs when the player renders it at double speed
// with the equaliser moved and all four effects fully on, while the display reads level and
// spectrum every 10 ms, against the nearest sox and ffmpeg command lines on the same file.
// When we are not ahead, the same run is taken apart (decode, rate change, effects, display
// reads) so the report says where the time goes.
//
// Thread contract: single-threaded; the audio layer runs its own decode thread, whose CPU is
// counted because getrusage(RUSAGE_SELF) covers every thread of the process.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/audiolib.h"
#include "audio/player.h"
#include "audio/realtime/fx/effect.h"
#include "audio/realtime/resampler.h"
#include "common/testmedia.h"
#include "render/renderjob.h"

namespace {

constexpr int kRateHz = 44100;
constexpr int kBlockFrames = 441;  // the render job's block: 10 ms, the display's pace

struct Cost {
    double cpuS = 1e30;
    double wallS = 1e30;
    double sysS = 0;      // the system part of cpuS
    long pageFaults = 0;  // minor faults (first touches of fresh memory)
    bool ok = false;
    void keepBest(const Cost& c) {
        if (!c.ok) return;
        ok = true;
        if (c.cpuS < cpuS) {
            sysS = c.sysS;
            pageFaults = c.pageFaults;
        }
        cpuS = std::min(cpuS, c.cpuS);
        wallS = std::min(wallS, c.wallS);
    }
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

double selfCpuS(double* sysS = nullptr, long* faults = nullptr) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    if (sysS) *sysS = seconds(u.ru_stime);
    if (faults) *faults = u.ru_minflt;
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

double threadCpuS() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double wallNowS() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Measures fn in this process: CPU of all threads (including the layer's decode threads).
Cost measureSelf(const std::function<bool()>& fn) {
    Cost c;
    double sys0 = 0;
    double sys1 = 0;
    long faults0 = 0;
    long faults1 = 0;
    const double cpu0 = selfCpuS(&sys0, &faults0);
    const double wall0 = wallNowS();
    c.ok = fn();
    c.cpuS = selfCpuS(&sys1, &faults1) - cpu0;
    c.sysS = sys1 - sys0;
    c.pageFaults = faults1 - faults0;
    c.wallS = wallNowS() - wall0;
    return c;
}

// Runs a command line as a child with its output in logPath; CPU from wait4 (all its threads).
Cost measureChild(const std::vector<std::string>& argv, const std::string& logPath) {
    Cost c;
    const double wall0 = wallNowS();
    pid_t pid = fork();
    if (pid < 0) return c;
    if (pid == 0) {
        int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        int in = open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, 0);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage u{};
    if (wait4(pid, &status, 0, &u) != pid) return c;
    c.wallS = wallNowS() - wall0;
    c.cpuS = seconds(u.ru_utime) + seconds(u.ru_stime);
    c.sysS = seconds(u.ru_stime);
    c.pageFaults = u.ru_minflt;
    c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!c.ok) {
        std::fprintf(stderr, "bench_chain: %s failed (status %d); its output:\n", argv[0].c_str(),
                     status);
        std::string cmd = "tail -n 5 '" + logPath + "' >&2";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "(no output)\n");
    }
    return c;
}

bool haveTool(const char* name) {
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Music-like test signal: pink noise under a melody of three harmonic partials, a new note every
// quarter second with a short attack and an exponential decay, over a bass note per second.
// Pink noise keeps every band of the equaliser and the effects busy; the tones give the MP3
// encoder the tonal frames real music has.
testmedia::Pcm makeMusic(double lengthS) {
    testmedia::Pcm pcm;
    pcm.rateHz = kRateHz;
    pcm.channels = 2;
    const size_t frames = static_cast<size_t>(lengthS * kRateHz);
    pcm.samples.resize(frames * 2);
    std::mt19937 rng(7);
    std::normal_distribution<double> white(0.0, 1.0);
    // Paul Kellet's pink filter, one per side so the sides are uncorrelated.
    double b[2][7] = {};
    const double scale[] = {0, 2, 3, 5, 7, 9, 12, 14};  // semitones above A3
    const double pi = std::numbers::pi;
    double phase[3] = {};
    double bassPhase = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRateHz;
        const size_t note = static_cast<size_t>(t * 4);
        const double noteT = t - static_cast<double>(note) / 4;
        const double f0 = 220.0 * std::pow(2.0, scale[(note * 5 + note / 8) % 8] / 12.0);
        const double env = std::min(1.0, noteT / 0.01) * std::exp(-noteT * 6.0);
        double tone = 0;
        for (int k = 0; k < 3; ++k) {
            phase[k] += 2 * pi * f0 * (k + 1) / kRateHz;
            if (phase[k] > 2 * pi) phase[k] -= 2 * pi;
            tone += std::sin(phase[k]) * 0.18 / (k + 1);
        }
        const double bassF = 55.0 * std::pow(2.0, scale[(static_cast<size_t>(t) * 3) % 5] / 12.0);
        bassPhase += 2 * pi * bassF / kRateHz;
        if (bassPhase > 2 * pi) bassPhase -= 2 * pi;
        const double bass = std::sin(bassPhase) * 0.15;
        for (int ch = 0; ch < 2; ++ch) {
            double w = white(rng);
            double* s = b[ch];
            s[0] = 0.99886 * s[0] + w * 0.0555179;
            s[1] = 0.99332 * s[1] + w * 0.0750759;
            s[2] = 0.96900 * s[2] + w * 0.1538520;
            s[3] = 0.86650 * s[3] + w * 0.3104856;
            s[4] = 0.55000 * s[4] + w * 0.5329522;
            s[5] = -0.7616 * s[5] - w * 0.0168980;
            double pink = (s[0] + s[1] + s[2] + s[3] + s[4] + s[5] + s[6] + w * 0.5362) * 0.011;
            s[6] = w * 0.115926;
            const double pan = ch == 0 ? 0.8 : 1.0;  // melody a little right of centre
            double v = pink + tone * env * pan + bass;
            pcm.samples[i * 2 + ch] =
                static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
        }
    }
    return pcm;
}

// The player's settings under test: speed slider 150 (twice the source rate), equaliser
// sliders 10, 80, 30 (+8, -6, +4 dB), effect sliders all 0 (fully on).
velorixa::tools::RenderOptions chainOptions(const std::string& mp3) {
    velorixa::tools::RenderOptions o;
    o.input = QString::fromStdString(mp3);
    o.sound.knobs[velorixa::controls::kKnobPitch].value = 150;
    for (int b = 0; b < 3; ++b)
        o.sound.knobs[velorixa::controls::kKnobEqFirst + b].value = std::array{10, 80, 30}[b];
    for (int e = 0; e < 4; ++e)
        o.sound.knobs[velorixa::controls::kKnobFxFirst + e].value = 0;
    return o;
}

struct OurRun {
    size_t frames = 0;
    double displayCpuS = 0;  // thread CPU spent in the level and spectrum reads
    long reads = 0;
};

bool renderOurs(const velorixa::tools::RenderOptions& o, bool display, OurRun* run) {
    std::vector<float> fft(256);
    double displayCpu = 0;
    long reads = 0;
    double sink = 0;
    auto perBlock = [&](uint32_t chan, size_t) {
        const double t0 = threadCpuS();
        DWORD level = BASS_ChannelGetLevel(chan);
        DWORD got = BASS_ChannelGetData(chan, fft.data(), BASS_DATA_FFT512);
        displayCpu += threadCpuS() - t0;
        ++reads;
        sink += static_cast<double>(level & 0xFFFF) + (got == 1024 ? fft[3] : 0.f);
    };
    velorixa::tools::RenderResult r =
        display ? velorixa::tools::Render(o, perBlock) : velorixa::tools::Render(o);
    if (run) {
        run->frames = r.stereo.size() / 2;
        run->displayCpuS = displayCpu;
        run->reads = reads;
    }
    return r.opened && !r.stereo.empty() && std::isfinite(sink);
}

// tools::Render's loop without keeping the output: what the player itself does with a block
// once it is heard. Render keeps the whole result in memory, whose first touches of fresh pages
// cost time the player never spends.
bool renderDiscarding(const velorixa::tools::RenderOptions& o, OurRun* run, bool display = true) {
    if (!BASS_Init(VX_DEVICE_OFFLINE, kRateHz, 0, nullptr)) return false;
    bool opened = false;
    size_t done = 0;
    std::vector<float> fft(256);
    double sink = 0;
    {
        velorixa::PLAYER player;
        player.SetMasterVolume(100);
        player.SetGlobalVolume(100);
        const velorixa::controls::StartValues v = velorixa::controls::StartValuesOf(o.sound);
        opened = player.StartPlay(o.input, 2, v.FRQ, v.VOL, v.PAN, v.EqlArr, v.EffArr);
        std::vector<float> block(2 * kBlockFrames);
        while (opened) {
            // As the render job does: wait for the decode thread to be three blocks ahead.
            DWORD last = 0;
            for (int still = 0, waited = 0; waited < 200 && still < 30; ++waited) {
                DWORD have = VX_ChannelBuffered(player.ChanEQL);
                if (have == 0xFFFFFFFFu || have >= 3 * kBlockFrames ||
                    BASS_ChannelIsActive(player.ChanEQL) == BASS_ACTIVE_STOPPED) {
                    break;
                }
                struct timespec ms {
                    0, 1000000
                };
                nanosleep(&ms, nullptr);
                still = have == last ? still + 1 : 0;
                last = have;
            }
            if (!player.GetFilePlayPerf()) break;
            DWORD got = VX_Render(block.data(), kBlockFrames);
            if (got == 0) break;
            done += got;
            if (display) {
                DWORD level = BASS_ChannelGetLevel(player.ChanPIT);
                BASS_ChannelGetData(player.ChanPIT, fft.data(), BASS_DATA_FFT512);
                sink += static_cast<double>(level & 0xFFFF) + fft[3];
            }
            sink += block[0];
        }
        player.ExitForm();
    }
    BASS_Free();
    if (run) run->frames = done;
    return opened && done > 0 && std::isfinite(sink);
}

// The layer's decoder alone: the file pulled as 16-bit PCM from a decoding source.
bool decodeOnly(const std::string& mp3) {
    if (!BASS_Init(VX_DEVICE_OFFLINE, kRateHz, 0, nullptr)) return false;
    DWORD h = BASS_StreamCreateFile(0, mp3.c_str(), 0, 0, BASS_STREAM_DECODE);
    size_t bytes = 0;
    if (h) {
        std::vector<char> buf(1 << 16);
        for (;;) {
            DWORD got = BASS_ChannelGetData(h, buf.data(), static_cast<DWORD>(buf.size()));
            if (got == 0xFFFFFFFFu || got == 0) break;
            bytes += got;
        }
        BASS_StreamFree(h);
    }
    BASS_Free();
    return bytes > 0;
}

// The rate change alone, as the layer's channel does it (its own polyphase resampler), on the
// source as float: 1/ratio input frames per output frame.
bool resampleOnly(const std::vector<float>& source, double ratio) {
    velorixa::audio::Resampler rs;
    if (!rs.prepare(2, kBlockFrames)) return false;
    rs.setRatio(ratio);
    std::vector<float> out(2 * kBlockFrames);
    const size_t frames = source.size() / 2;
    size_t at = 0;
    size_t made = 0;
    for (;;) {
        const bool end = at >= frames;
        auto r = rs.process(source.data() + 2 * std::min(at, frames), frames - std::min(at, frames),
                            out.data(), kBlockFrames, end);
        at += r.inputUsed;
        made += r.outputGenerated;
        if (r.inputUsed == 0 && r.outputGenerated == 0) break;
    }
    return made > 0;
}

// The equaliser and the four effects alone, with the records the player sets for the sliders
// under test, on `frames` frames in the render job's blocks.
bool effectsOnly(const std::vector<float>& source, size_t frames) {
    using namespace velorixa::fx;
    std::vector<std::unique_ptr<Effect>> chain;
    const DX8ParamEq bands[3] = {{100, 18, 8}, {700, 18, -6}, {8000, 18, 4}};
    for (const auto& band : bands) {
        chain.push_back(createEffect(kFxParamEq));
        chain.back()->setParameters(&band);
    }
    const DX8Reverb reverb{0, 0, 1000, 0.001f};
    const DX8Echo echo{100, 60, 332, 333, 0};
    const DX8Flanger flanger{100, 100, -75, 0, 0, 4, 2};
    const DX8Chorus chorus{100, 100, -95, 0, 0, 0, 2};
    const std::pair<int32_t, const void*> fx[] = {
        {kFxReverb, &reverb}, {kFxEcho, &echo}, {kFxFlanger, &flanger}, {kFxChorus, &chorus}};
    for (const auto& [type, record] : fx) {
        chain.push_back(createEffect(type));
        chain.back()->setParameters(record);
    }
    std::vector<Effect*> raw;  // as the channel runs them
    for (auto& e : chain) {
        e->prepare(kRateHz, kBlockFrames);
        raw.push_back(e.get());
    }
    std::vector<float> block(2 * kBlockFrames);
    const size_t sourceFrames = source.size() / 2;
    double sink = 0;
    for (size_t done = 0; done < frames; done += kBlockFrames) {
        const size_t n = std::min<size_t>(kBlockFrames, frames - done);
        const size_t from = (done * 2) % (sourceFrames - kBlockFrames);  // every other frame
        std::copy_n(source.begin() + static_cast<long>(2 * from), 2 * n, block.begin());
        processChain(raw.data(), raw.size(), block.data(), static_cast<int>(n));
        sink += block[0];
    }
    return std::isfinite(sink);
}

void printRow(const char* name, const Cost& c) {
    if (c.ok) {
        std::printf("  %-52s %7.3f  %7.3f  %7.3f  %7ld\n", name, c.cpuS, c.sysS, c.wallS,
                    c.pageFaults);
    } else {
        std::printf("  %-52s  failed\n", name);
    }
}

void usage() {
    std::fprintf(stderr,
                 "usage: bench_chain [--rounds N] [--seconds S] [--only-ours] [--no-breakdown] "
                 "[--keep] [--only-rest]\n");
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    double lengthS = 180;
    bool onlyOurs = false;
    bool breakdown = true;
    bool keep = false;
    bool onlyRest = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc) {
            rounds = std::clamp(std::atoi(argv[++i]), 1, 20);
        } else if (a == "--seconds" && i + 1 < argc) {
            lengthS = std::clamp(std::atof(argv[++i]), 5.0, 3600.0);
        } else if (a == "--only-ours") {
            onlyOurs = true;
        } else if (a == "--no-breakdown") {
            breakdown = false;
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--only-rest") {
            onlyRest = true;
        } else {
            usage();
            return 2;
        }
    }

    char dirTemplate[] = "/tmp/bench_chain.XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("bench_chain: mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string mp3 = dir + "/music.mp3";

    std::printf(
        "bench_chain: making %.0f s of 44.1 kHz stereo (pink noise + 3-partial melody + "
        "bass), MP3 192 kbit/s CBR by libmp3lame ...\n",
        lengthS);
    std::fflush(stdout);
    testmedia::Pcm pcm = makeMusic(lengthS);
    testmedia::Mp3Options mp3Options;
    mp3Options.bitrateKbps = 192;
    mp3Options.quality = 7;  // encoder speed only; decoding costs the same
    std::vector<uint8_t> bytes = testmedia::encodeMp3(pcm, mp3Options);
    if (bytes.empty() || !testmedia::writeFile(mp3, bytes)) {
        std::fprintf(stderr, "bench_chain: cannot make %s\n", mp3.c_str());
        return 1;
    }
    std::vector<float> sourceFloat(pcm.samples.size());
    for (size_t i = 0; i < sourceFloat.size(); ++i)
        sourceFloat[i] = pcm.samples[i] / 32768.0f;
    pcm = {};
    std::printf("  %s, %zu bytes\n\n", mp3.c_str(), bytes.size());

    const velorixa::tools::RenderOptions options = chainOptions(mp3);
    velorixa::tools::RenderOptions rest;
    rest.input = options.input;  // speed 100, EQ flat, effects off: the player after start-up
    if (onlyRest) {
        // For a profiler: the player at rest, played and thrown away, nothing else.
        Cost c;
        for (int r = 0; r < rounds; ++r)
            c.keepBest(measureSelf([&] { return renderDiscarding(rest, nullptr, false); }));
        printRow("player at rest, blocks not kept, no display reads", c);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        return c.ok ? 0 : 1;
    }
    std::printf(
        "Chain (the player's settings and the nearest equivalents):\n"
        "  velorixa  speed slider 150 = rate x2 (88200 Hz played at 44100: pitch and tempo up\n"
        "            together, own polyphase resampler), EQ sliders 10,80,30 = peaking bands\n"
        "            100/700/8000 Hz, 18 semitones (1.5 oct), +8/-6/+4 dB; effect sliders 0,0,0,0\n"
        "            = reverb mix 0 dB (all wet, 1000 ms), echo 100%% wet 60%% feedback 332/333 "
        "ms,\n"
        "            flanger 100%% wet depth 100 feedback -75 delay 4 ms, chorus 100%% wet\n"
        "            depth 100 feedback -95; level + 512-point FFT read every 10 ms of output\n"
        "  sox       speed 2, rate 44100, equalizer x3 (same centres, 1.5o, same gains), reverb "
        "-w\n"
        "            (wet only, 50%% reverberance), echo with 4 taps at 332 ms steps decaying by\n"
        "            0.6 (sox's echo has no feedback), flanger (2 ms + 2 ms sweep, -75%% regen,\n"
        "            triangle), chorus (one 25 ms voice); output to -n (null)\n"
        "  ffmpeg    asetrate=88200, aresample=44100, equalizer x3 (same), reverb ~ aecho with\n"
        "            6 short taps (ffmpeg has no reverb filter), aecho 4 taps as for sox,\n"
        "            flanger (2 ms + 2 ms, -75%% regen, triangular), chorus (one 25 ms voice);\n"
        "            -f null\n"
        "  CPU = user + system seconds of every thread: ours getrusage(RUSAGE_SELF) before/after\n"
        "  the render in this process, theirs wait4() of the child. Best of %d run(s) each.\n\n",
        rounds);

    const std::vector<std::string> soxCmd = {
        "sox",     "-q",        "-D",   mp3,    "-n",  "speed",     "2",        "rate",
        "44100",   "equalizer", "100",  "1.5o", "8",   "equalizer", "700",      "1.5o",
        "-6",      "equalizer", "8000", "1.5o", "4",   "reverb",    "-w",       "50",
        "50",      "100",       "100",  "0",    "0",   "echo",      "0.8",      "0.9",
        "332",     "0.6",       "664",  "0.36", "996", "0.22",      "1328",     "0.13",
        "flanger", "2",         "2",    "-75",  "100", "0.1",       "triangle", "0",
        "lin",     "chorus",    "0.7",  "0.9",  "25",  "0.4",       "0.25",     "2",
        "-t"};
    const std::string ffFilter =
        "asetrate=88200,aresample=44100,"
        "equalizer=f=100:t=o:w=1.5:g=8,equalizer=f=700:t=o:w=1.5:g=-6,"
        "equalizer=f=8000:t=o:w=1.5:g=4,"
        "aecho=0.8:0.7:23|37|53|71|89|113:0.5|0.45|0.4|0.35|0.3|0.25,"
        "aecho=0.8:0.9:332|664|996|1328:0.6|0.36|0.22|0.13,"
        "flanger=delay=2:depth=2:regen=-75:width=100:speed=0.1:shape=triangular:phase=0,"
        "chorus=0.7:0.9:25:0.4:0.25:2";
    const std::vector<std::string> ffCmd = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i",
        mp3,      "-af",      ffFilter,       "-f",        "null",  "-"};
    // With no effect sox skips reading into -n, so decode into raw PCM thrown away.
    const std::vector<std::string> soxDecode = {"sox", "-q", "-D", mp3, "-t", "raw", "/dev/null"};
    const std::vector<std::string> ffDecode = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-i", mp3, "-f", "null", "-"};
    const bool haveSox = !onlyOurs && haveTool("sox");
    const bool haveFfmpeg = !onlyOurs && haveTool("ffmpeg");
    if (!onlyOurs && (!haveSox || !haveFfmpeg)) {
        std::printf("  (sox or ffmpeg missing: tools/bench_chain/run.sh installs them)\n");
    }

    Cost ours, lean, sox, ffmpeg;
    OurRun best, leanRun;
    for (int r = 0; r < rounds; ++r) {
        OurRun run;
        Cost c = measureSelf([&] { return renderOurs(options, true, &run); });
        if (c.ok && c.cpuS < ours.cpuS) best = run;
        ours.keepBest(c);
        lean.keepBest(measureSelf([&] { return renderDiscarding(options, &leanRun); }));
        if (haveSox) sox.keepBest(measureChild(soxCmd, dir + "/sox.log"));
        if (haveFfmpeg) ffmpeg.keepBest(measureChild(ffCmd, dir + "/ffmpeg.log"));
    }
    if (!ours.ok) {
        std::fprintf(stderr, "bench_chain: the player could not render %s\n", mp3.c_str());
        return 1;
    }

    std::printf("%-56s %7s  %7s  %7s  %7s\n", "Whole file, one run", "CPU s", "sys s", "wall s",
                "faults");
    printRow("velorixa (tools::Render + display reads)", ours);
    printRow("velorixa, same loop, blocks not kept (as played)", lean);
    if (haveSox) printRow("sox", sox);
    if (haveFfmpeg) printRow("ffmpeg", ffmpeg);
    std::printf("  rendered %zu frames (%.1f s of output), %ld level + spectrum reads\n",
                best.frames, static_cast<double>(best.frames) / kRateHz, best.reads);
    if (sox.ok) {
        std::printf("  ratio velorixa/sox    %.2f  (blocks not kept: %.2f)\n", ours.cpuS / sox.cpuS,
                    lean.cpuS / sox.cpuS);
    }
    if (ffmpeg.ok) {
        std::printf("  ratio velorixa/ffmpeg %.2f  (blocks not kept: %.2f)\n",
                    ours.cpuS / ffmpeg.cpuS, lean.cpuS / ffmpeg.cpuS);
    }

    const bool ahead = (!sox.ok || ours.cpuS < sox.cpuS) && (!ffmpeg.ok || ours.cpuS < ffmpeg.cpuS);
    if (breakdown) {
        Cost dec, neutral, neutralLean, noDisplay, resample, resampleAtRest, effects, soxDec, ffDec;
        for (int r = 0; r < rounds; ++r) {
            dec.keepBest(measureSelf([&] { return decodeOnly(mp3); }));
            neutralLean.keepBest(
                measureSelf([&] { return renderDiscarding(rest, nullptr, false); }));
            neutral.keepBest(measureSelf([&] { return renderOurs(rest, false, nullptr); }));
            noDisplay.keepBest(measureSelf([&] { return renderOurs(options, false, nullptr); }));
            resample.keepBest(measureSelf([&] { return resampleOnly(sourceFloat, 0.5); }));
            resampleAtRest.keepBest(measureSelf([&] { return resampleOnly(sourceFloat, 1.0); }));
            effects.keepBest(measureSelf([&] { return effectsOnly(sourceFloat, best.frames); }));
            if (haveSox) soxDec.keepBest(measureChild(soxDecode, dir + "/sox.log"));
            if (haveFfmpeg) ffDec.keepBest(measureChild(ffDecode, dir + "/ffmpeg.log"));
        }
        std::printf("\nWhere our time goes (each part measured on its own, best of %d)\n", rounds);
        printRow("decode only (layer decoding source, GetData to end)", dec);
        printRow("rate change only (resampler, x0.5)", resample);
        printRow("EQ x3 + reverb + echo + flanger + chorus only", effects);
        std::printf("  %-52s %7.3f\n", "display reads (thread CPU inside the full run)",
                    best.displayCpuS);
        const double keeping = lean.ok ? std::max(0.0, ours.cpuS - lean.cpuS) : 0.0;
        std::printf("  %-52s %7.3f\n", "keeping the output (Render's stored blocks)", keeping);
        const double parts = dec.cpuS + resample.cpuS + effects.cpuS + best.displayCpuS + keeping;
        std::printf("  %-52s %7.3f\n", "rest: threads, waits, copies (full - parts, <0 noise)",
                    ours.cpuS - parts);
        printRow("full chain without the display reads", noDisplay);
        printRow("player at rest (speed 100, EQ flat, effects off)", neutral);
        printRow("  the same, blocks not kept, no display reads", neutralLean);
        if (dec.ok && lean.ok) {
            std::printf("  ratio as played (blocks not kept) / decode only  %.2f  (aim <= 2.0)\n",
                        lean.cpuS / dec.cpuS);
        }
        if (ffmpeg.ok && lean.ok) {
            std::printf("  ratio as played (blocks not kept) / ffmpeg       %.2f  (aim <= 0.45)\n",
                        lean.cpuS / ffmpeg.cpuS);
        }
        if (dec.ok && neutralLean.ok) {
            std::printf("  ratio at rest (not kept, no reads) / decode only  %.2f  (aim <= 1.3)\n",
                        neutralLean.cpuS / dec.cpuS);
        }
        printRow("  its rate change alone (resampler at ratio 1)", resampleAtRest);
        if (soxDec.ok) printRow("sox decode only (to raw /dev/null)", soxDec);
        if (ffDec.ok) printRow("ffmpeg decode only (-f null)", ffDec);
        if (!ahead) {
            struct Part {
                const char* name;
                double cpuS;
            } partsList[] = {{"decode", dec.cpuS},
                             {"rate change", resample.cpuS},
                             {"EQ + effects", effects.cpuS},
                             {"display reads", best.displayCpuS},
                             {"keeping the output", keeping},
                             {"layer overhead", ours.cpuS - parts}};
            std::sort(std::begin(partsList), std::end(partsList),
                      [](const Part& a, const Part& b) { return a.cpuS > b.cpuS; });
            std::printf(
                "  not ahead: most of our %.2f CPU s is %s (%.2f s, %.0f%%), then %s "
                "(%.2f s)\n",
                ours.cpuS, partsList[0].name, partsList[0].cpuS,
                100.0 * partsList[0].cpuS / ours.cpuS, partsList[1].name, partsList[1].cpuS);
        }
    }

    std::printf("\nsummary: velorixa %.2f CPU s", ours.cpuS);
    if (sox.ok) std::printf(", sox %.2f (ratio %.2f)", sox.cpuS, ours.cpuS / sox.cpuS);
    if (ffmpeg.ok) std::printf(", ffmpeg %.2f (ratio %.2f)", ffmpeg.cpuS, ours.cpuS / ffmpeg.cpuS);
    if (sox.ok || ffmpeg.ok) {
        const bool leanAhead =
            lean.ok && (!sox.ok || lean.cpuS < sox.cpuS) && (!ffmpeg.ok || lean.cpuS < ffmpeg.cpuS);
        std::printf(": %s; blocks not kept %.2f CPU s: %s\n",
                    ahead ? "ahead of both" : "NOT ahead of both", lean.cpuS,
                    leanAhead ? "ahead of both" : "NOT ahead of both");
    } else {
        std::printf(" (no comparison run)\n");
    }

    if (keep) {
        std::printf("kept %s\n", dir.c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return 0;
}
