#include "plugin/CabinetRequest.h"

#include <cmath>
#include <new>

#include "dsp/AmpEngine.h"
#include "dsp/UserCabinet.h"
#include "vst/KorvalexRequests.h"

static_assert(kKorvalexCabinetMaxTaps == UserCabinet::kMaxTaps, "the request's limit is the convolver's");

bool isCabinetRequest(VstInt32 index, VstIntPtr value)
{
    return index == kKorvalexVendorIndex && value == kKorvalexCabinetRequest;
}

VstIntPtr answerCabinetRequest(AmpEngine& engine, const void* ptr)
{
    if (!ptr)
        return 0;
    const auto& request = *static_cast<const KorvalexCabinetRequest*>(ptr);
    if (request.size != static_cast<VstInt32>(sizeof(KorvalexCabinetRequest)))
        return 0;
    if (request.length == 0) {
        if (request.taps)
            return 0;
        engine.useCabinetResponse(nullptr);
        return 1;
    }
    if (!(std::fabs(request.gainDb) <= kKorvalexCabinetGainLimitDb))
        return 0;
    try {
        // prepare() refuses the rest: lengths out of range, null or non-finite taps, no band.
        std::unique_ptr<UserCabinet> response = UserCabinet::prepare(
            request.taps, request.length, static_cast<float>(std::pow(10.0, request.gainDb / 20.0)));
        if (!response)
            return 0;
        engine.useCabinetResponse(std::move(response));
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
