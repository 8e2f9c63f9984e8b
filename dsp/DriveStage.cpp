#include "dsp/DriveStage.h"

#include <cmath>

#include "dsp/DspConstants.h"

namespace {
// Pre-filter: two one-pole stages of coefficient 0.02 with resonance feedback 0.2,
// taken as a high-pass (corner near 140 Hz at 44.1 kHz).
constexpr float kPreFilterCoefficient = 0.02f;
constexpr float kPreFilterResonance = 0.2f;
constexpr float kPreFilterFeedback =
    kPreFilterResonance + kPreFilterResonance / (1.0f - kPreFilterCoefficient);

// DC blocker pole: m = 0.999 m + l - l_previous.
constexpr float kBlockerPole = 0.999f;

constexpr float kThresholdFloorDb = -90.0f;
} // namespace

DriveStage::DriveStage(float /*sampleRate*/)
{
    setDrive(0.0f);
}

void DriveStage::setDrive(float value)
{
    const float db = -60.0f * value;
    thresholdDb_ = db;
    threshold_ = db > kThresholdFloorDb ? static_cast<float>(std::pow(10.0, static_cast<double>(db) * 0.05))
                                        : 0.0f;
    level_ = static_cast<float>(std::pow(1.0 - static_cast<double>(value), 10.0) * 0.7 + 0.3);
}

float DriveStage::process(float x)
{
    process(&x, 1);
    return x;
}

void DriveStage::process(float* samples, int n)
{
    const float f = kPreFilterCoefficient;
    const float threshold = threshold_;
    const float level = level_;
    float lowPass1 = lowPass1_;
    float lowPass2 = lowPass2_;
    float blockerIn = blockerIn_;
    float blockerOut = blockerOut_;
    for (int i = 0; i < n; ++i) {
        // Resonant two-pole pre-filter, taken as a high-pass.
        const float in = (samples[i] + kAntiDenormal) + kAntiDenormal;
        lowPass1 = lowPass1 + f * ((in - lowPass1) + kPreFilterFeedback * (lowPass1 - lowPass2)) + kAntiDenormal;
        lowPass2 = lowPass2 + f * (lowPass1 - lowPass2) + kAntiDenormal;
        const float a = (in - lowPass2 + kAntiDenormalSmall) + kAntiDenormal;

        // The envelope follows the rectified signal at once (its smoothing coefficient is
        // 1), and never reaches 0.
        const float envelope = std::fabs(a) + kAntiDenormal;
        const float gain = threshold < envelope ? level / envelope : level / threshold;
        const float l = a * (gain + kAntiDenormal);

        blockerOut = kBlockerPole * blockerOut + l - blockerIn;
        blockerIn = l;
        samples[i] = blockerOut + kAntiDenormal;
    }
    lowPass1_ = lowPass1;
    lowPass2_ = lowPass2;
    blockerIn_ = blockerIn;
    blockerOut_ = blockerOut;
}
