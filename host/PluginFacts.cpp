#include "host/PluginFacts.h"

#include <string>

#include "host/PluginHost.h"
#include "vst/KorvalexRequests.h"

namespace {

// The Amplifier's menu has twenty positions, value k / 19; the last two have no cabinet.
constexpr int kAmplifierPositions = 19;
constexpr int kFirstPositionWithoutCabinet = 18;

int parameterNamed(PluginHost& host, const char* name)
{
    for (int i = 0; i < host.numParams(); ++i)
        if (host.parameterName(i) == name)
            return i;
    return -1;
}

}  // namespace

bool cabinetInChain(PluginHost& host)
{
    const int power = parameterNamed(host, "Power"), amplifier = parameterNamed(host, "Amplifier");
    if (power < 0 || amplifier < 0)
        return true;
    if (host.getParameter(power) == 0.0f)
        return false;
    // The engine rounds the product to a float before taking its integer part.
    const float position = host.getParameter(amplifier) * static_cast<float>(kAmplifierPositions);
    return static_cast<int>(position) < kFirstPositionWithoutCabinet;
}

bool sendCabinetResponse(PluginHost& host, const std::vector<float>& taps, double gainDb)
{
    KorvalexCabinetRequest request{};
    request.size = sizeof request;
    request.length = static_cast<VstInt32>(taps.size());
    request.taps = taps.empty() ? nullptr : taps.data();
    request.gainDb = static_cast<float>(gainDb);
    return host.dispatch(effVendorSpecific, kKorvalexVendorIndex, kKorvalexCabinetRequest, &request) == 1;
}
