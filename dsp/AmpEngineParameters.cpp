// How each parameter's normalized value reaches the engine's blocks.

#include <algorithm>

#include "dsp/AmpEngine.h"

namespace {

// Amplifier positions come in families of three sharing a cabinet: A without a voicing
// notch, B with a notch at 1500 Hz, C with one at 500 Hz.
constexpr int kCabinetPositions = 18;
constexpr int kVoicingsPerCabinet = 3;
constexpr int kBankBFirstResponse = 6;
constexpr float kAmplifierSteps = 19.0f;
constexpr float kVoicingQ = 1.0f;

// The settings of each equaliser band, low to high.
struct EqualiserBandSettings {
    ParameterIndex gain, frequency, bandwidth;
};

constexpr EqualiserBandSettings kEqualiserBands[] = {
    {kLowGain, kLowFreq, kLowBand},
    {kMidGain, kMidFreq, kMidBand},
    {kHiGain, kHiFreq, kHiBand},
};

// The engine's fixed reverb room, set once.
constexpr float kReverbWet = 0.1f;
constexpr float kReverbRoomSize = 0.8f;
constexpr float kReverbDamping = 1.0f;

constexpr float kLimiterReleaseMs = 75.0f;
constexpr float kMaxPhaserFeedback = 0.95f;

}  // namespace

AmpEngine::AmpEngine(float sampleRate)
    : gate_(static_cast<int>(sampleRate)),
      compressor_(static_cast<int>(sampleRate)),
      chorus_(static_cast<int>(sampleRate)),
      phaser_(static_cast<int>(sampleRate)),
      drive_(sampleRate),
      cabinet_(),
      toneStack_(static_cast<int>(sampleRate)),
      limiter_(static_cast<int>(sampleRate)),
      delay_(static_cast<int>(sampleRate)),
      tremolo_(static_cast<int>(sampleRate)),
      imager_(static_cast<int>(sampleRate))
{
    tremolo_.setDepth(1.0f);
    imager_.setWidth(1.0f);
    reverb_.setWet(kReverbWet);
    reverb_.setRoomSize(kReverbRoomSize);
    reverb_.setDry(0.0f);
    reverb_.setDamping(kReverbDamping);
    reverb_.setWidth(0.0f);
    reverb_.setMode(0.0f);
    limiter_.setRelease(kLimiterReleaseMs);
    toneStack_.setVoicing(1000.0f, kVoicingQ, false);
    cabinet_.select(0);
}

void AmpEngine::setSetting(int index, float value)
{
    settings_[index] = value;
    switch (index) {
    case kPresence:
        presence_.setPresence(value);
        break;
    case kTreble:
        toneStack_.setTreble(value);
        break;
    case kMiddle:
        toneStack_.setMiddle(value);
        break;
    case kBass:
        toneStack_.setBass(value);
        break;
    case kDrive:
        drive_.setDrive(value);
        break;
    case kAmplifier:
        selectAmplifier(value);
        break;
    case kPeqBypass:
        equaliser_.setEnabled(static_cast<int>(value));
        break;
    case kSpaceBypass:
        if (value == 1.0f)
            imager_.clear();
        break;
    case kSpaceWidth:
        imager_.setWidth(value);
        break;
    default:
        applyModulation(index, value);
        applyDynamics(index, value);
        applyDelay(index, value);
        break;
    }
}

void AmpEngine::applyModulation(int index, float value)
{
    switch (index) {
    case kTremoloSpeed:
        tremolo_.setRate(value);
        break;
    case kChorusBypass:
        if (value == 1.0f)
            chorus_.clear();
        break;
    case kChorusSpeed:
        chorus_.setSpeed(value);
        phaser_.setSpeed(value);
        break;
    case kChorusDepth:
        chorus_.setDepth(value);
        phaser_.setFeedback(std::min(value, kMaxPhaserFeedback));
        break;
    default:
        break;
    }
}

void AmpEngine::applyDynamics(int index, float value)
{
    switch (index) {
    case kCompAttack:
        compressor_.setAttack(Compressor::kAttackMinMs, Compressor::kAttackMaxMs, value);
        break;
    case kCompRelease:
        compressor_.setRelease(Compressor::kReleaseMinMs, Compressor::kReleaseMaxMs, value);
        break;
    case kCompThreshold:
        compressor_.setThreshold(value);
        break;
    case kCompRatio:
        compressor_.setRatio(Compressor::kRatioMin, Compressor::kRatioMax, value);
        break;
    case kMakeupGain:
        compressor_.setMakeup(value);
        break;
    case kGateAttack:
        gate_.setAttack(value);
        break;
    case kGateRelease:
        gate_.setRelease(value);
        break;
    case kGateThreshold:
        gate_.setThreshold(value);
        break;
    case kGateHold:
        gate_.setHold(value);
        break;
    case kGateRange:
        gate_.setRange(value);
        break;
    default:
        break;
    }
}

void AmpEngine::applyDelay(int index, float value)
{
    switch (index) {
    case kDelayBypass:
        if (value == 1.0f)
            delay_.clear();
        break;
    case kDelaySpeed:
        delay_.setSpeed(value);  // also clears the line
        break;
    case kDelaySustain:
        delay_.setSustain(value);
        break;
    case kDelayMix:
        delay_.setMix(value);
        break;
    default:
        break;
    }
}

// Positions 0..17 pick a cabinet response (bank A short voicings, bank B full cabinets)
// and a voicing notch; the last two positions, or any value outside the menu, fade the
// cabinet out and keep the previous choice.
void AmpEngine::selectAmplifier(float value)
{
    cabinetActive_ = 1.0f;
    const float position = value * kAmplifierSteps;
    if (!(position >= 0.0f && position < static_cast<float>(kCabinetPositions))) {
        cabinetActive_ = 0.0f;
        return;
    }
    const int n = static_cast<int>(position);
    const int family = n / kVoicingsPerCabinet;
    const int response = family + (settings_[kBankAB] > 0.0f ? kBankBFirstResponse : 0);
    cabinet_.select(response);
    cabinetResponse_ = response;

    switch (n % kVoicingsPerCabinet) {
    case 0:
        toneStack_.setVoicing(n == 0 ? 500.0f : 1000.0f, kVoicingQ, false);
        voicingNotchOn_ = false;
        break;
    case 1:
        toneStack_.setVoicing(1500.0f, kVoicingQ, true);
        voicingNotchOn_ = true;
        break;
    default:
        toneStack_.setVoicing(500.0f, kVoicingQ, true);
        voicingNotchOn_ = true;
        break;
    }
}

void AmpEngine::designEqualiser(float sampleRate)
{
    int band = 0;
    for (const EqualiserBandSettings& b : kEqualiserBands)
        equaliser_.designBandFromSettings(band++, sampleRate, settings_[b.gain], settings_[b.frequency],
                                          settings_[b.bandwidth]);
}
