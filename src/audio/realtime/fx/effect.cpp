#include "audio/realtime/fx/effect.h"

#include <iterator>

#include "audio/realtime/fx/echo.h"
#include "audio/realtime/fx/modulated_delay.h"
#include "audio/realtime/fx/param_eq.h"
#include "audio/realtime/fx/reverb.h"

namespace velorixa::fx {

std::unique_ptr<Effect> createEffect(int32_t type) {
    switch (type) {
        case kFxChorus:
            return std::make_unique<Chorus>();
        case kFxEcho:
            return std::make_unique<Echo>();
        case kFxFlanger:
            return std::make_unique<Flanger>();
        case kFxParamEq:
            return std::make_unique<ParamEq>();
        case kFxReverb:
            return std::make_unique<Reverb>();
        default:
            return nullptr;
    }
}

void processChain(Effect* const* effects, size_t count, float* stereo, int frames) noexcept {
    size_t k = 0;
    while (k < count) {
        // A run of equaliser bands (ParamEq is the only effect of its type).
        ParamEq* bands[8];
        size_t n = 0;
        while (k + n < count && n < std::size(bands) && effects[k + n]->type() == kFxParamEq) {
            bands[n] = static_cast<ParamEq*>(effects[k + n]);
            ++n;
        }
        if (n > 1) {
            ParamEq::processSeries(bands, n, stereo, frames);
            k += n;
        } else {
            effects[k++]->process(stereo, frames);
        }
    }
}

}  // namespace velorixa::fx
