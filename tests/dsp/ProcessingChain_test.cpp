// The per-sample chain pinned step by step. Each case switches on a few stages, lets their
// switch fades open on silence, then compares the engine's output with a model that runs
// the blocks themselves (built here, configured through their own setters) in the chain's
// order with its crossfades written out.
//
// The comparison allows float rounding (the engine may evaluate in another order, block
// by block), not a different formula or a different order of stages.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "dsp/AmpEngine.h"

namespace {

constexpr int kBlock = 128;
constexpr int kFadeBlocks = 10;             // a switch crossfades over ten blocks
constexpr int kMeasuredFrames = 64 * kBlock; // long enough for both delay taps and a tremolo cycle
constexpr float kDenormalOffset = 1e-18f;
constexpr double kTolerance = 1e-5;          // relative to the channel's peak

// What a case runs. A fade of 0.5 comes from a switch held at 0.5 after five blocks on.
struct ChainSettings {
    bool compressorPre = false;
    float chorusFade = 0.0f, modeFade = 0.0f, chorusMix = 0.6f, chorusSpeed = 0.5f, chorusDepth = 0.8f;
    float drive = 0.0f;
    bool gatePost = false;
    bool shaper = false;
    int amplifier = 19;  // menu position; 18 and 19 leave the cabinet out
    bool bankB = false;
    float reverb = 0.0f;
    bool equaliser = false;
    float eqGain = 0.5f;
    float delayFade = 0.0f, delayWidth = 1.0f, delaySpeed = 0.0f, delaySustain = 0.5f, delayMix = 0.6f;
    float tremoloFade = 0.0f, panFade = 0.0f, tremoloSpeed = 1.0f, tremoloDepth = 0.8f;
    float spaceFade = 0.0f, spaceWidth = 0.8f;
    float volume = 0.5f;
};

// Values of the controls that no case varies.
struct FixedControls {
    float presence = 0.4f, treble = 0.7f, middle = 0.3f, bass = 0.6f;
    float compAttack = 0.1f, compRelease = 0.2f, compThreshold = 0.7f, compRatio = 0.5f, makeup = 0.6f;
    float gateAttack = 0.05f, gateRelease = 0.1f, gateThreshold = 0.6f, gateHold = 0.1f, gateRange = 0.8f;
    // Gain, frequency and bandwidth of the low, mid and high bands.
    float eqBands[3][3] = {{0.8f, 0.3f, 0.5f}, {0.3f, 0.4f, 0.6f}, {0.7f, 0.5f, 0.4f}};
};
constexpr FixedControls kFixed;

float onOff(bool on)
{
    return on ? 1.0f : 0.0f;
}

// Every setting of a case, in the order they are applied.
std::vector<std::pair<int, float>> settingsOf(const ChainSettings& s)
{
    const float(&band)[3][3] = kFixed.eqBands;
    return {{kPower, 1.0f}, {kInputHiLow, onOff(!s.shaper)}, {kVolume, s.volume}, {kPresence, kFixed.presence},
            {kTreble, kFixed.treble}, {kMiddle, kFixed.middle}, {kBass, kFixed.bass}, {kReverb, s.reverb},
            {kDrive, s.drive}, {kBankAB, onOff(s.bankB)}, {kAmplifier, static_cast<float>(s.amplifier) / 19.0f},
            {kChorusBypass, onOff(s.chorusFade > 0.0f)}, {kChorusPhaser, onOff(s.modeFade > 0.0f)},
            {kChorusSpeed, s.chorusSpeed}, {kChorusDepth, s.chorusDepth}, {kChorusMix, s.chorusMix},
            {kDelayBypass, onOff(s.delayFade > 0.0f)}, {kDelaySpeed, s.delaySpeed}, {kDelaySustain, s.delaySustain},
            {kDelayWidth, s.delayWidth}, {kDelayMix, s.delayMix}, {kTremoloBypass, onOff(s.tremoloFade > 0.0f)},
            {kCenterPan, onOff(s.panFade > 0.0f)}, {kTremoloSpeed, s.tremoloSpeed}, {kTremoloDepth, s.tremoloDepth},
            {kSpaceBypass, onOff(s.spaceFade > 0.0f)}, {kSpaceWidth, s.spaceWidth},
            {kCompBypass, onOff(s.compressorPre)}, {kPrePostComp, 0.0f}, {kCompAttack, kFixed.compAttack},
            {kCompRelease, kFixed.compRelease}, {kCompThreshold, kFixed.compThreshold}, {kCompRatio, kFixed.compRatio},
            {kMakeupGain, kFixed.makeup}, {kGateBypass, onOff(s.gatePost)}, {kPrePostGate, 1.0f},
            {kGateAttack, kFixed.gateAttack}, {kGateRelease, kFixed.gateRelease},
            {kGateThreshold, kFixed.gateThreshold}, {kGateHold, kFixed.gateHold}, {kGateRange, kFixed.gateRange},
            {kPeqBypass, onOff(s.equaliser)}, {kLowGain, band[0][0]}, {kLowFreq, band[0][1]}, {kLowBand, band[0][2]},
            {kMidGain, band[1][0]}, {kMidFreq, band[1][1]}, {kMidBand, band[1][2]}, {kHiGain, band[2][0]},
            {kHiFreq, band[2][1]}, {kHiBand, band[2][2]}, {kEqGain, s.eqGain}};
}

void configure(AmpEngine& engine, const ChainSettings& s)
{
    for (int i = 0; i < kNumParameters; ++i)
        engine.setSetting(i, 0.0f);
    for (const auto& [index, value] : settingsOf(s))
        engine.setSetting(index, value);
    engine.designEqualiser(kDesignSampleRate);
}

struct Stereo {
    std::vector<float> left, right;
};

// A setting changed at the start of the first host block that begins at or after `frame`.
struct Change {
    std::size_t frame;
    int index;
    float value;
};

// Runs a chain (the engine or the model) over `in` in host blocks of `block` frames.
template <typename Chain>
Stereo play(Chain& chain, const std::vector<float>& in, int block, const std::vector<Change>& changes = {})
{
    Stereo out{std::vector<float>(in.size()), std::vector<float>(in.size())};
    const std::vector<float> silence(static_cast<std::size_t>(block), 0.0f);
    std::size_t next = 0;
    for (std::size_t start = 0; start < in.size(); start += static_cast<std::size_t>(block)) {
        for (; next < changes.size() && changes[next].frame <= start; ++next)
            chain.set(changes[next].index, changes[next].value);
        const int n = static_cast<int>(std::min(in.size() - start, static_cast<std::size_t>(block)));
        chain.runBlock(in.data() + start, silence.data(), out.left.data() + start, out.right.data() + start, n);
    }
    return out;
}

// Ten blocks of silence with the switches on: every fade reaches 1, or stops at 0.5 when its
// switch is set to 0.5 after five blocks.
template <typename Chain>
void openFades(Chain& chain, const ChainSettings& s)
{
    std::vector<Change> halfway;
    for (const auto& [index, fade] : {std::pair{kChorusBypass, s.chorusFade}, {kChorusPhaser, s.modeFade},
                                      {kDelayBypass, s.delayFade}, {kTremoloBypass, s.tremoloFade},
                                      {kCenterPan, s.panFade}, {kSpaceBypass, s.spaceFade}})
        if (fade == 0.5f)
            halfway.push_back({kFadeBlocks / 2 * kBlock, index, 0.5f});
    play(chain, std::vector<float>(kFadeBlocks * kBlock, 0.0f), kBlock, halfway);
}

// Three partials under a decay and a slow swell, loud enough to reach the drive's and the
// limiter's curves.
std::vector<float> testSignal(int frames, float amplitude = 0.5f)
{
    std::vector<float> x(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i);
        const float envelope = std::exp(-t / 3000.0f) + 0.3f * std::sin(t / 900.0f) * std::sin(t / 900.0f);
        x[static_cast<std::size_t>(i)] = amplitude * envelope *
            (std::sin(0.0157f * t) + 0.5f * std::sin(0.0471f * t + 0.3f) + 0.2f * std::sin(0.19f * t));
    }
    return x;
}

// The engine as a host drives it.
struct EngineChain {
    AmpEngine engine;
    void set(int index, float value) { engine.setSetting(index, value); }
    void runBlock(const float* in, const float* silence, float* left, float* right, int n)
    {
        engine.stepSwitchFades();
        engine.process(in, silence, left, right, n);
    }
};

Stereo runEngine(const ChainSettings& s, const std::vector<float>& in, int block = kBlock,
                 const std::vector<Change>& changes = {})
{
    auto chain = std::make_unique<EngineChain>();
    configure(chain->engine, s);
    openFades(*chain, s);
    return play(*chain, in, block, changes);
}

// The chain as it is meant to run, one sample at a time, from the blocks themselves; its
// ramped quantities step block by block as the host's blocks come.
class ChainModel {
public:
    explicit ChainModel(const ChainSettings& settings) : s(settings)
    {
        compressor.setAttack(2.0f, 200.0f, kFixed.compAttack);
        compressor.setRelease(50.0f, 1000.0f, kFixed.compRelease);
        compressor.setThreshold(kFixed.compThreshold);
        compressor.setRatio(1.5f, 5.0f, kFixed.compRatio);
        compressor.setMakeup(kFixed.makeup);
        chorus.setSpeed(s.chorusSpeed);
        chorus.setDepth(s.chorusDepth);
        phaser.setSpeed(s.chorusSpeed);
        phaser.setFeedback(std::min(s.chorusDepth, 0.95f));
        drive.setDrive(s.drive);
        gate.setAttack(kFixed.gateAttack);
        gate.setRelease(kFixed.gateRelease);
        gate.setThreshold(kFixed.gateThreshold);
        gate.setHold(kFixed.gateHold);
        gate.setRange(kFixed.gateRange);
        tone.setTreble(kFixed.treble);
        tone.setMiddle(kFixed.middle);
        tone.setBass(kFixed.bass);
        tone.setVoicing(1000.0f, 1.0f, false);  // as the engine is built
        presence.setPresence(kFixed.presence);
        // The engine's fixed room: wet 0.3, room size 0.924, damping 0.4, no dry, mono.
        reverb.setWet(0.1f);
        reverb.setRoomSize(0.8f);
        reverb.setDry(0.0f);
        reverb.setDamping(1.0f);
        reverb.setWidth(0.0f);
        reverb.setMode(0.0f);
        equaliser.setEnabled(1);
        for (int band = 0; band < 3; ++band)
            equaliser.designBandFromSettings(band, kDesignSampleRate, kFixed.eqBands[band][0], kFixed.eqBands[band][1],
                                             kFixed.eqBands[band][2]);
        limiter.setRelease(75.0f);
        delay.setSpeed(s.delaySpeed);
        delay.setSustain(s.delaySustain);
        delay.setMix(s.delayMix);
        tremolo.setDepth(1.0f);
        tremolo.setRate(s.tremoloSpeed);
        imager.setWidth(1.0f);
        for (const auto& [index, value] : settingsOf(s))
            set(index, value);
    }

    // The settings that a case sets or changes and the model follows, as the engine applies them.
    void set(int index, float value)
    {
        if (index == kAmplifier)
            selectAmplifier(static_cast<int>(value * 19.0f));
        else if (index == kSpaceWidth)
            imager.setWidth(value);
        for (auto& [which, ramp] : ramps)
            if (which == index)
                ramp->target = value;
        for (auto& [which, fade] : fades)
            if (which == index)
                fade->switchValue = value;
        if (value == 1.0f && index == kChorusBypass)
            chorus.clear();
        if (value == 1.0f && index == kDelayBypass)
            delay.clear();
        if (value == 1.0f && index == kSpaceBypass)
            imager.clear();
    }

    // One host block: the switch fades move one step and every ramp glides to its target
    // over the block, ending on it.
    void runBlock(const float* in, const float*, float* left, float* right, int n)
    {
        for (auto& [index, fade] : fades)
            fade->step();
        for (Ramp* ramp : allRamps())
            ramp->step = (ramp->target - ramp->current) / static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            for (Ramp* ramp : allRamps())
                ramp->current += ramp->step;
            std::tie(left[i], right[i]) = sample(in[i], n);
        }
        for (Ramp* ramp : allRamps())
            ramp->current = ramp->target;
    }

private:
    struct Ramp {
        float current = 0.0f, step = 0.0f, target = 0.0f;
    };
    // Ten steps of a tenth per block while its switch is exactly 0 or 1.
    struct Fade : Ramp {
        int counter = 0;
        float switchValue = 0.0f;
        void step()
        {
            if (switchValue == 1.0f && counter < kFadeBlocks)
                target = static_cast<float>(++counter) / kFadeBlocks;
            else if (switchValue == 0.0f && counter > 0)
                target = static_cast<float>(--counter) / kFadeBlocks;
        }
    };

    std::pair<float, float> sample(float in, int blockLength)
    {
        float x = in + kDenormalOffset;
        if (s.compressorPre)
            compressor.process(0, x, x);
        if (chorusFade.current != 0.0f) {
            float ch = x, ph = x;
            if (modeFade.current != 1.0f)
                chorus.process(x, &ch);
            if (modeFade.current != 0.0f)
                ph = phaser.process(x);
            const float w = ch + (ph - ch) * modeFade.current;
            const float m = x + (w - x) * chorusMix.current;
            x = x + (m - x) * chorusFade.current;
        }
        if (s.drive >= 0.01f)
            x = drive.process(x);
        if (s.gatePost)
            gate.process(x, x);
        if (s.shaper)
            x = shaper.process(x);
        float y = x + kDenormalOffset;
        if (cabinetFade.current != 0.0f)
            y = cabinet.process(x) + kDenormalOffset;
        x = x + (y - x) * cabinetFade.current + kDenormalOffset;
        x = tone.process(0, x) * 0.5f;
        presence.process(0, 0.0f, x);
        if (reverbAmount.current >= 0.01f) {
            float r;
            reverb.process(x, r);
            x = x + reverbAmount.current * r;
        }
        if (s.equaliser)
            x = equaliser.process(x) * (eqGain.current * 2.0f);
        limiter.process(x);

        float left = x, right = x;
        if (delayFade.current != 0.0f) {
            float a, b;
            delay.process(x, a, b);
            const float w = s.delayWidth;
            const float a2 = w * a + (1.0f - w) * b;
            const float b2 = (1.0f - w) * a2 + w * b;
            left = x + (a2 - x) * delayFade.current;
            right = x + (b2 - x) * delayFade.current;
        }
        left += kDenormalOffset;
        right += kDenormalOffset;

        if (tremoloFade.current != 0.0f) {
            const float g = tremolo.next(0);
            const float d = tremoloDepth.current;
            const float tl = left * (1.0f - d) + left * g * d;
            const float tr = right * (1.0f - d) + right * g * d;
            float ml = tl, mr = tr;
            if (panFade.current != 0.0f) {
                const float pl = left + ((1.0f - g) * left - left) * d;
                const float pr = right + (g * right - right) * d;
                ml = tl + (pl - tl) * panFade.current;
                mr = tr + (pr - tr) * panFade.current;
            }
            left = left + (ml - left) * tremoloFade.current;
            right = right + (mr - right) * tremoloFade.current;
        }
        if (spaceFade.current != 0.0f) {
            float wl, wr;
            imager.process(left, right, wl, wr, blockLength);
            left = left + (wl - left) * spaceFade.current;
            right = right + (wr - right) * spaceFade.current;
        }
        return {left * 2.0f * volume.current, right * 2.0f * volume.current};
    }

    // Positions come in threes per cabinet: no notch, a notch at 1500 Hz, one at 500 Hz;
    // the last two fade the cabinet out and leave the rest as it was.
    void selectAmplifier(int position)
    {
        cabinetFade.switchValue = position < 18 ? 1.0f : 0.0f;
        if (position >= 18)
            return;
        cabinet.select(position / 3 + (s.bankB ? 6 : 0));
        const int voicing = position % 3;
        tone.setVoicing(voicing == 2 ? 500.0f : 1500.0f, 1.0f, voicing != 0);
    }

    std::vector<Ramp*> allRamps()
    {
        return {&volume, &reverbAmount, &tremoloDepth, &chorusMix, &eqGain, &cabinetFade, &spaceFade,
                &panFade, &chorusFade, &delayFade, &tremoloFade, &modeFade};
    }

    const ChainSettings s;
    Ramp volume, reverbAmount, tremoloDepth, chorusMix, eqGain;
    Fade cabinetFade, spaceFade, panFade, chorusFade, delayFade, tremoloFade, modeFade;
    const std::pair<int, Ramp*> ramps[5] = {
        {kVolume, &volume}, {kReverb, &reverbAmount}, {kTremoloDepth, &tremoloDepth}, {kChorusMix, &chorusMix},
        {kEqGain, &eqGain}};
    // In the engine's order of stepping; the cabinet's follows the amplifier's position.
    const std::pair<int, Fade*> fades[7] = {
        {-1, &cabinetFade}, {kSpaceBypass, &spaceFade}, {kCenterPan, &panFade}, {kChorusBypass, &chorusFade},
        {kDelayBypass, &delayFade}, {kTremoloBypass, &tremoloFade}, {kChorusPhaser, &modeFade}};
    Compressor compressor{44100};
    Chorus chorus{44100};
    Phaser phaser{44100};
    DriveStage drive{kDesignSampleRate};
    NoiseGate gate{44100};
    InputShaper shaper;
    CabinetConvolver cabinet;
    ToneStack tone{44100};
    PresenceFilter presence;
    Reverb reverb;
    ParametricEQ equaliser;
    OutputLimiter limiter{44100};
    StereoDelay delay{44100};
    LFO tremolo{44100};
    Imager imager{44100};
};

Stereo runModel(const ChainSettings& s, const std::vector<float>& in, int block = kBlock,
                const std::vector<Change>& changes = {})
{
    auto model = std::make_unique<ChainModel>(s);
    openFades(*model, s);
    return play(*model, in, block, changes);
}

float peak(const std::vector<float>& x)
{
    float p = 0.0f;
    for (float v : x)
        p = std::max(p, std::fabs(v));
    return p;
}

// Every sample of both channels within rounding of the model; the first mismatch is shown.
::testing::AssertionResult matchesModel(const ChainSettings& s, const std::vector<float>& in, int block = kBlock,
                                        const std::vector<Change>& changes = {})
{
    const Stereo engine = runEngine(s, in, block, changes);
    const Stereo model = runModel(s, in, block, changes);
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<float>& got = channel == 0 ? engine.left : engine.right;
        const std::vector<float>& want = channel == 0 ? model.left : model.right;
        const double allowed = kTolerance * std::max(peak(want), 1e-6f);
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (!(std::fabs(static_cast<double>(got[i]) - want[i]) <= allowed))
                return ::testing::AssertionFailure()
                       << (channel == 0 ? "left" : "right") << " sample " << i << ": engine " << got[i]
                       << ", model " << want[i] << " (peak " << peak(want) << ")";
        }
    }
    if (peak(model.left) < 1e-3f)
        return ::testing::AssertionFailure() << "the case is nearly silent and pins nothing";
    return ::testing::AssertionSuccess();
}

// All stages at once, the cabinet and equaliser included.
ChainSettings everyStage(bool bankB)
{
    ChainSettings s;
    s.compressorPre = true;
    s.chorusFade = 1.0f;
    s.modeFade = 0.5f;
    s.drive = 0.3f;
    s.gatePost = true;
    s.shaper = true;
    s.amplifier = bankB ? 16 : 8;
    s.bankB = bankB;
    s.reverb = 0.4f;
    s.equaliser = true;
    s.eqGain = 0.6f;
    s.delayFade = 1.0f;
    s.delayWidth = 0.5f;
    s.tremoloFade = 1.0f;
    s.panFade = 0.5f;
    s.spaceFade = 1.0f;
    s.volume = 0.7f;
    return s;
}

}  // namespace

TEST(ProcessingChain, EveryStageAndCrossfadeAsTheModelRunsIt)
{
    // Fades settled at 1, or held at 0.5 halfway. In turn: the chorus section before the
    // drive (modulation and distortion do not commute); chorus and phaser crossfaded and
    // mixed; the delay's width between its taps; tremolo and auto-pan on a stereo pair; the
    // Space imager; the volume; all stages at once, each place shows.
    std::vector<ChainSettings> cases;
    for (float mode : {0.0f, 1.0f}) {
        ChainSettings& s = cases.emplace_back();
        s.chorusFade = 1.0f;
        s.modeFade = mode;
        s.drive = 0.4f;
    }
    for (float fade : {1.0f, 0.5f}) {
        for (float mix : {0.3f, 1.0f}) {
            ChainSettings& s = cases.emplace_back();
            s.chorusFade = fade;
            s.modeFade = 0.5f;
            s.chorusMix = mix;
        }
        for (float width : {0.0f, 0.5f, 1.0f}) {
            ChainSettings& s = cases.emplace_back();
            s.delayFade = fade;
            s.delayWidth = width;
        }
        for (float pan : {0.0f, 0.5f, 1.0f}) {
            ChainSettings& s = cases.emplace_back();
            s.delayFade = 1.0f;
            s.delayWidth = 0.7f;
            s.tremoloFade = fade;
            s.panFade = pan;
        }
        for (float width : {0.3f, 0.8f}) {
            ChainSettings& s = cases.emplace_back();
            s.delayFade = 1.0f;
            s.delayWidth = 0.8f;
            s.spaceFade = fade;
            s.spaceWidth = width;
        }
    }
    for (float volume : {0.1f, 0.85f, 1.0f}) {
        ChainSettings& s = cases.emplace_back();
        s.delayFade = 1.0f;
        s.delayWidth = 0.6f;
        s.volume = volume;
    }
    cases.push_back(everyStage(false));
    cases.push_back(everyStage(true));
    const auto in = testSignal(kMeasuredFrames);
    for (std::size_t c = 0; c < cases.size(); ++c)
        EXPECT_TRUE(matchesModel(cases[c], in)) << "case " << c;

    // Width 0 puts the second tap on both sides; width 1 keeps the taps apart.
    const Stereo narrow = runEngine(cases[4], in), wide = runEngine(cases[6], in);
    EXPECT_EQ(narrow.left, narrow.right);
    EXPECT_NE(wide.left, wide.right);
}

TEST(ProcessingChain, AutoPanMovesTheSidesInOppositeDirections)
{
    // Against the same chain with the tremolo section out, each side's gain is 1 - g d on
    // the left and 1 - d + g d on the right: they always add up to 2 - d, and the
    // oscillator sweeps them through their range. The tremolo moves both together.
    const auto in = testSignal(kMeasuredFrames);
    ChainSettings dry;
    const Stereo reference = runEngine(dry, in);
    for (float pan : {1.0f, 0.0f}) {
        ChainSettings s;
        s.tremoloFade = 1.0f;
        s.panFade = pan;
        const Stereo moved = runEngine(s, in);
        float lowest = 2.0f, highest = 0.0f;
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (std::fabs(reference.left[i]) < 0.05f)
                continue;  // gains are read where the signal is well above rounding
            const float gainLeft = moved.left[i] / reference.left[i];
            const float gainRight = moved.right[i] / reference.right[i];
            if (pan == 1.0f)
                ASSERT_NEAR(gainLeft + gainRight, 2.0f - s.tremoloDepth, 1e-4f) << i;
            else
                ASSERT_NEAR(gainLeft, gainRight, 1e-4f) << i;
            lowest = std::min(lowest, gainLeft);
            highest = std::max(highest, gainLeft);
        }
        EXPECT_GT(highest - lowest, 0.5f * s.tremoloDepth) << "the oscillator sweeps the gain, pan " << pan;
    }
}

TEST(ProcessingChain, GlidesAndFadesInFlightFollowTheHostsBlocksWhateverTheirLength)
{
    // Every ramped quantity on its way: levels and mixes glide over one host block, switches
    // crossfade over ten, the Space width's gains settle by 7 / block length per sample.
    // Changed at the start and again after 6000 frames, while the first glides and fades are
    // still moving; the reverb's amount crosses its threshold inside a block, both ways; the
    // chorus and delay come back empty. Block lengths around the engine's pieces of 128.
    const std::vector<Change> changes = {
        {0, kVolume, 0.3f},          {0, kReverb, 0.005f},        {0, kTremoloDepth, 0.2f},
        {0, kChorusMix, 0.1f},       {0, kEqGain, 0.9f},          {0, kSpaceWidth, 0.2f},
        {0, kChorusBypass, 0.0f},    {0, kChorusPhaser, 1.0f},    {0, kCenterPan, 0.0f},
        {0, kDelayBypass, 0.0f},     {0, kAmplifier, 1.0f},       {6000, kVolume, 0.6f},
        {6000, kReverb, 0.5f},       {6000, kTremoloDepth, 0.9f}, {6000, kChorusMix, 0.7f},
        {6000, kEqGain, 0.3f},       {6000, kSpaceWidth, 0.9f},   {6000, kChorusBypass, 1.0f},
        {6000, kDelayBypass, 1.0f},  {6000, kCenterPan, 1.0f},    {6000, kSpaceBypass, 0.0f},
        {6000, kAmplifier, 8.0f / 19.0f}};
    const auto in = testSignal(3 * 4096);
    for (int block : {1, 100, 128, 129, 512, 4096})
        EXPECT_TRUE(matchesModel(everyStage(true), in, block, changes)) << "host blocks of " << block;
}
