// Korvalex's private cabinet request through the built plug-in file: a malformed request
// is answered 0 and changes nothing a host can hear; a good one is answered 1 and heard.

#include <cmath>
#include <vector>

#include "tests/e2e/LoadedPlugin.h"
#include "vst/KorvalexRequests.h"

namespace {

constexpr int kFrames = 44100 / 2;
constexpr int kBlock = 256;

// Half a second of a plucked-like tone through `host` from where it stands.
std::vector<float> render(PluginHost& host)
{
    std::vector<float> in(kFrames), left(kFrames), right(kFrames);
    for (int i = 0; i < kFrames; ++i)
        in[static_cast<size_t>(i)] =
            0.3f * std::sin(0.0314f * static_cast<float>(i)) * std::exp(-static_cast<float>(i % 11025) / 3000.0f);
    host.processStereo(in.data(), in.data(), left.data(), right.data(), kFrames, kBlock);
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::unique_ptr<PluginHost> startedPlugin()
{
    std::unique_ptr<PluginHost> host = loadPlugin();
    if (host) {
        host->setSampleRate(44100.0f);
        host->setBlockSize(kBlock);
        host->setMainsOn(true);
        host->setProgram(0);
    }
    return host;
}

VstIntPtr send(PluginHost& host, const KorvalexCabinetRequest* request, VstInt32 index = kKorvalexVendorIndex,
               VstIntPtr value = kKorvalexCabinetRequest)
{
    return host.dispatch(effVendorSpecific, index, value, const_cast<KorvalexCabinetRequest*>(request));
}

}  // namespace

TEST(CabinetRequest, MalformedRequestsAreAnsweredZeroAndChangeNothing)
{
    std::unique_ptr<PluginHost> untouched = startedPlugin();
    ASSERT_TRUE(untouched);
    const std::vector<float> expected = render(*untouched);

    std::vector<float> taps(500);
    for (size_t i = 0; i < taps.size(); ++i)
        taps[i] = std::exp(-static_cast<float>(i) / 60.0f) * std::cos(0.2f * static_cast<float>(i));
    std::vector<float> notFinite = taps;
    notFinite[321] = INFINITY;
    const std::vector<float> silent(500, 0.0f);
    const std::vector<float> long_(kKorvalexCabinetMaxTaps + 1, 0.1f);
    const VstInt32 size = sizeof(KorvalexCabinetRequest);
    const KorvalexCabinetRequest good{size, 500, taps.data(), 0.0f};
    const float beyondLimit = std::nextafter(kKorvalexCabinetGainLimitDb, 100.0f);
    struct Case {
        const char* what;
        KorvalexCabinetRequest request;
        bool nullPointer;
        VstInt32 index;
        VstIntPtr value;
    } cases[] = {
        {"null pointer", good, true, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"another vendor's index", good, false, 0x50726553, kKorvalexCabinetRequest},
        {"another request", good, false, kKorvalexVendorIndex, 0x41654373},
        {"size too small", {size - 4, 500, taps.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"size too large", {size + 64, 500, taps.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"negative length", {size, -1, taps.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"absurd length", {size, 0x7fffffff, taps.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"one tap too many", {size, kKorvalexCabinetMaxTaps + 1, long_.data(), 0.0f}, false, kKorvalexVendorIndex,
         kKorvalexCabinetRequest},
        {"no taps", {size, 500, nullptr, 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"taps with length 0", {size, 0, taps.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"a tap not finite", {size, 500, notFinite.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"silence", {size, 500, silent.data(), 0.0f}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"gain not a number", {size, 500, taps.data(), NAN}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"gain too high", {size, 500, taps.data(), beyondLimit}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
        {"gain too low", {size, 500, taps.data(), -beyondLimit}, false, kKorvalexVendorIndex, kKorvalexCabinetRequest},
    };
    std::unique_ptr<PluginHost> host = startedPlugin();
    ASSERT_TRUE(host);
    for (const Case& c : cases)
        EXPECT_EQ(send(*host, c.nullPointer ? nullptr : &c.request, c.index, c.value), 0) << c.what;
    EXPECT_EQ(render(*host), expected) << "a refused request changed the sound";

    // The same plug-in takes good requests, at the gain limits too, and sounds different from then on.
    for (float gainDb : {kKorvalexCabinetGainLimitDb, -kKorvalexCabinetGainLimitDb, 0.0f}) {
        const KorvalexCabinetRequest request{size, 500, taps.data(), gainDb};
        EXPECT_EQ(send(*host, &request), 1) << gainDb;
    }
    EXPECT_NE(render(*host), render(*untouched));
}
