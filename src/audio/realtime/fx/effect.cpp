#include "audio/realtime/fx/effect.h"

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

}  // namespace velorixa::fx
