#include "plugin/Parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const ParameterInfo kParameterTable[kNumPanelParameters] = {
    {"Power", DisplayRule::OnOff},
    {"Bank A/B", DisplayRule::OnOff},
    {"Input HiLow", DisplayRule::HighLow},
    {"Volume", DisplayRule::Percent},
    {"Presence", DisplayRule::Percent},
    {"Treble", DisplayRule::Percent},
    {"Middle", DisplayRule::Percent},
    {"Bass", DisplayRule::Percent},
    {"Reverb", DisplayRule::Percent},
    {"Drive", DisplayRule::Percent},
    {"Amplifier", DisplayRule::Raw},
    {"Tremolo Bypass", DisplayRule::OnOff},
    {"Center-Pan", DisplayRule::PanCenter},
    {"Tremolo Speed", DisplayRule::Percent},
    {"Tremolo Depth", DisplayRule::Percent},
    {"Chorus Bypass", DisplayRule::OnOff},
    {"Chorus/Phaser", DisplayRule::PhaserChorus},
    {"Chorus Speed", DisplayRule::Percent},
    {"Chorus Depth", DisplayRule::Percent},
    {"Chorus Mix", DisplayRule::Percent},
    {"Delay Bypass", DisplayRule::OnOff},
    {"Delay Speed", DisplayRule::DelayTime},
    {"Delay Sustain", DisplayRule::Percent},
    {"Delay Width", DisplayRule::Percent},
    {"Delay Mix", DisplayRule::Percent},
    {"Comp Bypass", DisplayRule::OnOff},
    {"PrePost Comp", DisplayRule::PostPre},
    {"Comp Attack", DisplayRule::Percent},
    {"Comp Release", DisplayRule::Percent},
    {"Comp Threshold", DisplayRule::Percent},
    {"Comp Ratio", DisplayRule::Percent},
    {"Makeup Gain", DisplayRule::Percent},
    {"Gate Bypass", DisplayRule::OnOff},
    {"PrePost Gate", DisplayRule::PostPre},
    {"Gate Attack", DisplayRule::Percent},
    {"Gate Release", DisplayRule::Percent},
    {"Gate Threshold", DisplayRule::Percent},
    {"Gate Hold", DisplayRule::Percent},
    {"Gate Range", DisplayRule::Percent},
    {"Space Bypass", DisplayRule::OnOff},
    {"Space Width", DisplayRule::Percent},
    {"PEQ Bypass", DisplayRule::OnOff},
    {"Low Gain", DisplayRule::EqGain},
    {"Low Freq", DisplayRule::LowFrequency},
    {"Low Band", DisplayRule::Bandwidth},
    {"Mid Gain", DisplayRule::EqGain},
    {"Mid Freq", DisplayRule::MidFrequency},
    {"Mid Band", DisplayRule::Bandwidth},
    {"Hi Gain", DisplayRule::EqGain},
    {"Hi Freq", DisplayRule::HighFrequency},
    {"Hi Band", DisplayRule::Bandwidth},
    {"EQ Gain", DisplayRule::EqGain},
};

namespace {

void formatSwitch(float value, const char* onWord, const char* offWord, char* text, std::size_t capacity)
{
    copyBounded(text, value > 0.0f ? onWord : offWord, capacity);
}

// Integer part of x * 100, at least two digits: 0.7f shows "69" since the float lies just
// below 0.7 and the integer part truncates.
void formatPercent(double x, char* text, std::size_t capacity)
{
    std::snprintf(text, capacity, "%.2d", static_cast<int>(x * 100.0));
}

// Frequencies show in hundreds of hertz on the percent scale: 325 Hz shows "325".
void formatFrequency(double base, double span, float value, char* text, std::size_t capacity)
{
    const float hundreds = static_cast<float>((value * span + base) / 100.0);
    formatPercent(hundreds, text, capacity);
}

}  // namespace

bool acceptParameterValue(float& value)
{
    if (!std::isfinite(value))
        return false;
    value = std::clamp(value, 0.0f, 1.0f);
    if (value == 0.0f)
        value = 0.0f;  // -0 as +0: blocks that divide by a time would get -infinity from it
    return true;
}

float editorPageSetting(float value) { return value < 0.5f ? 0.0f : 1.0f; }

void formatParameterValue(DisplayRule rule, float value, char* text, std::size_t capacity)
{
    const double x = value;
    switch (rule) {
    case DisplayRule::OnOff:
        return formatSwitch(value, "On", "Off", text, capacity);
    case DisplayRule::HighLow:
        return formatSwitch(value, "High", "Low", text, capacity);
    case DisplayRule::PostPre:
        return formatSwitch(value, "Post", "Pre", text, capacity);
    case DisplayRule::PhaserChorus:
        return formatSwitch(value, "Phaser", "Chorus", text, capacity);
    case DisplayRule::PanCenter:
        return formatSwitch(value, "Pan", "Center", text, capacity);
    case DisplayRule::Percent:
        return formatPercent(x, text, capacity);
    case DisplayRule::Raw:
        std::snprintf(text, capacity, "%.2f", x);
        return;
    case DisplayRule::DelayTime:
        std::snprintf(text, capacity, "%.3f", x * 645.0 + 5.0);
        return;
    case DisplayRule::EqGain:
        if (x >= 0.5)
            std::snprintf(text, capacity, "%.1f", (x - 0.5) * 15.0 * 2.0);
        else
            std::snprintf(text, capacity, "-%.1f", (0.5 - x) * 15.0 * 2.0);
        return;
    case DisplayRule::LowFrequency:
        return formatFrequency(50.0, 550.0, value, text, capacity);
    case DisplayRule::MidFrequency:
        return formatFrequency(400.0, 3600.0, value, text, capacity);
    case DisplayRule::HighFrequency:
        return formatFrequency(2000.0, 10000.0, value, text, capacity);
    case DisplayRule::Bandwidth:
        return formatPercent(static_cast<float>(x * 1.75 + 0.25), text, capacity);
    }
}

void copyBounded(char* dest, const char* source, std::size_t capacity)
{
    if (capacity == 0)
        return;
    const std::size_t length = std::min(std::strlen(source), capacity - 1);
    std::memcpy(dest, source, length);
    dest[length] = 0;
}
