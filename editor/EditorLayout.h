#pragma once
// The front panel as data: both pages' controls in the order they are added (the drawing
// order; the later of two overlapping controls takes the mouse), their bitmaps and settings,
// the amplifier menu's entries, and the bitmap identifiers.

#include <cstddef>
#include <cstdint>

#include "gui/GuiTypes.h"

namespace editor {

// Bitmap resources.
enum BitmapId : int32_t {
    kSplashBitmap = 10005,
    kMeterOffBitmap = 10100,
    kMeterOnBitmap = 10101,
    kAmpPageBitmap = 10128,
    kEffectsPageBitmap = 10129,
    kLargeButtonBitmap = 10130,
    kSmallKnobBitmap = 10131,
    kLargeKnobBitmap = 10132,
    kSectionSwitchBitmap = 10133,
    kSpaceWidthDisplayBitmap = 10135,
    kTwoWaySwitchBitmap = 10136,
    kGateLampBitmap = 10137,
    kAmpMenuBitmap = 10138,
    kInputSwitchBitmap = 10139,
    kInputIndicatorBitmap = 10140,
    kSpaceButtonBitmap = 10141,
    kSpaceLampBitmap = 10142,
};

constexpr int32_t kPanelWidth = 899;
constexpr int32_t kPanelHeight = 421;

enum class Kind : uint8_t { OptionMenu, MovieBitmap, SplashScreen, VerticalSwitch, OnOffButton, AnimKnob, Readout, VuMeter };

// How a control follows its parameter: set from every parameter change, refreshed at every
// idle from the engine, or never (the splash hot spot).
enum class Refresh : uint8_t { OnChange, AtIdle, Never };

constexpr float kNoDefault = -1.0f;  // the toolkit's own default (0.5) stays
constexpr int32_t kNoParameter = -1;

struct ControlRow {
    Kind kind;
    int32_t tag;        // what the control reports (the parameter index; 0 for displays, 900 the splash)
    int32_t shows;      // the value it shows: a parameter index, 54/55 for the meters
    Refresh refresh;
    CRect rect;
    int32_t bitmap;
    int32_t images;     // images stacked in the bitmap
    float defaultValue; // kNoDefault: none
};

extern const ControlRow kAmpPage[];
extern const size_t kAmpPageCount;
extern const ControlRow kEffectsPage[];
extern const size_t kEffectsPageCount;

// The amplifier menu: entry index = parameter value x 19.
extern const char* const kAmplifierEntries[];
extern const int32_t kAmplifierEntryCount;
constexpr int32_t kAmplifierSteps = 19;

// The readouts under the amp knobs: a knob's value x 100, computed in double precision and
// truncated toward zero, printed with at least two digits ("07", "28", "100").
void formatReadout(float value, char* text, size_t size);

// Where a right-click opens the zoom menu: the logo of each page (on the amp page the
// splash picture's hot spot, which takes left presses only).
extern const CRect kAmpLogoArea;
constexpr CRect kEffectsLogoArea{40, 44, 360, 124};

// Meter readings and tags that are not parameters.
constexpr int32_t kCompressorMeter = 54;
constexpr int32_t kGateMeter = 55;
constexpr int32_t kSplashTag = 900;

}  // namespace editor
