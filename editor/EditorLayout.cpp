#include "editor/EditorLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace editor {

namespace {

constexpr Refresh kChange = Refresh::OnChange;
constexpr Refresh kIdle = Refresh::AtIdle;

}  // namespace

// Amp page, in the order of addition.
const ControlRow kAmpPage[] = {
    // kind, tag, shows, refresh, rectangle, bitmap, images, default
    {Kind::OptionMenu, 10, 10, kChange, {85, 322, 196, 338}, kAmpMenuBitmap, 1, kNoDefault},
    {Kind::MovieBitmap, 2, 2, kIdle, {747, 259, 899, 354}, kInputIndicatorBitmap, 2, kNoDefault},
    {Kind::SplashScreen, kSplashTag, kNoParameter, Refresh::Never, {286, 110, 613, 182}, kSplashBitmap, 1, kNoDefault},
    {Kind::VerticalSwitch, 2, 2, kChange, {754, 262, 786, 336}, kInputSwitchBitmap, 2, 1.0f},
    {Kind::OnOffButton, 0, 0, kChange, {87, 278, 113, 317}, kLargeButtonBitmap, 2, 1.0f},
    {Kind::OnOffButton, 52, 52, kChange, {128, 278, 154, 317}, kLargeButtonBitmap, 2, kNoDefault},
    {Kind::OnOffButton, 1, 1, kChange, {169, 278, 195, 317}, kLargeButtonBitmap, 2, 0.0f},
    {Kind::AnimKnob, 3, 3, kChange, {214, 264, 281, 331}, kLargeKnobBitmap, 101, 0.5f},
    {Kind::AnimKnob, 4, 4, kChange, {288, 264, 355, 331}, kLargeKnobBitmap, 101, 0.5f},
    {Kind::AnimKnob, 5, 5, kChange, {361, 264, 428, 331}, kLargeKnobBitmap, 101, 0.5f},
    {Kind::AnimKnob, 6, 6, kChange, {435, 264, 502, 331}, kLargeKnobBitmap, 101, 0.5f},
    {Kind::AnimKnob, 7, 7, kChange, {509, 264, 576, 331}, kLargeKnobBitmap, 101, 0.5f},
    {Kind::AnimKnob, 8, 8, kChange, {582, 264, 649, 331}, kLargeKnobBitmap, 101, 0.0f},
    {Kind::AnimKnob, 9, 9, kChange, {656, 264, 723, 331}, kLargeKnobBitmap, 101, 0.4f},
    {Kind::Readout, 0, 3, kChange, {234, 332, 262, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 4, kChange, {308, 332, 336, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 5, kChange, {381, 332, 409, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 6, kChange, {456, 332, 484, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 7, kChange, {530, 332, 558, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 8, kChange, {603, 332, 631, 341}, kAmpPageBitmap, 1, kNoDefault},
    {Kind::Readout, 0, 9, kChange, {677, 332, 705, 341}, kAmpPageBitmap, 1, kNoDefault},
};
const size_t kAmpPageCount = sizeof kAmpPage / sizeof kAmpPage[0];
const CRect kAmpLogoArea = kAmpPage[2].rect;

// Effects page, in the order of addition.
const ControlRow kEffectsPage[] = {
    {Kind::OnOffButton, 52, 52, kChange, {767, 88, 793, 127}, kLargeButtonBitmap, 2, kNoDefault},
    {Kind::OnOffButton, 39, 39, kChange, {633, 91, 661, 105}, kSpaceButtonBitmap, 2, 0.0f},
    {Kind::OnOffButton, 25, 25, kChange, {98, 238, 130, 269}, kSectionSwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 32, 32, kChange, {457, 238, 489, 269}, kSectionSwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 11, 11, kChange, {98, 314, 130, 345}, kSectionSwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 15, 15, kChange, {288, 314, 320, 345}, kSectionSwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 20, 20, kChange, {539, 314, 571, 345}, kSectionSwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 41, 41, kChange, {98, 162, 130, 193}, kSectionSwitchBitmap, 2, 1.0f},
    {Kind::OnOffButton, 26, 26, kChange, {135, 237, 159, 257}, kTwoWaySwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 33, 33, kChange, {496, 237, 520, 257}, kTwoWaySwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 16, 16, kChange, {323, 312, 347, 332}, kTwoWaySwitchBitmap, 2, 0.0f},
    {Kind::OnOffButton, 12, 12, kChange, {132, 312, 156, 332}, kTwoWaySwitchBitmap, 2, 0.0f},
    {Kind::AnimKnob, 13, 13, kChange, {163, 311, 202, 350}, kSmallKnobBitmap, 53, 0.2f},
    {Kind::AnimKnob, 14, 14, kChange, {219, 311, 258, 350}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 17, 17, kChange, {361, 310, 400, 349}, kSmallKnobBitmap, 53, 0.1f},
    {Kind::AnimKnob, 18, 18, kChange, {416, 310, 455, 349}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 19, 19, kChange, {471, 310, 510, 349}, kSmallKnobBitmap, 53, 0.2f},
    {Kind::AnimKnob, 21, 21, kChange, {582, 310, 621, 349}, kSmallKnobBitmap, 53, 0.2f},
    {Kind::AnimKnob, 22, 22, kChange, {636, 310, 675, 349}, kSmallKnobBitmap, 53, 0.4f},
    {Kind::AnimKnob, 23, 23, kChange, {691, 310, 730, 349}, kSmallKnobBitmap, 53, 1.0f},
    {Kind::AnimKnob, 24, 24, kChange, {746, 310, 785, 349}, kSmallKnobBitmap, 53, 0.3f},
    {Kind::AnimKnob, 27, 27, kChange, {164, 236, 203, 275}, kSmallKnobBitmap, 53, 0.0f},
    {Kind::AnimKnob, 28, 28, kChange, {219, 236, 258, 275}, kSmallKnobBitmap, 53, 0.1f},
    {Kind::AnimKnob, 29, 29, kChange, {274, 236, 313, 275}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 30, 30, kChange, {329, 236, 368, 275}, kSmallKnobBitmap, 53, 0.2f},
    {Kind::AnimKnob, 31, 31, kChange, {383, 236, 422, 275}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 34, 34, kChange, {525, 236, 564, 275}, kSmallKnobBitmap, 53, 0.0f},
    {Kind::AnimKnob, 35, 35, kChange, {580, 236, 619, 275}, kSmallKnobBitmap, 53, 0.1f},
    {Kind::AnimKnob, 36, 36, kChange, {635, 236, 674, 275}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 37, 37, kChange, {690, 236, 729, 275}, kSmallKnobBitmap, 53, 0.0f},
    {Kind::AnimKnob, 38, 38, kChange, {745, 236, 784, 275}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 40, 40, kChange, {541, 86, 580, 125}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 42, 42, kChange, {153, 161, 192, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 43, 43, kChange, {213, 161, 252, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 44, 44, kChange, {273, 161, 312, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 45, 45, kChange, {344, 161, 383, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 46, 46, kChange, {404, 161, 443, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 47, 47, kChange, {464, 161, 503, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 48, 48, kChange, {536, 161, 575, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 49, 49, kChange, {596, 161, 635, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 50, 50, kChange, {656, 161, 695, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::AnimKnob, 51, 51, kChange, {726, 161, 765, 200}, kSmallKnobBitmap, 53, 0.5f},
    {Kind::VuMeter, 0, kCompressorMeter, kIdle, {431, 229, 435, 273}, kMeterOnBitmap, 1, kNoDefault},
    {Kind::MovieBitmap, 55, kGateMeter, kIdle, {790, 236, 800, 266}, kGateLampBitmap, 3, kNoDefault},
    {Kind::MovieBitmap, 39, 39, kIdle, {594, 95, 604, 120}, kSpaceLampBitmap, 2, kNoDefault},
    {Kind::MovieBitmap, 40, 40, kIdle, {390, 95, 520, 105}, kSpaceWidthDisplayBitmap, 7, kNoDefault},
};
const size_t kEffectsPageCount = sizeof kEffectsPage / sizeof kEffectsPage[0];

const char* const kAmplifierEntries[] = {
    "Classic Lead 4x12 A", "Classic Lead 4x12 B",   "Classic Lead 4x12 C",   "Modern Lead 4x12 A",
    "Modern Lead 4x12 B",  "Modern Lead 4x12 C",    "Combo A 1x12",          "Combo B 2x12",
    "Combo C 2x12",        "Tweed A 1x12",          "Tweed B 2x12",          "Tweed C 2x12",
    "Super Lead 4x12 A",   "Super Lead 4x12 B",     "Super Lead 4x12 C",     "Rectified Lead 4x12 A",
    "Rectified Lead 4x12 B", "Rectified Lead 4x12 C", "-",                   "BYPASS",
};
const int32_t kAmplifierEntryCount = sizeof kAmplifierEntries / sizeof kAmplifierEntries[0];

void formatReadout(float value, char* text, size_t size)
{
    const double percent = std::isfinite(value) ? static_cast<double>(value) * 100.0 : 0.0;
    std::snprintf(text, size, "%.2d", static_cast<int>(std::clamp(percent, -1e6, 1e6)));
}

}  // namespace editor
