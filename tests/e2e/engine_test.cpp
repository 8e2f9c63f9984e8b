// What a host hears and reads from the engine: meters, bypasses and long runs.

#include <cmath>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"

namespace {

// Processes `seconds` of a plucked test tone and answers the output peak (or NaN if any
// output sample was not finite).
float play(PluginHost& host, double seconds, float amplitude = 0.5f)
{
    const auto frames = static_cast<std::size_t>(seconds * 44100.0);
    std::vector<float> in(frames), silence(frames, 0.0f), left(frames), right(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        in[i] = static_cast<float>(amplitude * std::exp(-2.0 * std::fmod(t, 1.0)) * std::sin(2 * M_PI * 98 * t));
    }
    host.processStereo(in.data(), silence.data(), left.data(), right.data(), frames, 256);
    float peak = 0.0f;
    for (std::size_t i = 0; i < frames; ++i) {
        if (!std::isfinite(left[i]) || !std::isfinite(right[i]))
            return std::nanf("");
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    return peak;
}

}  // namespace

TEST_F(LoadedPlugin, MetersFollowCompressionAndGating)
{
    // Both read 1 from the start and while their blocks are off.
    EXPECT_EQ(host->getParameter(kCompressorMeterIndex), 1.0f);
    EXPECT_EQ(host->getParameter(kGateMeterIndex), 1.0f);
    host->setParameter(kCompBypass, 0.0f);
    host->setParameter(kGateBypass, 0.0f);
    play(*host, 0.2);
    EXPECT_EQ(host->getParameter(kCompressorMeterIndex), 1.0f);
    EXPECT_EQ(host->getParameter(kGateMeterIndex), 1.0f);

    host->setParameter(kCompBypass, 1.0f);
    host->setParameter(kCompThreshold, 1.0f);  // -40 dB: a loud note is compressed
    host->setParameter(kCompRatio, 1.0f);
    play(*host, 0.3, 0.9f);
    EXPECT_LT(host->getParameter(kCompressorMeterIndex), 0.5f);

    host->setParameter(kGateBypass, 1.0f);
    host->setParameter(kGateThreshold, 0.9f);  // -9 dB: the quiet tone stays below
    host->setParameter(kGateRange, 1.0f);
    play(*host, 0.5, 0.01f);
    EXPECT_LT(host->getParameter(kGateMeterIndex), 0.5f);

    host->setParameter(kCompBypass, 0.0f);
    host->setParameter(kGateBypass, 0.0f);
    play(*host, 0.05);
    EXPECT_EQ(host->getParameter(kCompressorMeterIndex), 1.0f);
    EXPECT_EQ(host->getParameter(kGateMeterIndex), 1.0f);
}

TEST_F(LoadedPlugin, PowerOffPassesTheInputSum)
{
    host->setParameter(kPower, 0.0f);
    std::vector<float> a = {0.25f, -0.5f, 0.125f}, b = {0.25f, 0.0f, -0.125f}, l(3), r(3);
    float* in[2] = {a.data(), b.data()};
    float* out[2] = {l.data(), r.data()};
    host->processReplacing(in, out, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(l[i], a[i] + b[i] + 1e-18f);
        EXPECT_EQ(r[i], l[i]);
    }
}

TEST_F(LoadedPlugin, EverythingOnForAMinuteStaysFinite)
{
    for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kCenterPan, kBankAB, kChorusPhaser})
        host->setParameter(index, 1.0f);
    host->setParameter(kInputHiLow, 0.0f);
    host->setParameter(kDrive, 1.0f);
    host->setParameter(kReverb, 1.0f);
    host->setParameter(kDelaySustain, 1.0f);
    host->setParameter(kAmplifier, 17.0f / 19.0f);
    const float peak = play(*host, 60.0, 1.0f);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 4.0f);
}

TEST_F(LoadedPlugin, SilenceInGivesNearSilenceOut)
{
    host->setProgram(58);
    const float peak = play(*host, 3.0, 0.0f);
    EXPECT_LT(peak, 1e-6f);
}
