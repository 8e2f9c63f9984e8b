#pragma once
// The parameter table as hosts see it: a name and a display rule per front-panel index.

#include <cstddef>

#include "dsp/ParameterIndex.h"

enum class DisplayRule {
    OnOff,
    HighLow,
    PostPre,
    PhaserChorus,
    PanCenter,
    Percent,
    Raw,
    DelayTime,
    EqGain,
    LowFrequency,
    MidFrequency,
    HighFrequency,
    Bandwidth,
};

struct ParameterInfo {
    const char* name;
    DisplayRule rule;
};

extern const ParameterInfo kParameterTable[kNumPanelParameters];

// A value from a host as the plug-in takes it: clamped into 0..1, -0 as +0. False for a
// value that is not finite, which the plug-in ignores (the setting keeps its last value).
bool acceptParameterValue(float& value);

// The editor page's setting for an accepted value: the amp page (0) below one half, the
// effects page (1) from there on.
float editorPageSetting(float value);

// Writes the display text of `value` under `rule` into `text` (capacity bytes, NUL included).
void formatParameterValue(DisplayRule rule, float value, char* text, std::size_t capacity);

// Copies `source` into `dest` of `capacity` bytes, cutting it short if needed; always
// NUL-terminated when capacity > 0.
void copyBounded(char* dest, const char* source, std::size_t capacity);
