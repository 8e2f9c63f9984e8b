#include "dsp/AmpEngine.h"

#include <algorithm>
#include <cmath>

#include "dsp/DenormalGuard.h"

namespace {

constexpr float kRunThreshold = 0.01f;  // Drive and Reverb below this leave their block out
constexpr float kToneStackTrim = 0.5f;
constexpr float kOutputGain = 2.0f;     // Volume 0.5 is unity
constexpr int kChannel = 0;             // the multi-channel blocks run one mono channel
constexpr float kPresenceLowPass = 0.0f;

bool nonZero(float v)
{
    return v != 0.0f;
}

}  // namespace

void AmpEngine::SwitchFade::step(float switchValue)
{
    if (switchValue == 1.0f && counter != kSteps) {
        ++counter;
        target = static_cast<float>(counter) / static_cast<float>(kSteps);
    } else if (switchValue == 0.0f && counter != 0) {
        --counter;
        target = static_cast<float>(counter) / static_cast<float>(kSteps);
    }
}

void AmpEngine::stepSwitchFades()
{
    fades_[kCabinetFade].step(cabinetActive_);
    fades_[kSpaceFade].step(settings_[kSpaceBypass]);
    fades_[kPanFade].step(settings_[kCenterPan]);
    fades_[kChorusFade].step(settings_[kChorusBypass]);
    fades_[kDelayFade].step(settings_[kDelayBypass]);
    fades_[kTremoloFade].step(settings_[kTremoloBypass]);
    fades_[kModeFade].step(settings_[kChorusPhaser]);
}

void AmpEngine::RampValues::advance(Ramp& ramp, int n)
{
    constant = ramp.step == 0.0f;
    float current = ramp.current;
    if (constant) {
        current += ramp.step;
        std::fill(at, at + n, current);
    } else {
        for (int i = 0; i < n; ++i)
            at[i] = current += ramp.step;
    }
    ramp.current = current;
}

namespace {

// Calls run(b, e) for every stretch [b, e) of [begin, end) where `keep` holds for the
// ramp's value: a stage that runs only while its ramp allows is called for exactly the
// samples it would run on in a sample-by-sample chain, and in as few calls as possible.
template <typename Values, typename Keep, typename Run>
void forEachStretch(const Values& values, int begin, int end, Keep keep, Run run)
{
    if (values.constant) {
        if (begin < end && keep(values.at[begin]))
            run(begin, end);
        return;
    }
    int i = begin;
    while (i < end) {
        while (i < end && !keep(values.at[i]))
            ++i;
        const int first = i;
        while (i < end && keep(values.at[i]))
            ++i;
        if (i > first)
            run(first, i);
    }
}

}  // namespace

void AmpEngine::beginBlock(int frames)
{
    ramps_[kTremoloDepthRamp].begin(settings_[kTremoloDepth], frames);
    ramps_[kReverbRamp].begin(settings_[kReverb], frames);
    ramps_[kVolumeRamp].begin(settings_[kVolume], frames);
    ramps_[kChorusMixRamp].begin(settings_[kChorusMix], frames);
    ramps_[kEqGainRamp].begin(settings_[kEqGain], frames);
    for (SwitchFade& fade : fades_)
        fade.ramp.begin(fade.target, frames);
}

// Float steps rarely land exactly on the target; the fades' "exactly 0" and "exactly 1"
// states decide whether blocks run, so every ramp ends its block on its target.
void AmpEngine::endBlock()
{
    for (Ramp& ramp : ramps_)
        ramp.land();
    for (SwitchFade& fade : fades_)
        fade.ramp.land();
}

void AmpEngine::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames)
{
    processPart(inLeft, inRight, outLeft, outRight, frames, 0, frames);
}

void AmpEngine::processPart(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n,
                            int offset, int frames)
{
    if (n < 1 || offset < 0 || offset + n > frames)
        return;
    DenormalGuard guard;
    if (offset == 0)
        beginBlock(frames);
    for (int start = 0; start < n; start += kPiece) {
        const int m = std::min(kPiece, n - start);
        processPiece(inLeft + start, inRight + start, outLeft + start, outRight + start, m, frames);
    }
    if (offset + n == frames)
        endBlock();
}

// Every input sample is read before any output sample is written: hosts may pass the
// same buffers for both.
void AmpEngine::processPiece(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int n,
                             int frames)
{
    float* x = mono_;
    for (int i = 0; i < n; ++i) {
        float sum = inLeft[i] + inRight[i];
        if (!(std::fabs(sum) <= kInputCeiling))
            sum = 0.0f;  // one bad host sample must not poison every recursive state
        x[i] = sum + kAntiDenormal;
    }
    for (int r = 0; r < kNumRamps; ++r)
        rampValues_[r].advance(ramps_[r], n);
    for (int f = 0; f < kNumFades; ++f)
        fadeValues_[f].advance(fades_[f].ramp, n);

    if (settings_[kPower] == 0.0f) {
        std::copy(x, x + n, outLeft);
        std::copy(x, x + n, outRight);
        return;
    }

    const float gatePosition = settings_[kPrePostGate];
    const float compressorPosition = settings_[kPrePostComp];
    if (gatePosition == 0.0f)
        gateStage(x, n);
    if (compressorPosition == 0.0f)
        compressorStage(x, n);
    chorusStage(x, n);
    if (settings_[kDrive] >= kRunThreshold)
        drive_.process(x, n);
    if (gatePosition > 0.0f)
        gateStage(x, n);
    if (compressorPosition > 0.0f)
        compressorStage(x, n);
    if (settings_[kInputHiLow] == 0.0f)
        shaper_.process(x, n);

    cabinetStage(x, n);
    toneStack_.process(kChannel, x, n);
    for (int i = 0; i < n; ++i)
        x[i] *= kToneStackTrim;
    presence_.process(kChannel, kPresenceLowPass, x, n);
    reverbStage(x, n);
    if (settings_[kPeqBypass] > 0.0f)
        equaliserStage(x, n);
    limiter_.process(x, n);

    delayStage(x, left_, right_, n);
    tremoloStage(left_, right_, n);
    spaceStage(left_, right_, n, frames);

    const float* volume = rampValues_[kVolumeRamp].at;
    for (int i = 0; i < n; ++i) {
        outLeft[i] = left_[i] * kOutputGain * volume[i];
        outRight[i] = right_[i] * kOutputGain * volume[i];
    }
}

void AmpEngine::gateStage(float* x, int n)
{
    gateMeter_ = settings_[kGateBypass] > 0.0f ? gate_.process(x, n) : 1.0f;
}

void AmpEngine::compressorStage(float* x, int n)
{
    compressorMeter_ = settings_[kCompBypass] > 0.0f ? compressor_.process(kChannel, x, n) : 1.0f;
}

// Chorus and phaser crossfade with each other (mode fade), then with the dry signal
// (mix), then in and out (chorus fade). A block that is not called stays frozen.
void AmpEngine::chorusStage(float* x, int n)
{
    const RampValues& fade = fadeValues_[kChorusFade];
    const RampValues& mode = fadeValues_[kModeFade];
    const float* mix = rampValues_[kChorusMixRamp].at;
    float* chorused = scratchA_;
    float* phased = scratchB_;
    forEachStretch(fade, 0, n, nonZero, [&](int begin, int end) {
        std::copy(x + begin, x + end, chorused + begin);
        std::copy(x + begin, x + end, phased + begin);
        forEachStretch(mode, begin, end, [](float v) { return v != 1.0f; },
                       [&](int b, int e) { chorus_.process(x + b, chorused + b, e - b); });
        forEachStretch(mode, begin, end, nonZero, [&](int b, int e) { phaser_.process(x + b, phased + b, e - b); });
        for (int i = begin; i < end; ++i) {
            const float wet = chorused[i] + (phased[i] - chorused[i]) * mode.at[i];
            const float mixed = x[i] + (wet - x[i]) * mix[i];
            x[i] = x[i] + (mixed - x[i]) * fade.at[i];
        }
    });
}

void AmpEngine::cabinetStage(float* x, int n)
{
    const RampValues& fade = fadeValues_[kCabinetFade];
    float* y = scratchA_;
    for (int i = 0; i < n; ++i)
        y[i] = x[i] + kAntiDenormal;
    forEachStretch(fade, 0, n, nonZero, [&](int begin, int end) {
        cabinet_.process(x + begin, y + begin, end - begin);
        for (int i = begin; i < end; ++i)
            y[i] += kAntiDenormal;
    });
    for (int i = 0; i < n; ++i)
        x[i] = x[i] + (y[i] - x[i]) * fade.at[i] + kAntiDenormal;
}

void AmpEngine::reverbStage(float* x, int n)
{
    const RampValues& amount = rampValues_[kReverbRamp];
    float* wet = scratchA_;
    forEachStretch(amount, 0, n, [](float v) { return v >= kRunThreshold; }, [&](int begin, int end) {
        reverb_.process(x + begin, wet + begin, end - begin);
        for (int i = begin; i < end; ++i)
            x[i] = x[i] + amount.at[i] * wet[i];
    });
}

// EQ Gain acts only while the equaliser is on; the setting 0.5 is unity.
void AmpEngine::equaliserStage(float* x, int n)
{
    equaliser_.process(x, n);
    const float* gain = rampValues_[kEqGainRamp].at;
    for (int i = 0; i < n; ++i)
        x[i] = x[i] * (gain[i] * 2.0f + 0.0f);
}

// The two taps, balanced by the width (1 keeps them apart, 0 gives the second on both
// sides), crossfaded with the dry signal.
void AmpEngine::delayStage(const float* x, float* left, float* right, int n)
{
    const RampValues& fade = fadeValues_[kDelayFade];
    std::copy(x, x + n, left);
    std::copy(x, x + n, right);
    const float width = settings_[kDelayWidth];
    float* tapA = scratchA_;
    float* tapB = scratchB_;
    forEachStretch(fade, 0, n, nonZero, [&](int begin, int end) {
        delay_.process(x + begin, tapA + begin, tapB + begin, end - begin);
        for (int i = begin; i < end; ++i) {
            const float a2 = width * tapA[i] + (1.0f - width) * tapB[i];
            const float b2 = (1.0f - width) * a2 + width * tapB[i];
            left[i] = x[i] + (a2 - x[i]) * fade.at[i];
            right[i] = x[i] + (b2 - x[i]) * fade.at[i];
        }
    });
    for (int i = 0; i < n; ++i) {
        left[i] += kAntiDenormal;
        right[i] += kAntiDenormal;
    }
}

// Tremolo scales both sides with the oscillator; auto-pan moves the level from side to
// side. The pan fade crossfades between the two, the tremolo fade in and out.
void AmpEngine::tremoloStage(float* left, float* right, int n)
{
    const RampValues& fade = fadeValues_[kTremoloFade];
    const float* panFade = fadeValues_[kPanFade].at;
    const float* depth = rampValues_[kTremoloDepthRamp].at;
    float* oscillator = scratchA_;
    forEachStretch(fade, 0, n, nonZero, [&](int begin, int end) {
        tremolo_.next(kChannel, oscillator + begin, end - begin);
        for (int i = begin; i < end; ++i) {
            const float g = oscillator[i];
            const float d = depth[i];
            const float l = left[i];
            const float r = right[i];
            const float tremoloLeft = l * (1.0f - d) + l * g * d;
            const float tremoloRight = r * (1.0f - d) + r * g * d;
            float mixedLeft = tremoloLeft;
            float mixedRight = tremoloRight;
            if (panFade[i] != 0.0f) {
                const float panLeft = l + ((1.0f - g) * l - l) * d;
                const float panRight = r + (g * r - r) * d;
                mixedLeft = tremoloLeft + (panLeft - tremoloLeft) * panFade[i];
                mixedRight = tremoloRight + (panRight - tremoloRight) * panFade[i];
            }
            left[i] = l + (mixedLeft - l) * fade.at[i];
            right[i] = r + (mixedRight - r) * fade.at[i];
        }
    });
}

void AmpEngine::spaceStage(float* left, float* right, int n, int frames)
{
    const RampValues& fade = fadeValues_[kSpaceFade];
    float* wideLeft = scratchA_;
    float* wideRight = scratchB_;
    forEachStretch(fade, 0, n, nonZero, [&](int begin, int end) {
        imager_.process(left + begin, right + begin, wideLeft + begin, wideRight + begin, end - begin, frames);
        for (int i = begin; i < end; ++i) {
            left[i] = left[i] + (wideLeft[i] - left[i]) * fade.at[i];
            right[i] = right[i] + (wideRight[i] - right[i]) * fade.at[i];
        }
    });
}
