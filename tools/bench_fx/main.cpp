// Micro-benchmark of the effect chain: CPU time to render 180 s of stereo 44.1 kHz noise
// through three EQ bands, reverb, echo, flanger and chorus (all fully on), against a plain
// copy loop of the same audio as the baseline.

#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "audio/realtime/fx/effect.h"

using namespace velorixa::fx;

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

}  // namespace

int main() {
    constexpr double kRate = 44100.0;
    constexpr int kBlock = 1024;
    constexpr long kFrames = 180L * 44100L;

    std::vector<float> source(2 * kBlock * 64);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-0.3f, 0.3f);
    for (float& s : source)
        s = dist(rng);

    std::vector<std::unique_ptr<Effect>> chain;
    const DX8ParamEq bands[3] = {{100, 18, 10}, {700, 18, -10}, {8000, 18, 10}};
    for (const auto& band : bands) {
        chain.push_back(createEffect(kFxParamEq));
        chain.back()->setParameters(&band);
    }
    const DX8Reverb reverb{0, 0, 1000, 0.001f};
    const DX8Echo echo{100, 60, 332, 333, 0};
    const DX8Flanger flanger{100, 100, -75, 0.5f, 0, 4, 2};
    const DX8Chorus chorus{100, 100, -95, 1.1f, 1, 16, 3};
    chain.push_back(createEffect(kFxReverb));
    chain.back()->setParameters(&reverb);
    chain.push_back(createEffect(kFxEcho));
    chain.back()->setParameters(&echo);
    chain.push_back(createEffect(kFxFlanger));
    chain.back()->setParameters(&flanger);
    chain.push_back(createEffect(kFxChorus));
    chain.back()->setParameters(&chorus);
    std::vector<Effect*> raw;  // as the channel runs them
    for (auto& fx : chain) {
        fx->prepare(kRate, kBlock);
        raw.push_back(fx.get());
    }

    std::vector<float> block(2 * kBlock);
    double checksum = 0.0;
    const long blocks = kFrames / kBlock;
    const size_t sourceBlocks = source.size() / block.size();

    double t0 = cpuSeconds();
    for (long b = 0; b < blocks; ++b) {
        const float* src = source.data() + (b % sourceBlocks) * block.size();
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = src[i];
        checksum += block[0];
    }
    const double copySeconds = cpuSeconds() - t0;

    t0 = cpuSeconds();
    for (long b = 0; b < blocks; ++b) {
        const float* src = source.data() + (b % sourceBlocks) * block.size();
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = src[i];
        processChain(raw.data(), raw.size(), block.data(), kBlock);
        checksum += block[0];
    }
    const double chainSeconds = cpuSeconds() - t0;

    std::printf("audio: %.0f s stereo at %.0f Hz in blocks of %d frames\n",
                blocks * double(kBlock) / kRate, kRate, kBlock);
    std::printf("copy loop:                                   %.3f CPU-s\n", copySeconds);
    std::printf(
        "EQ x3 + reverb + echo + flanger + chorus:    %.3f CPU-s (%.1fx copy, %.0fx real time)\n",
        chainSeconds, chainSeconds / (copySeconds > 0 ? copySeconds : 1e-9),
        blocks * double(kBlock) / kRate / chainSeconds);
    std::printf("(checksum %g)\n", checksum);
    return 0;
}
