// Buttons, switches and film strip displays: the on/off toggle and its order of reporting,
// the vertical switch's positions, the movie bitmap's images, and a page taken away by a
// listener while its button is being pressed.

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "gui/controls/CMovieBitmap.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/CVerticalSwitch.h"
#include "tests/gui/ControlTestKit.h"

namespace {

using namespace controltest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct ButtonTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        installStrip(730, 2, 16, 16);
        strip = new CBitmap(730);
        paint();
    }
    void TearDown() override
    {
        strip->release();
        Panel::TearDown();
    }
    int32_t shownAt(CPoint pageTopLeft)
    {
        frame->idle();
        return imageShown(pixels(), onPage(pageTopLeft.h, pageTopLeft.v));
    }
    CBitmap* strip = nullptr;
};

TEST_F(ButtonTest, OnOffTogglesOnTheIntegerPart)
{
    auto* button = add(new COnOffButton(CRect(20, 20, 36, 36), &listener, 4, strip));
    const struct {
        float before, after;
    } cases[] = {{0.f, 1.f}, {0.7f, 1.f}, {1.f, 0.f}, {1.5f, 0.f}, {-0.5f, 1.f}, {kNaN, 1.f}, {kInf, 0.f}};
    for (const auto& c : cases) {
        button->setValue(c.before);
        press(CPoint(25, 25), kLButton);
        EXPECT_EQ(button->getValue(), c.after) << c.before;
    }
    EXPECT_EQ(listener.changes.size(), std::size(cases));
    EXPECT_EQ(editor.begins, int(std::size(cases)));

    // Off shows the upper image, any other value the lower one; NaN shows off.
    button->setValue(0.f);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 0);
    button->setValue(0.3f);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 1);
    button->setValue(kNaN);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 0);

    press(CPoint(25, 25), kRButton);  // only the left button toggles
    EXPECT_TRUE(std::isnan(button->getValue()));
    listener.takesModifiers = 1;
    press(CPoint(25, 25), kLButton | kAlt);
    EXPECT_TRUE(std::isnan(button->getValue()));
    listener.takesModifiers = 0;
    button->setValue(0.f);
    press(CPoint(25, 25), kLButton | kControl);  // no default value for buttons: it toggles
    EXPECT_EQ(button->getValue(), 1.f);
}

TEST_F(ButtonTest, StyleDecidesWhetherTheChangeIsReportedBeforeOrAfterTheIdle)
{
    auto* after = add(new COnOffButton(CRect(20, 20, 36, 36), &listener, 4, strip, COnOffButton::kPostListenerUpdate));
    auto* before = add(new COnOffButton(CRect(40, 20, 56, 36), &listener, 5, strip, COnOffButton::kPreListenerUpdate));
    press(CPoint(25, 25), kLButton);
    EXPECT_EQ(editor.log, "idle begin4 change end4 ");
    editor.log.clear();
    press(CPoint(45, 25), kLButton);
    EXPECT_EQ(editor.log, "begin5 change end5 idle ");
    EXPECT_EQ(after->getStyle(), 0);
    before->setStyle(0);
    EXPECT_EQ(before->getStyle(), 0);

    auto* silent = add(new COnOffButton(CRect(60, 20, 76, 36), nullptr, 6, strip));
    editor.log.clear();
    press(CPoint(65, 25), kLButton);
    EXPECT_EQ(silent->getValue(), 1.f);
    EXPECT_EQ(editor.log, "idle ");  // nobody to report to: no gesture
}

TEST_F(ButtonTest, AListenerThatSwapsPagesDuringThePressFreesNothingInUse)
{
    auto* other = new CViewContainer(CRect(0, 0, 100, 100), frame);
    other->retain();  // the editor keeps the hidden page
    add(new COnOffButton(CRect(20, 20, 36, 36), &listener, 52, strip, COnOffButton::kPreListenerUpdate));
    listener.onChange = [&](CControl*) {
        frame->removeView(page, true);  // the page and its button go while the button is pressed
        frame->addView(other);
        page = nullptr;
    };
    press(CPoint(25, 25), kLButton);
    EXPECT_EQ(editor.log, "begin52 change end52 idle ");
    EXPECT_TRUE(frame->isChild(other));
    other->release();
    page = other;  // the fixture's page is gone
}

TEST_F(ButtonTest, VerticalSwitchShowsTheNearestPositionAndFollowsThePointer)
{
    auto* sw = add(new CVerticalSwitch(CRect(20, 20, 36, 36), &listener, 9, 2, 16, 2, strip));
    EXPECT_FLOAT_EQ(sw->getDefaultValue(), 0.f);
    const struct {
        float value;
        int32_t image;
    } cases[] = {{0.f, 0}, {0.49f, 0}, {0.5f, 1}, {1.f, 1}, {7.f, 1}, {-3.f, 0}, {kNaN, 0}, {kInf, 1}};
    for (const auto& c : cases) {
        sw->setValue(c.value);
        EXPECT_EQ(shownAt(CPoint(20, 20)), c.image) << c.value;
    }

    // Upper half: position 0; lower half: 1; it follows while the same buttons stay held.
    sw->setValue(0.f);
    frame->idle();
    press(CPoint(25, 22), kLButton, {{CPoint(25, 30), kLButton}, {CPoint(25, 21), kLButton}, {CPoint(25, 29), kLButton},
                                     {CPoint(25, 29), 0}});
    std::vector<float> values;
    for (const Change& c : listener.changes)
        values.push_back(c.value);
    EXPECT_EQ(values, (std::vector<float>{1.f, 0.f, 1.f}));  // the press itself changed nothing
    for (const Change& c : listener.changes)
        EXPECT_EQ(c.gestureDepth, 1);

    // A change of the buttons (shift here) ends the tracking.
    press(CPoint(25, 22), kLButton, {{CPoint(25, 22), kLButton | kShift}, {CPoint(25, 30), kLButton | kShift}});
    EXPECT_FLOAT_EQ(sw->getValue(), 0.f);
    EXPECT_EQ(editor.begins, 2);
    EXPECT_EQ(editor.ends, 2);

    // Three positions on one image: bands of a third; one position never divides by zero.
    auto* three = add(new CVerticalSwitch(CRect(40, 20, 56, 50), &listener, 10, 3, 30, 3, nullptr));
    press(CPoint(45, 41), kLButton);
    EXPECT_FLOAT_EQ(three->getValue(), 1.f);
    press(CPoint(45, 35), kLButton);
    EXPECT_FLOAT_EQ(three->getValue(), 0.5f);
    auto* one = add(new CVerticalSwitch(CRect(60, 20, 76, 36), &listener, 11, 1, 16, 1, strip));
    one->setValue(0.4f);
    press(CPoint(65, 30), kLButton);
    EXPECT_FLOAT_EQ(one->getValue(), 0.f);
}

TEST_F(ButtonTest, MovieBitmapRoundsToTheNearestImageAndStoresValuesAboveOneAsOne)
{
    installStrip(731, 5, 16, 16);
    CBitmap* five = new CBitmap(731);
    auto* two = add(new CMovieBitmap(CRect(20, 20, 36, 36), nullptr, 0, 2, 16, strip));
    auto* movie = add(new CMovieBitmap(CRect(40, 20, 56, 36), nullptr, 0, 5, 16, five, CPoint(0, 16)));
    five->release();
    two->setValue(0.49f);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 0);
    two->setValue(0.5f);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 1);
    two->setValue(3.f);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 1);
    EXPECT_FLOAT_EQ(two->getValue(), 1.f);
    two->setValue(kNaN);
    EXPECT_EQ(shownAt(CPoint(20, 20)), 0);

    // The stored offset starts the strip one image further down.
    movie->setValue(0.f);
    EXPECT_EQ(shownAt(CPoint(40, 20)), 1);
    movie->setValue(0.3f);  // round(4 * 0.3) = 1, plus the offset
    EXPECT_EQ(shownAt(CPoint(40, 20)), 2);

    press(CPoint(25, 25), kLButton);  // no mouse handling
    EXPECT_EQ(editor.begins, 0);
}

}  // namespace
