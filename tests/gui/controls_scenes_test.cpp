// Controls on a panel compared with the reference pictures in tests/gui/references: a
// filmstrip knob and a handle knob at several values, buttons, a switch, a movie bitmap,
// falling meters, displays with shadow and 3D borders, and a menu showing its entry.

#include <gtest/gtest.h>

#include <cmath>

#include "gui/controls/CKnob.h"
#include "gui/controls/CMovieBitmap.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CVerticalSwitch.h"
#include "gui/controls/CVuMeter.h"
#include "tests/gui/ControlTestKit.h"
#include "tests/gui/GuiTestHelpers.h"

namespace {

using namespace controltest;

// A dark knob face with a light pointer, 31 images turning from 225 to -45 degrees.
uint32_t knobStrip(int32_t x, int32_t y)
{
    const int32_t image = y / 32;
    const double cx = x - 15.5, cy = (y % 32) - 15.5;
    const double r = std::sqrt(cx * cx + cy * cy);
    if (r > 14.5)
        return 0x303030u;
    const double angle = (225.0 - 270.0 * image / 30.0) * M_PI / 180.0;
    const double along = cx * std::cos(angle) - cy * std::sin(angle);
    const double across = cx * std::sin(angle) + cy * std::cos(angle);
    if (along > 2 && along < 13 && std::fabs(across) < 1.6)
        return 0xF0E0C0u;
    return r > 12.5 ? 0x707478u : 0x50545Au;
}

// Two lamps, off above on.
uint32_t lampStrip(int32_t x, int32_t y)
{
    const int32_t dx = x - 8, dy = (y % 16) - 8;
    if (dx * dx + dy * dy > 36)
        return 0x303030u;
    return y < 16 ? 0x502020u : 0xFF4030u;
}

// A lever in three positions.
uint32_t leverStrip(int32_t x, int32_t y)
{
    const int32_t position = y / 30, local = y % 30;
    if (x < 2 || x > 13)
        return 0x202020u;
    const int32_t top = 2 + position * 9;
    return local >= top && local < top + 8 ? 0xD0D0D0u : 0x404040u;
}

// Digits as bars: image i has i + 1 bars.
uint32_t barStrip(int32_t x, int32_t y)
{
    const int32_t image = y / 16;
    return (x / 4 <= image && x % 4 != 3 && (y % 16) > 2 && (y % 16) < 13) ? 0x40C0FFu : 0x102030u;
}

uint32_t ledsOn(int32_t, int32_t y) { return y % 10 == 9 ? 0x101010u : (y < 30 ? 0xFF3020u : (y < 50 ? 0xFFD020u : 0x30E040u)); }
uint32_t ledsOff(int32_t, int32_t y) { return y % 10 == 9 ? 0x101010u : 0x283028u; }

struct ControlScene : Panel {
    CBitmap* bitmap(int32_t id, int32_t w, int32_t h, uint32_t (*fill)(int32_t, int32_t))
    {
        testbitmaps::install(id, testbitmaps::makeBmp(w, h, fill, testbitmaps::Format::Rgb24));
        bitmaps.push_back(new CBitmap(id));
        return bitmaps.back();
    }
    void TearDown() override
    {
        Panel::TearDown();
        for (CBitmap* b : bitmaps)
            b->release();
    }
    ::testing::AssertionResult matches(const char* name)
    {
        return testimage::matchesReference(guitest::imageOf(window->surface()), guitest::referenceDir(), name);
    }
    std::vector<CBitmap*> bitmaps;
};

TEST_F(ControlScene, KnobsButtonsSwitchesAndMeters)
{
    CBitmap* knobs = bitmap(780, 32, 32 * 31, knobStrip);
    const float knobValues[] = {0.f, 0.5f, 1.f};
    for (int i = 0; i < 3; ++i)
        add(new CAnimKnob(CRect(10 + 40 * i, 10, 42 + 40 * i, 42), &listener, i, 31, 32, knobs))->setValue(knobValues[i]);
    for (int i = 0; i < 3; ++i) {
        auto* k = add(new CKnob(CRect(10 + 40 * i, 50, 42 + 40 * i, 82), &listener, 3 + i, nullptr, nullptr));
        k->setColorShadowHandle(CColor{20, 20, 20, 255});
        k->setValue(knobValues[i] * 0.8f + 0.1f);
    }
    CBitmap* lamps = bitmap(781, 16, 32, lampStrip);
    add(new COnOffButton(CRect(140, 10, 156, 26), &listener, 6, lamps))->setValue(0.f);
    add(new COnOffButton(CRect(160, 10, 176, 26), &listener, 7, lamps))->setValue(1.f);
    CBitmap* lever = bitmap(782, 16, 90, leverStrip);
    for (int i = 0; i < 3; ++i)
        add(new CVerticalSwitch(CRect(140 + 20 * i, 40, 156 + 20 * i, 70), &listener, 8, 3, 30, 3, lever))
            ->setValue(0.5f * float(i));
    CBitmap* bars = bitmap(783, 20, 16 * 5, barStrip);
    for (int i = 0; i < 3; ++i)
        add(new CMovieBitmap(CRect(140 + 24 * i, 80, 160 + 24 * i, 96), nullptr, 0, 5, 16, bars))
            ->setValue(0.3f * float(i + 1));
    CBitmap* on = bitmap(784, 10, 100, ledsOn);
    CBitmap* off = bitmap(785, 10, 100, ledsOff);
    CVuMeter* meters[3];
    for (int i = 0; i < 3; ++i)
        meters[i] = add(new CVuMeter(CRect(230 + 16 * i, 10, 240 + 16 * i, 110), on, off, 10));
    for (CVuMeter* m : meters)
        m->setValue(1.f);
    meters[2]->setValue(0.2f);
    paint();
    meters[1]->setValue(0.f);  // falls for three drawings
    meters[2]->setValue(0.6f);  // rises at once
    for (int i = 0; i < 3; ++i)
        frame->idle();
    EXPECT_TRUE(matches("controls-knobs-buttons-meters"));
}

TEST_F(ControlScene, DisplaysAndAMenu)
{
    const int32_t styles[] = {kShadowText, k3DIn, k3DOut, kShadowText | k3DOut | kNoFrame};
    for (int i = 0; i < 4; ++i) {
        auto* d = add(new CParamDisplay(CRect(10, 10 + 26 * i, 90, 32 + 26 * i), nullptr, styles[i]));
        d->setBackColor(CColor{40, 44, 52, 255});
        d->setFrameColor(CColor{150, 150, 160, 255});
        d->setFontColor(CColor{240, 230, 200, 255});
        d->setValue(0.25f * float(i + 1));
    }
    auto* plain = add(new CParamDisplay(CRect(100, 10, 180, 32), nullptr, 0));
    plain->setValue(0.5f);
    auto* left = add(new CParamDisplay(CRect(100, 36, 180, 58), nullptr, 0));
    left->setHoriAlign(kLeftText);
    left->setTextTransparency(false);
    left->setBackColor(CColor{90, 30, 30, 255});
    left->setStringConvert([](float v, char* text, size_t size) { std::snprintf(text, size, "%d %%", int(v * 100)); });
    left->setValue(0.42f);
    auto* menu = add(new COptionMenu(CRect(100, 62, 200, 84), &listener, 9, nullptr, nullptr, 0));
    menu->setPrefixNumbers(3);
    for (const char* e : {"Clean", "Crunch", "Lead"})
        menu->addEntry(e);
    menu->setCurrent(1);
    menu->setFont(kNormalFontBig);
    menu->setBackColor(CColor{20, 60, 90, 255});
    menu->setFrameColor(CColor{200, 200, 200, 255});
    paint();
    EXPECT_TRUE(matches("controls-displays-menu"));
}

}  // namespace
