#include "dsp/AmpEngine.h"

#include <cmath>

#include "dsp/DenormalGuard.h"

namespace {

constexpr float kRunThreshold = 0.01f;  // Drive and Reverb below this leave their block out
constexpr float kToneStackTrim = 0.5f;
constexpr float kOutputGain = 2.0f;     // Volume 0.5 is unity
constexpr int kChannel = 0;             // the multi-channel blocks run one mono channel
constexpr float kPresenceLowPass = 0.0f;
// Input beyond +120 dBFS is garbage (an uninitialised host buffer, say), not audio, and
// treated like NaN: far louder input overflows to infinity inside the chain (the limiter's
// cubic above all) and would then stay in the filters' and the delay line's memories.
constexpr float kInputCeiling = 1e6f;

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
    if (frames < 1)
        return;
    DenormalGuard guard;
    beginBlock(frames);
    for (int i = 0; i < frames; ++i) {
        float sum = inLeft[i] + inRight[i];
        if (!(std::fabs(sum) <= kInputCeiling))
            sum = 0.0f;  // one bad host sample must not poison every recursive state
        float left, right;
        processSample(sum, left, right, frames);
        outLeft[i] = left;
        outRight[i] = right;
    }
    endBlock();
}

void AmpEngine::processSample(float in, float& left, float& right, int frames)
{
    float x = in + kAntiDenormal;
    for (Ramp& ramp : ramps_)
        ramp.advance();
    for (SwitchFade& fade : fades_)
        fade.ramp.advance();

    if (settings_[kPower] == 0.0f) {
        left = right = x;
        return;
    }

    const bool gatePre = settings_[kPrePostGate] == 0.0f;
    const bool compressorPre = settings_[kPrePostComp] == 0.0f;
    if (gatePre)
        x = gateStep(x);
    if (compressorPre)
        x = compressorStep(x);
    if (fades_[kChorusFade].ramp.current != 0.0f)
        x = chorusSection(x);
    if (settings_[kDrive] >= kRunThreshold)
        x = drive_.process(x);
    if (settings_[kPrePostGate] > 0.0f)
        x = gateStep(x);
    if (settings_[kPrePostComp] > 0.0f)
        x = compressorStep(x);
    if (settings_[kInputHiLow] == 0.0f)
        x = shaper_.process(x);

    x = cabinetStep(x);
    x = toneStack_.process(kChannel, x) * kToneStackTrim;
    presence_.process(kChannel, kPresenceLowPass, x);

    const float reverbAmount = ramps_[kReverbRamp].current;
    if (reverbAmount >= kRunThreshold) {
        float wet;
        reverb_.process(x, wet);
        x = x + reverbAmount * wet;
    }
    if (settings_[kPeqBypass] > 0.0f)
        x = equaliser_.process(x) * (ramps_[kEqGainRamp].current * 2.0f + 0.0f);
    limiter_.process(x);

    delayStep(x, left, right);
    if (fades_[kTremoloFade].ramp.current != 0.0f)
        tremoloStep(left, right);
    spaceStep(left, right, frames);

    const float volume = ramps_[kVolumeRamp].current;
    left = left * kOutputGain * volume;
    right = right * kOutputGain * volume;
}

float AmpEngine::gateStep(float x)
{
    if (settings_[kGateBypass] > 0.0f) {
        gateMeter_ = gate_.process(x, x);
        return x;
    }
    gateMeter_ = 1.0f;
    return x;
}

float AmpEngine::compressorStep(float x)
{
    if (settings_[kCompBypass] > 0.0f) {
        compressorMeter_ = compressor_.process(kChannel, x, x);
        return x;
    }
    compressorMeter_ = 1.0f;
    return x;
}

// Chorus and phaser crossfade with each other (mode fade), then with the dry signal
// (mix), then in and out (chorus fade). A block that is not called stays frozen.
float AmpEngine::chorusSection(float x)
{
    const float modeFade = fades_[kModeFade].ramp.current;
    float chorused = x;
    float phased = x;
    if (modeFade != 1.0f)
        chorus_.process(x, &chorused);
    if (modeFade != 0.0f)
        phased = phaser_.process(x);
    const float wet = chorused + (phased - chorused) * modeFade;
    const float mixed = x + (wet - x) * ramps_[kChorusMixRamp].current;
    return x + (mixed - x) * fades_[kChorusFade].ramp.current;
}

float AmpEngine::cabinetStep(float x)
{
    const float fade = fades_[kCabinetFade].ramp.current;
    float y = x + kAntiDenormal;
    if (fade != 0.0f)
        y = cabinet_.process(x) + kAntiDenormal;
    return x + (y - x) * fade + kAntiDenormal;
}

void AmpEngine::delayStep(float x, float& left, float& right)
{
    const float fade = fades_[kDelayFade].ramp.current;
    left = right = x;
    if (fade != 0.0f) {
        float a, b;
        delay_.process(x, a, b);
        const float width = settings_[kDelayWidth];
        const float a2 = width * a + (1.0f - width) * b;
        const float b2 = (1.0f - width) * a2 + width * b;
        left = x + (a2 - x) * fade;
        right = x + (b2 - x) * fade;
    }
    left += kAntiDenormal;
    right += kAntiDenormal;
}

// Tremolo scales both sides with the oscillator; auto-pan moves the level from side to
// side. The pan fade crossfades between the two, the tremolo fade in and out.
void AmpEngine::tremoloStep(float& left, float& right)
{
    const float g = tremolo_.next(kChannel);
    const float depth = ramps_[kTremoloDepthRamp].current;
    const float panFade = fades_[kPanFade].ramp.current;
    const float tremoloLeft = left * (1.0f - depth) + left * g * depth;
    const float tremoloRight = right * (1.0f - depth) + right * g * depth;
    float mixedLeft = tremoloLeft;
    float mixedRight = tremoloRight;
    if (panFade != 0.0f) {
        const float panLeft = left + ((1.0f - g) * left - left) * depth;
        const float panRight = right + (g * right - right) * depth;
        mixedLeft = tremoloLeft + (panLeft - tremoloLeft) * panFade;
        mixedRight = tremoloRight + (panRight - tremoloRight) * panFade;
    }
    const float fade = fades_[kTremoloFade].ramp.current;
    left = left + (mixedLeft - left) * fade;
    right = right + (mixedRight - right) * fade;
}

void AmpEngine::spaceStep(float& left, float& right, int frames)
{
    const float fade = fades_[kSpaceFade].ramp.current;
    if (fade == 0.0f)
        return;
    float wideLeft, wideRight;
    imager_.process(left, right, wideLeft, wideRight, frames);
    left = left + (wideLeft - left) * fade;
    right = right + (wideRight - right) * fade;
}
