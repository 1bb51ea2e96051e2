// Effects set to silence (the player's "off" records) pass the sound through untouched without
// rendering, and come back without a click when they are turned on again mid-stream.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <random>
#include <utility>

#include "audio/realtime/fx/effect.h"
#include "common/stepmeasure.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

// What the player sets with an effect slider at the bottom (off) and at the top (full).
struct OffOn {
    int32_t type;
    Record off, on;
};

std::vector<OffOn> playerRecords() {
    auto offOn = [](int32_t type, const std::vector<float>& off, const std::vector<float>& on) {
        return OffOn{type, recordOf(type, off), recordOf(type, on)};
    };
    return {
        offOn(kFxReverb, {0, -96, 1000, 0.001f}, {0, 0, 1000, 0.001f}),
        offOn(kFxEcho, {0, 40, 332, 333, 0}, {100, 60, 332, 333, 0}),
        offOn(kFxFlanger, {0, 100, -75, 0, 0, 4, 2}, {100, 100, -95, 0, 0, 4, 2}),
        offOn(kFxChorus, {0, 100, -85, 0, 0, 0, 2}, {100, 100, -95, 0, 0, 0, 2}),
        offOn(kFxParamEq, {700, 18, 0}, {700, 18, -10}),
    };
}

// Renders `in` through a fresh effect set to `first`, switching to the i-th record of
// `changes` at its frame; `cut` says how each stretch between changes is cut into blocks.
template <class Cut>
Buffer renderWithChanges(int32_t type, const Record& first,
                         const std::vector<std::pair<int, Record>>& changes, Buffer in, Cut&& cut) {
    auto fx = makePrepared(type, 4096);
    fx->setParameters(first.words);
    int pos = 0;
    const int frames = static_cast<int>(in.size() / 2);
    for (size_t i = 0; i <= changes.size(); ++i) {
        const int end = i < changes.size() ? changes[i].first : frames;
        cut(*fx, in.data() + 2 * pos, end - pos);
        if (i < changes.size()) fx->setParameters(changes[i].second.words);
        pos = end;
    }
    return in;
}

void blocksOf(int size, Effect& fx, float* p, int frames) {
    for (int done = 0; done < frames; done += size)
        fx.process(p + 2 * done, std::min(size, frames - done));
}

TEST(Idle, OffRecordsPassTheInputBitForBit) {
    // Set straight after creation, as the player sets a new stream's effects: from the very
    // first sample, with no glide in from the defaults.
    const Buffer in = noise(20000, 11);
    for (const OffOn& r : playerRecords()) {
        auto fx = makePrepared(r.type, 512);
        fx->setParameters(r.off.words);
        Buffer out = in;
        runBlocks(*fx, out, 441);
        EXPECT_EQ(out, in) << typeName(r.type);
    }
}

TEST(Idle, TurningOnMidStreamAndOffAndOnAgainHasNoClick) {
    // Off for 0.3 s, full for 1 s (the first return of the echo at 332 ms included), off for
    // 0.5 s, full again: the sound fed while the effect was off never returns as a step.
    const int frames = 44100 * 3;
    const Buffer in = fadedSine(100.0, frames);
    for (const OffOn& r : playerRecords()) {
        const std::vector<std::pair<int, Record>> changes = {
            {13230, r.on}, {13230 + 44100, r.off}, {13230 + 66150, r.on}};
        const Buffer out =
            renderWithChanges(r.type, r.off, changes, in,
                              [](Effect& fx, float* p, int n) { blocksOf(441, fx, p, n); });
        ASSERT_TRUE(allFinite(out)) << typeName(r.type);
        EXPECT_NE(out, in) << typeName(r.type);
        EXPECT_LT(testmedia::measureSteps(out, 100.0).worstRatio, 1.5) << typeName(r.type);
    }
}

TEST(Idle, SwitchingIsTheSameWhateverTheBlocks) {
    // The changes fall at frames that are no multiple of the effects' sub-block, so glides run
    // across block edges; each stretch is rendered whole, sample by sample and in uneven blocks
    // (zero-length ones included). The player's records, then each effect clearly audible: the
    // swinging delays off by their mix alone, so that their oscillator runs on while idle.
    const Buffer in = noise(30000, 23);
    std::vector<OffOn> cases = playerRecords();
    for (const OffOn& r : playerRecords()) {
        OffOn audible{r.type, r.off, audibleRecord(r.type)};
        if (r.type == kFxFlanger || r.type == kFxChorus) {
            audible.off = audible.on;
            audible.off.setFloat(0, 0);
        }
        cases.push_back(audible);
    }
    for (const OffOn& r : cases) {
        const std::vector<std::pair<int, Record>> changes = {
            {1001, r.on}, {9003, r.off}, {17005, r.on}, {25007, r.off}};
        const Buffer whole = renderWithChanges(
            r.type, r.off, changes, in, [](Effect& fx, float* p, int n) { fx.process(p, n); });
        const Buffer single = renderWithChanges(
            r.type, r.off, changes, in, [](Effect& fx, float* p, int n) { blocksOf(1, fx, p, n); });
        std::mt19937 rng(3);
        const Buffer uneven =
            renderWithChanges(r.type, r.off, changes, in, [&](Effect& fx, float* p, int n) {
                std::uniform_int_distribution<int> size(0, 600);
                for (int done = 0; done < n;) {
                    const int k = std::min(size(rng), n - done);
                    fx.process(p + 2 * done, k);
                    done += k;
                }
            });
        EXPECT_EQ(whole, single) << typeName(r.type);
        EXPECT_EQ(whole, uneven) << typeName(r.type);
        EXPECT_NE(whole, in) << typeName(r.type);
    }
}

// Resident memory of this process, in bytes.
long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST(Idle, EffectsThatStayOffTakeNoMemoryForTheirLines) {
    // Each effect of a playing stream is created with its line at full length, whether or not
    // its slider is ever raised: a reverb or echo that stays off must not cost that memory. The
    // same effects turned on fill their lines, which shows the measurement sees them.
    struct Case {
        int32_t type;
        int count;    // effects at once: enough line to stand out from the allocator's noise
        int seconds;  // long enough for the line to wrap once when on
    };
    const auto records = playerRecords();
    for (const Case& c : {Case{kFxEcho, 8, 4}, Case{kFxReverb, 64, 1}}) {
        SCOPED_TRACE(typeName(c.type));
        const OffOn* rec = nullptr;
        for (const OffOn& r : records)
            if (r.type == c.type) rec = &r;
        ASSERT_NE(rec, nullptr);
        const long before = residentBytes();
        std::vector<std::unique_ptr<Effect>> effects;
        for (int i = 0; i < c.count; ++i) {
            effects.push_back(makePrepared(c.type, 512));
            effects.back()->setParameters(rec->off.words);
        }
        Buffer block = noise(512, 7);
        auto runAll = [&] {
            for (int done = 0; done < c.seconds * static_cast<int>(kRate); done += 512)
                for (auto& fx : effects)
                    fx->process(block.data(), 512);
        };
        runAll();
        const long grownOff = residentBytes() - before;
        for (auto& fx : effects)
            fx->setParameters(rec->on.words);
        runAll();
        const long grownOn = residentBytes() - before;
        EXPECT_GT(grownOn, 4L << 20) << "the lines in use did not show in the resident memory";
        EXPECT_LT(grownOff, grownOn / 4) << "off: " << grownOff << " bytes, on: " << grownOn;
    }
}

}  // namespace
}  // namespace velorixa::fx::test
