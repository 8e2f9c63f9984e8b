#pragma once
// The LV2 plug-in's ports. A parameter's port index is its VST parameter index, and the
// meters sit at the indices the editor reads them from (54, 55), so the DSP, the UI and
// the descriptions share one numbering with the VST plug-in.

#include <cstdint>

#include "dsp/ParameterIndex.h"

namespace lv2port {

constexpr uint32_t kParameterCount = kNumParameters;  // control inputs 0..52
constexpr uint32_t kLatency = 53;                     // control output: the plug-in's initial delay
constexpr uint32_t kCompressorMeter = kCompressorMeterIndex;  // control output 54
constexpr uint32_t kGateMeter = kGateMeterIndex;              // control output 55
constexpr uint32_t kInputLeft = 56;
constexpr uint32_t kInputRight = 57;
constexpr uint32_t kOutputLeft = 58;
constexpr uint32_t kOutputRight = 59;
constexpr uint32_t kCount = 60;

constexpr bool isParameter(uint32_t port) { return port < kParameterCount; }
constexpr bool isMeter(uint32_t port) { return port == kCompressorMeter || port == kGateMeter; }

}  // namespace lv2port

// The identifiers the bundle's descriptions give the plug-in, its UI and its presets.
#define KORVALEX_LV2_URI "urn:zarelworks:korvalex"
#define KORVALEX_LV2_UI_URI KORVALEX_LV2_URI ":ui"
#define KORVALEX_LV2_PRESET_PREFIX KORVALEX_LV2_URI ":preset:"
