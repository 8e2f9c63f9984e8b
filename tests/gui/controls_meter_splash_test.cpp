// The level meter (falling by steps, rising at once, both orientations, with and without
// its own buffer) and the splash screen with its modal picture and the picture's lifetime.

#include <gtest/gtest.h>

#include <limits>

#include "gui/controls/CSplashScreen.h"
#include "gui/controls/CVuMeter.h"
#include "tests/gui/ControlTestKit.h"
#include "tests/gui/GuiTestHelpers.h"

namespace {

using namespace controltest;

constexpr uint32_t kLit = 0x00FF00u;
constexpr uint32_t kUnlit = 0x003000u;

struct MeterTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        testbitmaps::install(740, testbitmaps::makeBmp(10, 100, [](int32_t, int32_t) { return kLit; },
                                                       testbitmaps::Format::Rgb24));
        testbitmaps::install(741, testbitmaps::makeBmp(10, 100, [](int32_t, int32_t) { return kUnlit; },
                                                       testbitmaps::Format::Rgb24));
        on = new CBitmap(740);
        off = new CBitmap(741);
        paint();
    }
    void TearDown() override
    {
        on->release();
        off->release();
        Panel::TearDown();
    }
    // Lit pixels of a meter drawn at `area` (page coordinates).
    int64_t lit(const CRect& area)
    {
        int64_t n = 0;
        const CRect r = area.offsetBy(kPageLeft, kPageTop);
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                n += pixels().pixel(x, y) == kLit;
        return n;
    }
    CBitmap* on = nullptr;
    CBitmap* off = nullptr;
};

TEST_F(MeterTest, FallsOneStepPerDrawingAndRisesAtOnce)
{
    const CRect area(100, 20, 110, 120);
    auto* meter = add(new CVuMeter(area, on, off, 10));
    meter->setValue(1.f);
    frame->idle();
    EXPECT_EQ(lit(area), 1000);
    meter->setValue(0.f);
    for (int64_t rows : {90, 80, 70, 60, 50}) {
        frame->idle();  // still dirty: the shown level has not reached the value
        EXPECT_EQ(lit(area), rows * 10);
        // The lit part is the bottom of the meter.
        EXPECT_EQ(pixels().pixel(105 + kPageLeft, 119 + kPageTop), kLit);
        EXPECT_EQ(pixels().pixel(105 + kPageLeft, 20 + kPageTop), kUnlit);
    }
    meter->setValue(0.96f);
    frame->idle();
    EXPECT_EQ(lit(area), 1000);  // 9.6 LEDs round to all ten
    meter->setValue(0.f);
    for (int i = 0; i < 12; ++i)
        frame->idle();
    EXPECT_EQ(lit(area), 0);
    EXPECT_FALSE(meter->isDirty());
    EXPECT_FLOAT_EQ(meter->getOldValue(), 0.f);

    meter->setDecayStep(0.25f);  // whole LEDs: 0.84 shows eight
    meter->setValue(0.84f);
    frame->idle();
    EXPECT_EQ(lit(area), 800);
    meter->setValue(std::numeric_limits<float>::quiet_NaN());  // drawn as the minimum
    frame->idle();
    EXPECT_EQ(lit(area), 600);
    EXPECT_FLOAT_EQ(meter->getValue(), 0.f);
}

TEST_F(MeterTest, HorizontalMetersLightFromTheLeftWithOrWithoutTheirOwnBuffer)
{
    const CRect buffered(20, 20, 120, 30);
    const CRect direct(20, 40, 120, 50);
    testbitmaps::install(742, testbitmaps::makeBmp(100, 10, [](int32_t x, int32_t) { return x < 50 ? kLit : 0x00FE00u; },
                                                   testbitmaps::Format::Rgb24));
    testbitmaps::install(743, testbitmaps::makeBmp(100, 10, [](int32_t, int32_t) { return kUnlit; },
                                                   testbitmaps::Format::Rgb24));
    CBitmap* wide = new CBitmap(742);
    CBitmap* wideOff = new CBitmap(743);
    auto* a = add(new CVuMeter(buffered, wide, wideOff, 20, CVuMeter::kHorizontal));
    auto* b = add(new CVuMeter(direct, wide, wideOff, 20, CVuMeter::kHorizontal));
    wide->release();
    wideOff->release();
    b->setUseOffscreen(false);
    for (CVuMeter* m : {a, b})
        m->setValue(0.3f);
    frame->idle();
    for (const CRect& r : {buffered, direct}) {
        EXPECT_EQ(lit(r), 300) << r.top;
        EXPECT_EQ(pixels().pixel(r.left + kPageLeft, r.top + kPageTop), kLit);
        EXPECT_EQ(pixels().pixel(r.left + 30 + kPageLeft, r.top + kPageTop), kUnlit);
    }
    // Both draw the same pixels.
    for (int32_t x = 20; x < 120; ++x)
        EXPECT_EQ(pixels().pixel(x + kPageLeft, 25 + kPageTop), pixels().pixel(x + kPageLeft, 45 + kPageTop));
    EXPECT_TRUE(a->isKindOf("CVuMeter"));
    // Taken off the page and put back: a new buffer, the same picture.
    page->removeView(a, false);
    page->addView(a);
    a->setDirty();
    frame->idle();
    EXPECT_EQ(lit(buffered), 300);
}

TEST_F(MeterTest, WithoutAnOnBitmapNothingIsDrawn)
{
    const CRect area(100, 20, 110, 120);
    auto* meter = add(new CVuMeter(area, nullptr, off, 10));
    meter->setValue(1.f);
    frame->idle();
    EXPECT_EQ(guitest::countPixels(pixels(), kUnlit), 0);
}

// ---- splash screen ------------------------------------------------------------------

constexpr uint32_t kPicture = 0xC08040u;

struct SplashTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        testbitmaps::install(750, testbitmaps::makeBmp(60, 80, [](int32_t, int32_t y) { return y < 40 ? 0x101010u : kPicture; },
                                                       testbitmaps::Format::Rgb24));
        CBitmap* picture = new CBitmap(750);
        // The picture is the lower half of the bitmap, shown at (100, 100) in the frame.
        splash = add(new CSplashScreen(CRect(20, 20, 40, 40), &listener, 12, picture, CRect(100, 100, 160, 140),
                                       CPoint(0, 40)));
        picture->release();
        testbitmaps::install(751, testbitmaps::makeBmp(10, 100, [](int32_t, int32_t) { return kLit; },
                                                       testbitmaps::Format::Rgb24));
        paint();
    }
    CBitmap* on()
    {
        if (!lamp)
            lamp = new CBitmap(751);
        return lamp;
    }
    void TearDown() override
    {
        Panel::TearDown();
        if (lamp)
            lamp->release();
    }
    CSplashScreen* splash = nullptr;
    CBitmap* lamp = nullptr;
};

TEST_F(SplashTest, APressShowsThePictureUntilThePictureIsClicked)
{
    press(CPoint(25, 25), kLButton);
    EXPECT_FLOAT_EQ(splash->getValue(), 1.f);
    CView* view = frame->getModalView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view, splash->getSplashView());
    EXPECT_EQ(view->getViewSize(), CRect(100, 100, 160, 140));
    ASSERT_EQ(listener.changes.size(), 1u);
    frame->idle();
    EXPECT_EQ(pixels().pixel(100, 100), kPicture);
    EXPECT_EQ(pixels().pixel(159, 139), kPicture);
    // A control under the picture that changes does not draw over it.
    auto* under = add(new CVuMeter(CRect(95, 85, 105, 185), on(), nullptr, 10));
    under->setValue(1.f);
    frame->idle();
    EXPECT_EQ(pixels().pixel(110, 110), kPicture);
    EXPECT_EQ(pixels().pixel(110, 150), 0x00FF00u);  // below the picture the meter shows

    window->press(CPoint(20, 20), kLButton);  // outside the picture: ignored while it is shown
    EXPECT_FLOAT_EQ(splash->getValue(), 1.f);
    window->press(CPoint(110, 110), kRButton);  // the right button does not close it
    EXPECT_EQ(frame->getModalView(), view);

    window->press(CPoint(110, 110), kLButton);
    EXPECT_FLOAT_EQ(splash->getValue(), 0.f);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(splash->getSplashView(), nullptr);
    EXPECT_TRUE(frame->isDirty());  // the whole panel comes back at the next idle
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_FLOAT_EQ(listener.changes[1].value, 0.f);
    frame->idle();
    EXPECT_EQ(pixels().pixel(140, 130), 0x1E1E1Eu);
    EXPECT_EQ(editor.begins, 0);  // the splash screen is no automation gesture
}

TEST_F(SplashTest, OnlyTheLeftButtonInsideTheMouseAreaHits)
{
    EXPECT_TRUE(splash->hitTest(CPoint(40, 40), kLButton));  // edges inclusive
    EXPECT_FALSE(splash->hitTest(CPoint(41, 40), kLButton));
    EXPECT_FALSE(splash->hitTest(CPoint(30, 30), kRButton));
    listener.takesModifiers = 1;
    press(CPoint(25, 25), kLButton | kShift);
    EXPECT_EQ(frame->getModalView(), nullptr);
}

TEST_F(SplashTest, ClosingTheEditorWhileThePictureIsShownFreesEverythingOnce)
{
    press(CPoint(25, 25), kLButton);
    CView* view = frame->getModalView();
    ASSERT_NE(view, nullptr);
    view->retain();  // to watch it
    frame->release();
    frame = nullptr;
    EXPECT_EQ(view->getNbReference(), 1);  // only ours is left
    view->release();
}

TEST_F(SplashTest, ASplashScreenThatGoesTakesItsPictureAlong)
{
    press(CPoint(25, 25), kLButton);
    CView* view = frame->getModalView();
    view->retain();
    page->removeView(splash, true);
    EXPECT_EQ(frame->getModalView(), nullptr);
    EXPECT_EQ(view->getNbReference(), 1);
    view->release();
    window->press(CPoint(110, 110), kLButton);  // nothing left to press
}

TEST_F(SplashTest, AListenerThatDestroysTheSplashScreenWhileThePictureClosesIsSafe)
{
    press(CPoint(25, 25), kLButton);
    listener.onChange = [this](CControl* c) {
        if (c->getValue() == 0.f)
            page->removeView(c, true);
    };
    window->press(CPoint(110, 110), kLButton);
    EXPECT_EQ(page->getNbViews(), 0);
    EXPECT_EQ(frame->getModalView(), nullptr);
}

TEST_F(SplashTest, TransparentSplashBlendsAtFullAlphaAndUnSplashReports)
{
    splash->setTransparency(true);
    press(CPoint(25, 25), kLButton);
    frame->idle();
    EXPECT_EQ(pixels().pixel(120, 120), kPicture);  // alpha 255: the picture itself
    EXPECT_EQ(splash->getAlpha(), 255);
    splash->unSplash(nullptr);
    EXPECT_FLOAT_EQ(splash->getValue(), 0.f);
    EXPECT_EQ(listener.changes.size(), 2u);
    splash->unSplash(nullptr);  // already off: nothing
    EXPECT_EQ(listener.changes.size(), 2u);
}

}  // namespace
