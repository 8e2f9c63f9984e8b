// The processing chain driven directly: ramps, switch fades, bypass paths and the
// selection of cabinet and voicing. (In-place buffers: the validator's layouts check on the
// plug-in file.)

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>
#include <xmmintrin.h>

#include "dsp/AmpEngine.h"

namespace {

// A quiet, fully bypassed engine: every switch 0, cabinet and drive out.
void applyMinimalPath(AmpEngine& engine)
{
    for (int i = 0; i < kNumParameters; ++i)
        engine.setSetting(i, 0.0f);
    engine.setSetting(kPower, 1.0f);
    engine.setSetting(kInputHiLow, 1.0f);
    engine.setSetting(kVolume, 0.5f);
    engine.setSetting(kTreble, 0.7f);
    engine.setSetting(kMiddle, 0.3f);
    engine.setSetting(kBass, 0.6f);
    engine.setSetting(kPresence, 0.4f);
    engine.setSetting(kAmplifier, 1.0f);  // the last position: cabinet fades out
    engine.designEqualiser(kDesignSampleRate);
}

std::vector<float> testSignal(int frames, float amplitude = 0.4f, float step = 0.031f)
{
    std::vector<float> x(frames);
    for (int i = 0; i < frames; ++i)
        x[i] = amplitude * std::sin(step * static_cast<float>(i)) + 0.1f * amplitude * std::sin(0.37f * i);
    return x;
}

struct Stereo {
    std::vector<float> left, right;
};

Stereo run(AmpEngine& engine, const std::vector<float>& in, int blockSize, bool stepFades = true)
{
    const int frames = static_cast<int>(in.size());
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    std::vector<float> silence(frames, 0.0f);
    for (int start = 0; start < frames; start += blockSize) {
        const int n = std::min(blockSize, frames - start);
        if (stepFades)
            engine.stepSwitchFades();
        engine.process(in.data() + start, silence.data() + start, out.left.data() + start, out.right.data() + start, n);
    }
    return out;
}

void runBlocks(AmpEngine& engine, int blocks, int frames = 64)
{
    run(engine, std::vector<float>(static_cast<size_t>(blocks * frames), 0.01f), frames);
}

// What the minimal path computes, built from the blocks themselves.
struct MinimalReference {
    ToneStack tone{44100};
    PresenceFilter presence;
    OutputLimiter limiter{44100};

    MinimalReference()
    {
        tone.setTreble(0.7f);
        tone.setMiddle(0.3f);
        tone.setBass(0.6f);
        tone.setVoicing(500.0f, 1.0f, false);
        presence.setPresence(0.4f);
        limiter.setRelease(75.0f);
    }
    float operator()(float s, float volume = 0.5f)
    {
        float x = s + 1e-18f;
        x = x + 1e-18f;  // the faded-out cabinet step
        x = tone.process(0, x) * 0.5f;
        presence.process(0, 0.0f, x);
        limiter.process(x);
        const float side = x + 1e-18f;
        return side * 2.0f * volume;
    }
};

}  // namespace

TEST(AmpEngine, PowerOffPassesTheInputSumWhileRampsAndFadesMove)
{
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    engine->setSetting(kPower, 0.0f);
    engine->setSetting(kDelayBypass, 1.0f);
    std::vector<float> a = testSignal(256), b = testSignal(256, 0.2f, 0.07f), l(256), r(256);
    engine->stepSwitchFades();
    engine->process(a.data(), b.data(), l.data(), r.data(), 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(l[i], a[i] + b[i] + 1e-18f) << i;
        ASSERT_EQ(r[i], l[i]);
    }
    EXPECT_FLOAT_EQ(engine->fadeLevel(AmpEngine::kDelayFade), 0.1f);
}

TEST(AmpEngine, RampsKeepMovingWhilePowerIsOff)
{
    // Power off for one block lets the volume ramp reach 0.5; switched on again, the
    // output is at full level from the first sample.
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    engine->setSetting(kPower, 0.0f);
    runBlocks(*engine, 1);
    engine->setSetting(kPower, 1.0f);

    MinimalReference reference;
    const auto in = testSignal(64);
    const Stereo out = run(*engine, in, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out.left[i], reference(in[i])) << i;
}

TEST(AmpEngine, StagesSwitchedOffAndOnAgainDoNotReplayOldAudio)
{
    // Played with the stage on, switched off while the guitar goes on (faded out, the stage
    // stops and keeps what it holds), then silence until the chain is quiet: switched on
    // again, the stage must start empty, not replay what it held.
    for (int index : {kSpaceBypass, kChorusBypass, kDelayBypass}) {
        SCOPED_TRACE(index);
        auto engine = std::make_unique<AmpEngine>();
        applyMinimalPath(*engine);
        engine->setSetting(kSpaceWidth, 1.0f);
        engine->setSetting(kChorusMix, 1.0f);
        engine->setSetting(kDelayMix, 1.0f);
        engine->setSetting(index, 1.0f);
        run(*engine, testSignal(12 * 512), 512);
        engine->setSetting(index, 0.0f);
        run(*engine, testSignal(12 * 512), 512);
        run(*engine, std::vector<float>(44100, 0.0f), 512);
        engine->setSetting(index, 1.0f);
        const Stereo out = run(*engine, std::vector<float>(44100, 0.0f), 512);
        float peak = 0.0f;
        for (size_t i = 0; i < out.left.size(); ++i)
            peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
        EXPECT_LT(peak, 1e-6f);
    }
}

TEST(AmpEngine, MinimalPathIsToneStackPresenceAndLimiter)
{
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    runBlocks(*engine, 12);  // volume ramp settled, cabinet faded out
    ASSERT_EQ(engine->fadeLevel(AmpEngine::kCabinetFade), 0.0f);

    MinimalReference reference;
    // Bring the reference to the same state: feed it what the engine was fed.
    const std::vector<float> warmup(12 * 64, 0.01f);
    for (float s : warmup)
        reference(s);

    const auto in = testSignal(2048, 0.8f);
    const Stereo out = run(*engine, in, 256);
    for (size_t i = 0; i < in.size(); ++i) {
        const float expected = reference(in[i]);
        ASSERT_EQ(out.left[i], expected) << i;
        ASSERT_EQ(out.right[i], expected) << i;
    }
}

TEST(AmpEngine, DriveAndReverbRunFromExactlyOneHundredth)
{
    // Just below 0.01 the stage is left out (the output is that of 0); at 0.01 it runs.
    for (int index : {kDrive, kReverb}) {
        auto heard = [&](float value) {
            auto engine = std::make_unique<AmpEngine>();
            applyMinimalPath(*engine);
            engine->setSetting(index, value);
            return run(*engine, testSignal(4096), 256).left;
        };
        const std::vector<float> off = heard(0.0f);
        EXPECT_EQ(heard(std::nextafter(0.01f, 0.0f)), off) << index;
        EXPECT_NE(heard(0.01f), off) << index;
    }
}

TEST(AmpEngine, AmplifierPositionsSelectCabinetAndVoicing)
{
    auto engine = std::make_unique<AmpEngine>();
    for (int bank = 0; bank <= 1; ++bank) {
        engine->setSetting(kBankAB, static_cast<float>(bank));
        for (int k = 0; k < 18; ++k) {
            engine->setSetting(kAmplifier, static_cast<float>(k) / 19.0f);
            EXPECT_EQ(engine->cabinetResponse(), k / 3 + 6 * bank) << k;
            EXPECT_EQ(engine->voicingNotchOn(), k % 3 != 0) << k;
        }
    }
}

TEST(AmpEngine, LastAmplifierPositionsFadeTheCabinetOut)
{
    for (float value : {18.0f / 19.0f, 1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        auto engine = std::make_unique<AmpEngine>();
        applyMinimalPath(*engine);
        engine->setSetting(kAmplifier, 12.0f / 19.0f);
        runBlocks(*engine, 10);
        ASSERT_EQ(engine->fadeLevel(AmpEngine::kCabinetFade), 1.0f);
        engine->setSetting(kAmplifier, value);
        EXPECT_EQ(engine->cabinetResponse(), 4) << "the previous cabinet stays chosen";
        runBlocks(*engine, 10);
        EXPECT_EQ(engine->fadeLevel(AmpEngine::kCabinetFade), 0.0f);
    }
}

TEST(AmpEngine, NonFiniteInputIsTreatedAsSilence)
{
    auto clean = std::make_unique<AmpEngine>();
    auto poisoned = std::make_unique<AmpEngine>();
    for (AmpEngine* e : {clean.get(), poisoned.get()}) {
        applyMinimalPath(*e);
        e->setSetting(kDrive, 0.6f);
        e->setSetting(kReverb, 0.5f);
        e->setSetting(kAmplifier, 4.0f / 19.0f);
    }
    auto in = testSignal(1024);
    auto bad = in;
    in[100] = 0.0f;
    bad[100] = std::numeric_limits<float>::quiet_NaN();
    bad[300] = std::numeric_limits<float>::infinity();
    in[300] = 0.0f;
    const Stereo a = run(*clean, in, 128);
    const Stereo b = run(*poisoned, bad, 128);
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(a.left[i], b.left[i]) << i;
}

TEST(AmpEngine, ZeroLengthBlockProcessesNothing)
{
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    float guard = 123.0f;
    engine->process(&guard, &guard, &guard, &guard, 0);
    engine->process(&guard, &guard, &guard, &guard, -5);
    EXPECT_EQ(guard, 123.0f);
}

TEST(AmpEngine, FloatingPointFlagsAreTheHostsAgainAfterProcessing)
{
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    const unsigned before = _mm_getcsr();
    runBlocks(*engine, 2);
    EXPECT_EQ(_mm_getcsr(), before);
}

TEST(AmpEngine, EveryBlockOnStaysFiniteAndBounded)
{
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kCenterPan, kBankAB})
        engine->setSetting(index, 1.0f);
    engine->setSetting(kDrive, 1.0f);
    engine->setSetting(kReverb, 1.0f);
    engine->setSetting(kDelaySustain, 1.0f);
    engine->setSetting(kAmplifier, 16.0f / 19.0f);
    engine->setSetting(kEqGain, 1.0f);
    engine->setSetting(kLowGain, 1.0f);
    engine->designEqualiser(kDesignSampleRate);
    const Stereo out = run(*engine, testSignal(44100, 1.0f), 512);
    for (size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
        ASSERT_LT(std::fabs(out.left[i]), 16.0f) << i;
    }
}

TEST(AmpEngine, EqualiserHalfOnScalesByEqGainWithoutFiltering)
{
    // PEQ Bypass 0.5 runs the equaliser step (its gain) but not its filters, whatever the
    // bands say.
    auto engine = std::make_unique<AmpEngine>();
    applyMinimalPath(*engine);
    engine->setSetting(kPeqBypass, 0.5f);
    engine->setSetting(kEqGain, 0.25f);
    engine->setSetting(kLowGain, 1.0f);
    engine->designEqualiser(kDesignSampleRate);
    runBlocks(*engine, 12);

    MinimalReference reference;
    for (float s : std::vector<float>(12 * 64, 0.01f))
        reference(s);
    // The reference has no equaliser step: feed it signals small enough that the limiter's
    // soft curve is nearly linear, and compare against half the level.
    const auto in = testSignal(1024, 0.05f);
    const Stereo out = run(*engine, in, 256);
    for (size_t i = 0; i < in.size(); ++i) {
        const float expected = 0.5f * reference(in[i]);
        ASSERT_NEAR(out.left[i], expected, 1e-3f * std::fabs(expected) + 1e-9f) << i;
    }
}
