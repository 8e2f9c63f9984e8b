// Knobs: linear dragging and its shift zoom, circular dragging and the dead zone, the
// control-click default, wheel and arrow keys, the handle geometry and drawing, and the
// filmstrip knob's images.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gui/CDrawContext.h"
#include "gui/controls/CKnob.h"
#include "gui/controls/ControlMath.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/ControlTestKit.h"

namespace {

using namespace controltest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct KnobTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        knob = add(new CKnob(CRect(100, 100, 200, 200), &listener, 7, nullptr, nullptr));
        paint();
        set(0.5f);
    }
    // A value from the host, drawn at the next idle.
    void set(float value)
    {
        knob->setValue(value);
        frame->idle();
    }
    CPoint centre() const { return CPoint(150, 150); }
    // Presses at the centre and drags to the given offsets, then releases there.
    void drag(int32_t buttons, std::vector<std::pair<CPoint, int32_t>> moves)
    {
        std::vector<PointerStep> steps;
        for (auto& [offset, held] : moves)
            steps.push_back(PointerStep{CPoint(150 + offset.h, 150 + offset.v), held});
        steps.push_back(PointerStep{steps.empty() ? centre() : steps.back().where, 0});
        press(centre(), buttons, steps);
    }
    CKnob* knob = nullptr;
};

TEST_F(KnobTest, LinearDragOfHundredPixelsUpAddsHalfTheRangeOrAThirdWithShift)
{
    drag(kLButton, {{CPoint(0, -100), kLButton}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    ASSERT_FALSE(listener.changes.empty());
    EXPECT_EQ(listener.changes.back().control, knob);
    EXPECT_EQ(listener.changes.back().gestureDepth, 1);  // inside begin and end edit
    EXPECT_EQ(editor.begins, 1);
    EXPECT_EQ(editor.ends, 1);
    EXPECT_EQ(frame->getFocusView(), knob);  // begin edit made it the focus

    knob->setValue(0.5f);
    drag(kLButton | kShift, {{CPoint(0, -100), kLButton | kShift}});
    EXPECT_NEAR(knob->getValue(), 0.5f + 100.f / 300.f, 1e-5);

    knob->setValue(0.5f);  // right counts like up, down and left take away
    drag(kLButton, {{CPoint(40, 0), kLButton}, {CPoint(40, 60), kLButton}});
    EXPECT_NEAR(knob->getValue(), 0.5f - 20.f / 200.f, 1e-5);
}

TEST_F(KnobTest, ShiftPressedOrReleasedMidDragChangesOnlyTheSpeed)
{
    // Shift goes down without a move; the first move after it still counts at the old speed.
    drag(kLButton, {{CPoint(0, -50), kLButton},             // 0.75
                    {CPoint(0, -50), kLButton | kShift},    // nothing yet
                    {CPoint(0, -51), kLButton | kShift},    // 0.755: no jump
                    {CPoint(0, -81), kLButton | kShift}});  // 30 more pixels at 1/300
    EXPECT_NEAR(knob->getValue(), 0.755f + 30.f / 300.f, 1e-5);

    set(0.2f);
    std::vector<float> seen;
    listener.onChange = [&](CControl* c) { seen.push_back(c->getValue()); };
    drag(kLButton | kShift, {{CPoint(0, -30), kLButton | kShift}, {CPoint(0, -31), kLButton}, {CPoint(0, -41), kLButton}});
    // The press reports the value it starts from: taking the focus marks the knob dirty.
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_FLOAT_EQ(seen[0], 0.2f);
    EXPECT_NEAR(seen[1], 0.3f, 1e-5);
    EXPECT_NEAR(seen[2], 0.3f + 1.f / 300.f, 1e-5);  // no jump when shift goes
    EXPECT_NEAR(seen[3], seen[2] + 10.f / 200.f, 1e-5);
    EXPECT_EQ(editor.begins, editor.ends);
}

TEST_F(KnobTest, LinearValuesStopAtTheEndsAndStartFromTheDrawnValue)
{
    drag(kLButton, {{CPoint(0, -300), kLButton}, {CPoint(0, -250), kLButton}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);  // bounced at each step, so coming back 50 does nothing
    knob->setValue(kNaN);  // what a host may send: drawn as the minimum, dragged from there
    drag(kLButton, {{CPoint(0, -20), kLButton}});
    EXPECT_NEAR(knob->getValue(), 0.1f, 1e-5);
    knob->setValue(kInf);
    drag(kLButton, {{CPoint(0, 20), kLButton}});
    EXPECT_NEAR(knob->getValue(), 0.9f, 1e-5);
}

TEST_F(KnobTest, KnobModeAndAltChooseLinearOrCircular)
{
    // Circular: a press at the top jumps to the middle, whatever the value was.
    CFrame::setKnobModeForAll(kCircularMode);
    set(0.1f);
    press(CPoint(150, 110), kLButton);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-3);
    knob->setValue(0.1f);  // alt makes it linear: the press alone changes nothing
    press(CPoint(150, 110), kLButton | kAlt);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.1f);
    CFrame::setKnobModeForAll(kLinearMode);
    press(CPoint(150, 110), kLButton | kAlt);  // and circular in linear mode
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-3);
    EXPECT_EQ(editor.begins, 3);
    EXPECT_EQ(editor.ends, 3);
}

TEST_F(KnobTest, CircularDraggingAcrossTheDeadZonePinsToTheEndItCameFrom)
{
    CFrame::setKnobModeForAll(kCircularMode);
    // From the lower right (near the maximum) along the bottom to the lower left.
    press(CPoint(185, 185), kLButton,
          {{CPoint(165, 198), kLButton}, {CPoint(135, 198), kLButton}, {CPoint(115, 185), kLButton},
           {CPoint(115, 185), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    // And back from the lower left: pinned at the minimum.
    press(CPoint(115, 185), kLButton, {{CPoint(135, 198), kLButton}, {CPoint(185, 185), kLButton}, {CPoint(185, 185), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    // Within the travel the value follows the pointer round the top.
    press(CPoint(115, 185), kLButton, {{CPoint(100, 150), kLButton}, {CPoint(150, 100), kLButton}, {CPoint(150, 100), 0}});
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-3);
}

TEST_F(KnobTest, GeometryOfValueAndPoint)
{
    CPoint p;
    knob->setValue(0.5f);
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(50, 3));  // straight up, inset 3 from the edge
    knob->setValue(0.f);
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(17, 83));  // 225 degrees
    knob->setValue(1.f);
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(83, 83));  // -45 degrees
    knob->setValue(kNaN);
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(17, 83));  // NaN as the minimum
    knob->setValue(-kInf);
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(17, 83));

    EXPECT_NEAR(knob->valueFromPoint(CPoint(50, 0)), 0.5f, 1e-4);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 50)), 1.f / 6.f, 1e-4);  // 180 degrees: 45 of 270
    EXPECT_NEAR(knob->valueFromPoint(CPoint(100, 50)), 5.f / 6.f, 1e-4);
    // The dead zone at the bottom is split at its middle.
    EXPECT_FLOAT_EQ(knob->valueFromPoint(CPoint(45, 99)), 0.f);
    EXPECT_FLOAT_EQ(knob->valueFromPoint(CPoint(55, 99)), 1.f);
    for (float v : {0.05f, 0.3f, 0.62f, 0.97f}) {
        knob->setValue(v);
        knob->valueToPoint(p);
        EXPECT_NEAR(knob->valueFromPoint(p), v, 0.03f) << v;
    }

    // A clockwise quarter turn from the top, then a counter-clockwise one.
    knob->setStartAngle(float(M_PI / 2));
    knob->setRangeAngle(float(-M_PI / 2));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(100, 50)), 1.f, 1e-4);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(85, 15)), 0.5f, 1e-2);
    knob->setRangeAngle(float(M_PI / 2));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 50)), 1.f, 1e-4);
    EXPECT_NEAR(knob->valueFromPoint(CPoint(15, 15)), 0.5f, 1e-2);
    EXPECT_FLOAT_EQ(knob->valueFromPoint(CPoint(100, 60)), 0.f);  // just past the start: the minimum's half
}

TEST_F(KnobTest, ANewRangeMovesTheAngleMapping)
{
    knob->setMin(-2.f);
    knob->setMax(2.f);
    knob->setValue(2.f);
    CPoint p;
    knob->valueToPoint(p);
    EXPECT_EQ(p, CPoint(83, 83));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(50, 0)), 0.f, 1e-4);
}

TEST_F(KnobTest, ControlClickRestoresTheDefaultOnceInsideOneGesture)
{
    set(0.3f);
    press(CPoint(150, 150), kLButton | kControl, {{CPoint(150, 120), kLButton | kControl}, {CPoint(150, 120), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);  // no drag followed
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0].gestureDepth, 1);
    EXPECT_EQ(editor.log, "begin7 change end7 ");

    // At the default already: taking the focus marks the knob dirty, so it still reports,
    // once and inside the gesture.
    press(CPoint(150, 150), kLButton | kControl);
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_EQ(listener.changes[1].gestureDepth, 1);
    EXPECT_FLOAT_EQ(listener.changes[1].value, 0.5f);
    EXPECT_EQ(editor.begins, 2);
    EXPECT_EQ(editor.ends, 2);
}

TEST_F(KnobTest, ModifiedPressesAskTheListenerFirst)
{
    listener.takesModifiers = 1;
    press(CPoint(150, 150), kLButton | kControl | kShift, {{CPoint(150, 100), kLButton}, {CPoint(150, 100), 0}});
    ASSERT_EQ(listener.modifierPresses.size(), 1u);
    EXPECT_EQ(listener.modifierPresses[0], kLButton | kControl | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);  // taken: nothing else happened
    EXPECT_EQ(editor.begins, 0);

    listener.takesModifiers = 0;  // refused: no default, a normal (shifted) drag
    press(CPoint(150, 150), kLButton | kControl | kShift,
          {{CPoint(150, 120), kLButton | kControl | kShift}, {CPoint(150, 120), 0}});
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5);
    EXPECT_EQ(listener.modifierPresses.size(), 2u);

    press(CPoint(150, 150), kLButton);  // no modifier: not asked
    EXPECT_EQ(listener.modifierPresses.size(), 2u);
    press(CPoint(150, 150), kRButton);  // not the left button: ignored
    EXPECT_EQ(editor.begins, 2);
    knob->setMouseEnabled(false);
    press(CPoint(150, 150), kLButton | kControl);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
}

TEST_F(KnobTest, WheelNotchesAndArrowKeys)
{
    window->wheel(onPage(150, 150), 1.f);
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-6);
    window->setPointer(onPage(150, 150), kShift);
    window->wheel(onPage(150, 150), -2.f);
    EXPECT_NEAR(knob->getValue(), 0.58f, 1e-6);
    window->setPointer(onPage(150, 150), 0);
    window->wheel(onPage(150, 150), 10.f);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    EXPECT_EQ(listener.changes.size(), 3u);
    frame->idle();
    window->wheel(onPage(150, 150), 1.f);  // already at the end and drawn: not reported
    EXPECT_EQ(listener.changes.size(), 3u);
    EXPECT_EQ(editor.begins, 3);
    EXPECT_EQ(editor.ends, 3);

    CKeyCode up;
    up.virt = kVKeyUp;
    frame->setFocusView(nullptr);
    knob->setValue(0.5f);
    EXPECT_FALSE(window->key(true, up));  // keys reach only the focused knob
    frame->setFocusView(knob);
    EXPECT_TRUE(window->key(true, up));
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-6);
    CKeyCode left;
    left.virt = kVKeyLeft;
    left.modifier = kKeyModShift;
    EXPECT_TRUE(window->key(true, left));
    EXPECT_NEAR(knob->getValue(), 0.59f, 1e-6);
    CKeyCode other;
    other.virt = kVKeyReturn;
    EXPECT_EQ(knob->keyDown(other), -1);
    EXPECT_EQ(editor.begins, editor.ends);

    knob->setMouseEnabled(false);
    EXPECT_FALSE(knob->wheel(nullptr, CPoint(), 1.f));
}

TEST_F(KnobTest, HandleLineAndHandleBitmap)
{
    knob->setColorHandle(CColor{250, 250, 250, 255});
    knob->setColorShadowHandle(CColor{0, 0, 200, 255});
    paint();
    // Value 0.5: straight up from the centre, the shadow one pixel left of and below the line.
    const CPoint origin = onPage(100, 100);
    EXPECT_EQ(pixels().pixel(origin.h + 50, origin.v + 20), 0xFAFAFAu);
    EXPECT_EQ(pixels().pixel(origin.h + 49, origin.v + 21), 0x0000C8u);
    EXPECT_EQ(pixels().pixel(origin.h + 50, origin.v + 48), 0xFAFAFAu);  // lines leave out their end
    EXPECT_EQ(pixels().pixel(origin.h + 50, origin.v + 49), 0x1E1E1Eu);
    EXPECT_EQ(pixels().pixel(origin.h + 50, origin.v + 1), 0x1E1E1Eu);  // the tip stops inside the inset

    testbitmaps::install(711, testbitmaps::makeBmp(9, 9, [](int32_t x, int32_t y) {
        return (x - 4) * (x - 4) + (y - 4) * (y - 4) <= 16 ? 0x00FF00u : 0xFFFFFFu;  // a dot on the key colour
    }, testbitmaps::Format::Rgb24));
    CBitmap* dot = new CBitmap(711);
    knob->setHandleBitmap(dot);
    dot->release();
    EXPECT_EQ(knob->getInsetValue(), 7);  // 9 / 2 + 2.5
    knob->setValue(0.f);
    frame->idle();
    CPoint p;
    knob->valueToPoint(p);
    const CRect dotBounds = guitest::boundsOf(pixels(), 0x00FF00u);
    EXPECT_EQ(dotBounds, CRect(origin.h + p.h - 4, origin.v + p.v - 4, origin.h + p.h + 5, origin.v + p.v + 5));
}

TEST_F(KnobTest, AListenerThatTakesTheKnobAwayMidDragDoesNotEndTheGestureTwiceOrNever)
{
    listener.onChange = [this](CControl* c) {
        if (page->isChild(c))
            page->removeView(c, true);  // the knob goes; the drag must not touch freed memory
    };
    drag(kLButton, {{CPoint(0, -10), kLButton}, {CPoint(0, -20), kLButton}});
    EXPECT_EQ(page->getNbViews(), 0);
    EXPECT_EQ(editor.begins, 1);
    EXPECT_EQ(editor.ends, 1);
}

// ---- filmstrip knob -----------------------------------------------------------------

struct AnimKnobTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        installStrip(720, 101, 20, 20);
        CBitmap* strip = new CBitmap(720);
        knob = add(new CAnimKnob(CRect(40, 40, 60, 60), &listener, 3, 101, 20, strip));
        strip->release();
        paint();
    }
    int32_t shown(float value)
    {
        knob->setValue(value);
        knob->setDirty();
        frame->idle();
        return imageShown(pixels(), onPage(40, 40));
    }
    CAnimKnob* knob = nullptr;
};

TEST_F(AnimKnobTest, OnlyOnePointZeroReachesTheLastImage)
{
    EXPECT_EQ(shown(0.f), 0);
    EXPECT_EQ(shown(0.5f), 50);
    EXPECT_EQ(shown(0.999f), 99);
    EXPECT_EQ(shown(1.f), 100);
    EXPECT_EQ(shown(0.0149f), 1);
    EXPECT_EQ(shown(-0.3f), 0);
    // Out of range and non-finite values never index outside the strip.
    EXPECT_EQ(shown(1.7f), 100);
    EXPECT_EQ(shown(kNaN), 0);
    EXPECT_EQ(shown(kInf), 100);
    EXPECT_EQ(shown(-kInf), 0);
    EXPECT_TRUE(knob->isKindOf("CKnob"));
    EXPECT_TRUE(knob->isKindOf("CControl"));
    EXPECT_FALSE(knob->isKindOf("CViewContainer"));
}

TEST_F(AnimKnobTest, ItIsDirtyOnlyWhenItsHandlePointMoves)
{
    knob->setValue(0.5f);
    frame->idle();
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.502f);  // less than a pixel on a 20-pixel knob
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.6f);
    EXPECT_TRUE(knob->isDirty());
    knob->setValue(0.5f);
    knob->setDirty(true);  // the flag still counts
    EXPECT_TRUE(knob->isDirty());
    frame->idle();
    // While dragging, sub-pixel changes do not reach the listener either.
    press(CPoint(50, 50), kLButton | kShift, {{CPoint(50, 49), kLButton | kShift}, {CPoint(50, 49), 0}});
    ASSERT_EQ(listener.changes.size(), 1u);  // only the start of the press (the focus marks it dirty)
    EXPECT_FLOAT_EQ(listener.changes[0].value, 0.5f);
    EXPECT_NEAR(knob->getValue(), 0.5f + 1.f / 300.f, 1e-5);
}

TEST(FilmstripRules, ImageIndexes)
{
    using gui::controls::animKnobImageIndex;
    using gui::controls::roundedImageIndex;
    EXPECT_EQ(animKnobImageIndex(0.5f, 2, 10), 0);
    EXPECT_EQ(animKnobImageIndex(1.f, 2, 10), 1);
    EXPECT_EQ(animKnobImageIndex(0.7f, 1, 10), 0);
    EXPECT_EQ(animKnobImageIndex(0.7f, 5, 0), 0);
    EXPECT_EQ(roundedImageIndex(0.49f, 2, 2), 0);
    EXPECT_EQ(roundedImageIndex(0.5f, 2, 2), 1);
    EXPECT_EQ(roundedImageIndex(0.5f, 5, 3), 2);  // more positions than images: the last image
    EXPECT_EQ(roundedImageIndex(kNaN, 5, 5), 0);
    EXPECT_EQ(roundedImageIndex(1e30f, 5, 5), 4);
    EXPECT_EQ(roundedImageIndex(0.9f, 1, 5), 0);
}

}  // namespace
