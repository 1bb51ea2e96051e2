// processChain(): the chain as the channel runs it gives exactly what the effects' own process()
// calls give one after the other, whatever the bands do (settled, gliding, flat, moved while
// playing) and however the blocks are cut.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/realtime/fx/effect.h"
#include "fx_test_util.h"

namespace velorixa::fx::test {
namespace {

// One effect of a chain: its type and the records it is given in turn, one every `every` blocks.
struct Stage {
    int32_t type;
    std::vector<std::vector<float>> records;
};

void give(Effect& fx, int32_t type, const std::vector<float>& f) {
    if (type == kFxParamEq) {
        const DX8ParamEq r{f[0], f[1], f[2]};
        fx.setParameters(&r);
    } else if (type == kFxReverb) {
        const DX8Reverb r{f[0], f[1], f[2], f[3]};
        fx.setParameters(&r);
    } else {
        const DX8Echo r{f[0], f[1], f[2], f[3], static_cast<int32_t>(f[4])};
        fx.setParameters(&r);
    }
}

Buffer render(const std::vector<Stage>& stages, bool chained, int maxBlock, int every) {
    std::vector<std::unique_ptr<Effect>> owned;
    std::vector<Effect*> chain;
    for (const Stage& s : stages) {
        owned.push_back(makePrepared(s.type, 512));
        give(*owned.back(), s.type, s.records[0]);
        chain.push_back(owned.back().get());
    }
    constexpr int kFrames = 20000;
    Buffer b = noise(kFrames, 5);
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> size(1, maxBlock);
    for (int pos = 0, block = 0; pos < kFrames; ++block) {
        if (block > 0 && block % every == 0) {
            for (size_t k = 0; k < stages.size(); ++k) {
                const auto& recs = stages[k].records;
                give(*chain[k], stages[k].type,
                     recs[static_cast<size_t>(block / every) % recs.size()]);
            }
        }
        const int n = std::min(size(rng), kFrames - pos);
        if (chained) {
            processChain(chain.data(), chain.size(), b.data() + 2 * pos, n);
        } else {
            for (Effect* fx : chain)
                fx->process(b.data() + 2 * pos, n);
        }
        pos += n;
    }
    return b;
}

TEST(Chain, RunsExactlyAsTheEffectsOneAfterTheOther) {
    const Stage low{kFxParamEq, {{100, 18, 8}}};
    const Stage mid{kFxParamEq, {{700, 18, -6}}};
    const Stage high{kFxParamEq, {{8000, 18, 4}}};
    const Stage flat{kFxParamEq, {{2000, 12, 0}}};
    const Stage moving{kFxParamEq, {{300, 6, 12}, {300, 6, 0}, {1200, 24, -15}, {300, 6, 0}}};
    const Stage reverb{kFxReverb, {{0, -6, 800, 0.3f}}};
    const Stage echo{kFxEcho, {{50, 40, 5, 7, 1}}};
    struct Case {
        const char* name;
        std::vector<Stage> stages;
    };
    const Case cases[] = {
        {"three settled bands", {low, mid, high}},
        {"two bands", {low, high}},
        {"four bands", {low, mid, high, low}},
        {"five bands", {high, mid, low, mid, high}},
        {"a flat band between", {low, flat, high}},
        {"a band that moves and goes flat", {low, moving, high}},
        {"bands around other effects", {reverb, low, mid, high, echo, mid, low}},
        {"one band alone between effects", {echo, low, reverb}},
    };
    for (const Case& c : cases) {
        for (int maxBlock : {1, 37, 512}) {
            const Buffer apart = render(c.stages, false, maxBlock, 7);
            const std::string what =
                std::string(c.name) + ", blocks up to " + std::to_string(maxBlock);
            EXPECT_EQ(render(c.stages, true, maxBlock, 7), apart) << what;
            const Buffer dry = noise(20000, 5);
            double moved = 0;
            for (size_t i = 0; i < dry.size(); ++i)
                moved = std::max(moved, double(std::abs(apart[i] - dry[i])));
            EXPECT_GT(moved, 0.01) << what;  // the chain does change the sound
        }
    }
}

}  // namespace
}  // namespace velorixa::fx::test
