// The resampler's filter tables through the API the player drives: a file playing at its own
// rate builds only the first, shortest table; a faster rate set through the calls a knob goes
// through (the pitch, the channel's frequency attribute, the output moved to a lower rate)
// has every table up to its step built when the call returns, before the next block can read
// it.

#include <cmath>
#include <mutex>
#include <string>

#include "audio/realtime/engine.h"
#include "audio/realtime/resampler.h"
#include "audiotest.h"
#include "freshprocess.h"

using namespace audiotest;
using velorixa::audio::Resampler;

namespace {

enum class Call { kNone, kPitchSet, kFrequencyAttribute, kOutputRate };

struct Case {
    const char* name;
    int fileHz, outputHz;
    Call call;
    int atRest;   // tables built playing at the file's own rate
    int valueHz;  // the playback rate set, or the output's new rate
    int tables;   // built after the call
};

void apply(const Case& c, const Chain& chain) {
    switch (c.call) {
        case Call::kNone:
            break;
        case Call::kPitchSet:
            ASSERT_TRUE(BASS_FX_PitchSet(chain.source, static_cast<DWORD>(c.valueHz)));
            break;
        case Call::kFrequencyAttribute:
            ASSERT_TRUE(BASS_ChannelSetAttributes(chain.channel, c.valueHz, -1, -101));
            break;
        case Call::kOutputRate: {
            std::lock_guard<std::mutex> lock(velorixa::audio::apiMutex());
            auto* entry = velorixa::audio::engineSlot()->find(chain.channel);
            ASSERT_TRUE(entry && entry->channel);
            entry->channel->setOutputRate(c.valueHz);
            break;
        }
    }
}

}  // namespace

TEST(RateTables, BuiltUpToTheStepBeforeTheAudioThreadCanUseIt) {
    // Steps: 44.1 kHz into 48 kHz is 0.919 (the first table), 48 kHz into 44.1 kHz 1.088 (up
    // to 1.1); 1.5 times the rate at 44.1 kHz needs the tables up to 1.1^5, twice up to 1.1^8,
    // three times a 48 kHz file into 44.1 kHz (3.27) up to 1.1^13; half the output's rate
    // doubles the step.
    const Case cases[] = {
        {"at rest", 44100, 44100, Call::kNone, 1, 0, 1},
        {"at rest into 48 kHz", 44100, 48000, Call::kPitchSet, 1, 44100, 1},
        {"slower", 44100, 44100, Call::kPitchSet, 1, 22050, 1},
        {"pitch 150", 44100, 44100, Call::kPitchSet, 1, 66150, 6},
        {"frequency x2", 44100, 44100, Call::kFrequencyAttribute, 1, 88200, 9},
        {"pitch 300 of 48 kHz", 48000, 44100, Call::kPitchSet, 2, 144000, 14},
        {"output halved", 44100, 44100, Call::kOutputRate, 1, 22050, 9},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        inFreshProcess([&] {
            OfflineSession session(static_cast<DWORD>(c.outputHz));
            const std::string path = dir.file(std::string(c.name) + ".wav");
            ASSERT_TRUE(
                testmedia::writeFile(path, testmedia::wavBytes(testmedia::sine(440, 2, c.fileHz))));
            Chain chain = openChain(path);
            render(static_cast<size_t>(c.outputHz / 10));
            EXPECT_EQ(Resampler::tablesBuilt(), c.atRest) << "playing at the file's own rate";
            if (c.atRest == 1) {
                EXPECT_LT(Resampler::tableBytesBuilt(), 40000u);
            }
            apply(c, chain);
            // No block has run since the call: the audio thread finds its tables there.
            EXPECT_EQ(Resampler::tablesBuilt(), c.tables);
            const auto heard = render(static_cast<size_t>(c.outputHz / 4));
            EXPECT_GT(rmsOf(side(heard, 0)), 0.3) << "plays on";
            EXPECT_EQ(Resampler::tablesBuilt(), c.tables);
        });
    }
}
