// The equaliser is the one block designed for the rate it runs at (the engine's 44.1 kHz
// while the plug-in converts, the host's rate otherwise). Whatever rate a host reports, up to
// absurd ones (tens of megahertz and up), it must not get an equaliser whose poles float
// rounding has pushed onto or past the unit circle, which rings up to infinity.

#include <cfloat>
#include <cmath>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

constexpr int kBlock = 512;
constexpr int kPlayBlocks = 86;     // one second of guitar
constexpr int kSilentBlocks = 216;  // then 2.5 s of silence
constexpr int kEdgeBlocks = 22;     // a quarter second at each end of the silence

struct Decay {
    double start = 0.0;  // largest output magnitude in the first quarter second of silence
    double end = 0.0;    // and in the last (infinity if any sample was not finite)
};

Decay decayAfterGuitar(float sampleRate)
{
    Decay decay;
    decay.end = INFINITY;
    std::unique_ptr<PluginHost> host = loadPlugin();
    if (!host)
        return decay;
    host->setMainsOn(false);
    host->setSampleRate(sampleRate);
    host->setMainsOn(true);
    host->setProgram(0);
    for (int index : {kReverb, kDelayBypass, kChorusBypass, kTremoloBypass, kSpaceBypass})
        host->setParameter(index, 0.0f);
    host->setParameter(kPeqBypass, 1.0f);
    host->setParameter(kLowFreq, 0.0f);  // 50 Hz: the pole pair nearest z = 1
    host->setParameter(kLowBand, 0.0f);
    host->setParameter(kLowGain, 1.0f);
    host->setParameter(kHiGain, 0.0f);

    GuitarSignal guitar(21);
    std::vector<float> left(kBlock), right(kBlock, 0.0f), outLeft(kBlock), outRight(kBlock);
    double end = 0.0;
    for (int b = 0; b < kPlayBlocks + kSilentBlocks; ++b) {
        if (b < kPlayBlocks)
            guitar.fill(left.data(), kBlock);
        else
            std::fill(left.begin(), left.end(), 0.0f);
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host->processReplacing(inputs, outputs, kBlock);
        for (int i = 0; i < kBlock; ++i) {
            const float y = outLeft[static_cast<std::size_t>(i)];
            if (!std::isfinite(y))
                return decay;
            if (b >= kPlayBlocks && b < kPlayBlocks + kEdgeBlocks)
                decay.start = std::max(decay.start, static_cast<double>(std::fabs(y)));
            if (b >= kPlayBlocks + kSilentBlocks - kEdgeBlocks)
                end = std::max(end, static_cast<double>(std::fabs(y)));
        }
    }
    decay.end = end;
    return decay;
}

// A stable equaliser rings down after the guitar stops (at the highest rates float
// coefficients make its lowest band ring longer, but it still decays, to well under
// -40 dBFS); an unstable one grows without bound.
void expectDiesAway(float sampleRate)
{
    const Decay decay = decayAfterGuitar(sampleRate);
    EXPECT_LT(decay.end, 0.1 * decay.start) << "at " << sampleRate << " Hz";
    EXPECT_LT(decay.end, 1e-2) << "at " << sampleRate << " Hz";
}

TEST(SampleRate, RealRatesLetTheOutputDieAway)
{
    for (float rate : {44100.0f, 96000.0f, 192000.0f, 384000.0f, 768000.0f})
        expectDiesAway(rate);
}

TEST(SampleRate, AbsurdRatesLetTheOutputDieAway)
{
    for (float rate : {1e7f, 1e9f, FLT_MAX})
        expectDiesAway(rate);
}

}  // namespace
