#pragma once
// The strip above the front panel: where each control lies, its colours, and the tags the
// strip's listener tells them apart by. Rectangles are left, top, right, bottom, in the
// strip's logical coordinates (100 %); the strip is drawn at the front panel's zoom.

#include "gui/GuiTypes.h"

namespace live::strip {

constexpr int32_t kWidth = 899;  // the front panel's width
constexpr int32_t kHeight = 64;

// First row: the programs, the cabinet, then the input.
inline const CRect kPreviousRect{8, 6, 30, 30};
inline const CRect kProgramRect{34, 6, 300, 30};
inline const CRect kNextRect{304, 6, 326, 30};
inline const CRect kSaveRect{334, 6, 384, 30};
inline const CRect kCabinetLabelRect{392, 6, 422, 30};
inline const CRect kCabinetRect{426, 6, 560, 30};
inline const CRect kInputLabelRect{566, 6, 610, 30};
inline const CRect kMeterRect{612, 12, 744, 24};
inline const CRect kClipRect{748, 12, 762, 24};
inline const CRect kGainKnobRect{770, 3, 800, 33};
inline const CRect kGainRect{804, 6, 891, 30};

// Second row: the tuner, then the status line (or a message in its place).
inline const CRect kTunerLabelRect{8, 36, 52, 58};
inline const CRect kNoteRect{54, 36, 100, 58};
inline const CRect kCentsScaleRect{104, 38, 300, 56};
inline const CRect kCentsRect{304, 36, 384, 58};
inline const CRect kStatusRect{392, 36, 700, 58};
inline const CRect kLoadRect{700, 36, 800, 58};
inline const CRect kXrunsRect{800, 36, 891, 58};

enum Tag : int32_t { kPreviousTag = 1, kNextTag, kSaveTag, kProgramTag, kPresetsTag, kGainTag, kCabinetTag };

// The program and cabinet menus list this many entries per column.
constexpr int32_t kMenuRows = 21;

constexpr CColor kStripColor{38, 38, 42, 255};
constexpr CColor kBoxColor{18, 18, 20, 255};
constexpr CColor kButtonColor{64, 64, 70, 255};
constexpr CColor kFrameColor{110, 110, 118, 255};
constexpr CColor kTextColor{232, 232, 228, 255};
constexpr CColor kErrorTextColor{255, 120, 100, 255};
constexpr CColor kTickColor{90, 90, 96, 255};
constexpr CColor kNeedleColor{240, 160, 40, 255};
constexpr CColor kGreenLed{60, 220, 80, 255};
constexpr CColor kYellowLed{240, 210, 40, 255};
constexpr CColor kRedLed{250, 50, 40, 255};
constexpr CColor kDarkRed{70, 18, 16, 255};

// The level meter shows -60..0 dBFS; yellow from -12 dB, red from -3 dB.
constexpr double kMeterFloorDb = -60.0;
constexpr float kMeterYellow = 0.8f;
constexpr float kMeterRed = 0.95f;
// The tuner's needle turns green within this many cents.
constexpr double kInTuneCents = 2.0;
// The input gain knob's range.
constexpr double kGainFloorDb = -40.0;
constexpr double kGainCeilingDb = 40.0;

}  // namespace live::strip
